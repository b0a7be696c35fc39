// A replay of each area of the campaign, headless on the virtual clock: the
// game starts on the area's first floor with what the campaign has given the
// player by then, and the area's routes lead through its floors, its boss
// hall and the chest at its end to the next area (the cavern, the sky, the
// forest, the snowfield and the castle with their item floors and boss
// halls, and the castle keep with the guardians' floor and the last floor's
// Sun and Moon, on to the ending's results), and a floor jump from the last
// floor back to the guardians' floor. A failure names its area, its floor and
// the word of the route where the player died or got stuck.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/random.h"
#include "game/chest_contents.h"
#include "game/doors.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/map_cells.h"
#include "game/play_time.h"
#include "game/player.h"
#include "game/pools.h"
#include "game/screen_state.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "tests/game/campaign_replay.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/game_screen_probe.h"
#include "tools/route_player.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::AreaStart;
using veltrin::testing::FindArea;
using veltrin::testing::FloorRoute;
using veltrin::testing::ScriptedPlay;

// The four stones on the ending's page (Fire, Aqua, Wind and Earth, left to
// right), and the results page's frame.
constexpr int kStoneX[] = {230, 300, 370, 440};
constexpr int kStoneY = 305;
constexpr std::uint32_t kStoneColours[] = {0xFF5030, 0x3080FF, 0x40D060, 0xE8E0C0};
constexpr std::uint32_t kResultsFrame = 0xC0C8E0;

// Plays `frames` frame waits with no key held.
void Wait(ScriptedPlay& play, int frames) {
  const int until = play.frames() + frames;
  ASSERT_TRUE(play.RunUntil([&] { return play.frames() >= until; }, frames + 1));
}

// Pixels of the rectangle brighter than the results page's dark panel: the
// figures' text.
int TextPixels(int left, int top, int right, int bottom) {
  int count = 0;
  for (int y = top; y < bottom; y += 2) {
    for (int x = left; x < right; x += 2) count += (qz::testing::ScreenPixel(x, y) & 0xFF) > 0x80 ? 1 : 0;
  }
  return count;
}

class CampaignAreaReplayTest : public veltrin::testing::CampaignAreaTest {
 protected:
  // Plays every route of the area; each must end on its next floor alive.
  static void PlayArea(const std::vector<FloorRoute>& routes) {
    ScriptedPlay play;
    ASSERT_TRUE(play.RunUntil([] { return gameState.scene == kSceneFloorPlay && fadeRequest == 0; }, 200));
    veltrin::testing::PlayRoutes(play, routes);
  }
};

TEST_F(CampaignAreaReplayTest, CaveWispHallAndTheFireRuby) {
  StartArea(FindArea("cave").start);
  PlayArea(FindArea("cave").routes);
  EXPECT_EQ(player.ProgressFlags[kFireRubyReplica], 1);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[1], 1);
  EXPECT_EQ(player.coins, 3) << "the cavern's chest held a coin";
  EXPECT_EQ(player.ProgressFlags[kBreakPower], 1) << "the cracked tunnel's chest";
}

// "057"'s door lies past spike pits that only blocks made by the Magic Shot
// bridge (the floors' walk shows no other way): reaching "070" means they
// were made and stood on.
TEST_F(CampaignAreaReplayTest, SnowfieldAndTheBalloonSlimesHall) {
  StartArea(FindArea("snow").start);
  PlayArea(FindArea("snow").routes);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[4], 1);
  EXPECT_EQ(player.ProgressFlags[kCreatePower], 1) << "the chest of \"057\"";
  EXPECT_EQ(gameState.FloorProgress.floorValue[56], ChestContentOf(kCreatePower));
  EXPECT_EQ(gameState.FloorProgress.floorValue[55], kChestCheckFlag) << "the snowfield's chest held a Check Flag";
  EXPECT_EQ(player.coins, FindArea("snow").start.coins + 1) << "the Balloon Slime's chest held a coin";
}

