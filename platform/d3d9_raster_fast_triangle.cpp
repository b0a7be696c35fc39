// The fast path for single 2D triangles, such as those of turned or scaled
// sprites: vertices sharing rhw, one colour everywhere, one stage sampling an
// (A|X)8R8G8B8 texture by point onto a 32-bit target, no depth. Texture
// coordinates come a run of a row at a time from the triangle's own planes
// (AlongRow gives At's values), texels are addressed as the sampler does, and
// the colour arithmetic is the fast rectangles'. Texels copied or added go
// through the vector runs of d3d9_raster_fast_triangle_rows.
#include <algorithm>
#include <array>
#include <climits>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

#include "platform/d3d9_raster_fast_pixel.h"
#include "platform/d3d9_raster_fast_triangle_rows.h"
#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_pixel.h"
#include "platform/d3d9_raster_simd.h"
#include "platform/d3d9_raster_triangle_span.h"

namespace plat::raster {
namespace {

constexpr int kRun = 64;

// Per alpha, all ones where a texel of that alpha passes the alpha test once
// its factor is applied (the vector runs gather these); kept between calls,
// as most draws share the test and the factor.
struct AlphaPasses {
  bool valid = false;
  bool test = false;
  std::uint32_t func = 0;
  int ref = 0;
  int factor = 0;
  std::array<std::uint32_t, 256> mask{};
  // Whether the passing alphas are one range [low, high] (empty when low >
  // high), as every test but NOTEQUAL makes them.
  bool isRange = false;
  int low = 0;
  int high = 255;
};

const AlphaPasses& AlphaPassTable(const DrawSetup& setup, int factor) {
  thread_local AlphaPasses table;
  if (!table.valid || table.test != setup.alphaTest || table.func != setup.alphaFunc || table.ref != setup.alphaRef ||
      table.factor != factor) {
    table.valid = true;
    table.test = setup.alphaTest;
    table.func = setup.alphaFunc;
    table.ref = setup.alphaRef;
    table.factor = factor;
    for (int a = 0; a < 256; ++a) {
      const bool passes = !setup.alphaTest || CompareAccepts(setup.alphaFunc, Mul255(a, factor), setup.alphaRef);
      table.mask[static_cast<std::size_t>(a)] = passes ? ~0u : 0u;
    }
    const auto passing = [](std::uint32_t m) { return m != 0; };
    const auto first = std::find_if(table.mask.begin(), table.mask.end(), passing);
    const auto end = std::find_if_not(first, table.mask.end(), passing);
    table.isRange = std::find_if(end, table.mask.end(), passing) == table.mask.end();
    table.low = static_cast<int>(first - table.mask.begin());
    table.high = static_cast<int>(end - table.mask.begin()) - 1;
  }
  return table;
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
  const auto sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(
      _mm_adds_epu8(_mm_cvtsi32_si128(static_cast<int>(texel)), _mm_cvtsi32_si128(static_cast<int>(d)))));
#else
  std::uint32_t sum = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    sum |= std::min(255u, ((texel >> shift) & 0xFFu) + ((d >> shift) & 0xFFu)) << shift;
  }
#endif
  StoreRaw(pixel, 4, sum | targetFill);
}

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
  const AlphaPasses& alphaPasses = AlphaPassTable(setup, factors.factor.a);
  const std::array<std::uint32_t, 256>& passes = alphaPasses.mask;
  // Eight pixels at a time where the texture's offsets fit the gathers' 32
  // bits; clamped texels a whole row at a time.
  const bool vector = s.pitchBytes > 0 && static_cast<long long>(s.pitchBytes) * s.height <= INT32_MAX;
  const ClampedTexelRow clampedRow =
      vector && s.addressU == D3DTADDRESS_CLAMP && s.addressV == D3DTADDRESS_CLAMP ? SelectClampedTexelRow(kBlend)
                                                                                     : nullptr;
  const IndexedTexelEight indexedEight = vector ? SelectIndexedTexelEight(kBlend) : nullptr;
  TexelRowConstants constants{s.pixels, s.pitchBytes, s.width, s.height, texelOr, targetFill, plain};
  constants.factor = {static_cast<std::uint16_t>(factors.factor.b), static_cast<std::uint16_t>(factors.factor.g),
                      static_cast<std::uint16_t>(factors.factor.r), static_cast<std::uint16_t>(factors.factor.a)};
  if (alphaPasses.isRange) {
    constants.alphaLow = alphaPasses.low;
    constants.alphaHigh = alphaPasses.high;
  } else {
    constants.passMask = passes.data();
  }
  std::array<double, kRun> us, vs;
  std::array<int, kRun> xs, ys;
  long long written = 0;
  RowSpanWalker spans(tri, tri.rowFirst);
  for (int py = tri.rowFirst; py <= tri.rowLast; ++py) {
    int first, last;
    if (!spans.Next(&first, &last)) continue;
    if (clampedRow != nullptr) {
      written += clampedRow(constants, uPlane, vPlane, py, first, last - first + 1, TargetPixel(setup, first, py));
      continue;
    }
    for (int runFirst = first; runFirst <= last; runFirst += kRun) {
      const int count = std::min(kRun, last - runFirst + 1);
      uPlane.AlongRow(runFirst, py, count, us.data());
      vPlane.AlongRow(runFirst, py, count, vs.data());
      TexelIndices(us.data(), count, s.addressU, s.width, xs.data());
      TexelIndices(vs.data(), count, s.addressV, s.height, ys.data());
      int i = 0;
      if (indexedEight != nullptr) {
        for (; i + 8 <= count; i += 8) {
          const int passed =
              indexedEight(constants, xs.data() + i, ys.data() + i, TargetPixel(setup, runFirst + i, py));
          if (passed < 0) break;  // the border colour: the rest of the run a pixel at a time
          written += passed;
        }
      }
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
        if (passes[texel >> 24] == 0) continue;
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
