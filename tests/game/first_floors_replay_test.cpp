// A replay of the campaign's first floors, headless on the virtual clock:
// from the title's New Game, recorded keys walk, jump the stairs, a slime and
// the spike pit of "001", dodge a green slime's bullet and take its door;
// on "002" they use the key switch, take the key from a high ledge, open the
// chest and take the door to "003". A change in the game's feel (speeds, jump
// heights, collisions, enemy timing, door rules) shows as a floor not reached.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/random.h"
#include "game/crossfade.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/player.h"
#include "platform/dsound.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/scripted_play.h"

namespace {

using veltrin::testing::ScriptedPlay;

// The title: wait for its fade, open slot 1's window, New Game; then Confirm
// now and then turns the opening's pages until "001" is shown.
constexpr const char* kTitleToNewGame = "-:40 J:1 -:20 D:1 -:12 J:1 -:90";
constexpr const char* kOpeningPage = "J:1 -:90";
constexpr int kOpeningPresses = 8;
// The floors' scripts begin this many frames after "001" is shown.
constexpr const char* kFirstLook = "-:40";
// "001": a pick-up from the first ledge, the stone stairs in two jumps, over
// the blue slime, over the spike pit, over a bullet and the green slime, to
// door 0.
constexpr const char* kMeadow =
    "R:75 RJ:20 R:75 RJ:20 R:20 RJ:20 R:31 RJ:20 R:49 RJ:20 R:34 RJ:20 R:40 RJ:20 R:120 -:12 U:3 -:40";
// "002": through the key switch, a pick-up onto the low ledge, up to the key's
// ledge while the red slime's bullet passes below, down behind the slime,
// the chest (Confirm inside its window), over the bridged spikes to door 0.
constexpr const char* kKeyFloor = "R:225 RJ:15 R:6 RJ:20 -:50 R:266 -:30 J:1 -:25 R:89 -:12 U:3";

class FirstFloorsReplayTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    GameDataTest::SetUp();
    // The chest plays sounds to their end: the null sink ends them, where
    // the manual sink would wait for a test that never asks it to mix.
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
    Start();
    qz::SeedRandom(1);
  }
  static bool OnFloor(int index) {
    return gameState.scene == kSceneFloorPlay && floorNumber == index && fadeRequest == 0;
  }
};

TEST_F(FirstFloorsReplayTest, NewGameReachesTheCavernThroughTheMeadowAndTheKeyFloor) {
  ScriptedPlay play;
  ASSERT_TRUE(play.Queue(kTitleToNewGame));
  for (int i = 0; i < kOpeningPresses; ++i) ASSERT_TRUE(play.Queue(kOpeningPage));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor(0); }, 1200)) << "New Game and the opening lead to \"001\"";
  play.Clear();
  ASSERT_TRUE(play.Queue(kFirstLook));
  ASSERT_TRUE(play.Queue(kMeadow));
  ASSERT_TRUE(play.Queue(kKeyFloor));
  ASSERT_TRUE(play.RunUntil([] { return OnFloor(1) || player.dead != 0; }, 900));
  ASSERT_EQ(player.dead, 0) << "died on \"001\" at " << player.x << "," << player.y;
  EXPECT_EQ(entrance, 0);

  ASSERT_TRUE(play.RunUntil([] { return OnFloor(2) || player.dead != 0; }, 1200));
  ASSERT_EQ(player.dead, 0) << "died on \"002\" at " << player.x << "," << player.y;
  EXPECT_TRUE(play.Finished());
  EXPECT_STREQ(mapName.c_str(), "003");
  EXPECT_EQ(gameOvers, 0);
  // "002" kept what was done there: the switch, the key spent on the chest.
  const auto& progress = gameState.FloorProgress;
  EXPECT_EQ(progress.floorItems[1][0], 1) << "key switch used";
  EXPECT_EQ(progress.floorItems[1][1], 1) << "key taken";
  EXPECT_EQ(progress.floorItems[1][2], 1) << "chest opened";
  EXPECT_EQ(progress.floorValue[1], 7) << "the chest held an MP Up";
  EXPECT_EQ(player.keys, 0);
  EXPECT_EQ(player.maxMagic, 16 + 1) << "a new game starts with 16";
  // Each door wrote slot 1.
  EXPECT_TRUE(std::filesystem::exists(Path("save/SaveData01.sav")));
}

}  // namespace
