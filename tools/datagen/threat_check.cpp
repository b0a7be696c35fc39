// The threats of a floor from the game's kind templates: each placed enemy's
// bullets (their lane at its muzzle's height, their speed and range), its
// walk or flight, and its fall off the ends of the ground it walks; and the
// view the camera keeps around the player, or the candle's light on a dark
// floor, that decides how long each is seen before it reaches the route.
#include "tools/datagen/threat_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

using M = MapFileData;
constexpr int kSpriteHalf = 32;  // the player's and the camera's 64-pixel sprite cell
constexpr double kInSight = std::numeric_limits<double>::infinity();
// The player's body around its sprite's centre, and the view around it.
constexpr double kBodyHalfWidth = (kBodyRight - kBodyLeft) / 2.0;
constexpr double kBodyHalfHeight = (kBodyBottom - kBodyTop) / 2.0;
constexpr double kViewLeft = kCameraLeadX + kSpriteHalf, kViewRight = kViewWidth - kViewLeft;
constexpr double kViewUp = kCameraLeadY + kSpriteHalf, kViewDown = kViewHeight - kViewUp;

std::string CellText(const Cell& cell) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d, %d)", cell.first, cell.second);
  return text;
}

// The centre of the player's sprite standing at stand place (x, y): body
// cells (x, y - 1) and (x, y).
double CentreX(const Cell& stand) { return stand.first * kCellSize + kCellSize / 2.0; }
double CentreY(const Cell& stand) { return stand.second * kCellSize; }

// Whether pixel (x, y) is on the screen of a player standing at `stand`,
// the camera kept inside the field as the game keeps it.
bool OnScreen(const Cell& stand, double x, double y) {
  const double left = std::clamp(CentreX(stand) - kSpriteHalf - kCameraLeadX, 0.0, 1.0 * kCameraMaxX);
  const double top = std::clamp(CentreY(stand) - kSpriteHalf - kCameraLeadY, 0.0, 1.0 * kCameraMaxY);
  return x >= left && x < left + kViewWidth && y >= top && y < top + kViewHeight;
}

// The fastest of the bullets one attack slot fires.
double FastestBullet(const EnemyKindRecord& k, int slot) {
  const int kind = std::clamp(k.bulletKind[slot], 0, 19);
  double speed = k.bulletSpeed[slot];
  if (kind == kLineBurstKind) speed += kLineBurstSpeedStep * (std::max(k.bulletsPerVolley[slot], 1) - 1);
  if (kind == kSplittingBulletKind) speed = std::max(speed, kSplitBulletSpeed);
  if (kind == kReaimKind) speed = std::max(speed, kReaimedBulletSpeed);
  return speed;
}

// Whether an attack slot is ever chosen: slot 0 while its chance is drawn
// under 100, slot 2 past both chances.
bool SlotFires(const EnemyKindRecord& k, int slot) {
  if (k.volleysPerBurst[0] == 0 || k.volleysPerBurst[slot] == 0 || k.aimMode[slot] == 4) return false;
  if (slot == 0) return true;
  return k.slotChance[0] < 100 && (slot == 1 || k.slotChance[1] < 100);
}

// Whether a line of cells (`wall`: those that stop enemies) stops a body
// edge `length` pixels long knocked across it, wherever it lies along it:
// the edge is probed at most a cell's length apart, so it slips through
// only where it fits in a gap between walls; beyond the field is open.
bool Stops(const std::vector<bool>& wall, int length) {
  int open = 0;
  for (std::size_t i = 0; i <= wall.size(); ++i) {
    if (i < wall.size() && !wall[i]) {
      ++open;
      continue;
    }
    const bool atEdge = open > 0 && (i == wall.size() || i == static_cast<std::size_t>(open));
    if (atEdge || kCellSize * open >= length) return false;
    open = 0;
  }
  return true;
}

}  // namespace

FloorThreats::FloorThreats(const M& placed, const M& open, bool candle)
    : placed_(placed),
      map_(open), viewRadius_(open.mapFlags[kMapFlagDark] == 1 ? kCandleLitRadius[candle ? 1 : 0] : 0.0) {
  bosses_.reserve(open.enemyPlacements.size());
  for (const M::Placement& placement : open.enemyPlacements) AddEnemy(placement);
}

int FloorThreats::At(int x, int y) const {
  if (x < 0 || x >= kFieldColumns || y < 0 || y >= kFieldRows) return kAttrSolidBlock;
  return map_.attributeLayer[M::CellIndex(x, y)];
}

bool FloorThreats::Open(int x, int y) const { return At(x, y) <= kAttrOneWay; }

