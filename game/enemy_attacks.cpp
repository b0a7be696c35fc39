// Enemy attacks and bullets: the attack clock with its volleys, bursts and
// spawns, the enemy-bullet half of the shot update with the bullets' hits,
// splits and re-aims, an enemy's defeat and the boss-defeat countdown.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/random.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/effects.h"
#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/hud.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/player_shots.h"
#include "game/pools.h"
#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "sound/sound_play.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBurstLife = 180;

int Random(int max) { return qz::GetRandomUpTo(max); }
void PlayEffectSound(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

struct BulletLook {
  int graphicBase, colourRow;  // colourRow -1: the slot's colour
  double ay;
  int blastSize;
};
// Bullet kinds 0..19 (0..3 and 18 take the slot's colour).
constexpr BulletLook kBulletLooks[] = {
    {0, -1, 0, 0},    {3, -1, 0, 0},    {6, -1, 0, 0},    {9, -1, 0, 0},    {3, 4, 0, 0},
    {0, 4, 0, 0},     {6, 4, 0, 0},     {3, 5, 0, 0},     {0, 5, 0.08, 3},  {6, 5, 0, 0},
    {0, 6, 0, 0},     {3, 6, 0, 0},     {6, 6, 0, 0},     {9, 6, 0, 0},     {0, 7, 0.08, 1},
    {0, 7, 0.08, 2},  {0, 7, 0.08, 3},  {6, 7, 0.08, 0},  {9, -1, 0, 0},    {9, 7, 0, 0},
};

double AngleToPlayer(double fromX, double fromY) {
  return std::atan2(player.y + 32 - fromY, player.x + 32 - fromX);
}

// One bullet as it starts.
ShotRecord NewBullet(double x, double y, double angle, double speed, int graphicBase, int colourRow, int power,
                     int mode, int life) {
  ShotRecord b{};
  b.x = x, b.y = y;
  b.vx = std::cos(angle) * speed, b.vy = std::sin(angle) * speed;
  b.life = life, b.power = power;
  b.graphicBase = graphicBase, b.colourRow = colourRow;
  b.angle = angle;
  b.mode = mode;
  b.inUse = 1;
  return b;
}

// Puts a bullet in the pool; its slot, or -1 when the pool is full.
int PlaceBullet(const ShotRecord& bullet) {
  const int slot = FindFreeSlot(kPoolEnemyBullets);
  if (slot < 0) return -1;
  enemyBullets[slot] = bullet;
  ++bulletCount;
  return slot;
}

// Starts one bullet; its slot, or -1 when the pool is full.
int StartBullet(double x, double y, double angle, double speed, int graphicBase, int colourRow, int power, int mode,
                int life) {
  return PlaceBullet(NewBullet(x, y, angle, speed, graphicBase, colourRow, power, mode, life));
}

// The attribute of the cell a bullet's middle is in; 0 for one flying through cells.
int CellUnderBullet(const ShotRecord& b) {
  return PassesCells(b) ? 0
                        : ReadAttributeAtPixel(static_cast<int>(b.x) + kBulletHitOffset,
                                               static_cast<int>(b.y) + kBulletHitOffset);
}

// Two draws in one expression come in the order the compiler picks, so a
// seed would play otherwise on another build: each draw is a statement of its
// own, in the order the game has drawn them (a call's last argument first).
double AimAngle(const EnemyRecord& e, int mode, const BulletStart& m) {
  switch (mode) {
    case 0: return e.facing == 1 ? 0.0 : kPi;
    case 1: return AngleToPlayer(m.x, m.y);
    case 2: {
      const int dx = Random(200) - 100;
      const int dy = Random(200) - 100;
      return std::atan2(player.y + 32 + dy - m.y, player.x + 32 + dx - m.x);
    }
    case 3: {
      const int x = Random(480) - 240;
      return std::atan2(Random(640) - 320, x);
    }
    case 5: {
      const int x = Random(320) - 160 + 200 * e.facing;
      return std::atan2(Random(60) - 330, x);
    }
    case 6: return -kPi / 2;
    default: return 0.0;
  }
}

// Fires a spread of n bullets about `aim`; the last bullet's slot, or -1 when
// the pool filled before the volley ended.
int FireSpread(const BulletStart& m, double aim, int n, int divisor, double speed, const BulletLook& look, int colour,
               int power, int mode, int* last) {
  const double step = divisor != 0 ? kPi / divisor : 0.0;
  const int count = std::max(n, 1);
  const double first = count > 1 ? aim - (count - 1) / 2 * step : aim;
  for (int j = 0; j < count; ++j) {
    const int slot = StartBullet(m.x, m.y, first + j * step, speed, look.graphicBase, colour, power, mode, kBulletLife);
    if (slot < 0) return -1;
    enemyBullets[slot].ay = look.ay;
    enemyBullets[slot].blastSize = look.blastSize;
    *last = slot;
  }
  return *last;
}

bool BodyOnScreen(const EnemyRecord& e) {
  const int middleX = e.x + (e.bodyLeft + e.bodyRight) / 2 - LeadViewLeft();
  const int middleY = e.y + (e.bodyTop + e.bodyBottom) / 2 - LeadViewTop();
  return middleX >= 0 && middleX < kViewWidth && middleY >= 0 && middleY < kViewHeight;
}

void SpawnFromTrapKind() {
  const int slot = FindFreeSlot(kPoolEnemies);
  if (slot < 0) return;
  EnemyRecord& spawned = enemies[slot];
  spawned.x = player.x - 288 + Random(640);
  spawned.y = 896;
  spawned.posX = spawned.x, spawned.posY = spawned.y;
  CopyEnemyFromKind(slot, 8);
  ++enemyCount;
  spawned.speed2 = 2.0 + Random(60) * 0.1;
  spawned.counted = 1;
}

void PlayShotSoundAt(int slot) {
  if (slot >= 0 && InPlayerView(enemyBullets[slot].x, enemyBullets[slot].y)) PlayEffectSound(kSeEnemyShot01);
}

void FreeBullet(ShotRecord& b) {
  b.inUse = 0;
  --bulletCount;
}

void HitPlayer(const ShotRecord& b) {
  player.life = std::max(player.life - std::max(b.power, 0), 0);
  player.invulnerableFrames = 0;
  PlayEffectSound(kSeHit01);
  const double push = b.mode == 1 ? 8.0 : b.mode == 2 ? 12.0 : 2.5;
  player.velocityX = b.vx >= 0.0 ? push : -push;
  StartEffect(8, 16, 1, static_cast<int>(b.x) - 8, static_cast<int>(b.y) - 8, 0.0, 1.0);
}

// Cell (cx, cy) of the reachable field becomes a block; false elsewhere.
bool InReachableField(int px, int py) {
  return px >= 0 && py >= 0 && px <= kFieldRightPixel && py <= kFieldBottomPixel;
}

void MakeTimedBlock(const ShotRecord& b, int hx, int hy) {
  const int fromX = hx - static_cast<int>(b.vx), fromY = hy - static_cast<int>(b.vy);
  const int slot = FindFreeSlot(kPoolTimedCells);
  if (slot < 0 || !InReachableField(fromX, fromY)) return;
  const int cx = fromX / kCellSize, cy = fromY / kCellSize;
  if (ChipAt(cx, cy) != 0) return;
  SetCell(cx, cy, 1, kAttrSolidBlock);
  timedCells[slot] = TimedCellRecord{cx, cy, 120, 1};
  ++timedCellCount;
  if (InPlayerView(fromX, fromY)) PlayEffectSound(kSeBlockCreate);
  StartEffect(13, 16, 1, cx * kCellSize + 16, cy * kCellSize + 16, Random(360) * kPi / 180.0, 2.0);
}

void BurstEffect(int bx, int by) {
  StartEffect(14, 16, 1, bx + 12, by + 12, Random(360) * kPi / 180.0, 1.0);
  PlayEffectSound(kSeEnemyShot01);
}

// Acts on the bullet's fate this frame; 1 when the bullet goes.
int EnemyBulletMapHit(const ShotRecord& b) {
  const BulletTarget target = PlayerTarget(player);
  const BulletFate fate = JudgeEnemyBullet(b, target);
  if (fate == BulletFate::kFlies) return 0;
  if (fate == BulletFate::kGone) return 1;
  const int hx = static_cast<int>(b.x) + kBulletHitOffset, hy = static_cast<int>(b.y) + kBulletHitOffset;
  // The block-making bullet builds where it strikes, the player in the way or not.
  if (b.graphicBase == 6 && b.colourRow == 5 && b.life < 304 && CellUnderBullet(b) >= kAttrSolidFrom) {
    MakeTimedBlock(b, hx, hy);
  }
  if (fate == BulletFate::kHitsPlayer) {
    HitPlayer(b);
  } else if (fate == BulletFate::kStrikesWall) {
    StartEffect(kBulletSparkEffect, 8, 1, static_cast<int>(b.x), static_cast<int>(b.y), 0.0, 1.0);
    if (b.blastSize > 0) ExplodeEnemyBlast(hx, hy, b.power, b.blastSize);
  } else {
    const BulletFork fork = ForkEnemyBullet(b, target);
    for (int j = 0; j < fork.count; ++j) {
      if (PlaceBullet(fork.bullets[j]) < 0) break;
    }
    if (fork.count > 0) BurstEffect(static_cast<int>(b.x), static_cast<int>(b.y));
  }
  return 1;
}

void RunBossCountdownStep() {
  if (gameState.bossCountdown % 7 == 0) {
    // One draw a statement, in the game's order (see AimAngle).
    int x = player.x - Random(360);
    x += Random(360);
    int y = player.y - Random(240);
    y += Random(240);
    const double scale = 5.5 + Random(6) * 0.1;
    StartEffect(10, 24, 1, x, y, Random(360) * kPi / 180.0, scale);
    PlayEffectSound(kSeBom01);
  }
  if (--gameState.bossCountdown > 0) return;
  CaptureScreen(oldScreen);
  qz::ClearDrawTarget(nullptr);
  qz::DrawSolidRectangle(0, 0, 640, 480, qz::MakeColorValue(255, 255, 255));
  ApplyBossDefeated(gameState.defeatedBoss);
  DrawHud();
  CrossfadeToDrawnScreen(1);
  CaptureScreen(oldScreen);
  gameState.sceneFrame = gameState.scenePage = gameState.sceneSubState = 0;
  fadeRequest = 2;
  skipFade = 1;
  gameState.defeatedBoss = 0;
  gameState.bossCountdown = 0;
}

}  // namespace

