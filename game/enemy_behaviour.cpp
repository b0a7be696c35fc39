// Enemy behaviour and movement: the per-frame scan over the live enemies
// (behaviour, animation, laser beams, contact with the player, drawing), the
// behaviour types with the shared wall, ledge and gravity rules, and the
// test of an enemy's body box against the attribute layer.
#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <iterator>

#include "core/random.h"
#include "game/crossfade.h"
#include "game/effects.h"
#include "game/enemies.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/pools.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "sound/sound_play.h"

std::int32_t laserFrame = 0;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kEdgeLeft = 0, kEdgeRight = 1, kEdgeTop = 2, kEdgeBottom = 3, kEdgeLedge = 4;
// Movement of the behaviour types, in pixels and frames: the bobs' heights
// a frame, type 6's charge, type 24's dash (its two legs add up to the
// distance, covered in the frames), the height drifts' divisors.
constexpr double kWideBob = 2.0, kNarrowBob = 0.5;
constexpr double kChargeFactor = 2.5;
constexpr int kChangeDashDistance = 608, kChangeDashFrames = 50;
constexpr int kDriftSteps12 = 100, kDriftSteps13 = 80, kDriftSteps20 = 400;
// The Butterfly's heights (sprite tops), and her random ones between them,
// keep her within the bottom screen of the field, where her hall's floor
// lies: in sight from its branch and within reach of its shots.
constexpr std::initializer_list<int> kButterflyHeights = {1120, 1152, 1184, 1216};
// The Dragon Head's, likewise: in the lowest two screens of its shaft, in
// sight from the few ledges a player climbs there. The lowest keeps its body
// above the hall's floor: sunk into it, the probe at the body's side met the
// floor as a wall, and the snap off that wall slid the head out of its shaft
// across the hall onto the ledges, a cell a frame.
constexpr std::initializer_list<int> kDragonHeadHeights = {928, 1024, 1120, 1152};
int laserTick = 0;

int Random(int max) { return qz::GetRandomUpTo(max); }
void PlayEffectSound(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }
bool Solid(int x, int y) { return ReadAttributeAtPixel(x, y) >= kAttrSolidFrom; }

void FacePlayer(EnemyRecord& e) { e.facing = e.x + e.width / 2 < player.x + 32 ? 1 : -1; }
void Walk(EnemyRecord& e) { e.posX += e.facing * e.speed; }
void Jump(EnemyRecord& e) {
  e.moveState = 1;
  e.fallSpeed = -kEnemyHopSpeed - e.speed2;
}
void Hop(int i) {
  EnemyRecord& e = enemies[i];
  if (e.moveState == 0 && EnemyMapCollision(kEdgeTop, i) == 0) Jump(e);
}
bool OnGround(const EnemyRecord& e) { return e.flying == 0 && e.moveState == 0; }
// Counts the second clock on the ground and hops once it passes
// base + random 0..spread, drawn anew each frame.
void HopOnClock(int i, int base, int spread) {
  EnemyRecord& e = enemies[i];
  if (!OnGround(e)) return;
  if (++e.secondClock <= base + Random(spread)) return;
  e.secondClock = 0;
  Hop(i);
}
// A bob of amplitude `a`: speed2 follows a sine of the phase in driftY.
void Bob(EnemyRecord& e, double a) {
  e.speed2 = a * std::sin(kPi * e.driftY);
  e.driftY += 0.025;
  if (e.driftY > 4.0) e.driftY = 0.0;
}
double Towards(double value, double target, double step) {
  return value < target ? std::min(value + step, target) : std::max(value - step, target);
}
// Accelerates towards the player by `step` up to `speed`; flyers also
// vertically (through speed2).
void Chase(EnemyRecord& e, double step, bool vertical) {
  const double cx = e.posX + e.width / 2.0, px = player.x + 32.0;
  e.driftX = Towards(e.driftX, px > cx ? e.speed : -e.speed, step);
  e.posX += e.driftX;
  if (e.driftX != 0.0) e.facing = e.driftX > 0.0 ? 1 : -1;
  if (vertical && e.flying == 1) {
    const double cy = e.posY + e.height / 2.0, py = player.y + 32.0;
    e.speed2 = Towards(e.speed2, py > cy ? e.speed : -e.speed, step);
  }
}
// Types 12, 13 and 20: after `wait` frames drift vertically towards one of
// `heights` (or a random height `randomSpan` down from `randomTop`) by
// 1/`steps` of the distance a frame.
void DriftToHeight(EnemyRecord& e, int wait, int restart, int steps, std::initializer_list<int> heights,
                   int randomTop = 384, int randomSpan = 480) {
  ++e.behaviourClock;
  if (e.behaviourClock == wait) {
    const int pick = Random(static_cast<int>(heights.size()));
    const int target =
        pick < static_cast<int>(heights.size()) ? heights.begin()[pick] : randomTop + Random(randomSpan);
    e.velocityY = 0.0;
    e.driftY = (target - e.posY) / steps;
  }
  if (e.behaviourClock > wait) e.posY += e.driftY, e.posX += e.driftX;
  if (e.behaviourClock >= restart) e.behaviourClock = 0;
}

