// What a route sees of the floor text of the floor being played: its marks,
// read once a floor, must follow the floor as a route plays one after
// another.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game_state.h"
#include "tools/datagen/data_set.h"
#include "tools/route_sight.h"

namespace {

using veltrin::routes::ColumnOf;
using veltrin::routes::Mark;

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

}  // namespace
