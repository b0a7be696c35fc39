// The message scene on the started game: which sign or boss file a cell and
// a number open, the 16 paced frames of each zoom, the page left open when
// the game quits, a missing file returning at once, the page's layout in
// pixels, and its dismissal by a fresh press only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/main_window.h"
#include "game/action_input.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/graph_handles.h"
#include "platform/clock.h"
#include "platform/glyph_provider.h"
#include "platform/window.h"
#include "tests/game/game_data_fixture.h"
#include "tools/scripted_play.h"

namespace {

constexpr int kZoomMilliseconds = 16 * kFrameMilliseconds;

class MessageSceneTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    GameDataTest::SetUp();
    Start();
    gameState.scene = kSceneFloorPlay;
    // The window is closing: every wait ends at its first pass, with the
    // page left open, so each scene shows how far it got.
    plat::SimulateCloseRequest(qz::QueryMainWindowHandle());
  }
  void WriteText(const std::string& name, const std::string& text) { data_.Write("text_en/" + name, text); }
  // Milliseconds the scene took on the virtual clock.
  static int Run(int mode, int number, const char* text = "") {
    lastFrameTime = qz::GetMillisecondCount();
    const std::int32_t before = qz::GetMillisecondCount();
    player.eventCode = 1;
    RunMessageScene(mode, number, GameString(text));
    return qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before);
  }
};

TEST_F(MessageSceneTest, CellAndBossFilesOpenAPagedWindowAndMissingOnesShowNothing) {
  WriteText("[MSG] 001 01-00.txt", "first\r\n\r\nthird");
  WriteText("[MSG] 100 78-47.txt", "far away\r\n");
  WriteText("[BOSS] 07.txt", "boss seven\r\n");
  WriteText("[BOSS] 100.txt", "");
  floorNumber = 0;
  player.x = player.y = 0;
  EXPECT_NEAR(Run(0, 0), kZoomMilliseconds, kFrameMilliseconds) << "16 paced frames to open";
  EXPECT_EQ(player.eventCode, 0);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(qz::IsValidGraphHandle(graph), 1) << "left open on quit";
  EXPECT_EQ(gameState.quitRequested, 1);

  floorNumber = 99;
  player.x = 2464;
  player.y = 1504;
  EXPECT_NEAR(Run(0, 0), kZoomMilliseconds, kFrameMilliseconds);
  player.x = 2496;  // the next cell has no sign
  EXPECT_LT(Run(0, 0), kFrameMilliseconds);
  EXPECT_EQ(player.eventCode, 0);

  EXPECT_NEAR(Run(1, 7), kZoomMilliseconds, kFrameMilliseconds);
  EXPECT_NEAR(Run(1, 100), kZoomMilliseconds, kFrameMilliseconds) << "an empty file still shows its window";
  EXPECT_LT(Run(1, 12), kFrameMilliseconds);
  EXPECT_NEAR(Run(2, 0, "a given line"), kZoomMilliseconds, kFrameMilliseconds);
  EXPECT_LT(Run(3, 0), kFrameMilliseconds);
}

// A window opens and closes in 16 paced frames each, or, in the fuzz harness's
// cut animations, with no frame shown; either way the close releases its
// graphs and renews the third screen.
TEST_F(MessageSceneTest, ZoomsTakeSixteenFramesOrNoneWhenCutAndTheCloseRenewsTheThirdScreen) {
  for (const bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut" : "played out");
    SetAnimationsCutToTheirEndForTest(cut);
    const auto expectTook = [cut](std::int32_t before) {
      const int ms = qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before);
      if (cut) {
        EXPECT_LT(ms, kFrameMilliseconds);
      } else {
        EXPECT_NEAR(ms, kZoomMilliseconds, kFrameMilliseconds);
      }
    };
    lastFrameTime = qz::GetMillisecondCount();
    const std::int32_t opening = qz::GetMillisecondCount();
    AnimateMessageWindow(1, 2);
    expectTook(opening);
    for (int graph : MessageWindowGraphs) EXPECT_EQ(qz::IsValidGraphHandle(graph), 1);
    const int oldThird = thirdScreen;
    lastFrameTime = qz::GetMillisecondCount();
    const std::int32_t closing = qz::GetMillisecondCount();
    AnimateMessageWindow(0, 2);
    SetAnimationsCutToTheirEndForTest(false);
    expectTook(closing);
    for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
    EXPECT_NE(thirdScreen, oldThird);
    EXPECT_EQ(qz::IsValidGraphHandle(thirdScreen), 1);
    EXPECT_EQ(qz::IsValidGraphHandle(oldThird), 0);
  }
}

