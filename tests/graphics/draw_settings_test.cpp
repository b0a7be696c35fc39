// The draw-settings block and its setters on both paths: defaults after a
// reset and what a reset keeps, change detection and clamping, colour values
// on 16- and 32-bit screens, the clip and filter as the device receives
// them, and the pixel-format code of a graph creation request.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "core/call_trace.h"
#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/color_value.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/vertex_batch.h"
#include "graphics/device_state_cache.h"
#include "graphics/graph_handles.h"
#include "graphics/texture_draw_info.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/lights.h"
#include "graphics/mask_screen.h"
#include "graphics/screen_settings.h"
#include "input/key_input.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "platform/window.h"
#include "softrender/draw_state.h"
#include "support/scratch_log.h"
#include "tests/graphics/screen_window.h"

namespace {

enum class Path { kDevice, kSoftware };

struct ScreenCase {
  Path path;
  int bits;
};

std::string CaseName(const ::testing::TestParamInfo<ScreenCase>& info) {
  return std::string(info.param.path == Path::kDevice ? "Device" : "Software") + std::to_string(info.param.bits);
}

// A window-mode device takes the desktop's depth.
void UseDesktopBits(int bits) {
  plat::D3D9Profile profile = plat::DefaultD3D9Profile();
  profile.displayFormat = bits == 16 ? plat::D3DFMT_R5G6B5 : plat::D3DFMT_X8R8G8B8;
  plat::SetD3D9ProfileForTest(profile);
}

// Graphics started in window mode; the device takes the desktop's depth, the
// software path the requested one.
class DrawSettings : public ::testing::TestWithParam<ScreenCase> {
 protected:
  void SetUp() override {
    plat::ResetD3D9StandInForTest();
    qz::SetEndingState(0);  // a library ended by an earlier test stops device drawing
    UseDesktopBits(GetParam().bits);
    qz::SetScreenColorBitDepth(GetParam().bits);
    qz::SetHardwareRenderingFlag(GetParam().path == Path::kDevice ? 1 : 0);
    ASSERT_EQ(qz::StartGraphicsScreen(), 0);
    ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, GetParam().path == Path::kDevice ? 1 : 0);
    ASSERT_EQ(qz::GetScreenColorBitDepth(), GetParam().bits);
  }
  void TearDown() override {
    qz::TerminateGraphics();
    qz::SetHardwareRenderingFlag(1);
    qz::SetScreenColorBitDepth(0);
    plat::ResetD3D9StandInForTest();
  }
  bool OnDevice() const { return GetParam().path == Path::kDevice; }

  qz::testing::ScreenWindow window_;
};

int CountCalls(const std::vector<std::string>& trace, const char* name) {
  int count = 0;
  for (const std::string& call : trace) count += call == name ? 1 : 0;
  return count;
}

// Left, top, right, bottom and whether empty.
std::array<int, 5> Clip(const qz::DrawSettingsBlock& s) {
  return {s.clipLeft, s.clipTop, s.clipRight, s.clipBottom, s.clipEmpty};
}

std::array<int, 3> Brightness(const qz::DrawSettingsBlock& s) {
  return {s.brightness.red, s.brightness.green, s.brightness.blue};
}

TEST_P(DrawSettings, ResetGivesTheDefaultsAndAFullClipOnTheFrontScreen) {
  const qz::DrawSettingsBlock& s = qz::GetDrawSettings();
  EXPECT_EQ(qz::GetDrawTargetHandle(), -4);
  EXPECT_EQ(Clip(s), (std::array{0, 0, 640, 480, 0}));
  EXPECT_EQ(s.blendMode, 0);
  EXPECT_EQ(s.blendParam, 0);
  EXPECT_EQ(s.blendMaskGraph, -1);
  EXPECT_EQ(Brightness(s), (std::array{255, 255, 255}));
  EXPECT_EQ(qz::gMemImgDrawState.colorMod, 0xFFFFFFu);
  EXPECT_FLOAT_EQ(s.zValue, 0.2f);
  EXPECT_EQ(qz::GetDrawFilterMode(), 0);
  EXPECT_EQ(s.maxAnisotropy, 1);
  EXPECT_EQ(s.addressU[0], 3);
  EXPECT_EQ(s.addressW[qz::kSamplerCount - 1], 3);
  EXPECT_EQ(s.fogMode, 3);
  EXPECT_EQ(s.fogColor, 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(s.fogEnd, 1500.0f);
  EXPECT_FLOAT_EQ(s.nearClip, 10.0f);
  EXPECT_FLOAT_EQ(s.farClip, 10000.0f);
  EXPECT_FLOAT_EQ(s.fieldOfView, 1.0471976f);
  EXPECT_FLOAT_EQ(s.material.diffuse[0], 0.8f);
  EXPECT_FLOAT_EQ(s.material.power, 20.0f);
  EXPECT_EQ(s.materialDirty, 1);
  EXPECT_EQ(s.lightsChanged, 1);
  EXPECT_EQ(qz::GetNewGraphColorKeyFlag(), 1);
  EXPECT_EQ(qz::GetMaskScreenFlags().useRequested, 1);
  EXPECT_EQ(qz::GetMaskScreenFlags().active, 0);

  const qz::LightRecord* light = qz::GetLightRecord(qz::GetDefaultLightHandle());
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light->light.type, qz::kLightDirectional);
  EXPECT_NEAR(light->light.direction.x, 0.57735f, 1e-5f);
  EXPECT_NEAR(light->light.direction.y, -0.57735f, 1e-5f);
  EXPECT_EQ(light->enabled, 1);
}

