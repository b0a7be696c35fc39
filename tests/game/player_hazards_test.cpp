// Cells that act on the player and the player's end: spikes with their
// motion rules and invulnerable blinking, springs, crumbling and appearing
// cells, the event icon and Up, the floor clock, the death and the give-up.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "game/game_over.h"
#include "tests/game/player_floor.h"

namespace veltrin::testing {
namespace {

using PlayerHazardsTest = PlayerFloorTest;

TEST_F(PlayerHazardsTest, FloorSpikesHurtOnLandingThenBlinkFor48FramesButNeverWhileDashing) {
  LoadCells(20, {GroundWith('^', 10, 4)});
  PlaceAt(10 * 32, 400);
  player.airborne = 1;
  int frames = 0;
  while (player.airborne == 1 && frames++ < 100) Step(0);
  EXPECT_EQ(player.life, 84);
  EXPECT_EQ(player.invulnerableFrames, 47);  // 48, one drawn frame already
  int hiddenFrames = 0;
  for (int i = 0; i < 46; ++i) {
    Step(0);
    if (player.invulnerableFrames % 3 != 0) ++hiddenFrames;
  }
  EXPECT_EQ(player.life, 84);
  EXPECT_GT(hiddenFrames, 20);
  Steps(2, 0);
  EXPECT_EQ(player.life, 68);  // invulnerability over: hurt again

  // Dashing onto the spikes does not hurt.
  PlaceAt(200, kStandY);
  player.invulnerableFrames = 0;
  player.ProgressFlags[kHoverdash] = 1;
  Steps(20, kDash | kRight);
  EXPECT_GE(player.x + 18, 10 * 32);
  EXPECT_EQ(player.dashState, 1);
  EXPECT_EQ(player.life, 68);
  // Damage stops at 0.
  PlaceAt(10 * 32, kStandY);
  player.life = 5;
  player.invulnerableFrames = 0;
  Steps(30, 0);
  EXPECT_EQ(player.life, 0);
}

TEST_F(PlayerHazardsTest, SideSpikesHurtOnlyWhenMovingIntoThemWithNothingElseSolidBeside) {
  std::string wall(76, '.');
  wall[20] = 'W';  // spikes pointing left, hurting a player moving right
  LoadCells(17, {wall, wall, wall, kGround}, {"W 94 54"});
  PlaceAt(560, kStandY);
  Step(0);
  EXPECT_EQ(player.life, 100);
  Steps(20, kRight);
  EXPECT_EQ(player.life, 84);
  EXPECT_EQ(player.x + 48, 640);

  // With a plain wall cell among the probed cells the spikes do not hurt.
  std::string mixed = wall;
  mixed[20] = '#';
  LoadCells(17, {wall, mixed, wall, kGround}, {"W 94 54"});
  player.invulnerableFrames = 0;
  Steps(20, kRight);
  EXPECT_EQ(player.life, 84);
}

TEST_F(PlayerHazardsTest, SpringLaunchesAndJumpReleaseDoesNotCutTheRise) {
  LoadCells(20, {GroundWith('S', 10, 2)});
  PlaceAt(10 * 32, 500);
  player.airborne = 1;
  int frames = 0;
  while (jumpReleaseLock == 0 && frames++ < 100) Step(0);
  EXPECT_EQ(player.airborne, 1);
  EXPECT_EQ(jumpReleaseLock, 1);
  EXPECT_LT(player.velocityY, -13.0);
  const double v = player.velocityY;
  Step(0);  // Jump not held: the rise goes on
  EXPECT_NEAR(player.velocityY, v + 0.8, 1e-9);
  while (player.airborne == 1 && frames++ < 400) Step(0);
  // Each landing on the spring launches again.
  EXPECT_EQ(player.airborne, 1);
  // A landing off it gives a released jump its cut back.
  while (player.airborne == 1 && frames++ < 600) Step(kRight);
  ASSERT_EQ(player.airborne, 0);
  Step(0);
  Step(kJump);
  Step(0);
  EXPECT_NEAR(player.velocityY, 0.0, 1e-9);
}

TEST_F(PlayerHazardsTest, CrumblingCellTurnsSolidWithAFiftyFrameTimerAndAppearingCellsBlock) {
  LoadCells(20, {GroundWith('c', 10, 1)}, {"c 31 56"});
  PlaceAt(10 * 32 - 18, kStandY);  // both feet over column 10
  Step(0);
  EXPECT_EQ(AttributeAt(10, 20), kAttrSolidBlock);
  EXPECT_EQ(ChipAt(10, 20), 1);
  ASSERT_EQ(timedCellCount, 1);
  EXPECT_EQ(std::tie(timedCells[0].cellX, timedCells[0].cellY, timedCells[0].timer), std::make_tuple(10, 20, 50));

  // A cell that appears under falling feet catches the player.
  LoadCells(14, {GroundWith('u', 8, 4), "", "", "", "", "", kGround}, {"u 0 46"});
  PlaceAt(300, 300);
  player.airborne = 1;
  for (int i = 0; i < 60 && player.airborne == 1; ++i) Step(0);
  EXPECT_EQ(AttributeAt(9, 14), kAttrSolidBlock);
  EXPECT_EQ(player.y + 64, 14 * 32);

  // A cell over the head appears while rising and stops the jump.
  LoadCells(14, {GroundWith('o', 8, 4), "", "", "", "", "", kGround}, {"o 0 47"});
  PlaceAt(300, kStandY);
  Step(0);
  for (int i = 0; i < 60; ++i) Step(kJump);
  EXPECT_EQ(AttributeAt(9, 14), kAttrSolidBlock);
  EXPECT_EQ(player.airborne, 0);
}

TEST_F(PlayerHazardsTest, EventCellShowsItsIconAndUpRaisesTheEventButACurrentCubeRaisesNone) {
  std::string row(76, '.');
  row[10] = 'a';  // door 0 under (x + 32, y + 16)
  row[20] = 'k';  // check cube
  LoadCells(18, {row, "", kGround});
  PlaceAt(10 * 32 - 32, kStandY);
  Step(0);
  EXPECT_EQ(fieldIconKind, 4);
  Steps(10, 0);
  EXPECT_EQ(fieldIconGrow, 8);
  Step(kUp | kRight);
  EXPECT_EQ(player.eventCode, 0);
  PlaceAt(10 * 32 - 32, kStandY);
  Step(kUp);
  EXPECT_EQ(player.eventCode, 4);

  player.eventCode = 0;
  PlaceAt(20 * 32 - 32, kStandY);
  Step(kUp);
  EXPECT_EQ(player.eventCode, 8);

  // Once the cube is the restart point it shows nothing and Up does nothing,
  // even straight after another event cell.
  player.eventCode = 0;
  PlaceAt(10 * 32 - 32, kStandY);
  Step(0);
  entrance = 4;
  fieldIconKind = 4;
  PlaceAt(20 * 32 - 32, kStandY);
  Step(kUp);
  EXPECT_EQ(fieldIconKind, 0);
  EXPECT_EQ(player.eventCode, 0);
}

TEST_F(PlayerHazardsTest, FloorClockCountsDownAndItsEndKillsThePlayerOnTheNextUpdate) {
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  floorTime = 2;
  for (const int left : {1, 0}) {
    Steps(60, 0);
    EXPECT_EQ(floorTime, left + 1);
    Step(0);
    EXPECT_EQ(floorTime, left);
  }
  EXPECT_EQ(player.life, 0);
  EXPECT_EQ(player.dead, 0);
  gameState.sceneFrame = 7;
  gameOvers = 30099;
  Step(0);
  EXPECT_EQ(player.dead, 1);
  EXPECT_EQ(floorTime, 0);
  EXPECT_EQ(gameState.sceneFrame, 0);
  EXPECT_EQ(gameOvers, 30100);
  for (const GameOverStarRecord& star : gameOverStars) {
    ASSERT_EQ(star.active, 1);
    ASSERT_DOUBLE_EQ(star.x, 320 + 16);  // camera at 0
    ASSERT_LE(star.vx * star.vx + star.vy * star.vy, 5.1 * 5.1 + 1e-9);
  }
  const double x = player.posX;
  Steps(5, kRight);  // the dead player no longer moves
  EXPECT_DOUBLE_EQ(player.posX, x);

  // The count stops at 30100.
  player.dead = 0;
  player.life = 0;
  Step(0);
  EXPECT_EQ(gameOvers, 30100);

  // The lowest time counts down without wrapping round to the highest.
  player.dead = 0;
  player.life = 100;
  floorTime = std::numeric_limits<std::int32_t>::min();
  floorTimeTick = 60;
  Step(0);
  EXPECT_EQ(floorTime, 0);
  EXPECT_EQ(player.life, 0);
}

TEST_F(PlayerHazardsTest, FourButtonsTogetherGiveUpInTheSameUpdate) {
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  Step(kShot | kShotChange | kJump | kDash);
  EXPECT_EQ(player.dead, 1);
  EXPECT_EQ(player.life, 0);
}

}  // namespace
}  // namespace veltrin::testing
