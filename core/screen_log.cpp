// The on-screen log: a console of 80 lines drawn over the screen in white
// with a black edge. Its font is made on demand and made again after the
// font code deletes it (the font system's reset deletes every font).
#include "core/screen_log.h"

#include <algorithm>
#include <cstring>

#include "core/call_trace.h"
#include "core/window_state.h"
#include "font/font_handle.h"
#include "font/text_draw.h"
#include "graphics/color_value.h"
#include "graphics/graphics_state.h"

namespace qz {
namespace {

constexpr int kScreenLogFontSize = 16;
constexpr int kScreenLogFontThickness = 4;
constexpr int kScreenLogFontType = 1;
ScreenLogState gScreenLog = {0, kScreenLogFontSize, -1, 1, 0, 0, {}};

}  // namespace

ScreenLogState& GetScreenLogState() { return gScreenLog; }

int StartScreenLog() {
  RecordCall("StartScreenLog");
  if (GetWindowSystemState().mainWindow == nullptr || GetGraphicsState().started == 0) return -1;
  if (gScreenLog.started != 0) return 0;
  std::memset(&gScreenLog, 0, sizeof(gScreenLog));
  gScreenLog.started = 1;
  gScreenLog.fontSize = kScreenLogFontSize;
  gScreenLog.fontHandle = -1;
  gScreenLog.fontNeeded = 1;
  RebuildScreenLogFont();
  return 0;
}

int RebuildScreenLogFont() {
  if (gScreenLog.started == 0 && StartScreenLog() != 0) return 0;
  if (gScreenLog.fontNeeded == 0) return 0;
  gScreenLog.fontHandle = CreateFontToHandle(nullptr, gScreenLog.fontSize, kScreenLogFontThickness,
                                             kScreenLogFontType, -1, -1, 0, -1, -1);
  if (gScreenLog.fontHandle == -1) return 0;
  gScreenLog.fontNeeded = 0;
  SetFontDeleteNotifyPointer(gScreenLog.fontHandle, &gScreenLog.fontNeeded);
  return 0;
}

int DrawScreenLog() {
  RebuildScreenLogFont();
  const int lines = std::min(GetGraphicsState().screenHeight / gScreenLog.fontSize, kScreenLogLines);
  const ColorValue white = MakeColorValue(255, 255, 255);
  const ColorValue black = MakeColorValue(0, 0, 0);
  for (int i = 0; i < lines; ++i) {
    char line[kScreenLogLineBytes + 1] = {};
    std::memcpy(line, gScreenLog.lines[i], kScreenLogLineBytes);
    DrawTextWithFont(0, i * gScreenLog.fontSize, line, white, gScreenLog.fontHandle, black, 0);
  }
  return 0;
}

int GetScreenLogLineCount() { return gScreenLog.lineCount; }

}  // namespace qz
