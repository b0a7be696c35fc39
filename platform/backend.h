// Which backend the stand-in runs on, chosen once per process from
// QZ_BACKEND ("desktop" or "headless"); without it, the desktop backend when a
// display is reachable (DISPLAY or WAYLAND_DISPLAY set), else headless. Any
// other QZ_BACKEND is refused: no window can be made, and the reason, naming
// the value and the known names, is GetDisplayOpenFailure's (window.h).
// The desktop backend also runs under SDL's dummy video driver, so its code
// path can be exercised without a display.
//
// When no display answers, SDL would fall back to its offscreen driver and
// show nothing: the desktop backend refuses that driver (and the dummy one)
// unless SDL_VIDEODRIVER names it, so the start fails with the reason
// plat::GetDisplayOpenFailure gives. On the desktop SDL turns SIGINT and
// SIGTERM into a quit that closes the windows; headless, SDL's signal
// handlers stay off (PrepareSdlSignals), so the signals stop the program as
// usual. Under X11 the desktop backend replaces Xlib's fatal error handlers
// (window_x11_loss.cpp): a lost display connection, or a request the display
// refuses (the window destroyed from outside), prints "The program ends: ..."
// to stderr, closes the sound sink and ends the process with status 1
// without static destructors; the sound sink is also closed by an atexit
// handler, so no sink thread is left joinable when anything else calls exit.
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
