// The route player against the game itself: its look-ahead must foresee
// where the game carries the body (the fights choose their moves by it), its
// foresight when turning and splitting bullets and blasts strike it, and
// a stop at a place the floor marks must end in that place from either side,
// far or as close as a stop overshoots, late reactions included, wherever
// the floor puts the place; ground held meets a
// charging enemy with shots before it reaches the player; a walk meets an
// enemy standing ahead by a shot's reach, to the pixel; a walker hopping
// close ahead is waited for on the ground and shot, with the magic for it;
// a travelling platform is ridden across whenever the player comes to it; a ledge
// fight's late climbs must land; a late player acts as early as the
// lateness asks; a jump onto a narrow block is steered to rest on it; and
// a boss's volleys are seen on the frames its attack clock fires them.
// Press jitter spans its whole range and never drops a press; a wait for
// what is seen ends a reaction after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "game/enemies.h"
#include "game/action_input.h"
#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/items.h"
#include "game/map_cells.h"
#include "game/pools.h"
#include "game/shot_record.h"
#include "game/player.h"
#include "game/player_physics.h"
#include "game/player_shots.h"
#include "input/pad_input.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"
#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::routes::Column;
using veltrin::routes::CourseOf;
using veltrin::routes::FightSettings;
using veltrin::routes::Move;
using veltrin::routes::Route;
using veltrin::testing::CampaignAreaTest;
using veltrin::testing::ScriptedPlay;
using veltrin::testing::kLeft;
using veltrin::testing::kLowShot;
using veltrin::testing::kRight;
using veltrin::testing::kRightJump;

// True when the body's middle is over `column`, where Up acts.
bool StandingIn(int column) { return (player.x + kPlayerSpriteSize / 2) / kCellSize == column; }

// The game started on a floor, played once its entrance shows. The play is
// made once the game's window is: a frame limit that runs out asks that
// window to close, which ends a blocking sequence nothing answers.
class FloorEnteredTest : public CampaignAreaTest {
 protected:
  // Entered as StartArea takes it: an area's start, or a later floor of it.
  template <typename... Where>
  void Enter(const Where&... where) {
    StartArea(where...);
    play_.reset();  // its end unhooks the frame waits
    play_ = std::make_unique<ScriptedPlay>();
    ASSERT_TRUE(play_->RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
  }
  std::unique_ptr<ScriptedPlay> play_;
};
// Each test enters the hall it plays in.
using RouteHallTest = FloorEnteredTest;

class RoutePlayerTest : public FloorEnteredTest {
 protected:
  // On "011" at its entrance, the cavern's first stretch flat before it,
  // nothing on the way.
  void SetUp() override {
    FloorEnteredTest::SetUp();
    Enter(veltrin::testing::FindArea("cave").start);
    ResetEnemyRecords();
  }
};

// The ground row under the player made ice while in scope, where only
// walking against the slide stops it; after, ground again stops the creep
// that ice leaves, which would outlast the test.
class Ice {
 public:
  Ice() { Lay(36, kAttrSlippery); }
  ~Ice() { Lay(4, kAttrSolidFrom); }
  Ice(const Ice&) = delete;
  Ice& operator=(const Ice&) = delete;

