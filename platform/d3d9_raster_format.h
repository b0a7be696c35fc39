// Pixel formats of the rasteriser: raw pixels to 8-bit channels and back,
// inline so that the per-pixel loops and the public helpers share one
// definition of every rounding.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d9_raster_values.h"

namespace plat::raster {

// Channel widening by bit replication, narrowing with rounding.
constexpr std::uint32_t Widen5(std::uint32_t v) { return (v << 3) | (v >> 2); }
constexpr std::uint32_t Widen6(std::uint32_t v) { return (v << 2) | (v >> 4); }
constexpr std::uint32_t Widen4(std::uint32_t v) { return v * 17; }
constexpr std::uint32_t Narrow(std::uint32_t v8, std::uint32_t maxValue) { return (v8 * maxValue + 127) / 255; }

constexpr std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Raw pixel (already read from memory) to 0xAARRGGBB; 0 for formats that are
// not uncompressed colour.
inline std::uint32_t UnpackRaw(std::uint32_t format, std::uint32_t raw) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return raw;
    case D3DFMT_X8R8G8B8:
      return raw | 0xFF000000u;
    case D3DFMT_R5G6B5:
      return Argb(255, Widen5((raw >> 11) & 31), Widen6((raw >> 5) & 63), Widen5(raw & 31));
    case D3DFMT_X1R5G5B5:
      return Argb(255, Widen5((raw >> 10) & 31), Widen5((raw >> 5) & 31), Widen5(raw & 31));
    case D3DFMT_A1R5G5B5:
      return Argb((raw & 0x8000) ? 255 : 0, Widen5((raw >> 10) & 31), Widen5((raw >> 5) & 31), Widen5(raw & 31));
    case D3DFMT_A4R4G4B4:
      return Argb(Widen4((raw >> 12) & 15), Widen4((raw >> 8) & 15), Widen4((raw >> 4) & 15), Widen4(raw & 15));
    default:
      return 0;
  }
}

// 0xAARRGGBB to a raw pixel; bits a format leaves unused are written as ones.
inline std::uint32_t PackRaw(std::uint32_t format, std::uint32_t argb) {
  const std::uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return argb;
    case D3DFMT_X8R8G8B8:
      return argb | 0xFF000000u;
    case D3DFMT_R5G6B5:
      return (Narrow(r, 31) << 11) | (Narrow(g, 63) << 5) | Narrow(b, 31);
    case D3DFMT_X1R5G5B5:
      return 0x8000u | (Narrow(r, 31) << 10) | (Narrow(g, 31) << 5) | Narrow(b, 31);
    case D3DFMT_A1R5G5B5:
      return (a >= 128 ? 0x8000u : 0u) | (Narrow(r, 31) << 10) | (Narrow(g, 31) << 5) | Narrow(b, 31);
    case D3DFMT_A4R4G4B4:
      return (Narrow(a, 15) << 12) | (Narrow(r, 15) << 8) | (Narrow(g, 15) << 4) | Narrow(b, 15);
    default:
      return 0;
  }
}

inline bool IsDxtFormat(std::uint32_t format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

inline std::uint32_t LoadRaw(const std::uint8_t* p, int bytesPerPixel) {
  if (bytesPerPixel == 4) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

inline void StoreRaw(std::uint8_t* p, int bytesPerPixel, std::uint32_t raw) {
  if (bytesPerPixel == 4) {
    std::memcpy(p, &raw, 4);
    return;
  }
  const std::uint16_t v = static_cast<std::uint16_t>(raw);
  std::memcpy(p, &v, 2);
}

// Texel (x, y) of a DXT level whose block rows are `pitchBytes` apart.
std::uint32_t ReadDxtTexel(std::uint32_t format, const std::uint8_t* pixels, int pitchBytes, int x, int y);

}  // namespace plat::raster
