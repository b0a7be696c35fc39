// Triangle filling of software images in 14.18 fixed point: the set-up, edge
// walk and row clipping, with the per-row span work chosen once per triangle;
// and a source warped onto four corners as two such triangles.
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
// Refused input draws nothing; so does a blend image smaller than the source.
void DrawMemImgTriangle(MEMIMG* dst, const MEMIMG* src, const MemImgVertex* vertices, int trans,
                        const MEMIMG* blendImage, std::uint32_t fillColor);

// Draws src onto the corners (x0, y0 .. x3, y3): corner 0 takes the source's
// top-left, 1 its top-right, 2 its bottom-left, 3 its bottom-right. The two
// triangles (0, 1, 2) and (1, 2, 3) cover their union once: the second skips
// the pixels the first drew on its rows, so the shared diagonal is not
// blended twice.
void DrawMemImgQuad(MEMIMG* dst, const MEMIMG* src, const std::int32_t* corners, int trans,
                    const MEMIMG* blendImage);

}  // namespace qz