struct Point {
  int x, y;
};
// Type 11: the eight points it teleports between.
constexpr Point kTeleportPoints[] = {{416, 576}, {416, 768}, {416, 960}, {704, 672},
                                     {704, 960}, {992, 576}, {992, 768}, {992, 960}};
// Type 23's fourteen points are this game's own (no table gives them): type
// 11's column spacing of 288 carried over seven columns across the field, on
// type 11's top and bottom rows.
constexpr Point kWideTeleportPoints[] = {{416, 576},  {704, 576},  {992, 576},  {1280, 576}, {1568, 576},
                                         {1856, 576}, {2144, 576}, {416, 960},  {704, 960},  {992, 960},
                                         {1280, 960}, {1568, 960}, {1856, 960}, {2144, 960}};
constexpr int kTeleportPeriod = 120;
constexpr int kTeleportCell = 11, kTeleportFadeCell = 6, kTeleportFadeClock = 109;

// Puts the animation on its first step that shows sheet cell `cell`; a table
// without that cell keeps its animation.
void ShowCell(EnemyRecord& e, int cell) {
  for (int step = 0; step < kEnemyAnimSteps; ++step) {
    if (e.animFrames[step] == cell) {
      e.animFrame = step;
      e.animTick = 0;
      return;
    }
  }
}

// Moves to a random point of `points` that no other enemy of the same type
// has chosen; with every point taken it stays where it is (a retry would
// never end).
template <std::size_t N>
void Teleport(int i, const Point (&points)[N]) {
  EnemyRecord& e = enemies[i];
  int free[N];
  int count = 0;
  for (int p = 0; p < static_cast<int>(N); ++p) {
    bool taken = false;
    for (int j = 0; j < kEnemyPoolSize; ++j) {
      const EnemyRecord& other = enemies[j];
      taken = taken || (j != i && other.life > 0 && other.behaviour == e.behaviour && other.behaviourTarget == p);
    }
    if (!taken) free[count++] = p;
  }
  if (count == 0) return;
  e.behaviourTarget = free[Random(count - 1)];
  e.posX = points[e.behaviourTarget].x;
  e.posY = points[e.behaviourTarget].y;
}

// Types 11 and 23: a new point every 120 frames, appearing in cell 11 and
// fading out in cell 6 before the next jump.
template <std::size_t N>
void TeleportOnClock(int i, const Point (&points)[N]) {
  EnemyRecord& e = enemies[i];
  FacePlayer(e);
  const int clock = ++e.behaviourClock;
  if (clock == 1) {
    Teleport(i, points);
    ShowCell(e, kTeleportCell);
  }
  if (clock == kTeleportFadeClock) ShowCell(e, kTeleportFadeCell);
  if (clock >= kTeleportPeriod) e.behaviourClock = 0;
}

// Type 24's four attack patterns: aim mode, bullets, volleys, spread divisor,
// interval, speed, damage.
struct ChangingPattern {
  int aim, bullets, volleys, divisor, interval;
  double speed;
  int damage;
};
constexpr ChangingPattern kChangingPatterns[4] = {
    {1, 3, 1, 10, 3, 8.0, 24}, {1, 15, 5, 16, 50, 5.5, 23}, {1, 1, 1, 10, 2, 17.0, 17}, {3, 1, 1, 10, 8, 7.0, 28}};

