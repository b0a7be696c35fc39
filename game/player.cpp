// The player's frame: the give-up combo, the motion (player_motion.cpp),
// shot change and firing, the death and the floor clock.
#include "game/player.h"

#include <cmath>

#include "core/random.h"
#include "game/action_input.h"
#include "game/config_file.h"
#include "game/effects.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_over.h"
#include "game/map_cells.h"
#include "game/music.h"
#include "game/player_motion.h"
#include "game/player_shots.h"
#include "game/screen_frame.h"
#include "sound/sound_play.h"

DashTrailRecord dashTrail[kDashTrailLength];
std::int32_t dashTrailCount = 0;
std::int32_t fieldIconKind = 0;
std::int32_t fieldIconGrow = 0;

namespace {

constexpr int kDeathWaitMilliseconds = 640;
constexpr int kFramesPerSecond = 60;
constexpr int kCountdownFrom = 11;
constexpr double kDegree = 0.017453292;
void PlaySe(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

// The next kind with a level, at most three steps round.
void ChangeShot() {
  if (ActionFlags.shotChange != 1) {
    shotChangeLatch = 0;
    return;
  }
  if (shotChangeLatch != 0) return;
  const int before = player.shotKind;
  int kind = before;
  for (int step = 0; step < 3; ++step) {
    kind = (kind + 1) % 3;
    if (player.shotLevel[kind] != 0) break;
  }
  shotChangeLatch = 1;
  if (player.shotLevel[kind] == 0 || kind == before) return;
  player.shotKind = kind;
  StartEffect(5, 16, 1, 0, 0, 0.0, 1.0);
  PlaySe(kSeChange);
  StartEffect(16, 20, 1, player.x + 32, player.y + 34, qz::GetRandomUpTo(360) * kDegree, 1.6);
  PlaySe(kSeChange);
  player.shotPending = 0;
}

// A fresh press fires; a press during the cool-down stays pending.
void Shoot() {
  if (ActionFlags.shot != 1 && player.shotPending != 1) {
    shotLatch = 0;
    return;
  }
  if (shotLatch == 0 || player.shotPending == 1) FirePlayerShot(player.shotKind);
  shotLatch = 1;
}

void ScatterGameOverStars() {
  const double cx = player.x - cameraX + 16;
  const double cy = player.y - cameraY + 32;
  for (GameOverStarRecord& star : gameOverStars) {
    star.x = cx;
    star.y = cy;
    star.frame = qz::GetRandomUpTo(5);
    star.tick = 0;
    const double dy = qz::GetRandomUpTo(480) - 240;
    const double angle = std::atan2(dy, qz::GetRandomUpTo(640) - 320);
    const double speed = qz::GetRandomUpTo(48) * 0.1 + 0.3;
    star.vx = std::cos(angle) * speed;
    star.vy = std::sin(angle) * speed;
    star.active = 1;
  }
}

// The hit's frame is drawn (the burst, the body flashing) with the music
// silenced; the next frame holds that picture for the death beat.
void Die() {
  SpawnEffect(kEffectPlayerHit, player.x + 32, player.y + 32);
  qz::SetSoundHandleVolume(0, bgmHandle);
  player.life = 0;
  player.dashState = 0;
  player.dashTimer = 0;
  player.dead = 1;
  gameState.sceneFrame = 0;
  ScatterGameOverStars();
  if (gameOvers < kGameOversCap) ++gameOvers;
}

void HoldDeathBeat() {
  HoldPicture(kDeathWaitMilliseconds);
  PlaySe(kSeDead);
  qz::SetSoundHandleVolume(VolumeLevel(volumePercent), bgmHandle);
}

void RunFloorClock() {
  if (++floorTimeTick <= kFramesPerSecond) return;
  floorTimeTick = 0;
  AddFloorTime(-1);
  if (floorTime < kCountdownFrom) PlaySe(kSeCount);
  if (floorTime < 1) {
    player.life = 0;
    floorTime = 0;
  }
}

}  // namespace

void UpdatePlayer() {
  if (player.dead == 1) {
    if (gameState.sceneFrame == 1) HoldDeathBeat();  // the hit's frame is on the screen
    return;
  }
  if (ActionFlags.shot == 1 && ActionFlags.shotChange == 1 && ActionFlags.jump == 1 && ActionFlags.dash == 1) {
    player.life = 0;
    ActionFlags.shot = ActionFlags.shotChange = ActionFlags.jump = ActionFlags.dash = 0;
    PlaySe(kSeHit01);
  }
  MotionKeys keys = MotionKeysNow();
  MotionLatches latches = MotionLatchesNow();
  StepPlayerMotion(player, keys, latches, CellContact::kLive);
  KeepMotionInput(keys, latches);
  ChangeShot();
  if (player.shotCooldown > 0) --player.shotCooldown;
  Shoot();
  if (player.life < 1 && player.dead == 0) {
    Die();
  } else {
    RunFloorClock();
  }
}

void SetPlayerAnimation(int state) { SetAnimation(player, state); }

int IsPointInBox(int x, int y, int left, int right, int top, int bottom) {
  return left <= x && x <= right && top <= y && y <= bottom ? 1 : 0;
}
