// The player. The player issue completes it; until then an animation request
// only records the state.
#include "game/player.h"

#include "game/game_state.h"

std::int32_t dashTrailCount = 0;

void SetPlayerAnimation(int state) { player.animState = state; }
