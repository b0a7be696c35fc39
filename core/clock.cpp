// Library time over the stand-in clock: the 31-bit millisecond counter, a
// microsecond counter that never goes back, calendar records and the wait
// that keeps the window alive while it sleeps.
#include "core/clock.h"

#include <atomic>

#include "core/int128.h"
#include "core/library.h"
#include "core/log.h"
#include "platform/clock.h"

namespace qz {
namespace {

std::atomic<int> gPerformanceCounterAvailable{0};
std::atomic<std::uint64_t> gPerformanceFrequency{0};
std::atomic<int> gTimeStampCounterUsable{0};
std::atomic<std::uint64_t> gTimeStampFrequency{0};
// The time-stamp counter counts from machine start; these anchor it to the
// counter of the other paths so switching paths does not jump.
std::atomic<std::uint64_t> gTimeStampBaseTicks{0};
std::atomic<std::uint64_t> gTimeStampBaseMicros{0};
// The largest value each source has handed out.
std::atomic<std::uint64_t> gLastSystemMicros{0};
std::atomic<std::uint64_t> gLastTimeStampMicros{0};

constexpr std::uint64_t kMicrosPerSecond = 1000000;
// Waits longer than this pump messages while they sleep; the last part of
// every wait is busy so it ends on time.
constexpr std::int64_t kBusyTailMicros = 4000;

std::uint64_t ScaleToMicros(std::uint64_t ticks, std::uint64_t ticksPerSecond) {
  return DivU128By64(MulU64To128(ticks, kMicrosPerSecond), ticksPerSecond);
}

// The performance counter, or the millisecond counter when there is none.
std::uint64_t SystemMicros() {
  const std::uint64_t frequency = gPerformanceFrequency.load(std::memory_order_acquire);
  if (gPerformanceCounterAvailable.load(std::memory_order_acquire) == 0 || frequency == 0) {
    return static_cast<std::uint64_t>(plat::timeGetTime()) * 1000u;
  }
  std::int64_t count = 0;
  plat::QueryPerformanceCounter(&count);
  return ScaleToMicros(static_cast<std::uint64_t>(count), frequency);
}

std::uint64_t TimeStampMicros() {
  const std::uint64_t ticks = plat::ReadTimeStampCounter();
  const std::uint64_t base = gTimeStampBaseTicks.load(std::memory_order_acquire);
  const std::uint64_t elapsed = ticks > base ? ticks - base : 0;
  return gTimeStampBaseMicros.load(std::memory_order_acquire) +
         ScaleToMicros(elapsed, gTimeStampFrequency.load(std::memory_order_acquire));
}

void FillRecord(const plat::SystemTime& time, DateTimeRecord* record) {
  record->year = time.year;
  record->month = time.month;
  record->day = time.day;
  record->hour = time.hour;
  record->minute = time.minute;
  record->second = time.second;
}

}  // namespace

std::int32_t GetMillisecondCount() { return static_cast<std::int32_t>(plat::timeGetTime() & 0x7FFFFFFFu); }

std::uint64_t GetMicrosecondCount(int useTimeStampCounter) {
  const bool timeStamp = useTimeStampCounter == 1 && IsTimeStampCounterUsable() != 0 &&
                         gTimeStampFrequency.load(std::memory_order_acquire) != 0;
  const std::uint64_t now = timeStamp ? TimeStampMicros() : SystemMicros();
  // Cores may disagree slightly on the time-stamp counter and the millisecond
  // path lags the performance counter; callers subtract readings, so each
  // source hands out the largest value it has given so far.
  std::atomic<std::uint64_t>& lastGiven = timeStamp ? gLastTimeStampMicros : gLastSystemMicros;
  std::uint64_t last = lastGiven.load(std::memory_order_acquire);
  while (now > last) {
    if (lastGiven.compare_exchange_weak(last, now, std::memory_order_acq_rel)) return now;
  }
  return last;
}

int GetLocalDateTime(DateTimeRecord* record) {
  if (record == nullptr) {
    AppendLogText("GetLocalDateTime: no record given\n");
    return -1;
  }
  plat::SystemTime time{};
  plat::GetLocalTime(&time);
  FillRecord(time, record);
  return 0;
}

void FileTimeToDateRecord(const plat::FileTime* fileTime, DateTimeRecord* record) {
  if (fileTime == nullptr || record == nullptr) {
    AppendLogText("FileTimeToDateRecord: no file time or record given\n");
    return;
  }
  plat::FileTime local{};
  plat::SystemTime time{};
  if (!plat::FileTimeToLocalFileTime(fileTime, &local) || !plat::FileTimeToSystemTime(&local, &time)) {
    *record = DateTimeRecord{};
    AppendLogText("FileTimeToDateRecord: the file time is out of range\n");
    return;
  }
  FillRecord(time, record);
}

int WaitMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return 0;
  const std::uint64_t target = GetMicrosecondCount(0) + static_cast<std::uint64_t>(milliseconds) * 1000u;
  if (milliseconds * 1000LL > kBusyTailMicros) {
    bool pumping = PumpMessagesEntry() == 0;
    // On virtual time a sleep of the whole rest ends the wait, the window
    // pumped once at its end: the same wait as on real time, without a pump
    // and a sleep for each millisecond of it.
    if (pumping && plat::IsVirtualTime()) {
      const std::uint64_t now = GetMicrosecondCount(0);
      if (now < target) plat::Sleep(static_cast<std::uint32_t>((target - now + 999) / 1000));
      pumping = PumpMessagesEntry() == 0;
    }
    while (pumping && GetMicrosecondCount(0) + kBusyTailMicros < target) {
      plat::Sleep(1);
      pumping = PumpMessagesEntry() == 0;
    }
  }
  while (GetMicrosecondCount(0) < target) {
  }
  return 0;
}

void SetPerformanceCounter(int available, std::uint64_t frequency) {
  gPerformanceFrequency.store(frequency, std::memory_order_release);
  gPerformanceCounterAvailable.store(available != 0 && frequency != 0 ? 1 : 0, std::memory_order_release);
}

int HasPerformanceCounter() { return gPerformanceCounterAvailable.load(std::memory_order_acquire); }

void SetTimeStampCounter(int usable, std::uint64_t ticksPerSecond) {
  const bool use = usable != 0 && ticksPerSecond != 0;
  gTimeStampCounterUsable.store(0, std::memory_order_release);
  if (use) {
    gTimeStampFrequency.store(ticksPerSecond, std::memory_order_release);
    // A new measurement restarts the source on the system counter's time.
    const std::uint64_t baseMicros = SystemMicros();
    gTimeStampBaseMicros.store(baseMicros, std::memory_order_release);
    gTimeStampBaseTicks.store(plat::ReadTimeStampCounter(), std::memory_order_release);
    gLastTimeStampMicros.store(baseMicros, std::memory_order_release);
  } else {
    gTimeStampFrequency.store(0, std::memory_order_release);
  }
  gTimeStampCounterUsable.store(use ? 1 : 0, std::memory_order_release);
}

int IsTimeStampCounterUsable() { return gTimeStampCounterUsable.load(std::memory_order_acquire); }

std::uint64_t GetTimeStampCounterFrequency() { return gTimeStampFrequency.load(std::memory_order_acquire); }

}  // namespace qz
