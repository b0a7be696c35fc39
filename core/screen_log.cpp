// The on-screen log.
#include "core/screen_log.h"

#include <cstring>

#include "core/call_trace.h"
#include "core/window_state.h"

namespace qz {
namespace {

constexpr int kScreenLogFontSize = 16;
ScreenLogState gScreenLog = {0, kScreenLogFontSize, -1, 1, 0, 0, {}};

}  // namespace

ScreenLogState& GetScreenLogState() { return gScreenLog; }

int StartScreenLog() {
  RecordCall("StartScreenLog");
  if (GetWindowSystemState().mainWindow == nullptr) return -1;
  if (gScreenLog.started != 0) return 0;
  std::memset(&gScreenLog, 0, sizeof(gScreenLog));
  gScreenLog.started = 1;
  gScreenLog.fontSize = kScreenLogFontSize;
  gScreenLog.fontHandle = -1;
  gScreenLog.fontNeeded = 1;
  return 0;
}

int RebuildScreenLogFont() { return 0; }
int DrawScreenLog() { return 0; }
int GetScreenLogLineCount() { return gScreenLog.lineCount; }

}  // namespace qz
