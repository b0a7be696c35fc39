// The present on both paths: the back screen reaches the window whole,
// stretched by the window scale and under the 320 x 240 emulation; the
// front screen is kept on view by its timer; full-screen repaints move
// drawing into the sub back buffer.
#include <gtest/gtest.h>

#include "core/log_text.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/draw_settings_block.h"
#include "graphics/screen_present.h"
#include "platform/ddraw.h"
#include "platform/window.h"
#include "platform/window_layered.h"
#include "graphics/screen_test_support.h"
#include "support/scratch_log.h"

namespace {

using qz::testing::ScreenPath;

class ScreenPresent : public qz::testing::ScreenLibraryTest {};

TEST_P(ScreenPresent, BackScreenReachesTheWindowAndTheEmulationShowsTheTopLeftQuarter) {
  EXPECT_EQ(qz::PresentFrame(), -1);  // before the start
  Start();
  qz::testing::PaintPattern();
  ASSERT_EQ(qz::PresentFrame(), 0);
  const qz::testing::Picture whole = qz::testing::ReadWindow();
  ASSERT_EQ(whole.width, 640);
  ASSERT_EQ(whole.height, 480);
  EXPECT_EQ(whole.PatternMismatches(640, 480), 0);

  qz::SetScreen320x240Emulation(1);
  ASSERT_EQ(qz::PresentFrame(), 0);
  qz::SetScreen320x240Emulation(0);
  EXPECT_EQ(qz::GetLastPresentSourceRect().right, 320);
  EXPECT_EQ(qz::testing::ReadWindow().PatternMismatches(320, 240), 0);

  qz::SetEndRequest(1);
  EXPECT_EQ(qz::PresentFrame(), -1);
  qz::SetEndRequest(0);
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
  EXPECT_EQ(shown.PatternMismatches(640, 480), 0);
}

TEST_P(ScreenPresent, FrontScreenTimerPresentsUntilAnotherTargetIsChosen) {
  Start();
  ASSERT_EQ(qz::SelectDrawTarget(qz::kFrontScreen), 0);
  for (const std::uint32_t color : {0x123456u, 0x654321u}) {  // each tick arms the next
    qz::testing::PaintScreenRect(0, 0, 640, 480, color);
    plat::Sleep(40);
    ASSERT_EQ(qz::PumpMessagesEntry(), 0);
    EXPECT_EQ(qz::testing::ReadWindow().At(300, 200), color);
  }
  ASSERT_EQ(qz::SelectDrawTarget(qz::kBackScreen), 0);
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0xABCDEF);
  for (int tick = 0; tick < 3; ++tick) {
    plat::Sleep(40);
    ASSERT_EQ(qz::PumpMessagesEntry(), 0);
  }
  EXPECT_EQ(qz::testing::ReadWindow().At(300, 200), 0x654321u);
}

// A window repaint shows the frame again without waiting for a vertical
// blank, and leaves the program's wait setting as it was.
TEST_P(ScreenPresent, RepaintsForTheWindowDoNotWaitForTheBlank) {
  Start();
  ASSERT_EQ(qz::SetPresentVSyncWait(1), 0);
  qz::testing::PaintPattern();
  const int waits = plat::GetVerticalBlankWaitCount();
  const plat::HWND window = qz::GetWindowSystemState().mainWindow;
  ASSERT_EQ(plat::InvalidateRect(window, nullptr), plat::TRUE);
  ASSERT_EQ(plat::UpdateWindow(window), plat::TRUE);
  EXPECT_EQ(plat::GetVerticalBlankWaitCount(), waits);
  EXPECT_EQ(qz::GetPresentVSyncWait(), 1);
  EXPECT_EQ(qz::testing::ReadWindow().PatternMismatches(640, 480), 0);
}

