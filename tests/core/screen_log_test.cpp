// The on-screen log: refused before the graphics start, its edge font made
// on start and made again after the font code deletes it, and its lines drawn
// in white with a black edge.
#include <gtest/gtest.h>

#include <cstring>

#include "core/screen_log.h"
#include "font/font_handle.h"
#include "tests/graphics/draw_test_support.h"

namespace qz {
namespace {

TEST(ScreenLogTest, RefusedWithoutAScreen) {
  GetScreenLogState().started = 0;
  EXPECT_EQ(StartScreenLog(), -1);
}

TEST(ScreenLogTest, KeepsItsFontAndDrawsItsLines) {
  testing::DrawingLibrary library(testing::Renderer::kSoftware);
  ScreenLogState& log = GetScreenLogState();
  ASSERT_EQ(log.started, 1);
  const FontRecord* font = GetFontRecord(log.fontHandle);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->size, 16);
  EXPECT_EQ(font->thickness, 4);
  EXPECT_EQ(font->type, 1);
  EXPECT_EQ(log.fontNeeded, 0);
  EXPECT_EQ(StartScreenLog(), 0);
  EXPECT_EQ(GetScreenLogLineCount(), 0);

  const int first = log.fontHandle;
  DeleteFontHandle(first);
  EXPECT_EQ(log.fontNeeded, 1);
  testing::PaintBackScreen(0, 0, 128);
  std::strcpy(log.lines[1], "log line");
  EXPECT_EQ(DrawScreenLog(), 0);
  EXPECT_EQ(log.fontNeeded, 0);
  EXPECT_EQ(IsFontHandleValid(log.fontHandle), 1);
  const testing::Frame frame = testing::ReadBackScreen();
  int white = 0;
  int black = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const std::uint32_t pixel = frame.At(x, y);
      if (pixel == 0x000080) continue;
      EXPECT_TRUE(y >= 12 && y < 40) << x << "," << y;
      white += pixel == 0xFFFFFF ? 1 : 0;
      black += pixel == 0x000000 ? 1 : 0;
    }
  }
  EXPECT_GT(white, 20);
  EXPECT_GT(black, 20);
  log.lines[1][0] = '\0';
}

}  // namespace
}  // namespace qz
