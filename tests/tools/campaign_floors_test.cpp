// The campaign's floors as the generator writes them: a walk over the cells
// with the player's reach (a cell wide, two tall, a jump of three rows and
// four columns, four rows with the High Jump, falls of any depth) finds every
// key, chest, pick-up, sign, shop and door from the floor's entrances, once
// the floor's switches and boss have opened it and with the items the chests
// so far gave (Break Power, the True Eye, and the Magic Shot's warps and made
// blocks with the Chain Ring and Create Power). Every sign has its page, and
// every row of every shop is affordable by the coins of the chests before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <queue>
#include <set>
#include <string>
#include <vector>

#include "game/map_format.h"
#include "game/shop_goods.h"
#include "tests/game/game_data_fixture.h"
#include "tools/datagen/data_set.h"
#include "tools/datagen/message_files.h"

namespace {

using M = MapFileData;

constexpr int kSign = 1, kShop = 3, kFirstDoor = 4, kLastDoor = 7, kFirstEntrance = 27, kLastEntrance = 30;
constexpr int kSpring = 63, kOneWay = 50;

constexpr int kHidden = 44, kFirstBreakable = 76, kLastBreakable = 89, kTurnAbove = 48;
constexpr int kSolid = 51, kWarpBlock = 65, kLastMagicBlock = 72;
constexpr int kBreakPowerChest = 13, kChainRingChest = 17, kCreatePowerChest = 18, kTrueEyeChest = 19;
// The attribute each breakable kind leaves once broken.
constexpr int kBroken[] = {0, 50, 52, 42, 43, 2, 5, 6, 7, 8, 3, 8, 63, 65};

// The chests' items that change the walk.
struct Held {
  bool breakPower = false;
  bool trueEye = false;
  bool chainRing = false;
  bool createPower = false;
  // True when the chest's content is one of them and it was not held yet.
  bool Gain(int chest) {
    bool* item = chest == kBreakPowerChest   ? &breakPower
                 : chest == kTrueEyeChest     ? &trueEye
                 : chest == kChainRingChest   ? &chainRing
                 : chest == kCreatePowerChest ? &createPower
                                              : nullptr;
    if (item == nullptr || *item) return false;
    *item = true;
    return true;
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
      if (a == 9) a = 120;
      if (a == 10 || a == 91) a = kOneWay;
      if (a == 90) a = 0;
      if (d.chipLayer[i] == 201) a = 0;  // treasure gate
      if (held.breakPower && a >= kFirstBreakable && a <= kLastBreakable) a = kBroken[a - kFirstBreakable];
      if (held.trueEye && a == kHidden) a = 120;
    }
    for (const M::Placement& mover : map.movingObjects) {
      if (mover.value > 1) continue;
      const int y = mover.tileY;
      int left = mover.tileX, right = mover.tileX;
      while (At(left - 1, y) <= kTurnAbove) --left;
      while (At(right + 1, y) <= kTurnAbove) ++right;
      for (int x = left; x <= right; ++x) {
        if (At(x, y) == 0) d.attributeLayer[M::CellIndex(x, y)] = kOneWay;
      }
    }
  }
  int At(int x, int y) const {
    if (x < 0 || x >= 76 || y < 0 || y >= 47) return 120;
    return d.attributeLayer[M::CellIndex(x, y)];
  }
  bool Open(int x, int y) const { return At(x, y) <= kOneWay; }
  bool Hurts(int x, int y) const { return At(x, y) >= 52 && At(x, y) <= 55; }
  // A place the player can stand: body cells (x, y - 1) and (x, y) open,
  // something to stand on under them that does not hurt.
  bool Stand(int x, int y) const {
    return Open(x, y) && Open(x, y - 1) && At(x, y + 1) >= kOneWay && !Hurts(x, y + 1);
  }
  M d;
};

