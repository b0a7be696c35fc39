// AVX2 rows of the fast rectangle path. Each 256-bit register holds eight
// pixels; widened to 16-bit lanes, a product over 255 rounded to nearest is
// ((x y + 127) x 0x8081) >> 23, exact for every product of two bytes. Pixels
// that fail the alpha test are left out by masked stores, which need not
// read them first. The choice of rows (AVX-512 where the processor has it,
// and the width limit tests set) is made here too.
#include "platform/d3d9_raster_simd.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#include "platform/d3d9_raster_internal.h"

namespace plat::raster {
namespace {

[[gnu::target("avx2")]] inline __m256i Div255Rounded(__m256i product) {
  const __m256i biased = _mm256_add_epi16(product, _mm256_set1_epi16(127));
  return _mm256_srli_epi16(_mm256_mulhi_epu16(biased, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// One pixel's four 16-bit channel values in memory order (b, g, r, a),
// repeated for each of the four pixels a widened register holds.
[[gnu::target("avx2")]] inline __m256i ChannelLanes(const std::array<int, 4>& bgra) {
  const __m128i pixel = _mm_setr_epi16(static_cast<short>(bgra[0]), static_cast<short>(bgra[1]),
                                       static_cast<short>(bgra[2]), static_cast<short>(bgra[3]), 0, 0, 0, 0);
  return _mm256_broadcastq_epi64(pixel);
}

// Each pixel's alpha lane copied to its four lanes.
[[gnu::target("avx2")]] inline __m256i SpreadAlpha(__m256i wide) {
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(wide, 0xFF), 0xFF);
}

// Texel layouts the rows read; 16-bit ones widen by bit replication.
enum class TexelKind { k32, kA4R4G4B4, kR5G6B5, kA1R5G5B5, kX1R5G5B5 };

[[gnu::target("avx2")]] inline __m256i Field(__m256i x, int shift, int mask) {
  return _mm256_and_si256(_mm256_srli_epi32(x, shift), _mm256_set1_epi32(mask));
}

// A 5-bit (or 6-bit) field widened to eight bits: (v << 3) | (v >> 2).
[[gnu::target("avx2")]] inline __m256i Widen5(__m256i v) {
  return _mm256_or_si256(_mm256_slli_epi32(v, 3), _mm256_srli_epi32(v, 2));
}
[[gnu::target("avx2")]] inline __m256i Widen6(__m256i v) {
  return _mm256_or_si256(_mm256_slli_epi32(v, 2), _mm256_srli_epi32(v, 4));
}

// Eight 16-bit texels, one per 32-bit lane, as A8R8G8B8.
template <TexelKind kKind>
[[gnu::target("avx2")]] inline __m256i WidenTexels(__m256i x) {
  if constexpr (kKind == TexelKind::kA4R4G4B4) {
    // Each nibble to the low half of its byte, then times 17.
    const __m256i spread = _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(x, _mm256_set1_epi32(0xF)),
                        _mm256_slli_epi32(_mm256_and_si256(x, _mm256_set1_epi32(0xF0)), 4)),
        _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(x, _mm256_set1_epi32(0xF00)), 8),
                        _mm256_slli_epi32(_mm256_and_si256(x, _mm256_set1_epi32(0xF000)), 12)));
    return _mm256_or_si256(spread, _mm256_slli_epi32(spread, 4));
  } else {
    const bool wideGreen = kKind == TexelKind::kR5G6B5;
    const __m256i red = Widen5(Field(x, wideGreen ? 11 : 10, 31));
    const __m256i green = wideGreen ? Widen6(Field(x, 5, 63)) : Widen5(Field(x, 5, 31));
    const __m256i blue = Widen5(Field(x, 0, 31));
    __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    if constexpr (kKind == TexelKind::kA1R5G5B5) {
      const __m256i top = _mm256_set1_epi32(0x8000);
      alpha = _mm256_and_si256(alpha, _mm256_cmpeq_epi32(_mm256_and_si256(x, top), top));
    }
    return _mm256_or_si256(_mm256_or_si256(alpha, _mm256_slli_epi32(red, 16)),
                           _mm256_or_si256(_mm256_slli_epi32(green, 8), blue));
  }
}

