// Virtual time starts wherever real time stood, part-way through a
// millisecond; a test that checks whole milliseconds elapsed lines it up first.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace qz::testing {

inline constexpr std::uint64_t kMillisecondNanos = 1'000'000;

// Puts the virtual clock 0.1 ms past a millisecond, so the reads that follow
// (1 µs each) stay within it and a span of whole milliseconds is exact.
inline void AlignVirtualClockToMillisecond() {
  std::int64_t nanos = 0;
  plat::QueryPerformanceCounter(&nanos);
  plat::AdvanceVirtualTime(kMillisecondNanos - static_cast<std::uint64_t>(nanos) % kMillisecondNanos +
                           kMillisecondNanos / 10);
}

}  // namespace qz::testing
