// The campaign's checks: a walk of each floor with a person's comfortable
// jumps and the items held by then, and the campaign's bookkeeping (item
// floors, shop prices, where every upgrade lies).
#include "tools/datagen/campaign_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <queue>
#include <set>
#include <utility>

#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/items.h"
#include "game/blocks.h"
#include "game/chest_contents.h"
#include "game/map_cells.h"
#include "game/map_format.h"
#include "game/player_physics.h"
#include "game/shop_goods.h"
#include "tools/datagen/shop_files.h"
#include "tools/datagen/threat_check.h"

namespace datagen {

JumpEnvelope::JumpEnvelope(double launchSpeed) {
  // Frame by frame as the player update moves: position, then gravity; the
  // feet's height, up positive, down to the field's depth.
  double height = 0, velocity = launchSpeed;
  while (height > -kDeepestDrop * kCellSize) {
    height -= velocity;
    velocity = std::min(velocity + kGravity, kFallCap);
    heights_.push_back(height);
  }
}

int JumpEnvelope::HighestRise() const {
  const double top = *std::max_element(heights_.begin(), heights_.end());
  return static_cast<int>(std::ceil(top / kCellSize));
}

int JumpEnvelope::WidestStep(int rise, bool oneWay) const {
  // A falling foot lands once it is inside the top cell of what it stands
  // on: any depth into a one-way platform, none into solid ground (the side
  // probes would stop it first).
  const double need = rise * kCellSize - (oneWay ? kCellSize - 1 : 0);
  int lastFrame = 0;
  for (std::size_t frame = 0; frame < heights_.size(); ++frame) {
    if (heights_[frame] >= need) lastFrame = static_cast<int>(frame) + 1;
  }
  if (lastFrame == 0 && rise > 0) return -1;
  // A step of `columns` starts where the left probe leaves the ledge at the
  // latest and lands where the right probe first finds ground: the travel
  // between, the take-off window before it and the spare after it are all
  // covered at walking speed.
  const double reach = lastFrame * kWalkCap;
  const double slack = kTakeOffWindowFrames * kWalkCap + kLandingSparePixels;
  int widest = 0;
  for (int columns = 1; columns <= kWidestStep; ++columns) {
    const int travel = kCellSize * columns - kCellSize - (kFeetProbeRight - kFeetProbeLeft) + 1;
    if (travel + slack <= reach) widest = columns;
  }
  return widest;
}

namespace {

using M = MapFileData;
constexpr int kTreasureGateChip = 201;
constexpr int kFirstAreaLastFloor = 10;
constexpr int kSwitchCodeSolid = 9, kSwitchCodeOneWayA = 10, kSwitchCodeOneWayB = 91, kSwitchCodeEmpty = 90;

std::string CellText(int x, int y) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d, %d)", x, y);
  return text;
}

// The progress flags the chests so far gave, and the coins.
struct Held {
  std::array<bool, kProgressFlagCount> flags{};
  int coins = 0;
  bool Has(ProgressFlag flag) const { return flags[flag]; }
  // Takes a chest's content; true when it changes the walk.
  bool Gain(int chest) {
    if (chest == kChestCoin) ++coins;
    if (chest < kChestFirstFlag || chest > kChestLastTreasure || flags[chest - kChestFirstFlag]) return false;
    flags[chest - kChestFirstFlag] = true;
    return chest == kChestBreakPower || chest == kChestTrueEye || chest == kChestChainRing ||
           chest == kChestCreatePower || chest == kChestHighJump;
  }
};