// The texels of pixels i .. i + count - 1 of a row (count at most eight),
// the lanes past count zero; copied a texel at a time, since a whole block
// could reach past the texture's last texel.
template <TexelKind kKind>
[[gnu::target("avx2")]] inline __m256i LoadTexelTail(const std::uint8_t* texRow, const int* columns, int i,
                                                      int count) {
  if constexpr (kKind == TexelKind::k32) {
    alignas(32) std::uint32_t picked[8] = {};
    for (int j = 0; j < count; ++j) {
      std::memcpy(&picked[j], texRow + static_cast<std::ptrdiff_t>(columns[i + j]) * 4, 4);
    }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(picked));
  } else {
    alignas(16) std::uint16_t picked[8] = {};
    for (int j = 0; j < count; ++j) {
      std::memcpy(&picked[j], texRow + static_cast<std::ptrdiff_t>(columns[i + j]) * 2, 2);
    }
    return WidenTexels<kKind>(_mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(picked))));
  }
}

// The eight texels of pixels i .. i + 7 of a row.
template <TexelKind kKind>
[[gnu::target("avx2")]] inline __m256i LoadTexels(const std::uint8_t* texRow, const int* columns, int i,
                                                   bool contiguous) {
  if constexpr (kKind == TexelKind::k32) {
    if (contiguous) {
      return _mm256_loadu_si256(
          reinterpret_cast<const __m256i*>(texRow + static_cast<std::ptrdiff_t>(columns[i]) * 4));
    }
    const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(texRow), index, 4);
  } else {
    __m128i raw;
    if (contiguous) {
      raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texRow + static_cast<std::ptrdiff_t>(columns[i]) * 2));
    } else {
      // Gathered a texel at a time: a 32-bit gather could read past the texture's last texel.
      alignas(16) std::uint16_t picked[8];
      for (int j = 0; j < 8; ++j) std::memcpy(&picked[j], texRow + static_cast<std::ptrdiff_t>(columns[i + j]) * 2, 2);
      raw = _mm_load_si128(reinterpret_cast<const __m128i*>(picked));
    }
    return WidenTexels<kKind>(_mm256_cvtepu16_epi32(raw));
  }
}

// Eight target pixels, or only the lanes of a partial block.
template <bool kPartial>
[[gnu::target("avx2")]] inline __m256i LoadTarget(const __m256i* out, __m256i lanes) {
  if constexpr (kPartial) return _mm256_maskload_epi32(reinterpret_cast<const int*>(out), lanes);
  return _mm256_loadu_si256(out);
}
template <bool kPartial>
[[gnu::target("avx2")]] inline void StoreTarget(__m256i* out, __m256i lanes, __m256i value) {
  if constexpr (kPartial) {
    _mm256_maskstore_epi32(reinterpret_cast<int*>(out), lanes, value);
  } else {
    _mm256_storeu_si256(out, value);
  }
}

// Per-rectangle constants of the vector rows, held in registers.
struct RowRegisters {
  __m256i zero, texelOr, targetFill, factor, alphaAbove, alphaBelow, alphaAbove32, alphaBelow32, max255;
  bool testsAlpha;
};

