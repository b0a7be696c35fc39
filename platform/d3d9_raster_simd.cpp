// AVX2 rows of the fast rectangle path. Each 256-bit register holds eight
// pixels; widened to 16-bit lanes, a product over 255 rounded to nearest is
// ((x y + 127) x 0x8081) >> 23, exact for every product of two bytes. Pixels
// that fail the alpha test are left out by masked stores, which need not
// read them first.
#include "platform/d3d9_raster_simd.h"

#include <immintrin.h>

#include <bit>

#include "platform/d3d9_raster_internal.h"

namespace plat::raster {
namespace {

[[gnu::target("avx2")]] inline __m256i Div255Rounded(__m256i product) {
  const __m256i biased = _mm256_add_epi16(product, _mm256_set1_epi16(127));
  return _mm256_srli_epi16(_mm256_mulhi_epu16(biased, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Each pixel's alpha lane copied to its four lanes.
[[gnu::target("avx2")]] inline __m256i SpreadAlpha(__m256i wide) {
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(wide, 0xFF), 0xFF);
}

template <FastBlend kBlend, bool kWhiteFactor>
[[gnu::target("avx2,popcnt")]] long long FillRows(const VectorRowConstants& k, const VectorRows& job) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i texelOr = _mm256_set1_epi32(static_cast<int>(k.texelOr));
  const __m256i targetFill = _mm256_set1_epi32(static_cast<int>(k.targetFill));
  const __m256i factor = _mm256_setr_epi16(
      static_cast<short>(k.factor[0]), static_cast<short>(k.factor[1]), static_cast<short>(k.factor[2]),
      static_cast<short>(k.factor[3]), static_cast<short>(k.factor[0]), static_cast<short>(k.factor[1]),
      static_cast<short>(k.factor[2]), static_cast<short>(k.factor[3]), static_cast<short>(k.factor[0]),
      static_cast<short>(k.factor[1]), static_cast<short>(k.factor[2]), static_cast<short>(k.factor[3]),
      static_cast<short>(k.factor[0]), static_cast<short>(k.factor[1]), static_cast<short>(k.factor[2]),
      static_cast<short>(k.factor[3]));
  const __m256i alphaAbove = _mm256_set1_epi16(static_cast<short>(k.alphaLow - 1));
  const __m256i alphaBelow = _mm256_set1_epi16(static_cast<short>(k.alphaHigh + 1));
  const __m256i alphaAbove32 = _mm256_set1_epi32(k.alphaLow - 1);
  const __m256i alphaBelow32 = _mm256_set1_epi32(k.alphaHigh + 1);
  const __m256i max255 = _mm256_set1_epi16(255);
  const bool testsAlpha = k.alphaLow > 0 || k.alphaHigh < 255;
  const int* columns = job.columns;
  long long written = 0;
  for (int row = 0; row < job.rows; ++row) {
    const std::uint8_t* texRow = job.texels + static_cast<std::ptrdiff_t>(job.rowTexels[row]) * job.texPitch;
    std::uint8_t* dst = job.dst + static_cast<std::ptrdiff_t>(row) * job.dstPitch;
    for (int i = 0; i + 8 <= job.count; i += 8) {
      __m256i texels;
      if (job.contiguous) {
        const auto* first = texRow + static_cast<std::ptrdiff_t>(columns[i]) * 4;
        texels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first));
      } else {
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i));
        texels = _mm256_i32gather_epi32(reinterpret_cast<const int*>(texRow), index, 4);
      }
      texels = _mm256_or_si256(texels, texelOr);
      auto* out = reinterpret_cast<__m256i*>(dst + static_cast<std::ptrdiff_t>(i) * 4);
      __m256i result;
      __m256i pass = _mm256_setzero_si256();  // lanes that pass the alpha test, read only when it is on
      if constexpr (kBlend == FastBlend::kNone && kWhiteFactor) {
        // Texels go out as they are: the alpha test is the only per-pixel work.
        result = texels;
        if (testsAlpha) {
          const __m256i alpha = _mm256_srli_epi32(texels, 24);
          pass = _mm256_and_si256(_mm256_cmpgt_epi32(alpha, alphaAbove32), _mm256_cmpgt_epi32(alphaBelow32, alpha));
        }
      } else {
        // A white factor leaves every channel as it is (x * 255 / 255 rounds to x).
        __m256i srcLo = _mm256_unpacklo_epi8(texels, zero), srcHi = _mm256_unpackhi_epi8(texels, zero);
        if constexpr (!kWhiteFactor) {
          srcLo = Div255Rounded(_mm256_mullo_epi16(srcLo, factor));
          srcHi = Div255Rounded(_mm256_mullo_epi16(srcHi, factor));
        }
        const __m256i alphaLo = SpreadAlpha(srcLo), alphaHi = SpreadAlpha(srcHi);
        if constexpr (kBlend == FastBlend::kNone) {
          result = _mm256_packus_epi16(srcLo, srcHi);
        } else {
          const __m256i dstFilled = _mm256_or_si256(_mm256_loadu_si256(out), targetFill);
          const __m256i dLo = _mm256_unpacklo_epi8(dstFilled, zero), dHi = _mm256_unpackhi_epi8(dstFilled, zero);
          const __m256i sLo = _mm256_mullo_epi16(srcLo, alphaLo);
          const __m256i sHi = _mm256_mullo_epi16(srcHi, alphaHi);
          if constexpr (kBlend == FastBlend::kAlpha) {
            // Both products summed before the one rounding: at most 255 x 255.
            const __m256i keptLo = _mm256_mullo_epi16(dLo, _mm256_sub_epi16(max255, alphaLo));
            const __m256i keptHi = _mm256_mullo_epi16(dHi, _mm256_sub_epi16(max255, alphaHi));
            result = _mm256_packus_epi16(Div255Rounded(_mm256_add_epi16(sLo, keptLo)),
                                         Div255Rounded(_mm256_add_epi16(sHi, keptHi)));
          } else {
            result = _mm256_packus_epi16(_mm256_add_epi16(Div255Rounded(sLo), dLo),
                                         _mm256_add_epi16(Div255Rounded(sHi), dHi));
          }
        }
        if (testsAlpha) {
          const __m256i passLo =
              _mm256_and_si256(_mm256_cmpgt_epi16(alphaLo, alphaAbove), _mm256_cmpgt_epi16(alphaBelow, alphaLo));
          const __m256i passHi =
              _mm256_and_si256(_mm256_cmpgt_epi16(alphaHi, alphaAbove), _mm256_cmpgt_epi16(alphaBelow, alphaHi));
          pass = _mm256_packs_epi16(passLo, passHi);
        }
      }
      result = _mm256_or_si256(result, targetFill);
      if (testsAlpha) {
        _mm256_maskstore_epi32(reinterpret_cast<int*>(out), pass, result);
        written += std::popcount(static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(pass))));
      } else {
        _mm256_storeu_si256(out, result);
        written += 8;
      }
    }
  }
  return written;
}

}  // namespace

bool VectorRowsAvailable() {
  static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return available;
}

VectorRect SelectVectorRect(FastBlend blend, const VectorRowConstants& k) {
  const bool white = k.factor[0] == 255 && k.factor[1] == 255 && k.factor[2] == 255 && k.factor[3] == 255;
  switch (blend) {
    case FastBlend::kNone:
      return white ? FillRows<FastBlend::kNone, true> : FillRows<FastBlend::kNone, false>;
    case FastBlend::kAlpha:
      return white ? FillRows<FastBlend::kAlpha, true> : FillRows<FastBlend::kAlpha, false>;
    default:
      return white ? FillRows<FastBlend::kAdditive, true> : FillRows<FastBlend::kAdditive, false>;
  }
}

}  // namespace plat::raster