TEST_P(DrawSettings, ResetForgetsTheProgramsSettingsButKeepsVSyncAndLights) {
  qz::SetNewGraphColorBits(32);
  qz::SetNewGraphAlphaFlag(1);
  qz::SetNewGraphColorKeyFlag(0);
  qz::SetTransparentColorRGB(0, 255, 0);
  qz::SetTransparentColorOnLoad(0);
  qz::SetBlendModeAndParam(qz::kBlendAlpha, 128);
  qz::SetBrightnessRGB(10, 20, 30);
  qz::SetClipRectangle(10, 10, 20, 20);
  qz::SetPresentVSyncWait(0);
  const int lightsBefore = qz::GetLightCount();
  const int ownLight = qz::CreateDirectionalLight(0.0f, 0.0f, 2.0f);
  const int oldDefault = qz::GetDefaultLightHandle();

  ASSERT_EQ(qz::ResetDrawSettings(), 0);

  EXPECT_EQ(qz::GetNewGraphColorBits(), 0);
  EXPECT_EQ(qz::GetNewGraphAlphaFlag(), 0);
  EXPECT_EQ(qz::GetNewGraphColorKeyFlag(), 1);
  EXPECT_EQ(qz::GetDrawSettings().transparentColor, 0u);
  EXPECT_EQ(qz::GetDrawSettings().transparentOnLoadOff, 0);
  EXPECT_EQ(qz::GetDrawSettings().blendMode, 0);
  EXPECT_EQ(qz::GetDrawSettings().brightness.red, 255);
  EXPECT_EQ(qz::GetDrawSettings().clipRight, 640);
  EXPECT_EQ(qz::GetPresentVSyncWait(), 0);

  // Lights survive; the default light is made anew without piling up.
  ASSERT_NE(qz::GetLightRecord(ownLight), nullptr);
  EXPECT_FLOAT_EQ(qz::GetLightRecord(ownLight)->light.direction.z, 1.0f);
  EXPECT_EQ(qz::GetLightRecord(oldDefault), nullptr);
  EXPECT_NE(qz::GetLightRecord(qz::GetDefaultLightHandle()), nullptr);
  EXPECT_EQ(qz::GetLightCount(), lightsBefore + 1);

  qz::SetPresentVSyncWait(1);

  // The graphics end releases every light, the default one last.
  qz::TerminateGraphics();
  EXPECT_EQ(qz::GetLightRecord(ownLight), nullptr);
  EXPECT_EQ(qz::GetLightCount(), 0);
  EXPECT_EQ(qz::GetDefaultLightHandle(), -1);
}

TEST_P(DrawSettings, BlendModeClampsAndIgnoresOnlyARepeatOfTheStoredValues) {
  qz::SetCallTraceEnabled(true);
  qz::TakeCallTrace();
  const qz::DrawSettingsBlock& s = qz::GetDrawSettings();

  EXPECT_EQ(qz::SetBlendModeAndParam(qz::kBlendAlpha, 300), 0);
  EXPECT_EQ(s.blendParam, 255);
  EXPECT_EQ(qz::SetBlendModeAndParam(qz::kBlendAlpha, 300), 0);  // the raw 300 differs from the stored 255
  EXPECT_EQ(qz::SetBlendModeAndParam(qz::kBlendAlpha, 255), 0);
  EXPECT_EQ(CountCalls(qz::TakeCallTrace(), "EnsureScreenReady"), 2);

  EXPECT_EQ(qz::SetBlendModeAndParam(qz::kBlendAdd, -7), 0);
  EXPECT_EQ(s.blendMode, qz::kBlendAdd);
  EXPECT_EQ(s.blendParam, 0);
  EXPECT_EQ(qz::gMemImgDrawState.blendMode, qz::kBlendAdd);
  EXPECT_EQ(qz::gMemImgDrawState.blendParam, 0);

  qz::GetDrawSettings().skipDrawing = 1;
  EXPECT_EQ(qz::SetBlendModeAndParam(qz::kBlendSub, 99), 0);
  EXPECT_EQ(s.blendMode, qz::kBlendAdd);
  qz::GetDrawSettings().skipDrawing = 0;
  qz::SetCallTraceEnabled(false);
}

