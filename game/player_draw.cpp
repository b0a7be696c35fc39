// Drawing the player: the animation clock, the shot-pose and blink timers,
// the dash afterimages, the body from the sheet of its pose in the colours
// of the shot kind, the field icon that turns Up into a floor event, and
// the body flashing red and white where a hit ended the try.
#include <iterator>

#include "game/action_input.h"
#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/player.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"

namespace {

constexpr std::uint32_t kPadLeft = 0x2, kPadRight = 0x4, kPadUp = 0x8;
constexpr int kFieldIconKinds = 8;
constexpr int kFieldIconGrowFrames = 8;
// After a death the body flashes over the game over's frames before its
// picture, red (the hit's frame, held for the death beat) and white in
// turn every few frames, then is gone.
constexpr int kHurtFlashFrames = 10;
constexpr int kHurtFlashTurn = 4;

// Cell `cell` of the sheet at (x, y); a cell outside the sheet draws nothing.
template <std::size_t N>
void DrawCell(const int (&sheet)[N], int cell, int x, int y, bool mirrored) {
  if (cell < 0 || cell >= static_cast<int>(N)) return;
  if (mirrored) {
    qz::BlitGraphMirrored(x, y, sheet[cell], 1);
  } else {
    qz::BlitGraph(x, y, sheet[cell], 1);
  }
}

int CurrentCell() { return player.animFrames[player.animFrame]; }

void AdvanceAnimation() {
  if (++player.animTick < player.animDurations[player.animFrame]) return;
  player.animTick = 0;
  ++player.animFrame;
  if (player.animFrame >= kAnimationSteps || player.animDurations[player.animFrame] == 0) {
    player.animFrame = player.animLoopIndex;
  }
  if (player.animLeadIn >= 1 && player.animFrame >= player.animLeadIn) player.animLeadIn = 0;
}

void CountDownTimers() {
  if (player.shotPoseTimer > 0 && --player.shotPoseTimer == 0) player.shotPose = 0;
  if (player.invulnerableFrames > 0) --player.invulnerableFrames;
}

// Older afterimages fade out; then the trail takes this frame's position.
void DrawDashTrail() {
  if (dashTrailCount > 0) {
    for (int k = dashTrailCount; k >= 0; --k) {
      const DashTrailRecord& trail = dashTrail[k];
      if (trail.dash != 1) continue;
      qz::SetBlendModeAndParam(1, 255 - 64 * k);
      DrawCell(sheets.dashShadow, trail.cell, trail.x - cameraX, trail.y - cameraY, trail.facing < 1);
    }
    qz::SetBlendModeAndParam(0, 0);
  }
  for (int k = kDashTrailLength - 1; k > 0; --k) dashTrail[k] = dashTrail[k - 1];
  dashTrail[0] = DashTrailRecord{player.x, player.y, CurrentCell(), player.facing, player.dashState > 0 ? 1 : 0};
}

// The pose's start and end frames use the half-raised cells.
int PoseOffset(int raised, int halfRaised) {
  if (player.shotPose != 1) return 0;
  return player.shotPoseTimer < 3 || player.shotPoseTimer >= 18 ? halfRaised : raised;
}

void DrawBody(int sx, int sy) {
  const bool mirrored = player.facing < 1;
  const int cell = CurrentCell();
  if (player.dashState >= 1 || player.animLeadIn == 1) {
    DrawCell(sheets.playerDash, cell + 7 * player.shotKind, sx, sy, mirrored);
  } else if (player.squat == 0 && player.animLeadIn == 0) {
    DrawCell(sheets.player, cell + 69 * player.shotKind + PoseOffset(46, 23), sx, sy, mirrored);
  } else {
    DrawCell(sheets.playerSquats, cell + 9 * player.shotKind + PoseOffset(6, 3), sx - 16, sy, mirrored);
  }
}

// Only kinds 1..8 have an icon; any other kind shows none and raises no event.
void DrawFieldIcon(int sx, int sy) {
  if (PlayerMapCollision(kEdgeEventTile) != 1) return;
  const bool known = fieldIconKind >= 1 && fieldIconKind <= kFieldIconKinds;
  if (known && fieldIconGrow < kFieldIconGrowFrames) {
    const int cell = sheets.fieldIcon[fieldIconKind - 1];
    qz::BlitGraphStretched(sx + 16, sy - (4 * fieldIconGrow + 4), sx + 48, sy, cell, 1);
    ++fieldIconGrow;
  } else if (known) {
    qz::BlitGraph(sx + 16, sy - 32, sheets.fieldIcon[fieldIconKind - 1], 1);
  }
  if ((padState & kPadUp) != 0 && (padState & (kPadLeft | kPadRight)) == 0) {
    player.eventCode = known ? fieldIconKind : 0;
  }
}

}  // namespace

void DrawPlayer() {
  if (player.dead == 1) return;
  AdvanceAnimation();
  CountDownTimers();
  DrawDashTrail();
  const int sx = player.x - cameraX;
  const int sy = player.y - cameraY;
  const bool blinkedOut = player.invulnerableFrames >= 1 && player.invulnerableFrames % 3 != 0;
  if (!blinkedOut) DrawBody(sx, sy);
  if (player.dashState > 0) {
    if (dashTrailCount < kDashTrailLength - 1) ++dashTrailCount;
  } else if (dashTrailCount > 0) {
    --dashTrailCount;
  }
  DrawFieldIcon(sx, sy);
}

void ResetDashTrail() {
  dashTrailCount = 0;
  // The next dash would otherwise draw afterimages left on the floor before.
  for (int k = 0; k < kDashTrailLength - 1; ++k) dashTrail[k].dash = 0;
}

void ResetFieldIcon() {
  fieldIconKind = 0;
  fieldIconGrow = 0;
}

// Red: the body dimmed to red and added again in red; white: the body added
// onto itself until its colours wash out.
void DrawHurtFlash() {
  if (player.dead != 1 || gameState.sceneFrame < 1 || gameState.sceneFrame > kHurtFlashFrames) return;
  const int sx = player.x - cameraX;
  const int sy = player.y - cameraY;
  const bool red = (gameState.sceneFrame - 1) / kHurtFlashTurn % 2 == 0;
  if (red) qz::SetBrightnessRGB(255, 48, 40);
  DrawBody(sx, sy);
  qz::SetBlendModeAndParam(2, 255);
  for (int pass = 0; pass < (red ? 1 : 3); ++pass) DrawBody(sx, sy);
  qz::SetBlendModeAndParam(0, 0);
  qz::SetBrightnessRGB(255, 255, 255);
}
