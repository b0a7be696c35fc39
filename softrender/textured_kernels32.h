// Per-pixel kernels and loops of the textured spans onto 32-bit images. A
// loop is generated per source kind × blend mode × variant (blend image,
// white modulation, trans); per pixel only the source range, the tests on the
// source pixel itself (transparent index or colour, alpha 0 or 255) and the
// arithmetic remain. Triangles and rotation share these loops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "softrender/textured_span.h"

namespace qz::span::tex32 {

inline std::uint32_t Load(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

inline std::uint32_t Byte(std::uint32_t v, int c) { return (v >> (8 * c)) & 0xFFu; }

// ---- Source kinds --------------------------------------------------------------

// One byte per texel, an index into the 4-byte palette; the trans test
// compares the index with the whole 32-bit transparent colour, so a colour
// above 255 never matches.
struct PalSource {
  static constexpr int kBytes = 1;
  static constexpr bool kAlpha = false;
  static std::uint32_t Color(const std::uint8_t* s, const TexturedConsts& c) {
    return Load(c.palette + 4u * *s);
  }
  static bool IsTrans(const std::uint8_t* s, const TexturedConsts& c) { return *s == c.transColor; }
};

// Four bytes per texel; without alpha the trans test takes the fourth byte too.
struct DirectSource {
  static constexpr int kBytes = 4;
  static constexpr bool kAlpha = false;
  static std::uint32_t Color(const std::uint8_t* s, const TexturedConsts&) { return Load(s); }
  static bool IsTrans(const std::uint8_t* s, const TexturedConsts& c) { return Load(s) == c.transColor; }
};

// Four bytes per texel, the fourth one the alpha weight.
struct AlphaSource {
  static constexpr int kBytes = 4;
  static constexpr bool kAlpha = true;
};

// ---- Weighted arithmetic -------------------------------------------------------

// Blend modes with a loop; the kernels switch on them at compile time.
enum Mode : int { kCopy = 0, kAlpha = 1, kAdd = 2, kSub = 3, kMul = 4, kInvert = 10, kMulBlend = 11 };

constexpr bool UsesP(int mode) { return mode != kCopy && mode != kMul; }

// d + (x - d) * w / 2^k rounded down, for all three channels; the fourth byte
// of d is kept. Written as x * w + d * (2^k - w), which is never negative and
// stays below 2^32 for k up to 24, so 32-bit unsigned arithmetic is exact.
template <int kShift>
inline std::uint32_t Over(std::uint32_t d, std::uint32_t x, std::uint32_t w) {
  if constexpr (kShift == 8) {
    // One weight: both lanes of a pair of channels stay below 2^16.
    const std::uint32_t iw = 256u - w;
    const std::uint32_t rb = (((x & 0xFF00FFu) * w + (d & 0xFF00FFu) * iw) >> 8) & 0xFF00FFu;
    const std::uint32_t g = (((x & 0xFF00u) * w + (d & 0xFF00u) * iw) >> 8) & 0xFF00u;
    return (d & 0xFF000000u) | rb | g;
  } else {
    const std::uint32_t iw = (1u << kShift) - w;
    std::uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) out |= ((Byte(x, c) * w + Byte(d, c) * iw) >> kShift) << (8 * c);
    return out;
  }
}

// Saturating add of packed channels: each carry lands in a bit both operands
// cleared; the fourth byte becomes the carry out of red.
inline std::uint32_t PackedAdd(std::uint32_t d, std::uint32_t e) {
  const std::uint32_t q = (e & 0x00FEFEFFu) + (d & 0x00FEFEFFu);
  const std::uint32_t k = q & 0x01010100u;
  return (k - (k >> 8)) | ((e | d) & 0x00010100u) | q;
}

// Saturating subtract of packed channels: each borrow takes a bit the
// destination had set; the fourth byte becomes 0.
inline std::uint32_t PackedSub(std::uint32_t d, std::uint32_t e) {
  const std::uint32_t q = (d | 0x01010100u) - (e & ~0x01010100u);
  const std::uint32_t k = q & 0x01010100u;
  return (k - (k >> 8)) & q;
}

// The source colour of a mode: inverted first in mode 10, then modulated
// unless the modulation is white. The fourth byte is 0.
template <int kMode, bool kWhite>
inline std::uint32_t SourceColor(std::uint32_t texel, const TexturedConsts& c) {
  std::uint32_t s = kMode == kInvert ? ~texel & 0xFFFFFFu : texel & 0xFFFFFFu;
  if constexpr (!kWhite) {
    s = c.modRowB[Byte(s, 0)] | (c.modRowG[Byte(s, 1)] << 8) | (c.modRowR[Byte(s, 2)] << 16);
  }
  return s;
}

// Writes one accepted texel (palette entry or direct colour) over dst. kF: a
// blend-image factor f weighs it; kA: its alpha a weighs it. p weighs in the
// modes that use it. Weights multiply, and each shifts the result by 8 bits.
template <int kMode, bool kF, bool kA, bool kWhite>
inline void WriteTexel(std::uint8_t* dst, std::uint32_t texel, std::uint32_t f, std::uint32_t a,
                       const TexturedConsts& c) {
  constexpr bool kP = UsesP(kMode);
  constexpr int kWeights = int{kF} + int{kA} + int{kP};
  constexpr int kShift = 8 * kWeights;
  std::uint32_t w = 1;
  if constexpr (kF) w *= f;
  if constexpr (kA) w *= a;
  if constexpr (kP) w *= static_cast<std::uint32_t>(c.p);

  if constexpr (kMode == kCopy && kWeights == 0 && kWhite) {
    Store(dst, texel);
    return;
  } else {
    const std::uint32_t d = Load(dst);
    const std::uint32_t s = SourceColor<kMode, kWhite>(texel, c);
    if constexpr (kMode == kCopy && kWeights == 0) {
      Store(dst, (d & 0xFF000000u) | s);
    } else if constexpr (kMode == kCopy || kMode == kAlpha || kMode == kInvert) {
      Store(dst, Over<kShift>(d, s, w));
    } else if constexpr (kMode == kMulBlend) {
      std::uint32_t m = 0;
      for (int ch = 0; ch < 3; ++ch) m |= ((Byte(s, ch) * Byte(d, ch)) >> 8) << (8 * ch);
      Store(dst, Over<kShift>(d, m, w));
    } else if constexpr (kMode == kMul) {
      std::uint32_t out = d & 0xFF000000u;
      for (int ch = 0; ch < 3; ++ch) out |= ((Byte(s, ch) * w * Byte(d, ch)) >> (kShift + 8)) << (8 * ch);
      Store(dst, out);
    } else {
      // Add and subtract: the term is prod(p, S) when p is the only weight.
      std::uint32_t e = 0;
      for (int ch = 0; ch < 3; ++ch) {
        const std::uint32_t t = kWeights == 1 ? c.mulRow[Byte(s, ch)] : (Byte(s, ch) * w) >> kShift;
        e |= t << (8 * ch);
      }
      Store(dst, kMode == kAdd ? PackedAdd(d, e) : PackedSub(d, e));
    }
  }
}

// ---- Loops ------------------------------------------------------------------------

// Draws the texel at an inside position (u, v). A source with alpha and the
// trans flag skips a = 0 in modes 0 to 3 (modes 4, 10 and 11 weigh it as 0)
// and drops the weight of a = 255.
template <class Src, int kMode, bool kF, bool kWhite, bool kTrans>
inline void DrawTexelAt(std::uint8_t* dst, std::uint32_t u, std::uint32_t v, const TexturedConsts& c) {
  const std::uint32_t col = u >> 18;
  const std::uint32_t row = v >> 18;
  const std::uint8_t* s = c.srcRows[row] + col * Src::kBytes;
  std::uint32_t f = 0;
  if constexpr (kF) f = c.blendFactors[c.blendRows[row][col]];
  if constexpr (Src::kAlpha) {
    const std::uint32_t texel = Load(s);
    const std::uint32_t a = texel >> 24;
    if constexpr (kTrans) {
      if (a == 255) {
        WriteTexel<kMode, kF, false, kWhite>(dst, texel, f, a, c);
        return;
      }
      if (a == 0 && kMode <= kSub) return;
    }
    WriteTexel<kMode, kF, true, kWhite>(dst, texel, f, a, c);
  } else {
    if constexpr (kTrans) {
      if (Src::IsTrans(s, c)) return;
    }
    WriteTexel<kMode, kF, false, kWhite>(dst, Src::Color(s, c), f, 0, c);
  }
}

// The loops whose inside runs DrawInsideRunVector serves.
template <class Src, int kMode, bool kF, bool kWhite>
inline constexpr bool kVectorRuns = std::is_same_v<Src, DirectSource> && !kF && kWhite &&
                                    (kMode == kCopy || kMode == kAdd || kMode == kSub);

// Runs one walk. Each line draws only its run of positions inside the
// source, found once per line; a line whose positions wrap tests each pixel.
template <class Src, int kMode, bool kF, bool kWhite, bool kTrans>
void TexturedLoop(const TexturedWalk& walk, const TexturedConsts& consts) {
  // A local copy: stores through the byte pointer dst could otherwise alias
  // the constants and force them to be read again for every pixel.
  const TexturedConsts c = consts;
  std::uint8_t* dst = walk.dst;
  auto u = static_cast<std::uint32_t>(walk.u);
  auto v = static_cast<std::uint32_t>(walk.v);
  const auto uStep = static_cast<std::uint32_t>(walk.uStep);
  const auto vStep = static_cast<std::uint32_t>(walk.vStep);
  const auto uLineStep = static_cast<std::uint32_t>(walk.uLineStep);
  const auto vLineStep = static_cast<std::uint32_t>(walk.vLineStep);
  const std::int32_t width = walk.width > 0 ? walk.width : 0;
  const std::int32_t lines = walk.lines;
  const std::ptrdiff_t rowAdvance = walk.rowAdvance;
  for (std::int32_t line = 0; line < lines; ++line) {
    std::int32_t first = 0, last = width;
    if (NarrowToInsideRun(u, uStep, width, c.rangeU, &first, &last) &&
        NarrowToInsideRun(v, vStep, width, c.rangeV, &first, &last)) {
      std::int32_t i = first;
      if constexpr (kVectorRuns<Src, kMode, kF, kWhite>) {
        if (last > i) {
          i += DrawInsideRunVector(kMode, kTrans, dst + static_cast<std::ptrdiff_t>(i) * 4,
                                   u + static_cast<std::uint32_t>(i) * uStep, v + static_cast<std::uint32_t>(i) * vStep,
                                   uStep, vStep, last - i, c);
        }
      }
      std::uint8_t* d = dst + static_cast<std::ptrdiff_t>(i) * 4;
      std::uint32_t pu = u + static_cast<std::uint32_t>(i) * uStep;
      std::uint32_t pv = v + static_cast<std::uint32_t>(i) * vStep;
      for (; i < last; ++i, d += 4, pu += uStep, pv += vStep) {
        DrawTexelAt<Src, kMode, kF, kWhite, kTrans>(d, pu, pv, c);
      }
    } else {
      std::uint32_t pu = u, pv = v;
      for (std::int32_t i = 0; i < width; ++i, pu += uStep, pv += vStep) {
        if (pu < c.rangeU && pv < c.rangeV) DrawTexelAt<Src, kMode, kF, kWhite, kTrans>(dst + 4 * i, pu, pv, c);
      }
    }
    u += static_cast<std::uint32_t>(width) * uStep + uLineStep;
    v += static_cast<std::uint32_t>(width) * vStep + vLineStep;
    dst += static_cast<std::ptrdiff_t>(width) * 4 + rowAdvance;
  }
}

}  // namespace qz::span::tex32
