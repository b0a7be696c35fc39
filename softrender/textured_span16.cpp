// Textured loops onto RGB565 images, for triangles, quads and rotation alike.
// Every source kind × blend mode × variant (blend image, modulation, trans)
// is its own loop, chosen once per call; per pixel only the source range, the
// texel's own trans and alpha tests and the mode's arithmetic remain.
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "softrender/draw_state.h"
#include "softrender/textured_kernels16.h"
#include "softrender/textured_span.h"

namespace qz::span {
namespace {

using namespace rgb565;

enum class SourceKind { kPalette, kDirect, kDirectAlpha };

constexpr int kLargestAddressable = 8192;  // a positive 14.18 value never reaches past column 8191

template <SourceKind kKind>
constexpr std::uint32_t kTexelBytes = kKind == SourceKind::kPalette ? 1 : (kKind == SourceKind::kDirect ? 2 : 4);

inline std::uint32_t Load16(const std::uint8_t* at) {
  std::uint16_t w;
  std::memcpy(&w, at, sizeof w);
  return w;
}

inline void Store16(std::uint8_t* at, std::uint32_t word) {
  const auto w = static_cast<std::uint16_t>(word);
  std::memcpy(at, &w, sizeof w);
}

template <SourceKind kKind, class Op, bool kBlend, bool kWhite, bool kTrans>
void TexturedLoop(const TexturedWalk& walk, const TexturedConsts& c) {
  constexpr bool kAlpha = kKind == SourceKind::kDirectAlpha;
  // Steps wrap like the 32-bit fixed point they are.
  auto u = static_cast<std::uint32_t>(walk.u);
  auto v = static_cast<std::uint32_t>(walk.v);
  const auto uStep = static_cast<std::uint32_t>(walk.uStep);
  const auto vStep = static_cast<std::uint32_t>(walk.vStep);
  std::uint8_t* px = walk.dst;
  for (std::int32_t line = 0; line < walk.lines; ++line) {
    if (line > 0) {
      px += walk.rowAdvance;
      u += static_cast<std::uint32_t>(walk.uLineStep);
      v += static_cast<std::uint32_t>(walk.vLineStep);
    }
    for (std::int32_t i = 0; i < walk.width; ++i, px += 2, u += uStep, v += vStep) {
      if (u >= c.rangeU || v >= c.rangeV) continue;
      const std::uint32_t col = u >> 18;
      const std::uint32_t row = v >> 18;
      const std::uint8_t* texel = c.srcRows[row] + col * kTexelBytes<kKind>;
      std::uint32_t word;
      std::uint32_t alpha = 255;
      if constexpr (kKind == SourceKind::kPalette) {
        const std::uint32_t index = *texel;
        if (kTrans && index == c.transColor) continue;
        word = Load16(c.palette + 2 * index);
      } else {
        word = Load16(texel);
        if constexpr (kAlpha) {
          alpha = texel[2];
          if (kTrans && Op::kSkipsZeroAlpha && alpha == 0) continue;
        } else {
          if (kTrans && word == c.transColor) continue;
        }
      }
      std::uint32_t factor = 0;
      if constexpr (kBlend) factor = c.blendFactors[c.blendRows[row][col]];
      if constexpr (Op::kComplement) word = ~word & 0xFFFFu;
      const std::uint32_t d = Load16(px);
      std::uint32_t out;
      if constexpr (kAlpha && kTrans) {
        // Under the trans flag an opaque texel drops its alpha weight.
        out = alpha == 255 ? Op::template Pixel<kWhite, kBlend, false>(d, word, factor, alpha, c)
                           : Op::template Pixel<kWhite, kBlend, true>(d, word, factor, alpha, c);
      } else {
        out = Op::template Pixel<kWhite, kBlend, kAlpha>(d, word, factor, alpha, c);
      }
      Store16(px, out);
    }
  }
}

// The eight loops of one source kind and mode, indexed blend × 4 + white × 2 + trans.
template <SourceKind kKind, class Op, int... kVariant>
constexpr std::array<TexturedLoopFn, sizeof...(kVariant)> MakeVariants(std::integer_sequence<int, kVariant...>) {
  return {&TexturedLoop<kKind, Op, (kVariant & 4) != 0, (kVariant & 2) != 0, (kVariant & 1) != 0>...};
}

template <class Op>
TexturedLoopFn PickLoop(SourceKind kind, int variant) {
  static constexpr auto kPalette = MakeVariants<SourceKind::kPalette, Op>(std::make_integer_sequence<int, 8>{});
  static constexpr auto kDirect = MakeVariants<SourceKind::kDirect, Op>(std::make_integer_sequence<int, 8>{});
  static constexpr auto kDirectAlpha =
      MakeVariants<SourceKind::kDirectAlpha, Op>(std::make_integer_sequence<int, 8>{});
  switch (kind) {
    case SourceKind::kPalette:
      return kPalette[static_cast<std::size_t>(variant)];
    case SourceKind::kDirect:
      return kDirect[static_cast<std::size_t>(variant)];
    case SourceKind::kDirectAlpha:
      break;
  }
  return kDirectAlpha[static_cast<std::size_t>(variant)];
}

TexturedLoopFn PickLoop(std::uint32_t mode, SourceKind kind, int variant) {
  switch (mode) {
    case kMemImgBlendNone:
      return PickLoop<CopyOp>(kind, variant);
    case kMemImgBlendAlpha:
      return PickLoop<BlendOp<false>>(kind, variant);
    case kMemImgBlendAdd:
      return PickLoop<PackedOp<false>>(kind, variant);
    case kMemImgBlendSub:
      return PickLoop<PackedOp<true>>(kind, variant);
    case kMemImgBlendMul:
      return PickLoop<MultiplyOp>(kind, variant);
    case kMemImgBlendInvert:
      return PickLoop<BlendOp<true>>(kind, variant);
    case kMemImgBlendMulBlend:
      return PickLoop<MulBlendOp>(kind, variant);
    default:
      return nullptr;
  }
}

}  // namespace

// The triangle and the rotated drawing agree on every rule for RGB565
// images, so the family asking makes no difference here.
bool PrepareTexturedLoop16(const TexturedSource& in, TexturedConsts* consts, TexturedLoopFn* loop) {
  if (in.src == nullptr || in.src->block == nullptr || consts == nullptr || loop == nullptr) return false;
  const MemImgPixelBlock& block = *in.src->block;
  if (block.format != kMemImgFormatRgb565) return false;
  const bool palettised = block.palettised == 1;
  if (palettised && block.palette == nullptr) return false;

  const MemImgDrawState& state = gMemImgDrawState;
  // Out-of-contract parameters are held to the table rows rather than read past them.
  const int p = std::clamp(state.blendParam, 0, 255);
  if (!IsDrawingBlendMode(state.blendMode)) return false;
  auto mode = static_cast<std::uint32_t>(state.blendMode);
  if (mode == kMemImgBlendAlpha && p == 255) mode = kMemImgBlendNone;
  if ((mode == kMemImgBlendAlpha || mode == kMemImgBlendAdd) && p == 0) return false;
  // A palettised subtract still writes at p = 0; a direct one draws nothing.
  if (mode == kMemImgBlendSub && p == 0 && !palettised) return false;

  const SourceKind kind =
      palettised ? SourceKind::kPalette : (block.hasAlpha == 1 ? SourceKind::kDirectAlpha : SourceKind::kDirect);
  const bool white = (state.colorMod & 0xFFFFFFu) == 0xFFFFFFu;
  const int variant = (in.blend != nullptr ? 4 : 0) | (white ? 2 : 0) | (in.trans != 0 ? 1 : 0);

  const auto width = static_cast<std::uint32_t>(std::clamp(in.src->width, 0, kLargestAddressable));
  const auto height = static_cast<std::uint32_t>(std::clamp(in.src->height, 0, kLargestAddressable));
  consts->rangeU = width << 18;
  consts->rangeV = height << 18;
  consts->palette = palettised ? block.palette : nullptr;
  consts->transColor = block.transColor;
  consts->p = p;
  consts->mulRow = MulDiv255Row(p);
  consts->signedRow = DeltaMulDiv255Row(p);
  consts->modRowR = MulDiv255Row(static_cast<int>((state.colorMod >> 16) & 0xFF));
  consts->modRowG = MulDiv255Row(static_cast<int>((state.colorMod >> 8) & 0xFF));
  consts->modRowB = MulDiv255Row(static_cast<int>(state.colorMod & 0xFF));
  consts->blendFactors = BlendImageFactors();
  *loop = PickLoop(mode, kind, variant);
  return *loop != nullptr;
}

}  // namespace qz::span
