// The first floors' shooters and the dark hall's snake against a player
// standing where the campaign's route needs to be: on the generated floors
// their bullets end short of the jumps, and the enemies kept off the route
// stay on the shelves that keep them.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/map_cells.h"
#include "tests/game/enemy_fixture.h"

namespace {

using qz::testing::EnemyTest;

// The first ground column past the first gap in the ground row.
int PastTheDip() {
  const auto open = [](int column) { return ReadAttributeAtPixel(column * 32, 44 * 32) < kAttrOneWay; };
  int column = 1;
  while (column < 75 && !open(column)) ++column;
  while (column < 75 && open(column)) ++column;
  return column;
}

struct StandPlace {
  const char* floor;
  int column;     // the body's middle over this column's, on the ground row 44; 0: past the dip
  int shelfRow;   // the top row of the shelf the floor's first enemy keeps to; 0: none
  bool onlyThat;  // nothing else on the floor reaches the place: the player is never hit
  const char* where;
};

TEST_F(EnemyTest, WhereTheFirstFloorsAndTheDarkHallsRoutesGoTheirEnemiesDoNotReach) {
  const StandPlace places[] = {
      {"001", 0, 0, true, "where the jump out of the dip lands, short of the green slime's bullets"},
      {"002", 42, 41, true, "under the red slime's shelf"},
      {"010", 26, 0, true, "where the jump over the slime boss's dip lands"},
      // The hall's bat flies and shoots in the dark wherever the player is.
      {"072", 20, 39, false, "under the snake's shelf"},
  };
  for (const StandPlace& place : places) {
    SCOPED_TRACE(::testing::Message() << place.floor << ": " << place.where);
    ResetEnemyRecords();
    EmptyBulletPool();
    ASSERT_EQ(Enter(place.floor, 0), 1);
    PlacePlayer((place.column > 0 ? place.column : PastTheDip()) * 32 + 16 - 32);
    const EnemyRecord& kept = enemies[0];
    int hits = 0, lowestFeet = 0;
    for (int frame = 0; frame < 1200; ++frame) {
      Frames(1);
      if (player.life < player.maxLife) ++hits, player.life = player.maxLife, player.invulnerableFrames = 0;
      if (kept.life > 0) lowestFeet = std::max(lowestFeet, kept.y + kept.bodyBottom);
    }
    if (place.onlyThat) {
      EXPECT_EQ(hits, 0);
    }
    if (place.shelfRow > 0) {
      EXPECT_LE(lowestFeet, place.shelfRow * 32) << "off its shelf";
    }
  }
}

}  // namespace
