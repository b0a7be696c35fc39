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

// The image's pixel at (x, y) as 0xRRGGBB (32-bit images only).
std::uint32_t ImagePixel(const qz::BaseImage& image, int x, int y) {
  std::uint32_t value = 0;
  std::memcpy(&value, image.pixels + static_cast<std::ptrdiff_t>(y) * image.pitch + x * 4, 4);
  return value & 0xFFFFFF;
}

int CountRectMismatches(const qz::BaseImage& image, const plat::WinRect& rect) {
  int wrong = 0;
  for (int y = 0; y < static_cast<int>(image.height); ++y) {
    for (int x = 0; x < static_cast<int>(image.width); ++x) {
      wrong += ImagePixel(image, x, y) != qz::testing::PatternColor(rect.left + x, rect.top + y) ? 1 : 0;
    }
  }
  return wrong;
}

class Readback : public qz::testing::ScreenLibraryTest {};

TEST_P(Readback, SubRectangleHoldsWhatWasDrawnAndNothingStaysLocked) {
  Start();
  qz::testing::PaintPattern();
  const plat::WinRect rect{100, 50, 300, 210};
  qz::BaseImage image{};
  ASSERT_EQ(qz::LockBackBufferImage(&rect, &image, -1), 0);
  EXPECT_EQ(image.width, 200u);
  EXPECT_EQ(image.height, 160u);
  EXPECT_EQ(image.format.bytesPerPixel, 4);
  EXPECT_EQ(image.mipLevels, 0);
  EXPECT_EQ(CountRectMismatches(image, rect), 0);
  EXPECT_EQ(qz::ReleaseBackBufferLockSurfaces(), 0);
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

TEST_P(Readback, RefusesRectanglesOutsideTheTargetsOwnSize) {
  Start();
  const plat::WinRect empty{10, 10, 10, 20};
  const plat::WinRect beyond{600, 400, 641, 480};
  const plat::WinRect negative{-1, 0, 10, 10};
  qz::BaseImage image{};
  EXPECT_EQ(qz::LockBackBufferImage(&empty, &image, -1), -1);
  EXPECT_EQ(qz::LockBackBufferImage(&beyond, &image, -1), -1);
  EXPECT_EQ(qz::LockBackBufferImage(&negative, &image, qz::kBackScreen), -1);
  // Valid for the screen, but past a 64 x 64 graph.
  qz::SetNewGraphUserFormatFlag(1);
  const int graph = qz::CreateBlankGraph(64, 64);
  qz::SetNewGraphUserFormatFlag(0);
  ASSERT_NE(graph, -1);
  const plat::WinRect screenSized{0, 0, 100, 100};
  EXPECT_EQ(qz::LockBackBufferImage(&screenSized, &image, graph), -1);
  const plat::WinRect inside{0, 0, 64, 64};
  ASSERT_EQ(qz::LockBackBufferImage(&inside, &image, graph), 0);
  EXPECT_EQ(image.width, 64u);
  qz::ReleaseBackBufferLockSurfaces();
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, Readback, ::testing::Values(ScreenPath::kDevice, ScreenPath::kSoftware),
                         qz::testing::ScreenPathName);

class DeviceReadback : public qz::testing::ScreenLibraryTest {
 protected:
  void ReadBackPattern() {
    qz::testing::PaintPattern();
    const plat::WinRect rect{8, 16, 520, 470};
    qz::BaseImage image{};
    ASSERT_EQ(qz::LockBackBufferImage(&rect, &image, qz::kBackScreen), 0);
    EXPECT_EQ(CountRectMismatches(image, rect), 0);
    qz::ReleaseBackBufferLockSurfaces();
    EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
  }
};

TEST_P(DeviceReadback, SlowRenderTargetCopiesChooseTheDirectLock) {
  qz::testing::ScratchLog log;
  plat::SetD3D9ReadbackCostsForTest(0, 3);
  Start();
  EXPECT_EQ(qz::IsBackBufferDirectLockUsed(), 1);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackUseLock));
  const int copiesBefore = plat::GetD3D9CallCount("GetRenderTargetData");
  ReadBackPattern();
  EXPECT_EQ(plat::GetD3D9CallCount("GetRenderTargetData"), copiesBefore);
}

