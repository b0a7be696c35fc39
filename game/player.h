// The player's actor code: the per-frame update (input, walking, jumping,
// dashing, collisions with the cells, the floor clock and the death), the
// animation sequences, and the drawing with its dash trail and field icon.
// The player keeps an exact position (posX, posY) and integer copies (x, y)
// truncated from it once per update: code that moves the player sets posX
// and posY.
#pragma once

#include <cstdint>

inline constexpr int kDashTrailLength = 5;
// The body that bullets strike, in pixels from the player's top-left; a
// crouching body's top is lower.
inline constexpr int kBodyLeft = 20, kBodyRight = 44, kBodyTop = 8, kBodyBottom = 56;
inline constexpr int kCrouchLowering = 28;

// One afterimage of the dash trail.
struct DashTrailRecord {
  std::int32_t x, y;  // floor pixels
  std::int32_t cell;
  std::int32_t facing;
  std::int32_t dash;  // 1 when the player was dashing
};

extern DashTrailRecord dashTrail[kDashTrailLength];  // newest first
extern std::int32_t dashTrailCount;                  // 0..4
// The icon shown over an event cell the player stands on: 0 none, 1..7 the
// event cell's kind, 8 the check cube; and the frames it has grown (0..8).
extern std::int32_t fieldIconKind, fieldIconGrow;

// Edges PlayerMapCollision tests.
enum PlayerEdge : int {
  kEdgeLeft = 0,
  kEdgeRight = 1,
  kEdgeHead = 2,
  kEdgeFeet = 3,
  kEdgeDropThrough = 4,
  kEdgeEventTile = 5,
};

// Starts animation state 0 stand, 1 walk, 2 rise, 3 fall, 4 squat, 5 dash;
// nothing when the state is already running or not one of these.
void SetPlayerAnimation(int state);
// Moves the player one frame: input, physics, collisions, shots, the clock;
// once dead, only the death beat (a pause on the hit's picture, then the
// death sound) on the frame after the hit.
void UpdatePlayer();
// 1 when the edge is blocked (left, right, head, feet), when nothing solid
// is under the feet (drop-through) or when the player stands on an event
// cell; else 0. The four edges also apply the cells' side effects.
int PlayerMapCollision(int direction);
// Draws the player and turns Up on an event cell into the event code.
void DrawPlayer();
// Once dead: the body flashing where the hit struck, over the game over's
// stars in its frames 1..10 (its count already advanced for the frame).
void DrawHurtFlash();
// 1 when left <= x <= right and top <= y <= bottom.
int IsPointInBox(int x, int y, int left, int right, int top, int bottom);
// Forgets the dash afterimages.
void ResetDashTrail();
// Hides the field icon.
void ResetFieldIcon();
