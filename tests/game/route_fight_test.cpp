// A fight's height against the floor it is fought on: from the floor over
// the ground the player climbs there and stays, and one told to fight where
// it stands stays on the ground under that floor. A fight judges the bullets
// against the body as its keys hold it, standing or crouched. A fight off its
// place walks back there. A fight until a new look ends when a live boss shows
// another sheet, and for nothing else. A fight to a boss's rhythm shoots from
// above, drops below as her attacks come due and leaves no frame hook.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/game_state.h"
#include "game/player.h"
#include "game/pools.h"
#include "game/shot_record.h"
#include "tests/game/campaign_replay.h"
#include "tools/route_player.h"

namespace {

using veltrin::routes::FightSettings;
using veltrin::testing::CampaignAreaTest;
using veltrin::testing::ScriptedPlay;

// The floor's boss with its own fire stopped, so only a test's bullets fly;
// null on a floor without one.
EnemyRecord* SilencedBoss() {
  auto* boss = const_cast<EnemyRecord*>(veltrin::routes::Boss());
  if (boss != nullptr) boss->volleysPerBurst[0] = 0;
  return boss;
}

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

// The Butterfly's hall as its route fights it, to her rhythm: the player
// shoots her from the floor over and drops to the ground as her attacks come
// due, lives, and leaves no frame hook behind when the fight ends.
TEST_F(CampaignAreaTest, AFightToTheRhythmShootsFromAboveDropsBelowAndCleansUp) {
  StartArea("forest", "055");
  ScriptedPlay play;
  ASSERT_TRUE(play.RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
  const veltrin::routes::Place branch = veltrin::routes::Mark("branch");
  veltrin::routes::RoutePlayer fighter(play);
  ASSERT_EQ(fighter.Run(veltrin::routes::Route().ReadSign().StopAt(branch)), "");
  const int ground = player.y;
  const EnemyRecord* boss = veltrin::routes::Boss();
  ASSERT_NE(boss, nullptr);
  const int life = boss->life;
  bool above = false, below = false;
  play.SetFrameObserver([&] {
    if (player.airborne != 0) return;
    above = above || player.y < ground;
    below = below || (above && player.y == ground);
  });
  const FightSettings how{.place = branch, .height = FightSettings::Height::kFloorOver, .toRhythm = true,
                          .frameLimit = 900};
  const std::string outcome = fighter.Run(veltrin::routes::Route().Fight({veltrin::routes::kKeyShot}, how));
  play.SetFrameObserver({});
  EXPECT_EQ(outcome, "step 0 Fight X: the boss still stands");
  EXPECT_EQ(player.dead, 0);
  EXPECT_LT(boss->life, life) << "never shot her";
  EXPECT_TRUE(above) << "never on the floor over";
  EXPECT_TRUE(below) << "never dropped to the ground";
  EXPECT_FALSE(play.HasFrameHook());
}

// The wisp's hall, its own fire stopped: one bullet flies in level with the
// head of a player standing and over one crouched. A fight that stands
// dodges it; one that crouches lets it pass and does not move; one told to
// dodge nothing stands and takes it (a life of one), however late the
// player reacts.
TEST_F(CampaignAreaTest, AFightJudgesBulletsAgainstTheBodyItsKeysHold) {
  struct Case {
    const char* name;
    bool crouched;
    int horizon, late;
    bool struck;
  };
  for (const Case& c : {Case{"standing", false, 40, 0, false}, Case{"crouched", true, 40, 0, false},
                        Case{"dodging nothing, late", false, 0, 12, true}}) {
    SCOPED_TRACE(c.name);
    StartArea("cave", "025");
    ScriptedPlay play;
    ASSERT_TRUE(play.RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
    EnemyRecord* boss = SilencedBoss();
    ASSERT_NE(boss, nullptr);
    EmptyBulletPool();
    PlayerRecord low = player;
    low.squat = 1;
    const BulletTarget standing = PlayerTarget(player), crouching = PlayerTarget(low);
    ASSERT_LT(standing.top + 2, crouching.top) << "a crouch lowers the head";
    ShotRecord& bullet = enemyBullets[0];
    bullet = ShotRecord{};
    bullet.x = player.x + 200, bullet.y = (standing.top + crouching.top) / 2 - kBulletHitOffset, bullet.vx = -3.0;
    bullet.life = kBulletLife, bullet.power = 1, bullet.inUse = 1;
    bulletCount = 1;
    const int x = player.x, y = player.y;
    veltrin::routes::Keys keys{veltrin::routes::kKeyShot};
    if (c.crouched) keys.insert(veltrin::routes::kKeyDown);
    veltrin::routes::RoutePlayer fighter(play, {.reactionDelay = c.late});
    const std::string outcome =
        fighter.Run(veltrin::routes::Route().Fight(keys, {.horizon = c.horizon, .frameLimit = 120}));
    const std::string step = "step 0 Fight " + veltrin::testing::LettersOf(keys) + ": ";
    EXPECT_EQ(outcome.substr(0, step.size() + 4), step + (c.struck ? "died" : "the "));
    if (c.crouched) {
      EXPECT_EQ(player.x, x) << "moved";
      EXPECT_EQ(player.y, y) << "jumped";
    }
  }
}

// The Butterfly's hall, her fire stopped: a fight that starts cells off its
// place walks back, from either side, in one press whose slide stops in the
// place (however late the player reacts), and turns to her; one a little off
// it, within the slack a turn may carry it, stays where it stands.
TEST_F(CampaignAreaTest, AFightWalksBackToItsPlaceOnlyFromOutOfIt) {
  StartArea("forest", "055");
  ScriptedPlay play;
  ASSERT_TRUE(play.RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
  EnemyRecord* boss = SilencedBoss();
  ASSERT_NE(boss, nullptr);
  const veltrin::routes::Place branch = veltrin::routes::Mark("branch");
  const int place = veltrin::routes::StandingX(veltrin::routes::ColumnOf(branch));
  ASSERT_GT(boss->x, place) << "she is meant to be right of the branch";
  veltrin::routes::RoutePlayer fighter(play, {.reactionDelay = 12});
  ASSERT_EQ(fighter.Run(veltrin::routes::Route().StopAt(branch)), "");
  // Left of the place the walk back goes towards her; right of it, away and
  // then turned.
  for (const int off : {-4 * kCellSize, 20, -20, 3 * kCellSize}) {
    SCOPED_TRACE(off);
    player.posX = player.x = place + off;
    player.velocityX = 0.0;
    // Where the body first comes to rest once it has moved: a walk back of
    // short presses, their ends a reaction late, overshoots and turns about.
    std::optional<int> stop;
    play.SetFrameHook([&] {
      if (!stop && player.x != place + off && player.velocityX == 0.0) stop = player.x;
    });
    const FightSettings how{.place = branch, .horizon = 0, .frameLimit = 90};
    EXPECT_EQ(fighter.Run(veltrin::routes::Route().Fight({veltrin::routes::kKeyShot}, how)),
              "step 0 Fight X: the boss still stands");
    play.SetFrameHook({});
    if (std::abs(off) >= kCellSize) {
      ASSERT_TRUE(stop.has_value()) << "never walked back";
      EXPECT_LT(std::abs(*stop - place), kCellSize) << "first stopped out of place";
      EXPECT_LT(std::abs(player.x - place), kCellSize) << "ended out of place";
    } else {
      EXPECT_EQ(player.x, place + off) << "moved though in place";
    }
    EXPECT_EQ(player.facing, 1) << "not turned to her";
  }
}

// The slime's hall (boss 0, the lowest index), its fire stopped and its life
// at 1 (the least a live boss has): a fight until a new look, firing nothing,
// ends only when a live boss's sheet changes, not a live walker's nor a freed
// record's marked as a boss.
TEST_F(CampaignAreaTest, AFightUntilANewLookEndsOnlyWhenALiveBossShowsAnotherSheet) {
  enum class Changed { kNothing, kBoss, kWalker, kFreedBoss };
  for (const Changed changed : {Changed::kNothing, Changed::kBoss, Changed::kWalker, Changed::kFreedBoss}) {
    SCOPED_TRACE(static_cast<int>(changed));
    StartArea("meadow", "010");
    ScriptedPlay play;
    ASSERT_TRUE(play.RunUntil([] { return veltrin::testing::OnFloorPlay(); }, 200));
    EnemyRecord* boss = SilencedBoss();
    ASSERT_NE(boss, nullptr);
    ASSERT_EQ(boss->bossIndex, 0);
    boss->life = 1;
    // Two free records: a walker far off, and one freed though marked as a boss.
    EnemyRecord* walker = nullptr;
    EnemyRecord* freed = nullptr;
    for (EnemyRecord& e : enemies) {
      if (e.life > 0 || &e == boss) continue;
      (walker == nullptr ? walker : freed) = &e;
      if (freed != nullptr) break;
    }
    ASSERT_NE(freed, nullptr);
    *walker = EnemyRecord{}, walker->life = 5, walker->bossIndex = -1, walker->x = boss->x, walker->y = -400;
    *freed = EnemyRecord{}, freed->life = 0, freed->bossIndex = 0;
    EnemyRecord* looks = changed == Changed::kBoss     ? boss
                         : changed == Changed::kWalker ? walker
                         : changed == Changed::kFreedBoss ? freed
                                                           : nullptr;
    play.SetFrameHook([&, frame = 0]() mutable {
      if (++frame == 30 && looks != nullptr) looks->sheetSlot += 1;
    });
    veltrin::routes::RoutePlayer fighter(play);
    const std::string outcome = fighter.Run(
        veltrin::routes::Route().Fight({}, {.untilNewLook = true, .horizon = 0, .frameLimit = 120}));
    play.SetFrameHook({});
    EXPECT_EQ(outcome, changed == Changed::kBoss ? "" : "step 0 Fight -: the boss still stands");
  }
}

}  // namespace