// The Magic Shot from "041"'s chest, the Chain Ring from "042"'s, whose door
// only the warp blocks reach, and the Butterfly's hall with the Aqua Sapphire.
TEST_F(CampaignAreaReplayTest, ForestAndTheButterflysHall) {
  StartArea(FindArea("forest").start);
  PlayArea(FindArea("forest").routes);
  EXPECT_EQ(player.shotLevel[2], 1) << "the chest of \"041\"";
  EXPECT_EQ(player.ProgressFlags[kChainRing], 1) << "the chest of \"042\"";
  EXPECT_EQ(gameState.FloorProgress.floorValue[41], ChestContentOf(kChainRing));
  EXPECT_EQ(player.ProgressFlags[kAquaSapphireReplica], 1);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[3], 1);
}

TEST_F(CampaignAreaReplayTest, CastleGateAndTheDragonHeadsHallToTheKeep) {
  StartArea(FindArea("castle").start);
  PlayArea(FindArea("castle").routes);
  EXPECT_EQ(player.ProgressFlags[kEternalCandle], 1) << "the dark hall's chest";
  EXPECT_EQ(player.ProgressFlags[kHourglass], 1);
  EXPECT_EQ(player.ProgressFlags[kEarthDiamondReplica], 1);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[5], 1);
  // Back through the keep's door 1 the hall stays open, without its head.
  ASSERT_STREQ(mapName.c_str(), "086");
  EnterDoor(1, 0, 0);
  ASSERT_STREQ(mapName.c_str(), "085");
  EXPECT_EQ(enemyCount, 0);
  EXPECT_EQ(AttributeAt(18, 42), kAttrEmpty) << "the way under the shaft";
}

// The keep: the guardians' floor, the Sun and the Moon, the shaft through
// the four gates and the ending door; then Confirm, pressed as a player
// would, turns the ending's pages to the results.
TEST_F(CampaignAreaReplayTest, CastleKeepTheSunAndTheMoonAndTheEndingsResults) {
  const std::uint32_t started = plat::GetTickCount();
  StartArea(FindArea("keep").start);
  PlayArea(FindArea("keep").routes);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[6], 1);
  EXPECT_EQ(player.ProgressFlags[kAirdash], 1) << "the chest by the ending door";

  ScriptedPlay play;
  bool stonesPageSeen = false;
  veltrin::testing::TurnEndingPages(play, [&](int page) {
    if (page != veltrin::testing::kEndingStonesPage) return;
    Wait(play, 50);  // the page fades in
    stonesPageSeen = true;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(player.ProgressFlags[kFireRubyReplica + i], 1) << "replica " << i;
      EXPECT_EQ(qz::testing::ScreenPixel(kStoneX[i], kStoneY), kStoneColours[i]) << "stone " << i;
    }
  });
  EXPECT_TRUE(stonesPageSeen);

  Wait(play, 50);
  EXPECT_EQ(gameState.scenePage, veltrin::testing::kEndingResultsPage);
  EXPECT_EQ(qz::testing::ScreenPixel(143, 300), kResultsFrame);
  EXPECT_GT(TextPixels(176, 160, 420, 380), 100) << "the figures are drawn over the picture";
  const auto lines = CollectionStatsLines();
  unsigned hours = 99, minutes = 99, seconds = 99;
  ASSERT_EQ(std::sscanf(lines[0].c_str(), "Play time:%uh%um%us", &hours, &minutes, &seconds), 3) << lines[0];
  const std::uint32_t played = (plat::GetTickCount() - started) / 1000;
  EXPECT_LE(hours * 3600 + minutes * 60 + seconds, played);
  EXPECT_GE(hours * 3600 + minutes * 60 + seconds + 3, played) << lines[0];
  EXPECT_GT(played, 60u);
  EXPECT_EQ(lines[1], "Game Overs:0");
  EXPECT_EQ(lines[2], "Max MP:18 / 40");
}

TEST_F(CampaignAreaReplayTest, SkyPathAndTheSecondWitchsHall) {
  StartArea(FindArea("sky").start);
  PlayArea(FindArea("sky").routes);
  EXPECT_EQ(gameState.FloorProgress.floorValue[25], kChestCoin) << "the sky path's chest held a coin";
  EXPECT_EQ(player.coins, 4);
  EXPECT_EQ(player.ProgressFlags[kTrueEye], 1) << "the sky bridge's chest";
  EXPECT_EQ(player.ProgressFlags[kWindEmeraldReplica], 1);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[2], 1) << "the Second Witch fell";
}

