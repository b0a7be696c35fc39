// The fast path for the 2D case: two triangles that tile an axis-aligned
// rectangle, drawn with a point-sampled texture (or none) in one stage. The
// rectangle is filled row by row with texel rows and columns looked up in
// tables. It draws only what the general path would draw: the tables come
// from the same planes and addressing, the rectangle's pixels are exactly the
// two triangles' under the top-left rule, and the colour arithmetic is the
// general path's, specialised for the common blend states.
#include <emmintrin.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/d3d9_raster_pixel.h"
#include "platform/d3d9_raster_rect_fill.h"

namespace plat::raster {
namespace {

bool IsPlainTexture(std::uint32_t arg) { return arg == D3DTA_TEXTURE; }
bool NamesTexture(std::uint32_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

// How one stage operation's channel depends on the texel; false when the fast
// path cannot reproduce it.
bool ClassifyChannel(std::uint32_t op, std::uint32_t arg1, std::uint32_t arg2, ChannelSource* source,
                     std::uint32_t* otherArg) {
  const bool reads1 = op != D3DTOP_SELECTARG2 && op != D3DTOP_DISABLE;
  const bool reads2 = op != D3DTOP_SELECTARG1 && op != D3DTOP_DISABLE;
  const bool texture1 = reads1 && NamesTexture(arg1), texture2 = reads2 && NamesTexture(arg2);
  if (op == D3DTOP_BLENDTEXTUREALPHA) return false;
  if (!texture1 && !texture2) {
    *source = ChannelSource::kConstant;
    return true;
  }
  if ((op == D3DTOP_SELECTARG1 && IsPlainTexture(arg1)) || (op == D3DTOP_SELECTARG2 && IsPlainTexture(arg2))) {
    *source = ChannelSource::kTexture;
    return true;
  }
  if (op == D3DTOP_MODULATE && texture1 != texture2) {
    if (!IsPlainTexture(texture1 ? arg1 : arg2)) return false;
    *source = ChannelSource::kTextureTimesArg;
    *otherArg = texture1 ? arg2 : arg1;
    return true;
  }
  return false;
}

// Corner number of a snapped point of the rectangle: bit 0 right, bit 1 bottom.
int Corner(std::int64_t x, std::int64_t y, std::int64_t maxX, std::int64_t maxY) {
  return (x == maxX ? 1 : 0) | (y == maxY ? 2 : 0);
}

std::int64_t CeilDivPixel(std::int64_t v) {
  return v >= 0 ? (v + kSubpixelOne - 1) / kSubpixelOne : -((-v) / kSubpixelOne);
}

// What the rectangle path reads of a vertex: position, rhw, colours and the
// first stage's texture coordinate, as ReadVertex would give them.
struct QuadVertex {
  double x;
  double y;
  float rhw;
  std::uint32_t diffuse;
  std::uint32_t specular;
  std::array<float, 2> coord;
};

// Read into locals and put together once: filling the record field by field
// on the stack stalled its later reads on partly overlapping stores.
QuadVertex ReadQuadVertex(const DrawSetup& setup, const std::uint8_t* bytes) {
  float position[4];
  std::memcpy(position, bytes, sizeof position);
  const VertexLayout& layout = setup.layout;
  std::uint32_t diffuse = 0xFFFFFFFFu, specular = 0;
  if (layout.diffuseOffset >= 0) std::memcpy(&diffuse, bytes + layout.diffuseOffset, 4);
  if (layout.specularOffset >= 0) std::memcpy(&specular, bytes + layout.specularOffset, 4);
  const std::array<float, 2> coord =
      setup.fast.textured ? ReadCoordSet(setup, bytes, setup.stages[0].coordSet) : std::array<float, 2>{};
  return {position[0], position[1], position[3], diffuse, specular, coord};
}

// The two triangles as the rectangle path receives them.
struct QuadTriangles {
  std::array<QuadVertex, 6> v;  // first triangle's three, then the second's
  std::array<const QuadVertex*, 2> provoking;
  std::array<bool, 2> reversed;
};

// The six vertices snapped to 1/256 pixel, and the extremes. TilesRectangle
// writes every point before anything reads them: left unset, they cost a
// sprite no clearing.
struct SnappedQuad {
  std::array<std::int64_t, 6> xs, ys;
  std::int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool libraryOrder = false;  // the vertices are in the order MatchLibraryOrder knows
};

// The library writes a quad as corners a, b, c, then d, c, b, where a and
// c share an x, a and b a y, and d lies across from a. Six vertices in that
// order tile the rectangle by its b-c diagonal whatever its size, so its
// corners need four snaps and no search; false for any other six.
bool MatchLibraryOrder(const std::array<QuadVertex, 6>& v, SnappedQuad* quad) {
  const double xa = v[0].x, xb = v[1].x, ya = v[0].y, yb = v[2].y;
  if (v[2].x != xa || v[4].x != xa || v[3].x != xb || v[5].x != xb || v[1].y != ya || v[5].y != ya ||
      v[3].y != yb || v[4].y != yb) {
    return false;
  }
  // Fails for NaN too.
  for (const double c : {xa, xb, ya, yb}) {
    if (!(std::abs(c) <= kMaxCoordinate)) return false;
  }
  const std::int64_t sxa = SnapToSubpixel(xa), sxb = SnapToSubpixel(xb);
  const std::int64_t sya = SnapToSubpixel(ya), syb = SnapToSubpixel(yb);
  if (sxa == sxb || sya == syb) return false;
  quad->xs = {sxa, sxb, sxa, sxb, sxa, sxb};
  quad->ys = {sya, sya, syb, syb, syb, sya};
  quad->minX = std::min(sxa, sxb);
  quad->maxX = std::max(sxa, sxb);
  quad->minY = std::min(sya, syb);
  quad->maxY = std::max(sya, syb);
  quad->libraryOrder = true;
  return true;
}

// Whether the six vertices are two triangles that tile one axis-aligned
// rectangle (sharing its diagonal); `quad` then holds their snapped corners.
bool TilesRectangle(const std::array<QuadVertex, 6>& v, SnappedQuad* quad) {
  std::array<std::int64_t, 6>& xs = quad->xs;
  std::array<std::int64_t, 6>& ys = quad->ys;
  for (int i = 0; i < 6; ++i) {
    if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y) || std::abs(v[i].x) > kMaxCoordinate ||
        std::abs(v[i].y) > kMaxCoordinate) {
      return false;
    }
    xs[i] = SnapToSubpixel(v[i].x);
    ys[i] = SnapToSubpixel(v[i].y);
  }
  const std::int64_t minX = *std::min_element(xs.begin(), xs.end()), maxX = *std::max_element(xs.begin(), xs.end());
  const std::int64_t minY = *std::min_element(ys.begin(), ys.end()), maxY = *std::max_element(ys.begin(), ys.end());
  if (minX == maxX || minY == maxY) return false;
  std::array<int, 2> cornerMask{};
  for (int i = 0; i < 6; ++i) {
    if ((xs[i] != minX && xs[i] != maxX) || (ys[i] != minY && ys[i] != maxY)) return false;
    cornerMask[i / 3] |= 1 << Corner(xs[i], ys[i], maxX, maxY);
  }
  for (int mask : cornerMask) {
    // Three corners each: exactly one of the four missing.
    const unsigned missing = ~static_cast<unsigned>(mask) & 0xFu;
    if (missing == 0 || (missing & (missing - 1)) != 0) return false;
  }
  // Both cover the rectangle without overlap only when they share a diagonal.
  const int shared = cornerMask[0] & cornerMask[1];
  if ((cornerMask[0] | cornerMask[1]) != 0xF || (shared != 0x9 && shared != 0x6)) return false;
  quad->minX = minX;
  quad->maxX = maxX;
  quad->minY = minY;
  quad->maxY = maxY;
  return true;
}

// A plane's values along one axis of the rectangle.
void PlaneValues(const Plane& plane, bool alongX, Span span, int fixedOther, std::vector<double>* values) {
  const int count = span.last - span.first + 1;
  values->resize(static_cast<std::size_t>(count));
  if (alongX) {
    plane.AlongRow(span.first, fixedOther, count, values->data());
  } else {
    plane.AlongColumn(fixedOther, span.first, count, values->data());
  }
}

// Texel index per pixel from one plane's values; false when any pixel would
// take the border colour.
bool TexelIndices(const std::vector<double>& values, std::uint32_t mode, int size, std::vector<int>* table) {
  table->resize(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int texel = TexelCoordinate(values[i], size);
    // Every address mode keeps a texel inside the texture where it is.
    const bool inside = static_cast<unsigned>(texel) < static_cast<unsigned>(size);
    const int index = inside ? texel : AddressTexel(mode, texel, size);
    if (index < 0) return false;
    (*table)[i] = index;
  }
  return true;
}

// Whether both planes' values give texels first, first + 1, ... inside the
// texture: floor(t x size) is first + i exactly when the product lies in
// [first + i, first + i + 1), which needs no conversion per pixel.
bool RiseByOne(const std::vector<double>& a, const std::vector<double>& b, int size, int first) {
  const auto count = static_cast<int>(a.size());
  if (first < 0 || first > size - count) return false;
  // Two pixels at a time in SSE2, which every x86-64 has; a compare that
  // fails, NaN included, sets its lane in `outside`.
  const __m128d scale = _mm_set1_pd(static_cast<double>(size)), two = _mm_set1_pd(2.0), one = _mm_set1_pd(1.0);
  __m128d low = _mm_setr_pd(static_cast<double>(first), static_cast<double>(first) + 1.0);
  __m128d outside = _mm_setzero_pd();
  int i = 0;
  for (; i + 2 <= count; i += 2) {
    const __m128d high = _mm_add_pd(low, one);
    const __m128d ta = _mm_mul_pd(_mm_loadu_pd(a.data() + i), scale);
    const __m128d tb = _mm_mul_pd(_mm_loadu_pd(b.data() + i), scale);
    outside = _mm_or_pd(outside, _mm_or_pd(_mm_cmpnge_pd(ta, low), _mm_cmpnlt_pd(ta, high)));
    outside = _mm_or_pd(outside, _mm_or_pd(_mm_cmpnge_pd(tb, low), _mm_cmpnlt_pd(tb, high)));
    low = _mm_add_pd(low, two);
  }
  if (_mm_movemask_pd(outside) != 0) return false;
  if (i == count) return true;
  const double lastLow = static_cast<double>(first + i);
  const double ta = a[static_cast<std::size_t>(i)] * static_cast<double>(size);
  const double tb = b[static_cast<std::size_t>(i)] * static_cast<double>(size);
  return ta >= lastLow && ta < lastLow + 1.0 && tb >= lastLow && tb < lastLow + 1.0;
}

// Texel index per pixel along one axis, which both triangles' planes must
// agree on; false when they do not or when any pixel would take the border
// colour. *rising: the indices go up by one from pixel to pixel.
bool BuildTable(const Plane& a, const Plane& b, bool alongX, Span span, int fixedOther, std::uint32_t mode, int size,
                std::vector<int>* table, bool* rising) {
  thread_local std::vector<double> valuesA, valuesB;
  thread_local std::vector<int> other;
  PlaneValues(a, alongX, span, fixedOther, &valuesA);
  PlaneValues(b, alongX, span, fixedOther, &valuesB);
  const int first = TexelCoordinate(valuesA[0], size);
  *rising = RiseByOne(valuesA, valuesB, size, first);
  if (*rising) {
    table->resize(valuesA.size());
    for (std::size_t i = 0; i < table->size(); ++i) (*table)[i] = first + static_cast<int>(i);
    return true;
  }
  if (!TexelIndices(valuesA, mode, size, table) || !TexelIndices(valuesB, mode, size, &other)) return false;
  if (*table != other) return false;
  *rising = true;
  for (std::size_t i = 1; i < table->size(); ++i) *rising = *rising && (*table)[i] == (*table)[0] + static_cast<int>(i);
  return true;
}

// The columns and rows the rectangle covers inside the clip.
void CoveredSpans(const DrawSetup& setup, const SnappedQuad& quad, RectJob* job) {
  job->columns = Span{static_cast<int>(std::max<std::int64_t>(CeilDivPixel(quad.minX), setup.clip.left)),
                      static_cast<int>(std::min<std::int64_t>(CeilDivPixel(quad.maxX), setup.clip.right) - 1)};
  job->rows = Span{static_cast<int>(std::max<std::int64_t>(CeilDivPixel(quad.minY), setup.clip.top)),
                   static_cast<int>(std::min<std::int64_t>(CeilDivPixel(quad.maxY), setup.clip.bottom) - 1)};
}

// ---- Set-up from the triangles' planes ----------------------------------------

// The general path's own set-up of both triangles, whose planes give the
// tables; false when it would not draw them as one rectangle.
bool SetUpFromPlanes(const DrawSetup& setup, const TrianglePair& pair, RectJob* job, std::vector<int>* columns,
                     std::vector<int>* rows) {
  // Kept between calls: a set-up is large, and SetUpTriangle writes every
  // member read here before it answers kDraw.
  thread_local TriangleSetup a, b;
  std::array<Vertex, 6> v;
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = ReadVertex(setup, pair.vertices[i]);
  const Vertex& provokingA = v[static_cast<std::size_t>(pair.provoking[0])];
  const Vertex& provokingB = v[static_cast<std::size_t>(3 + pair.provoking[1])];
  if (SetUpTriangle(setup, v[0], v[1], v[2], provokingA, pair.reversed[0], &a) != TriangleFate::kDraw ||
      SetUpTriangle(setup, v[3], v[4], v[5], provokingB, pair.reversed[1], &b) != TriangleFate::kDraw) {
    return false;
  }
  if (!a.constantColors || !b.constantColors || ArgbFromColor(a.diffuse) != ArgbFromColor(b.diffuse) ||
      ArgbFromColor(a.specular) != ArgbFromColor(b.specular)) {
    return false;
  }
  const bool empty = job->columns.first > job->columns.last || job->rows.first > job->rows.last;
  if (!setup.fast.textured) {
    std::array<Color, kStageCount> noTexels{};
    job->constantSource = RunCascade(setup, a.diffuse, a.specular, noTexels.data());
    return true;
  }
  const int set = setup.stages[0].coordSet;
  for (const TriangleSetup* t : {&a, &b}) {
    if (t->perspective || t->linear[0] || t->u[set].dy != 0.0 || t->v[set].dx != 0.0) return false;
  }
  if (empty) return true;
  const SamplerSetup& sampler = setup.stages[0].sampler;
  bool rowsRise = false;
  if (!BuildTable(a.u[set], b.u[set], true, job->columns, job->rows.first, sampler.addressU, sampler.width, columns,
                  &job->contiguousColumns) ||
      !BuildTable(a.v[set], b.v[set], false, job->rows, job->columns.first, sampler.addressV, sampler.height, rows,
                  &rowsRise)) {
    return false;
  }
  job->factors = FastTexelFactors(setup, a.diffuse, a.specular);
  return true;
}

// ---- Quick set-up from the vertices ---------------------------------------------
// A sprite needs no planes: when both triangles are kept by the cull mode,
// share one colour and one rhw, sample by point, and give each vertex a u
// that depends on its column alone and a v on its row alone, both triangles'
// planes are one linear map per axis, and a pixel's texel follows from the
// rectangle's edges. Within kTexelMargin of a texel boundary the planes'
// rounding could tip a pixel either way; there the planes decide instead.

constexpr double kTexelMargin = 1.0 / (1 << 20);
// Within these limits both ways of computing a coordinate err by far less
// than the margin (below 2^-24 texel).
constexpr float kQuickCoordinateLimit = 256.0f;
constexpr int kQuickSizeLimit = 1 << 16;

// SetUpTriangle's cull decision for the triangle of snapped points i, j, k.
bool KeptByCulling(const DrawSetup& setup, const SnappedQuad& quad, int i, int j, int k, bool reversedWinding) {
  const std::int64_t area = (quad.xs[j] - quad.xs[i]) * (quad.ys[k] - quad.ys[i]) -
                            (quad.ys[j] - quad.ys[i]) * (quad.xs[k] - quad.xs[i]);
  const bool clockwise = (area > 0) != reversedWinding;
  return !((setup.cullMode == D3DCULL_CW && clockwise) || (setup.cullMode == D3DCULL_CCW && !clockwise));
}

// The colours a triangle is drawn with when they are constant, as
// SetUpTriangle takes them; false when they vary across it.
bool ConstantColors(const DrawSetup& setup, const QuadVertex* v, const QuadVertex& provoking,
                    std::uint32_t* diffuse, std::uint32_t* specular) {
  const QuadVertex& source = setup.flatShading ? provoking : v[0];
  if (!setup.flatShading && (v[1].diffuse != source.diffuse || v[2].diffuse != source.diffuse ||
                             v[1].specular != source.specular || v[2].specular != source.specular)) {
    return false;
  }
  *diffuse = source.diffuse;
  *specular = source.specular;
  return true;
}

// One texture coordinate along one axis: `low` at snapped position lowAt,
// `high` at highAt.
struct AxisMap {
  double low = 0.0;
  double high = 0.0;
  std::int64_t lowAt = 0;
  std::int64_t highAt = 0;
};

// The map of component 0 (u, against x) or 1 (v, against y) of the texture
// coordinate; false when some vertex's coordinate does not follow its
// position on that axis alone, or lies outside the quick limits.
bool AxisMapOf(const QuadTriangles& q, const std::array<std::int64_t, 6>& positions, std::int64_t lowAt,
               std::int64_t highAt, int component, AxisMap* map) {
  bool seenLow = false, seenHigh = false;
  float low = 0.0f, high = 0.0f;
  for (int i = 0; i < 6; ++i) {
    const float c = q.v[static_cast<std::size_t>(i)].coord[static_cast<std::size_t>(component)];
    if (!(std::abs(c) <= kQuickCoordinateLimit)) return false;
    bool& seen = positions[i] == lowAt ? seenLow : seenHigh;
    float& value = positions[i] == lowAt ? low : high;
    if (seen && c != value) return false;
    seen = true;
    value = c;
  }
  *map = AxisMap{low, high, lowAt, highAt};
  return true;
}

// AxisMapOf for both axes of vertices in the library's order, from their
// four corners: u must follow x and v follow y at every vertex.
bool LibraryOrderAxisMaps(const QuadTriangles& q, const SnappedQuad& quad, AxisMap* across, AxisMap* down) {
  const auto& v = q.v;
  const float ua = v[0].coord[0], ub = v[1].coord[0], va = v[0].coord[1], vb = v[2].coord[1];
  if (v[2].coord[0] != ua || v[4].coord[0] != ua || v[3].coord[0] != ub || v[5].coord[0] != ub ||
      v[1].coord[1] != va || v[5].coord[1] != va || v[3].coord[1] != vb || v[4].coord[1] != vb) {
    return false;
  }
  for (const float c : {ua, ub, va, vb}) {
    if (!(std::abs(c) <= kQuickCoordinateLimit)) return false;
  }
  const bool xRises = quad.xs[0] < quad.xs[1], yRises = quad.ys[0] < quad.ys[2];
  *across = AxisMap{xRises ? ua : ub, xRises ? ub : ua, quad.minX, quad.maxX};
  *down = AxisMap{yRises ? va : vb, yRises ? vb : va, quad.minY, quad.maxY};
  return true;
}

// An axis map's texel coordinate (coordinate x size) at pixel p.
struct TexelPosition {
  int whole;
  double fraction;
};

TexelPosition TexelAt(const AxisMap& map, double perSubpixel, double scale, int p) {
  // Pixel centres lie on whole pixels.
  const auto offset = static_cast<double>((static_cast<std::int64_t>(p) << kSubpixelBits) - map.lowAt);
  const double t = (map.low + perSubpixel * offset) * scale;
  const auto truncated = static_cast<int>(t);
  const int whole = truncated > t ? truncated - 1 : truncated;
  return {whole, t - whole};
}

bool ClearOfBoundary(const TexelPosition& at) {
  return at.fraction >= kTexelMargin && at.fraction <= 1.0 - kTexelMargin;
}

// Texel per pixel of the span from the axis map; false where a pixel lies
// too near a texel boundary or takes the border colour.
bool QuickTable(const AxisMap& map, Span span, std::uint32_t mode, int size, std::vector<int>* table, bool* rising) {
  const int count = span.last - span.first + 1;
  table->resize(static_cast<std::size_t>(count));
  const double perSubpixel = (map.high - map.low) / static_cast<double>(map.highAt - map.lowAt);
  const double scale = static_cast<double>(size);
  // One texel per pixel, the sprite's case: the texel position minus the
  // pixel's index is linear along the span, so when it stays clear of a
  // boundary at both ends it does at every pixel between them.
  const TexelPosition first = TexelAt(map, perSubpixel, scale, span.first);
  const TexelPosition last = TexelAt(map, perSubpixel, scale, span.last);
  if (ClearOfBoundary(first) && ClearOfBoundary(last) && last.whole - first.whole == count - 1 && first.whole >= 0 &&
      last.whole < size) {
    for (int i = 0; i < count; ++i) (*table)[static_cast<std::size_t>(i)] = first.whole + i;
    *rising = true;
    return true;
  }
  bool rise = true;
  for (int i = 0; i < count; ++i) {
    const TexelPosition at = TexelAt(map, perSubpixel, scale, span.first + i);
    if (!ClearOfBoundary(at)) return false;
    const int texel =
        static_cast<unsigned>(at.whole) < static_cast<unsigned>(size) ? at.whole : AddressTexel(mode, at.whole, size);
    if (texel < 0) return false;
    (*table)[static_cast<std::size_t>(i)] = texel;
    rise = rise && texel == (*table)[0] + i;
  }
  *rising = rise;
  return true;
}

// FastTexelFactors of these vertex colours, remembered for the draw's last two.
TexelFactors KnownTexelFactors(const DrawSetup& setup, std::uint32_t diffuse, std::uint32_t specular) {
  for (int i = 0; i < setup.knownFactorsCount; ++i) {
    const DrawSetup::KnownFactors& known = setup.knownFactors[static_cast<std::size_t>(i)];
    if (known.diffuse == diffuse && known.specular == specular) return known.factors;
  }
  DrawSetup::KnownFactors& entry = setup.knownFactors[static_cast<std::size_t>(setup.knownFactorsNext)];
  entry = {diffuse, specular, FastTexelFactors(setup, ColorFromArgb(diffuse), ColorFromArgb(specular))};
  setup.knownFactorsNext ^= 1;
  setup.knownFactorsCount = std::min(setup.knownFactorsCount + 1, 2);
  return entry.factors;
}

// The quick set-up; false when the planes must decide.
bool SetUpFromVertices(const DrawSetup& setup, const QuadTriangles& q, const SnappedQuad& quad, RectJob* job,
                       std::vector<int>* columns, std::vector<int>* rows) {
  if (job->columns.first > job->columns.last || job->rows.first > job->rows.last) return false;
  if (!KeptByCulling(setup, quad, 0, 1, 2, q.reversed[0]) || !KeptByCulling(setup, quad, 3, 4, 5, q.reversed[1])) {
    return false;
  }
  std::uint32_t diffuse[2], specular[2];
  if (!ConstantColors(setup, &q.v[0], *q.provoking[0], &diffuse[0], &specular[0]) ||
      !ConstantColors(setup, &q.v[3], *q.provoking[1], &diffuse[1], &specular[1]) || diffuse[0] != diffuse[1] ||
      specular[0] != specular[1]) {
    return false;
  }
  const Color diffuseColor = ColorFromArgb(diffuse[0]), specularColor = ColorFromArgb(specular[0]);
  if (!setup.fast.textured) {
    std::array<Color, kStageCount> noTexels{};
    job->constantSource = RunCascade(setup, diffuseColor, specularColor, noTexels.data());
    return true;
  }
  const SamplerSetup& sampler = setup.stages[0].sampler;
  if (UsesLinearFilter(sampler.minFilter) || UsesLinearFilter(sampler.magFilter) ||
      sampler.width > kQuickSizeLimit || sampler.height > kQuickSizeLimit) {
    return false;
  }
  for (const QuadVertex& v : q.v) {
    if (v.rhw != q.v[0].rhw) return false;
  }
  AxisMap across, down;
  bool rowsRise = false;
  const bool mapped = quad.libraryOrder ? LibraryOrderAxisMaps(q, quad, &across, &down)
                                       : AxisMapOf(q, quad.xs, quad.minX, quad.maxX, 0, &across) &&
                                             AxisMapOf(q, quad.ys, quad.minY, quad.maxY, 1, &down);
  if (!mapped ||
      !QuickTable(across, job->columns, sampler.addressU, sampler.width, columns, &job->contiguousColumns) ||
      !QuickTable(down, job->rows, sampler.addressV, sampler.height, rows, &rowsRise)) {
    return false;
  }
  job->factors = KnownTexelFactors(setup, diffuse[0], specular[0]);
  return true;
}

}  // namespace

