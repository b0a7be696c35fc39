// Entry of the unscaled blit (checks, clipping, once-per-call set-up) and its
// per-pixel loops; whole transparent draws with a run table go to run_table.cpp.
#include "softrender/blit.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "softrender/alpha_rows.h"
#include "softrender/blit_dispatch.h"
#include "softrender/draw_state.h"
#include "softrender/run_table.h"

namespace qz {

namespace blit {
namespace {

template <class Blend, class Src, class O>
struct PixelLoop {
  static constexpr int kDstBytes = Src::Dst::kBytes;
  // Plain copies of direct rows move each row as one block; a 16-bit alpha
  // source gives only its words.
  static constexpr bool kRowCopy = (std::is_same_v<Blend, pixel::BlendCopy> || std::is_same_v<Blend, FastCopy32>) && !O::kBlendImage && !O::kModulate &&
                                   !O::kTrans && !Src::kPalettised && Src::kBytes == kDstBytes;

  // The 16-bit p = 255 add and subtract take two pixels as one word when both
  // are drawn, pairing from the row's first pixel.
  // Plain copies of a 32-bit alpha source with transparency weigh whole rows
  // at once.
  static constexpr bool kAlphaRows = std::is_same_v<Blend, FastCopy32> && std::is_same_v<Src, pixel::Src32A> &&
                                     O::kTrans && !O::kBlendImage && !O::kModulate;

  // Add and subtract from a plain 32-bit source go four pixels at a time.
  static constexpr bool kAddSub =
      (std::is_same_v<Blend, pixel::BlendAdd> || std::is_same_v<Blend, pixel::BlendAddFull> ||
       std::is_same_v<Blend, pixel::BlendSub> || std::is_same_v<Blend, pixel::BlendSubFull>) &&
      std::is_same_v<Src, pixel::Src32> && !O::kBlendImage && !O::kModulate && !O::kTrans;
  // Colour-keyed copies and constant-alpha mixes of a plain 32-bit source
  // go four pixels at a time.
  static constexpr bool kKeyed32 =
      (std::is_same_v<Blend, FastCopy32> || std::is_same_v<Blend, FastAlpha32>) &&
      std::is_same_v<Src, pixel::Src32> && O::kTrans && !O::kBlendImage && !O::kModulate &&
      O::kPath == pixel::Path::kPixel;
  static constexpr bool kSubtract = std::is_same_v<Blend, pixel::BlendSub> || std::is_same_v<Blend, pixel::BlendSubFull>;
  static constexpr bool kFullTerm =
      std::is_same_v<Blend, pixel::BlendAddFull> || std::is_same_v<Blend, pixel::BlendSubFull>;

  static constexpr bool kPairs = Src::Dst::kIs565 && (std::is_same_v<Blend, pixel::BlendAddFull> ||
                                                      std::is_same_v<Blend, pixel::BlendSubFull>);

  static void PairRow(const BlitJob& job, std::uint8_t*& dp, const std::uint8_t*& sp) {
    std::int32_t x = 0;
    for (; x + 1 < job.w; x += 2) {
      if (O::kTrans && (Src::IsKey(sp, job.setup) || Src::IsKey(sp + Src::kBytes, job.setup))) {
        Blend::template Pixel<Src, O>(dp, sp, 0, job.setup);
        Blend::template Pixel<Src, O>(dp + 2, sp + Src::kBytes, 0, job.setup);
      } else {
        const std::uint32_t t = (Src::Color(sp, job.setup) & 0xFFFFu) | (Src::Color(sp + Src::kBytes, job.setup) << 16);
        const std::uint32_t d = pixel::Load32(dp);
        pixel::Store32(dp, std::is_same_v<Blend, pixel::BlendAddFull> ? pixel::PackedAdd565Pair(d, t)
                                                                        : pixel::PackedSub565Pair(d, t));
      }
      dp += 4;
      sp += 2 * Src::kBytes;
    }
    if (x < job.w) {
      Blend::template Pixel<Src, O>(dp, sp, 0, job.setup);
      dp += 2;
      sp += Src::kBytes;
    }
  }

