// Vector rows of the fast rectangle path: 32-bit texels onto a 32-bit target,
// eight pixels at a time with AVX2 when the processor has it. The arithmetic
// is the scalar path's (products over 255 rounded to nearest, sums
// saturated), so either gives the same bytes.
#pragma once

#include <array>
#include <cstdint>

namespace plat::raster {

enum class FastBlend;

struct VectorRowConstants {
  std::uint32_t texelOr = 0;     // bits forced on in each texel
  std::uint32_t targetFill = 0;  // bits a target without alpha stores as ones
  std::array<std::uint16_t, 4> factor{};  // texel channel multipliers in memory order: b, g, r, a
  int alphaLow = 0;  // source alphas in [alphaLow, alphaHigh] pass the alpha test
  int alphaHigh = 255;
};

// Whether the vector rows can run on this processor.
bool VectorRowsAvailable();

// Draws the first count - count % 8 pixels of a row. columns[i] is the texel
// column of pixel i; `contiguous` says they rise by one. Returns how many
// pixels passed the alpha test.
using VectorRow = long long (*)(const VectorRowConstants& k, const std::uint8_t* texRow, const int* columns,
                                bool contiguous, std::uint8_t* dst, int count);

// The row function for a blend (kNone, kAlpha or kAdditive) under these
// constants, chosen once per rectangle.
VectorRow SelectVectorRow(FastBlend blend, const VectorRowConstants& k);

}  // namespace plat::raster
