// Game over runs inside the floor-play frame while the player is dead; its
// frame count is the scene's, so it starts from 0 with each death.
#include "game/game_over.h"

#include "game/action_input.h"
#include "game/doors.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/key_hint.h"
#include "graphics/draw_graph.h"

GameOverStarRecord gameOverStars[kGameOverStarCount];

namespace {

constexpr int kStarCells = 6;
constexpr int kPictureFirstFrame = 11;
constexpr int kFrameCountCap = 9999;
constexpr int kFrameCountAfterCap = 100;
constexpr int kHintCentreX = 320, kHintTop = 292;  // under the picture
// Only a press begun while the picture shows restarts: Confirm and Cancel
// must first be seen up for a few frames in a row with the picture shown. A
// key held through the death may read up for a single frame now and then
// (a keyboard repeat that reaches the game as a release and a press a frame
// apart); that is no release.
constexpr int kReleaseFrames = 3;
int framesReleased = 0;

void MoveStar(GameOverStarRecord& star) {
  qz::BlitGraph(static_cast<int>(star.x), static_cast<int>(star.y), sheets.star[star.frame], 1);
  if (++star.tick > 1) {
    star.tick = 0;
    star.frame = (star.frame + 1) % kStarCells;
  }
  star.x += star.vx;
  star.y += star.vy;
  if (star.x < -32 || star.x > 640 || star.y < -32 || star.y > 480) star.active = 0;
}

}  // namespace

void RunGameOver() {
  for (GameOverStarRecord& star : gameOverStars) {
    if (star.active == 1 && star.frame >= 0 && star.frame < kStarCells) MoveStar(star);
  }
  if (++gameState.sceneFrame > kFrameCountCap) gameState.sceneFrame = kFrameCountAfterCap;
  if (gameState.sceneFrame == 1) framesReleased = 0;
  if (gameState.sceneFrame < kPictureFirstFrame) return;
  qz::BlitGraph(150, 200, images.gameOver, 1);
  DrawKeyHint(ConfirmOrCancelHint("try again"), kHintCentreX, kHintTop);
  if (framesReleased < kReleaseFrames) {
    const bool up = !ButtonHeld(ButtonMap.confirm) && !ButtonHeld(ButtonMap.cancel);
    framesReleased = up ? framesReleased + 1 : 0;
    return;
  }
  if (ActionFlags.confirm == 0 && ActionFlags.cancel == 0) return;
  player.life = 1;
  player.magic = 0;
  player.dead = 0;
  EnterDoor(entrance, 1, 0);
}