bool PointBlank(const EnemyRecord& e, const BulletStart& m) {
  constexpr int kPointBlankPixels = 128;
  const int ahead = (player.x + 32 - m.x) * e.facing;
  const int below = player.y + 32 - m.y;
  return ahead > -32 && ahead < kPointBlankPixels && below < 64 && (below > -64 || player.airborne != 0);
}

bool InPlayerView(double x, double y) {
  return x > player.x - 320 && x < player.x + 384 && y > player.y - 240 && y < player.y + 304;
}

BulletStart EnemyMuzzle(const EnemyRecord& e) {
  int mx;
  if (e.muzzleX == 0) mx = e.facing > 0 ? e.bodyRight - 2 * e.sizeFactor : e.bodyLeft + 2 * e.sizeFactor;
  else mx = e.width / 2 + e.sizeFactor * e.facing * e.muzzleX;
  if (e.facing < 0) mx -= 2 * kBulletHitOffset;
  const int my = e.muzzleY == 0 ? (e.bodyTop + e.bodyBottom) / 2 - kBulletHitOffset
                                : e.muzzleY * e.sizeFactor - kBulletHitOffset;
  return {e.x + mx, e.y + my};
}

bool BulletKindPassesCells(int kind) {
  ShotRecord probe{};
  probe.graphicBase = kBulletLooks[std::clamp(kind, 0, 19)].graphicBase;
  return PassesCells(probe);
}

