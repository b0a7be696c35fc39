// Vector spans of the 32-bit weighted move: AVX2 when the processor has it
// (chosen at run time, the build targets plain x86-64), else SSE2, else the
// packed scalar form; all give the floored formula exactly.
#include "softrender/blit_swar.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "softrender/cpu_features.h"

namespace qz::blit {

namespace {

#if defined(__x86_64__)
__attribute__((target("avx2"))) int Lerp8Avx2(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n,
                                              std::uint32_t w, bool fromAlpha) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi16(256);
  const __m256i keepX = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i fixed = _mm256_set1_epi16(static_cast<short>(w));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i s8 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * i));
    const __m256i d8 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 4 * i));
    const __m256i sl = _mm256_unpacklo_epi8(s8, zero), sh = _mm256_unpackhi_epi8(s8, zero);
    const __m256i dl = _mm256_unpacklo_epi8(d8, zero), dh = _mm256_unpackhi_epi8(d8, zero);
    __m256i wl = fixed, wh = fixed;
    if (fromAlpha) {
      wl = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sl, 0xFF), 0xFF);
      wh = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sh, 0xFF), 0xFF);
    }
    const __m256i rl = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(dl, _mm256_sub_epi16(full, wl)), _mm256_mullo_epi16(sl, wl)), 8);
    const __m256i rh = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(dh, _mm256_sub_epi16(full, wh)), _mm256_mullo_epi16(sh, wh)), 8);
    const __m256i r =
        _mm256_or_si256(_mm256_andnot_si256(keepX, _mm256_packus_epi16(rl, rh)), _mm256_and_si256(keepX, d8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i), r);
  }
  return i;
}
#endif

}  // namespace

void Lerp8Span(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, std::uint32_t w, bool fromAlpha) {
  int i = 0;
#if defined(__x86_64__)
  if (n >= 8 && CpuHasAvx2()) i = Lerp8Avx2(d, s, n, w, fromAlpha);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi16(256);
  const __m128i keepX = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i fixed = _mm_set1_epi16(static_cast<short>(w));
  for (; i + 4 <= n; i += 4) {
    const __m128i s4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    const __m128i d4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * i));
    const __m128i sl = _mm_unpacklo_epi8(s4, zero), sh = _mm_unpackhi_epi8(s4, zero);
    const __m128i dl = _mm_unpacklo_epi8(d4, zero), dh = _mm_unpackhi_epi8(d4, zero);
    __m128i wl = fixed, wh = fixed;
    if (fromAlpha) {
      wl = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sl, 0xFF), 0xFF);
      wh = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sh, 0xFF), 0xFF);
    }
    const __m128i rl = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(dl, _mm_sub_epi16(full, wl)), _mm_mullo_epi16(sl, wl)), 8);
    const __m128i rh = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(dh, _mm_sub_epi16(full, wh)), _mm_mullo_epi16(sh, wh)), 8);
    const __m128i r = _mm_or_si128(_mm_andnot_si128(keepX, _mm_packus_epi16(rl, rh)), _mm_and_si128(keepX, d4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), r);
  }
#endif
  for (; i < n; ++i) {
    const std::uint32_t sc = pixel::Load32(s + 4 * i);
    pixel::Store32(d + 4 * i, Lerp8Packed(pixel::Load32(d + 4 * i), sc, fromAlpha ? sc >> 24 : w));
  }
}

template <bool kSubtract, bool kFullTerm>
int AddSubSpan32(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, int p) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i weight = _mm_set1_epi16(static_cast<short>(p));
  // floor(x / 255) = (x * 0x8081) >> 23 for every product x of two bytes.
  const __m128i by255 = _mm_set1_epi16(static_cast<short>(0x8081));
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  const __m128i guards = _mm_set1_epi32(0x01010100);
  for (; i + 4 <= n; i += 4) {
    __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    const __m128i d4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * i));
    if constexpr (!kFullTerm) {
      const __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), weight);
      const __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), weight);
      t = _mm_packus_epi16(_mm_srli_epi16(_mm_mulhi_epu16(lo, by255), 7),
                           _mm_srli_epi16(_mm_mulhi_epu16(hi, by255), 7));
    }
    t = _mm_and_si128(t, colour);
    __m128i r;
    if constexpr (kSubtract) {
      // pixel::PackedSub32 on each lane.
      r = _mm_sub_epi32(_mm_or_si128(d4, guards), _mm_andnot_si128(guards, t));
      const __m128i g = _mm_and_si128(r, guards);
      r = _mm_and_si128(r, _mm_sub_epi32(g, _mm_srli_epi32(g, 8)));
    } else {
      // pixel::PackedAdd32 on each lane, low bits kept unless full term.
      const __m128i low = _mm_set1_epi32(0x00FEFEFF);
      const __m128i sum = _mm_add_epi32(_mm_and_si128(d4, low), _mm_and_si128(t, low));
      const __m128i carry = _mm_and_si128(sum, guards);
      r = _mm_or_si128(sum, _mm_sub_epi32(carry, _mm_srli_epi32(carry, 8)));
      if constexpr (!kFullTerm) r = _mm_or_si128(r, _mm_and_si128(_mm_or_si128(d4, t), _mm_set1_epi32(0x00010100)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), r);
  }
