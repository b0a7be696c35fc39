// What the campaign replays share: the keys from the title's New Game
// through the opening, the recorded walks over "001" and "002", the areas'
// routes and how they are played, the turning of the ending's pages, and a
// fixture that starts the game on the null sink with a fixed random seed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/random.h"
#include "game/crossfade.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "platform/dsound.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/route_play.h"
#include "tools/scripted_play.h"

namespace veltrin::testing {

// The title: wait for its fade, open slot 1's window, New Game; then Confirm
// now and then turns the opening's pages until "001" is shown.
inline constexpr const char* kTitleToNewGame = "-:40 J:6 -:20 D:6 -:12 J:6 -:90";
inline constexpr const char* kOpeningPage = "J:6 -:90";
inline constexpr int kOpeningPresses = 8;
// "001": a pick-up from the first ledge, the stone stairs in two jumps, over
// the blue slime, over the spike pit, over a bullet and the green slime, the
// key, the chest with the first coin (Confirm inside its window), to door 0.
inline constexpr const char* kMeadow =
    "R:75 RJ:20 R:75 RJ:20 R:20 RJ:20 R:31 RJ:20 R:49 RJ:20 R:34 RJ:20 R:40 RJ:20 R:80 -:30 J:6 -:25 R:50 -:12 U:6 "
    "-:40";
// "002": through the key switch, a pick-up onto the low ledge, up to the key's
// ledge while the red slime's bullet passes below, down behind the slime,
// the chest (Confirm inside its window), over the bridged spikes to door 0.
inline constexpr const char* kKeyFloor = "R:225 RJ:15 R:6 RJ:20 -:50 R:266 -:30 J:6 -:25 R:89 -:12 U:6";

// The campaign after the meadow, area by area in the order they are played:
// what the player holds on arriving at the area's first floor, and the route
// over each floor to the door it ends at (a route's words are RoutePlay's).
// "101" is the ending.
struct FloorRoute {
  const char* floor;
  const char* next;
  const char* route;
  // The random numbers the floor starts from. The halls of the bosses whose
  // bullets pass through walls are won on most seeds, not all: theirs is one
  // that wins.
  std::uint32_t seed = 1;
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
  int replicasHeld;        // the first ones of kReplicasInCampaignOrder
  std::vector<int> items;  // the other items held (progress flags)
};
struct CampaignArea {
  const char* name;
  AreaStart start;
  std::vector<FloorRoute> routes;
};

// Reading the sign by the entrance of the floors after the meadow.
#define VELTRIN_READ_SIGN "R>165 -:20 U:8 -:40 J:6 -:30 "
// Floor 100: from the slit, up on the high platform behind it, where the
// fire the Sun and the Moon loose as they change passes below.
#define VELTRIN_CLIMB_AWAY " LJ<1400 L<1380 -:6 L:6 -:20 LJ<1250 L<1240 -:150 "
// Up on a door once the walk has slid to a stop in front of it.
#define VELTRIN_TAKE_DOOR " -:30 U:8"
// "042" and "057": past the two walkers, up through the plank to its key,
// down to the chest (Confirm inside its window), the Magic Shot chosen, then
// the recovery point and the check cube.
#define VELTRIN_CHEST_PAST_THE_PLANK \
  "R}900 RJ:20 R:10 -:30 R:36 -:90 J:6 -:30 C:6 -:10 R>1236 -:20 U:8 -:90 R>1300 -:20 U:8 -:60 "
// "042": into the wall, then three shots at the warp blocks, each from the
// block the last one set the player on; the Blaze Shot again on the cliff.
#define VELTRIN_WARP_CLIMB "R:40 -:10 X:6 -:60 X:6 -:60 X:6 -:60 C:6 -:10 "
// "057": at each pit a low shot at the spike post, a jump onto the block it
// left, and on over the post; the second pit takes two blocks.
#define VELTRIN_CREATE_BLOCKS                                                                \
  "R>1340 -:20 D:6 DX:6 D:30 RJ:20 R:10 -:20 RJ:20 R:10 -:30 R>1650 -:20 U:8 -:90 R>1720 -:20 " \
  "D:6 DX:6 D:30 RJ:20 R:10 -:20 D:6 DX:6 D:30 RJ:20 R:10 -:20 RJ:20 R:20 -:30 C:6 -:10 "

inline const std::vector<CampaignArea>& CampaignAreas() {
  static const std::vector<CampaignArea> areas = {
      {"cave", {"011", 18, 0, 2, true, 0, {}},
       {{"011", "012", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1960 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        // The chest's Break Power, magic filled, then each cracked wall shot high and low.
        {"012", "025", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1192 R:12 -:90 J:6 -:30 R>1454 -:20 U:8 -:90 "
                       "R>1690 X:6 -:12 DX:6 -:12 R}1920 -:12 X:6 -:12 DX:6 -:12 R}2236" VELTRIN_TAKE_DOOR},
        {"025", "026", VELTRIN_READ_SIGN "R>560 X! -:300 R}1840 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
      {"sky", {"026", 18, 0, 3, true, 1, {kBreakPower}},
       {{"026", "027", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        // The True Eye from the chest, then over the trench on the bridge it shows.
        {"027", "040", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1192 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        // The witch: the sign and the star at the slot, her fight from it,
        // then through the opened wall to the chest and door 0.
        {"040", "041", "-:6 U:8 -:40 J:6 -:6 DX! R>1800 R:40 -:90 J:6 -:30 R>2220" VELTRIN_TAKE_DOOR,
         2}}},

      {"forest", {"041", 18, 0, 4, true, 2, {kBreakPower, kTrueEye}},
       {{"041", "042",
         VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1100 -:90 R}1440 RJ:20 R:30 -:20 R}2030 R:12 -:90 J:6 -:30 R}2236"
             VELTRIN_TAKE_DOOR},
        // The mole and the mushroom let come to the player first.
        {"042", "055",
         VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}600 -:90 " VELTRIN_CHEST_PAST_THE_PLANK VELTRIN_WARP_CLIMB
                           "R}2236" VELTRIN_TAKE_DOOR},
        // The Butterfly: from the lowest branch, out of her bullets' way.
        {"055", "056", VELTRIN_READ_SIGN "DX@550 -:300 R}1840 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR, 2}}},
      {"snow", {"056", 18, 1, 4, true, 3, {kBreakPower, kTrueEye, kChainRing}},
       // "056": up onto the ledge for the key, back down on the ice while the shell
       // creature comes within a shot, then over the fireball to the chest.
       {{"056", "057",
         VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1120 RJ:14 -:30 L<1090 -:700 R}1970 R:12 -:90 J:6 -:30 R}2236"
             VELTRIN_TAKE_DOOR},
        {"057", "070", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 " VELTRIN_CHEST_PAST_THE_PLANK VELTRIN_CREATE_BLOCKS
                       "R}2236" VELTRIN_TAKE_DOOR},
        {"070", "071", VELTRIN_READ_SIGN "R>400 X! -:300 R}1840 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR}}},
      {"castle", {"071", 18, 1, 5, true, 3, {kBreakPower, kTrueEye, kChainRing, kCreatePower}},
       {{"071", "072", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        // The key switch's pillar up to the chest's ledge, then a ride over the spikes.
        {"072", "085", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1000 -:12 RJ:20 R:10 -:20 RJ:24 R:16 -:20 "
                       "R:12 -:90 J:6 -:30 R>1595 -:20 -~1664 R:8 -:90 R}2236" VELTRIN_TAKE_DOOR},
        // Past the infinity star to the ladder by the Dragon Head before its
        // first fire, off the ledge's end once it has fallen and the hall has
        // opened, back to read the sign, then the key and the chest beyond.
        {"085", "086",
         "L<1010 LX^12000 -:300 R>1140 -:150 R>1200 -:20 U:8 -:40 J:6 -:30 "
         "L<340 L:12 -:90 J:6 -:30 L<110" VELTRIN_TAKE_DOOR}}},
      {"keep",
       {"086", 18, 1, 5, true, 4, {kBreakPower, kTrueEye, kChainRing, kCreatePower, kEternalCandle, kHourglass}},
       {{"086", "087", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}2030 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        {"087", "100", VELTRIN_READ_SIGN "R>270 -:20 U:8 -:90 R}1975 R:12 -:90 J:6 -:30 R}2236" VELTRIN_TAKE_DOOR},
        {"100", "101",
         VELTRIN_READ_SIGN "R>400 -:30 C:6 -:6 R>1480 X?" VELTRIN_CLIMB_AWAY "R>1480 X?" VELTRIN_CLIMB_AWAY
         "R>1480 X?" VELTRIN_CLIMB_AWAY
         "R>1480 C:6 -:6 X! -:300 RJ:20 R>2215 -:90 L<2150 -:30 L:20 -:90 J:6 -:30 L<1935 -:30 U:8 -:40 J:6 -:30 R>1930"
         VELTRIN_TAKE_DOOR}}},
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

// Plays the routes in order; each must end at the floor after it with the
// player alive. Each floor starts from its own fixed random numbers, so that
// a floor plays alike however the player came to it.
inline void PlayRoutes(ScriptedPlay& play, const std::vector<FloorRoute>& routes) {
  RoutePlay route(play);
  for (const FloorRoute& floor : routes) {
    SCOPED_TRACE(std::string("floor ") + floor.floor);
    ASSERT_STREQ(mapName.c_str(), floor.floor);
    qz::SeedRandom(floor.seed);
    ASSERT_EQ(route.Run(floor.route), "");
    ASSERT_TRUE(play.RunUntil([&] { return ArrivedAfter(floor) || player.dead != 0; }, 400))
        << "the route did not end at its door";
    ASSERT_EQ(player.dead, 0);
  }
}

// The ending's page that shows the four stones, and the results page.
inline constexpr int kEndingStonesPage = 2, kEndingResultsPage = 10;

// Turns the ending's pages with Confirm as a player would, after each page's
// fade-in and time to read it, up to the results page; `onPage` is called
// with each new page.
template <typename OnPage>
void TurnEndingPages(ScriptedPlay& play, OnPage onPage) {
  while (gameState.scenePage < kEndingResultsPage) {
    const int page = gameState.scenePage;
    play.Clear();
    ASSERT_TRUE(play.Queue("-:100 J:6 -:6"));
    ASSERT_TRUE(play.RunUntil([&] { return gameState.scenePage != page; }, 400)) << "ending page " << page;
    ASSERT_EQ(gameState.scene, kSceneEnding);
    onPage(gameState.scenePage);
  }
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
