// Theora 4:2:0 rows into 32-bit pixels. Every loop computes the colour
// tables' sums exactly: the products are 16-bit multiply-adds, the shift by
// 14 and the saturating packs stand for the division and the clamp table (the
// shift rounds negative sums down instead of toward zero; both clamp to 0).
// The blue factor 33062 does not fit 16 bits, so it multiplies twice Cb - 128
// by 16531. Chroma terms are made once for both rows of a pair.
#include "movie/theora_row_kernels.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "movie/movie_services.h"
#include "softrender/cpu_features.h"

namespace qz {
namespace {

static_assert(kTheoraFixedOne == 1 << 14, "the shift divides by the fixed-point one");

// Two rows of pixels and the chroma row they share, from sample `c` on.
struct RowPair {
  const std::uint8_t* y0;
  const std::uint8_t* y1;
  const std::uint8_t* u;
  const std::uint8_t* v;
  std::uint8_t* out0;
  std::uint8_t* out1;
};

inline void StorePixel(const std::uint8_t* clamp, int luma, int red, int green, int blue, std::uint8_t* out) {
  const std::uint32_t pixel = 0xFF000000u | static_cast<std::uint32_t>(clamp[(luma + red) >> 14]) << 16 |
                              static_cast<std::uint32_t>(clamp[(luma + green) >> 14]) << 8 |
                              clamp[(luma + blue) >> 14];
  std::memcpy(out, &pixel, 4);
}

void PortablePairs(const RowPair& rows, int c, int pairs) {
  const TheoraColorTables& tables = GetTheoraColorTables();
  const std::uint8_t* clamp = GetTheoraClampTable();
  for (; c < pairs; ++c) {
    const int red = tables.crToRed[rows.v[c]];
    const int green = tables.cbToGreen[rows.u[c]] + tables.crToGreen[rows.v[c]];
    const int blue = tables.cbToBlue[rows.u[c]];
    StorePixel(clamp, tables.luma[rows.y0[2 * c]], red, green, blue, rows.out0 + 8 * c);
    StorePixel(clamp, tables.luma[rows.y0[2 * c + 1]], red, green, blue, rows.out0 + 8 * c + 4);
    StorePixel(clamp, tables.luma[rows.y1[2 * c]], red, green, blue, rows.out1 + 8 * c);
    StorePixel(clamp, tables.luma[rows.y1[2 * c + 1]], red, green, blue, rows.out1 + 8 * c + 4);
  }
}

#if defined(__x86_64__)
// A pair of 16-bit factors for _mm_madd_epi16, the first for the even word.
constexpr std::int32_t FactorPair(std::int16_t first, std::int16_t second) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(second)) << 16 |
                                   static_cast<std::uint16_t>(first));
}
constexpr std::int32_t kLumaFactors = FactorPair(19070, 0);
constexpr std::int32_t kRedFactors = FactorPair(26148, 0);
constexpr std::int32_t kGreenFactors = FactorPair(-6406, -13320);
constexpr std::int32_t kBlueFactors = FactorPair(16531, 0);

// Four chroma samples, each serving two pixels of a row: the channel terms of
// eight pixels, as two halves of four.
struct ChromaTerms128 {
  __m128i red[2];
  __m128i green[2];
  __m128i blue[2];
};

ChromaTerms128 MakeChromaTerms128(const std::uint8_t* u, const std::uint8_t* v) {
  const __m128i zero = _mm_setzero_si128();
  std::int32_t u4 = 0;
  std::int32_t v4 = 0;
  std::memcpy(&u4, u, 4);
  std::memcpy(&v4, v, 4);
  __m128i cb = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), zero), _mm_set1_epi16(128));
  __m128i cr = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v4), zero), _mm_set1_epi16(128));
  cb = _mm_unpacklo_epi16(cb, cb);
  cr = _mm_unpacklo_epi16(cr, cr);
  const __m128i cb2 = _mm_add_epi16(cb, cb);
  ChromaTerms128 terms;
  terms.red[0] = _mm_madd_epi16(_mm_unpacklo_epi16(cr, zero), _mm_set1_epi32(kRedFactors));
  terms.red[1] = _mm_madd_epi16(_mm_unpackhi_epi16(cr, zero), _mm_set1_epi32(kRedFactors));
  terms.green[0] = _mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), _mm_set1_epi32(kGreenFactors));
  terms.green[1] = _mm_madd_epi16(_mm_unpackhi_epi16(cb, cr), _mm_set1_epi32(kGreenFactors));
  terms.blue[0] = _mm_madd_epi16(_mm_unpacklo_epi16(cb2, zero), _mm_set1_epi32(kBlueFactors));
  terms.blue[1] = _mm_madd_epi16(_mm_unpackhi_epi16(cb2, zero), _mm_set1_epi32(kBlueFactors));
  return terms;
}

