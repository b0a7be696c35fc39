// Slow scalar reference for the software blend formulas, written from the
// formula tables with plain integer arithmetic (no lookup tables, no packed
// tricks beyond the packed add and subtract the formulas themselves define).
// Every specialised loop is compared against it bit for bit.
#pragma once

#include <cstdint>

namespace qz::oracle {

// Which loops the expected value is for; they differ in a few places.
enum class Path {
  kPixel,           // per-pixel loops of the plain blit
  kOpaqueRun,       // run-table path, opaque run (or any run of a source without alpha)
  kTranslucentRun,  // run-table path, translucent run of an alpha source
  kScaled,          // scaled blit
};

// One source pixel as a loop sees it.
struct Source {
  std::uint32_t color = 0;  // B, G, R, X bytes, or the RGB565 word; palette entry for palettised
  bool hasAlpha = false;
  int alpha = 255;
  bool keyHit = false;  // equals transColor (whole pixel, word or index); sources without alpha
  bool palettised = false;
};

struct Params {
  int mode = 0;
  int p = 0;
  std::uint32_t colorMod = 0xFFFFFF;
  bool trans = false;
  bool blendImage = false;
  int factor = 255;  // blend-image factor f of the pixel
  Path path = Path::kPixel;
};

inline std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {
  std::int64_t q = n / d;
  if ((n % d != 0) && ((n < 0) != (d < 0))) --q;
  return q;
}
inline std::int64_t TruncDiv(std::int64_t n, std::int64_t d) { return n / d; }

inline bool White(const Params& pr) { return (pr.colorMod & 0xFFFFFF) == 0xFFFFFF; }
inline int ModByte(const Params& pr, int c) { return static_cast<int>((pr.colorMod >> (8 * c)) & 0xFF); }
inline bool PerPixel(const Params& pr) { return pr.path == Path::kPixel || pr.path == Path::kScaled; }

// Weights beside p for one pixel.
struct Weight {
  bool skip = false;
  std::int64_t w = 1;
  int k = 0;
  bool alphaActive = false;
  std::int64_t alpha = 1;
};

inline Weight Weigh(const Source& s, const Params& pr, bool skipAlphaZero) {
  Weight r;
  if (PerPixel(pr)) {
    if (!s.hasAlpha) {
      if (pr.trans && s.keyHit) r.skip = true;
    } else if (pr.trans) {
      if (s.alpha == 0 && (skipAlphaZero || pr.path == Path::kScaled)) r.skip = true;
      if (s.alpha != 255) r.alphaActive = true;
    } else {
      r.alphaActive = true;
    }
  } else if (pr.path == Path::kTranslucentRun) {
    r.alphaActive = true;
  }
  if (r.alphaActive) {
    r.alpha = s.alpha;
    r.w *= s.alpha;
    r.k += 8;
  }
  if (pr.blendImage) {
    r.w *= pr.factor;
    r.k += 8;
  }
  return r;
}

// d + floor((s - d) * w / 2^k)
inline int Lerp(int d, int s, std::int64_t w, int k) {
  return static_cast<int>(FloorDiv(static_cast<std::int64_t>(d) * (std::int64_t{1} << k) + (s - d) * w,
                                   std::int64_t{1} << k));
}

// ---- Packed saturating add and subtract, exactly as the formulas state -------

inline std::uint32_t Add32(std::uint32_t d, std::uint32_t t, bool lowBits) {
  std::uint32_t sum = (d & 0x00FEFEFF) + (t & 0x00FEFEFF);
  std::uint32_t carry = sum & 0x01010100;
  std::uint32_t r = sum | (carry - (carry >> 8));
  return lowBits ? (r | ((d | t) & 0x00010100)) : r;
}
inline std::uint32_t Sub32(std::uint32_t d, std::uint32_t t) {
  std::uint32_t r = (d | 0x01010100) - (t & 0xFEFEFEFF);
  std::uint32_t g = r & 0x01010100;
  return r & (g - (g >> 8));
}
inline std::uint32_t Add565(std::uint32_t d, std::uint32_t t, bool lowBits) {
  std::uint32_t sum = (d & 0xF7DF) + (t & 0xF7DF);
  std::uint32_t carry = sum & 0x08210820;
  std::uint32_t r = sum | (carry - (carry >> 5));
  if (lowBits) r |= (d | t) & 0x0820;
  return r & 0xFFFF;
}
inline std::uint32_t Sub565(std::uint32_t d, std::uint32_t t) {
  std::uint32_t r = (d | 0x08210820) - (t & 0xF7DEF7DF);
  std::uint32_t g = r & 0x08210820;
  return (r & (g - (g >> 5))) & 0xFFFF;
}
// Two pixels per word, first in the low half: the carry or borrow out of
// bit 31 guards the second pixel's red field.
inline std::uint32_t Add565Pair(std::uint32_t d, std::uint32_t t) {
  std::uint64_t sum = static_cast<std::uint64_t>(d & 0xF7DEF7DF) + (t & 0xF7DEF7DF);
  std::uint64_t carry = sum & 0x108210820ull;
  return static_cast<std::uint32_t>(sum | (carry - (carry >> 5)));
}
inline std::uint32_t Sub565Pair(std::uint32_t d, std::uint32_t t) {
  std::uint64_t r = (static_cast<std::uint64_t>(d) | 0x108210820ull) - (t & 0xF7DEF7DF);
  std::uint64_t g = r & 0x108210820ull;
  return static_cast<std::uint32_t>(r & (g - (g >> 5)));
}

// ---- 32-bit destination: bytes B, G, R, X --------------------------------------

inline int Ch32(std::uint32_t v, int c) { return static_cast<int>((v >> (8 * c)) & 0xFF); }
inline std::uint32_t Pack32(std::uint32_t x, const int ch[3]) {
  return (x & 0xFF000000u) | static_cast<std::uint32_t>(ch[0]) | (static_cast<std::uint32_t>(ch[1]) << 8) |
         (static_cast<std::uint32_t>(ch[2]) << 16);
}
inline int Mod32(const Params& pr, int s, int c) { return White(pr) ? s : s * ModByte(pr, c) / 255; }

inline bool Shortcuts(const Source& s, const Params& pr) {
  return pr.path == Path::kPixel && !pr.blendImage && White(pr) && !s.hasAlpha;
}

inline std::uint32_t Copy32(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  bool whole = !pr.blendImage && White(pr) && pr.path != Path::kTranslucentRun;
  if (whole && (w.k == 0 || (pr.path == Path::kPixel && s.hasAlpha && !pr.trans))) return s.color;
  int ch[3];
  for (int c = 0; c < 3; ++c) {
    int sv = Mod32(pr, Ch32(s.color, c), c);
    ch[c] = w.k == 0 ? sv : Lerp(Ch32(d, c), sv, w.w, w.k);
  }
  return Pack32(d, ch);
}

inline std::uint32_t AlphaBlend32(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  if (Shortcuts(s, pr) && pr.p == 128) return ((s.color >> 1) & 0x007F7F7F) + ((d >> 1) & 0x007F7F7F);
  int ch[3];
  for (int c = 0; c < 3; ++c) ch[c] = Lerp(Ch32(d, c), Mod32(pr, Ch32(s.color, c), c), w.w * pr.p, w.k + 8);
  return Pack32(d, ch);
}

inline std::uint32_t Term32(const Source& s, const Params& pr, const Weight& w) {
  int t[3];
  for (int c = 0; c < 3; ++c) {
    std::int64_t sv = Mod32(pr, Ch32(s.color, c), c);
    t[c] = w.k == 0 ? static_cast<int>(sv * pr.p / 255) : static_cast<int>((sv * pr.p * w.w) >> (w.k + 8));
  }
  return Pack32(0, t);
}

inline std::uint32_t AddBlend32(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  if (Shortcuts(s, pr) && pr.p == 255) return Add32(d, s.color & 0x00FFFFFF, false);
  return Add32(d, Term32(s, pr, w), true);
}

inline std::uint32_t SubBlend32(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  return Sub32(d, Term32(s, pr, w));
}

inline std::uint32_t MulBlend32(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, false);
  if (w.skip) return d;
  int ch[3];
  for (int c = 0; c < 3; ++c) {
    std::int64_t prod = static_cast<std::int64_t>(Mod32(pr, Ch32(s.color, c), c)) * Ch32(d, c) * w.w;
    ch[c] = static_cast<int>(prod >> (8 + w.k));
  }
  return Pack32(d, ch);
}

