// The enemies. The enemies issues complete this (kinds, behaviour, attacks);
// until then every template is a harmless one-life stand-in that does not move.
#include "game/enemies.h"

#include "game/pools.h"

EnemyKindRecord enemyKinds[kEnemyKindSlots];

void SetupFloorEnemies() {
  for (EnemyKindRecord& kind : enemyKinds) kind = EnemyKindRecord{0, 0, 0.0, 0.0, 1, -1};
}

void CopyEnemyFromKind(int enemy, int slot) {
  if (enemy < 0 || enemy >= kEnemyPoolSize || slot < 0 || slot >= kEnemyKindSlots) return;
  EnemyRecord& record = enemies[enemy];
  record.life = enemyKinds[slot].life;
  record.bossIndex = enemyKinds[slot].bossIndex;
}

void ResetEnemyRecords() {
  for (EnemyRecord& record : enemies) record = EnemyRecord{0, 0, 0.0, 0.0, 0, -1};
  enemyCount = 0;
}

void UpdateEnemies() {}
