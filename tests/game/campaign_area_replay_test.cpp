// A replay of each area of the campaign, headless on the virtual clock: the
// game starts on the area's first floor with what the campaign has given the
// player by then, and the area's routes lead through its floors, its boss
// hall and the chest at its end to the next area (so far the cavern, the
// forest and the snowfield with their bosses, the first floors of the sky and
// the castle, and the castle keep with the guardians' floor). A failure names
// its area, its floor and the word of the route where the player died or got stuck.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/random.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/player.h"
#include "platform/dsound.h"
#include "tests/game/campaign_replay.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/route_play.h"
#include "tests/game/scripted_play.h"

namespace {

using veltrin::testing::AreaStart;
using veltrin::testing::FindArea;
using veltrin::testing::FloorRoute;
using veltrin::testing::RoutePlay;
using veltrin::testing::ScriptedPlay;

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

TEST_F(CampaignAreaReplayTest, ForestButterflysHallAndTheAquaSapphire) {
  StartArea(FindArea("forest").start);
  PlayArea(FindArea("forest").routes);
  EXPECT_EQ(player.ProgressFlags[kAquaSapphireReplica], 1);
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[3], 1);
}

TEST_F(CampaignAreaReplayTest, CastleGateToTheDragonHeadsHall) {
  StartArea(FindArea("castle").start);
  PlayArea(FindArea("castle").routes);
}

TEST_F(CampaignAreaReplayTest, CastleKeepAndTheGuardiansToTheLastFloor) {
  StartArea(FindArea("keep").start);
  PlayArea(FindArea("keep").routes);
}

TEST_F(CampaignAreaReplayTest, SkyPathToTheSecondWitchsHall) {
  StartArea(FindArea("sky").start);
  PlayArea(FindArea("sky").routes);
  EXPECT_EQ(gameState.FloorProgress.floorValue[25], 6) << "the sky path's chest held a coin";
  EXPECT_EQ(player.coins, 3);
}

}  // namespace
