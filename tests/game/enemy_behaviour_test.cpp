// Behaviour types as a player meets them, on a walled generated floor with
// the enemies' types set here (no kind of the tables uses them): teleporters
// that never share a point and show their appearing and fading cells, a
// chaser's acceleration to its speed, and a wall climber reaching a corner;
// walkers falling off a ledge and hoppers landing, by the gravity they share;
// the penguin resting between its hops in place;
// and a sweep that runs every behaviour type and every kind of every set with
// its attacks, the player present, checking each stays a sane record; and
// no kind moving faster than the top speed the campaign check weighs it by.
#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "core/random.h"
#include "game/floor_play.h"
#include "tests/game/enemy_fixture.h"

namespace {

using qz::testing::EnemyTest;

// Makes enemy `i` a hovering, harmless enemy of behaviour type `type`.
EnemyRecord& Hovering(int i, int type) {
  EnemyRecord& e = enemies[i];
  e.behaviour = type;
  e.flying = 1;
  e.moveState = 0;
  e.volleysPerBurst[0] = 0;
  e.contactDamage = 0;
  return e;
}

// An animation of three long steps showing sheet cells 0, 6 and 11.
void GiveTeleportAnimation(EnemyRecord& e) {
  std::fill(std::begin(e.animDurations), std::end(e.animDurations), 0);
  const int cells[] = {0, 6, 11};
  for (int step = 0; step < 3; ++step) e.animFrames[step] = cells[step], e.animDurations[step] = 500;
}

std::pair<int, int> At(const EnemyRecord& e) { return {e.x, e.y}; }

TEST_F(EnemyTest, TeleportersTakeFreePointsOnTheirClockAndShowTheirCells) {
  const std::set<std::pair<int, int>> eight = {{416, 576}, {416, 768}, {416, 960}, {704, 672},
                                               {704, 960}, {992, 576}, {992, 768}, {992, 960}};
  EnterFloor(1, {{5, 42, 0}, {7, 42, 0}, {9, 42, 0}});
  PlacePlayer(1500);
  qz::SeedRandom(7);
  for (int i = 0; i < 3; ++i) GiveTeleportAnimation(Hovering(i, 11));
  for (int cycle = 0; cycle < 6; ++cycle) {
    SCOPED_TRACE(cycle);
    Frames(1);
    std::set<std::pair<int, int>> taken;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(eight.count(At(enemies[i])), 1u);
      taken.insert(At(enemies[i]));
      EXPECT_EQ(enemies[i].animFrames[enemies[i].animFrame], 11) << "appears in cell 11";
      EXPECT_EQ(enemies[i].facing, 1) << "faces the player";
    }
    EXPECT_EQ(taken.size(), 3u) << "no two share a point";
    const std::pair<int, int> before = At(enemies[0]);
    Frames(107);
    EXPECT_EQ(At(enemies[0]), before) << "stays until its clock runs out";
    EXPECT_EQ(enemies[0].animFrames[enemies[0].animFrame], 11);
    Frames(1);
    EXPECT_EQ(enemies[0].animFrames[enemies[0].animFrame], 6) << "fades in cell 6 at frame 109";
    Frames(11);
  }

  // Type 23 over fourteen points: fifteen teleporters take all fourteen and
  // the last stays where it was placed.
  std::vector<MapFileData::Placement> placements;
  for (int i = 0; i < 15; ++i) placements.push_back({3 + 2 * i, 42, 0});
  EnterFloor(1, placements);
  for (int i = 0; i < 15; ++i) Hovering(i, 23);
  const std::pair<int, int> placed = At(enemies[14]);
  Frames(1);
  std::set<std::pair<int, int>> wide;
  for (int i = 0; i < 14; ++i) wide.insert(At(enemies[i]));
  EXPECT_EQ(wide.size(), 14u);
  for (const auto& [x, y] : wide) {
    EXPECT_TRUE(y == 576 || y == 960) << y;
    EXPECT_TRUE(x >= 416 && x <= 2144 && (x - 416) % 288 == 0) << x;
  }
  EXPECT_EQ(At(enemies[14]), placed) << "every point taken: it keeps its place";
}