TexelFactors FastTexelFactors(const DrawSetup& setup, const Color& diffuse, const Color& specular) {
  const StageSetup& stage = setup.stages[0];
  StageRegisters regs;
  regs.diffuse = diffuse;
  regs.specular = specular;
  regs.current = diffuse;
  regs.textureFactor = setup.textureFactor;
  regs.constant = stage.constant;
  const Color fixed = RunStage(stage, regs);  // exact for the channels that do not read the texel
  const Color colorArg = ReadArgument(setup.fast.colorOtherArg, regs);
  const Color alphaArg = ReadArgument(setup.fast.alphaOtherArg, regs);
  TexelFactors f;
  switch (setup.fast.colorSource) {
    case ChannelSource::kTexture:
      f.factor.r = f.factor.g = f.factor.b = 255;
      break;
    case ChannelSource::kTextureTimesArg:
      f.factor.r = colorArg.r;
      f.factor.g = colorArg.g;
      f.factor.b = colorArg.b;
      break;
    case ChannelSource::kConstant:
      f.factor.r = fixed.r;
      f.factor.g = fixed.g;
      f.factor.b = fixed.b;
      f.texelOr |= 0x00FFFFFFu;
      break;
  }
  switch (setup.fast.alphaSource) {
    case ChannelSource::kTexture:
      f.factor.a = 255;
      break;
    case ChannelSource::kTextureTimesArg:
      f.factor.a = alphaArg.a;
      break;
    case ChannelSource::kConstant:
      f.factor.a = fixed.a;
      f.texelOr |= 0xFF000000u;
      break;
  }
  return f;
}

