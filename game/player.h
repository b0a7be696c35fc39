// The player's actor code: animation, movement, the dash trail, drawing.
#pragma once

#include <cstdint>

extern std::int32_t dashTrailCount;
// The icon shown over an event cell the player stands on.
extern std::int32_t fieldIconKind, fieldIconGrow;

// Starts animation state (0..5) of the player.
void SetPlayerAnimation(int state);
// Moves the player one frame: input, physics, collisions, shots, the clock.
void UpdatePlayer();
// Draws the player and turns Up on an event cell into the event code.
void DrawPlayer();
// Forgets the dash afterimages.
void ResetDashTrail();
// Hides the field icon.
void ResetFieldIcon();