void UpdateEnemyAttack(int i) {
  EnemyRecord& e = enemies[i];
  if (e.volleysPerBurst[0] == 0) return;
  // A boss fires only while a player sees it: nothing it looses comes from
  // off screen, and its clock waits meanwhile.
  if (e.bossIndex >= 0 && !BodyOnScreen(e)) return;
  if (++e.attackTimer < e.attackInterval) return;
  // Decided before a slot is drawn: a held shot draws no random numbers.
  if (e.aimMode[0] == 0 && e.slotChance[0] >= 100 && PointBlank(e, EnemyMuzzle(e))) {
    e.attackTimer = 0;
    return;
  }
  int k = e.attackSlot;
  if (k == -1) {
    if (Random(100) > e.slotChance[0]) k = Random(100) <= e.slotChance[1] ? 1 : 2;
    else k = 0;
  }
  if (e.aimMode[k] == 4) {
    e.attackTimer = 0;
    SpawnFromTrapKind();
    return;
  }
  const BulletStart m = EnemyMuzzle(e);
  const double aim = AimAngle(e, e.aimMode[k], m);
  const int colour = e.bulletColour[k] == 4 ? Random(3) : e.bulletColour[k];
  const int kind = std::clamp(e.bulletKind[k], 0, 19);
  int last = -1;
  if (kind == kLineBurstKind) {
    for (int j = 0; j < std::max(e.bulletsPerVolley[k], 1); ++j) {
      last = StartBullet(m.x, m.y, aim, e.bulletSpeed[k] + kLineBurstSpeedStep * j, 9, colour, e.bulletDamage[k],
                         e.bulletMode[k], kBurstLife);
      if (last < 0) return;
    }
  } else {
    BulletLook look = kBulletLooks[kind];
    const int row = look.colourRow < 0 ? colour : look.colourRow;
    const int mode = kind == kReaimKind ? 3 : e.bulletMode[k];
    if (FireSpread(m, aim, e.bulletsPerVolley[k], e.spreadDivisor[k], e.bulletSpeed[k], look, row, e.bulletDamage[k],
                   mode, &last) < 0) {
      return;
    }
  }
  if (e.volleysPerBurst[k] < 2) {
    e.attackInterval = e.baseInterval;
  } else if (e.volleyCount < e.volleysPerBurst[k] - 1) {
    e.attackInterval = e.burstInterval[k];
    e.attackSlot = k;
    ++e.volleyCount;
  } else {
    e.attackInterval = e.baseInterval;
    e.attackSlot = -1;
    e.volleyCount = 0;
  }
  PlayShotSoundAt(last);
  e.attackTimer = 0;
}

