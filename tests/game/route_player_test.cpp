// The route player against the game itself: its motion model must foresee
// where the game carries the body (the fights choose their moves by it), and
// a stop at a place the floor marks must end in that place from either side,
// late reactions included, wherever the floor puts the place, and a late
// player acts as early as the lateness asks.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game/enemies.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"
#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::routes::CourseOf;
using veltrin::routes::Move;
using veltrin::testing::ScriptedPlay;

class RoutePlayerTest : public veltrin::testing::CampaignAreaTest {
 protected:
  // On "011" at its entrance, the cavern's first stretch flat before it.
  void SetUp() override {
    CampaignAreaTest::SetUp();
    StartArea(veltrin::testing::FindArea("cave").start);
    ASSERT_TRUE(play_->RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
  }
  std::unique_ptr<ScriptedPlay> play_ = std::make_unique<ScriptedPlay>();
};

TEST_F(RoutePlayerTest, MotionModelFollowsTheGamesWalkJumpAndFall) {
  struct Case {
    const char* name;
    Move move;
    std::set<std::uint32_t> keys;
  };
  const Case cases[] = {
      {"walk", Move{1, false, false, false, 20}, {veltrin::routes::kKeyRight}},
      {"jump held", Move{0, true, false, false, 30}, {veltrin::routes::kKeyJump}},
      {"short hop", Move{0, true, false, false, 6}, {veltrin::routes::kKeyJump}},
      {"running jump", Move{1, true, false, false, 12}, {veltrin::routes::kKeyRight, veltrin::routes::kKeyJump}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(player.airborne, 0);
    constexpr int kWait = 3, kFrames = 45;
    const std::vector<veltrin::routes::BodyPlace> course = CourseOf(kWait, c.move, kFrames, player.y);
    play_->Clear();
    play_->Idle(kWait).Hold(c.keys, c.move.press);
    for (int t = 1; t <= kFrames; ++t) {
      const int before = play_->frames();
      ASSERT_TRUE(play_->RunUntil([&] { return play_->frames() > before; }, 2));
      EXPECT_NEAR(player.posX, course[t].x, 0.01) << "frame " << t;
      // A landing keeps the fraction of its last fall in posY; y is whole.
      EXPECT_EQ(player.y, static_cast<int>(course[t].y)) << "frame " << t;
    }
    play_->Clear();
    play_->Idle(30);
    ASSERT_TRUE(play_->RunUntil([&] { return play_->Finished(); }, 40));
  }
}

TEST_F(RoutePlayerTest, StopAtEndsInTheMarkedPlaceFromEitherSideAndWithLateReactions) {
  const int sign = veltrin::routes::ColumnOf(veltrin::routes::Sign());
  ASSERT_EQ(sign, 7) << "the sign of the floor text";
  // A sign put elsewhere, as an edited floor would: the route follows it.
  // The cell Up acts on: the one under the body's upper half.
  const int row = (player.y + kCellSize / 2) / kCellSize;
  ASSERT_EQ(AttributeAt(sign, row), kAttrSign);
  constexpr int kMovedSign = 15;
  SetCell(sign, row, 0, kAttrEmpty);
  SetCell(kMovedSign, row, 0, kAttrSign);
  ASSERT_EQ(veltrin::routes::ColumnOf(veltrin::routes::Sign()), kMovedSign);
  ResetEnemyRecords();  // nothing on the way
  for (int delay : {0, 12}) {
    veltrin::routes::Perturbation late;
    late.reactionDelay = delay;
    veltrin::routes::RoutePlayer walker(*play_, late);
    for (int column : {kMovedSign, 9, 10, kMovedSign}) {
      SCOPED_TRACE("to column " + std::to_string(column) + ", reactions " + std::to_string(delay) + " late");
      const veltrin::routes::Place place =
          column == kMovedSign ? veltrin::routes::Sign() : veltrin::routes::Column(column);
      ASSERT_EQ(walker.Run(veltrin::routes::Route().StopAt(place)), "");
      EXPECT_TRUE(veltrin::routes::StandingIn(column)) << "x " << player.x;
      EXPECT_EQ(player.velocityX, 0.0);
    }
  }
}

TEST_F(RoutePlayerTest, LateReactionsJumpWhereAPromptPlayerDoesAndSettleOnIce) {
  using veltrin::routes::Column;
  using veltrin::routes::Route;
  ResetEnemyRecords();  // nothing on the way
  constexpr int kStart = 5, kJumpColumn = 14;
  int takeOff = -1;
  play_->SetFrameHook([&] {
    if (takeOff < 0 && player.airborne != 0) takeOff = player.x;
  });
  std::vector<int> takeOffs;
  for (int delay : {0, 12}) {
    veltrin::routes::Perturbation late;
    late.reactionDelay = delay;
    veltrin::routes::RoutePlayer walker(*play_, late);
    ASSERT_EQ(walker.Run(Route().StopAt(Column(kStart)).Wait(10)), "");
    takeOff = -1;
    ASSERT_EQ(walker.Run(Route().HoldTo(veltrin::testing::kRight, Column(kJumpColumn))
                             .Press(veltrin::testing::kRightJump, 20).Wait(60)),
              "");
    takeOffs.push_back(takeOff);
  }
  play_->SetFrameHook({});
  // A late player lets go as early as the lateness asks: the jump that a
  // counted place starts takes off where a prompt player's does.
  EXPECT_NEAR(takeOffs[1], takeOffs[0], 8) << "prompt " << takeOffs[0] << ", late " << takeOffs[1];

  // On ice, where only walking against the slide stops it, a late player
  // still stops in the place from either side, without walking to and fro.
  const int groundRow = (player.y + veltrin::routes::kSpriteSize) / kCellSize;
  for (int column = 1; column < 40; ++column) SetCell(column, groundRow, 36, kAttrSlippery);
  veltrin::routes::Perturbation late;
  late.reactionDelay = 12;
  veltrin::routes::RoutePlayer walker(*play_, late);
  for (int column : {24, 8, 9, 20}) {
    SCOPED_TRACE("to column " + std::to_string(column));
    const int start = play_->frames();
    ASSERT_EQ(walker.Run(Route().StopAt(Column(column))), "");
    EXPECT_TRUE(veltrin::routes::StandingIn(column)) << "x " << player.x;
    EXPECT_LT(std::abs(player.velocityX), 0.5) << "no more than the creep braking leaves";
    EXPECT_LT(play_->frames() - start, 400);
  }
  // The creep left on ice would outlast the test: ground again stops it.
  for (int column = 1; column < 40; ++column) SetCell(column, groundRow, 4, kAttrSolidFrom);
  play_->Clear();
  play_->Idle(10);
  ASSERT_TRUE(play_->RunUntil([&] { return play_->Finished(); }, 20));
  EXPECT_EQ(player.velocityX, 0.0);
}

}  // namespace
