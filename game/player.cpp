// The player's frame: the give-up combo, jumping and dropping through,
// walking with acceleration and friction, the moves settled against the
// cells, the dash, the animation state, shot change and firing, the death
// and the floor clock; and the animation sequences the states run.
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
#include "game/player_physics.h"
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
constexpr std::uint32_t kPadDown = 0x1, kPadLeft = 0x2, kPadRight = 0x4;

enum AnimState : int { kStand = 0, kWalk = 1, kRise = 2, kFall = 3, kSquat = 4, kDash = 5 };

void PlaySe(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }
bool Owns(ProgressFlag flag) { return player.ProgressFlags[flag] == 1; }

// Step 4: a fresh Jump from the ground jumps, or with Down over a one-way
// platform drops through it.
void Jump() {
  if (ActionFlags.jump != 1 || player.dashTimer >= 1) {
    jumpLatch = 0;
    return;
  }
  if (player.airborne == 0 && jumpLatch == 0) {
    player.airborne = 1;
    player.dashState = 0;
    player.dashTimer = 0;
    if ((padState & kPadDown) != 0 && PlayerMapCollision(kEdgeDropThrough) == 1) {
      player.velocityY = kGravity;
      player.jumpStartRow = (player.y + 64) / kCellSize;
    } else {
      player.velocityY = LaunchSpeed(kJumpSpeed, kHighJumpSpeed);
      PlaySe(kSeJump01);
    }
  }
  jumpLatch = 1;
}

// Leaves the ground falling slowly (walking off, a drop-through).
void StartFalling() {
  player.airborne = 1;
  player.velocityY = kGravity;
  player.dashState = 0;
  player.dashTimer = 0;
}

struct WalkResult {
  bool moving;
  bool squatting;
};

// Step 8: accelerate towards the cap (a faster player slows by half of a per
// frame), squat, or let friction stop the player.
WalkResult Walk(double a) {
  WalkResult result{false, false};
  player.dashTimer = 0;
  const int input = (padState & kPadLeft) != 0 ? -1 : (padState & kPadRight) != 0 ? 1 : 0;
  if (input != 0) {
    const double cap = kWalkCap * input;
    player.velocityX += a * input;
    if (player.velocityX * input > kWalkCap) {
      player.velocityX -= 1.5 * a * input;
      if (player.velocityX * input < kWalkCap) player.velocityX = cap;
    }
    player.facing = input;
    result.moving = true;
    return result;
  }
  if ((padState & kPadDown) != 0 && (player.ridingObject != -1 || player.airborne == 0)) result.squatting = true;
  if (player.onSlipperyFloor == 0) {
    if (std::fabs(player.velocityX) >= a) {
      player.velocityX -= player.velocityX > 0 ? a : -a;
    } else {
      player.velocityX = 0;
    }
  }
  return result;
}

// Step 9: the horizontal move; a blocked edge goes onto the cell boundary.
void MoveHorizontally() {
  player.posX += player.velocityX;
  if (PlayerMapCollision(kEdgeLeft) == 1) {
    player.velocityX = 0;
    player.posX += 16 + 6 * player.squat - static_cast<int>(player.posX) % kCellSize;
  }
  if (PlayerMapCollision(kEdgeRight) == 1) {
    player.velocityX = 0;
    player.posX -= static_cast<int>(player.posX) % kCellSize - 16 + 6 * player.squat;
  }
}

// Step 10: the fall or rise with gravity; true when the player landed.
bool MoveVertically() {
  if (player.airborne != 1 || player.dashState != 0) return false;
  bool landed = false;
  player.posY += player.velocityY;
  if (player.velocityY > 0 && PlayerMapCollision(kEdgeFeet) == 1) {
    player.airborne = 0;
    player.airDashUsed = 0;
    player.dashTimer = 0;
    jumpReleaseLock = 0;
    player.posY -= static_cast<int>(player.posY) % kCellSize;
    PlayerMapCollision(kEdgeFeet);
    PlaySe(kSeJump02);
    landed = true;
  } else if (player.velocityY < 0 && PlayerMapCollision(kEdgeHead) == 1) {
    player.velocityY = -kGravity;
    player.posY += kCellSize - static_cast<int>(player.posY) % kCellSize;
  }
  player.velocityY += kGravity;
  if (player.velocityY > kFallCap) player.velocityY = kFallCap;
  return landed;
}

void StartDash(int state) {
  player.dashState = state;
  player.dashTimer = kDashFrames;
}

