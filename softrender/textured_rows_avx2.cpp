// Eight pixels at a time for the textured runs the game draws most (turned
// effects and bullets): a direct 32-bit source gathered by offset, copied,
// added or subtracted with the same packed arithmetic as the per-pixel
// kernels, so every pixel and its fourth byte come out as they would there.
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "softrender/cpu_features.h"
#include "softrender/textured_kernels32.h"
#include "softrender/textured_span.h"

namespace qz::span {
namespace {

#if defined(__x86_64__)

// kFullTerm: p = 255, where the term floor(s p / 255) is the source itself.
template <int kMode, bool kTrans, bool kFullTerm>
__attribute__((target("avx2"))) int RunAvx2(std::uint8_t* dst, std::uint32_t u, std::uint32_t v, std::uint32_t uStep,
                                            std::uint32_t vStep, std::int32_t n, const TexturedConsts& c) {
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i pu = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(u)),
                                _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(uStep))));
  __m256i pv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(v)),
                                _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(vStep))));
  const __m256i uStep8 = _mm256_set1_epi32(static_cast<int>(uStep * 8u));
  const __m256i vStep8 = _mm256_set1_epi32(static_cast<int>(vStep * 8u));
  const __m256i pitch = _mm256_set1_epi32(c.srcPitch);
  const __m256i key = _mm256_set1_epi32(static_cast<int>(c.transColor));
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i guards = _mm256_set1_epi32(0x01010100);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i weight = _mm256_set1_epi16(static_cast<short>(c.p));
  // floor(x / 255) = (x * 0x8081) >> 23 for every product x of two bytes.
  const __m256i by255 = _mm256_set1_epi16(static_cast<short>(0x8081));
  const auto* base = reinterpret_cast<const int*>(c.srcRows[0]);

  std::int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i offsets = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(pv, 18), pitch),
                                             _mm256_slli_epi32(_mm256_srli_epi32(pu, 18), 2));
    const __m256i texel = _mm256_i32gather_epi32(base, offsets, 1);
    pu = _mm256_add_epi32(pu, uStep8);
    pv = _mm256_add_epi32(pv, vStep8);
    auto* out = reinterpret_cast<__m256i*>(dst + 4 * i);
    __m256i keep = zero;  // lanes left as they are
    if constexpr (kTrans) {
      keep = _mm256_cmpeq_epi32(texel, key);
      if (_mm256_movemask_epi8(keep) == -1) continue;
    }
    __m256i r = texel;
    if constexpr (kMode != tex32::kCopy) {
      const __m256i d = _mm256_loadu_si256(out);
      __m256i e = _mm256_and_si256(texel, colour);
      if constexpr (!kFullTerm) {
        const __m256i lo = _mm256_mullo_epi16(_mm256_unpacklo_epi8(e, zero), weight);
        const __m256i hi = _mm256_mullo_epi16(_mm256_unpackhi_epi8(e, zero), weight);
        e = _mm256_packus_epi16(_mm256_srli_epi16(_mm256_mulhi_epu16(lo, by255), 7),
                                _mm256_srli_epi16(_mm256_mulhi_epu16(hi, by255), 7));
      }
      if constexpr (kMode == tex32::kAdd) {
        // tex32::PackedAdd on each lane.
        const __m256i low = _mm256_set1_epi32(0x00FEFEFF);
        const __m256i q = _mm256_add_epi32(_mm256_and_si256(e, low), _mm256_and_si256(d, low));
        const __m256i k = _mm256_and_si256(q, guards);
        r = _mm256_or_si256(_mm256_or_si256(_mm256_sub_epi32(k, _mm256_srli_epi32(k, 8)), q),
                            _mm256_and_si256(_mm256_or_si256(e, d), _mm256_set1_epi32(0x00010100)));
      } else {
        // tex32::PackedSub on each lane.
        const __m256i q = _mm256_sub_epi32(_mm256_or_si256(d, guards), _mm256_andnot_si256(guards, e));
        const __m256i k = _mm256_and_si256(q, guards);
        r = _mm256_and_si256(_mm256_sub_epi32(k, _mm256_srli_epi32(k, 8)), q);
      }
    }
    if constexpr (kTrans) {
      _mm256_maskstore_epi32(reinterpret_cast<int*>(out), _mm256_xor_si256(keep, _mm256_set1_epi32(-1)), r);
    } else {
      _mm256_storeu_si256(out, r);
    }
  }
  return i;
}

template <int kMode, bool kFullTerm>
int RunForTrans(bool trans, std::uint8_t* dst, std::uint32_t u, std::uint32_t v, std::uint32_t uStep,
                std::uint32_t vStep, std::int32_t n, const TexturedConsts& c) {
  return trans ? RunAvx2<kMode, true, kFullTerm>(dst, u, v, uStep, vStep, n, c)
               : RunAvx2<kMode, false, kFullTerm>(dst, u, v, uStep, vStep, n, c);
}

#endif

}  // namespace

int DrawInsideRunVector(int mode, bool trans, std::uint8_t* dst, std::uint32_t u, std::uint32_t v,
                        std::uint32_t uStep, std::uint32_t vStep, std::int32_t n, const TexturedConsts& c) {
#if defined(__x86_64__)
  if (n < 8 || c.srcPitch == 0 || !CpuHasAvx2()) return 0;
  const bool full = c.p == 255;
  switch (mode) {
    case tex32::kCopy: return RunForTrans<tex32::kCopy, false>(trans, dst, u, v, uStep, vStep, n, c);
    case tex32::kAdd:
      return full ? RunForTrans<tex32::kAdd, true>(trans, dst, u, v, uStep, vStep, n, c)
                  : RunForTrans<tex32::kAdd, false>(trans, dst, u, v, uStep, vStep, n, c);
    case tex32::kSub:
      return full ? RunForTrans<tex32::kSub, true>(trans, dst, u, v, uStep, vStep, n, c)
                  : RunForTrans<tex32::kSub, false>(trans, dst, u, v, uStep, vStep, n, c);
    default: return 0;
  }
#else
  (void)mode, (void)trans, (void)dst, (void)u, (void)v, (void)uStep, (void)vStep, (void)n, (void)c;
  return 0;
#endif
}

}  // namespace qz::span
