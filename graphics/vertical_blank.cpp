// Frame pacing on the display's vertical blank. A display whose intervals
// never settle keeps the period unknown, and waits then use a fixed margin.
#include "graphics/vertical_blank.h"

#include <cstdlib>

#include "core/clock.h"
#include "graphics/graphics_state.h"
#include "platform/clock.h"

namespace qz {
namespace {

constexpr int kMaxMeasuredWaits = 60;
constexpr int kSettledIntervals = 10;
constexpr std::int64_t kSettledToleranceMicros = 1000;
constexpr std::uint32_t kSleepBetweenWaitsMs = 5;
constexpr std::int64_t kMarginBeforeBlankMicros = 3000;
constexpr std::int64_t kUnknownPeriodMarginMicros = 4000;

std::int64_t gRefreshPeriod = -1;
std::int64_t gLastVerticalBlank = 0;

std::int64_t Now() { return static_cast<std::int64_t>(GetMicrosecondCount(0)); }

void BlockOnVerticalBlank(plat::IDirectDraw7* directDraw) {
  directDraw->WaitForVerticalBlank(plat::DDWAITVB_BLOCKBEGIN, nullptr);
  gLastVerticalBlank = Now();
}

}  // namespace

int MeasureRefreshPeriod() {
  gRefreshPeriod = -1;
  plat::IDirectDraw7* directDraw = GetGraphicsState().directDraw;
  if (directDraw != nullptr) {
    directDraw->WaitForVerticalBlank(plat::DDWAITVB_BLOCKBEGIN, nullptr);
    std::int64_t previous = Now();
    plat::Sleep(kSleepBetweenWaitsMs);
    std::int64_t previousInterval = 0;
    std::int64_t sum = 0;
    int count = 0;
    for (int wait = 0; wait < kMaxMeasuredWaits; ++wait) {
      directDraw->WaitForVerticalBlank(plat::DDWAITVB_BLOCKBEGIN, nullptr);
      const std::int64_t now = Now();
      const std::int64_t interval = now - previous;
      previous = now;
      if (std::llabs(interval - previousInterval) < kSettledToleranceMicros) {
        sum += interval;
        ++count;
      } else {
        sum = 0;
        count = 0;
      }
      previousInterval = interval;
      if (count >= kSettledIntervals) {
        gRefreshPeriod = sum / count;
        break;
      }
      plat::Sleep(kSleepBetweenWaitsMs);
    }
  }
  WaitForNextVerticalBlank();
  return 0;
}

int WaitForNextVerticalBlank() {
  plat::IDirectDraw7* directDraw = GetGraphicsState().directDraw;
  if (directDraw == nullptr) return 0;
  const std::int64_t margin = GetVerticalBlankWaitMargin();
  if (Now() - gLastVerticalBlank < margin) {
    plat::Sleep(0);
    while (Now() - gLastVerticalBlank < margin) plat::Sleep(1);
    BlockOnVerticalBlank(directDraw);
  } else {
    BlockOnVerticalBlank(directDraw);
    plat::Sleep(0);
  }
  return 0;
}

std::int64_t GetRefreshPeriodMicroseconds() { return gRefreshPeriod; }

std::int64_t GetVerticalBlankWaitMargin() {
  return gRefreshPeriod >= 0 ? gRefreshPeriod - kMarginBeforeBlankMicros : kUnknownPeriodMarginMicros;
}

}  // namespace qz
