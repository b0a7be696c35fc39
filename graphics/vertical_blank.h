// Frame pacing on the display's vertical blank: the interval between blanks
// is measured once per device (or software start), and each wait sleeps until
// shortly before the expected blank so that only the last moment blocks.
#pragma once

#include <cstdint>

namespace qz {

// Measures the interval between vertical blanks (end of the software start
// and of device creation); returns 0.
int MeasureRefreshPeriod();
// Sleeps until shortly before the next vertical blank, then blocks on it.
// Returns 0; does nothing without a DirectDraw object.
int WaitForNextVerticalBlank();
// Microseconds between vertical blanks; -1 when unknown.
std::int64_t GetRefreshPeriodMicroseconds();
// How long before the next blank a wait stops sleeping: the period less
// 3000 microseconds, or 4000 when the period is unknown.
std::int64_t GetVerticalBlankWaitMargin();

}  // namespace qz
