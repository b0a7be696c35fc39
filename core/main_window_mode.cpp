// Gaining and losing activation, and switching the main window between
// window mode and full screen: the work the window procedure and the pump
// hand over once no message is being dispatched.
#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "core/system_info.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/display_modes.h"
#include "graphics/graphics_start.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"
#include "input/char_input.h"
#include "input/input_devices.h"
#include "movie/movie_services.h"
#include "platform/clock.h"

namespace qz {
namespace {

// A switch that changes no display setting sends no WM_DISPLAYCHANGE; the
// wait for one ends after this long.
constexpr std::int32_t kDisplayChangeWaitMs = 250;

void OnActivated(WindowSystemState& state, plat::WPARAM wParam) {
  const WindowSettings& settings = state.settings;
  if (settings.useIme != 0 && GetImeCompositionFlag() != 0) RequestKeyInputImeRefresh();
  if (settings.windowMode != 0) {
    EndDeviceScene();
    // A device lost in window mode is noticed only here; without the rebuild
    // every later draw would be skipped for good.
    if (IsLibraryInitialised() != 0 && IsGraphicsDeviceLost() != 0) RebuildGraphicsDeviceDefault();
  }
  if (settings.windowMode == 0 && IsLibraryInitialised() != 0) {
    // Full screen lost its device on deactivation; a minimised activation
    // (high word set) waits for the restore.
    if (plat::HighWord(wParam) == 0) RebuildGraphicsDeviceDefault();
    state.lostInFullScreen = 0;
    ResumeAllMovies();
  } else if (settings.runInBackground == 0) {
    ResumeAllMovies();
  }
  ReacquireInputDevices();
}

// -1 when the program must end: full screen lost with nothing to rebuild it.
int OnDeactivated(WindowSystemState& state) {
  const WindowSettings& settings = state.settings;
  if (settings.windowMode == 0) {
    EndGraphicsSystem();
    // The operating-system codes follow the system report's table: XP is 263.
    if (GetOsCode() >= kOsWindowsXp || GetHardwareRenderingFlag() == 0) {
      plat::ShowWindow(state.mainWindow, plat::SW_MINIMIZE);
    }
    if (IsLibraryInitialised() != 0) {
      if (state.compositionSwitchedOff != 0) SetDesktopComposition(1);
      if (HasDeviceLostRestoreHandler() == 0 && settings.childMode == 0) {
        AppendLogText(text::kNoRestoreHandlerEnd);
        if (state.closePosted == 0) {
          plat::PostMessageA(state.mainWindow, plat::WM_CLOSE, 0, 0);
          state.closePosted = 1;
        }
        return -1;
      }
      PauseAllMovies();
      state.lostInFullScreen = 1;
    }
  } else {
    if (settings.runInBackground == 0) PauseAllMovies();
    ReacquireInputDevices();
  }
  if (settings.clipCursor != 0) {
    plat::ClipCursor(nullptr);
    state.cursorClipped = 0;
  }
  RepaintScreen();
  return 0;
}

void HideCursorFully() {
  while (plat::ShowCursor(plat::FALSE) >= 0) {
  }
}

void ShowCursorFully() {
  while (plat::ShowCursor(plat::TRUE) < 0) {
  }
}

void ApplyFullScreenStyle(WindowSystemState& state) {
  AppendLogText(text::kStyleForFullScreen);
  const plat::HWND window = state.mainWindow;
  const WindowStyleEntry style = GetFullScreenStyleEntry();
  plat::SetWindowLongA(window, plat::GWL_STYLE, static_cast<std::intptr_t>(style.style));
  plat::SetWindowLongA(window, plat::GWL_EXSTYLE, static_cast<std::intptr_t>(style.exStyle));
  int width = 0;
  int height = 0;
  GetScreenModeSize(&width, &height);
  state.clientRect = {0, 0, width, height};
  plat::ShowWindow(window, plat::SW_SHOW);
  plat::UpdateWindow(window);
  plat::SetWindowPos(window, plat::HWND_TOPMOST, 0, 0, width, height, plat::SWP_NOREDRAW);
  HideCursorFully();
}

void ApplyWindowModeStyle(WindowSystemState& state) {
  AppendLogText(text::kStyleForWindowMode);
  const plat::HWND window = state.mainWindow;
  const WindowStyleEntry style = ComposeWindowModeStyle();
  plat::SetWindowLongA(window, plat::GWL_STYLE, static_cast<std::intptr_t>(style.style));
  plat::SetWindowLongA(window, plat::GWL_EXSTYLE, static_cast<std::intptr_t>(style.exStyle));
  const WindowFrameRect frame = ComputeWindowModeFrame(GetToolBarHeight());
  plat::SetWindowPos(window, plat::HWND_NOTOPMOST, frame.x, frame.y, frame.width, frame.height, 0);
  plat::SetWindowPos(window, nullptr, frame.x, frame.y, frame.width, frame.height, plat::SWP_NOZORDER);
  KeepClientRectOnScreen();
  // A frame larger than the desktop would put the client off screen: the
  // client starts at the desktop's edge instead.
  if (state.clientRect.left < 0 || state.clientRect.top < 0) {
    plat::WinRect outer{};
    plat::GetWindowRect(window, &outer);
    const std::int32_t x = state.clientRect.left < 0 ? outer.left - state.clientRect.left : outer.left;
    const std::int32_t y = state.clientRect.top < 0 ? outer.top - state.clientRect.top : outer.top;
    plat::SetWindowPos(window, nullptr, x, y, 0, 0, plat::SWP_NOSIZE | plat::SWP_NOZORDER);
    KeepClientRectOnScreen();
  }
  ShowCursorFully();
}

}  // namespace

int SettleFullScreenSize() {
  int width = 0;
  int height = 0;
  GetScreenModeSize(&width, &height);
  const bool small = width == 320 && height == 240;
  if (CheckDisplayModeAvailable(width, height, GetScreenColorBitDepth()) == 0 &&
      !(small && GetHardwareRenderingFlag() != 0)) {
    return -1;
  }
  if (small) {
    SetScreen320x240Emulation(1);
    SetScreenModeSize(640, 480);
  }
  return 0;
}

int HandleActivateChange(plat::WPARAM wParam) {
  WindowSystemState& state = GetWindowSystemState();
  const int active = plat::LowWord(wParam) != 0 ? 1 : 0;
  if (state.beingCreated != 0) {
    state.active = active;
    return 0;
  }
  if (active != 0) {
    OnActivated(state, wParam);
  } else if (OnDeactivated(state) != 0) {
    return -1;
  }
  UpdateJoypadEffects();
  if (state.settings.activationCallback != nullptr) {
    state.settings.activationCallback(active, state.settings.activationUser);
  }
  state.active = active;
  return 0;
}

int ChangeWindowMode(int windowMode) {
  WindowSystemState& state = GetWindowSystemState();
  AppendLogText(text::kChangeWindowMode);
  const int wanted = windowMode != 0 ? 1 : 0;
  if (wanted == state.settings.windowMode) return 0;
  if (wanted == 0 && state.mainWindow != nullptr && state.settings.childMode == 0 && SettleFullScreenSize() != 0) {
    return -1;
  }
  state.visibleOnCreation = 1;
  state.displayChanged = 0;
  SetWindowModeFlagWithMenu(wanted);
  if (state.mainWindow == nullptr || state.settings.childMode != 0) return 0;

  state.modeChangeInProgress = 1;
  ApplyWindowStyle();
  int width = 0;
  int height = 0;
  GetScreenModeSize(&width, &height);
  const int result = ApplyScreenModeChange(width, height, GetScreenColorBitDepth(), 1, -1);
  const std::int32_t start = GetMillisecondCount();
  while (state.displayChanged == 0 && ElapsedMilliseconds(GetMillisecondCount(), start) < kDisplayChangeWaitMs) {
    if (PumpWindowMessages() != 0) break;
    plat::Sleep(1);
  }
  state.modeChangeInProgress = 0;
  if (state.settings.windowMode == 0) state.fullScreenMenuShowCount = 0;
  return result;
}

void SetWindowModeFlagWithMenu(int windowMode) {
  WindowSystemState& state = GetWindowSystemState();
  state.settings.windowMode = windowMode != 0 ? 1 : 0;
  AppendLogText(windowMode != 0 ? text::kWindowModeFlagSet : text::kWindowModeFlagCleared);
  // Whether the menu shows depends on the mode: attach or detach it. The
  // style and placement follow from the mode change that called this.
  if (state.settings.menuInUse != 0 && state.mainWindow != nullptr) {
    MenuState& menu = GetMenuState();
    menu.attached = IsMenuShown();
    menu.lastShown = menu.attached;
  }
}

void ApplyWindowStyle() {
  WindowSystemState& state = GetWindowSystemState();
  if (state.mainWindow == nullptr) return;
  if (state.settings.windowMode == 0) {
    ApplyFullScreenStyle(state);
  } else {
    ApplyWindowModeStyle(state);
  }
  AppendLogText(text::kStyleChangeDone);
  plat::SetActiveWindow(state.mainWindow);
  plat::PostMessageA(state.mainWindow, plat::WM_SETCURSOR, 0, 0);
}

}  // namespace qz