TEST_P(DrawSettings, BrightnessClampsAndFeedsTheVertexColour) {
  const qz::DrawSettingsBlock& s = qz::GetDrawSettings();
  EXPECT_EQ(qz::SetBrightnessRGB(-5, 128, 999), 0);
  EXPECT_EQ(Brightness(s), (std::array{0, 128, 255}));
  EXPECT_EQ(qz::gMemImgDrawState.colorMod, 0x0080FFu);

  qz::SetBrightnessPacked(0x123456u);
  EXPECT_EQ(Brightness(s), (std::array{0x12, 0x34, 0x56}));
  EXPECT_EQ(s.brightness.unused, 0);

  if (OnDevice()) {
    qz::SetBlendModeAndParam(qz::kBlendNone, 77);
    EXPECT_EQ(s.drawDiffuseColor, 0xFF123456u);
    qz::SetBlendModeAndParam(qz::kBlendAlpha, 77);
    EXPECT_EQ(s.drawDiffuseColor, 0x4D123456u);
  }
}

TEST_P(DrawSettings, ColourValuesFollowTheScreenFormatBothWays) {
  const qz::ColorValue green = qz::MakeColorValue(0, 255, 0);
  EXPECT_EQ(green, GetParam().bits == 16 ? 0x07E0u : 0xFF00FF00u);
  int red = -1, greenOut = -1, blue = -1;
  EXPECT_EQ(qz::SplitColorValue(green, &red, &greenOut, &blue), 0);
  EXPECT_EQ((std::array{red, greenOut, blue}), (std::array{0, 255, 0}));

  const qz::ColorValue grey = qz::MakeColorValue(128, 128, 128);
  EXPECT_EQ(grey, GetParam().bits == 16 ? 0x8410u : 0xFF808080u);
  qz::SplitColorValue(grey, &red, nullptr, nullptr);
  EXPECT_EQ(red, GetParam().bits == 16 ? 131 : 128);  // 16 of 31 steps
}

TEST_P(DrawSettings, ClipIsOrderedClampedAndReachesTheDevice) {
  const qz::DrawSettingsBlock& s = qz::GetDrawSettings();
  ASSERT_EQ(qz::SetClipRectangle(100, 50, 20, 10), 0);
  EXPECT_EQ(Clip(s), (std::array{20, 10, 100, 50, 0}));
  EXPECT_EQ(s.requestedClipLeft, 100);
  EXPECT_EQ(qz::gMemImgDrawState.drawArea.right, 100);

  if (OnDevice()) {
    plat::IDirect3DDevice9* device = qz::GetGraphicsState().device;
    plat::D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ((std::array{viewport.X, viewport.Y, viewport.Width, viewport.Height}), (std::array{20u, 10u, 80u, 40u}));
    plat::WinRect scissor{};
    device->GetScissorRect(&scissor);
    EXPECT_EQ((std::array{scissor.left, scissor.top, scissor.right, scissor.bottom}), (std::array{20, 10, 100, 50}));
    // The viewport matrix maps the clip's corners to -1 and 1; its inverse
    // takes them back.
    EXPECT_FLOAT_EQ(s.inverseViewportMatrix.m[0][0], 2.0f / 80.0f);
    EXPECT_EQ(s.projectionApplied, 1);
  }

  ASSERT_EQ(qz::SetClipRectangle(-30, -30, 9999, 9999), 0);
  EXPECT_EQ(Clip(s), (std::array{0, 0, 640, 480, 0}));

  ASSERT_EQ(qz::SetClipRectangle(30, 0, 30, 100), 0);
  EXPECT_EQ(s.clipEmpty, 1);
  ASSERT_EQ(qz::ReapplyClipRectangle(), 0);
  EXPECT_EQ(s.clipEmpty, 1);
  ASSERT_EQ(qz::SetClipRectangle(0, 0, 1, 1), 0);
  EXPECT_EQ(s.clipEmpty, 0);

  // The hardware path needs its device.
  if (OnDevice()) {
    qz::GraphicsState& state = qz::GetGraphicsState();
    plat::IDirect3DDevice9* device = state.device;
    state.device = nullptr;
    EXPECT_EQ(qz::SetClipRectangle(0, 0, 10, 10), -1);
    state.device = device;
  }
}

