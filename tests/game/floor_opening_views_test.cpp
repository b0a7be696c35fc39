// What the first screen of a floor shows a player arriving at entrance 0:
// each floor opens on what it is about (its enemy, its hazard, the item it
// is built around, the boss of a hall), not on bare ground. The view is the
// camera's rectangle, on a dark floor the candle's light around the player.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "game/floor_play.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/pools.h"
#include "tests/game/campaign_replay.h"
#include "tools/datagen/art_common.h"
#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::AreaStart;
using veltrin::testing::ScriptedPlay;
namespace routes = veltrin::routes;

constexpr int kCell = 32;
// The first screen as a player takes it in: after half a second on the floor.
constexpr int kLookFrames = 30;

bool InView(int left, int top, int width, int height) {
  return left < cameraX + kViewWidth && left + width > cameraX && top < cameraY + kViewHeight &&
         top + height > cameraY;
}

// Within the fully lit circle and its fade around the player's sprite.
bool InCandleLight(int column, int row) {
  const double dx = column * kCell + kCell / 2 - (player.x + kPlayerSpriteSize / 2);
  const double dy = row * kCell + kCell / 2 - (player.y + kPlayerSpriteSize / 2);
  return std::hypot(dx, dy) <= datagen::kCandleLitRadius[0] + datagen::kCandleFadeWidth;
}

struct Sight {
  std::string what;
  std::function<bool()> seen;
};

Sight Cells(std::string what, int lowest, int highest, bool dark = false) {
  return {what, [=] {
            for (int row = 0; row < 47; ++row) {
              for (int column = 0; column < 76; ++column) {
                const int attribute = AttributeAt(column, row);
                if (attribute < lowest || attribute > highest) continue;
                if (dark ? InCandleLight(column, row) : InView(column * kCell, row * kCell, kCell, kCell)) return true;
              }
            }
            return false;
          }};
}
Sight Cell(std::string what, int attribute, bool dark = false) { return Cells(what, attribute, attribute, dark); }

Sight Enemy(std::string what, bool boss) {
  return {what, [=] {
            for (const EnemyRecord& enemy : enemies) {
              if (enemy.life > 0 && (!boss || enemy.bossIndex >= 0) &&
                  InView(enemy.x, enemy.y, enemy.width, enemy.height)) {
                return true;
              }
            }
            return false;
          }};
}

// A slot (key, chest, key switch) stands on the ground row, always on screen:
// its column must be.
Sight Slot(std::string what, routes::Place place) {
  return {what, [=] {
            const int column = routes::ColumnOf(place);
            return column >= 0 && InView(column * kCell, cameraY, kCell, 1);
          }};
}

struct Opening {
  const char* floor;
  std::vector<Sight> sights;
};

class FloorOpeningViewsTest : public veltrin::testing::CampaignAreaTest,
                              public ::testing::WithParamInterface<Opening> {};

TEST_P(FloorOpeningViewsTest, TheFirstScreenShowsWhatTheFloorIsAbout) {
  const Opening& opening = GetParam();
  StartArea(AreaStart{opening.floor, 18, 0, 0, false, 0, {}});
  ScriptedPlay play;
  ASSERT_TRUE(play.RunUntil([&] { return OnFloor(opening.floor); }, 200));
  ASSERT_TRUE(play.Queue("-:" + std::to_string(kLookFrames)));
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, kLookFrames + 10));
  for (const Sight& sight : opening.sights) EXPECT_TRUE(sight.seen()) << sight.what << " out of view";
}

const Opening kOpenings[] = {
    {"001", {Cell("the sign", kAttrSign), Enemy("the blue slime", false)}},
    {"002",
     {Slot("the key switch", routes::KeySwitch()), Slot("the key", routes::Key()),
      Cell("the spikes", kAttrSpikesUp)}},
    {"003", {Cell("the shop", kAttrShop, true), Cell("the spring", kAttrSpring, true)}},
    {"004", {Slot("the key", routes::Key()), Slot("the chest", routes::Chest())}},
    {"010", {Enemy("the slime boss", true)}},
    {"011", {Cell("the recovery point", kAttrRecoveryPoint), Enemy("a slime", false)}},
    {"012", {Cells("a cracked wall", kAttrBreakableFirst, kAttrBreakableLast), Slot("the chest", routes::Chest())}},
    {"025", {Enemy("the wisp", true)}},
    {"026", {Enemy("the bat", false)}},
    {"027", {Cell("the hidden bridge", kAttrHidden), Slot("the chest", routes::Chest())}},
    {"041", {Cell("the shop", kAttrShop)}},
    {"042", {Slot("the key", routes::Key()), Slot("the chest", routes::Chest()), Enemy("the mole", false)}},
    {"056", {Cell("the ice", kAttrSlippery), Cell("the shop", kAttrShop)}},
    {"057", {Cell("the ice", kAttrSlippery), Enemy("the shell creature", false)}},
    {"070", {Enemy("the Balloon Slime", true)}},
    {"071", {Cell("the recovery point", kAttrRecoveryPoint), Cell("the spikes", kAttrSpikesUp)}},
    {"072", {Cell("the sign", kAttrSign, true)}},
    {"086", {Enemy("the sleeping snake", false), Cell("the recovery point", kAttrRecoveryPoint)}},
    {"087", {Enemy("a guardian", false)}},
    {"100", {Enemy("the Moon", true)}},
};

INSTANTIATE_TEST_SUITE_P(Floors, FloorOpeningViewsTest, ::testing::ValuesIn(kOpenings),
                         [](const ::testing::TestParamInfo<Opening>& info) {
                           return std::string("Floor") + info.param.floor;
                         });

}  // namespace
