// Textured spans of the transformed drawing (triangles, quads, rotation): the
// constants a loop reads, the walk it runs, and the choice of loop for a
// 32-bit or a 16-bit destination. One set of per-pixel kernels per
// destination depth serves both the triangle and the rotated family, so the
// two draw the same pixels from the same inputs.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "softrender/mem_img.h"

namespace qz::span {

// Which drawing asks: the families share their arithmetic but not every
// entry test, so the choice knows its caller.
enum class TexturedFamily { kTriangle, kRotated };

// Everything a loop reads that is fixed for one draw call.
struct TexturedConsts {
  const std::uint8_t* const* srcRows = nullptr;    // each source row's first pixel (filled by the caller)
  const std::uint8_t* const* blendRows = nullptr;  // each blend-image row, or null (filled by the caller)
  std::uint32_t rangeU = 0;                        // source width x 262144, compared unsigned
  std::uint32_t rangeV = 0;                        // source height x 262144
  const std::uint8_t* palette = nullptr;           // palettised source: its entries
  std::uint32_t transColor = 0;                    // the source block's transparent colour
  std::int32_t p = 0;                              // blend parameter, 0..255
  const std::uint32_t* mulRow = nullptr;           // product row of p
  const std::int32_t* signedRow = nullptr;         // signed product row of p, at d = 0
  const std::uint32_t* modRowR = nullptr;          // product rows of the modulation bytes
  const std::uint32_t* modRowG = nullptr;
  const std::uint32_t* modRowB = nullptr;
  const std::uint8_t* blendFactors = nullptr;      // factor of each blend-image byte
  // Bytes from one source row to the next, for the vector rows that read
  // texels by offset from srcRows[0]; 0 keeps them out (see VectorReadPitch).
  std::int32_t srcPitch = 0;
};

// The source pitch the vector rows may use: 0 when the source shares the
// destination's block (pixel order then matters) or its offsets leave 31 bits.
inline std::int32_t VectorReadPitch(const MEMIMG* src, const MEMIMG* dst) {
  const MemImgPixelBlock& block = *src->block;
  if (src->block == dst->block || block.pitch <= 0) return 0;
  if (static_cast<std::int64_t>(block.pitch) * src->height > INT32_MAX) return 0;
  return block.pitch;
}

// One run of a loop: `lines` lines of `width` pixels from dst. After each
// pixel u and v advance by (uStep, vStep); after each line by (uLineStep,
// vLineStep) and dst by rowAdvance bytes. A triangle row is one line.
struct TexturedWalk {
  std::uint8_t* dst = nullptr;
  std::ptrdiff_t rowAdvance = 0;
  std::int32_t width = 0;
  std::int32_t lines = 0;
  std::int32_t u = 0, v = 0;
  std::int32_t uStep = 0, vStep = 0;
  std::int32_t uLineStep = 0, vLineStep = 0;
};

using TexturedLoopFn = void (*)(const TexturedWalk& walk, const TexturedConsts& consts);

// Draws pixels [0, n) of a run whose positions all lie inside the source,
// eight at a time with AVX2 where the processor has it, for the commonest
// sprite loops: a direct 32-bit source, no blend image, white modulation,
// modes copy, add and subtract. Returns how many pixels it drew, a multiple
// of eight (0 when it does not serve the loop); the caller draws the rest.
int DrawInsideRunVector(int mode, bool trans, std::uint8_t* dst, std::uint32_t u, std::uint32_t v,
                        std::uint32_t uStep, std::uint32_t vStep, std::int32_t n, const TexturedConsts& c);

// Narrows [*first, *last) to the pixels i of a line whose position base + i x
// step (wrapping at 32 bits) is below range, compared unsigned. While the
// line's positions stay in the signed 32-bit range and range is at most 2^31,
// those pixels form one run, found here by division; otherwise the answer is
// false and the caller tests each pixel. An empty run leaves *first >= *last.
inline bool NarrowToInsideRun(std::uint32_t base, std::uint32_t step, std::int32_t width, std::uint32_t range,
                              std::int32_t* first, std::int32_t* last) {
  const std::int64_t b = static_cast<std::int32_t>(base);
  const std::int64_t s = static_cast<std::int32_t>(step);
  const std::int64_t end = b + s * (width - 1);
  constexpr std::int64_t kLow = INT32_MIN, kHigh = INT32_MAX;
  if (width <= 0 || range > 0x80000000u || std::min(b, end) < kLow || std::max(b, end) > kHigh) return false;
  const std::int64_t r = range;
  std::int64_t lo = 0, hi = width;
  if (s == 0) {
    if (b < 0 || b >= r) hi = 0;
  } else if (s > 0) {
    if (b < 0) lo = (-b + s - 1) / s;      // b + i s >= 0
    hi = b >= r ? 0 : (r - b + s - 1) / s;  // b + i s < r
  } else {
    const std::int64_t n = -s;
    if (b >= r) lo = (b - r) / n + 1;       // b - i n < r
    hi = b < 0 ? 0 : b / n + 1;             // b - i n >= 0
  }
  if (lo > *first) *first = static_cast<std::int32_t>(std::min<std::int64_t>(lo, width));
  if (hi < *last) *last = static_cast<std::int32_t>(std::max<std::int64_t>(hi, 0));
  return true;
}

// Inputs of the loop choice besides gMemImgDrawState. The caller has checked
// the formats and that a blend image covers the source.
struct TexturedSource {
  const MEMIMG* src = nullptr;
  const MEMIMG* blend = nullptr;  // 8-bit factor image, or null
  int trans = 0;
  TexturedFamily family = TexturedFamily::kTriangle;
};

// Choose the loop for a source drawn onto a 32-bit (or 16-bit) destination
// under the current draw state and fill every constant but the row tables.
// False when the state asks for nothing to be drawn.
bool PrepareTexturedLoop32(const TexturedSource& in, TexturedConsts* consts, TexturedLoopFn* loop);
bool PrepareTexturedLoop16(const TexturedSource& in, TexturedConsts* consts, TexturedLoopFn* loop);

}  // namespace qz::span
