// What a route sees: the way a body moves or keys walk; the floor text of the
// floor being played, whose marks, read once a floor, must follow the floor
// as a route plays one after another; an enemy found by the kind the text
// places at a mark.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "game/enemies.h"
#include "game/floor_play.h"
#include "game/game_state.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"
#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::routes::ColumnOf;
using veltrin::routes::EnemyOfKindAt;
using veltrin::routes::Mark;
using veltrin::testing::CampaignAreaTest;

// A body at rest has no way: judged as walking, its slide and the ground
// ahead would be read a walk's length too far. The way held keys walk is read
// back from the keys a move presses: a jump, drop or crouch on the way does
// not hide it, and none of them alone has one.
TEST(RouteSightTest, AWayIsTheSpeedsSignNoneAtRestOrTheWayOfTheMoveThatPressedTheKeys) {
  EXPECT_EQ(veltrin::routes::WayOf(0.0), 0);
  EXPECT_EQ(veltrin::routes::WayOf(-0.0), 0);
  EXPECT_EQ(veltrin::routes::WayOf(0.001), 1);
  EXPECT_EQ(veltrin::routes::WayOf(-0.001), -1);
  using veltrin::routes::Move;
  for (const Move& move : {Move{-1}, Move{1}, Move{-1, true}, Move{1, false, true}, Move{1, false, false, true},
                           Move{0, true}, Move{0, false, true}, Move{0, false, false, true}}) {
    const veltrin::routes::Keys keys = veltrin::routes::KeysOf(move);
    EXPECT_EQ(veltrin::routes::WayOf(keys), move.way) << veltrin::testing::LettersOf(keys);
  }
}

// A box shows when a pixel of it lies on the screen: one touching an edge
// from outside does not, one a pixel across does, on each of the four sides.
TEST(RouteSightTest, ABoxIsInViewFromItsFirstPixelOnTheScreenOnEachSide) {
  const std::int32_t savedX = cameraX, savedY = cameraY;
  cameraX = 1000, cameraY = 500;
  constexpr int kSize = 24;
  const int left = cameraX, top = cameraY, right = cameraX + kViewWidth, bottom = cameraY + kViewHeight;
  const struct {
    int x, y;
    bool shows;
  } cases[] = {{left - kSize, top + 100, false},   {left - kSize + 1, top + 100, true},
               {right, top + 100, false},          {right - 1, top + 100, true},
               {left + 100, top - kSize, false},   {left + 100, top - kSize + 1, true},
               {left + 100, bottom, false},        {left + 100, bottom - 1, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(veltrin::routes::InView(c.x, c.y, kSize, kSize), c.shows) << c.x << "," << c.y;
  }
  cameraX = savedX, cameraY = savedY;
}

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
