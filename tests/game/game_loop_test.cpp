// The frame loop's machinery on a started library: frame pacing on the
// virtual clock (also across the 31-bit wrap of the millisecond counter),
// the quit check (Escape, held Escape, the window closing), the crossfade's
// frames and pictures, and the deferred fade of a scene change.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/clock.h"
#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "game/crossfade.h"
#include "game/game_assets.h"
#include "game/game_entry.h"
#include "game/game_state.h"
#include "game/screen_frame.h"
#include "game/screens.h"
#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "platform/window.h"
#include "support/scratch_log.h"
#include "tests/game/game_library_start.h"
#include "tests/game/game_screen_probe.h"

namespace {

constexpr std::uint64_t kMillisecond = 1000000;

// The library started as the game starts it, without the game's files. The
// manual sink mixes only when asked, so the jumps of the virtual clock never
// reach a mixing thread.
class GameLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(veltrin::testing::StartLibraryForGameTest("QzGameLoop"));
    window_ = qz::QueryMainWindowHandle();
    qz::SelectDrawTarget(qz::kBackScreen);
    oldScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
    newScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
    ResetNewGame();
    fadeRequest = skipFade = 0;
    lastFrameTime = qz::GetMillisecondCount();
  }
  void TearDown() override {
    plat::SimulateKey(window_, plat::VK_ESCAPE, false);
    qz::ReleaseAllGraphs();
    qz::EndLibraryEntry();
    oldScreen = newScreen = -1;
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
    plat::UseVirtualTime(false);
  }
  static void Fill(std::uint32_t rgb) {
    qz::DrawSolidRectangle(0, 0, kScreenWidth, kScreenHeight,
                           qz::MakeColorValue(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
  }
  // Milliseconds of the millisecond counter that the call took.
  template <typename Call>
  static int Timed(Call call) {
    const std::int32_t before = qz::GetMillisecondCount();
    call();
    return qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before);
  }
  // Frames the call presented on its own: the crossfade pumps the window once
  // for each frame it shows.
  template <typename Call>
  static int FadeFrames(Call call) {
    const int before = qz::GetPumpPassCount();
    call();
    return qz::GetPumpPassCount() - before;
  }

  plat::HWND window_ = nullptr;
  qz::testing::ScratchLog log_;
};

TEST_F(GameLoopTest, WaitFrameKeepsSixteenMillisecondsAndDoesNotCatchUp) {
  EXPECT_GE(Timed([] { WaitFrame(); }), kFrameMilliseconds);
  // A slow frame is not made up for: the next wait is a full frame again.
  plat::AdvanceVirtualTime(50 * kMillisecond);
  EXPECT_LE(Timed([] { WaitFrame(); }), 1);
  EXPECT_GE(Timed([] { WaitFrame(); }), kFrameMilliseconds);
}

// The clock never goes back, so the wrap runs in a child process: the tests
// after it in this process keep a clock far from the wrap.
TEST_F(GameLoopTest, WaitFrameEndsAcrossTheCounterWrap) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // Put the counter 5 ms before its 31-bit wrap, then wait over it.
        const auto now = static_cast<std::uint32_t>(qz::GetMillisecondCount());
        plat::AdvanceVirtualTime((0x7FFFFFFFu - now - 5) * kMillisecond);
        WaitFrame();
        const std::int32_t before = lastFrameTime;
        const std::int32_t after = WaitFrame();  // hung here before the wrap was allowed for
        const bool wrapped = before > 0x7FFFFFFF - kFrameMilliseconds && after < 2 * kFrameMilliseconds;
        const int status = wrapped && qz::ElapsedMilliseconds(after, before) >= kFrameMilliseconds ? 0 : 1;
        // The child's own start ends here: its window's lock file and its log folder go.
        TearDown();
        std::filesystem::remove_all(log_.folder());
        std::_Exit(status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(GameLoopTest, EscapeLeavesAFloorForTheTitleThenQuitsWhenHeld) {
  gameState.scene = kSceneFloorPlay;
  plat::SimulateKey(window_, plat::VK_ESCAPE, true);
  qz::PumpMessagesEntry();
  plat::AdvanceVirtualTime(2 * kMillisecond);
  EXPECT_EQ(CheckQuitRequest(), 0);
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(gameState.quitRequested, 0);
  plat::AdvanceVirtualTime(2 * kMillisecond);
  EXPECT_EQ(CheckQuitRequest(), 0);
  EXPECT_EQ(gameState.quitRequested, 1);
}

TEST_F(GameLoopTest, ClosingTheWindowEndsTheLoop) {
  gameState.scene = 4;  // a scene that runs nothing
  EXPECT_EQ(CheckQuitRequest(), 0);
  plat::SimulateCloseRequest(window_);
  EXPECT_EQ(CheckQuitRequest(), 1);
  EXPECT_EQ(gameState.quitRequested, 1);
  RunFrameLoop();  // returns at once
}

// Played out, a fade shows a frame per step; the fuzz harness's cut fades show
// one frame each. Both end on the picture the whole fade ends on.
TEST_F(GameLoopTest, CrossfadeShowsOneFramePerStepOrOneWhenCutAndEndsOnTheNewPicture) {
  for (const bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut" : "played out");
    SetAnimationsCutToTheirEndForTest(cut);
    Fill(0xFF0000);
    CaptureScreen(oldScreen);
    Fill(0x0000FF);
    CaptureScreen(newScreen);
    const int oldBefore = oldScreen;
    const int newBefore = newScreen;
    // Mode 2: alphas 0..120, 16 frames, and the half-mixed picture stays.
    EXPECT_EQ(FadeFrames([] { CrossfadeScreens(2); }), cut ? 1 : 16);
    const std::uint32_t mixed = qz::testing::ScreenPixel(320, 240);
    EXPECT_NEAR(static_cast<int>(mixed >> 16), 255 * 135 / 255, 2);
    EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 255 * 120 / 255, 2);
    if (!cut) {
      // Both work graphs are new, valid, 640 by 480 and blank.
      EXPECT_NE(oldScreen, oldBefore);
      EXPECT_NE(newScreen, newBefore);
      EXPECT_EQ(qz::IsValidGraphHandle(oldBefore), 0);
      for (int graph : {oldScreen, newScreen}) {
        int w = 0, h = 0;
        ASSERT_EQ(qz::QueryGraphSize(graph, &w, &h), 0);
        EXPECT_EQ(w, kScreenWidth);
        EXPECT_EQ(h, kScreenHeight);
        Fill(0x00FF00);
        qz::BlitGraph(0, 0, graph, 0);
        EXPECT_EQ(qz::testing::ScreenPixel(100, 100), 0u);
      }
    }

    // Mode 0: 32 mixed frames and a final frame of the new picture alone;
    // mode 3: 8 and one; other modes fade as mode 1.
    Fill(0x0000FF);
    CaptureScreen(newScreen);
    EXPECT_EQ(FadeFrames([] { CrossfadeScreens(0); }), cut ? 1 : 33);
    EXPECT_EQ(qz::testing::ScreenPixel(10, 470), 0x0000FFu);
    EXPECT_EQ(FadeFrames([] { CrossfadeScreens(3); }), cut ? 1 : 9);
    EXPECT_EQ(FadeFrames([] { CrossfadeScreens(7); }), cut ? 1 : 17);
  }
  SetAnimationsCutToTheirEndForTest(false);
}

