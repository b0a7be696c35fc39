// The player's movement on scripted pads over small floors: the jump arc and
// its release, walking to the cap and friction, the wall snap, the dash and
// the slow-down after it, standing with one foot over a ledge, one-way
// platforms and the drop through them.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/game/player_floor.h"

namespace veltrin::testing {
namespace {

class PlayerMovementTest : public PlayerFloorTest {
 protected:
  void SetUp() override {
    PlayerFloorTest::SetUp();
    LoadCells(20, {kGround});
    PlaceAt(320, kStandY);
    Step(0);
  }
};

TEST_F(PlayerMovementTest, JumpRisesWithGravityLandsOnTheCellAndDoesNotRepeatWhileHeld) {
  Step(kJump);
  EXPECT_EQ(player.airborne, 1);
  EXPECT_DOUBLE_EQ(player.posY, kStandY - 13.0);
  EXPECT_NEAR(player.velocityY, -12.2, 1e-9);
  double highest = player.posY;
  int frames = 1;
  while (player.airborne == 1 && frames < 100) {
    Step(kJump);
    highest = std::min(highest, player.posY);
    ++frames;
  }
  // Rise 13 + 12.2 + ... + 0.2, then fall back onto the ground row.
  EXPECT_NEAR(highest, kStandY - 112.2, 1e-6);
  // Landing takes off the whole pixels past the cell boundary.
  EXPECT_EQ(player.airborne, 0);
  EXPECT_EQ(player.y, static_cast<int>(kStandY));
  EXPECT_LT(player.posY, kStandY + 1);
  Steps(5, kJump);  // still held: no new jump
  EXPECT_EQ(player.airborne, 0);
  Step(0);
  Step(kJump);
  EXPECT_EQ(player.airborne, 1);
}

// Under a ceiling two cells above the ground a jump bumps the head back down
// at once; at rest on the ground row it has not landed until it falls.
TEST_F(PlayerMovementTest, UnderALowCeilingAJumpBumpsBackAndLandsOnceItFalls) {
  LoadCells(17, {kGround, "", "", kGround});
  Step(kJump);
  EXPECT_EQ(player.airborne, 1);
  EXPECT_DOUBLE_EQ(player.posY, kStandY);
  EXPECT_DOUBLE_EQ(player.velocityY, 0.0);
  Step(kJump);
  EXPECT_EQ(player.airborne, 1) << "not moving down";
  Step(kJump);
  EXPECT_EQ(player.airborne, 0) << "moving down";
  EXPECT_EQ(player.y, kStandY);
}

// Any upward speed bumps the head, even the slowest rise of a cut jump; a
// head that clipped a ceiling's underside while not rising falls on.
TEST_F(PlayerMovementTest, AHeadBumpsOnlyWhileRising) {
  LoadCells(14, {kGround});  // its underside is at y 480
  PlaceAt(320, 480.5);
  player.airborne = 1;
  player.velocityY = -0.8;
  Step(0);
  EXPECT_EQ(player.y, 480);
  EXPECT_DOUBLE_EQ(player.velocityY, 0.0);
  PlaceAt(320, 476);
  player.airborne = 1;
  Step(0);
  EXPECT_DOUBLE_EQ(player.posY, 476);
  EXPECT_DOUBLE_EQ(player.velocityY, 0.8);
}

TEST_F(PlayerMovementTest, ReleasingJumpCutsTheRiseAndHighJumpAndMapFlagChangeTheSpeed) {
  Steps(3, kJump);
  Step(0);
  EXPECT_NEAR(player.velocityY, 0.0, 1e-9);  // -0.8 then gravity
  while (player.airborne == 1) Step(0);
  // Released on the last rising frame (-0.2) it still stops dead.
  Steps(16, kJump);
  ASSERT_NEAR(player.velocityY, -0.2, 1e-9);
  Step(0);
  EXPECT_NEAR(player.velocityY, 0.0, 1e-9);
  while (player.airborne == 1) Step(0);

  player.ProgressFlags[kHighJump] = 1;
  Step(kJump);
  EXPECT_NEAR(player.velocityY, -15.0 + 0.8, 1e-9);
  while (player.airborne == 1) Step(kJump);
  mapFlags[kMapFlagJumpBonus] = 1;
  Step(0);
  Step(kJump);
  EXPECT_NEAR(player.velocityY, -13.0 + 0.8, 1e-9);
}

TEST_F(PlayerMovementTest, WalkingAcceleratesToTheCapAndFrictionStopsIt) {
  const double expected[] = {0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 3.75, 3.75};
  double x = player.posX;
  for (double v : expected) {
    Step(kRight);
    x += v;
    EXPECT_DOUBLE_EQ(player.velocityX, v);
    EXPECT_DOUBLE_EQ(player.posX, x);
  }
  EXPECT_EQ(player.facing, 1);
  for (double v : {3.25, 2.75, 2.25, 1.75, 1.25, 0.75, 0.25, 0.0}) {
    Step(0);
    EXPECT_DOUBLE_EQ(player.velocityX, v);
  }
  Step(kLeft);
  EXPECT_DOUBLE_EQ(player.velocityX, -0.5);
  EXPECT_EQ(player.facing, -1);
}

TEST_F(PlayerMovementTest, IceKeepsTheSpeedAndInertiaSlowsTheStart) {
  LoadCells(20, {std::string(76, 'I')});
  Steps(10, kRight);
  Steps(5, 0);
  EXPECT_EQ(player.onSlipperyFloor, 1);
  EXPECT_DOUBLE_EQ(player.velocityX, 3.75);

  LoadCells(20, {kGround});
  Steps(20, 0);
  mapFlags[kMapFlagInertia] = 1;
  Step(kRight);
  EXPECT_DOUBLE_EQ(player.velocityX, 0.14);
  player.ProgressFlags[kStabilityPendant] = 1;
  Step(kRight);
  EXPECT_DOUBLE_EQ(player.velocityX, 0.34);
}

TEST_F(PlayerMovementTest, WallsStopTheWalkWithTheEdgeOnTheCellBoundary) {
  std::string wallRow(76, '.');
  wallRow[20] = '#';  // pixels 640..671
  wallRow[5] = '#';   // pixels 160..191
  LoadCells(17, {wallRow, wallRow, wallRow, kGround});
  PlaceAt(480, kStandY);
  for (int i = 0; i < 120; ++i) {
    Step(kRight);
    ASSERT_LE(player.x + 48, 640) << "frame " << i;
  }
  EXPECT_EQ(player.x, 640 - 48);
  EXPECT_DOUBLE_EQ(player.velocityX, 0.0);
  for (int i = 0; i < 240; ++i) {
    Step(kLeft);
    ASSERT_GE(player.x + 16, 192) << "frame " << i;
  }
  EXPECT_EQ(player.x + 16, 192);
  // Pushing on the wall built no speed into it: turning away leaves it within
  // three frames.
  Steps(3, kRight);
  EXPECT_GT(player.x + 16, 192);
  // Squatting widens the probes by 6 on each side: a squat sliding into a
  // wall stops 6 short of where a walk does.
  for (const auto& [x, speed, edge, wall] : {std::tuple{577, 3.75, 54, 640}, std::tuple{191, -3.75, 10, 192}}) {
    PlaceAt(x, kStandY);
    player.velocityX = speed;
    Steps(8, kDown);
    EXPECT_EQ(player.squat, 1);
    EXPECT_EQ(player.x + edge, wall);
  }
}

TEST_F(PlayerMovementTest, GroundDashRunsTwentyFourFramesThenSlowsToTheWalkingCap) {
  player.ProgressFlags[kHoverdash] = 1;
  Step(kDash);
  EXPECT_EQ(player.dashState, 1);
  EXPECT_EQ(player.dashTimer, 24);
  const double speeds[] = {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 6.5, 6.5};
  for (int k = 0; k < 8; ++k) {
    Step(kRight | kJump);  // a held Jump does nothing during the dash
    EXPECT_DOUBLE_EQ(player.velocityX, speeds[k]);
    EXPECT_EQ(player.dashTimer, 23 - k);
    EXPECT_EQ(player.airborne, 0);
  }
  Steps(14, kRight);
  EXPECT_EQ(player.dashTimer, 2);
  EXPECT_EQ(player.dashState, 1);
  Step(kRight);
  EXPECT_EQ(player.dashState, 0);
  EXPECT_EQ(player.dashTimer, 0);
  // Holding the direction slows by a quarter pixel a frame to exactly 3.75.
  for (double v : {6.25, 6.0, 5.75, 5.5, 5.25, 5.0, 4.75, 4.5, 4.25, 4.0, 3.75, 3.75}) {
    Step(kRight);
    EXPECT_DOUBLE_EQ(player.velocityX, v);
  }
  // Facing left it speeds up to the same cap.
  Steps(20, 0);
  Step(kLeft);
  Step(kDash);
  for (double v : speeds) {
    Step(kLeft);
    EXPECT_DOUBLE_EQ(player.velocityX, -v);
  }
}

TEST_F(PlayerMovementTest, HeldDashRepeatsOnTheGroundButTheAirDashNeedsAFreshPressAndTheUpgrade) {
  player.ProgressFlags[kHoverdash] = 1;
  Step(kDash);
  // Restarted as each runs out, with no frame between for a held Jump.
  for (int t = 0; t < 60; ++t) {
    Step(kDash | kJump);
    ASSERT_EQ(player.dashState, 1) << "frame " << t;
    ASSERT_EQ(player.airborne, 0) << "frame " << t;
  }
  Steps(30, 0);
  Step(kJump);
  Step(kJump | kDash);
  EXPECT_EQ(player.dashState, 0);  // no Airdash
  player.ProgressFlags[kAirdash] = 1;
  Step(kJump | kDash);
  EXPECT_EQ(player.dashState, 0);  // not a fresh press
  Step(kJump);
  Step(kJump | kDash);
  EXPECT_EQ(player.dashState, 2);
  EXPECT_EQ(player.airDashUsed, 1);
  const double heldY = player.posY;
  Steps(10, kJump);
  EXPECT_DOUBLE_EQ(player.posY, heldY);  // an air dash keeps its height
  while (player.dashState == 2) Step(0);
  EXPECT_DOUBLE_EQ(player.posY, heldY);
  Step(0);
  EXPECT_DOUBLE_EQ(player.posY, heldY + 0.8) << "and falls from rest after it";
  Step(kDash);
  EXPECT_EQ(player.dashState, 0);  // once per airtime
  // Held through the landing, Dash starts a ground dash only the frame after.
  while (player.airborne == 1) Step(kDash);
  EXPECT_EQ(player.dashState, 0);
  Step(kDash);
  EXPECT_EQ(player.dashState, 1);
  while (player.dashState != 0) Step(0);
  // A scene change's dash block stops one dash.
  dashBlock = 1;
  Step(kDash);
  EXPECT_EQ(player.dashState, 0);
  EXPECT_EQ(dashBlock, 0);
  Step(kDash);
  EXPECT_EQ(player.dashState, 1);
  // The landing gave the next airtime its air dash back.
  while (player.dashState != 0) Step(0);
  Step(kJump);
  Step(kJump | kDash);
  EXPECT_EQ(player.dashState, 2);
}

TEST_F(PlayerMovementTest, AGroundDashOffALedgeEndsAndFalls) {
  LoadCells(20, {GroundWith('.', 12, 20)});
  PlaceAt(320, kStandY);
  Step(0);
  player.ProgressFlags[kHoverdash] = 1;
  Step(kDash);
  Steps(20, 0);
  EXPECT_EQ(player.airborne, 1);
  EXPECT_EQ(player.dashState, 0);
  EXPECT_GT(player.y, static_cast<int>(kStandY));
}

// Shot is swallowed from a dash's press to its end, on the ground and in the
// air; the first press after it fires.
TEST_F(PlayerMovementTest, NoShotFiresFromADashsPressToItsEnd) {
  player.ProgressFlags[kHoverdash] = player.ProgressFlags[kAirdash] = 1;
  player.magic = player.maxMagic = 40;
  player.shotLevel[0] = 1;
  Step(kDash);
  Step(kDash | kShot);
  EXPECT_EQ(playerShotCount, 0) << "pressed during a ground dash";
  while (player.dashState != 0) Step(0);
  Step(kShot);
  EXPECT_EQ(playerShotCount, 1) << "pressed after it";
  Steps(30, 0);
  Step(kJump);
  Step(kJump | kDash | kShot);
  EXPECT_EQ(player.dashState, 2);
  EXPECT_EQ(playerShotCount, 1) << "pressed with the air dash";
  Step(kJump);
  Step(kJump | kShot);
  EXPECT_EQ(playerShotCount, 1) << "pressed during the air dash";
}

// The feet probe x + 18 and x + 44: either alone on the ground's last pixel
// holds the player, and a pixel past it neither does.
TEST_F(PlayerMovementTest, OneFootOverTheGroundHoldsThePlayerAndNoFootDropsIt) {
  struct Case {
    const char* what;
    std::string ground;
    int held, dropped;
  };
  for (const Case& c : {Case{"the left foot on columns 0..9", std::string(10, '#'), 320 - 19, 320 - 18},
                        Case{"the right foot on column 10 on", std::string(10, '.') + std::string(66, '#'), 320 - 44,
                             320 - 45}}) {
    SCOPED_TRACE(c.what);
    LoadCells(20, {c.ground});
    PlaceAt(c.held, kStandY);
    Steps(30, 0);
    EXPECT_EQ(player.airborne, 0);
    EXPECT_DOUBLE_EQ(player.posY, kStandY);
    PlaceAt(c.dropped, kStandY);
    Step(0);
    EXPECT_EQ(player.airborne, 1);
  }
}

TEST_F(PlayerMovementTest, OneWayPlatformsCarryAndDownJumpDropsThrough) {
  const std::string platform = std::string(8, '.') + std::string(12, '=');
  LoadCells(16, {platform, "", "", "", kGround});
  // Jump up through the platform (row 16) from below and land on it.
  PlaceAt(320, kStandY);
  Step(0);
  int frames = 0;
  while ((player.airborne == 1 || frames == 0) && frames < 200) {
    Step(kJump);
    ++frames;
  }
  EXPECT_EQ(player.y + 64, 16 * 32);
  EXPECT_EQ(player.airborne, 0);
  // Down and Jump fall through instead of jumping.
  Step(0);
  Step(kDown | kJump);
  EXPECT_EQ(player.airborne, 1);
  EXPECT_EQ(player.jumpStartRow, 16);
  EXPECT_NEAR(player.velocityY, 1.6, 1e-9);
  while (player.airborne == 1) Step(kDown | kJump);
  EXPECT_EQ(player.y, static_cast<int>(kStandY));
  // On solid ground Down and Jump is an ordinary jump.
  Step(0);
  Step(kDown | kJump);
  EXPECT_LT(player.velocityY, 0.0);
}

}  // namespace
}  // namespace veltrin::testing
