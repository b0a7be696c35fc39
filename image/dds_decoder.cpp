// DirectDraw Surface decoder and DXT block expansion. Compressed data stays
// compressed in the base image so textures can take it as it is; it is
// expanded to ARGB8 only when a pixel has to be read, converted or mirrored.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/image_limits.h"
#include "image/image_stream_io.h"

namespace qz {

namespace {

constexpr int kMaxMipLevels = 32;
constexpr std::size_t kMagicSize = 4;
constexpr std::size_t kHeaderSize = 124;

constexpr std::uint32_t kHeaderPitchGiven = 0x8;
constexpr std::uint32_t kHeaderMipCountGiven = 0x20000;
constexpr std::uint32_t kPixelFourCc = 0x4;
constexpr std::uint32_t kPixelRgb = 0x40;
constexpr std::uint32_t kCapsComplex = 0x8;
constexpr std::uint32_t kCapsMipMap = 0x400000;

// Direct3D format numbers that a FourCC field may carry for uncompressed data.
struct FormatMasks {
  std::uint32_t format;
  int bits;
  std::uint32_t red, green, blue, alpha;
};
constexpr FormatMasks kD3DFormatMaskTable[] = {
    {20, 24, 0xFF0000u, 0xFF00u, 0xFFu, 0},                         // R8G8B8
    {21, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u},               // A8R8G8B8
    {22, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0},                         // X8R8G8B8
    {23, 16, 0xF800u, 0x07E0u, 0x001Fu, 0},                         // R5G6B5
    {24, 16, 0x7C00u, 0x03E0u, 0x001Fu, 0},                         // X1R5G5B5
    {25, 16, 0x7C00u, 0x03E0u, 0x001Fu, 0x8000u},                   // A1R5G5B5
    {26, 16, 0x0F00u, 0x00F0u, 0x000Fu, 0xF000u},                   // A4R4G4B4
    {27, 8, 0xE0u, 0x1Cu, 0x03u, 0},                                // R3G3B2
    {29, 16, 0xE0u, 0x1Cu, 0x03u, 0xFF00u},                         // A8R3G3B2
    {30, 16, 0x0F00u, 0x00F0u, 0x000Fu, 0},                         // X4R4G4B4
    {31, 32, 0x3FFu, 0xFFC00u, 0x3FF00000u, 0xC0000000u},           // A2B10G10R10
    {32, 32, 0xFFu, 0xFF00u, 0xFF0000u, 0xFF000000u},               // A8B8G8R8
    {33, 32, 0xFFu, 0xFF00u, 0xFF0000u, 0},                         // X8B8G8R8
    {35, 32, 0x3FF00000u, 0xFFC00u, 0x3FFu, 0xC0000000u},           // A2R10G10B10
    {0xFFFFFFFFu, 0, 0, 0, 0, 0},
};

const FormatMasks* FindFormat(std::uint32_t format) {
  for (const FormatMasks* row = kD3DFormatMaskTable; row->format != 0xFFFFFFFFu; ++row) {
    if (row->format == format) return row;
  }
  return nullptr;
}

int DxtKindOfFourCc(std::uint32_t fourCc) {
  for (int kind = 1; kind <= 5; ++kind) {
    const std::uint8_t name[4] = {'D', 'X', 'T', static_cast<std::uint8_t>('0' + kind)};
    if (fourCc == ReadU32(name)) return kind;
  }
  return 0;
}

// Bytes of all levels: each a quarter of the one before, compressed levels
// never below 8 bytes. -1 when the first level is beyond the pixel limit
// (the others add at most a third to it).
std::int64_t LevelsSize(std::int64_t first, int levels, bool compressed) {
  std::int64_t total = first;
  std::int64_t level = first;
  for (int i = 1; i < levels; ++i) {
    level /= 4;
    if (compressed && level < 8) level = 8;
    total += level;
  }
  return first > kMaxImageBytes ? -1 : total;
}

// The four colours of a block as B, G, R, A.
void BlockColors(const std::uint8_t* block, bool threeColorMode, std::uint8_t colors[4][4]) {
  const std::uint32_t c0 = ReadU16(block);
  const std::uint32_t c1 = ReadU16(block + 2);
  const std::uint32_t packed[2] = {c0, c1};
  for (int i = 0; i < 2; ++i) {
    colors[i][0] = static_cast<std::uint8_t>((packed[i] & 31) * 255 / 31);
    colors[i][1] = static_cast<std::uint8_t>(((packed[i] >> 5) & 63) * 255 / 63);
    colors[i][2] = static_cast<std::uint8_t>((packed[i] >> 11) * 255 / 31);
    colors[i][3] = 255;
  }
  const bool fourColors = !threeColorMode || c0 > c1;
  for (int channel = 0; channel < 3; ++channel) {
    const int a = colors[0][channel];
    const int b = colors[1][channel];
    if (fourColors) {
      colors[2][channel] = static_cast<std::uint8_t>((2 * a + b) / 3);
      colors[3][channel] = static_cast<std::uint8_t>((a + 2 * b) / 3);
    } else {
      colors[2][channel] = static_cast<std::uint8_t>((a + b) / 2);
      colors[3][channel] = colors[2][channel];
    }
  }
  colors[2][3] = 255;
  colors[3][3] = fourColors ? 255 : 0;
}

// The sixteen alphas of a DXT4/DXT5 alpha block.
void InterpolatedAlphas(const std::uint8_t* block, std::uint8_t alphas[16]) {
  const int a0 = block[0];
  const int a1 = block[1];
  int values[8] = {a0, a1};
  if (a0 > a1) {
    for (int i = 1; i <= 6; ++i) values[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i <= 4; ++i) values[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    values[6] = 0;
    values[7] = 255;
  }
  std::uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= std::uint64_t{block[2 + i]} << (8 * i);
  for (int t = 0; t < 16; ++t) alphas[t] = static_cast<std::uint8_t>(values[(bits >> (3 * t)) & 7]);
}

// One block's 16 texels into the ARGB8 rows at `out`.
void ExpandBlock(const std::uint8_t* block, std::uint32_t kind, std::uint8_t* out, std::size_t pitch) {
  std::uint8_t alphas[16];
  const std::uint8_t* colorBlock = block;
  if (kind == 2 || kind == 3) {
    for (int t = 0; t < 16; ++t) {
      const int nibble = (block[t / 2] >> ((t & 1) * 4)) & 15;
      alphas[t] = static_cast<std::uint8_t>(nibble * 255 / 15);
    }
    colorBlock = block + 8;
  } else if (kind == 4 || kind == 5) {
    InterpolatedAlphas(block, alphas);
    colorBlock = block + 8;
  }
  std::uint8_t colors[4][4];
  BlockColors(colorBlock, kind == 1, colors);
  const std::uint32_t indices = ReadU32(colorBlock + 4);
  const bool premultiplied = kind == 2 || kind == 4;
  for (int t = 0; t < 16; ++t) {
    std::uint8_t* texel = out + (t / 4) * pitch + (t % 4) * 4;
    std::memcpy(texel, colors[(indices >> (2 * t)) & 3], 4);
    if (kind == 1) continue;
    texel[3] = alphas[t];
    if (premultiplied && alphas[t] != 0) {
      for (int channel = 0; channel < 3; ++channel) {
        texel[channel] = static_cast<std::uint8_t>(std::min(255, texel[channel] * 255 / alphas[t]));
      }
    }
  }
}

}  // namespace

int DecodeDdsImage(ImageStream* stream, BaseImage* image) {
  const std::int64_t size = MeasureStream(stream);
  std::uint8_t magic[kMagicSize];
  if (size < 0 || ReadBytes(stream, magic, sizeof(magic)) != sizeof(magic)) return -1;
  if (std::memcmp(magic, "DDS", 3) != 0) return -1;
  std::uint8_t header[kHeaderSize];
  if (ReadBytes(stream, header, sizeof(header)) != sizeof(header)) return -1;

  const std::uint32_t flags = ReadU32(header + 4);
  const std::int64_t height = ReadU32(header + 8);
  const std::int64_t width = ReadU32(header + 12);
  const std::uint32_t pixelFlags = ReadU32(header + 76);
  const std::uint32_t fourCc = ReadU32(header + 80);
  const std::uint32_t caps = ReadU32(header + 104);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return -1;

  BaseImage result{};
  int dxtKind = 0;
  int bits = 0;
  const FormatMasks* row = pixelFlags == kPixelFourCc ? FindFormat(fourCc) : nullptr;
  if (row != nullptr) {
    bits = row->bits;
    SetColorDescFromMasks(&result.format, bits, row->red, row->green, row->blue, row->alpha);
  } else if ((pixelFlags & kPixelFourCc) != 0) {
    dxtKind = DxtKindOfFourCc(fourCc);
    if (dxtKind == 0) return -1;
  } else if ((pixelFlags & kPixelRgb) != 0) {
    bits = static_cast<int>(ReadU32(header + 84));
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return -1;
    SetColorDescFromMasks(&result.format, bits, ReadU32(header + 88), ReadU32(header + 92), ReadU32(header + 96),
                          ReadU32(header + 100));
  } else {
    return -1;
  }

  int levels = 0;
  if ((flags & kHeaderMipCountGiven) != 0 && (caps & kCapsComplex) != 0 && (caps & kCapsMipMap) != 0) {
    const std::uint32_t count = ReadU32(header + 24);
    if (count > kMaxMipLevels) return -1;
    levels = static_cast<int>(count);
  }

  std::int64_t pitch = 0;
  std::int64_t firstLevel;
  if (dxtKind != 0) {
    firstLevel = (height / 4) * (width / 4) * (dxtKind == 1 ? 8 : 16);
  } else {
    const std::int64_t rowBytes = bits / 8 * width;
    pitch = (flags & kHeaderPitchGiven) != 0 ? std::int64_t{ReadU32(header + 16)} : rowBytes;
    // A shorter pitch would make every reader run past the last row.
    if (pitch < rowBytes || pitch > kMaxImageBytes) return -1;
    firstLevel = pitch * height;
  }
  const std::int64_t dataSize = LevelsSize(firstLevel, levels, dxtKind != 0);
  const std::int64_t available = size - static_cast<std::int64_t>(kMagicSize + kHeaderSize);
  if (dataSize < 0 || available < dataSize) return -1;

  if (dxtKind != 0) {
    SetColorDescFromMasks(&result.format, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u);
    result.format.dxtKind = static_cast<std::uint32_t>(dxtKind);
    result.format.bitDepth = dxtKind == 1 ? 4 : 8;
  }
  result.width = static_cast<std::uint32_t>(width);
  result.height = static_cast<std::uint32_t>(height);
  result.pitch = static_cast<std::uint32_t>(pitch);
  result.mipLevels = levels;
  // Readers of the record take its size from GetBaseImageDataSize, which
  // counts every level as at least 8 bytes; uncompressed files store their
  // smallest levels shorter, so the block is that long, the rest zero.
  const std::size_t blockSize =
      std::max<std::size_t>(static_cast<std::size_t>(dataSize), GetBaseImageDataSize(&result));
  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(blockSize));
  if (pixels == nullptr) return -1;
  if (ReadBytes(stream, pixels, static_cast<std::size_t>(dataSize)) != static_cast<std::size_t>(dataSize)) {
    QZ_FREE(pixels);
    return -1;
  }
  result.pixels = pixels;
  *image = result;
  return 0;
}

int DecompressDxtBaseImage(BaseImage* image) {
  const std::uint32_t kind = image->format.dxtKind;
  if (kind == 0) return 0;
  if (kind > 5) return -1;
  const std::int64_t width = image->width;
  const std::int64_t height = image->height;
  if (width > kMaxImageSide || height > kMaxImageSide || width * height * 4 > kMaxImageBytes) return -1;
  const std::int64_t blocksAcross = width / 4;
  const std::int64_t blocksDown = height / 4;
  if (blocksAcross * blocksDown > 0 && image->pixels == nullptr) return -1;

  // Zeroed, so texels of partial edge blocks are defined.
  const std::size_t pitch = static_cast<std::size_t>(width * 4);
  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(pitch * static_cast<std::size_t>(height)));
  if (pixels == nullptr) return -1;
  const std::size_t blockBytes = kind == 1 ? 8 : 16;
  const std::uint8_t* block = image->pixels;
  for (std::int64_t by = 0; by < blocksDown; ++by) {
    for (std::int64_t bx = 0; bx < blocksAcross; ++bx, block += blockBytes) {
      ExpandBlock(block, kind, pixels + static_cast<std::size_t>(by * 4) * pitch + static_cast<std::size_t>(bx) * 16,
                  pitch);
    }
  }
  QZ_FREE(image->pixels);
  image->pixels = pixels;
  SetColorDescARGB8(&image->format);
  image->pitch = static_cast<std::uint32_t>(pitch);
  // Only the first level was expanded.
  image->mipLevels = 0;
  return 0;
}

}  // namespace qz
