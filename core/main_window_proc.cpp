// The main window's procedure: turns window messages into the library's state
// and hands device, input, music, movie and network notifications to their
// subsystems. Painting and interactive sizing have their own steps here.
#include <algorithm>

#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"
#include "input/char_input.h"
#include "input/input_devices.h"
#include "movie/movie_services.h"
#include "network/network_services.h"
#include "platform/gdi_present.h"
#include "sound/music.h"

namespace qz {
namespace {

constexpr std::uint32_t kInputDeviceMessageA = 0x46F;
constexpr std::uint32_t kInputDeviceMessageB = 0x470;
constexpr std::uint32_t kSocketEventMessage = 0x505;
constexpr int kFirstToolBarCommand = 0x500;
constexpr int kMaxMenuShowsOnCaption = 5;
constexpr std::int32_t kMenuHitBand = 8;  // full screen: the top rows open the menu
constexpr std::int32_t kPartialRepaintIntervalMs = 65;
constexpr std::uint32_t kAllFiles = 0xFFFFFFFFu;
constexpr std::uint32_t kSysCommandMask = 0xFFF0;

// Control bytes WM_CHAR passes on besides printable ones: Ctrl+A, Ctrl+C,
// Backspace, Tab, Enter, Ctrl+P, Ctrl+V, Ctrl+X, Escape.
bool IsPassedControlCode(plat::WPARAM code) {
  switch (code) {
    case 1: case 3: case 8: case 9: case 13: case 16: case 22: case 24: case 27: return true;
    default: return false;
  }
}

void KeepWindowRect(WindowSystemState& state, plat::HWND window) { plat::GetWindowRect(window, &state.windowRect); }

void PostCloseOnce(WindowSystemState& state) {
  if (state.closePosted != 0) return;
  plat::PostMessageA(state.mainWindow, plat::WM_CLOSE, 0, 0);
  state.closePosted = 1;
}

void HideCursorForMouse(const WindowSystemState& state) {
  if (state.mouseDisplayFlag != 0) return;
  plat::SetCursor(nullptr);
  while (plat::ShowCursor(plat::FALSE) >= 0) {
  }
}

void OnActivationMessage(WindowSystemState& state, plat::WPARAM wParam) {
  // Activation work rebuilds devices and switches modes; inside the pump's
  // dispatch it waits until the pump's message loop is over.
  if (state.pumpBusy != 0 && state.beingCreated == 0 && state.activationCount < kActivationQueueSize) {
    state.activationQueue[state.activationWrite] = static_cast<std::uint32_t>(wParam);
    state.activationWrite = (state.activationWrite + 1) % kActivationQueueSize;
    ++state.activationCount;
    return;
  }
  HandleActivateChange(wParam);
}

// Before the library has a screen, the window shows its background colour,
// or black when none is set.
void FillPaintBackground(const WindowSettings& settings, plat::HWND window, const plat::WinRect& rect) {
  plat::HDC context = plat::GetDC(window);
  if (context == nullptr) return;
  const bool coloured = settings.backgroundColourSet != 0;
  plat::HBRUSH brush = coloured ? plat::CreateSolidBrush(settings.backgroundRed |
                                                         (std::uint32_t{settings.backgroundGreen} << 8) |
                                                         (std::uint32_t{settings.backgroundBlue} << 16))
                                : plat::GetStockObject(plat::BLACK_BRUSH);
  plat::FillRect(context, &rect, brush);
  if (coloured) plat::DeleteObject(brush);
  plat::ReleaseDC(window, context);
}

// The whole client area is re-presented at once; partial paints at most
// every 65 ms.
void RepaintForPaint(WindowSystemState& state, const plat::WinRect& rect) {
  const std::int32_t clientWidth = state.clientRect.right - state.clientRect.left;
  const std::int32_t clientHeight = state.clientRect.bottom - state.clientRect.top;
  const bool whole = rect.left <= 0 && rect.top <= 0 && rect.right >= clientWidth && rect.bottom >= clientHeight;
  const std::int32_t now = GetMillisecondCount();
  if (whole) {
    RepaintScreen();
  } else if (state.partialRepaint == 0) {
    // The first partial paint only starts the clock: a window dragged over
    // ours sends many, and each would re-present the whole screen.
    state.partialRepaint = 1;
    state.lastRepaintTime = now;
  } else if (ElapsedMilliseconds(now, state.lastRepaintTime) >= kPartialRepaintIntervalMs) {
    RepaintScreen();
    state.lastRepaintTime = now;
  }
}

void OnPaint(WindowSystemState& state, plat::HWND window) {
  plat::PaintInfo paint{};
  plat::BeginPaint(window, &paint);
  if (state.settings.windowMode == 0) {
    plat::EndPaint(window, &paint);
    return;
  }
  state.inPaint = 1;
  bool done = false;
  if (state.active == 0 && state.settings.runInBackground == 0) {
    // A minimised window shows nothing; otherwise the kept inactive image,
    // when graphics has one.
    done = state.minimised != 0 || ShowInactivePaintImage() == 0;
  }
  if (!done && IsLibraryInitialised() == 0) {
    FillPaintBackground(state.settings, window, paint.paintRect);
  } else if (!done && GetDrawTarget() == kBackScreen) {
    // A repaint shows the kept frame again: no reason to wait for a blank.
    const int vsyncWait = GetPresentVSyncWait();
    SetPresentVSyncWait(0);
    RepaintForPaint(state, paint.paintRect);
    SetPresentVSyncWait(vsyncWait);
  }
  state.inPaint = 0;
  plat::EndPaint(window, &paint);
}

plat::LRESULT OnClose(WindowSystemState& state, plat::HWND window) {
  AppendLogText(text::kWindowClosing);
  const bool programCloses = state.settings.programHandlesClose != 0 && GetEndingState() != 1;
  if (!programCloses) plat::DestroyWindow(window);
  if (GetEndingState() == 0) SetEndingState(4);
  return 0;
}

void OnDestroy(WindowSystemState& state) {
  AppendLogText(text::kWindowDestroying);
  state.destroyed = 1;
  if (state.settings.noQuitMessage == 0) plat::PostQuitMessage(0);
  state.endRequest = 1;
  AppendLogText(text::kReadyToEnd);
}

void OnDisplayChange(WindowSystemState& state, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (state.settings.windowMode == 0 || state.modeChangeInProgress != 0) {
    state.displayChanged = 1;
    return;
  }
  const int bits = static_cast<int>(wParam);
  const int width = plat::LowWord(static_cast<std::uintptr_t>(lParam));
  const int height = plat::HighWord(static_cast<std::uintptr_t>(lParam));
  int screenWidth = 0;
  int screenHeight = 0;
  GetScreenModeSize(&screenWidth, &screenHeight);
  const int screenBits = GetScreenColorBitDepth();
  if (bits == screenBits && width == screenWidth && height == screenHeight) {
    state.displayChanged = 1;
    return;
  }
  const bool hasRestoreHandler = HasDeviceLostRestoreHandler() != 0;
  const bool usable = hasRestoreHandler && bits != 24 && screenWidth <= width && screenHeight <= height &&
                      (bits == screenBits || bits != 8);
  if (usable) {
    state.displayChanged = 1;
    ResumeAllMovies();
    return;
  }
  AppendLogText(text::kDisplayChangeUnusable);
  AppendLogText(text::kDisplayChangeUnusableMore);
  PostCloseOnce(state);
}

void OnSetCursorMenu(WindowSystemState& state, plat::LPARAM lParam) {
  if (GetHardwareRenderingFlag() == 0 || state.settings.windowMode != 0 || state.settings.menuInUse == 0) return;
  const plat::LRESULT hit = plat::LowWord(static_cast<std::uintptr_t>(lParam));
  if ((hit == plat::HTCAPTION || hit == plat::HTMENU) && state.fullScreenMenuShowCount < kMaxMenuShowsOnCaption) {
    EndSceneSetDialogBoxMode(1);
    ++state.fullScreenMenuShowCount;
    SetMouseCursorVisible(-1);
  } else if (hit != 0 && state.fullScreenMenuShowCount > 0) {
    EndSceneSetDialogBoxMode(0);
    state.fullScreenMenuShowCount = 0;
  }
}

void OnCommand(WindowSystemState& state, plat::WPARAM wParam) {
  const int id = plat::LowWord(wParam);
  if (GetToolBarState().present != 0 && id >= kFirstToolBarCommand) MarkToolBarButtonClicked(id);
  if (state.settings.menuInUse == 0) return;
  if (state.settings.menuCommandCallback != nullptr) state.settings.menuCommandCallback(id);
  if (state.settings.menuTextCallback != nullptr) {
    char itemText[kMenuItemTextSize] = {};
    if (GetMenuItemText(id, itemText, sizeof(itemText)) == 0) state.settings.menuTextCallback(itemText, id);
  }
  const std::int32_t* end = state.selectedMenuIds + state.selectedMenuIdCount;
  if (std::find(static_cast<const std::int32_t*>(state.selectedMenuIds), end, id) == end && state.selectedMenuIdCount < kSelectedMenuIdCapacity) {
    state.selectedMenuIds[state.selectedMenuIdCount++] = id;
  }
}

void OnDropFiles(WindowSystemState& state, plat::WPARAM wParam) {
  const auto drop = reinterpret_cast<plat::DropHandle>(wParam);
  const std::uint32_t count = plat::DragQueryFileA(drop, kAllFiles, nullptr, 0);
  for (std::uint32_t i = 0; i < count && state.droppedFileCount < kDroppedFileCapacity; ++i) {
    const std::uint32_t length = plat::DragQueryFileA(drop, i, nullptr, 0);
    auto* name = static_cast<char*>(QZ_ALLOC(static_cast<std::size_t>(length) + 1));
    if (name == nullptr) break;
    plat::DragQueryFileA(drop, i, name, length + 1);
    name[length] = '\0';
    state.droppedFiles[state.droppedFileCount++] = name;
  }
  plat::DragFinish(drop);
}

bool DragsLeftEdge(plat::WPARAM edge) {
  return edge == plat::WMSZ_LEFT || edge == plat::WMSZ_TOPLEFT || edge == plat::WMSZ_BOTTOMLEFT;
}
bool DragsRightEdge(plat::WPARAM edge) {
  return edge == plat::WMSZ_RIGHT || edge == plat::WMSZ_TOPRIGHT || edge == plat::WMSZ_BOTTOMRIGHT;
}
bool DragsTopEdge(plat::WPARAM edge) {
  return edge == plat::WMSZ_TOP || edge == plat::WMSZ_TOPLEFT || edge == plat::WMSZ_TOPRIGHT;
}
bool DragsBottomEdge(plat::WPARAM edge) {
  return edge == plat::WMSZ_BOTTOM || edge == plat::WMSZ_BOTTOMLEFT || edge == plat::WMSZ_BOTTOMRIGHT;
}

// Keeps the client's aspect (or the explicit limit) while the user drags an
// edge: rewrites the proposed window rectangle, keeping the edges opposite
// to the dragged ones in place.
void OnSizing(WindowSystemState& state, plat::HWND window, plat::WPARAM edge, plat::WinRect* proposed) {
  plat::WinRect windowRect{};
  plat::WinRect clientRect{};
  if (proposed == nullptr || !plat::GetWindowRect(window, &windowRect) || !plat::GetClientRect(window, &clientRect)) {
    return;
  }
  const std::int32_t frameWidth = (windowRect.right - windowRect.left) - (clientRect.right - clientRect.left);
  const std::int32_t frameHeight = (windowRect.bottom - windowRect.top) - (clientRect.bottom - clientRect.top);
  const std::int32_t maxWidth = std::max(1, state.desktopWidth - frameWidth);
  const std::int32_t maxHeight = std::max(1, state.desktopHeight - frameHeight);
  std::int32_t width = std::clamp(proposed->right - proposed->left - frameWidth, 1, maxWidth);
  std::int32_t height = std::clamp(proposed->bottom - proposed->top - frameHeight, 1, maxHeight);

  int screenWidth = 0;
  int screenHeight = 0;
  GetScreenModeSize(&screenWidth, &screenHeight);
  WindowSettings& settings = state.settings;
  bool moveLeft = DragsLeftEdge(edge);
  bool moveTop = DragsTopEdge(edge);
  if (settings.explicitScale != 0 || settings.explicitSize != 0) {
    const double scaleX = settings.scaleX > 0.0 ? settings.scaleX : 1.0;
    const double scaleY = settings.scaleY > 0.0 ? settings.scaleY : 1.0;
    const auto limitWidth = static_cast<std::int32_t>(screenWidth * scaleX);
    const auto limitHeight = static_cast<std::int32_t>(screenHeight * scaleY);
    if (width > limitWidth) {
      width = limitWidth;
      moveLeft = !DragsRightEdge(edge);
    }
    if (height > limitHeight) {
      height = limitHeight;
      moveTop = !DragsBottomEdge(edge);
    }
  } else {
    const double ratioX = static_cast<double>(width) / screenWidth;
    const double ratioY = static_cast<double>(height) / screenHeight;
    const bool sideEdge = DragsLeftEdge(edge) || DragsRightEdge(edge);
    const bool cornerEdge = sideEdge && (DragsTopEdge(edge) || DragsBottomEdge(edge));
    bool widthLeads = cornerEdge ? ratioX >= ratioY : sideEdge;
    if (widthLeads) {
      height = static_cast<std::int32_t>(static_cast<std::int64_t>(width) * screenHeight / screenWidth);
      // The derived side must still fit the desktop: then it leads instead.
      if (height > maxHeight) {
        widthLeads = false;
        height = maxHeight;
      }
    }
    if (!widthLeads) {
      width = static_cast<std::int32_t>(static_cast<std::int64_t>(height) * screenWidth / screenHeight);
      if (width > maxWidth) {
        width = maxWidth;
        height = static_cast<std::int32_t>(static_cast<std::int64_t>(width) * screenHeight / screenWidth);
        widthLeads = true;
      }
    }
    const double scale = widthLeads ? static_cast<double>(width) / screenWidth
                                    : static_cast<double>(height) / screenHeight;
    settings.scaleX = scale;
    settings.scaleY = scale;
  }
  if (moveLeft) {
    proposed->left = proposed->right - (width + frameWidth);
  } else {
    proposed->right = proposed->left + width + frameWidth;
  }
  if (moveTop) {
    proposed->top = proposed->bottom - (height + frameHeight);
  } else {
    proposed->bottom = proposed->top + height + frameHeight;
  }
}

}  // namespace

plat::LRESULT MainWindowProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  WindowSystemState& state = GetWindowSystemState();
  WindowSettings& settings = state.settings;
  const bool childMode = settings.childMode != 0;
  plat::LRESULT childResult = 0;
  if (childMode && state.oldWindowProc != nullptr) childResult = state.oldWindowProc(window, message, wParam, lParam);
  if (settings.messageHook != nullptr) settings.messageHook(window, message, wParam, lParam, settings.messageHookUser);

