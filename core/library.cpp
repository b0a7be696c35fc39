// The library's public entries under the library lock, the start and the end
// in their fixed order, the optional modules loaded by name, the state flags
// and the fatal exit.
#include "core/library.h"

#include <strings.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"
#include "core/file_access.h"
#include "core/file_access_archive.h"
#include "core/library_lock.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "core/screen_log.h"
#include "core/string_util.h"
#include "core/system_info.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "font/font_handle.h"
#include "graphics/draw_target.h"
#include "graphics/graphics_start.h"
#include "graphics/mesh_objects.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "graphics/soft_image.h"
#include "image/decoded_file_memo.h"
#include "input/char_input.h"
#include "input/input_devices.h"
#include "movie/movie_services.h"
#include "network/network_services.h"
#include "platform/clock.h"
#include "platform/module.h"
#include "platform/sync.h"
#include "platform/window.h"
#include "sound/music.h"
#include "sound/sound_system.h"

namespace qz {
namespace {

std::atomic<int> gInitialised{0};
std::atomic<int> gInitialising{0};
std::atomic<int> gEndingState{0};
std::atomic<int> gPumpPasses{0};
int gComStarted = 0;
// The thread that started the library; the fatal exit tears down only there.
std::atomic<std::uint32_t> gStartThread{0};
// Why the last start failed (a static text); "" when it did not.
const char* gStartFailure = "";

// The current directory at the start, put back by the end. Sized for long
// POSIX paths; one that does not fit is refused (and logged) by the table.
char gStartDirectory[4096] = {};

constexpr std::size_t kFatalMessageSize = 2048;
constexpr int kFatalExitCode = 255;
constexpr int kLeftoverWindowTries = 50;
constexpr std::uint32_t kLeftoverWindowWaitMs = 100;

// One optional module: its handle and the entry points looked up in it.
struct OptionalModule {
  const char* name;
  const char* const* entryNames;
  int entryCount;
  plat::ModuleHandle handle;
  plat::ProcAddress entries[24];
};

constexpr const char* kWs2Entries[] = {
    "WSAGetLastError", "WSAStartup", "WSACleanup", "WSAAsyncSelect", "getaddrinfo", "gethostbyaddr",
    "gethostbyname", "gethostname", "ntohs", "htons", "connect", "socket", "send", "sendto", "recvfrom",
    "accept", "closesocket", "shutdown", "listen", "bind", "inet_addr", "recv"};
constexpr const char* kImmEntries[] = {
    "ImmGetContext", "ImmReleaseContext", "ImmGetOpenStatus", "ImmGetConversionStatus", "ImmNotifyIME",
    "ImmSetOpenStatus", "ImmGetCandidateListA", "ImmGetCompositionStringA", "ImmSetCompositionStringA"};
constexpr const char* kWinmmEntries[] = {"timeSetEvent", "timeKillEvent", "timeBeginPeriod", "timeEndPeriod",
                                         "timeGetTime", "timeGetDevCaps", "joyGetPosEx", "joyGetDevCapsA",
                                         "mciSendCommandA"};
constexpr const char* kOle32Entries[] = {"CoCreateInstance", "CoTaskMemAlloc", "CoTaskMemFree",
                                         "CoInitialize", "CoFreeUnusedLibraries", "CoUninitialize"};
constexpr const char* kComctlEntries[] = {"InitCommonControls"};
constexpr const char* kDwmEntries[] = {"DwmEnableComposition"};
constexpr const char* kUser32Entries[] = {"WINNLSEnableIME"};

template <std::size_t N>
constexpr OptionalModule Module(const char* name, const char* const (&entries)[N]) {
  static_assert(N <= 24);
  return OptionalModule{name, entries, static_cast<int>(N), nullptr, {}};
}

enum ModuleIndex { kWs2, kImm, kWinmm, kOle32, kComctl, kDwm, kUser32, kModuleCount };

OptionalModule gModules[kModuleCount] = {
    Module("ws2_32.dll", kWs2Entries),   Module("Imm32.dll", kImmEntries),
    Module("winmm.dll", kWinmmEntries),  Module("ole32.dll", kOle32Entries),
    Module("comctl32.dll", kComctlEntries), Module("dwmapi.dll", kDwmEntries),
    Module("User32.dll", kUser32Entries),
};

// Loads a module only when it is not loaded yet, so a start after a failed
// start does not load twice and a start after an end loads again.
void LoadOptionalModule(OptionalModule& module) {
  if (module.handle != nullptr) return;
  module.handle = plat::LoadLibraryA(module.name);
  if (module.handle == nullptr) return;
  for (int i = 0; i < module.entryCount; ++i) module.entries[i] = plat::GetProcAddress(module.handle, module.entryNames[i]);
}

void FreeOptionalModule(OptionalModule& module) {
  if (module.handle != nullptr) plat::FreeLibrary(module.handle);
  module.handle = nullptr;
  for (plat::ProcAddress& entry : module.entries) entry = nullptr;
}

// A full-screen size the display cannot show falls back to window mode, but
// 320 by 240 is emulated on 640 by 480 while the hardware path is allowed.
void SettleScreenMode(const WindowSettings& settings) {
  if (settings.windowMode == 0 && SettleFullScreenSize() != 0) ChangeWindowMode(1);
}

void StartCom() {
  if (gComStarted != 0) return;
  AppendLogText(text::kComStart);
  if (plat::CoInitialize(nullptr) >= 0) {
    AppendLogText(text::kComStartSucceeded);
    gComStarted = 1;
  } else {
    AppendLogText(text::kComStartFailed);
  }
}

void EndScreenLog() {
  ScreenLogState& screenLog = GetScreenLogState();
  if (screenLog.started == 0) return;
  if (screenLog.fontDeleted == 0 && screenLog.fontHandle != -1) DeleteFontHandle(screenLog.fontHandle);
  screenLog.fontDeleted = 1;
  screenLog.fontHandle = -1;
  screenLog.started = 0;
}

bool MainWindowGone(const WindowSystemState& state) {
  return state.destroyed != 0 || state.mainWindow == nullptr || plat::IsWindow(state.mainWindow) == plat::FALSE;
}

// The end's body. A failed start runs it too: by then the initialised flag is
// still 0, and stopping at that flag would leave the window, devices and
// modules of the half-made start behind.
void RunEnd() {
  gEndingState.store(1, std::memory_order_release);
  EndScreenLog();
  EndNetwork();
  DeleteCurrentMusic();
  DeleteAllMeshObjects();
  TerminateGraphics();
  TerminateInput();
  TerminateSound();
  EndMainWindow();
  EndSystemTimerPeriod();
  if (gComStarted != 0) {
    plat::CoUninitialize();
    AppendLogText(text::kComEnd);
    gComStarted = 0;
  }
  FreeAllSoftImageHandles();
  gInitialised.store(0, std::memory_order_release);

  WindowSystemState& state = GetWindowSystemState();
  const bool noWindow = state.settings.noWindow != 0;
  if (!noWindow) {
    while (PumpWindowMessages() == 0 && state.endRequest == 0 && !MainWindowGone(state)) {
    }
  }
  plat::UnregisterClassA(state.settings.className);
  if (!noWindow && state.mainWindow != nullptr) {
    // Bounded: a window that refuses to go must not hang the end.
    for (int tries = 0; tries < kLeftoverWindowTries &&
                        plat::FindWindowA(state.settings.className, nullptr) == state.mainWindow;
         ++tries) {
      plat::DestroyWindow(state.mainWindow);
      plat::Sleep(kLeftoverWindowWaitMs);
    }
  }
  if (gStartDirectory[0] != '\0') FileAccessSetDir(gStartDirectory);
  ReleaseUnusedArchives();
  EndParkedFileThreads();
  ForgetRememberedDecodes();
  DumpTrackedAllocs();
  for (ModuleIndex index : {kDwm, kUser32, kWs2, kImm, kWinmm, kOle32, kComctl}) FreeOptionalModule(gModules[index]);
}

int EndLibrary() {
  if (gInitialised.load(std::memory_order_acquire) == 0) return 0;
  RunEnd();
  return 0;
}

// Keeps the reason a step recorded, else names the step that failed.
int FailStart(const char* step) {
  SetStartFailureReason(step);
  RunEnd();
  gInitialising.store(0, std::memory_order_release);
  return -1;
}

int InitLibrary() {
  if (gInitialised.load(std::memory_order_acquire) != 0) return 0;
  gInitialising.store(1, std::memory_order_release);
  // The end leaves its ending state set; a new run starts without it, or a
  // program-handled close would be taken for the end of the last run.
  gEndingState.store(0, std::memory_order_release);
  gStartThread.store(plat::GetCurrentThreadId(), std::memory_order_release);
  gStartFailure = "";
  WindowSettings& settings = GetWindowSystemState().settings;

  for (ModuleIndex index : {kWs2, kImm, kWinmm, kOle32, kComctl}) LoadOptionalModule(gModules[index]);
  SettleScreenMode(settings);
  InitTheoraColorTables();
  ReleaseUnusedArchives();
  SetFileAccessTable(nullptr);
  if (FileAccessGetDir(gStartDirectory, sizeof(gStartDirectory)) != 0) gStartDirectory[0] = '\0';
  if ((GetLogFolder() == nullptr || GetLogFolder()[0] == '\0') && gStartDirectory[0] != '\0') {
    SetLogFolder(gStartDirectory);
  }
  StartLogFile();

  if (settings.noWindow == 0 &&
      ((plat::GetDesktopBitsPerPixel() == 24 && settings.windowMode != 0) || GetScreenColorBitDepth() == 24)) {
    AppendLogText(text::kRefuse24BitColour);
    SetStartFailureReason("a desktop of 24-bit colour is not supported");
    // Nothing else is undone, but the start is no longer running.
    gInitialising.store(0, std::memory_order_release);
    return -1;
  }

  std::int64_t frequency = 0;
  plat::QueryPerformanceFrequency(&frequency);
  SetPerformanceCounter(frequency != 0 ? 1 : 0, static_cast<std::uint64_t>(frequency));
  ReportSystemInfo();
  InitStreamInterfaces();
  for (ModuleIndex index : {kDwm, kUser32}) LoadOptionalModule(gModules[index]);
  SetDeviceLostRestoreHandler(nullptr);
  StartCom();

  if (CreateMainWindow() == -1) return FailStart("the main window could not be created");
  if (settings.skipInput == 0 && InitializeInput() == -1) return FailStart("input could not be started");
  if (settings.skipSound == 0) InitializeSound();
  if (settings.skipGraphics == 0 && StartGraphicsScreen() < 0) return FailStart("graphics could not be started");
  InitCharCodeBuffer();
  gInitialised.store(1, std::memory_order_release);

  WindowSystemState& state = GetWindowSystemState();
  if (settings.windowMode == 0 && settings.childMode == 0) ForceForegroundWindow(state.mainWindow, 1);
  StartScreenLog();
  SelectDrawTarget(kBackScreen);
  SelectDrawTarget(kFrontScreen);
  if (settings.skipGraphics == 0) BuildSineTable();

  gInitialising.store(0, std::memory_order_release);
  if (state.dropExplicitSizeAfterStart != 0) {
    settings.explicitSize = 0;
    state.dropExplicitSizeAfterStart = 0;
  }
  return 0;
}

bool OnMainThread() {
  const std::uint32_t self = plat::GetCurrentThreadId();
  const std::uint32_t starter = gStartThread.load(std::memory_order_acquire);
  return starter != 0 ? self == starter : self == plat::GetProcessMainThreadId();
}

}  // namespace

int InitLibraryEntry() {
  if (gInitialised.load(std::memory_order_acquire) != 0) return 0;
  EnterLibraryLock();
  const int result = InitLibrary();
  LeaveLibraryLock();
  return result;
}

int PumpMessagesEntry() {
  EnterLibraryLock();
  gPumpPasses.fetch_add(1, std::memory_order_acq_rel);
  const int result = PumpWindowMessages();
  LeaveLibraryLock();
  return result;
}

// The lock itself lives for the whole process: destroying it here could pull
// it from under a thread still queued for it.
int EndLibraryEntry() {
  if (gInitialised.load(std::memory_order_acquire) == 0) return 0;
  EnterLibraryLock();
  const int result = EndLibrary();
  LeaveLibraryLock();
  return result;
}

void FatalErrorExit(const char* message) {
  AppendLogText(message != nullptr ? message : "(no message)");
  AppendLogText("\n");
  // Off the thread that owns the window, tearing it down would act on a
  // foreign thread's objects: log and leave as is. A fatal error raised by
  // the teardown itself does not start it again.
  static std::atomic<bool> tearingDown{false};
  if (OnMainThread() && !tearingDown.exchange(true)) EndLibrary();
  std::_Exit(kFatalExitCode);
}

void FatalErrorExitFormat(const char* format, ...) {
  char message[kFatalMessageSize];
  va_list arguments;
  va_start(arguments, format);
  FormatStringV(message, sizeof(message), format != nullptr ? format : "(no message)", arguments);
  va_end(arguments);
  FatalErrorExit(message);
}

const char* GetStartFailureReason() { return gStartFailure; }

void SetStartFailureReason(const char* reason) {
  if (gStartFailure[0] == '\0' && reason != nullptr) gStartFailure = reason;
}

int IsLibraryInitialised() { return gInitialised.load(std::memory_order_acquire); }

int IsLibraryInitialising() { return gInitialising.load(std::memory_order_acquire); }

int GetEndRequest() { return GetWindowSystemState().endRequest; }

void SetEndRequest(int state) { GetWindowSystemState().endRequest = state; }

int GetEndingState() { return gEndingState.load(std::memory_order_acquire); }

void SetEndingState(int state) { gEndingState.store(state, std::memory_order_release); }

int GetPumpPassCount() { return gPumpPasses.load(std::memory_order_acquire); }

plat::ProcAddress GetOptionalModuleEntry(const char* moduleName, const char* entryName) {
  if (moduleName == nullptr || entryName == nullptr) return nullptr;
  for (const OptionalModule& module : gModules) {
    if (strcasecmp(module.name, moduleName) != 0) continue;
    for (int i = 0; i < module.entryCount; ++i) {
      if (std::strcmp(module.entryNames[i], entryName) == 0) return module.entries[i];
    }
  }
  return nullptr;
}

}  // namespace qz
