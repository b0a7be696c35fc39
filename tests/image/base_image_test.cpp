// Base images: colour packing at the format edges (unused bits, narrow and
// wide channels, palette ties), descriptors from masks, pixel access bounds
// and byte widths, allocation limits, the 180-degree turn, data sizes of
// block-compressed levels and the 2x2 mip reduction.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "image/base_image.h"

namespace qz {
namespace {

PixelFormatDescriptor Desc565() {
  PixelFormatDescriptor d{};
  SetColorDescFromMasks(&d, 16, 0xF800, 0x07E0, 0x001F, 0);
  return d;
}

TEST(BaseImageColourTest, PackPlacesChannelsAndUnusedBits) {
  PixelFormatDescriptor d{};
  SetColorDescXRGB8(&d);
  EXPECT_EQ(PackColorByDescriptor(&d, 1, 2, 3, 200), 0xFF010203u);
  SetColorDescARGB8(&d);
  EXPECT_EQ(PackColorByDescriptor(&d, 1, 2, 3, 200), 0xC8010203u);
  // Values are taken modulo 256.
  EXPECT_EQ(PackColorByDescriptor(&d, 256 + 1, 2, 3, 0), 0x00010203u);

  PixelFormatDescriptor r5g6b5 = Desc565();
  EXPECT_EQ(r5g6b5.unusedMask, 0u);
  EXPECT_EQ(PackColorByDescriptor(&r5g6b5, 255, 255, 255, 0), 0xFFFFu);
  EXPECT_EQ(PackColorByDescriptor(&r5g6b5, 0xFF, 0x80, 0x40, 0), 0xFC08u);

  // Ten-bit channels take the value in their top bits.
  PixelFormatDescriptor a2r10{};
  SetColorDescFromMasks(&a2r10, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000);
  EXPECT_EQ(PackColorByDescriptor(&a2r10, 255, 255, 255, 200), 0xFFCFF3FCu);
}

TEST(BaseImageColourTest, PalettePackingPicksNearestLowestIndex) {
  PixelFormatDescriptor d{};
  SetColorDescGray8(&d);
  EXPECT_EQ(PackColorByDescriptor(&d, 10, 12, 14, 0), 12u);
  for (auto& e : d.palette) e = PaletteEntry{0, 0, 0, 0};
  d.palette[7] = PaletteEntry{50, 50, 50, 0};
  d.palette[9] = PaletteEntry{50, 50, 50, 0};
  EXPECT_EQ(PackColorByDescriptor(&d, 60, 60, 60, 0), 7u);
  EXPECT_EQ(PackColorByDescriptor(&d, 10, 10, 10, 0), 0u);
}

// Red, green, blue and alpha of `value`; an alpha the format lacks stays 77.
std::array<int, 4> Unpack(const PixelFormatDescriptor& d, std::uint32_t value) {
  std::array<int, 4> out = {-1, -1, -1, 77};
  UnpackColorByDescriptor(&d, value, &out[0], &out[1], &out[2], &out[3]);
  return out;
}

TEST(BaseImageColourTest, UnpackScalesNarrowFieldsAndHandlesAlpha) {
  PixelFormatDescriptor r5g6b5 = Desc565();
  EXPECT_EQ(Unpack(r5g6b5, 0x1F), (std::array{0, 0, 255, 0}));
  int r = -1, g = -1, b = -1, a = 77;
  UnpackColorByDescriptor(&r5g6b5, 0x07E0, &r, &g, &b, nullptr);
  EXPECT_EQ(g, 255);

  PixelFormatDescriptor xrgb{};
  SetColorDescXRGB8(&xrgb);
  EXPECT_EQ(Unpack(xrgb, 0xFF102030), (std::array{0x10, 0x20, 0x30, 77}));

  // An 8-8-8 colour with a narrow alpha scales only the alpha.
  PixelFormatDescriptor a4{};
  SetColorDescFromMasks(&a4, 32, 0xFF0000, 0xFF00, 0xFF, 0x0F000000);
  UnpackColorByDescriptor(&a4, 0x0A000000, nullptr, nullptr, nullptr, &a);
  EXPECT_EQ(a, 10 * 255 / 15);

  // An absent colour channel reads as 0 instead of dividing by zero.
  PixelFormatDescriptor alphaOnly{};
  SetColorDescFromMasks(&alphaOnly, 16, 0, 0, 0, 0xFF00);
  EXPECT_EQ(Unpack(alphaOnly, 0x8000), (std::array{0, 0, 0, 0x80}));
}

TEST(BaseImageColourTest, DescriptorsFromMasksAndPresets) {
  PixelFormatDescriptor d{};
  SetColorDescFromMasks(&d, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  EXPECT_EQ(d.bytesPerPixel, 4);
  EXPECT_EQ(d.unusedMask, 0xFF000000u);
  EXPECT_EQ(d.unusedShift, 24);
  EXPECT_EQ(d.unusedWidth, 8);

  SetColorDescFromMasks(&d, 16, 0x7C00, 0x03E0, 0x001F, 0);
  EXPECT_EQ(d.unusedMask, 0x8000u);
  EXPECT_EQ(d.unusedShift, 15);
  EXPECT_EQ(d.unusedWidth, 1);
  // A mask with a gap counts only the run from its lowest bit.
  SetColorDescFromMasks(&d, 16, 0x0F0F, 0, 0, 0);
  EXPECT_EQ(d.redShift, 0);
  EXPECT_EQ(d.redWidth, 4);

  // The fix recomputes only the mask; the shift and width stay.
  SetColorDescXRGB8(&d);
  d.alphaWidth = 8;
  FixColorDescUnusedMask(&d);
  EXPECT_EQ(d.unusedMask, 0u);
  d.alphaWidth = 0;
  d.unusedShift = 3;
  FixColorDescUnusedMask(&d);
  EXPECT_EQ(d.unusedMask, 0xFF000000u);
  EXPECT_EQ(d.unusedShift, 3);

  PixelFormatDescriptor gray{};
  gray.flags = 0x5A;
  gray.dxtKind = 3;
  SetColorDescGray8(&gray);
  EXPECT_EQ(gray.flags, 0);
  EXPECT_EQ(gray.dxtKind, 0u);
  EXPECT_EQ(gray.bytesPerPixel, 1);
  EXPECT_EQ(gray.palette[200].red, 200);
  EXPECT_EQ(gray.palette[200].blue, 200);
  EXPECT_EQ(gray.palette[200].alpha, 0);
}

TEST(BaseImagePixelTest, AccessChecksBoundsAndByteWidths) {
  const int blocks = GetTrackedBlockCount();
  BaseImage image{};
  ASSERT_EQ(AllocARGB8BaseImage(3, 2, &image), 0);
  EXPECT_EQ(GetTrackedBlockCount(), blocks + 1);
  EXPECT_EQ(image.pitch, 12u);
  EXPECT_EQ(image.mipLevels, 0);
  EXPECT_EQ(SetBaseImagePixel(&image, 2, 1, 10, 20, 30, 40), 0);
  std::uint32_t stored;
  std::memcpy(&stored, image.pixels + 12 + 8, 4);
  EXPECT_EQ(stored, 0x280A141Eu);
  int r, g, b, a;
  EXPECT_EQ(GetBaseImagePixel(&image, 2, 1, &r, &g, &b, &a), 0);
  EXPECT_EQ(r, 10);
  EXPECT_EQ(a, 40);
  EXPECT_EQ(GetBaseImagePixel(&image, 3, 0, &r, &g, &b, &a), -1);
  EXPECT_EQ(GetBaseImagePixel(&image, -1, 0, &r, &g, &b, &a), -1);
  EXPECT_EQ(GetBaseImagePixel(&image, 0, 2, &r, &g, &b, &a), -1);
  EXPECT_EQ(SetBaseImagePixel(&image, 0, -1, 1, 1, 1, 1), -1);

  // Three-byte pixels write exactly three bytes; the pitch rounds up to 4.
  BaseImage rgb{};
  SetColorDescRGB24(&rgb.format);
  ASSERT_EQ(AllocBaseImageSameFormat(3, 1, &rgb, &rgb), 0);
  EXPECT_EQ(rgb.pitch, 12u);
  std::memset(rgb.pixels, 0xEE, 12);
  EXPECT_EQ(SetBaseImagePixel(&rgb, 1, 0, 0x11, 0x22, 0x33, 0), 0);
  EXPECT_EQ(rgb.pixels[2], 0xEE);
  EXPECT_EQ(rgb.pixels[3], 0x33);
  EXPECT_EQ(rgb.pixels[5], 0x11);
  EXPECT_EQ(rgb.pixels[6], 0xEE);
  EXPECT_EQ(GetBaseImagePixel(&rgb, 1, 0, &r, &g, &b, nullptr), 0);
  EXPECT_EQ(g, 0x22);

  // A palettised pixel reads its entry, alpha byte included.
  BaseImage indexed{};
  SetColorDescPalette8(&indexed.format);
  indexed.format.palette[4] = PaletteEntry{1, 2, 3, 99};
  ASSERT_EQ(AllocBaseImageSameFormat(5, 1, &indexed, &indexed), 0);
  EXPECT_EQ(indexed.pitch, 8u);
  EXPECT_EQ(SetBaseImagePixel(&indexed, 0, 0, 3, 2, 1, 0), 0);
  EXPECT_EQ(indexed.pixels[0], 4);
  EXPECT_EQ(GetBaseImagePixel(&indexed, 0, 0, &r, &g, &b, &a), 0);
  EXPECT_EQ(r, 3);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(a, 99);

  FreeBaseImagePixels(&image);
  FreeBaseImagePixels(&rgb);
  FreeBaseImagePixels(&indexed);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0u);
  EXPECT_EQ(image.format.bitDepth, 0);
  EXPECT_EQ(GetTrackedBlockCount(), blocks);
}

TEST(BaseImagePixelTest, AllocationRefusesAbsurdSizes) {
  const int blocks = GetTrackedBlockCount();
  BaseImage image{};
  EXPECT_EQ(AllocXRGB8BaseImage(-4, 4, &image), -1);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(AllocXRGB8BaseImage(4, 0, &image), -1);
  EXPECT_EQ(AllocXRGB8BaseImage(40000, 1, &image), -1);
  EXPECT_EQ(AllocARGB8BaseImage(32768, 32768, &image), -1);
  EXPECT_EQ(GetTrackedBlockCount(), blocks);
}

TEST(BaseImagePixelTest, DxtPixelsAreExpandedBeforeAccess) {
  BaseImage image{};
  SetColorDescARGB8(&image.format);
  image.format.dxtKind = 1;
  image.width = 4;
  image.height = 4;
  image.pixels = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(8));
  // Both end colours white, every index 0: an opaque white block.
  image.pixels[0] = image.pixels[1] = image.pixels[2] = image.pixels[3] = 0xFF;
  int r, g, b, a;
  ASSERT_EQ(GetBaseImagePixel(&image, 3, 3, &r, &g, &b, &a), 0);
  EXPECT_EQ(image.format.dxtKind, 0u);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(a, 255);
  FreeBaseImagePixels(&image);
}

TEST(BaseImageShapeTest, RotationTurnsEveryPixelIncludingTheMiddleRow) {
  for (int bpp : {1, 3, 4}) {
    BaseImage image{};
    SetColorDescFromMasks(&image.format, bpp * 8, 0, 0, 0, 0);
    ASSERT_EQ(AllocBaseImageSameFormat(3, 3, &image, &image), 0);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 3; ++x) {
        for (int k = 0; k < bpp; ++k) image.pixels[y * image.pitch + x * bpp + k] = std::uint8_t(y * 16 + x * 4 + k);
      }
    }
    ASSERT_EQ(RotateBaseImage180(&image), 0);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 3; ++x) {
        for (int k = 0; k < bpp; ++k) {
          EXPECT_EQ(image.pixels[(2 - y) * image.pitch + (2 - x) * bpp + k], y * 16 + x * 4 + k)
              << "bpp " << bpp << " at " << x << "," << y;
        }
      }
    }
    FreeBaseImagePixels(&image);
  }
  BaseImage dxt{};
  dxt.format.dxtKind = 1;
  EXPECT_EQ(RotateBaseImage180(&dxt), -1);
}

