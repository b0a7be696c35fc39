// One frame of floor play in the order the floor depends on: the player
// moves, the camera follows, the map and its things are drawn back to front,
// darkness and the HUD go on top, then touches, the pause menu and the floor
// event. Only the cells and things under the 640 by 480 view are drawn.
#include "game/floor_play.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <cstdlib>

#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/effects.h"
#include "game/enemies.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_over.h"
#include "game/game_state.h"
#include "game/hud.h"
#include "game/items.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/pools.h"
#include "game/screens.h"
#include "game/shots.h"
#include "game/trap_graphics.h"
#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"

std::int32_t cameraX = 0;
std::int32_t cameraY = 0;
std::int32_t cameraShiftX = 0;
std::int32_t cameraShiftY = 0;
std::int32_t markFrame = 0;
std::int32_t markTick = 0;
std::int32_t markBob = 0;
std::int32_t markBobStep = 1;
std::int32_t markBobTick = 0;
std::int32_t itemFrame = 0;
std::int32_t itemTick = 0;
std::int32_t hudItemsHidden = 0;

namespace {

constexpr int kViewColumns = 21;
constexpr int kViewRows = 16;
constexpr int kAnimationCells = 6;
constexpr int kAnimationTicks = 5;
constexpr int kMarkBobSteps = 8;
constexpr int kCandleMaskSize = 480;
constexpr int kCandleOffset = 208;  // mask centre on the player's 64-pixel cell
constexpr int kItemCellsPerType = 6;
constexpr int kSlotCellFirst = 24;

// The cell under the view's top-left corner and the view's offset into it.
struct ViewCells {
  int cx, cy, ox, oy;
};

ViewCells CurrentView() {
  return {cameraX / kCellSize, cameraY / kCellSize, cameraX % kCellSize, cameraY % kCellSize};
}

void DrawBackground() {
  if (backgroundGraph == -1) return;
  const int oy = (cameraY / 2) % kViewHeight;
  if (mapFlags[kMapFlagHorizontalBackground] == 1) {
    const int ox = (cameraX / kFarSkyScrollDivisor) % kViewWidth;
    const int w = kViewWidth - ox;
    qz::BlitGraphSubRect(0, 0, ox, 0, w, kViewHeight, backgroundGraph, 0, 0);
    qz::BlitGraphSubRect(w, 0, 0, 0, ox, kViewHeight, backgroundGraph, 0, 0);
    return;
  }
  const int ox = (cameraX / 2) % kViewWidth;
  const int w = kViewWidth - ox;
  const int h = kViewHeight - oy;
  qz::BlitGraphSubRect(0, 0, ox, oy, w, h, backgroundGraph, 0, 0);
  qz::BlitGraphSubRect(w, 0, 0, oy, ox, h, backgroundGraph, 0, 0);
  qz::BlitGraphSubRect(0, h, ox, 0, w, oy, backgroundGraph, 0, 0);
  qz::BlitGraphSubRect(w, h, 0, 0, ox, oy, backgroundGraph, 0, 0);
}

void RunTimedCells() {
  if (timedCellCount <= 0) return;
  for (TimedCellRecord& cell : timedCells) {
    if (cell.inUse == 0) continue;
    if (--cell.timer > 0) continue;
    cell.inUse = 0;
    --timedCellCount;
    SetCell(cell.cellX, cell.cellY, 0, 0);
  }
}

void DrawChips() {
  const ViewCells view = CurrentView();
  for (int r = 0; r < kViewRows; ++r) {
    for (int c = 0; c < kViewColumns; ++c) {
      const std::int32_t chip = ChipAt(view.cx + c, view.cy + r);
      if (chip <= 0 || chip >= kChipGraphCount) continue;
      qz::BlitGraph(kCellSize * c - view.ox, kCellSize * r - view.oy, chipGraphs[chip], 1);
    }
  }
}

// Counts ticks of an animation that steps every sixth frame through six
// cells; true on the frames it steps.
bool StepAnimation(std::int32_t& tick, std::int32_t& frame) {
  if (++tick <= kAnimationTicks) return false;
  tick = 0;
  frame = (frame + 1) % kAnimationCells;
  return true;
}

// A check cube that is the restart point stands still, lit gold: its
// pale picture held on one frame and multiplied by gold.
void DrawSetCheckCube(int sx, int sy, int graph) {
  qz::SetBrightnessRGB(255, 200, 70);
  qz::BlitGraph(sx, sy, graph, 1);
  qz::SetBrightnessRGB(255, 255, 255);
}

// Marks are drawn opaque so their dark rims read on pale ground too.
void DrawMarks() {
  for (const MapObjectRecord& mark : marks) {
    if (mark.active == 0) continue;
    if (mark.x <= cameraX - kCellSize || mark.x >= cameraX + kViewWidth) continue;
    if (mark.y <= cameraY - kCellSize || mark.y >= cameraY + kViewHeight) continue;
    const bool set = mark.type == kMarkCheckCube && entrance == kCheckCubeEntrance;
    const int cell = mark.type + (set ? 0 : markFrame);
    if (cell < 0 || cell >= static_cast<int>(std::size(sheets.cube))) continue;
    const int sx = mark.x - cameraX, sy = mark.y - cameraY;
    if (set) {
      DrawSetCheckCube(sx, sy, sheets.cube[cell]);
    } else {
      qz::BlitGraph(sx, sy + markBob, sheets.cube[cell], 1);
    }
  }
  if (!StepAnimation(markTick, markFrame)) return;
  markBob += markBobStep;
  if (++markBobTick > kMarkBobSteps) {
    markBobStep = -markBobStep;
    markBobTick = 0;
  }
}

// Draws cell `cell` of `sheet` over the tile when the tile is in view and no
// covering chip stands on it.
template <std::size_t N>
void DrawOnTile(const MapObjectRecord& thing, const int (&sheet)[N], int cell) {
  const ViewCells view = CurrentView();
  if (thing.x < view.cx || thing.x > view.cx + kViewColumns - 1) return;
  if (thing.y < view.cy || thing.y > view.cy + kViewRows - 1) return;
  if (ChipTableValue(ChipAt(thing.x, thing.y)) >= kCoveringChipValue) return;
  if (cell < 0 || cell >= static_cast<int>(N)) return;
  qz::BlitGraph((thing.x - view.cx) * kCellSize - view.ox, (thing.y - view.cy) * kCellSize - view.oy, sheet[cell], 1);
}

void DrawItemsAndSlots() {
  if (objectCount > 0) {
    for (const MapObjectRecord& object : mapObjects) {
      if (object.active == 1) DrawOnTile(object, sheets.item, object.type * kItemCellsPerType + itemFrame);
    }
  }
  for (int slot : {kSlotKeySwitch, kSlotKey}) {
    if (floorSlots[slot].active == 1) {
      DrawOnTile(floorSlots[slot], sheets.item, kSlotCellFirst + kItemCellsPerType * slot + itemFrame);
    }
  }
  const MapObjectRecord& chest = floorSlots[kSlotChest];
  DrawOnTile(chest, sheets.itemBox, chest.active == 1 ? 0 : 3);
  StepAnimation(itemTick, itemFrame);
  hudItemsHidden = 0;
}

// Subtracts the light mask around the player and the same darkness from the
// screen parts the mask leaves uncovered.
void DrawDarkness() {
  if (mapFlags[kMapFlagDark] != 1) return;
  const int left = player.x - cameraX - kCandleOffset;
  const int top = player.y - cameraY - kCandleOffset;
  const int right = left + kCandleMaskSize;
  const int bottom = top + kCandleMaskSize;
  const qz::ColorValue white = qz::MakeColorValue(255, 255, 255);
  qz::SetBlendModeAndParam(3, 236);
  qz::BlitGraph(left, top, candleMask, 0);
  if (left > 0) qz::DrawSolidRectangle(0, 0, left, kViewHeight, white);
  if (right < kViewWidth) qz::DrawSolidRectangle(right, 0, kViewWidth, kViewHeight, white);
  const int coveredLeft = std::max(left, 0);
  const int coveredRight = std::min(right, kViewWidth);
  if (top > 0) qz::DrawSolidRectangle(coveredLeft, 0, coveredRight, top, white);
  if (bottom < kViewHeight) qz::DrawSolidRectangle(coveredLeft, bottom, coveredRight, kViewHeight, white);
  qz::SetBlendModeAndParam(0, 0);
}

void DispatchFloorEvent() {
  const int code = player.eventCode;
  switch (code) {
    case 1: RunMessageScene(0, 0, GameString()); break;
    case 2: UseRecoveryPoint(); break;
    case 3: EnterShop(); break;
    case 4: case 5: case 6: case 7: EnterDoor(code - 4, 0, 1); break;
    case 8: ActivateCheckCube(); break;
    case 9: EnterDoor(0, 1, 1); break;
    default: break;
  }
}

// --- the camera
// The player keeps this much room to the view's sides and below the bar;
// less below the feet, where in a hall lies only its floor.
constexpr int kPlayerRoomSide = 48, kPlayerRoomAbove = 48, kPlayerRoomBelow = 16;
constexpr int kLoomingHeight = kViewHeight / 3;
constexpr int kBodyFrameMargin = 16;  // the art reaches a little past the body box
constexpr int kCameraEaseStep = 8;

// The camera positions on one axis that show [from, to) in a view `size`
// long whose first `covered` pixels are hidden.
struct Span {
  int low, high;
};
Span Showing(int from, int to, int size, int covered) { return {to - size, from - covered}; }

// The position nearest `wanted` that keeps `must` in view and `would` too;
// when both cannot be, as much of `would` as `must` lets.
int Frame(int wanted, Span must, Span would) {
  const int low = std::max(must.low, would.low), high = std::min(must.high, would.high);
  if (low <= high) return std::clamp(wanted, low, high);
  return std::clamp(std::midpoint(would.low, would.high), must.low, must.high);
}

struct Box {
  int left, top, right, bottom;
};
Box FramedBody(const EnemyRecord& e) {
  return {e.x + e.bodyLeft - kBodyFrameMargin, e.y + e.bodyTop - kBodyFrameMargin,
          e.x + e.bodyRight + kBodyFrameMargin, e.y + e.bodyBottom + kBodyFrameMargin};
}

// The looming enemy nearest the player whose body comes within half a view
// of the player's own view, or nullptr.
const EnemyRecord* LoomingNear(int leadX, int leadY) {
  const EnemyRecord* nearest = nullptr;
  int nearestDistance = 0;
  const int px = player.x + kPlayerSpriteSize / 2, py = player.y + kPlayerSpriteSize / 2;
  for (const EnemyRecord& e : enemies) {
    if (e.life <= 0 || (e.bossIndex < 0 && e.height < kLoomingHeight)) continue;
    const Box body = FramedBody(e);
    if (body.right < leadX - kViewWidth / 2 || body.left > leadX + kViewWidth * 3 / 2) continue;
    if (body.bottom < leadY - kViewHeight / 2 || body.top > leadY + kViewHeight * 3 / 2) continue;
    const int distance = std::abs((body.left + body.right) / 2 - px) + std::abs((body.top + body.bottom) / 2 - py);
    if (nearest == nullptr || distance < nearestDistance) nearest = &e, nearestDistance = distance;
  }
  return nearest;
}

int Ease(int from, int to) { return std::clamp(to, from - kCameraEaseStep, from + kCameraEaseStep); }

void AimCamera(bool atOnce) {
  const int leadX = LeadViewLeft(), leadY = LeadViewTop();
  const Span playerX = Showing(player.x - kPlayerRoomSide, player.x + kPlayerSpriteSize + kPlayerRoomSide, kViewWidth, 0);
  const Span playerY = Showing(player.y - kPlayerRoomAbove, player.y + kPlayerSpriteSize + kPlayerRoomBelow, kViewHeight,
                               kStatusBarHeight);
  int shiftX = 0, shiftY = 0;
  if (const EnemyRecord* looming = LoomingNear(leadX, leadY)) {
    const Box body = FramedBody(*looming);
    // Framed against the field's edges, where the camera stops anyway.
    shiftX = std::clamp(Frame(leadX, playerX, Showing(body.left, body.right, kViewWidth, 0)), 0, kCameraMaxX) - leadX;
    shiftY = std::clamp(Frame(leadY, playerY, Showing(body.top, body.bottom, kViewHeight, kStatusBarHeight)), 0,
                        kCameraMaxY) -
             leadY;
  }
  cameraShiftX = atOnce ? shiftX : Ease(cameraShiftX, shiftX);
  cameraShiftY = atOnce ? shiftY : Ease(cameraShiftY, shiftY);
  // The player stays in view while the shift eases after a fast move.
  cameraX = std::clamp(std::clamp(leadX + cameraShiftX, playerX.low, playerX.high), 0, kCameraMaxX);
  cameraY = std::clamp(std::clamp(leadY + cameraShiftY, playerY.low, playerY.high), 0, kCameraMaxY);
}

}  // namespace

int LeadViewLeft() { return std::clamp(player.x - kCameraLeadX, 0, kCameraMaxX); }
int LeadViewTop() { return std::clamp(player.y - kCameraLeadY, 0, kCameraMaxY); }

void PlaceCamera() { AimCamera(true); }
void FollowCamera() { AimCamera(false); }

void ResetFloorAnimation() {
  markFrame = markTick = markBob = markBobTick = 0;
  markBobStep = 1;
  itemFrame = itemTick = 0;
}

void UpdateFloorPlay() {
  UpdatePlayer();
  FollowCamera();
  DrawBackground();
  RunTimedCells();
  DrawChips();
  DrawMarks();
  DrawItemsAndSlots();
  UpdateMovingObjects();
  UpdateEnemies();
  UpdateShotsAndBullets();
  DrawPlayer();
  DrawDarkness();
  DrawHud();
  DrawEffects();
  if (player.dead != 0) {
    RunGameOver();
    DrawHurtFlash();
    return;
  }
  CheckObjectTouch();
  CollectItem();
  if (ActionFlags.menu != 0 && skipFade == 0 && player.dead == 0) EnterStatusScreen();
  if (skipFade != 0) return;
  if (gameState.bossCountdown != 0) return;
  DispatchFloorEvent();
}
