// A started graphics screen (device or software path) for tests of graphs
// made from image files, and a TGA writer for their inputs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "graphics/graph_handles.h"
#include "graphics/graphics_start.h"
#include "graphics/screen_settings.h"
#include "platform/d3d9.h"
#include "tests/graphics/screen_window.h"

namespace qz::testing {

// Uncompressed TGA, rows from the top; pixel(x, y) gives 0xAARRGGBB. 24-bit
// files leave the alpha out.
inline std::string MakeTga(int width, int height, int bits,
                           const std::function<std::uint32_t(int, int)>& pixel) {
  std::string out(18, '\0');
  out[2] = 2;
  out[12] = static_cast<char>(width & 0xFF);
  out[13] = static_cast<char>(width >> 8);
  out[14] = static_cast<char>(height & 0xFF);
  out[15] = static_cast<char>(height >> 8);
  out[16] = static_cast<char>(bits);
  out[17] = static_cast<char>(bits == 32 ? 0x28 : 0x20);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t argb = pixel(x, y);
      out.push_back(static_cast<char>(argb & 0xFF));
      out.push_back(static_cast<char>(argb >> 8 & 0xFF));
      out.push_back(static_cast<char>(argb >> 16 & 0xFF));
      if (bits == 32) out.push_back(static_cast<char>(argb >> 24));
    }
  }
  return out;
}

// Every pixel of a sheet differs from its neighbours and none is black (the
// default transparent colour).
inline std::uint32_t SheetPixel(int x, int y) {
  return 0xFF000000u | static_cast<std::uint32_t>((x * 7 + 1) & 0xFF) << 16 |
         static_cast<std::uint32_t>((y * 5 + 2) & 0xFF) << 8 | static_cast<std::uint32_t>((x ^ y) | 1);
}

class GraphicsScreenTest : public ::testing::Test {
 protected:
  void StartScreen(bool hardware) {
    plat::ResetD3D9StandInForTest();
    SetHardwareRenderingFlag(hardware ? 1 : 0);
    ASSERT_EQ(StartGraphicsScreen(), 0);
  }
  void TearDown() override {
    ReleaseAllGraphs();
    TerminateGraphics();
    SetHardwareRenderingFlag(1);
    plat::ResetD3D9StandInForTest();
  }
  ScreenWindow window_;
};

}  // namespace qz::testing
