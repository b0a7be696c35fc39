// Reading the game's screen back in tests: one pixel of the back screen as
// 0xRRGGBB, through the library's read-back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "graphics/back_buffer_readback.h"

namespace qz::testing {

inline std::uint32_t ScreenPixel(int x, int y) {
  const plat::WinRect rect{x, y, x + 1, y + 1};
  BaseImage image{};
  if (LockBackBufferImage(&rect, &image, -1) != 0) {
    ADD_FAILURE() << "no read-back at " << x << "," << y;
    return 0xDEADBEEF;
  }
  std::uint32_t pixel = 0;
  std::memcpy(&pixel, image.pixels, sizeof pixel);
  ReleaseBackBufferLockSurfaces();
  return pixel & 0xFFFFFF;
}

}  // namespace qz::testing
