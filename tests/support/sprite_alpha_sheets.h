// The alpha of the sprite sheets the blend kernels are checked on, as the
// sprite benchmark draws them: discs (clear corners, a soft rim, opaque
// centres), alpha changing between 0, 128 and 255 from pixel to pixel (a
// step along each row, 4x4 blocks, a checker of clear and opaque), and all
// opaque.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qz::testing {

enum class SheetAlpha { kDiscs, kPattern, kOpaque };

// Alpha at (cx, cy) of cell `id`, the cells `cell` pixels square.
inline std::uint32_t SheetAlphaAt(SheetAlpha sheet, int id, int cx, int cy, int cell) {
  constexpr std::uint32_t kLevels[3] = {0, 128, 255};
  switch (sheet) {
    case SheetAlpha::kDiscs: {
      const double centre = (cell - 1) / 2.0, radius = cell / 2.0 - 2.5 + id % 3;
      const double a = std::clamp((radius - std::hypot(cx - centre, cy - centre)) / 1.5, 0.0, 1.0);
      return static_cast<std::uint32_t>(std::lround(a * 255.0));
    }
    case SheetAlpha::kPattern:
      if (id % 3 == 0) return kLevels[(cx + cy) % 3];
      if (id % 3 == 1) return kLevels[(cx / 4 + cy / 4) % 3];
      return (cx + cy) % 2 == 0 ? 255 : 0;
    default:
      return 255;
  }
}

}  // namespace qz::testing
