// Per-pixel blend policies of the software blits. A loop is written once as
// `template <class Blend, class Src, class Opt>` and calls
// Blend::template Pixel<Src, Opt>(dst, src, blendValue, setup) per pixel; every
// decision (format, mode, blend image, modulation, alpha, key, shortcut) is a
// template argument, so each combination compiles to its own straight loop.
#pragma once

#include <cstdint>
#include <cstring>

#include "softrender/draw_state.h"

namespace qz::pixel {

// Table rows and per-call values, chosen once before the loop.
struct BlendSetup {
  int p = 0;
  const std::uint32_t* mulP = nullptr;       // value * p / 255
  const std::uint32_t* modRow[3] = {};       // rows of the colorMod bytes: blue, green, red
  const std::int32_t* deltaP = nullptr;      // p * d / 255 truncated, indexed by d
  const std::uint8_t* lerp = nullptr;        // Lerp64 slice of level p / 4
  const std::uint8_t* factors = nullptr;     // blend-image factor per blend value
  std::uint32_t key = 0;                     // raw transparent colour (index for palettised)
  const std::uint8_t* palette = nullptr;     // entries of a palettised source
};

// colorMod 0x00RRGGBB (top byte ignored); the tables must be built. p is
// held to 0..255 so a stray state value cannot index past a table.
inline BlendSetup MakeBlendSetup(int p, std::uint32_t colorMod, std::uint32_t key, const std::uint8_t* palette) {
  p = p < 0 ? 0 : (p > 255 ? 255 : p);
  BlendSetup s;
  s.p = p;
  s.mulP = MulDiv255Row(p);
  s.modRow[0] = MulDiv255Row(static_cast<int>(colorMod & 0xFF));
  s.modRow[1] = MulDiv255Row(static_cast<int>((colorMod >> 8) & 0xFF));
  s.modRow[2] = MulDiv255Row(static_cast<int>((colorMod >> 16) & 0xFF));
  s.deltaP = DeltaMulDiv255Row(p);
  s.lerp = Lerp64Slice(p >> 2);
  s.factors = BlendImageFactors();
  s.key = key;
  s.palette = palette;
  return s;
}

inline bool IsWhiteColorMod(std::uint32_t colorMod) { return (colorMod & 0xFFFFFF) == 0xFFFFFF; }

// ---- Whole-pixel arithmetic shared by every family --------------------------

// d + floor((s - d) * w / 2^k): the weighted step of every lerp formula.
inline int WeightedLerp(int d, int s, std::int64_t w, int k) {
  return d + static_cast<int>((static_cast<std::int64_t>(s - d) * w) >> k);
}

inline std::uint32_t HalfSum32(std::uint32_t s, std::uint32_t d) {
  return ((s >> 1) & 0x007F7F7Fu) + ((d >> 1) & 0x007F7F7Fu);
}
// Also right for two RGB565 pixels in one word.
inline std::uint32_t HalfSum565(std::uint32_t s, std::uint32_t d) {
  return ((s >> 1) & 0x7BEF7BEFu) + ((d >> 1) & 0x7BEF7BEFu);
}

// Saturating add of packed channels. `lowBits` ORs the lowest bits of green
// and red back in (the general form); the p = 255 shortcut leaves them out.
// Byte X of the result is the carry out of red.
inline std::uint32_t PackedAdd32(std::uint32_t d, std::uint32_t t, bool lowBits) {
  const std::uint32_t sum = (d & 0x00FEFEFFu) + (t & 0x00FEFEFFu);
  const std::uint32_t carry = sum & 0x01010100u;
  std::uint32_t r = sum | (carry - (carry >> 8));
  if (lowBits) r |= (d | t) & 0x00010100u;
  return r;
}
inline std::uint32_t PackedSub32(std::uint32_t d, std::uint32_t t) {
  const std::uint32_t r = (d | 0x01010100u) - (t & 0xFEFEFEFFu);
  const std::uint32_t g = r & 0x01010100u;
  return r & (g - (g >> 8));
}
inline std::uint16_t PackedAdd565(std::uint32_t d, std::uint32_t t, bool lowBits) {
  const std::uint32_t sum = (d & 0xF7DFu) + (t & 0xF7DFu);
  const std::uint32_t carry = sum & 0x08210820u;
  std::uint32_t r = sum | (carry - (carry >> 5));
  if (lowBits) r |= (d | t) & 0x0820u;
  return static_cast<std::uint16_t>(r);
}
inline std::uint16_t PackedSub565(std::uint32_t d, std::uint32_t t) {
  const std::uint32_t r = (d | 0x08210820u) - (t & 0xF7DEF7DFu);
  const std::uint32_t g = r & 0x08210820u;
  return static_cast<std::uint16_t>(r & (g - (g >> 5)));
}
// Two RGB565 pixels per word (first pixel in the low half); the carry or
// borrow out of bit 31 guards the second pixel's red field.
inline std::uint32_t PackedAdd565Pair(std::uint32_t d, std::uint32_t t) {
  const std::uint64_t sum = static_cast<std::uint64_t>(d & 0xF7DEF7DFu) + (t & 0xF7DEF7DFu);
  const std::uint64_t carry = sum & 0x108210820ull;
  return static_cast<std::uint32_t>(sum | (carry - (carry >> 5)));
}
inline std::uint32_t PackedSub565Pair(std::uint32_t d, std::uint32_t t) {
  const std::uint64_t r = ((static_cast<std::uint64_t>(d) | 0x108210820ull)) - (t & 0xF7DEF7DFu);
  const std::uint64_t g = r & 0x108210820ull;
  return static_cast<std::uint32_t>(r & (g - (g >> 5)));
}

// ---- Pixel layouts -----------------------------------------------------------

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(std::uint8_t* p, std::uint32_t v) {
  const auto w = static_cast<std::uint16_t>(v);
  std::memcpy(p, &w, 2);
}

// Destination families. Channel index 0 blue, 1 green, 2 red.
struct Dst32 {
  static constexpr int kBytes = 4;
  static constexpr bool kIs565 = false;
  static constexpr int Width(int) { return 8; }
  static constexpr int Max(int) { return 255; }
  static constexpr int Shift(int c) { return 8 * c; }
  static std::uint32_t Load(const std::uint8_t* p) { return Load32(p); }
  static void Store(std::uint8_t* p, std::uint32_t v) { Store32(p, v); }
  static int Channel(std::uint32_t v, int c) { return static_cast<int>((v >> (8 * c)) & 0xFF); }
  // Packs B, G, R over the untouched byte X of `keep`.
  static std::uint32_t Pack(std::uint32_t keep, int b, int g, int r) {
    return (keep & 0xFF000000u) | static_cast<std::uint32_t>(b) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(r) << 16);
  }
};

