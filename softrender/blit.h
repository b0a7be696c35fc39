// Unscaled blit of a whole software image onto another under the process-wide
// draw state (blend mode and parameter, colour modulation, draw area).
#pragma once

#include <cstdint>

#include "softrender/mem_img.h"

namespace qz {

// Draws src with its top-left pixel at (x, y) of dst. trans non-zero honours
// the colour key (or alpha 0); exactly 1 also allows the run-table loops.
// blendImage, when given, is an 8-bit image aligned with src whose pixels give
// a per-pixel factor. Refused input draws nothing.
void DrawMemImgAt(MEMIMG* dst, const MEMIMG* src, std::int32_t x, std::int32_t y, std::int32_t trans,
                  const MEMIMG* blendImage);

}  // namespace qz
