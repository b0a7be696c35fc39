// The scaled blit's stepping loop: nearest-neighbour 16.16 stepping around
// the shared per-pixel blend policies (in their scaled-blit variant).
#pragma once

#include <cstdint>
#include <type_traits>

#include "softrender/pixel_kernels.h"

namespace qz::scaled {

// One call's geometry, worked out once. Accumulators and steps are 16.16
// values held in 64 bits so that no size can overflow them.
struct ScaledJob {
  std::uint8_t* dst;
  std::intptr_t dstPitch;
  std::int32_t width;   // clipped
  std::int32_t height;  // clipped
  const std::uint8_t* src;  // first source pixel drawn
  std::intptr_t srcColumnStep;
  std::intptr_t srcRowStep;
  const std::uint8_t* blend;  // blend-image byte of the first source pixel, or null
  std::intptr_t blendColumnStep;
  std::intptr_t blendRowStep;
  std::int64_t stepX;
  std::int64_t stepY;
  std::int64_t accStartX;
  std::int64_t accStartY;
};

// Whether a source pixel is left out: its key colour, or alpha 0 (in every
// mode). Tested once per source pixel, however many pixels it covers.
template <class Src, bool Trans>
inline bool SkipsSourcePixel(const std::uint8_t* s, const pixel::BlendSetup& st) {
  if constexpr (!Trans) {
    return false;
  } else if constexpr (Src::kAlpha) {
    return Src::Alpha(s) == 0;
  } else {
    return Src::IsKey(s, st);
  }
}

// RuleB advances while the accumulator is below 0 instead of at or below 0,
// which makes a shrink show the lower of two neighbouring source columns.
template <class Blend, class Src, class O, bool Trans, bool RuleB>
void RunScaledLoop(const ScaledJob& job, const pixel::BlendSetup& st) {
  using D = typename Src::Dst;
  // The plain copy (no blend image, modulation or alpha) stores the source
  // colour unchanged, so it needs no blend policy per destination pixel.
  constexpr bool kWholeCopy = std::is_same_v<Blend, pixel::BlendCopy> && !O::kBlendImage && !O::kModulate &&
                              !Src::kAlpha;
  std::uint8_t* dstRow = job.dst;
  const std::uint8_t* srcRow = job.src;
  const std::uint8_t* blendRow = job.blend;
  std::int64_t accY = job.accStartY;
  for (std::int32_t y = 0;;) {
    std::uint8_t* dp = dstRow;
    const std::uint8_t* sp = srcRow;
    const std::uint8_t* bp = blendRow;
    std::int64_t acc = job.accStartX;
    std::int32_t left = job.width;
    for (;;) {
      const bool skip = SkipsSourcePixel<Src, Trans>(sp, st);
      const int bv = O::kBlendImage ? *bp : 0;
      // Whole-pixel copies fetch the colour (and its palette entry) once.
      const std::uint32_t color = kWholeCopy ? Src::Color(sp, st) : 0;
      bool rowDone = false;
      for (;;) {
        if constexpr (kWholeCopy) {
          if (!skip) D::Store(dp, color);
        } else {
          if (!skip) Blend::template Pixel<Src, O>(dp, sp, bv, st);
        }
        dp += D::kBytes;
        if (--left == 0) {
          rowDone = true;
          break;
        }
        acc -= 65536;
        if (acc <= 0) break;
      }
      if (rowDone) break;
      do {
        sp += job.srcColumnStep;
        if constexpr (O::kBlendImage) bp += job.blendColumnStep;
        acc += job.stepX;
      } while (RuleB ? acc < 0 : acc <= 0);
    }
    if (++y == job.height) return;
    dstRow += job.dstPitch;
    accY -= 65536;
    if (accY <= 0) {
      do {
        srcRow += job.srcRowStep;
        if constexpr (O::kBlendImage) blendRow += job.blendRowStep;
        accY += job.stepY;
      } while (RuleB ? accY < 0 : accY <= 0);
    }
  }
}

}  // namespace qz::scaled
