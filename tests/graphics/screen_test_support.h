// A started library for the present, read-back and draw-target tests: a
// 640 x 480 32-bit window-mode screen on either path, in virtual time, painted
// with a pattern past the drawing front end.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
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

// 8 x 8 blocks, each of its own colour (0xRRGGBB).
inline std::uint32_t PatternColor(int x, int y) {
  const auto bx = static_cast<std::uint32_t>(x / 8);
  const auto by = static_cast<std::uint32_t>(y / 8);
  return ((bx * 3 + 17) & 0xFF) << 16 | ((by * 5 + 29) & 0xFF) << 8 | ((bx ^ by) * 7 & 0xFF);
}

// Fills a rectangle of the back screen (the sub back buffer when there is one).
inline void PaintScreenRect(int left, int top, int right, int bottom, std::uint32_t rgb) {
  GraphicsState& state = GetGraphicsState();
  if (state.hardware3DOn != 0) {
    const plat::WinRect rect{left, top, right, bottom};
    plat::IDirect3DSurface9* surface = state.subBackBuffer != nullptr ? state.subBackBuffer : state.backBuffer;
    ASSERT_EQ(state.device->ColorFill(surface, &rect, 0xFF000000u | rgb), plat::D3D_OK);
    return;
  }
  MEMIMG& image = state.screenImages[kBackScreenImage];
  const Rect rect{left, top, right, bottom};
  FillMemImgArea(&image, &rect,
                 PackColorByDescriptor(image.block->colorDesc, rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF, 0));
}

inline void PaintPattern() {
  for (int y = 0; y < 480; y += 8) {
    for (int x = 0; x < 640; x += 8) PaintScreenRect(x, y, x + 8, y + 8, PatternColor(x, y));
  }
}

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
  // Pixels differing from the pattern read at (x * sourceWidth / width, y * sourceHeight / height).
  int PatternMismatches(int sourceWidth, int sourceHeight) const {
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        wrong += At(x, y) != PatternColor(x * sourceWidth / width, y * sourceHeight / height) ? 1 : 0;
      }
    }
    return wrong;
  }
};

inline Picture ReadWindow() {
  Picture picture;
  EXPECT_TRUE(plat::ReadPresentedFrame(GetWindowSystemState().mainWindow, &picture.pixels, &picture.width,
                                       &picture.height));
  return picture;
}

enum class ScreenPath { kDevice, kSoftware };

inline const char* ScreenPathName(const ::testing::TestParamInfo<ScreenPath>& info) {
  return info.param == ScreenPath::kDevice ? "Device" : "Software";
}

// Options set before Start take effect at the start.
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
