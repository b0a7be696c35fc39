// Library time: the 31-bit wrap, the microsecond counter on each of its
// sources, calendar records and the pumping wait, all on the virtual clock.
#include "core/clock.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>

#include "core/library.h"
#include "platform/clock.h"

namespace {

// Virtual time and a known counter set-up for one test; the library's
// defaults come back afterwards.
class VirtualClock : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    savedAvailable_ = qz::HasPerformanceCounter();
    std::int64_t frequency = 0;
    plat::QueryPerformanceFrequency(&frequency);
    qz::SetPerformanceCounter(1, static_cast<std::uint64_t>(frequency));
    savedEnd_ = qz::GetEndRequest();
    qz::SetEndRequest(0);
    plat::Sleep(1);
  }
  void TearDown() override {
    qz::SetEndRequest(savedEnd_);
    std::int64_t frequency = 0;
    plat::QueryPerformanceFrequency(&frequency);
    qz::SetPerformanceCounter(savedAvailable_, static_cast<std::uint64_t>(frequency));
    qz::SetTimeStampCounter(0, 0);
    plat::UseVirtualTime(false);
  }

 private:
  int savedAvailable_ = 0;
  int savedEnd_ = 0;
};

TEST_F(VirtualClock, MicrosecondsFromThePerformanceCounter) {
  const std::uint64_t first = qz::GetMicrosecondCount(0);
  const std::uint64_t second = qz::GetMicrosecondCount(0);
  // Each virtual read moves time one microsecond.
  EXPECT_EQ(second - first, 1u);
  plat::Sleep(3);
  EXPECT_EQ(qz::GetMicrosecondCount(0) - second, 3001u);
  // Outside virtual time too, it never goes back.
  plat::UseVirtualTime(false);
  std::uint64_t previous = qz::GetMicrosecondCount(0);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t now = qz::GetMicrosecondCount(0);
    ASSERT_GE(now, previous);
    previous = now;
  }
}

TEST_F(VirtualClock, WithoutPerformanceCounterStepsOfAMillisecond) {
  qz::SetPerformanceCounter(0, 0);
  EXPECT_EQ(qz::HasPerformanceCounter(), 0);
  plat::Sleep(10);
  std::uint64_t previous = qz::GetMicrosecondCount(0);
  int changes = 0;
  for (int i = 0; i < 5000; ++i) {
    const std::uint64_t now = qz::GetMicrosecondCount(0);
    EXPECT_EQ(now % 1000, 0u);
    ASSERT_GE(now, previous);
    if (now != previous) ++changes;
    previous = now;
  }
  EXPECT_GE(changes, 4);
}

TEST_F(VirtualClock, TimeStampCounterOnlyWhenAskedAndUsable) {
  if (!plat::HasTimeStampCounter()) GTEST_SKIP() << "no time-stamp counter";
  // The virtual processor ticks 3 times a nanosecond.
  qz::SetTimeStampCounter(1, 3000000000ull);
  EXPECT_EQ(qz::IsTimeStampCounterUsable(), 1);
  EXPECT_EQ(qz::GetTimeStampCounterFrequency(), 3000000000ull);
  const std::uint64_t before = qz::GetMicrosecondCount(1);
  plat::Sleep(50);
  const std::uint64_t after = qz::GetMicrosecondCount(1);
  EXPECT_GE(after - before, 50000u);
  EXPECT_LE(after - before, 50010u);
  // The two sources agree closely, so switching does not jump.
  const std::uint64_t system = qz::GetMicrosecondCount(0);
  EXPECT_LE(system - after, 100u);

  qz::SetTimeStampCounter(0, 3000000000ull);
  EXPECT_EQ(qz::IsTimeStampCounterUsable(), 0);
  qz::SetTimeStampCounter(1, 0);
  EXPECT_EQ(qz::IsTimeStampCounterUsable(), 0);
}

TEST_F(VirtualClock, WaitPumpsOnlyWhileItSleeps) {
  // 3 ms only busy-waits.
  int pumps = qz::GetPumpPassCount();
  std::uint64_t start = qz::GetMicrosecondCount(0);
  EXPECT_EQ(qz::WaitMilliseconds(3), 0);
  EXPECT_GE(qz::GetMicrosecondCount(0) - start, 3000u);
  EXPECT_EQ(qz::WaitMilliseconds(-5), 0);
  EXPECT_EQ(qz::GetPumpPassCount(), pumps);

  // 100 ms on the virtual clock is one sleep, pumped at its start and end
  // (on real time, once per millisecond slept): a pause of the game costs a
  // test or a harness no pump per millisecond.
  start = qz::GetMicrosecondCount(0);
  EXPECT_EQ(qz::WaitMilliseconds(100), 0);
  const std::uint64_t waited = qz::GetMicrosecondCount(0) - start;
  EXPECT_GE(waited, 100000u);
  EXPECT_LT(waited, 102000u);
  EXPECT_EQ(qz::GetPumpPassCount() - pumps, 2);

  // Once the end is requested it stops pumping but still waits it out.
  qz::SetEndRequest(1);
  pumps = qz::GetPumpPassCount();
  start = qz::GetMicrosecondCount(0);
  EXPECT_EQ(qz::WaitMilliseconds(100), 0);
  EXPECT_GE(qz::GetMicrosecondCount(0) - start, 100000u);
  EXPECT_EQ(qz::GetPumpPassCount() - pumps, 1);
}

TEST(LibraryClock, CalendarRecords) {
  const auto fields = [](const qz::DateTimeRecord& r) {
    return std::array{r.year, r.month, r.day, r.hour, r.minute, r.second};
  };
  plat::SystemTime fake{2011, 3, 5, 11, 14, 46, 18, 500};
  plat::SetFakeLocalTime(&fake);
  qz::DateTimeRecord record{};
  EXPECT_EQ(qz::GetLocalDateTime(&record), 0);
  plat::SetFakeLocalTime(nullptr);
  EXPECT_EQ(fields(record), (std::array{2011, 3, 11, 14, 46, 18}));
  EXPECT_EQ(qz::GetLocalDateTime(nullptr), -1);

  // A file time comes out in local time, as the C library sees it.
  const plat::FileTime fileTime = plat::UnixTimeToFileTime(951867000, 0);
  qz::FileTimeToDateRecord(&fileTime, &record);
  const time_t seconds = 951867000;
  tm local{};
  localtime_r(&seconds, &local);
  EXPECT_EQ(fields(record), (std::array{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                        local.tm_min, local.tm_sec}));

  const plat::FileTime outOfRange{0xFFFFFFFFu, 0xFFFFFFFFu};
  qz::FileTimeToDateRecord(&outOfRange, &record);
  EXPECT_EQ(record.year, 0);
  qz::FileTimeToDateRecord(nullptr, &record);
  qz::FileTimeToDateRecord(&fileTime, nullptr);
}

}  // namespace
