// Back-buffer read-back: the pixels of a rectangle by either device way and
// on the software path, refused rectangles, no lock left open, and the
// timing at device creation that picks the way.
#include <gtest/gtest.h>

#include <cstring>

#include "core/log_text.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_test_support.h"
#include "support/scratch_log.h"

namespace {

using qz::testing::ScreenPath;

int CountPatternMismatches(const qz::BaseImage& image, const plat::WinRect& rect) {
  int wrong = 0;
  for (int y = 0; y < static_cast<int>(image.height); ++y) {
    for (int x = 0; x < static_cast<int>(image.width); ++x) {
      std::uint32_t value = 0;
      std::memcpy(&value, image.pixels + static_cast<std::ptrdiff_t>(y) * image.pitch + x * 4, 4);
      wrong += (value & 0xFFFFFF) != qz::testing::PatternColor(rect.left + x, rect.top + y) ? 1 : 0;
    }
  }
  return wrong;
}

// Reads the pattern back and checks it; returns the image's pixel pointer.
const std::uint8_t* ReadBackPattern(const plat::WinRect& rect) {
  qz::testing::PaintPattern();
  qz::BaseImage image{};
  EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -1), 0);
  EXPECT_EQ(image.width, static_cast<std::uint32_t>(rect.right - rect.left));
  EXPECT_EQ(image.height, static_cast<std::uint32_t>(rect.bottom - rect.top));
  EXPECT_EQ(CountPatternMismatches(image, rect), 0);
  EXPECT_EQ(qz::ReleaseBackBufferLockSurfaces(), 0);
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
  return image.pixels;
}

class Readback : public qz::testing::ScreenLibraryTest {};

TEST_P(Readback, RefusesRectanglesOutsideTheTargetsOwnSize) {
  Start();
  qz::BaseImage image{};
  for (const plat::WinRect& bad : {plat::WinRect{10, 10, 10, 20}, plat::WinRect{600, 400, 641, 480},
                                   plat::WinRect{-1, 0, 10, 10}}) {
    EXPECT_EQ(qz::LockBackBufferImage(&bad, &image, -1), -1);
  }
  qz::SetNewGraphUserFormatFlag(1);
  const int graph = qz::CreateBlankGraph(64, 64);
  qz::SetNewGraphUserFormatFlag(0);
  const plat::WinRect screenSized{0, 0, 100, 100};  // valid for the screen, past the graph
  EXPECT_EQ(qz::LockBackBufferImage(&screenSized, &image, graph), -1);
  const plat::WinRect inside{0, 0, 64, 64};
  ASSERT_EQ(qz::LockBackBufferImage(&inside, &image, graph), 0);
  qz::ReleaseBackBufferLockSurfaces();
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

TEST_P(Readback, DeviceTimingPicksEachWayAndBothReadTheSamePixels) {
  if (!OnDevice()) {
    Start();
    plat::SetD3D9CallTraceEnabled(true);
    plat::TakeD3D9CallTrace();
    const std::uint8_t* pixels = ReadBackPattern({100, 50, 300, 210});
    const qz::MEMIMG& screen = qz::GetGraphicsState().screenImages[qz::kBackScreenImage];
    EXPECT_EQ(pixels, screen.pixels + 50 * screen.block->pitch + 100 * 4);
    EXPECT_TRUE(plat::TakeD3D9CallTrace().empty());
    return;
  }
  for (const bool slowCopy : {true, false}) {
    qz::testing::ScratchLog log;
    plat::SetD3D9ReadbackCostsForTest(slowCopy ? 0 : 3, slowCopy ? 3 : 0);
    Start();
    EXPECT_EQ(qz::IsBackBufferDirectLockUsed(), slowCopy ? 1 : 0);
    EXPECT_TRUE(log.Contains(slowCopy ? qz::text::kGfxReadbackUseLock : qz::text::kGfxReadbackNoLock));
    const int copies = plat::GetD3D9CallCount("GetRenderTargetData");
    const int live = plat::GetD3D9LiveObjectCount();
    ReadBackPattern({8, 16, 520, 470});
    EXPECT_EQ(plat::GetD3D9CallCount("GetRenderTargetData") - copies, slowCopy ? 0 : 1);
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), live);
    qz::EndLibraryEntry();
  }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, Readback, ::testing::Values(ScreenPath::kDevice, ScreenPath::kSoftware),
                         qz::testing::ScreenPathName);

class DeviceReadback : public qz::testing::ScreenLibraryTest {};

TEST_P(DeviceReadback, FailingStepsAreLoggedAndLeaveNothingLocked) {
  qz::testing::ScratchLog log;
  plat::FailD3D9CallForTest("GetRenderTargetData", 1, 6, plat::E_FAIL);
  Start();
  EXPECT_EQ(qz::IsBackBufferDirectLockUsed(), 0);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackLockUnavailable));
  const int live = plat::GetD3D9LiveObjectCount();
  const plat::WinRect rect{0, 0, 32, 32};
  qz::BaseImage image{};
  plat::FailD3D9CallForTest("CreateRenderTarget", 1, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -1), -1);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackTargetCreateFailed));
  plat::FailD3D9CallForTest("CreateOffscreenPlainSurface", 1, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -1), -1);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackSysmemCreateFailed));
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), live);
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(DevicePath, DeviceReadback, ::testing::Values(ScreenPath::kDevice),
                         qz::testing::ScreenPathName);

TEST(ReadbackTestSide, HalvesUntilTheSquareFitsTheScreen) {
  EXPECT_EQ(qz::ReadbackTestSide(640, 480), 256);
  EXPECT_EQ(qz::ReadbackTestSide(200, 150), 128);
}

}  // namespace
