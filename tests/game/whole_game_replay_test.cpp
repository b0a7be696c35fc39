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

#include <initializer_list>
#include <string>

#include "core/random.h"
#include "game/doors.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/play_time.h"
#include "game/player.h"
#include "game/pools.h"
#include "game/save_file.h"
#include "game/screens.h"
#include "tests/game/campaign_replay.h"
#include "tests/game/route_play.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::FindArea;
using veltrin::testing::kKeyFloor;
using veltrin::testing::kKeyRight;
using veltrin::testing::kMeadow;
using veltrin::testing::kOpeningPage;
using veltrin::testing::kOpeningPresses;
using veltrin::testing::kTitleToNewGame;
using veltrin::testing::ScriptedPlay;

// Up on a door once the walk has slid to a stop in front of it.
constexpr const char* kTakeDoor = "-:60 U:6";

class WholeGameReplayTest : public veltrin::testing::CampaignReplayTest {
 protected:
  static bool OnFloorOrDead(int index) { return OnFloor(index) || player.dead != 0; }
  // Holds `keys` until the player stands at or right of `x` (false when the
  // player died or the frames ran out first).
  static bool WalkRightTo(ScriptedPlay& play, int x, std::initializer_list<std::uint32_t> keys = {kKeyRight}) {
    play.Clear();
    play.Hold(keys, 4000);
    const bool reached = play.RunUntil([x] { return player.x >= x || player.dead != 0; }, 3000);
    play.Clear();
    EXPECT_EQ(player.dead, 0) << "died on floor " << floorNumber + 1 << " at " << player.x << "," << player.y
                              << " e0 " << enemies[0].x << "," << enemies[0].y << " e1 " << enemies[1].x << ","
                              << enemies[1].y << " frame " << play.frames();
    return reached && player.dead == 0;
  }
  // Walks right into the chest standing in `column` and answers its window
  // with Confirm (false when the player died or the chest stayed shut).
  static bool OpenChestAt(ScriptedPlay& play, int column) {
    const int f = floorNumber;
    if (!WalkRightTo(play, column * 32 - 72) || !play.Queue("R:24 -:30 J:6 -:25")) return false;
    const bool opened = play.RunUntil([&play, f] { return play.Finished() || player.dead != 0; }, 300);
    return opened && player.dead == 0 && gameState.FloorProgress.floorItems[f][2] == 1;
  }
  // Plays `script` and expects it to lead to floor `index` alive.
  static void PlayTo(ScriptedPlay& play, const std::string& script, int index, int frameLimit) {
    ASSERT_TRUE(play.Queue(script));
    ASSERT_TRUE(play.RunUntil([index] { return OnFloorOrDead(index); }, frameLimit));
    ASSERT_EQ(player.dead, 0) << "died on floor " << floorNumber + 1 << " at " << player.x << "," << player.y;
  }
};

