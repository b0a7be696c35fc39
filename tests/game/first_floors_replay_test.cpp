// A replay of the campaign's first floors, headless on the virtual clock:
// from the title's New Game, recorded keys walk, jump the stairs, a slime and
// the spike pit of "001", dodge a green slime's bullet, open its chest and
// take its door; on "002" they use the key switch, take the key from a high ledge, open the
// chest and take the door to "003". A change in the game's feel (speeds, jump
// heights, collisions, enemy timing, door rules) shows as a floor not reached.
#include <gtest/gtest.h>

#include <filesystem>

#include "game/chest_contents.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/player.h"
#include "tests/game/campaign_replay.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::FindArea;
using veltrin::testing::kOpeningPage;
using veltrin::testing::kOpeningPresses;
using veltrin::testing::kTitleToNewGame;
using veltrin::testing::ScriptedPlay;

using FirstFloorsReplayTest = veltrin::testing::CampaignReplayTest;

TEST_F(FirstFloorsReplayTest, NewGameReachesTheCavernThroughTheMeadowAndTheKeyFloor) {
  ScriptedPlay play;
  ASSERT_TRUE(play.Queue(kTitleToNewGame));
  for (int i = 0; i < kOpeningPresses; ++i) ASSERT_TRUE(play.Queue(kOpeningPage));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor(0); }, 1200)) << "New Game and the opening lead to \"001\"";
  const auto& meadow = FindArea("meadow").routes;
  ASSERT_NO_FATAL_FAILURE(veltrin::testing::PlayRoutes(play, {meadow[0]}));
  EXPECT_EQ(entrance, 0);
  ASSERT_NO_FATAL_FAILURE(veltrin::testing::PlayRoutes(play, {meadow[1]}));
  EXPECT_STREQ(mapName.c_str(), "003");
  EXPECT_EQ(gameOvers, 0);
  // "002" kept what was done there: the switch, the key spent on the chest.
  const auto& progress = gameState.FloorProgress;
  EXPECT_EQ(progress.floorItems[1][kSlotKeySwitch], 1) << "key switch used";
  EXPECT_EQ(progress.floorItems[1][kSlotKey], 1) << "key taken";
  EXPECT_EQ(progress.floorItems[1][kSlotChest], 1) << "chest opened";
  EXPECT_EQ(progress.floorValue[1], kChestCoin) << "the chest held a coin";
  EXPECT_EQ(player.keys, 0);
  EXPECT_EQ(player.coins, 2) << "a coin each from the chests of 001 and 002";
  // Each door wrote slot 1.
  EXPECT_TRUE(std::filesystem::exists(Path("save/SaveData01.sav")));
}

}  // namespace
