// Windows besides the main window whose messages the pump takes one at a
// time after each message of its own.
#include "core/log.h"
#include "core/log_text.h"
#include "core/window_services.h"

namespace qz {
namespace {

plat::HWND gPumped[kPumpedWindowCapacity];
int gPumpedCount = 0;

int FindPumped(plat::HWND window) {
  for (int i = 0; i < gPumpedCount; ++i) {
    if (gPumped[i] == window) return i;
  }
  return -1;
}

}  // namespace

int AddPumpedWindow(plat::HWND window) {
  if (window == nullptr) return AppendLogFormat(text::kWindowServiceBadArgument, "AddPumpedWindow");
  if (FindPumped(window) >= 0) return 0;
  if (gPumpedCount >= kPumpedWindowCapacity) return AppendLogFormat(text::kPumpedWindowListFull, kPumpedWindowCapacity);
  gPumped[gPumpedCount++] = window;
  return 0;
}

int RemovePumpedWindow(plat::HWND window) {
  const int index = FindPumped(window);
  if (index < 0) return -1;
  for (int i = index; i + 1 < gPumpedCount; ++i) gPumped[i] = gPumped[i + 1];
  --gPumpedCount;
  return 0;
}

int GetPumpedWindowCount() { return gPumpedCount; }

plat::HWND GetPumpedWindow(int index) { return index >= 0 && index < gPumpedCount ? gPumped[index] : nullptr; }

}  // namespace qz
