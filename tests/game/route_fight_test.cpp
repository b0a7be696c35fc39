// A fight's height against the floor it is fought on: from the floor over
// the ground the player climbs there and stays, and one told to fight where
// it stands stays on the ground under that floor.
#include <gtest/gtest.h>

#include <string>

#include "game/game_state.h"
#include "game/player.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"

namespace {

using veltrin::routes::FightSettings;
using veltrin::testing::CampaignAreaTest;
using veltrin::testing::ScriptedPlay;

// The Butterfly's hall: a one-way floor over the ground under her branch.
TEST_F(CampaignAreaTest, AFightClimbsToTheFloorOverOnlyWhenToldTo) {
  for (const auto height : {FightSettings::Height::kFloorOver, FightSettings::Height::kWhereItStands}) {
    const bool over = height == FightSettings::Height::kFloorOver;
    SCOPED_TRACE(over ? "from the floor over" : "where it stands");
    StartArea("forest", "055");
    ScriptedPlay play;
    ASSERT_TRUE(play.RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
    veltrin::routes::RoutePlayer fighter(play);
    const veltrin::routes::Place branch = veltrin::routes::Mark("branch");
    ASSERT_EQ(fighter.Run(veltrin::routes::Route().StopAt(branch)), "");
    const int ground = player.y;
    // No dodges: only the height moves the body up.
    const FightSettings how{.place = branch, .height = height, .horizon = 0, .frameLimit = 240};
    EXPECT_EQ(fighter.Run(veltrin::routes::Route().Fight({veltrin::routes::kKeyShot}, how)),
              "step 0 Fight X: the boss still stands");
    play.Clear();
    ASSERT_TRUE(play.RunUntil([] { return player.airborne == 0 || player.dead != 0; }, 60));
    EXPECT_EQ(player.dead, 0);
    if (over) {
      EXPECT_LT(player.y, ground) << "still on the ground";
    } else {
      EXPECT_EQ(player.y, ground);
    }
  }
}

}  // namespace
