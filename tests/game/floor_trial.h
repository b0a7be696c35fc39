// One floor of the campaign played as a trial of the model of a player: the
// floor entered as the area's exact replay enters it, then played from a
// save of that moment with the player's looseness and the game's seed.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/random.h"
#include "game/action_input.h"
#include "game/doors.h"
#include "game/enemies.h"
#include "game/game_state.h"
#include "game/game_string.h"
#include "game/items.h"
#include "game/pools.h"
#include "game/save_file.h"
#include "game/trap_graphics.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"
#include "tools/scripted_play.h"

namespace veltrin::testing {

// Where the campaign plays a floor: its area, the route's index there, and
// the floor's index in the whole campaign; `area` null when no route plays it.
struct FloorInCampaign {
  const CampaignArea* area = nullptr;
  std::size_t route = 0;
  int index = 0;
  const FloorRoute& Route() const { return area->routes[route]; }
};
inline FloorInCampaign FindFloor(const std::string& floor) {
  FloorInCampaign found;
  int counted = 0;
  for (const CampaignArea& area : CampaignAreas()) {
    for (std::size_t i = 0; i < area.routes.size(); ++i, ++counted) {
      if (floor == area.routes[i].floor) found = {&area, i, counted};
    }
  }
  return found;
}

// Puts the player back at the entrance the record names, as the title's
// Continue does with a save, with the area replays' one life. Nothing the
// run before left may reach the new one: the floor's loading draws from
// the generator seeded with `gameSeed`, the player comes in at rest (a new
// game keeps the vertical speed it finds) and the blinking platforms'
// cycle (which runs from the program's start) begins afresh.
inline void RestartFloor(const SaveRecord& record, ScriptedPlay& play, std::uint32_t gameSeed) {
  qz::SeedRandom(gameSeed);
  player.velocityY = 0;
  movingObjectCycle = 0;
  gameState.scene = kSceneFloorPlay;
  gameState.sceneFrame = gameState.scenePage = gameState.sceneSubState = 0;
  ResetNewGame();
  ResetEnemyRecords();
  EmptyBulletPool();
  ApplySaveRecord(record);
  floorNumber = ParseIntAndFree(mapName) - 1;
  EnterDoor(record.entrance, 1, 0);
  LoadCandleMask();
  SetInputLatches(1);
  player.life = player.maxLife = 1;
  play.Clear();
  play.RunUntil([] { return OnFloorPlay(); }, 300);
}

// Plays the floor's route from its entrance, the game's random numbers
// seeded with `gameSeed`, on to the next floor: "" when it is reached alive,
// else what went wrong.
inline std::string PlayFloorRoute(ScriptedPlay& play, const FloorRoute& floor, const routes::Perturbation& perturbation,
                                  std::uint32_t gameSeed) {
  qz::SeedRandom(gameSeed);
  routes::RoutePlayer routePlayer(play, perturbation);
  std::string problem = routePlayer.Run(floor.route);
  if (problem.empty() && !play.RunUntil([&] { return ArrivedAfter(floor) || player.dead != 0; }, 400)) {
    problem = "the route did not end at its door";
  }
  if (problem.empty() && player.dead != 0) problem = "died at the door";
  return problem;
}
// The same from a restart of the floor as `entered` left it.
inline std::string PlayTrial(ScriptedPlay& play, const SaveRecord& entered, const FloorRoute& floor,
                             const routes::Perturbation& perturbation, std::uint32_t gameSeed) {
  RestartFloor(entered, play, gameSeed);
  return PlayFloorRoute(play, floor, perturbation, gameSeed);
}

// The game started on the floor's area and played by the exact routes up to
// the floor; then a save of that moment.
class FloorTrialTest : public CampaignAreaTest {
 protected:
  void EnterFloor(ScriptedPlay& play, const FloorInCampaign& floor, SaveRecord* entered) {
    StartArea(floor.area->start);
    ASSERT_TRUE(play.RunUntil([] { return OnFloorPlay(); }, 200));
    ASSERT_NO_FATAL_FAILURE(
        PlayRoutes(play, std::vector<FloorRoute>(floor.area->routes.begin(), floor.area->routes.begin() + floor.route)));
    *entered = CaptureSaveRecord();
  }
};

}  // namespace veltrin::testing
