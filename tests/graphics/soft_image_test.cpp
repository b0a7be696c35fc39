// Software-image handles, the scaled base-image copy, the built-in textures
// and mesh material images.
#include "graphics/soft_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/handle.h"
#include "core/memory.h"
#include "image/image_decode.h"

namespace {

struct OwnedImage {
  qz::BaseImage image{};
  ~OwnedImage() { qz::FreeBaseImagePixels(&image); }
};

std::vector<int> PixelsOf(qz::BaseImage* image) {
  std::vector<int> out;
  for (std::uint32_t y = 0; y < image->height; ++y) {
    for (std::uint32_t x = 0; x < image->width; ++x) {
      int r = 0, g = 0, b = 0;
      qz::GetBaseImagePixel(image, static_cast<int>(x), static_cast<int>(y), &r, &g, &b, nullptr);
      out.push_back(r << 16 | g << 8 | b);
    }
  }
  return out;
}

TEST(SoftImageHandles, ReleasingTheHighestMovesTheRangeEndPastEmptySlots) {
  const int blocks = qz::GetTrackedBlockCount();
  const int a = qz::CreateSoftImageHandleForTest(4, 4);
  const int b = qz::CreateSoftImageHandleForTest(4, 4);
  const int c = qz::CreateSoftImageHandleForTest(4, 4);
  ASSERT_EQ(a & qz::kHandleKindMask, qz::kSoftImageHandle);
  const int end = qz::GetSoftImageRangeEnd();
  EXPECT_EQ(qz::FreeSoftImageHandle(b), 0);
  EXPECT_EQ(qz::GetSoftImageRangeEnd(), end);
  EXPECT_EQ(qz::FreeSoftImageHandle(b), -1);
  EXPECT_EQ(qz::FreeSoftImageHandle(c), 0);
  EXPECT_EQ(qz::GetSoftImageRangeEnd(), end - 2);
  // A stale check number is refused even though the slot is occupied.
  EXPECT_EQ(qz::FreeSoftImageHandle(a ^ (1 << 16)), -1);
  EXPECT_EQ(qz::FreeAllSoftImageHandles(), 0);
  EXPECT_EQ(qz::GetSoftImageRangeEnd(), 0);
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
}

TEST(StretchBaseImage, NearestDoublesEachPixelAndBilinearStaysInsideTheSource) {
  OwnedImage source, destination;
  ASSERT_EQ(qz::AllocXRGB8BaseImage(2, 2, &source.image), 0);
  ASSERT_EQ(qz::AllocXRGB8BaseImage(4, 4, &destination.image), 0);
  qz::SetBaseImagePixel(&source.image, 0, 0, 10, 0, 0, 255);
  qz::SetBaseImagePixel(&source.image, 1, 0, 20, 0, 0, 255);
  qz::SetBaseImagePixel(&source.image, 0, 1, 30, 0, 0, 255);
  qz::SetBaseImagePixel(&source.image, 1, 1, 40, 0, 0, 255);
  ASSERT_EQ(qz::StretchBaseImageRect(0, 0, 2, 2, &source.image, 0, 0, 4, 4, &destination.image, 0), 0);
  const std::vector<int> nearest = PixelsOf(&destination.image);
  const int expected[4][4] = {{10, 10, 20, 20}, {10, 10, 20, 20}, {30, 30, 40, 40}, {30, 30, 40, 40}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(nearest[y * 4 + x] >> 16, expected[y][x]) << x << "," << y;
  }

  // Bilinear (16-bit weights of 65535 - f and f, so a little below exact):
  // halfway between columns, and the last column and row read no further
  // than the source's own last ones.
  ASSERT_EQ(qz::StretchBaseImageRect(0, 0, 2, 2, &source.image, 0, 0, 4, 4, &destination.image, 1), 0);
  const std::vector<int> mixed = PixelsOf(&destination.image);
  const int exact[4][4] = {{10, 15, 20, 20}, {20, 25, 30, 30}, {30, 35, 40, 40}, {30, 35, 40, 40}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_NEAR(mixed[y * 4 + x] >> 16, exact[y][x], 2) << x << "," << y;
  }

  EXPECT_EQ(qz::StretchBaseImageRect(0, 0, 3, 2, &source.image, 0, 0, 4, 4, &destination.image, 0), -1);
  EXPECT_EQ(qz::StretchBaseImageRect(1, 0, 1, 2, &source.image, 0, 0, 4, 4, &destination.image, 0), -1);
  EXPECT_EQ(qz::StretchBaseImageRect(0, 0, 2, 2, &source.image, -1, 0, 4, 4, &destination.image, 0), -1);
}

TEST(BuiltinImages, RunLengthTgaBytesDecodeToTheWhiteSquareAndTheFourStepRamp) {
  const qz::BuiltinImageBytes white = qz::GetWhiteSquareTga();
  const qz::BuiltinImageBytes ramp = qz::GetFourStepRampTga();
  EXPECT_EQ(white.size, 84u);
  EXPECT_EQ(ramp.size, 172u);
  EXPECT_EQ(white.bytes[2], 10);
  EXPECT_EQ(ramp.bytes[2], 10);

  OwnedImage whiteImage, rampImage;
  ASSERT_EQ(qz::DecodeImageBytesToBaseImage(nullptr, white.bytes, white.size, 1, &whiteImage.image, 0), 0);
  ASSERT_EQ(whiteImage.image.width, 8u);
  ASSERT_EQ(whiteImage.image.height, 8u);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      int r = 0, g = 0, b = 0, a = 0;
      qz::GetBaseImagePixel(&whiteImage.image, x, y, &r, &g, &b, &a);
      EXPECT_EQ((r & g & b & a), 255);
    }
  }
  ASSERT_EQ(qz::DecodeImageBytesToBaseImage(nullptr, ramp.bytes, ramp.size, 1, &rampImage.image, 0), 0);
  ASSERT_EQ(rampImage.image.width, 256u);
  ASSERT_EQ(rampImage.image.height, 8u);
  const std::vector<int> pixels = PixelsOf(&rampImage.image);
  for (int x = 0; x < 256; ++x) {
    const int step = (x / 64) * 0x55;
    EXPECT_EQ(pixels[7 * 256 + x], step << 16 | step << 8 | step) << x;
  }
}

