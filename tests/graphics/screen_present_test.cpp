// The present on both paths: the back screen reaches the window's framebuffer
// whole, stretched by the window scale and under the 320 x 240 emulation;
// the front screen is kept on view by its timer; frames drawn into the sub
// back buffer reach the window too.
#include <gtest/gtest.h>

#include "core/library.h"
#include "core/log_text.h"
#include "core/window_services.h"
#include "graphics/draw_settings_block.h"
#include "graphics/screen_present.h"
#include "support/scratch_log.h"
#include "graphics/screen_test_support.h"

namespace {

using qz::testing::ScreenPath;

class ScreenPresent : public qz::testing::ScreenLibraryTest {};

TEST_P(ScreenPresent, BackScreenReachesTheWindowWholeAndStretchedByTheWindowScale) {
  Start();
  qz::testing::PaintPattern();
  ASSERT_EQ(qz::PresentFrame(), 0);
  const qz::testing::Picture shown = qz::testing::ReadWindow();
  ASSERT_EQ(shown.width, 640);
  ASSERT_EQ(shown.height, 480);
  EXPECT_EQ(qz::testing::CountPatternMismatches(shown, 1), 0);
  const plat::WinRect dest = qz::GetLastPresentDestRect();
  EXPECT_EQ(dest.right, 640);
  EXPECT_EQ(dest.bottom, 480);
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

TEST_P(ScreenPresent, WindowScaleTwoStretchesToTwiceTheSize) {
  qz::SetWindowScaleFactor(2.0, 2.0);
  Start();
  qz::testing::PaintPattern();
  ASSERT_EQ(qz::PresentFrame(), 0);
  const plat::WinRect dest = qz::GetLastPresentDestRect();
  EXPECT_EQ(dest.right - dest.left, 1280);
  EXPECT_EQ(dest.bottom - dest.top, 960);
  const qz::testing::Picture shown = qz::testing::ReadWindow();
  ASSERT_EQ(shown.width, 1280);
  ASSERT_EQ(shown.height, 960);
  EXPECT_EQ(qz::testing::CountPatternMismatches(shown, 2), 0);
}

TEST_P(ScreenPresent, EmulationFillsTheWindowWithTheTopLeftQuarter) {
  Start();
  qz::SetScreen320x240Emulation(1);
  qz::testing::PaintPattern();
  ASSERT_EQ(qz::PresentFrame(), 0);
  qz::SetScreen320x240Emulation(0);
  const plat::WinRect source = qz::GetLastPresentSourceRect();
  EXPECT_EQ(source.right, 320);
  EXPECT_EQ(source.bottom, 240);
  const qz::testing::Picture shown = qz::testing::ReadWindow();
  ASSERT_EQ(shown.width, 640);
  EXPECT_EQ(qz::testing::CountPatternMismatches(shown, 2), 0);
}

TEST_P(ScreenPresent, FrontScreenTimerPresentsUntilAnotherTargetIsChosen) {
  Start();
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0x123456);
  ASSERT_EQ(qz::SelectDrawTarget(qz::kFrontScreen), 0);
  plat::Sleep(40);
  ASSERT_EQ(qz::PumpMessagesEntry(), 0);
  EXPECT_EQ(qz::testing::ReadWindow().At(300, 200), 0x123456u);

  // Each tick arms the next one.
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0x654321);
  plat::Sleep(40);
  ASSERT_EQ(qz::PumpMessagesEntry(), 0);
  EXPECT_EQ(qz::testing::ReadWindow().At(300, 200), 0x654321u);

  ASSERT_EQ(qz::SelectDrawTarget(qz::kBackScreen), 0);
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0xABCDEF);
  for (int tick = 0; tick < 3; ++tick) {
    plat::Sleep(40);
    ASSERT_EQ(qz::PumpMessagesEntry(), 0);
  }
  EXPECT_EQ(qz::testing::ReadWindow().At(300, 200), 0x654321u);
}

