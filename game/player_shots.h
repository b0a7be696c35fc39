// The player's three shot kinds: firing, flight, what they do to cells, and
// the Blaze blast; and the enemies' blast against the player.
#pragma once

// Fires a shot of kind 0 Blaze, 1 Gravity, 2 Magic, or keeps it pending
// through the cool-down.
void FirePlayerShot(int kind);
// Frees, draws and moves every live player shot.
void UpdatePlayerShots();
// 1 when player shot i ends this frame, 0 when it flies on.
int PlayerShotMapHit(int i);
// The magic a shot of kind 0..2 takes.
int ShotMagicCost(int kind);
// The side of a player shot's square sprite, in pixels.
inline constexpr int kPlayerShotSize = 24;
// How far a shot of kind 0..2 fired at a shot level flies, in pixels.
int ShotFlight(int kind, int level);
// Where a shot leaves the player, as an offset from its top-left.
struct Muzzle {
  int x, y;
};
// The muzzle for the player facing 1 (right) or -1, squatting 0 or 1, in an
// animation state (AnimState: walking and squatting move it).
Muzzle MuzzleOffset(int facing, int squat, int animState);
// The Blaze blast at floor pixel (x, y).
void ExplodePlayerBlast(int x, int y);
// How far an enemy blast of size 1..3 reaches from its middle, in pixels.
inline constexpr int EnemyBlastReach(int size) { return 45 + 25 * (size < 1 ? 1 : size > 3 ? 3 : size); }
// Whether an enemy blast of size 1..3 at floor pixel (x, y) reaches the box
// from (left, top) to (right, bottom), edges included.
inline constexpr bool EnemyBlastReaches(int x, int y, int size, int left, int top, int right, int bottom) {
  const int r = EnemyBlastReach(size);
  return left <= x + r && right >= x - r && top <= y + r && bottom >= y - r;
}
// An enemy blast of size 1..3 at floor pixel (x, y).
void ExplodeEnemyBlast(int x, int y, int damage, int size);
