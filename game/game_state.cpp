// The state records and the new-game reset. The reset leaves the attribute
// layer as it is: the floor loader rewrites it whole.
#include "game/game_state.h"

#include <algorithm>
#include <iterator>

#include "game/action_input.h"
#include "game/floor_play.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/pools.h"
#include "graphics/graph_handles.h"
#include "platform/clock.h"

PlayerRecord player;
GameStateRecord gameState;
std::int32_t gameOvers = 0;
GameString mapName;
GameString chipSetName;
GameString backgroundName;
GameString bgmName;
std::int32_t floorNumber = 0;
std::int32_t entrance = 0;
std::int32_t loadedKindSet = -1;
std::int32_t backgroundGraph = -1;
std::int32_t jumpReleaseLock = 0;

namespace {

// The new-game values of the player; position and vertical speed are kept.
void ResetPlayer() {
  PlayerRecord fresh{};
  fresh.x = player.x;
  fresh.y = player.y;
  fresh.posX = player.posX;
  fresh.posY = player.posY;
  fresh.velocityY = player.velocityY;
  fresh.facing = 1;
  fresh.jumpStartRow = 99;
  fresh.ridingObject = -1;
  fresh.animState = -1;
  fresh.life = fresh.maxLife = 1;
  fresh.magic = fresh.maxMagic = kStartMaxMagic;
  fresh.shotLevel[0] = 1;
  player = fresh;
}

void ResetFloorProgress(FloorProgressRecord& progress) {
  progress = FloorProgressRecord{};
  std::fill(&progress.doorLinks[0][0], &progress.doorLinks[0][0] + kFloorCount * kDoorsPerFloor, -1);
  std::fill(std::begin(progress.floorValue), std::end(progress.floorValue), -1);
}

}  // namespace

void ResetNewGame() {
  std::fill(std::begin(chipLayer), std::end(chipLayer), 0);
  std::fill(std::begin(chipTable), std::end(chipTable), 0);
  floorNumber = 0;
  loadedKindSet = -1;
  entrance = 0;
  for (GameString* name : {&chipSetName, &mapName, &bgmName, &backgroundName}) GameStringAssign(*name, "");
  // Released here, or the next floor's background would leave it behind.
  if (backgroundGraph != -1) qz::ReleaseGraph(backgroundGraph);
  backgroundGraph = -1;
  confirmLatch = 0;
  cancelLatch = 0;
  jumpReleaseLock = 0;
  SetInputLatches(0);
  ResetPlayer();
  ResetFloorProgress(gameState.FloorProgress);
  gameState.quitRequested = 0;
  gameState.tickAtStart = plat::GetTickCount();
  gameState.playTimeMs = 0;
  gameOvers = 0;
  hudItemsHidden = 0;
  dashTrailCount = 0;
  SetPlayerAnimation(0);
  EmptyObjectPools();
}
