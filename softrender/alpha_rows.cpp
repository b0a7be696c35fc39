// Kernels of the alpha-keyed row copy. A block whose drawn pixels are all
// opaque (a run of them, or a checker of opaque and clear) is stored under a
// mask without reading the target; any other is weighed whole, the opaque
// lanes taking the source and the clear ones not stored.
#include "softrender/alpha_rows.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "softrender/blit_swar.h"

namespace qz::blit {
namespace {

using RowsFn = void (*)(std::uint8_t*, std::intptr_t, const std::uint8_t*, std::intptr_t, int, int);

void ScalarRows(std::uint8_t* dst, std::intptr_t dstPitch, const std::uint8_t* src, std::intptr_t srcPitch, int w,
                int h) {
  for (int y = 0; y < h; ++y, dst += dstPitch, src += srcPitch) {
    for (int i = 0; i < w; ++i) {
      const std::uint32_t sc = pixel::Load32(src + 4 * i);
      const std::uint32_t a = sc >> 24;
      if (a == 0) continue;
      pixel::Store32(dst + 4 * i, a == 255 ? sc : Lerp8Packed(pixel::Load32(dst + 4 * i), sc, a));
    }
  }
}

#if defined(__x86_64__)

// (d (256 - a) + s a) >> 8 on 16-bit lanes, a each pixel's alpha lane: the
// sum stays below 2^16.
[[gnu::target("avx2")]] inline __m256i Weigh(__m256i dl, __m256i sl) {
  const __m256i w = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sl, 0xFF), 0xFF);
  return _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(dl, _mm256_sub_epi16(_mm256_set1_epi16(256), w)), _mm256_mullo_epi16(sl, w)),
      8);
}

// Eight pixels, or the lanes of `lanes` (kTail), which are the only ones read
// or written.
template <bool kTail>
[[gnu::target("avx2"), gnu::always_inline]] inline void Avx2Block(std::uint8_t* d, const std::uint8_t* s,
                                                                  __m256i lanes) {
  const __m256i keepX = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i s8 = kTail ? _mm256_maskload_epi32(reinterpret_cast<const int*>(s), lanes)
                           : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
  if (_mm256_testz_si256(s8, keepX)) return;
  const __m256i opaque = _mm256_cmpeq_epi32(_mm256_srli_epi32(s8, 24), _mm256_set1_epi32(255));
  if (!kTail && _mm256_movemask_ps(_mm256_castsi256_ps(opaque)) == 0xFF) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), s8);
    return;
  }
  // Alpha 0 weighs the target by 256/256, which leaves it as it is.
  const __m256i d8 = kTail ? _mm256_maskload_epi32(reinterpret_cast<const int*>(d), lanes)
                           : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i rl = Weigh(_mm256_unpacklo_epi8(d8, zero), _mm256_unpacklo_epi8(s8, zero));
  const __m256i rh = Weigh(_mm256_unpackhi_epi8(d8, zero), _mm256_unpackhi_epi8(s8, zero));
  const __m256i weighed =
      _mm256_or_si256(_mm256_andnot_si256(keepX, _mm256_packus_epi16(rl, rh)), _mm256_and_si256(keepX, d8));
  const __m256i out = _mm256_blendv_epi8(weighed, s8, opaque);
  if constexpr (kTail) {
    _mm256_maskstore_epi32(reinterpret_cast<int*>(d), lanes, out);
  } else {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), out);
  }
}

