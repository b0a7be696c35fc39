// What a route sees of the floor text of the floor being played: its marks,
// read once a floor, must follow the floor as a route plays one after
// another; an enemy is found by the kind the text places at a mark.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/enemies.h"
#include "game/game_state.h"
#include "tests/game/campaign_replay.h"
#include "tools/datagen/data_set.h"
#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::routes::ColumnOf;
using veltrin::routes::EnemyOfKindAt;
using veltrin::routes::Mark;
using veltrin::testing::CampaignAreaTest;

std::vector<datagen::FloorMark> MarksOf(const std::string& floor) {
  for (const datagen::FloorSource& source : datagen::BuiltInFloors()) {
    if (source.name == floor) return datagen::FloorMarks(source.text);
  }
  return {};
}

// From 010 to a floor without a text, to 011 and back to 010: every mark of
// 010 and 011 is where the floor being played puts it, or nowhere.
TEST(RouteSightTest, AMarkIsReadOnTheFloorBeingPlayedAsFloorsFollowOneAnother) {
  const int played = floorNumber;
  std::vector<datagen::FloorMark> names = MarksOf("010");
  for (const datagen::FloorMark& mark : MarksOf("011")) names.push_back(mark);
  for (const char* floor : {"010", "005", "011", "010"}) {
    floorNumber = std::stoi(floor) - 1;
    const std::vector<datagen::FloorMark> marks = MarksOf(floor);
    for (const datagen::FloorMark& name : names) {
      SCOPED_TRACE(std::string(floor) + " " + name.name);
      int column = -1;
      for (const datagen::FloorMark& mark : marks) {
        if (mark.name == name.name) column = mark.x;
      }
      EXPECT_EQ(ColumnOf(Mark(name.name)), column);
    }
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
