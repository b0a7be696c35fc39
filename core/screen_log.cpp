// On-screen log. Minimal until fonts and drawing are built: the start only
// sets the state up; no font is made and no line is ever drawn.
#include "core/screen_log.h"

#include "core/call_trace.h"
#include "core/window_state.h"

namespace qz {
namespace {

constexpr int kScreenLogFontSize = 16;
ScreenLogState gScreenLog = {0, kScreenLogFontSize, -1, 1, 0, 0};

}  // namespace

ScreenLogState& GetScreenLogState() { return gScreenLog; }

int StartScreenLog() {
  RecordCall("StartScreenLog");
  if (GetWindowSystemState().mainWindow == nullptr) return -1;
  if (gScreenLog.started != 0) return 0;
  gScreenLog = {1, kScreenLogFontSize, -1, 1, 0, 0};
  return 0;
}

}  // namespace qz