inline std::uint32_t InvertBlend32(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, false);
  if (w.skip) return d;
  int ch[3];
  for (int c = 0; c < 3; ++c) ch[c] = Lerp(Ch32(d, c), Mod32(pr, 255 - Ch32(s.color, c), c), w.w * pr.p, w.k + 8);
  return Pack32(d, ch);
}

inline std::uint32_t ProductBlend32(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, false);
  if (w.skip) return d;
  int ch[3];
  for (int c = 0; c < 3; ++c) {
    int m = Mod32(pr, Ch32(s.color, c), c) * Ch32(d, c) / 256;
    ch[c] = Lerp(Ch32(d, c), m, w.w * pr.p, w.k + 8);
  }
  return Pack32(d, ch);
}

// ---- 16-bit destination: RGB565 fields ---------------------------------------

inline int Width565(int c) { return c == 1 ? 6 : 5; }
inline int Max565(int c) { return c == 1 ? 63 : 31; }
inline int Shift565(int c) { return c == 0 ? 0 : (c == 1 ? 5 : 11); }
inline int Ch565(std::uint32_t v, int c) { return static_cast<int>((v >> Shift565(c)) & static_cast<unsigned>(Max565(c))); }
inline std::uint32_t Pack565(const int ch[3]) {
  return static_cast<std::uint32_t>(ch[0]) | (static_cast<std::uint32_t>(ch[1]) << 5) |
         (static_cast<std::uint32_t>(ch[2]) << 11);
}
inline int Mod565(const Params& pr, int s, int c) { return White(pr) ? s : s * ModByte(pr, c) / 255; }
inline int Delta(int p, int diff) { return static_cast<int>(TruncDiv(static_cast<std::int64_t>(p) * diff, 255)); }

