// Which backend the stand-in runs on, chosen once per process from
// QZ_BACKEND ("desktop" or "headless"); without it, the desktop backend when a
// display is reachable (DISPLAY or WAYLAND_DISPLAY set), else headless. Any
// other QZ_BACKEND is refused: no window can be made, and the reason, naming
// the value and the known names, is GetDisplayOpenFailure's (window.h).
// The desktop backend also runs under SDL's dummy video driver, so its code
// path can be exercised without a display.
#pragma once

namespace plat {

enum class BackendKind { kDesktop, kHeadless, kRefused };

BackendKind GetBackendKind();
// Test hook: choose the backend before the first window is made.
void SetBackendKindForTest(BackendKind kind);
// Test hook: the next GetBackendKind chooses from the environment again.
void ChooseBackendAgainForTest();

// Call before starting any SDL subsystem. SDL turns SIGINT and SIGTERM into a
// quit event that only the desktop pump reads; headless, the signals keep
// their default action so the process can be stopped.
void PrepareSdlSignals();

}  // namespace plat
