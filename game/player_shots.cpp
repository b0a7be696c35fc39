// Player shots: firing with its magic cost and cool-down, the flight and
// drawing, what each kind does to the cell it meets (break, push, switch,
// warp, create), the Blaze blast, and the enemies' blast on the player.
#include "game/player_shots.h"

#include <cmath>
#include <iterator>

#include "core/random.h"
#include "game/blocks.h"
#include "game/crossfade.h"
#include "game/effects.h"
#include "game/enemies.h"
#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/player_motion.h"
#include "game/pools.h"
#include "graphics/draw_graph.h"
#include "sound/sound_play.h"

namespace {

struct ShotKind {
  int cost;
  double speed;
  int baseLife, lifePerLevel;
  int cooldown;
  int power;
  int stun;
  SoundEffect sound;
};

enum ShotKindId : int { kBlaze = 0, kGravity = 1, kMagic = 2 };

constexpr ShotKind kShotKinds[] = {
    {3, 8.0, 14, 4, 12, 1, 2, kSeShot01},
    {2, 6.0, 20, 6, 14, 0, 2, kSeShot02},
    {4, 4.0, 32, 9, 16, 1, 5, kSeShot03},
};

constexpr int kShotCellsPerKind = 6;
constexpr int kPoseFrames = 20;
constexpr int kPoseRefireFrames = 17;
constexpr int kCreatedBlockFrames = 180;
constexpr int kBlastRadius = 70;
constexpr int kBlastGuardRadius = 80;
constexpr int kEnemyBlastInvulnerableFrames = 40;
constexpr double kDegree = 0.017453292;
// Switch groups flipped by the magic blocks 66..72 (bit n: group n).
constexpr int kMagicBlockGroups[] = {1, 2, 4, 3, 6, 5, 7};

void PlaySe(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }
bool Owns(ProgressFlag flag) { return player.ProgressFlags[flag] == 1; }
double RandomAngle() { return qz::GetRandomUpTo(360) * kDegree; }

int ShotLife(int kind, int level) { return kShotKinds[kind].baseLife + kShotKinds[kind].lifePerLevel * level; }

void FillShot(ShotRecord& shot, int kind, double angle, const Muzzle& m) {
  const ShotKind& spec = kShotKinds[kind];
  shot = ShotRecord{};
  shot.x = player.x + m.x;
  shot.y = player.y + m.y;
  shot.vx = std::cos(angle) * spec.speed;
  shot.vy = std::sin(angle) * spec.speed;
  shot.life = ShotLife(kind, player.shotLevel[kind]);
  shot.power = spec.power;
  shot.stun = spec.stun;
  shot.graphicBase = kind * kShotCellsPerKind;
  shot.angle = angle;
  shot.animFrame = qz::GetRandomUpTo(5);
  shot.direction = player.facing > 0 ? 6 : 4;
  shot.inUse = 1;
}

void DrawShot(const ShotRecord& shot) {
  const int cell = shot.graphicBase + shot.animFrame;
  if (cell < 0 || cell >= static_cast<int>(std::size(sheets.bullet01))) return;
  const int sx = static_cast<int>(shot.x) - cameraX;
  const int sy = static_cast<int>(shot.y) - cameraY;
  const int graph = sheets.bullet01[cell];
  if (shot.angle == 0 && shot.vx > 0) {
    qz::BlitGraph(sx, sy, graph, 1);
  } else if (shot.angle == 0) {
    qz::BlitGraphMirrored(sx, sy, graph, 1);
  } else {
    qz::BlitGraphRotated(sx + kPlayerShotSize / 2, sy + kPlayerShotSize / 2, 1.0, shot.angle, graph, 1, 0);
  }
}

void MoveShot(ShotRecord& shot) {
  shot.x += shot.vx;
  shot.y += shot.vy;
  --shot.life;
  if (++shot.animTick > 1) {
    shot.animTick = 0;
    shot.animFrame = (shot.animFrame + 1) % kShotCellsPerKind;
  }
}

// Chain Ring on the warp block: the player stands on it when two cells above are free.
void WarpOntoBlock(int px, int py, int column, int row) {
  if (ReadAttributeAtPixel(px, py - 32) >= kAttrSolidFrom || ReadAttributeAtPixel(px, py - 64) >= kAttrSolidFrom) {
    return;
  }
  SpawnEffect(2, player.x + 32, player.y + 32);
  player.x = column * kCellSize - 16;
  player.y = (row - 2) * kCellSize;
  player.posX = player.x;
  player.posY = player.y;
  player.airborne = 0;
  player.velocityX = 0;
  player.dashState = 0;
  player.dashTimer = 0;
  SpawnEffect(0, player.x + 32, player.y + 32);
  PlaySe(kSeWarp);
}

// Create Power: a block one cell back against the flight, never into the
// player's box and never into a cell that holds anything or lies outside.
void CreateBlock(int px, int py, int column, int row, int direction) {
  const bool clearOfPlayer = px <= player.x - 24 || px >= player.x + 88 || py - 16 <= player.y || py >= player.y + 80;
  const int slot = FindFreeSlot(kPoolTimedCells);
  if (!clearOfPlayer || slot < 0) return;
  switch (direction) {
    case 2: --row; break;
    case 4: ++column; break;
    case 6: --column; break;
    case 8: ++row; break;
    default: return;
  }
  if (CheckedCellIndex(column, row) < 0 || AttributeAt(column, row) != 0) return;
  SetCell(column, row, 1, kAttrSolidBlock);
  timedCells[slot] = TimedCellRecord{column, row, kCreatedBlockFrames, 1};
  ++timedCellCount;
  PlaySe(kSeBlockCreate);
  SpawnEffect(0, column * kCellSize + 16, row * kCellSize + 16);
}

// What the shot's kind does to the cell; the hit result r (0 none, 2 broke, 4 magic block).
int ApplyShotKind(ShotRecord& shot, std::int32_t a, int px, int py, int column, int row) {
  const int kind = shot.graphicBase / kShotCellsPerKind;
  int r = 0;
  if (kind == kBlaze && Owns(kBreakPower) && !Owns(kBlastPower) && a >= kAttrBreakableFirst &&
      a <= kAttrBreakableLast) {
    SetBlockKind(a, column, row);
    PlaySe(kSeBlockBreak);
    r = 2;
  } else if (kind == kGravity && Owns(kImpactPower) && a >= kAttrSolidFrom && a <= kAttrMagicSwitchLast) {
    PushBlock(a, column, row, shot.direction);
  } else if (kind == kMagic) {
    const bool magicBlock = a >= kAttrWarpBlock && a <= kAttrMagicSwitchLast;
    if (magicBlock && Owns(kChainRing)) {
      if (a == kAttrWarpBlock) {
        WarpOntoBlock(px, py, column, row);
      } else {
        const int groups = kMagicBlockGroups[a - kAttrMagicSwitchFirst];
        for (int group = 0; group < 3; ++group) {
          if ((groups & (1 << group)) != 0) ToggleSwitchBlocks(group);
        }
        PlaySe(kSeMagicBlock);
      }
      r = 4;
    }
    if (Owns(kCreatePower) && !magicBlock && a >= kAttrSolidFrom) CreateBlock(px, py, column, row, shot.direction);
  }
  return r;
}

// An enemy's box as floor pixels, inclusive.
struct PixelBox {
  int left, top, right, bottom;
  bool Holds(int px, int py) const { return px >= left && px <= right && py >= top && py <= bottom; }
  bool Overlaps(const PixelBox& o) const {
    return left <= o.right && right >= o.left && top <= o.bottom && bottom >= o.top;
  }
};

// Offsets from the sprite's top-left; mirrored about the sprite width when the enemy faces left.
PixelBox EnemyBox(const EnemyRecord& e, int left, int top, int right, int bottom, bool mirror) {
  if (mirror) return {e.x + e.width - right, e.y + top, e.x + e.width - left, e.y + bottom};
  return {e.x + left, e.y + top, e.x + right, e.y + bottom};
}
PixelBox BodyBox(const EnemyRecord& e, bool mirror) {
  return EnemyBox(e, e.bodyLeft, e.bodyTop, e.bodyRight, e.bodyBottom, mirror);
}
PixelBox WeakBox(const EnemyRecord& e, bool mirror) {
  return EnemyBox(e, e.weakLeft, e.weakTop, e.weakRight, e.weakBottom, mirror);
}
bool HasWeakSpot(const EnemyRecord& e) { return e.weakTop != -1; }
// Enemies that shots fly through are never struck; those that bounce shots take no damage.
constexpr std::int32_t kShotsBounce = 1, kShotsPass = 2;

// Takes damage off a struck enemy and defeats it when its life runs out.
void DamageEnemy(int enemy, int damage, int stun, int byMagic) {
  EnemyRecord& e = enemies[enemy];
  e.life -= damage > 0 ? damage : 0;
  e.hurtTimer = stun;
  if (e.life < 1) DefeatEnemy(enemy, byMagic);
}

// Light enemies (class 0, then 1) are pushed along the flight; heavier ones stand.
void KnockBack(EnemyRecord& e, int direction) {
  const double k = e.knockbackClass == 0 ? 8.0 : e.knockbackClass == 1 ? 4.0 : 0.0;
  if (k == 0.0) return;
  switch (direction) {
    case 4: e.velocityX = -k; break;
    case 6: e.velocityX = k; break;
    case 2: e.velocityY = k; break;
    case 8: e.velocityY = -k; break;
    default: break;
  }
}

// The first live enemy whose body holds the hit point takes the shot; the
// hit result r (0 no enemy, 1 no damage, 3 hurt).
int StrikeEnemy(const ShotRecord& shot, int px, int py) {
  const int kind = shot.graphicBase / kShotCellsPerKind;
  if (kind < kBlaze || kind > kMagic) return 0;
  for (int i = 0; i < kEnemyPoolSize; ++i) {
    EnemyRecord& e = enemies[i];
    if (e.life < 1 || e.shotResponse == kShotsPass) continue;
    const bool mirror = e.facing < 1;
    if (!BodyBox(e, mirror).Holds(px, py)) continue;
    const bool missedWeakSpot = HasWeakSpot(e) && !WeakBox(e, mirror).Holds(px, py);
    if (e.shotResponse == kShotsBounce || e.damageFactor[kind] == 0.0 || missedWeakSpot) {
      PlaySe(kSeNoDamage);
      return 1;
    }
    if (kind == kGravity) KnockBack(e, shot.direction);
    PlaySe(kSeHit02);
    DamageEnemy(i, static_cast<int>(shot.power * e.damageFactor[kind]), shot.stun, kind == kMagic ? 1 : 0);
    return 3;
  }
  return 0;
}

// The blast hurts every live, unhurt enemy in reach by its Blaze factor.
void BlastEnemies(int x, int y) {
  const PixelBox reach{x - kBlastRadius, y - kBlastRadius, x + kBlastRadius, y + kBlastRadius};
  bool hurt = false, unhurt = false;
  for (int i = 0; i < kEnemyPoolSize; ++i) {
    EnemyRecord& e = enemies[i];
    if (e.life <= 0 || e.hurtTimer >= 1 || e.shotResponse == kShotsPass) continue;
    if (!BodyBox(e, false).Overlaps(reach)) continue;
    const bool missedWeakSpot = HasWeakSpot(e) && !WeakBox(e, false).Overlaps(reach);
    if (e.shotResponse == kShotsBounce || e.damageFactor[kBlaze] == 0.0 || missedWeakSpot) {
      unhurt = true;
      continue;
    }
    hurt = true;
    // One draw a statement: in one expression their order would be the
    // compiler's. The game's order: an operator's left first, a call's last
    // argument first.
    const int grow = qz::GetRandomUpTo(3);
    const double scale = 1.4 + (grow - qz::GetRandomUpTo(3)) * 0.1;
    StartEffect(6, 8, 1, e.x + e.width / 2, e.y + e.height / 2, RandomAngle(), scale);
    DamageEnemy(i, static_cast<int>(e.damageFactor[kBlaze]), 2, 0);
  }
  if (hurt) PlaySe(kSeHit02);
  if (unhurt) PlaySe(kSeNoDamage);
}

void SpawnHitEffect(int r, int sx, int sy) {
  // Each draw a statement of its own, so that the order of the draws is not
  // the compiler's choice of the order of a call's arguments; the game's
  // order is the last argument's first.
  const auto jitter = [] { return 8 + qz::GetRandomUpTo(8); };
  switch (r) {
    case 1: StartEffect(7, 8, 1, sx, sy, 0.0, 1.0); break;
    case 2: {
      const double angle = RandomAngle();
      const int dy = jitter();
      const int dx = jitter();
      StartEffect(12, 16, 1, sx + dx, sy + dy, angle, 1.0);
      break;
    }
    case 3: {
      const int dx = jitter();
      const int dy = jitter();
      const double scale = 0.8 + qz::GetRandomUpTo(6) * 0.1;
      StartEffect(9, 12, 1, sx + dx, sy + dy, RandomAngle(), scale);
      break;
    }
    default: StartEffect(16, 20, 1, sx, sy, RandomAngle(), 1.0); break;
  }
}

}  // namespace

