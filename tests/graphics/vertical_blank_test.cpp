// Frame pacing on the virtual clock: the measured refresh period, the wait
// margin, and which presents wait for the vertical blank.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "graphics/draw_settings_block.h"
#include "graphics/screen_present.h"
#include "graphics/screen_test_support.h"
#include "platform/clock_internal.h"

namespace {

// A DirectDraw object in the graphics state, without a started library.
class VerticalBlank : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    qz::SetPerformanceCounter(1, 1000000000);  // microseconds as after the library start
    ASSERT_EQ(plat::CreateDirectDraw7Instance(plat::CLSCTX_DIRECTDRAW, &directDraw_), plat::S_OK);
    ASSERT_EQ(directDraw_->Initialize(nullptr), plat::DD_OK);
    qz::GetGraphicsState().directDraw = directDraw_;
  }
  void TearDown() override {
    qz::GetGraphicsState().directDraw = nullptr;
    directDraw_->Release();
    plat::SetVerticalBlankTimingForTest(0, 0);
    plat::UseVirtualTime(false);
  }
  plat::IDirectDraw7* directDraw_ = nullptr;
};

TEST_F(VerticalBlank, SteadyBlanksSetThePeriodAndWaitsReturnOneBlankApart) {
  plat::SetVerticalBlankTimingForTest(16667000, 0);
  ASSERT_EQ(qz::MeasureRefreshPeriod(), 0);
  EXPECT_EQ(qz::GetRefreshPeriodMicroseconds(), 16667);
  EXPECT_EQ(qz::GetVerticalBlankWaitMargin(), 13667);
  const std::uint64_t first = qz::GetMicrosecondCount(0);
  ASSERT_EQ(qz::WaitForNextVerticalBlank(), 0);
  EXPECT_NEAR(static_cast<double>(qz::GetMicrosecondCount(0) - first), 16667.0, 50.0);
}

TEST_F(VerticalBlank, JitterOverAMillisecondLeavesThePeriodUnknownAfterSixtyWaits) {
  plat::SetVerticalBlankTimingForTest(16667000, 1500000);
  const int before = plat::GetVerticalBlankWaitCount();
  ASSERT_EQ(qz::MeasureRefreshPeriod(), 0);
  EXPECT_EQ(qz::GetRefreshPeriodMicroseconds(), -1);
  EXPECT_EQ(qz::GetVerticalBlankWaitMargin(), 4000);
  EXPECT_EQ(plat::GetVerticalBlankWaitCount() - before, 62);  // first, sixty measured, closing
}

int gClockMoves = 0;
void CountClockMove(std::uint64_t) { ++gClockMoves; }

// A wait on virtual time lands on the blank itself, in a few moves of the
// clock rather than a read (and a yield) per microsecond up to it.
TEST_F(VerticalBlank, AVirtualTimeWaitJumpsStraightToTheBlank) {
  constexpr std::uint64_t kPeriod = 16667000;
  plat::SetVerticalBlankTimingForTest(kPeriod, 0);
  plat::AdvanceVirtualTime(1000500 - plat::PeekElapsedNanos() % 1000000);  // half a microsecond off the grid
  const std::uint64_t before = plat::PeekElapsedNanos();
  gClockMoves = 0;
  plat::SetVirtualTimeListener(&CountClockMove);
  ASSERT_EQ(directDraw_->WaitForVerticalBlank(plat::DDWAITVB_BLOCKBEGIN, nullptr), plat::DD_OK);
  plat::SetVirtualTimeListener(nullptr);
  const std::uint64_t after = plat::PeekElapsedNanos();
  EXPECT_EQ(after % kPeriod, 0u);
  EXPECT_LE(after - before, kPeriod);
  EXPECT_LE(gClockMoves, 3);
}

using qz::testing::ScreenPath;

class PresentPacing : public qz::testing::ScreenLibraryTest {};

TEST_P(PresentPacing, NoVsyncMakesNoPathWait) {
  qz::SetPresentVSyncWait(0);
  qz::GetWindowSystemState().settings.runInBackground = 1;
  Start();
  const int waits = plat::GetVerticalBlankWaitCount();
  const std::uint64_t started = qz::GetMicrosecondCount(0);
  for (int frame = 0; frame < 10; ++frame) ASSERT_EQ(qz::PresentFrame(), 0);
  EXPECT_EQ(plat::GetVerticalBlankWaitCount(), waits);
  EXPECT_LT(qz::GetMicrosecondCount(0) - started, 16000u);  // less than one blank for all ten
  qz::SetPresentVSyncWait(1);
}

TEST_P(PresentPacing, SoftwarePresentsWaitAndADevicePresentOnlyWhenItReturnedAtOnce) {
  qz::GetWindowSystemState().settings.runInBackground = 1;
  Start();
  plat::SetD3D9PresentSynchronisedForTest(false);
  int waits = plat::GetVerticalBlankWaitCount();
  ASSERT_EQ(qz::PresentFrame(), 0);
  EXPECT_EQ(plat::GetVerticalBlankWaitCount() - waits, 1);
  if (!OnDevice()) return;
  plat::SetD3D9PresentDurationForTest(1);  // taken as synchronised
  waits = plat::GetVerticalBlankWaitCount();
  ASSERT_EQ(qz::PresentFrame(), 0);
  EXPECT_EQ(plat::GetVerticalBlankWaitCount(), waits);
  plat::SetD3D9PresentDurationForTest(0);
  qz::GetWindowSystemState().settings.runInBackground = 0;
  ASSERT_EQ(qz::PresentFrame(), 0);
  EXPECT_EQ(plat::GetVerticalBlankWaitCount(), waits);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, PresentPacing, ::testing::Values(ScreenPath::kDevice, ScreenPath::kSoftware),
                         qz::testing::ScreenPathName);

}  // namespace
