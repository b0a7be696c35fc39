// The player's movement constants, shared by the update and the collision
// rules, and the launch speed of a jump or a spring under the floor's rules.
#pragma once

#include "game/floor_records.h"
#include "game/game_state.h"

inline constexpr double kWalkCap = 3.75;
inline constexpr double kDashCap = 6.5;
inline constexpr double kGravity = 0.8;
inline constexpr double kFallCap = 12.0;
inline constexpr double kJumpSpeed = -13.0;
inline constexpr double kHighJumpSpeed = -15.0;
inline constexpr double kSpringSpeed = -15.0;
inline constexpr double kHighSpringSpeed = -17.0;
inline constexpr double kWeakJumpBonus = 2.0;  // map flag 0 weakens every launch
inline constexpr int kDashFrames = 24;
// Speed gained or lost a frame walking: on firm ground, and on an inertia
// floor (map flag 4) without and with the Stability Pendant.
inline constexpr double kWalkAcceleration = 0.5;
inline constexpr double kInertiaAcceleration = 0.14;
inline constexpr double kPendantInertiaAcceleration = 0.2;

// The walking acceleration of player record `p` on the floor being played.
inline double WalkAcceleration(const PlayerRecord& p) {
  if (mapFlags[kMapFlagInertia] != 1) return kWalkAcceleration;
  return p.ProgressFlags[kStabilityPendant] == 1 ? kPendantInertiaAcceleration : kInertiaAcceleration;
}
// The probe columns of the feet and the head, pixels from the sprite cell's
// left edge: the player stands while either is over ground, so the body may
// hang over a ledge until the left probe (walking right) leaves it.
inline constexpr int kFeetProbeLeft = 18;
inline constexpr int kFeetProbeRight = 44;

// The upward speed of a launch: `high` with the High Jump, weaker under map flag 0.
inline double LaunchSpeed(const PlayerRecord& p, double normal, double high) {
  double speed = p.ProgressFlags[kHighJump] == 1 ? high : normal;
  if (mapFlags[kMapFlagJumpBonus] == 1) speed += kWeakJumpBonus;
  return speed;
}
