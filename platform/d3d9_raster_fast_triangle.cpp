// The fast path for single 2D triangles, such as those of turned or scaled
// sprites: vertices sharing rhw, one colour everywhere, one stage sampling an
// (A|X)8R8G8B8 texture by point onto a 32-bit target, no depth. Texture
// coordinates come a run of a row at a time from the triangle's own planes
// (AlongRow gives At's values), texels are addressed as the sampler does, and
// the colour arithmetic is the fast rectangles'.
#include <algorithm>
#include <array>

#include "platform/d3d9_raster_fast_pixel.h"
#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_pixel.h"

namespace plat::raster {
namespace {

constexpr int kRun = 64;

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
  std::array<double, kRun> us, vs;
  long long written = 0;
  for (int py = tri.rowFirst; py <= tri.rowLast; ++py) {
    int first, last;
    if (!RowSpan(tri, py, &first, &last)) continue;
    for (int runFirst = first; runFirst <= last; runFirst += kRun) {
      const int count = std::min(kRun, last - runFirst + 1);
      uPlane.AlongRow(runFirst, py, count, us.data());
      vPlane.AlongRow(runFirst, py, count, vs.data());
      for (int i = 0; i < count; ++i) {
        const int px = runFirst + i;
        const int x = AddressTexel(s.addressU, TexelCoordinate(us[i], s.width), s.width);
        const int y = AddressTexel(s.addressV, TexelCoordinate(vs[i], s.height), s.height);
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
        if (setup.alphaTest &&
            !CompareAccepts(setup.alphaFunc, Mul255(static_cast<int>(texel >> 24), factors.factor.a), setup.alphaRef)) {
          continue;
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
