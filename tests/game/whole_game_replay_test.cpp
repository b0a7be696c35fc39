// The whole campaign on scripted keys, headless on the virtual clock: from the
// title's New Game through the opening and the meadow (its key floor, the
// dark cavern, the ice and the way back to the meadow shop, where a coin buys
// an MP Up), the slime boss's hall, then every area's floors and boss hall
// with the four replicas, the last floor's gates and the ending to the
// results page and the title, with slot 1 written at the end and read back.
// The player must be alive at every door. A change in the game's feel or in
// a floor shows as a floor not reached, named with the route's word.
#include <gtest/gtest.h>

#include <string>

#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/pools.h"
#include "game/save_file.h"
#include "game/screens.h"
#include "tests/game/campaign_replay.h"
#include "tests/game/route_play.h"
#include "tests/game/scripted_play.h"

namespace {

using veltrin::testing::ArrivedAfter;
using veltrin::testing::CampaignAreas;
using veltrin::testing::FloorRoute;
using veltrin::testing::kMeadowToTheBossHall;
using veltrin::testing::kOpeningPage;
using veltrin::testing::kOpeningPresses;
using veltrin::testing::kTitleToNewGame;
using veltrin::testing::RoutePlay;
using veltrin::testing::ScriptedPlay;

using WholeGameReplayTest = veltrin::testing::CampaignReplayTest;

TEST_F(WholeGameReplayTest, FromNewGameThroughEveryAreaBossAndReplicaToTheEndingAndBackToTheTitle) {
  ScriptedPlay play;
  RoutePlay route(play);
  ASSERT_TRUE(play.Queue(kTitleToNewGame));
  for (int i = 0; i < kOpeningPresses; ++i) ASSERT_TRUE(play.Queue(kOpeningPage));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor(0); }, 1200)) << "New Game and the opening lead to \"001\"";
  play.Clear();

  // The meadow, the key floor, the dark cavern, the ice, back to the meadow
  // shop and on to the slime boss's hall.
  for (const FloorRoute& floor : kMeadowToTheBossHall) {
    SCOPED_TRACE(std::string("floor ") + floor.floor);
    ASSERT_STREQ(mapName.c_str(), floor.floor);
    ASSERT_EQ(route.Run(floor.route), "");
    ASSERT_TRUE(play.RunUntil([&] { return ArrivedAfter(floor) || player.dead != 0; }, 400)) << "no door";
    ASSERT_EQ(player.dead, 0);
  }
  EXPECT_EQ(gameState.FloorProgress.shopFound[0], 1);
  EXPECT_EQ(player.maxMagic, 16 + 2) << "the meadow shop's MP Up";
  EXPECT_EQ(player.ProgressFlags[kHighJump], 1) << "the ice floor's chest";

  for (const auto& area : CampaignAreas()) {
    for (const FloorRoute& floor : area.routes) {
      SCOPED_TRACE(std::string(area.name) + ", floor " + floor.floor);
      ASSERT_STREQ(mapName.c_str(), floor.floor);
      ASSERT_EQ(route.Run(floor.route), "");
      ASSERT_TRUE(play.RunUntil([&] { return ArrivedAfter(floor) || player.dead != 0; }, 400)) << "no door";
      ASSERT_EQ(player.dead, 0);
    }
  }
  for (int boss = 0; boss <= 6; ++boss) EXPECT_EQ(gameState.FloorProgress.bossDefeated[boss], 1) << boss;
  for (int flag = kFireRubyReplica; flag <= kEarthDiamondReplica; ++flag) EXPECT_EQ(player.ProgressFlags[flag], 1);

  // The ending's pages, the results page among them: timed ones turn
  // themselves, the others on Confirm.
  bool results = false;
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(play.Queue("-:54 J:6"));
  ASSERT_TRUE(play.RunUntil(
      [&] {
        results |= gameState.scene == kSceneEnding && gameState.scenePage >= 9;
        return gameState.scene == kSceneTitle;
      },
      4000))
      << "page " << gameState.scenePage;
  EXPECT_TRUE(results) << "the results page was shown";

  const std::string bytes = data_.Read("save/SaveData01.sav");
  SaveRecord saved{};
  ASSERT_TRUE(DecodeSaveRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &saved));
  EXPECT_EQ(saved.mapName, "100");
  EXPECT_EQ(saved.doorLinks[99][1], 101) << "the ending's link";
  EXPECT_EQ(saved.doorLinks[9][0], 11) << "the slime boss's hall leads to the cavern";
  for (int boss = 0; boss <= 5; ++boss) EXPECT_EQ(saved.bossDefeated[boss], 1) << boss;
  EXPECT_EQ(saved.gameOvers, 0);
}

}  // namespace
