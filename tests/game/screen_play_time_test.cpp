// The play time and the statistics texts: the hours, minutes and seconds of
// the play time at their boundaries and across a wrap of the tick count, and
// the counts of the score page and the upgrade result screen.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "game/game_state.h"
#include "game/play_time.h"
#include "platform/clock.h"
#include "support/virtual_clock.h"

namespace {

using qz::testing::kMillisecondNanos;

// Keeps the game's records as they were before the test.
class PlayTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    savedPlayer_ = player;
    savedState_ = gameState;
    savedGameOvers_ = gameOvers;
  }
  void TearDown() override {
    player = savedPlayer_;
    gameState = savedState_;
    gameOvers = savedGameOvers_;
    plat::UseVirtualTime(false);
  }
  // The text of a play time with no time elapsed since the last update.
  static std::string TextOf(std::uint32_t milliseconds) {
    qz::testing::AlignVirtualClockToMillisecond();
    gameState.tickAtStart = plat::GetTickCount();
    gameState.playTimeMs = milliseconds;
    FormatPlayTimeText();
    return gameState.playTimeText.c_str();
  }

  PlayerRecord savedPlayer_{};
  GameStateRecord savedState_{};
  std::int32_t savedGameOvers_ = 0;
};

TEST_F(PlayTimeTest, TextShowsHoursMinutesAndSecondsUnpaddedAndHoursUncapped) {
  EXPECT_EQ(TextOf(0), "Play time:0h0m0s");
  EXPECT_EQ(TextOf(59999), "Play time:0h0m59s");
  EXPECT_EQ(TextOf(60000), "Play time:0h1m0s");
  EXPECT_EQ(TextOf(3723000), "Play time:1h2m3s");
  EXPECT_EQ(TextOf(90000000), "Play time:25h0m0s");
}

TEST_F(PlayTimeTest, TimeKeepsCountingAcrossAWrapOfTheTickCount) {
  // Half a second before the 32-bit millisecond count wraps.
  qz::testing::AlignVirtualClockToMillisecond();
  plat::AdvanceVirtualTime((0xFFFFFE0Cull - plat::GetTickCount()) * kMillisecondNanos);
  gameState.tickAtStart = plat::GetTickCount();
  ASSERT_EQ(gameState.tickAtStart, 0xFFFFFE0Cu);
  gameState.playTimeMs = 3720000;
  plat::AdvanceVirtualTime(3500 * kMillisecondNanos);
  FormatPlayTimeText();
  EXPECT_EQ(gameState.tickAtStart, 3000u) << "the count wrapped";
  EXPECT_EQ(gameState.playTimeMs, 3723500u);
  EXPECT_STREQ(gameState.playTimeText.c_str(), "Play time:1h2m3s");
}

TEST_F(PlayTimeTest, StatisticsCountOnlyValuesOfOneInTheirRanges) {
  GameStringAssign(gameState.playTimeText, "Play time:1h2m3s");
  gameOvers = 29999;
  player.maxMagic = 42;  // the shop sets no upper limit
  for (int i = 0; i < kProgressFlagCount; ++i) player.ProgressFlags[i] = 1;
  player.ProgressFlags[kBlastPower] = 2;  // not owned
  for (auto& items : gameState.FloorProgress.floorItems) items[0] = items[1] = items[2] = 0;
  for (int floor : {0, 5, 99}) gameState.FloorProgress.floorItems[floor][1] = 1;
  gameState.FloorProgress.floorItems[7][1] = 2;
  for (int floor : {1, 2}) gameState.FloorProgress.floorItems[floor][2] = 1;
  gameState.FloorProgress.floorItems[3][0] = 1;  // a key switch is neither
  const std::array<std::string, 6> expected = {"Play time:1h2m3s", "Game Overs:29999", "Max MP:42 / 40",
                                               "Items found:16 / 17", "Keys found:3 / 100", "Chests found:2 / 100"};
  EXPECT_EQ(CollectionStatsLines(), expected) << "flags 17 to 23 are no items";
  gameOvers = 30000;
  EXPECT_EQ(CollectionStatsLines()[1], "Game Overs: 30000+");
  gameOvers = 30100;
  EXPECT_EQ(CollectionStatsLines()[1], "Game Overs: 30000+");

  // The upgrade result counts flags 4 to 21: not 0 to 3, not 22 and 23.
  EXPECT_EQ(UpgradeItemsLine(), "Upgrade items found:18 / 18");
  player.ProgressFlags[kHourglass] = 2;
  player.ProgressFlags[kHoverdash] = player.ProgressFlags[22] = 0;
  EXPECT_EQ(UpgradeItemsLine(), "Upgrade items found:17 / 18");
  player.ProgressFlags[21] = 0;
  EXPECT_EQ(UpgradeItemsLine(), "Upgrade items found:16 / 18");
}

}  // namespace