// Stand places the Magic Shot opens from stand place (x, y): the shot flies
// level at the upper or (crouching) the lower body row, up to six cells, to the
// first cell that stops it. A warp block with two open cells above carries
// the player onto it; with Create Power any other stopping cell at least
// three cells off leaves a block in the open cell before it for a while,
// a place to jump onto when it lies within a jump's four columns.
std::vector<std::pair<int, int>> MagicShotStands(const OpenFloor& f, const Held& items, int x, int y) {
  std::vector<std::pair<int, int>> stands;
  for (int dir : {-1, 1}) {
    for (int row : {y - 1, y}) {
      for (int k = 1; k <= 6; ++k) {
        const int cx = x + dir * k;
        const int a = f.At(cx, row);
        if (a < kSolid) continue;
        const bool magicBlock = a >= kWarpBlock && a <= kLastMagicBlock;
        if (a == kWarpBlock && items.chainRing && f.Open(cx, row - 1) && f.Open(cx, row - 2)) {
          stands.push_back({cx, row - 1});
        }
        const int bx = cx - dir;
        bool clear = items.createPower && !magicBlock && k >= 3 && k <= 5 && f.At(bx, row) == 0 && f.Open(x, row - 2);
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

// Every stand place reachable from the entrances.
std::set<std::pair<int, int>> Reach(const OpenFloor& f, bool highJump, const Held& items) {
  std::set<std::pair<int, int>> seen;
  std::queue<std::pair<int, int>> next;
  for (int x = 0; x < 76; ++x) {
    for (int y = 0; y < 46; ++y) {
      const int a = f.At(x, y);
      if (a >= kFirstEntrance && a <= kLastEntrance && f.Stand(x, y + 1)) next.push({x, y + 1});
    }
  }
  while (!next.empty()) {
    const auto [x, y] = next.front();
    next.pop();
    if (!seen.insert({x, y}).second) continue;
    const int rise = (f.At(x, y + 1) == kSpring ? 4 : 3) + (highJump ? 1 : 0);
    // Up through open cells (one-way platforms let the player pass), then
    // sideways at every height and down again to the first place to stand.
    for (int up = 0; up <= rise && f.Open(x, y - 1 - up); ++up) {
      for (int dir : {-1, 1}) {
        for (int dx = 0; dx <= 4; ++dx) {
          const int cx = x + dir * dx;
          if (!f.Open(cx, y - up) || !f.Open(cx, y - 1 - up)) break;
          for (int cy = y - up; cy < 46 && f.Open(cx, cy); ++cy) {
            if (f.Stand(cx, cy)) {
              if (seen.count({cx, cy}) == 0) next.push({cx, cy});
              break;
            }
            if (f.Hurts(cx, cy + 1)) break;
          }
        }
      }
    }
    for (const auto& stand : MagicShotStands(f, items, x, y)) {
      if (seen.count(stand) == 0) next.push(stand);
    }
  }
  return seen;
}

// A thing at cell (c, r) is in reach when the body touches it standing or
// at the top of a jump from a stand place below it.
bool Touched(const std::set<std::pair<int, int>>& reach, int c, int r) {
  for (int dx = -1; dx <= 1; ++dx) {
    for (int below = 0; below <= 4; ++below) {
      if (reach.count({c + dx, r + below}) != 0) return true;
    }
  }
  return false;
}

M Compile(const datagen::FloorSource& floor) {
  M map;
  std::string error;
  EXPECT_TRUE(datagen::CompileFloorText(floor.text, &map, &error)) << floor.name << ": " << error;
  return map;
}

// The floors in the campaign's order, which is their names' order.
std::vector<datagen::FloorSource> FloorsInOrder() {
  std::vector<datagen::FloorSource> floors = datagen::BuiltInFloors();
  std::sort(floors.begin(), floors.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return floors;
}

TEST(CampaignFloorsTest, EveryKeyChestPickUpSignShopAndDoorIsInReach) {
  Held held;  // what the chests of the floors walked so far gave
  for (const datagen::FloorSource& floor : FloorsInOrder()) {
    if (floor.name == "090") continue;  // the gallery is walked by its own tests
    SCOPED_TRACE("floor " + floor.name);
    const M map = Compile(floor);
    // The High Jump is the fourth floor's chest.
    const bool highJump = floor.name > "004";
    auto reach = Reach(OpenFloor(map, held), highJump, held);
    ASSERT_FALSE(reach.empty()) << "no entrance to start from";
    // A chest's item acts on its own floor as soon as the chest is opened.
    const M::Slot& chest = map.slots[2];
    if (chest.active == 1 && Touched(reach, chest.tileX, chest.tileY) && held.Gain(chest.type)) {
      reach = Reach(OpenFloor(map, held), highJump, held);
    }
    const OpenFloor f(map, held);
    for (int slot = 0; slot < 3; ++slot) {
      const M::Slot& s = f.d.slots[slot];
      if (s.active == 1) {
        EXPECT_TRUE(Touched(reach, s.tileX, s.tileY)) << "slot " << slot;
      }
    }
    for (const M::Placement& o : f.d.mapObjects) EXPECT_TRUE(Touched(reach, o.tileX, o.tileY)) << "pick-up";
    for (int x = 0; x < 76; ++x) {
      for (int y = 0; y < 47; ++y) {
        const int a = f.At(x, y);
        if (a == kSign || a == kShop || (a >= kFirstDoor && a <= kLastDoor)) {
          EXPECT_TRUE(Touched(reach, x, y)) << "event cell " << a << " at " << x << "," << y;
        }
      }
    }
  }
}

// Door 0 of a floor whose chest gives Break Power, the True Eye, the Chain
// Ring or Create Power lies beyond what only the item opens: walls, a
// trench, warps, gaps over spikes.
TEST(CampaignFloorsTest, EachItemFloorNeedsItsChestsItemToGoOn) {
  Held before;  // the items of the floors before
  int floors = 0;
  for (const datagen::FloorSource& floor : FloorsInOrder()) {
    const M map = Compile(floor);
    Held after = before;
    if (floor.name == "090" || map.slots[2].active != 1 || !after.Gain(map.slots[2].type)) continue;
    SCOPED_TRACE("floor " + floor.name);
    ++floors;
    OpenFloor shut(map, before), open(map, after);
    // The walk starts at entrance 0 only: the others lie beyond.
    for (OpenFloor* f : {&shut, &open}) {
      for (int& a : f->d.attributeLayer) {
        if (a > kFirstEntrance && a <= kLastEntrance) a = 0;
      }
    }
    const auto without = Reach(shut, true, before), with = Reach(open, true, after);
    EXPECT_TRUE(Touched(without, map.slots[2].tileX, map.slots[2].tileY))
        << "the chest lies beyond what its item opens";
    bool doorWithout = false, doorWith = false;
    for (int x = 0; x < 76; ++x) {
      for (int y = 0; y < 47; ++y) {
        if (open.At(x, y) != kFirstDoor) continue;
        doorWithout = doorWithout || Touched(without, x, y);
        doorWith = doorWith || Touched(with, x, y);
      }
    }
    EXPECT_FALSE(doorWithout) << "door 0 in reach without the item";
    EXPECT_TRUE(doorWith);
    before = after;
  }
  EXPECT_GE(floors, 4) << "the cracked tunnel, the sky bridge, the warps and the made blocks";
}

TEST(CampaignFloorsTest, EverySignHasItsPageAndEveryBossItsText) {
  const std::filesystem::path text =
      std::filesystem::path(qz::testing::GameDataSet(datagen::ArtStyle::kReadable)) / "text_en";
  int signs = 0;
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    const M map = Compile(floor);
    for (int x = 0; x < 76; ++x) {
      for (int y = 0; y < 47; ++y) {
        if (map.attributeLayer[M::CellIndex(x, y)] != kSign) continue;
        ++signs;
        std::ifstream page(text / datagen::SignFileName(floor.name, x, y), std::ios::binary);
        std::string line;
        EXPECT_TRUE(std::getline(page, line) && line.size() > 1) << floor.name << " sign " << x << "," << y;
        EXPECT_LT(line.size(), 256u);
      }
    }
  }
  EXPECT_GE(signs, 12);
  for (int boss = 0; boss <= 6; ++boss) {
    char name[16];
    std::snprintf(name, sizeof name, "[BOSS] %02d.txt", boss);
    EXPECT_TRUE(std::filesystem::exists(text / name)) << name;
  }
}

// The campaign's order of visits: door 0 of each floor from "001" on, up to
// the ending (or a floor that is not built in).
std::vector<std::string> CampaignOrder(const std::map<std::string, M>& floors) {
  std::vector<std::string> order;
  for (std::string name = "001"; floors.count(name) == 1 && order.size() < floors.size();) {
    order.push_back(name);
    char next[8];
    std::snprintf(next, sizeof next, "%03d", floors.at(name).doors[0].targetFloor);
    name = next;
  }
  return order;
}

// Each chest's coin counts from its floor on, as the chests stand before
// their floor's shop; every row of every shop must be affordable by the
// coins a player has found by then.
TEST(CampaignFloorsTest, EveryRowOfEveryShopIsAffordableByTheCoinsBeforeIt) {
  std::map<std::string, M> floors;
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) floors[floor.name] = Compile(floor);
  const std::vector<std::string> order = CampaignOrder(floors);
  ASSERT_GE(order.size(), 18u);
  EXPECT_EQ(floors.at(order.back()).doors[0].targetFloor, 101) << "the last floor leads to the ending";
  const std::filesystem::path text =
      std::filesystem::path(qz::testing::GameDataSet(datagen::ArtStyle::kReadable)) / "text_en";
  int coins = 0;
  std::vector<std::string> shops;
  for (const std::string& name : order) {
    SCOPED_TRACE("floor " + name);
    const M& map = floors.at(name);
    if (map.slots[2].active == 1 && map.slots[2].type == 6) ++coins;
    if (std::count(map.attributeLayer.begin(), map.attributeLayer.end(), kShop) == 0) continue;
    shops.push_back(name);
    std::ifstream file(text / ("[SHOP] " + name + ".txt"), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(0, line.find('\r')));
    ASSERT_EQ(lines.size(), 12u) << "heading, background, keeper and three rows of three lines";
    for (int row = 0; row < 3; ++row) {
      const ShopGoods* goods = FindShopGoods(std::stoi(lines[4 + row * 3]));
      ASSERT_NE(goods, nullptr) << "row " << row;
      EXPECT_LE(goods->price, coins) << goods->name << " with " << coins << " coins found";
    }
  }
  EXPECT_EQ(shops, (std::vector<std::string>{"003", "041", "056", "086"})) << "meadow, forest, snow, keep";
}

// The shops sell the shots, the magic and the upgrades that no chest gives
// and two chests hold a Check Flag for the status screen's floor jump.
TEST(CampaignFloorsTest, EveryUpgradeIsInAChestOrAShopAndCheckFlagsMarkJumpPoints) {
  std::multiset<int> inChests;
  std::set<int> sold;
  const std::filesystem::path text =
      std::filesystem::path(qz::testing::GameDataSet(datagen::ArtStyle::kReadable)) / "text_en";
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    if (floor.name == "090") continue;
    const M map = Compile(floor);
    if (map.slots[2].active == 1) inChests.insert(map.slots[2].type);
    std::ifstream file(text / ("[SHOP] " + floor.name + ".txt"), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    for (int row = 0; row < 3 && lines.size() >= 12; ++row) sold.insert(std::stoi(lines[4 + row * 3]));
  }
  // Every upgrade, the Gravity Shot to the Stability Pendant and the Airdash,
  // lies in a chest or is sold; MP Up and the Blaze Shot are sold.
  for (int item = 9; item <= 27; ++item) {
    if (item > 22 && item < 27) continue;  // the replicas
    EXPECT_TRUE(inChests.count(item) != 0 || sold.count(item) != 0) << "item " << item << " is nowhere";
  }
  EXPECT_EQ(sold.count(7), 1u);
  EXPECT_EQ(sold.count(8), 1u);
  EXPECT_GE(inChests.count(29), 2u) << "Check Flags make floor-jump points";
}

}  // namespace