TEST_P(ScreenPresent, RefusedAfterTheEndRequestAndBeforeTheStart) {
  EXPECT_EQ(qz::PresentFrame(), -1);
  Start();
  qz::SetEndRequest(1);
  EXPECT_EQ(qz::PresentFrame(), -1);
  qz::SetEndRequest(0);
  EXPECT_EQ(qz::PresentFrame(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, ScreenPresent, ::testing::Values(ScreenPath::kDevice, ScreenPath::kSoftware),
                         qz::testing::ScreenPathName);

class SubBackBuffer : public qz::testing::ScreenLibraryTest {};

TEST_P(SubBackBuffer, StartsWithTheLastFrameTakesLaterFramesAndPresentCopiesThemBack) {
  Start();
  qz::testing::PaintPattern();
  const qz::GraphicsState& state = qz::GetGraphicsState();
  ASSERT_EQ(qz::SwitchToSubBackBuffer(), 0);
  ASSERT_NE(state.subBackBuffer, nullptr);
  EXPECT_EQ(qz::testing::CountPatternMismatches(qz::testing::ReadScreen(), 1), 0);
  plat::D3D9StateSnapshot snapshot{};
  ASSERT_TRUE(plat::GetD3D9StateSnapshot(state.device, &snapshot));
  EXPECT_EQ(snapshot.renderTarget, state.subBackBuffer);

  // A second switch keeps the same surface.
  plat::IDirect3DSurface9* first = state.subBackBuffer;
  ASSERT_EQ(qz::SwitchToSubBackBuffer(), 0);
  EXPECT_EQ(state.subBackBuffer, first);

  qz::GetWindowSystemState().settings.backgroundRed = 0x20;
  qz::GetWindowSystemState().settings.backgroundGreen = 0x40;
  qz::GetWindowSystemState().settings.backgroundBlue = 0x60;
  ASSERT_EQ(qz::ClearDrawTarget(nullptr), 0);
  ASSERT_EQ(qz::PresentFrame(), 0);
  EXPECT_EQ(qz::testing::ReadWindow().At(10, 470), 0x204060u);
}

TEST_P(SubBackBuffer, ThatCannotBeMadeIsLoggedAndDrawingStaysOnTheBackBuffer) {
  qz::testing::ScratchLog log;
  Start();
  plat::FailD3D9CallForTest("CreateRenderTarget", 1, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(qz::SwitchToSubBackBuffer(), -1);
  EXPECT_EQ(qz::GetGraphicsState().subBackBuffer, nullptr);
  EXPECT_TRUE(log.Contains(qz::text::kGfxSubBackBufferCreateFailed));
}

TEST_P(SubBackBuffer, FullScreenRepaintMovesDrawingIntoIt) {
  qz::ChangeWindowMode(0);
  Start();
  qz::testing::PaintPattern();
  ASSERT_EQ(qz::RepaintScreen(), 0);
  ASSERT_NE(qz::GetGraphicsState().subBackBuffer, nullptr);
  // The whole screen fills the full-screen window.
  const qz::testing::Picture shown = qz::testing::ReadWindow();
  int wrong = 0;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) {
      wrong += shown.At(x, y) != qz::testing::PatternColor(x * 640 / shown.width, y * 480 / shown.height) ? 1 : 0;
    }
  }
  EXPECT_EQ(wrong, 0);
  // Later frames are drawn into the sub back buffer and still reach the window.
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0x0A0B0C);
  ASSERT_EQ(qz::PresentFrame(), 0);
  EXPECT_EQ(qz::testing::ReadWindow().At(shown.width - 1, shown.height - 1), 0x0A0B0Cu);
}

INSTANTIATE_TEST_SUITE_P(DevicePath, SubBackBuffer, ::testing::Values(ScreenPath::kDevice),
                         qz::testing::ScreenPathName);

}  // namespace
