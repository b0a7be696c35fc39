// Player shots: firing with its magic cost and cool-down, the flight, and a
// minimal cell test until the shot rules are complete.
#include "game/player_shots.h"

void FirePlayerShot(int) {}
void UpdatePlayerShots() {}
int PlayerShotMapHit(int) { return 0; }
void ExplodePlayerBlast(int, int) {}
void ExplodeEnemyBlast(int, int, int, int) {}
