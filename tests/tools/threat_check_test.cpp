// The campaign check's bullet lanes against the game's own bullets: shooters
// placed on a walled generated floor fire at a player level with their
// muzzle far away, and every cell their level bullets' hit points cross lies
// in the lane the check draws for them, which reaches as far as they fly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/random.h"
#include "game/map_cells.h"
#include "tests/game/enemy_fixture.h"
#include "tools/datagen/threat_check.h"

namespace {

using qz::testing::EnemyTest;

// `floor` with one enemy of kind set `kindSet`, slot `slot`, at (column, row).
MapFileData WithEnemy(MapFileData floor, int kindSet, int column, int row, int slot) {
  floor.kindSet = kindSet;
  floor.enemyPlacements = {{column, row, slot}};
  return floor;
}

std::string SightFault(const MapFileData& floor, const datagen::Cell& stand) {
  return datagen::FloorThreats(floor, floor, false).SightFault({stand});
}

std::string ArrivalFault(const MapFileData& floor, const datagen::Cell& arrival) {
  return datagen::FloorThreats(floor, floor, false).ArrivalFault(arrival);
}

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
    const MapFileData floor = WithEnemy(SmallFloor(), s.kindSet, 50, s.row, s.slot);
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

// A line burst's last bullet aimed down from above the view at a player on
// the ground is seen from the view's top edge, 240 pixels over the sprite's
// centre, until it meets the body's top, 24 over: 216 pixels. The
// Butterfly's (kind set 4, slot 6), 24 long, ends at 5.45 pixels a frame:
// 39.6 frames, enough; level from the side it is seen over 308, enough too.
TEST_F(EnemyTest, ABulletIsInSightFromTheViewsEdgeUntilItMeetsTheBodysEdge) {
  const datagen::Cell stand{32, 43};
  EXPECT_EQ(SightFault(WithEnemy(SmallFloor(), 4, 30, 20, 6), stand), "");
  // The Dragon Head (set 6, slot 7) coming down on the player from above at
  // 18.79 a frame is in sight over the same 216 pixels for 11 frames, too few.
  EXPECT_EQ(SightFault(WithEnemy(SmallFloor(), 6, 30, 20, 7), stand),
            "the enemy at (30, 20) flies at 18.79 pixels a frame, in sight 11 frames before it reaches (32, 43) "
            "(24 needed)");
  EXPECT_EQ(SightFault(WithEnemy(SmallFloor(), 4, 60, 41, 6), stand), "");
}

// The dragon head (kind set 6, slot 7) drifts only up and down, but shots
// knock it sideways: in a shaft between a wall and posts every fifth row,
// pushed as hard as shots push it, first right and then left, its body stays
// between them; the check lets it reach the route under it, not past the posts.
TEST_F(EnemyTest, AHeadKnockedAboutStaysBetweenTheWallsItsBodyMeets) {
  MapFileData floor = SmallFloor();
  floor.kindSet = 6;
  for (int y = 0; y < 47; ++y) {
    for (int x : {10, 22}) {
      if (x == 22 && y % 5 != 0) continue;
      floor.chipLayer[MapFileData::CellIndex(x, y)] = 1;
      floor.attributeLayer[MapFileData::CellIndex(x, y)] = kAttrSolidBlock;
    }
  }
  floor.enemyPlacements = {{11, 30, 7}};
  EXPECT_NE(SightFault(floor, {15, 43}), "");
  EXPECT_EQ(SightFault(floor, {23, 43}), "");

  WriteMap("061", WriteMapFile(floor));
  ASSERT_EQ(Enter("061", 0), 1);
  PlacePlayer(60 * 32);
  EnemyRecord& e = enemies[0];
  int left = e.x, right = 0;
  for (int frame = 0; frame < 1200 && e.life > 0; ++frame) {
    player.life = player.maxLife;
    e.velocityX = frame < 600 ? 8.0 : -8.0;
    Frames(1);
    left = std::min(left, e.x + e.width - e.bodyRight);
    right = std::max(right, e.x + e.width - e.bodyLeft);
  }
  ASSERT_GT(e.life, 0);
  EXPECT_GE(left, 11 * 32);
  EXPECT_LT(right, 22 * 32);
  EXPECT_GT(right - left, e.bodyRight - e.bodyLeft) << "it was knocked both ways";
}

// The arrival rule against the game: a blue beast (set 3, slot 2) walking
// at the entrance of the walled floor from 8 columns off reaches a player
// standing there inside the first three seconds, and the check refuses it;
// from 26 columns off it does not.
TEST_F(EnemyTest, WhatReachesAnEntranceInItsFirstSecondsIsRefused) {
  const datagen::Cell arrival{4, 43};
  EXPECT_NE(ArrivalFault(WithEnemy(SmallFloor(), 3, 12, 42, 2), arrival), "");
  EXPECT_EQ(ArrivalFault(WithEnemy(SmallFloor(), 3, 30, 42, 2), arrival), "");

  EnterFloor(3, {{12, 42, 2}});
  PlacePlayer(arrival.first * 32 + 16 - 32);
  player.life = player.maxLife = 1;
  int frames = 0;
  while (frames < 600 && player.life == player.maxLife) Frames(1), ++frames;
  EXPECT_LT(frames, datagen::kArrivalFrames) << "the beast the check refuses does reach the entrance in time";
}

// A walking shooter's first volley, weighed from its muzzle where its walk
// has carried it by then: a red slime (set 1, slot 2) walking at the
// entrance fires aimed shots once its clock runs out. From 10 columns off,
// out of reach walking in the first three seconds and, from where it is
// placed, with its bullets too, it comes near enough by its first volley to
// hit inside them, and the check refuses it; from 11 columns off it does not.
TEST_F(EnemyTest, AWalkingShootersFirstVolleyIsWeighedFromWhereItHasWalkedTo) {
  const datagen::Cell arrival{4, 43};
  const auto fault = [&arrival](int column) {
    return ArrivalFault(WithEnemy(SmallFloor(), 1, column, 42, 2), arrival);
  };
  EXPECT_NE(fault(10).find("with its bullets"), std::string::npos) << fault(10);
  EXPECT_EQ(fault(11), "");

  // The game's slime, on ten seeds: from 9 columns off its first bullets
  // hit the player standing at the entrance inside the first three seconds
  // on some of them; from 10, on none.
  const auto seedsHitInTime = [this, &arrival](int column) {
    int hit = 0;
    for (std::uint32_t seed = 1; seed <= 10; ++seed) {
      EnterFloor(1, {{column, 42, 2}});
      qz::SeedRandom(seed);
      PlacePlayer(arrival.first * 32 + 16 - 32);
      int frames = 0;
      while (frames < datagen::kArrivalFrames && player.life == player.maxLife) Frames(1), ++frames;
      if (frames < datagen::kArrivalFrames) ++hit;
    }
    return hit;
  };
  EXPECT_GT(seedsHitInTime(10), 0);
  EXPECT_EQ(seedsHitInTime(11), 0);
}

}  // namespace
