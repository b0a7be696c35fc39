// Player shots against enemies on a walled floor: a Blaze shot hurting a
// walker by its truncated damage factor until it is defeated, a defeat
// counting off the floor's required defeats only for counted enemies, the Blaze
// blast reaching the enemies whose body lies within its square, and a
// Gravity shot knocking them back by their class.
#include <gtest/gtest.h>

#include <utility>

#include "game/crossfade.h"
#include "game/player.h"
#include "game/player_shots.h"
#include "game/pools.h"
#include "tests/game/enemy_fixture.h"

namespace qz::testing {
namespace {

class PlayerShotEnemyTest : public EnemyTest {
 protected:
  // Two red slimes standing still without attacks: at column 20 and far off
  // at 60; the player at `playerX`.
  void EnterWithSlimes(int playerX) {
    EnterFloor(1, {{20, 42, 2}, {60, 42, 2}});
    for (int i = 0; i < 2; ++i) {
      enemies[i].volleysPerBurst[0] = 0;
      enemies[i].speed = 0.0;
    }
    fadeRequest = 0;
    PlacePlayer(playerX);
  }
  // A Blaze shot from the player squatting and facing right (low enough for
  // a slime's body), flown until it ends.
  static void FireBlazeAndFly() {
    player.facing = 1;
    player.squat = 1;
    player.magic = player.maxMagic = 40;
    player.shotCooldown = 0;
    FirePlayerShot(0);
    ASSERT_EQ(playerShotCount, 1);
    for (int i = 0; i < 60 && playerShotCount > 0; ++i) Frames(1);
    ASSERT_EQ(playerShotCount, 0);
  }
};

TEST_F(PlayerShotEnemyTest, BlazeShotsHurtAWalkerByTheTruncatedFactorAndTheSecondDefeatsIt) {
  EnterWithSlimes(500);
  player.shotLevel[0] = 1;  // 18 frames of flight reach the slime at 640
  EnemyRecord& slime = enemies[0];
  slime.life = 4;
  slime.damageFactor[0] = 2.7;  // power 1 x 2.7 takes 2
  const int live = enemyCount;

  FireBlazeAndFly();
  EXPECT_EQ(slime.life, 2) << "one Blaze shot takes the truncated 2";
  EXPECT_EQ(enemyCount, live);

  Frames(10);  // the stun is over
  FireBlazeAndFly();
  EXPECT_EQ(slime.life, 0);
  EXPECT_EQ(enemyCount, live - 1) << "the second shot defeats it";
  EXPECT_EQ(enemies[1].life, 1) << "the far slime is untouched";

  // A slime that shots bounce off takes nothing; the shot still ends on it.
  EnterWithSlimes(500);
  enemies[0].shotResponse = 1;
  FireBlazeAndFly();
  EXPECT_EQ(enemies[0].life, 1);
  EXPECT_EQ(enemyCount, 2);
}

// One an attack spawned is counted towards the floor's required defeats; one
// the floor placed is not.
TEST_F(PlayerShotEnemyTest, ShootingDownACountedEnemyCountsOffOneRequiredDefeatAndAPlacedOneNone) {
  for (const auto& [counted, left] : {std::pair{1, 2}, std::pair{0, 3}}) {
    SCOPED_TRACE(counted);
    EnterWithSlimes(500);
    player.shotLevel[0] = 1;
    enemies[0].counted = counted;
    requiredDefeats = 3;
    FireBlazeAndFly();
    ASSERT_EQ(enemies[0].life, 0);
    EXPECT_EQ(requiredDefeats, left);
    EXPECT_EQ(enemyCount, 1);
  }
}

TEST_F(PlayerShotEnemyTest, TheBlastHurtsEnemiesWhoseBodyTouchesItsSquareOnceWhileStunned) {
  EnterWithSlimes(100);
  EnemyRecord& slime = enemies[0];
  slime.life = 3;
  slime.damageFactor[0] = 1.5;
  const int bodyLeft = slime.x + slime.bodyLeft;
  const int centreY = slime.y + (slime.bodyTop + slime.bodyBottom) / 2;

  ExplodePlayerBlast(bodyLeft - 71, centreY);
  EXPECT_EQ(slime.life, 3) << "one pixel short of the body";
  ExplodePlayerBlast(bodyLeft - 70, centreY);
  EXPECT_EQ(slime.life, 2) << "the square's edge touches the body: the truncated factor 1";
  EXPECT_EQ(slime.hurtTimer, 2);
  ExplodePlayerBlast(bodyLeft - 70, centreY);
  EXPECT_EQ(slime.life, 2) << "a stunned enemy is not hurt again";

  slime.hurtTimer = 0;
  const int live = enemyCount;
  ExplodePlayerBlast(bodyLeft, centreY);
  slime.hurtTimer = 0;
  ExplodePlayerBlast(bodyLeft, centreY);
  EXPECT_EQ(slime.life, 0);
  EXPECT_EQ(enemyCount, live - 1) << "the blast defeats it";
  EXPECT_EQ(enemies[1].life, 1) << "out of reach";
}

TEST_F(PlayerShotEnemyTest, AGravityShotHurtsNothingButKnocksLightEnemiesAlongItsFlight) {
  EnterWithSlimes(100);
  EnemyRecord& slime = enemies[0];
  // A Gravity shot flying left whose hit point lies in the slime's body.
  const auto strike = [&](int knockbackClass) {
    slime.knockbackClass = knockbackClass;
    slime.velocityX = 0.0;
    ShotRecord& shot = playerShots[0];
    shot = ShotRecord{};
    shot.x = slime.x + 32 - 12;
    shot.y = slime.y + 48 - 12;
    shot.graphicBase = 6, shot.stun = 2, shot.direction = 4, shot.inUse = 1;
    EXPECT_EQ(PlayerShotMapHit(0), 1) << "the shot ends on the enemy";
    return slime.velocityX;
  };
  EXPECT_EQ(strike(0), -8.0);
  EXPECT_EQ(strike(1), -4.0);
  EXPECT_EQ(strike(2), 0.0);
  EXPECT_EQ(slime.life, 1) << "power 0 takes no life";
  EXPECT_EQ(slime.hurtTimer, 2);
}

}  // namespace
}  // namespace qz::testing
