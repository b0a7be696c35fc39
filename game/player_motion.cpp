// The player's motion a frame over a passed record (see player_motion.h):
// the steps of the game's update in its order, each on the record given.
#include "game/player_motion.h"

#include <cmath>
#include <utility>

#include "game/action_input.h"
#include "game/game_assets.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/player_physics.h"
#include "sound/sound_play.h"

namespace {

constexpr std::uint32_t kPadDown = 0x1, kPadLeft = 0x2, kPadRight = 0x4;

// What a frame of motion brings about beyond the record.
struct Frame {
  PlayerRecord& p;
  MotionKeys& keys;
  MotionLatches& latches;
  CellContact contact;

  void PlaySe(SoundEffect effect) const {
    if (contact == CellContact::kLive) qz::PlaySoundHandle(soundEffects[effect], 1, 1);
  }
  int Edge(int edge) const { return PlayerEdgeTest(p, latches, edge, contact); }
  bool Owns(ProgressFlag flag) const { return p.ProgressFlags[flag] == 1; }
};

// A fresh Jump from the ground jumps, or with Down over a one-way platform
// drops through it.
void Jump(const Frame& f) {
  PlayerRecord& p = f.p;
  if (f.keys.jump != 1 || p.dashTimer >= 1) {
    f.latches.jump = 0;
    return;
  }
  if (p.airborne == 0 && f.latches.jump == 0) {
    p.airborne = 1;
    p.dashState = 0;
    p.dashTimer = 0;
    if ((f.keys.pad & kPadDown) != 0 && f.Edge(kEdgeDropThrough) == 1) {
      p.velocityY = kGravity;
      p.jumpStartRow = (p.y + kPlayerSpriteSize) / kCellSize;
    } else {
      p.velocityY = LaunchSpeed(p, kJumpSpeed, kHighJumpSpeed);
      f.PlaySe(kSeJump01);
    }
  }
  f.latches.jump = 1;
}

// Leaves the ground falling slowly (walking off, a drop-through).
void StartFalling(PlayerRecord& p) {
  p.airborne = 1;
  p.velocityY = kGravity;
  p.dashState = 0;
  p.dashTimer = 0;
}

struct WalkResult {
  bool moving;
  bool squatting;
};

// Accelerate towards the cap (a faster player slows by half of a per frame),
// squat, or let friction stop the player.
WalkResult Walk(const Frame& f, double a) {
  PlayerRecord& p = f.p;
  WalkResult result{false, false};
  p.dashTimer = 0;
  const std::uint32_t pad = f.keys.pad;
  const int input = (pad & kPadLeft) != 0 ? -1 : (pad & kPadRight) != 0 ? 1 : 0;
  if (input != 0) {
    const double cap = kWalkCap * input;
    p.velocityX += a * input;
    if (p.velocityX * input > kWalkCap) {
      p.velocityX -= 1.5 * a * input;
      if (p.velocityX * input < kWalkCap) p.velocityX = cap;
    }
    p.facing = input;
    result.moving = true;
    return result;
  }
  if ((pad & kPadDown) != 0 && (p.ridingObject != -1 || p.airborne == 0)) result.squatting = true;
  if (p.onSlipperyFloor == 0) {
    if (std::fabs(p.velocityX) >= a) {
      p.velocityX -= p.velocityX > 0 ? a : -a;
    } else {
      p.velocityX = 0;
    }
  }
  return result;
}

// The horizontal move; a blocked edge goes onto the cell boundary.
void MoveHorizontally(const Frame& f) {
  PlayerRecord& p = f.p;
  p.posX += p.velocityX;
  if (f.Edge(kEdgeLeft) == 1) {
    p.velocityX = 0;
    p.posX += 16 + 6 * p.squat - static_cast<int>(p.posX) % kCellSize;
  }
  if (f.Edge(kEdgeRight) == 1) {
    p.velocityX = 0;
    p.posX -= static_cast<int>(p.posX) % kCellSize - 16 + 6 * p.squat;
  }
}

// The fall or rise with gravity; true when the player landed.
bool MoveVertically(const Frame& f) {
  PlayerRecord& p = f.p;
  if (p.airborne != 1 || p.dashState != 0) return false;
  bool landed = false;
  p.posY += p.velocityY;
  if (p.velocityY > 0 && f.Edge(kEdgeFeet) == 1) {
    p.airborne = 0;
    p.airDashUsed = 0;
    p.dashTimer = 0;
    f.latches.jumpRelease = 0;
    p.posY -= static_cast<int>(p.posY) % kCellSize;
    f.Edge(kEdgeFeet);
    f.PlaySe(kSeJump02);
    landed = true;
  } else if (p.velocityY < 0 && f.Edge(kEdgeHead) == 1) {
    p.velocityY = -kGravity;
    p.posY += kCellSize - static_cast<int>(p.posY) % kCellSize;
  }
  p.velocityY += kGravity;
  if (p.velocityY > kFallCap) p.velocityY = kFallCap;
  return landed;
}

void StartDash(PlayerRecord& p, int state) {
  p.dashState = state;
  p.dashTimer = kDashFrames;
}

// A held Dash repeats ground dashes; an air dash needs a fresh press.
void DashStart(const Frame& f, bool landed) {
  PlayerRecord& p = f.p;
  if (f.keys.dash != 1 || !f.Owns(kHoverdash) || f.latches.dashBlock != 0) {
    f.latches.dash = 0;
    return;
  }
  if (p.airborne == 1) {
    if (p.airDashUsed == 0 && f.latches.dash == 0 && f.Owns(kAirdash)) {
      StartDash(p, 2);
      p.airDashUsed = 1;
      p.velocityY = kGravity;
    }
  } else if (!landed) {
    StartDash(p, 1);
    f.keys.shot = 0;
  }
  f.latches.dash = 1;
  f.latches.shot = 1;
}

// Speed towards the dash cap; no jump or shot while a dash runs.
void DashRun(const Frame& f, double a) {
  PlayerRecord& p = f.p;
  p.velocityX += 2 * a * p.facing;
  if (p.velocityX > kDashCap) {
    p.velocityX -= 2.5 * a;
    if (p.velocityX < kDashCap) p.velocityX = kDashCap;
  } else if (p.velocityX < -kDashCap) {
    p.velocityX += 2.5 * a;
    if (p.velocityX > -kDashCap) p.velocityX = -kDashCap;
  }
  if (--p.dashTimer < 2) {
    p.dashTimer = 0;
    if (p.dashState == 1 && f.keys.dash == 1) {
      StartDash(p, 1);
    } else {
      p.dashState = 0;
    }
  }
  f.keys.jump = 0;
  f.keys.shot = 0;
}

int ChooseAnimation(const PlayerRecord& p, const WalkResult& walk) {
  if (p.dashState >= 1) return kDash;
  if (p.airborne == 1 && p.ridingObject == -1) return p.velocityY >= 0 ? kFall : kRise;
  if (walk.squatting) return kSquat;
  return walk.moving ? kWalk : kStand;
}

}  // namespace

