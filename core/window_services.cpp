// The main window's title and icon, its scale, the desktop and client
// geometry, desktop composition and bringing a window to the front. Settings
// made before the start are stored and applied when the window exists.
#include "core/window_services.h"

#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/window_state.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_target.h"
#include "graphics/mask_screen.h"
#include "graphics/screen_settings.h"
#include "platform/module.h"

namespace qz {
namespace {

double ReadScale(double value) { return value > 0.0 ? value : 1.0; }

// The client size window mode asks for: the explicit size, else the screen
// scaled, with the tool bar below the caption.
void WantedClientSize(const WindowSettings& settings, int* width, int* height) {
  if (settings.explicitSize) {
    *width = settings.explicitWidth;
    *height = settings.explicitHeight;
    return;
  }
  int screenWidth = 0;
  int screenHeight = 0;
  GetScreenModeSize(&screenWidth, &screenHeight);
  *width = static_cast<int>(screenWidth * ReadScale(settings.scaleX));
  *height = static_cast<int>(screenHeight * ReadScale(settings.scaleY)) + GetToolBarHeight();
}

}  // namespace

int SetMainWindowTitle(const char* title) {
  if (title == nullptr) return AppendLogFormat(text::kWindowServiceBadArgument, "SetMainWindowTitle");
  WindowSystemState& state = GetWindowSystemState();
  const std::size_t length = std::strlen(title);
  if (length >= sizeof(state.settings.title)) return AppendLogFormat(text::kWindowTitleTooLong, length);
  std::memcpy(state.settings.title, title, length + 1);
  if (state.mainWindow != nullptr) plat::SetWindowTextA(state.mainWindow, state.settings.title);
  return 0;
}

int SetWindowIconResource(int iconId) {
  WindowSystemState& state = GetWindowSystemState();
  state.settings.iconId = iconId;
  if (state.mainWindow != nullptr) {
    plat::SetClassIcon(state.mainWindow, iconId != 0 ? iconId : plat::IDI_APPLICATION);
  }
  return 0;
}

int SetWindowScaleFactor(double x, double y) {
  WindowSettings& settings = GetWindowSystemState().settings;
  if (!(y > 0.0)) y = x;
  if (x == settings.scaleX && y == settings.scaleY) return 0;
  settings.scaleX = ReadScale(x);
  settings.scaleY = ReadScale(y);
  settings.explicitScale = 1;
  settings.explicitSize = 0;
  if (GetWindowSystemState().mainWindow != nullptr && settings.windowMode) ApplyWindowStyle();
  return 0;
}

double GetWindowScaleFactor(double* x, double* y) {
  const WindowSettings& settings = GetWindowSystemState().settings;
  const double scaleX = settings.windowMode ? ReadScale(settings.scaleX) : 1.0;
  const double scaleY = settings.windowMode ? ReadScale(settings.scaleY) : 1.0;
  if (x != nullptr) *x = scaleX;
  if (y != nullptr) *y = scaleY;
  return scaleX;
}

int GetDesktopScreenInfo(int* width, int* height, int* bits) {
  const WindowSystemState& state = GetWindowSystemState();
  const bool kept = state.mainWindow != nullptr;
  if (width != nullptr) *width = kept ? state.desktopWidth : plat::GetSystemMetrics(plat::SM_CXSCREEN);
  if (height != nullptr) *height = kept ? state.desktopHeight : plat::GetSystemMetrics(plat::SM_CYSCREEN);
  if (bits != nullptr) *bits = kept ? state.desktopBits : plat::GetDesktopBitsPerPixel();
  return 0;
}

int GetWindowClientArea(Rect* rect) {
  if (rect == nullptr) return AppendLogFormat(text::kWindowServiceBadArgument, "GetWindowClientArea");
  const plat::WinRect& client = GetWindowSystemState().clientRect;
  const int toolBar = GetToolBarHeight();
  *rect = Rect{client.left, client.top + toolBar, client.right, client.bottom + toolBar};
  return 0;
}

int OnWindowSized(plat::LPARAM moveLParam) {
  WindowSystemState& state = GetWindowSystemState();
  // WM_MOVE carries the client origin as two signed 16-bit values.
  const int x = static_cast<std::int16_t>(plat::LowWord(static_cast<std::uintptr_t>(moveLParam)));
  const int y = static_cast<std::int16_t>(plat::HighWord(static_cast<std::uintptr_t>(moveLParam)));
  int width = state.clientRect.right - state.clientRect.left;
  int height = state.clientRect.bottom - state.clientRect.top;
  plat::WinRect client{};
  if (state.mainWindow != nullptr && plat::GetClientRect(state.mainWindow, &client)) {
    width = client.right - client.left;
    height = client.bottom - client.top;
  }
  state.clientRect = plat::WinRect{x, y, x + width, y + height};
  if (GetDrawTarget() == kFrontScreen) {
    const int inUse = IsMaskScreenInUse();
    SetMaskScreenInUse(0);
    SetMaskScreenInUse(inUse);
  }
  ReapplyClipRectangle();
  return 0;
}

int ApplyWindowPlacement() {
  const WindowSystemState& state = GetWindowSystemState();
  if (state.mainWindow == nullptr || !state.settings.windowMode) return 0;
  plat::WinRect window{};
  plat::WinRect client{};
  if (!plat::GetWindowRect(state.mainWindow, &window) || !plat::GetClientRect(state.mainWindow, &client)) return -1;
  int clientWidth = 0;
  int clientHeight = 0;
  WantedClientSize(state.settings, &clientWidth, &clientHeight);
  const int width = clientWidth + (window.right - window.left) - (client.right - client.left);
  const int height = clientHeight + (window.bottom - window.top) - (client.bottom - client.top);
  // Moving to the same rectangle would only echo another WM_SIZE back here.
  if (width == window.right - window.left && height == window.bottom - window.top) return 0;
  plat::MoveWindow(state.mainWindow, window.left, window.top, width, height, plat::TRUE);
  return 0;
}

int SetDesktopComposition(int flag) {
  WindowSystemState& state = GetWindowSystemState();
  const int switchedOff = flag ? 0 : 1;
  if (state.compositionSwitchedOff == switchedOff) return 0;
  plat::ModuleHandle dwm = plat::LoadLibraryA("dwmapi.dll");
  if (dwm == nullptr) return 0;
  using EnableComposition = long (*)(unsigned int);
  const auto enable = reinterpret_cast<EnableComposition>(plat::GetProcAddress(dwm, "DwmEnableComposition"));
  if (enable != nullptr) {
    enable(flag ? 1u : 0u);
    state.compositionSwitchedOff = switchedOff;
  }
  plat::FreeLibrary(dwm);
  return 0;
}

int ForceForegroundWindow(plat::HWND window, int topmost) {
  if (!plat::IsWindow(window)) return AppendLogFormat(text::kWindowServiceBadArgument, "ForceForegroundWindow");
  // The stand-in has no foreground lock to lift: raising is enough.
  plat::SetForegroundWindow(window);
  plat::HWND mainWindow = GetWindowSystemState().mainWindow;
  if (topmost == 1 && mainWindow != nullptr) {
    plat::SetWindowPos(mainWindow, plat::HWND_TOPMOST, 0, 0, 0, 0,
                       plat::SWP_NOSIZE | plat::SWP_NOMOVE | plat::SWP_NOREDRAW);
  }
  return 0;
}

}  // namespace qz