#else
  (void)d;
  (void)s;
  (void)n;
  (void)p;
#endif
  return i;
}

#if defined(__x86_64__)
// Eight pixels a step of KeyedSpan32; returns how many it drew.
template <bool kMix>
__attribute__((target("avx2"))) int KeyedAvx2(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n,
                                              std::uint32_t key, int p) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i weight = _mm256_set1_epi16(static_cast<short>(p));
  const __m256i inverse = _mm256_set1_epi16(static_cast<short>(256 - p));
  const __m256i keepX = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i s8 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * i));
    const __m256i keyed = _mm256_cmpeq_epi32(s8, keys);
    if (_mm256_movemask_epi8(keyed) == -1) continue;
    const __m256i d8 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 4 * i));
    __m256i drawn = s8;
    if constexpr (kMix) {
      // Unpacking and packing both keep to 128-bit lanes, so the pixels come
      // back in their order.
      const __m256i lo = _mm256_srli_epi16(
          _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d8, zero), inverse),
                           _mm256_mullo_epi16(_mm256_unpacklo_epi8(s8, zero), weight)),
          8);
      const __m256i hi = _mm256_srli_epi16(
          _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d8, zero), inverse),
                           _mm256_mullo_epi16(_mm256_unpackhi_epi8(s8, zero), weight)),
          8);
      drawn = _mm256_or_si256(_mm256_andnot_si256(keepX, _mm256_packus_epi16(lo, hi)), _mm256_and_si256(keepX, d8));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i),
                        _mm256_or_si256(_mm256_and_si256(keyed, d8), _mm256_andnot_si256(keyed, drawn)));
  }
  return i;
}
#endif

template <bool kMix>
int KeyedSpan32(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, std::uint32_t key, int p) {
  int i = 0;
#if defined(__x86_64__)
  if (n >= 8 && CpuHasAvx2()) i = KeyedAvx2<kMix>(d, s, n, key, p);
#endif
#if defined(__SSE2__)
  const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
  const __m128i zero = _mm_setzero_si128();
  const __m128i weight = _mm_set1_epi16(static_cast<short>(p));
  const __m128i inverse = _mm_set1_epi16(static_cast<short>(256 - p));
  const __m128i keepX = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; i + 4 <= n; i += 4) {
    const __m128i s4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    const __m128i keyed = _mm_cmpeq_epi32(s4, keys);
    // A block wholly transparent is common (a window's inside, a sprite's
    // surround) and needs not even the target read.
    if (_mm_movemask_epi8(keyed) == 0xFFFF) continue;
    const __m128i d4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * i));
    __m128i drawn = s4;
    if constexpr (kMix) {
      const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d4, zero), inverse),
                                                      _mm_mullo_epi16(_mm_unpacklo_epi8(s4, zero), weight)),
                                        8);
      const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d4, zero), inverse),
                                                      _mm_mullo_epi16(_mm_unpackhi_epi8(s4, zero), weight)),
                                        8);
      drawn = _mm_or_si128(_mm_andnot_si128(keepX, _mm_packus_epi16(lo, hi)), _mm_and_si128(keepX, d4));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i),
                     _mm_or_si128(_mm_and_si128(keyed, d4), _mm_andnot_si128(keyed, drawn)));
  }
#else
  (void)d;
  (void)s;
  (void)n;
  (void)key;
  (void)p;
#endif
  return i;
}

template int KeyedSpan32<false>(std::uint8_t* __restrict, const std::uint8_t* __restrict, int, std::uint32_t, int);
template int KeyedSpan32<true>(std::uint8_t* __restrict, const std::uint8_t* __restrict, int, std::uint32_t, int);

template int AddSubSpan32<false, false>(std::uint8_t* __restrict, const std::uint8_t* __restrict, int, int);
template int AddSubSpan32<false, true>(std::uint8_t* __restrict, const std::uint8_t* __restrict, int, int);
template int AddSubSpan32<true, false>(std::uint8_t* __restrict, const std::uint8_t* __restrict, int, int);
template int AddSubSpan32<true, true>(std::uint8_t* __restrict, const std::uint8_t* __restrict, int, int);

}  // namespace qz::blit