MotionKeys MotionKeysOf(int way, bool down, bool jump) {
  const std::uint32_t pad = (down ? kPadDown : 0u) | (way < 0 ? kPadLeft : 0u) | (way > 0 ? kPadRight : 0u);
  return {pad, jump ? 1 : 0, 0, 0};
}

MotionKeys MotionKeysNow() { return {padState, ActionFlags.jump, ActionFlags.dash, ActionFlags.shot}; }

MotionLatches MotionLatchesNow() { return {jumpLatch, jumpReleaseLock, dashLatch, dashBlock, shotLatch}; }

void KeepMotionInput(const MotionKeys& keys, const MotionLatches& latches) {
  ActionFlags.jump = keys.jump;
  ActionFlags.dash = keys.dash;
  ActionFlags.shot = keys.shot;
  jumpLatch = latches.jump;
  jumpReleaseLock = latches.jumpRelease;
  dashLatch = latches.dash;
  dashBlock = latches.dashBlock;
  shotLatch = latches.shot;
}

void StepPlayerMotion(PlayerRecord& p, MotionKeys& keys, MotionLatches& latches, CellContact contact) {
  const Frame f{p, keys, latches, contact};
  const double a = WalkAcceleration(p);
  Jump(f);
  if (p.velocityY < 0 && latches.jump == 0 && latches.jumpRelease == 0) p.velocityY = -kGravity;
  if (f.Edge(kEdgeFeet) == 0 && p.airborne == 0 && p.dashState != 2) StartFalling(p);
  WalkResult walk{false, false};
  if (p.dashState == 0) walk = Walk(f, a);
  MoveHorizontally(f);
  const bool landed = MoveVertically(f);
  p.x = static_cast<int>(p.posX);
  p.y = static_cast<int>(p.posY);
  if (p.dashTimer < 1) {
    DashStart(f, landed);
  } else {
    DashRun(f, a);
  }
  latches.dashBlock = 0;
  SetAnimation(p, ChooseAnimation(p, walk));
}

void SetAnimation(PlayerRecord& p, int state) {
  if (state == p.animState || state < kStand || state > kDash) return;
  int lead = 0;
  auto put = [&p](int index, int cell, int frames) {
    p.animFrames[index] = cell;
    p.animDurations[index] = frames;
  };
  if (state == kStand && p.animState == kSquat) {
    put(0, 1, 3);
    put(1, 0, 3);
    lead = 2;
  } else if (state == kStand && p.animState == kDash) {
    put(0, 0, 3);
    lead = 1;
  }
  p.animLeadIn = lead;
  p.animLoopIndex = lead;
  p.animState = state;
  p.animTick = 0;
  p.animFrame = 0;
  p.squat = 0;
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
      p.squat = 1;
      p.animLoopIndex = 2;
      break;
    case kDash:
      for (int cell = 0; cell <= 6; ++cell) put(end++, cell, 3);
      p.animLoopIndex = 1;
      break;
  }
  put(end, 0, 0);
}
