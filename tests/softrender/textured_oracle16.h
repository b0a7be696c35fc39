// Slow reference of the textured spans onto RGB565 images, written field by
// field from the per-mode formulas with plain arithmetic (no product tables,
// no packed words except through the channel-wise add and subtract of the
// solid-span reference), and a walk that places every pixel from its line and
// column rather than by stepping.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>

#include "softrender/span_oracle.h"
#include "softrender/test_image.h"

namespace qz::textured_oracle16 {

struct Call {
  int mode = 0;
  int p = 0;
  std::uint32_t colorMod = 0xFFFFFF;  // 0x00RRGGBB
  bool trans = false;
};

// What the source block says about its texels.
struct Source {
  bool palettised = false;
  bool hasAlpha = false;
  std::uint32_t transColor = 0;
  const std::uint16_t* palette = nullptr;  // 256 RGB565 entries when palettised
};

inline std::int64_t Prod(std::int64_t a, std::int64_t b) { return a * b / 255; }
// mix(D, X, k, n) = (D * 2^n + (X - D) * k) >> n.
inline std::int64_t Mix(std::int64_t d, std::int64_t x, std::int64_t k, int n) {
  return (d * (std::int64_t{1} << n) + (x - d) * k) >> n;
}

// False when the call draws nothing at all.
inline bool Draws(const Call& call, const Source& src) {
  const auto mode = static_cast<std::uint32_t>(call.mode);
  if (mode > 11 || (mode >= 5 && mode <= 9)) return false;
  if (mode == 1 && call.p == 255) return true;
  if ((mode == 1 || mode == 2) && call.p == 0) return false;
  return !(mode == 3 && call.p == 0 && !src.palettised);
}

// The word a pixel d becomes, or nothing when the texel is left out. `raw` is
// the palette index or the texel word; `alpha` and `factor` are read only when
// the source has alpha and a blend image is given.
inline std::optional<std::uint32_t> Pixel(const Call& call, const Source& src, std::uint32_t d, std::uint32_t raw,
                                          std::uint32_t alpha, std::optional<std::uint32_t> factor) {
  int mode = call.mode;
  const std::int64_t p = call.p;
  if (mode == 1 && p == 255) mode = 0;
  std::uint32_t word = raw;
  bool alphaWeight = false;
  if (src.palettised) {
    if (call.trans && raw == src.transColor) return std::nullopt;
    word = src.palette[raw];
  } else if (!src.hasAlpha) {
    if (call.trans && raw == src.transColor) return std::nullopt;
  } else {
    const bool skipsZero = mode != 4 && mode != 11;
    if (call.trans && alpha == 0 && skipsZero) return std::nullopt;
    alphaWeight = !(call.trans && alpha == 255);
  }
  if (mode == 10) word = ~word & 0xFFFF;
  const bool white = (call.colorMod & 0xFFFFFF) == 0xFFFFFF;
  const std::int64_t a = alpha;
  const std::int64_t f = factor.value_or(0);
  const bool blend = factor.has_value();

  const int shift[3] = {0, 5, 11};
  const int bits[3] = {5, 6, 5};
  int out[3];
  for (int c = 0; c < 3; ++c) {
    const std::int64_t mask = (1 << bits[c]) - 1;
    const std::int64_t s = (word >> shift[c]) & mask;
    const std::int64_t dc = (d >> shift[c]) & mask;
    const std::int64_t m = (call.colorMod >> (8 * c)) & 0xFF;
    const std::int64_t sm = white ? s : Prod(m, s);
    std::int64_t r = 0;
    switch (mode) {
      case 0:
        if (!blend && !alphaWeight) r = sm;
        else if (blend && alphaWeight) r = Mix(dc, sm, f * a, 16);
        else r = Mix(dc, sm, blend ? f : a, 8);
        break;
      case 1:
      case 10:
        if (!blend && !alphaWeight) r = dc + p * (sm - dc) / 255;  // C++ division truncates toward zero
        else if (blend && alphaWeight) r = Mix(dc, sm, f * a * p, 24);
        else r = Mix(dc, sm, (blend ? f : a) * p, 16);
        break;
      case 2:
      case 3: {
        std::int64_t x = sm;
        if (blend && alphaWeight) x = sm * f * a / 65536;
        else if (blend) x = sm * f / 256;
        else if (alphaWeight) x = white ? s * a / 256 : Prod(m, s * a / 256);
        r = Prod(p, x);
        break;
      }
      case 4: {
        std::int64_t product = dc * sm;
        int n = bits[c];
        if (blend) product *= f, n += 8;
        if (alphaWeight) product *= a, n += 8;
        r = product >> n;
        break;
      }
      default: {
        const std::int64_t mul = sm * dc >> bits[c];
        if (!blend && !alphaWeight) {
          r = dc + p * (mul - dc) / 255;
        } else if (!blend && white && c == 1) {
          const std::int64_t fine = s * dc / 2;
          r = (32 * dc * 65536 + (fine - 32 * dc) * a * p) >> 21;
        } else if (blend && alphaWeight) {
          r = Mix(dc, mul, f * a * p, 24);
        } else {
          r = Mix(dc, mul, (blend ? f : a) * p, 16);
        }
        break;
      }
    }
    out[c] = static_cast<int>(r);
  }
  const span_oracle::Layout layout = span_oracle::Of(false);
  if (mode == 2) return span_oracle::Add(d, out, layout, false);
  if (mode == 3) return span_oracle::Sub(d, out, layout, false);
  return span_oracle::Put(out, layout);
}

// A walk of `lines` lines of `width` pixels from destination pixel (x0, y0);
// pixel (i, j) reads the source at u0 + j * (width * du + duLine) + i * du,
// likewise v, all 32-bit wrapping.
struct Walk {
  int x0 = 0, y0 = 0, width = 0, lines = 0;
  std::int32_t u0 = 0, v0 = 0, du = 0, dv = 0, duLine = 0, dvLine = 0;
};

inline std::uint32_t At(std::int32_t start, std::int32_t perPixel, std::int32_t perLine, int width, int i, int j) {
  const auto s = static_cast<std::uint32_t>(start), d = static_cast<std::uint32_t>(perPixel);
  const auto l = static_cast<std::uint32_t>(perLine);
  return s + static_cast<std::uint32_t>(j) * (static_cast<std::uint32_t>(width) * d + l) +
         static_cast<std::uint32_t>(i) * d;
}

// Draws the walk into dst from src (and blend, weighed by factors) as the
// reference says.
inline void Draw(testing::Image& dst, testing::Image& src, testing::Image* blendImage,
                 const std::uint8_t* factors, const Call& call, const Walk& walk) {
  const MemImgPixelBlock& b = *src.view.block;
  Source source{b.palettised == 1, b.palettised != 1 && b.hasAlpha == 1, b.transColor, nullptr};
  std::uint16_t palette[256];
  if (source.palettised) {
    std::memcpy(palette, b.palette, sizeof palette);
    source.palette = palette;
  }
  if (!Draws(call, source)) return;
  const auto w = static_cast<std::uint32_t>(src.view.width), h = static_cast<std::uint32_t>(src.view.height);
  for (int j = 0; j < walk.lines; ++j) {
    for (int i = 0; i < walk.width; ++i) {
      const std::uint32_t u = At(walk.u0, walk.du, walk.duLine, walk.width, i, j);
      const std::uint32_t v = At(walk.v0, walk.dv, walk.dvLine, walk.width, i, j);
      if (u / 262144 >= w || v / 262144 >= h) continue;
      const int col = static_cast<int>(u / 262144), row = static_cast<int>(v / 262144);
      const std::uint8_t* texel = testing::At(src, col, row);
      const std::uint32_t raw = source.palettised ? texel[0] : static_cast<std::uint32_t>(texel[0] | texel[1] << 8);
      const std::uint32_t alpha = source.hasAlpha ? texel[2] : 0;
      std::optional<std::uint32_t> factor;
      if (blendImage != nullptr) factor = factors[*testing::At(*blendImage, col, row)];
      const std::uint32_t d = testing::Get(dst, walk.x0 + i, walk.y0 + j);
      if (const auto out = Pixel(call, source, d, raw, alpha, factor)) testing::Put(dst, walk.x0 + i, walk.y0 + j, *out);
    }
  }
}

}  // namespace qz::textured_oracle16