TEST_F(EnemyTest, AChaserReachesItsSpeedInSteadyStepsAndAPlacerFollowsThePlayer) {
  EnterFloor(1, {{10, 30, 0}, {40, 30, 0}});
  PlacePlayer(2000);
  EnemyRecord& chaser = Hovering(0, 7);
  chaser.speed = 2.0;
  const double start = chaser.posX;
  // 0.05 more each frame: 40 frames to reach 2.0, then 2.0 a frame.
  Frames(40);
  EXPECT_NEAR(chaser.posX - start, 0.05 * (40 * 41 / 2), 1e-9);
  EXPECT_EQ(chaser.facing, 1);
  Frames(10);
  EXPECT_NEAR(chaser.posX - start, 41.0 + 20.0, 1e-9);
  // The player passes behind it: it slows, turns and comes back.
  PlacePlayer(100);
  Frames(45);
  EXPECT_EQ(chaser.facing, -1);
  const double turned = chaser.posX;
  Frames(5);
  EXPECT_LT(chaser.posX, turned);

  // Type 14 keeps to the player's x at height 960.
  Hovering(1, 14);
  PlacePlayer(1234);
  Frames(1);
  EXPECT_EQ(enemies[1].x, 1234);
  EXPECT_EQ(enemies[1].y, 960);
}

TEST_F(EnemyTest, AWallClimberWalksToTheWallClimbsItAndStopsUnderTheCeiling) {
  EnterFloor(1, {{6, 42, 0}});
  for (int column = 1; column < 20; ++column) SetCell(column, 30, 1, kAttrSolidBlock);
  PlacePlayer(2000);
  EnemyRecord& climber = Hovering(0, 30);
  climber.speed = 1.0;
  climber.facing = -1;
  Frames(600);
  EXPECT_EQ(climber.x + climber.bodyLeft, 33) << "snapped one pixel off the left wall";
  EXPECT_EQ(climber.y + climber.bodyTop, 31 * 32) << "head under the ceiling";
  EXPECT_EQ(climber.moveState, 0) << "stopped climbing";
  const std::pair<int, int> corner = At(climber);
  Frames(60);
  EXPECT_EQ(At(climber), corner) << "stays in the corner";
}

TEST_F(EnemyTest, AWalkerSteppingOffALedgeFallsFasterEachFrameUpToTwelveAndLands) {
  // A red slime walking right along a ledge of row 20 that ends at column 19.
  EnterFloor(1, {{17, 18, 2}});
  for (int column = 10; column < 20; ++column) SetCell(column, 20, 1, kAttrSolidBlock);
  PlacePlayer(2000);
  EnemyRecord& walker = enemies[0];
  walker.volleysPerBurst[0] = 0;
  walker.facing = 1;
  std::vector<double> fall;
  for (int frame = 0; frame < 400; ++frame) {
    const double before = walker.posY;
    Frames(1);
    if (walker.moveState == 1) fall.push_back(walker.posY - before);
    else if (!fall.empty()) break;
  }
  ASSERT_GT(fall.size(), 60u) << "falls from row 20 to the ground";
  EXPECT_GE(walker.x + walker.bodyLeft, 20 * 32) << "stepped off only once clear of the ledge";
  for (std::size_t k = 0; k < fall.size(); ++k) {
    ASSERT_DOUBLE_EQ(fall[k], std::min(1.0 + 0.25 * static_cast<double>(k), 12.0)) << "frame " << k << " of the fall";
  }
  EXPECT_EQ(walker.moveState, 0);
  EXPECT_EQ(walker.y + walker.bodyBottom, 44 * 32) << "landed on the ground";
}

