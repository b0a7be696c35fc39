// Enemies on generated floors, headless: the templates every kind set builds,
// enemies placed from a floor file, a walker meeting a wall, the knock-back of
// touching an enemy, a shooter's bullet reaching the player, counters kept
// once when an enemy leaves the field, drawing probed on the cell-colour data
// set, and a boss's defeat.
#include <algorithm>
#include <tuple>

#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/shot_record.h"
#include "tests/game/enemy_fixture.h"

namespace {

using qz::testing::EnemyTest;
using qz::testing::ScreenPixel;

// Slots each kind set fills and the boss slot that ends it.
struct KindSetShape {
  int slots;
  int bossSlot;  // -1: the set has no boss
  int bossIndex;
};
constexpr KindSetShape kSets[] = {{6, 5, 0}, {7, 6, 1}, {8, 7, 2}, {7, 6, 3}, {8, 7, 4},
                                  {8, 7, 5}, {7, -1, -1}, {4, -1, -1}, {5, 0, 6}};

TEST_F(EnemyTest, EveryKindSetBuildsItsTemplatesAndSheets) {
  SetupTrapKinds();
  for (int set = 1; set <= 9; ++set) {
    SCOPED_TRACE(set);
    loadedKindSet = set;
    SetupFloorEnemies();
    const KindSetShape& shape = kSets[set - 1];
    for (int slot = 0; slot < kFloorKindSlots; ++slot) {
      const EnemyKindRecord& k = enemyKinds[slot];
      SCOPED_TRACE(slot);
      if (slot >= shape.slots) {
        EXPECT_EQ(k.life, 0);
        continue;
      }
      EXPECT_GT(k.life, 0);
      EXPECT_EQ(k.maxLife, k.life);
      EXPECT_EQ(k.attackInterval, k.baseInterval);
      EXPECT_EQ(k.sheetSlot, slot);
      EXPECT_EQ(k.width % 32, 0);
      EXPECT_GT(k.animDurations[0], 0);
      EXPECT_NE(enemySheets[slot][0], -1) << "sheet loaded";
      EXPECT_EQ(k.bossIndex, slot == shape.bossSlot ? shape.bossIndex : -1);
    }
    // The campaign check's templates, made without sheets, are the game's.
    for (int slot = 0; slot < kEnemyKindSlots; ++slot) {
      SCOPED_TRACE(slot);
      const EnemyKindRecord built = FloorEnemyKind(set, slot);
      const EnemyKindRecord& k = enemyKinds[slot];
      EXPECT_EQ(std::make_tuple(built.behaviour, built.speed, built.speed2, built.flying, built.life, built.sheetSlot),
                std::make_tuple(k.behaviour, k.speed, k.speed2, k.flying, k.life, k.sheetSlot));
      EXPECT_EQ(std::make_tuple(built.width, built.bodyTop, built.bodyBottom, built.muzzleY, built.sizeFactor),
                std::make_tuple(k.width, k.bodyTop, k.bodyBottom, k.muzzleY, k.sizeFactor));
      for (int attack = 0; attack < kAttackSlots; ++attack) {
        EXPECT_EQ(std::make_tuple(built.aimMode[attack], built.volleysPerBurst[attack], built.bulletSpeed[attack],
                                  built.bulletKind[attack], built.slotChance[attack]),
                  std::make_tuple(k.aimMode[attack], k.volleysPerBurst[attack], k.bulletSpeed[attack],
                                  k.bulletKind[attack], k.slotChance[attack]));
      }
    }
  }
  // Set 1: the black slime is scaled twice, its missing weak spot kept.
  loadedKindSet = 1;
  SetupFloorEnemies();
  const EnemyKindRecord& b = enemyKinds[4];
  EXPECT_EQ(std::tie(b.width, b.height, b.bodyLeft, b.bodyTop, b.bodyRight, b.bodyBottom, b.weakTop),
            std::make_tuple(128, 128, 24, 56, 104, 128, -1));
  EXPECT_EQ(b.attackInterval, 90);
  EXPECT_EQ(b.alpha, 0) << "drawn solid";
  // A set outside 1..9 leaves every kind slot at the defaults, sheets freed;
  // the trap kinds stay as start-up made them.
  loadedKindSet = 12;
  SetupFloorEnemies();
  for (int slot = 0; slot < kFloorKindSlots; ++slot) {
    const EnemyKindRecord& k = enemyKinds[slot];
    EXPECT_EQ(std::tie(k.life, k.baseInterval, k.slotChance[2], enemySheets[slot][0]), std::make_tuple(0, 100, 100, -1))
        << "slot " << slot;
  }
  EXPECT_EQ(enemyKinds[8].life, 1);
  EXPECT_EQ(enemyKinds[8].sheetSlot, kNeedleSheetSlot);
  EXPECT_EQ(enemyKinds[10].sheetSlot, kShooterSheetSlot);
}

TEST_F(EnemyTest, EnemiesArePlacedFromTheFloorAndABeatenBossStaysAway) {
  // A slime on the ground of row 44, one standing in the ground, and the boss.
  EnterFloor(1, {{10, 42, 0}, {20, 43, 1}, {30, 38, 5}});
  ASSERT_EQ(enemyCount, 3);
  const EnemyRecord& slime = enemies[0];
  EXPECT_EQ(slime.x, 320);
  EXPECT_EQ(slime.y, 42 * 32 - 1) << "lifted one pixel over its cell";
  EXPECT_EQ(std::tie(slime.facing, slime.moveState, slime.behaviourTarget, slime.life), std::make_tuple(-1, 0, -1, 1));
  EXPECT_EQ(enemies[2].life, 18);
  EXPECT_EQ(enemies[2].width, 192);

  gameState.FloorProgress.bossDefeated[0] = 1;
  EnterFloor(1, {{30, 38, 5}});
  EXPECT_EQ(enemies[0].life, 0) << "a beaten boss does not return";
}

TEST_F(EnemyTest, AWalkerStandsOnTheGroundAndTurnsAtAWall) {
  // The red slime walks at 0.8; column 0 is wall. Its attack is taken away.
  EnterFloor(1, {{3, 42, 2}});
  enemies[0].volleysPerBurst[0] = 0;
  PlacePlayer(2000);
  cameraX = 0;
  int leftmost = 9999;
  bool turned = false;
  for (int i = 0; i < 200 && !turned; ++i) {
    Frames(1);
    leftmost = std::min(leftmost, enemies[0].x + enemies[0].bodyLeft);
    turned = enemies[0].facing == 1;
  }
  ASSERT_TRUE(turned);
  EXPECT_GE(leftmost, 32) << "never inside the wall";
  EXPECT_LE(leftmost, 34) << "turned at the wall, not before it";
  EXPECT_EQ(enemies[0].y, 44 * 32 - 64) << "feet on the ground cell";
  EXPECT_EQ(enemies[0].moveState, 0);
  const double before = enemies[0].posX;
  Frames(10);
  EXPECT_NEAR(enemies[0].posX - before, 8.0, 1e-9) << "walks right at its speed";
}

TEST_F(EnemyTest, TouchingAnEnemyKnocksThePlayerBackwardsFromWhereItFacesByTheKindsClass) {
  // A blue slime stands and turns to the player, so its facing follows the side.
  EnterFloor(1, {{20, 42, 0}});
  Frames(2);
  const EnemyRecord& slime = enemies[0];
  ASSERT_EQ(slime.y + slime.bodyBottom, 44 * 32);
  struct Class {
    int contactKnockback;
    double push;
  };
  for (const Class c : {Class{0, 2.5}, Class{1, 8.0}, Class{2, 12.0}, Class{4, 2.5}}) {
    for (const int side : {-1, 1}) {
      for (const int facing : {-1, 1}) {
        SCOPED_TRACE(::testing::Message() << "class " << c.contactKnockback << ", side " << side
                                          << ", facing " << facing);
        enemies[0].contactKnockback = c.contactKnockback;
        PlacePlayer(slime.x + 24 * side);
        player.facing = facing;
        Frames(1);
        EXPECT_EQ(slime.facing, side);
        EXPECT_EQ(player.life, 100 - slime.contactDamage);
        EXPECT_EQ(player.invulnerableFrames, 16);
        EXPECT_DOUBLE_EQ(player.velocityX, -c.push * facing);
      }
    }
  }
}

TEST_F(EnemyTest, AShooterFiresABulletThatHitsThePlayer) {
  // The green slime fires straight ahead every 160 frames: 1.8 a frame, 10 damage.
  EnterFloor(1, {{20, 42, 1}});
  PlacePlayer(440);
  int hitFrame = -1;
  for (int frame = 1; frame <= 400 && hitFrame < 0; ++frame) {
    Frames(1);
    if (frame == 160) {
      ASSERT_EQ(bulletCount, 1) << "the volley leaves on the 160th frame";
      const ShotRecord& b = enemyBullets[0];
      // From the muzzle at the body's left edge (facing left), moved once.
      EXPECT_DOUBLE_EQ(b.x, 640 + 12 + 2 - 24 - 1.8);
      EXPECT_DOUBLE_EQ(b.y, 44 * 32 - 64 + (28 + 64) / 2 - 12);
      EXPECT_DOUBLE_EQ(b.vx, -1.8);
      EXPECT_EQ(b.colourRow, 2);
      EXPECT_EQ(b.life, 319);
    }
    if (player.life != 100) hitFrame = frame;
  }
  ASSERT_GT(hitFrame, 160);
  EXPECT_EQ(player.life, 90);
  EXPECT_DOUBLE_EQ(player.velocityX, -2.5) << "pushed along the bullet's flight";
  EXPECT_EQ(bulletCount, 0);
  // The hit point (x + 12) entered the player's box (x + 44) that frame.
  const double travelled = 1.8 * (hitFrame - 160);
  EXPECT_LE(630 + 12 - travelled, 440 + 44 + 1.8);
}

TEST_F(EnemyTest, AnEnemyLeavingTheFieldIsCountedOffOnce) {
  // A counted needle (a trap kind) falling out of the bottom of the field,
  // off view: its behaviour removes it and the view test must not again.
  EnterFloor(1, {{5, 42, 0}});
  PlacePlayer(200);
  EnemyRecord& needle = enemies[1];
  needle.x = 1000, needle.y = 1530;
  needle.posX = needle.x, needle.posY = needle.y;
  CopyEnemyFromKind(1, 8);
  needle.speed2 = 8.0;
  needle.counted = 1;
  enemyCount = 2;
  requiredDefeats = 1;
  Frames(1);
  EXPECT_EQ(needle.life, 0);
  EXPECT_EQ(enemyCount, 1);
  EXPECT_EQ(requiredDefeats, 0);
  EXPECT_GT(enemies[0].life, 0);
}

TEST_F(EnemyTest, EnemiesAreDrawnFromTheirSheetCells) {
  // A blue bat (32 by 32, opaque) and the moon boss scaled four times.
  EnterFloor(3, {{12, 30, 0}});
  PlacePlayer(300);
  cameraX = cameraY = 0;
  cameraY = 30 * 32 - 200;
  enemies[0].volleysPerBurst[0] = 0;
  qz::ClearDrawTarget(nullptr);
  Frames(1);
  const EnemyRecord& bat = enemies[0];
  EXPECT_EQ(bat.x, 12 * 32 - 4) << "walked 3.5 to the left";
  const std::uint32_t batCell = Cell("enemy_バット_青.png", 0);
  EXPECT_EQ(ScreenPixel(bat.x + 16 - cameraX, bat.y + 16 - cameraY), batCell);
  EXPECT_NE(ScreenPixel(bat.x + 40 - cameraX, bat.y + 16 - cameraY), batCell);
}

TEST_F(EnemyTest, ABossDefeatClearsTheFloorAndEndsInTheDoorFade) {
  EnterFloor(1, {{10, 42, 1}, {30, 38, 5}});
  PlacePlayer(40);  // out of the slime's point-blank range
  enemies[0].attackInterval = 1;
  Frames(2);
  ASSERT_GT(bulletCount, 0);
  DefeatEnemy(1, 0);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[0], 1);
  EXPECT_EQ(gameState.defeatedBoss, 0);
  EXPECT_EQ(gameState.bossCountdown, 256);
  EXPECT_EQ(bulletCount, 0);
  EXPECT_EQ(enemyCount, 0);
  EXPECT_EQ(enemies[0].life, 0);
  for (int i = 0; i < 255; ++i) RunBossDefeatCountdown();
  EXPECT_EQ(gameState.bossCountdown, 1);
  EXPECT_EQ(fadeRequest, 0);
  RunBossDefeatCountdown();
  EXPECT_EQ(gameState.bossCountdown, 0);
  EXPECT_EQ(fadeRequest, 2);
  EXPECT_EQ(skipFade, 1);
}

TEST_F(EnemyTest, AMagicDefeatLeavesABlockOnlyInsideTheField) {
  EnterFloor(1, {{10, 42, 0}, {20, 42, 0}});
  EnemyRecord& inside = enemies[0];
  const int cx = (inside.x + inside.width / 2) / 32, cy = (inside.y + inside.height - 8) / 32;
  DefeatEnemy(0, 1);
  EXPECT_EQ(AttributeAt(cx, cy), kAttrSolidBlock);
  EXPECT_EQ(ChipAt(cx, cy), 1);
  // Past the right edge of the field the reader answers 0: nothing is written.
  EnemyRecord& outside = enemies[1];
  outside.x = 2440;
  const std::int32_t beyond = attributeLayer[MapCellIndex(77, cy)];
  DefeatEnemy(1, 1);
  EXPECT_EQ(attributeLayer[MapCellIndex(77, cy)], beyond);
  EXPECT_EQ(enemyCount, 0);
}

}  // namespace
