// Slow per-channel reference of the solid triangle spans and of the filled
// rectangles and lines, written from the channel rules with plain arithmetic
// (no tables, no packed masks), so the packed add and subtract are checked
// against their channel-wise meaning.
#pragma once

#include <cstdint>

namespace qz::span_oracle {

inline int Prod(int a, int b) { return a * b / 255; }   // truncated, a and b >= 0
inline int SProd(int a, int d) { return a * d / 255; }  // toward zero

struct Layout {
  int shift[3];  // blue, green, red
  int max[3];
  int bits[3];
};
inline Layout Of(bool wide) {
  return wide ? Layout{{0, 8, 16}, {255, 255, 255}, {8, 8, 8}} : Layout{{0, 5, 11}, {31, 63, 31}, {5, 6, 5}};
}
inline int Get(std::uint32_t v, const Layout& l, int c) { return static_cast<int>((v >> l.shift[c]) & l.max[c]); }
inline std::uint32_t Put(const int ch[3], const Layout& l) {
  std::uint32_t v = 0;
  for (int c = 0; c < 3; ++c) v |= static_cast<std::uint32_t>(ch[c]) << l.shift[c];
  return v;
}

// The fill after colour modulation (0x00RRGGBB), each field scaled on its own
// value: divided by 255, or (shapes) shifted down by 8 unless unmodulated.
inline std::uint32_t Modulate(std::uint32_t fill, std::uint32_t mod, bool wide, bool byShift) {
  if (byShift && (mod & 0xFFFFFF) == 0xFFFFFF) return fill;
  const Layout l = Of(wide);
  int f[3];
  for (int c = 0; c < 3; ++c) {
    const int m = static_cast<int>((mod >> (8 * c)) & 0xFF);
    f[c] = byShift ? (m * Get(fill, l, c)) >> 8 : Prod(m, Get(fill, l, c));
  }
  return Put(f, l) | (wide ? (fill & 0xFF000000u) : 0);
}

// Saturating add: blue over its full width; green and red add their upper
// bits, their lowest bit is the OR of both lowest bits and the carry out of
// the channel below; the carry out of red lands in the bit above red.
inline std::uint32_t Add(std::uint32_t d, const int s[3], const Layout& l, bool wide) {
  int out[3];
  int carry = 0;
  const int db = Get(d, l, 0);
  int sum = s[0] + db;
  carry = sum > l.max[0];
  out[0] = carry ? l.max[0] : sum;
  for (int c = 1; c < 3; ++c) {
    const int dc = Get(d, l, c);
    const int low = ((s[c] | dc) & 1) | carry;
    const int upper = (s[c] >> 1) + (dc >> 1);
    carry = upper > (l.max[c] >> 1);
    out[c] = carry ? (l.max[c] & ~1) | low : (upper << 1) | low;
    if (carry && (wide || c == 2)) out[c] = l.max[c];
  }
  std::uint32_t v = Put(out, l);
  if (wide) v |= static_cast<std::uint32_t>(carry) << 24;
  return v;
}

// Saturating subtract: an underflowing channel becomes 0; green and red lose
// their own lowest bit and take the no-borrow bit of the channel below
// (on 16-bit green's lowest bit is always 0); the fourth byte becomes 0.
inline std::uint32_t Sub(std::uint32_t d, const int s[3], const Layout& l, bool wide) {
  int out[3];
  const int b = Get(d, l, 0) - s[0];
  int noBorrow = b >= 0;
  out[0] = noBorrow ? b : 0;
  for (int c = 1; c < 3; ++c) {
    const int v = (Get(d, l, c) | 1) - (s[c] & ~1) - (1 - noBorrow);
    noBorrow = v >= 0;
    out[c] = noBorrow ? v : 0;
    if (!wide && c == 1) out[c] &= ~1;
  }
  return Put(out, l);
}

// The pixel d after one solid-span write of fill under mode and p.
inline std::uint32_t Pixel(std::uint32_t d, std::uint32_t fill, int mode, int p, std::uint32_t mod, bool wide,
                           bool modByShift = false) {
  if (mode == 1 && p == 255) mode = 0;
  if ((mode == 1 || mode == 2 || mode == 3) && p == 0) return d;
  const Layout l = Of(wide);
  const std::uint32_t f = Modulate(fill, mod, wide, modByShift);
  const std::uint32_t top = wide ? (d & 0xFF000000u) : 0;
  int out[3];
  int s[3];
  for (int c = 0; c < 3; ++c) s[c] = Prod(p, Get(f, l, c));
  switch (mode) {
    case 0:
      return f;
    case 2:
      return Add(d, s, l, wide);
    case 3:
      return Sub(d, s, l, wide);
    default:
      break;
  }
  for (int c = 0; c < 3; ++c) {
    const int dc = Get(d, l, c);
    const int fc = Get(f, l, c);
    const int mul = fc * dc / (l.max[c] + 1);
    int target = fc;
    if (mode == 10) target = l.max[c] - fc;
    if (mode == 11) target = mul;
    if (mode == 4) {
      out[c] = mul;
    } else if (wide) {
      out[c] = ((target - dc) * p + dc * 256) / 256;
    } else {
      out[c] = dc + SProd(p, target - dc);
    }
  }
  return Put(out, l) | top;
}

}  // namespace qz::span_oracle
