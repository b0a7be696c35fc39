// The enemies of a floor: the 64 live records, the 11 kind templates they are
// copied from, and their per-frame update. The enemies issues complete the
// record and the behaviour; the fields here are the ones the floor uses.
#pragma once

#include <cstdint>

inline constexpr int kEnemyKindSlots = 11;

struct EnemyRecord {
  std::int32_t x, y;  // top-left of the sprite cell
  double posX, posY;
  std::int32_t life;  // alive while above 0
  std::int32_t bossIndex;  // -1, or boss 0..6
};
using EnemyKindRecord = EnemyRecord;

extern EnemyKindRecord enemyKinds[kEnemyKindSlots];

// Rebuilds templates 0..7 for the floor's kind set (loadedKindSet).
void SetupFloorEnemies();
// Copies template `slot` into live record `enemy`; the caller has placed it.
void CopyEnemyFromKind(int enemy, int slot);
// Frees every live enemy with its working fields reset.
void ResetEnemyRecords();
// Moves, lets attack and draws every live enemy.
void UpdateEnemies();