 private:
  void Lay(int chip, int attribute) const {
    for (int column = 1; column < 40; ++column) SetCell(column, row_, chip, attribute);
  }
  const int row_ = (player.y + kPlayerSpriteSize) / kCellSize;
};

// A fixed wait under press jitter lasts up to the jitter longer or shorter,
// reaching both ends, and a one-frame press never shrinks to nothing; a long
// wait runs whole.
TEST_F(RoutePlayerTest, PressJitterReachesBothEndsAndNeverDropsAPress) {
  constexpr int kJitter = 3;
  for (const int frames : {10, 1}) {
    SCOPED_TRACE("a wait of " + std::to_string(frames));
    std::set<int> lengths;
    veltrin::routes::RoutePlayer waiter(*play_, {.pressJitter = kJitter, .seed = 7});
    for (int trial = 0; trial < 60; ++trial) {
      const int start = play_->frames();
      ASSERT_EQ(waiter.Run(Route().Wait(frames)), "");
      lengths.insert(play_->frames() - start);
    }
    EXPECT_EQ(*lengths.begin(), std::max(1, frames - kJitter));
    EXPECT_EQ(*lengths.rbegin(), frames + kJitter);
  }
  // A wait longer than the slack a run of presses is given still runs whole.
  veltrin::routes::RoutePlayer waiter(*play_, {.pressJitter = kJitter, .seed = 7});
  const int start = play_->frames();
  ASSERT_EQ(waiter.Run(Route().Wait(500)), "");
  EXPECT_NEAR(play_->frames() - start, 500, kJitter);
}

// A wait for something seen ends a reaction after it is seen, and lasts at
// least a press even when it is seen at once.
TEST_F(RoutePlayerTest, AWaitForWhatIsSeenEndsAReactionAfterIt) {
  veltrin::routes::RoutePlayer waiter(*play_);
  for (const int seenAfter : {0, 20}) {
    const int start = play_->frames();
    ASSERT_EQ(waiter.Run(Route().WaitFor("a frame", [&] { return play_->frames() - start >= seenAfter; })), "");
    EXPECT_EQ(play_->frames() - start, std::max(seenAfter, veltrin::routes::kMinimumPress) + veltrin::routes::kMinimumPress) << seenAfter;
  }
}

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
    const std::vector<veltrin::routes::BodyPlace> course = CourseOf(kWait, c.move, kFrames);
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

// Bullets the foresight must meet on the frame the game's bullet strikes,
// and not at all where the game's never does: one flying away from the
// player that turns or splits at the body a moment later (one with no turn
// left just goes, and so does one that leaves the field before its turn);
// one falling onto the ground beside the player whose blast reaches the
// body's edge, and none a pixel farther off; and a plain one falling where a
// blast would reach, since the game only blasts bullets that have a blast.
TEST_F(RoutePlayerTest, ForesightMeetsTurningSplittingAndBlastingBulletsWhenTheGameDoes) {
  const int x = player.x, y = player.y;
  const auto away = [&](int graphicBase, int colourRow, int mode, int life, bool leaving) {
    ShotRecord b{};
    b.x = leaving ? 0 : x + 150, b.y = y - 40, b.vx = leaving ? -4.0 : 2.0, b.vy = -1.0;
    b.graphicBase = graphicBase, b.colourRow = colourRow, b.mode = mode, b.life = life;
    return b;
  };
  const auto falling = [&](int blastSize, int past) {
    ShotRecord b{};
    b.x = x + kBodyRight + EnemyBlastReach(1) + past - kBulletHitOffset, b.y = y, b.vy = 4.0;
    b.blastSize = blastSize, b.life = kBulletLife;
    return b;
  };
  struct Case {
    const char* name;
    ShotRecord bullet;
    int horizon;
    bool strikes;
  };
  const Case cases[] = {
      {"turning", away(9, 7, 1, kReaimBelowLife + 10, false), 90, true},
      {"no turn left", away(9, 7, 0, kReaimBelowLife + 10, false), 90, false},
      {"splitting", away(3, 4, 0, kSplitBelowLife + 10, false), 90, true},
      {"leaving the field", away(9, 7, 1, kReaimBelowLife + 10, true), 90, false},
      {"blast at the reach", falling(1, 0), 60, true},
      {"blast a pixel past it", falling(1, 1), 60, false},
      {"plain at the reach", falling(0, 0), 60, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmptyBulletPool();
    player.x = x, player.y = y, player.posX = x, player.posY = y, player.velocityX = 0.0;
    player.life = 100, player.invulnerableFrames = 0;
    ShotRecord& bullet = enemyBullets[0];
    bullet = c.bullet;
    bullet.power = 1, bullet.inUse = 1;
    bulletCount = 1;
    const int foreseen = veltrin::routes::FirstBulletHit(CourseOf(0, Move{}, c.horizon), c.horizon, 0);
    play_->Clear();
    const int start = play_->frames();
    const bool struck = play_->RunUntil([] { return player.life < 100; }, c.horizon);
    EXPECT_EQ(struck, c.strikes);
    if (struck) {
      // The frame a bullet t steps on meets the body is the (t + 1)th.
      EXPECT_NEAR(play_->frames() - start, foreseen + 1, 1);
    } else {
      EXPECT_EQ(foreseen, c.horizon);
    }
    if (c.bullet.vy > 0.0 && !struck) {
      EXPECT_EQ(bullet.inUse, 0) << "the bullet never struck the ground";
    }
  }
}

TEST_F(RoutePlayerTest, StopAtEndsInTheMarkedPlaceFromFarOrCloseOnEitherSideAndWithLateReactions) {
  const int sign = veltrin::routes::ColumnOf(veltrin::routes::Sign());
  ASSERT_EQ(sign, 15) << "the sign of the floor text";
  // A sign put elsewhere, as an edited floor would: the route follows it.
  // The cell Up acts on: the one under the body's upper half.
  const int row = (player.y + kCellSize / 2) / kCellSize;
  ASSERT_EQ(AttributeAt(sign, row), kAttrSign);
  constexpr int kMovedSign = 20;
  SetCell(sign, row, 0, kAttrEmpty);
  SetCell(kMovedSign, row, 0, kAttrSign);
  ASSERT_EQ(veltrin::routes::ColumnOf(veltrin::routes::Sign()), kMovedSign);
  for (int delay : {0, 12}) {
    veltrin::routes::RoutePlayer walker(*play_, {.reactionDelay = delay});
    // Far, and two or three columns off, where a late stop's walk overshoots
    // by as much again.
    for (int column : {kMovedSign, 9, 10, 12, 9, 11, 14, 13, kMovedSign}) {
      SCOPED_TRACE("to column " + std::to_string(column) + ", reactions " + std::to_string(delay) + " late");
      const veltrin::routes::Place place = column == kMovedSign ? veltrin::routes::Sign() : Column(column);
      ASSERT_EQ(walker.Run(Route().StopAt(place)), "");
      EXPECT_TRUE(StandingIn(column)) << "x " << player.x;
      EXPECT_EQ(player.velocityX, 0.0);
    }
  }
}

// The Dragon Head's hall: the ladder of one-way ledges by its shaft. A climb
// decided on a ledge must end on the ledge above, also when the keys reach
// the game late: the body passes its goal while the jump is held, and that
// must not read as a drop to be made after landing.
TEST_F(RouteHallTest, LedgeFightClimbsTheLadderWithLateReactions) {
  Enter("castle", "085");
  veltrin::routes::RoutePlayer climber(*play_, {.reactionDelay = 12});
  ASSERT_EQ(climber.Run(Route().HoldTo(kLeft, Column(32))), "");
  const int ground = player.y;
  FightSettings onTheLadder = veltrin::routes::kOnTheLadder;
  onTheLadder.frameLimit = 300;
  // The head starts level with the middle of the ladder; the fight
  // is cut short once the player has had time to climb to it.
  EXPECT_EQ(climber.Run(Route().Fight({veltrin::routes::kKeyShot}, onTheLadder)),
            "step 0 Fight X: the boss still stands");
  // Where the last climb comes down.
  play_->Clear();
  ASSERT_TRUE(play_->RunUntil([] { return player.airborne == 0 || player.dead != 0; }, 60));
  EXPECT_EQ(player.dead, 0);
  EXPECT_LT(player.y, ground - 2 * kCellSize) << "still on the ground or the first ledge";
}

// The wisp's hall: a fight's failures are reported, not played through: a
// place the floor does not have, and a boss still up when its frames run out
// (the fight watching bullets from under the pen's one-way floor or not).
TEST_F(RouteHallTest, AFightReportsAMissingPlaceAndABossStillStanding) {
  Enter("cave", "025");
  veltrin::routes::RoutePlayer fighter(*play_);
  const veltrin::routes::Keys shot{veltrin::routes::kKeyShot};
  EXPECT_EQ(fighter.Run(Route().Fight(shot, {.place = veltrin::routes::Mark("no-such-mark")})),
            "step 0 Fight X: the floor has no such place");
  for (const int horizon : {0, 40}) {
    SCOPED_TRACE("horizon " + std::to_string(horizon));
    const FightSettings brief{.horizon = horizon, .frameLimit = 30};
    EXPECT_EQ(fighter.Run(Route().Fight(shot, brief)), "step 0 Fight X: the boss still stands");
    EXPECT_EQ(player.dead, 0);
  }
}

// The Butterfly's hall: her volleys are told, on the frames her attack
// clock fires them, by new bullets one frame out of her muzzle; only a volley
// whose bullets all broke at once in her pillar goes untold. She fires only
// with her muzzle on the screen, so the rhythm counts what a person sees.
TEST_F(RouteHallTest, TheButterflysVolleysAreToldOnTheFramesHerClockFiresThem) {
  Enter("forest", "055");
  // Under her branch, where she comes into sight as she sinks.
  player.x = 18 * kCellSize, player.posX = player.x;
  const EnemyRecord* boss = veltrin::routes::Boss();
  ASSERT_NE(boss, nullptr);
  int fired = 0, told = 0, mismatches = 0, unseen = 0, previous = boss->attackTimer;
  std::vector<ShotRecord> before(std::begin(enemyBullets), std::end(enemyBullets));
  play_->SetFrameHook([&] {
    // Her streams would end the watch: they fly through the player.
    player.invulnerableFrames = 60;
    const bool clockFired = boss->attackTimer == 0 && previous > 0;
    bool placed = false;  // a bullet in a slot free, or a shorter life, a frame ago
    for (std::size_t i = 0; i < before.size(); ++i) {
      const ShotRecord& b = enemyBullets[i];
      placed = placed || (b.inUse != 0 && (before[i].inUse == 0 || b.life > before[i].life));
    }
    const bool looked = veltrin::routes::FiredJustNow(*boss);
    fired += clockFired ? 1 : 0;
    told += looked ? 1 : 0;
    mismatches += looked != (clockFired && placed) ? 1 : 0;
    const BulletStart muzzle = EnemyMuzzle(*boss);
    unseen += clockFired && !veltrin::routes::InView(muzzle.x, muzzle.y, 1, 1) ? 1 : 0;
    previous = boss->attackTimer;
    before.assign(std::begin(enemyBullets), std::end(enemyBullets));
  });
  play_->Idle(900);
  ASSERT_TRUE(play_->RunUntil([&] { return play_->Finished(); }, 1000));
  play_->SetFrameHook({});
  EXPECT_GE(fired, 8) << "volleys of her clock in 900 frames";
  EXPECT_GT(told, 0);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(unseen, 0) << "volleys fired with her muzzle off the screen";
}

// The Butterfly's hall: her rhythm is unknown until a bullet leaves her
// muzzle, starts at 0 on that frame, then counts each frame she acts and
// holds while she flinches.
TEST_F(RouteHallTest, TheButterflysRhythmCountsHerActingFramesFromHerLastVolley) {
  Enter("forest", "055");
  auto* boss = const_cast<EnemyRecord*>(veltrin::routes::Boss());
  ASSERT_NE(boss, nullptr);
  EmptyBulletPool();
  boss->hurtTimer = 0;
  using veltrin::routes::SinceVolley;
  EXPECT_EQ(SinceVolley(*boss, -1), -1) << "counted before any volley";
  ShotRecord& bullet = enemyBullets[0];
  const BulletStart muzzle = EnemyMuzzle(*boss);
  bullet = ShotRecord{};
  bullet.vx = 3.0, bullet.x = muzzle.x + bullet.vx, bullet.y = muzzle.y, bullet.inUse = 1;
  EXPECT_EQ(SinceVolley(*boss, -1), 0);
  EXPECT_EQ(SinceVolley(*boss, 40), 0);
  bullet.x += bullet.vx;  // two frames out: no new volley
  EXPECT_EQ(SinceVolley(*boss, 0), 1);
  EXPECT_EQ(SinceVolley(*boss, 40), 41);
  for (const int flinch : {1, 5}) {
    boss->hurtTimer = flinch;
    EXPECT_EQ(SinceVolley(*boss, 40), 40) << "counted while flinching " << flinch;
  }
  EXPECT_EQ(SinceVolley(*boss, -1), -1);
}

// On "086" at its entrance: the keep's lizard, two shots to fell, charges
// the player at the recovery point.
class HoldGroundTest : public FloorEnteredTest {
 protected:
  void SetUp() override {
    FloorEnteredTest::SetUp();
    Enter(veltrin::testing::FindArea("keep").start);
  }
  // The lizard starts in column 40, past the snake asleep by the entrance.
  static EnemyRecord* Lizard() {
    for (EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.x / kCellSize >= 38 && enemy.x / kCellSize <= 42) return &enemy;
    }
    return nullptr;
  }
};

// Ground held at the recovery point shoots the charging lizard down before
// it reaches the player: reacting late, where the magic was filled, the
// lizard come on screen still far when the hold's frames are over (the step
// waits while it comes, and lasts until it is down); and with the player
// left facing back, where it turns before it shoots.
TEST_F(HoldGroundTest, TheChargingLizardIsShotDownFromGroundHeldReactingLateOrFacingBack) {
  const Route fillMagic = Route().StopAt(veltrin::routes::RecoveryPoint()).Press({veltrin::routes::kKeyUp}, 8);
  const Route holdGround = Route().HoldGround(kLowShot, 240);
  for (const bool facingBack : {false, true}) {
    SCOPED_TRACE(facingBack ? "facing back" : "reacting late");
    if (facingBack) Enter(veltrin::testing::FindArea("keep").start);
    const EnemyRecord* lizard = Lizard();
    ASSERT_NE(lizard, nullptr);
    veltrin::routes::RoutePlayer player(*play_, {.reactionDelay = facingBack ? 0 : 12});
    if (facingBack) {
      // The magic filled, the player turns its back on the keep.
      const veltrin::routes::Keys left{veltrin::routes::kKeyLeft};
      ASSERT_EQ(player.Run(Route(fillMagic).Wait(20).Press(left, veltrin::routes::kMinimumPress).Wait(1)), "");
      ASSERT_EQ(::player.facing, -1);
      ASSERT_EQ(player.Run(holdGround), "");
    } else {
      ASSERT_EQ(player.Run(Route(fillMagic).Then(holdGround)), "");
      EXPECT_EQ(veltrin::routes::ColumnOf(veltrin::routes::RecoveryPoint()),
                (::player.x + kPlayerSpriteSize / 2) / kCellSize)
          << "the ground is held: the player is where the magic was filled";
    }
    EXPECT_LE(lizard->life, 0) << "the shots flew at the lizard, not away from it";
    EXPECT_EQ(::player.dead, 0);
    EXPECT_EQ(::player.facing, 1);
  }
}

// The keep's rollers, met walking on past the lizard, are hopped at the
// moment the player's own lateness asks for: from exact to a quarter second
// late, each run crosses the stretch alive.
TEST_F(HoldGroundTest, RollersAreHoppedAsLateAsThePlayerReacts) {
  for (const int late : {0, 12, 15}) {
    SCOPED_TRACE("reacting " + std::to_string(late) + " frames late");
    if (late > 0) Enter(veltrin::testing::FindArea("keep").start);
    veltrin::routes::RoutePlayer player(*play_, {.reactionDelay = late});
    EXPECT_EQ(player.Run(veltrin::testing::MagicStanding().ReadSign().WalkTo(veltrin::routes::Mark("past-lizard"))),
              "");
    EXPECT_EQ(::player.dead, 0);
  }
}

// On "072", its snake and bat gone, the player put on the ground short of
// the spikes the travelling platform crosses.
class RideAcrossTest : public FloorEnteredTest {
 protected:
  void SetUp() override {
    FloorEnteredTest::SetUp();
    Enter(veltrin::testing::AreaStart{"072", 18, 1, 5, true, 3, {}});
    ResetEnemyRecords();
  }
  static void PutAt(int column) { player.posX = player.x = veltrin::routes::StandingX(column); }
};

TEST_F(RideAcrossTest, ThePlatformIsRiddenAcrossWhereverItIsWhenThePlayerComesLateOrNot) {
  constexpr int kEdge = 51, kNearTurn = 52, kFarTurn = 59;
  // The platform's phase when the player reaches the edge changes with the
  // wait before the walk there: boarding must not hang on one phase.
  for (int delay : {0, 12}) {
    // The platform's round trip is 224 frames: waits spread over it.
    for (int wait = 0; wait < 224; wait += 24) {
      SCOPED_TRACE("a wait of " + std::to_string(wait) + ", reactions " + std::to_string(delay) + " late");
      veltrin::routes::RoutePlayer rider(*play_, {.reactionDelay = delay});
      PutAt(kEdge - 4);
      Route toTheEdge = Route().Wait(wait).StopAt(Column(kEdge));
      ASSERT_EQ(rider.Run(toTheEdge.RideAcross(Column(kNearTurn), Column(kFarTurn)).Wait(6)), "");
      EXPECT_GT(player.x, kFarTurn * kCellSize) << "on the ground past the spikes";
      EXPECT_EQ(player.dead, 0);
    }
  }
}

TEST_F(RoutePlayerTest, LateReactionsJumpWhereAPromptPlayerDoesAndSettleOnIce) {
  constexpr int kStart = 5, kJumpColumn = 14;
  int takeOff = -1;
  play_->SetFrameHook([&] {
    if (takeOff < 0 && player.airborne != 0) takeOff = player.x;
  });
  std::vector<int> takeOffs;
  for (int delay : {0, 12}) {
    veltrin::routes::RoutePlayer walker(*play_, {.reactionDelay = delay});
    ASSERT_EQ(walker.Run(Route().StopAt(Column(kStart)).Wait(10)), "");
    takeOff = -1;
    ASSERT_EQ(walker.Run(Route().HoldTo(kRight, Column(kJumpColumn)).Press(kRightJump, 20).Wait(60)), "");
    takeOffs.push_back(takeOff);
  }
  play_->SetFrameHook({});
  // A late player lets go as early as the lateness asks: the jump that a
  // counted place starts takes off where a prompt player's does.
  EXPECT_NEAR(takeOffs[1], takeOffs[0], 8) << "prompt " << takeOffs[0] << ", late " << takeOffs[1];

  // On ice, where only walking against the slide stops it, a late player
  // still stops in the place from either side, without walking to and fro.
  {
    const Ice ice;
    veltrin::routes::RoutePlayer walker(*play_, {.reactionDelay = 12});
    for (int column : {24, 8, 9, 20}) {
      SCOPED_TRACE("to column " + std::to_string(column));
      const int start = play_->frames();
      ASSERT_EQ(walker.Run(Route().StopAt(Column(column))), "");
      EXPECT_TRUE(StandingIn(column)) << "x " << player.x;
      EXPECT_LT(std::abs(player.velocityX), 0.5) << "no more than the creep braking leaves";
      EXPECT_LT(play_->frames() - start, 400);
    }
  }
  // Off the ice, ground stops the creep it left.
  play_->Clear();
  play_->Idle(10);
  ASSERT_TRUE(play_->RunUntil([&] { return play_->Finished(); }, 20));
  EXPECT_EQ(player.velocityX, 0.0);
}

// A pit of spikes with a block over it and a spike post just past the
// block, as "057" has once its post is shot: a jump of any length a person
// presses, prompt or late, comes to rest on the block, short of the post.
TEST_F(RoutePlayerTest, StopAtEndsAJumpOnANarrowBlockShortOfTheSpikePost) {
  constexpr int kEdge = 8, kBlock = 11, kPost = 12;
  veltrin::routes::RoutePlayer walker(*play_);
  ASSERT_EQ(walker.Run(Route().StopAt(Column(kEdge)).Wait(10)), "");
  const int groundRow = (player.y + kPlayerSpriteSize) / kCellSize;
  for (int column = kEdge + 1; column <= kPost + 2; ++column) SetCell(column, groundRow, 36, kAttrSpikesUp);
  SetCell(kBlock, groundRow - 1, 4, kAttrSolidFrom);
  SetCell(kPost, groundRow - 1, 36, kAttrSpikesUp);
  const int edgeX = player.x;
  for (int delay : {0, 12}) {
    for (int press : {9, 12, 15}) {
      SCOPED_TRACE("a jump held " + std::to_string(press) + " frames, reactions " + std::to_string(delay) + " late");
      player.posX = player.x = edgeX;
      veltrin::routes::RoutePlayer jumper(*play_, {.reactionDelay = delay});
      ASSERT_EQ(jumper.Run(Route().Press(kRightJump, press).StopAt(Column(kBlock)).Wait(30)), "");
      EXPECT_EQ(player.dead, 0);
      EXPECT_EQ(player.y + kPlayerSpriteSize, (groundRow - 1) * kCellSize) << "on the block";
      EXPECT_LT(player.x + kFeetProbeRight, kPost * kCellSize) << "short of the post";
      EXPECT_EQ(player.velocityX, 0.0);
    }
  }
}

// A fight's climb or drop counts from a pixel of height gained or lost, and
// only onto footing: a course ending level with the body carries it neither
// way, and a drop pressed on solid ground (a hop) carries it nowhere, where
// the same drop through a one-way floor does.
TEST_F(RoutePlayerTest, AFightsClimbOrDropCountsFromAPixelAndOnlyOntoFooting) {
  using veltrin::routes::BodyPlace;
  using veltrin::routes::Carries;
  ASSERT_TRUE(play_->RunUntil([] { return player.airborne == 0; }, 60));
  const int rest = player.y, up = rest - kCellSize, down = rest + kCellSize;
  const int groundRow = (rest + kPlayerSpriteSize) / kCellSize, column = (player.x + kPlayerSpriteSize / 2) / kCellSize;
  ASSERT_EQ(rest + kPlayerSpriteSize, groundRow * kCellSize) << "standing on the ground's top";
  const double x = player.x;
  const std::vector<BodyPlace> atRest{{x, static_cast<double>(rest), false, true}};
  EXPECT_TRUE(Carries(atRest, rest));
  EXPECT_FALSE(Carries(atRest, up));
  EXPECT_FALSE(Carries(atRest, down));
  // Seen from a pixel under or over where the course rests.
  player.y = rest + 1;
  EXPECT_TRUE(Carries(atRest, up));
  EXPECT_FALSE(Carries(atRest, down));
  player.y = rest - 1;
  EXPECT_TRUE(Carries(atRest, down));
  EXPECT_FALSE(Carries(atRest, up));
  // A body the game's step leaves in the air, a pixel over the ground, stands on nothing.
  player.y = rest + 1;
  EXPECT_FALSE(Carries({{x, rest - 1.0, false, false}}, up));
  EXPECT_FALSE(Carries({{x, rest - 1.0, false, false}}, rest + 1));
  player.y = rest;

  const Move drop{0, false, true, false, veltrin::routes::kMinimumPress};
  ASSERT_GE(AttributeAt(column, groundRow), kAttrSolidFrom);
  EXPECT_FALSE(Carries(CourseOf(0, drop, 150), down)) << "a hop on solid ground";
  // A one-way floor a row over the ground, the body on it.
  for (int c = column - 2; c <= column + 2; ++c) SetCell(c, groundRow - 1, 7, kAttrOneWay);
  player.y -= kCellSize, player.posY = player.y;
  EXPECT_TRUE(Carries(CourseOf(0, drop, 150), rest));
  for (int c = column - 2; c <= column + 2; ++c) SetCell(c, groundRow - 1, 0, kAttrEmpty);
  player.y = rest, player.posY = player.y;
}

// A frame observer for as long as it is in scope: a failed assertion
// leaves the test with its captures gone while the game plays on. Unlike a
// hook it also watches fixed presses, where the route player sets its own.
class ScopedWatch {
 public:
  ScopedWatch(ScriptedPlay& play, std::function<void()> watch) : play_(play) {
    play_.SetFrameObserver(std::move(watch));
  }
  ~ScopedWatch() { play_.SetFrameObserver({}); }
  ScopedWatch(const ScopedWatch&) = delete;
  ScopedWatch& operator=(const ScopedWatch&) = delete;