TEST_F(WholeGameReplayTest, FromNewGameThroughEveryAreaAndBossToTheEndingsResults) {
  ScriptedPlay play;
  ASSERT_TRUE(play.Queue(kTitleToNewGame));
  for (int i = 0; i < kOpeningPresses; ++i) ASSERT_TRUE(play.Queue(kOpeningPage));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor(0); }, 1200)) << "New Game and the opening lead to \"001\"";
  play.Clear();

  // The give-up keys end the run; Confirm restarts the floor at its entrance.
  ASSERT_TRUE(play.Queue("XCJA:6 -:40 J:6"));
  ASSERT_TRUE(play.RunUntil([&] { return OnFloor(0) && player.dead == 0 && play.Finished(); }, 300));
  EXPECT_EQ(player.x, 80);
  EXPECT_EQ(gameOvers, 1);
  qz::SeedRandom(1);

  ASSERT_TRUE(play.Queue(std::string("-:40 ") + kMeadow + " " + kKeyFloor));
  ASSERT_TRUE(play.RunUntil([] { return OnFloorOrDead(2); }, 2100));
  ASSERT_EQ(player.dead, 0) << "died on floor " << floorNumber + 1 << " at " << player.x << "," << player.y;
  EXPECT_EQ(player.coins, 2) << "the chests of 001 and 002";
  // "003" in the dark: over the ice, the key, the chest with the meadow's
  // third coin, and the meadow shop, where MP Up is bought.
  ASSERT_TRUE(OpenChestAt(play, 46));
  EXPECT_EQ(player.coins, 3);
  ASSERT_TRUE(WalkRightTo(play, 1640));
  ASSERT_TRUE(play.Queue("-:30 U:6"));
  ASSERT_TRUE(play.RunUntil([] { return gameState.scene == kSceneShop && fadeRequest == 0; }, 200));
  EXPECT_EQ(gameState.FloorProgress.shopFound[2], 1);
  // Confirm on the first row, Up to "Yes", Confirm, the result dismissed, Cancel out.
  ASSERT_TRUE(play.Queue("-:20 J:6 -:30 U:6 -:20 J:6 -:60 J:6 -:40 X:6"));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor(2); }, 600));
  play.Clear();
  EXPECT_EQ(player.coins, 1) << "MP Up costs two coins";
  EXPECT_EQ(player.maxMagic, 18) << "and gives two more";
  // Over the stone block that no jump clears: the spring lifts the player.
  ASSERT_TRUE(WalkRightTo(play, 2200));
  EXPECT_EQ(player.y, 1344) << "down on the far side of the block";
  ASSERT_NO_FATAL_FAILURE(PlayTo(play, kTakeDoor, 3, 200));
  // "004" on slippery ground: a jump under the plank up to the key, the chest
  // with the High Jump, a jump over the spike pit, a long slide to the door.
  ASSERT_TRUE(WalkRightTo(play, 430));
  ASSERT_TRUE(play.Queue("-:30 J:20 -:60"));
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, 200));
  EXPECT_EQ(player.keys, 1) << "at " << player.x << "," << player.y;
  ASSERT_TRUE(OpenChestAt(play, 28));
  EXPECT_EQ(player.ProgressFlags[kHighJump], 1);
  ASSERT_TRUE(WalkRightTo(play, 1105));
  ASSERT_TRUE(play.Queue("RJ:20"));
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, 30));
  ASSERT_TRUE(WalkRightTo(play, 2175));
  ASSERT_NO_FATAL_FAILURE(PlayTo(play, kTakeDoor, 9, 200));
  EXPECT_EQ(entrance, 0);

  // "010": the spike pit is too wide to jump while the slime boss lives.
  const int pitColumn = 44;
  EXPECT_EQ(AttributeAt(pitColumn, 44), 9);
  EXPECT_EQ(enemyCount, 1);
  const EnemyRecord& boss = enemies[0];
  EXPECT_EQ(boss.bossIndex, 0);
  // The fight: the boss sits in its dip under a low roof that stops its
  // hops; from behind the stone block at the dip's edge the shots fly over
  // the block into the boss while its bullets strike the block.
  ASSERT_TRUE(WalkRightTo(play, 590));
  for (int i = 0; i < 80; ++i) ASSERT_TRUE(play.Queue("-:6 X:6"));
  // A volley resets the boss's attack timer; its bullets die on the block.
  int volleys = 0, lastTimer = boss.attackTimer;
  ASSERT_TRUE(play.RunUntil(
      [&] {
        if (boss.attackTimer < lastTimer) ++volleys;
        lastTimer = boss.attackTimer;
        return boss.life <= 0 || player.dead != 0;
      },
      1000))
      << "boss life " << boss.life << " at " << boss.x << "," << boss.y;
  ASSERT_EQ(player.dead, 0) << "shot down behind the block at " << player.x << "," << player.y;
  EXPECT_GE(volleys, 2) << "the boss fired during the fight";
  EXPECT_EQ(boss.x, 640) << "the boss stays in its dip";
  EXPECT_LE(player.x + 44, 20 * 32) << "the player stood behind the block";
  play.Clear();
  // The countdown runs out, records the win and closes the pit.
  ASSERT_TRUE(play.Queue("-:1"));
  ASSERT_TRUE(play.RunUntil([&] { return AttributeAt(pitColumn, 44) >= 51; }, 1000)) << "the pit is closed";
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[0], 1);
  play.Clear();
  // Over the block, through the dip and out of it on the far side.
  ASSERT_TRUE(play.Queue("RJ:20"));
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, 30));
  ASSERT_TRUE(WalkRightTo(play, 800));
  ASSERT_TRUE(play.Queue("RJ:20"));
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, 30));
  ASSERT_TRUE(OpenChestAt(play, 58));
  EXPECT_EQ(player.coins, 2) << "the boss hall's chest held a coin";
  ASSERT_TRUE(WalkRightTo(play, 2136));
  ASSERT_NO_FATAL_FAILURE(PlayTo(play, kTakeDoor, 10, 200));

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
    if (std::string(area.name) == "cave") continue;
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