// The floor as the player finds it once its switch was used, its boss beaten
// and the four replicas held: switch codes converted, gates open; with the
// items held, walls broken and hidden cells shown. A travelling platform is
// a floor along the span of its row it travels.
struct OpenFloor {
  OpenFloor(const M& map, const Held& held) : d(map) {
    for (int i = 0; i < M::kCellCount; ++i) {
      int& a = d.attributeLayer[i];
      if (a == kSwitchCodeSolid) a = kAttrSolidBlock;
      if (a == kSwitchCodeOneWayA || a == kSwitchCodeOneWayB) a = kAttrOneWay;
      if (a == kSwitchCodeEmpty) a = kAttrEmpty;
      if (d.chipLayer[i] == kTreasureGateChip) a = kAttrEmpty;
      if (held.Has(kBreakPower) && a >= kAttrBreakableFirst && a <= kAttrBreakableLast) {
        a = kBrokenBlockCells[a - kAttrBreakableFirst].attribute;
      }
      if (held.Has(kTrueEye) && a == kAttrHidden) a = kAttrSolidBlock;
    }
    for (const M::Placement& mover : map.movingObjects) {
      if (mover.value > 1) continue;
      const int y = mover.tileY;
      int left = mover.tileX, right = mover.tileX;
      while (At(left - 1, y) <= kMoverTurnsAbove) --left;
      while (At(right + 1, y) <= kMoverTurnsAbove) ++right;
      for (int x = left; x <= right; ++x) {
        if (At(x, y) == kAttrEmpty) d.attributeLayer[M::CellIndex(x, y)] = kAttrOneWay;
      }
    }
  }
  int At(int x, int y) const {
    if (x < 0 || x >= kFieldColumns || y < 0 || y >= kFieldRows) return kAttrSolidBlock;
    return d.attributeLayer[M::CellIndex(x, y)];
  }
  bool Open(int x, int y) const { return At(x, y) <= kAttrOneWay; }
  // A wall passable from one side stops a body entering it facing the way
  // `dir` (-1 left, 1 right) goes.
  bool Stops(int x, int y, int dir) const { return At(x, y) == (dir < 0 ? kAttrWallFromLeft : kAttrWallFromRight); }
  bool Hurts(int x, int y) const { return At(x, y) >= kAttrSpikesUp && At(x, y) <= kAttrSpikesLeft; }
  // A place the player can stand: body cells (x, y - 1) and (x, y) open,
  // something to stand on under them that does not hurt.
  bool Stand(int x, int y) const {
    return Open(x, y) && Open(x, y - 1) && At(x, y + 1) >= kAttrOneWay && !Hurts(x, y + 1);
  }
  // True when a fall from row y in column x ends on spikes.
  bool SpikesBelow(int x, int y) const {
    while (y < kFieldRows && Open(x, y)) ++y;
    return Hurts(x, y);
  }
  M d;
};

// The jumps of the floor: normal or high, and from a spring, weaker under
// the floor's weak-jump flag.
double Launch(const M& map, const Held& held, double normal, double high) {
  return (held.Has(kHighJump) ? high : normal) + (map.mapFlags[kMapFlagJumpBonus] == 1 ? kWeakJumpBonus : 0);
}
struct Jumps {
  Jumps(const M& map, const Held& held)
      : jump(Launch(map, held, kJumpSpeed, kHighJumpSpeed)), spring(Launch(map, held, kSpringSpeed, kHighSpringSpeed)) {}
  JumpEnvelope jump, spring;
};

// Stand places the Magic Shot opens from stand place (x, y): the shot flies
// level at the upper or (crouching) the lower body row, up to six cells, to the
// first cell that stops it. A warp block with two open cells above carries
// the player onto it; with Create Power any other stopping cell at least
// three cells off leaves a block in the open cell before it for a while,
// a place to jump onto when it lies within a jump's reach.
std::vector<Cell> MagicShotStands(const OpenFloor& f, const Held& held, int x, int y) {
  std::vector<Cell> stands;
  for (int dir : {-1, 1}) {
    for (int row : {y - 1, y}) {
      for (int k = 1; k <= 6; ++k) {
        const int cx = x + dir * k;
        const int a = f.At(cx, row);
        if (a < kAttrSolidFrom) continue;
        const bool magicBlock = a >= kAttrWarpBlock && a <= kAttrMagicSwitchLast;
        if (a == kAttrWarpBlock && held.Has(kChainRing) && f.Open(cx, row - 1) && f.Open(cx, row - 2)) {
          stands.push_back({cx, row - 1});
        }
        const int bx = cx - dir;
        bool clear = held.Has(kCreatePower) && !magicBlock && k >= 3 && k <= 5 && f.At(bx, row) == kAttrEmpty &&
                     f.Open(x, row - 2);
        for (int between = x + dir; clear && between != bx + dir; between += dir) {
          clear = f.Open(between, row - 1) && f.Open(between, row - 2);
        }
        if (clear) stands.push_back({bx, row - 1});
        break;
      }
    }
  }
  return stands;
}