bool FloorThreats::Wall(int x, int y) const {
  if (x < 0 || x >= kFieldColumns || y < 0 || y >= kFieldRows) return true;
  // A solid block stays unless a switch or a gate opens it (the route's
  // cells show that); switch codes solid as placed turn only when the boss
  // falls, clearing the floor, where no key switch turns them first.
  // Crates, breakable, crumbling and magic blocks may go sooner.
  const int a = placed_.attributeLayer[M::CellIndex(x, y)];
  const bool switchCode = a >= kAttrHighSwitchCodeFirst && a <= kAttrHighSwitchCodeLast;
  return (a == kAttrSolidBlock && At(x, y) == kAttrSolidBlock) ||
         (switchCode && placed_.slots[kSlotKeySwitch].active != 1);
}

bool FloorThreats::WallColumn(int column, int height) const {
  std::vector<bool> cells(kFieldRows);
  for (int row = 0; row < kFieldRows; ++row) cells[row] = Wall(column, row);
  return Stops(cells, height);
}

bool FloorThreats::WallRow(int row, int width) const {
  std::vector<bool> cells(kFieldColumns);
  for (int column = 0; column < kFieldColumns; ++column) cells[column] = Wall(column, row);
  return Stops(cells, width);
}

bool FloorThreats::Reaches(const Mover& m, const Cell& stand) const {
  if (m.feetRow >= 0) return stand.second == m.feetRow - 1;
  const double x = CentreX(stand), y = CentreY(stand);
  return m.left < x + kBodyHalfWidth && x - kBodyHalfWidth < m.right && m.top < y + kBodyHalfHeight &&
         y - kBodyHalfHeight < m.bottom;
}

