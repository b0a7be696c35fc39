// The fast path for single 2D triangles, such as those of turned or scaled
// sprites: vertices sharing rhw, one colour everywhere, one stage sampling an
// (A|X)8R8G8B8 texture by point onto a 32-bit target, no depth. Texture
// coordinates come a run of a row at a time from the triangle's own planes
// (AlongRow gives At's values), texels are addressed as the sampler does, and
// the colour arithmetic is the fast rectangles'.
#include <algorithm>
#include <array>
#include <climits>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

#include "platform/d3d9_raster_fast_pixel.h"
#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_pixel.h"
#include "platform/d3d9_raster_simd.h"

namespace plat::raster {
namespace {

constexpr int kRun = 64;

// Whether a texel of each alpha passes the alpha test once its factor is
// applied; kept between calls, as most draws share the test and the factor.
struct AlphaPasses {
  bool valid = false;
  bool test = false;
  std::uint32_t func = 0;
  int ref = 0;
  int factor = 0;
  std::array<bool, 256> passes{};
};

const std::array<bool, 256>& AlphaPassTable(const DrawSetup& setup, int factor) {
  thread_local AlphaPasses table;
  if (!table.valid || table.test != setup.alphaTest || table.func != setup.alphaFunc || table.ref != setup.alphaRef ||
      table.factor != factor) {
    table.valid = true;
    table.test = setup.alphaTest;
    table.func = setup.alphaFunc;
    table.ref = setup.alphaRef;
    table.factor = factor;
    for (int a = 0; a < 256; ++a) {
      table.passes[a] = !setup.alphaTest || CompareAccepts(setup.alphaFunc, Mul255(a, factor), setup.alphaRef);
    }
  }
  return table.passes;
}

// StoreFast32<kAdditive> of a texel under plain factors: each byte weighed
// by the texel's alpha (Mul255, which keeps them as they are at alpha 255),
// then added to the target's bytes with saturation, byte by byte.
inline void AddPlainTexel(std::uint8_t* pixel, std::uint32_t texel, std::uint32_t targetFill) {
  const int a = static_cast<int>(texel >> 24);
  if (a != 255) {
    const Color t = ColorFromArgb(texel);
    texel = ArgbFromColor(Color{Mul255(t.r, a), Mul255(t.g, a), Mul255(t.b, a), Mul255(a, a)});
  }
  const std::uint32_t d = LoadRaw(pixel, 4) | targetFill;
#if defined(__SSE2__)
  const auto sum = static_cast<std::uint32_t>(
      _mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128(static_cast<int>(texel)), _mm_cvtsi32_si128(static_cast<int>(d)))));
#else
  std::uint32_t sum = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    sum |= std::min(255u, ((texel >> shift) & 0xFFu) + ((d >> shift) & 0xFFu)) << shift;
  }
#endif
  StoreRaw(pixel, 4, sum | targetFill);
}

