// The per-frame update of the two shot pools: the player shots (owned by the
// player code), then the enemy bullets and the boss-defeat countdown.
#include "game/shots.h"

#include "game/enemy_bullets.h"

void UpdateShotsAndBullets() {
  UpdateEnemyBullets();
  RunBossDefeatCountdown();
}
