// Virtual-time queries shared by the stand-in's timed waits; not for the
// library, which only reads the counters.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace plat {

// Time since start without moving virtual time on.
std::uint64_t PeekElapsedNanos();
// Moves virtual time on to `elapsedNanos` unless it is there already.
void AdvanceVirtualTimeTo(std::uint64_t elapsedNanos);

// Told the new time since start by whichever thread moves virtual time on (a
// Sleep, a counter read, an advance), so that what follows the clock (the
// null sound sink) keeps pace with it however busy the machine is.
using VirtualTimeListener = void (*)(std::uint64_t elapsedNanos);
void SetVirtualTimeListener(VirtualTimeListener listener);

}  // namespace plat
