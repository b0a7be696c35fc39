// Frame conversion: the fixed-point colour references, and decoded frames
// of every chroma layout arriving in the frame image with their colours.
#include <gtest/gtest.h>

#include "tests/movie/theora_fixture.h"

namespace {

using qz::testing::TestMovieOptions;

struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};

Rgb Convert(int y, int cb, int cr) {
  std::uint8_t r = 0, g = 0, b = 0;
  qz::ConvertYCbCrPixel(y, cb, cr, &r, &g, &b);
  return {r, g, b};
}

TEST(TheoraColor, StudioRangeReferencesDivideTowardZero) {
  qz::InitTheoraColorTables();
  EXPECT_EQ(Convert(16, 128, 128), (Rgb{0, 0, 0}));
  EXPECT_EQ(Convert(235, 128, 128), (Rgb{254, 254, 254})) << "219 x 19070 / 16384 is 254.9";
  EXPECT_EQ(Convert(255, 128, 128), (Rgb{255, 255, 255}));
  EXPECT_EQ(Convert(81, 90, 240), (Rgb{254, 0, 0}));
  EXPECT_EQ(Convert(128, 128, 128), (Rgb{130, 130, 130}));
  // Extreme chroma: red and green past the top, blue 325794 / 16384.
  EXPECT_EQ(Convert(255, 0, 255), (Rgb{255, 224, 19}));
  // Sums below zero divide toward zero before the clamp: -0.9 is 0, not -1.
  const qz::TheoraColorTables& tables = qz::GetTheoraColorTables();
  EXPECT_EQ(tables.luma[0], -305120);
  EXPECT_EQ(tables.crToRed[0], -3346944);
  EXPECT_EQ(tables.cbToGreen[0], 819968);
  EXPECT_EQ(tables.crToGreen[0], 1704960);
  EXPECT_EQ(tables.cbToBlue[0], -4231936);
  EXPECT_EQ(qz::GetTheoraClampTable()[-512], 0);
  EXPECT_EQ(qz::GetTheoraClampTable()[254], 254);
  EXPECT_EQ(qz::GetTheoraClampTable()[767], 255);
  // The clamp by call takes indices beyond the table too.
  const std::pair<int, int> clamps[] = {{-5000, 0}, {-1, 0}, {0, 0}, {100, 100}, {255, 255}, {256, 255}, {5000, 255}};
  for (const auto& [index, clamped] : clamps) EXPECT_EQ(qz::TheoraClamp(index), clamped) << index;
}

class TheoraConvert : public qz::testing::TheoraMovieTest,
                      public ::testing::WithParamInterface<th_pixel_fmt> {};

// The studio-red block after the number blocks, and an opaque fourth byte.
void ExpectRedBlock(const qz::BaseImage& image) {
  int x = 0;
  int y = 0;
  qz::testing::NumberBlockOrigin(static_cast<int>(image.width), qz::testing::kNumberDigits, &x, &y);
  const std::uint8_t* pixel = image.pixels + (y + 8) * image.pitch + (x + 8) * 4;
  EXPECT_NEAR(pixel[2], 254, 4);
  EXPECT_NEAR(pixel[1], 0, 4);
  EXPECT_NEAR(pixel[0], 0, 4);
  EXPECT_EQ(pixel[3], 255);
}

TEST_P(TheoraConvert, EveryChromaLayoutShowsItsFramesAndColours) {
  TestMovieOptions options;
  options.frames = 12;
  options.format = GetParam();
  ASSERT_NE(Open(options), nullptr);
  const qz::FrameStockSlot& first = movie_->frameStock[0];
  ASSERT_NE(first.used.load(), 0);
  EXPECT_EQ(first.yWidth == 2 * first.uvWidth && first.yHeight == 2 * first.uvHeight, GetParam() == TH_PF_420);
  for (int frame = 0; frame < 12; frame += 5) {
    qz::SeekTheoraFrame(movie_, frame);
    ASSERT_EQ(qz::ConvertTheoraFrame(movie_, 1, 0), frame == 0 ? 0 : 1);
    EXPECT_EQ(qz::testing::ReadFrameNumber(movie_->frameImage), frame);
    ExpectRedBlock(movie_->frameImage);
  }
  EXPECT_EQ(qz::ConvertTheoraFrame(movie_, 1, 0), 0) << "the frame is already in the image";
}

using TheoraConvertExact = qz::testing::TheoraMovieTest;

TEST_F(TheoraConvertExact, EveryPixelOfAFrameMatchesTheTableConversion) {
  TestMovieOptions options;
  options.frames = 4;
  options.texture = true;  // every channel varies
  ASSERT_NE(Open(options), nullptr);
  qz::SeekTheoraFrame(movie_, 3);
  ASSERT_EQ(qz::ConvertTheoraFrame(movie_, 1, 0), 1);
  const qz::FrameStockSlot* slot = nullptr;
  for (int i = 0; i < movie_->frameStockCount; ++i) {
    if (movie_->frameStock[i].used.load() != 0 && movie_->frameStock[i].frame.load() == 3) slot = &movie_->frameStock[i];
  }
  ASSERT_NE(slot, nullptr);
  const qz::BaseImage& image = movie_->frameImage;
  int mismatches = 0;
  for (int y = 0; y < static_cast<int>(image.height); ++y) {
    for (int x = 0; x < static_cast<int>(image.width); ++x) {
      const Rgb expected = Convert(slot->y[y * slot->yStride + x], slot->u[(y / 2) * slot->uvStride + x / 2],
                                   slot->v[(y / 2) * slot->uvStride + x / 2]);
      const std::uint8_t* pixel = image.pixels + y * image.pitch + x * 4;
      if (expected != (Rgb{pixel[2], pixel[1], pixel[0]}) || pixel[3] != 255) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(ChromaLayouts, TheoraConvert, ::testing::Values(TH_PF_420, TH_PF_422, TH_PF_444));

}  // namespace
