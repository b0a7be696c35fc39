// The routes' marks in a floor text: read wherever the text names them but
// in the cells grid, and no part of the floor the game is given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/map_format.h"
#include "tools/datagen/data_set.h"

namespace {

// A floor text with `head` before the cells and `tail` after the grid; row 3
// of the grid is `row3`.
std::string FloorText(const std::string& head, const std::string& tail, const std::string& row3 = ".") {
  std::string text = "chipset chip_meadow.png\n" + head + "cells\n";
  for (int row = 0; row < MapFileData::kRows; ++row) {
    text += row == 3 ? row3 + "\n" : std::string(MapFileData::kColumns, row == MapFileData::kRows - 1 ? '#' : '.') + "\n";
  }
  return text + tail;
}

TEST(FloorMarksTest, MarksAreReadAroundTheGridAndLeaveTheCompiledFloorAsItIs) {
  const std::string head = "mark entrance 0\nmark no-column\n", tail = "# after the grid\nmark far-wall 75\r\n";
  const std::vector<datagen::FloorMark> marks = datagen::FloorMarks(FloorText(head, tail, "mark grid 9"));
  ASSERT_EQ(marks.size(), 2u) << "the grid row and the mark without a column are not marks";
  EXPECT_EQ(marks[0].name, "entrance");
  EXPECT_EQ(marks[0].x, 0);
  EXPECT_EQ(marks[1].name, "far-wall");
  EXPECT_EQ(marks[1].x, 75);

  MapFileData withMarks, without;
  std::string error;
  ASSERT_TRUE(datagen::CompileFloorText(FloorText(head, tail), &withMarks, &error)) << error;
  ASSERT_TRUE(datagen::CompileFloorText(FloorText("", ""), &without, &error)) << error;
  EXPECT_EQ(WriteMapFile(withMarks), WriteMapFile(without));
}

// Every mark of the built-in floors names a column of the floor, once.
TEST(FloorMarksTest, TheCampaignsMarksAreColumnsOfTheirFloorsNamedOnce) {
  int count = 0;
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    const std::vector<datagen::FloorMark> marks = datagen::FloorMarks(floor.text);
    for (std::size_t i = 0; i < marks.size(); ++i) {
      SCOPED_TRACE(floor.name + " " + marks[i].name);
      EXPECT_GE(marks[i].x, 0);
      EXPECT_LT(marks[i].x, MapFileData::kColumns);
      for (std::size_t j = 0; j < i; ++j) EXPECT_NE(marks[j].name, marks[i].name);
      ++count;
    }
  }
  EXPECT_GT(count, 0);
}

}  // namespace