void ChangeAttacker(EnemyRecord& e) {
  const int clock = ++e.behaviourClock;
  if (clock == 1) {
    e.animFrame = e.animTick = 0;
    e.driftX = e.speed2 = 0.0;
    std::fill(std::begin(e.damageFactor), std::end(e.damageFactor), 0.9);
    const int k = Random(3);
    // k 3 names no shot kind: every factor stays 0.9.
    if (k < 3) e.damageFactor[k] = 1.0;
    const ChangingPattern& p = kChangingPatterns[k];
    e.bulletKind[0] = k + 5, e.bulletMode[0] = 1;
    e.aimMode[0] = p.aim, e.bulletsPerVolley[0] = p.bullets, e.volleysPerBurst[0] = p.volleys;
    e.spreadDivisor[0] = p.divisor, e.bulletSpeed[0] = p.speed, e.bulletDamage[0] = p.damage;
    e.baseInterval = e.attackInterval = p.interval;
    e.attackTimer = e.volleyCount = 0, e.attackSlot = -1;
  }
  if (clock < 200) FacePlayer(e);
  if (clock == 200) {
    e.volleysPerBurst[0] = 0;
    ShowCell(e, 6);
    const int across = Random(kChangeDashDistance);
    double mx = across, my = kChangeDashDistance - across;
    if (Random(1) == 0) mx = -mx;
    if (Random(1) == 0) my = -my;
    if (e.posX + mx < 704 || e.posX + mx > 2272) mx = -mx;
    if (e.posY + my < 160 || e.posY + my > 1280) my = -my;
    e.driftX = mx / kChangeDashFrames, e.speed2 = my / kChangeDashFrames;
  }
  if (clock > 200) e.posX += e.driftX;
  if (clock >= 250) e.behaviourClock = 0;
}

void SteerAndSettle(EnemyRecord& e) {
  const int clock = ++e.behaviourClock;
  if (clock <= 180) {
    const double cx = e.posX + e.width / 2.0, cy = e.posY + e.height / 2.0;
    e.driftX = Towards(e.driftX, player.x + 32.0 > cx ? e.speed : -e.speed, 0.02);
    e.speed2 = Towards(e.speed2, player.y + 32.0 > cy ? e.speed : -e.speed, 0.02);
    if (e.driftX != 0.0) e.facing = e.driftX > 0.0 ? 1 : -1;
  } else {
    e.driftX = Towards(e.driftX, 0.0, 0.02);
    e.speed2 = Towards(e.speed2, 0.0, 0.02);
    if (e.driftX == 0.0) FacePlayer(e);
  }
  e.posX += e.driftX;
  if (clock > 300) e.behaviourClock = 0;
}

// The Sun, the last phase, follows the player's height at this speed.
constexpr double kSunFollowSpeed = 0.75;

void FireChangeSparksWhenDue(int i) {
  EnemyRecord& e = enemies[i];
  // behaviourClock counts the change's delay down: types 36 and 37 have no
  // other use for it.
  if (e.behaviourClock > 0 && --e.behaviourClock == 0) EnemyFireBullet(i);
}

// The moon boss's phases, entered as its life falls below 25, 17 and 9.
void StepMoonPhase(int i) {
  EnemyRecord& e = enemies[i];
  FireChangeSparksWhenDue(i);
  constexpr int kThresholds[] = {25, 17, 9};
  if (e.phase >= 3 || e.life >= kThresholds[e.phase]) return;
  ++e.phase;
  ++e.sheetSlot;
  SpawnEffect(5, e.x + 192, e.y + 192);
  PlayEffectSound(kSeBom01);
  if (e.phase == 1) e.baseInterval = 110, e.slotChance[0] = 70, e.slotChance[1] = 5, e.volleysPerBurst[0] = 2;
  if (e.phase == 2) e.baseInterval = 100, e.slotChance[0] = 65, e.volleysPerBurst[0] = 1, e.bulletsPerVolley[1] = 3;
  if (e.phase == 3) {
    e.baseInterval = 80, e.slotChance[0] = 70, e.bulletsPerVolley[1] = 5, e.spreadDivisor[1] = 24;
    e.damageFactor[0] = 1.0, e.damageFactor[2] = 0.0;
    // The kind has no speed of its own: the chase needs one to move at all.
    e.speed = kSunFollowSpeed;
    e.behaviour = 37;
  }
  e.behaviourClock = kMoonChangeSparkDelay;
}

