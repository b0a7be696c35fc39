// The chest's window in a generated data set, as a player meets it: its text
// is on screen as the window opens, before a treasure's jingle holds the game.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/clock.h"
#include "game/config_file.h"
#include "game/enemies.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/player.h"
#include "game/pools.h"
#include "platform/window.h"
#include "tests/game/campaign_replay.h"
#include "tests/game/game_screen_probe.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::ScriptedPlay;

// Pixels of the chest window's orange title line ("Get : ...").
int TitlePixels() {
  int count = 0;
  for (int y = 206; y < 226; ++y) {
    for (int x = 136; x < 400; x += 2) count += qz::testing::ScreenPixel(x, y) == 0xFFA040 ? 1 : 0;
  }
  return count;
}

class ChestWindowTest : public veltrin::testing::CampaignAreaTest {};

TEST_F(ChestWindowTest, ATreasuresWindowShowsItsTextBeforeTheJingle) {
  StartArea("sky", "040");
  ScriptedPlay play;
  ASSERT_TRUE(play.RunUntil([] { return OnFloor("040"); }, 300));
  // Two cells left of the chest, on its floor, nobody else about, the sound up.
  const MapObjectRecord chest = floorSlots[kSlotChest];
  for (EnemyRecord& e : enemies) e.life = 0;
  enemyCount = 0;
  player.keys = 1;
  player.posX = player.x = (chest.x - 2) * 32;
  player.posY = player.y = (chest.y - 1) * 32;
  volumePercent = 100;

  std::int32_t touched = -1, firstText = -1;
  play.SetFrameHook([&] {
    // The body box (x + 20 .. x + 44) reaching into the chest's cell.
    if (touched < 0 && player.x + 44 > chest.x * 32 + 4) {
      touched = static_cast<std::int32_t>(qz::GetMillisecondCount());
    }
    if (firstText < 0 && TitlePixels() > 0) firstText = static_cast<std::int32_t>(qz::GetMillisecondCount());
  });
  play.Hold({plat::VK_RIGHT}, 20).Idle(120).Tap('Z').Idle(40);
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, 400));
  EXPECT_EQ(player.ProgressFlags[kWindEmeraldReplica], 1);
  EXPECT_EQ(floorSlots[kSlotChest].active, 0);
  ASSERT_GE(touched, 0);
  ASSERT_GE(firstText, 0) << "the window never showed its text";
  // The lid and the window's zoom take well under a second; the jingle alone
  // holds the game for longer than that on the virtual clock.
  EXPECT_LT(firstText - touched, 1000);
}

}  // namespace