inline std::uint32_t Copy565(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  bool whole = !pr.blendImage && White(pr) && pr.path != Path::kTranslucentRun;
  if (whole && (w.k == 0 || (pr.path == Path::kPixel && s.hasAlpha && !pr.trans))) return s.color & 0xFFFF;
  int ch[3];
  for (int c = 0; c < 3; ++c) {
    int sv = Mod565(pr, Ch565(s.color, c), c);
    ch[c] = w.k == 0 ? sv : Lerp(Ch565(d, c), sv, w.w, w.k);
  }
  return Pack565(ch);
}

// Modes 1, 10 and 11 on fields; `src` gives the blended-in value of a field.
template <class SourceField>
inline std::uint32_t LerpFamily565(std::uint32_t d, const Weight& w, const Params& pr, bool lerpTable,
                                   SourceField src) {
  int ch[3];
  for (int c = 0; c < 3; ++c) {
    int dc = Ch565(d, c);
    int sv = src(c, dc);
    if (w.k == 0) {
      if (lerpTable) {
        int lv = pr.p / 4;
        ch[c] = (sv * lv + dc * (63 - lv)) / 63;
      } else {
        ch[c] = dc + Delta(pr.p, sv - dc);
      }
    } else {
      ch[c] = Lerp(dc, sv, w.w * pr.p, w.k + 8);
    }
  }
  return Pack565(ch);
}

inline std::uint32_t AlphaBlend565(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  if (Shortcuts(s, pr) && pr.p == 128) return (((s.color >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF)) & 0xFFFF;
  return LerpFamily565(d, w, pr, Shortcuts(s, pr), [&](int c, int) { return Mod565(pr, Ch565(s.color, c), c); });
}

inline std::uint32_t InvertBlend565(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, false);
  if (w.skip) return d;
  return LerpFamily565(d, w, pr, false,
                       [&](int c, int) { return Mod565(pr, Max565(c) - Ch565(s.color, c), c); });
}

inline std::uint32_t ProductBlend565(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, false);
  if (w.skip) return d;
  std::uint32_t r = LerpFamily565(d, w, pr, false, [&](int c, int dc) {
    return (Mod565(pr, Ch565(s.color, c), c) * dc) >> Width565(c);
  });
  if (w.alphaActive && White(pr) && !pr.blendImage) {
    // Green kept to 1/32 of a level.
    std::int64_t gs = Ch565(s.color, 1), gd = Ch565(d, 1);
    std::int64_t g = FloorDiv(gd * (1 << 21) + (FloorDiv(gs * gd, 2) - 32 * gd) * w.alpha * pr.p, 1 << 21);
    r = (r & ~0x07E0u) | (static_cast<std::uint32_t>(g) << 5);
  }
  return r;
}

inline std::uint32_t Term565(const Source& s, const Params& pr, const Weight& w) {
  int t[3];
  for (int c = 0; c < 3; ++c) {
    int sv = Ch565(s.color, c);
    int x;
    if (w.k == 0) {
      x = Mod565(pr, sv, c);
    } else if (pr.path == Path::kTranslucentRun && !pr.blendImage) {
      x = Mod565(pr, static_cast<int>(FloorDiv(static_cast<std::int64_t>(sv) * w.w, std::int64_t{1} << w.k)), c);
    } else {
      x = static_cast<int>(FloorDiv(static_cast<std::int64_t>(Mod565(pr, sv, c)) * w.w, std::int64_t{1} << w.k));
    }
    t[c] = x * pr.p / 255;
  }
  return Pack565(t);
}