__m128i Channel128(const __m128i* lumaTerm, const __m128i* chroma) {
  const __m128i words = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(lumaTerm[0], chroma[0]), 14),
                                        _mm_srai_epi32(_mm_add_epi32(lumaTerm[1], chroma[1]), 14));
  return _mm_packus_epi16(words, words);
}

void EightPixels128(const ChromaTerms128& terms, const std::uint8_t* y, std::uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero),
                                     _mm_set1_epi16(16));
  const __m128i lumaTerm[2] = {_mm_madd_epi16(_mm_unpacklo_epi16(luma, zero), _mm_set1_epi32(kLumaFactors)),
                               _mm_madd_epi16(_mm_unpackhi_epi16(luma, zero), _mm_set1_epi32(kLumaFactors))};
  const __m128i blueGreen = _mm_unpacklo_epi8(Channel128(lumaTerm, terms.blue), Channel128(lumaTerm, terms.green));
  const __m128i redAlpha = _mm_unpacklo_epi8(Channel128(lumaTerm, terms.red), _mm_set1_epi8(-1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(blueGreen, redAlpha));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(blueGreen, redAlpha));
}

// Four chroma samples a step; the sample after the last one done.
int Sse2Pairs(const RowPair& rows, int c, int pairs) {
  for (; c + 4 <= pairs; c += 4) {
    const ChromaTerms128 terms = MakeChromaTerms128(rows.u + c, rows.v + c);
    EightPixels128(terms, rows.y0 + 2 * c, rows.out0 + 8 * c);
    EightPixels128(terms, rows.y1 + 2 * c, rows.out1 + 8 * c);
  }
  return c;
}

// The same with 256-bit registers: eight chroma samples, sixteen pixels a
// row. Unpacks and packs work within 128-bit lanes, so each lane holds its
// half of the terms (pixels 0-3 and 8-11 in the low words, 4-7 and 12-15 in
// the high ones) until the final lane swap puts the pixels in order.
struct ChromaTerms256 {
  __m256i red[2];
  __m256i green[2];
  __m256i blue[2];
};

[[gnu::target("avx2")]] inline __m256i DoubledSamples(const std::uint8_t* samples) {
  const __m128i words = _mm_sub_epi16(_mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples))),
                                      _mm_set1_epi16(128));
  return _mm256_set_m128i(_mm_unpackhi_epi16(words, words), _mm_unpacklo_epi16(words, words));
}

[[gnu::target("avx2")]] inline ChromaTerms256 MakeChromaTerms256(const std::uint8_t* u, const std::uint8_t* v) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i cb = DoubledSamples(u);
  const __m256i cr = DoubledSamples(v);
  const __m256i cb2 = _mm256_add_epi16(cb, cb);
  ChromaTerms256 terms;
  terms.red[0] = _mm256_madd_epi16(_mm256_unpacklo_epi16(cr, zero), _mm256_set1_epi32(kRedFactors));
  terms.red[1] = _mm256_madd_epi16(_mm256_unpackhi_epi16(cr, zero), _mm256_set1_epi32(kRedFactors));
  terms.green[0] = _mm256_madd_epi16(_mm256_unpacklo_epi16(cb, cr), _mm256_set1_epi32(kGreenFactors));
  terms.green[1] = _mm256_madd_epi16(_mm256_unpackhi_epi16(cb, cr), _mm256_set1_epi32(kGreenFactors));
  terms.blue[0] = _mm256_madd_epi16(_mm256_unpacklo_epi16(cb2, zero), _mm256_set1_epi32(kBlueFactors));
  terms.blue[1] = _mm256_madd_epi16(_mm256_unpackhi_epi16(cb2, zero), _mm256_set1_epi32(kBlueFactors));
  return terms;
}