// Type 37, the Sun: follows the player's height, easing, but never sideways,
// its body (a ghost) kept behind the wall it floats beyond rather than
// coming through it onto the player. Its middle, where the sparks start,
// keeps level with the player's head: level with the middle it would sit
// on the floor of the slit, which would stop the sparks at once.
void FollowHeight(int i) {
  EnemyRecord& e = enemies[i];
  FacePlayer(e);
  const double cy = e.posY + e.height / 2.0, py = player.y + 16.0;
  e.speed2 = Towards(e.speed2, py > cy ? e.speed : -e.speed, 0.05);
  FireChangeSparksWhenDue(i);
}

void RunTypeStep(int i) {
  EnemyRecord& e = enemies[i];
  switch (e.behaviour) {
    case 0: FacePlayer(e); break;
    case 1: Walk(e); break;
    case 2:
      FacePlayer(e);
      Hop(i);
      break;
    case 3:
      Walk(e);
      HopOnClock(i, 20, 80);
      break;
    case 5:
      Walk(e);
      Bob(e, kWideBob);
      break;
    case 6:
      Walk(e);
      if (e.secondClock == 0 && std::abs(e.x + e.width / 2 - (player.x + 32)) <= 128) {
        e.secondClock = 1, e.speed *= kChargeFactor;
      }
      if (e.secondClock > 0 && ++e.secondClock > 20) e.behaviour = 1;
      break;
    case 7: Chase(e, 0.05, true); break;
    case 4:
      if (++e.behaviourClock < 60) {
        FacePlayer(e);
        break;
      }
      if (e.behaviourClock == 60) {
        const double a =
            std::atan2(player.y + 32.0 - (e.posY + e.height / 2.0), player.x + 32.0 - (e.posX + e.width / 2.0));
        e.driftX = std::cos(a) * e.speed, e.driftY = std::sin(a) * e.speed;
      }
      e.posX += e.driftX, e.posY += e.driftY;
      if (e.behaviourClock >= 120) e.behaviourClock = 0;
      break;
    case 8:
      Chase(e, 0.05, false);
      HopOnClock(i, 20, 80);
      break;
    case 9:
    case 10:
      if (!OnGround(e)) {
        Walk(e);
        break;
      }
      if (e.behaviour == 10 && e.secondClock == 0) FacePlayer(e);
      HopOnClock(i, 10, 80);
      break;
    case 11: TeleportOnClock(i, kTeleportPoints); break;
    case 23: TeleportOnClock(i, kWideTeleportPoints); break;
    case 19:
      Walk(e);
      HopOnClock(i, 30, 120);
      if (e.secondPause == 0) e.secondPause = 60 + Random(200);
      if (++e.behaviourClock < e.secondPause) break;
      e.behaviourClock = e.secondPause = 0;
      if (Random(99) < 40) e.facing = -e.facing;
      break;
    case 22:
      Chase(e, 0.15, false);
      HopOnClock(i, 16, 80);
      break;
    case 24: ChangeAttacker(e); break;
    case 25: SteerAndSettle(e); break;
    case 13:
      e.facing = -1;
      DriftToHeight(e, 80, 100, kDriftSteps13, kDragonHeadHeights, kDragonHeadHeights.begin()[0],
                    kDragonHeadHeights.end()[-1] - kDragonHeadHeights.begin()[0]);
      break;
    case 12:
      FacePlayer(e);
      DriftToHeight(e, 100, 200, kDriftSteps12, {384, 384, 384, 864, 864, 864});
      break;
    case 14:
      e.posX = player.x;
      e.posY = 960;
      break;
    case 16:
      if (e.secondPause == 0) e.secondPause = 30 + Random(120);
      if (++e.behaviourClock < e.secondPause) break;
      FacePlayer(e);
      Walk(e);
      if (e.behaviourClock >= e.secondPause + 60 + Random(180)) e.behaviourClock = e.secondPause = 0;
      break;
    case 17:
      Walk(e);
      Bob(e, kNarrowBob);
      FacePlayer(e);
      break;
    case 18:
      Walk(e);
      if (e.secondPause == 0) e.secondPause = 40 + Random(200);
      if (++e.behaviourClock < e.secondPause) break;
      e.behaviourClock = e.secondPause = 0;
      if (Random(99) < 40) e.facing = -e.facing;
      break;
    case 20:
      FacePlayer(e);
      DriftToHeight(e, 100, 500, kDriftSteps20, kButterflyHeights, kButterflyHeights.begin()[0],
                    kButterflyHeights.end()[-1] - kButterflyHeights.begin()[0]);
      break;
    case 21: Chase(e, 0.15, false); break;
    case 26:
      Walk(e);
      Hop(i);
      break;
    case 27:
      Chase(e, 0.05, false);
      Hop(i);
      break;
    case 29: e.facing = ReadAttributeAtPixel(e.x + 8, e.y - 8) > 20 ? 1 : -1; break;
    case 30:
    case 31:
      if (e.behaviourClock == 0) Walk(e);
      break;
    case 32:
      FacePlayer(e);
      HopOnClock(i, 24, 80);
      break;
    case kRestingHopperBehaviour:
      FacePlayer(e);
      HopOnClock(i, kHopperRestFrames, 0);
      break;
    case 33:
      Walk(e);
      if (!OnGround(e)) break;
      if (++e.behaviourClock > 30) {
        e.behaviourClock = 0;
        Hop(i);
        e.facing = -e.facing;
      }
      break;
    case kLurkerBehaviour: {
      const int dx = std::abs(player.x - e.x);
      if (dx <= kLurkerWakeDistance && player.y >= e.y - 16 && player.y <= e.y + 128) e.behaviour = 1;
      break;
    }
    case 35: {
      if (!OnGround(e)) break;
      FacePlayer(e);
      const int distance = std::abs(e.x + e.width / 2 - (player.x + 32));
      if (distance < 224) e.facing = -e.facing, Walk(e);
      if (distance > 288) Walk(e);
      break;
    }
    case 36:
      Bob(e, kNarrowBob);
      FacePlayer(e);
      StepMoonPhase(i);
      break;
    case 37: FollowHeight(i); break;
    default: break;  // 15 and 28 do nothing
  }
}

}  // namespace