// Step 12: a held Dash repeats ground dashes; an air dash needs a fresh press.
void DashStart(bool landed) {
  if (ActionFlags.dash != 1 || !Owns(kHoverdash) || dashBlock != 0) {
    dashLatch = 0;
    return;
  }
  if (player.airborne == 1) {
    if (player.airDashUsed == 0 && dashLatch == 0 && Owns(kAirdash)) {
      StartDash(2);
      player.airDashUsed = 1;
      player.velocityY = kGravity;
    }
  } else if (!landed) {
    StartDash(1);
    ActionFlags.shot = 0;
  }
  dashLatch = 1;
  shotLatch = 1;
}

// Step 13: speed towards the dash cap; no jump or shot while a dash runs.
void DashRun(double a) {
  player.velocityX += 2 * a * player.facing;
  if (player.velocityX > kDashCap) {
    player.velocityX -= 2.5 * a;
    if (player.velocityX < kDashCap) player.velocityX = kDashCap;
  } else if (player.velocityX < -kDashCap) {
    player.velocityX += 2.5 * a;
    if (player.velocityX > -kDashCap) player.velocityX = -kDashCap;
  }
  if (--player.dashTimer < 2) {
    player.dashTimer = 0;
    if (player.dashState == 1 && ActionFlags.dash == 1) {
      StartDash(1);
    } else {
      player.dashState = 0;
    }
  }
  ActionFlags.jump = 0;
  ActionFlags.shot = 0;
}

int ChooseAnimation(const WalkResult& walk) {
  if (player.dashState >= 1) return kDash;
  if (player.airborne == 1 && player.ridingObject == -1) return player.velocityY >= 0 ? kFall : kRise;
  if (walk.squatting) return kSquat;
  return walk.moving ? kWalk : kStand;
}

// Step 15: the next kind with a level, at most three steps round.
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

// Step 17: a fresh press fires; a press during the cool-down stays pending.
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
  const double a = WalkAcceleration();
  Jump();
  if (player.velocityY < 0 && jumpLatch == 0 && jumpReleaseLock == 0) player.velocityY = -kGravity;
  if (PlayerMapCollision(kEdgeFeet) == 0 && player.airborne == 0 && player.dashState != 2) StartFalling();
  WalkResult walk{false, false};
  if (player.dashState == 0) walk = Walk(a);
  MoveHorizontally();
  const bool landed = MoveVertically();
  player.x = static_cast<int>(player.posX);
  player.y = static_cast<int>(player.posY);
  if (player.dashTimer < 1) {
    DashStart(landed);
  } else {
    DashRun(a);
  }
  dashBlock = 0;
  SetPlayerAnimation(ChooseAnimation(walk));
  ChangeShot();
  if (player.shotCooldown > 0) --player.shotCooldown;
  Shoot();
  if (player.life < 1 && player.dead == 0) {
    Die();
  } else {
    RunFloorClock();
  }
}

void SetPlayerAnimation(int state) {
  if (state == player.animState || state < kStand || state > kDash) return;
  int lead = 0;
  auto put = [](int index, int cell, int frames) {
    player.animFrames[index] = cell;
    player.animDurations[index] = frames;
  };
  if (state == kStand && player.animState == kSquat) {
    put(0, 1, 3);
    put(1, 0, 3);
    lead = 2;
  } else if (state == kStand && player.animState == kDash) {
    put(0, 0, 3);
    lead = 1;
  }
  player.animLeadIn = lead;
  player.animLoopIndex = lead;
  player.animState = state;
  player.animTick = 0;
  player.animFrame = 0;
  player.squat = 0;
  int end = lead;
  switch (state) {
    case kStand:
      for (int cell : {0, 1, 2, 3, 4, 4, 3, 2, 1}) {
        put(end, cell, end == lead ? 9 : 5);
        ++end;
      }
      break;
    case kWalk:
      for (int cell = 5; cell <= 16; ++cell) put(end++, cell, 3);
      break;
    case kRise:
      for (auto [cell, frames] : {std::pair{17, 3}, {18, 3}, {19, 999}}) put(end++, cell, frames);
      break;
    case kFall:
      for (auto [cell, frames] : {std::pair{20, 4}, {21, 4}, {22, 999}}) put(end++, cell, frames);
      break;
    case kSquat:
      for (auto [cell, frames] : {std::pair{0, 3}, {1, 3}, {2, 9999}}) put(end++, cell, frames);
      player.squat = 1;
      player.animLoopIndex = 2;
      break;
    case kDash:
      for (int cell = 0; cell <= 6; ++cell) put(end++, cell, 3);
      player.animLoopIndex = 1;
      break;
  }
  put(end, 0, 0);
}

int IsPointInBox(int x, int y, int left, int right, int top, int bottom) {
  return left <= x && x <= right && top <= y && y <= bottom ? 1 : 0;
}