// Whether a move from stand place (x, y) to (cx, cy) along row y - up is a
// plain walk: level, with ground under every column.
bool Walk(const OpenFloor& f, int x, int y, int up, int cx, int cy) {
  if (up != 0 || cy != y) return false;
  for (int c = std::min(x, cx); c <= std::max(x, cx); ++c) {
    if (!f.Stand(c, y)) return false;
  }
  return true;
}

// Every stand place reachable from entrance 0 with comfortable jumps; on
// `gentle` floors no jump passes over spikes. With `threats`, no jump
// crosses a bullet lane: those refused go into `refused`.
std::set<Cell> Reach(const OpenFloor& f, const Jumps& jumps, const Held& held, bool gentle,
                     const FloorThreats* threats = nullptr, std::vector<RouteJump>* refused = nullptr) {
  std::set<Cell> seen;
  std::queue<Cell> next;
  for (int x = 0; x < kFieldColumns; ++x) {
    for (int y = 0; y + 1 < kFieldRows; ++y) {
      if (f.At(x, y) == kAttrEntrance0 && f.Stand(x, y + 1)) next.push({x, y + 1});
    }
  }
  while (!next.empty()) {
    const auto [x, y] = next.front();
    next.pop();
    if (!seen.insert({x, y}).second) continue;
    const JumpEnvelope& envelope = f.At(x, y + 1) == kAttrSpring ? jumps.spring : jumps.jump;
    // Up through open cells (one-way platforms let the player pass), then
    // sideways at every height and down again to the first place to stand.
    for (int up = 0; up <= envelope.HighestRise() && f.Open(x, y - 1 - up); ++up) {
      for (int dir : {-1, 1}) {
        bool overSpikes = false;
        for (int dx = 0; dx <= JumpEnvelope::kWidestStep; ++dx) {
          const int cx = x + dir * dx;
          if (!f.Open(cx, y - up) || !f.Open(cx, y - 1 - up)) break;
          if (dx > 0 && (f.Stops(cx, y - up, dir) || f.Stops(cx, y - 1 - up, dir))) break;
          for (int cy = y - up; cy < kFieldRows - 1 && f.Open(cx, cy); ++cy) {
            if (f.Stand(cx, cy)) {
              if (envelope.WidestStep(y - cy, f.At(cx, cy + 1) == kAttrOneWay) >= dx && !(gentle && overSpikes) && seen.count({cx, cy}) == 0) {
                const RouteJump jump{{x, y}, {cx, cy}, up};
                if (threats != nullptr && !Walk(f, x, y, up, cx, cy) && threats->LaneAcross(jump) != nullptr) {
                  refused->push_back(jump);
                } else {
                  next.push({cx, cy});
                }
              }
              break;
            }
            if (f.Hurts(cx, cy + 1)) break;
          }
          overSpikes = overSpikes || (dx > 0 && f.SpikesBelow(cx, y));
        }
      }
    }
    for (const Cell& stand : MagicShotStands(f, held, x, y)) {
      if (seen.count(stand) == 0) next.push(stand);
    }
  }
  return seen;
}

// A thing at cell (c, r) is in reach when the body touches it standing or
// at the top of a jump from a stand place below it.
bool Touched(const std::set<Cell>& reach, int c, int r) {
  for (int dx = -1; dx <= 1; ++dx) {
    for (int below = 0; below <= 4; ++below) {
      if (reach.count({c + dx, r + below}) != 0) return true;
    }
  }
  return false;
}

// The first cell holding `attribute`, or (-1, -1).
Cell FindAttribute(const OpenFloor& f, int attribute) {
  for (int x = 0; x < kFieldColumns; ++x) {
    for (int y = 0; y < kFieldRows; ++y) {
      if (f.At(x, y) == attribute) return {x, y};
    }
  }
  return {-1, -1};
}

