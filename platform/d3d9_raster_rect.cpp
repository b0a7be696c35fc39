// The fast path for the 2D case: two triangles that tile an axis-aligned
// rectangle, drawn with a point-sampled texture (or none) in one stage. The
// rectangle is filled row by row with texel rows and columns looked up in
// tables. It draws only what the general path would draw: the tables come
// from the same planes and addressing, the rectangle's pixels are exactly the
// two triangles' under the top-left rule, and the colour arithmetic is the
// general path's, specialised for the common blend states.
#include <emmintrin.h>

#include <cmath>
#include <vector>

#include "platform/d3d9_raster_fast_pixel.h"
#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_pixel.h"
#include "platform/d3d9_raster_simd.h"

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

// Whether the six vertices are two triangles that tile one axis-aligned
// rectangle (sharing its diagonal); its covered pixels then come back as
// columns [*x0, *x1) and rows [*y0, *y1).
bool TilesRectangle(const std::array<const Vertex*, 6>& v, std::int64_t* x0, std::int64_t* x1, std::int64_t* y0,
                    std::int64_t* y1) {
  std::array<std::int64_t, 6> xs{}, ys{};
  for (int i = 0; i < 6; ++i) {
    if (!std::isfinite(v[i]->x) || !std::isfinite(v[i]->y) || std::abs(v[i]->x) > kMaxCoordinate ||
        std::abs(v[i]->y) > kMaxCoordinate) {
      return false;
    }
    xs[i] = SnapToSubpixel(v[i]->x);
    ys[i] = SnapToSubpixel(v[i]->y);
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
  *x0 = CeilDivPixel(minX);
  *x1 = CeilDivPixel(maxX);
  *y0 = CeilDivPixel(minY);
  *y1 = CeilDivPixel(maxY);
  return true;
}

struct Span {
  int first;
  int last;  // inclusive
};

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

// Everything a rectangle fill reads.
struct RectJob {
  Span columns;
  Span rows;
  Color constantSource;  // untextured: the source colour of every pixel
  const int* columnTexels = nullptr;
  const int* rowTexels = nullptr;
  TexelFactors factors;
  bool contiguousColumns = false;  // texel columns rise by one from pixel to pixel
};

// The source alphas that pass the alpha test as one range; false when they
// are not one range (NOTEQUAL).
bool AlphaPassRange(const DrawSetup& setup, int* low, int* high) {
  *low = 0;
  *high = 255;
  if (!setup.alphaTest) return true;
  const int ref = setup.alphaRef;
  switch (setup.alphaFunc) {
    case D3DCMP_NEVER:
      *low = 1;
      *high = 0;
      return true;
    case D3DCMP_LESS:
      *high = ref - 1;
      return true;
    case D3DCMP_EQUAL:
      *low = *high = ref;
      return true;
    case D3DCMP_LESSEQUAL:
      *high = ref;
      return true;
    case D3DCMP_GREATER:
      *low = ref + 1;
      return true;
    case D3DCMP_GREATEREQUAL:
      *low = ref;
      return true;
    case D3DCMP_ALWAYS:
      return true;
    default:
      return false;
  }
}

// Vector constants for a rectangle, when its rows can go through the vector
// path.
bool PrepareVectorRows(const DrawSetup& setup, const SamplerSetup& sampler, const RectJob& job, VectorRowConstants* k) {
  if (!VectorRowsAvailable() || !AlphaPassRange(setup, &k->alphaLow, &k->alphaHigh)) return false;
  k->texelOr = job.factors.texelOr | (sampler.format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u);
  k->targetFill = setup.targetHasAlpha ? 0u : 0xFF000000u;
  k->factor = {static_cast<std::uint16_t>(job.factors.factor.b), static_cast<std::uint16_t>(job.factors.factor.g),
               static_cast<std::uint16_t>(job.factors.factor.r), static_cast<std::uint16_t>(job.factors.factor.a)};
  return true;
}

// One rectangle. kTexel32: the texture has 32-bit texels; kTarget32: so does
// the target.
template <FastBlend kBlend, bool kTextured, bool kTexel32, bool kTarget32>
long long FillRect(const DrawSetup& setup, const SamplerSetup& sampler, const RectJob& job) {
  const std::uint32_t targetFill = setup.targetHasAlpha ? 0u : 0xFF000000u;
  const int width = job.columns.last - job.columns.first + 1;
  constexpr bool kVectorCase = kTextured && kTexel32 && kTarget32 && kBlend != FastBlend::kOther;
  VectorRowConstants vector;
  const bool useVector = kVectorCase && width >= 8 && PrepareVectorRows(setup, sampler, job, &vector);
  long long written = 0;
  // The vector path draws whole blocks of eight in every row at once; the
  // loop below draws what is left of each row.
  int start = 0;
  if (useVector) {
    VectorRows rows;
    rows.texels = sampler.pixels;
    rows.texPitch = sampler.pitchBytes;
    rows.rowTexels = job.rowTexels;
    rows.rows = job.rows.last - job.rows.first + 1;
    rows.columns = job.columnTexels;
    rows.contiguous = job.contiguousColumns;
    rows.dst = TargetPixel(setup, job.columns.first, job.rows.first);
    rows.dstPitch = setup.colorPitch;
    rows.count = width;
    written += SelectVectorRect(kBlend, vector)(vector, rows);
    start = width - width % 8;
  }
  for (int py = job.rows.first; start < width && py <= job.rows.last; ++py) {
    std::uint8_t* dstRow = TargetPixel(setup, job.columns.first, py);
    const std::uint8_t* texRow = nullptr;
    if constexpr (kTextured) {
      texRow = sampler.pixels + static_cast<std::ptrdiff_t>(job.rowTexels[py - job.rows.first]) * sampler.pitchBytes;
    }
    for (int i = start; i < width; ++i) {
      Color src;
      if constexpr (kTextured) {
        std::uint32_t texel;
        if constexpr (kTexel32) {
          texel = UnpackRaw(sampler.format, LoadRaw(texRow + job.columnTexels[i] * 4, 4));
        } else {
          texel = UnpackRaw(sampler.format, LoadRaw(texRow + job.columnTexels[i] * 2, 2));
        }
        src = FastSource(texel, job.factors);
      } else {
        src = job.constantSource;
      }
      if (setup.alphaTest && !CompareAccepts(setup.alphaFunc, src.a, setup.alphaRef)) continue;
      ++written;
      std::uint8_t* pixel = dstRow + i * setup.colorBytes;
      if constexpr (kTarget32) {
        StoreFast32<kBlend>(setup, pixel, src, targetFill);
      } else {
        Color out = src;
        if constexpr (kBlend != FastBlend::kNone) {
          const Color d = ColorFromArgb(UnpackRaw(setup.colorFormat, LoadRaw(pixel, 2)));
          out = BlendFast<kBlend>(setup, src, d);
        }
        StoreRaw(pixel, 2, PackRaw(setup.colorFormat, ArgbFromColor(out)));
      }
    }
  }
  return written;
}

template <FastBlend kBlend, bool kTextured>
long long FillRectForFormats(const DrawSetup& setup, const SamplerSetup& sampler, const RectJob& job) {
  const bool target32 = setup.colorBytes == 4;
  if (kTextured && sampler.bytesPerPixel == 2) {
    return target32 ? FillRect<kBlend, kTextured, false, true>(setup, sampler, job)
                    : FillRect<kBlend, kTextured, false, false>(setup, sampler, job);
  }
  return target32 ? FillRect<kBlend, kTextured, true, true>(setup, sampler, job)
                  : FillRect<kBlend, kTextured, true, false>(setup, sampler, job);
}

template <bool kTextured>
long long FillRectForBlend(const DrawSetup& setup, const SamplerSetup& sampler, const RectJob& job) {
  switch (setup.fast.blend) {
    case FastBlend::kNone:
      return FillRectForFormats<FastBlend::kNone, kTextured>(setup, sampler, job);
    case FastBlend::kAlpha:
      return FillRectForFormats<FastBlend::kAlpha, kTextured>(setup, sampler, job);
    case FastBlend::kAdditive:
      return FillRectForFormats<FastBlend::kAdditive, kTextured>(setup, sampler, job);
    default:
      return FillRectForFormats<FastBlend::kOther, kTextured>(setup, sampler, job);
  }
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

bool TryFillRectangle(const DrawSetup& setup, const std::array<const Vertex*, 3>& first, const Vertex& firstProvoking,
                      bool firstReversed, const std::array<const Vertex*, 3>& second, const Vertex& secondProvoking,
                      bool secondReversed, Report* report) {
  if (!setup.fast.eligible) return false;
  std::int64_t x0, x1, y0, y1;
  if (!TilesRectangle({first[0], first[1], first[2], second[0], second[1], second[2]}, &x0, &x1, &y0, &y1)) {
    return false;
  }
  // Kept between calls: a set-up is large, and SetUpTriangle writes every
  // member read here before it answers kDraw.
  thread_local TriangleSetup a, b;
  if (SetUpTriangle(setup, *first[0], *first[1], *first[2], firstProvoking, firstReversed, &a) != TriangleFate::kDraw ||
      SetUpTriangle(setup, *second[0], *second[1], *second[2], secondProvoking, secondReversed, &b) !=
          TriangleFate::kDraw) {
    return false;
  }
  if (!a.constantColors || !b.constantColors || ArgbFromColor(a.diffuse) != ArgbFromColor(b.diffuse) ||
      ArgbFromColor(a.specular) != ArgbFromColor(b.specular)) {
    return false;
  }
  RectJob job;
  job.columns = Span{static_cast<int>(std::max<std::int64_t>(x0, setup.clip.left)),
                     static_cast<int>(std::min<std::int64_t>(x1, setup.clip.right) - 1)};
  job.rows = Span{static_cast<int>(std::max<std::int64_t>(y0, setup.clip.top)),
                  static_cast<int>(std::min<std::int64_t>(y1, setup.clip.bottom) - 1)};
  const bool empty = job.columns.first > job.columns.last || job.rows.first > job.rows.last;
  const SamplerSetup& sampler = setup.stages[0].sampler;
  if (setup.fast.textured) {
    const int set = setup.stages[0].coordSet;
    for (const TriangleSetup* t : {&a, &b}) {
      if (t->perspective || t->linear[0] || t->u[set].dy != 0.0 || t->v[set].dx != 0.0) return false;
    }
    if (!empty) {
      thread_local std::vector<int> columns, rows;
      bool rowsRise = false;
      if (!BuildTable(a.u[set], b.u[set], true, job.columns, job.rows.first, sampler.addressU, sampler.width, &columns,
                      &job.contiguousColumns) ||
          !BuildTable(a.v[set], b.v[set], false, job.rows, job.columns.first, sampler.addressV, sampler.height, &rows,
                      &rowsRise)) {
        return false;
      }
      job.columnTexels = columns.data();
      job.rowTexels = rows.data();
      job.factors = FastTexelFactors(setup, a.diffuse, a.specular);
    }
  } else {
    std::array<Color, kStageCount> noTexels{};
    job.constantSource = RunCascade(setup, a.diffuse, a.specular, noTexels.data());
  }
  report->primitivesDrawn += 2;
  report->fastPathTriangles += 2;
  if (empty) return true;
  report->pixelsWritten += setup.fast.textured ? FillRectForBlend<true>(setup, sampler, job)
                                               : FillRectForBlend<false>(setup, sampler, job);
  return true;
}

}  // namespace plat::raster