// One block of eight pixels (kPartial: only the lanes set in `lanes`, which
// are neither read from the target nor written beyond them); returns the
// pixels written.
template <FastBlend kBlend, bool kWhiteFactor, bool kPartial>
[[gnu::target("avx2,popcnt"), gnu::always_inline]] inline int DrawBlock(const RowRegisters& r, __m256i texels,
                                                                        __m256i* out, __m256i lanes, int count) {
  __m256i result;
  __m256i pass = _mm256_setzero_si256();  // lanes that pass the alpha test, read only when it is on
  // Alpha 255 blends to the texel itself, so a block opaque in every lane is
  // stored as the copy stores it, without reading the target.
  const bool opaqueBlock = kBlend == FastBlend::kAlpha && kWhiteFactor && !kPartial &&
                           _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(
                               _mm256_srli_epi32(texels, 24), _mm256_set1_epi32(255)))) == 0xFF;
  if (opaqueBlock || (kBlend == FastBlend::kNone && kWhiteFactor)) {
    // Texels go out as they are: the alpha test is the only per-pixel work.
    result = texels;
    if (r.testsAlpha) {
      const __m256i alpha = _mm256_srli_epi32(texels, 24);
      pass = _mm256_and_si256(_mm256_cmpgt_epi32(alpha, r.alphaAbove32), _mm256_cmpgt_epi32(r.alphaBelow32, alpha));
    }
  } else {
    // A white factor leaves every channel as it is (x * 255 / 255 rounds to x).
    __m256i srcLo = _mm256_unpacklo_epi8(texels, r.zero), srcHi = _mm256_unpackhi_epi8(texels, r.zero);
    if constexpr (!kWhiteFactor) {
      srcLo = Div255Rounded(_mm256_mullo_epi16(srcLo, r.factor));
      srcHi = Div255Rounded(_mm256_mullo_epi16(srcHi, r.factor));
    }
    const __m256i alphaLo = SpreadAlpha(srcLo), alphaHi = SpreadAlpha(srcHi);
    if constexpr (kBlend == FastBlend::kNone) {
      result = _mm256_packus_epi16(srcLo, srcHi);
    } else {
      const __m256i dstFilled = _mm256_or_si256(LoadTarget<kPartial>(out, lanes), r.targetFill);
      const __m256i dLo = _mm256_unpacklo_epi8(dstFilled, r.zero), dHi = _mm256_unpackhi_epi8(dstFilled, r.zero);
      const __m256i sLo = _mm256_mullo_epi16(srcLo, alphaLo);
      const __m256i sHi = _mm256_mullo_epi16(srcHi, alphaHi);
      if constexpr (kBlend == FastBlend::kAlpha) {
        // Both products summed before the one rounding: at most 255 x 255.
        const __m256i keptLo = _mm256_mullo_epi16(dLo, _mm256_sub_epi16(r.max255, alphaLo));
        const __m256i keptHi = _mm256_mullo_epi16(dHi, _mm256_sub_epi16(r.max255, alphaHi));
        result = _mm256_packus_epi16(Div255Rounded(_mm256_add_epi16(sLo, keptLo)),
                                     Div255Rounded(_mm256_add_epi16(sHi, keptHi)));
      } else if constexpr (kBlend == FastBlend::kAdditive) {
        result = _mm256_packus_epi16(_mm256_add_epi16(Div255Rounded(sLo), dLo),
                                     _mm256_add_epi16(Div255Rounded(sHi), dHi));
      } else {
        result = _mm256_packus_epi16(_mm256_subs_epu16(dLo, Div255Rounded(sLo)),
                                     _mm256_subs_epu16(dHi, Div255Rounded(sHi)));
      }
    }
    if (r.testsAlpha) {
      const __m256i passLo =
          _mm256_and_si256(_mm256_cmpgt_epi16(alphaLo, r.alphaAbove), _mm256_cmpgt_epi16(r.alphaBelow, alphaLo));
      const __m256i passHi =
          _mm256_and_si256(_mm256_cmpgt_epi16(alphaHi, r.alphaAbove), _mm256_cmpgt_epi16(r.alphaBelow, alphaHi));
      pass = _mm256_packs_epi16(passLo, passHi);
    }
  }
  result = _mm256_or_si256(result, r.targetFill);
  if (r.testsAlpha) {
    const __m256i kept = _mm256_and_si256(pass, lanes);
    _mm256_maskstore_epi32(reinterpret_cast<int*>(out), kept, result);
    return std::popcount(static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(kept))));
  }
  StoreTarget<kPartial>(out, lanes, result);
  return count;
}

