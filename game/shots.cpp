// The player shots and enemy bullets. The enemies issue completes the bullet
// half and the boss countdown; the player shots are in player_shots.cpp.
#include "game/shots.h"

#include "game/player_shots.h"

void UpdateShotsAndBullets() { UpdatePlayerShots(); }
