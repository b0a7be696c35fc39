// The status bar, drawn half-transparent over the floor. The numbers come
// from the screens' DrawHudNumber, which leaves blend mode 0 behind it, so
// the icons after the magic number are drawn opaque, as the game always had.
#include "game/hud.h"

#include <algorithm>
#include <cstddef>

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

constexpr int kPipX = 102, kPipY = 8;
constexpr int kPipStep = 9, kPipHeight = 20, kRowPitch = 22;
constexpr int kClockIconGap = 19;
constexpr int kPipFull = 0, kPipInfinite = 1, kPipEmpty = 2, kPipEnd = 3;
// The keys, coins and clock panel; the pips and their end piece stop 4
// pixels before it.
constexpr int kPanelLeft = 466;
constexpr int kPipAreaWidth = kPanelLeft - 4 - kPipX - kPipStep;  // without the end piece
constexpr int kPipsPerRow = kPipAreaWidth / kPipStep;
constexpr int kNarrowestPip = 3;

template <std::size_t N>
void DrawCell(int x, int y, const int (&sheet)[N], int cell) {
  if (cell >= 0 && cell < static_cast<int>(N)) qz::BlitGraph(x, y, sheet[cell], 1);
}

struct PipLayout {
  int rows, perRow, step;
};

// One row while Max MP fits it at full width, else two rows (one where a
// screen's windows lie under the bar), the pips narrowed when even those
// would reach the panel. Past the narrowest pips' rows only those that fit
// are drawn, so the work and the arithmetic stay bounded whatever Max MP holds.
PipLayout LayOutPips(int pips, int mostRows) {
  const int rows = pips > kPipsPerRow ? mostRows : 1;
  const int perRow = (pips + rows - 1) / rows;
  const int step = perRow <= kPipsPerRow ? kPipStep : std::max(kPipAreaWidth / perRow, kNarrowestPip);
  return {rows, perRow, step};
}

void DrawPip(int x, int y, int cell, int width) {
  if (width == kPipStep) {
    DrawCell(x, y, sheets.magicBar, cell);
  } else {
    qz::BlitGraphStretched(x, y, x + width, y + kPipHeight, sheets.magicBar[cell], 1);
  }
}

// The status screen's and the shop's windows start just under the bar's
// first row, where the second would cover their titles.
void DrawMagicPips(bool windowsUnder) {
  const int mostRows = windowsUnder ? 1 : 2;
  const int shown = std::clamp(player.maxMagic, 0, mostRows * (kPipAreaWidth / kNarrowestPip));
  const PipLayout layout = LayOutPips(shown, mostRows);
  int x = kPipX - layout.step, y = kPipY;  // the pip before the first, for the end piece
  for (int i = 1; i <= shown; ++i) {
    x = kPipX + layout.step * ((i - 1) % layout.perRow);
    y = kPipY + kRowPitch * ((i - 1) / layout.perRow);
    DrawPip(x, y, i > player.magic ? kPipEmpty : player.infiniteMagic == 1 ? kPipInfinite : kPipFull, layout.step);
  }
  DrawCell(x + layout.step, y, sheets.magicBar, kPipEnd);
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
  // Wide enough for a four-digit clock; the magic pips stop short of it.
  qz::DrawSolidRectangle(kPanelLeft, 8, 632, 28, qz::MakeColorValue(0, 0, 64));
  qz::DrawRectangleFrame(kPanelLeft, 8, 632, 28, qz::MakeColorValue(160, 160, 160));
  qz::SetBlendModeAndParam(1, 216);
  DrawCell(8, 8, sheets.shotIcon, player.shotKind);
  qz::BlitGraph(40, 8, images.status1, 1);
  DrawMagicPips(hudItemsHidden != 0);
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
