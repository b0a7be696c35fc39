// The player's actor code: animation, movement, the dash trail.
#pragma once

#include <cstdint>

extern std::int32_t dashTrailCount;

// Starts animation state (0..5) of the player.
void SetPlayerAnimation(int state);
