// The player's shots on scripted pads: the magic cost, cool-down and pool of
// each kind, and what a shot does where it lands: breaking walls (directly
// or by the blast), pipes, pushes, switch blocks, the warp, created blocks;
// and a turned shot drawn from its sheet cell.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <tuple>

#include "game/blocks.h"
#include "game/crossfade.h"
#include "game/player_shots.h"
#include "game/shot_record.h"
#include "game/shots.h"
#include "tests/game/floor_fixture.h"
#include "tests/game/player_floor.h"

namespace veltrin::testing {
namespace {

constexpr int kWallColumn = 16;

// Rows 17..19 with `cell` in the given columns; ground below.
std::vector<std::string> WallRows(char cell, std::initializer_list<int> columns) {
  std::string row(76, '.');
  for (int c : columns) row[static_cast<std::size_t>(c)] = cell;
  return {row, row, row, kGround};
}

class PlayerShotsTest : public PlayerFloorTest {
 protected:
  void SetUp() override {
    PlayerFloorTest::SetUp();
    fadeRequest = 0;
    player.magic = player.maxMagic = 40;
    player.shotLevel[0] = player.shotLevel[1] = player.shotLevel[2] = 1;
  }
  // A fresh press of Shot, with `pad` held on the frame it is pressed.
  static void PressShot(std::uint32_t pad = 0) {
    Step(0);
    Step(pad | kShot);
  }
  // Fires the current kind from (320, stand) facing right and lets the shot
  // fly until it ends.
  static void FireAndFly() {
    PlaceAt(320, kStandY);
    player.shotCooldown = 0;
    PressShot();
    for (int i = 0; i < 200 && playerShotCount > 0; ++i) {
      UpdateShotsAndBullets();
      Step(0);
    }
    ASSERT_EQ(playerShotCount, 0);
  }
};

TEST_F(PlayerShotsTest, EachKindCostsItsMagicAndAPressDuringTheCoolDownFiresWhenItEnds) {
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  PressShot();
  ASSERT_EQ(playerShotCount, 1);
  const ShotRecord& shot = playerShots[0];
  EXPECT_EQ(player.magic, 37);
  EXPECT_EQ(std::tie(shot.vx, shot.life, shot.direction, shot.x, shot.y),
            std::make_tuple(8.0, 18, 6, 320 + 56.0, kStandY + 7.0));
  EXPECT_EQ(player.shotPose, 1);
  EXPECT_EQ(player.shotCooldown, 12);
  Steps(3, kShot);  // held: no repeat
  EXPECT_EQ(playerShotCount, 1);
  PressShot();  // pressed during the cool-down: pending
  EXPECT_EQ(player.shotPending, 1);
  int frames = 0;
  while (playerShotCount == 1 && frames++ < 20) Step(0);
  EXPECT_EQ(playerShotCount, 2);
  EXPECT_EQ(player.shotCooldown, 12);
  EXPECT_EQ(player.shotPending, 0);

  // Two points: Blaze (3) cannot fire, Gravity (2) can; facing left it flies left.
  player.magic = 2;
  player.shotCooldown = 0;
  PressShot();
  EXPECT_EQ(playerShotCount, 2);
  EXPECT_EQ(player.magic, 2);
  player.shotKind = 1;
  player.facing = -1;
  PressShot(kLeft);
  ASSERT_EQ(playerShotCount, 3);
  EXPECT_EQ(player.magic, 0);
  EXPECT_DOUBLE_EQ(playerShots[2].vx, -6.0);
  EXPECT_EQ(playerShots[2].direction, 4);
  EXPECT_EQ(playerShots[2].life, 26);

  // Infinite magic is full again after every attempt.
  player.infiniteMagic = 1;
  player.shotCooldown = 0;
  PressShot();
  EXPECT_EQ(player.magic, player.maxMagic);
}

TEST_F(PlayerShotsTest, AFullPoolStillCostsMagicAndStartsTheCoolDownButMakesNoShot) {
  LoadCells(20, {kGround});
  for (ShotRecord& shot : playerShots) shot.inUse = 1;
  playerShotCount = kPlayerShotPoolSize;
  PlaceAt(320, kStandY);
  PressShot();
  EXPECT_EQ(playerShotCount, kPlayerShotPoolSize);
  EXPECT_EQ(player.magic, 37);
  EXPECT_EQ(player.shotCooldown, 12);
  EXPECT_EQ(player.shotPose, 1);
}

// What the game tells of a shot before it is fired is the shot it fires: the
// flight by the level, 0 to 2, and the muzzle standing, crouched and mid-walk
// either way.
TEST_F(PlayerShotsTest, TheFlightAndMuzzleToldAreThoseOfTheShotFiredAtEachLevelAndPose) {
  LoadCells(20, {kGround});
  struct Pose {
    const char* name;
    std::uint32_t pad;
    int x, y;
  };
  constexpr Pose kPoses[] = {
      {"standing", 0, 56, 7}, {"crouched", kDown, 72, 29}, {"walking", kRight, 61, 9}, {"walking left", kLeft, -21, 9}};
  for (const int level : {0, 1, 2}) {
    for (const Pose& pose : kPoses) {
      SCOPED_TRACE("level " + std::to_string(level) + ", " + pose.name);
      player.shotLevel[0] = level;
      playerShotCount = 0;
      for (ShotRecord& shot : playerShots) shot.inUse = 0;
      PlaceAt(320, kStandY);
      player.facing = 1;
      player.shotCooldown = 0;
      Steps(3, pose.pad);
      Step(pose.pad | kShot);
      ASSERT_EQ(playerShotCount, 1);
      const ShotRecord& shot = playerShots[0];
      EXPECT_EQ(ShotFlight(0, level), 112 + 32 * level);
      EXPECT_DOUBLE_EQ(shot.life * std::fabs(shot.vx), ShotFlight(0, level));
      const Muzzle muzzle = MuzzleOffset(player.facing, player.squat, player.animState);
      EXPECT_EQ(muzzle.x, pose.x);
      EXPECT_EQ(muzzle.y, pose.y);
      EXPECT_DOUBLE_EQ(shot.x, player.x + muzzle.x);
      EXPECT_DOUBLE_EQ(shot.y, player.y + muzzle.y);
    }
  }
}

// Over the cell-colour sheets, so what is drawn tells the cell.
class PlayerShotDrawTest : public qz::testing::FloorTest {};

// A shot a pipe turned down flies at a quarter turn: it is drawn over the
// square it stands in, turned about its middle, the cell's keyed top-left
// pixel carried to the top right.
TEST_F(PlayerShotDrawTest, AShotTurnedByAPipeIsDrawnTurnedOverItsSquare) {
  cameraX = cameraY = 0;
  ShotRecord& shot = playerShots[0];
  shot = ShotRecord{};
  shot.x = 200, shot.y = 100, shot.vy = 6.0, shot.angle = std::numbers::pi / 2;
  shot.life = 10, shot.direction = 2, shot.graphicBase = 6, shot.animFrame = 2, shot.inUse = 1;
  playerShotCount = 1;
  qz::ClearDrawTarget(nullptr);
  UpdatePlayerShots();
  ASSERT_EQ(playerShotCount, 1);
  const std::uint32_t cell = Cell("pat_bullet01.png", 6 + 2);  // a Gravity Shot's third cell
  EXPECT_EQ(qz::testing::ScreenPixel(200, 100), cell);
  EXPECT_NE(qz::testing::ScreenPixel(223, 100), cell);
  EXPECT_EQ(qz::testing::ScreenPixel(223, 123), cell);
  EXPECT_NE(qz::testing::ScreenPixel(224, 112), cell);
}

TEST_F(PlayerShotsTest, BlazeBreaksTheWallItMeetsOnlyWithBreakPowerAndTheBlastBreaksAround) {
  LoadCells(17, WallRows('%', {kWallColumn, kWallColumn + 1}));
  FireAndFly();
  EXPECT_EQ(AttributeAt(kWallColumn, 18), 76);  // a plain wall to a plain shot

  player.ProgressFlags[kBreakPower] = 1;
  FireAndFly();
  EXPECT_EQ(AttributeAt(kWallColumn, 18), 0);
  EXPECT_EQ(ChipAt(kWallColumn, 18), 0);
  EXPECT_EQ(AttributeAt(kWallColumn + 1, 18), 76);
  EXPECT_EQ(AttributeAt(kWallColumn, 17), 76);

  // With the Blast Power the blast's grid breaks the cells around the hit.
  LoadCells(17, WallRows('%', {kWallColumn, kWallColumn + 1}));
  player.ProgressFlags[kBlastPower] = 1;
  FireAndFly();
  for (int row = 17; row <= 19; ++row) {
    EXPECT_EQ(AttributeAt(kWallColumn, row), 0) << row;
    EXPECT_EQ(AttributeAt(kWallColumn + 1, row), 0) << row;
  }
}

TEST_F(PlayerShotsTest, ShotsLeaveTheFieldOrStopWhileAFadeIsPending) {
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  PressShot();
  fadeRequest = 2;
  playerShots[0].x = 100000;
  EXPECT_EQ(PlayerShotMapHit(0), 0);
  fadeRequest = 0;
  EXPECT_EQ(PlayerShotMapHit(0), 1);
}

TEST_F(PlayerShotsTest, PipesCarryShotsRoundCornersAndLengthenThem) {
  LoadCells(20, {kGround});
  ShotRecord shot{};
  shot.x = 10 * 32 + 20;
  shot.y = 5 * 32 + 4;
  shot.vx = -8.0;
  shot.direction = 4;
  shot.life = 5;
  EXPECT_EQ(ApplyShotToBlock(57, 10, 5, shot), 1);
  EXPECT_EQ(std::tie(shot.x, shot.y, shot.vx, shot.vy, shot.direction, shot.life),
            std::make_tuple(10 * 32 + 4.0, 5 * 32 + 36.0, 0.0, 8.0, 2, 15));
  EXPECT_DOUBLE_EQ(shot.angle, std::numbers::pi / 2);
  // Entering against the pipe's way is a wall.
  shot.direction = 6;
  EXPECT_EQ(ApplyShotToBlock(57, 10, 5, shot), 0);
  // A straight pipe keeps the velocity; a Magic shot gains 30 frames.
  ShotRecord magic{};
  magic.vx = 4.0;
  magic.direction = 6;
  magic.graphicBase = 12;
  EXPECT_EQ(ApplyShotToBlock(61, 3, 3, magic), 1);
  EXPECT_DOUBLE_EQ(magic.vx, 4.0);
  EXPECT_DOUBLE_EQ(magic.x, 3 * 32 + 36);
  EXPECT_EQ(magic.life, 30);
  EXPECT_EQ(ApplyShotToBlock(51, 3, 3, magic), 0);
}

TEST_F(PlayerShotsTest, GravityPushesBlocksOneOrTwoCellsAndNeverPastTheLayers) {
  LoadCells(17, WallRows('C', {kWallColumn}));
  player.shotKind = 1;
  player.ProgressFlags[kImpactPower] = 1;
  FireAndFly();
  EXPECT_EQ(AttributeAt(kWallColumn, 18), 0);
  EXPECT_EQ(AttributeAt(kWallColumn + 2, 18), 51);  // two empty cells: two steps
  EXPECT_EQ(ChipAt(kWallColumn + 2, 18), 29);

  // One empty cell, then a wall: one step; an occupied first cell: none.
  LoadCells(17, WallRows('C', {5, 7}));
  PushBlock(51, 5, 18, 6);
  EXPECT_EQ(AttributeAt(6, 18), 51);
  EXPECT_EQ(AttributeAt(5, 18), 0);
  PushBlock(51, 6, 18, 6);
  EXPECT_EQ(AttributeAt(6, 18), 51);
  // Spikes, ice and pipes along their own way stay; a pipe across its way moves.
  PushBlock(52, 6, 18, 4);
  PushBlock(64, 6, 18, 4);
  PushBlock(61, 6, 18, 4);
  EXPECT_EQ(AttributeAt(6, 18), 51);
  PushBlock(62, 6, 18, 4);
  EXPECT_EQ(AttributeAt(4, 18), 62);
  // At the edges of the layers nothing is pushed out.
  SetCell(77, 10, 29, 51);
  PushBlock(51, 77, 10, 6);
  EXPECT_EQ(AttributeAt(77, 10), 51);
  SetCell(0, 0, 29, 51);
  PushBlock(51, 0, 0, 8);
  PushBlock(51, 0, 0, 4);
  EXPECT_EQ(AttributeAt(0, 0), 51);
}

TEST_F(PlayerShotsTest, MagicWithChainRingFlipsSwitchGroupsAndWarpsOntoTheWarpBlock) {
  std::string row = std::string(76, '.');
  row[kWallColumn] = 'M';
  row[30] = 'r';  // group 0 open
  row[31] = 'R';  // group 0 closed
  row[32] = 'y';  // group 2 closed
  LoadCells(17, {row, row, row, kGround}, {"M 30 72", "y 61 75"});
  player.shotKind = 2;
  player.ProgressFlags[kChainRing] = 1;
  FireAndFly();
  EXPECT_EQ(AttributeAt(30, 18), 73);
  EXPECT_EQ(ChipAt(30, 18), 45);
  EXPECT_EQ(AttributeAt(31, 18), 39);
  EXPECT_EQ(AttributeAt(32, 18), 41);

  // The warp block with two free cells above puts the player on it.
  LoadCells(17, WallRows('w', {kWallColumn}));
  SetCell(kWallColumn, 17, 0, 0);
  FireAndFly();
  EXPECT_EQ(player.y, (18 - 2) * 32);
  EXPECT_EQ(player.x, kWallColumn * 32 - 16);
  // Without room above, the shot only ends.
  LoadCells(17, WallRows('w', {kWallColumn}));
  FireAndFly();
  EXPECT_EQ(player.x, 320);
}

TEST_F(PlayerShotsTest, CreatePowerPutsATimedBlockOneCellBackButNeverOutsideOrIntoThePlayer) {
  LoadCells(17, WallRows('#', {kWallColumn}));
  player.shotKind = 2;
  player.ProgressFlags[kCreatePower] = 1;
  FireAndFly();
  EXPECT_EQ(AttributeAt(kWallColumn - 1, 18), kAttrSolidBlock);
  ASSERT_EQ(timedCellCount, 1);
  EXPECT_EQ(timedCells[0].timer, 180);

  // A shot going down into row 0 would create at row -1: nothing is made.
  LoadCells(0, {kGround});
  timedCellCount = 0;
  timedCells[0] = TimedCellRecord{};
  const int slot = FindFreeSlot(kPoolPlayerShots);
  ASSERT_GE(slot, 0);
  playerShots[slot] = ShotRecord{};
  playerShots[slot].x = 600;
  playerShots[slot].y = -4;
  playerShots[slot].direction = 2;
  playerShots[slot].graphicBase = 12;
  playerShots[slot].inUse = 1;
  EXPECT_EQ(PlayerShotMapHit(slot), 1);
  EXPECT_EQ(timedCellCount, 0);

  // Too close to the player: no block.
  LoadCells(17, WallRows('#', {12}));
  PlaceAt(320, kStandY);
  PressShot();
  for (int i = 0; i < 100 && playerShotCount > 0; ++i) UpdateShotsAndBullets();
  EXPECT_EQ(AttributeAt(11, 18), 0);
}

TEST_F(PlayerShotsTest, EnemyBlastReachesThePlayerBoxByItsSizeAndTakesAtLeastOneLife) {
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  // Box right edge 364; a size 3 blast 120 pixels right of it reaches it.
  ExplodeEnemyBlast(364 + 120, kStandY + 30, 0, 3);
  EXPECT_EQ(player.life, 99);
  EXPECT_EQ(player.invulnerableFrames, 40);
  EXPECT_DOUBLE_EQ(player.velocityX, -2.5);
  player.invulnerableFrames = 0;
  ExplodeEnemyBlast(364 + 121, kStandY + 30, 5, 3);
  ExplodeEnemyBlast(364 + 71, kStandY + 30, 5, 1);
  EXPECT_EQ(player.life, 99);
  ExplodeEnemyBlast(364 + 95, kStandY + 30, 5, 9);  // sizes past 3 count as 3
  EXPECT_EQ(player.life, 94);
}

// A blast reaches a box on every side up to its reach, edges included, and
// not a pixel farther.
TEST(EnemyBlastReachTest, EverySideOfTheBoxIsReachedToTheReachAndNoFarther) {
  constexpr int kLeft = 100, kTop = 200, kRight = 124, kBottom = 246, kMiddleX = 112, kMiddleY = 223;
  for (int size = 1; size <= 3; ++size) {
    const int r = EnemyBlastReach(size);
    for (const int past : {0, 1}) {
      SCOPED_TRACE("size " + std::to_string(size) + (past == 0 ? " at the reach" : " a pixel past it"));
      const bool reaches = past == 0;
      EXPECT_EQ(EnemyBlastReaches(kLeft - r - past, kMiddleY, size, kLeft, kTop, kRight, kBottom), reaches) << "left";
      EXPECT_EQ(EnemyBlastReaches(kRight + r + past, kMiddleY, size, kLeft, kTop, kRight, kBottom), reaches) << "right";
      EXPECT_EQ(EnemyBlastReaches(kMiddleX, kTop - r - past, size, kLeft, kTop, kRight, kBottom), reaches) << "above";
      EXPECT_EQ(EnemyBlastReaches(kMiddleX, kBottom + r + past, size, kLeft, kTop, kRight, kBottom), reaches) << "below";
    }
  }
}

}  // namespace
}  // namespace veltrin::testing
