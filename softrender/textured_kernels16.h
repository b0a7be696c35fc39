// Per-pixel arithmetic of the textured spans onto RGB565 images: one policy
// per blend mode, each written once for every combination of blend image,
// colour modulation and alpha weight, which are template arguments so that
// every loop compiles to straight code. The triangle and the rotated drawing
// share these kernels.
#pragma once

#include <cstdint>
#include <type_traits>

#include "softrender/textured_span.h"

namespace qz::span::rgb565 {

// Field value of an RGB565 word: red at 11 (5 bits), green at 5 (6), blue at 0 (5).
template <int kShift, int kBits>
inline std::uint32_t Field(std::uint32_t word) {
  return (word >> kShift) & ((1u << kBits) - 1u);
}

template <int kShift>
inline const std::uint32_t* ModRow(const TexturedConsts& c) {
  if constexpr (kShift == 11) {
    return c.modRowR;
  } else if constexpr (kShift == 5) {
    return c.modRowG;
  } else {
    return c.modRowB;
  }
}

// Runs fn(shift, bits, modulation row) for red, green and blue and joins the
// three field results into a word.
template <class Fn>
inline std::uint32_t JoinFields(const TexturedConsts& c, Fn fn) {
  return (fn(std::integral_constant<int, 11>{}, std::integral_constant<int, 5>{}, ModRow<11>(c)) << 11) |
         (fn(std::integral_constant<int, 5>{}, std::integral_constant<int, 6>{}, ModRow<5>(c)) << 5) |
         fn(std::integral_constant<int, 0>{}, std::integral_constant<int, 5>{}, ModRow<0>(c));
}

template <bool kWhite>
inline std::uint32_t Modulate(std::uint32_t s, const std::uint32_t* modRow) {
  if constexpr (kWhite) {
    return s;
  } else {
    return modRow[s];
  }
}

// d moved towards x by k / 2^n, floored; k < 2^n, so the sum never goes
// negative and stays below 2^32 for field values.
template <int kN>
inline std::uint32_t Mix(std::uint32_t d, std::uint32_t x, std::uint32_t k) {
  return (d * ((1u << kN) - k) + x * k) >> kN;
}

// The per-pixel weights a loop carries: the blend-image factor and the alpha.
template <bool kBlend, bool kAlpha>
struct Weights {
  static constexpr int kCount = (kBlend ? 1 : 0) + (kAlpha ? 1 : 0);
  static constexpr int kBits = 8 * kCount;
  static std::uint32_t Product(std::uint32_t f, std::uint32_t a) {
    std::uint32_t k = 1;
    if constexpr (kBlend) k *= f;
    if constexpr (kAlpha) k *= a;
    return k;
  }
};

// Saturating add of the term y onto x on all fields at once: each field's
// carry lands in a guard bit both words cleared and widens to fill the field.
inline std::uint32_t PackedAdd(std::uint32_t x, std::uint32_t y) {
  const std::uint32_t t = (x & 0xF7DEF7DFu) + (y & 0xF7DEF7DFu);
  const std::uint32_t k = t & 0x08210820u;
  return ((k - (k >> 5)) | ((x | y) & 0x0820u) | t) & 0xFFFFu;
}

// Saturating subtract of y from x: a field whose guard bit was borrowed
// becomes 0.
inline std::uint32_t PackedSub(std::uint32_t x, std::uint32_t y) {
  const std::uint32_t t = (x | 0x08210820u) - (y & 0xF7DEF7DFu);
  const std::uint32_t k = t & 0x08210820u;
  return (k - (k >> 5)) & t & 0xFFFFu;
}

// Every policy: Pixel<kWhite, kBlend, kAlpha>(dst word, source word, factor,
// alpha, consts) gives the word to store. kSkipsZeroAlpha says whether an
// alpha source under the trans flag leaves out texels of alpha 0;
// kComplement whether the source word is complemented before modulation.

struct CopyOp {
  static constexpr bool kSkipsZeroAlpha = true;
  static constexpr bool kComplement = false;
  template <bool kWhite, bool kBlend, bool kAlpha>
  static std::uint32_t Pixel(std::uint32_t d, std::uint32_t s, std::uint32_t f, std::uint32_t a,
                             const TexturedConsts& c) {
    using W = Weights<kBlend, kAlpha>;
    if constexpr (kWhite && W::kCount == 0) {
      return s;
    } else {
      return JoinFields(c, [&](auto sh, auto bits, const std::uint32_t* mod) {
        const std::uint32_t src = Modulate<kWhite>(Field<sh, bits>(s), mod);
        if constexpr (W::kCount == 0) {
          return src;
        } else {
          return Mix<W::kBits>(Field<sh, bits>(d), src, W::Product(f, a));
        }
      });
    }
  }
};

// Alpha blend, and with kInverted the inverted-source blend: d moves towards
// the source by p / 255 through the signed table, or by the product of the
// weights and p in steps of 256 per weight.
template <bool kInverted>
struct BlendOp {
  static constexpr bool kSkipsZeroAlpha = true;
  static constexpr bool kComplement = kInverted;
  template <bool kWhite, bool kBlend, bool kAlpha>
  static std::uint32_t Pixel(std::uint32_t d, std::uint32_t s, std::uint32_t f, std::uint32_t a,
                             const TexturedConsts& c) {
    using W = Weights<kBlend, kAlpha>;
    return JoinFields(c, [&](auto sh, auto bits, const std::uint32_t* mod) {
      const std::uint32_t src = Modulate<kWhite>(Field<sh, bits>(s), mod);
      const std::uint32_t dst = Field<sh, bits>(d);
      if constexpr (W::kCount == 0) {
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(dst) +
                                          c.signedRow[static_cast<std::int32_t>(src) - static_cast<std::int32_t>(dst)]);
      } else {
        return Mix<W::kBits + 8>(dst, src, W::Product(f, a) * static_cast<std::uint32_t>(c.p));
      }
    });
  }
};

