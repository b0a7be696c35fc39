// The blit of a 32-bit source with its own alpha, transparency on, in mode 0
// (the sprite's common case): alpha 0 leaves the target pixel, 255 copies the
// whole source pixel, any other weighs the colour by alpha,
// (d (256 - a) + s a) >> 8, and keeps the target's byte X. The kernel is
// chosen once, the widest the processor has: sixteen pixels a step (AVX-512)
// or eight (AVX2) whatever their alphas, else one at a time; all give the
// same bytes, and the oracle tests run every width the processor has. A
// block whose drawn pixels are all opaque is stored without reading the
// target. Such a blit walks the image's run table only where its runs are on
// average longer than the kernel's step (the table counts its runs as it is
// built).
#pragma once

#include <cstdint>

#include "softrender/cpu_features.h"

namespace qz::blit {

// `h` rows of `w` pixels; each pitch is the bytes from a row to the next.
void AlphaKeyedCopyRows(std::uint8_t* dst, std::intptr_t dstPitch, const std::uint8_t* src, std::intptr_t srcPitch,
                        int w, int h);

// Pixels the kernel takes a step: 16, 8, or 1 for the scalar one.
int AlphaRowStep();

// Tests: the kernel at `level` from now on, or the widest the processor has
// below it; returns the level in force.
VectorLevel LimitAlphaRowKernel(VectorLevel level);

}  // namespace qz::blit
