// How the campaign's halls whose bosses need more than standing and shooting
// are fought: shared by the campaign's routes and the screenshot tool, which
// catches a hall as its route plays it.
#pragma once

#include "tools/route_player.h"

namespace veltrin::routes {

// The bosses whose bullets the player takes standing and shooting.
inline const FightSettings kStandAndShoot{.horizon = 0};

// The Second Witch fought where the player stands, her bullets' turns at the
// body foreseen more than a second ahead: a jump (straight up or either way)
// or a step, of any length, as late as suits.
inline FightSettings WitchFight() {
  FightSettings how{.horizon = 100, .margin = 6, .moves = {}};
  for (int press = kMinimumPress; press <= 20; press += 2) {
    for (int way : {0, 1, -1}) how.moves.push_back({way, true, false, false, press});
  }
  for (int press = kMinimumPress; press <= 18; press += kMinimumPress) {
    for (int way : {1, -1}) how.moves.push_back({way, false, false, false, press});
  }
  return how;
}

// The Dragon Head fought level with its body from the ladder of ledges by its
// shaft, its fire foreseen a second and a half ahead: a climb, a drop or a
// step right, started up to half a second late.
inline const FightSettings kOnTheLadder{.height = FightSettings::Height::kLevelWithBody,
                                        .horizon = 90,
                                        .margin = 10,
                                        .moves = {{0, true, false, false, 12},
                                                  {0, false, true, false, kMinimumPress},
                                                  {1, false, false, false, 18}},
                                        .climbPress = 12};

}  // namespace veltrin::routes
