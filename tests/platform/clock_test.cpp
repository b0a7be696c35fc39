// The stand-in clock: time never goes back when a test leaves virtual time,
// and the file-time arithmetic (epochs, leap days, zones, bad values).
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

std::uint64_t Ticks(const plat::FileTime& time) { return (static_cast<std::uint64_t>(time.high) << 32) | time.low; }

TEST(PlatformClock, LeavingVirtualTimeNeverGoesBack) {
  plat::UseVirtualTime(true);
  plat::AdvanceVirtualTime(60ull * 1000000000ull);
  const std::uint32_t reached = plat::timeGetTime();
  plat::UseVirtualTime(false);
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

TEST(PlatformClock, TickCountFollowsTheVirtualClock) {
  plat::UseVirtualTime(true);
  const std::uint32_t start = plat::GetTickCount();
  plat::Sleep(400);
  const std::uint32_t ticks = plat::GetTickCount() - start;
  const std::uint32_t time = plat::timeGetTime();
  plat::UseVirtualTime(false);
  // Each read moves virtual time by a microsecond, so only a hair is added.
  EXPECT_GE(ticks, 400u);
  EXPECT_LE(ticks, 401u);
  EXPECT_LE(time - start, 401u);
}

TEST(PlatformFileTime, CalendarFields) {
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(0, 0)), 116444736000000000ull);
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(1, 500)), 116444736000000000ull + 10000005ull);
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(-11644473601LL, 0)), 0u);  // before 1601
  EXPECT_EQ(Ticks(plat::UnixTimeToFileTime(INT64_MIN, 0)), 0u);
  EXPECT_LE(Ticks(plat::UnixTimeToFileTime(INT64_MAX, 0)), static_cast<std::uint64_t>(INT64_MAX));

  plat::SystemTime time{};
  const plat::FileTime origin{0, 0};
  ASSERT_TRUE(plat::FileTimeToSystemTime(&origin, &time));
  EXPECT_EQ(time.year, 1601);
  EXPECT_EQ(time.dayOfWeek, 1);  // Monday

  // 2000-02-29 12:34:56.789 UTC: a leap day of a year divisible by 400.
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

  // 1900 is no leap year: 1 March follows 28 February.
  const plat::FileTime march1900 = plat::UnixTimeToFileTime(-2203891200LL, 0);
  ASSERT_TRUE(plat::FileTimeToSystemTime(&march1900, &time));
  EXPECT_EQ(time.year, 1900);
  EXPECT_EQ(time.month, 3);
  EXPECT_EQ(time.day, 1);

  const plat::FileTime negative{0, 0x80000000u};
  EXPECT_FALSE(plat::FileTimeToSystemTime(&negative, &time));
  EXPECT_FALSE(plat::FileTimeToSystemTime(nullptr, &time));
  EXPECT_FALSE(plat::FileTimeToSystemTime(&leap, nullptr));
}

TEST(PlatformFileTime, LocalFileTimeFollowsTheZone) {
  const char* old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  const plat::FileTime utc = plat::UnixTimeToFileTime(1700000000, 0);
  plat::FileTime japan{};
  plat::FileTime universal{};
  setenv("TZ", "JST-9", 1);
  tzset();
  const bool japanOk = plat::FileTimeToLocalFileTime(&utc, &japan);
  setenv("TZ", "UTC0", 1);
  tzset();
  const bool universalOk = plat::FileTimeToLocalFileTime(&utc, &universal);
  if (old != nullptr) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  ASSERT_TRUE(japanOk && universalOk);
  EXPECT_EQ(Ticks(japan) - Ticks(utc), 9ull * 3600ull * 10000000ull);
  EXPECT_EQ(Ticks(universal), Ticks(utc));
  EXPECT_FALSE(plat::FileTimeToLocalFileTime(nullptr, &japan));
  EXPECT_FALSE(plat::FileTimeToLocalFileTime(&utc, nullptr));
}

}  // namespace
