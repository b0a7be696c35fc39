// DirectDraw 7 over the stand-in clock: the vertical blank is the next whole
// refresh period of the performance counter; on virtual time a wait moves the
// clock straight to it.
#include "platform/ddraw.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/clock.h"
#include "platform/clock_internal.h"
#include "platform/display_settings.h"

namespace plat {
namespace {

constexpr int kDefaultRefreshHz = 60;
constexpr std::int64_t kNanosecondsPerSecond = 1000000000;
constexpr std::int64_t kNanosecondsPerMillisecond = 1000000;

std::mutex gFaultsMutex;
DirectDrawFaults gFaults{};
std::atomic<int> gLiveObjects{0};
std::atomic<std::uint32_t> gCooperativeFlags{0};
std::atomic<int> gBlankWaits{0};
std::atomic<std::int64_t> gPeriodOverrideNs{0};
std::atomic<std::int64_t> gJitterNs{0};
bool gOverlays = false;  // under gFaultsMutex, as the updates are
std::vector<OverlayUpdate> gOverlayUpdates;

bool IsEmpty(const WinRect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

std::int64_t RefreshPeriodNs() {
  const std::int64_t period = gPeriodOverrideNs.load();
  if (period > 0) return period;
  const int refresh = IsDisplayModeChanged() ? GetChangedDisplayMode().refresh : 0;
  return kNanosecondsPerSecond / (refresh > 0 ? refresh : kDefaultRefreshHz);
}

// Blank k falls at k periods, every odd one shifted by the jitter.
std::int64_t BlankTime(std::int64_t index, std::int64_t period, std::int64_t jitter) {
  return index * period + ((index & 1) != 0 ? jitter : 0);
}

std::int64_t NextBlankAfter(std::int64_t now) {
  const std::int64_t period = RefreshPeriodNs();
  const std::int64_t jitter = gJitterNs.load();
  std::int64_t index = now / period;
  while (BlankTime(index, period, jitter) <= now) ++index;
  return BlankTime(index, period, jitter);
}

class DirectDraw final : public IDirectDraw7 {
 public:
  DirectDraw() { gLiveObjects.fetch_add(1); }

  std::uint32_t AddRef() override { return ++references_; }

  std::uint32_t Release() override {
    const std::uint32_t left = --references_;
    if (left == 0) {
      gLiveObjects.fetch_sub(1);
      delete this;
    }
    return left;
  }

  HRESULT Initialize(const void* guid) override {
    if (guid != nullptr) return DDERR_INVALIDPARAMS;
    std::lock_guard<std::mutex> lock(gFaultsMutex);
    if (gFaults.failInitialize) return DDERR_GENERIC;
    initialised_ = true;
    return DD_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, std::uint32_t flags) override {
    if (!initialised_) return DDERR_NOTINITIALIZED;
    if (window != nullptr && IsWindow(window) == FALSE) return DDERR_INVALIDPARAMS;
    gCooperativeFlags.store(flags);
    return DD_OK;
  }

  HRESULT WaitForVerticalBlank(std::uint32_t flags, Handle) override {
    if (!initialised_) return DDERR_NOTINITIALIZED;
    if (flags != DDWAITVB_BLOCKBEGIN) return DDERR_INVALIDPARAMS;
    WaitForSimulatedVerticalBlank();
    gBlankWaits.fetch_add(1);
    return DD_OK;
  }

  HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override {
    if (driverCaps == nullptr && emulationCaps == nullptr) return DDERR_INVALIDPARAMS;
    for (DDCAPS* caps : {driverCaps, emulationCaps}) {
      if (caps == nullptr) continue;
      std::memset(caps->fields, 0, sizeof(caps->fields));
    }
    return DD_OK;
  }

  // Exactly one of show and hide; a shown overlay needs both rectangles.
  HRESULT UpdateOverlay(const WinRect* srcRect, void*, const WinRect* destRect, std::uint32_t flags,
                        void*) override {
    std::lock_guard<std::mutex> lock(gFaultsMutex);
    if (!gOverlays) return DDERR_NOOVERLAYHW;
    const bool show = (flags & DDOVER_SHOW) != 0;
    if (show == ((flags & DDOVER_HIDE) != 0)) return DDERR_INVALIDPARAMS;
    if (show && (srcRect == nullptr || destRect == nullptr || IsEmpty(*srcRect) || IsEmpty(*destRect))) {
      return DDERR_INVALIDPARAMS;
    }
    gOverlayUpdates.push_back({show ? *srcRect : WinRect{}, show ? *destRect : WinRect{}, flags});
    return DD_OK;
  }

 private:
  ~DirectDraw() = default;

  std::atomic<std::uint32_t> references_{1};
  bool initialised_ = false;
};

}  // namespace

void WaitForSimulatedVerticalBlank() {
  std::int64_t now = 0;
  QueryPerformanceCounter(&now);
  const std::int64_t blank = NextBlankAfter(now);
  // Sleeping there would end in a yield per microsecond read for the last
  // millisecond.
  if (IsVirtualTime()) {
    AdvanceVirtualTimeTo(static_cast<std::uint64_t>(blank));
    return;
  }
  while (now < blank) {
    const std::int64_t remaining = blank - now;
    Sleep(static_cast<std::uint32_t>(remaining / kNanosecondsPerMillisecond));
    QueryPerformanceCounter(&now);
  }
}

HRESULT CreateDirectDraw7Instance(std::uint32_t classContext, IDirectDraw7** object) {
  if (object == nullptr) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (classContext == 0) return DDERR_INVALIDPARAMS;
  {
    std::lock_guard<std::mutex> lock(gFaultsMutex);
    if (gFaults.failCreate) return DDERR_GENERIC;
  }
  *object = new DirectDraw();
  return S_OK;
}

void SetDirectDrawFaultsForTest(const DirectDrawFaults& faults) {
  std::lock_guard<std::mutex> lock(gFaultsMutex);
  gFaults = faults;
}

void SetDirectDrawOverlaysForTest(bool available) {
  std::lock_guard<std::mutex> lock(gFaultsMutex);
  gOverlays = available;
  gOverlayUpdates.clear();
}

std::vector<OverlayUpdate> TakeDirectDrawOverlayUpdatesForTest() {
  std::lock_guard<std::mutex> lock(gFaultsMutex);
  return std::exchange(gOverlayUpdates, {});
}

int GetLiveDirectDrawObjectCount() { return gLiveObjects.load(); }

std::uint32_t GetDirectDrawCooperativeFlags() { return gCooperativeFlags.load(); }

int GetVerticalBlankWaitCount() { return gBlankWaits.load(); }

void SetVerticalBlankTimingForTest(std::int64_t periodNanoseconds, std::int64_t jitterNanoseconds) {
  gPeriodOverrideNs.store(periodNanoseconds > 0 ? periodNanoseconds : 0);
  gJitterNs.store(jitterNanoseconds);
}

}  // namespace plat
