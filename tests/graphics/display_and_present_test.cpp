// Display modes and their change, the software start's failure clean-up, and
// frames shown through the GDI DIB copies and read back from the window.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "graphics/display_modes.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "platform/ddraw.h"
#include "platform/display_settings.h"
#include "platform/gdi_present.h"
#include "platform/module.h"
#include "platform/window.h"
#include "platform/window_present.h"

namespace {

class DisplayModes : public ::testing::Test {
 protected:
  void TearDown() override {
    qz::SetDisplayModeListForTest(nullptr, -1);
    qz::SetDisplayModeAllocationFailureForTest(false);
    plat::SetDisplayChangeRefusalsForTest({});
    plat::ChangeDisplaySettingsA(nullptr, 0);
    qz::GraphicsState& state = qz::GetGraphicsState();
    state.screenWidth = state.screenHeight = state.colorBits = state.refreshRate = 0;
    state.modeChangeEmulation320x240 = 0;
  }
};

TEST_F(DisplayModes, ListKeepsDeepModesInOrderAndAnswersOutOfRangeWithMinusOnes) {
  const qz::DisplayModeRecord modes[] = {{640, 480, 8, 60}, {800, 600, 32, 60}, {800, 600, 32, 75}};
  qz::SetDisplayModeListForTest(modes, 3);
  ASSERT_EQ(qz::GetDisplayModeCount(), 2);
  EXPECT_EQ(qz::GetDisplayModeByIndex(1).refreshRate, 75);
  EXPECT_EQ(qz::CheckDisplayModeAvailable(800, 600, 32), 1);
  EXPECT_EQ(qz::CheckDisplayModeAvailable(640, 480, 8), 0);
  for (int index : {-1, 2}) {
    const qz::DisplayModeRecord none = qz::GetDisplayModeByIndex(index);
    EXPECT_EQ(none.width, -1);
    EXPECT_EQ(none.height, -1);
    EXPECT_EQ(none.colorBits, -1);
    EXPECT_EQ(none.refreshRate, -1);
  }
  // A list made before a change of the display's modes is made again after a drop.
  const qz::DisplayModeRecord other[] = {{1024, 768, 16, 60}};
  plat::SetDisplayModesForTest(reinterpret_cast<const plat::DisplayModeEntry*>(other), 1);
  EXPECT_EQ(qz::CheckDisplayModeAvailable(1024, 768, 16), 0);
  qz::FreeDisplayModeList();
  EXPECT_EQ(qz::CheckDisplayModeAvailable(1024, 768, 16), 1);

  qz::SetDisplayModeAllocationFailureForTest(true);
  qz::FreeDisplayModeList();
  EXPECT_EQ(qz::GetDisplayModeCount(), 0);
  EXPECT_EQ(qz::CheckDisplayModeAvailable(1024, 768, 16), 0);
}

TEST_F(DisplayModes, ChangeDropsARefusedRefreshAndEmulatesAQuarterScreen) {
  qz::GraphicsState& state = qz::GetGraphicsState();
  state.screenWidth = 800;
  state.screenHeight = 600;
  state.colorBits = 32;
  state.refreshRate = 75;
  plat::SetDisplayChangeRefusalsForTest({true, false, false});
  EXPECT_EQ(qz::ChangeScreenDisplayMode(), 0);
  EXPECT_EQ(state.refreshRate, 0);
  EXPECT_EQ(plat::GetChangedDisplayMode().width, 800);

  state.screenWidth = 320;
  state.screenHeight = 240;
  EXPECT_EQ(qz::ChangeScreenDisplayMode(), 0);
  EXPECT_EQ(state.screenWidth, 640);
  EXPECT_EQ(qz::GetScreen320x240Emulation(), 1);
  int width = 0;
  qz::QueryDrawScreenSize(&width, nullptr, nullptr);
  EXPECT_EQ(width, 320);

  state.colorBits = 24;
  EXPECT_EQ(qz::ChangeScreenDisplayMode(), -1);
}

TEST(GraphicsStartFailure, LeavesNoDirectDrawObjectOrModuleReference) {
  const int loads = plat::GetModuleLoadCount("d3d9.dll");
  const int frees = plat::GetModuleFreeCount("d3d9.dll");
  plat::SetDirectDrawFaultsForTest({false, true});
  EXPECT_EQ(qz::StartGraphicsScreen(), -1);
  plat::SetDirectDrawFaultsForTest({});
  EXPECT_EQ(plat::GetLiveDirectDrawObjectCount(), 0);
  EXPECT_EQ(plat::GetModuleLoadCount("d3d9.dll") - loads, plat::GetModuleFreeCount("d3d9.dll") - frees);
  EXPECT_EQ(qz::GetDirectDrawObject(), nullptr);
  EXPECT_EQ(qz::GetGraphicsState().started, 0);

  plat::SetModuleAbsentForTest("d3d9.dll", true);
  EXPECT_EQ(qz::StartGraphicsScreen(), -1);
  plat::SetModuleAbsentForTest("d3d9.dll", false);
  EXPECT_EQ(plat::GetLiveDirectDrawObjectCount(), 0);
}

TEST(ScreenQueries, DefaultsAndDeviceWrappersWithoutADevice) {
  // The defaults answer while no screen is configured (an earlier test may have set one).
  const qz::GraphicsState& state = qz::GetGraphicsState();
  const int savedWidth = state.screenWidth;
  const int savedHeight = state.screenHeight;
  const int savedBits = state.colorBits;
  qz::SetScreenModeSize(0, 0);
  qz::SetScreenColorBitDepth(0);
  int width = 0;
  int height = 0;
  qz::GetScreenModeSize(&width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(qz::GetScreenColorBitDepth(), 16);
  qz::SetScreenModeSize(savedWidth, savedHeight);
  qz::SetScreenColorBitDepth(savedBits);
  EXPECT_EQ(qz::CreateDeviceVertexBuffer(64, 0, 0x44, 0), nullptr);
  plat::DDCAPS caps;
  caps.dwSize = 380;
  caps.fields[375] = 7;
  EXPECT_EQ(qz::ClearParamBlock380(&caps), &caps);
  EXPECT_EQ(caps.dwSize, 0u);
  EXPECT_EQ(caps.fields[375], 0);
}

class DibPresent : public ::testing::Test {
 protected:
  void SetUp() override {
    const plat::WindowClass windowClass{0, &plat::DefWindowProcA, 0, "QzDibPresentTest"};
    plat::RegisterClassExA(&windowClass);
    window_ = plat::CreateWindowExA(0, "QzDibPresentTest", "", plat::WS_POPUP, 0, 0, 8, 4, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    plat::DestroyWindow(window_);
    plat::UnregisterClassA("QzDibPresentTest");
  }
  plat::HWND window_ = nullptr;
};

TEST_F(DibPresent, SixteenBitTopDownAndStretchedBottomUpReachTheWindow) {
  EXPECT_FALSE(plat::ReadPresentedFrame(window_, nullptr, nullptr, nullptr));
  // 4 by 2, R5G6B5: red, green, blue, white / black row.
  const std::uint16_t pixels[8] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0, 0, 0, 0};
  plat::BITMAPINFO info{};
  info.bmiHeader = plat::BITMAPINFOHEADER{40, 4, -2, 1, 16, plat::BI_BITFIELDS, 0, 0, 0, 0, 0};
  info.bmiColorMasks[0] = 0xF800;
  info.bmiColorMasks[1] = 0x07E0;
  info.bmiColorMasks[2] = 0x001F;
  plat::HDC context = plat::GetDC(window_);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(plat::SetDIBitsToDevice(context, 0, 0, 4, 2, 0, 0, 0, 2, pixels, &info, plat::DIB_RGB_COLORS), 2);
  std::vector<std::uint32_t> shown;
  int width = 0;
  int height = 0;
  ASSERT_TRUE(plat::ReadPresentedFrame(window_, &shown, &width, &height));
  ASSERT_EQ(width, 8);
  ASSERT_EQ(height, 4);
  EXPECT_EQ(shown[0] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(shown[1] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(shown[2] & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(shown[3] & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(shown[4], 0u);  // right of the copy: untouched

  // Bottom-up 32-bit, 1 by 2: stored bottom row first; doubled to fill 8 by 4.
  const std::uint32_t column[2] = {0x00112233, 0x00445566};
  plat::BITMAPINFO upInfo{};
  upInfo.bmiHeader = plat::BITMAPINFOHEADER{40, 1, 2, 1, 32, plat::BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(plat::StretchDIBits(context, 0, 0, 8, 4, 0, 0, 1, 2, column, &upInfo, plat::DIB_RGB_COLORS,
                                plat::SRCCOPY),
            2);
  ASSERT_TRUE(plat::ReadPresentedFrame(window_, &shown, &width, &height));
  EXPECT_EQ(shown[0] & 0xFFFFFF, 0x445566u);
  EXPECT_EQ(shown[31] & 0xFFFFFF, 0x112233u);

  // A source rectangle outside the DIB is refused.
  EXPECT_EQ(plat::StretchDIBits(context, 0, 0, 8, 4, 0, 1, 1, 2, column, &upInfo, plat::DIB_RGB_COLORS,
                                plat::SRCCOPY),
            0);
  EXPECT_EQ(plat::ReleaseDC(window_, context), 1);
  EXPECT_EQ(plat::GetLiveDeviceContextCount(), 0);
}

}  // namespace