TEST(MaterialImages, ImagesGrowToPowersOfTwoAndAFlatHeightMapPointsUp) {
  // Uncompressed 24-bit TGA of one grey.
  const auto greyTga = [](int width, int height) {
    std::vector<std::uint8_t> tga(18 + width * height * 3, 0x40);
    std::fill(tga.begin(), tga.begin() + 18, 0);
    tga[2] = 2;
    tga[12] = static_cast<std::uint8_t>(width);
    tga[14] = static_cast<std::uint8_t>(height);
    tga[16] = 24;
    tga[17] = 0x20;
    return tga;
  };
  const std::vector<std::uint8_t> tga = greyTga(100, 60);
  const int blocks = qz::GetTrackedBlockCount();
  {
    OwnedImage image, alpha;
    ASSERT_EQ(qz::BuildMaterialTextureImages(&image.image, &alpha.image, tga.data(), tga.size(), nullptr, 0, 0, 1.0f,
                                             0),
              0);
    EXPECT_EQ(image.image.width, 128u);
    EXPECT_EQ(image.image.height, 64u);
    EXPECT_EQ(alpha.image.pixels, nullptr);

    // A flat height map already of power-of-two size, so no stretch blurs it.
    const std::vector<std::uint8_t> flat = greyTga(128, 64);
    OwnedImage normals, noAlpha;
    ASSERT_EQ(qz::BuildMaterialTextureImages(&normals.image, &noAlpha.image, flat.data(), flat.size(), nullptr, 0,
                                             1, 4.0f, 0),
              0);
    int r = 0, g = 0, b = 0;
    qz::GetBaseImagePixel(&normals.image, 5, 5, &r, &g, &b, nullptr);
    EXPECT_EQ(r, 127);
    EXPECT_EQ(g, 127);
    EXPECT_EQ(b, 255);
  }
  qz::BaseImage image{}, alpha{};
  const std::uint8_t garbage[4] = {1, 2, 3, 4};
  EXPECT_EQ(qz::BuildMaterialTextureImages(&image, &alpha, garbage, sizeof(garbage), tga.data(), tga.size(), 0,
                                           1.0f, 0),
            -1);
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
}

}  // namespace