[[gnu::target("avx2")]] void Avx2Rows(std::uint8_t* dst, std::intptr_t dstPitch, const std::uint8_t* src,
                                      std::intptr_t srcPitch, int w, int h) {
  const __m256i tail = _mm256_cmpgt_epi32(_mm256_set1_epi32(w % 8), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  const int whole = w - w % 8;
  for (int y = 0; y < h; ++y, dst += dstPitch, src += srcPitch) {
    int i = 0;
    for (; i < whole; i += 8) Avx2Block<false>(dst + 4 * i, src + 4 * i, tail);
    if (i < w) Avx2Block<true>(dst + 4 * i, src + 4 * i, tail);
  }
}

#define QZ_AVX512 gnu::target("avx512f,avx512bw,avx512vl")

[[QZ_AVX512]] void Avx512Rows(std::uint8_t* dst, std::intptr_t dstPitch, const std::uint8_t* src,
                              std::intptr_t srcPitch, int w, int h) {
  const __m512i keepX = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  const __m512i zero = _mm512_setzero_si512();
  const __m512i full = _mm512_set1_epi16(256);
  for (int y = 0; y < h; ++y, dst += dstPitch, src += srcPitch) {
    for (int i = 0; i < w; i += 16) {
      const __mmask16 lanes = w - i >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << (w - i)) - 1);
      std::uint8_t* d = dst + 4 * i;
      // Lanes past the row load as zero: clear, so never stored.
      const __m512i s16 = _mm512_maskz_loadu_epi32(lanes, src + 4 * i);
      const __mmask16 drawn = _mm512_test_epi32_mask(s16, keepX);
      const __mmask16 opaque = _mm512_cmpge_epu32_mask(s16, keepX);
      if (drawn == opaque) {
        _mm512_mask_storeu_epi32(d, opaque, s16);
        continue;
      }
      const __m512i d16 = _mm512_maskz_loadu_epi32(drawn, d);
      const __m512i sl = _mm512_unpacklo_epi8(s16, zero), sh = _mm512_unpackhi_epi8(s16, zero);
      const __m512i dl = _mm512_unpacklo_epi8(d16, zero), dh = _mm512_unpackhi_epi8(d16, zero);
      const __m512i wl = _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(sl, 0xFF), 0xFF);
      const __m512i wh = _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(sh, 0xFF), 0xFF);
      const __m512i rl = _mm512_srli_epi16(
          _mm512_add_epi16(_mm512_mullo_epi16(dl, _mm512_sub_epi16(full, wl)), _mm512_mullo_epi16(sl, wl)), 8);
      const __m512i rh = _mm512_srli_epi16(
          _mm512_add_epi16(_mm512_mullo_epi16(dh, _mm512_sub_epi16(full, wh)), _mm512_mullo_epi16(sh, wh)), 8);
      // Colour from the weighing, byte X (every fourth byte) from the target;
      // opaque lanes whole from the source.
      const __m512i weighed = _mm512_mask_blend_epi8(0x8888888888888888ull, _mm512_packus_epi16(rl, rh), d16);
      _mm512_mask_storeu_epi32(d, drawn, _mm512_mask_mov_epi32(weighed, opaque, s16));
    }
  }
}

#undef QZ_AVX512

#endif

struct Kernel {
  RowsFn rows;
  int step;
};

Kernel KernelAt(VectorLevel level) {
#if defined(__x86_64__)
  if (level == VectorLevel::kAvx512) return {Avx512Rows, 16};
  if (level == VectorLevel::kAvx2) return {Avx2Rows, 8};
#endif
  return {ScalarRows, 1};
}

// Chosen on first use, so a draw from another static initialiser finds it set.
Kernel& Chosen() {
  static Kernel kernel = KernelAt(WidestVectorLevel());
  return kernel;
}

}  // namespace

void AlphaKeyedCopyRows(std::uint8_t* dst, std::intptr_t dstPitch, const std::uint8_t* src, std::intptr_t srcPitch,
                        int w, int h) {
  Chosen().rows(dst, dstPitch, src, srcPitch, w, h);
}

int AlphaRowStep() { return Chosen().step; }

VectorLevel LimitAlphaRowKernel(VectorLevel level) {
  const VectorLevel widest = WidestVectorLevel();
  const VectorLevel chosen = static_cast<int>(level) < static_cast<int>(widest) ? level : widest;
  Chosen() = KernelAt(chosen);
  return chosen;
}

}  // namespace qz::blit