// The start picture is captured for every fade that shows it: all of them
// played out, and mode 2's half blend when cut; a cut fade to the new picture
// alone leaves oldScreen as it was.
TEST_F(GameLoopTest, AFadeStartIsCapturedOnlyWhereTheFadeShowsIt) {
  const auto oldScreenPixel = [] {
    Fill(0x00FF00);
    qz::BlitGraph(0, 0, oldScreen, 0);
    return qz::testing::ScreenPixel(320, 240);
  };
  SetAnimationsCutToTheirEndForTest(true);
  Fill(0xFF0000);
  CaptureFadeStart(1);
  EXPECT_EQ(oldScreenPixel(), 0u) << "a cut mode-1 fade never shows its start";
  Fill(0xFF0000);
  CaptureFadeStart(2);
  Fill(0x0000FF);
  EXPECT_EQ(FadeFrames([] { CrossfadeToDrawnScreen(2); }), 1);
  const std::uint32_t mixed = qz::testing::ScreenPixel(320, 240);
  EXPECT_NEAR(static_cast<int>(mixed >> 16), 255 * 135 / 255, 2);
  EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 255 * 120 / 255, 2);
  Fill(0xFF0000);
  FadeScreenToBlack(1);
  EXPECT_EQ(qz::testing::ScreenPixel(320, 240), 0u);
  EXPECT_EQ(oldScreenPixel(), 0u) << "the black screen is the next start";
  SetAnimationsCutToTheirEndForTest(false);

  Fill(0xFF0000);
  CaptureFadeStart(1);
  EXPECT_EQ(oldScreenPixel(), 0xFF0000u);
  // Played out, a fade to black starts on the screen as drawn, not on an
  // earlier capture: closing the window stops it after that first frame.
  Fill(0x0000FF);
  plat::SimulateCloseRequest(window_);
  EXPECT_EQ(FadeFrames([] { FadeScreenToBlack(1); }), 1);
  EXPECT_EQ(qz::testing::ScreenPixel(320, 240), 0x0000FFu);
}

TEST_F(GameLoopTest, WindowClosedDuringACrossfadeEndsItAndSetsTheQuitFlag) {
  plat::SimulateCloseRequest(window_);
  EXPECT_EQ(FadeFrames([] { CrossfadeScreens(0); }), 1);
  EXPECT_EQ(gameState.quitRequested, 1);
  EXPECT_EQ(qz::IsValidGraphHandle(newScreen), 1);
}

TEST_F(GameLoopTest, SceneChangeFadesOnTheFrameAfterIntoThatFramesPicture) {
  gameState.scene = 4;  // draws nothing: the frame is the cleared screen
  Fill(0xFFFFFF);
  RequestDeferredFade(2);  // captures the white screen as the old picture
  const int oldBefore = oldScreen;
  // The frame of the request: no fade, the request survives.
  EXPECT_EQ(FadeFrames([] { RunFrame(); }), 0);
  EXPECT_EQ(fadeRequest, 2);
  EXPECT_EQ(skipFade, 0);
  EXPECT_EQ(oldScreen, oldBefore);
  // The next frame: 16 mixed frames and the final one.
  EXPECT_EQ(FadeFrames([] { RunFrame(); }), 17);
  EXPECT_EQ(fadeRequest, 0);
  EXPECT_NE(oldScreen, oldBefore);
  EXPECT_EQ(qz::testing::ScreenPixel(320, 240), 0u);  // faded into the cleared frame
  // Then nothing pending: plain frames.
  EXPECT_EQ(FadeFrames([] { RunFrame(); }), 0);
}

}  // namespace
