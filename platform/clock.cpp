// The stand-in clock: counters from process start over CLOCK_MONOTONIC, an
// optional virtual time for tests, local time and file-time arithmetic.
// File times are computed here rather than by the C library so that dates
// before 1970 and the 1601 epoch come out right everywhere.
#include "platform/clock.h"

#include <sched.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/clock_internal.h"
#include "platform/system_info.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define PLAT_HAS_TSC 1
#else
#define PLAT_HAS_TSC 0
#endif

namespace plat {
namespace {

constexpr std::int64_t kNanosPerSecond = 1000000000;
constexpr std::int64_t kFileTicksPerSecond = 10000000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifferenceSeconds = 11644473600LL;
// The processor a virtual time-stamp counter pretends to be (3 GHz).
constexpr std::uint64_t kVirtualTicksPerNano = 3;
constexpr std::uint64_t kVirtualReadStepNanos = 1000;

std::int64_t MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

std::int64_t ProcessStartNanos() {
  static const std::int64_t start = MonotonicNanos();
  return start;
}
// Fix the start before main() so the first caller does not define it.
[[maybe_unused]] const std::int64_t kStartAnchor = ProcessStartNanos();

std::atomic<bool> gVirtual{false};
std::atomic<std::uint64_t> gVirtualNanos{0};
// Added to real time after virtual time ran ahead of it, so the clock never
// goes back when a test leaves virtual time.
std::atomic<std::uint64_t> gRealOffsetNanos{0};
std::atomic<std::uint32_t> gTimerPeriodBalance{0};
std::atomic<VirtualTimeListener> gVirtualTimeListener{nullptr};
std::atomic<bool> gVirtualSleepYields{true};

std::mutex gFakeTimeMutex;
bool gHasFakeTime = false;
SystemTime gFakeTime{};

std::uint64_t RealElapsedNanos() {
  return static_cast<std::uint64_t>(MonotonicNanos() - ProcessStartNanos()) +
         gRealOffsetNanos.load(std::memory_order_acquire);
}

// Moves virtual time on and tells the listener.
std::uint64_t AdvanceVirtualNanos(std::uint64_t nanoseconds) {
  const std::uint64_t now = gVirtualNanos.fetch_add(nanoseconds, std::memory_order_acq_rel) + nanoseconds;
  if (VirtualTimeListener listener = gVirtualTimeListener.load(std::memory_order_acquire)) listener(now);
  return now;
}

// The current time since start; a read in virtual mode moves time on.
std::uint64_t ReadElapsedNanos() {
  if (gVirtual.load(std::memory_order_acquire)) return AdvanceVirtualNanos(kVirtualReadStepNanos);
  return RealElapsedNanos();
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, std::int64_t* year, unsigned* month, unsigned* day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  *day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  *month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  *year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (*month <= 2 ? 1 : 0);
}

std::int64_t FileTimeToTicks(const FileTime& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.high) << 32) | time.low);
}

FileTime TicksToFileTime(std::int64_t ticks) {
  const std::uint64_t value = static_cast<std::uint64_t>(ticks);
  return FileTime{static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
}

}  // namespace

std::uint32_t timeGetTime() { return static_cast<std::uint32_t>(ReadElapsedNanos() / 1000000u); }

std::uint32_t GetTickCount() { return timeGetTime(); }

BOOL QueryPerformanceCounter(std::int64_t* count) {
  if (count == nullptr) return FALSE;
  *count = static_cast<std::int64_t>(ReadElapsedNanos());
  return TRUE;
}

BOOL QueryPerformanceFrequency(std::int64_t* frequency) {
  if (frequency == nullptr) return FALSE;
  *frequency = kNanosPerSecond;
  return TRUE;
}