void FloorThreats::AddEnemy(const M::Placement& placement) {
  const EnemyKindRecord k = FloorEnemyKind(map_.kindSet, placement.value);
  if (k.life <= 0) return;
  const Cell enemy{placement.tileX, placement.tileY};
  const int x = placement.tileX * kCellSize;
  int y = placement.tileY * kCellSize;
  // A walker placed into its ground is lifted onto it, as the copy from the
  // template does.
  if (k.flying == 0 && At((x + k.bodyLeft) / kCellSize, (y + k.bodyBottom) / kCellSize) >= kAttrOneWay) {
    y = y - y % kCellSize - 1;
  }
  const double centreX = x + k.width / 2.0;
  const Body body{x + (k.bodyLeft + k.bodyRight) / 2.0, y + (k.bodyTop + k.bodyBottom) / 2.0,
                  (k.bodyRight - k.bodyLeft) / 2.0, (k.bodyBottom - k.bodyTop) / 2.0};
  const Body* boss = nullptr;
  if (k.bossIndex >= 0) boss = &bosses_.emplace_back(body);
  const EnemyTopSpeed top = TopSpeedOfBehaviour(k);
  const int groundRow = (y + k.bodyBottom) / kCellSize + 1;
  if (k.flying == 1 && (top.sideways > 0 || top.vertical > 0)) {
    // A flyer that never moves sideways keeps to the columns of its body,
    // either way it faces, and one that never moves up or down to its rows;
    // unless shots knock it, then only the walls its body's edges meet
    // bound it, and nothing one that passes through cells. The walls meet
    // the body unmirrored: facing the other way it may reach past them.
    Mover m{enemy, top.sideways, top.vertical, -1, -kInSight, -kInSight, kInSight, kInSight, body, k.contactDamage > 0, k.behaviour == kLurkerBehaviour};
    const bool knocked = k.knockbackClass < 2, bounded = !knocked || k.ghost == 0;
    if (top.sideways == 0 && bounded) {
      m.left = x + std::min(k.bodyLeft, k.width - k.bodyRight);
      m.right = x + std::max(k.bodyRight, k.width - k.bodyLeft);
      if (knocked) {
        const int height = k.bodyBottom - k.bodyTop;
        int left = (x + k.bodyLeft) / kCellSize, right = (x + k.bodyRight) / kCellSize;
        while (left >= 0 && !WallColumn(left, height)) --left;
        while (right < kFieldColumns && !WallColumn(right, height)) ++right;
        m.left = std::min(m.left, (left + 1.0) * kCellSize - std::max(0, k.bodyLeft + k.bodyRight - k.width));
        m.right = std::max(m.right, right * 1.0 * kCellSize + std::max(0, k.width - k.bodyLeft - k.bodyRight));
      }
    }
    if (top.vertical == 0 && bounded) {
      m.top = y + k.bodyTop, m.bottom = y + k.bodyBottom;
      if (knocked) {
        const int width = k.bodyRight - k.bodyLeft;
        int top = (y + k.bodyTop) / kCellSize, bottom = (y + k.bodyBottom) / kCellSize;
        while (top >= 0 && !WallRow(top, width)) --top;
        while (bottom < kFieldRows && !WallRow(bottom, width)) ++bottom;
        m.top = std::min(m.top, (top + 1.0) * kCellSize), m.bottom = std::max(m.bottom, bottom * 1.0 * kCellSize);
      }
    }
    movers_.push_back(m);
  }
  if (k.flying == 0 && top.sideways > 0) {
    movers_.push_back({enemy, top.sideways, 0.0, groundRow, -kInSight, -kInSight, kInSight, kInSight, body, k.contactDamage > 0, k.behaviour == kLurkerBehaviour});
  }

  // Bullets: each slot it fires from its muzzle, strikes where their centre
  // is; level ones only sideways. A lane runs each way the enemy may face,
  // from the muzzle as far as the bullets fly or to what stops them; one
  // that moves sideways shoots from anywhere along its row, so its lanes run
  // the whole open row.
  BulletLane lane{enemy, {}};
  for (int slot = 0; slot < kAttackSlots; ++slot) {
    if (!SlotFires(k, slot)) continue;
    const double speed = FastestBullet(k, slot);
    const bool passes = BulletKindPassesCells(k.bulletKind[slot]);
    for (int facing : {-1, 1}) {
      EnemyRecord placed = k;
      placed.x = x, placed.y = y, placed.facing = facing;
      const BulletStart muzzle = EnemyMuzzle(placed);
      const int hitX = muzzle.x + kBulletHitOffset, hitY = muzzle.y + kBulletHitOffset;
      // From its muzzle facing either way; a boss opens fire only once on
      // screen, weighed where it is placed.
      shots_.push_back({enemy, static_cast<double>(hitX), static_cast<double>(hitY), speed, speed * kBulletLife,
                        k.aimMode[slot] == 0, passes, k.attackInterval + (boss != nullptr ? kBossOpeningFrames : 0),
                        boss, boss != nullptr ? 0.0 : top.sideways});
      const int row = hitY / kCellSize, first = hitX / kCellSize;
      const int last = top.sideways > 0
                           ? (facing < 0 ? 0 : kFieldColumns - 1)
                           : static_cast<int>(hitX + facing * speed * (kBulletLife - 1)) / kCellSize;
      for (int c = first; c >= 0 && c < kFieldColumns && (c - last) * facing <= 0; c += facing) {
        if (!passes && At(c, row) >= kAttrSolidFrom) break;
        lane.cells.insert({c, row});
      }
    }
  }
  if (!lane.cells.empty()) lanes_.push_back(lane);

  // A walker walks off the ends of its ground and falls onto what lies below.
  if (k.flying == 1 || top.sideways == 0) return;
  const int column = static_cast<int>(centreX) / kCellSize;
  for (int dir : {-1, 1}) {
    int c = column;
    while (Open(c + dir, groundRow - 1) && At(c + dir, groundRow) >= kAttrOneWay) c += dir;
    if (!Open(c + dir, groundRow - 1)) continue;
    c += dir;
    int landing = groundRow;
    while (landing < kFieldRows && At(c, landing) < kAttrOneWay) ++landing;
    falls_.push_back({enemy, c, groundRow, landing});
  }
}

double FloorThreats::FramesInSight(const Cell& stand, double x, double y, double speed, bool level) const {
  double dx = x - CentreX(stand), dy = y - CentreY(stand);
  if (level) {
    if (std::abs(dy) > kBodyHalfHeight) return kInSight;  // passes over or under the body
    dy = 0;
  }
  const double distance = std::hypot(dx, dy);
  const bool inView = viewRadius_ > 0 ? distance <= viewRadius_
                                      : dx >= -kViewLeft && dx <= kViewRight && dy >= -kViewUp && dy <= kViewDown;
  if (inView || distance == 0) return kInSight;
  const double ux = std::abs(dx) / distance, uy = std::abs(dy) / distance;
  const auto along = [ux, uy](double halfX, double halfY) {
    return std::min(ux > 0 ? halfX / ux : kInSight, uy > 0 ? halfY / uy : kInSight);
  };
  double view = along(dx < 0 ? kViewLeft : kViewRight, dy < 0 ? kViewUp : kViewDown);
  if (viewRadius_ > 0) view = std::min(view, viewRadius_);
  return (view - along(kBodyHalfWidth, kBodyHalfHeight)) / speed;
}

