// Frame pacing on the display's vertical blank.
#include "graphics/screen_present.h"

namespace qz {
namespace {

std::int64_t gRefreshPeriod = -1;

}  // namespace

int MeasureRefreshPeriod() { return 0; }

int WaitForNextVerticalBlank() { return 0; }

std::int64_t GetRefreshPeriodMicroseconds() { return gRefreshPeriod; }

}  // namespace qz
