// Faster policies for the hottest 32-bit blit combinations (copy and alpha
// blend without blend image or modulation): the weighted move is computed as
// (d * (2^k - W) + s * W) >> k, which equals the floored formula because both
// terms are non-negative, on two channels per multiply where it fits.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "softrender/pixel_kernels.h"

namespace qz::blit {

// Weight w of 0..256 on B, G, R; byte X kept from d.
inline std::uint32_t Lerp8Packed(std::uint32_t d, std::uint32_t s, std::uint32_t w) {
  const std::uint32_t iw = 256 - w;
  const std::uint32_t rb = (((d & 0x00FF00FFu) * iw + (s & 0x00FF00FFu) * w) >> 8) & 0x00FF00FFu;
  const std::uint32_t g = (((d & 0x0000FF00u) * iw + (s & 0x0000FF00u) * w) >> 8) & 0x0000FF00u;
  return (d & 0xFF000000u) | rb | g;
}

// One pixel of Lerp8Packed weighted by its own alpha byte.
inline std::uint32_t Lerp8ByAlpha(std::uint32_t d, std::uint32_t s) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i sl = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(s)), zero);
  const __m128i dl = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(d)), zero);
  const __m128i w = _mm_shufflelo_epi16(sl, 0xFF);
  const __m128i r = _mm_srli_epi16(
      _mm_add_epi16(_mm_mullo_epi16(dl, _mm_sub_epi16(_mm_set1_epi16(256), w)), _mm_mullo_epi16(sl, w)), 8);
  return (static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r))) & 0x00FFFFFFu) | (d & 0xFF000000u);
#else
  return Lerp8Packed(d, s, s >> 24);
#endif
}

// Span form of Lerp8Packed: the weight of each pixel is its alpha byte
// (fromAlpha) or w for the whole span. Wide vector units take eight or four
// pixels at a time on 16-bit lanes, where d * (256 - w) + s * w stays below 2^16.
void Lerp8Span(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, std::uint32_t w, bool fromAlpha);

// Modes 2 (add) and 3 (subtract) from a direct 32-bit source without key,
// blend image or modulation, four pixels at a time: the term floor(s p / 255)
// of each channel (the source itself at the p = 255 shortcut), then the
// packed add or subtract of the per-pixel kernels, bit for bit. Returns how
// many of the n pixels it drew, a multiple of four; the caller draws the rest.
template <bool kSubtract, bool kFullTerm>
int AddSubSpan32(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, int p);

// Keyed rows from a plain 32-bit source without blend image or modulation,
// eight (AVX2) or four pixels at a time: a pixel equal to the key leaves the target as it is,
// any other is copied (kMix false) or mixed as Lerp8Packed at weight p, bit
// for bit. Returns how many of the n pixels it drew, a multiple of four; the
// caller draws the rest.
template <bool kMix>
int KeyedSpan32(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, std::uint32_t key, int p);

// Copies n 4-byte pixels. Runs are short, so an inline copy beats a call:
// the last four pixels are stored overlapping rather than by a tail loop, and
// the empty asm hides the index so GCC does not turn the loop into memmove.
inline void CopySpan32(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n) {
#if defined(__SSE2__)
  if (n >= 4) {
    for (int i = 0; i + 4 < n; i += 4) {
      __asm__("" : "+r"(i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i)));
    }
    const int last = 4 * (n - 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + last), _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + last)));
    return;
  }
  if (n & 2) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)));
    d += 8;
    s += 8;
  }
  if (n & 1) pixel::Store32(d, pixel::Load32(s));
#else
  for (int i = 0; i < n; ++i) pixel::Store32(d + 4 * i, pixel::Load32(s + 4 * i));
#endif
}

#if defined(__SSE2__)
// Lerp8ByAlpha of the pixels on 16-bit lanes, two per register.
inline __m128i Lerp8ByAlphaLanes(__m128i dl, __m128i sl) {
  const __m128i w = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sl, 0xFF), 0xFF);
  return _mm_srli_epi16(
      _mm_add_epi16(_mm_mullo_epi16(dl, _mm_sub_epi16(_mm_set1_epi16(256), w)), _mm_mullo_epi16(sl, w)), 8);
}
#endif