struct Dst565 {
  static constexpr int kBytes = 2;
  static constexpr bool kIs565 = true;
  static constexpr int Width(int c) { return c == 1 ? 6 : 5; }
  static constexpr int Max(int c) { return c == 1 ? 63 : 31; }
  static constexpr int Shift(int c) { return c == 0 ? 0 : (c == 1 ? 5 : 11); }
  static std::uint32_t Load(const std::uint8_t* p) { return Load16(p); }
  static void Store(std::uint8_t* p, std::uint32_t v) { Store16(p, v); }
  static int Channel(std::uint32_t v, int c) { return static_cast<int>((v >> Shift(c)) & static_cast<unsigned>(Max(c))); }
  static std::uint32_t Pack(std::uint32_t, int b, int g, int r) {
    return static_cast<std::uint32_t>(b) | (static_cast<std::uint32_t>(g) << 5) | (static_cast<std::uint32_t>(r) << 11);
  }
};

// Source families: the colour in the destination's layout (palette entries
// resolved), the key test and the alpha.
struct Src32 {
  using Dst = Dst32;
  static constexpr int kBytes = 4;
  static constexpr bool kAlpha = false;
  static constexpr bool kPalettised = false;
  static std::uint32_t Color(const std::uint8_t* s, const BlendSetup&) { return Load32(s); }
  static bool IsKey(const std::uint8_t* s, const BlendSetup& st) { return Load32(s) == st.key; }
  static int Alpha(const std::uint8_t*) { return 255; }
};
struct Src32A : Src32 {
  static constexpr bool kAlpha = true;
  static int Alpha(const std::uint8_t* s) { return s[3]; }
};
struct Src565 {
  using Dst = Dst565;
  static constexpr int kBytes = 2;
  static constexpr bool kAlpha = false;
  static constexpr bool kPalettised = false;
  static std::uint32_t Color(const std::uint8_t* s, const BlendSetup&) { return Load16(s); }
  static bool IsKey(const std::uint8_t* s, const BlendSetup& st) { return Load16(s) == st.key; }
  static int Alpha(const std::uint8_t*) { return 255; }
};
// 4-byte pixel: RGB565 word, alpha byte, unused byte.
struct Src565A : Src565 {
  static constexpr int kBytes = 4;
  static constexpr bool kAlpha = true;
  static int Alpha(const std::uint8_t* s) { return s[2]; }
};
struct SrcPal32 {
  using Dst = Dst32;
  static constexpr int kBytes = 1;
  static constexpr bool kAlpha = false;
  static constexpr bool kPalettised = true;
  static std::uint32_t Color(const std::uint8_t* s, const BlendSetup& st) { return Load32(st.palette + 4 * *s); }
  static bool IsKey(const std::uint8_t* s, const BlendSetup& st) { return *s == (st.key & 0xFF); }
  static int Alpha(const std::uint8_t*) { return 255; }
};
struct SrcPal565 {
  using Dst = Dst565;
  static constexpr int kBytes = 1;
  static constexpr bool kAlpha = false;
  static constexpr bool kPalettised = true;
  static std::uint32_t Color(const std::uint8_t* s, const BlendSetup& st) { return Load16(st.palette + 2 * *s); }
  static bool IsKey(const std::uint8_t* s, const BlendSetup& st) { return *s == (st.key & 0xFF); }
  static int Alpha(const std::uint8_t*) { return 255; }
};

