// Pixel arithmetic shared by the fast paths: a texel through the one
// texturing stage as per-draw factors, and the store under the common
// blends. The results are the general pipeline's, bit for bit.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/d3d9_raster_internal.h"
#include "platform/d3d9_raster_pixel.h"

namespace plat::raster {

// The factors for the plan's stage under these vertex colours.
TexelFactors FastTexelFactors(const DrawSetup& setup, const Color& diffuse, const Color& specular);

inline Color FastSource(std::uint32_t texel, const TexelFactors& f) {
  const Color t = ColorFromArgb(texel | f.texelOr);
  return Color{Mul255(t.r, f.factor.r), Mul255(t.g, f.factor.g), Mul255(t.b, f.factor.b), Mul255(t.a, f.factor.a)};
}

template <FastBlend kBlend>
inline Color BlendFast(const DrawSetup& setup, const Color& s, const Color& d) {
  if constexpr (kBlend == FastBlend::kNone) {
    return s;
  } else if constexpr (kBlend == FastBlend::kAlpha) {
    const int inv = 255 - s.a;
    return Color{Div255Saturated(s.r * s.a + d.r * inv), Div255Saturated(s.g * s.a + d.g * inv),
                 Div255Saturated(s.b * s.a + d.b * inv), Div255Saturated(s.a * s.a + d.a * inv)};
  } else if constexpr (kBlend == FastBlend::kAdditive) {
    return Color{std::min(255, Mul255(s.r, s.a) + d.r), std::min(255, Mul255(s.g, s.a) + d.g),
                 std::min(255, Mul255(s.b, s.a) + d.b), std::min(255, Mul255(s.a, s.a) + d.a)};
  } else if constexpr (kBlend == FastBlend::kSubtract) {
    // d x 255 - s x a rounded once is d less the rounded product: d x 255
    // is a whole multiple of 255.
    return Color{std::max(0, d.r - Mul255(s.r, s.a)), std::max(0, d.g - Mul255(s.g, s.a)),
                 std::max(0, d.b - Mul255(s.b, s.a)), std::max(0, d.a - Mul255(s.a, s.a))};
  } else {
    return Blend(setup.blendOp, setup.srcBlend, setup.dstBlend, s, d, setup.blendConstant);
  }
}

// Blend and store of a source that passed the alpha test onto a 32-bit
// target; targetFill holds the bits a target without alpha stores as ones.
template <FastBlend kBlend>
inline void StoreFast32(const DrawSetup& setup, std::uint8_t* pixel, const Color& src, std::uint32_t targetFill) {
  if constexpr (kBlend == FastBlend::kNone) {
    StoreRaw(pixel, 4, ArgbFromColor(src) | targetFill);
  } else {
    const std::uint32_t dstRaw = LoadRaw(pixel, 4);
    if (kBlend == FastBlend::kAlpha && src.a == 0) {
      StoreRaw(pixel, 4, dstRaw | targetFill);
      return;
    }
    const Color d = ColorFromArgb(dstRaw | targetFill);
    StoreRaw(pixel, 4, ArgbFromColor(BlendFast<kBlend>(setup, src, d)) | targetFill);
  }
}

}  // namespace plat::raster