double FloorThreats::FramesInSight(const Mover& m) const {
  // Out of sight it must cross the view's edge, or the candle's light, and
  // cover the way from there to the body: level at the body's top or bottom
  // edge, where the light is narrowest, straight up or down at its side, or
  // at a slant to its corner.
  const auto over = [](double way, double speed) { return speed > 0 ? way / speed : kInSight; };
  if (viewRadius_ > 0) {
    const double r = viewRadius_;
    const double level = over(std::sqrt(r * r - kBodyHalfHeight * kBodyHalfHeight) - kBodyHalfWidth, m.sideways);
    const double upright = over(std::sqrt(r * r - kBodyHalfWidth * kBodyHalfWidth) - kBodyHalfHeight, m.vertical);
    const double slant = m.sideways > 0 && m.vertical > 0
                             ? over(r - std::hypot(kBodyHalfWidth, kBodyHalfHeight), std::hypot(m.sideways, m.vertical))
                             : kInSight;
    return std::min({level, upright, slant});
  }
  return std::min(over(std::min(kViewLeft, kViewRight) - kBodyHalfWidth, m.sideways),
                  over(std::min(kViewUp, kViewDown) - kBodyHalfHeight, m.vertical));
}

bool FloorThreats::Blocked(double x, double y, double toX, double toY) const {
  // Sampled at a quarter cell: no wall is thinner than a cell.
  const int steps = static_cast<int>(std::hypot(toX - x, toY - y) / (kCellSize / 4.0)) + 1;
  for (int i = 0; i <= steps; ++i) {
    const double px = x + (toX - x) * i / steps, py = y + (toY - y) * i / steps;
    if (At(static_cast<int>(std::floor(px / kCellSize)), static_cast<int>(std::floor(py / kCellSize))) >=
        kAttrSolidFrom) {
      return true;
    }
  }
  return false;
}

double FloorThreats::FramesToReach(const Mover& m, const Cell& stand) const {
  const double x = CentreX(stand), y = CentreY(stand);
  const auto gap = [](double from, double to, double halves) { return std::max(0.0, std::abs(to - from) - halves); };
  const auto over = [](double way, double speed) { return way <= 0 ? 0.0 : speed > 0 ? way / speed : kInSight; };
  const double halfWidths = m.body.halfWidth + kBodyHalfWidth;
  if (Reaches(m, stand)) {
    const double level = over(gap(m.body.centreX, x, halfWidths), m.sideways);
    if (m.feetRow >= 0) return level;
    return std::max(level, over(gap(m.body.centreY, y, m.body.halfHeight + kBodyHalfHeight), m.vertical));
  }
  // A walker may walk off an end of its ground onto the player's.
  double soonest = kInSight;
  for (const Fall& f : falls_) {
    if (f.enemy != m.enemy || f.groundRow != stand.second + 1) continue;
    const double edgeX = f.column * kCellSize + kCellSize / 2.0;
    double drop = (f.groundRow - f.fromRow) * kCellSize, speed = kEnemyFirstFallSpeed;
    int fall = 0;
    for (; drop > 0; ++fall) drop -= speed, speed = std::min(speed + kEnemyGravity, kEnemyFallCap);
    soonest = std::min(soonest, over(std::abs(edgeX - m.body.centreX), m.sideways) + fall +
                                    over(gap(edgeX, x, halfWidths), m.sideways));
  }
  return soonest;
}

double FloorThreats::FramesToReach(const Shot& shot, const Cell& stand) const {
  const double x = CentreX(stand), y = CentreY(stand);
  if (shot.level && std::abs(shot.muzzleY - y) > kBodyHalfHeight) return kInSight;
  if (shot.boss != nullptr && !OnScreen(stand, shot.boss->centreX, shot.boss->centreY)) return kInSight;
  const double toY = shot.level ? shot.muzzleY : y;
  // A shooter that walks or flies sideways may have come straight for the
  // player by its first volley.
  const double nearer = std::min(std::abs(x - shot.muzzleX), shot.approach * shot.firstVolley);
  const double fromX = shot.muzzleX + (x < shot.muzzleX ? -nearer : nearer);
  const double distance = std::hypot(x - fromX, toY - shot.muzzleY);
  if (distance > shot.range || (!shot.passes && Blocked(fromX, shot.muzzleY, x, toY))) return kInSight;
  const double halves = shot.level ? kBodyHalfWidth : std::min(kBodyHalfWidth, kBodyHalfHeight);
  return shot.firstVolley + std::max(0.0, distance - halves) / shot.speed;
}

