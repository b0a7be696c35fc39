// Writing a cached glyph into a software image: the software text path.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "font/font_record.h"
#include "softrender/mem_img.h"

namespace qz {

// Text and edge colour, channels already scaled by the draw brightness.
struct TextColors {
  int textRed, textGreen, textBlue;
  int edgeRed, edgeGreen, edgeBlue;
};

// The ColorValues split and multiplied by the draw brightness.
TextColors ScaleTextColors(std::uint32_t color, std::uint32_t edgeColor);

// Writes the glyph box (glyph plus edge margin) of `entry`. Horizontal: the
// box's top-left pixel at (x, y). Vertical: the box turned a quarter turn
// clockwise, its top-left corner at the point (x, y), extending left and
// down. Only pixels inside `clip` and the image are written; with
// `transparent` clear the box's empty pixels are written as 0.
void WriteGlyphToMemImg(const FontRecord& font, const GlyphCacheEntry& entry, MEMIMG* dest, const Rect& clip, int x,
                        int y, bool vertical, bool transparent, const TextColors& colors);

// The pixel a cell value of a type 3 font gives: edge level e and glyph level
// g, 0 .. 15 each. Alpha 0 means nothing is drawn.
void MixEdgeAndGlyph(int e, int g, const TextColors& colors, int* red, int* green, int* blue, int* alpha);

}  // namespace qz
