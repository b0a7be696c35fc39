// The enemy half of the shot update: bullets in flight and the countdown a
// beaten boss runs, called after the player shots each floor-play frame.
#pragma once

#include "game/game_state.h"
#include "game/shot_record.h"

// Frames an attack's bullet flies before it goes.
inline constexpr int kBulletLife = 320;
// Bullet kinds that fire more than their slot's speed: kind 4 splits into a
// fan at the split speed as its life runs low, kind 18 fires a line of the
// slot's bullet count, each the step faster than the one before (the count
// sets how fast its head flies), kind 19 fires again at the player at the
// re-aimed speed.
inline constexpr int kSplittingBulletKind = 4;
inline constexpr double kSplitBulletSpeed = 7.0;
inline constexpr int kLineBurstKind = 18;
inline constexpr double kLineBurstSpeedStep = 0.15;
inline constexpr int kReaimKind = 19;
inline constexpr double kReaimedBulletSpeed = 5.5;
// A splitting bullet splits once its life is below kSplitBelowLife: a fan of
// kSplitBullets a step of pi / kSplitStepDivisor apart, centred on the
// player, each living kSplitBulletLife frames. A re-aiming bullet fires
// again once its life is below kReaimBelowLife, as long as its mode (the
// turns it has left) is above 0; the bullet it fires has one turn fewer.
inline constexpr int kSplitBelowLife = 120;
inline constexpr int kSplitBullets = 5;
inline constexpr int kSplitStepDivisor = 8;
inline constexpr int kSplitBulletLife = 255;
inline constexpr int kReaimBelowLife = 260;
// The effect a bullet leaves where a cell stops it.
inline constexpr int kBulletSparkEffect = 7;
// Enemy bullets go once they leave the field and its margin.
inline bool BulletOutOfField(double x, double y) { return x < -16 || x > 2416 || y < -16 || y > 1488; }

// What becomes of an enemy bullet in a frame, judged before it flies on:
// it flies, goes (its life out, off the field), strikes the player or a
// wall, or splits or fires again at the player (and goes).
enum class BulletFate { kFlies, kGone, kHitsPlayer, kStrikesWall, kSplits, kReaims };
// The body bullets strike (floor pixels, edges included), whether it can be
// struck now, and the point splits and re-aims aim at.
struct BulletTarget {
  int left, right, top, bottom;
  bool open;
  int aimX, aimY;
};
BulletTarget PlayerTarget(const PlayerRecord& p);
BulletFate JudgeEnemyBullet(const ShotRecord& b, const BulletTarget& target);
// The bullets a bullet whose fate is kSplits or kReaims fires at the target.
struct BulletFork {
  ShotRecord bullets[kSplitBullets];
  int count;
};
BulletFork ForkEnemyBullet(const ShotRecord& b, const BulletTarget& target);
// A bullet that flies on moves a frame, its pull, life and animation with it.
void FlyEnemyBullet(ShotRecord& b);

struct EnemyRecord;
// Where enemy `e`'s bullets start as it faces: the top-left of the bullet's
// 24-pixel cell, which strikes at its centre, kBulletHitOffset in.
inline constexpr int kBulletHitOffset = 12;
struct BulletStart {
  int x, y;
};
BulletStart EnemyMuzzle(const EnemyRecord& e);
// Whether the player is so close in front of a level shot's muzzle `m` that
// nobody could jump it: up to 128 pixels ahead of it and 32 behind, standing
// in its lane, or over it in a jump that comes down into it. An enemy that
// only shoots level (slot 0 always chosen) holds the shot back then.
bool PointBlank(const EnemyRecord& e, const BulletStart& m);
// Whether (x, y) is near enough the player that an enemy's shot or a block
// made there is heard.
bool InPlayerView(double x, double y);
// Whether bullets of kind 0..19 fly through cells.
bool BulletKindPassesCells(int kind);
// Frees, draws and moves every live enemy bullet.
void UpdateEnemyBullets();
// Runs one step of the boss-defeat countdown while it is above 0.
void RunBossDefeatCountdown();
