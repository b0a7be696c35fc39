// A boss hall gives the player who just came in time to take it in: for the
// first three seconds nothing a boss looses reaches the entrance, and a
// player who walks straight at the boss from there is not killed in them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/game_state.h"
#include "game/player.h"
#include "game/pools.h"
#include "tests/game/floor_trial.h"

namespace {

using veltrin::testing::FindFloor;
using veltrin::testing::FloorInCampaign;
using veltrin::testing::ScriptedPlay;

constexpr int kArrivalFrames = 180;

const EnemyRecord* Boss() {
  for (const EnemyRecord& e : enemies) {
    if (e.life > 0 && e.bossIndex >= 0) return &e;
  }
  return nullptr;
}

class HallArrivalTest : public veltrin::testing::FloorTrialTest,
                        public ::testing::WithParamInterface<const char*> {};

TEST_P(HallArrivalTest, NothingReachesTheEntranceOrTheWalkTowardsTheBossInTheFirstSeconds) {
  const FloorInCampaign where = FindFloor(GetParam());
  ASSERT_NE(where.area, nullptr);
  ScriptedPlay play;
  SaveRecord entered;
  ASSERT_NO_FATAL_FAILURE(EnterFloor(play, where, &entered));
  for (const bool walking : {false, true}) {
    SCOPED_TRACE(walking ? "walking towards the boss" : "standing at the entrance");
    veltrin::testing::RestartFloor(entered, play, where.Route().seed);
    const EnemyRecord* boss = Boss();
    ASSERT_NE(boss, nullptr);
    // The body at the entrance, a bullet's half-cell around it.
    const BulletTarget entrance = PlayerTarget(player);
    const int margin = kBulletHitOffset;
    int reached = -1;
    const int start = play.frames();
    play.SetFrameObserver([&] {
      for (const ShotRecord& b : enemyBullets) {
        const int hx = static_cast<int>(b.x) + kBulletHitOffset, hy = static_cast<int>(b.y) + kBulletHitOffset;
        if (reached < 0 && b.inUse != 0 && hx >= entrance.left - margin && hx <= entrance.right + margin &&
            hy >= entrance.top - margin && hy <= entrance.bottom + margin) {
          reached = play.frames() - start;
        }
      }
    });
    const bool bossRight = boss->x + boss->width / 2 > player.x + 32;
    if (walking) play.Hold({bossRight ? veltrin::testing::kKeyRight : veltrin::testing::kKeyLeft}, kArrivalFrames);
    else play.Idle(kArrivalFrames);
    play.RunUntil([&] { return play.Finished(); }, kArrivalFrames + 1);
    play.SetFrameObserver({});
    EXPECT_EQ(reached, -1) << "a bullet reached the entrance " << reached << " frames in";
    EXPECT_GT(player.life, 0) << "killed within the first " << kArrivalFrames << " frames";
    EXPECT_EQ(player.dead, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Halls, HallArrivalTest, ::testing::Values("055", "085", "100"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string("Floor") + info.param;
                         });

}  // namespace