 private:
  ScriptedPlay& play_;
};

// The walking keys of each frame played: 1 right, -1 left, 0 neither.
class WalkKeysSeen {
 public:
  explicit WalkKeysSeen(ScriptedPlay& play)
      : watch_(play, [this] {
          ways_.push_back((padState & qz::kPadRight) != 0 ? 1 : (padState & qz::kPadLeft) != 0 ? -1 : 0);
        }) {}
  void Clear() { ways_.clear(); }
  // The shortest run of frames one walking key was held for, of those that
  // ended; -1 when none did.
  int ShortestPress() const {
    int shortest = -1, run = 0;
    for (std::size_t i = 0; i < ways_.size(); ++i) {
      run = i > 0 && ways_[i] == ways_[i - 1] ? run + 1 : 1;
      const bool ends = i + 1 < ways_.size() && ways_[i + 1] != ways_[i];
      if (ways_[i] != 0 && ends && (shortest < 0 || run < shortest)) shortest = run;
    }
    return shortest;
  }

 private:
  std::vector<int> ways_;
  ScopedWatch watch_;
};

// A stop settles up to half a cell's worth short of the column's middle
// and only a few pixels past it (a block before spikes): standing at either
// end of that span the player stays put; a pixel beyond it, it steps in with
// a whole press, prompt or late.
TEST_F(RoutePlayerTest, AStopFromRestStaysWithinItsSpanAndStepsInFromAPixelBeyond) {
  constexpr int kColumn = 10, kShort = 15, kPast = 3;
  const int middle = veltrin::routes::StandingX(kColumn);
  WalkKeysSeen keys(*play_);
  for (int delay : {0, 12}) {
    for (const int off : {-kShort, kPast, -kShort - 1, kPast + 1, -kShort - 6, kPast + 6}) {
      SCOPED_TRACE("from " + std::to_string(off) + " pixels off, reactions " + std::to_string(delay) + " late");
      player.posX = player.x = middle + off, player.velocityX = 0.0;
      veltrin::routes::RoutePlayer walker(*play_, {.reactionDelay = delay});
      ASSERT_EQ(walker.Run(Route().Wait(10)), "");
      keys.Clear();
      ASSERT_EQ(walker.Run(Route().StopAt(Column(kColumn))), "");
      const bool within = off >= -kShort && off <= kPast;
      EXPECT_EQ(player.x == middle + off, within) << "x " << player.x;
      EXPECT_EQ(keys.ShortestPress() < 0, within) << "a step taken or not";
      if (!within) {
        EXPECT_GE(keys.ShortestPress(), veltrin::routes::kMinimumPress);
      }
      EXPECT_GE(player.x, middle - kShort);
      EXPECT_LE(player.x, middle + kPast);
    }
  }
}

// On ice a walk stops only against its slide: from either side, from a
// walk just started or going on, a slide going away, coasting with nothing
// held or braking with the place just ahead, a player prompt or late comes
// to rest in the place without walking to and fro.
TEST_F(RoutePlayerTest, StopsOnIceFromEitherSideAndFromASlideEndInThePlace) {
  const Ice ice;
  constexpr int kFrom = 15;
  struct Case {
    const char* name;
    Route before;
    int columns;  // on from kFrom
    int shift = 0;  // pixels from kFrom's middle the player starts at
  };
  const Case cases[] = {
      {"from the left", Route(), 5},
      {"from the right", Route(), -6},
      {"a column on", Route(), 1},
      {"a column back", Route(), -1},
      {"walking on", Route().Press(kRight, 30), 5},
      {"sliding away", Route().Press(kRight, 30), -1},
      {"coasting on", Route().Press(kRight, 20).Wait(1), 7},
      // A late correction past the place must not be longer than the one before.
      {"coasting 2 on", Route().Press(kRight, 8).Wait(1), 2},
      {"coasting 3 on", Route().Press(kRight, 8).Wait(1), 3},
      {"coasting 4 on", Route().Press(kRight, 8).Wait(1), 4},
      {"starting to walk", Route().Press(kRight, 1), 2, 8},
      // The brake leaves the body a creep away from resting 8 pixels short.
      {"braking short of it", Route().Press(kRight, 30).Press(kLeft, 6), 4, 8},
  };
  int reversals = 0;
  double lastVelocity = 0.0;
  const ScopedWatch watch(*play_, [&] {
    if (lastVelocity * player.velocityX < 0) ++reversals;
    if (player.velocityX != 0.0) lastVelocity = player.velocityX;
  });
  for (int delay : {0, 12, 15}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", reactions " + std::to_string(delay) + " late");
      veltrin::routes::RoutePlayer walker(*play_, {.reactionDelay = delay});
      player.posX = player.x = veltrin::routes::StandingX(kFrom) + c.shift, player.velocityX = 0.0;
      ASSERT_EQ(walker.Run(Route().Wait(10).Then(c.before)), "");
      const int column = kFrom + c.columns;
      const int start = play_->frames();
      reversals = 0;
      lastVelocity = player.velocityX;
      ASSERT_EQ(walker.Run(Route().StopAt(Column(column))), "") << "to column " << column;
      EXPECT_TRUE(StandingIn(column)) << "x " << player.x << ", column " << column;
      EXPECT_LT(std::abs(player.velocityX), 0.5) << "no more than the creep braking leaves";
      EXPECT_LE(reversals, 1) << "walked to and fro";
      EXPECT_LT(play_->frames() - start, 400);
    }
  }
}

