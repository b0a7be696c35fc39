// The enemies of a floor: the record the 64 live enemies and the 11 kind
// templates share, the sprite-sheet tables that draw them, and the entry
// points of the kind setup, the behaviour and the attacks.
#pragma once

#include <cstdint>

#include "game/game_string.h"

inline constexpr int kEnemyKindSlots = 11;
inline constexpr int kFloorKindSlots = 8;  // slots 0..7 change with the kind set
inline constexpr int kAttackSlots = 3;
inline constexpr int kEnemyAnimSteps = 16;
inline constexpr int kEnemySheetCells = 16;
// Sheet tables: 0..7 the kind set's sheets, then the trap sheets in load
// order: 8 needle, 9..12 lasers left, right, down, up, 13..15 shooters red,
// blue, green, 16..18 magic balls red, blue, green.
inline constexpr int kNeedleSheetSlot = 8;
inline constexpr int kLaserSheetSlot = 9;
inline constexpr int kShooterSheetSlot = 13;
inline constexpr int kMagicBallSheetSlot = 16;
inline constexpr int kEnemySheetSlots = 19;
// Walkers fall with this gravity up to the cap and hop up at the hop speed
// plus their speed2, in pixels a frame.
inline constexpr double kEnemyGravity = 0.25;
inline constexpr double kEnemyFallCap = 12.0;
inline constexpr double kEnemyFirstFallSpeed = 1.0;  // off a ledge
inline constexpr double kEnemyHopSpeed = 5.0;

// A boss's attack clock starts this many frames back, so that its first
// volley leaves the player who just arrived time to take in the hall.
inline constexpr int kBossOpeningFrames = 120;

// The sparks a change of the moon boss looses come this many frames after
// the ring that shows it: a player at the slit sees the ring and has time to
// climb out of their way.
inline constexpr int kMoonChangeSparkDelay = 45;

// A lurker (behaviour 34) wakes and walks once the player comes this many
// pixels near sideways: on the screen, and far enough off that its 5-pixel
// charge leaves a person over half a second to meet it.
inline constexpr int kLurkerWakeDistance = 256;
inline constexpr int kLurkerBehaviour = 34;
// A hopper that rests (behaviour 38, the penguin) stands this many frames on
// the ground between hops, facing the player: long enough to be shot low or
// jumped while it stands, its rhythm plain to see.
inline constexpr int kHopperRestFrames = 90;
inline constexpr int kRestingHopperBehaviour = 38;

// Fields in storage order.
struct EnemyRecord {
  std::int32_t x, y;  // top-left of the sprite cell
  std::int32_t width, height;
  double posX, posY;
  double fallSpeed;
  std::int32_t facing;  // -1 left, +1 right
  std::int32_t hurtTimer;
  std::int32_t moveState;  // 0 on the ground, 1 in the air (flyers: moving vertically)
  std::int32_t bodyLeft, bodyTop, bodyRight, bodyBottom;
  std::int32_t weakLeft, weakTop, weakRight, weakBottom;  // weakTop -1: no weak spot
  std::int32_t counted;  // spawned by an attack: its defeat lowers requiredDefeats
  std::int32_t sizeFactor;
  std::int32_t muzzleX, muzzleY;
  std::int32_t behaviourClock, secondClock;
  std::int32_t secondPause;  // the pause type 16 drew for its second clock
  double driftX, driftY;
  std::int32_t behaviourTarget;  // teleport point, -1 none
  std::int32_t phase;            // the moon boss's phase 0..3
  double velocityX, velocityY;   // knockback
  std::int32_t sheetSlot;
  std::int32_t turnFlag;  // 1: a wall ahead turns it (type steps may clear it)
  std::int32_t animTick, animFrame;
  std::int32_t animFrames[kEnemyAnimSteps];
  std::int32_t animDurations[kEnemyAnimSteps];  // 0 ends the sequence
  std::int32_t attackTimer, attackInterval, baseInterval, volleyCount;
  std::int32_t attackSlot;  // -1: choose anew
  std::int32_t burstInterval[kAttackSlots];
  std::int32_t slotChance[kAttackSlots];
  std::int32_t aimMode[kAttackSlots];
  std::int32_t bulletsPerVolley[kAttackSlots];
  std::int32_t volleysPerBurst[kAttackSlots];  // 0 in slot 0: never attacks
  std::int32_t spreadDivisor[kAttackSlots];
  double bulletSpeed[kAttackSlots];
  std::int32_t bulletColour[kAttackSlots];  // 4: random 0..3
  std::int32_t bulletKind[kAttackSlots];
  std::int32_t bulletDamage[kAttackSlots];
  std::int32_t bulletMode[kAttackSlots];
  std::int32_t behaviour;
  std::int32_t contactDamage;
  std::int32_t contactKnockback;  // 0: 2.5, 1: 8, 2: 12
  std::int32_t life;              // alive while above 0
  std::int32_t maxLife;
  double speed, speed2;
  std::int32_t flying, ghost, actsWhileHurt;
  std::int32_t ledgeMode;  // 0 none, 1 turn, 2 jump
  std::int32_t knockbackClass;
  std::int32_t bossIndex;     // -1, or boss 0..6
  std::int32_t shotResponse;  // 0 normal, 1 shots bounce, 2 shots pass
  double damageFactor[3];     // Blaze, Gravity, Magic
  std::int32_t alpha;         // 0 opaque, else the alpha-blend parameter
};
using EnemyKindRecord = EnemyRecord;

extern EnemyKindRecord enemyKinds[kEnemyKindSlots];
// Cell handles of the kind sets' sheets; -1 where no cell was loaded.
extern int enemySheets[kFloorKindSlots][kEnemySheetCells];
extern std::int32_t laserFrame;  // 0..5, shared by every laser beam

// --- kinds (enemy_kinds.cpp)
// Rebuilds templates 0..7 and their sheets for the kind set loadedKindSet.
void SetupFloorEnemies();
// Fills template `slot` from a kind name and colour variant and, for slots
// 0..7, loads its sheet; an unknown name or variant leaves the defaults.
void InitEnemyKind(const GameString& name, int variant, int slot);
// The template slot `slot` of kind set `kindSet` holds once the floor is set
// up (8..10: the trap kinds), without loading its sheet.
EnemyKindRecord FloorEnemyKind(int kindSet, int slot);
// Copies template `slot` into live record `enemy`; the caller has placed it.
void CopyEnemyFromKind(int enemy, int slot);
// Frees every live enemy with its working fields reset.
void ResetEnemyRecords();
// Sets the trap templates 8..10; called once at start-up.
void SetupTrapKinds();
// The cell handles of sheet table `slot` and their count (0 for none).
int EnemySheetCells(int slot, const int** cells);

// --- behaviour (enemy_behaviour.cpp)
// Moves, lets attack, hurts the player on contact and draws every live enemy.
void UpdateEnemies();
void UpdateEnemyBehaviour(int enemy);
// The most pixels a frame an enemy's behaviour type moves it sideways and up
// or down; knockback, and a walker's falls and hops in place, aside.
struct EnemyTopSpeed {
  double sideways, vertical;
};
EnemyTopSpeed TopSpeedOfBehaviour(const EnemyRecord& e);
// Edges 0 left, 1 right, 2 top, 3 bottom: 1 when blocked; 4: 1 at a ledge.
int EnemyMapCollision(int edge, int enemy);

// --- attacks (enemy_attacks.cpp)
void UpdateEnemyAttack(int enemy);
void EnemyFireBullet(int enemy);
// Removes a beaten enemy; byMagic 1 turns it into a block.
void DefeatEnemy(int enemy, int byMagic);
