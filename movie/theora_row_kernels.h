// The inner loops of Theora frame conversion: pairs of rows of a 4:2:0 frame
// into 32-bit X8R8G8B8 pixels with the colour tables' exact sums, one portable
// loop and SSE2 and AVX2 ones, the widest the processor runs chosen once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

enum class TheoraRowKernel { kPortable, kSse2, kAvx2 };

bool TheoraRowKernelAvailable(TheoraRowKernel kernel);
TheoraRowKernel BestTheoraRowKernel();

// Planes of a 4:2:0 frame, top row first; each chroma sample covers 2x2 pixels.
struct TheoraPlanes {
  const std::uint8_t* y;
  const std::uint8_t* u;
  const std::uint8_t* v;
  std::ptrdiff_t yStride;
  std::ptrdiff_t uvStride;
};

// Converts `rowPairs` pairs of rows, `pairs` chroma samples wide, into the
// rows at `out`, `pitch` bytes apart.
void ConvertTheoraBlockRows(const TheoraPlanes& planes, int pairs, int rowPairs, std::uint8_t* out,
                            std::ptrdiff_t pitch, TheoraRowKernel kernel);

}  // namespace qz