EnemyTopSpeed TopSpeedOfBehaviour(const EnemyRecord& e) {
  const double speed = std::abs(e.speed), speed2 = std::abs(e.speed2);
  // A height drift covers 1/steps of the way to its height a frame: at most
  // the field's height over the steps.
  const auto drift = [](int steps) { return static_cast<double>(kFieldBottomPixel) / steps; };
  switch (e.behaviour) {
    case 0: case 2: case 32: case kRestingHopperBehaviour: return {0.0, e.flying == 1 ? speed2 : 0.0};
    case 11: case 14: case 15: case 23: case 28: case 29: return {0.0, 0.0};
    case 4: case 7: case 25: return {speed, std::max(speed, speed2)};
    case 37: return {0.0, std::max(speed, speed2)};
    case 5: return {speed, kWideBob};
    case 6: return {speed * kChargeFactor, speed2};
    case 12: return {0.0, drift(kDriftSteps12)};
    case 13: return {0.0, drift(kDriftSteps13)};
    case 17: return {speed, kNarrowBob};
    case 20: return {0.0, drift(kDriftSteps20)};
    case 30: case 31: return {speed, speed};  // round a wall's corner
    case 24: return {static_cast<double>(kChangeDashDistance) / kChangeDashFrames,
                     static_cast<double>(kChangeDashDistance) / kChangeDashFrames};
    case 36: return {0.0, kNarrowBob};
    default: return {speed, e.flying == 1 ? speed2 : 0.0};
  }
}