// The guardians' floor's chest holds a Check Flag: from the last floor the
// status screen's map jumps back to "087"; its door 1 by the entrance leads
// to the keep, whose shop stands by the entrance the player comes back to.
TEST_F(CampaignAreaReplayTest, TheGuardiansCheckFlagJumpsBackFromTheLastFloorToTheKeepShop) {
  StartArea(FindArea("keep").start);
  const std::vector<FloorRoute>& keep = FindArea("keep").routes;
  PlayArea({keep.begin(), keep.end() - 1});  // up to the last floor's entrance
  ASSERT_STREQ(mapName.c_str(), "100");
  EXPECT_EQ(gameState.FloorProgress.floorValue[86], kChestCheckFlag) << "the chest held the Check Flag";
  EXPECT_EQ(player.coins, FindArea("keep").start.coins + 1) << "the keep's chest held a coin";
  const int coins = player.coins;

  ScriptedPlay play;
  ASSERT_TRUE(play.Queue("-:20 S:6"));
  ASSERT_TRUE(play.RunUntil([] { return gameState.scene == kSceneStatus && fadeRequest == 0; }, 200));
  // The cursor starts on "100": one row up and three columns left is "087".
  ASSERT_TRUE(play.Queue("-:20 U:6 -:12 L:6 -:12 L:6 -:12 L:6 -:20"));
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, 300));
  EXPECT_EQ(MenuCursor.row, 86);
  // Confirm asks "Move to this floor?" on No: Up to Yes, Confirm.
  ASSERT_TRUE(play.Queue("J:6 -:30 U:6 -:20 J:6"));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor("087"); }, 600)) << "on " << mapName.c_str();
  EXPECT_EQ(entrance, 0) << "the jump lands at entrance 0, by door 1";

  // Door 1 into the keep by its shop, and the Gravity Shot bought.
  veltrin::routes::RoutePlayer routePlayer(play);
  ASSERT_EQ(routePlayer.Run(veltrin::routes::Route().TakeDoor(1)), "");
  ASSERT_TRUE(play.RunUntil([] { return OnFloor("086"); }, 400));
  // The second row.
  ASSERT_EQ(routePlayer.Run(veltrin::testing::IntoTheShop().Then(veltrin::testing::BuyRow(1))), "");
  EXPECT_EQ(player.coins, coins - 3);
  EXPECT_EQ(player.shotLevel[1], 1) << "the Gravity Shot learned";
}

// A purchase as a person makes it, late and inexact: the Up that opens the
// shop can move its cursor, and presses made while a window opens are lost;
// the row asked for is bought all the same and the floor shows again.
TEST_F(CampaignAreaReplayTest, AShopPurchaseSurvivesLateReactionsAndJitteredPresses) {
  StartArea(FindArea("keep").start);
  ASSERT_STREQ(mapName.c_str(), "086");
  // The walk to the shop is not what is looked at here: the player starts
  // beside it with nothing about.
  ResetEnemyRecords();
  const int shop = veltrin::routes::ColumnOf(veltrin::routes::Shop());
  ASSERT_GT(shop, 0);
  player.posX = veltrin::routes::StandingX(shop - 3);
  ScriptedPlay play;
  for (std::uint32_t seed : {1u, 4u}) {
    SCOPED_TRACE("jitter seed " + std::to_string(seed));
    const int coins = player.coins;
    veltrin::routes::Perturbation person;
    person.pressJitter = 3;
    person.reactionDelay = 12;
    person.seed = seed;
    veltrin::routes::RoutePlayer routePlayer(play, person);
    // The Gravity Shot's row first, then the row below it.
    ASSERT_EQ(routePlayer.Run(veltrin::testing::IntoTheShop().Then(veltrin::testing::BuyRow(seed == 1 ? 1 : 2))), "");
    EXPECT_LT(player.coins, coins) << "paid";
    EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  }
  EXPECT_EQ(player.shotLevel[1], 1) << "the Gravity Shot learned";
}

}  // namespace
