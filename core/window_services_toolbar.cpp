// The tool bar's button table: looking buttons up by command id, marking
// clicks, its height for the client geometry, and removing its buttons.
#include "core/window_services.h"

namespace qz {
namespace {

ToolBarState gToolBar;

}  // namespace

ToolBarState& GetToolBarState() { return gToolBar; }

int FindToolBarButtonIndex(int id) {
  if (!gToolBar.present) return -1;
  for (int i = 0; i < gToolBar.buttonCount; ++i) {
    const ToolBarButton& button = gToolBar.buttons[i];
    if (button.kind != kToolBarButtonSeparator && button.id == id) return i;
  }
  return -1;
}

int MarkToolBarButtonClicked(int id) {
  const int index = FindToolBarButtonIndex(id);
  if (index < 0 || gToolBar.buttons[index].kind != kToolBarButtonPlain) return -1;
  gToolBar.buttons[index].clicked = 1;
  return 0;
}

int GetToolBarHeight() {
  plat::WinRect rect{};
  if (!gToolBar.present || !plat::GetWindowRect(gToolBar.window, &rect)) return 0;
  return rect.bottom - rect.top;
}

int RemoveEveryToolBarButton() {
  for (int i = 0; i < gToolBar.buttonCount; ++i) plat::SendMessageA(gToolBar.window, TB_DELETEBUTTON, 0, 0);
  gToolBar.buttonCount = 0;
  return 0;
}

}  // namespace qz
