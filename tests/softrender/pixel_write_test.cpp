// Writes into software images: the run table and premultiplied plane built
// after whole-image writes, the valid flags, palettes, and view-to-view copies.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/base_image.h"
#include "softrender/pixel_write.h"
#include "softrender/test_image.h"

namespace qz {
namespace {

using View = testing::Image;

// Owns a base image.
struct Picture {
  BaseImage img{};
  ~Picture() { FreeBaseImagePixels(&img); }
};

void Put32(MEMIMG& v, int x, int y, std::uint32_t value) {
  std::memcpy(v.pixels + y * v.block->pitch + x * 4, &value, 4);
}
std::uint32_t Get32(const MEMIMG& v, int x, int y) {
  std::uint32_t value;
  std::memcpy(&value, v.pixels + y * v.block->pitch + x * 4, 4);
  return value;
}

std::vector<std::uint8_t> Runs(const MEMIMG& v, std::size_t n) {
  return std::vector<std::uint8_t>(v.block->runTable, v.block->runTable + n);
}

// One row of a format-1 alpha image with the given alphas.
std::vector<std::uint8_t> AlphaRowRuns(const std::vector<int>& alphas) {
  View v;
  const int w = static_cast<int>(alphas.size());
  EXPECT_EQ(InitMemImgEx(&v.view, w, 1, -1, 0, 1, 0, 1, 1, nullptr), 0);
  for (int x = 0; x < w; ++x) Put32(v.view, x, 0, (static_cast<std::uint32_t>(alphas[x]) << 24) | 0x102030);
  RebuildMemImgDerivedBuffers(&v.view);
  EXPECT_EQ(v.view.block->runTableValid, 1);
  const std::uint8_t* runs = v.view.block->runTable;
  std::size_t n = 0;
  while (runs[n] != kRunEndOfRow) ++n;
  return Runs(v.view, n + 1);
}

TEST(MemImgRunTable, RunBytesFromAlpha) {
  EXPECT_EQ(AlphaRowRuns({0, 0, 255}), (std::vector<std::uint8_t>{0x01, 0x40, 0xC0}));
  EXPECT_EQ(AlphaRowRuns({255, 1, 254}), (std::vector<std::uint8_t>{0x40, 0x81, 0xC0}));
  EXPECT_EQ(AlphaRowRuns({7}), (std::vector<std::uint8_t>{0x80, 0xC0}));
  EXPECT_EQ(AlphaRowRuns(std::vector<int>(130, 255)), (std::vector<std::uint8_t>{0x7F, 0x7F, 0x41, 0xC0}));
  EXPECT_EQ(AlphaRowRuns(std::vector<int>(64, 0)), (std::vector<std::uint8_t>{0x3F, 0xC0}));
}

TEST(MemImgRunTable, KindsOfKeyedFormatsAndRows) {
  const struct {
    const char* what;
    int width, height, format, pal, alpha;
    std::uint32_t key;
    std::vector<std::uint32_t> pixels;  // row by row, each at the image's width
    std::vector<std::uint8_t> runs;
  } cases[] = {
      {"32-bit key: the whole pixel, top byte too", 3, 2, 1, 0, 0, 0x00FF00FF,
       {0x00FF00FF, 0x01FF00FF, 0x00FF00FF, 0x00FF00FF, 0x00FF00FF, 0x00FF00FF},
       {0x00, 0x40, 0x00, 0xC0, 0x02, 0xC0}},
      {"16-bit key", 4, 1, 0, 0, 0, 0xF81F, {0xF81F, 0xF81E, 0xF81F, 0x0000}, {0x00, 0x40, 0x00, 0x40, 0xC0}},
      {"palette index", 4, 1, 0, 1, 0, 3, {3, 3, 4, 2}, {0x01, 0x41, 0xC0}},
      // Alpha in byte 2 of the 4-byte pixel, junk in byte 3.
      {"16-bit alpha", 2, 1, 0, 0, 1, 0, {0xFF00FFFF, 0x00FF0000}, {0x00, 0x40, 0xC0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    View v;
    ASSERT_EQ(InitMemImgEx(&v.view, c.width, c.height, -1, c.key, c.format, c.pal, c.alpha, 1, nullptr), 0);
    const int bpp = MemImgBytesPerPixel(&v.view);
    for (std::size_t i = 0; i < c.pixels.size(); ++i) {
      const int x = static_cast<int>(i) % c.width, y = static_cast<int>(i) / c.width;
      std::memcpy(v.view.pixels + y * v.view.block->pitch + x * bpp, &c.pixels[i], static_cast<std::size_t>(bpp));
    }
    RebuildMemImgDerivedBuffers(&v.view);
    EXPECT_EQ(Runs(v.view, c.runs.size()), c.runs);
    EXPECT_EQ(v.view.block->alphaPlaneValid, c.alpha);
  }
}

TEST(MemImgRunTable, PremultipliedPlane) {
  View v16;
  ASSERT_EQ(InitMemImgEx(&v16.view, 2, 1, -1, 0, 0, 0, 1, 1, nullptr), 0);
  Put32(v16.view, 0, 0, 0x0080FFFF);
  Put32(v16.view, 1, 0, 0x00FF1234);
  RebuildMemImgDerivedBuffers(&v16.view);
  ASSERT_EQ(v16.view.block->alphaPlaneValid, 1);
  std::uint32_t entry;
  std::memcpy(&entry, v16.view.alphaPlane, 4);
  EXPECT_EQ(entry, 0x00807BEFu);
  std::memcpy(&entry, v16.view.alphaPlane + 4, 4);
  EXPECT_EQ(entry, 0x00FF0000u | (((0x1234 >> 11) * 255 >> 8) << 11) | ((((0x1234 >> 5) & 0x3F) * 255 >> 8) << 5) |
                       ((0x1234 & 0x1F) * 255 >> 8));

  View v32;
  ASSERT_EQ(InitMemImgEx(&v32.view, 1, 1, -1, 0, 1, 0, 1, 1, nullptr), 0);
  Put32(v32.view, 0, 0, 0x80FF4010);
  RebuildMemImgDerivedBuffers(&v32.view);
  std::memcpy(&entry, v32.view.alphaPlane, 4);
  EXPECT_EQ(entry, 0x807F2008u);
}

TEST(MemImgPixelWrite, WholeWritesValidateDerivedBuffersPartialOnesDoNot) {
  Picture src;
  ASSERT_EQ(AllocARGB8BaseImage(4, 3, &src.img), 0);
  for (std::uint32_t y = 0; y < 3; ++y) {
    for (std::uint32_t x = 0; x < 4; ++x) SetBaseImagePixel(&src.img, static_cast<int>(x), static_cast<int>(y), 10, 20, 30, x == 0 ? 0 : 255);
  }
  View v;
  ASSERT_EQ(InitMemImgEx(&v.view, 4, 3, -1, 0, 1, 0, 1, 1, nullptr), 0);
  ASSERT_GE(CopyBaseImageToMemImg(&src.img, nullptr, &v.view, 0, 0, 4, 3, 0, 0, 0), 0);
  EXPECT_EQ(v.view.block->runTableValid, 1);
  EXPECT_EQ(v.view.block->alphaPlaneValid, 1);
  EXPECT_EQ(v.view.block->runTableViewPixels, v.view.pixels);
  EXPECT_EQ(Get32(v.view, 1, 1), 0xFF0A141Eu);
  EXPECT_EQ(Runs(v.view, 3), (std::vector<std::uint8_t>{0x00, 0x42, 0xC0}));

  ASSERT_GE(CopyBaseImageToMemImg(&src.img, nullptr, &v.view, 0, 0, 2, 3, 2, 0, 0), 0);
  EXPECT_EQ(v.view.block->runTableValid, 0);
  EXPECT_EQ(v.view.block->alphaPlaneValid, 0);

  // Rectangles leaving either image are refused before any write.
  EXPECT_LT(CopyBaseImageToMemImg(&src.img, nullptr, &v.view, 1, 0, 4, 3, 0, 0, 0), 0);
  EXPECT_LT(CopyBaseImageToMemImg(&src.img, nullptr, &v.view, 0, 0, 4, 3, 1, 0, 0), 0);
  EXPECT_LT(CopyBaseImageToMemImg(&src.img, nullptr, &v.view, 0, 0, 0, 3, 0, 0, 0), 0);
}

TEST(MemImgPixelWrite, PalettisedWriteCountsAndConvertsPalette) {
  Picture src;
  BaseImage model{};
  SetColorDescPalette8(&model.format);
  for (int i = 0; i < 256; ++i) {
    model.format.palette[i] = PaletteEntry{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                           static_cast<std::uint8_t>(i ^ 0x5A), 0};
  }
  ASSERT_EQ(AllocBaseImageSameFormat(10, 1, &model, &src.img), 0);
  for (int i = 0; i < 10; ++i) src.img.pixels[i] = static_cast<std::uint8_t>(i);

  View v32;
  ASSERT_EQ(InitMemImgEx(&v32.view, 10, 1, -1, 0, 1, 1, 0, 0, nullptr), 0);
  ASSERT_GE(CopyBaseImageToMemImg(&src.img, nullptr, &v32.view, 0, 0, 10, 1, 0, 0, 0), 0);
  EXPECT_EQ(v32.view.block->paletteCount, 10);
  for (int i = 0; i < 256; ++i) {
    std::uint32_t e;
    std::memcpy(&e, v32.view.block->palette + 4 * i, 4);
    ASSERT_EQ(e, (static_cast<std::uint32_t>(i ^ 0x5A) << 16) | (static_cast<std::uint32_t>(255 - i) << 8) |
                     static_cast<std::uint32_t>(i));
  }
  EXPECT_EQ(std::memcmp(v32.view.block->palette, v32.view.block->paletteCopy, 1024), 0);
  EXPECT_EQ(v32.view.pixels[9], 9);

  View v16;
  ASSERT_EQ(InitMemImgEx(&v16.view, 10, 1, -1, 0, 0, 1, 0, 0, nullptr), 0);
  ASSERT_GE(CopyBaseImageToMemImg(&src.img, nullptr, &v16.view, 0, 0, 10, 1, 0, 0, 0), 0);
  for (int i = 0; i < 256; ++i) {
    std::uint16_t e;
    std::memcpy(&e, v16.view.block->palette + 2 * i, 2);
    const int r = i ^ 0x5A, g = 255 - i, b = i;
    ASSERT_EQ(e, ((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3)) << i;
  }
  EXPECT_EQ(std::memcmp(v16.view.block->palette, v16.view.block->paletteCopy, 512), 0);
}

TEST(MemImgPixelWrite, SixteenBitKeyNamesTheSameColourForTheConverter) {
  Picture src;
  ASSERT_EQ(AllocXRGB8BaseImage(2, 1, &src.img), 0);
  SetBaseImagePixel(&src.img, 0, 0, 255, 0, 255, 255);  // the RGB565 key 0xF81F widened
  SetBaseImagePixel(&src.img, 1, 0, 0, 0, 255, 255);
  View v;
  ASSERT_EQ(InitMemImgEx(&v.view, 2, 1, -1, 0xF81F, 0, 0, 1, 1, nullptr), 0);
  ASSERT_GE(CopyBaseImageToMemImg(&src.img, nullptr, &v.view, 0, 0, 2, 1, 0, 0, 1), 0);
  EXPECT_EQ(v.view.pixels[2], 0);    // keyed pixel: alpha 0
  EXPECT_EQ(v.view.pixels[6], 255);  // other colours keep their alpha
  EXPECT_EQ(Runs(v.view, 3), (std::vector<std::uint8_t>{0x00, 0x40, 0xC0}));
}

TEST(MemImgPixelWrite, SimpleCopyBetweenViews) {
  View src, dst;
  ASSERT_EQ(InitMemImgEx(&src.view, 4, 4, -1, 0, 1, 0, 0, 1, nullptr), 0);
  ASSERT_EQ(InitMemImgEx(&dst.view, 6, 6, -1, 0, 1, 0, 0, 1, nullptr), 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) Put32(src.view, x, y, 0x00010101u * static_cast<std::uint32_t>(y * 4 + x + 1));
  }
  FillMemImgArea(&dst.view, nullptr, 0);
  RebuildMemImgDerivedBuffers(&dst.view);
  const Rect part{1, 1, 3, 3};
  EXPECT_EQ(DrawMemImgSimple(&dst.view, &src.view, &part, 4, 4), 0);
  EXPECT_EQ(Get32(dst.view, 4, 4) & 0xFFFFFF, 0x060606u);
  EXPECT_EQ(Get32(dst.view, 5, 5) & 0xFFFFFF, 0x0B0B0Bu);
  EXPECT_EQ(Get32(dst.view, 3, 3), 0u);
  EXPECT_EQ(dst.view.block->runTableValid, 1);  // derived buffers not touched

  EXPECT_EQ(DrawMemImgSimple(&dst.view, &src.view, nullptr, 0, 0), 0);
  EXPECT_EQ(Get32(dst.view, 3, 3) & 0xFFFFFF, 0x101010u);

  const Rect empty{2, 2, 2, 3};
  EXPECT_EQ(DrawMemImgSimple(&dst.view, &src.view, &empty, 0, 0), -1);
  const Rect outside{0, 0, 5, 4};
  EXPECT_EQ(DrawMemImgSimple(&dst.view, &src.view, &outside, 0, 0), -1);
  EXPECT_EQ(DrawMemImgSimple(&dst.view, &src.view, nullptr, 3, 0), -1);  // would pass the right edge
  EXPECT_EQ(Get32(dst.view, 5, 0), 0u);
}

}  // namespace
}  // namespace qz