// A chest a run of fixed presses walks into opens its window in the middle
// of them: the window is answered once read and closed, also when the
// presses go on holding Jump through it (the answer must be a fresh press),
// and nothing pressed for it leaks into the play after.
TEST_F(RoutePlayerTest, AChestMetInTheMiddleOfFixedPressesIsAnsweredAndClosed) {
  const MapObjectRecord chest = floorSlots[kSlotChest];
  ASSERT_EQ(chest.active, 1);
  const int unopened = gameState.FloorProgress.floorValue[floorNumber];
  struct Case {
    const char* name;
    Route route;
  };
  const Case cases[] = {
      {"walked into", Route().Press(kRight, 20).Wait(20)},
      {"Jump held on", Route().Press(kRight, 20).Press({veltrin::routes::kKeyJump}, 60)},
  };
  bool opened = false, jumpedAfter = false;
  const ScopedWatch watch(*play_, [&] {
    opened = opened || veltrin::routes::ColumnOf(veltrin::routes::Chest()) < 0;
    jumpedAfter = jumpedAfter || (opened && player.airborne != 0);
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    floorSlots[kSlotChest] = chest;
    gameState.FloorProgress.floorValue[floorNumber] = unopened;
    gameState.FloorProgress.floorItems[floorNumber][kSlotChest] = 0;
    player.keys = 1;
    player.posX = player.x = (chest.x - 2) * kCellSize;
    player.posY = player.y = (chest.y - 1) * kCellSize;
    player.velocityX = 0.0;
    opened = jumpedAfter = false;
    veltrin::routes::RoutePlayer walker(*play_);
    ASSERT_EQ(walker.Run(c.route), "");
    EXPECT_EQ(gameState.FloorProgress.floorItems[floorNumber][kSlotChest], 1) << "the chest not opened";
    EXPECT_EQ(floorSlots[kSlotChest].active, 0);
    EXPECT_EQ(player.keys, 0);
    EXPECT_FALSE(jumpedAfter) << "a Jump meant for the window leaked into the play";
    EXPECT_EQ(player.airborne, 0);
  }
}

// An enemy is ahead once any of it is right of the player's x: one whose
// right edge is at that x is behind, a pixel more and it is ahead, right
// beside the player.
TEST_F(RoutePlayerTest, AnEnemyIsAheadFromAPixelRightOfThePlayer) {
  EnemyRecord& enemy = enemies[0];
  enemy = EnemyRecord{};
  enemy.width = enemy.height = kPlayerSpriteSize;
  enemy.bodyTop = kBodyTop, enemy.bodyBottom = kBodyBottom;
  enemy.y = player.y, enemy.life = 1;
  enemy.x = player.x - enemy.width;
  EXPECT_EQ(veltrin::routes::EnemyAhead(), -1);
  enemy.x += 1;
  EXPECT_EQ(veltrin::routes::EnemyAhead(), 0);
  enemy.life = 0;
}

// The platforms the game moves are the travelling ones, up to the last
// travelling type; a blinking platform stays where it is and is no ride.
TEST_F(RoutePlayerTest, OnlyPlatformsTheGameMovesAreMeasuredAsTravelling) {
  const int count = movingCount;
  const MapObjectRecord first = movingObjects[0];
  const int x = player.x + 4 * kCellSize, y = player.y - 4 * kCellSize;
  for (const int type : {kLastTravellingType, kLastTravellingType + 1}) {
    SCOPED_TRACE("type " + std::to_string(type));
    movingObjects[0] = MapObjectRecord{x, y, type, 1};
    movingCount = 1;
    const bool travelling = type == kLastTravellingType;
    EXPECT_EQ(veltrin::routes::PlatformDistance(x + 40), travelling ? 40 : kFieldRightPixel);
    play_->Clear();
    play_->Idle(3);
    ASSERT_TRUE(play_->RunUntil([&] { return play_->Finished(); }, 10));
    EXPECT_EQ(movingObjects[0].x != x || movingObjects[0].y != y, travelling) << "the game moved it or not";
  }
  movingObjects[0] = first;
  movingCount = count;
}

// A walk's bounds on an enemy standing ahead, met exactly and a pixel beyond,
// each the reach of a Blaze Shot at the player's level. Advancing, ground is
// held where the enemy is within a low shot's reach of where the walk would
// stop; beyond, the walk steps on towards it. A walk shoots low at once at
// one within that reach; beyond, it steps first. Ground held shoots at one
// within a standing shot's reach and holds on while it stands there; beyond,
// no shot, and the hold ends after a pause.
TEST_F(HoldGroundTest, AWalkMeetsAnEnemyStandingAheadByTheShotsReachAtItsLevel) {
  EnemyRecord* lizard = Lizard();
  ASSERT_NE(lizard, nullptr);
  for (EnemyRecord& enemy : enemies) {
    if (&enemy != lizard) enemy.life = 0;
  }
  ASSERT_TRUE(play_->RunUntil([] { return player.airborne == 0; }, 60));
  // The magic never runs dry, so a walk stands for as long as it shoots.
  player.magic = player.maxMagic, player.infiniteMagic = 1;
  const int startX = player.x;
  const veltrin::routes::Place goal = Column(startX / kCellSize + 4);
  // The route player counts 232 for a low shot at level 1 and 180 for a
  // standing one, each a flight 4 frames longer at level 2.
  enum class Walk { kAdvance, kWalkTo, kHoldGround };
  constexpr const char* kWalkNames[] = {"an advance", "a walk", "ground held"};
  struct Case {
    Walk walk;
    int level, away;
    bool steps, shoots, endsWhileItStands;
  };
  const Case cases[] = {
      {Walk::kAdvance, 1, 232, false, false, false},   {Walk::kAdvance, 1, 233, true, false, false},
      {Walk::kAdvance, 2, 264, false, false, false},   {Walk::kAdvance, 2, 265, true, false, false},
      {Walk::kWalkTo, 1, 232, false, true, false},     {Walk::kWalkTo, 1, 233, true, true, false},
      {Walk::kHoldGround, 1, 180, false, true, false}, {Walk::kHoldGround, 1, 181, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(kWalkNames[static_cast<int>(c.walk)]) + ", level " + std::to_string(c.level) + ", " +
                 std::to_string(c.away) + " px away");
    player.shotLevel[0] = c.level;
    player.posX = player.x = startX, player.velocityX = 0.0, player.facing = 1;
    for (ShotRecord& shot : playerShots) shot.inUse = 0;
    playerShotCount = 0;
    const int lizardX = startX + c.away, lizardY = player.y + kPlayerSpriteSize - lizard->bodyBottom;
    // Standing where it is put, through every shot, for longer than the
    // hold's pause: pinned alone, it would be seen a frame's step on.
    lizard->life = 1000, lizard->speed = lizard->speed2 = 0.0;
    int frames = 0;
    bool stepped = false, shot = false;
    const auto pin = [&] { lizard->posX = lizard->x = lizardX, lizard->posY = lizard->y = lizardY; };
    pin();
    const ScopedWatch pinned(*play_, [&] {
      if (lizard->life <= 0) return;
      pin();
      stepped = stepped || player.velocityX > 0.0;
      shot = shot || playerShotCount > 0;
      if (++frames == 90) lizard->life = 0;
    });
    const Route route =
        c.walk == Walk::kAdvance  ? Route().Advance(kLowShot, goal)
        : c.walk == Walk::kWalkTo ? Route().WalkTo(goal)
                                  : Route().HoldGround(kLowShot, 0);
    veltrin::routes::RoutePlayer walker(*play_);
    ASSERT_EQ(walker.Run(route), "");
    EXPECT_EQ(stepped, c.steps);
    EXPECT_EQ(shot, c.shoots);
    EXPECT_EQ(lizard->life > 0, c.endsWhileItStands);
  }
}

// On "027", from its chest: a walker hops in place right before door 0,
// where a leap over it lands. With the magic for a shot (filled, or a prompt
// player's one shot) the walk waits for it on the ground, a low shot passing
// under it until it comes down to the shot's line, and shoots it; a point
// short of a shot's cost, it is leapt as ever.
TEST_F(RoutePlayerTest, AWalkerHoppingCloseAheadIsWaitedForAndShotWithMagicAndLeaptShortOfAShot) {
  const int cost = ShotMagicCost(0);
  constexpr int kHopperX = 2176, kFilled = -1;
  const struct {
    int late, magic;
    bool shot;
  } cases[] = {{0, kFilled, true}, {0, cost, true}, {0, cost - 1, false}, {12, kFilled, true}, {12, cost - 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE("magic " + std::to_string(c.magic) + ", reactions " + std::to_string(c.late) + " late");
    Enter("sky", "027");
    veltrin::routes::RoutePlayer walker(*play_, {.reactionDelay = c.late});
    ASSERT_EQ(walker.Run(veltrin::testing::SignAndMagic().OpenChest()), "");
    const EnemyRecord* hopper = nullptr;
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.flying == 0 && enemy.x == kHopperX) hopper = &enemy;
    }
    ASSERT_NE(hopper, nullptr);
    if (c.magic != kFilled) player.magic = c.magic;
    bool leftTheGround = false, passed = false;
    const ScopedWatch watch(*play_, [&] {
      if (hopper->life <= 0) return;
      leftTheGround = leftTheGround || player.airborne != 0;
      passed = passed || player.x > hopper->x;
    });
    EXPECT_EQ(walker.Run(Route().WalkTo(veltrin::routes::Door(0))), "");
    EXPECT_EQ(player.dead, 0);
    EXPECT_EQ(leftTheGround, !c.shot) << "a leap while the hopper lived";
    EXPECT_EQ(hopper->life <= 0, c.shot);
    EXPECT_EQ(passed, !c.shot) << "past the hopper alive";
  }
}

}  // namespace