int ShotMagicCost(int kind) { return kShotKinds[kind].cost; }

int ShotFlight(int kind, int level) { return static_cast<int>(kShotKinds[kind].speed * ShotLife(kind, level)); }

Muzzle MuzzleOffset(int facing, int squat, int animState) {
  Muzzle m{facing > 0 ? 56 : -16, 7 + 22 * squat};
  if (animState == kWalk) {
    m.x += 5 * facing;
    m.y = 9 + 22 * squat;
  } else if (animState == kSquat) {
    m.x += 16 * facing;
  }
  return m;
}

void FirePlayerShot(int kind) {
  if (kind < kBlaze || kind > kMagic) return;
  player.shotPending = 1;
  if (player.shotCooldown > 0) return;
  const ShotKind& spec = kShotKinds[kind];
  const double angle = std::atan2(0.0, player.facing);
  const Muzzle m = MuzzleOffset(player.facing, player.squat, player.animState);
  bool fired = false;
  if (player.magic >= spec.cost) {
    player.magic -= spec.cost;
    fired = true;
    // A full pool takes the magic all the same but makes no shot.
    const int slot = FindFreeSlot(kPoolPlayerShots);
    if (slot >= 0) {
      FillShot(playerShots[slot], kind, angle, m);
      ++playerShotCount;
    }
  }
  if (player.infiniteMagic == 1) player.magic = player.maxMagic;
  player.shotPending = 0;
  if (!fired) return;
  const double effectAngle = kind == kBlaze ? angle : RandomAngle();
  StartEffect(kind, 12, player.facing, player.facing < 0 ? m.x - 6 : m.x - 10, player.y - 8 + m.y, effectAngle, 1.0);
  player.shotPoseTimer = player.shotPoseTimer > 0 ? kPoseRefireFrames : kPoseFrames;
  player.shotPose = 1;
  player.shotCooldown = spec.cooldown;
  PlaySe(spec.sound);
}

