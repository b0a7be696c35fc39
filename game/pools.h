// The fixed pools of a floor's short-lived things: player shots, enemy
// bullets, effects, enemies and timed cells, each with the live counter its
// owners keep (one up on spawn, one down on free).
#pragma once

#include <cstdint>

#include "game/enemies.h"
#include "game/shot_record.h"

inline constexpr int kPlayerShotPoolSize = 64;
inline constexpr int kBulletPoolSize = 512;
inline constexpr int kEffectPoolSize = 256;
inline constexpr int kEnemyPoolSize = 64;
inline constexpr int kTimedCellPoolSize = 32;

// The pool kinds FindFreeSlot takes (4 names no pool).
enum PoolKind : int {
  kPoolPlayerShots = 0,
  kPoolEnemyBullets = 1,
  kPoolEffects = 2,
  kPoolEnemies = 3,
  kPoolTimedCells = 5,
};

// Fields in storage order.
struct EffectRecord {
  double x, y;  // floor pixels; for kinds 0..2 x is relative to the player's x
  std::int32_t kind;      // 0..17
  std::int32_t frame;     // cell of the kind's sheet
  std::int32_t duration;  // frames; freed when frame reaches it
  std::int32_t param;     // 1, or for kind 4 the magic pip it sparkles on
  double angle;           // radians
  double scale;
  std::int32_t inUse;
};

struct TimedCellRecord {
  std::int32_t cellX, cellY;
  std::int32_t timer;  // frames until the cell empties
  std::int32_t inUse;
};

extern ShotRecord playerShots[kPlayerShotPoolSize];
extern ShotRecord enemyBullets[kBulletPoolSize];
extern EffectRecord effects[kEffectPoolSize];
extern EnemyRecord enemies[kEnemyPoolSize];  // live while life > 0
extern TimedCellRecord timedCells[kTimedCellPoolSize];
extern std::int32_t playerShotCount, bulletCount, effectCount, enemyCount, timedCellCount;

// The lowest free index of the pool, or -1 when it is full or the kind names
// no pool. The record is not marked; the caller fills it and counts it.
int FindFreeSlot(int pool);
// Frees every player shot, enemy bullet, effect and timed cell.
void EmptyObjectPools();
// Frees every player shot, enemy bullet and effect (a floor change keeps
// nothing of them).
void EmptyShotAndEffectPools();
// Frees every enemy bullet.
void EmptyBulletPool();