TEST_F(EnemyTest, HoppersLandAfterTheFramesTheirJumpSpeedGivesThemAndHopAgain) {
  // A gold slime jumps at -5.0: 20 frames up, one at the top, 20 down.
  // The black slime's speed2 of -1.0 makes its jump -4.0: 16, one, 16.
  EnterFloor(1, {{10, 42, 3}, {40, 40, 4}});
  PlacePlayer(2000);
  struct Hopper {
    int expectedAirFrames;
    double expectedHeight;
    std::vector<int> airFrames;
    std::vector<double> heights;
    int run = 0;
    bool landed = false;
    double ground = 0.0, top = 0.0;
  };
  Hopper hoppers[2] = {{40, 52.5, {}, {}}, {32, 34.0, {}, {}}};
  for (EnemyRecord& e : enemies) e.volleysPerBurst[0] = 0;
  for (int frame = 0; frame < 240; ++frame) {
    Frames(1);
    for (int i = 0; i < 2; ++i) {
      Hopper& h = hoppers[i];
      const EnemyRecord& e = enemies[i];
      if (e.moveState == 1) {
        ++h.run;
        h.top = std::min(h.top, e.posY);
        continue;
      }
      // The first hop starts a pixel over the ground, where the floor lifted it.
      if (h.run > 0 && h.landed) {
        h.airFrames.push_back(h.run);
        h.heights.push_back(h.ground - h.top);
      }
      h.run = 0;
      h.landed = true;
      h.ground = h.top = e.posY;
    }
  }
  for (const Hopper& h : hoppers) {
    ASSERT_GE(h.airFrames.size(), 3u);
    for (int frames : h.airFrames) EXPECT_EQ(frames, h.expectedAirFrames);
    for (double height : h.heights) EXPECT_DOUBLE_EQ(height, h.expectedHeight);
  }
}

// The penguin (set 5, slot 4) hops in place but rests on the ground between
// hops, long enough to be shot low or jumped while it stands: every rest
// after a landing is the same, it never leaves its column, and it turns to
// the player on either side.
TEST_F(EnemyTest, ThePenguinRestsOnTheGroundBetweenHopsInPlace) {
  EnterFloor(5, {{30, 42, 4}});
  ASSERT_EQ(enemies[0].behaviour, kRestingHopperBehaviour);
  PlacePlayer(10 * 32);
  const EnemyRecord& penguin = enemies[0];
  const int column = penguin.x;
  std::vector<int> rests;
  int ground = 0, hops = 0;
  bool landed = false;
  for (int frame = 0; frame < 600; ++frame) {
    if (frame == 300) PlacePlayer(50 * 32);
    Frames(1);
    ASSERT_EQ(penguin.x, column) << "frame " << frame;
    if (penguin.moveState == 0) {
      ++ground;
      continue;
    }
    if (ground > 0) {
      ++hops;
      if (landed) rests.push_back(ground);
    }
    ground = 0;
    landed = true;
    EXPECT_EQ(penguin.facing, frame < 300 ? -1 : 1) << "frame " << frame;
  }
  ASSERT_GE(rests.size(), 3u) << hops << " hops";
  for (int rest : rests) {
    EXPECT_GE(rest, kHopperRestFrames);
    EXPECT_LE(rest, kHopperRestFrames + 2);
  }
}

// Runs the live enemies for `frames` frames beside a player kept alive, and
// checks every live one stays a finite record inside (or just off) the field.
void RunBesideThePlayer(int frames) {
  for (int frame = 0; frame < frames; ++frame) {
    player.life = player.maxLife;
    player.invulnerableFrames = 0;
    UpdateEnemies();
    UpdateShotsAndBullets();
    for (const EnemyRecord& e : enemies) {
      if (e.life <= 0) continue;
      ASSERT_TRUE(std::isfinite(e.posX) && std::isfinite(e.posY)) << "frame " << frame;
      ASSERT_GT(e.x, -4 * e.width) << "frame " << frame;
      ASSERT_LT(e.x, 78 * 32 + 3 * e.width) << "frame " << frame;
      ASSERT_GT(e.y, -4 * e.height) << "frame " << frame;
      ASSERT_LT(e.y, 48 * 32 + 3 * e.height) << "frame " << frame;
    }
  }
}