  static void Run(const BlitJob& job) {
    if constexpr (kAlphaRows) {
      AlphaKeyedCopyRows(job.dst, job.dstStep + job.w * kDstBytes, job.src, job.srcStep + job.w * Src::kBytes, job.w,
                         job.h);
      return;
    }
    std::uint8_t* dp = job.dst;
    const std::uint8_t* sp = job.src;
    const std::uint8_t* bp = job.blend;
    for (std::int32_t y = 0; y < job.h; ++y) {
      if constexpr (kRowCopy) {
        std::memcpy(dp, sp, static_cast<std::size_t>(job.w) * kDstBytes);
        dp += job.w * kDstBytes;
        sp += job.w * Src::kBytes;
      } else if constexpr (kPairs) {
        PairRow(job, dp, sp);
      } else {
        std::int32_t x = 0;
        if constexpr (kAddSub) {
          x = AddSubSpan32<kSubtract, kFullTerm>(dp, sp, job.w, job.setup.p);
          dp += x * kDstBytes;
          sp += x * Src::kBytes;
        }
        if constexpr (kKeyed32) {
          x = KeyedSpan32<std::is_same_v<Blend, FastAlpha32>>(dp, sp, job.w, job.setup.key, job.setup.p);
          dp += x * kDstBytes;
          sp += x * Src::kBytes;
        }
        for (; x < job.w; ++x) {
          Blend::template Pixel<Src, O>(dp, sp, O::kBlendImage ? *bp : 0, job.setup);
          dp += kDstBytes;
          sp += Src::kBytes;
          if constexpr (O::kBlendImage) ++bp;
        }
      }
      dp += job.dstStep;
      sp += job.srcStep;
      if constexpr (O::kBlendImage) bp += job.blendStep;
    }
  }
};

std::int32_t ClampToI32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// The edge clamp of ClipRect.
std::int32_t ClampEdge(std::int32_t value, std::int32_t nearEdge, std::int32_t farEdge) {
  if (value > farEdge) return farEdge;
  if (value < nearEdge) return nearEdge;
  return value;
}

}  // namespace
}  // namespace blit

void DrawMemImgAt(MEMIMG* dst, const MEMIMG* src, std::int32_t x, std::int32_t y, std::int32_t trans,
                  const MEMIMG* blendImage) {
  using namespace blit;
  if (dst == nullptr || src == nullptr || !MemImgViewInsideBlock(dst) || !MemImgViewInsideBlock(src)) return;
  const MemImgPixelBlock* sb = src->block;
  const MemImgPixelBlock* db = dst->block;
  if (sb->format != db->format || db->palettised == 1 || db->hasAlpha == 1) return;
  if (sb->format != kMemImgFormatRgb565 && sb->format != kMemImgFormatXrgb32) return;
  if (blendImage != nullptr &&
      (!MemImgViewInsideBlock(blendImage) || blendImage->block->format != kMemImgFormatMono8 ||
       blendImage->width < src->width || blendImage->height < src->height)) {
    return;
  }

  // Clip to the draw area, kept inside the destination view as well. The
  // source rectangle is clipped in locals: it is never inverted, and going
  // through memory here costs more than the clipping itself.
  Rect area = gMemImgDrawState.drawArea;
  const Rect view = {0, 0, dst->width, dst->height};
  ClipRect(&area, &view);
  const std::int32_t left = ClampEdge(x, area.left, area.right);
  const std::int32_t top = ClampEdge(y, area.top, area.bottom);
  const std::int32_t w = ClampEdge(ClampToI32(static_cast<std::int64_t>(x) + src->width), area.left, area.right) - left;
  const std::int32_t h = ClampEdge(ClampToI32(static_cast<std::int64_t>(y) + src->height), area.top, area.bottom) - top;
  if (w <= 0 || h <= 0) return;
  const std::int32_t sx = left - x;
  const std::int32_t sy = top - y;

  const bool pal = sb->palettised == 1;
  const bool alpha = !pal && sb->hasAlpha == 1;
  const bool f16 = sb->format == kMemImgFormatRgb565;
  const int srcBpp = pal ? 1 : (f16 ? (alpha ? 4 : 2) : 4);
  const int dstBpp = f16 ? 2 : 4;

  int mode = gMemImgDrawState.blendMode;
  const int p = std::clamp(gMemImgDrawState.blendParam, 0, 255);
  if (!IsDrawingBlendMode(mode)) return;
  if (mode == kMemImgBlendAlpha && p == 255) mode = kMemImgBlendNone;
  if (p == 0 && (mode == kMemImgBlendAlpha || mode == kMemImgBlendAdd || (mode == kMemImgBlendSub && !pal))) return;

  const std::uint32_t modRgb = gMemImgDrawState.colorMod & 0xFFFFFFu;
  // The alpha-keyed rows take 8 or 16 pixels a step whatever their alphas,
  // about what the run table spends on a run: it wins over them only where
  // its runs are on average longer than their step.
  const bool alphaRows = alpha && !f16 && mode == kMemImgBlendNone && blendImage == nullptr && modRgb == 0xFFFFFFu;
  const bool shortRuns = alphaRows && static_cast<std::int64_t>(sb->runTableRuns) * AlphaRowStep() >
                                          static_cast<std::int64_t>(w) * h;
  const bool runPath = trans == 1 && !shortRuns && sb->runTableValid == 1 && w == src->width &&
                       h == src->height && RunTableMatchesView(src);

  Choice choice{};
  choice.f16 = f16;
  choice.pal = pal;
  choice.mode = mode;
  choice.shortcut = (mode == kMemImgBlendAlpha && p == 128) ||
                    ((mode == kMemImgBlendAdd || mode == kMemImgBlendSub) && p == 255);
  choice.blend = blendImage != nullptr;
  choice.mod = modRgb != 0xFFFFFFu;
  choice.alpha = alpha;
  choice.trans = trans != 0;

  // Every palette entry is copied, so indexes past paletteCount draw the
  // block's zeroed entries rather than a previous call's colours.
  alignas(4) std::uint8_t palette[1024];
  const std::uint8_t* colours = nullptr;
  if (pal) {
    std::memcpy(palette, sb->palette, f16 ? 512 : 1024);
    colours = runPath ? sb->palette : palette;
  }
  const std::uint32_t key = pal ? (sb->transColor & 0xFFu) : (f16 ? (sb->transColor & 0xFFFFu) : sb->transColor);
  // Built in one piece: zeroing the job first and copying the set-up in
  // afterwards cost more than the clipping and the checks together.
  const std::int32_t bpitch = blendImage != nullptr ? blendImage->block->pitch : 0;
  const BlitJob job{
      dst->pixels + static_cast<std::intptr_t>(top) * db->pitch + static_cast<std::intptr_t>(left) * dstBpp,
      db->pitch - static_cast<std::intptr_t>(w) * dstBpp,
      src->pixels + static_cast<std::intptr_t>(sy) * sb->pitch + static_cast<std::intptr_t>(sx) * srcBpp,
      sb->pitch - static_cast<std::intptr_t>(w) * srcBpp,
      blendImage != nullptr ? blendImage->pixels + static_cast<std::intptr_t>(sy) * bpitch + sx : nullptr,
      blendImage != nullptr ? bpitch - w : 0,
      w,
      h,
      runPath ? sb->runTable : nullptr,
      pixel::MakeBlendSetup(static_cast<int>(p), modRgb, key, colours)};

  const LoopFn loop = runPath ? PickRunLoop(choice) : PickLoop<PixelLoop>(choice);
  if (loop != nullptr) loop(job);
}

}  // namespace qz
