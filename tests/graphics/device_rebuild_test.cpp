// Device loss and rebuild on a started library, driven the way the window
// brings them: deactivating and reactivating a full-screen window, and a
// window-mode device that reports itself lost. After each, graphs keep their
// handles and pixels and no object of the released device is still in use.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/display_modes.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "image/base_image.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "platform/window.h"
#include "support/scratch_log.h"

namespace {

class DeviceRebuild : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ResetD3D9StandInForTest();
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    const std::string title = "QzDeviceRebuild" + std::to_string(getpid());
    qz::SetMainWindowTitle(title.c_str());
  }
  void TearDown() override {
    qz::EndLibraryEntry();
    plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
    qz::SetDisplayModeListForTest(nullptr, -1);
    qz::SetScreenModeSize(0, 0);
    qz::SetScreenColorBitDepth(0);
    plat::UseVirtualTime(false);
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
  }

  void Start(bool windowMode) {
    qz::ChangeWindowMode(windowMode ? 1 : 0);
    qz::SetScreenMode(640, 480, 32, 0);
    ASSERT_EQ(qz::InitLibraryEntry(), 0);
    ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
    ASSERT_EQ(qz::QueryWindowModeState(), windowMode ? 1 : 0);
    qz::BaseImage image{};
    ASSERT_EQ(qz::AllocXRGB8BaseImage(16, 16, &image), 0);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) qz::SetBaseImagePixel(&image, x, y, x * 16, y * 16, 0x40, 255);
    }
    graph_ = qz::BuildGraphFromBaseImages(&image, nullptr, 0);
    ASSERT_NE(graph_, -1);
    ASSERT_EQ(qz::ReloadGraphFromBaseImageNoAlpha(&image, graph_), 0);
    qz::FreeBaseImagePixels(&image);
  }

  // Draws the graph on a cleared back screen; its pixel at (5, 9) as 0xRRGGBB.
  std::uint32_t DrawAndSample() const {
    qz::SelectDrawTarget(qz::kBackScreen);
    qz::ClearDrawTarget(nullptr);
    EXPECT_EQ(qz::BlitGraph(0, 0, graph_, 0), 0);
    const plat::WinRect rect{5, 9, 6, 10};
    qz::BaseImage image{};
    EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -2), 0);
    int red = 0, green = 0, blue = 0, alpha = 0;
    qz::GetBaseImagePixel(&image, 0, 0, &red, &green, &blue, &alpha);
    qz::ReleaseBackBufferLockSurfaces();
    return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
  }

  // The window gains or loses activation; the pump hands it to the library.
  static void Activate(bool active) {
    plat::SimulateActivation(qz::QueryMainWindowHandle(), active);
    qz::PumpMessagesEntry();
  }

  static void ExpectNoObjectOfAReleasedDevice() {
    EXPECT_EQ(plat::ListD3D9OrphanedObjects(), std::vector<std::string>{});
    EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
  }

  qz::testing::ScratchLog log_;
  int graph_ = -1;
};

TEST_F(DeviceRebuild, FullScreenDeactivationEndsTheDeviceAndActivationRebuildsIt) {
  const qz::DisplayModeRecord modes[] = {{640, 480, 32, 60}};
  qz::SetDisplayModeListForTest(modes, 1);
  Start(false);
  const std::uint32_t before = DrawAndSample();
  EXPECT_EQ(before, 0x509040u);
  const int objectsBefore = plat::GetD3D9LiveObjectCount();

  Activate(false);
  EXPECT_EQ(qz::IsMainWindowActive(), 0);
  EXPECT_EQ(qz::GetGraphicsState().device, nullptr);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0) << "graph textures go with their device";

  // The user brings the minimised window back.
  plat::SimulateMinimise(qz::QueryMainWindowHandle(), false);
  qz::PumpMessagesEntry();
  EXPECT_EQ(qz::IsMainWindowActive(), 1);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_));
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objectsBefore);
  EXPECT_EQ(DrawAndSample(), before);
  ExpectNoObjectOfAReleasedDevice();
}

TEST_F(DeviceRebuild, WindowModeActivationRebuildsALostDevice) {
  Start(true);
  const std::uint32_t before = DrawAndSample();
  const auto devicesMade = [] { return plat::GetD3D9CallCount("CreateDevice") + plat::GetD3D9CallCount("CreateDeviceEx"); };
  const int madeAtStart = devicesMade();

  // An activation with the device fine keeps it.
  Activate(false);
  Activate(true);
  EXPECT_EQ(devicesMade(), madeAtStart);

  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICELOST);
  Activate(false);
  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICENOTRESET);
  Activate(true);
  plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
  EXPECT_EQ(devicesMade(), madeAtStart + 1);
  ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_));
  EXPECT_EQ(DrawAndSample(), before);
  ExpectNoObjectOfAReleasedDevice();
}

TEST_F(DeviceRebuild, ModeChangeByRebuildKeepsGraphsAndCallsTheProgramsCallback) {
  Start(true);
  const std::uint32_t before = DrawAndSample();
  int calls = 0;
  qz::SetDeviceRebuildCallback([](void* value) { ++*static_cast<int*>(value); }, &calls);
  qz::SetRebuildOnModeChange(1);
  const int bits = qz::GetScreenColorBitDepth();
  EXPECT_EQ(qz::SetScreenMode(800, 600, bits, 0), 0);
  qz::SetRebuildOnModeChange(0);
  qz::SetDeviceRebuildCallback(nullptr, nullptr);
  int width = 0;
  int height = 0;
  qz::GetScreenModeSize(&width, &height);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph_)) << "a rebuild keeps the graphs a restart would lose";
  EXPECT_EQ(DrawAndSample(), before);
  ExpectNoObjectOfAReleasedDevice();
}

}  // namespace
