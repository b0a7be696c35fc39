// The per-frame update of the two shot pools: the player shots
// (player_shots.cpp), then the enemy bullets and the boss-defeat countdown
// (enemy_attacks.cpp).
#include "game/shots.h"

#include "game/enemy_bullets.h"
#include "game/player_shots.h"

void UpdateShotsAndBullets() {
  UpdatePlayerShots();
  UpdateEnemyBullets();
  RunBossDefeatCountdown();
}