inline std::uint32_t AddBlend565(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  if (Shortcuts(s, pr) && pr.p == 255) return Add565(d, s.color & 0xFFFF, false);
  return Add565(d, Term565(s, pr, w), true);
}

inline std::uint32_t SubBlend565(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, true);
  if (w.skip) return d;
  return Sub565(d, Term565(s, pr, w));
}

inline std::uint32_t MulBlend565(std::uint32_t d, const Source& s, const Params& pr) {
  Weight w = Weigh(s, pr, false);
  if (w.skip) return d;
  int ch[3];
  for (int c = 0; c < 3; ++c) {
    std::int64_t prod = static_cast<std::int64_t>(Mod565(pr, Ch565(s.color, c), c)) * Ch565(d, c) * w.w;
    ch[c] = static_cast<int>(prod >> (Width565(c) + w.k));
  }
  return Pack565(ch);
}

// ---- Handler decisions shared by both widths -----------------------------------

// False when the handler returns without drawing for this mode and p.
inline bool HandlerDraws(int mode, int p, bool palettised) {
  switch (mode) {
    case 0: case 4: case 10: case 11: return true;
    case 1: case 2: return p != 0;
    case 3: return p != 0 || palettised;
    default: return false;
  }
}

// New destination pixel of a 32-bit target.
inline std::uint32_t Blit32(std::uint32_t d, const Source& s, const Params& pr) {
  if (!HandlerDraws(pr.mode, pr.p, s.palettised)) return d;
  switch (pr.mode == 1 && pr.p == 255 ? 0 : pr.mode) {
    case 0: return Copy32(d, s, pr);
    case 1: return AlphaBlend32(d, s, pr);
    case 2: return AddBlend32(d, s, pr);
    case 3: return SubBlend32(d, s, pr);
    case 4: return MulBlend32(d, s, pr);
    case 10: return InvertBlend32(d, s, pr);
    default: return ProductBlend32(d, s, pr);
  }
}

// New destination word of a 16-bit target (single-pixel forms).
inline std::uint32_t Blit565(std::uint32_t d, const Source& s, const Params& pr) {
  if (!HandlerDraws(pr.mode, pr.p, s.palettised)) return d;
  switch (pr.mode == 1 && pr.p == 255 ? 0 : pr.mode) {
    case 0: return Copy565(d, s, pr);
    case 1: return AlphaBlend565(d, s, pr);
    case 2: return AddBlend565(d, s, pr);
    case 3: return SubBlend565(d, s, pr);
    case 4: return MulBlend565(d, s, pr);
    case 10: return InvertBlend565(d, s, pr);
    default: return ProductBlend565(d, s, pr);
  }
}

// A row of a 16-bit per-pixel blit: the p = 255 add and subtract shortcuts
// take pixels two at a time (from the row's first drawn pixel) when both are
// drawn; an odd last pixel or a pair with a skipped one goes alone.
inline void BlitRow565(std::uint16_t* d, const Source* s, int n, const Params& pr) {
  bool pairs = pr.path == Path::kPixel && Shortcuts(s[0], pr) && pr.p == 255 && (pr.mode == 2 || pr.mode == 3) &&
               HandlerDraws(pr.mode, pr.p, s[0].palettised);
  int i = 0;
  while (i < n) {
    bool both = pairs && i + 1 < n && !(pr.trans && (s[i].keyHit || s[i + 1].keyHit));
    if (both) {
      std::uint32_t dv = d[i] | (static_cast<std::uint32_t>(d[i + 1]) << 16);
      std::uint32_t sv = (s[i].color & 0xFFFF) | ((s[i + 1].color & 0xFFFF) << 16);
      std::uint32_t r = pr.mode == 2 ? Add565Pair(dv, sv) : Sub565Pair(dv, sv);
      d[i] = static_cast<std::uint16_t>(r);
      d[i + 1] = static_cast<std::uint16_t>(r >> 16);
      i += 2;
    } else {
      int alone = pairs && i + 1 < n ? 2 : 1;
      for (int j = i; j < i + alone; ++j) d[j] = static_cast<std::uint16_t>(Blit565(d[j], s[j], pr));
      i += alone;
    }
  }
}

}  // namespace qz::oracle