// What on the floor lies out of reach: "" when everything is in it.
std::string OutOfReach(const OpenFloor& f, const std::set<Cell>& reach) {
  static constexpr const char* kSlotNames[] = {"the key switch", "the key", "the chest"};
  for (int slot = kSlotKeySwitch; slot <= kSlotChest; ++slot) {
    const M::Slot& s = f.d.slots[slot];
    if (s.active == 1 && !Touched(reach, s.tileX, s.tileY)) return std::string(kSlotNames[slot]) + " at " + CellText(s.tileX, s.tileY);
  }
  for (const M::Placement& o : f.d.mapObjects) {
    if (!Touched(reach, o.tileX, o.tileY)) return "a pick-up at " + CellText(o.tileX, o.tileY);
  }
  for (int x = 0; x < kFieldColumns; ++x) {
    for (int y = 0; y < kFieldRows; ++y) {
      const int a = f.At(x, y);
      const char* what = a == kAttrSign                             ? "a sign"
                         : a == kAttrShop                           ? "a shop"
                         : a >= kAttrDoor0 && a <= kAttrDoor0 + 3 ? "a door"
                                                                    : nullptr;
      if (what != nullptr && !Touched(reach, x, y)) return std::string(what) + " at " + CellText(x, y);
    }
  }
  return "";
}

// The campaign's order of visits: door 0 of each floor from "001" on, up to
// the ending (or a floor that is not built in).
std::vector<std::pair<std::string, M>> CampaignOrder(const std::map<std::string, M>& floors) {
  std::vector<std::pair<std::string, M>> order;
  for (std::string name = "001"; floors.count(name) == 1 && order.size() < floors.size();) {
    order.push_back({name, floors.at(name)});
    char next[8];
    std::snprintf(next, sizeof next, "%03d", floors.at(name).doors[0].targetFloor);
    name = next;
  }
  return order;
}

// The walk of one floor with what is held on arriving; takes the chest's
// content into `held` and the stand places reached into `route`. "" when
// the floor holds.
std::string CheckFloor(const M& map, bool gentle, Held& held, std::set<Cell>& route) {
  const Held before = held;
  auto reach = Reach(OpenFloor(map, held), Jumps(map, held), held, gentle);
  if (reach.empty()) return "no place to stand under entrance 0";
  // A chest's item acts on its own floor as soon as the chest is opened.
  const M::Slot& chest = map.slots[kSlotChest];
  if (chest.active == 1 && Touched(reach, chest.tileX, chest.tileY) && held.Gain(chest.type)) {
    const OpenFloor open(map, held);
    const auto without = reach;
    reach = Reach(open, Jumps(map, held), held, gentle);
    const Cell door = FindAttribute(open, kAttrDoor0);
    if (chest.type != kChestHighJump && Touched(without, door.first, door.second)) {
      return "door 0 at " + CellText(door.first, door.second) + " is in reach without the chest's item";
    }
  }
  route = reach;
  const std::string missed = OutOfReach(OpenFloor(map, held), reach);
  if (!missed.empty()) {
    return missed + " is out of a person's reach from entrance 0" +
           (before.flags == held.flags ? "" : " with the chest's item");
  }
  return "";
}

// Nothing that kills reaches an entrance of the floor while its title card
// shows and the player takes a first look.
std::string ArrivalFault(const OpenFloor& f, const FloorThreats& threats) {
  for (int x = 0; x < kFieldColumns; ++x) {
    for (int y = 0; y + 1 < kFieldRows; ++y) {
      const int a = f.At(x, y);
      if (a < kAttrEntrance0 || a > kAttrEntrance0 + 3 || !f.Stand(x, y + 1)) continue;
      const std::string fault = threats.ArrivalFault({x, y + 1});
      if (!fault.empty()) return "entrance " + std::to_string(a - kAttrEntrance0) + ": " + fault;
    }
  }
  return "";
}

