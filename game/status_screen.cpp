// The status screen (scene 2): the map of the 100 floors with their state
// icons and numbers, the panel of what the player owns, a cursor that
// describes the entry under it, and a Yes/No dialog that sends floor play to
// a floor-jump point. The unchanging part is drawn once per visit.
#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/hud.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "game/status_cursor.h"
#include "game/status_panel.h"
#include "game/yes_no_dialog.h"
#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_restore.h"
#include "graphics/screen_present.h"

namespace {

constexpr int kFloorJumpValue = 29;
constexpr int kItemIconCount = 32;
constexpr int kIconKeySwitch = 4;
constexpr int kIconKey = 5;
enum MapIcon : int { kMapIconUnknown, kMapIconVisited, kMapIconCleared, kMapIconJumpPoint };

// Door boxes: door picture p is chip 210 + p above 218 + p; the shop door
// is chip 209 above 217.
constexpr int kDoorTopChip = 210, kDoorBottomChip = 218;
constexpr int kShopTopChip = 209, kShopBottomChip = 217;
constexpr int kBoxesX = 160, kBoxPitch = 40, kShopBoxGap = 8;

bool IsFloor(int entry) { return entry >= 0 && entry < kFloorCount; }

// Item icon `icon`; a number outside the sheet (a save from elsewhere can
// hold any found-item value) draws nothing rather than reading past it.
void DrawItemIcon(int x, int y, int icon) {
  if (icon >= 0 && icon < kItemIconCount) qz::BlitGraph(x, y, sheets.itemIcon[icon], 1);
}

// Each later test overrides the earlier: a floor-jump point always shows 3.
int FloorMapIcon(int f) {
  const FloorProgressRecord& p = gameState.FloorProgress;
  int icon = kMapIconUnknown;
  if (p.visited[f] == 1) icon = kMapIconVisited;
  if (p.floorItems[f][kSlotKey] == 1 && p.floorItems[f][kSlotChest] == 1) icon = kMapIconCleared;
  if (p.floorValue[f] == kFloorJumpValue) icon = kMapIconJumpPoint;
  return icon;
}

void DrawFloorGrid() {
  for (int f = 0; f < kFloorCount; ++f) {
    const int c = f % 10, r = f / 10;
    qz::BlitGraph(54 + 30 * c, 64 + 28 * r, sheets.mapIcon[FloorMapIcon(f)], 1);
    DrawHudNumber(7, f, 60 + 30 * c, 70 + 28 * r);
  }
}

// The Airdash takes the Hoverdash's slot, as its description does.
void DrawPanelIcons() {
  for (int i = 0; i < kPanelEntryCount; ++i) {
    DrawItemIcon(430 + 40 * (i % kPanelColumns), 148 + 40 * (i / kPanelColumns),
                 DescribePanelEntry(kFirstPanelEntry + i).icon);
  }
}

void RenewWorkGraph(int& graph) {
  ReleaseGraphOnce(graph);
  graph = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
}

void DrawText(int x, int y, const std::string& text, int colour) { DrawColorText(x, y, GameString(text.c_str()), colour); }

void DrawDoorBox(int x, int topChip, int bottomChip) {
  qz::DrawSolidRectangle(x + 1, 384, x + 33, 448, qz::MakeColorValue(42, 42, 42));
  qz::BlitGraph(x, 383, chipGraphs[topChip], 1);
  qz::BlitGraph(x, 415, chipGraphs[bottomChip], 1);
}

// Known doors in ascending order of their links, side by side; the picture
// follows the place in the sorted four, unknown (-1) ones included.
void DrawDoorBoxes(int f) {
  std::array<std::int32_t, kDoorsPerFloor> links;
  std::copy(std::begin(gameState.FloorProgress.doorLinks[f]), std::end(gameState.FloorProgress.doorLinks[f]),
            links.begin());
  std::sort(links.begin(), links.end());
  int boxes = 0;
  for (int p = 0; p < kDoorsPerFloor; ++p) {
    if (links[p] == -1) continue;
    const int x = kBoxesX + kBoxPitch * boxes++;
    DrawDoorBox(x, kDoorTopChip + p, kDoorBottomChip + p);
    // A saved link is any 32-bit value; the lowest has no predecessor and
    // shows as the other negative ones do.
    const std::int32_t link = links[p];
    DrawHudNumber(7, link == std::numeric_limits<std::int32_t>::min() ? link : link - 1, x + 7, 402);
  }
  if (gameState.FloorProgress.shopFound[f] == 1) {
    DrawDoorBox(kBoxesX + kBoxPitch * boxes + kShopBoxGap, kShopTopChip, kShopBottomChip);
  }
}

void DescribeFloor(int f) {
  const FloorProgressRecord& p = gameState.FloorProgress;
  DrawText(40, 382, "Floor " + std::to_string(f + 1), kTextWhite);
  if (p.floorValue[f] == kFloorJumpValue) {
    DrawText(406, 393, "Jump to floor", kTextYellow);
    DrawText(384, 416, "with confirm key", kTextYellow);
  }
  if (p.floorItems[f][kSlotKey] == 1) DrawItemIcon(40, 415, kIconKey);
  if (p.floorItems[f][kSlotChest] == 1) DrawItemIcon(76, 415, p.floorValue[f]);
  if (p.floorItems[f][kSlotKeySwitch] == 1) DrawItemIcon(112, 415, kIconKeySwitch);
  DrawDoorBoxes(f);
}

void DescribePanel(int entry) {
  const PanelDescription d = DescribePanelEntry(entry);
  if (d.icon < 0) return;
  DrawItemIcon(40, 399, d.icon);
  DrawText(80, 382, d.name, kTextLightBlue);
  DrawText(80, 405, d.line1, kTextWhite);
  DrawText(80, 428, d.line2, kTextWhite);
}

void DescribeEntry(int entry) {
  if (IsFloor(entry)) {
    DescribeFloor(entry);
  } else {
    DescribePanel(entry);
  }
}

// "Move to this floor?" over the screen. Yes asks floor play for floor f;
// Yes and Cancel set Cancel so the screen leaves. False when the game quit or
// went to the title meanwhile.
bool RunFloorJumpDialog(int f) {
  PlaySoundEffect(kSeOk);
  const YesNoAnswer answer = AskYesNo(GameString("Move to this floor?"));
  if (answer == YesNoAnswer::kLeftScreen) return false;
  if (answer == YesNoAnswer::kYes) {
    player.eventCode = 9;
    floorNumber = f;
  }
  if (answer != YesNoAnswer::kNo) ActionFlags.cancel = 1;
  return true;
}

void LeaveStatusScreen() {
  CaptureScreen(oldScreen);
  RenewWorkGraph(pictureScreen);
  fadeRequest = 2;
  skipFade = 1;
  gameState.scene = kSceneFloorPlay;
  SetInputLatches(1);
}

}  // namespace

