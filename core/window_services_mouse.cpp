// The mouse cursor's visibility, the mouse position in client coordinates and
// the log of clicks a frame collects for input.
#include <cmath>

#include "core/log.h"
#include "core/log_text.h"
#include "core/window_services.h"
#include "core/window_state.h"

namespace qz {

int SetMouseCursorVisible(int flag) {
  WindowSystemState& state = GetWindowSystemState();
  if (flag != -1) state.mouseDisplayFlag = flag;
  const int show = (state.mouseDisplayFlag == 1 || IsMenuShown()) ? 1 : 0;
  if (flag != -1 && show == state.cursorShown) return 0;
  // The display counter may sit anywhere; walk it across 0 to the wanted side.
  if (show) {
    while (plat::ShowCursor(plat::TRUE) < 0) {
    }
  } else {
    while (plat::ShowCursor(plat::FALSE) >= 0) {
    }
  }
  if (state.mainWindow != nullptr) plat::PostMessageA(state.mainWindow, plat::WM_SETCURSOR, 0, 0);
  state.cursorShown = show;
  return 0;
}

int GetMousePositionInClient(int* x, int* y) {
  plat::Point point{};
  if (!plat::GetCursorPos(&point)) return -1;
  const WindowSystemState& state = GetWindowSystemState();
  int clientX = point.x;
  int clientY = point.y;
  if (state.settings.windowMode) {
    double scaleX = 1.0;
    double scaleY = 1.0;
    GetWindowScaleFactor(&scaleX, &scaleY);
    clientX = static_cast<int>(std::lround((point.x - state.clientRect.left) / scaleX));
    clientY = static_cast<int>(std::lround((point.y - state.clientRect.top - GetToolBarHeight()) / scaleY));
  }
  if (x != nullptr) *x = clientX;
  if (y != nullptr) *y = clientY;
  return 0;
}

int RecordMouseClick(int code) {
  if (code != 1 && code != 2 && code != 4) return AppendLogFormat(text::kMouseClickCodeInvalid, code);
  WindowSystemState& state = GetWindowSystemState();
  if (state.clickCount >= kClickLogCapacity) return -1;
  MouseClick& click = state.clicks[state.clickCount];
  GetMousePositionInClient(&click.x, &click.y);
  click.code = code;
  ++state.clickCount;
  return 0;
}

}  // namespace qz
