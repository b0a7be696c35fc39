// AVX2 runs of turned sprites' rows. The clamped run keeps everything in
// registers: texel coordinates by the very operations of Plane::AlongRow (no
// fused multiply-add is enabled), indices held to the texture as the sampler
// holds them, texels gathered, tested, blended and stored, eight at a time.
#include "platform/d3d9_raster_fast_triangle_rows.h"

#include <immintrin.h>

#include "platform/d3d9_raster_simd.h"

namespace plat::raster {
namespace {

// Products of bytes on 16-bit lanes over 255, rounded to nearest as Mul255
// rounds them: ((x y + 127) x 0x8081) >> 23 is exact for bytes.
[[gnu::target("avx2")]] inline __m256i MulDiv255(__m256i x, __m256i y) {
  const __m256i product = _mm256_add_epi16(_mm256_mullo_epi16(x, y), _mm256_set1_epi16(127));
  return _mm256_srli_epi16(_mm256_mulhi_epu16(product, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Four pixels' channels on 16-bit lanes, each times its pixel's alpha.
[[gnu::target("avx2")]] inline __m256i WeighByAlpha(__m256i channels) {
  return MulDiv255(channels, _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(channels, 0xFF), 0xFF));
}

// Eight texels' channels times the factors (one pixel's four, repeated), as
// FastSource takes them.
[[gnu::target("avx2")]] inline __m256i ApplyFactors(__m256i texel, __m256i factor) {
  const __m256i zero = _mm256_setzero_si256();
  return _mm256_packus_epi16(MulDiv255(_mm256_unpacklo_epi8(texel, zero), factor),
                             MulDiv255(_mm256_unpackhi_epi8(texel, zero), factor));
}

// A run's constants in registers, made once a row: the stores through dst
// might alias the caller's record, and the loop would load them again for
// every eight pixels.
struct TexelLanes {
  const int* texels;
  const int* passMask;
  bool testsRange;
  bool plain;
  __m256i pitch, texelOr, fill, alphaAbove, alphaBelow, factor;
};

[[gnu::target("avx2")]] inline TexelLanes LanesOf(const TexelRowConstants& k) {
  const auto factor = static_cast<long long>(k.factor[0] | std::uint64_t{k.factor[1]} << 16 |
                                             std::uint64_t{k.factor[2]} << 32 | std::uint64_t{k.factor[3]} << 48);
  return TexelLanes{reinterpret_cast<const int*>(k.texels),
                    reinterpret_cast<const int*>(k.passMask),
                    k.passMask == nullptr && (k.alphaLow > 0 || k.alphaHigh < 255),
                    k.plain,
                    _mm256_set1_epi32(k.pitch),
                    _mm256_set1_epi32(static_cast<int>(k.texelOr)),
                    _mm256_set1_epi32(static_cast<int>(k.targetFill)),
                    _mm256_set1_epi32(k.alphaLow - 1),
                    _mm256_set1_epi32(k.alphaHigh + 1),
                    _mm256_set1_epi64x(factor)};
}

// The texels at these byte offsets onto eight pixels from dst on, where
// `lanes` (all ones) and the alpha test allow; `whole` says every lane is
// in. Added texels are weighed by their alpha, then added to the target's
// bytes with saturation, as the scalar path adds them. Returns how many
// were stored.
template <FastBlend kBlend>
[[gnu::target("avx2,popcnt")]] inline int StoreEight(const TexelLanes& k, __m256i offsets, __m256i lanes, bool whole,
                                                     std::uint8_t* dst) {
  // Lanes past a short run read nothing: their texels, though inside the
  // texture, may lie on other cache lines.
  const __m256i gathered = whole ? _mm256_i32gather_epi32(k.texels, offsets, 1)
                                 : _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), k.texels, offsets, lanes, 1);
  __m256i texel = _mm256_or_si256(gathered, k.texelOr);
  __m256i pass = lanes;
  // The test reads the texel's own alpha: its table allows for the factor.
  const __m256i alpha = _mm256_srli_epi32(texel, 24);
  if (k.passMask != nullptr) {
    pass = _mm256_and_si256(pass, _mm256_i32gather_epi32(k.passMask, alpha, 4));
  } else if (k.testsRange) {
    // A range is two comparisons, where the table would be a second gather
    // waiting on the first.
    pass = _mm256_and_si256(pass, _mm256_and_si256(_mm256_cmpgt_epi32(alpha, k.alphaAbove),
                                                   _mm256_cmpgt_epi32(k.alphaBelow, alpha)));
  }
  // No branch on the texels, even for wholly transparent runs: the gather's
  // latency, often a cache miss into a large sprite sheet, then overlaps the
  // next pixels' work instead of waiting on a mispredicted jump.
  if (!k.plain) texel = ApplyFactors(texel, k.factor);
  const __m256i fill = k.fill;
  __m256i pixels = _mm256_or_si256(texel, fill);
  if constexpr (kBlend == FastBlend::kAdditive) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weighed = _mm256_packus_epi16(WeighByAlpha(_mm256_unpacklo_epi8(texel, zero)),
                                                WeighByAlpha(_mm256_unpackhi_epi8(texel, zero)));
    // A masked load reads nothing past a short run, which may end the surface.
    const __m256i target = whole ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst))
                                 : _mm256_maskload_epi32(reinterpret_cast<const int*>(dst), lanes);
    pixels = _mm256_or_si256(_mm256_adds_epu8(weighed, _mm256_or_si256(target, fill)), fill);
  }
  _mm256_maskstore_epi32(reinterpret_cast<int*>(dst), pass, pixels);
  return __builtin_popcount(static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(pass))));
}