// Device path: primitives sent; software path: a pixel of the draw target.
TEST_P(DrawSettings, EmptyClipSkipsEveryDrawUntilANonEmptyOneIsSet) {
  const auto drawWhite = [] {
    return qz::DrawSolidRectangle(0, 0, 640, 480, qz::MakeColorValue(255, 255, 255));
  };
  const auto drawn = [this](int primitivesBefore) {
    if (OnDevice()) {
      qz::FlushVertexBatch();
      return plat::GetD3D9CallCount("DrawPrimitiveUP") > primitivesBefore;
    }
    const qz::MEMIMG* target = qz::GetGraphicsState().softwareDrawTarget;
    return target->pixels[40 * target->block->pitch + 35 * target->block->colorDesc->bytesPerPixel] != 0;
  };
  qz::ClearDrawTarget(nullptr);
  qz::SetBrightnessRGB(255, 255, 255);
  ASSERT_EQ(qz::SetClipRectangle(30, 0, 30, 100), 0);
  int primitives = plat::GetD3D9CallCount("DrawPrimitiveUP");
  EXPECT_EQ(drawWhite(), 0);
  EXPECT_FALSE(drawn(primitives));

  ASSERT_EQ(qz::SetClipRectangle(0, 0, 640, 480), 0);
  primitives = plat::GetD3D9CallCount("DrawPrimitiveUP");
  EXPECT_EQ(drawWhite(), 0);
  EXPECT_TRUE(drawn(primitives));
}

TEST_P(DrawSettings, FilterModeReachesTheSamplersOnTheDevice) {
  EXPECT_EQ(qz::SetDrawFilterMode(1), 0);
  EXPECT_EQ(qz::GetDrawFilterMode(), 1);
  if (OnDevice()) {
    std::uint32_t filter = 0;
    qz::GetGraphicsState().device->GetSamplerState(0, plat::D3DSAMP_MAGFILTER, &filter);
    EXPECT_EQ(filter, plat::D3DTEXF_LINEAR);
  }
  qz::GetDrawSettings().skipDrawing = 1;
  EXPECT_EQ(qz::SetDrawFilterMode(0), 0);
  EXPECT_EQ(qz::GetDrawFilterMode(), 1);
  qz::GetDrawSettings().skipDrawing = 0;
}

TEST_P(DrawSettings, BlendMaskGraphIsStoredAndAnInvalidOneKeepsTheOldMask) {
  const qz::DrawSettingsBlock& s = qz::GetDrawSettings();
  const int mask = qz::CreateBlankGraph(100, 60);
  ASSERT_NE(mask, -1);
  EXPECT_EQ(qz::SetBlendMaskGraph(mask, 300, -4), 0);
  EXPECT_EQ(s.blendMaskGraph, mask);
  EXPECT_EQ(s.blendMaskFade, 255);
  EXPECT_EQ(s.blendMaskRange, 0);
  if (OnDevice()) {
    EXPECT_FLOAT_EQ(s.blendMaskTextureWidth, 128.0f);
    EXPECT_FLOAT_EQ(s.blendMaskInverseHeight, 1.0f / 64.0f);
    EXPECT_NE(qz::GetDeviceStateCache().pending.blendTexture, nullptr);
  } else {
    EXPECT_EQ(qz::gMemImgDrawState.blendImage, &qz::GetGraphRecord(mask)->image->memImg);
  }

  EXPECT_EQ(qz::SetBlendMaskGraph(0x08001234, 10, 20), -1);
  EXPECT_EQ(s.blendMaskGraph, mask);

  // Releasing the mask graph leaves no pointer to its image, but the handle
  // stays, so draws keep failing until another mask is set.
  qz::DetachBlendMaskImage(mask);
  EXPECT_EQ(qz::gMemImgDrawState.blendImage, nullptr);
  EXPECT_EQ(s.blendMaskGraph, mask);

  EXPECT_EQ(qz::SetBlendMaskGraph(-1, 0, 0), 0);
  EXPECT_EQ(s.blendMaskGraph, -1);
  qz::ReleaseGraph(mask);
}