void EnemyFireBullet(int i) {
  const EnemyRecord& e = enemies[i];
  // From the body's middle, in the open where they are seen: the muzzle of
  // the Moon, low on its face, lies in the floor of its hall, where they
  // would strike at once and never fly.
  const BulletStart m{e.x + (e.bodyLeft + e.bodyRight) / 2 - kBulletHitOffset,
                      e.y + (e.bodyTop + e.bodyBottom) / 2 - kBulletHitOffset};
  // The sparks a change looses stop at walls, as plain bullets do: none
  // falls through a wall onto a player firing from behind it.
  const BulletLook look{0, 6, 0.0, 0};
  int last = -1;
  FireSpread(m, AngleToPlayer(m.x, m.y), e.bulletsPerVolley[1], e.spreadDivisor[1], e.bulletSpeed[1], look, 6,
             e.bulletDamage[1], e.bulletMode[1], &last);
  PlayShotSoundAt(last);
}

BulletTarget PlayerTarget(const PlayerRecord& p) {
  return {p.x + kBodyLeft,
          p.x + kBodyRight,
          p.y + kBodyTop + kCrouchLowering * p.squat,
          p.y + kBodyBottom,
          p.invulnerableFrames <= 0 && p.life > 0,
          p.x + 32,
          p.y + 32};
}

BulletFate JudgeEnemyBullet(const ShotRecord& b, const BulletTarget& target) {
  if (b.life < 1) return BulletFate::kGone;
  if (fadeRequest != 0) return BulletFate::kFlies;
  if (BulletOutOfField(b.x, b.y)) return BulletFate::kGone;
  const int hx = static_cast<int>(b.x) + kBulletHitOffset, hy = static_cast<int>(b.y) + kBulletHitOffset;
  if (target.open && hx >= target.left && hx <= target.right && hy >= target.top && hy <= target.bottom) {
    return BulletFate::kHitsPlayer;
  }
  if (CellUnderBullet(b) >= kAttrSolidFrom) return BulletFate::kStrikesWall;
  if (SplitsAtPlayer(b) && b.life < kSplitBelowLife) return BulletFate::kSplits;
  if (FiresAgainAtPlayer(b) && b.life < kReaimBelowLife) return BulletFate::kReaims;
  return BulletFate::kFlies;
}