void Sleep(std::uint32_t milliseconds) {
  if (gVirtual.load(std::memory_order_acquire)) {
    AdvanceVirtualNanos(static_cast<std::uint64_t>(milliseconds) * 1000000u);
    if (gVirtualSleepYields.load(std::memory_order_acquire)) std::this_thread::yield();
    return;
  }
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {
constexpr std::uint32_t kTimerNoError = 0;
constexpr std::uint32_t kTimerCannotDo = 97;
constexpr std::uint32_t kTimerPeriodMin = 1;
constexpr std::uint32_t kTimerPeriodMax = 1000000;
}  // namespace

std::uint32_t timeGetDevCaps(TimerCaps* caps, std::uint32_t size) {
  if (caps == nullptr || size < sizeof(TimerCaps)) return kTimerCannotDo;
  caps->periodMin = kTimerPeriodMin;
  caps->periodMax = kTimerPeriodMax;
  return kTimerNoError;
}

std::uint32_t timeBeginPeriod(std::uint32_t period) {
  if (period < kTimerPeriodMin || period > kTimerPeriodMax) return kTimerCannotDo;
  gTimerPeriodBalance.fetch_add(1, std::memory_order_acq_rel);
  return kTimerNoError;
}

std::uint32_t timeEndPeriod(std::uint32_t period) {
  if (period < kTimerPeriodMin || period > kTimerPeriodMax) return kTimerCannotDo;
  std::uint32_t balance = gTimerPeriodBalance.load(std::memory_order_acquire);
  do {
    if (balance == 0) return kTimerCannotDo;
  } while (!gTimerPeriodBalance.compare_exchange_weak(balance, balance - 1, std::memory_order_acq_rel));
  return kTimerNoError;
}

std::uint32_t GetTimerPeriodBalance() { return gTimerPeriodBalance.load(std::memory_order_acquire); }

bool HasTimeStampCounter() {
  if (const SystemSource* source = GetSystemSourceForTest()) return source->hasTimeStampCounter;
  return PLAT_HAS_TSC != 0;
}

std::uint64_t ReadTimeStampCounter() {
  if (!HasTimeStampCounter()) return 0;
  if (gVirtual.load(std::memory_order_acquire)) return ReadElapsedNanos() * kVirtualTicksPerNano;
#if PLAT_HAS_TSC
  return __rdtsc();
#else
  return ReadElapsedNanos() * kVirtualTicksPerNano;
#endif
}

void GetLocalTime(SystemTime* time) {
  if (time == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(gFakeTimeMutex);
    if (gHasFakeTime) {
      *time = gFakeTime;
      return;
    }
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  const time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  time->year = static_cast<std::uint16_t>(local.tm_year + 1900);
  time->month = static_cast<std::uint16_t>(local.tm_mon + 1);
  time->dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
  time->day = static_cast<std::uint16_t>(local.tm_mday);
  time->hour = static_cast<std::uint16_t>(local.tm_hour);
  time->minute = static_cast<std::uint16_t>(local.tm_min);
  time->second = static_cast<std::uint16_t>(local.tm_sec < 60 ? local.tm_sec : 59);
  time->milliseconds = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
}

BOOL FileTimeToLocalFileTime(const FileTime* utc, FileTime* local) {
  if (utc == nullptr || local == nullptr) return FALSE;
  const std::int64_t ticks = FileTimeToTicks(*utc);
  if (ticks < 0) return FALSE;
  const time_t unixSeconds = static_cast<time_t>(ticks / kFileTicksPerSecond - kEpochDifferenceSeconds);
  tm parts{};
  if (localtime_r(&unixSeconds, &parts) == nullptr) return FALSE;
  const std::int64_t shifted = ticks + static_cast<std::int64_t>(parts.tm_gmtoff) * kFileTicksPerSecond;
  if (shifted < 0) return FALSE;
  *local = TicksToFileTime(shifted);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FileTime* fileTime, SystemTime* systemTime) {
  if (fileTime == nullptr || systemTime == nullptr) return FALSE;
  const std::int64_t ticks = FileTimeToTicks(*fileTime);
  if (ticks < 0) return FALSE;
  const std::int64_t totalSeconds = ticks / kFileTicksPerSecond;
  const std::int64_t subSecondTicks = ticks % kFileTicksPerSecond;
  const std::int64_t daysSince1601 = totalSeconds / 86400;
  const std::int64_t secondOfDay = totalSeconds % 86400;
  std::int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(daysSince1601 - kEpochDifferenceSeconds / 86400, &year, &month, &day);
  if (year > 30827) return FALSE;
  systemTime->year = static_cast<std::uint16_t>(year);
  systemTime->month = static_cast<std::uint16_t>(month);
  // 1601-01-01 was a Monday.
  systemTime->dayOfWeek = static_cast<std::uint16_t>((daysSince1601 + 1) % 7);
  systemTime->day = static_cast<std::uint16_t>(day);
  systemTime->hour = static_cast<std::uint16_t>(secondOfDay / 3600);
  systemTime->minute = static_cast<std::uint16_t>(secondOfDay / 60 % 60);
  systemTime->second = static_cast<std::uint16_t>(secondOfDay % 60);
  systemTime->milliseconds = static_cast<std::uint16_t>(subSecondTicks / 10000);
  return TRUE;
}

FileTime UnixTimeToFileTime(std::int64_t seconds, std::int64_t nanoseconds) {
  // Before 1601 or past the 63-bit range there is no file time: clamp.
  constexpr std::int64_t kMaxSeconds = INT64_MAX / kFileTicksPerSecond - kEpochDifferenceSeconds - 1;
  if (seconds < -kEpochDifferenceSeconds) return FileTime{0, 0};
  if (seconds > kMaxSeconds) return TicksToFileTime(INT64_MAX);
  std::int64_t ticks = (seconds + kEpochDifferenceSeconds) * kFileTicksPerSecond + nanoseconds / 100;
  if (ticks < 0) ticks = 0;
  return TicksToFileTime(ticks);
}

void UseVirtualTime(bool enabled) {
  if (enabled == gVirtual.load(std::memory_order_acquire)) return;
  // Virtual time starts where real time stands, so counters go on smoothly.
  if (enabled) {
    gVirtualNanos.store(RealElapsedNanos(), std::memory_order_release);
    gVirtual.store(true, std::memory_order_release);
    return;
  }
  const std::uint64_t real = RealElapsedNanos();
  const std::uint64_t reached = gVirtualNanos.load(std::memory_order_acquire);
  if (reached > real) gRealOffsetNanos.fetch_add(reached - real, std::memory_order_acq_rel);
  gVirtual.store(false, std::memory_order_release);
}

void AdvanceVirtualTime(std::uint64_t nanoseconds) { AdvanceVirtualNanos(nanoseconds); }

void SetVirtualSleepYieldsForTest(bool yields) { gVirtualSleepYields.store(yields, std::memory_order_release); }

void AdvanceVirtualTimeTo(std::uint64_t elapsedNanos) {
  std::uint64_t now = gVirtualNanos.load(std::memory_order_acquire);
  while (now < elapsedNanos) {
    if (gVirtualNanos.compare_exchange_weak(now, elapsedNanos, std::memory_order_acq_rel)) {
      if (VirtualTimeListener listener = gVirtualTimeListener.load(std::memory_order_acquire)) listener(elapsedNanos);
      return;
    }
  }
}

void SetVirtualTimeListener(VirtualTimeListener listener) {
  gVirtualTimeListener.store(listener, std::memory_order_release);
}

bool IsVirtualTime() { return gVirtual.load(std::memory_order_acquire); }

std::uint64_t PeekElapsedNanos() {
  return gVirtual.load(std::memory_order_acquire) ? gVirtualNanos.load(std::memory_order_acquire)
                                                  : RealElapsedNanos();
}

void SetFakeLocalTime(const SystemTime* time) {
  std::lock_guard<std::mutex> lock(gFakeTimeMutex);
  gHasFakeTime = time != nullptr;
  if (time != nullptr) gFakeTime = *time;
}

}  // namespace plat