INSTANTIATE_TEST_SUITE_P(Screens, DrawSettings,
                         ::testing::Values(ScreenCase{Path::kDevice, 32}, ScreenCase{Path::kDevice, 16},
                                           ScreenCase{Path::kSoftware, 32}, ScreenCase{Path::kSoftware, 16}),
                         CaseName);

TEST(DrawSettingsBlock, TransparentColourIsStoredAsRgbExceptOnAnEightBitScreen) {
  qz::SetTransparentColorRGB(0, 255, 0);
  EXPECT_EQ(qz::GetDrawSettings().transparentColor, 0x00FF00u);
  qz::SetScreenColorBitDepth(8);
  qz::SetTransparentColorRGB(255, 0, 255);
  EXPECT_EQ(qz::GetDrawSettings().transparentColor, 0x00FF00u);
  qz::SetScreenColorBitDepth(0);
}

TEST(DrawSettingsBlock, PixelFormatCodeTakesKindThenDrawableThenAlphaThenColourKey) {
  struct Case {
    std::uint8_t drawable, alpha, colorKey, kind, bits;
    int code;
  };
  const Case cases[] = {
      {0, 0, 0, 3, 32, qz::kGraphFormatDxt3},          {1, 1, 1, 1, 16, qz::kGraphFormatDxt1},
      {1, 0, 0, 6, 32, qz::kGraphFormatDrawableFloat16}, {0, 0, 0, 7, 16, qz::kGraphFormatDrawableFloat32},
      {1, 1, 0, 0, 32, qz::kGraphFormatDrawableAlpha},  {1, 0, 1, 0, 16, qz::kGraphFormatDrawableAlpha},
      {1, 0, 0, 0, 16, qz::kGraphFormatDrawable16Bit},  {1, 0, 0, 0, 32, qz::kGraphFormatDrawable32Bit},
      {0, 1, 1, 0, 32, qz::kGraphFormatAlpha32Bit},     {0, 1, 0, 0, 16, qz::kGraphFormatAlpha16Bit},
      {0, 0, 1, 0, 16, qz::kGraphFormatColorKey16Bit},  {0, 0, 1, 0, 24, qz::kGraphFormatColorKey32Bit},
      {0, 0, 0, 0, 32, qz::kGraphFormat32Bit},          {0, 0, 0, 0, 16, qz::kGraphFormat16Bit},
  };
  for (const Case& c : cases) {
    qz::GraphFormatRequest request{};
    request.textured = 1;
    request.drawable = c.drawable;
    request.alpha = c.alpha;
    request.colorKey = c.colorKey;
    request.kind = c.kind;
    request.bitDepth = c.bits;
    EXPECT_EQ(qz::GetPixelFormatCodeOfColorDesc(&request), c.code)
        << "drawable " << int{c.drawable} << " alpha " << int{c.alpha} << " key " << int{c.colorKey} << " kind "
        << int{c.kind} << " bits " << int{c.bits};
  }
}

// Through the whole library start, as a program uses these settings.
class DrawSettingsLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    qz::ChangeWindowMode(1);
    // The class name locks out a second copy: parallel test processes need their own.
    title_ = "QzDrawSettingsLibrary" + std::to_string(getpid());
    qz::SetMainWindowTitle(title_.c_str());
  }
  void TearDown() override {
    qz::EndLibraryEntry();
    qz::SetPresentVSyncWait(1);
    plat::ResetD3D9StandInForTest();
    plat::UseVirtualTime(false);
  }
  std::string title_;
  qz::testing::ScratchLog log_;
};

TEST_F(DrawSettingsLibrary, VSyncWaitSetBeforeTheStartAlsoSetsTheStartUpCopy) {
  qz::SetPresentVSyncWait(0);
  EXPECT_EQ(qz::GetDrawSettings().startupVSyncWait, 0);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(qz::GetPresentVSyncWait(), 0);
  qz::SetPresentVSyncWait(1);
  EXPECT_EQ(qz::GetPresentVSyncWait(), 1);
  EXPECT_EQ(qz::GetDrawSettings().startupVSyncWait, 0);
}

TEST_F(DrawSettingsLibrary, KeyInputColoursAreMadeInTheScreenFormat) {
  UseDesktopBits(16);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  ASSERT_EQ(qz::GetScreenColorBitDepth(), 16);
  const std::uint32_t* c = qz::GetKeyInputColors();
  EXPECT_EQ((std::array{c[0], c[1], c[3], c[5], c[6], c[7], c[14]}),
            (std::array<std::uint32_t, 7>{0xFFFF, 0xFFE0, 0x07FF, 0xF800, 0xFFE2, 0, 0x8410}));
}

}  // namespace