// ---- Options -----------------------------------------------------------------

// Which set of loops a kernel serves; they differ in a few documented places.
enum class Path {
  kPixel,       // per-pixel loops of the plain blit
  kOpaqueRun,   // run-table path, opaque run: no key or alpha test, alpha as 255
  kTranslucentRun,  // run-table path, translucent run of an alpha source: weight a, no skip
  kScaled,      // scaled blit: no Lerp64 table, alpha 0 under trans always skipped,
                // untransparent alpha copies weighted
};

template <bool BlendImage, bool Modulate, bool Trans, Path P = Path::kPixel>
struct Opt {
  static constexpr bool kBlendImage = BlendImage;
  static constexpr bool kModulate = Modulate;
  static constexpr bool kTrans = Trans;
  static constexpr Path kPath = P;
  static constexpr bool kRun = P == Path::kOpaqueRun || P == Path::kTranslucentRun;
  static constexpr bool kPerPixel = P == Path::kPixel || P == Path::kScaled;
};

// ---- Shared per-pixel steps --------------------------------------------------

// The weights beside p that take part for this pixel: alpha a and blend factor
// f, each as one 8-bit factor. Returns false when the pixel is skipped.
struct Weights {
  std::uint32_t w = 1;  // product of the factors
  int k = 0;            // 8 per factor
  bool alphaWeighted = false;
};

template <class Src, class O>
inline bool TakeWeights(const std::uint8_t* s, int blendValue, const BlendSetup& st, bool skipAlphaZero,
                        Weights& out) {
  if constexpr (O::kPerPixel) {
    if constexpr (!Src::kAlpha) {
      if constexpr (O::kTrans) {
        if (Src::IsKey(s, st)) return false;
      }
    } else {
      const int a = Src::Alpha(s);
      if constexpr (O::kTrans) {
        if (a == 0 && (skipAlphaZero || O::kPath == Path::kScaled)) return false;
        if (a != 255) {
          out.w = static_cast<std::uint32_t>(a);
          out.k = 8;
          out.alphaWeighted = true;
        }
      } else {
        out.w = static_cast<std::uint32_t>(a);
        out.k = 8;
        out.alphaWeighted = true;
      }
    }
  } else if constexpr (O::kPath == Path::kTranslucentRun) {
    out.w = static_cast<std::uint32_t>(Src::Alpha(s));
    out.k = 8;
    out.alphaWeighted = true;
  }
  if constexpr (O::kBlendImage) {
    out.w *= st.factors[blendValue];
    out.k += 8;
  }
  return true;
}

