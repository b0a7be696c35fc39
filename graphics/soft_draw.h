// The software halves of the public draws: thin wrappers that hand a graph's
// image view to the software pixel routines, drawing onto the software draw
// target under the software draw state (blend, brightness, clip, blend image).
// They return 0 whatever the pixel routine did.
#pragma once

#include <cstdint>

#include "softrender/mem_img.h"

namespace qz {

int SoftBlitGraph(const MEMIMG* view, int x, int y, int trans);
// Reversed corners mirror the view.
int SoftBlitGraphStretched(const MEMIMG* view, int x1, int y1, int x2, int y2, int trans);
int SoftBlitGraphRotated(const MEMIMG* view, int x, int y, float angle, float scale, int trans, int mirror);
// corners: x, y pairs of top-left, top-right, bottom-left, bottom-right.
int SoftBlitGraphOnQuad(const MEMIMG* view, const int* corners, int trans);
// The same with float corners, truncated toward zero.
int SoftBlitGraphOnQuadF(const MEMIMG* view, const float* corners, int trans);
// color: a raw pixel value of the target's format.
int SoftFillRect(int x1, int y1, int x2, int y2, std::uint32_t color);

}  // namespace qz
