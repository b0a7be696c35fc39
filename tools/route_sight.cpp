#include "tools/route_sight.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/player_physics.h"
#include "game/player_shots.h"
#include "game/pools.h"
#include "game/shot_record.h"

namespace veltrin::routes {
namespace {

// The bullets' sprites, in pixels a side.
constexpr int kBulletSize = 24;
constexpr int kScreenWidth = 640, kScreenHeight = 480;
constexpr double kPi = 3.14159265358979323846;

// The cell nearest the body's middle whose attribute is `attribute`; with
// `ahead`, of those at or right of it.
int NearestColumnWith(std::int32_t attribute, bool ahead) {
  const int bodyColumn = (player.x + kSpriteSize / 2) / kCellSize, bodyRow = (player.y + kSpriteSize / 2) / kCellSize;
  int best = -1, bestDistance = 0;
  for (int x = ahead ? bodyColumn : 0; x < kMapColumns; ++x) {
    for (int y = 0; y < kMapRows; ++y) {
      if (AttributeAt(x, y) != attribute) continue;
      const int distance = std::abs(x - bodyColumn) + std::abs(y - bodyRow);
      if (best < 0 || distance < bestDistance) best = x, bestDistance = distance;
    }
  }
  return best;
}

int SlotColumn(FloorSlot slot) { return floorSlots[slot].active == 1 ? floorSlots[slot].x : -1; }

bool InSight(const ShotRecord& b) {
  return b.x + kBulletSize > cameraX && b.x < cameraX + kScreenWidth && b.y + kBulletSize > cameraY &&
         b.y < cameraY + kScreenHeight;
}

// True when `b` left `muzzle` in the frame just played: the speed it flew
// with is the speed now less this frame's pull.
bool OneFrameOut(const ShotRecord& b, const BulletStart& muzzle) {
  return std::fabs(b.x - (b.vx - b.ax) - muzzle.x) < 0.5 && std::fabs(b.y - (b.vy - b.ay) - muzzle.y) < 0.5;
}

}  // namespace

int ColumnOf(const Place& place) {
  switch (place.kind) {
    case Place::Kind::kColumn: return place.number;
    case Place::Kind::kSign: return NearestColumnWith(kAttrSign, place.ahead);
    case Place::Kind::kRecoveryPoint: return NearestColumnWith(kAttrRecoveryPoint, place.ahead);
    case Place::Kind::kShop: return NearestColumnWith(kAttrShop, place.ahead);
    case Place::Kind::kCheckCube: return NearestColumnWith(kAttrCheckCube, place.ahead);
    case Place::Kind::kDoor: return NearestColumnWith(kAttrDoor0 + place.number, place.ahead);
    case Place::Kind::kChest: return SlotColumn(kSlotChest);
    case Place::Kind::kKey: return SlotColumn(kSlotKey);
    case Place::Kind::kKeySwitch: return SlotColumn(kSlotKeySwitch);
  }
  return -1;
}

int StandingX(int column) { return column * kCellSize + kCellSize / 2 - kSpriteSize / 2; }

bool StandingIn(int column) { return (player.x + kSpriteSize / 2) / kCellSize == column; }

Box BodyBox(double x, double y, bool crouched) {
  return {x + kBodyLeft, y + kBodyTop + (crouched ? kCrouchLowering : 0), x + kBodyRight, y + kBodyBottom};
}

std::vector<BodyPlace> CourseOf(int wait, const Move& move, int frames, int landingY) {
  const double a = WalkAcceleration(player);
  double x = player.posX, y = player.posY, vx = player.velocityX, vy = player.velocityY;
  bool airborne = player.airborne != 0, cameAbove = false;
  const double startY = y;
  std::vector<BodyPlace> course{{x, y, player.squat != 0}};
  for (int t = 0; t < frames; ++t) {
    const bool held = t >= wait && t < wait + move.press;
    if (t == wait && !airborne && (move.jump || move.drop)) {
      airborne = true;
      vy = move.jump ? LaunchSpeed(player, kJumpSpeed, kHighJumpSpeed) : kGravity;
    }
    if (held && move.way != 0) {
      vx = move.way > 0 ? std::min(vx + a, kWalkCap) : std::max(vx - a, -kWalkCap);
    } else if (player.onSlipperyFloor == 0) {
      vx = std::fabs(vx) >= a ? vx - std::copysign(a, vx) : 0.0;
    }
    x += vx;
    if (airborne) {
      // A jump let go of while rising stops rising, as the game's does.
      if (vy < 0.0 && !(held && move.jump)) vy = -kGravity;
      y += vy;
      // A head against a solid cell stops rising under it, as the game's does.
      const int top = static_cast<int>(y), side = static_cast<int>(x);
      if (vy < 0.0 && std::max(ReadAttributeAtPixel(side + kFeetProbeLeft, top),
                               ReadAttributeAtPixel(side + kFeetProbeRight, top)) >= kAttrSolidFrom) {
        vy = -kGravity;
        y += kCellSize - top % kCellSize;
      }
      cameAbove = cameAbove || y <= landingY;
      const double floor = landingY >= startY || cameAbove ? landingY : startY;
      if (vy > 0.0 && y >= floor) y = floor, vy = 0.0, airborne = false;
      vy = std::min(vy + kGravity, kFallCap);
    }
    const bool crouched = t < wait ? player.squat != 0 : held && move.crouch;
    course.push_back({x, y, crouched});
  }
  return course;
}

namespace {

// Whether bullet `b`, its middle at (hx, hy), meets the body within
// `margin`; in a wall it bursts there, its blast reaching out.
bool MeetsBody(const ShotRecord& b, int hx, int hy, bool wall, const Box& body, int margin) {
  const int reach = (wall ? (b.blastSize > 0 ? EnemyBlastReach(b.blastSize) : -kBulletSize) : 0) + margin;
  return hx + reach >= body.left && hx - reach <= body.right && hy + reach >= body.top && hy - reach <= body.bottom;
}

}  // namespace

int FirstBulletHit(const std::vector<BodyPlace>& course, int horizon, int margin) {
  int first = horizon;
  for (const ShotRecord& b : enemyBullets) {
    if (b.inUse == 0 || !InSight(b)) continue;
    double bx = b.x, by = b.y, vx = b.vx, vy = b.vy;
    for (int t = 0; t < std::min(first, b.life); ++t) {
      const BodyPlace& at = course[std::min(static_cast<std::size_t>(t), course.size() - 1)];
      const Box body = BodyBox(at.x, at.y, at.crouched);
      const int hx = static_cast<int>(bx) + kBulletSize / 2, hy = static_cast<int>(by) + kBulletSize / 2;
      const bool wall = !PassesCells(b) && ReadAttributeAtPixel(hx, hy) >= kAttrSolidFrom;
      if (MeetsBody(b, hx, hy, wall, body, margin)) {
        first = t;
        break;
      }
      if (wall) break;
      bx += vx, by += vy, vx += b.ax, vy += b.ay;
    }
  }
  return first;
}

int FirstForeseenHit(const std::vector<BodyPlace>& course, int horizon, int margin) {
  // Each bullet with the frame it starts flying at; the list grows as bullets
  // split or fire again.
  std::vector<std::pair<ShotRecord, int>> flights;
  for (const ShotRecord& b : enemyBullets) {
    if (b.inUse != 0 && InSight(b)) flights.push_back({b, 0});
  }
  const auto fire = [&](const ShotRecord& from, int t, double angle, double speed, int colourRow, int mode, int life) {
    ShotRecord b = from;
    b.x = static_cast<int>(from.x), b.y = static_cast<int>(from.y);
    b.vx = std::cos(angle) * speed, b.vy = std::sin(angle) * speed;
    b.ax = b.ay = 0.0;
    b.graphicBase = 9, b.colourRow = colourRow, b.mode = mode, b.life = life, b.blastSize = 0;
    flights.push_back({b, t + 1});
  };
  int first = horizon;
  for (std::size_t i = 0; i < flights.size(); ++i) {
    ShotRecord b = flights[i].first;
    for (int t = flights[i].second; t < first && b.life >= 1 && !BulletOutOfField(b.x, b.y); ++t) {
      // The game moves the player before the bullets: a bullet t moves on
      // meets the body of the frame after.
      const BodyPlace& at = course[std::min(static_cast<std::size_t>(t) + 1, course.size() - 1)];
      const Box body = BodyBox(at.x, at.y, at.crouched);
      const int hx = static_cast<int>(b.x) + kBulletSize / 2, hy = static_cast<int>(b.y) + kBulletSize / 2;
      const bool wall = !PassesCells(b) && ReadAttributeAtPixel(hx, hy) >= kAttrSolidFrom;
      if (MeetsBody(b, hx, hy, wall, body, margin)) {
        first = t;
        break;
      }
      if (wall) break;
      // Aimed as the game aims, from the bullet's corner at the sprite's middle.
      const double toBody =
          std::atan2(at.y + kSpriteSize / 2 - static_cast<int>(b.y), at.x + kSpriteSize / 2 - static_cast<int>(b.x));
      if (SplitsAtPlayer(b) && b.life < kSplitBelowLife) {
        const double step = kPi / kSplitStepDivisor, a = toBody - (kSplitBullets - 1) / 2 * step;
        for (int j = 0; j < kSplitBullets; ++j) fire(b, t, a + j * step, kSplitBulletSpeed, 4, 0, kSplitBulletLife);
        break;
      }
      if (FiresAgainAtPlayer(b) && b.life < kReaimBelowLife) {
        if (b.mode > 0) fire(b, t, toBody, kReaimedBulletSpeed, 7, b.mode - 1, kBulletLife);
        break;
      }
      b.x += b.vx, b.y += b.vy, b.vx += b.ax, b.vy += b.ay;
      --b.life;
    }
  }
  return first;
}

const EnemyRecord* Boss() {
  for (const EnemyRecord& enemy : enemies) {
    if (enemy.life > 0 && enemy.bossIndex >= 0) return &enemy;
  }
  return nullptr;
}

std::vector<int> BossLooks() {
  std::vector<int> looks;
  for (const EnemyRecord& enemy : enemies) {
    if (enemy.life > 0 && enemy.bossIndex >= 0) looks.push_back(enemy.sheetSlot);
  }
  return looks;
}

bool FiredJustNow(const EnemyRecord& enemy) {
  constexpr int kSparkKind = 7;  // the effect a bullet leaves where a cell stops it
  const BulletStart muzzle = EnemyMuzzle(enemy);
  const auto atMuzzle = [&](double x, double y) {
    return std::fabs(x - muzzle.x) < 0.5 && std::fabs(y - muzzle.y) < 0.5;
  };
  for (const ShotRecord& b : enemyBullets) {
    if (b.inUse != 0 && OneFrameOut(b, muzzle)) return true;
  }
  for (const EffectRecord& effect : effects) {
    // Drawn once, in the frame it started.
    if (effect.inUse != 0 && effect.kind == kSparkKind && effect.frame == 1 && atMuzzle(effect.x, effect.y)) {
      return true;
    }
  }
  return false;
}

bool VolleyPerceived(const EnemyRecord& enemy) {
  if (!FiredJustNow(enemy)) return false;
  const BulletStart muzzle = EnemyMuzzle(enemy);
  // The game plays an enemy's shot only from a muzzle near the player.
  const bool heard = InPlayerView(muzzle.x, muzzle.y);
  // Sparks show where the muzzle is.
  const bool muzzleSeen = muzzle.x >= cameraX && muzzle.x < cameraX + kScreenWidth && muzzle.y >= cameraY &&
                          muzzle.y < cameraY + kScreenHeight;
  if (heard || muzzleSeen) return true;
  for (const ShotRecord& b : enemyBullets) {
    if (b.inUse != 0 && OneFrameOut(b, muzzle) && InSight(b)) return true;
  }
  return false;
}

bool OnScreen(const EnemyRecord& enemy) {
  return enemy.x + enemy.width > cameraX && enemy.x < cameraX + kScreenWidth && enemy.y + enemy.height > cameraY &&
         enemy.y < cameraY + kScreenHeight;
}

namespace {

// Where the player's x will be `lead` frames on, at the speed it has now.
double PlayerXAfter(int lead) { return player.x + lead * player.velocityX; }
// Where the player's y will be `lead` frames on: an airborne body falls on
// as the game's does, onto the ground under it.
int PlayerYAfter(int lead) {
  const int x = player.x + kSpriteSize / 2;
  double y = player.posY, vy = player.velocityY;
  for (int frame = 0; player.airborne != 0 && frame < lead; ++frame) {
    y += vy;
    if (vy > 0.0 && ReadAttributeAtPixel(x, static_cast<int>(y) + kSpriteSize) >= kAttrOneWay) {
      return static_cast<int>(y) / kCellSize * kCellSize;
    }
    vy = std::min(vy + kGravity, kFallCap);
  }
  return static_cast<int>(y);
}

}  // namespace

bool EnemyAhead(int distance, int lead) {
  const double x = PlayerXAfter(lead);
  const int y = PlayerYAfter(lead);
  for (const EnemyRecord& enemy : enemies) {
    const bool level = enemy.y + enemy.bodyBottom > y + kBodyTop && enemy.y + enemy.bodyTop < y + kSpriteSize;
    if (enemy.life > 0 && level && enemy.x + enemy.width > player.x && enemy.x - x <= distance) return true;
  }
  return false;
}

int SightAhead() { return cameraX + kScreenWidth - player.x; }

int EnemyDistanceAhead(int distance, int above) {
  int nearest = -1;
  for (const EnemyRecord& enemy : enemies) {
    const bool level =
        enemy.y + enemy.bodyBottom > player.y + kBodyTop - above && enemy.y + enemy.bodyTop < player.y + kSpriteSize;
    const int away = std::max(0, enemy.x - player.x);
    if (enemy.life > 0 && level && enemy.x + enemy.width > player.x && away <= distance) {
      nearest = nearest < 0 ? away : std::min(nearest, away);
    }
  }
  return nearest;
}

namespace {

// The bullet's top-left `lead` frames on, flown as the game flies it.
void BulletAfter(const ShotRecord& bullet, int lead, int* bx, int* by) {
  *bx = static_cast<int>(bullet.x + lead * bullet.vx + bullet.ax * lead * (lead - 1) / 2);
  *by = static_cast<int>(bullet.y + lead * bullet.vy + bullet.ay * lead * (lead - 1) / 2);
}

}  // namespace

bool BulletAhead(int distance, int lead) {
  const double x = PlayerXAfter(lead);
  const int y = PlayerYAfter(lead);
  for (const ShotRecord& bullet : enemyBullets) {
    if (bullet.inUse == 0 || bullet.x + kBulletSize <= player.x + kBodyLeft) continue;
    int bx = 0, by = 0;
    BulletAfter(bullet, lead, &bx, &by);
    const bool level = by + kBulletSize > y + kBodyTop && by < y + kBodyBottom - 2;
    if (level && bx - x <= distance) return true;
  }
  return false;
}

bool BulletsOverCrouch(int lead) {
  constexpr int kNear = 160;
  const double x = PlayerXAfter(lead);
  const int y = PlayerYAfter(lead);
  for (const ShotRecord& bullet : enemyBullets) {
    if (bullet.inUse == 0) continue;
    int bx = 0, by = 0;
    BulletAfter(bullet, lead, &bx, &by);
    const bool near = bx + kBulletSize > x && bx - x <= kNear;
    const int crouchTop = y + kBodyTop + kCrouchLowering - 2;
    if (near && by + kBulletSize > crouchTop && by < y + kSpriteSize) return false;
  }
  return true;
}

bool ObstacleAhead(int lead) {
  if (player.airborne != 0) return false;
  const int front = static_cast<int>(PlayerXAfter(lead)) + kSpriteSize * 3 / 4 + 10, feet = player.y + kSpriteSize + 8;
  const int wall = std::max(ReadAttributeAtPixel(front, player.y + kBodyTop), ReadAttributeAtPixel(front, player.y + kBodyBottom));
  const int ground = ReadAttributeAtPixel(front + kCellSize * 3 / 4, feet);
  return wall >= kAttrSolidFrom || ground < kAttrOneWay || (ground >= kAttrSpikesUp && ground <= kAttrSpikesLeft);
}

int PlatformDistance(int x) {
  constexpr int kLastPlatformType = 3;  // moving object types 0..3 carry the player
  int nearest = kFieldRightPixel;
  for (int i = 0; i < std::min<int>(movingCount, kMovingObjectCount); ++i) {
    if (movingObjects[i].type <= kLastPlatformType) nearest = std::min(nearest, std::abs(movingObjects[i].x - x));
  }
  return nearest;
}

}  // namespace veltrin::routes