#if defined(__x86_64__)
// Four pixels' channels on 16-bit lanes, each times its pixel's alpha over
// 255, rounded to nearest.
[[gnu::target("avx2")]] inline __m256i WeighByAlpha(__m256i channels) {
  const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(channels, 0xFF), 0xFF);
  const __m256i product = _mm256_add_epi16(_mm256_mullo_epi16(channels, alpha), _mm256_set1_epi16(127));
  return _mm256_srli_epi16(_mm256_mulhi_epu16(product, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// AddPlainTexel over eight pixels of a run from the texel columns xs and rows
// ys: texels gathered, the alpha test read from passMask (all ones where an
// alpha passes), each byte weighed by alpha as Mul255 does, ((c a + 127) x
// 0x8081) >> 23 being exact for bytes, then added with saturation and stored
// where the test passed. Returns how many passed, or -1, leaving the pixels,
// when a lane takes the border colour.
[[gnu::target("avx2")]] int AddPlainEight(const std::uint8_t* texels, int pitch, const int* xs, const int* ys,
                                          const std::uint32_t* passMask, std::uint32_t texelOr,
                                          std::uint32_t targetFill, std::uint8_t* target) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xs));
  const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ys));
  if (_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(x, y))) != 0) return -1;
  const __m256i offsets = _mm256_add_epi32(_mm256_mullo_epi32(y, _mm256_set1_epi32(pitch)), _mm256_slli_epi32(x, 2));
  const __m256i texel = _mm256_or_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(texels), offsets, 1),
                                        _mm256_set1_epi32(static_cast<int>(texelOr)));
  const __m256i pass =
      _mm256_i32gather_epi32(reinterpret_cast<const int*>(passMask), _mm256_srli_epi32(texel, 24), 4);
  if (_mm256_testz_si256(pass, pass)) return 0;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i weighed = _mm256_packus_epi16(WeighByAlpha(_mm256_unpacklo_epi8(texel, zero)),
                                              WeighByAlpha(_mm256_unpackhi_epi8(texel, zero)));
  const __m256i fill = _mm256_set1_epi32(static_cast<int>(targetFill));
  auto* out = reinterpret_cast<__m256i*>(target);
  const __m256i sum = _mm256_or_si256(_mm256_adds_epu8(weighed, _mm256_or_si256(_mm256_loadu_si256(out), fill)), fill);
  _mm256_maskstore_epi32(reinterpret_cast<int*>(target), pass, sum);
  return __builtin_popcount(static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(pass))));
}
#endif

// Texel index along one axis for each of `count` coordinates, -1 for the
// border colour. Clamping, the usual mode, is floor(t x size) held to
// 0..size - 1 (NaN to 0), written so that the loop vectorises.
inline void ClampedTexelIndices(const double* t, int count, int size, int* out) {
  const double top = static_cast<double>(size - 1);
  for (int i = 0; i < count; ++i) {
    const double scaled = t[i] * static_cast<double>(size);
    const double low = scaled >= 0.0 ? scaled : 0.0;
    out[i] = static_cast<int>(low < top ? low : top);
  }
}

// The same loop in AVX2's wider steps, which give the same indices.
[[gnu::target("avx2")]] void ClampedTexelIndicesAvx2(const double* t, int count, int size, int* out) {
  ClampedTexelIndices(t, count, size, out);
}

void TexelIndices(const double* t, int count, std::uint32_t mode, int size, int* out) {
  if (mode == D3DTADDRESS_CLAMP) {
    if (VectorRowsAvailable()) {
      ClampedTexelIndicesAvx2(t, count, size, out);
    } else {
      ClampedTexelIndices(t, count, size, out);
    }
    return;
  }
  for (int i = 0; i < count; ++i) out[i] = AddressTexel(mode, TexelCoordinate(t[i], size), size);
}

