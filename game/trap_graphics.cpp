// Trap sheets and the darkness mask. The sheet names are Japanese, held as
// Shift-JIS bytes like every name the game hands the file layer.
#include "game/trap_graphics.h"

#include "game/enemies.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "graphics/graph_handles.h"

TrapSheets trapSheets;
int candleMask = -1;

namespace {

struct TrapEntry {
  const char* path;
  int cells;
  int* handles;
};

const TrapEntry kTraps[] = {
    {qz::text::kNeedleTrapSheet, 6, trapSheets.needle},
    {qz::text::kLaserTrapLSheet, 6, trapSheets.laser[0]},
    {qz::text::kLaserTrapRSheet, 6, trapSheets.laser[1]},
    {qz::text::kLaserTrapDSheet, 6, trapSheets.laser[2]},
    {qz::text::kLaserTrapUSheet, 6, trapSheets.laser[3]},
    {qz::text::kShooterRedSheet, 4, trapSheets.shooter[0]},
    {qz::text::kShooterBlueSheet, 4, trapSheets.shooter[1]},
    {qz::text::kShooterGreenSheet, 4, trapSheets.shooter[2]},
    {qz::text::kMagicBallRedSheet, 5, trapSheets.magicBall[0]},
    {qz::text::kMagicBallBlueSheet, 5, trapSheets.magicBall[1]},
    {qz::text::kMagicBallGreenSheet, 5, trapSheets.magicBall[2]},
};

constexpr int kTrapCell = 32;

}  // namespace

void LoadTrapGraphics() {
  for (const TrapEntry& trap : kTraps) {
    LoadSheet(trap.path, trap.cells, trap.cells, 1, kTrapCell, kTrapCell, trap.handles);
  }
  SetupTrapKinds();
}

void LoadCandleMask() {
  if (candleMask != -1) qz::ReleaseGraph(candleMask);
  candleMask = LoadImage(player.ProgressFlags[kEternalCandle] != 0 ? "\\data_en\\mask_candle02.png"
                                                                     : "\\data_en\\mask_candle01.png");
}
