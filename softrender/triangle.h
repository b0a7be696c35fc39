// Triangle filling of software images in 14.18 fixed point: the set-up, edge
// walk and row clipping, with the per-row span work chosen once per triangle.
#pragma once

#include <cstdint>

#include "softrender/mem_img.h"

namespace qz {

// One vertex: destination position (x, y) and source position (u, v), pixels.
struct MemImgVertex {
  std::int32_t x;
  std::int32_t y;
  std::int32_t u;
  std::int32_t v;
};

// Fills the triangle of three vertices in dst through the global draw state.
// Without a source the fill colour (a raw pixel of dst's format) is used.
// Refused input draws nothing.
void DrawMemImgTriangle(MEMIMG* dst, const MEMIMG* src, const MemImgVertex* vertices, int trans,
                        const MEMIMG* blendImage, std::uint32_t fillColor);

}  // namespace qz
