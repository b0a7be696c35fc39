// The 8-bit channel arithmetic of the pixel pipeline. Every path (general,
// fast 2D) computes colours only through these functions, so equal inputs
// give equal pixels whichever path draws them.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/d3d9_raster_values.h"

namespace plat::raster {

// Channels 0..255.
struct Color {
  int r = 0;
  int g = 0;
  int b = 0;
  int a = 0;
};

constexpr Color ColorFromArgb(std::uint32_t argb) {
  return Color{static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
               static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 24)};
}

constexpr std::uint32_t ArgbFromColor(const Color& c) {
  return (static_cast<std::uint32_t>(c.a) << 24) | (static_cast<std::uint32_t>(c.r) << 16) |
         (static_cast<std::uint32_t>(c.g) << 8) | static_cast<std::uint32_t>(c.b);
}

// a x b / 255 rounded to nearest, times `scale` (1, 2 or 4), saturated; the
// operands are channels, 0..255, so the unsigned division is exact.
constexpr int Mul255(int a, int b) { return static_cast<int>((static_cast<unsigned>(a * b) + 127u) / 255u); }
constexpr int ModulateScaled(int a, int b, int scale) {
  return std::min(255, static_cast<int>((static_cast<unsigned>(a * b * scale) + 127u) / 255u));
}

// a x w + b x (255 - w), over 255 rounded.
constexpr int Lerp255(int a, int b, int w) { return (a * w + b * (255 - w) + 127) / 255; }

constexpr int Saturate(int v) { return std::clamp(v, 0, 255); }

// One texture-stage operation on one channel. `blendAlpha` is the alpha the
// BLEND...ALPHA operations weight with (already chosen by the caller).
constexpr int ApplyStageOp(std::uint32_t op, int arg1, int arg2, int blendAlpha) {
  switch (op) {
    case D3DTOP_SELECTARG1:
      return arg1;
    case D3DTOP_SELECTARG2:
      return arg2;
    case D3DTOP_MODULATE:
      return Mul255(arg1, arg2);
    case D3DTOP_MODULATE2X:
      return ModulateScaled(arg1, arg2, 2);
    case D3DTOP_MODULATE4X:
      return ModulateScaled(arg1, arg2, 4);
    case D3DTOP_ADD:
      return std::min(255, arg1 + arg2);
    case D3DTOP_ADDSIGNED:
      return Saturate(arg1 + arg2 - 128);
    case D3DTOP_ADDSIGNED2X:
      return Saturate((arg1 + arg2 - 128) * 2);
    case D3DTOP_SUBTRACT:
      return std::max(0, arg1 - arg2);
    case D3DTOP_ADDSMOOTH:
      return Saturate(arg1 + arg2 - Mul255(arg1, arg2));
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA:
      return Lerp255(arg1, arg2, blendAlpha);
    default:
      return arg1;
  }
}

constexpr bool IsKnownStageOp(std::uint32_t op) {
  return op == D3DTOP_DISABLE || (op >= D3DTOP_SELECTARG1 && op <= D3DTOP_BLENDFACTORALPHA) ||
         op == D3DTOP_BLENDCURRENTALPHA;
}

// Whether `value` passes the comparison `func` against `reference`.
template <typename T>
constexpr bool CompareAccepts(std::uint32_t func, T value, T reference) {
  switch (func) {
    case D3DCMP_NEVER:
      return false;
    case D3DCMP_LESS:
      return value < reference;
    case D3DCMP_EQUAL:
      return value == reference;
    case D3DCMP_LESSEQUAL:
      return value <= reference;
    case D3DCMP_GREATER:
      return value > reference;
    case D3DCMP_NOTEQUAL:
      return value != reference;
    case D3DCMP_GREATEREQUAL:
      return value >= reference;
    default:
      return true;
  }
}

// Blend factors of one draw: the colour factor per channel and the alpha
// factor, from the source and destination colours and the blend factor state.
struct FactorPair {
  Color src;
  Color dst;
};

