// The main window the graphics start needs, without the library around it: a
// 640 x 480 pop-up in window mode, marked active, since drawing and the start's
// draw target wait for an active window. Held by a fixture, it outlives the
// fixture's TearDown, so the graphics end before their window goes.
#pragma once

#include "core/window_state.h"
#include "platform/window.h"

namespace qz::testing {

class ScreenWindow {
 public:
  ScreenWindow() {
    const plat::WindowClass windowClass{0, &plat::DefWindowProcA, 0, kClassName};
    plat::RegisterClassExA(&windowClass);
    window_ = plat::CreateWindowExA(0, kClassName, "", plat::WS_POPUP, 0, 0, 640, 480, nullptr);
    WindowSystemState& windows = GetWindowSystemState();
    windows.mainWindow = window_;
    windows.settings.windowMode = 1;
    windows.active = 1;
    windows.minimised = 0;
  }
  ~ScreenWindow() {
    GetWindowSystemState().mainWindow = nullptr;
    GetWindowSystemState().active = 0;
    plat::DestroyWindow(window_);
    plat::UnregisterClassA(kClassName);
  }
  ScreenWindow(const ScreenWindow&) = delete;
  ScreenWindow& operator=(const ScreenWindow&) = delete;

 private:
  static constexpr const char* kClassName = "QzScreenWindowTest";
  plat::HWND window_ = nullptr;
};

}  // namespace qz::testing
