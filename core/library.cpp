// The library's public entries under the library lock, the end request and
// the fatal exit. The start and end run the core services; the window and
// the devices join them as they are built.
#include "core/library.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>

#include "core/clock.h"
#include "core/file_access.h"
#include "core/library_lock.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/string_util.h"
#include "core/system_info.h"
#include "platform/clock.h"
#include "platform/sync.h"

namespace qz {
namespace {

std::atomic<int> gInitialised{0};
std::atomic<int> gInitialising{0};
std::atomic<int> gEndingState{0};
std::atomic<int> gPumpPasses{0};
// The thread that started the library; the fatal exit tears down only there.
std::atomic<std::uint32_t> gStartThread{0};

// The current directory at the start, put back by the end. Sized for long
// POSIX paths; one that does not fit is refused (and logged) by the table.
char gStartDirectory[4096] = {};

constexpr std::size_t kFatalMessageSize = 2048;
constexpr int kFatalExitCode = 255;

int InitLibrary() {
  if (gInitialised.load(std::memory_order_acquire) != 0) return 0;
  gInitialising.store(1, std::memory_order_release);
  gStartThread.store(plat::GetCurrentThreadId(), std::memory_order_release);
  SetFileAccessTable(nullptr);
  if (FileAccessGetDir(gStartDirectory, sizeof(gStartDirectory)) != 0) gStartDirectory[0] = '\0';
  if ((GetLogFolder() == nullptr || GetLogFolder()[0] == '\0') && gStartDirectory[0] != '\0') {
    SetLogFolder(gStartDirectory);
  }
  StartLogFile();
  std::int64_t frequency = 0;
  plat::QueryPerformanceFrequency(&frequency);
  SetPerformanceCounter(frequency != 0 ? 1 : 0, static_cast<std::uint64_t>(frequency));
  ReportSystemInfo();
  InitStreamInterfaces();
  gInitialised.store(1, std::memory_order_release);
  gInitialising.store(0, std::memory_order_release);
  return 0;
}

int EndLibrary() {
  if (gInitialised.load(std::memory_order_acquire) == 0) return 0;
  gEndingState.store(1, std::memory_order_release);
  EndSystemTimerPeriod();
  if (gStartDirectory[0] != '\0') FileAccessSetDir(gStartDirectory);
  DumpTrackedAllocs();
  gInitialised.store(0, std::memory_order_release);
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
  const int result = gEndingState.load(std::memory_order_acquire) != 0 ? -1 : 0;
  LeaveLibraryLock();
  return result;
}

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

int IsLibraryInitialised() { return gInitialised.load(std::memory_order_acquire); }

int IsLibraryInitialising() { return gInitialising.load(std::memory_order_acquire); }

int GetEndRequest() { return gEndingState.load(std::memory_order_acquire); }

void SetEndRequest(int state) { gEndingState.store(state, std::memory_order_release); }

int GetEndingState() { return gEndingState.load(std::memory_order_acquire); }

void SetEndingState(int state) { gEndingState.store(state, std::memory_order_release); }

int GetPumpPassCount() { return gPumpPasses.load(std::memory_order_acquire); }

}  // namespace qz
