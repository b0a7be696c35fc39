#include "tools/route_sight.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/map_format.h"
#include "game/player.h"
#include "game/player_motion.h"
#include "game/player_physics.h"
#include "game/player_shots.h"
#include "game/pools.h"
#include "game/shot_record.h"
#include "tools/datagen/data_set.h"

namespace veltrin::routes {
namespace {

constexpr int kBulletSize = 2 * kBulletHitOffset;  // a side; bullets strike at their middle

// The cell nearest the body's middle whose attribute is `attribute`; with
// `ahead`, of those at or right of it.
int NearestColumnWith(std::int32_t attribute, bool ahead) {
  const int bodyColumn = (player.x + kPlayerSpriteSize / 2) / kCellSize, bodyRow = (player.y + kPlayerSpriteSize / 2) / kCellSize;
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

// The marks and enemy placements of the floor being played's text, read
// again only once another floor is played (the routes ask every frame).
struct FloorReading {
  int floor = -1;
  std::vector<datagen::FloorMark> marks;
  std::vector<MapFileData::Placement> enemies;
};
const FloorReading& FloorBeingPlayed() {
  static FloorReading reading;
  if (reading.floor == floorNumber) return reading;
  reading = {floorNumber, {}, {}};
  char floor[16];
  std::snprintf(floor, sizeof floor, "%03d", floorNumber + 1);
  for (const datagen::FloorSource& source : datagen::BuiltInFloors()) {
    if (source.name != floor) continue;
    reading.marks = datagen::FloorMarks(source.text);
    MapFileData data;
    if (datagen::CompileFloorText(source.text, &data, nullptr)) reading.enemies = data.enemyPlacements;
  }
  return reading;
}

// A copy of the player and its latches, stepped with the game's motion.
struct Body {
  PlayerRecord record = player;
  MotionLatches latches = MotionLatchesNow();

  void Step(int way, bool down = false, bool jump = false) {
    MotionKeys keys = MotionKeysOf(way, down, jump);
    StepPlayerMotion(record, keys, latches, CellContact::kFelt);
  }
  BodyPlace Place() const { return {record.posX, record.posY, record.squat != 0, record.airborne == 0}; }
};

// The body along a course as the bullets strike it, widened by `margin`.
BulletTarget TargetAt(const BodyPlace& at, int margin) {
  PlayerRecord body = player;
  body.x = static_cast<int>(at.x), body.y = static_cast<int>(at.y), body.squat = at.crouched ? 1 : 0;
  BulletTarget target = PlayerTarget(body);
  target.left -= margin, target.right += margin, target.top -= margin, target.bottom += margin;
  target.open = true;
  return target;
}

// Whether the blast of bullet `b` striking a wall reaches the target.
bool BlastReaches(const ShotRecord& b, const BulletTarget& target) {
  const int hx = static_cast<int>(b.x) + kBulletHitOffset, hy = static_cast<int>(b.y) + kBulletHitOffset;
  return b.blastSize > 0 && EnemyBlastReaches(hx, hy, b.blastSize, target.left, target.top, target.right, target.bottom);
}

}  // namespace

int ColumnOf(const Place& place) {
  switch (place.kind) {
    case Place::Kind::kColumn: return place.number;
    case Place::Kind::kMark:
      for (const datagen::FloorMark& mark : FloorBeingPlayed().marks) {
        if (mark.name == place.name) return mark.x;
      }
      return -1;
    case Place::Kind::kCells: return NearestColumnWith(place.number, place.ahead);
    case Place::Kind::kSlot: return floorSlots[place.number].active == 1 ? floorSlots[place.number].x : -1;
  }
  return -1;
}

int StandingX(int column) { return column * kCellSize + kCellSize / 2 - kPlayerSpriteSize / 2; }

bool InView(double x, double y, int width, int height) {
  return x + width > cameraX && x < cameraX + kViewWidth && y + height > cameraY && y < cameraY + kViewHeight;
}

int WayOf(double speed) { return speed > 0.0 ? 1 : speed < 0.0 ? -1 : 0; }

std::vector<BodyPlace> CourseOf(int wait, const Move& move, int frames, int heldWay) {
  Body body;
  std::vector<BodyPlace> course{body.Place()};
  // A drop is one press of Down and Jump; a crouch goes on while the move waits.
  const int press = move.drop ? std::max(move.press, 1) : move.press;
  const bool crouching = player.squat != 0;
  for (int t = 0; t < frames; ++t) {
    const bool held = t >= wait && t < wait + press;
    const bool down = t < wait ? crouching : held && (move.crouch || move.drop);
    body.Step(t < wait ? heldWay : held ? move.way : 0, down, held && (move.jump || move.drop));
    course.push_back(body.Place());
  }
  return course;
}

bool Carries(const std::vector<BodyPlace>& course, int height) {
  const BodyPlace& end = course.back();
  return end.grounded && (height == player.y || (height < player.y ? end.y <= player.y - 1 : end.y >= player.y + 1));
}

double RestX(int way, int frames, int heldWay, int late) {
  constexpr int kLongestSlide = 120;
  Body body;
  for (int t = 0; t < late + frames; ++t) body.Step(t < late ? heldWay : way);
  const double a = WalkAcceleration(body.record);
  for (int t = 0; t < kLongestSlide && body.record.velocityX != 0.0; ++t) {
    const bool onIce = body.record.onSlipperyFloor != 0 && body.record.airborne == 0;
    if (onIce && std::fabs(body.record.velocityX) < a) break;
    body.Step(onIce ? -WayOf(body.record.velocityX) : 0);
  }
  return body.record.posX;
}

int FirstBulletHit(const std::vector<BodyPlace>& course, int horizon, int margin) {
  std::vector<ShotRecord> flights;
  for (const ShotRecord& b : enemyBullets) {
    if (b.inUse != 0 && InView(b.x, b.y, kBulletSize, kBulletSize)) flights.push_back(b);
  }
  for (int t = 0; t < horizon && !flights.empty(); ++t) {
    // The game moves the player before the bullets: judged against the body
    // a frame earlier than it meets, a dodge keeps a frame in hand.
    const BulletTarget target = TargetAt(course[std::min(static_cast<std::size_t>(t), course.size() - 1)], margin);
    std::vector<ShotRecord> next;
    for (ShotRecord& b : flights) {
      const BulletFate fate = JudgeEnemyBullet(b, target);
      if (fate == BulletFate::kHitsPlayer || (fate == BulletFate::kStrikesWall && BlastReaches(b, target))) return t;
      if (fate == BulletFate::kSplits || fate == BulletFate::kReaims) {
        const BulletFork fork = ForkEnemyBullet(b, target);
        next.insert(next.end(), fork.bullets, fork.bullets + fork.count);
      } else if (fate == BulletFate::kFlies) {
        FlyEnemyBullet(b);
        next.push_back(b);
      }
    }
    flights = std::move(next);
  }
  return horizon;
}

const EnemyRecord* Boss() {
  for (const EnemyRecord& enemy : enemies) {
    if (enemy.life > 0 && enemy.bossIndex >= 0) return &enemy;
  }
  return nullptr;
}

const EnemyRecord* EnemyOfKindAt(const Place& place) {
  const int column = ColumnOf(place);
  for (const MapFileData::Placement& placed : FloorBeingPlayed().enemies) {
    if (placed.tileX != column) continue;
    const int sheet = enemyKinds[placed.value].sheetSlot;
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.sheetSlot == sheet) return &enemy;
    }
    return nullptr;
  }
  return nullptr;
}