namespace {

// Puts the body's left (or right) edge just off the wall it ran into.
void SnapToWall(EnemyRecord& e, int edge) {
  const int x = static_cast<int>(e.posX);
  if (edge == kEdgeLeft) e.posX += 33 - (x + e.bodyLeft) % 32;
  if (edge == kEdgeRight) e.posX -= (x + e.bodyRight) % 32 + 1;
}
// Puts the feet on the top of the floor cell, or the head under the ceiling.
void SnapToFloor(EnemyRecord& e) {
  const int bottom = static_cast<int>(e.posY) + e.bodyBottom;
  e.posY -= bottom % 32;
}
void SnapToCeiling(EnemyRecord& e) {
  const int top = static_cast<int>(e.posY) + e.bodyTop;
  e.posY += 32 - top % 32;
}

void ApplyKnockback(int i) {
  EnemyRecord& e = enemies[i];
  if (e.velocityX != 0.0) {
    e.posX += e.velocityX;
    const int edge = e.velocityX < 0.0 ? kEdgeLeft : kEdgeRight;
    if (EnemyMapCollision(edge, i) != 0) SnapToWall(e, edge);
    e.velocityX = Towards(e.velocityX, 0.0, 0.5);
  }
  if (e.velocityY != 0.0) {
    e.posY += e.velocityY;
    if (e.velocityY < 0.0 && EnemyMapCollision(kEdgeTop, i) != 0) SnapToCeiling(e);
    if (e.velocityY > 0.0 && EnemyMapCollision(kEdgeBottom, i) != 0) SnapToFloor(e);
    e.velocityY = Towards(e.velocityY, 0.0, 0.5);
  }
}

void TurnAtWall(int i) {
  EnemyRecord& e = enemies[i];
  const int edge = e.facing > 0 ? kEdgeRight : kEdgeLeft;
  if (EnemyMapCollision(edge, i) == 0) return;
  SnapToWall(e, edge);
  if (e.behaviour == 30 || e.behaviour == 31) {
    const double up = e.behaviour == 30 ? 1.0 : -1.0;
    e.behaviourClock = 1;
    e.moveState = 1;
    e.speed2 = (e.facing > 0 ? e.speed : -e.speed) * up;
  } else if (e.turnFlag != 0) {
    e.facing = -e.facing;
  }
}

void FallOrLand(int i) {
  EnemyRecord& e = enemies[i];
  if (e.moveState == 0 && EnemyMapCollision(kEdgeBottom, i) == 0) {
    e.moveState = 1;
    e.fallSpeed = kEnemyFirstFallSpeed;
  }
  if (e.moveState != 1) return;
  e.posY += e.fallSpeed;
  if (e.fallSpeed > 0.0 && EnemyMapCollision(kEdgeBottom, i) != 0) {
    SnapToFloor(e);
    e.moveState = 0;
    e.fallSpeed = 0.0;
    return;
  }
  if (e.fallSpeed < 0.0 && EnemyMapCollision(kEdgeTop, i) != 0) {
    SnapToCeiling(e);
    e.fallSpeed = -1.0;
  }
  e.fallSpeed = std::min(e.fallSpeed + kEnemyGravity, kEnemyFallCap);
}

void FlyVertically(int i) {
  EnemyRecord& e = enemies[i];
  if (e.moveState != 1 || e.speed2 == 0.0) return;
  const double moved = e.speed2;
  e.posY += moved;
  const int edge = moved > 0.0 ? kEdgeBottom : kEdgeTop;
  if (EnemyMapCollision(edge, i) == 0) return;
  if (edge == kEdgeBottom) SnapToFloor(e);
  else SnapToCeiling(e);
  if (e.behaviour == 30 || e.behaviour == 31) {
    e.behaviourClock = 0, e.moveState = 0, e.speed2 = 0.0;
    const int downFacing = e.behaviour == 30 ? 1 : -1;
    e.facing = moved > 0.0 ? downFacing : -downFacing;
  } else if (e.turnFlag != 0) {
    e.speed2 = -e.speed2;
  }
}

void Remove(EnemyRecord& e) {
  e.life = 0;
  --enemyCount;
  if (e.counted == 1) --requiredDefeats;
}

bool OutsideField(const EnemyRecord& e) {
  return e.x < -32 - e.width || e.x > 2464 || e.y < -32 - e.height || e.y > 1536;
}

void AdvanceAnimation(EnemyRecord& e) {
  if (++e.animTick <= e.animDurations[e.animFrame]) return;
  e.animTick = 0;
  ++e.animFrame;
  if (e.animFrame >= kEnemyAnimSteps || e.animDurations[e.animFrame] == 0) e.animFrame = 0;
}

struct Box {
  int left, top, right, bottom;
};
Box PlayerBox() {
  return {player.x + 20, player.y + 8 + 28 * player.squat, player.x + 44, player.y + 54};
}
Box BodyBox(const EnemyRecord& e) {
  if (e.facing > 0) return {e.x + e.bodyLeft, e.y + e.bodyTop, e.x + e.bodyRight, e.y + e.bodyBottom};
  return {e.x + e.width - e.bodyRight, e.y + e.bodyTop, e.x + e.width - e.bodyLeft, e.y + e.bodyBottom};
}
bool Overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void HurtPlayer(int damage, double knockback, int invulnerable, int effectX, int effectY) {
  player.invulnerableFrames = invulnerable;
  player.life = std::max(player.life - std::max(damage, 0), 0);
  player.velocityX = knockback;
  PlayEffectSound(kSeHit01);
  StartEffect(8, 16, 1, effectX, effectY, 0.0, 1.0);
}

void TouchPlayer(const EnemyRecord& e) {
  if (fadeRequest != 0 || player.invulnerableFrames > 0 || !Overlap(BodyBox(e), PlayerBox())) return;
  const double push = e.contactKnockback == 1 ? 8.0 : e.contactKnockback == 2 ? 12.0 : 2.5;
  // Backwards from the way the player faces, as every other hit on the player.
  HurtPlayer(e.contactDamage, -push * player.facing, 16, player.x + 8, player.y + 8);
}

void DrawEnemy(const EnemyRecord& e, bool flashing) {
  const int* cells = nullptr;
  const int count = EnemySheetCells(e.sheetSlot, &cells);
  const int cell = e.animFrames[e.animFrame];
  if (cell < 0 || cell >= count || cells[cell] == -1) return;
  const int sx = e.x - cameraX, sy = e.y - cameraY;
  for (int pass = 0; pass < (flashing ? 2 : 1); ++pass) {
    if (pass == 1) qz::SetBlendModeAndParam(2, 255);
    else if (e.alpha > 0) qz::SetBlendModeAndParam(1, e.alpha);
    if (e.sizeFactor == 1) {
      if (e.facing < 1) qz::BlitGraphMirrored(sx, sy, cells[cell], 1);
      else qz::BlitGraph(sx, sy, cells[cell], 1);
    } else {
      qz::BlitGraphRotated(sx + e.width / 2, sy + e.height / 2, e.sizeFactor, 0.0, cells[cell], 1,
                           e.facing < 1 ? 1 : 0);
    }
    qz::SetBlendModeAndParam(0, 0);
  }
}

// The beam of a laser trap: from the trap to the first solid cell along
// `direction` (the field edge when none), clipped to the screen.
void UpdateLaserBeam(int direction, const EnemyRecord& e) {
  static constexpr int kStart[4][2] = {{-8, 8}, {40, 8}, {8, 40}, {8, -8}};
  static constexpr int kStep[4][2] = {{-32, 0}, {32, 0}, {0, 32}, {0, -32}};
  int px = e.x + kStart[direction][0], py = e.y + kStart[direction][1];
  if (ReadAttributeAtPixel(px, py) >= kAttrSolidFrom) return;
  while (!Solid(px, py) && px > 0 && px < 2464 && py > 0 && py < 1536) {
    px += kStep[direction][0];
    py += kStep[direction][1];
  }
  // The far end lies 8 pixels into the cell that stopped the beam.
  const int cellLeft = px - ((px % 32) + 32) % 32, cellTop = py - ((py % 32) + 32) % 32;
  const int shift = e.behaviour == 1 ? -e.facing : e.speed2 > 0.0 ? -1 : e.speed2 < 0.0 ? 1 : 0;
  Box beam{};
  const bool across = direction < 2;
  if (across) {
    const int end = direction == 0 ? cellLeft + 24 : cellLeft + 8;
    beam = {std::min(e.x + 16, end), e.y + 12 + shift, std::max(e.x + 16, end), e.y + 20 + shift};
  } else {
    const int end = direction == 3 ? cellTop + 24 : cellTop + 8;
    beam = {e.x + 12 + shift, std::min(e.y + 16, end), e.x + 20 + shift, std::max(e.y + 16, end)};
  }
  const int* sheet = across ? sheets.laser01 : sheets.laser02;
  qz::SetBlendModeAndParam(2, 255);
  qz::BlitGraphStretched(std::max(beam.left - cameraX, 0), std::max(beam.top - cameraY, 0),
                         std::min(beam.right - cameraX, 640), std::min(beam.bottom - cameraY, 480), sheet[laserFrame],
                         1);
  qz::SetBlendModeAndParam(0, 0);
  if (player.invulnerableFrames > 0 || !Overlap(beam, PlayerBox())) return;
  HurtPlayer(5, -2.5 * player.facing, 64, player.x + 8, player.y + 8);
}

bool InView(const EnemyRecord& e) {
  const int sx = e.x - cameraX, sy = e.y - cameraY;
  return sx < 704 && sx + e.width > -64 && sy < 544 && sy + e.height > -64;
}

}  // namespace