constexpr Color BlendFactor(std::uint32_t factor, const Color& s, const Color& d, const Color& constant) {
  switch (factor) {
    case D3DBLEND_ZERO:
      return Color{0, 0, 0, 0};
    case D3DBLEND_ONE:
      return Color{255, 255, 255, 255};
    case D3DBLEND_SRCCOLOR:
      return s;
    case D3DBLEND_INVSRCCOLOR:
      return Color{255 - s.r, 255 - s.g, 255 - s.b, 255 - s.a};
    case D3DBLEND_SRCALPHA:
      return Color{s.a, s.a, s.a, s.a};
    case D3DBLEND_INVSRCALPHA:
      return Color{255 - s.a, 255 - s.a, 255 - s.a, 255 - s.a};
    case D3DBLEND_DESTALPHA:
      return Color{d.a, d.a, d.a, d.a};
    case D3DBLEND_INVDESTALPHA:
      return Color{255 - d.a, 255 - d.a, 255 - d.a, 255 - d.a};
    case D3DBLEND_DESTCOLOR:
      return d;
    case D3DBLEND_INVDESTCOLOR:
      return Color{255 - d.r, 255 - d.g, 255 - d.b, 255 - d.a};
    case D3DBLEND_SRCALPHASAT: {
      const int f = std::min(s.a, 255 - d.a);
      return Color{f, f, f, 255};
    }
    case D3DBLEND_BLENDFACTOR:
      return constant;
    case D3DBLEND_INVBLENDFACTOR:
      return Color{255 - constant.r, 255 - constant.g, 255 - constant.b, 255 - constant.a};
    default:
      return Color{0, 0, 0, 0};
  }
}

// The two factors; BOTHSRCALPHA and BOTHINVSRCALPHA as source factor set
// both, whatever the destination factor says.
constexpr FactorPair BlendFactors(std::uint32_t srcFactor, std::uint32_t dstFactor, const Color& s, const Color& d,
                                  const Color& constant) {
  if (srcFactor == D3DBLEND_BOTHSRCALPHA) {
    return FactorPair{BlendFactor(D3DBLEND_SRCALPHA, s, d, constant), BlendFactor(D3DBLEND_INVSRCALPHA, s, d, constant)};
  }
  if (srcFactor == D3DBLEND_BOTHINVSRCALPHA) {
    return FactorPair{BlendFactor(D3DBLEND_INVSRCALPHA, s, d, constant), BlendFactor(D3DBLEND_SRCALPHA, s, d, constant)};
  }
  return FactorPair{BlendFactor(srcFactor, s, d, constant), BlendFactor(dstFactor, s, d, constant)};
}

constexpr bool IsKnownBlendFactor(std::uint32_t factor) {
  return factor >= D3DBLEND_ZERO && factor <= D3DBLEND_INVBLENDFACTOR;
}

// A sum or difference of two products over 255, rounded once and saturated,
// as the blend units of hardware do it: the terms are not rounded apart.
constexpr int Div255Saturated(int products) {
  return products <= 0 ? 0 : std::min(255, (products + 127) / 255);
}

constexpr int BlendChannel(std::uint32_t op, int s, int d, int sf, int df) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return Div255Saturated(s * sf - d * df);
    case D3DBLENDOP_REVSUBTRACT:
      return Div255Saturated(d * df - s * sf);
    case D3DBLENDOP_MIN:
      return std::min(s, d);
    case D3DBLENDOP_MAX:
      return std::max(s, d);
    default:
      return Div255Saturated(s * sf + d * df);
  }
}

constexpr Color Blend(std::uint32_t op, std::uint32_t srcFactor, std::uint32_t dstFactor, const Color& s,
                      const Color& d, const Color& constant) {
  const FactorPair f = BlendFactors(srcFactor, dstFactor, s, d, constant);
  return Color{BlendChannel(op, s.r, d.r, f.src.r, f.dst.r), BlendChannel(op, s.g, d.g, f.src.g, f.dst.g),
               BlendChannel(op, s.b, d.b, f.src.b, f.dst.b), BlendChannel(op, s.a, d.a, f.src.a, f.dst.a)};
}

}  // namespace plat::raster
