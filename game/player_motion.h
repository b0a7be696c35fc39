// The player's motion in one frame over a passed record: jumping and dropping
// through, walking with acceleration and friction, the moves settled against
// the cells, the landing, the dash and the animation state it shows. The
// game's update steps the player with it; a look-ahead steps a copy, feeling
// the cells (blocked, launched, hurt) without changing the floor.
#pragma once

#include <cstdint>

#include "game/game_state.h"

// The keys a motion step reads: the pad's down, left and right bits and the
// jump, dash and shot actions. A dash clears jump and shot for the rest of
// the frame.
struct MotionKeys {
  std::uint32_t pad;
  std::int32_t jump, dash, shot;
};

// The latches kept between frames that turn held keys into fresh presses.
struct MotionLatches {
  std::int32_t jump, jumpRelease, dash, dashBlock, shot;
};

// The poses a player's animation state shows.
enum AnimState : int { kStand = 0, kWalk = 1, kRise = 2, kFall = 3, kSquat = 4, kDash = 5 };

// Whether touching the cells acts on the floor (the game's frame: cells turn
// solid or crumble, sounds and sparks) or only on the record (a look-ahead).
enum class CellContact { kLive, kFelt };

// The keys of a walk `way` (-1 left, 1 right, 0 none) with Down and Jump as given.
MotionKeys MotionKeysOf(int way, bool down, bool jump);
// The player's motion keys and latches as the game holds them now.
MotionKeys MotionKeysNow();
MotionLatches MotionLatchesNow();
// Stores the keys and latches a step of the game's player left.
void KeepMotionInput(const MotionKeys& keys, const MotionLatches& latches);

// Moves `p` one frame under `keys`; the integer position follows the exact one.
void StepPlayerMotion(PlayerRecord& p, MotionKeys& keys, MotionLatches& latches, CellContact contact);

// 1 when edge `edge` (PlayerEdge) of `p` is blocked, when nothing solid is
// under its feet (drop-through) or when it stands on an event cell; the four
// edges apply the cells' side effects as `contact` allows.
int PlayerEdgeTest(PlayerRecord& p, MotionLatches& latches, int edge, CellContact contact);

// Starts animation state `state` on `p` (see SetPlayerAnimation).
void SetAnimation(PlayerRecord& p, int state);
