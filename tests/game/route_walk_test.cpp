// A route's walk against the game itself: ground held meets what comes
// from ahead even when the player was left facing back.
#include <gtest/gtest.h>

#include <memory>

#include "game/enemies.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/pools.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"
#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::routes::Route;

// On "086" at its entrance: the keep's lizard, two shots to fell, charges
// the player at the recovery point.
class KeepEnteredTest : public veltrin::testing::CampaignAreaTest {
 protected:
  void SetUp() override {
    CampaignAreaTest::SetUp();
    StartArea(veltrin::testing::FindArea("keep").start);
    ASSERT_TRUE(play_->RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
  }
  // The lizard starts in column 40, past the snake asleep by the entrance.
  const EnemyRecord* Lizard() const {
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.x / kCellSize >= 38 && enemy.x / kCellSize <= 42) return &enemy;
    }
    return nullptr;
  }
  std::unique_ptr<veltrin::testing::ScriptedPlay> play_ = std::make_unique<veltrin::testing::ScriptedPlay>();
};

TEST_F(KeepEnteredTest, GroundHeldFacingBackTurnsToShootTheChargingLizard) {
  const EnemyRecord* lizard = Lizard();
  ASSERT_NE(lizard, nullptr);
  veltrin::routes::RoutePlayer player(*play_);
  // The magic filled, the player turns its back on the keep.
  ASSERT_EQ(player.Run(Route()
                           .StopAt(veltrin::routes::RecoveryPoint())
                           .Press({veltrin::routes::kKeyUp}, 8)
                           .Wait(20)
                           .Press({veltrin::routes::kKeyLeft}, veltrin::routes::kMinimumPress)
                           .Wait(1)),
            "");
  ASSERT_EQ(::player.facing, -1);
  ASSERT_EQ(player.Run(Route().HoldGround(veltrin::testing::kLowShot, 240)), "");
  EXPECT_LE(lizard->life, 0) << "the shots flew at the lizard, not away from it";
  EXPECT_EQ(::player.dead, 0);
  EXPECT_EQ(::player.facing, 1);
}

}  // namespace
