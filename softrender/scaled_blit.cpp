// Entry of the scaled blit: refusals, the plain-blit fall-back, 16.16 steps,
// clipping and the choice of one stepping loop per combination of source
// kind, blend mode, blend image, modulation, transparency and shortcut.
#include "softrender/scaled_blit.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "core/rect.h"
#include "softrender/blit.h"
#include "softrender/draw_state.h"
#include "softrender/scaled_blit_loop.h"

namespace qz {
namespace {

using pixel::BlendSetup;
using scaled::ScaledJob;

template <class F>
void WithFlag(bool value, F&& f) {
  if (value) {
    f(std::true_type{});
  } else {
    f(std::false_type{});
  }
}

// Settled once per call, beside the geometry.
struct Choice {
  int mode;
  int p;
  bool blend;
  bool mod;
  bool trans;
};

template <class Blend, class Src, bool BlendImg, bool Mod, bool Trans, bool RuleB>
void Run(const ScaledJob& job, const BlendSetup& st) {
  // Key tests happen in the stepping loop, once per source pixel; alpha
  // sources still need the flag for their a = 255 rule.
  using O = pixel::Opt<BlendImg, Mod, Src::kAlpha && Trans, pixel::Path::kScaled>;
  scaled::RunScaledLoop<Blend, Src, O, Trans, RuleB>(job, st);
}

template <class Src, bool BlendImg, bool Mod, bool Trans>
void RunMode(const Choice& c, const ScaledJob& job, const BlendSetup& st, const BlendSetup& scratchSt) {
  constexpr bool kPlain = !BlendImg && !Mod && !Src::kAlpha;
  switch (c.mode) {
    case 1:
      if (c.p == 0) return;
      if (c.p != 255) {
        Run<pixel::BlendAlpha, Src, BlendImg, Mod, Trans, false>(job, st);
        return;
      }
      [[fallthrough]];
    case 0:
      Run<pixel::BlendCopy, Src, BlendImg, Mod, Trans, kPlain>(job, st);
      return;
    case 2:
      if (c.p == 0) return;
      Run<pixel::BlendAdd, Src, BlendImg, Mod, Trans, false>(job, st);
      return;
    case 3:
      if (!Src::kPalettised && c.p == 0) return;
      if (kPlain && c.p == 255) {
        Run<pixel::BlendSubFull, Src, BlendImg, Mod, Trans, true>(job, scratchSt);
      } else {
        Run<pixel::BlendSub, Src, BlendImg, Mod, Trans, false>(job, st);
      }
      return;
    case 4:
      Run<pixel::BlendMul, Src, BlendImg, Mod, Trans, false>(job, st);
      return;
    case 10:
      Run<pixel::BlendInvert, Src, BlendImg, Mod, Trans, false>(job, st);
      return;
    case 11:
      Run<pixel::BlendMulBlend, Src, BlendImg, Mod, Trans, false>(job, st);
      return;
    default:
      return;
  }
}

template <class Src>
void RunGroup(const Choice& c, const ScaledJob& job, const BlendSetup& st, const BlendSetup& scratchSt) {
  WithFlag(c.blend, [&](auto blend) {
    WithFlag(c.mod, [&](auto mod) {
      WithFlag(c.trans, [&](auto trans) {
        RunMode<Src, decltype(blend)::value, decltype(mod)::value, decltype(trans)::value>(c, job, st,
                                                                                           scratchSt);
      });
    });
  });
}

// The blend image must be an 8-bit image covering the whole source.
bool BlendImageFits(const MEMIMG* blendImage, const MEMIMG* src) {
  return MemImgViewInsideBlock(blendImage) && blendImage->block->format == kMemImgFormatMono8 &&
         blendImage->width >= src->width && blendImage->height >= src->height;
}

}  // namespace

void DrawMemImgScaled(MEMIMG* dst, const MEMIMG* src, const std::int32_t* rect, std::int32_t trans,
                      const MEMIMG* blendImage) {
  if (rect == nullptr || !MemImgViewInsideBlock(dst) || !MemImgViewInsideBlock(src)) return;
  const MemImgPixelBlock* db = dst->block;
  const MemImgPixelBlock* sb = src->block;
  // A destination of another layout would be written with the source's
  // pixel size; refuse it as the plain blit does.
  if (sb->format != db->format || db->palettised != 0 || db->hasAlpha != 0) return;

  const std::int32_t left = std::min(rect[0], rect[2]);
  const std::int32_t right = std::max(rect[0], rect[2]);
  const std::int32_t top = std::min(rect[1], rect[3]);
  const std::int32_t bottom = std::max(rect[1], rect[3]);
  const bool mirrorX = rect[0] > rect[2];
  const bool mirrorY = rect[1] > rect[3];
  const std::int64_t w = static_cast<std::int64_t>(right) - left;
  const std::int64_t h = static_cast<std::int64_t>(bottom) - top;
  if (w == 0 || h == 0) return;
  if (w == src->width && h == src->height && !mirrorX && !mirrorY) {
    DrawMemImgAt(dst, src, left, top, trans, blendImage);
    return;
  }

  const std::int32_t mode = gMemImgDrawState.blendMode;
  const std::int32_t p = gMemImgDrawState.blendParam;
  if (!IsDrawingBlendMode(mode) || p < 0 || p > 255) return;
  if (sb->format != kMemImgFormatRgb565 && sb->format != kMemImgFormatXrgb32) return;
  // An empty source has no step to take.
  if (src->width <= 0 || src->height <= 0) return;
  if (blendImage != nullptr && !BlendImageFits(blendImage, src)) return;

  const std::int64_t stepX = w * 65536 / src->width;
  const std::int64_t stepY = h * 65536 / src->height;
  if (stepX == 0 || stepY == 0) return;

  Rect area{left, top, right, bottom};
  Rect clip = gMemImgDrawState.drawArea;
  const Rect whole{0, 0, dst->width, dst->height};
  ClipRect(&clip, &whole);
  ClipRect(&area, &clip);
  const std::int32_t cw = area.right - area.left;
  const std::int32_t chh = area.bottom - area.top;
  if (cw <= 0 || chh <= 0) return;
  const std::int64_t cutX = static_cast<std::int64_t>(area.left) - left;
  const std::int64_t cutY = static_cast<std::int64_t>(area.top) - top;
  const std::int64_t skipX = cutX * 65536 / stepX;
  const std::int64_t skipY = cutY * 65536 / stepY;
  // The stepping shows column floor(k * 65536 / step) at destination column
  // k; past the stated size limits that can leave the source, so refuse.
  if ((cutX + cw - 1) * 65536 / stepX >= src->width || (cutY + chh - 1) * 65536 / stepY >= src->height) {
    return;
  }

  const std::int32_t bpp = MemImgBytesPerPixel(src);
  const std::int64_t firstCol = mirrorX ? src->width - 1 - skipX : skipX;
  const std::int64_t firstRow = mirrorY ? src->height - 1 - skipY : skipY;
  ScaledJob job{};
  job.dst = dst->pixels + static_cast<std::intptr_t>(area.top) * db->pitch +
            static_cast<std::intptr_t>(area.left) * MemImgBytesPerPixel(dst);
  job.dstPitch = db->pitch;
  job.width = cw;
  job.height = chh;
  job.src = src->pixels + firstRow * sb->pitch + firstCol * bpp;
  job.srcColumnStep = mirrorX ? -bpp : bpp;
  job.srcRowStep = mirrorY ? -static_cast<std::intptr_t>(sb->pitch) : sb->pitch;
  if (blendImage != nullptr) {
    const std::intptr_t bpitch = blendImage->block->pitch;
    job.blend = blendImage->pixels + firstRow * bpitch + firstCol;
    job.blendColumnStep = mirrorX ? -1 : 1;
    job.blendRowStep = mirrorY ? -bpitch : bpitch;
  }
  job.stepX = stepX;
  job.stepY = stepY;
  job.accStartX = stepX - (cutX * 65536 - skipX * stepX);
  job.accStartY = stepY - (cutY * 65536 - skipY * stepY);

  const std::uint32_t colorMod = gMemImgDrawState.colorMod;
  const bool palettised = sb->palettised != 0;
  // Per-call copy of the palette for the whole-pixel subtract loops; all 256
  // entries, so indexes past the count read the same zeros as the block.
  std::uint8_t scratch[1024] = {};
  if (palettised && sb->palette != nullptr) std::memcpy(scratch, sb->palette, sizeof scratch);
  const BlendSetup st = pixel::MakeBlendSetup(p, colorMod, sb->transColor, sb->palette);
  const BlendSetup scratchSt = pixel::MakeBlendSetup(p, colorMod, sb->transColor, scratch);
  const Choice c{mode, p, blendImage != nullptr, !pixel::IsWhiteColorMod(colorMod), trans != 0};

  const bool wide = sb->format == kMemImgFormatXrgb32;
  if (palettised) {
    if (sb->palette == nullptr) return;
    if (wide) {
      RunGroup<pixel::SrcPal32>(c, job, st, scratchSt);
    } else {
      RunGroup<pixel::SrcPal565>(c, job, st, scratchSt);
    }
  } else if (sb->hasAlpha != 0) {
    if (wide) {
      RunGroup<pixel::Src32A>(c, job, st, scratchSt);
    } else {
      RunGroup<pixel::Src565A>(c, job, st, scratchSt);
    }
  } else if (wide) {
    RunGroup<pixel::Src32>(c, job, st, scratchSt);
  } else {
    RunGroup<pixel::Src565>(c, job, st, scratchSt);
  }
}

}  // namespace qz
