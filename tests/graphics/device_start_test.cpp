// The start on the device path and its fall-back to the software path, with
// nothing of the stand-in device left alive after the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/log_text.h"
#include "core/string_util.h"
#include "core/window_state.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "platform/d3d9.h"
#include "platform/ddraw.h"
#include "platform/window.h"
#include "support/scratch_log.h"
#include "tests/graphics/screen_window.h"

namespace {

class DeviceStart : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ResetD3D9StandInForTest();
  }
  void TearDown() override {
    qz::TerminateGraphics();
    plat::ResetD3D9StandInForTest();
  }
  qz::testing::ScreenWindow window_;
};

TEST_F(DeviceStart, RunsOnTheDeviceAndEndsWithNothingLeft) {
  ASSERT_EQ(qz::StartGraphicsScreen(), 0);
  const qz::GraphicsState& state = qz::GetGraphicsState();
  EXPECT_EQ(state.hardware3DOn, 1);
  EXPECT_NE(state.device, nullptr);
  EXPECT_NE(state.backBuffer, nullptr);
  EXPECT_EQ(state.caps.depthFormat, plat::D3DFMT_D16);
  EXPECT_EQ(state.caps.textureFormats[qz::kGraphFormatDxt1], state.caps.textureFormats[qz::kGraphFormatColorKey16Bit]);
  EXPECT_EQ(qz::TerminateGraphics(), 0);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
  EXPECT_EQ(plat::GetLiveDirectDrawObjectCount(), 0);
}

TEST_F(DeviceStart, RefusedDeviceFallsBackToTheSoftwarePathReleasingEverything) {
  plat::FailD3D9CallForTest("CreateDeviceEx", 1, 2, plat::E_FAIL);
  ASSERT_EQ(qz::StartGraphicsScreen(), 0);
  const qz::GraphicsState& state = qz::GetGraphicsState();
  EXPECT_EQ(state.hardware3DOn, 0);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
  EXPECT_EQ(qz::IsMemImgValid(&state.screenImages[qz::kBackScreenImage]), 1);
}

TEST_F(DeviceStart, HardwareSwitchedOffStartsOnTheSoftwarePathWithoutADevice) {
  qz::SetHardwareRenderingFlag(0);
  ASSERT_EQ(qz::StartGraphicsScreen(), 0);
  const qz::GraphicsState& state = qz::GetGraphicsState();
  EXPECT_EQ(state.hardware3DOn, 0);
  EXPECT_EQ(state.device, nullptr);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
  EXPECT_EQ(qz::IsMemImgValid(&state.screenImages[qz::kBackScreenImage]), 1);
  EXPECT_EQ(qz::TerminateGraphics(), 0);
  qz::SetHardwareRenderingFlag(1);
}

TEST_F(DeviceStart, RefusedDepthSurfaceLeavesNoBackBufferOrSwapChainAlive) {
  plat::FailD3D9CallForTest("CreateDepthStencilSurface", 1, 1, plat::E_FAIL);
  ASSERT_EQ(qz::StartGraphicsScreen(), 0);
  EXPECT_EQ(qz::GetGraphicsState().hardware3DOn, 0);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
}

}  // namespace

namespace {

std::string Line(const char* format, const char* value) {
  char text[256];
  qz::FormatString(text, sizeof(text), format, value);
  return text;
}

class CapabilityLog : public DeviceStart {
 protected:
  qz::testing::ScratchLog log_;
};

TEST_F(CapabilityLog, DefaultProfileLogsEveryChoice) {
  ASSERT_EQ(qz::StartGraphicsScreen(), 0);
  EXPECT_TRUE(log_.Contains(Line(qz::text::kGfxScreenFormat, "D3DFMT_X8R8G8B8")));
  EXPECT_TRUE(log_.Contains(Line(qz::text::kGfxZBufferFormat, "D3DFMT_D16")));
  EXPECT_TRUE(log_.Contains(Line(qz::text::kGfx32BitFormat, "Q_D3DFMT_X8R8G8B8")));
  EXPECT_TRUE(log_.Contains(Line(qz::text::kGfxDxt1Format, qz::text::kGfxFormatUnusable)));
  EXPECT_TRUE(log_.Contains(Line(qz::text::kGfxSubtractBlend, qz::text::kGfxNative)));
  EXPECT_TRUE(log_.Contains(qz::text::kGfxSoftwareVertexProcessing));
}

TEST_F(CapabilityLog, ProfileWithoutThirtyTwoBitTexturesUsesTheSixteenBitFormat) {
  plat::D3D9Profile profile = plat::DefaultD3D9Profile();
  profile.textureFormats.erase(
      std::remove(profile.textureFormats.begin(), profile.textureFormats.end(), plat::D3DFMT_X8R8G8B8),
      profile.textureFormats.end());
  plat::SetD3D9ProfileForTest(profile);
  ASSERT_EQ(qz::StartGraphicsScreen(), 0);
  EXPECT_EQ(qz::GetGraphicsState().caps.textureFormats[qz::kGraphFormat32Bit], plat::D3DFMT_R5G6B5);
  EXPECT_TRUE(log_.Contains(Line(qz::text::kGfx32BitFormat, "Q_D3DFMT_R5G6B5")));
}

TEST_F(CapabilityLog, ProfileWithoutBlendOpOrTextureLimitEmulatesAndTakes256) {
  plat::D3D9Profile profile = plat::DefaultD3D9Profile();
  profile.caps.PrimitiveMiscCaps &= ~plat::D3DPMISCCAPS_BLENDOP;
  profile.caps.MaxTextureWidth = 0;
  plat::SetD3D9ProfileForTest(profile);
  ASSERT_EQ(qz::StartGraphicsScreen(), 0);
  EXPECT_EQ(qz::GetGraphicsState().caps.maxTextureSize, 256);
  EXPECT_TRUE(log_.Contains(Line(qz::text::kGfxSubtractBlend, qz::text::kGfxEmulated)));
}

}  // namespace