// Lerp8ByAlpha over a run: runs shorter than the wide vector's setup pays
// for (anti-aliased edges) stay inline, four or two pixels at a time.
inline void Lerp8ByAlphaSpan(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n) {
#if defined(__SSE2__)
  if (n >= 16) {
    Lerp8Span(d, s, n, 0, true);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i keepX = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; n >= 4; n -= 4) {
    const __m128i d4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    const __m128i s4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i rl = Lerp8ByAlphaLanes(_mm_unpacklo_epi8(d4, zero), _mm_unpacklo_epi8(s4, zero));
    const __m128i rh = Lerp8ByAlphaLanes(_mm_unpackhi_epi8(d4, zero), _mm_unpackhi_epi8(s4, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                     _mm_or_si128(_mm_andnot_si128(keepX, _mm_packus_epi16(rl, rh)), _mm_and_si128(keepX, d4)));
    d += 16;
    s += 16;
  }
  if (n >= 2) {
    const __m128i d2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d));
    const __m128i s2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
    const __m128i r = Lerp8ByAlphaLanes(_mm_unpacklo_epi8(d2, zero), _mm_unpacklo_epi8(s2, zero));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d),
                     _mm_or_si128(_mm_andnot_si128(keepX, _mm_packus_epi16(r, r)), _mm_and_si128(keepX, d2)));
    d += 8;
    s += 8;
    n -= 2;
  }
  if (n != 0) pixel::Store32(d, Lerp8ByAlpha(pixel::Load32(d), pixel::Load32(s)));
#else
  Lerp8Span(d, s, n, 0, true);
#endif
}

// Weight w of 0..65536 with a 16-bit shift, one channel per multiply.
inline std::uint32_t Lerp16Channels(std::uint32_t d, std::uint32_t s, std::uint32_t w) {
  const std::uint32_t iw = 65536 - w;
  std::uint32_t out = d & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t v = (((d >> shift) & 0xFF) * iw + ((s >> shift) & 0xFF) * w) >> 16;
    out |= v << shift;
  }
  return out;
}

// Mode 0 on a 32-bit target, no blend image, white modulation.
struct FastCopy32 {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const pixel::BlendSetup& st) {
    pixel::Weights wt;
    if (!pixel::TakeWeights<Src, O>(s, bv, st, true, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    if (O::kPath != pixel::Path::kTranslucentRun &&
        (!wt.alphaWeighted || (O::kPath == pixel::Path::kPixel && Src::kAlpha && !O::kTrans))) {
      pixel::Store32(d, sc);
      return;
    }
    pixel::Store32(d, Lerp8Packed(pixel::Load32(d), sc, wt.w));
  }

  // A run of n pixels of the run-table path, with no per-pixel test.
  template <class Src, class O>
  static void Span(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, const pixel::BlendSetup& st) {
    if constexpr (O::kPath == pixel::Path::kOpaqueRun && !Src::kPalettised) {
      CopySpan32(d, s, n);
    } else if constexpr (O::kPath == pixel::Path::kTranslucentRun) {
      Lerp8ByAlphaSpan(d, s, n);
    } else {
      for (int i = 0; i < n; ++i) Pixel<Src, O>(d + 4 * i, s + Src::kBytes * i, 0, st);
    }
  }
};

// Mode 1 on a 32-bit target, no blend image, white modulation.
struct FastAlpha32 {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const pixel::BlendSetup& st) {
    pixel::Weights wt;
    if (!pixel::TakeWeights<Src, O>(s, bv, st, true, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    const std::uint32_t w = wt.w * static_cast<std::uint32_t>(st.p);
    if (wt.k == 0) {
      pixel::Store32(d, Lerp8Packed(pixel::Load32(d), sc, w));
    } else {
      pixel::Store32(d, Lerp16Channels(pixel::Load32(d), sc, w));
    }
  }

  template <class Src, class O>
  static void Span(std::uint8_t* __restrict d, const std::uint8_t* __restrict s, int n, const pixel::BlendSetup& st) {
    if constexpr (O::kPath == pixel::Path::kOpaqueRun && !Src::kPalettised) {
      Lerp8Span(d, s, n, static_cast<std::uint32_t>(st.p), false);
    } else {
      for (int i = 0; i < n; ++i) Pixel<Src, O>(d + 4 * i, s + Src::kBytes * i, 0, st);
    }
  }
};

}  // namespace qz::blit
