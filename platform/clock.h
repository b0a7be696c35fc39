// Time: the millisecond and performance counters, Sleep, the time-stamp
// counter, local time and file-time conversion.
// Counters count from process start (a counter from boot would wrap its 31-bit
// form during a long uptime). Tests can switch to virtual time: then Sleep(n)
// moves the clock n ms at once and every counter read moves it 1 µs, so busy
// waits end and a one-second fade runs instantly.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace plat {

// Milliseconds since process start (wraps at 2^32).
std::uint32_t timeGetTime();
// The system tick count in milliseconds (the same counter as timeGetTime).
std::uint32_t GetTickCount();
BOOL QueryPerformanceCounter(std::int64_t* count);
// Always 1 000 000 000 (nanosecond ticks).
BOOL QueryPerformanceFrequency(std::int64_t* frequency);
// 0 yields the processor.
void Sleep(std::uint32_t milliseconds);

struct TimerCaps {
  std::uint32_t periodMin;
  std::uint32_t periodMax;
};
std::uint32_t timeGetDevCaps(TimerCaps* caps, std::uint32_t size);
std::uint32_t timeBeginPeriod(std::uint32_t period);
std::uint32_t timeEndPeriod(std::uint32_t period);

// The processor's time-stamp counter; false (and 0) where there is none.
bool HasTimeStampCounter();
std::uint64_t ReadTimeStampCounter();

void GetLocalTime(SystemTime* time);
BOOL FileTimeToLocalFileTime(const FileTime* utc, FileTime* local);
BOOL FileTimeToSystemTime(const FileTime* fileTime, SystemTime* systemTime);
// Seconds and nanoseconds since 1970 (UTC) to a file time.
FileTime UnixTimeToFileTime(std::int64_t seconds, std::int64_t nanoseconds);

// Whether the clock is virtual. Nothing then moves it while a thread sleeps,
// so a wait can reach its end in one sleep.
bool IsVirtualTime();

// Test hooks.
void UseVirtualTime(bool enabled);
void AdvanceVirtualTime(std::uint64_t nanoseconds);
// Whether a Sleep on virtual time also yields the processor (by default it
// does). A harness whose waits run on one thread turns it off: on a busy
// machine each yield can cost a time slice, and a 400 ms wait sleeps 400 times.
void SetVirtualSleepYieldsForTest(bool yields);
// A fixed local time for GetLocalTime, or null for the real one.
void SetFakeLocalTime(const SystemTime* time);
// timeBeginPeriod calls not yet matched by timeEndPeriod.
std::uint32_t GetTimerPeriodBalance();

}  // namespace plat
