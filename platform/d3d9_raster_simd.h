// Vector rows of the fast rectangle path: 32-bit or 16-bit texels (widened as
// the scalar path widens them), or one solid colour, onto a 32-bit target,
// eight pixels at a time with AVX2 when the processor has it. The arithmetic
// is the scalar path's (products over 255 rounded to nearest, sums and
// differences saturated), so either gives the same bytes.
#pragma once

#include <array>
#include <cstdint>

namespace plat::raster {

enum class FastBlend;

struct VectorRowConstants {
  std::uint32_t texelFormat = 0;  // A8R8G8B8, X8R8G8B8, or one of the 16-bit texture formats
  std::uint32_t texelOr = 0;     // bits forced on in each texel
  std::uint32_t targetFill = 0;  // bits a target without alpha stores as ones
  std::array<std::uint16_t, 4> factor{};  // texel channel multipliers in memory order: b, g, r, a
  int alphaLow = 0;  // source alphas in [alphaLow, alphaHigh] pass the alpha test
  int alphaHigh = 255;
};

// Whether the vector rows can run on this processor.
bool VectorRowsAvailable();

// A rectangle's rows for the vector path: row r reads the texel row at
// texels + rowTexels[r] x texPitch and writes from dst + r x dstPitch.
// columns[i] is the texel column of pixel i; `contiguous` says they rise by
// one.
struct VectorRows {
  const std::uint8_t* texels = nullptr;
  const std::uint8_t* texelsEnd = nullptr;  // just past the texture's last row
  int texPitch = 0;
  const int* rowTexels = nullptr;
  int rows = 0;
  const int* columns = nullptr;
  bool contiguous = false;
  std::uint8_t* dst = nullptr;
  int dstPitch = 0;
  int count = 0;  // pixels per row
};

// Draws every pixel of every row; returns how many passed the alpha test.
using VectorRect = long long (*)(const VectorRowConstants& k, const VectorRows& job);

// The function for a blend (kNone, kAlpha, kAdditive or kSubtract) under
// these constants, chosen once per rectangle.
VectorRect SelectVectorRect(FastBlend blend, const VectorRowConstants& k);

// A rectangle of a 32-bit target: `rows` rows of `count` pixels from dst.
struct SolidRows {
  std::uint8_t* dst = nullptr;
  int dstPitch = 0;
  int rows = 0;
  int count = 0;
};

// Draws one source colour (ARGB, past the alpha test) over every pixel of
// the rectangle under a blend (kNone, kAlpha, kAdditive or kSubtract);
// targetFill as in VectorRowConstants.
void FillSolidRows(FastBlend blend, std::uint32_t source, std::uint32_t targetFill, const SolidRows& job);

// The AVX-512 rows, sixteen pixels at a time, where the processor has them;
// SelectVectorRect prefers them. Null for texel formats they do not read.
bool WideVectorRowsAvailable();
VectorRect SelectWideVectorRect(FastBlend blend, const VectorRowConstants& k, bool whiteFactor);

}  // namespace plat::raster
