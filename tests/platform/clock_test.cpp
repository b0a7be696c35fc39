// The stand-in clock: virtual time, counters, timer periods and the file-time
// arithmetic (epochs, leap days, time zones, out-of-range values).
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

struct VirtualTimeScope {
  VirtualTimeScope() { plat::UseVirtualTime(true); }
  ~VirtualTimeScope() { plat::UseVirtualTime(false); }
};

std::uint64_t Ticks(const plat::FileTime& time) { return (static_cast<std::uint64_t>(time.high) << 32) | time.low; }

plat::FileTime FromTicks(std::uint64_t ticks) {
  return plat::FileTime{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

// Sets TZ for one test and puts the old value back.
class TimeZoneScope {
 public:
  explicit TimeZoneScope(const char* zone) {
    const char* old = std::getenv("TZ");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZoneScope() {
    if (hadOld_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

TEST(PlatformClock, VirtualTimeMovesOnlyBySleepsReadsAndAdvances) {
  VirtualTimeScope scope;
  std::int64_t first = 0;
  std::int64_t second = 0;
  ASSERT_TRUE(plat::QueryPerformanceCounter(&first));
  ASSERT_TRUE(plat::QueryPerformanceCounter(&second));
  EXPECT_EQ(second - first, 1000);

  const std::uint32_t before = plat::timeGetTime();
  plat::Sleep(250);
  const std::uint32_t after = plat::timeGetTime();
  EXPECT_GE(after - before, 250u);
  EXPECT_LE(after - before, 251u);

  plat::AdvanceVirtualTime(5000000000ull);
  EXPECT_GE(plat::timeGetTime() - after, 5000u);
  EXPECT_LE(plat::timeGetTime() - after, 5001u);

  // A busy wait on the millisecond counter ends.
  const std::uint32_t start = plat::timeGetTime();
  while (plat::timeGetTime() - start < 100) {
  }
}

TEST(PlatformClock, LeavingVirtualTimeNeverGoesBack) {
  std::uint32_t reached = 0;
  {
    VirtualTimeScope scope;
    plat::AdvanceVirtualTime(60ull * 1000000000ull);
    reached = plat::timeGetTime();
  }
  EXPECT_GE(plat::timeGetTime(), reached);
  std::int64_t previous = 0;
  plat::QueryPerformanceCounter(&previous);
  for (int i = 0; i < 10000; ++i) {
    std::int64_t now = 0;
    plat::QueryPerformanceCounter(&now);
    ASSERT_GE(now, previous);
    previous = now;
  }
}

TEST(PlatformClock, RealCountersAndSleep) {
  std::int64_t frequency = 0;
  ASSERT_TRUE(plat::QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency, 1000000000);
  EXPECT_FALSE(plat::QueryPerformanceCounter(nullptr));
  EXPECT_FALSE(plat::QueryPerformanceFrequency(nullptr));

  std::int64_t before = 0;
  plat::QueryPerformanceCounter(&before);
  plat::Sleep(20);
  plat::Sleep(0);
  std::int64_t after = 0;
  plat::QueryPerformanceCounter(&after);
  EXPECT_GE(after - before, 19000000);
}

TEST(PlatformClock, TimerPeriodsStayBalanced) {
  plat::TimerCaps caps{};
  EXPECT_NE(plat::timeGetDevCaps(nullptr, sizeof(caps)), 0u);
  EXPECT_NE(plat::timeGetDevCaps(&caps, 2), 0u);
  ASSERT_EQ(plat::timeGetDevCaps(&caps, sizeof(caps)), 0u);
  EXPECT_GE(caps.periodMin, 1u);
  EXPECT_GE(caps.periodMax, caps.periodMin);

  const std::uint32_t balance = plat::GetTimerPeriodBalance();
  EXPECT_NE(plat::timeBeginPeriod(0), 0u);
  EXPECT_EQ(plat::GetTimerPeriodBalance(), balance);
  EXPECT_EQ(plat::timeBeginPeriod(caps.periodMin), 0u);
  EXPECT_EQ(plat::GetTimerPeriodBalance(), balance + 1);
  EXPECT_EQ(plat::timeEndPeriod(caps.periodMin), 0u);
  EXPECT_EQ(plat::GetTimerPeriodBalance(), balance);
  if (balance == 0) {
    EXPECT_NE(plat::timeEndPeriod(caps.periodMin), 0u);
  }
  EXPECT_EQ(plat::GetTimerPeriodBalance(), balance);
}

TEST(PlatformClock, TimeStampCounterAdvances) {
  if (!plat::HasTimeStampCounter()) {
    EXPECT_EQ(plat::ReadTimeStampCounter(), 0u);
    return;
  }
  const std::uint64_t first = plat::ReadTimeStampCounter();
  const std::uint64_t second = plat::ReadTimeStampCounter();
  EXPECT_GT(second, first);
  VirtualTimeScope scope;
  const std::uint64_t before = plat::ReadTimeStampCounter();
  plat::Sleep(10);
  const std::uint64_t after = plat::ReadTimeStampCounter();
  // The virtual processor runs at 3 GHz.
  EXPECT_GE(after - before, 30000000u);
  EXPECT_LE(after - before, 30010000u);
}

TEST(PlatformClock, LocalTimeRealAndFake) {
  plat::SystemTime fake{2003, 7, 2, 15, 23, 59, 58, 999};
  plat::SetFakeLocalTime(&fake);
  plat::SystemTime got{};
  plat::GetLocalTime(&got);
  EXPECT_EQ(got.year, 2003);
  EXPECT_EQ(got.day, 15);
  EXPECT_EQ(got.milliseconds, 999);
  plat::SetFakeLocalTime(nullptr);
  plat::GetLocalTime(&got);
  EXPECT_GE(got.year, 2024);
  EXPECT_GE(got.month, 1);
  EXPECT_LE(got.month, 12);
  EXPECT_LE(got.hour, 23);
  EXPECT_LT(got.dayOfWeek, 7);
  plat::GetLocalTime(nullptr);
}

TEST(PlatformFileTime, UnixTimeConversion) {
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(0, 0)), 116444736000000000ull);
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(1, 500)), 116444736000000000ull + 10000000ull + 5ull);
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(-11644473600LL, 0)), 0u);
  // Before 1601 there is no file time.
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(-11644473601LL, 0)), 0u);
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(INT64_MIN, 0)), 0u);
  EXPECT_LE(Ticks(plat::UnixTimeToFileTime(INT64_MAX, 0)), static_cast<std::uint64_t>(INT64_MAX));
}

