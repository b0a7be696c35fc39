// Shared helpers of the plain-blit tests: random images of every source
// family, a run-table writer for them, the draw-state setter and the
// oracle's expected result of a whole call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "softrender/blit.h"
#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/oracle.h"

namespace qz::blit_test {

// The source families every blit test runs over.
struct Family {
  const char* name;
  int format;
  bool pal;
  bool alpha;
};

inline const Family kFamilies[] = {
    {"32", kMemImgFormatXrgb32, false, false},  {"32A", kMemImgFormatXrgb32, false, true},
    {"32P", kMemImgFormatXrgb32, true, false},  {"565", kMemImgFormatRgb565, false, false},
    {"565A", kMemImgFormatRgb565, false, true}, {"565P", kMemImgFormatRgb565, true, false},
};

// Owns one view and its block.
struct Img {
  MEMIMG v{};
  Img(int w, int h, int format, bool pal, bool alpha, bool runTable, std::uint32_t key = 0) {
    InitMemImgEx(&v, w, h, -1, key, format, pal ? 1 : 0, alpha ? 1 : 0, runTable ? 1 : 0, nullptr);
  }
  // A view of a rectangle of `parent`, sharing its block.
  Img(const Img& parent, int x, int y, int w, int h) { MakeSubMemImg(&v, &parent.v, x, y, w, h); }
  ~Img() { ReleaseMemImg(&v); }
  Img(const Img&) = delete;
  Img& operator=(const Img&) = delete;
  MemImgPixelBlock* b() const { return v.block; }
  int bpp() const { return MemImgBytesPerPixel(&v); }
  std::uint8_t* at(int x, int y) const { return v.pixels + y * b()->pitch + x * bpp(); }
  std::vector<std::uint8_t> bytes() const {
    return std::vector<std::uint8_t>(b()->pixels, b()->pixels + static_cast<std::size_t>(b()->pitch) * b()->height);
  }
};

inline std::uint32_t Load(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, static_cast<std::size_t>(n));
  return v;
}
inline void Store(std::uint8_t* p, std::uint32_t v, int n) { std::memcpy(p, &v, static_cast<std::size_t>(n)); }

// "" when the two blocks agree, else where they first differ.
inline std::string FirstDifference(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i] != want[i]) {
      return "byte " + std::to_string(i) + ": got " + std::to_string(got[i]) + " want " + std::to_string(want[i]);
    }
  }
  return "";
}

inline void FillRandom(Img& img, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (int y = 0; y < img.b()->height; ++y) {
    std::uint8_t* row = img.b()->pixels + y * img.b()->pitch;
    for (int i = 0; i < img.b()->pitch; ++i) row[i] = static_cast<std::uint8_t>(byte(rng));
  }
}

// Random source: alphas are often 0 or 255, a quarter of the pixels carry the
// key, palettes are filled whole.
inline void FillSource(Img& img, std::mt19937& rng) {
  FillRandom(img, rng);
  MemImgPixelBlock* b = img.b();
  std::uniform_int_distribution<int> pick(0, 7);
  const int bpp = img.bpp();
  if (b->palettised) {
    for (int i = 0; i < 1024; ++i) b->palette[i] = static_cast<std::uint8_t>(rng());
    b->paletteCount = 256;
  }
  for (int y = 0; y < img.v.height; ++y) {
    for (int x = 0; x < img.v.width; ++x) {
      std::uint8_t* px = img.at(x, y);
      const int r = pick(rng);
      if (b->hasAlpha) {
        std::uint8_t& a = px[b->format == kMemImgFormatRgb565 ? 2 : 3];
        if (r < 2) a = 0;
        else if (r < 4) a = 255;
      } else if (r < 2) {
        Store(px, b->transColor, bpp);
      }
    }
  }
}

// Writes the block's run table for the whole view the way the pixel writer
// does: transparent for the key or alpha 0, translucent for 0 < a < 255.
inline void WriteRunTable(Img& img) {
  MemImgPixelBlock* b = img.b();
  std::uint8_t* out = b->runTable;
  for (int y = 0; y < img.v.height; ++y) {
    int x = 0;
    while (x < img.v.width) {
      auto kind = [&](int cx) {
        const std::uint8_t* px = img.at(cx, y);
        if (b->palettised) return *px == (b->transColor & 0xFF) ? 0 : 1;
        if (b->hasAlpha) {
          const int a = px[b->format == kMemImgFormatRgb565 ? 2 : 3];
          return a == 0 ? 0 : (a == 255 ? 1 : 2);
        }
        return Load(px, img.bpp()) == b->transColor ? 0 : 1;
      };
      const int k = kind(x);
      int n = 1;
      while (n < 64 && x + n < img.v.width && kind(x + n) == k) ++n;
      *out++ = static_cast<std::uint8_t>((k << 6) | (n - 1));
      x += n;
    }
    *out++ = 0xC0;
  }
  b->runTableValid = 1;
  b->runTableViewPixels = img.v.pixels;
  b->runTableViewWidth = img.v.width;
  b->runTableViewHeight = img.v.height;
}

