// The Balloon Slime in its hall (floor 070), six times its cell: it starts
// clear of the player, and chasing the player against the hall's wall and
// floor its body stays in open cells, where shots reach it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "game/enemies.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/pools.h"
#include "platform/window.h"
#include "tests/game/campaign_replay.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::ScriptedPlay;

constexpr int kBalloonSlimeBoss = 4;

struct Box {
  int left, top, right, bottom;  // pixels, right and bottom exclusive
};
bool Overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

const EnemyRecord* Boss() {
  const auto it = std::find_if(std::begin(enemies), std::end(enemies),
                               [](const EnemyRecord& e) { return e.life > 0 && e.bossIndex == kBalloonSlimeBoss; });
  return it == std::end(enemies) ? nullptr : &*it;
}

// The first solid cell under the body box, as "column,row", or "".
std::string SolidCellUnderBody(const EnemyRecord& e) {
  const int left = e.facing > 0 ? e.x + e.bodyLeft : e.x + e.width - e.bodyRight;
  const int right = left + e.bodyRight - e.bodyLeft;
  for (int column = left / 32; column <= (right - 1) / 32; ++column) {
    for (int row = (e.y + e.bodyTop) / 32; row <= (e.y + e.bodyBottom - 1) / 32; ++row) {
      if (AttributeAt(column, row) >= kAttrSolidFrom) return std::to_string(column) + "," + std::to_string(row);
    }
  }
  return "";
}

class BalloonSlimeTest : public veltrin::testing::CampaignAreaTest {};

TEST_F(BalloonSlimeTest, StartsClearOfThePlayerAndStaysInTheOpenHall) {
  StartArea("snow", "070");
  ScriptedPlay play;
  ASSERT_TRUE(play.RunUntil([] { return OnFloor("070"); }, 300));
  const EnemyRecord* boss = Boss();
  ASSERT_NE(boss, nullptr);
  const Box sprite{boss->x, boss->y, boss->x + boss->width, boss->y + boss->height};
  EXPECT_FALSE(Overlap(sprite, {player.x + 20, player.y + 8, player.x + 44, player.y + 54})) << "over the player";

  // The player waits at the left wall; the slime comes down and across to
  // it and presses it there for a while.
  std::string sunk;
  play.SetFrameHook([&] {
    player.invulnerableFrames = 60;
    const EnemyRecord* e = Boss();
    if (e != nullptr && sunk.empty()) sunk = SolidCellUnderBody(*e);
  });
  play.Hold({plat::VK_LEFT}, 600);
  ASSERT_TRUE(play.RunUntil([&] { return play.Finished(); }, 700));
  EXPECT_EQ(sunk, "") << "its body reached into a solid cell";
  ASSERT_NE(Boss(), nullptr);
  EXPECT_LT(Boss()->x + Boss()->width - Boss()->bodyRight, 6 * 32) << "it never came to the wall";
}

}  // namespace
