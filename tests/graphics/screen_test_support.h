// A started library for the present, read-back and draw-target tests: a
// 640 x 480 32-bit window-mode screen on either renderer, in virtual time, a
// screen painted with a pattern without the drawing front end, and the
// window's presented frame read back.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/draw_target.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "platform/ddraw.h"
#include "platform/window_present.h"

namespace qz::testing {

enum class ScreenPath { kDevice, kSoftware };

inline const char* ScreenPathName(const ::testing::TestParamInfo<ScreenPath>& info) {
  return info.param == ScreenPath::kDevice ? "Device" : "Software";
}

// Colour of the test pattern at (x, y): 8 by 8 blocks, each of its own colour.
inline std::uint32_t PatternColor(int x, int y) {
  const auto bx = static_cast<std::uint32_t>(x / 8);
  const auto by = static_cast<std::uint32_t>(y / 8);
  return ((bx * 3 + 17) & 0xFF) << 16 | ((by * 5 + 29) & 0xFF) << 8 | ((bx ^ by) * 7 & 0xFF);
}

// The surface or image the back screen is drawn into.
inline plat::IDirect3DSurface9* ScreenSurface() {
  const GraphicsState& state = GetGraphicsState();
  return state.subBackBuffer != nullptr ? state.subBackBuffer : state.backBuffer;
}

// Fills a rectangle of the back screen with 0xRRGGBB, past the drawing state.
inline void PaintScreenRect(int left, int top, int right, int bottom, std::uint32_t rgb) {
  GraphicsState& state = GetGraphicsState();
  if (state.hardware3DOn != 0) {
    const plat::WinRect rect{left, top, right, bottom};
    ASSERT_EQ(state.device->ColorFill(ScreenSurface(), &rect, 0xFF000000u | rgb), plat::D3D_OK);
    return;
  }
  MEMIMG& image = state.screenImages[kBackScreenImage];
  const Rect rect{left, top, right, bottom};
  FillMemImgArea(&image, &rect,
                 PackColorByDescriptor(image.block->colorDesc, rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF, 0));
}

inline void PaintPattern() {
  const GraphicsState& state = GetGraphicsState();
  for (int y = 0; y < state.screenHeight; y += 8) {
    for (int x = 0; x < state.screenWidth; x += 8) PaintScreenRect(x, y, x + 8, y + 8, PatternColor(x, y));
  }
}

// 0xRRGGBB pixels of a picture, row by row.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
};

inline Picture ReadWindow() {
  Picture picture;
  EXPECT_TRUE(plat::ReadPresentedFrame(GetWindowSystemState().mainWindow, &picture.pixels, &picture.width,
                                       &picture.height));
  return picture;
}

// The back screen as it stands.
inline Picture ReadScreen() {
  Picture picture;
  GraphicsState& state = GetGraphicsState();
  if (state.hardware3DOn != 0) {
    EXPECT_TRUE(plat::ReadD3D9SurfaceArgb(ScreenSurface(), &picture.pixels, &picture.width, &picture.height));
    return picture;
  }
  const MEMIMG& image = state.screenImages[kBackScreenImage];
  picture.width = image.width;
  picture.height = image.height;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      std::uint32_t value = 0;
      std::memcpy(&value, image.pixels + static_cast<std::ptrdiff_t>(y) * image.block->pitch + x * 4, 4);
      picture.pixels.push_back(value);
    }
  }
  return picture;
}

// Counts pixels of the window at (x, y) that differ from pattern(x / scale, y / scale).
inline int CountPatternMismatches(const Picture& picture, int scale) {
  int wrong = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) wrong += picture.At(x, y) != PatternColor(x / scale, y / scale) ? 1 : 0;
  }
  return wrong;
}

// The library started in window mode on one path. Options take effect when
// set before Start.
class ScreenLibraryTest : public ::testing::TestWithParam<ScreenPath> {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    plat::ResetD3D9StandInForTest();
    GetWindowSystemState().settings = WindowSettings{};
    ChangeWindowMode(1);
    title_ = "QzScreen" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    SetMainWindowTitle(title_.c_str());
    SetScreenColorBitDepth(32);
  }
  void TearDown() override {
    EndLibraryEntry();
    SetHardwareRenderingFlag(1);
    SetScreenColorBitDepth(0);
    SetWindowScaleFactor(0, 0);
    plat::SetVerticalBlankTimingForTest(0, 0);
    plat::ResetD3D9StandInForTest();
    plat::UseVirtualTime(false);
  }
  bool OnDevice() const { return GetParam() == ScreenPath::kDevice; }
  void Start() {
    SetHardwareRenderingFlag(OnDevice() ? 1 : 0);
    ASSERT_EQ(InitLibraryEntry(), 0);
    ASSERT_EQ(GetGraphicsState().hardware3DOn, OnDevice() ? 1 : 0);
    ASSERT_EQ(SelectDrawTarget(kBackScreen), 0);
  }

 private:
  std::string title_;
};

}  // namespace qz::testing
