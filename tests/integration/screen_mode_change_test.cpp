// Screen-mode changes and device rebuilds on a started library: refused and
// repeated modes, the draw settings back at their defaults after a change,
// and graphs that keep their handles and pixels across a device loss.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/library.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "image/base_image.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "support/scratch_log.h"

namespace {

class ScreenModeChange : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    qz::ChangeWindowMode(1);
    const std::string title = "QzModeChange" + std::to_string(getpid());
    qz::SetMainWindowTitle(title.c_str());
  }
  void TearDown() override {
    qz::EndLibraryEntry();
    qz::SetScreenModeSize(0, 0);
    qz::SetScreenColorBitDepth(0);
    plat::UseVirtualTime(false);
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
  }

  // The back screen's pixel at (x, y) as 0xRRGGBB.
  static std::uint32_t ScreenPixel(int x, int y) {
    const plat::WinRect rect{x, y, x + 1, y + 1};
    qz::BaseImage image{};
    EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -2), 0);
    int red = 0, green = 0, blue = 0, alpha = 0;
    qz::GetBaseImagePixel(&image, 0, 0, &red, &green, &blue, &alpha);
    qz::ReleaseBackBufferLockSurfaces();
    return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
  }

  qz::testing::ScratchLog log_;
};

TEST_F(ScreenModeChange, RefusesBadModesAndStoresBeforeTheStart) {
  qz::SetScreenColorBitDepth(16);
  EXPECT_EQ(qz::SetScreenMode(640, 480, 24, 60), -1);
  EXPECT_EQ(qz::SetScreenMode(0, 480, 32, 60), -1);
  EXPECT_EQ(qz::GetScreenColorBitDepth(), 16);
  EXPECT_EQ(qz::SetScreenMode(640, 480, 32, 60), 0);
  EXPECT_EQ(qz::GetScreenColorBitDepth(), 32);
  EXPECT_EQ(qz::GetScreenRefreshRate(), 60);
  EXPECT_EQ(qz::GetGraphicsState().started, 0);
  qz::SetScreenRefreshRate(0);
}

TEST_F(ScreenModeChange, ChangeRestartsGraphicsWithDefaultSettings) {
  // The library starts in the default mode, whatever an earlier test configured.
  qz::SetScreenModeSize(0, 0);
  qz::SetScreenRefreshRate(0);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  // A window-mode device runs at the desktop's depth.
  const int bits = qz::GetScreenColorBitDepth();
  const std::size_t logSize = log_.Contents().size();
  EXPECT_EQ(qz::SetScreenMode(640, 480, bits, 0), 0);
  EXPECT_EQ(log_.Contents().size(), logSize) << "setting the current mode again logs nothing";

  qz::SetBlendModeAndParam(1, 128);
  qz::SelectDrawTarget(qz::kBackScreen);
  EXPECT_EQ(qz::SetScreenMode(320, 240, bits, 0), 0);
  int width = 0, height = 0;
  qz::GetScreenModeSize(&width, &height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  EXPECT_EQ(qz::GetGraphicsState().started, 1);
  const qz::DrawSettingsBlock& settings = qz::GetDrawSettings();
  EXPECT_EQ(settings.blendMode, 0);
  EXPECT_EQ(qz::GetDrawTarget(), qz::kFrontScreen);
  std::string done = qz::text::kModeChangeDone;
  done.pop_back();  // the log writes CR LF
  EXPECT_NE(log_.Contents().find(done), std::string::npos);
}

TEST_F(ScreenModeChange, DeviceLossKeepsGraphHandlesAndPixels) {
  qz::SetScreenMode(640, 480, 32, 0);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
  qz::BaseImage image{};
  ASSERT_EQ(qz::AllocXRGB8BaseImage(16, 16, &image), 0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) qz::SetBaseImagePixel(&image, x, y, x * 16, y * 16, 0x40, 255);
  }
  // The copy of the image becomes the graph's restore source.
  const int graph = qz::BuildGraphFromBaseImages(&image, nullptr, 0);
  ASSERT_NE(graph, -1);
  ASSERT_EQ(qz::ReloadGraphFromBaseImageNoAlpha(&image, graph), 0);
  qz::FreeBaseImagePixels(&image);

  const auto drawAndSample = [&] {
    qz::SelectDrawTarget(qz::kBackScreen);
    qz::ClearDrawTarget(nullptr);
    EXPECT_EQ(qz::BlitGraph(0, 0, graph, 0), 0);
    return ScreenPixel(5, 9);
  };
  const std::uint32_t before = drawAndSample();
  EXPECT_EQ(before, 0x509040u);
  const int objectsBefore = plat::GetD3D9LiveObjectCount();

  EXPECT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph));
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objectsBefore);
  EXPECT_EQ(drawAndSample(), before);
}

}  // namespace