BulletFork ForkEnemyBullet(const ShotRecord& b, const BulletTarget& target) {
  BulletFork fork{};
  const int bx = static_cast<int>(b.x), by = static_cast<int>(b.y);
  const double toTarget = std::atan2(target.aimY - static_cast<double>(by), target.aimX - static_cast<double>(bx));
  if (SplitsAtPlayer(b)) {
    const double step = kPi / kSplitStepDivisor, a = toTarget - (kSplitBullets - 1) / 2 * step;
    for (int j = 0; j < kSplitBullets; ++j) {
      fork.bullets[fork.count++] = NewBullet(bx, by, a + j * step, kSplitBulletSpeed, 9, 4, b.power, 0, kSplitBulletLife);
    }
  } else if (FiresAgainAtPlayer(b) && b.mode != 0) {
    fork.bullets[fork.count++] =
        NewBullet(bx, by, toTarget, kReaimedBulletSpeed, 9, 7, b.power, b.mode - 1, kBulletLife);
  }
  return fork;
}

void FlyEnemyBullet(ShotRecord& b) {
  b.x += b.vx, b.y += b.vy;
  b.vx += b.ax, b.vy += b.ay;
  --b.life;
  if (++b.animTick > 4) {
    b.animTick = 0;
    b.animFrame = b.animFrame >= 2 ? 0 : b.animFrame + 1;
  }
}

void UpdateEnemyBullets() {
  const int live = bulletCount;
  int seen = 0;
  for (int i = 0; i < kBulletPoolSize && seen < live; ++i) {
    ShotRecord& b = enemyBullets[i];
    if (b.inUse == 0) continue;
    ++seen;
    if (EnemyBulletMapHit(b) == 1) {
      FreeBullet(b);
      continue;
    }
    const int cell = b.graphicBase + 12 * b.colourRow + b.animFrame;
    if (cell >= 0 && cell < static_cast<int>(std::size(sheets.bullet02))) {
      qz::BlitGraphRotated(static_cast<int>(b.x) - cameraX + 12, static_cast<int>(b.y) - cameraY + 12, 1.0, b.angle,
                           sheets.bullet02[cell], 1, 0);
    }
    FlyEnemyBullet(b);
  }
}

void RunBossDefeatCountdown() {
  if (gameState.bossCountdown > 0) RunBossCountdownStep();
}

void DefeatEnemy(int i, int byMagic) {
  if (i < 0 || i >= kEnemyPoolSize) return;
  EnemyRecord& e = enemies[i];
  const double scale = (e.width + e.height) / 96 + Random(6) * 0.1 + 0.3;  // drawn first (see AimAngle)
  StartEffect(10, 24, 1, e.x + e.width / 2, e.y + e.height / 2, Random(360) * kPi / 180.0, scale);
  e.life = 0;
  --enemyCount;
  if (e.counted == 1) --requiredDefeats;
  PlayEffectSound(kSeBom01);
  const int px = e.x + e.width / 2, py = e.y + e.height - 8;
  // Only cells of the reachable field: the reader answers 0 outside it.
  if (byMagic == 1 && InReachableField(px, py) && ReadAttributeAtPixel(px, py) == 0) {
    SetCell(px / kCellSize, py / kCellSize, 1, kAttrSolidBlock);
    PlayEffectSound(kSeMagical);
    SpawnEffect(0, px - px % kCellSize + 16, py - py % kCellSize + 16);
  }
  if (e.bossIndex < 0) return;
  if (e.bossIndex < static_cast<int>(std::size(gameState.FloorProgress.bossDefeated))) {
    gameState.FloorProgress.bossDefeated[e.bossIndex] = 1;
  }
  gameState.defeatedBoss = e.bossIndex;
  gameState.bossCountdown = 256;
  EmptyBulletPool();
  for (EnemyRecord& other : enemies) other.life = other.counted = 0;
  enemyCount = 0;
  requiredDefeats = 0;
}