TEST(PlatformFileTime, CalendarFields) {
  plat::SystemTime time{};
  const plat::FileTime epoch = plat::UnixTimeToFileTime(0, 0);
  ASSERT_TRUE(plat::FileTimeToSystemTime(&epoch, &time));
  EXPECT_EQ(time.year, 1970);
  EXPECT_EQ(time.month, 1);
  EXPECT_EQ(time.day, 1);
  EXPECT_EQ(time.dayOfWeek, 4);  // Thursday

  const plat::FileTime origin = FromTicks(0);
  ASSERT_TRUE(plat::FileTimeToSystemTime(&origin, &time));
  EXPECT_EQ(time.year, 1601);
  EXPECT_EQ(time.dayOfWeek, 1);  // Monday

  // 2000-02-29 12:34:56.789 UTC (a leap day of a year divisible by 400).
  const plat::FileTime leap = plat::UnixTimeToFileTime(951827696, 789000000);
  ASSERT_TRUE(plat::FileTimeToSystemTime(&leap, &time));
  EXPECT_EQ(time.year, 2000);
  EXPECT_EQ(time.month, 2);
  EXPECT_EQ(time.day, 29);
  EXPECT_EQ(time.hour, 12);
  EXPECT_EQ(time.minute, 34);
  EXPECT_EQ(time.second, 56);
  EXPECT_EQ(time.milliseconds, 789);
  EXPECT_EQ(time.dayOfWeek, 2);  // Tuesday

  // 1900 is not a leap year: the day after 1900-02-28 is 1 March.
  const plat::FileTime day1900 = plat::UnixTimeToFileTime(-2203891200LL, 0);
  ASSERT_TRUE(plat::FileTimeToSystemTime(&day1900, &time));
  EXPECT_EQ(time.year, 1900);
  EXPECT_EQ(time.month, 3);
  EXPECT_EQ(time.day, 1);

  const plat::FileTime negative = FromTicks(0x8000000000000000ull);
  EXPECT_FALSE(plat::FileTimeToSystemTime(&negative, &time));
  EXPECT_FALSE(plat::FileTimeToSystemTime(nullptr, &time));
  EXPECT_FALSE(plat::FileTimeToSystemTime(&epoch, nullptr));
}

TEST(PlatformFileTime, LocalFileTimeFollowsTheZone) {
  const plat::FileTime utc = plat::UnixTimeToFileTime(1700000000, 0);
  plat::FileTime local{};
  {
    TimeZoneScope zone("JST-9");
    ASSERT_TRUE(plat::FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(Ticks(local) - Ticks(utc), 9ull * 3600ull * 10000000ull);
  }
  {
    TimeZoneScope zone("UTC0");
    ASSERT_TRUE(plat::FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(Ticks(local), Ticks(utc));
  }
  EXPECT_FALSE(plat::FileTimeToLocalFileTime(nullptr, &local));
  EXPECT_FALSE(plat::FileTimeToLocalFileTime(&utc, nullptr));
}

}  // namespace