int EnemyMapCollision(int edge, int i) {
  const EnemyRecord& e = enemies[i];
  if (e.ghost != 0 && edge != kEdgeLedge) return 0;
  const int X = static_cast<int>(e.posX), Y = static_cast<int>(e.posY);
  const int L = X + e.bodyLeft, T = Y + e.bodyTop, W = e.bodyRight - e.bodyLeft, H = e.bodyBottom - e.bodyTop;
  const auto blocked = [](int x, int y, int above) { return ReadAttributeAtPixel(x, y) > above; };
  switch (edge) {
    case kEdgeLeft:
    case kEdgeRight: {
      // The lowest point is the body's last row: the row below it is the
      // floor a walker stands on, which must not count as a wall.
      const int ex = edge == kEdgeLeft ? L : X + e.bodyRight;
      for (int k = 0; 32 * k < H; ++k) {
        if (blocked(ex, T + 32 * k, kAttrOneWay)) return 1;
      }
      return blocked(ex, Y + e.bodyBottom - 1, kAttrOneWay) ? 1 : 0;
    }
    case kEdgeTop:
      for (int k = 0; 32 * k < W; ++k) {
        if (blocked(L + 32 * k, T, kAttrOneWay)) return 1;
      }
      return blocked(X + e.bodyRight, T, kAttrOneWay) ? 1 : 0;
    case kEdgeBottom: {
      const int above = e.flying == 1 ? kAttrOneWay : kAttrOneWay - 1;  // one-way platforms carry walkers
      for (int k = 0; 32 * k < W; ++k) {
        if (blocked(L + 32 * k, Y + e.bodyBottom, above)) return 1;
      }
      return blocked(X + e.bodyRight, Y + e.bodyBottom, above) ? 1 : 0;
    }
    case kEdgeLedge: {
      if (e.moveState == 1) return 0;
      const int probeX = e.facing < 0 ? X + 8 : X + e.bodyRight - 8;
      return ReadAttributeAtPixel(probeX, Y + e.bodyBottom + 16) < kAttrOneWay ? 1 : 0;
    }
    default: return 0;
  }
}