// What kills on a floor the route reaches (`route`, with what is held once
// its chest is open): on `gentle` floors no jump the route needs crosses a
// bullet lane; on every floor each threat is in sight long enough before it
// reaches the route, by the light of the candle held on arriving.
std::string ThreatFault(const M& map, const Held& held, const std::set<Cell>& route, bool gentle, bool candle) {
  const OpenFloor open(map, held);
  const FloorThreats threats(map, open.d, candle);
  if (gentle && !threats.Lanes().empty()) {
    std::vector<RouteJump> refused;
    const auto safe = Reach(open, Jumps(map, held), held, gentle, &threats, &refused);
    if (!OutOfReach(open, safe).empty()) {
      for (const RouteJump& jump : refused) {
        if (safe.count(jump.from) == 0 || safe.count(jump.to) != 0) continue;
        const Cell enemy = threats.LaneAcross(jump)->enemy;
        return "the jump from " + CellText(jump.from.first, jump.from.second) + " to " +
               CellText(jump.to.first, jump.to.second) + " crosses the bullet lane of the enemy at " +
               CellText(enemy.first, enemy.second);
      }
    }
  }
  const std::string arrival = ArrivalFault(open, threats);
  if (!arrival.empty()) return arrival;
  // Without a key switch only the boss's fall turns the switch codes, and
  // it clears the floor of enemies: while they live the route keeps out of
  // what the codes open.
  if (map.slots[kSlotKeySwitch].active == 1) return threats.SightFault(route);
  M closed = map;
  for (auto& a : closed.attributeLayer) {
    if (a >= kAttrSwitchCodeFirst && a <= kAttrSwitchCodeLast) a = kAttrEmpty;
    if (a >= kAttrHighSwitchCodeFirst && a <= kAttrHighSwitchCodeLast) a = kAttrSolidBlock;
  }
  const auto beforeTheFall = Reach(OpenFloor(closed, held), Jumps(map, held), held, gentle);
  std::set<Cell> threatened;
  std::set_intersection(route.begin(), route.end(), beforeTheFall.begin(), beforeTheFall.end(),
                        std::inserter(threatened, threatened.begin()));
  return threats.SightFault(threatened);
}

}  // namespace

std::string CheckCampaign(const std::vector<FloorSource>& sources) {
  std::string faults;
  const auto fault = [&faults](const std::string& line) { faults += (faults.empty() ? "" : "\n") + line; };
  std::map<std::string, M> floors;
  for (const FloorSource& floor : sources) {
    std::string error;
    if (!CompileFloorText(floor.text, &floors[floor.name], &error)) fault("floor " + floor.name + ": " + error);
  }
  const auto order = CampaignOrder(floors);
  if (order.empty()) return "floor 001 is missing";
  if (order.back().second.doors[0].targetFloor != kFloorCount + 1) {
    fault("floor " + order.back().first + ": door 0 does not lead on to the ending");
  }
  // The first floor teaches without killing on a near miss; the first area
  // has no jump over spikes.
  const OpenFloor first(order.front().second, Held{});
  for (int spikes = kAttrSpikesUp; spikes <= kAttrSpikesLeft; ++spikes) {
    const Cell at = FindAttribute(first, spikes);
    if (at.first >= 0) fault("floor 001: spikes at " + CellText(at.first, at.second) + " on the first floor");
  }
  Held held;
  std::multiset<int> inChests;
  std::set<int> sold;
  for (const auto& [name, map] : order) {
    const bool gentle = std::stoi(name) <= kFirstAreaLastFloor;
    std::set<Cell> route;
    const bool candle = held.Has(kEternalCandle);
    const std::string problem = CheckFloor(map, gentle, held, route);
    if (!problem.empty()) fault("floor " + name + ": " + problem);
    const std::string threat = problem.empty() ? ThreatFault(map, held, route, gentle, candle) : "";
    if (!threat.empty()) fault("floor " + name + ": " + threat);
    if (map.slots[kSlotChest].active == 1) inChests.insert(map.slots[kSlotChest].type);
    for (int id : ShopGoodsIds(name)) {
      const ShopGoods* goods = FindShopGoods(id);
      if (goods == nullptr) {
        fault("floor " + name + ": the shop sells goods " + std::to_string(id) + " that do not exist");
      } else if (goods->price > held.coins) {
        fault("floor " + name + ": the shop's " + goods->name + " costs " + std::to_string(goods->price) +
              " coins, " + std::to_string(held.coins) + " found by then");
      }
      sold.insert(id);
    }
  }
  // Every upgrade, the Gravity Shot to the Stability Pendant and the
  // Airdash, lies in a chest or is sold; MP Up and the Blaze Shot are sold;
  // Check Flags make floor-jump points.
  for (int item = kChestGravityShot; item <= kChestAirdash; ++item) {
    if (item >= kChestFirstTreasure && item <= kChestLastTreasure) continue;
    if (inChests.count(item) == 0 && sold.count(item) == 0) {
      fault("item " + std::to_string(item) + " is in no chest and no shop");
    }
  }
  if (sold.count(kChestMpUp) == 0 || sold.count(kChestBlazeShot) == 0) fault("no shop sells MP Up and the Blaze Shot");
  if (inChests.count(kChestCheckFlag) < 2) fault("fewer than two Check Flags in the campaign's chests");
  return faults;
}

}  // namespace datagen
