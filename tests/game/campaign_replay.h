// What the campaign replays share: the keys from the title's New Game
// through the opening, the recorded walks over "001" and "002", and a fixture
// that starts the game on the null sink with a fixed random seed.
#pragma once

#include <gtest/gtest.h>

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