std::string FloorThreats::ArrivalFault(const Cell& arrival) const {
  const auto fault = [&arrival](const Cell& enemy, const char* what, double frames) {
    char text[160];
    std::snprintf(text, sizeof text, " %s within %.0f frames of arriving (%d allowed)", what, std::floor(frames),
                  kArrivalFrames);
    return "the enemy at " + CellText(enemy) + " reaches the arrival at " + CellText(arrival) + text;
  };
  for (const Mover& m : movers_) {
    const bool asleep = m.lurks && std::abs(m.body.centreX - CentreX(arrival)) > kLurkerWakeDistance + kSpriteHalf;
    if (!m.hurts || asleep) continue;
    const double frames = FramesToReach(m, arrival);
    if (frames < kArrivalFrames) return fault(m.enemy, m.feetRow >= 0 ? "walking" : "flying", frames);
  }
  for (const Shot& shot : shots_) {
    const double frames = FramesToReach(shot, arrival);
    if (frames < kArrivalFrames) return fault(shot.enemy, "with its bullets", frames);
  }
  return "";
}

const BulletLane* FloorThreats::LaneAcross(const RouteJump& jump) const {
  const auto [fromX, fromY] = jump.from;
  const auto [toX, toY] = jump.to;
  const int top = std::min(fromY, toY) - jump.rise - 1;
  for (const BulletLane& lane : lanes_) {
    for (int c = std::min(fromX, toX); c <= std::max(fromX, toX); ++c) {
      const int bottom = c == fromX ? fromY : c == toX ? toY : kFieldRows;
      for (int r = top; r <= bottom && Open(c, r); ++r) {
        if (lane.cells.count({c, r}) != 0) return &lane;
      }
    }
  }
  return nullptr;
}

std::string FloorThreats::SightFault(const std::set<Cell>& route) const {
  const auto fault = [](const Cell& enemy, const char* what, double speed, double frames, const Cell& stand) {
    char text[160];
    std::snprintf(text, sizeof text, " %s at %.2f pixels a frame, in sight %.0f frames before it reaches ", what,
                  speed, std::floor(frames));
    return "the enemy at " + CellText(enemy) + text + CellText(stand) + " (" + std::to_string(kSightFrames) +
           " needed)";
  };
  // A mover too fast for the view: named with the stand place of the route
  // it can reach nearest it.
  for (const Mover& m : movers_) {
    const double frames = FramesInSight(m);
    if (frames >= kSightFrames) continue;
    const Cell* nearest = nullptr;
    for (const Cell& stand : route) {
      if (!Reaches(m, stand)) continue;
      const auto distance = [&m](const Cell& c) {
        return std::hypot(c.first - m.enemy.first, c.second - m.enemy.second);
      };
      if (nearest == nullptr || distance(stand) < distance(*nearest)) nearest = &stand;
    }
    const double speed = std::max(m.sideways, m.vertical);
    if (nearest != nullptr) return fault(m.enemy, m.feetRow >= 0 ? "walks" : "flies", speed, frames, *nearest);
  }
  // Bullets from where the enemy stands: of the places they reach too soon,
  // the one nearest it.
  for (const Shot& shot : shots_) {
    const Cell* nearest = nullptr;
    double nearestDistance = kInSight, nearestFrames = 0;
    for (const Cell& stand : route) {
      const double distance = std::hypot(shot.muzzleX - CentreX(stand), shot.muzzleY - CentreY(stand));
      if (distance > shot.range || distance >= nearestDistance) continue;
      const double frames = FramesInSight(stand, shot.muzzleX, shot.muzzleY, shot.speed, shot.level);
      if (frames < kSightFrames) nearest = &stand, nearestDistance = distance, nearestFrames = frames;
    }
    if (nearest != nullptr) return fault(shot.enemy, "shoots", shot.speed, nearestFrames, *nearest);
  }
  // A fall: seen from when its feet come into the view above the player
  // standing where it lands until they reach the body's top.
  for (const Fall& f : falls_) {
    for (int c = f.column - 1; c <= f.column + 1; ++c) {
      const Cell stand{c, f.groundRow - 1};
      if (route.count(stand) == 0) continue;
      const double viewTop = CentreY(stand) - (viewRadius_ > 0 ? viewRadius_ : kViewUp);
      const double bodyTop = CentreY(stand) - kBodyHalfHeight;
      double feet = f.fromRow * kCellSize, speed = kEnemyFirstFallSpeed;
      if (feet >= viewTop) continue;  // in sight before it falls
      int frames = 0;
      while (feet < bodyTop) {
        feet += speed;
        speed = std::min(speed + kEnemyGravity, kEnemyFallCap);
        if (feet >= viewTop) ++frames;
      }
      if (frames < kSightFrames) return fault(f.enemy, "falls", speed, frames, stand);
    }
  }
  return "";
}

}  // namespace datagen
