// Creation and end of the library's main window, its style table, the
// code-page choice and the trivial queries. The window procedure and the mode
// switching live beside this file (main_window_proc.cpp, main_window_mode.cpp).
#include "core/main_window.h"

#include <cstdarg>
#include <cstring>

#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/message_pump.h"
#include "core/multibyte.h"
#include "core/random.h"
#include "core/string_util.h"
#include "core/system_info.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/screen_settings.h"
#include "input/char_input.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/module.h"
#include "platform/sync.h"
#include "platform/system_info.h"

namespace qz {
namespace {

constexpr const char* kDefaultClassName = "Q123987Z";
constexpr const char* kDefaultTitle = "QzLib";
constexpr std::uint32_t kFullScreenStyle = plat::WS_POPUP;
constexpr std::uint32_t kFullScreenExStyle = plat::WS_EX_TOPMOST;
constexpr double kBytesToMiB = 1.0 / 1048576.0;
// The timer check samples until one counter changed this often, or 1 s.
constexpr int kTimerSampleChanges = 60;
constexpr std::uint32_t kTimerSampleLimitMs = 1000;
// A WM_CLOSE the program handles itself may never destroy the window; the end
// pumps this many rounds for it and then destroys the window itself.
constexpr int kCloseRounds = 200;

constexpr WindowStyleEntry kStyleTable[] = {
    {0x80CA0000u, 0x300u}, {0x80080000u, 0x300u}, {0x80080000u, 0x0u},   {0x80CA0000u, 0x80u},
    {0x80080000u, 0x80u},  {0x80C80000u, 0x100u}, {0x80CA0000u, 0x300u}, {0x80CB0000u, 0x300u},
    {0x81CB0000u, 0x300u}, {0x80CA0000u, 0x100u},
};

// Formats without ending the line: several creation steps continue one line.
void AppendLogFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
void AppendLogFormatted(const char* format, ...) {
  char line[512];
  va_list arguments;
  va_start(arguments, format);
  FormatStringV(line, sizeof(line), format, arguments);
  va_end(arguments);
  AppendLogText(line);
}

// Kernel32's extended memory status when the system has it, else the plain
// query (the same figures on this platform).
bool ReadMemoryStatus(plat::MemoryStatus* status) {
  if (GetOsCode() >= kOsWindows2000) {
    plat::ModuleHandle kernel = plat::LoadLibraryA("Kernel32.dll");
    if (kernel != nullptr) {
      using MemoryStatusEntry = bool (*)(plat::MemoryStatus*);
      const auto entry = reinterpret_cast<MemoryStatusEntry>(plat::GetProcAddress(kernel, "GlobalMemoryStatusEx"));
      const bool read = entry != nullptr && entry(status);
      plat::FreeLibrary(kernel);
      if (read) return true;
    }
  }
  return plat::GlobalMemoryStatusEx(status);
}

void KeepMemoryFigures(WindowSystemState& state) {
  plat::MemoryStatus status{};
  if (!ReadMemoryStatus(&status)) return;
  const double totalMiB = static_cast<double>(status.totalPhysical) * kBytesToMiB;
  AppendLogFormatted(text::kMemoryTotals, totalMiB, static_cast<double>(status.availablePhysical) * kBytesToMiB);
  char debugLine[64];
  FormatString(debugLine, sizeof(debugLine), "%.2fMB\n", totalMiB);
  plat::OutputDebugStringA(debugLine);
  state.totalPhysicalMemory = status.totalPhysical;
  state.availablePhysicalMemory = status.availablePhysical;
  state.totalVirtualMemory = status.totalVirtual;
  state.availableVirtualMemory = status.availableVirtual;
}

// Begins the finest timer period and picks the finer of the two counters.
void ChooseTimer(WindowSystemState& state) {
  plat::TimerCaps caps{};
  plat::timeGetDevCaps(&caps, sizeof(caps));
  if (caps.periodMin != 0 && plat::timeBeginPeriod(caps.periodMin) == 0) state.timerPeriod = caps.periodMin;
  if (HasPerformanceCounter() == 0) return;

  AppendLogText(text::kTimerCheck);
  std::int64_t frequency = 0;
  plat::QueryPerformanceFrequency(&frequency);
  int timerChanges = 0;
  int counterChanges = 0;
  const std::uint32_t start = plat::timeGetTime();
  std::uint32_t lastTime = start;
  std::int64_t lastCount = 0;
  plat::QueryPerformanceCounter(&lastCount);
  while (timerChanges < kTimerSampleChanges && counterChanges < kTimerSampleChanges) {
    const std::uint32_t now = plat::timeGetTime();
    std::int64_t count = 0;
    plat::QueryPerformanceCounter(&count);
    if (now != lastTime) ++timerChanges;
    if (count != lastCount) ++counterChanges;
    lastTime = now;
    lastCount = count;
    if (now - start >= kTimerSampleLimitMs) break;
  }
  AppendLogFormatted(text::kTimerResult, timerChanges, counterChanges);
  AppendLogText("\n");
  if (timerChanges <= counterChanges) {
    AppendLogFormatted(text::kTimerUsePerformanceCounter, static_cast<double>(frequency) / 1000.0);
  } else {
    AppendLogFormatted(text::kTimerUseMultimediaTimer, static_cast<int>(caps.periodMin));
    SetPerformanceCounter(0, static_cast<std::uint64_t>(frequency));
  }
  AppendLogText("\n");
}

// Undoes what creation changed for the whole process: the timer period and
// the screen-saver inhibition. Safe to run twice.
void ReleaseProcessSettings(WindowSystemState& state) {
  ReleaseLayeredWindowSection();
  if (state.timerPeriod != 0) {
    plat::timeEndPeriod(state.timerPeriod);
    state.timerPeriod = 0;
  }
  if (state.screenSaverInhibited != 0) {
    plat::SetScreenSaverInhibited(false);
    state.screenSaverInhibited = 0;
  }
}

// Client size of window mode: the explicit size, else the screen times the
// scale factors (truncated).
void WindowModeClientSize(const WindowSettings& settings, int* width, int* height) {
  if (settings.explicitSize != 0) {
    *width = settings.explicitWidth;
    *height = settings.explicitHeight;
    return;
  }
  int screenWidth = 0;
  int screenHeight = 0;
  GetScreenModeSize(&screenWidth, &screenHeight);
  const double scaleX = settings.scaleX > 0.0 ? settings.scaleX : 1.0;
  const double scaleY = settings.scaleY > 0.0 ? settings.scaleY : 1.0;
  *width = static_cast<int>(screenWidth * scaleX);
  *height = static_cast<int>(screenHeight * scaleY);
}

plat::HWND CreateTheWindow(WindowSystemState& state) {
  WindowSettings& settings = state.settings;
  if (settings.windowMode == 0) {
    AppendLogText(text::kCreateFullScreenWindow);
    state.mouseDisplayFlag = 0;
    return plat::CreateWindowExA(kFullScreenExStyle, settings.className, settings.title, kFullScreenStyle, 0, 0,
                                 state.desktopWidth, state.desktopHeight, nullptr);
  }
  AppendLogText(text::kCreateWindowModeWindow);
  state.mouseDisplayFlag = 1;
  const WindowStyleEntry style = ComposeWindowModeStyle();
  WindowFrameRect frame = ComputeWindowModeFrame(0);
  return plat::CreateWindowExA(style.exStyle, settings.className, settings.title, style.style, frame.x, frame.y,
                               frame.width, frame.height, nullptr);
}

}  // namespace

WindowFrameRect ComputeWindowModeFrame(int extraClientHeight) {
  const WindowSystemState& state = GetWindowSystemState();
  const WindowSettings& settings = state.settings;
  int clientWidth = 0;
  int clientHeight = 0;
  WindowModeClientSize(settings, &clientWidth, &clientHeight);
  // Extra height (the tool bar) joins a scaled client only: an explicit size
  // is the whole client.
  if (settings.explicitSize == 0) clientHeight += extraClientHeight;
  plat::WinRect rect{0, 0, clientWidth, clientHeight};
  const WindowStyleEntry style = ComposeWindowModeStyle();
  plat::AdjustWindowRectEx(&rect, style.style, settings.menu != nullptr && settings.menuInUse != 0 ? 1 : 0,
                           style.exStyle);
  WindowFrameRect frame{};
  frame.width = rect.right - rect.left;
  frame.height = rect.bottom - rect.top;
  if (settings.explicitPosition != 0) {
    frame.x = settings.positionX;
    frame.y = settings.positionY;
  } else {
    int desktopWidth = state.desktopWidth;
    int desktopHeight = state.desktopHeight;
    if (desktopWidth <= 0 || desktopHeight <= 0) {
      desktopWidth = plat::GetSystemMetrics(plat::SM_CXSCREEN);
      desktopHeight = plat::GetSystemMetrics(plat::SM_CYSCREEN);
    }
    frame.x = (desktopWidth - frame.width) / 2;
    frame.y = (desktopHeight - frame.height) / 2;
  }
  return frame;
}

int CreateMainWindow() {
  WindowSystemState& state = GetWindowSystemState();
  // A window made again without an end in between must not leave the
  // process settings of the earlier one behind.
  ReleaseProcessSettings(state);
  const WindowSettings kept = state.settings;
  state = WindowSystemState{};
  state.settings = kept;
  WindowSettings& settings = state.settings;
  LookUpLayeredWindowEntry();

  if (settings.className[0] == '\0') {
    CopyStringBytesMax(settings.className, settings.title[0] != '\0' ? settings.title : kDefaultClassName,
                       sizeof(settings.className) - 1);
  }
  state.moduleInstance = plat::GetModuleHandleA(nullptr);
  state.windowThreadId = plat::GetCurrentThreadId();

  KeepMemoryFigures(state);
  state.desktopWidth = plat::GetSystemMetrics(plat::SM_CXSCREEN);
  state.desktopHeight = plat::GetSystemMetrics(plat::SM_CYSCREEN);
  state.desktopBits = plat::GetDesktopBitsPerPixel();
  ChooseTimer(state);
  SeedRandom(plat::timeGetTime() & 0x7FFFFFFFu);

  // The screen saver stays off for this process's life only; the end (or a
  // crash) gives the user's own setting back.
  plat::SetScreenSaverInhibited(true);
  state.screenSaverInhibited = 1;

  int charsetCode = 0;
  int codePage = 0;
  ChooseCodePage(plat::GetOEMCP(), &charsetCode, &codePage);
  state.charsetCode = charsetCode;
  state.codePage = codePage;
  SetCurrentCharset(charsetCode);
  plat::SetCodePageForText(static_cast<std::uint32_t>(codePage));

  if (settings.noWindow == 0) {
    AppendLogText(text::kDoubleStartCheck);
    if (plat::FindWindowA(settings.className, nullptr) == nullptr) {
      AppendLogText(text::kNoDoubleStart);
    } else if (settings.allowDoubleStart != 0) {
      AppendLogText(text::kDoubleStartContinue);
    } else {
      AppendLogText(text::kDoubleStartRefused);
      SetStartFailureReason("another copy is already running");
      state.endRequest = 1;
      return -1;
    }
    if (settings.menuInUse != 0 && settings.menu != nullptr) WalkMenuItems();
  }

  if (settings.childMode != 0) {
    // Run inside the program's window: its procedure runs first in ours.
    state.mainWindow = settings.programWindow;
    state.oldWindowProc =
        reinterpret_cast<plat::WindowProc>(plat::GetWindowLongA(settings.programWindow, plat::GWL_WNDPROC));
    plat::SetWindowLongA(settings.programWindow, plat::GWL_WNDPROC, reinterpret_cast<std::intptr_t>(&MainWindowProc));
  } else {
    state.beingCreated = 1;
    AppendLogText(text::kRegisterWindowClass);
    const plat::WindowClass windowClass{plat::CS_HREDRAW | plat::CS_VREDRAW, &MainWindowProc, settings.iconId,
                                        settings.className};
    if (plat::RegisterClassExA(&windowClass) != 0) {
      AppendLogText(text::kRegisterWindowClassDone);
    } else {
      AppendLogText(text::kRegisterWindowClassFailed);
      state.endRequest = 1;
    }
    if (settings.title[0] == '\0') CopyStringBytesMax(settings.title, kDefaultTitle, sizeof(settings.title) - 1);

    const plat::HWND window = CreateTheWindow(state);
    if (window == nullptr) {
      AppendLogText(text::kCreateWindowFailed);
      if (plat::GetDisplayOpenFailure()[0] != '\0') SetStartFailureReason(plat::GetDisplayOpenFailure());
      state.endRequest = 1;
      state.beingCreated = 0;
      return -1;
    }
    state.mainWindow = window;
    AppendLogText(text::kCreateWindowDone);
    if (settings.transparentWindow == 0) {
      plat::ShowWindow(window, plat::SW_SHOW);
      plat::UpdateWindow(window);
    } else {
      plat::ShowWindow(window, plat::SW_HIDE);
      AppendLogText(text::kShowWindowLater);
    }
  }

  // The window is made with the menu in use attached.
  MenuState& menu = GetMenuState();
  const int menuAttached = settings.noWindow == 0 && settings.menuInUse != 0 && settings.menu != nullptr ? 1 : 0;
  menu.attached = menuAttached;
  menu.lastShown = menuAttached;

  state.closePosted = 0;
  state.destroyed = 0;
  state.active = 1;
  if (settings.windowMode == 0) {
    AppendLogText(text::kCursorHidden);
    plat::SetCursor(nullptr);
  }
  AppendLogText(text::kImeDisabled);
  if (settings.useIme == 0) plat::EnableTextInput(state.mainWindow, plat::FALSE);

  if (settings.windowMode != 0) KeepClientRectOnScreen();
  SetMouseCursorVisible(state.mouseDisplayFlag);
  SetEndingState(0);

  if (settings.childMode == 0) {
    if (settings.transparentWindow == 0) {
      plat::BringWindowToTop(state.mainWindow);
      ApplyWindowPlacement();
    }
    if (settings.windowMode != 0) state.visibleOnCreation = 1;
    state.beingCreated = 0;
  }
  return 0;
}

int EndMainWindow() {
  WindowSystemState& state = GetWindowSystemState();
  const plat::HWND window = state.mainWindow;
  if (window == nullptr) {
    ReleaseProcessSettings(state);
    return 0;
  }
  // A user's close may have destroyed the window already.
  const bool alive = plat::IsWindow(window) != 0;
  if (state.settings.noWindow == 0) {
    if (alive) plat::EnableTextInput(window, plat::TRUE);
    while (plat::ShowCursor(plat::TRUE) < 0) {
    }
    if (alive) plat::PostMessageA(window, plat::WM_SETCURSOR, 0, 0);
    // The menu goes with the window; the user's choice to hide it stays for
    // the next window.
    MenuState& menu = GetMenuState();
    menu.attached = 0;
    menu.lastShown = 0;
    menu.itemCount = 0;
    ToolBarState& toolBar = GetToolBarState();
    if (toolBar.present != 0) {
      RemoveEveryToolBarButton();
      if (toolBar.window != nullptr && plat::IsWindow(toolBar.window)) plat::DestroyWindow(toolBar.window);
      toolBar.window = nullptr;
      toolBar.bitmap = nullptr;
      toolBar.present = 0;
      if (alive) ApplyWindowPlacement();
    }
    if (state.settings.childMode == 0) {
      if (alive && state.closePosted == 0) {
        plat::PostMessageA(window, plat::WM_CLOSE, 0, 0);
        state.closePosted = 1;
      }
      for (int round = 0; alive && round < kCloseRounds && state.destroyed == 0; ++round) {
        if (PumpWindowMessages() != 0) break;
      }
      if (plat::IsWindow(window)) {
        plat::DestroyWindow(window);
        // No pump takes the quit this destruction posts; left in the queue it
        // would end the next run in this process at its first pump.
        plat::Message quit{};
        plat::PeekMessageA(&quit, nullptr, plat::WM_QUIT, plat::WM_QUIT, plat::PM_REMOVE);
      }
      plat::UnregisterClassA(state.settings.className);
    } else {
      plat::SetWindowLongA(window, plat::GWL_WNDPROC, reinterpret_cast<std::intptr_t>(state.oldWindowProc));
      state.endRequest = 1;
    }
    ReleaseAllKeyInputHandles();
    FreeDroppedFileNames();
  } else {
    state.endRequest = 1;
  }
  ReleaseProcessSettings(state);
  return 0;
}

WindowStyleEntry GetWindowStyleEntry(int styleNumber) {
  // A number outside the table reads as the default style.
  if (styleNumber < 0 || styleNumber >= static_cast<int>(sizeof(kStyleTable) / sizeof(kStyleTable[0]))) {
    return kStyleTable[0];
  }
  return kStyleTable[styleNumber];
}

WindowStyleEntry ComposeWindowModeStyle() {
  const WindowSystemState& state = GetWindowSystemState();
  const WindowSettings& settings = state.settings;
  WindowStyleEntry entry = GetWindowStyleEntry(settings.styleNumber);
  if (settings.fullScreenToggle != 0) entry.style |= plat::WS_MAXIMIZEBOX;
  if (state.visibleOnCreation != 0) entry.style |= plat::WS_VISIBLE;
  if (settings.sizableWindow != 0) entry.style |= plat::WS_THICKFRAME;
  if (settings.transparentWindow != 0) entry.exStyle |= plat::WS_EX_TRANSPARENT;
  if (settings.layeredWindow != 0) entry.exStyle |= plat::WS_EX_LAYERED;
  return entry;
}

WindowStyleEntry GetFullScreenStyleEntry() { return {kFullScreenStyle, kFullScreenExStyle}; }

void ChooseCodePage(std::uint32_t oemCodePage, int* charsetCode, int* codePage) {
  int code = 1;
  int page = 0;
  switch (oemCodePage) {
    case 932: code = 1; page = 932; break;
    case 936: code = 4; page = 936; break;
    case 949: code = 2; page = 949; break;
    case 950: code = 3; page = 950; break;
    default: break;
  }
  if (charsetCode != nullptr) *charsetCode = code;
  if (codePage != nullptr) *codePage = page;
}

void KeepClientRectOnScreen() {
  WindowSystemState& state = GetWindowSystemState();
  plat::WinRect client{};
  if (state.mainWindow == nullptr || !plat::GetClientRect(state.mainWindow, &client)) return;
  plat::Point origin{0, 0};
  plat::ClientToScreen(state.mainWindow, &origin);
  state.clientRect = {origin.x, origin.y, origin.x + (client.right - client.left),
                      origin.y + (client.bottom - client.top)};
}

plat::HWND QueryMainWindowHandle() { return GetWindowSystemState().mainWindow; }
int QueryWindowModeState() { return GetWindowSystemState().settings.windowMode; }
int IsMainWindowActive() { return GetWindowSystemState().active; }
int GetEndRequestFlag() { return GetWindowSystemState().endRequest; }
int IsCloseMessagePosted() { return GetWindowSystemState().closePosted; }
int GetKeepRunningFlag() { return GetWindowSystemState().settings.runInBackground; }

}  // namespace qz
