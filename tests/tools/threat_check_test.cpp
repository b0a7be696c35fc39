// The campaign check's bullet lanes against the game's own bullets: shooters
// placed on a walled generated floor fire at a player level with their
// muzzle far away, and every cell their level bullets' hit points cross lies
// in the lane the check draws for them, which reaches as far as they fly.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "game/map_cells.h"
#include "tests/game/enemy_fixture.h"
#include "tools/datagen/threat_check.h"

namespace {

using qz::testing::EnemyTest;

struct Shooter {
  int kindSet, slot;
  int row;  // placed at column 50, its feet on the ground (row 44)
};

TEST_F(EnemyTest, EveryCellTheGamesBulletsCrossLiesInTheChecksLane) {
  // The green slime's straight shots in sets 1 and 2, the aimed shots of a
  // blue bat flying to and fro and of the red shooter trap.
  const Shooter shooters[] = {{1, 1, 42}, {2, 0, 42}, {3, 0, 42}, {1, 10, 43}};
  for (const Shooter& s : shooters) {
    SCOPED_TRACE(::testing::Message() << "set " << s.kindSet << " slot " << s.slot);
    MapFileData floor = SmallFloor();
    floor.kindSet = s.kindSet;
    floor.enemyPlacements = {{50, s.row, s.slot}};
    const datagen::FloorThreats threats(floor, floor, false);
    ASSERT_EQ(threats.Lanes().size(), 1u);
    const std::set<datagen::Cell>& lane = threats.Lanes()[0].cells;

    EnterFloor(s.kindSet, {{50, s.row, s.slot}});
    // Far to the left, the sprite's centre level with the muzzle.
    PlacePlayer(2 * 32);
    const EnemyRecord& e = enemies[0];
    player.y = EnemyMuzzle(e).y - 32;
    std::set<datagen::Cell> crossed;
    for (int frame = 0; frame < 900; ++frame) {
      player.life = player.maxLife;
      Frames(1);
      for (const ShotRecord& b : enemyBullets) {
        if (b.inUse == 0 || std::abs(b.vy) > 1e-9) continue;  // the lane is the level course
        // Where it strikes, unless it flew into a wall or off the field.
        const int hx = static_cast<int>(b.x) + kBulletHitOffset, hy = static_cast<int>(b.y) + kBulletHitOffset;
        if (hx >= 0 && ReadAttributeAtPixel(hx, hy) < kAttrSolidFrom) crossed.insert({hx / 32, hy / 32});
      }
    }
    ASSERT_FALSE(crossed.empty()) << "level bullets fired";
    for (const datagen::Cell& cell : crossed) {
      EXPECT_EQ(lane.count(cell), 1u) << cell.first << ", " << cell.second;
    }
    EXPECT_LE(lane.begin()->first, crossed.begin()->first) << "the lane reaches as far as the bullets";
  }
}

}  // namespace