void UpdateEnemyBehaviour(int i) {
  EnemyRecord& e = enemies[i];
  e.turnFlag = 1;
  RunTypeStep(i);
  ApplyKnockback(i);
  TurnAtWall(i);
  if (e.ledgeMode != 0 && EnemyMapCollision(kEdgeLedge, i) != 0) {
    if (e.ledgeMode == 1) e.facing = -e.facing;
    if (e.ledgeMode == 2 && e.moveState == 0) Jump(e);
  }
  if (e.flying == 0) FallOrLand(i);
  else FlyVertically(i);
  e.x = static_cast<int>(e.posX);
  e.y = static_cast<int>(e.posY);
  UpdateEnemyAttack(i);
  if (e.life > 0 && OutsideField(e)) Remove(e);
}

void UpdateEnemies() {
  const int live = enemyCount;
  if (live <= 0) return;
  int seen = 0;
  for (int i = 0; i < kEnemyPoolSize && seen < live; ++i) {
    EnemyRecord& e = enemies[i];
    if (e.life <= 0) continue;
    ++seen;
    const bool acts = e.hurtTimer < 1 || e.actsWhileHurt != 0;
    const bool flashing = e.hurtTimer > 0;
    if (acts) {
      UpdateEnemyBehaviour(i);
      AdvanceAnimation(e);
    }
    if (flashing) --e.hurtTimer;
    // A record its own behaviour removed is done for this frame: counting it
    // off again below would leave the live counter too low.
    if (e.life <= 0) continue;
    if (e.sheetSlot >= kLaserSheetSlot && e.sheetSlot < kShooterSheetSlot) {
      UpdateLaserBeam(e.sheetSlot - kLaserSheetSlot, e);
    }
    if (!InView(e) && e.bossIndex < 0) {
      if (e.counted == 1) Remove(e);
      continue;
    }
    TouchPlayer(e);
    DrawEnemy(e, flashing);
  }
  if (++laserTick > 3) {
    laserTick = 0;
    laserFrame = laserFrame >= 5 ? 0 : laserFrame + 1;
  }
}
