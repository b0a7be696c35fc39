// The general path: triangles set up in 1/256-pixel fixed point, covered
// pixels found exactly with the top-left rule, attributes interpolated at
// pixel centres, every pixel through the full pipeline; points and lines.
#include <cmath>

#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_pixel.h"
#include "platform/d3d9_raster_simd.h"
#include "platform/d3d9_raster_triangle_span.h"

namespace plat::raster {
namespace {

bool InRange(const Vertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::abs(v.x) <= kMaxCoordinate &&
         std::abs(v.y) <= kMaxCoordinate;
}

// The same by a whole pixel of subpixels: an arithmetic shift rounds down.
std::int64_t FloorPixel(std::int64_t subpixels) { return subpixels >> kSubpixelBits; }
std::int64_t CeilPixel(std::int64_t subpixels) { return -((-subpixels) >> kSubpixelBits); }

// The pixel whose square holds a coordinate; centres are on whole numbers.
std::int64_t PixelHolding(double coordinate) { return FloorPixel(SnapToSubpixel(coordinate) + kSubpixelOne / 2); }

// Edge vectors of a triangle from its first vertex, in pixels.
struct Basis {
  double x0, y0, e1x, e1y, e2x, e2y, det;
};

Plane PlaneOf(const Basis& b, double a0, double a1, double a2) {
  const double d1 = a1 - a0, d2 = a2 - a0;
  return Plane{a0, (d1 * b.e2y - d2 * b.e1y) / b.det, (d2 * b.e1x - d1 * b.e2x) / b.det, b.x0, b.y0};
}

Edge MakeEdge(std::int64_t xa, std::int64_t ya, std::int64_t xb, std::int64_t yb) {
  Edge e{xb - xa, yb - ya, xa, ya, 0};
  e.bias = (e.dy < 0 || (e.dy == 0 && e.dx > 0)) ? 1 : 0;
  return e;
}

// A colour channel from its plane, rounded and held to 0..255.
int ChannelAt(const Plane& plane, int px, int py, bool perspective, double invW) {
  double value = plane.At(px, py);
  if (perspective) value *= invW;
  if (!(value >= 0.0)) return 0;
  if (value >= 255.0) return 255;
  return static_cast<int>(value + 0.5);
}

Color ColorAt(const std::array<Plane, 4>& planes, int px, int py, bool perspective, double invW) {
  return Color{ChannelAt(planes[0], px, py, perspective, invW), ChannelAt(planes[1], px, py, perspective, invW),
               ChannelAt(planes[2], px, py, perspective, invW), ChannelAt(planes[3], px, py, perspective, invW)};
}

constexpr Color kMissingTexel{0, 0, 0, 255};

// The filter a stage samples a triangle with: its footprint in texels per
// pixel picks the minification or the magnification filter.
bool TriangleUsesLinear(const SamplerSetup& s, const Plane& u, const Plane& v, double rhwScale) {
  const bool minLinear = UsesLinearFilter(s.minFilter), magLinear = UsesLinearFilter(s.magFilter);
  if (minLinear == magLinear) return minLinear;  // the footprint would choose between equals
  const double w = s.width * rhwScale, h = s.height * rhwScale;
  const double acrossX = std::hypot(u.dx * w, v.dx * h), acrossY = std::hypot(u.dy * w, v.dy * h);
  return UsesLinearFilter(std::max(acrossX, acrossY) > 1.0 ? s.minFilter : s.magFilter);
}

void SampleStages(const DrawSetup& setup, const TriangleSetup& tri, int px, int py, double invW, Color* texels) {
  for (int s = 0; s < setup.stageCount; ++s) {
    const StageSetup& stage = setup.stages[s];
    if (!stage.readsTexture) continue;
    if (stage.coordSet < 0 || stage.sampler.pixels == nullptr) {
      texels[s] = kMissingTexel;
      continue;
    }
    double u = tri.u[stage.coordSet].At(px, py), v = tri.v[stage.coordSet].At(px, py);
    if (tri.perspective) {
      u *= invW;
      v *= invW;
    }
    texels[s] = tri.linear[s] ? SampleLinear(stage.sampler, u, v) : SamplePoint(stage.sampler, u, v);
  }
}

// Samples for one vertex (points and lines): the magnification filter.
void SampleAtVertex(const DrawSetup& setup, const std::array<std::array<double, 2>, kMaxCoordSets>& coords,
                    Color* texels) {
  for (int s = 0; s < setup.stageCount; ++s) {
    const StageSetup& stage = setup.stages[s];
    if (!stage.readsTexture) continue;
    if (stage.coordSet < 0 || stage.sampler.pixels == nullptr) {
      texels[s] = kMissingTexel;
      continue;
    }
    const double u = coords[stage.coordSet][0], v = coords[stage.coordSet][1];
    texels[s] = UsesLinearFilter(stage.sampler.magFilter) ? SampleLinear(stage.sampler, u, v)
                                                          : SamplePoint(stage.sampler, u, v);
  }
}

bool InsideClip(const DrawSetup& setup, std::int64_t px, std::int64_t py) {
  return px >= setup.clip.left && px < setup.clip.right && py >= setup.clip.top && py < setup.clip.bottom;
}

}  // namespace

[[gnu::noinline]] double Plane::At(int px, int py) const {
  return base + dx * (static_cast<double>(px) - x0) + dy * (static_cast<double>(py) - y0);
}

// The sum is At's, left to right, with its constant part computed once.
namespace {

// The values of a row, as At computes them one by one. Compiled twice: the
// AVX2 copy only takes wider steps through the same operations (no fused
// multiply-add is enabled), so both give the same doubles.
inline void PlaneRow(const Plane& plane, int pxFirst, double down, int count, double* out) {
  for (int i = 0; i < count; ++i) {
    out[i] = plane.base + plane.dx * (static_cast<double>(pxFirst + i) - plane.x0) + down;
  }
}

[[gnu::target("avx2")]] void PlaneRowAvx2(const Plane& plane, int pxFirst, double down, int count, double* out) {
  PlaneRow(plane, pxFirst, down, count, out);
}

}  // namespace

void Plane::AlongRow(int pxFirst, int py, int count, double* out) const {
  const double down = dy * (static_cast<double>(py) - y0);
  if (VectorRowsAvailable()) {
    PlaneRowAvx2(*this, pxFirst, down, count, out);
  } else {
    PlaneRow(*this, pxFirst, down, count, out);
  }
}

void Plane::AlongColumn(int px, int pyFirst, int count, double* out) const {
  const double across = base + dx * (static_cast<double>(px) - x0);
  for (int i = 0; i < count; ++i) out[i] = across + dy * (static_cast<double>(pyFirst + i) - y0);
}

TriangleFate SetUpTriangle(const DrawSetup& setup, const Vertex& a, const Vertex& b, const Vertex& c,
                           const Vertex& provoking, bool reversedWinding, TriangleSetup* tri) {
  if (!InRange(a) || !InRange(b) || !InRange(c)) return TriangleFate::kCulled;
  const std::int64_t x0 = SnapToSubpixel(a.x), y0 = SnapToSubpixel(a.y);
  const std::int64_t x1 = SnapToSubpixel(b.x), y1 = SnapToSubpixel(b.y);
  const std::int64_t x2 = SnapToSubpixel(c.x), y2 = SnapToSubpixel(c.y);
  const std::int64_t area = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
  if (area == 0) return TriangleFate::kCulled;
  // Positive area is clockwise on the screen (y grows downwards).
  const bool clockwise = (area > 0) != reversedWinding;
  if ((setup.cullMode == D3DCULL_CW && clockwise) || (setup.cullMode == D3DCULL_CCW && !clockwise)) {
    return TriangleFate::kCulled;
  }
  if (area > 0) {
    tri->edges = {MakeEdge(x0, y0, x1, y1), MakeEdge(x1, y1, x2, y2), MakeEdge(x2, y2, x0, y0)};
  } else {
    tri->edges = {MakeEdge(x0, y0, x2, y2), MakeEdge(x2, y2, x1, y1), MakeEdge(x1, y1, x0, y0)};
  }
  const std::int64_t minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
  const std::int64_t minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
  tri->rowFirst = static_cast<int>(std::max<std::int64_t>(setup.clip.top, CeilPixel(minY)));
  tri->rowLast = static_cast<int>(std::min<std::int64_t>(setup.clip.bottom - 1, FloorPixel(maxY)));
  tri->columnFirst = static_cast<int>(std::max<std::int64_t>(setup.clip.left, CeilPixel(minX)));
  tri->columnLast = static_cast<int>(std::min<std::int64_t>(setup.clip.right - 1, FloorPixel(maxX)));
  if (tri->rowFirst > tri->rowLast || tri->columnFirst > tri->columnLast) return TriangleFate::kOutside;

  const double one = static_cast<double>(kSubpixelOne);
  Basis basis{};
  basis.x0 = static_cast<double>(x0) / one;
  basis.y0 = static_cast<double>(y0) / one;
  basis.e1x = static_cast<double>(x1 - x0) / one;
  basis.e1y = static_cast<double>(y1 - y0) / one;
  basis.e2x = static_cast<double>(x2 - x0) / one;
  basis.e2y = static_cast<double>(y2 - y0) / one;
  basis.det = basis.e1x * basis.e2y - basis.e2x * basis.e1y;

  tri->perspective = !(a.rhw == b.rhw && b.rhw == c.rhw);
  const double wa = tri->perspective ? a.rhw : 1.0, wb = tri->perspective ? b.rhw : 1.0,
               wc = tri->perspective ? c.rhw : 1.0;
  // Built only for the pixels that read them.
  if (tri->perspective) tri->rhw = PlaneOf(basis, wa, wb, wc);
  if (setup.depthPixels != nullptr) tri->z = PlaneOf(basis, a.z, b.z, c.z);

  tri->constantColors =
      setup.flatShading || (a.diffuse == b.diffuse && b.diffuse == c.diffuse && a.specular == b.specular &&
                            b.specular == c.specular);
  if (tri->constantColors) {
    const Vertex& source = setup.flatShading ? provoking : a;
    tri->diffuse = ColorFromArgb(source.diffuse);
    tri->specular = ColorFromArgb(source.specular);
  } else {
    for (int ch = 0; ch < 4; ++ch) {
      const int shift = ch == 3 ? 24 : 16 - 8 * ch;  // r, g, b, a
      auto channel = [shift](std::uint32_t argb) { return static_cast<double>((argb >> shift) & 0xFF); };
      tri->diffusePlanes[ch] =
          PlaneOf(basis, channel(a.diffuse) * wa, channel(b.diffuse) * wb, channel(c.diffuse) * wc);
      tri->specularPlanes[ch] =
          PlaneOf(basis, channel(a.specular) * wa, channel(b.specular) * wb, channel(c.specular) * wc);
    }
  }
  for (int set = 0; set < setup.layout.coordSetCount; ++set) {
    if (!(setup.usedCoordSets & (1u << set))) continue;
    tri->u[set] = PlaneOf(basis, a.coords[set][0] * wa, b.coords[set][0] * wb, c.coords[set][0] * wc);
    tri->v[set] = PlaneOf(basis, a.coords[set][1] * wa, b.coords[set][1] * wb, c.coords[set][1] * wc);
  }
  for (int s = 0; s < setup.stageCount; ++s) {
    const StageSetup& stage = setup.stages[s];
    tri->linear[s] = stage.readsTexture && stage.coordSet >= 0 && stage.sampler.pixels != nullptr &&
                     TriangleUsesLinear(stage.sampler, tri->u[stage.coordSet], tri->v[stage.coordSet], 1.0 / wa);
  }
  return TriangleFate::kDraw;
}

bool RowSpan(const TriangleSetup& tri, int py, int* first, int* last) {
  return RowSpanWalker(tri, py).Next(first, last);
}

void FillTriangle(const DrawSetup& setup, const TriangleSetup& tri, Report* report) {
  std::array<Color, kStageCount> texels{};
  RowSpanWalker spans(tri, tri.rowFirst);
  for (int py = tri.rowFirst; py <= tri.rowLast; ++py) {
    int first, last;
    if (!spans.Next(&first, &last)) continue;
    for (int px = first; px <= last; ++px) {
      const double invW = tri.perspective ? 1.0 / tri.rhw.At(px, py) : 1.0;
      const Color diffuse =
          tri.constantColors ? tri.diffuse : ColorAt(tri.diffusePlanes, px, py, tri.perspective, invW);
      const Color specular =
          tri.constantColors ? tri.specular : ColorAt(tri.specularPlanes, px, py, tri.perspective, invW);
      SampleStages(setup, tri, px, py, invW, texels.data());
      const Color src = RunCascade(setup, diffuse, specular, texels.data());
      const float z = setup.depthPixels != nullptr ? static_cast<float>(tri.z.At(px, py)) : 0.0f;
      if (OutputPixel(setup, px, py, z, src)) ++report->pixelsWritten;
    }
  }
}

void DrawPoint(const DrawSetup& setup, const Vertex& vertex, Report* report) {
  if (!InRange(vertex)) {
    ++report->primitivesCulled;
    return;
  }
  ++report->primitivesDrawn;
  const std::int64_t px = PixelHolding(vertex.x), py = PixelHolding(vertex.y);
  if (!InsideClip(setup, px, py)) return;
  std::array<std::array<double, 2>, kMaxCoordSets> coords{};
  for (int set = 0; set < kMaxCoordSets; ++set) coords[set] = {vertex.coords[set][0], vertex.coords[set][1]};
  std::array<Color, kStageCount> texels{};
  SampleAtVertex(setup, coords, texels.data());
  const Color src = RunCascade(setup, ColorFromArgb(vertex.diffuse), ColorFromArgb(vertex.specular), texels.data());
  if (OutputPixel(setup, static_cast<int>(px), static_cast<int>(py), vertex.z, src)) ++report->pixelsWritten;
}

void DrawLine(const DrawSetup& setup, const Vertex& a, const Vertex& b, const Vertex& provoking, bool lastPixel,
              Report* report) {
  if (!InRange(a) || !InRange(b)) {
    ++report->primitivesCulled;
    return;
  }
  ++report->primitivesDrawn;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const bool alongX = std::abs(dx) >= std::abs(dy);
  const double start = alongX ? a.x : a.y, length = alongX ? dx : dy;
  if (length == 0.0) return;
  // Pixels along the major axis from the one holding the start to the one
  // holding the end; the end's own pixel only with lastPixel.
  const std::int64_t from = PixelHolding(start);
  const std::int64_t to = PixelHolding(start + length);
  const std::int64_t step = length > 0 ? 1 : -1;
  const std::int64_t end = lastPixel ? to + step : to;
  std::array<Color, kStageCount> texels{};
  for (std::int64_t major = from; major != end; major += step) {
    const double t = std::clamp((static_cast<double>(major) - start) / length, 0.0, 1.0);
    const double minor = alongX ? a.y + t * dy : a.x + t * dx;
    const std::int64_t minorPixel = PixelHolding(minor);
    const std::int64_t px = alongX ? major : minorPixel, py = alongX ? minorPixel : major;
    if (!InsideClip(setup, px, py)) continue;
    auto lerp = [t](double p, double q) { return p + (q - p) * t; };
    auto lerpColor = [&](std::uint32_t p, std::uint32_t q) {
      const Color cp = ColorFromArgb(p), cq = ColorFromArgb(q);
      auto ch = [&](int x, int y) { return static_cast<int>(lerp(x, y) + 0.5); };
      return Color{ch(cp.r, cq.r), ch(cp.g, cq.g), ch(cp.b, cq.b), ch(cp.a, cq.a)};
    };
    const Color diffuse = setup.flatShading ? ColorFromArgb(provoking.diffuse) : lerpColor(a.diffuse, b.diffuse);
    const Color specular = setup.flatShading ? ColorFromArgb(provoking.specular) : lerpColor(a.specular, b.specular);
    std::array<std::array<double, 2>, kMaxCoordSets> coords{};
    for (int set = 0; set < kMaxCoordSets; ++set) {
      coords[set] = {lerp(a.coords[set][0], b.coords[set][0]), lerp(a.coords[set][1], b.coords[set][1])};
    }
    SampleAtVertex(setup, coords, texels.data());
    const Color src = RunCascade(setup, diffuse, specular, texels.data());
    const float z = static_cast<float>(lerp(a.z, b.z));
    if (OutputPixel(setup, static_cast<int>(px), static_cast<int>(py), z, src)) ++report->pixelsWritten;
  }
}

}  // namespace plat::raster
