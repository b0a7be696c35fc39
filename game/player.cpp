// The player. The player issue completes it (movement, collisions, events);
// until then the player stands where the floor put it and is drawn there.
#include "game/player.h"

#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "graphics/draw_graph.h"

std::int32_t dashTrailCount = 0;
std::int32_t fieldIconKind = 0;
std::int32_t fieldIconGrow = 0;

void SetPlayerAnimation(int state) { player.animState = state; }

void UpdatePlayer() {}

void DrawPlayer() { qz::BlitGraph(player.x - cameraX, player.y - cameraY, sheets.player[0], 1); }

void ResetDashTrail() { dashTrailCount = 0; }

void ResetFieldIcon() {
  fieldIconKind = 0;
  fieldIconGrow = 0;
}