TEST(BaseImageShapeTest, DataSizeSumsLevelsWithAnEightByteFloor) {
  const struct {
    std::uint32_t dxtKind, side, pitch;
    int mipLevels;
    std::uint32_t want;
  } cases[] = {{1, 256, 0, 3, 43008}, {1, 4, 0, 3, 24}, {0, 5, 12, 0, 60}};
  for (const auto& c : cases) {
    BaseImage image{};
    image.format.dxtKind = c.dxtKind;
    image.width = image.height = c.side;
    image.pitch = c.pitch;
    image.mipLevels = c.mipLevels;
    EXPECT_EQ(GetBaseImageDataSize(&image), c.want) << c.side << " square, kind " << c.dxtKind;
  }
}

TEST(BaseImageShapeTest, MipReductionAveragesPerChannel) {
  // The routine over untyped buffers; its unused position is always 0.
  const auto reduce = [](const PixelFormatDescriptor& d, void* out, std::uint32_t outPitch, const void* in,
                         std::uint32_t inPitch, int outColumn, int inColumn, int row, int width, int height) {
    return ReduceMipLevel2x2(&d, static_cast<std::uint8_t*>(out), outPitch, static_cast<const std::uint8_t*>(in),
                             inPitch, outColumn, 0, inColumn, row, width, height);
  };
  PixelFormatDescriptor argb{};
  SetColorDescARGB8(&argb);
  const std::uint32_t square[4] = {0x10203040, 0x30405060, 0x50607080, 0x7080A0C0};
  std::uint32_t out[4] = {0, 0, 0, 0};
  ASSERT_EQ(reduce(argb, out, 16, square, 8, 0, 0, 0, 2, 2), 0);
  EXPECT_EQ(out[0], 0x40506478u);

  // XRGB8 drops its unused bits; pairs along a row when the height is 1.
  PixelFormatDescriptor xrgb{};
  SetColorDescXRGB8(&xrgb);
  const std::uint32_t row[4] = {0xFF000000, 0xFF0000FE, 0xFF020000, 0xFF040000};
  ASSERT_EQ(reduce(xrgb, out, 16, row, 16, 0, 0, 0, 4, 1), 0);
  EXPECT_EQ(out[0], 0x0000007Fu);
  EXPECT_EQ(out[1], 0x00030000u);

  // 16-bit: a column of two, truncating each channel.
  PixelFormatDescriptor r5g6b5 = Desc565();
  const std::uint16_t column[2] = {0xF81F, 0x0001};
  std::uint16_t out16[2] = {0, 0};
  ASSERT_EQ(reduce(r5g6b5, out16, 2, column, 2, 0, 0, 0, 1, 2), 0);
  EXPECT_EQ(out16[0], (15u << 11) | 16u);

  // Positions offset both areas; 1 x 1 copies the pixel.
  std::uint32_t grid[2][2] = {{1, 2}, {3, 0xFF123456}};
  std::uint32_t target[2][2] = {{0, 0}, {0, 0}};
  ASSERT_EQ(reduce(argb, target, 8, grid, 8, 0, 1, 1, 1, 1), 0);
  EXPECT_EQ(target[1][0], 0xFF123456u);

  // Odd sizes other than 1 are refused before anything is written; other
  // depths write nothing.
  std::vector<std::uint32_t> source(12, 0xFFFFFFFF), destination(6, 0x5A5A5A5A);
  EXPECT_EQ(reduce(argb, destination.data(), 8, source.data(), 12, 0, 0, 0, 3, 4), -1);
  for (std::uint32_t v : destination) EXPECT_EQ(v, 0x5A5A5A5Au);
  PixelFormatDescriptor rgb{};
  SetColorDescRGB24(&rgb);
  EXPECT_EQ(reduce(rgb, destination.data(), 8, source.data(), 12, 0, 0, 0, 2, 2), 0);
  for (std::uint32_t v : destination) EXPECT_EQ(v, 0x5A5A5A5Au);
}

}  // namespace
}  // namespace qz