// A layered window shows the screen read back, pixels of the transparent
// colour cut out; it needs no refresh timer. Its section goes with the end.
TEST_P(ScreenPresent, LayeredWindowShowsTheScreenWithTheTransparentColourCutOut) {
  const int sections = plat::GetLiveDibSectionCount();
  qz::GetWindowSystemState().settings.layeredWindow = 1;
  Start();
  ASSERT_EQ(qz::IsLayeredWindowMode(), 1);
  // Distinct channels: the colour key goes to the window as 0x00BBGGRR.
  ASSERT_EQ(qz::SetTransparentColorRGB(0x11, 0x22, 0x33), 0);
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0x336699);
  qz::testing::PaintScreenRect(100, 50, 200, 150, 0x112233);
  qz::testing::PaintScreenRect(300, 50, 400, 150, 0x332211);
  ASSERT_EQ(qz::PresentFrame(), 0);

  plat::LayeredWindowImage image;
  const plat::HWND window = qz::GetWindowSystemState().mainWindow;
  ASSERT_TRUE(plat::ReadLayeredWindowImage(window, &image));
  ASSERT_EQ(image.width, 640);
  ASSERT_EQ(image.height, 480);
  plat::WinRect rect{};
  plat::GetWindowRect(window, &rect);
  EXPECT_EQ(image.position.x, rect.left);
  EXPECT_EQ(image.position.y, rect.top);
  const auto at = [&image](int x, int y) { return image.pixels[static_cast<std::size_t>(y) * 640 + x]; };
  EXPECT_EQ(at(10, 10), 0xFF336699u);
  EXPECT_EQ(at(150, 100) >> 24, 0u) << "the transparent colour is cut out";
  EXPECT_EQ(at(199, 149) >> 24, 0u);
  EXPECT_EQ(at(200, 150), 0xFF336699u);
  EXPECT_EQ(at(350, 100), 0xFF332211u) << "the colour with red and blue swapped stays";

  // The front screen as draw target arms no refresh: the layered window
  // changes only on a present.
  ASSERT_EQ(qz::SelectDrawTarget(qz::kFrontScreen), 0);
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0x123456);
  plat::Sleep(40);
  ASSERT_EQ(qz::PumpMessagesEntry(), 0);
  ASSERT_TRUE(plat::ReadLayeredWindowImage(window, &image));
  EXPECT_EQ(at(10, 10), 0xFF336699u);
  ASSERT_EQ(qz::SelectDrawTarget(qz::kBackScreen), 0);

  qz::EndLibraryEntry();
  EXPECT_EQ(plat::GetLiveDibSectionCount(), sections);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, ScreenPresent, ::testing::Values(ScreenPath::kDevice, ScreenPath::kSoftware),
                         qz::testing::ScreenPathName);

class SubBackBuffer : public qz::testing::ScreenLibraryTest {};

TEST_P(SubBackBuffer, FullScreenRepaintSeedsItWithTheLastFrameAndLaterFramesReachTheWindow) {
  qz::ChangeWindowMode(0);
  Start();
  const qz::GraphicsState& state = qz::GetGraphicsState();
  qz::testing::PaintPattern();
  ASSERT_EQ(qz::RepaintScreen(), 0);
  ASSERT_NE(state.subBackBuffer, nullptr);
  plat::D3D9StateSnapshot snapshot{};
  ASSERT_TRUE(plat::GetD3D9StateSnapshot(state.device, &snapshot));
  EXPECT_EQ(snapshot.renderTarget, state.subBackBuffer);
  EXPECT_EQ(qz::testing::ReadWindow().PatternMismatches(640, 480), 0);
  // Painted into the sub back buffer: only the present's copy brings it out.
  qz::testing::PaintScreenRect(0, 0, 640, 480, 0x0A0B0C);
  ASSERT_EQ(qz::PresentFrame(), 0);
  EXPECT_EQ(qz::testing::ReadWindow().At(5, 5), 0x0A0B0Cu);
}

TEST_P(SubBackBuffer, ThatCannotBeMadeIsLogged) {
  qz::testing::ScratchLog log;
  Start();
  plat::FailD3D9CallForTest("CreateRenderTarget", 1, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(qz::SwitchToSubBackBuffer(), -1);
  EXPECT_EQ(qz::GetGraphicsState().subBackBuffer, nullptr);
  EXPECT_TRUE(log.Contains(qz::text::kGfxSubBackBufferCreateFailed));
}

INSTANTIATE_TEST_SUITE_P(DevicePath, SubBackBuffer, ::testing::Values(ScreenPath::kDevice),
                         qz::testing::ScreenPathName);

}  // namespace
