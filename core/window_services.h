// Small services of the main window: title and icon, scale, geometry, the
// cursor and mouse, clicks, the clipboard, menu and tool bar, dropped files,
// desktop composition, bringing the window forward, the layered window.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "platform/window.h"

namespace qz {

int SetMainWindowTitle(const char* title);
int SetWindowIconResource(int iconId);
int SetWindowScaleFactor(double x, double y);
double GetWindowScaleFactor(double* x, double* y);
int GetDesktopScreenInfo(int* width, int* height, int* bits);
int GetWindowClientArea(Rect* rect);
int OnWindowSized(plat::LPARAM moveLParam);
int ApplyWindowPlacement();

// flag 0 or 1, or -1 to apply the stored flag again.
int SetMouseCursorVisible(int flag);
int GetMousePositionInClient(int* x, int* y);
int RecordMouseClick(int code);

// With a null buffer: the text's size plus one. Otherwise copies at most
// bufferSize bytes (terminated, truncating) and returns 0. -1 without text.
int CopyClipboardTextOut(char* buffer, int bufferSize);
// 0, or -1 when the clipboard cannot take the text.
int PutTextOnClipboard(const char* text);

int IsMenuShown();
int SetMenuDisplay(int flag);
int AutoShowMenuByMouse();
int WalkMenuItems();
int FindMenuItemById(int id);
int GetMenuItemText(int id, char* text, int textSize);

int FindToolBarButtonIndex(int id);
int GetToolBarHeight();
int RemoveEveryToolBarButton();

int FreeDroppedFileNames();
int SetDesktopComposition(int flag);
int ForceForegroundWindow(plat::HWND window, int topmost);

}  // namespace qz
