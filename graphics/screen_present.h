// The end of every frame: showing the back screen in the main window (the
// device's swap chain on the hardware path, a DIB copy on the software path),
// pacing frames on the display's vertical blank, the device scene bracket,
// the sub back buffer that full-screen repaints draw into, and the 32 ms timer
// that keeps the front screen on view while it is the draw target.
#pragma once

#include <cstdint>

#include "graphics/vertical_blank.h"
#include "platform/window.h"

namespace qz {

// Window-timer id of the front-screen refresh and its period.
inline constexpr std::uintptr_t kScreenRefreshTimerId = 32767;
inline constexpr std::uint32_t kScreenRefreshTimerPeriodMs = 32;

// The program's end of frame: PresentScreen's result.
int PresentFrame();
// Shows the whole back screen; 0, or -1 on failure.
int PresentScreen();
// Shows the last frame again (window repaint, activation, idle pump).
int RepaintScreen();
// Window-timer procedure of timer kScreenRefreshTimerId.
void ScreenRefreshTimerProc(plat::HWND window, std::uint32_t message, std::uintptr_t id, std::uint32_t time);
// Arms the refresh timer on the main window (the front screen became the
// draw target).
void StartScreenRefreshTimer();

// Scene bracket of the hardware path; both return 0 and do nothing without
// a Direct3D object.
int BeginDeviceScene();
int EndDeviceScene();

// Full screen, hardware path: frames go to a render target of their own that
// the present copies onto the back buffer. 0, or -1.
int SwitchToSubBackBuffer();
int CreateSubBackBuffer();

// The rectangles the last present handed on (source of the screen,
// destination in the client area).
plat::WinRect GetLastPresentSourceRect();
plat::WinRect GetLastPresentDestRect();

}  // namespace qz
