// Library time: the millisecond and microsecond counters, calendar records
// and a wait that keeps the window alive.
#pragma once

#include <cstdint>

#include "core/file_access.h"
#include "platform/win_types.h"

namespace qz {

// timeGetTime() & 0x7FFFFFFF. Compute elapsed times with ElapsedMilliseconds,
// which stays right across the 31-bit wrap.
std::int32_t GetMillisecondCount();
constexpr std::int32_t ElapsedMilliseconds(std::int32_t now, std::int32_t earlier) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(earlier)) &
                                   0x7FFFFFFFu);
}
// Never decreases. With useTimeStampCounter and a measured counter, from the
// processor's time-stamp counter.
std::uint64_t GetMicrosecondCount(int useTimeStampCounter);

int GetLocalDateTime(DateTimeRecord* record);
void FileTimeToDateRecord(const plat::FileTime* fileTime, DateTimeRecord* record);

// Pumps messages while it sleeps (waits over 4 ms), busy-waits the last part;
// on virtual time one sleep reaches the end and the window is pumped there.
int WaitMilliseconds(int milliseconds);

// Set by the library start from the performance counter's frequency.
void SetPerformanceCounter(int available, std::uint64_t frequency);
int HasPerformanceCounter();
// Set by the system report.
void SetTimeStampCounter(int usable, std::uint64_t ticksPerSecond);
int IsTimeStampCounterUsable();
std::uint64_t GetTimeStampCounterFrequency();

}  // namespace qz