template <class O>
inline int Modulated(int s, int c, const BlendSetup& st) {
  if constexpr (O::kModulate) return static_cast<int>(st.modRow[c][s]);
  return s;
}

// ---- Blend policies, one per mode and shortcut ----------------------------------

// Mode 0 (and mode 1 at p = 255).
struct BlendCopy {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const BlendSetup& st) {
    using D = typename Src::Dst;
    Weights wt;
    if (!TakeWeights<Src, O>(s, bv, st, true, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    constexpr bool kWhole = !O::kBlendImage && !O::kModulate;
    if constexpr (kWhole && O::kPath != Path::kTranslucentRun) {
      // Plain copies move the whole pixel: 32-bit with byte X, 16-bit the word.
      if (!wt.alphaWeighted || (O::kPath == Path::kPixel && Src::kAlpha && !O::kTrans)) {
        D::Store(d, sc);
        return;
      }
    }
    const std::uint32_t dv = D::Load(d);
    int ch[3];
    for (int c = 0; c < 3; ++c) {
      const int sv = Modulated<O>(D::Channel(sc, c), c, st);
      ch[c] = wt.k == 0 ? sv : WeightedLerp(D::Channel(dv, c), sv, wt.w, wt.k);
    }
    D::Store(d, D::Pack(dv, ch[0], ch[1], ch[2]));
  }
};

// Mode 1 at p = 128 without blend image, modulation or alpha.
struct BlendHalfSum {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const BlendSetup& st) {
    using D = typename Src::Dst;
    Weights wt;
    if (!TakeWeights<Src, O>(s, bv, st, true, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    if constexpr (D::kIs565) {
      D::Store(d, HalfSum565(sc, D::Load(d)));
    } else {
      D::Store(d, HalfSum32(sc, D::Load(d)));
    }
  }
};

// Modes 1, 10 and 11 share the weighted step; they differ in the source term.
enum class LerpSource { kSource, kInverted, kProduct };

template <LerpSource Kind>
struct BlendLerpFamily {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const BlendSetup& st) {
    using D = typename Src::Dst;
    Weights wt;
    if (!TakeWeights<Src, O>(s, bv, st, Kind == LerpSource::kSource, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    const std::uint32_t dv = D::Load(d);
    // 16-bit loops use the tables where no weight beside p takes part.
    const bool plain = wt.k == 0;
    int ch[3];
    for (int c = 0; c < 3; ++c) {
      const int dc = D::Channel(dv, c);
      int sv = D::Channel(sc, c);
      if constexpr (Kind == LerpSource::kInverted) sv = D::Max(c) - sv;
      sv = Modulated<O>(sv, c, st);
      if constexpr (Kind == LerpSource::kProduct) sv = (sv * dc) >> D::Width(c);
      if constexpr (D::kIs565) {
        if constexpr (Kind == LerpSource::kProduct && !O::kBlendImage && !O::kModulate &&
                      O::kPath != Path::kOpaqueRun) {
          if (c == 1 && wt.alphaWeighted) {
            // Green keeps the product to 1/32 of a level.
            const int gs = Modulated<O>(D::Channel(sc, 1), 1, st);
            const std::int64_t step = static_cast<std::int64_t>(((gs * dc) >> 1) - 32 * dc) * wt.w * st.p;
            ch[c] = dc + static_cast<int>(step >> 21);
            continue;
          }
        }
        if (plain) {
          if constexpr (Kind == LerpSource::kSource && !O::kModulate && O::kPath == Path::kPixel && !Src::kAlpha) {
            ch[c] = st.lerp[sv * 64 + dc];
          } else {
            ch[c] = dc + st.deltaP[sv - dc];
          }
          continue;
        }
      } else if (plain) {
        ch[c] = WeightedLerp(dc, sv, st.p, 8);
        continue;
      }
      ch[c] = WeightedLerp(dc, sv, static_cast<std::int64_t>(wt.w) * st.p, wt.k + 8);
    }
    D::Store(d, D::Pack(dv, ch[0], ch[1], ch[2]));
  }
};
using BlendAlpha = BlendLerpFamily<LerpSource::kSource>;
using BlendInvert = BlendLerpFamily<LerpSource::kInverted>;
using BlendMulBlend = BlendLerpFamily<LerpSource::kProduct>;

// The per-channel term of modes 2 and 3, packed in the destination layout.
template <class Src, class O>
inline std::uint32_t AddSubTerm(std::uint32_t sc, const Weights& wt, const BlendSetup& st) {
  using D = typename Src::Dst;
  int t[3];
  for (int c = 0; c < 3; ++c) {
    const int sv = D::Channel(sc, c);
    if (wt.k == 0) {
      t[c] = static_cast<int>(st.mulP[Modulated<O>(sv, c, st)]);
    } else if constexpr (D::kIs565) {
      if constexpr (O::kPath == Path::kTranslucentRun && !O::kBlendImage) {
        // The run loops weight by alpha before they modulate.
        t[c] = static_cast<int>(st.mulP[Modulated<O>(static_cast<int>((sv * wt.w) >> wt.k), c, st)]);
      } else {
        t[c] = static_cast<int>(st.mulP[(static_cast<std::uint32_t>(Modulated<O>(sv, c, st)) * wt.w) >> wt.k]);
      }
    } else {
      t[c] = static_cast<int>((static_cast<std::uint64_t>(Modulated<O>(sv, c, st)) * wt.w * st.p) >> (wt.k + 8));
    }
  }
  return D::Pack(0, t[0], t[1], t[2]);
}

// Mode 2; FullTerm is the p = 255 shortcut (term = source, low bits not kept).
template <bool FullTerm>
struct BlendAddT {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const BlendSetup& st) {
    using D = typename Src::Dst;
    Weights wt;
    if (!TakeWeights<Src, O>(s, bv, st, true, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    const std::uint32_t t = FullTerm ? (D::kIs565 ? sc & 0xFFFFu : sc & 0x00FFFFFFu) : AddSubTerm<Src, O>(sc, wt, st);
    if constexpr (D::kIs565) {
      D::Store(d, PackedAdd565(D::Load(d), t, !FullTerm));
    } else {
      D::Store(d, PackedAdd32(D::Load(d), t, !FullTerm));
    }
  }
};
using BlendAdd = BlendAddT<false>;
using BlendAddFull = BlendAddT<true>;

template <bool FullTerm>
struct BlendSubT {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const BlendSetup& st) {
    using D = typename Src::Dst;
    Weights wt;
    if (!TakeWeights<Src, O>(s, bv, st, true, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    const std::uint32_t t = FullTerm ? (D::kIs565 ? sc & 0xFFFFu : sc & 0x00FEFEFFu) : AddSubTerm<Src, O>(sc, wt, st);
    if constexpr (D::kIs565) {
      D::Store(d, PackedSub565(D::Load(d), t));
    } else {
      D::Store(d, PackedSub32(D::Load(d), t));
    }
  }
};
using BlendSub = BlendSubT<false>;
using BlendSubFull = BlendSubT<true>;

// Mode 4: p plays no part; alpha 0 darkens instead of being skipped.
struct BlendMul {
  template <class Src, class O>
  static void Pixel(std::uint8_t* d, const std::uint8_t* s, int bv, const BlendSetup& st) {
    using D = typename Src::Dst;
    Weights wt;
    if (!TakeWeights<Src, O>(s, bv, st, false, wt)) return;
    const std::uint32_t sc = Src::Color(s, st);
    const std::uint32_t dv = D::Load(d);
    int ch[3];
    for (int c = 0; c < 3; ++c) {
      const std::uint64_t prod = static_cast<std::uint64_t>(Modulated<O>(D::Channel(sc, c), c, st)) *
                                 static_cast<std::uint64_t>(D::Channel(dv, c)) * wt.w;
      ch[c] = static_cast<int>(prod >> (D::Width(c) + wt.k));
    }
    D::Store(d, D::Pack(dv, ch[0], ch[1], ch[2]));
  }
};

}  // namespace qz::pixel
