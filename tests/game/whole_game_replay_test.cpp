// The campaign on scripted keys, headless on the virtual clock: from the
// title's New Game through the opening, the meadow's floors "001" to "004"
// with a coin chest on each of the first three and a purchase in the meadow
// shop on "003", the slime boss's hall "010" and its chest, then the
// cavern's floors (Break Power from the cracked tunnel's chest) and the
// wisp's hall with the Fire Ruby to the sky path "026", with slot 1
// written at each door and read back; then every later area with its item
// floors and boss hall, the last floor's Sun and Moon, the four treasure
// gates and the ending's pages to the results.
// A change in the game's feel or in a floor shows as a floor not reached.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/random.h"
#include "game/chest_contents.h"
#include "game/doors.h"
#include "game/enemies.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/play_time.h"
#include "game/player.h"
#include "game/pools.h"
#include "game/save_file.h"
#include "game/screens.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::FindArea;
using veltrin::testing::FloorRoute;
using veltrin::testing::kOpeningPage;
using veltrin::testing::kOpeningPresses;
using veltrin::testing::kTitleToNewGame;
using veltrin::testing::ScriptedPlay;

using WholeGameReplayTest = veltrin::testing::CampaignReplayTest;

TEST_F(WholeGameReplayTest, FromNewGameThroughEveryAreaAndBossToTheEndingsResults) {
  ScriptedPlay play;
  ASSERT_TRUE(play.Queue(kTitleToNewGame));
  for (int i = 0; i < kOpeningPresses; ++i) ASSERT_TRUE(play.Queue(kOpeningPage));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor(0); }, 1200)) << "New Game and the opening lead to \"001\"";
  play.Clear();

  // The give-up keys end the run; Confirm restarts the floor at its entrance,
  // at the foot of the stone stairs (column 24).
  ASSERT_TRUE(play.Queue("XCJA:6 -:40 J:6"));
  ASSERT_TRUE(play.RunUntil([&] { return OnFloor(0) && player.dead == 0 && play.Finished(); }, 300));
  EXPECT_EQ(player.x, 752);
  EXPECT_EQ(gameOvers, 1);

  // The meadow floor by floor, as the meadow's replay plays them.
  const std::vector<FloorRoute>& meadow = FindArea("meadow").routes;
  const auto playFloor = [&](int index) { veltrin::testing::PlayRoutes(play, {meadow[index]}); };
  ASSERT_NO_FATAL_FAILURE(playFloor(0));
  ASSERT_NO_FATAL_FAILURE(playFloor(1));
  EXPECT_EQ(player.coins, 2) << "the chests of 001 and 002";
  // "003": the chest's coin and two spent in the meadow shop on MP Up.
  ASSERT_NO_FATAL_FAILURE(playFloor(2));
  EXPECT_EQ(gameState.FloorProgress.shopFound[2], 1);
  EXPECT_EQ(gameState.FloorProgress.floorValue[2], kChestCoin);
  EXPECT_EQ(player.coins, 1) << "MP Up costs two coins";
  EXPECT_EQ(player.maxMagic, 18) << "and gives two more";
  ASSERT_NO_FATAL_FAILURE(playFloor(3));
  EXPECT_EQ(player.ProgressFlags[kHighJump], 1) << "the chest of \"004\"";
  EXPECT_EQ(entrance, 0);

  // "010": the spike pit is too wide to jump while the slime boss lives.
  EXPECT_EQ(veltrin::testing::SlimePitCell(), kAttrSwitchCodeFirst);
  EXPECT_EQ(enemyCount, 1);
  const EnemyRecord& boss = enemies[0];
  EXPECT_EQ(boss.bossIndex, 0);
  // The fight: the boss sits in its dip under a low roof that stops its
  // hops; from behind the stone block at the dip's edge the shots fly over
  // the block into the boss while its bullets strike the block. A volley
  // resets the boss's attack timer.
  int volleys = 0, lastTimer = boss.attackTimer, rightmost = 0;
  play.SetFrameHook([&] {
    if (boss.attackTimer < lastTimer) ++volleys;
    lastTimer = boss.attackTimer;
    if (boss.life > 0) rightmost = std::max(rightmost, player.x);
  });
  veltrin::routes::RoutePlayer fighter(play);
  ASSERT_EQ(fighter.Run(veltrin::testing::SlimeHallFight()), "");
  play.SetFrameHook({});
  EXPECT_GE(volleys, 2) << "the boss fired during the fight";
  EXPECT_EQ(boss.x, 640) << "the boss stays in its dip";
  EXPECT_LE(rightmost + kBodyRight, 20 * kCellSize) << "the player stood behind the block";
  // The countdown runs out, records the win and closes the pit; then out of
  // the hall to the cavern.
  ASSERT_NO_FATAL_FAILURE(playFloor(4));
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[0], 1);
  EXPECT_EQ(player.coins, 2) << "the boss hall's chest held a coin";

  // The cavern, the wisp's hall with the Fire Ruby, the sky path: the routes
  // the area replays play, here with what this run has gathered.
  EXPECT_EQ(player.coins, FindArea("cave").start.coins) << "the cavern's replay starts with the coins held here";
  ASSERT_NO_FATAL_FAILURE(veltrin::testing::PlayRoutes(play, FindArea("cave").routes));
  EXPECT_EQ(player.ProgressFlags[kFireRubyReplica], 1);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[1], 1);

  const std::string bytes = data_.Read("save/SaveData01.sav");
  SaveRecord saved{};
  ASSERT_TRUE(DecodeSaveRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &saved));
  EXPECT_EQ(saved.mapName, "026");
  EXPECT_EQ(saved.doorLinks[3][0], 10) << "004 leads to the boss hall";
  EXPECT_EQ(saved.doorLinks[9][0], 11) << "the boss hall leads to the cavern";
  EXPECT_EQ(saved.bossDefeated[0], 1);
  EXPECT_EQ(saved.bossDefeated[1], 1);
  EXPECT_EQ(saved.gameOvers, 1);

  // Every later area, its item floors and its boss, to the ending door.
  for (const veltrin::testing::CampaignArea& area : veltrin::testing::CampaignAreas()) {
    if (std::string(area.name) == "meadow" || std::string(area.name) == "cave") continue;
    SCOPED_TRACE(std::string("area ") + area.name);
    // The area's own replay starts from what this run holds here.
    EXPECT_EQ(player.maxMagic, area.start.maxMagic);
    EXPECT_EQ(player.shotLevel[2], area.start.magicShotLevel);
    EXPECT_EQ(player.coins, area.start.coins);
    for (int item : area.start.items) EXPECT_EQ(player.ProgressFlags[item], 1) << "item " << item;
    ASSERT_NO_FATAL_FAILURE(veltrin::testing::PlayRoutes(play, area.routes));
  }
  for (int boss = 0; boss < 7; ++boss) EXPECT_EQ(gameState.FloorProgress.bossDefeated[boss], 1) << "boss " << boss;
  for (int replica = kFireRubyReplica; replica <= kEarthDiamondReplica; ++replica) {
    EXPECT_EQ(player.ProgressFlags[replica], 1) << "replica " << replica;
  }
  // The ending's pages to the results, with this run's one give-up counted.
  ASSERT_NO_FATAL_FAILURE(veltrin::testing::TurnEndingPages(play, [](int) {}));
  EXPECT_EQ(gameState.scene, kSceneEnding);
  EXPECT_EQ(CollectionStatsLines()[1], "Game Overs:1");
}

}  // namespace
