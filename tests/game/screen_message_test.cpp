// The message scene on the started game: which sign or boss file a cell and
// a number open, the 16 paced frames of each zoom, the page left open when
// the game quits, and a missing file returning at once.
#include <gtest/gtest.h>

#include <string>

#include "core/clock.h"
#include "core/main_window.h"
#include "game/action_input.h"
#include "game/game_assets.h"
#include "game/game_entry.h"
#include "game/game_state.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/graph_handles.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "tests/game/game_data_fixture.h"

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

TEST_F(MessageSceneTest, ClosingAWindowTakesSixteenFramesAndRenewsTheThirdScreen) {
  AnimateMessageWindow(1, 2);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(qz::IsValidGraphHandle(graph), 1);
  const int oldThird = thirdScreen;
  lastFrameTime = qz::GetMillisecondCount();
  const std::int32_t before = qz::GetMillisecondCount();
  AnimateMessageWindow(0, 2);
  EXPECT_NEAR(qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before), kZoomMilliseconds, kFrameMilliseconds);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
  EXPECT_NE(thirdScreen, oldThird);
  EXPECT_EQ(qz::IsValidGraphHandle(thirdScreen), 1);
  EXPECT_EQ(qz::IsValidGraphHandle(oldThird), 0);
}

}  // namespace
