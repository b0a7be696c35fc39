// The hall camera: a boss near the player is framed whole, the player kept in
// view with room to spare, the shift eased when the player leaves, and the
// boss's attack clock kept to the player's own view.
#include <gtest/gtest.h>

#include "game/floor_play.h"
#include "game/player.h"
#include "game/pools.h"
#include "tests/game/enemy_fixture.h"

namespace qz::testing {
namespace {

constexpr int kButterflyColumn = 46;  // kind set 4, slot 6: 192 pixels square
constexpr int kGroundY = 44 * 32 - 64;

bool BodyWholeInView(const EnemyRecord& e) {
  return e.x + e.bodyLeft >= cameraX && e.x + e.bodyRight <= cameraX + kViewWidth &&
         e.y + e.bodyTop >= cameraY + kStatusBarHeight && e.y + e.bodyBottom <= cameraY + kViewHeight;
}

// Beside her, though her middle lies past the player's own view: the camera
// shows her whole, yet her clock waits as it did before halls were framed.
TEST_F(EnemyTest, AHallCameraFramesTheBossWithoutQuickeningItsFire) {
  EnterFloor(4, {{kButterflyColumn, 38, 6}});
  const EnemyRecord& butterfly = enemies[0];
  PlacePlayer(1100);
  ASSERT_EQ(player.y, kGroundY);
  EXPECT_TRUE(BodyWholeInView(butterfly)) << "camera " << cameraX << "," << cameraY;
  EXPECT_GE(player.x - cameraX, 48);
  EXPECT_LE(player.x + 64 - cameraX, kViewWidth - 48);
  EXPECT_GT(butterfly.x + (butterfly.bodyLeft + butterfly.bodyRight) / 2, LeadViewLeft() + kViewWidth);
  Frames(900);
  EXPECT_EQ(bulletCount, 0);
}

// Warped far from her, the player is in view at once and the camera eases
// back onto the player's lead a step a frame rather than jumping.
TEST_F(EnemyTest, AHallCameraEasesBackAndNeverLosesThePlayer) {
  EnterFloor(4, {{kButterflyColumn, 38, 6}});
  PlacePlayer(1100);
  const int framed = cameraX;
  ASSERT_GT(framed, LeadViewLeft());
  player.x = 200, player.posX = 200;
  FollowCamera();
  EXPECT_LE(cameraX, player.x - 48) << "the player outside the view's room";
  EXPECT_GT(cameraX, 0) << "the shift dropped at once";
  for (int frame = 0; frame < framed / 8 + 1; ++frame) FollowCamera();
  EXPECT_EQ(cameraX, 0);
  EXPECT_EQ(cameraShiftX, 0);
  // With nothing looming near, the camera is the player's lead.
  player.x = 500, player.posX = 500;
  PlaceCamera();
  EXPECT_EQ(cameraX, 500 - kCameraLeadX);
  EXPECT_EQ(cameraY, LeadViewTop());
}

}  // namespace
}  // namespace qz::testing