FastPlan PlanFastRectangles(const DrawSetup& setup) {
  FastPlan plan;
  if (setup.depthPixels != nullptr || setup.fillMode != D3DFILL_SOLID) return plan;
  if ((setup.writeMask & 7) != 7 || (setup.targetHasAlpha && !(setup.writeMask & D3DCOLORWRITEENABLE_ALPHA))) {
    return plan;
  }
  if (!setup.blend) {
    plan.blend = FastBlend::kNone;
  } else if (setup.blendOp == D3DBLENDOP_ADD && setup.srcBlend == D3DBLEND_SRCALPHA &&
             setup.dstBlend == D3DBLEND_INVSRCALPHA) {
    plan.blend = FastBlend::kAlpha;
  } else if (setup.blendOp == D3DBLENDOP_ADD && setup.srcBlend == D3DBLEND_SRCALPHA &&
             setup.dstBlend == D3DBLEND_ONE) {
    plan.blend = FastBlend::kAdditive;
  } else if (setup.blendOp == D3DBLENDOP_REVSUBTRACT && setup.srcBlend == D3DBLEND_SRCALPHA &&
             setup.dstBlend == D3DBLEND_ONE) {
    plan.blend = FastBlend::kSubtract;
  } else {
    plan.blend = FastBlend::kOther;
  }
  bool anyTexture = false;
  for (int s = 0; s < setup.stageCount; ++s) anyTexture = anyTexture || setup.stages[s].readsTexture;
  if (!anyTexture) {
    plan.eligible = true;
    return plan;
  }
  const StageSetup& stage = setup.stages[0];
  if (setup.stageCount != 1 || stage.resultToTemp || setup.specularAdd || stage.coordSet < 0 ||
      stage.sampler.pixels == nullptr || stage.sampler.bytesPerPixel == 0) {
    return plan;
  }
  if (!ClassifyChannel(stage.colorOp, stage.colorArg1, stage.colorArg2, &plan.colorSource, &plan.colorOtherArg)) {
    return plan;
  }
  if (!ClassifyChannel(stage.alphaOp, stage.alphaArg1, stage.alphaArg2, &plan.alphaSource, &plan.alphaOtherArg)) {
    return plan;
  }
  plan.textured = true;
  plan.eligible = true;
  return plan;
}

