// The status bar, drawn half-transparent over the floor. The numbers come
// from the screens' DrawHudNumber, which leaves blend mode 0 behind it, so
// the icons after the magic number are drawn opaque, as the game always had.
#include "game/hud.h"

#include <algorithm>
#include <iterator>

#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/screen_frame.h"
#include "game/screens.h"
#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"

namespace {

constexpr int kPipX = 102;
constexpr int kPipStep = 9;
constexpr int kClockIconGap = 19;
constexpr int kPipFull = 0, kPipInfinite = 1, kPipEmpty = 2, kPipEnd = 3;
// How many pips start on the screen; the next would lie past its right edge.
constexpr int kPipsOnScreen = (kScreenWidth - kPipX + kPipStep - 1) / kPipStep;

template <std::size_t N>
void DrawCell(int x, int y, const int (&sheet)[N], int cell) {
  if (cell >= 0 && cell < static_cast<int>(N)) qz::BlitGraph(x, y, sheet[cell], 1);
}

// Only the pips that reach the screen are drawn, so the work and the
// arithmetic stay bounded whatever Max MP holds.
void DrawMagicPips() {
  const int pips = std::clamp(player.maxMagic, 0, kPipsOnScreen);
  for (int i = 1; i <= pips; ++i) {
    const int cell = i > player.magic ? kPipEmpty : player.infiniteMagic == 1 ? kPipInfinite : kPipFull;
    DrawCell(kPipX + kPipStep * (i - 1), 8, sheets.magicBar, cell);
  }
  DrawCell(kPipX + kPipStep * pips, 8, sheets.magicBar, kPipEnd);
}

void DrawFloorRow() {
  if (floorNumber >= 0 && floorNumber < kFloorCount) {
    const std::int32_t* items = gameState.FloorProgress.floorItems[floorNumber];
    if (items[1] == 1) DrawCell(8, 454, sheets.status4, 1);
    if (items[2] == 1) DrawCell(28, 454, sheets.status4, 3);
    if (items[0] == 1) DrawCell(48, 454, sheets.status4, 4);
  }
  DrawHudNumber(1, 0, 0, 0);
  const bool jump = mapFlags[kMapFlagJumpBonus] == 1;
  if (jump) qz::BlitGraph(558, 459, images.fontJump, 1);
  // "ICE" for slippery going of either kind: the inertia flag, or ice cells
  // (looked for each frame: key switches and blocks change the cells).
  if (mapFlags[kMapFlagInertia] == 1 || AnySlipperyCell()) qz::BlitGraph(jump ? 506 : 543, 459, images.fontInertia, 1);
}

}  // namespace

void DrawHud() {
  qz::SetBlendModeAndParam(1, 112);
  // Wide enough for a four-digit clock; it starts past the end of a bar of
  // 40 magic pips.
  qz::DrawSolidRectangle(466, 8, 632, 28, qz::MakeColorValue(0, 0, 64));
  qz::DrawRectangleFrame(466, 8, 632, 28, qz::MakeColorValue(160, 160, 160));
  qz::SetBlendModeAndParam(1, 216);
  DrawCell(8, 8, sheets.shotIcon, player.shotKind);
  qz::BlitGraph(40, 8, images.status1, 1);
  DrawMagicPips();
  DrawHudNumber(5, 0, 0, 0);
  DrawCell(469, 9, sheets.status4, 1);
  DrawCell(515, 9, sheets.status4, 2);
  DrawCell(FloorTimeLeft() - kClockIconGap, 9, sheets.status4, 0);
  DrawHudNumber(3, 0, 0, 0);
  DrawHudNumber(4, 0, 0, 0);
  DrawHudNumber(6, 0, 0, 0);
  if (hudItemsHidden == 0) DrawFloorRow();
  qz::SetBlendModeAndParam(0, 0);
}
