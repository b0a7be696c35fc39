// What the campaign replays share: the keys from the title's New Game
// through the opening, the recorded walks over "001" and "002", and a fixture
// that starts the game on the null sink with a fixed random seed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/random.h"
#include "game/crossfade.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "platform/dsound.h"
#include "tests/game/game_data_fixture.h"

namespace veltrin::testing {

// The title: wait for its fade, open slot 1's window, New Game; then Confirm
// now and then turns the opening's pages until "001" is shown.
inline constexpr const char* kTitleToNewGame = "-:40 J:1 -:20 D:1 -:12 J:1 -:90";
inline constexpr const char* kOpeningPage = "J:1 -:90";
inline constexpr int kOpeningPresses = 8;
// "001": a pick-up from the first ledge, the stone stairs in two jumps, over
// the blue slime, over the spike pit, over a bullet and the green slime, to
// door 0.
inline constexpr const char* kMeadow =
    "R:75 RJ:20 R:75 RJ:20 R:20 RJ:20 R:31 RJ:20 R:49 RJ:20 R:34 RJ:20 R:40 RJ:20 R:120 -:12 U:3 -:40";
// "002": through the key switch, a pick-up onto the low ledge, up to the key's
// ledge while the red slime's bullet passes below, down behind the slime,
// the chest (Confirm inside its window), over the bridged spikes to door 0.
inline constexpr const char* kKeyFloor = "R:225 RJ:15 R:6 RJ:20 -:50 R:266 -:30 J:1 -:25 R:89 -:12 U:3";

// The campaign after the meadow, area by area (the areas whose routes are
// laid so far): what the player holds on
// arriving at the area's first floor, and the route over each floor to the
// door it ends at (a route's words are RoutePlay's). "101" is the ending.
struct FloorRoute {
  const char* floor;
  const char* next;
  const char* route;
};
// The replicas in the order the campaign's chests give them.
inline constexpr int kReplicasInCampaignOrder[] = {kFireRubyReplica, kWindEmeraldReplica, kAquaSapphireReplica,
                                                   kEarthDiamondReplica};
struct AreaStart {
  const char* floor;
  int maxMagic;
  int magicShotLevel;
  int coins;
  bool highJump;
  int replicasHeld;  // the first ones of kReplicasInCampaignOrder
};
struct CampaignArea {
  const char* name;
  AreaStart start;
  std::vector<FloorRoute> routes;
};

// Reading the sign by the entrance of the floors after the meadow.
#define VELTRIN_READ_SIGN "R>165 -:20 U:8 -:40 J:6 -:30 "
// Up on a door once the walk has slid to a stop in front of it.
#define VELTRIN_TAKE_DOOR " -:30 U:8"

inline const std::vector<CampaignArea>& CampaignAreas() {
  static const std::vector<CampaignArea> areas = {
      {"cave", {"011", 16, 0, 1, false, 0},
       {{"011", "025", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1960 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        {"025", "026", VELTRIN_READ_SIGN "R>560 X! -:300 R}1840 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
      {"sky", {"026", 16, 0, 2, true, 1},
       {{"026", "040", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
      {"snow", {"056", 16, 1, 3, true, 3},
       {{"056", "070", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        {"070", "071", VELTRIN_READ_SIGN "R>400 X! -:300 R}1840 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
      {"forest", {"041", 16, 0, 3, true, 2},
       {{"041", "055", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        {"055", "056", VELTRIN_READ_SIGN "DX@550 -:300 R}1840 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
      {"castle", {"071", 16, 1, 5, true, 3},
       {{"071", "085", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
      {"keep", {"086", 16, 1, 5, true, 3},
       {{"086", "087", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        {"087", "100", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1975 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
  };
  return areas;
}

inline const CampaignArea& FindArea(const std::string& name) {
  for (const CampaignArea& area : CampaignAreas()) {
    if (name == area.name) return area;
  }
  return CampaignAreas().front();
}

// True once the floor after `route` is on screen (or the ending runs).
inline bool ArrivedAfter(const FloorRoute& route) {
  if (std::string(route.next) == "101") return gameState.scene == kSceneEnding;
  return gameState.scene == kSceneFloorPlay && mapName.c_str() == std::string(route.next) && fadeRequest == 0;
}

class CampaignReplayTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    GameDataTest::SetUp();
    // Chest and banner sounds play to their end: the null sink ends them,
    // where the manual sink would wait for a test that never asks it to mix.
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
    Start();
    qz::SeedRandom(1);
  }
  static bool OnFloor(int index) {
    return gameState.scene == kSceneFloorPlay && floorNumber == index && fadeRequest == 0;
  }
};

}  // namespace veltrin::testing
