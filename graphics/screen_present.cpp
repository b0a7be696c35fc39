// Present and repaint.
#include "graphics/screen_present.h"

#include "core/call_trace.h"

namespace qz {
namespace {

int gLayeredMode = 0;
plat::WinRect gLastSource{};
plat::WinRect gLastDest{};

}  // namespace

int PresentFrame() { return PresentScreen(); }

int PresentScreen() { return 0; }

int RepaintScreen() {
  RecordCall("RepaintScreen");
  return PresentScreen();
}

void ScreenRefreshTimerProc(plat::HWND, std::uint32_t, std::uintptr_t, std::uint32_t) {}

void StartScreenRefreshTimer() {}

int BeginDeviceScene() { return 0; }

int EndDeviceScene() {
  RecordCall("EndDeviceScene");
  return 0;
}

int SwitchToSubBackBuffer() { return 0; }

int CreateSubBackBuffer() { return -1; }

void SetLayeredWindowPresentMode(int on) { gLayeredMode = on; }
int GetLayeredWindowPresentMode() { return gLayeredMode; }

plat::WinRect GetLastPresentSourceRect() { return gLastSource; }
plat::WinRect GetLastPresentDestRect() { return gLastDest; }

}  // namespace qz
