// The menu: whether it shows, attaching and detaching it, showing it in full
// screen while the mouse is near the top edge, and the table of its items
// that the window procedure looks command ids up in.
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/screen_settings.h"

namespace qz {
namespace {

MenuState gMenu;

// Near the top edge in full screen the menu shows.
constexpr int kMenuShowMouseY = 60;

bool HasMenu(const WindowSystemState& state) {
  return state.settings.menuInUse && state.settings.menu != nullptr;
}

// Depth-first, parents before their items. False once the table is full.
bool AddMenuItems(const void* menu, const MenuNode* items, int count) {
  for (int i = 0; i < count; ++i) {
    if (gMenu.itemCount >= kMenuItemCapacity) return false;
    MenuItemEntry& entry = gMenu.items[gMenu.itemCount++];
    entry.menu = menu;
    entry.id = items[i].id;
    entry.text[0] = '\0';
    if (items[i].text != nullptr) {
      std::strncpy(entry.text, items[i].text, kMenuItemTextSize - 1);
      entry.text[kMenuItemTextSize - 1] = '\0';
    }
    if (items[i].items != nullptr && !AddMenuItems(items[i].items, items[i].items, items[i].itemCount)) return false;
  }
  return true;
}

// Attaches or detaches the menu when the wanted state changed.
void UpdateMenuAttachment() {
  const WindowSystemState& state = GetWindowSystemState();
  const int shown = IsMenuShown();
  if (shown == gMenu.lastShown) return;
  gMenu.lastShown = shown;
  gMenu.attached = shown;
  if (state.settings.windowMode) ApplyWindowStyle();
  plat::UpdateWindow(state.mainWindow);
}

}  // namespace

MenuState& GetMenuState() { return gMenu; }

int IsMenuShown() {
  const WindowSystemState& state = GetWindowSystemState();
  if (state.mainWindow == nullptr || !HasMenu(state) || gMenu.hiddenByUser) return 0;
  return (gMenu.forcedOn || state.settings.windowMode || state.fullScreenMenuShowCount > 0) ? 1 : 0;
}

int SetMenuDisplay(int flag) {
  gMenu.hiddenByUser = flag ? 0 : 1;
  if (GetWindowSystemState().mainWindow != nullptr) UpdateMenuAttachment();
  return 0;
}

int AutoShowMenuByMouse() {
  WindowSystemState& state = GetWindowSystemState();
  if (state.settings.windowMode || state.mainWindow == nullptr || !HasMenu(state)) return 0;
  plat::Point mouse{};
  plat::GetCursorPos(&mouse);
  const bool nearTop = mouse.y < kMenuShowMouseY;
  if (GetHardwareRenderingFlag()) {
    gMenu.attached = 1;
    if (nearTop) SetMouseCursorVisible(-1);
    return 0;
  }
  state.fullScreenMenuShowCount = nearTop ? 1 : 0;
  ResetDeviceDialogBoxMode(state.fullScreenMenuShowCount);
  SetMouseCursorVisible(-1);
  UpdateMenuAttachment();
  return 0;
}

int WalkMenuItems() {
  gMenu.itemCount = 0;
  const WindowSystemState& state = GetWindowSystemState();
  if (!HasMenu(state)) return 0;
  const auto* menu = static_cast<const MenuDescription*>(state.settings.menu);
  if (!AddMenuItems(menu, menu->items, menu->itemCount)) AppendLogFormat(text::kMenuItemTableFull, kMenuItemCapacity);
  return gMenu.itemCount;
}

int FindMenuItemById(int id) {
  for (int i = 0; i < gMenu.itemCount; ++i) {
    if (gMenu.items[i].id == id) return i;
  }
  return -1;
}

int GetMenuItemText(int id, char* text, int textSize) {
  if (text == nullptr || textSize <= 0) return AppendLogFormat(text::kWindowServiceBadArgument, "GetMenuItemText");
  const int index = FindMenuItemById(id);
  if (index < 0) return -1;
  std::strncpy(text, gMenu.items[index].text, static_cast<std::size_t>(textSize) - 1);
  text[textSize - 1] = '\0';
  return 0;
}

}  // namespace qz
