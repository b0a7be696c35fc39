// AVX-512 rows of the fast rectangle path: sixteen pixels a register, so a
// sprite row of sixteen is one block, and masks that leave out the lanes past
// a row's end or failing the alpha test without reading or writing them.
// 32-bit texels, and 16-bit ones (glyph cells) widened as the AVX2 rows widen
// them. The arithmetic is the AVX2 rows' lane for lane, so either gives the
// same bytes.
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_simd.h"

namespace plat::raster {
namespace {

#define QZ_AVX512 gnu::target("avx512f,avx512bw,avx512vl,popcnt")

// x over 255 rounded to nearest for every product of two bytes, as in the
// AVX2 rows.
[[QZ_AVX512]] inline __m512i Div255Rounded(__m512i product) {
  const __m512i biased = _mm512_add_epi16(product, _mm512_set1_epi16(127));
  return _mm512_srli_epi16(_mm512_mulhi_epu16(biased, _mm512_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Each pixel's alpha lane copied to its four lanes.
[[QZ_AVX512]] inline __m512i SpreadAlpha(__m512i wide) {
  return _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(wide, 0xFF), 0xFF);
}

// Texel layouts the rows read; 16-bit ones widen by bit replication.
enum class TexelKind { k32, kA4R4G4B4, kR5G6B5, kA1R5G5B5, kX1R5G5B5 };

// 32-bit lane shifts in their zero-masked form: the plain ones start from an
// undefined register, which g++ 12 at -O3 reports as maybe uninitialised.
[[QZ_AVX512]] inline __m512i Left(__m512i x, unsigned n) { return _mm512_maskz_slli_epi32(0xFFFF, x, n); }
[[QZ_AVX512]] inline __m512i Right(__m512i x, unsigned n) { return _mm512_maskz_srli_epi32(0xFFFF, x, n); }

[[QZ_AVX512]] inline __m512i Field(__m512i x, unsigned shift, int mask) {
  return _mm512_and_si512(Right(x, shift), _mm512_set1_epi32(mask));
}

// A 5-bit (or 6-bit) field widened to eight bits: (v << 3) | (v >> 2).
[[QZ_AVX512]] inline __m512i Widen5(__m512i v) { return _mm512_or_si512(Left(v, 3), Right(v, 2)); }
[[QZ_AVX512]] inline __m512i Widen6(__m512i v) { return _mm512_or_si512(Left(v, 2), Right(v, 4)); }

// Sixteen 16-bit texels, one per 32-bit lane, as A8R8G8B8.
template <TexelKind kKind>
[[QZ_AVX512]] inline __m512i WidenTexels(__m512i x) {
  if constexpr (kKind == TexelKind::kA4R4G4B4) {
    // Each nibble to the low half of its byte, then times 17.
    const __m512i spread = _mm512_or_si512(
        _mm512_or_si512(_mm512_and_si512(x, _mm512_set1_epi32(0xF)),
                        Left(_mm512_and_si512(x, _mm512_set1_epi32(0xF0)), 4)),
        _mm512_or_si512(Left(_mm512_and_si512(x, _mm512_set1_epi32(0xF00)), 8),
                        Left(_mm512_and_si512(x, _mm512_set1_epi32(0xF000)), 12)));
    return _mm512_or_si512(spread, Left(spread, 4));
  } else {
    const bool wideGreen = kKind == TexelKind::kR5G6B5;
    const __m512i red = Widen5(Field(x, wideGreen ? 11 : 10, 31));
    const __m512i green = wideGreen ? Widen6(Field(x, 5, 63)) : Widen5(Field(x, 5, 31));
    const __m512i blue = Widen5(Field(x, 0, 31));
    __m512i alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    if constexpr (kKind == TexelKind::kA1R5G5B5) {
      alpha = _mm512_maskz_mov_epi32(_mm512_test_epi32_mask(x, _mm512_set1_epi32(0x8000)), alpha);
    }
    return _mm512_or_si512(_mm512_or_si512(alpha, Left(red, 16)), _mm512_or_si512(Left(green, 8), blue));
  }
}

// The texels of the lanes set in `lanes` from pixel i of a row, the others
// zero. Masked loads touch no texel past the row's last, so a block may end
// anywhere in the texture; 16-bit texels off a rising run are copied one at
// a time, since a 32-bit gather could read past the texture's last texel.
template <TexelKind kKind>
[[QZ_AVX512]] inline __m512i LoadTexels(const std::uint8_t* texRow, const int* columns, int i, bool contiguous,
                                        __mmask16 lanes) {
  if constexpr (kKind == TexelKind::k32) {
    if (contiguous) return _mm512_maskz_loadu_epi32(lanes, texRow + static_cast<std::ptrdiff_t>(columns[i]) * 4);
    const __m512i index = _mm512_maskz_loadu_epi32(lanes, columns + i);
    return _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, index, texRow, 4);
  } else {
    __m256i raw;
    if (contiguous) {
      raw = _mm256_maskz_loadu_epi16(lanes, texRow + static_cast<std::ptrdiff_t>(columns[i]) * 2);
    } else {
      alignas(32) std::uint16_t picked[16] = {};
      const int count = std::popcount(static_cast<unsigned>(lanes));
      for (int j = 0; j < count; ++j) {
        std::memcpy(&picked[j], texRow + static_cast<std::ptrdiff_t>(columns[i + j]) * 2, 2);
      }
      raw = _mm256_load_si256(reinterpret_cast<const __m256i*>(picked));
    }
    return WidenTexels<kKind>(_mm512_maskz_cvtepu16_epi32(0xFFFF, raw));
  }
}

// Per-rectangle constants, held in registers.
struct RowRegisters {
  __m512i zero, texelOr, targetFill, factor, max255, alphaLow, alphaHigh, opaque;
  bool testsAlpha;
};

// Sixteen pixels, of which those in `lanes` are drawn (those outside are
// neither read from the target nor written); returns the pixels written.
template <FastBlend kBlend, bool kWhiteFactor>
[[QZ_AVX512, gnu::always_inline]] inline int DrawBlock(const RowRegisters& r, __m512i texels, void* out,
                                                       __mmask16 lanes) {
  if constexpr (kBlend == FastBlend::kAlpha && kWhiteFactor) {
    // Alpha 255 blends to the texel itself, so a block opaque in every lane
    // drawn is stored without reading the target.
    if ((_mm512_cmpge_epu32_mask(texels, r.opaque) & lanes) == lanes) {
      __mmask16 kept = lanes;
      if (r.testsAlpha) {
        kept &= _mm512_cmpge_epu32_mask(texels, r.alphaLow) & _mm512_cmple_epu32_mask(texels, r.alphaHigh);
      }
      _mm512_mask_storeu_epi32(out, kept, _mm512_or_si512(texels, r.targetFill));
      return std::popcount(static_cast<unsigned>(kept));
    }
  }
  __m512i srcLo = _mm512_unpacklo_epi8(texels, r.zero), srcHi = _mm512_unpackhi_epi8(texels, r.zero);
  if constexpr (!kWhiteFactor) {
    // A white factor leaves every channel as it is (x * 255 / 255 rounds to x).
    srcLo = Div255Rounded(_mm512_mullo_epi16(srcLo, r.factor));
    srcHi = Div255Rounded(_mm512_mullo_epi16(srcHi, r.factor));
  }
  // The stage's output, whose alpha the alpha test reads.
  __m512i source = texels;
  if (!kWhiteFactor && (kBlend == FastBlend::kNone || r.testsAlpha)) source = _mm512_packus_epi16(srcLo, srcHi);
  __m512i result = source;
  if constexpr (kBlend != FastBlend::kNone) {
    const __m512i dst = _mm512_or_si512(_mm512_maskz_loadu_epi32(lanes, out), r.targetFill);
    const __m512i dLo = _mm512_unpacklo_epi8(dst, r.zero), dHi = _mm512_unpackhi_epi8(dst, r.zero);
    const __m512i alphaLo = SpreadAlpha(srcLo), alphaHi = SpreadAlpha(srcHi);
    const __m512i sLo = _mm512_mullo_epi16(srcLo, alphaLo), sHi = _mm512_mullo_epi16(srcHi, alphaHi);
    if constexpr (kBlend == FastBlend::kAlpha) {
      // Both products summed before the one rounding: at most 255 x 255.
      const __m512i keptLo = _mm512_mullo_epi16(dLo, _mm512_sub_epi16(r.max255, alphaLo));
      const __m512i keptHi = _mm512_mullo_epi16(dHi, _mm512_sub_epi16(r.max255, alphaHi));
      result = _mm512_packus_epi16(Div255Rounded(_mm512_add_epi16(sLo, keptLo)),
                                   Div255Rounded(_mm512_add_epi16(sHi, keptHi)));
    } else if constexpr (kBlend == FastBlend::kAdditive) {
      result = _mm512_packus_epi16(_mm512_add_epi16(Div255Rounded(sLo), dLo),
                                   _mm512_add_epi16(Div255Rounded(sHi), dHi));
    } else {
      result = _mm512_packus_epi16(_mm512_subs_epu16(dLo, Div255Rounded(sLo)),
                                   _mm512_subs_epu16(dHi, Div255Rounded(sHi)));
    }
  }
  __mmask16 kept = lanes;
  if (r.testsAlpha) {
    kept &= _mm512_cmpge_epu32_mask(source, r.alphaLow) & _mm512_cmple_epu32_mask(source, r.alphaHigh);
  }
  _mm512_mask_storeu_epi32(out, kept, _mm512_or_si512(result, r.targetFill));
  return std::popcount(static_cast<unsigned>(kept));
}

template <FastBlend kBlend, bool kWhiteFactor, TexelKind kKind>
[[QZ_AVX512]] long long FillRows(const VectorRowConstants& k, const VectorRows& job) {
  RowRegisters r;
  r.zero = _mm512_setzero_si512();
  r.texelOr = _mm512_set1_epi32(static_cast<int>(k.texelOr));
  r.targetFill = _mm512_set1_epi32(static_cast<int>(k.targetFill));
  // One pixel's channel multipliers in memory order, in each pixel's four lanes.
  const long long factor = static_cast<long long>(k.factor[0]) | static_cast<long long>(k.factor[1]) << 16 |
                           static_cast<long long>(k.factor[2]) << 32 | static_cast<long long>(k.factor[3]) << 48;
  r.factor = _mm512_set1_epi64(factor);
  r.max255 = _mm512_set1_epi16(255);
  r.opaque = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  // The alpha test on whole pixels: alpha in [low, high] is the pixel in
  // [low << 24, (high << 24) | 0xFFFFFF] as an unsigned number. A range
  // that holds no alpha (the NEVER test, LESS than 0) passes no pixel.
  const int low = std::max(k.alphaLow, 0), high = std::min(k.alphaHigh, 255);
  const bool none = low > high;
  r.alphaLow = _mm512_set1_epi32(static_cast<int>(none ? 0xFFFFFFFFu : static_cast<std::uint32_t>(low) << 24));
  r.alphaHigh = _mm512_set1_epi32(static_cast<int>(none ? 0u : static_cast<std::uint32_t>(high) << 24 | 0xFFFFFFu));
  r.testsAlpha = k.alphaLow > 0 || k.alphaHigh < 255;
  // Read into locals once: the stores below could alias the job for all the
  // compiler knows.
  const int* const columns = job.columns;
  const int count = job.count;
  const bool contiguous = job.contiguous;
  long long written = 0;
  for (int row = 0; row < job.rows; ++row) {
    const std::uint8_t* texRow = job.texels + static_cast<std::ptrdiff_t>(job.rowTexels[row]) * job.texPitch;
    std::uint8_t* out = job.dst + static_cast<std::ptrdiff_t>(row) * job.dstPitch;
    for (int i = 0; i < count; i += 16, out += 64) {
      const __mmask16 lanes = count - i >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << (count - i)) - 1);
      const __m512i texels = LoadTexels<kKind>(texRow, columns, i, contiguous, lanes);
      written += DrawBlock<kBlend, kWhiteFactor>(r, _mm512_or_si512(texels, r.texelOr), out, lanes);
    }
  }
  return written;
}

#undef QZ_AVX512

template <bool kWhiteFactor, TexelKind kKind>
VectorRect SelectForFactor(FastBlend blend) {
  switch (blend) {
    case FastBlend::kNone:
      return FillRows<FastBlend::kNone, kWhiteFactor, kKind>;
    case FastBlend::kAlpha:
      return FillRows<FastBlend::kAlpha, kWhiteFactor, kKind>;
    case FastBlend::kAdditive:
      return FillRows<FastBlend::kAdditive, kWhiteFactor, kKind>;
    default:
      return FillRows<FastBlend::kSubtract, kWhiteFactor, kKind>;
  }
}

template <TexelKind kKind>
VectorRect SelectForTexels(FastBlend blend, bool whiteFactor) {
  return whiteFactor ? SelectForFactor<true, kKind>(blend) : SelectForFactor<false, kKind>(blend);
}

}  // namespace

bool WideVectorRowsAvailable() {
  static const bool available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vl") &&
                                __builtin_cpu_supports("popcnt");
  return available;
}

VectorRect SelectWideVectorRect(FastBlend blend, const VectorRowConstants& k, bool whiteFactor) {
  switch (k.texelFormat) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return SelectForTexels<TexelKind::k32>(blend, whiteFactor);
    case D3DFMT_A4R4G4B4:
      return SelectForTexels<TexelKind::kA4R4G4B4>(blend, whiteFactor);
    case D3DFMT_R5G6B5:
      return SelectForTexels<TexelKind::kR5G6B5>(blend, whiteFactor);
    case D3DFMT_A1R5G5B5:
      return SelectForTexels<TexelKind::kA1R5G5B5>(blend, whiteFactor);
    case D3DFMT_X1R5G5B5:
      return SelectForTexels<TexelKind::kX1R5G5B5>(blend, whiteFactor);
    default:
      return nullptr;
  }
}

}  // namespace plat::raster