// A plane's values along one row, and the texture's extent on its axis.
struct PlaneLanes {
  __m256d base, dx, x0, down, size, top;
};

[[gnu::target("avx2")]] inline PlaneLanes PlaneLanesOf(const Plane& p, int py, int size) {
  return PlaneLanes{_mm256_set1_pd(p.base),
                    _mm256_set1_pd(p.dx),
                    _mm256_set1_pd(p.x0),
                    _mm256_set1_pd(p.dy * (static_cast<double>(py) - p.y0)),  // AlongRow's part of the row
                    _mm256_set1_pd(static_cast<double>(size)),
                    _mm256_set1_pd(static_cast<double>(size - 1))};
}

// Four pixels' coordinates on a plane, from the pixel columns px, as
// AlongRow computes them (base + dx (px - x0), then the row's part), then
// floor(t x size) held to 0..size - 1 as ClampedTexelIndices holds it: the
// maximum with 0 takes NaN to 0, and truncation is floor once it is not
// negative.
[[gnu::target("avx2")]] inline __m128i ClampedFour(const PlaneLanes& p, __m256d px) {
  const __m256d t = _mm256_add_pd(_mm256_add_pd(p.base, _mm256_mul_pd(p.dx, _mm256_sub_pd(px, p.x0))), p.down);
  const __m256d low = _mm256_max_pd(_mm256_mul_pd(t, p.size), _mm256_setzero_pd());
  return _mm256_cvttpd_epi32(_mm256_min_pd(low, p.top));
}

[[gnu::target("avx2")]] inline __m256i ClampedEight(const PlaneLanes& p, __m256d px) {
  return _mm256_set_m128i(ClampedFour(p, _mm256_add_pd(px, _mm256_set1_pd(4.0))), ClampedFour(p, px));
}

template <FastBlend kBlend>
[[gnu::target("avx2,popcnt")]] long long ClampedRow(const TexelRowConstants& constants, const Plane& u, const Plane& v,
                                                    int py, int first, int count, std::uint8_t* dst) {
  const TexelLanes k = LanesOf(constants);
  const PlaneLanes uLanes = PlaneLanesOf(u, py, constants.width), vLanes = PlaneLanesOf(v, py, constants.height);
  const __m256d laneSteps = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
  const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  long long written = 0;
  for (int i = 0; i < count; i += 8) {
    // Lanes past a short run still address texels inside the texture, as
    // clamping keeps every index there.
    const __m256d px = _mm256_add_pd(_mm256_set1_pd(static_cast<double>(first + i)), laneSteps);
    const __m256i x = ClampedEight(uLanes, px), y = ClampedEight(vLanes, px);
    const __m256i offsets = _mm256_add_epi32(_mm256_mullo_epi32(y, k.pitch), _mm256_slli_epi32(x, 2));
    const int left = count - i;
    const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(left), laneIndex);
    written += StoreEight<kBlend>(k, offsets, lanes, left >= 8, dst + 4 * static_cast<std::ptrdiff_t>(i));
  }
  return written;
}

template <FastBlend kBlend>
[[gnu::target("avx2,popcnt")]] int IndexedEight(const TexelRowConstants& constants, const int* xs, const int* ys,
                                                std::uint8_t* dst) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xs));
  const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ys));
  if (_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(x, y))) != 0) return -1;
  const TexelLanes k = LanesOf(constants);
  const __m256i offsets = _mm256_add_epi32(_mm256_mullo_epi32(y, k.pitch), _mm256_slli_epi32(x, 2));
  return StoreEight<kBlend>(k, offsets, _mm256_set1_epi32(-1), true, dst);
}

}  // namespace

ClampedTexelRow SelectClampedTexelRow(FastBlend blend) {
  if (!VectorRowsAvailable()) return nullptr;
  if (blend == FastBlend::kNone) return ClampedRow<FastBlend::kNone>;
  if (blend == FastBlend::kAdditive) return ClampedRow<FastBlend::kAdditive>;
  return nullptr;
}

IndexedTexelEight SelectIndexedTexelEight(FastBlend blend) {
  if (!VectorRowsAvailable()) return nullptr;
  if (blend == FastBlend::kNone) return IndexedEight<FastBlend::kNone>;
  if (blend == FastBlend::kAdditive) return IndexedEight<FastBlend::kAdditive>;
  return nullptr;
}

}  // namespace plat::raster