template <FastBlend kBlend, bool kWhiteFactor, TexelKind kKind>
[[gnu::target("avx2,popcnt")]] long long FillRows(const VectorRowConstants& k, const VectorRows& job) {
  RowRegisters r;
  r.zero = _mm256_setzero_si256();
  r.texelOr = _mm256_set1_epi32(static_cast<int>(k.texelOr));
  r.targetFill = _mm256_set1_epi32(static_cast<int>(k.targetFill));
  r.factor = ChannelLanes({k.factor[0], k.factor[1], k.factor[2], k.factor[3]});
  r.alphaAbove = _mm256_set1_epi16(static_cast<short>(k.alphaLow - 1));
  r.alphaBelow = _mm256_set1_epi16(static_cast<short>(k.alphaHigh + 1));
  r.alphaAbove32 = _mm256_set1_epi32(k.alphaLow - 1);
  r.alphaBelow32 = _mm256_set1_epi32(k.alphaHigh + 1);
  r.max255 = _mm256_set1_epi16(255);
  r.testsAlpha = k.alphaLow > 0 || k.alphaHigh < 255;
  const __m256i allLanes = _mm256_set1_epi32(-1);
  const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const int* columns = job.columns;
  long long written = 0;
  for (int row = 0; row < job.rows; ++row) {
    const std::uint8_t* texRow = job.texels + static_cast<std::ptrdiff_t>(job.rowTexels[row]) * job.texPitch;
    auto* out = reinterpret_cast<__m256i*>(job.dst + static_cast<std::ptrdiff_t>(row) * job.dstPitch);
    int i = 0;
    for (; i + 8 <= job.count; i += 8, ++out) {
      const __m256i texels = _mm256_or_si256(LoadTexels<kKind>(texRow, columns, i, job.contiguous), r.texelOr);
      written += DrawBlock<kBlend, kWhiteFactor, false>(r, texels, out, allLanes, 8);
    }
    if (i < job.count) {
      const int count = job.count - i;
      const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(count), laneIndex);
      // A whole block of texels is read when it stays inside the texture;
      // the lanes past the row are then left out by the masks.
      constexpr int kTexelBytes = kKind == TexelKind::k32 ? 4 : 2;
      const bool wholeBlockInside =
          job.contiguous && texRow + (static_cast<std::ptrdiff_t>(columns[i]) + 8) * kTexelBytes <= job.texelsEnd;
      const __m256i texels = _mm256_or_si256(wholeBlockInside ? LoadTexels<kKind>(texRow, columns, i, true)
                                                              : LoadTexelTail<kKind>(texRow, columns, i, count),
                                             r.texelOr);
      written += DrawBlock<kBlend, kWhiteFactor, true>(r, texels, out, lanes, count);
    }
  }
  return written;
}

// One block of eight target pixels under a solid source: `add` and `keep`
// are the blend's per-channel terms in 16-bit lanes (kAlpha: s x a and
// 255 - a; kAdditive and kSubtract: the rounded s x a).
template <FastBlend kBlend>
[[gnu::target("avx2")]] inline __m256i BlendSolid(__m256i target, __m256i fill, __m256i add, __m256i keep,
                                                  __m256i source) {
  const __m256i d = _mm256_or_si256(target, fill);
  if constexpr (kBlend == FastBlend::kNone) {
    return source;
  } else if constexpr (kBlend == FastBlend::kAlpha) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), keep), add);
    const __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), keep), add);
    return _mm256_or_si256(_mm256_packus_epi16(Div255Rounded(lo), Div255Rounded(hi)), fill);
  } else if constexpr (kBlend == FastBlend::kAdditive) {
    return _mm256_or_si256(_mm256_adds_epu8(d, _mm256_packus_epi16(add, add)), fill);
  } else {
    return _mm256_or_si256(_mm256_subs_epu8(d, _mm256_packus_epi16(add, add)), fill);
  }
}

