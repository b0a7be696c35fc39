// The enemy half of the shot update: bullets in flight and the countdown a
// beaten boss runs, called after the player shots each floor-play frame.
#pragma once

// Frames an attack's bullet flies before it goes.
inline constexpr int kBulletLife = 320;
// Bullet kinds that fire more than their slot's speed: kind 4 splits into a
// fan at the split speed as its life runs low, kind 18 fires a line of
// bullets each the step faster than the one before, kind 19 fires again at
// the player at the re-aimed speed.
inline constexpr int kSplittingBulletKind = 4;
inline constexpr double kSplitBulletSpeed = 7.0;
inline constexpr int kLineBurstKind = 18;
inline constexpr int kLineBurstBullets = 48;
inline constexpr double kLineBurstSpeedStep = 0.15;
inline constexpr int kReaimKind = 19;
inline constexpr double kReaimedBulletSpeed = 5.5;

struct EnemyRecord;
// Where enemy `e`'s bullets start as it faces: the top-left of the bullet's
// 24-pixel cell, which strikes at its centre, kBulletHitOffset in.
inline constexpr int kBulletHitOffset = 12;
struct BulletStart {
  int x, y;
};
BulletStart EnemyMuzzle(const EnemyRecord& e);
// Whether bullets of kind 0..19 fly through cells.
bool BulletKindPassesCells(int kind);
// Frees, draws and moves every live enemy bullet.
void UpdateEnemyBullets();
// Runs one step of the boss-defeat countdown while it is above 0.
void RunBossDefeatCountdown();
