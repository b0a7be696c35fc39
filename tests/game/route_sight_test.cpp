// What a route sees of the floor text of the floor being played: its marks,
// read once a floor, must follow the floor as a route plays one after
// another; an enemy is found by the kind the text places at a mark.
#include <gtest/gtest.h>

#include <string>

#include "game/enemies.h"
#include "game/game_state.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::routes::ColumnOf;
using veltrin::routes::EnemyOfKindAt;
using veltrin::routes::Mark;
using veltrin::testing::CampaignAreaTest;

// From 010 to a floor without a text, to 011 and back to 010: a mark is
// where the floor being played puts it, or nowhere.
TEST(RouteSightTest, AMarkIsReadOnTheFloorBeingPlayedAsFloorsFollowOneAnother) {
  const int played = floorNumber;
  struct Case {
    int floor, pit, bee;
  };
  for (const Case c : {Case{10, 44, -1}, Case{5, -1, -1}, Case{11, -1, 58}, Case{10, 44, -1}}) {
    SCOPED_TRACE("floor " + std::to_string(c.floor));
    floorNumber = c.floor - 1;
    EXPECT_EQ(ColumnOf(Mark("pit")), c.pit);
    EXPECT_EQ(ColumnOf(Mark("bee")), c.bee);
  }
  floorNumber = played;
}

// On 042 the mushroom is the live enemy of the kind placed at its mark, not
// the mole placed before it; dead, it is gone though the mole lives; a mark
// where nothing is placed finds no enemy.
TEST_F(CampaignAreaTest, AMarksEnemyIsTheLiveOneOfTheKindPlacedThere) {
  StartArea("forest", "042");
  veltrin::testing::ScriptedPlay play;
  ASSERT_TRUE(play.RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
  // The floor places the mole first and the mushroom second.
  EnemyRecord &mole = enemies[0], &mushroom = enemies[1];
  ASSERT_GT(mole.life, 0);
  EXPECT_EQ(EnemyOfKindAt(Mark("mushroom")), &mushroom);
  EXPECT_EQ(EnemyOfKindAt(Mark("meet-mole")), nullptr);
  mushroom.life = 0;
  EXPECT_EQ(EnemyOfKindAt(Mark("mushroom")), nullptr);
}

}  // namespace
