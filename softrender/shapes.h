// Untextured shapes on software images: filled rectangles and one-pixel lines
// under the current draw state (blend mode, parameter, modulation, draw area).
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "softrender/mem_img.h"

namespace qz {

struct MemImgLineRecord {
  std::int32_t x1;
  std::int32_t y1;
  std::int32_t x2;
  std::int32_t y2;
  std::uint32_t color;  // raw value in the destination's format
  std::uint32_t unused;
};

// Fills `rect` (null: the whole view; reversed edges are put in order) with a
// raw colour of the destination's format. Palettised and alpha destinations
// are refused.
void FillMemImgRect(MEMIMG* dst, const Rect* rect, std::uint32_t color);

// Draws from (x1, y1) towards (x2, y2), the end point excluded. On a
// destination with alpha only the colour part of each pixel changes.
void DrawMemImgLine(MEMIMG* dst, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                    std::int32_t y2, std::uint32_t color);

void DrawMemImgLines(MEMIMG* dst, const MemImgLineRecord* records, std::int32_t count);

}  // namespace qz
