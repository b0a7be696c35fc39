// The fill of the fast rectangle path. Its colour arithmetic is the general
// path's, specialised for the common blend states, and the vector rows give
// the same bytes as the loop here.
#include "platform/d3d9_raster_rect_fill.h"

#include "platform/d3d9_raster_pixel.h"
#include "platform/d3d9_raster_simd.h"

namespace plat::raster {
namespace {

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
  k->texelFormat = sampler.format;
  k->texelOr = job.factors.texelOr | (sampler.format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u);
  k->targetFill = setup.targetHasAlpha ? 0u : 0xFF000000u;
  k->factor = {static_cast<std::uint16_t>(job.factors.factor.b), static_cast<std::uint16_t>(job.factors.factor.g),
               static_cast<std::uint16_t>(job.factors.factor.r), static_cast<std::uint16_t>(job.factors.factor.a)};
  return true;
}

bool SameFactors(const TexelFactors& a, const TexelFactors& b) {
  return a.factor.r == b.factor.r && a.factor.g == b.factor.g && a.factor.b == b.factor.b &&
         a.factor.a == b.factor.a && a.texelOr == b.texelOr;
}

// The vector rows for a textured rectangle and their constants, kept in the
// set-up for the next rectangle of the same factors; null when its rows
// cannot go through the vector path.
template <FastBlend kBlend>
const VectorRowConstants* ChooseVectorRows(const DrawSetup& setup, const SamplerSetup& sampler, const RectJob& job) {
  DrawSetup::ChosenVectorRows& chosen = setup.chosenVectorRows;
  if (chosen.rows != nullptr && SameFactors(chosen.factors, job.factors)) return &chosen.constants;
  VectorRowConstants constants;
  if (!PrepareVectorRows(setup, sampler, job, &constants)) return nullptr;
  chosen = {job.factors, constants, SelectVectorRect(kBlend, constants)};
  return &chosen.constants;
}

// An untextured rectangle on a 32-bit target through the vector rows; one
// source colour passes the alpha test at every pixel or at none.
template <FastBlend kBlend>
long long FillSolidRect(const DrawSetup& setup, const RectJob& job) {
  const Color& src = job.constantSource;
  if (setup.alphaTest && !CompareAccepts(setup.alphaFunc, src.a, setup.alphaRef)) return 0;
  SolidRows rows;
  rows.dst = TargetPixel(setup, job.columns.first, job.rows.first);
  rows.dstPitch = setup.colorPitch;
  rows.rows = job.rows.last - job.rows.first + 1;
  rows.count = job.columns.last - job.columns.first + 1;
  FillSolidRows(kBlend, ArgbFromColor(src), setup.targetHasAlpha ? 0u : 0xFF000000u, rows);
  return static_cast<long long>(rows.rows) * rows.count;
}

// One rectangle. kTexel32: the texture has 32-bit texels; kTarget32: so does
// the target.
template <FastBlend kBlend, bool kTextured, bool kTexel32, bool kTarget32>
long long FillRect(const DrawSetup& setup, const SamplerSetup& sampler, const RectJob& job) {
  if constexpr (!kTextured && kTarget32 && kBlend != FastBlend::kOther) {
    if (VectorRowsAvailable()) return FillSolidRect<kBlend>(setup, job);
  }
  const std::uint32_t targetFill = setup.targetHasAlpha ? 0u : 0xFF000000u;
  const int width = job.columns.last - job.columns.first + 1;
  constexpr bool kVectorCase = kTextured && kTarget32 && kBlend != FastBlend::kOther;
  const VectorRowConstants* vector = kVectorCase ? ChooseVectorRows<kBlend>(setup, sampler, job) : nullptr;
  long long written = 0;
  // The vector path draws every row at once; otherwise the loop below does.
  int start = 0;
  if (vector != nullptr) {
    VectorRows rows;
    rows.texels = sampler.pixels;
    rows.texelsEnd = sampler.pixels + static_cast<std::ptrdiff_t>(sampler.height) * sampler.pitchBytes;
    rows.texPitch = sampler.pitchBytes;
    rows.rowTexels = job.rowTexels;
    rows.rows = job.rows.last - job.rows.first + 1;
    rows.columns = job.columnTexels;
    rows.contiguous = job.contiguousColumns;
    rows.dst = TargetPixel(setup, job.columns.first, job.rows.first);
    rows.dstPitch = setup.colorPitch;
    rows.count = width;
    written += setup.chosenVectorRows.rows(*vector, rows);
    start = width;
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
    case FastBlend::kSubtract:
      return FillRectForFormats<FastBlend::kSubtract, kTextured>(setup, sampler, job);
    default:
      return FillRectForFormats<FastBlend::kOther, kTextured>(setup, sampler, job);
  }
}

}  // namespace

long long FillRectangle(const DrawSetup& setup, const RectJob& job) {
  return setup.fast.textured ? FillRectForBlend<true>(setup, setup.stages[0].sampler, job)
                             : FillRectForBlend<false>(setup, setup.stages[0].sampler, job);
}

}  // namespace plat::raster