// The page as it appears: the game over the cell-colour data set (no window
// piece is pure white) with glyphs of fixed boxes, 6 x 10 pixels on an
// advance of 8, so each text line's pixels can be found exactly.
class MessagePageTest : public qz::testing::GameDataTest {
 protected:
  struct Line {
    int top, left, right;
  };
  void SetUp() override {
    UseDataSet(datagen::ArtStyle::kCellColours);
    plat::SetGlyphProviderForTest(&glyphs_);
    Start();
    gameState.scene = kSceneFloorPlay;
  }
  void TearDown() override {
    GameDataTest::TearDown();
    plat::SetGlyphProviderForTest(nullptr);
  }
  void WriteText(const std::string& name, const std::string& text) { data_.Write("text_en/" + name, text); }
  // The white text lines on the back screen, top to bottom: bands of rows
  // holding pure white, with their first row and outermost columns.
  static std::vector<Line> WhiteLines() {
    const plat::WinRect rect{0, 0, kScreenWidth, kScreenHeight};
    qz::BaseImage image{};
    std::vector<Line> lines;
    if (qz::LockBackBufferImage(&rect, &image, -1) != 0) {
      ADD_FAILURE() << "no read-back";
      return lines;
    }
    bool inLine = false;
    for (int y = 0; y < kScreenHeight; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(image.pixels + y * image.pitch);
      int left = -1, right = -1;
      for (int x = 0; x < kScreenWidth; ++x) {
        if ((row[x] & 0xFFFFFF) != 0xFFFFFF) continue;
        if (left < 0) left = x;
        right = x;
      }
      if (left < 0) {
        inLine = false;
        continue;
      }
      if (!inLine) lines.push_back({y, left, right});
      inLine = true;
      lines.back().left = std::min(lines.back().left, left);
      lines.back().right = std::max(lines.back().right, right);
    }
    qz::ReleaseBackBufferLockSurfaces();
    return lines;
  }
  // Opens boss page `number` and leaves it on the back screen: the window is
  // closing, so the scene returns at its first wait with the page shown.
  static std::vector<Line> Page(int number) {
    plat::SimulateCloseRequest(qz::QueryMainWindowHandle());
    RunMessageScene(1, number, GameString(""));
    return WhiteLines();
  }

  plat::SyntheticGlyphProvider glyphs_;
};

TEST_F(MessagePageTest, LinesAreCentredAndSpacedTwentyEightApartAboutTheWindowsMiddle) {
  WriteText("[BOSS] 01.txt", "abc\r\n");
  WriteText("[BOSS] 02.txt", "abcdefghij\r\n\r\nx\r\n");
  WriteText("[BOSS] 03.txt", "1\r\n22\r\n333\r\n4444\r\n55555\r\n");
  WriteText("[BOSS] 04.txt", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n");
  // One line sits at 230; its glyphs' first row gives the font's offset.
  const std::vector<Line> one = Page(1);
  ASSERT_EQ(one.size(), 1u);
  const int offset = one[0].top - 230;
  EXPECT_GE(offset, 0);
  EXPECT_LT(offset, 14);
  // Centred: x = 320 - width / 2, so a line's first and last white columns
  // add up to the same sum whatever its length.
  const int sum = one[0].left + one[0].right;
  EXPECT_NEAR(sum, 639, 2);

  const std::vector<Line> three = Page(2);  // three lines, the middle one empty
  ASSERT_EQ(three.size(), 2u);
  EXPECT_EQ(three[0].top - offset, 202);
  EXPECT_EQ(three[1].top - offset, 258);
  for (const Line& line : three) EXPECT_EQ(line.left + line.right, sum);
  EXPECT_EQ(three[0].right - three[0].left, 9 * 8 + 5) << "ten glyphs on an advance of 8";

  const std::vector<Line> five = Page(3);
  ASSERT_EQ(five.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(five[i].top - offset, 174 + 28 * i);
    EXPECT_EQ(five[i].left + five[i].right, sum);
  }

  // Eight lines: six are read (top 160), five drawn.
  const std::vector<Line> eight = Page(4);
  ASSERT_EQ(eight.size(), 5u);
  EXPECT_EQ(eight[0].top - offset, 160);
  EXPECT_EQ(eight[4].top - offset, 160 + 4 * 28);
}

TEST_F(MessagePageTest, AHeldConfirmDoesNotDismissThePageAFreshCancelClosesIt) {
  WriteText("[MSG] 001 01-00.txt", "a sign\r\n");
  floorNumber = 0;
  player.x = player.y = 0;
  player.eventCode = 1;
  confirmLatch = 1;  // Confirm held since the floor's frame
  const int oldThird = thirdScreen;
  {
    veltrin::testing::ScriptedPlay play;
    play.Hold({veltrin::testing::kKeyJump}, 16 + 20).Tap(veltrin::testing::kKeyShot);
    RunMessageScene(0, 0, GameString(""));
    EXPECT_EQ(play.frames(), 16 + 21 + 16) << "open, waiting until the Cancel press, closing";
  }
  EXPECT_EQ(player.eventCode, 0);
  EXPECT_EQ(gameState.quitRequested, 0);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1) << "released by the close";
  EXPECT_NE(thirdScreen, oldThird);
  EXPECT_EQ(qz::IsValidGraphHandle(thirdScreen), 1);
  EXPECT_EQ(jumpLatch, 1);
  EXPECT_EQ(dashBlock, 1);
}

}  // namespace