bool FiredJustNow(const EnemyRecord& enemy) {
  const BulletStart muzzle = EnemyMuzzle(enemy);
  // The speed a bullet flew with is the speed now less this frame's pull.
  return std::any_of(std::begin(enemyBullets), std::end(enemyBullets), [&](const ShotRecord& b) {
    return b.inUse != 0 && std::fabs(b.x - (b.vx - b.ax) - muzzle.x) < 0.5 &&
           std::fabs(b.y - (b.vy - b.ay) - muzzle.y) < 0.5;
  });
}

int SinceVolley(const EnemyRecord& boss, int before) {
  if (FiredJustNow(boss)) return 0;
  return before >= 0 && boss.hurtTimer == 0 ? before + 1 : before;
}

int EnemyAhead(int above) {
  int nearest = -1;
  for (const EnemyRecord& enemy : enemies) {
    const bool level =
        enemy.y + enemy.bodyBottom > player.y + kBodyTop - above && enemy.y + enemy.bodyTop < player.y + kPlayerSpriteSize;
    const int away = std::max(0, enemy.x - player.x);
    const bool inView = InView(enemy.x, enemy.y, enemy.width, enemy.height);
    if (enemy.life > 0 && level && enemy.x + enemy.width > player.x && inView) {
      nearest = nearest < 0 ? away : std::min(nearest, away);
    }
  }
  return nearest;
}

bool ObstacleAhead(int lead) {
  if (player.airborne != 0) return false;
  const int then = static_cast<int>(CourseOf(0, Move{WayOf(player.velocityX), false, false, false, lead}, lead).back().x);
  const int front = then + kPlayerSpriteSize * 3 / 4 + 10, feet = player.y + kPlayerSpriteSize + 8;
  const int wall = std::max(ReadAttributeAtPixel(front, player.y + kBodyTop), ReadAttributeAtPixel(front, player.y + kBodyBottom));
  const int ground = ReadAttributeAtPixel(front + kCellSize * 3 / 4, feet);
  return wall >= kAttrSolidFrom || ground < kAttrOneWay || (ground >= kAttrSpikesUp && ground <= kAttrSpikesLeft);
}

int PlatformDistance(int x) {
  int nearest = kFieldRightPixel;
  for (int i = 0; i < std::min<int>(movingCount, kMovingObjectCount); ++i) {
    if (movingObjects[i].type <= kLastTravellingType) nearest = std::min(nearest, std::abs(movingObjects[i].x - x));
  }
  return nearest;
}

}  // namespace veltrin::routes
