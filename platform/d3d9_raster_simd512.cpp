// AVX-512 rows of the fast rectangle path for 32-bit texels: sixteen pixels
// a register, so a sprite row of sixteen is one block, and masks that leave
// out the lanes past a row's end or failing the alpha test without reading
// or writing them. The arithmetic is the AVX2 rows' lane for lane, so either
// gives the same bytes; 16-bit texels stay on the AVX2 rows.
#include <immintrin.h>

#include <algorithm>
#include <bit>

#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_simd.h"

namespace plat::raster {
namespace {

#define QZ_AVX512 gnu::target("avx512f,avx512bw,popcnt")

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

// Per-rectangle constants, held in registers.
struct RowRegisters {
  __m512i zero, texelOr, targetFill, factor, max255, alphaLow, alphaHigh;
  bool testsAlpha;
};

// Sixteen pixels, of which those in `lanes` are drawn (those outside are
// neither read from the target nor written); returns the pixels written.
template <FastBlend kBlend, bool kWhiteFactor>
[[QZ_AVX512, gnu::always_inline]] inline int DrawBlock(const RowRegisters& r, __m512i texels, void* out,
                                                       __mmask16 lanes) {
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

template <FastBlend kBlend, bool kWhiteFactor>
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
      // Masked loads touch no texel past the row's last, so a block may end
      // anywhere in the texture.
      const __mmask16 lanes = count - i >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << (count - i)) - 1);
      __m512i texels;
      if (contiguous) {
        texels = _mm512_maskz_loadu_epi32(lanes, texRow + static_cast<std::ptrdiff_t>(columns[i]) * 4);
      } else {
        const __m512i index = _mm512_maskz_loadu_epi32(lanes, columns + i);
        texels = _mm512_mask_i32gather_epi32(r.zero, lanes, index, texRow, 4);
      }
      written += DrawBlock<kBlend, kWhiteFactor>(r, _mm512_or_si512(texels, r.texelOr), out, lanes);
    }
  }
  return written;
}

#undef QZ_AVX512

template <bool kWhiteFactor>
VectorRect SelectForFactor(FastBlend blend) {
  switch (blend) {
    case FastBlend::kNone:
      return FillRows<FastBlend::kNone, kWhiteFactor>;
    case FastBlend::kAlpha:
      return FillRows<FastBlend::kAlpha, kWhiteFactor>;
    case FastBlend::kAdditive:
      return FillRows<FastBlend::kAdditive, kWhiteFactor>;
    default:
      return FillRows<FastBlend::kSubtract, kWhiteFactor>;
  }
}

}  // namespace

bool WideVectorRowsAvailable() {
  static const bool available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("popcnt");
  return available;
}

VectorRect SelectWideVectorRect(FastBlend blend, const VectorRowConstants& k, bool whiteFactor) {
  if (k.texelFormat != D3DFMT_A8R8G8B8 && k.texelFormat != D3DFMT_X8R8G8B8) return nullptr;
  return whiteFactor ? SelectForFactor<true>(blend) : SelectForFactor<false>(blend);
}

}  // namespace plat::raster