  switch (message) {
    case plat::WM_CREATE:
      // Messages sent while CreateWindowExA runs already need the handle.
      if (!childMode && state.mainWindow == nullptr) state.mainWindow = window;
      break;
    case plat::WM_DESTROY:
      if (!childMode) OnDestroy(state);
      break;
    case plat::WM_MOVE:
      KeepWindowRect(state, window);
      if (settings.windowMode != 0 && state.modeChangeInProgress == 0) OnWindowSized(lParam);
      break;
    case plat::WM_SIZE:
      KeepWindowRect(state, window);
      state.minimised = wParam == plat::SIZE_MINIMIZED ? 1 : 0;
      if (wParam == plat::SIZE_MAXIMIZED && settings.fullScreenToggle != 0 && settings.windowMode != 0 &&
          state.modeChangeInProgress == 0 && state.beingCreated == 0) {
        state.pendingFullScreenToggle = 1;
      } else if (wParam != plat::SIZE_MINIMIZED && state.mainWindow != nullptr) {
        ApplyWindowPlacement();
      }
      if (GetToolBarState().present != 0 && GetToolBarState().window != nullptr) {
        plat::SendMessageA(GetToolBarState().window, plat::WM_SIZE, wParam, lParam);
      }
      break;
    case plat::WM_ACTIVATEAPP:
      if (wParam == 0) OnActivationMessage(state, wParam);
      break;
    case plat::WM_ACTIVATE:
      OnActivationMessage(state, wParam);
      break;
    case plat::WM_PAINT:
      OnPaint(state, window);
      break;
    case plat::WM_CLOSE:
      if (!childMode) return OnClose(state, window);
      break;
    case plat::WM_SETCURSOR:
      OnSetCursorMenu(state, lParam);
      HideCursorForMouse(state);
      break;
    case plat::WM_DISPLAYCHANGE:
      OnDisplayChange(state, wParam, lParam);
      break;
    case plat::WM_NCHITTEST: {
      const auto y = static_cast<std::int16_t>(plat::HighWord(static_cast<std::uintptr_t>(lParam)));
      if (GetHardwareRenderingFlag() != 0 && settings.windowMode == 0 && y < kMenuHitBand) return plat::HTMENU;
      break;
    }
    case plat::WM_KEYDOWN:
      if (IsCharInputRingFull() == 0) {
        const std::uint8_t code = LookupEditKeyCode(static_cast<std::uint32_t>(wParam));
        if (code != 0) PushInputChar(code);
      }
      break;
    case plat::WM_CHAR:
      if (wParam == '\n') {
        PushInputChar('\r');
      } else if (wParam >= 32 || IsPassedControlCode(wParam)) {
        PushInputChar(static_cast<std::uint8_t>(wParam));
      }
      break;
    case plat::WM_SYSCHAR:
      if (wParam == '\r' && settings.fullScreenToggle != 0) {
        state.pendingFullScreenToggle = 1;
        return 0;
      }
      break;
    case plat::WM_IME_STARTCOMPOSITION:
    case plat::WM_IME_ENDCOMPOSITION:
    case plat::WM_IME_COMPOSITION:
    case plat::WM_IME_SETCONTEXT:
    case plat::WM_IME_NOTIFY:
      return HandleImeMessage(window, message, wParam, lParam);
    case plat::WM_COMMAND:
      OnCommand(state, wParam);
      break;
    case plat::WM_SYSCOMMAND: {
      const plat::WPARAM command = wParam & kSysCommandMask;
      if (command == plat::SC_KEYMENU && settings.systemKeyBlocking != 0) return 0;
      if (command == plat::SC_SCREENSAVE || command == plat::SC_MONITORPOWER) return 1;
      break;
    }
    case plat::WM_LBUTTONDOWN:
    case plat::WM_RBUTTONDOWN:
    case plat::WM_MBUTTONDOWN:
      RecordMouseClick(message == plat::WM_LBUTTONDOWN ? 1 : message == plat::WM_RBUTTONDOWN ? 2 : 4);
      HideCursorForMouse(state);
      break;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONUP:
    case plat::WM_RBUTTONUP:
    case plat::WM_MBUTTONUP:
      HideCursorForMouse(state);
      break;
    case plat::WM_MOUSEWHEEL:
    case plat::WM_MOUSEHWHEEL: {
      const auto delta = static_cast<std::int16_t>(plat::HighWord(wParam));
      std::int32_t& counter = message == plat::WM_MOUSEWHEEL ? state.wheelVertical : state.wheelHorizontal;
      counter += delta > 0 ? 1 : -1;
      break;
    }
    case plat::WM_SIZING:
      if (settings.windowMode != 0 && !childMode) {
        OnSizing(state, window, wParam, reinterpret_cast<plat::WinRect*>(lParam));
      }
      break;
    case plat::WM_MOVING:
      KeepWindowRect(state, window);
      if (settings.windowMode == 0 && lParam != 0) *reinterpret_cast<plat::WinRect*>(lParam) = state.windowRect;
      break;
    case plat::WM_DROPFILES:
      OnDropFiles(state, wParam);
      break;
    case plat::MM_MCINOTIFY:
      OnMciMusicNotify();
      break;
    case kInputDeviceMessageA:
    case kInputDeviceMessageB:
      HandleInputDeviceMessage(message, wParam);
      break;
    case kSocketEventMessage:
      return OnSocketEvent(wParam, lParam);
    default:
      break;
  }
  return childMode ? childResult : plat::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace qz
