// Format queries, single-pixel access and DXT texel decoding.
#include <algorithm>
#include <cstring>

#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_format.h"

namespace plat::raster {
namespace {

std::uint32_t Load16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }

// The colour of texel `index` (0..15) of an 8-byte colour block. DXT1 blocks
// whose first colour is not above the second have three colours and
// transparent black; the other formats always use four colours.
std::uint32_t DxtBlockColor(const std::uint8_t* block, int index, bool allowThreeColors) {
  const std::uint32_t c0 = Load16(block), c1 = Load16(block + 2);
  const std::uint32_t selector = (static_cast<std::uint32_t>(block[4 + index / 4]) >> ((index % 4) * 2)) & 3;
  const std::uint32_t e0 = UnpackRaw(D3DFMT_R5G6B5, c0), e1 = UnpackRaw(D3DFMT_R5G6B5, c1);
  if (selector == 0) return e0;
  if (selector == 1) return e1;
  const bool fourColors = !allowThreeColors || c0 > c1;
  if (!fourColors && selector == 3) return 0;
  std::uint32_t out = 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t a = (e0 >> shift) & 0xFF, b = (e1 >> shift) & 0xFF;
    const std::uint32_t mixed = !fourColors ? (a + b) / 2 : selector == 2 ? (2 * a + b) / 3 : (a + 2 * b) / 3;
    out |= mixed << shift;
  }
  return out;
}

// Alpha of texel `index` from an interpolated-alpha block (DXT4, DXT5).
std::uint32_t DxtInterpolatedAlpha(const std::uint8_t* block, int index) {
  const std::uint32_t a0 = block[0], a1 = block[1];
  std::uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= static_cast<std::uint64_t>(block[2 + i]) << (8 * i);
  const std::uint32_t code = static_cast<std::uint32_t>(bits >> (3 * index)) & 7;
  if (code == 0) return a0;
  if (code == 1) return a1;
  if (a0 > a1) return ((8 - code) * a0 + (code - 1) * a1) / 7;
  if (code == 6) return 0;
  if (code == 7) return 255;
  return ((6 - code) * a0 + (code - 1) * a1) / 5;
}

}  // namespace

std::uint32_t ReadDxtTexel(std::uint32_t format, const std::uint8_t* pixels, int pitchBytes, int x, int y) {
  const int blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
  const std::uint8_t* block =
      pixels + static_cast<std::ptrdiff_t>(y / 4) * pitchBytes + static_cast<std::ptrdiff_t>(x / 4) * blockBytes;
  const int index = (y % 4) * 4 + (x % 4);
  if (format == D3DFMT_DXT1) return DxtBlockColor(block, index, true);
  const std::uint32_t rgb = DxtBlockColor(block + 8, index, false) & 0x00FFFFFFu;
  std::uint32_t alpha;
  if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
    alpha = Widen4((static_cast<std::uint32_t>(block[index / 2]) >> ((index % 2) * 4)) & 15);
  } else {
    alpha = DxtInterpolatedAlpha(block, index);
  }
  return (alpha << 24) | rgb;
}

int BytesPerPixel(std::uint32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
      return 2;
    default:
      return 0;
  }
}

bool IsRenderTargetFormat(std::uint32_t format) { return BytesPerPixel(format) != 0; }

bool IsTextureFormat(std::uint32_t format) { return IsRenderTargetFormat(format) || IsDxtFormat(format); }

bool IsDepthFormat(std::uint32_t format) {
  return format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D32;
}

std::uint32_t PackColor(std::uint32_t format, std::uint32_t argb) { return PackRaw(format, argb); }

std::uint32_t UnpackColor(std::uint32_t format, std::uint32_t raw) { return UnpackRaw(format, raw); }

std::uint32_t ReadPixel(const Surface& surface, int x, int y) {
  const auto* base = static_cast<const std::uint8_t*>(surface.pixels);
  if (IsDxtFormat(surface.format)) return ReadDxtTexel(surface.format, base, surface.pitchBytes, x, y);
  const int bpp = BytesPerPixel(surface.format);
  if (bpp == 0) return 0;
  return UnpackRaw(surface.format, LoadRaw(base + static_cast<std::ptrdiff_t>(y) * surface.pitchBytes + x * bpp, bpp));
}

void WritePixel(const Surface& surface, int x, int y, std::uint32_t argb) {
  const int bpp = BytesPerPixel(surface.format);
  if (bpp == 0) return;
  auto* base = static_cast<std::uint8_t*>(surface.pixels);
  StoreRaw(base + static_cast<std::ptrdiff_t>(y) * surface.pitchBytes + x * bpp, bpp, PackRaw(surface.format, argb));
}

float QuantizeDepth(std::uint32_t format, float z) {
  const float clamped = z >= 0.0f ? std::min(z, 1.0f) : 0.0f;  // NaN reads as 0
  if (format == D3DFMT_D16) return static_cast<float>(static_cast<int>(clamped * 65535.0f + 0.5f)) / 65535.0f;
  if (format == D3DFMT_D24X8) {
    return static_cast<float>(static_cast<double>(static_cast<int>(clamped * 16777215.0 + 0.5)) / 16777215.0);
  }
  return clamped;
}

}  // namespace plat::raster