void UpdatePlayerShots() {
  const int live = playerShotCount;
  int seen = 0;
  for (int i = 0; i < kPlayerShotPoolSize && seen < live; ++i) {
    ShotRecord& shot = playerShots[i];
    if (shot.inUse != 1) continue;
    ++seen;
    if (shot.life < 1 || PlayerShotMapHit(i) == 1) {
      shot.inUse = 0;
      --playerShotCount;
    } else {
      DrawShot(shot);
    }
    MoveShot(shot);
  }
}

int PlayerShotMapHit(int i) {
  if (i < 0 || i >= kPlayerShotPoolSize) return 1;
  if (fadeRequest > 0) return 0;
  ShotRecord& shot = playerShots[i];
  if (shot.x < -24 || shot.x > 2416 || shot.y < -24 || shot.y > 1488) return 1;
  const int sx = static_cast<int>(shot.x);
  const int sy = static_cast<int>(shot.y);
  const int px = sx + 12;
  const int py = sy + 12;
  const std::int32_t a = ReadAttributeAtPixel(px, py);
  const int column = px / kCellSize;
  const int row = py / kCellSize;
  if (ApplyShotToBlock(a, column, row, shot) == 1) return 0;
  int r = ApplyShotKind(shot, a, px, py, column, row);
  const int struck = StrikeEnemy(shot, px, py);
  if (struck != 0) r = struck;
  if (r == 0 && a >= kAttrSolidFrom) r = 1;
  if (r == 0) return 0;
  SpawnHitEffect(r, sx, sy);
  if (shot.graphicBase / kShotCellsPerKind == kBlaze && Owns(kBlastPower)) ExplodePlayerBlast(px, py);
  return 1;
}

