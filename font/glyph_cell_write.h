// Writing one rendered glyph (and its edge) into a cache cell, in every cache
// layout: 1-bit and 8-bit memory cells, and 16-bit texture cells with their
// edge half. Every write stays inside the cell.
#pragma once

#include <cstdint>

#include "font/font_record.h"

namespace qz {

// A GDI glyph bitmap: 1 bit per pixel (most significant first) or one level
// 0 .. 16 per pixel, rows of `pitch` bytes.
struct GlyphBitmap {
  int width;
  int height;
  int pitch;
  bool grey;
  const std::uint8_t* bits;
};

// The edge mask of an edge size: true where (dx, dy) lies in the shape.
bool EdgeMaskCovers(int edgeSize, int dx, int dy);
// Empties a cell (and its edge cell).
void ClearGlyphCell(FontRecord& font, int cell);
// Writes the glyph at the cell's corner plus the edge margin, clipped to the
// cell. Returns the width and height kept.
void WriteGlyphToCell(FontRecord& font, int cell, const GlyphBitmap& glyph, int* keptWidth, int* keptHeight);
// The texture value of grey level 0 .. 16 in the cache's format.
std::uint32_t TextureLevelValue(const FontRecord& font, int level);

}  // namespace qz