struct State {
  int mode = 0;
  int p = 255;
  std::uint32_t colorMod = 0xFFFFFF;
  Rect area{0, 0, 0, 0};
};

inline void Apply(const State& s) {
  gMemImgDrawState.blendMode = s.mode;
  gMemImgDrawState.blendParam = s.p;
  gMemImgDrawState.colorMod = s.colorMod;
  gMemImgDrawState.drawArea = s.area;
}

// A draw state made current, and kept for the oracle.
inline State Applied(int mode, int p, Rect area, std::uint32_t colorMod = 0xFFFFFF) {
  const State s{mode, p, colorMod, area};
  Apply(s);
  return s;
}

inline oracle::Source SourceAt(const Img& src, int x, int y) {
  const MemImgPixelBlock* b = src.b();
  const std::uint8_t* px = src.at(x, y);
  oracle::Source s;
  s.palettised = b->palettised == 1;
  const bool f16 = b->format == kMemImgFormatRgb565;
  if (s.palettised) {
    s.color = f16 ? Load(b->palette + 2 * *px, 2) : Load(b->palette + 4 * *px, 4);
    s.keyHit = *px == (b->transColor & 0xFF);
    return s;
  }
  s.hasAlpha = b->hasAlpha == 1;
  s.color = Load(px, f16 ? 2 : 4);
  if (s.hasAlpha) s.alpha = px[f16 ? 2 : 3];
  else s.keyHit = s.color == (f16 ? (b->transColor & 0xFFFF) : b->transColor);
  return s;
}

// Destination bytes the oracle expects after DrawMemImgAt(dst, src, x, y,
// trans, blend) under `st`, taking the run loops when `runPath`.
inline std::vector<std::uint8_t> Expected(const Img& dst, const Img& src, int x, int y, int trans, const Img* blend,
                                          const State& st, bool runPath) {
  std::vector<std::uint8_t> out = dst.bytes();
  const int pitch = dst.b()->pitch;
  const bool f16 = dst.b()->format == kMemImgFormatRgb565;
  const int bpp = f16 ? 2 : 4;
  const int left = std::max({x, st.area.left, 0}), top = std::max({y, st.area.top, 0});
  const int right = std::min({x + src.v.width, st.area.right, dst.v.width});
  const int bottom = std::min({y + src.v.height, st.area.bottom, dst.v.height});
  oracle::Params pr;
  pr.mode = st.mode;
  pr.p = st.p;
  pr.colorMod = st.colorMod;
  pr.trans = trans != 0;
  pr.blendImage = blend != nullptr;
  for (int py = top; py < bottom; ++py) {
    std::vector<oracle::Source> row;
    std::vector<oracle::Params> prs;
    for (int px = left; px < right; ++px) {
      const int sx = px - x, sy = py - y;
      oracle::Source s = SourceAt(src, sx, sy);
      oracle::Params q = pr;
      if (blend != nullptr) q.factor = BlendImageFactors()[*blend->at(sx, sy)];
      if (runPath) {
        const bool hidden = s.hasAlpha ? s.alpha == 0 : s.keyHit;
        q.path = s.hasAlpha && s.alpha != 255 ? oracle::Path::kTranslucentRun : oracle::Path::kOpaqueRun;
        if (hidden) q.path = oracle::Path::kPixel;  // marks a transparent run below
      }
      row.push_back(s);
      prs.push_back(q);
    }
    std::uint8_t* d = out.data() + py * pitch + left * bpp;
    const int n = right - left;
    if (f16 && !runPath) {
      std::vector<std::uint16_t> words(static_cast<std::size_t>(n));
      std::memcpy(words.data(), d, static_cast<std::size_t>(n) * 2);
      std::vector<std::uint16_t> result = words;
      oracle::BlitRow565(result.data(), row.data(), n, pr);
      // BlitRow565 takes one factor for the row; blend images go pixel by pixel.
      if (blend != nullptr) {
        for (int i = 0; i < n; ++i) result[i] = static_cast<std::uint16_t>(oracle::Blit565(words[i], row[i], prs[i]));
      }
      std::memcpy(d, result.data(), static_cast<std::size_t>(n) * 2);
      continue;
    }
    for (int i = 0; i < n; ++i) {
      if (runPath && prs[i].path == oracle::Path::kPixel) continue;
      const std::uint32_t dv = Load(d + i * bpp, bpp);
      Store(d + i * bpp, f16 ? oracle::Blit565(dv, row[i], prs[i]) : oracle::Blit32(dv, row[i], prs[i]), bpp);
    }
  }
  return out;
}

}  // namespace qz::blit_test
