// Stretched, shrunk and mirrored drawing of a whole software image into a
// destination rectangle, nearest-neighbour, under the process-wide draw state.
#pragma once

#include <cstdint>

#include "softrender/mem_img.h"

namespace qz {

// rect holds the corners x1, y1, x2, y2; x1 > x2 (y1 > y2) mirrors the source
// left to right (top to bottom). The same size unmirrored is a plain blit.
// trans non-zero skips the transparent colour (alpha 0 for alpha sources);
// blendImage, when given, is an 8-bit image aligned with the source. Refused
// input draws nothing.
void DrawMemImgScaled(MEMIMG* dst, const MEMIMG* src, const std::int32_t* rect, std::int32_t trans,
                      const MEMIMG* blendImage);

}  // namespace qz