template <FastBlend kBlend>
[[gnu::target("avx2")]] void FillSolidRowsFor(std::uint32_t source, std::uint32_t targetFill, const SolidRows& job) {
  const Color s = ColorFromArgb(source);
  __m256i add, keep = _mm256_setzero_si256();
  if constexpr (kBlend == FastBlend::kAlpha) {
    add = ChannelLanes({s.b * s.a, s.g * s.a, s.r * s.a, s.a * s.a});
    keep = _mm256_set1_epi16(static_cast<short>(255 - s.a));
  } else {
    add = ChannelLanes({Mul255(s.b, s.a), Mul255(s.g, s.a), Mul255(s.r, s.a), Mul255(s.a, s.a)});
  }
  const __m256i fill = _mm256_set1_epi32(static_cast<int>(targetFill));
  const __m256i value = _mm256_set1_epi32(static_cast<int>(source | targetFill));
  const __m256i tail = _mm256_cmpgt_epi32(_mm256_set1_epi32(job.count % 8), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  for (int row = 0; row < job.rows; ++row) {
    auto* out = reinterpret_cast<__m256i*>(job.dst + static_cast<std::ptrdiff_t>(row) * job.dstPitch);
    int i = 0;
    for (; i + 8 <= job.count; i += 8, ++out) {
      const __m256i target = kBlend == FastBlend::kNone ? value : _mm256_loadu_si256(out);
      _mm256_storeu_si256(out, BlendSolid<kBlend>(target, fill, add, keep, value));
    }
    if (i < job.count) {
      const __m256i target = kBlend == FastBlend::kNone ? value : LoadTarget<true>(out, tail);
      StoreTarget<true>(out, tail, BlendSolid<kBlend>(target, fill, add, keep, value));
    }
  }
}

}  // namespace

void FillSolidRows(FastBlend blend, std::uint32_t source, std::uint32_t targetFill, const SolidRows& job) {
  switch (blend) {
    case FastBlend::kNone:
      return FillSolidRowsFor<FastBlend::kNone>(source, targetFill, job);
    case FastBlend::kAlpha:
      return FillSolidRowsFor<FastBlend::kAlpha>(source, targetFill, job);
    case FastBlend::kAdditive:
      return FillSolidRowsFor<FastBlend::kAdditive>(source, targetFill, job);
    default:
      return FillSolidRowsFor<FastBlend::kSubtract>(source, targetFill, job);
  }
}

namespace {

std::atomic<VectorRowLimit> gVectorRowLimit{VectorRowLimit::kWidest};

}  // namespace

void LimitVectorRows(VectorRowLimit limit) { gVectorRowLimit.store(limit, std::memory_order_relaxed); }

bool VectorRowsAvailable() {
  static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return available && gVectorRowLimit.load(std::memory_order_relaxed) != VectorRowLimit::kScalar;
}

namespace {

template <TexelKind kKind>
VectorRect SelectForTexels(FastBlend blend, bool white) {
  switch (blend) {
    case FastBlend::kNone:
      return white ? FillRows<FastBlend::kNone, true, kKind> : FillRows<FastBlend::kNone, false, kKind>;
    case FastBlend::kAlpha:
      return white ? FillRows<FastBlend::kAlpha, true, kKind> : FillRows<FastBlend::kAlpha, false, kKind>;
    case FastBlend::kAdditive:
      return white ? FillRows<FastBlend::kAdditive, true, kKind> : FillRows<FastBlend::kAdditive, false, kKind>;
    default:
      return white ? FillRows<FastBlend::kSubtract, true, kKind> : FillRows<FastBlend::kSubtract, false, kKind>;
  }
}

}  // namespace

VectorRect SelectVectorRect(FastBlend blend, const VectorRowConstants& k) {
  const bool white = k.factor[0] == 255 && k.factor[1] == 255 && k.factor[2] == 255 && k.factor[3] == 255;
  if (WideVectorRowsAvailable() && gVectorRowLimit.load(std::memory_order_relaxed) == VectorRowLimit::kWidest) {
    if (const VectorRect wide = SelectWideVectorRect(blend, k, white)) return wide;
  }
  switch (k.texelFormat) {
    case D3DFMT_A4R4G4B4:
      return SelectForTexels<TexelKind::kA4R4G4B4>(blend, white);
    case D3DFMT_R5G6B5:
      return SelectForTexels<TexelKind::kR5G6B5>(blend, white);
    case D3DFMT_A1R5G5B5:
      return SelectForTexels<TexelKind::kA1R5G5B5>(blend, white);
    case D3DFMT_X1R5G5B5:
      return SelectForTexels<TexelKind::kX1R5G5B5>(blend, white);
    default:
      return SelectForTexels<TexelKind::k32>(blend, white);
  }
}

}  // namespace plat::raster
