// Enemy tests over a walled generated floor: entering it with chosen
// enemies, placing the player on its ground, and running enemy frames.
#pragma once

#include <utility>
#include <vector>

#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/shots.h"
#include "tests/game/floor_fixture.h"

namespace qz::testing {

class EnemyTest : public FloorTest {
 protected:
  // A walled floor of kind set `kindSet` with the given enemies, entered.
  void EnterFloor(int kindSet, std::vector<MapFileData::Placement> placements) {
    MapFileData floor = SmallFloor();
    floor.kindSet = kindSet;
    floor.enemyPlacements = std::move(placements);
    WriteMap("061", WriteMapFile(floor));
    ASSERT_EQ(Enter("061", 0), 1);
  }
  // The player standing on the ground of SmallFloor at x, out of every hit.
  static void PlacePlayer(int x) {
    player.x = x;
    player.y = 44 * 32 - 64;
    player.posX = player.x;
    player.posY = player.y;
    player.life = player.maxLife = 100;
    player.invulnerableFrames = 0;
    player.velocityX = 0.0;
    PlaceCamera();
  }
  static void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      UpdateEnemies();
      UpdateShotsAndBullets();
    }
  }
};

}  // namespace qz::testing