void ExplodePlayerBlast(int x, int y) {
  StartEffect(11, 16, 1, x, y, RandomAngle(), 2.0);
  BlastEnemies(x, y);
  if (Owns(kBreakPower)) {
    bool broke = false;
    for (int i = 0; i < 5; ++i) {
      for (int j = 0; j < 5; ++j) {
        const int sx = x - kBlastRadius + 32 * i;
        const int sy = y - kBlastRadius + 32 * j;
        const std::int32_t a = ReadAttributeAtPixel(sx, sy);
        if (a < kAttrBreakableFirst || a > kAttrBreakableLast) continue;
        SetBlockKind(a, sx / kCellSize, sy / kCellSize);
        StartEffect(12, 16, 1, (sx / kCellSize) * kCellSize + 16, (sy / kCellSize) * kCellSize + 16, RandomAngle(),
                    1.0);
        broke = true;
      }
    }
    if (broke) PlaySe(kSeBlockBreak);
  }
  PlaySe(kSeBlast);
  if (!Owns(kBlastGuard)) return;
  bool removed = false;
  for (ShotRecord& bullet : enemyBullets) {
    if (bullet.inUse != 1 || (bullet.graphicBase == 9 && bullet.colourRow == 7)) continue;
    const int bx = static_cast<int>(bullet.x) + 12;
    const int by = static_cast<int>(bullet.y) + 12;
    if ((bx - x) * (bx - x) + (by - y) * (by - y) > kBlastGuardRadius * kBlastGuardRadius) continue;
    bullet.inUse = 0;
    --bulletCount;
    SpawnEffect(4, bx, by);
    removed = true;
  }
  if (removed) PlaySe(kSeNoDamage);
}

void ExplodeEnemyBlast(int x, int y, int damage, int size) {
  size = size < 1 ? 1 : size > 3 ? 3 : size;
  StartEffect(11, 16, 1, x, y, RandomAngle(), 1.5 + 0.5 * size);
  const bool overlaps =
      EnemyBlastReaches(x, y, size, player.x + 20, player.y + 8 + 28 * player.squat, player.x + 44, player.y + 54);
  if (player.life > 0 && player.invulnerableFrames < 1 && overlaps) {
    const int loss = damage > 1 ? damage : 1;
    player.life = player.life > loss ? player.life - loss : 0;
    player.invulnerableFrames = kEnemyBlastInvulnerableFrames;
    PlaySe(kSeHit01);
    player.velocityX = -2.5 * player.facing;
    StartEffect(8, 16, 1, player.x + 8, player.y + 8, 0.0, 1.0);
  }
  PlaySe(kSeBlast2);
}