// A channel's sixteen words, in order.
[[gnu::target("avx2")]] inline __m256i ChannelWords256(const __m256i* lumaTerm, const __m256i* chroma) {
  return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(lumaTerm[0], chroma[0]), 14),
                            _mm256_srai_epi32(_mm256_add_epi32(lumaTerm[1], chroma[1]), 14));
}

[[gnu::target("avx2")]] inline void SixteenPixels256(const ChromaTerms256& terms, const std::uint8_t* y,
                                                     std::uint8_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i luma = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y))),
                                        _mm256_set1_epi16(16));
  const __m256i lumaTerm[2] = {
      _mm256_madd_epi16(_mm256_unpacklo_epi16(luma, zero), _mm256_set1_epi32(kLumaFactors)),
      _mm256_madd_epi16(_mm256_unpackhi_epi16(luma, zero), _mm256_set1_epi32(kLumaFactors))};
  // Per lane: eight blue bytes then eight green, eight red then eight 0xFF.
  const __m256i blueGreen =
      _mm256_packus_epi16(ChannelWords256(lumaTerm, terms.blue), ChannelWords256(lumaTerm, terms.green));
  const __m256i redAlpha = _mm256_packus_epi16(ChannelWords256(lumaTerm, terms.red), _mm256_set1_epi16(255));
  const __m256i blueRed = _mm256_unpacklo_epi8(blueGreen, redAlpha);
  const __m256i greenAlpha = _mm256_unpackhi_epi8(blueGreen, redAlpha);
  const __m256i first = _mm256_unpacklo_epi8(blueRed, greenAlpha);   // pixels 0-3 | 8-11
  const __m256i second = _mm256_unpackhi_epi8(blueRed, greenAlpha);  // pixels 4-7 | 12-15
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(first, second, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), _mm256_permute2x128_si256(first, second, 0x31));
}

[[gnu::target("avx2")]] int Avx2Pairs(const RowPair& rows, int c, int pairs) {
  for (; c + 8 <= pairs; c += 8) {
    const ChromaTerms256 terms = MakeChromaTerms256(rows.u + c, rows.v + c);
    SixteenPixels256(terms, rows.y0 + 2 * c, rows.out0 + 8 * c);
    SixteenPixels256(terms, rows.y1 + 2 * c, rows.out1 + 8 * c);
  }
  return c;
}
#endif

}  // namespace

bool TheoraRowKernelAvailable(TheoraRowKernel kernel) {
#if defined(__x86_64__)
  return kernel != TheoraRowKernel::kAvx2 || CpuHasAvx2();
#else
  return kernel == TheoraRowKernel::kPortable;
#endif
}

TheoraRowKernel BestTheoraRowKernel() {
  if (TheoraRowKernelAvailable(TheoraRowKernel::kAvx2)) return TheoraRowKernel::kAvx2;
  if (TheoraRowKernelAvailable(TheoraRowKernel::kSse2)) return TheoraRowKernel::kSse2;
  return TheoraRowKernel::kPortable;
}

void ConvertTheoraBlockRows(const TheoraPlanes& planes, int pairs, int rowPairs, std::uint8_t* out,
                            std::ptrdiff_t pitch, TheoraRowKernel kernel) {
  for (int r = 0; r < rowPairs; ++r) {
    const std::uint8_t* y0 = planes.y + 2 * r * planes.yStride;
    std::uint8_t* out0 = out + 2 * r * pitch;
    const RowPair rows{y0, y0 + planes.yStride, planes.u + r * planes.uvStride, planes.v + r * planes.uvStride,
                       out0, out0 + pitch};
    int c = 0;
#if defined(__x86_64__)
    // The wider loops leave the last samples of a row to the narrower ones.
    if (kernel == TheoraRowKernel::kAvx2) c = Avx2Pairs(rows, c, pairs);
    if (kernel != TheoraRowKernel::kPortable) c = Sse2Pairs(rows, c, pairs);
#endif
    PortablePairs(rows, c, pairs);
  }
}

}  // namespace qz