template <FastBlend kBlend>
long long FillRows(const DrawSetup& setup, const TriangleSetup& tri, const TexelFactors& factors) {
  const StageSetup& stage = setup.stages[0];
  const SamplerSetup& s = stage.sampler;
  const Plane& uPlane = tri.u[stage.coordSet];
  const Plane& vPlane = tri.v[stage.coordSet];
  const std::uint32_t targetFill = setup.targetHasAlpha ? 0u : 0xFF000000u;
  // Unpacking a 32-bit texel is at most forcing its alpha on.
  const std::uint32_t texelOr = factors.texelOr | (s.format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u);
  // x 255 / 255 keeps a channel as it is.
  const bool plain = factors.factor.r == 255 && factors.factor.g == 255 && factors.factor.b == 255 &&
                     factors.factor.a == 255;
  const std::array<bool, 256>& passes = AlphaPassTable(setup, factors.factor.a);
  std::array<double, kRun> us, vs;
  std::array<int, kRun> xs, ys;
  long long written = 0;
#if defined(__x86_64__)
  // Plain additive sprites go eight pixels at a time where the texture's
  // offsets fit the gather's 32 bits.
  const bool eightWide = kBlend == FastBlend::kAdditive && plain && VectorRowsAvailable() &&
                         static_cast<long long>(s.pitchBytes) * s.height <= INT32_MAX && s.pitchBytes > 0;
  std::array<std::uint32_t, 256> passMask{};
  if (eightWide) {
    for (int a = 0; a < 256; ++a) passMask[static_cast<std::size_t>(a)] = passes[static_cast<std::size_t>(a)] ? ~0u : 0u;
  }
#endif
  for (int py = tri.rowFirst; py <= tri.rowLast; ++py) {
    int first, last;
    if (!RowSpan(tri, py, &first, &last)) continue;
    for (int runFirst = first; runFirst <= last; runFirst += kRun) {
      const int count = std::min(kRun, last - runFirst + 1);
      uPlane.AlongRow(runFirst, py, count, us.data());
      vPlane.AlongRow(runFirst, py, count, vs.data());
      TexelIndices(us.data(), count, s.addressU, s.width, xs.data());
      TexelIndices(vs.data(), count, s.addressV, s.height, ys.data());
      int i = 0;
#if defined(__x86_64__)
      if (eightWide) {
        for (; i + 8 <= count; i += 8) {
          const int passed = AddPlainEight(s.pixels, s.pitchBytes, xs.data() + i, ys.data() + i, passMask.data(),
                                           texelOr, targetFill, TargetPixel(setup, runFirst + i, py));
          if (passed < 0) break;  // the border colour: the rest of the run a pixel at a time
          written += passed;
        }
      }
#endif
      for (; i < count; ++i) {
        const int px = runFirst + i;
        const int x = xs[i], y = ys[i];
        if (x < 0 || y < 0) {  // the border colour, rare: the full pipeline
          std::array<Color, kStageCount> texels{};
          texels[0] = s.border;
          if (OutputPixel(setup, px, py, 0.0f, RunCascade(setup, tri.diffuse, tri.specular, texels.data()))) {
            ++written;
          }
          continue;
        }
        const std::uint32_t texel =
            LoadRaw(s.pixels + static_cast<std::ptrdiff_t>(y) * s.pitchBytes + x * 4, 4) | texelOr;
        // The alpha first: the transparent texels of a sprite stop at the test.
        if (!passes[texel >> 24]) continue;
        if constexpr (kBlend == FastBlend::kAdditive) {
          if (plain) {
            ++written;
            AddPlainTexel(TargetPixel(setup, px, py), texel, targetFill);
            continue;
          }
        }
        const Color src = plain ? ColorFromArgb(texel) : FastSource(texel, factors);
        ++written;
        StoreFast32<kBlend>(setup, TargetPixel(setup, px, py), src, targetFill);
      }
    }
  }
  return written;
}

}  // namespace

bool TryFillFastTriangle(const DrawSetup& setup, const TriangleSetup& tri, Report* report) {
  if (!setup.fast.eligible || !setup.fast.textured || tri.perspective || !tri.constantColors || tri.linear[0] ||
      setup.colorBytes != 4 ||
      (setup.stages[0].sampler.format != D3DFMT_A8R8G8B8 && setup.stages[0].sampler.format != D3DFMT_X8R8G8B8)) {
    return false;
  }
  const TexelFactors factors = FastTexelFactors(setup, tri.diffuse, tri.specular);
  switch (setup.fast.blend) {
    case FastBlend::kNone:
      report->pixelsWritten += FillRows<FastBlend::kNone>(setup, tri, factors);
      break;
    case FastBlend::kAlpha:
      report->pixelsWritten += FillRows<FastBlend::kAlpha>(setup, tri, factors);
      break;
    case FastBlend::kAdditive:
      report->pixelsWritten += FillRows<FastBlend::kAdditive>(setup, tri, factors);
      break;
    default:
      report->pixelsWritten += FillRows<FastBlend::kOther>(setup, tri, factors);
      break;
  }
  return true;
}

}  // namespace plat::raster