// Add and subtract: the weighted source term per field, scaled by p through
// the product table, then one packed operation on the whole word. With alpha
// and no blend image the alpha scales the raw field before the modulation.
template <bool kSubtract>
struct PackedOp {
  static constexpr bool kSkipsZeroAlpha = true;
  static constexpr bool kComplement = false;
  template <bool kWhite, bool kBlend, bool kAlpha>
  static std::uint32_t Pixel(std::uint32_t d, std::uint32_t s, std::uint32_t f, std::uint32_t a,
                             const TexturedConsts& c) {
    const std::uint32_t term = JoinFields(c, [&](auto sh, auto bits, const std::uint32_t* mod) {
      const std::uint32_t raw = Field<sh, bits>(s);
      std::uint32_t x;
      if constexpr (kAlpha && !kBlend) {
        x = Modulate<kWhite>((raw * a) >> 8, mod);
      } else {
        x = (Modulate<kWhite>(raw, mod) * Weights<kBlend, kAlpha>::Product(f, a)) >> Weights<kBlend, kAlpha>::kBits;
      }
      return c.mulRow[x];
    });
    if constexpr (kSubtract) {
      return PackedSub(d, term);
    } else {
      return PackedAdd(d, term);
    }
  }
};

// Multiply: the weights scale the product itself, so a weight of 0 gives black.
struct MultiplyOp {
  static constexpr bool kSkipsZeroAlpha = false;
  static constexpr bool kComplement = false;
  template <bool kWhite, bool kBlend, bool kAlpha>
  static std::uint32_t Pixel(std::uint32_t d, std::uint32_t s, std::uint32_t f, std::uint32_t a,
                             const TexturedConsts& c) {
    using W = Weights<kBlend, kAlpha>;
    return JoinFields(c, [&](auto sh, auto bits, const std::uint32_t* mod) {
      const std::uint32_t src = Modulate<kWhite>(Field<sh, bits>(s), mod);
      return (Field<sh, bits>(d) * src * W::Product(f, a)) >> (bits + W::kBits);
    });
  }
};

// Multiply blend: d moves towards its product with the source. Unmodulated,
// without a blend image and with an alpha weight, green keeps the product in
// steps of 1/32.
struct MulBlendOp {
  static constexpr bool kSkipsZeroAlpha = false;
  static constexpr bool kComplement = false;
  template <bool kWhite, bool kBlend, bool kAlpha>
  static std::uint32_t Pixel(std::uint32_t d, std::uint32_t s, std::uint32_t f, std::uint32_t a,
                             const TexturedConsts& c) {
    using W = Weights<kBlend, kAlpha>;
    return JoinFields(c, [&](auto sh, auto bits, const std::uint32_t* mod) {
      const std::uint32_t src = Modulate<kWhite>(Field<sh, bits>(s), mod);
      const std::uint32_t dst = Field<sh, bits>(d);
      const std::uint32_t product = (src * dst) >> bits;
      if constexpr (W::kCount == 0) {
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(dst) +
                                          c.signedRow[static_cast<std::int32_t>(product) - static_cast<std::int32_t>(dst)]);
      } else if constexpr (kWhite && kAlpha && !kBlend && bits == 6) {
        const std::uint32_t weight = a * static_cast<std::uint32_t>(c.p);
        const std::uint32_t fine = (src * dst) >> 1;
        return (32 * dst * (65536 - weight) + fine * weight) >> 21;
      } else {
        return Mix<W::kBits + 8>(dst, product, W::Product(f, a) * static_cast<std::uint32_t>(c.p));
      }
    });
  }
};

}  // namespace qz::span::rgb565