bool TryFillRectangle(const DrawSetup& setup, const TrianglePair& pair, Report* report) {
  if (!setup.fast.eligible) return false;
  QuadTriangles q;
  for (std::size_t i = 0; i < q.v.size(); ++i) q.v[i] = ReadQuadVertex(setup, pair.vertices[i]);
  q.provoking = {&q.v[static_cast<std::size_t>(pair.provoking[0])],
                 &q.v[static_cast<std::size_t>(3 + pair.provoking[1])]};
  q.reversed = pair.reversed;
  SnappedQuad quad;
  if (!MatchLibraryOrder(q.v, &quad) && !TilesRectangle(q.v, &quad)) return false;
  RectJob job;
  CoveredSpans(setup, quad, &job);
  if (setup.bandOnly && job.rows.first > job.rows.last) return true;
  thread_local std::vector<int> columns, rows;
  if (!SetUpFromVertices(setup, q, quad, &job, &columns, &rows) &&
      !SetUpFromPlanes(setup, pair, &job, &columns, &rows)) {
    return false;
  }
  job.columnTexels = columns.data();
  job.rowTexels = rows.data();
  report->primitivesDrawn += 2;
  report->fastPathTriangles += 2;
  if (job.columns.first > job.columns.last || job.rows.first > job.rows.last) return true;
  report->pixelsWritten += FillRectangle(setup, job);
  return true;
}

}  // namespace plat::raster
