// Per-pixel span policies of the transformed drawing (triangles, quads,
// rotation): one policy per blend mode and destination format, combined with a
// span loop template so that every mode × format pair compiles to its own loop.
#pragma once

#include <cstdint>
#include <cstring>

namespace qz::span {

// Per-call constants a span reads, made once before the first row.
struct SpanConsts {
  std::uint32_t fill = 0;              // fill colour after colour modulation
  std::uint32_t fillScaled = 0;        // fill scaled by p per channel (add, subtract)
  std::int32_t p = 0;
  const std::int32_t* deltaP = nullptr;  // signed product row of p, at d = 0
};

// 32-bit destination: bytes blue, green, red, fourth byte.
struct Fmt32 {
  using Pixel = std::uint32_t;
  static constexpr int kBytes = 4;
};

// 16-bit RGB565 destination.
struct Fmt16 {
  using Pixel = std::uint16_t;
  static constexpr int kBytes = 2;
};

inline std::uint32_t Chan(std::uint32_t v, int shift, std::uint32_t mask) { return (v >> shift) & mask; }

// Divide by 256 on 32-bit channels: ((x - d) * p + d * 256) >> 8 is never negative.
inline std::uint32_t Lerp256(std::int32_t x, std::int32_t d, std::int32_t p) {
  return static_cast<std::uint32_t>(((x - d) * p + d * 256) >> 8);
}

template <class Fmt>
struct Copy;
template <>
struct Copy<Fmt32> {
  static std::uint32_t Apply(std::uint32_t, const SpanConsts& c) { return c.fill; }
};
template <>
struct Copy<Fmt16> {
  static std::uint32_t Apply(std::uint32_t, const SpanConsts& c) { return c.fill; }
};

// Applies Op per channel of an 8-bit-channel pixel, keeping the fourth byte.
template <class Op>
inline std::uint32_t PerChannel32(std::uint32_t d, const SpanConsts& c) {
  std::uint32_t out = d & 0xFF000000u;
  for (int sh = 0; sh < 24; sh += 8) {
    const auto dc = static_cast<std::int32_t>(Chan(d, sh, 0xFF));
    const auto fc = static_cast<std::int32_t>(Chan(c.fill, sh, 0xFF));
    out |= Op::Channel(fc, dc, c, 255, 8) << sh;
  }
  return out;
}

// Applies Op to the red, green and blue fields of an RGB565 pixel.
template <class Op>
inline std::uint32_t PerField16(std::uint32_t d, const SpanConsts& c) {
  const auto r = Op::Channel(static_cast<std::int32_t>(Chan(c.fill, 11, 31)), static_cast<std::int32_t>(Chan(d, 11, 31)),
                             c, 31, 5);
  const auto g = Op::Channel(static_cast<std::int32_t>(Chan(c.fill, 5, 63)), static_cast<std::int32_t>(Chan(d, 5, 63)),
                             c, 63, 6);
  const auto b = Op::Channel(static_cast<std::int32_t>(Chan(c.fill, 0, 31)), static_cast<std::int32_t>(Chan(d, 0, 31)),
                             c, 31, 5);
  return (r << 11) | (g << 5) | b;
}

// Channel rules. On 32-bit channels blends divide by 256 with a shift, on
// 16-bit fields through the signed product table (255, toward zero).
struct AlphaOp32 {
  static std::uint32_t Channel(std::int32_t f, std::int32_t d, const SpanConsts& c, int, int) {
    return Lerp256(f, d, c.p);
  }
};
struct InvertOp32 {
  static std::uint32_t Channel(std::int32_t f, std::int32_t d, const SpanConsts& c, int, int) {
    return Lerp256(255 - f, d, c.p);
  }
};
struct MulOp {
  static std::uint32_t Channel(std::int32_t f, std::int32_t d, const SpanConsts&, int, int bits) {
    return static_cast<std::uint32_t>((f * d) >> bits);
  }
};
struct MulBlendOp32 {
  static std::uint32_t Channel(std::int32_t f, std::int32_t d, const SpanConsts& c, int, int) {
    return Lerp256((f * d) >> 8, d, c.p);
  }
};
struct AlphaOp16 {
  static std::uint32_t Channel(std::int32_t f, std::int32_t d, const SpanConsts& c, int, int) {
    return static_cast<std::uint32_t>(d + c.deltaP[f - d]);
  }
};
struct InvertOp16 {
  static std::uint32_t Channel(std::int32_t f, std::int32_t d, const SpanConsts& c, int max, int) {
    return static_cast<std::uint32_t>(d + c.deltaP[(max - f) - d]);
  }
};
struct MulBlendOp16 {
  static std::uint32_t Channel(std::int32_t f, std::int32_t d, const SpanConsts& c, int, int bits) {
    return static_cast<std::uint32_t>(d + c.deltaP[((f * d) >> bits) - d]);
  }
};

template <class Fmt, class Op32, class Op16>
struct Channelwise {
  static std::uint32_t Apply(std::uint32_t d, const SpanConsts& c) {
    if constexpr (Fmt::kBytes == 4) {
      return PerChannel32<Op32>(d, c);
    } else {
      return PerField16<Op16>(d, c);
    }
  }
};

template <class Fmt>
using Alpha = Channelwise<Fmt, AlphaOp32, AlphaOp16>;
template <class Fmt>
using Multiply = Channelwise<Fmt, MulOp, MulOp>;
template <class Fmt>
using Invert = Channelwise<Fmt, InvertOp32, InvertOp16>;
template <class Fmt>
using MulBlend = Channelwise<Fmt, MulBlendOp32, MulBlendOp16>;

// Packed saturating add and subtract: each channel's carry or borrow lands in
// a bit both operands cleared (or set), and k - (k >> w) widens it to a field.
template <class Fmt>
struct Add {
  static std::uint32_t Apply(std::uint32_t d, const SpanConsts& c) {
    const std::uint32_t s = c.fillScaled;
    if constexpr (Fmt::kBytes == 4) {
      const std::uint32_t t = (s & 0xFEFEFFu) + (d & 0xFEFEFFu);
      const std::uint32_t k = t & 0x1010100u;
      return t | (k - (k >> 8)) | ((s | d) & 0x10100u);
    } else {
      const std::uint32_t t = (d & 0xF7DEF7DFu) + (s & 0xF7DEF7DFu);
      const std::uint32_t k = t & 0x8210820u;
      return (t | (k - (k >> 5)) | ((s | d) & 0x820u)) & 0xFFFFu;
    }
  }
};

template <class Fmt>
struct Sub {
  static std::uint32_t Apply(std::uint32_t d, const SpanConsts& c) {
    const std::uint32_t s = c.fillScaled;
    if constexpr (Fmt::kBytes == 4) {
      const std::uint32_t x = (d | 0x1010100u) - (s & ~0x01010100u);
      const std::uint32_t k = x & 0x1010100u;
      return x & (k - (k >> 8));
    } else {
      const std::uint32_t x = (d | 0x8210820u) - (s & 0xF7DEF7DFu);
      const std::uint32_t k = x & 0x8210820u;
      return (x & (k - (k >> 5))) & 0xFFFFu;
    }
  }
};

// Solid span: count pixels from dst, each combined with the fill by Policy.
template <class Fmt, class Policy>
void SolidSpan(std::uint8_t* dst, int count, const SpanConsts& c) {
  using Pixel = typename Fmt::Pixel;
  for (; count > 0; --count, dst += Fmt::kBytes) {
    Pixel px;
    std::memcpy(&px, dst, sizeof px);
    px = static_cast<Pixel>(Policy::Apply(px, c));
    std::memcpy(dst, &px, sizeof px);
  }
}

using SolidSpanFn = void (*)(std::uint8_t*, int, const SpanConsts&);

}  // namespace qz::span
