// Slow scalar reference of one textured pixel onto a 32-bit image, written
// from the weight rules with plain 64-bit arithmetic: no product tables, no
// packed lanes; the packed add and subtract come from their channel-wise
// meaning in span_oracle.h.
#pragma once

#include <cstdint>

#include "span_oracle.h"

namespace qz::tex_oracle32 {

enum class Kind { kPalettised, kDirect, kAlpha };

// What is fixed for one draw.
struct Draw {
  int mode = 0;
  int p = 0;
  std::uint32_t colorMod = 0xFFFFFF;  // 0x00RRGGBB
  bool trans = false;
  bool blend = false;
  Kind kind = Kind::kDirect;
  std::uint32_t transColor = 0;
};

// One texel as the walk finds it.
struct Texel {
  std::uint8_t index = 0;  // palettised sources
  std::uint32_t color = 0; // palette entry or direct texel, fourth byte included
  int factor = 0;          // blend-image factor, when a blend image is given
};

inline int Channel(std::uint32_t v, int c) { return static_cast<int>((v >> (8 * c)) & 0xFF); }
inline std::uint32_t Join(const std::int64_t ch[3], std::uint32_t fourth) {
  return static_cast<std::uint32_t>(ch[0]) | (static_cast<std::uint32_t>(ch[1]) << 8) |
         (static_cast<std::uint32_t>(ch[2]) << 16) | (fourth & 0xFF000000u);
}

// False when the draw leaves every pixel as it was before any texel is read.
inline bool Draws(const Draw& dr) {
  const bool known = (dr.mode >= 0 && dr.mode <= 4) || dr.mode == 10 || dr.mode == 11;
  if (!known) return false;
  if (dr.mode == 1 && dr.p == 255) return true;
  if ((dr.mode == 1 || dr.mode == 2) && dr.p == 0) return false;
  return !(dr.mode == 3 && dr.p == 0 && dr.kind != Kind::kPalettised);
}

// The destination pixel d after one texel of an accepted source position.
inline std::uint32_t Pixel(std::uint32_t d, const Texel& t, const Draw& dr) {
  if (!Draws(dr)) return d;
  const int mode = dr.mode == 1 && dr.p == 255 ? 0 : dr.mode;
  const int alpha = Channel(t.color, 3);
  bool alphaWeighs = dr.kind == Kind::kAlpha;
  if (dr.trans) {
    if (dr.kind == Kind::kPalettised && std::uint32_t{t.index} == dr.transColor) return d;
    if (dr.kind == Kind::kDirect && t.color == dr.transColor) return d;
    if (dr.kind == Kind::kAlpha) {
      if (alpha == 0 && mode <= 3) return d;
      if (alpha == 255) alphaWeighs = false;
    }
  }

  // The weight list: blend factor, alpha, p; each weight divides by 256.
  std::int64_t w = 1;
  int n = 0;
  if (dr.blend) {
    w *= t.factor;
    ++n;
  }
  if (alphaWeighs) {
    w *= alpha;
    ++n;
  }
  const bool usesP = mode != 0 && mode != 4;
  if (usesP) {
    w *= dr.p;
    ++n;
  }
  const int k = 8 * n;
  const bool white = (dr.colorMod & 0xFFFFFF) == 0xFFFFFF;

  std::int64_t s[3], dc[3], out[3];
  for (int c = 0; c < 3; ++c) {
    int x = Channel(t.color, c);
    if (mode == 10) x = 255 - x;
    if (!white) x = static_cast<int>(((dr.colorMod >> (8 * c)) & 0xFF)) * x / 255;
    s[c] = x;
    dc[c] = Channel(d, c);
  }
  auto over = [&](std::int64_t dv, std::int64_t x) { return ((x - dv) * w + (dv << k)) >> k; };

  switch (mode) {
    case 0:
      if (n == 0) {
        if (white) return t.color;
        return Join(s, d);
      }
      for (int c = 0; c < 3; ++c) out[c] = over(dc[c], s[c]);
      return Join(out, d);
    case 2:
    case 3: {
      int term[3];
      for (int c = 0; c < 3; ++c) term[c] = static_cast<int>(n == 1 ? dr.p * s[c] / 255 : (s[c] * w) >> k);
      const span_oracle::Layout l = span_oracle::Of(true);
      return mode == 2 ? span_oracle::Add(d, term, l, true) : span_oracle::Sub(d, term, l, true);
    }
    case 4:
      for (int c = 0; c < 3; ++c) out[c] = (s[c] * w * dc[c]) >> (k + 8);
      return Join(out, d);
    case 11:
      for (int c = 0; c < 3; ++c) out[c] = over(dc[c], (s[c] * dc[c]) >> 8);
      return Join(out, d);
    default:  // 1 alpha, 10 inverted source
      for (int c = 0; c < 3; ++c) out[c] = over(dc[c], s[c]);
      return Join(out, d);
  }
}

}  // namespace qz::tex_oracle32
