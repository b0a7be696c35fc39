// A replay of each area of the campaign, headless on the virtual clock: the
// game starts on the area's first floor with what the campaign has given the
// player by then, and the area's routes lead through its floors, its boss
// hall and the chest at its end to the next area (so far the cavern with
// its boss, the snowfield with its boss, the first floors of the sky, the
// forest and the castle, and the castle keep with the guardians' floor and
// the last floor's Sun and Moon, on to the ending's results). A failure
// names its area, its floor and the word of the route where the player died
// or got stuck.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/random.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/play_time.h"
#include "game/player.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "tests/game/campaign_replay.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/game_screen_probe.h"
#include "tests/game/route_play.h"
#include "tests/game/scripted_play.h"

namespace {

using veltrin::testing::AreaStart;
using veltrin::testing::FindArea;
using veltrin::testing::FloorRoute;
using veltrin::testing::RoutePlay;
using veltrin::testing::ScriptedPlay;

// The ending's page that shows the four stones (Fire, Aqua, Wind and Earth,
// left to right), and the results page.
constexpr int kStonesPage = 2, kResultsPage = 10;
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

class CampaignAreaReplayTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    GameDataTest::SetUp();
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
  }

  // Starts the game on the area's first floor through the debug file, then
  // gives the player the items the floors before have given.
  void StartArea(const AreaStart& start) {
    using namespace qz::text;
    const std::string lines = std::string(kDebugLifeKey) + "=1\r\n" + kDebugMagicKey + "=" +
                              std::to_string(start.maxMagic) + "\r\n" + kDebugBlazeLevelKey + "=1\r\n" +
                              kDebugMagicalLevelKey + "=" + std::to_string(start.magicShotLevel) + "\r\n" +
                              kDebugCoinsKey + "=" + std::to_string(start.coins) + "\r\n" + kDebugHighJumpKey +
                              "=" + (start.highJump ? "1" : "0") + "\r\n";
    data_.Write("debug.ini", std::string("[DebugUse]\r\n") + kDebugUseKey + "=1\r\n[MapData]\r\n" +
                                 kDebugMapFileKey + "=" + start.floor + "\r\n" + kDebugEntranceKey +
                                 "=0\r\n[PlayerData]\r\n" + lines);
    Start();
    for (int i = 0; i < start.replicasHeld; ++i) {
      player.ProgressFlags[veltrin::testing::kReplicasInCampaignOrder[i]] = 1;
    }
    qz::SeedRandom(1);
  }

  // Plays every route of the area; each must end on its next floor alive.
  void PlayArea(const std::vector<FloorRoute>& routes) {
    ScriptedPlay play;
    RoutePlay route(play);
    ASSERT_TRUE(play.RunUntil([] { return gameState.scene == kSceneFloorPlay && fadeRequest == 0; }, 200));
    for (const FloorRoute& floor : routes) {
      SCOPED_TRACE(std::string("floor ") + floor.floor);
      ASSERT_STREQ(mapName.c_str(), floor.floor);
      const std::string problem = route.Run(floor.route);
      ASSERT_EQ(problem, "");
      ASSERT_TRUE(play.RunUntil([&] { return veltrin::testing::ArrivedAfter(floor) || player.dead != 0; }, 400))
          << "the route did not end at its door";
      ASSERT_EQ(player.dead, 0);
    }
  }
};

TEST_F(CampaignAreaReplayTest, CaveWispHallAndTheFireRuby) {
  StartArea(FindArea("cave").start);
  PlayArea(FindArea("cave").routes);
  EXPECT_EQ(player.ProgressFlags[kFireRubyReplica], 1);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[1], 1);
  EXPECT_EQ(player.coins, 2) << "the cavern's chest held a coin";
}

TEST_F(CampaignAreaReplayTest, SnowfieldAndTheBalloonSlimesHall) {
  StartArea(FindArea("snow").start);
  PlayArea(FindArea("snow").routes);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[4], 1);
}

TEST_F(CampaignAreaReplayTest, ForestPathToTheButterflysHall) {
  StartArea(FindArea("forest").start);
  PlayArea(FindArea("forest").routes);
}

TEST_F(CampaignAreaReplayTest, CastleGateToTheDragonHeadsHall) {
  StartArea(FindArea("castle").start);
  PlayArea(FindArea("castle").routes);
}

// The keep: the guardians' floor, the Sun and the Moon, the shaft through
// the four gates and the ending door; then Confirm, pressed as a player
// would, turns the ending's pages to the results.
TEST_F(CampaignAreaReplayTest, CastleKeepTheSunAndTheMoonAndTheEndingsResults) {
  const std::uint32_t started = plat::GetTickCount();
  StartArea(FindArea("keep").start);
  PlayArea(FindArea("keep").routes);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[6], 1);

  ScriptedPlay play;
  bool stonesPageSeen = false;
  while (gameState.scenePage < kResultsPage) {
    const int page = gameState.scenePage;
    play.Clear();
    play.Queue("-:100 J:6 -:6");  // after the fade-in, time to read the page
    ASSERT_TRUE(play.RunUntil([&] { return gameState.scenePage != page; }, 400)) << "ending page " << page;
    ASSERT_EQ(gameState.scene, kSceneEnding);
    if (gameState.scenePage != kStonesPage) continue;
    Wait(play, 50);  // the page fades in
    stonesPageSeen = true;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(player.ProgressFlags[kFireRubyReplica + i], 1) << "replica " << i;
      EXPECT_EQ(qz::testing::ScreenPixel(kStoneX[i], kStoneY), kStoneColours[i]) << "stone " << i;
    }
  }
  EXPECT_TRUE(stonesPageSeen);

  Wait(play, 50);
  EXPECT_EQ(gameState.scenePage, kResultsPage);
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
  EXPECT_EQ(lines[2], "Max MP:16 / 40");
}

TEST_F(CampaignAreaReplayTest, SkyPathToTheSecondWitchsHall) {
  StartArea(FindArea("sky").start);
  PlayArea(FindArea("sky").routes);
  EXPECT_EQ(gameState.FloorProgress.floorValue[25], 6) << "the sky path's chest held a coin";
  EXPECT_EQ(player.coins, 3);
}

}  // namespace