TEST_P(DeviceReadback, SlowSurfaceLocksChooseTheCopyThroughSystemMemory) {
  qz::testing::ScratchLog log;
  plat::SetD3D9ReadbackCostsForTest(3, 0);
  Start();
  EXPECT_EQ(qz::IsBackBufferDirectLockUsed(), 0);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackNoLock));
  const int copiesBefore = plat::GetD3D9CallCount("GetRenderTargetData");
  const int liveBefore = plat::GetD3D9LiveObjectCount();
  ReadBackPattern();
  EXPECT_EQ(plat::GetD3D9CallCount("GetRenderTargetData"), copiesBefore + 1);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), liveBefore);
}

TEST_P(DeviceReadback, AFailingStepLeavesTheDirectLockOffWithItsLine) {
  qz::testing::ScratchLog log;
  plat::FailD3D9CallForTest("GetRenderTargetData", 1, 100, plat::E_FAIL);
  plat::SetD3D9ReadbackCostsForTest(0, 3);
  Start();
  EXPECT_EQ(qz::IsBackBufferDirectLockUsed(), 0);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackLockUnavailable));
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

TEST_P(DeviceReadback, UnmadeTemporarySurfacesAreLoggedAndNothingStaysLocked) {
  qz::testing::ScratchLog log;
  plat::SetD3D9ReadbackCostsForTest(3, 0);
  Start();
  const int liveBefore = plat::GetD3D9LiveObjectCount();
  const plat::WinRect rect{0, 0, 32, 32};
  qz::BaseImage image{};
  plat::FailD3D9CallForTest("CreateRenderTarget", 1, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -1), -1);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackTargetCreateFailed));
  plat::FailD3D9CallForTest("CreateOffscreenPlainSurface", 1, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(qz::LockBackBufferImage(&rect, &image, -1), -1);
  EXPECT_TRUE(log.Contains(qz::text::kGfxReadbackSysmemCreateFailed));
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), liveBefore);
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(DevicePath, DeviceReadback, ::testing::Values(ScreenPath::kDevice),
                         qz::testing::ScreenPathName);

class SoftwareReadback : public qz::testing::ScreenLibraryTest {};

TEST_P(SoftwareReadback, PointsIntoTheScreenImageWithoutADeviceCall) {
  Start();
  plat::SetD3D9CallTraceEnabled(true);
  plat::TakeD3D9CallTrace();
  const plat::WinRect rect{100, 50, 300, 210};
  qz::BaseImage image{};
  ASSERT_EQ(qz::LockBackBufferImage(&rect, &image, -1), 0);
  const qz::MEMIMG& screen = qz::GetGraphicsState().screenImages[qz::kBackScreenImage];
  EXPECT_EQ(image.pixels, screen.pixels + 50 * screen.block->pitch + 100 * 4);
  EXPECT_EQ(image.pitch, static_cast<std::uint32_t>(screen.block->pitch));
  qz::ReleaseBackBufferLockSurfaces();
  EXPECT_TRUE(plat::TakeD3D9CallTrace().empty());
}

INSTANTIATE_TEST_SUITE_P(SoftwarePath, SoftwareReadback, ::testing::Values(ScreenPath::kSoftware),
                         qz::testing::ScreenPathName);

TEST(ReadbackTestSide, HalvesUntilTheSquareFitsTheScreen) {
  EXPECT_EQ(qz::ReadbackTestSide(640, 480), 256);
  EXPECT_EQ(qz::ReadbackTestSide(200, 150), 128);
  EXPECT_EQ(qz::ReadbackTestSide(1024, 100), 64);
}

}  // namespace
