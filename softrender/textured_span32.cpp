// Choice of the textured loop onto a 32-bit image: the mode's parameter tests,
// then one of the generated loops for the source kind, blend image, white
// modulation and trans flag. Triangles and rotation share every rule here.
#include <array>
#include <cstddef>
#include <utility>

#include "softrender/draw_state.h"
#include "softrender/textured_kernels32.h"
#include "softrender/textured_span.h"

namespace qz::span {
namespace {

using LoopTable = std::array<TexturedLoopFn, 8>;

// Variant index: blend image 4, white modulation 2, trans 1.
template <class Src, int kMode, std::size_t... I>
constexpr LoopTable MakeVariants(std::index_sequence<I...>) {
  return {&tex32::TexturedLoop<Src, kMode, (I & 4) != 0, (I & 2) != 0, (I & 1) != 0>...};
}

template <class Src, int kMode>
constexpr LoopTable kVariants = MakeVariants<Src, kMode>(std::make_index_sequence<8>{});

template <class Src>
TexturedLoopFn PickLoop(std::uint32_t mode, std::size_t variant) {
  switch (mode) {
    case tex32::kCopy:
      return kVariants<Src, tex32::kCopy>[variant];
    case tex32::kAlpha:
      return kVariants<Src, tex32::kAlpha>[variant];
    case tex32::kAdd:
      return kVariants<Src, tex32::kAdd>[variant];
    case tex32::kSub:
      return kVariants<Src, tex32::kSub>[variant];
    case tex32::kMul:
      return kVariants<Src, tex32::kMul>[variant];
    case tex32::kInvert:
      return kVariants<Src, tex32::kInvert>[variant];
    case tex32::kMulBlend:
      return kVariants<Src, tex32::kMulBlend>[variant];
    default:
      return nullptr;
  }
}

// Widths and heights that keep the source range (size x 262144) in 32 bits.
constexpr std::int32_t kMaxSourceSide = 16383;

}  // namespace

bool PrepareTexturedLoop32(const TexturedSource& in, TexturedConsts* consts, TexturedLoopFn* loop) {
  if (in.src == nullptr || in.src->block == nullptr || consts == nullptr || loop == nullptr) return false;
  const MemImgPixelBlock& block = *in.src->block;
  if (block.format != kMemImgFormatXrgb32) return false;
  if (in.src->width <= 0 || in.src->height <= 0 || in.src->width > kMaxSourceSide ||
      in.src->height > kMaxSourceSide) {
    return false;
  }
  const bool palettised = block.palettised == 1;
  if (palettised && block.palette == nullptr) return false;

  const MemImgDrawState& st = gMemImgDrawState;
  auto mode = static_cast<std::uint32_t>(st.blendMode);
  if (!IsDrawingBlendMode(st.blendMode)) return false;
  const int p = st.blendParam < 0 ? 0 : (st.blendParam > 255 ? 255 : st.blendParam);
  if (mode == kMemImgBlendAlpha && p == 255) mode = kMemImgBlendNone;
  // Subtract with p = 0 still writes from a palettised source (its packed
  // term of 0 sets the lowest green and red bits); a direct source draws nothing.
  if (p == 0 && (mode == kMemImgBlendAlpha || mode == kMemImgBlendAdd || (mode == kMemImgBlendSub && !palettised))) {
    return false;
  }

  consts->rangeU = static_cast<std::uint32_t>(in.src->width) << 18;
  consts->rangeV = static_cast<std::uint32_t>(in.src->height) << 18;
  consts->palette = palettised ? block.palette : nullptr;
  consts->transColor = block.transColor;
  consts->p = p;
  consts->mulRow = MulDiv255Row(p);
  consts->signedRow = DeltaMulDiv255Row(p);
  consts->modRowB = MulDiv255Row(static_cast<int>(st.colorMod & 0xFF));
  consts->modRowG = MulDiv255Row(static_cast<int>((st.colorMod >> 8) & 0xFF));
  consts->modRowR = MulDiv255Row(static_cast<int>((st.colorMod >> 16) & 0xFF));
  consts->blendFactors = BlendImageFactors();

  const bool white = (st.colorMod & 0xFFFFFF) == 0xFFFFFF;
  const std::size_t variant = (in.blend != nullptr ? 4u : 0u) | (white ? 2u : 0u) | (in.trans != 0 ? 1u : 0u);
  if (palettised) {
    *loop = PickLoop<tex32::PalSource>(mode, variant);
  } else if (block.hasAlpha == 1) {
    *loop = PickLoop<tex32::AlphaSource>(mode, variant);
  } else {
    *loop = PickLoop<tex32::DirectSource>(mode, variant);
  }
  return *loop != nullptr;
}

}  // namespace qz::span