int LiveBullets() {
  return static_cast<int>(std::count_if(std::begin(enemyBullets), std::end(enemyBullets),
                                        [](const ShotRecord& b) { return b.life > 0; }));
}

// The Butterfly (set 4, slot 6) drifts between heights all within the
// field's bottom screen, where her hall lies: never up into the rock out of
// the player's sight.
TEST_F(EnemyTest, TheButterflyKeepsToTheBottomScreen) {
  EnterFloor(4, {{40, 38, 6}});
  EnemyRecord& butterfly = enemies[0];
  butterfly.volleysPerBurst[0] = 0;
  int highest = butterfly.y, lowest = butterfly.y;
  for (int frame = 0; frame < 5000; ++frame) {
    PlacePlayer(20 * 32);
    Frames(1);
    highest = std::min(highest, butterfly.y), lowest = std::max(lowest, butterfly.y);
  }
  EXPECT_GE(highest, kCameraMaxY - 1);
  EXPECT_LE(lowest + butterfly.height, kCameraMaxY + kViewHeight);
  EXPECT_GT(lowest - highest, 64) << "she drifts between heights";
}

TEST_F(EnemyTest, EveryBehaviourTypeAndEveryKindRunsBesideThePlayer) {
  for (int type = 0; type <= kRestingHopperBehaviour; ++type) {
    SCOPED_TRACE(type);
    EnterFloor(1, {{20, 40, 0}, {50, 30, 0}});
    PlacePlayer(35 * 32);
    enemies[0].behaviour = enemies[1].behaviour = type;
    RunBesideThePlayer(400);
  }
  // Every kind of every set with its own behaviour and attacks; the sets
  // together fire bullets.
  int fired = 0;
  for (int set = 1; set <= 9; ++set) {
    for (int slot = 0; slot <= 10; ++slot) {
      SCOPED_TRACE(::testing::Message() << "set " << set << " slot " << slot);
      EnterFloor(set, {{25, 38, slot}});
      if (enemies[0].life <= 0) continue;  // the set has no kind in this slot
      PlacePlayer(35 * 32);
      for (int step = 0; step < 8; ++step) {
        RunBesideThePlayer(60);
        fired += LiveBullets();
      }
    }
  }
  EXPECT_GT(fired, 0);
}

// The campaign check weighs each kind by its behaviour's top speed: no kind
// of any set, roaming beside the player, moves faster in a frame (sideways;
// flyers also up or down) away from the walls that snap it back.
TEST_F(EnemyTest, NoKindMovesFasterThanTheTopSpeedOfItsBehaviour) {
  constexpr int kWall = 2 * 32, kRightWall = 74 * 32, kGround = 43 * 32;
  int moved = 0;
  for (int set = 1; set <= 9; ++set) {
    for (int slot = 0; slot < kFloorKindSlots; ++slot) {
      SCOPED_TRACE(::testing::Message() << "set " << set << " slot " << slot);
      EnterFloor(set, {{25, 30, slot}});
      const EnemyRecord& e = enemies[0];
      if (e.life <= 0) continue;
      PlacePlayer(35 * 32);
      const EnemyTopSpeed top = TopSpeedOfBehaviour(e);
      for (int frame = 0; frame < 600 && e.life > 0; ++frame) {
        player.life = player.maxLife;
        const double x = e.posX, y = e.posY;
        UpdateEnemies();
        UpdateShotsAndBullets();
        const bool nearWalls = e.x + e.bodyLeft < kWall || e.x + e.bodyRight > kRightWall ||
                               e.y + e.bodyTop < kWall || e.y + e.bodyBottom > kGround;
        if (nearWalls || e.life <= 0) continue;
        ASSERT_LE(std::abs(e.posX - x), top.sideways + 1e-9) << "frame " << frame;
        if (e.flying == 1) {
          ASSERT_LE(std::abs(e.posY - y), top.vertical + 1e-9) << "frame " << frame;
        }
        moved += e.posX != x || (e.flying == 1 && e.posY != y);
      }
    }
  }
  EXPECT_GT(moved, 1000);
}

}  // namespace
