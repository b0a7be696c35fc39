// Virtual-time queries shared by the stand-in's timed waits; not for the
// library, which only reads the counters.
#pragma once

#include <cstdint>

namespace plat {

bool IsVirtualTime();
// Time since start without moving virtual time on.
std::uint64_t PeekElapsedNanos();

}  // namespace plat
