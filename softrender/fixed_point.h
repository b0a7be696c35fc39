// 14.18 fixed point of the transformed drawing. Arithmetic wraps at 32 bits,
// so values outside the 14.18 range wrap rather than overflow.
#pragma once

#include <cstdint>

namespace qz::fixed {

inline constexpr std::int32_t kOne = 262144;   // one pixel
inline constexpr std::int32_t kHalf = 131072;  // half a pixel
// Widest and tallest source whose range (size x 262144) fits 32 bits unsigned.
inline constexpr std::int32_t kMaxSourceSide = 16383;

inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
// The pixel a value lies in, floored.
inline std::int32_t Pixel(std::int32_t value) { return value >> 18; }

}  // namespace qz::fixed
