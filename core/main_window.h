// The library's main window: creation, its window procedure, activation
// changes, switching between window mode and full screen, and its end.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace qz {

// 0, or -1 when a second copy runs or the window cannot be made.
int CreateMainWindow();
plat::LRESULT MainWindowProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
// 0, or -1 when the program must end for want of a restore handler.
int HandleActivateChange(plat::WPARAM wParam);
// Public: non-zero selects window mode. Before the start it only stores the flag.
int ChangeWindowMode(int windowMode);
void SetWindowModeFlagWithMenu(int windowMode);
// Full screen needs a display mode of the screen's size; 320 by 240 runs as
// 640 by 480 under emulation when hardware rendering is allowed. -1, with
// nothing changed, when the display cannot show the size.
int SettleFullScreenSize();
void ApplyWindowStyle();
int EndMainWindow();

// Queries.
plat::HWND QueryMainWindowHandle();
int QueryWindowModeState();
int IsMainWindowActive();
int GetEndRequestFlag();
int IsCloseMessagePosted();
int GetKeepRunningFlag();

// The window style table: window-mode style and extended style of a style
// number 0..9 (full screen is always WS_POPUP with WS_EX_TOPMOST).
struct WindowStyleEntry {
  std::uint32_t style;
  std::uint32_t exStyle;
};
WindowStyleEntry GetWindowStyleEntry(int styleNumber);
// The window-mode style with the option bits of the current settings.
WindowStyleEntry ComposeWindowModeStyle();
WindowStyleEntry GetFullScreenStyleEntry();

// Window-mode outer rectangle: the client size (explicit, or the screen times
// the scale plus extraClientHeight), grown by the frame of the current style,
// centred on the desktop unless a position was set.
struct WindowFrameRect {
  std::int32_t x;
  std::int32_t y;
  std::int32_t width;
  std::int32_t height;
};
WindowFrameRect ComputeWindowModeFrame(int extraClientHeight);
// Keeps the main window's client rectangle in screen coordinates.
void KeepClientRectOnScreen();

// Character-set code and code page for an OEM code page: 932 -> (1, 932),
// 936 -> (4, 936), 949 -> (2, 949), 950 -> (3, 950), others -> (1, 0).
void ChooseCodePage(std::uint32_t oemCodePage, int* charsetCode, int* codePage);

}  // namespace qz
