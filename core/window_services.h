// Small services of the main window: title and icon, scale, geometry, the
// cursor and mouse, clicks, the clipboard, menu and tool bar, dropped files,
// desktop composition, bringing the window forward, the layered window.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "platform/window.h"

namespace qz {

struct BaseImage;

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
// 0, or -1 when the click log is full or the code is not 1, 2 or 4.
int RecordMouseClick(int code);

// With a null buffer: the text's size plus one. Otherwise copies at most
// bufferSize bytes (terminated, truncating) and returns 0. -1 without text.
int CopyClipboardTextOut(char* buffer, int bufferSize);
// 0, or -1 when the clipboard cannot take the text.
int PutTextOnClipboard(const char* text);

// Menus. The platform has no native menus: a program's menu is a
// MenuDescription that WindowSettings::menu points to; attaching it only
// changes the attached flag.
struct MenuNode {
  std::int32_t id;
  const char* text;
  const MenuNode* items;  // a submenu, or null
  std::int32_t itemCount;
};
struct MenuDescription {
  const MenuNode* items;
  std::int32_t itemCount;
};
inline constexpr int kMenuItemCapacity = 512;
inline constexpr int kMenuItemTextSize = 128;
struct MenuItemEntry {
  const void* menu;  // the (sub)menu holding the item
  std::int32_t id;
  char text[kMenuItemTextSize];
};
struct MenuState {
  std::int32_t attached;
  std::int32_t hiddenByUser;
  std::int32_t forcedOn;
  std::int32_t lastShown;
  std::int32_t itemCount;
  MenuItemEntry items[kMenuItemCapacity];
};
MenuState& GetMenuState();

int IsMenuShown();
int SetMenuDisplay(int flag);
int AutoShowMenuByMouse();
// Fills the item table from the menu of the settings; the number of items.
int WalkMenuItems();
// Index in the item table, or -1.
int FindMenuItemById(int id);
int GetMenuItemText(int id, char* text, int textSize);

// The tool bar: a child window with a table of buttons. Nothing in this
// system makes one; the window procedure and the geometry still honour it.
inline constexpr int kToolBarButtonCapacity = 256;
inline constexpr std::int32_t kToolBarButtonPlain = 0;
inline constexpr std::int32_t kToolBarButtonSeparator = 3;
inline constexpr std::uint32_t TB_DELETEBUTTON = 0x416;
struct ToolBarButton {
  std::int32_t id;
  std::int32_t image;
  std::int32_t kind;  // kToolBarButtonPlain or kToolBarButtonSeparator
  std::int32_t state;
  std::int32_t clicked;
};
struct ToolBarState {
  std::int32_t present;
  plat::HWND window;
  void* bitmap;
  std::int32_t buttonCount;
  ToolBarButton buttons[kToolBarButtonCapacity];
};
ToolBarState& GetToolBarState();

int FindToolBarButtonIndex(int id);
// WM_COMMAND of a tool-bar id: a plain button is marked clicked. 0 or -1.
int MarkToolBarButtonClicked(int id);
int GetToolBarHeight();
int RemoveEveryToolBarButton();

int FreeDroppedFileNames();
int SetDesktopComposition(int flag);
int ForceForegroundWindow(plat::HWND window, int topmost);

// Windows besides the main window whose messages the pump takes too.
inline constexpr int kPumpedWindowCapacity = 32;
int AddPumpedWindow(plat::HWND window);
int RemovePumpedWindow(plat::HWND window);
int GetPumpedWindowCount();
plat::HWND GetPumpedWindow(int index);

// The layered window (layered-window option). Creation looks up
// UpdateLayeredWindow; the mode holds while the option is on, the entry
// exists and the window does.
void LookUpLayeredWindowEntry();
int IsLayeredWindowMode();
// Shows the screen image in the main window, the transparent colour cut out;
// 0, or -1 outside the mode or when the update fails.
int UpdateLayeredWindowFromScreen(const BaseImage* image);
// Frees the DIB section the updates copy into (window end and re-creation).
void ReleaseLayeredWindowSection();

}  // namespace qz
