// Rotated drawing: the set-up of corners, steps and the covered rectangle in
// 14.18 fixed point, then one textured walk over the whole rectangle. Pixel
// indices are floored (an arithmetic shift), as for triangles.
#include "softrender/rotated.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/rect.h"
#include "core/string_util.h"
#include "softrender/draw_state.h"
#include "softrender/textured_span.h"
#include "softrender/fixed_point.h"
#include "softrender/triangle.h"

namespace qz {
namespace {

constexpr float kOneF = 262144.0f;
using fixed::kMaxSourceSide;

using fixed::Pixel;
using fixed::WrapAdd;
using fixed::WrapMul;
using fixed::WrapSub;

// A 32-bit product divided by the scale, the quotient rounded to single
// precision and truncated.
std::int32_t DivideByScale(std::int32_t value, float scale) {
  return FloatToIntTruncate(static_cast<float>(static_cast<double>(value) / static_cast<double>(scale)));
}

// Row tables shared by every call: the routine is not re-entrant. They grow
// to the tallest image seen, so no source is too tall for them.
std::vector<const std::uint8_t*> gSourceRowTable;
std::vector<const std::uint8_t*> gBlendRowTable;

const std::uint8_t* const* FillRowTable(const MEMIMG* img, std::vector<const std::uint8_t*>* table) {
  if (table->size() < static_cast<std::size_t>(img->height)) table->resize(static_cast<std::size_t>(img->height));
  for (std::int32_t i = 0; i < img->height; ++i) {
    (*table)[static_cast<std::size_t>(i)] = img->pixels + static_cast<std::ptrdiff_t>(i) * img->block->pitch;
  }
  return table->data();
}

}  // namespace

bool SetUpRotation(std::int32_t w, std::int32_t h, std::int32_t x, std::int32_t y, float angle, float scale,
                   RotationSetup* setup) {
  if (!std::isfinite(angle) || !std::isfinite(scale) || !(scale > 0.0f)) return false;
  RotationSetup& s = *setup;
  float sine = 0.0f, cosine = 0.0f;
  SinCosFloat(-angle, &sine, &cosine);
  s.cosNeg = FloatToIntTruncate(cosine * kOneF);
  s.sinNeg = FloatToIntTruncate(sine * kOneF);
  SinCosFloat(angle, &sine, &cosine);
  s.cosPos = FloatToIntTruncate(cosine * kOneF);
  s.sinPos = FloatToIntTruncate(sine * kOneF);

  const std::int32_t cx = WrapMul(x, 262144), cy = WrapMul(y, 262144);
  const float hw = static_cast<float>(static_cast<std::uint32_t>(w)) * scale * 0.5f;
  const float hh = static_cast<float>(static_cast<std::uint32_t>(h)) * scale * 0.5f;
  const auto cf = static_cast<float>(s.cosPos), sf = static_cast<float>(s.sinPos);
  const float a = hw * cf, b = hw * sf, d = hh * cf, e = hh * sf;
  auto corner = [&](RotationCorner c, float dx, float dy) {
    s.cornerX[c] = WrapAdd(cx, FloatToIntTruncate(dx));
    s.cornerY[c] = WrapAdd(cy, FloatToIntTruncate(dy));
  };
  corner(kCornerTopLeft, -a + e, -d - b);
  corner(kCornerBottomLeft, -a - e, d - b);
  corner(kCornerBottomRight, a - e, d + b);
  corner(kCornerTopRight, a + e, b - d);

  s.uStepX = FloatToIntTruncate(cf / scale);
  s.vStepX = FloatToIntTruncate(static_cast<float>(s.sinNeg) / scale);
  s.centreX = x;
  s.centreY = y;
  s.halfWidth = w / 2;
  s.halfHeight = h / 2;
  s.scale = scale;
  return true;
}

void RotatedSourcePoint(const RotationSetup& setup, std::int32_t px, std::int32_t py, std::int32_t* u,
                        std::int32_t* v) {
  const std::int32_t rx = WrapSub(px, setup.centreX), ry = WrapSub(py, setup.centreY);
  const std::int32_t du = WrapSub(WrapMul(rx, setup.cosNeg), WrapMul(ry, setup.sinNeg));
  const std::int32_t dv = WrapAdd(WrapMul(ry, setup.cosNeg), WrapMul(rx, setup.sinNeg));
  *u = WrapAdd(DivideByScale(du, setup.scale), WrapMul(setup.halfWidth, 262144));
  *v = WrapAdd(DivideByScale(dv, setup.scale), WrapMul(setup.halfHeight, 262144));
}

void DrawMemImgRotated(MEMIMG* dst, const MEMIMG* src, std::int32_t x, std::int32_t y, float angle, float scale,
                       int trans, int mirror, const MEMIMG* blendImage) {
  if (!MemImgViewInsideBlock(dst) || !MemImgViewInsideBlock(src)) return;
  if (dst->block->format != src->block->format) return;
  if (dst->block->palettised == 1 || dst->block->hasAlpha == 1) return;
  if (src->width > kMaxSourceSide || src->height > kMaxSourceSide) return;
  if (blendImage != nullptr && (!MemImgViewInsideBlock(blendImage) || blendImage->width < src->width ||
                                blendImage->height < src->height)) {
    return;
  }
  RotationSetup setup;
  if (!SetUpRotation(src->width, src->height, x, y, angle, scale, &setup)) return;

  if (mirror != 0) {
    // Source (0, 0) lands on the first corner: handing the top-right corner
    // first flips the image left to right.
    constexpr RotationCorner kMirrored[4] = {kCornerTopRight, kCornerTopLeft, kCornerBottomRight,
                                             kCornerBottomLeft};
    std::int32_t corners[8];
    for (int i = 0; i < 4; ++i) {
      corners[2 * i] = Pixel(setup.cornerX[kMirrored[i]]);
      corners[2 * i + 1] = Pixel(setup.cornerY[kMirrored[i]]);
    }
    DrawMemImgQuad(dst, src, corners, trans, blendImage);
    return;
  }

  const auto [minX, maxX] = std::minmax({setup.cornerX[0], setup.cornerX[1], setup.cornerX[2], setup.cornerX[3]});
  const auto [minY, maxY] = std::minmax({setup.cornerY[0], setup.cornerY[1], setup.cornerY[2], setup.cornerY[3]});
  Rect covered{Pixel(minX) - 2, Pixel(minY) - 2, Pixel(maxX) + 4, Pixel(maxY) + 4};
  // The draw area held inside the view, so the walk cannot leave the block.
  Rect area = gMemImgDrawState.drawArea;
  const Rect view{0, 0, dst->width, dst->height};
  ClipRect(&area, &view);
  ClipRect(&covered, &area);
  if (covered.left >= covered.right || covered.top >= covered.bottom) return;

  span::TexturedConsts consts;
  span::TexturedLoopFn loop = nullptr;
  const span::TexturedSource in{src, blendImage, trans, span::TexturedFamily::kRotated};
  const int format = dst->block->format;
  const bool chosen = format == kMemImgFormatXrgb32   ? span::PrepareTexturedLoop32(in, &consts, &loop)
                      : format == kMemImgFormatRgb565 ? span::PrepareTexturedLoop16(in, &consts, &loop)
                                                      : false;
  if (!chosen) return;
  consts.srcRows = FillRowTable(src, &gSourceRowTable);
  consts.srcPitch = span::VectorReadPitch(src, dst);
  consts.blendRows = blendImage != nullptr ? FillRowTable(blendImage, &gBlendRowTable) : nullptr;

  const std::int32_t width = covered.right - covered.left;
  const std::int32_t lines = covered.bottom - covered.top;
  std::int32_t uTop = 0, vTop = 0, uBottom = 0, vBottom = 0;
  RotatedSourcePoint(setup, covered.left, covered.top, &uTop, &vTop);
  RotatedSourcePoint(setup, covered.left, covered.bottom, &uBottom, &vBottom);
  const std::int32_t du = WrapSub(uBottom, uTop) / lines;
  const std::int32_t dv = WrapSub(vBottom, vTop) / lines;

  const int bpp = MemImgBytesPerPixel(dst);
  span::TexturedWalk walk;
  walk.dst = dst->pixels + static_cast<std::ptrdiff_t>(covered.top) * dst->block->pitch +
             static_cast<std::ptrdiff_t>(covered.left) * bpp;
  walk.rowAdvance = dst->block->pitch - static_cast<std::ptrdiff_t>(width) * bpp;
  walk.width = width;
  walk.lines = lines;
  walk.u = uTop;
  walk.v = vTop;
  walk.uStep = setup.uStepX;
  walk.vStep = setup.vStepX;
  walk.uLineStep = WrapSub(du, WrapMul(width, setup.uStepX));
  walk.vLineStep = WrapSub(dv, WrapMul(width, setup.vStepX));
  loop(walk, consts);
}

}  // namespace qz