void EnterStatusScreen() {
  CaptureScreen(oldScreen);
  qz::SetBlendModeAndParam(0, 0);
  qz::ClearDrawTarget(nullptr);
  qz::LoadAndDrawImageFile(0, 0, GamePath("\\data_en\\st_menu_window.png").c_str(), 0);
  DrawFloorGrid();
  DrawPanelIcons();
  CaptureScreen(pictureScreen);
  qz::BlitGraph(0, 0, oldScreen, 0);
  PlaceStatusCursorOnFloor(floorNumber);
  hudItemsHidden = 1;
  skipFade = 1;
  fadeRequest = 2;
  gameState.scene = kSceneStatus;
}

void UpdateStatusScreen() {
  qz::BlitGraph(0, 0, pictureScreen, 0);
  DrawHud();
  StartStatusCursorMove(padState);
  StepStatusCursor();
  DrawStatusCursor();
  const int entry = MenuCursor.row;
  DescribeEntry(entry);
  if (MenuCursor.moving != 0) return;
  if (ActionFlags.confirm != 0 && IsFloor(entry) && gameState.FloorProgress.floorValue[entry] == kFloorJumpValue) {
    if (!RunFloorJumpDialog(entry)) return;
  }
  if (ActionFlags.cancel != 0) LeaveStatusScreen();
}
