// Draw entry: checks the call, assembles primitives from the vertices (and
// indices) and hands each to the fast rectangle path, the fast triangle path
// or the general path.
#include "platform/d3d9_raster.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_pixel.h"

namespace plat::raster {
namespace {

class VertexSource {
 public:
  VertexSource(const DrawSetup& setup, const Draw& draw) : setup_(setup), draw_(draw) {}

  std::uint32_t IndexAt(long long i) const {
    if (draw_.indices == nullptr) return static_cast<std::uint32_t>(i);
    const auto* bytes = static_cast<const std::uint8_t*>(draw_.indices) + i * draw_.indexBytes;
    if (draw_.indexBytes == 2) {
      std::uint16_t index;
      std::memcpy(&index, bytes, 2);
      return index;
    }
    std::uint32_t index;
    std::memcpy(&index, bytes, 4);
    return index;
  }

  const std::uint8_t* BytesAt(long long i) const {
    return static_cast<const std::uint8_t*>(draw_.vertices) + static_cast<std::ptrdiff_t>(IndexAt(i)) * draw_.stride;
  }

  Vertex At(long long i) const { return ReadVertex(setup_, BytesAt(i)); }

 private:
  const DrawSetup& setup_;
  const Draw& draw_;
};

// Vertex positions of triangle k in its run, the one that gives flat colours,
// and whether its winding is reversed (odd triangles of a strip).
struct TriangleIndices {
  long long a, b, c, provoking;
  bool reversed;
};

TriangleIndices TriangleAt(std::uint32_t type, long long k) {
  if (type == D3DPT_TRIANGLESTRIP) return {k, k + 1, k + 2, k, (k & 1) != 0};
  if (type == D3DPT_TRIANGLEFAN) return {0, k + 1, k + 2, k + 1, false};
  return {3 * k, 3 * k + 1, 3 * k + 2, 3 * k, false};
}

struct AssembledTriangle {
  Vertex a, b, c, provoking;
  bool reversed;
};

AssembledTriangle Assemble(const VertexSource& source, std::uint32_t type, long long k) {
  const TriangleIndices t = TriangleAt(type, k);
  const Vertex a = source.At(t.a), b = source.At(t.b);
  // Lists and strips take the flat colours from their first vertex.
  return {a, b, source.At(t.c), t.provoking == t.a ? a : b, t.reversed};
}

void DrawTriangleOutline(const DrawSetup& setup, const AssembledTriangle& t, Report* report) {
  TriangleSetup tri;
  if (SetUpTriangle(setup, t.a, t.b, t.c, t.provoking, t.reversed, &tri) == TriangleFate::kCulled) {
    ++report->primitivesCulled;
    return;
  }
  if (setup.fillMode == D3DFILL_POINT) {
    for (const Vertex* v : {&t.a, &t.b, &t.c}) DrawPoint(setup, *v, report);
  } else {
    DrawLine(setup, t.a, t.b, t.provoking, false, report);
    DrawLine(setup, t.b, t.c, t.provoking, false, report);
    DrawLine(setup, t.c, t.a, t.provoking, false, report);
  }
}

// Triangles k and k + 1 through the rectangle path, which reads only what it
// needs of their vertices; false when they are not one rectangle it can draw.
bool TryRectanglePair(const DrawSetup& setup, const VertexSource& source, std::uint32_t type, long long k,
                      Report* report) {
  TrianglePair pair;
  for (int t = 0; t < 2; ++t) {
    const TriangleIndices at = TriangleAt(type, k + t);
    pair.vertices[static_cast<std::size_t>(3 * t)] = source.BytesAt(at.a);
    pair.vertices[static_cast<std::size_t>(3 * t + 1)] = source.BytesAt(at.b);
    pair.vertices[static_cast<std::size_t>(3 * t + 2)] = source.BytesAt(at.c);
    pair.provoking[static_cast<std::size_t>(t)] = at.provoking == at.a ? 0 : 1;
    pair.reversed[static_cast<std::size_t>(t)] = at.reversed;
  }
  return TryFillRectangle(setup, pair, report);
}

// Whether triangles k and k + 1 lie wholly above or below the clip's rows,
// with a pixel to spare (a pixel's centre lies on whole coordinates): a band
// of a split frame passes over them after reading only their heights.
bool PairOutsideRows(const DrawSetup& setup, const VertexSource& source, std::uint32_t type, long long k) {
  float top = std::numeric_limits<float>::infinity(), bottom = -top;
  for (long long t = k; t < k + 2; ++t) {
    const TriangleIndices at = TriangleAt(type, t);
    for (const long long i : {at.a, at.b, at.c}) {
      float y;
      std::memcpy(&y, source.BytesAt(i) + 4, 4);
      if (!(y == y)) return false;  // not a number: the full set-up decides
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  return bottom < static_cast<float>(setup.clip.top) - 1.0f || top > static_cast<float>(setup.clip.bottom) + 1.0f;
}

// Asks for the lines of a rectangle of at most 64 x 64 pixels from `x0` to
// `x1` (inclusive) in rows y0 .. y1, first and last of each row.
void PrefetchRows(const std::uint8_t* pixels, int pitch, int bytesPerPixel, int x0, int x1, int y0, int y1) {
  for (int y = y0; y <= y1; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    _mm_prefetch(reinterpret_cast<const char*>(row + x0 * bytesPerPixel), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(row + (x1 + 1) * bytesPerPixel - 1), _MM_HINT_T0);
  }
}

// Whole values from `low` to `high` (at most 64 apart) held to [first, last];
// false when they do not fit or are not numbers.
bool HeldSpan(float low, float high, int first, int last, int* from, int* to) {
  if (!(high - low <= 64.0f) || first > last) return false;
  *from = static_cast<int>(std::clamp(low, static_cast<float>(first), static_cast<float>(last)));
  *to = static_cast<int>(std::clamp(high, static_cast<float>(first), static_cast<float>(last)));
  return true;
}

// Asks for the target rows and the texel rows between the first vertices of
// triangles k and k + 1, opposite corners of a quad as the library writes
// one, while the pair before is drawn: a sprite's texels and rows are then
// in the cache by the time it is drawn, which its own set-up is too short
// for (a frame's pixels push both out). A wrong guess costs only the requests.
void PrefetchPair(const DrawSetup& setup, const VertexSource& source, std::uint32_t type, long long k) {
  const std::uint8_t* a = source.BytesAt(TriangleAt(type, k).a);
  const std::uint8_t* d = source.BytesAt(TriangleAt(type, k + 1).a);
  float pa[2], pd[2];
  std::memcpy(pa, a, sizeof pa);
  std::memcpy(pd, d, sizeof pd);
  int x0, x1, y0, y1;
  if (HeldSpan(std::min(pa[0], pd[0]), std::max(pa[0], pd[0]), setup.clip.left, setup.clip.right - 1, &x0, &x1) &&
      HeldSpan(std::min(pa[1], pd[1]), std::max(pa[1], pd[1]), setup.clip.top, setup.clip.bottom - 1, &y0, &y1)) {
    PrefetchRows(setup.colorPixels, setup.colorPitch, setup.colorBytes, x0, x1, y0, y1);
  }
  if (!setup.fast.textured) return;
  const SamplerSetup& sampler = setup.stages[0].sampler;
  if (sampler.bytesPerPixel == 0) return;
  const std::array<float, 2> ua = ReadCoordSet(setup, a, setup.stages[0].coordSet);
  const std::array<float, 2> ud = ReadCoordSet(setup, d, setup.stages[0].coordSet);
  const auto width = static_cast<float>(sampler.width), height = static_cast<float>(sampler.height);
  if (HeldSpan(std::min(ua[0], ud[0]) * width, std::max(ua[0], ud[0]) * width, 0, sampler.width - 1, &x0, &x1) &&
      HeldSpan(std::min(ua[1], ud[1]) * height, std::max(ua[1], ud[1]) * height, 0, sampler.height - 1, &y0, &y1)) {
    PrefetchRows(sampler.pixels, sampler.pitchBytes, sampler.bytesPerPixel, x0, x1, y0, y1);
  }
}

void DrawTriangles(const DrawSetup& setup, const VertexSource& source, const Draw& draw, Report* report) {
  const long long count = draw.primitiveCount;
  const bool rectangles = setup.fillMode == D3DFILL_SOLID && setup.fast.eligible;
  if (rectangles && count >= 2) PrefetchPair(setup, source, draw.primitiveType, 0);
  for (long long k = 0; k < count;) {
    if (setup.bandOnly && k + 1 < count && PairOutsideRows(setup, source, draw.primitiveType, k)) {
      k += 2;
      continue;
    }
    if (rectangles && k + 1 < count) {
      if (k + 3 < count) PrefetchPair(setup, source, draw.primitiveType, k + 2);
      if (TryRectanglePair(setup, source, draw.primitiveType, k, report)) {
        k += 2;
        continue;
      }
    }
    const AssembledTriangle t = Assemble(source, draw.primitiveType, k);
    if (setup.fillMode != D3DFILL_SOLID) {
      DrawTriangleOutline(setup, t, report);
      ++k;
      continue;
    }
    TriangleSetup tri;
    switch (SetUpTriangle(setup, t.a, t.b, t.c, t.provoking, t.reversed, &tri)) {
      case TriangleFate::kCulled:
        ++report->primitivesCulled;
        break;
      case TriangleFate::kOutside:
        ++report->primitivesDrawn;
        break;
      case TriangleFate::kDraw:
        ++report->primitivesDrawn;
        if (!TryFillFastTriangle(setup, tri, report)) FillTriangle(setup, tri, report);
        break;
    }
    ++k;
  }
}

}  // namespace

void SetDefaultState(State* state, int targetWidth, int targetHeight, bool hasDepth) {
  *state = State{};
  auto& rs = state->render;
  rs[D3DRS_ZENABLE] = hasDepth ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = 1;
  rs[D3DRS_LASTPIXEL] = 1;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGEND] = 0x3F800000u;  // 1.0f
  rs[D3DRS_FOGDENSITY] = 0x3F800000u;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_LIGHTING] = 1;
  rs[D3DRS_COLORVERTEX] = 1;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = 1;  // vertex colour 1
  rs[D3DRS_SPECULARMATERIALSOURCE] = 2;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
  for (int s = 0; s < kStageCount; ++s) {
    auto& ts = state->stage[s];
    ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = static_cast<std::uint32_t>(s);
    ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    auto& ss = state->sampler[s];
    ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
  }
  state->viewport = Viewport{0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
  state->scissor = Rect{0, 0, targetWidth, targetHeight};
}

std::uint64_t VerticesForPrimitives(std::uint32_t type, std::uint64_t count) {
  switch (type) {
    case D3DPT_POINTLIST:
      return count;
    case D3DPT_LINELIST:
      return count * 2;
    case D3DPT_LINESTRIP:
      return count + 1;
    case D3DPT_TRIANGLELIST:
      return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return count + 2;
    default:
      return 0;
  }
}

Status PrepareCheckedDraw(const Target& target, const State& state, const Draw& draw, DrawSetup* setup,
                          Report* report) {
  const Status status = PrepareDraw(target, state, draw, setup, report);
  if (status != Status::kOk) return status;
  const auto needed = static_cast<long long>(
      VerticesForPrimitives(draw.primitiveType, static_cast<std::uint64_t>(draw.primitiveCount)));
  const VertexSource source(*setup, draw);
  if (draw.indices != nullptr) {
    for (long long i = 0; i < needed; ++i) {
      if (source.IndexAt(i) >= static_cast<std::uint32_t>(draw.vertexCount)) return Status::kBadArguments;
    }
  }
  return Status::kOk;
}

void RunPreparedDraw(const DrawSetup& setup, const Draw& draw, Report* report) {
  const VertexSource source(setup, draw);
  switch (draw.primitiveType) {
    case D3DPT_POINTLIST:
      for (long long i = 0; i < draw.primitiveCount; ++i) DrawPoint(setup, source.At(i), report);
      break;
    case D3DPT_LINELIST:
    case D3DPT_LINESTRIP:
      for (long long k = 0; k < draw.primitiveCount; ++k) {
        const long long first = draw.primitiveType == D3DPT_LINELIST ? 2 * k : k;
        const Vertex a = source.At(first);
        DrawLine(setup, a, source.At(first + 1), a, setup.lastPixel, report);
      }
      break;
    default:
      DrawTriangles(setup, source, draw, report);
      break;
  }
}

Status DrawPrimitives(const Target& target, const State& state, const Draw& draw, Report* report) {
  Report local;
  Report* out = report != nullptr ? report : &local;
  *out = Report{};
  DrawSetup setup;
  const Status status = PrepareCheckedDraw(target, state, draw, &setup, out);
  if (status != Status::kOk) {
    *out = Report{};
    return status;
  }
  RunPreparedDraw(setup, draw, out);
  return Status::kOk;
}

}  // namespace plat::raster
