// Enemy attacks and the behaviours with numbers to check, headless on a
// walled generated floor: the attack clock and its bursts, volley geometry
// and bullet kinds, bullets that pass, split, re-aim and make blocks, the
// laser beam, the lurking and distance-keeping walkers, and the moon's phases.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "core/random.h"
#include "tests/game/enemy_fixture.h"

namespace {

using qz::testing::EnemyTest;

constexpr double kPi = 3.14159265358979323846;

// The live bullets, in pool order.
std::vector<const ShotRecord*> LiveBullets() {
  std::vector<const ShotRecord*> live;
  for (const ShotRecord& b : enemyBullets) {
    if (b.inUse != 0) live.push_back(&b);
  }
  return live;
}

// A bullet at (x, y) of kind (graphicBase, colourRow) with `life` frames
// left, still; its hit point is kBulletHitOffset in.
ShotRecord Bullet(double x, double y, int graphicBase, int colourRow, int life, int mode = 0) {
  ShotRecord b{};
  b.x = x, b.y = y;
  b.graphicBase = graphicBase, b.colourRow = colourRow;
  b.life = life, b.mode = mode, b.power = 10;
  b.inUse = 1;
  return b;
}

// The bullet, moving, in the game's pool.
ShotRecord& AddBullet(double x, double y, double vx, double vy, int graphicBase, int colourRow, int life, int mode) {
  ShotRecord& b = enemyBullets[FindFreeSlot(kPoolEnemyBullets)];
  b = Bullet(x, y, graphicBase, colourRow, life, mode);
  b.vx = vx, b.vy = vy;
  ++bulletCount;
  return b;
}

// A live bullet held in place with `life` frames left.
void Hold(const ShotRecord* live, int life) {
  ShotRecord& b = *const_cast<ShotRecord*>(live);
  b.life = life;
  b.vx = b.vy = 0.0;
}

// The frames out of the next `n` in which an enemy fired (bullets that hit
// the player are gone by the end of the frame, so the pool's count is watched
// frame by frame).
template <typename Frame>
int FramesFiring(int n, Frame frame) {
  int firing = 0;
  for (int i = 0; i < n; ++i) {
    const int before = bulletCount;
    frame();
    if (bulletCount > before) ++firing;
  }
  return firing;
}

TEST_F(EnemyTest, TheAttackClockFiresBurstsAndNeverWithoutSlotZeroVolleys) {
  // A standing blue slime, its attacks set here; bullets of speed 0 stay put.
  EnterFloor(1, {{20, 42, 0}});
  PlacePlayer(2000);
  EnemyRecord& e = enemies[0];
  e.volleysPerBurst[1] = e.volleysPerBurst[2] = 5;
  e.slotChance[0] = 0;
  Frames(300);
  EXPECT_EQ(bulletCount, 0) << "slot 0 without volleys never fires";

  e.volleysPerBurst[0] = 32;
  e.slotChance[0] = 100;
  e.burstInterval[0] = 2;
  e.aimMode[0] = 6;
  e.attackTimer = 0;
  std::vector<int> volleys;
  for (int frame = 1; frame <= 263; ++frame) {
    const int before = bulletCount;
    Frames(1);
    if (bulletCount > before) volleys.push_back(frame);
  }
  std::vector<int> expected;
  for (int v = 0; v < 32; ++v) expected.push_back(100 + 2 * v);
  expected.push_back(162 + 100);
  EXPECT_EQ(volleys, expected) << "32 volleys 2 frames apart, then the base interval";
}

TEST_F(EnemyTest, VolleysSpreadAboutTheAimAndTakeTheirBulletKind) {
  EnterFloor(1, {{20, 42, 0}});
  PlacePlayer(1200);  // right of the slime: it faces right
  EnemyRecord& e = enemies[0];
  e.facing = 1;
  const auto fire = [&](int kind, int bullets, int aim) {
    EmptyBulletPool();
    e.volleysPerBurst[0] = 1, e.bulletsPerVolley[0] = bullets, e.aimMode[0] = aim;
    e.bulletKind[0] = kind, e.spreadDivisor[0] = 8, e.bulletSpeed[0] = 2.0, e.bulletColour[0] = 1;
    e.attackTimer = e.attackInterval;
    UpdateEnemyAttack(0);
  };
  fire(8, 5, 0);
  std::vector<const ShotRecord*> live = LiveBullets();
  ASSERT_EQ(live.size(), 5u);
  for (int j = 0; j < 5; ++j) {
    EXPECT_NEAR(live[j]->angle, -kPi / 4 + j * kPi / 8, 1e-12);
    EXPECT_DOUBLE_EQ(live[j]->x, e.x + e.bodyRight - 2) << "muzzle at the body's right edge";
    EXPECT_EQ(std::tie(live[j]->graphicBase, live[j]->colourRow, live[j]->blastSize), std::make_tuple(0, 5, 3));
    EXPECT_DOUBLE_EQ(live[j]->ay, 0.08);
  }
  // A line burst is as long as its slot's count (none is one), each bullet
  // the step faster than the one before.
  for (const auto& [count, fired] : {std::pair{48, 48u}, std::pair{24, 24u}, std::pair{1, 1u}, std::pair{0, 1u}}) {
    fire(18, count, 0);
    live = LiveBullets();
    ASSERT_EQ(live.size(), fired) << "a line burst of " << count;
    EXPECT_DOUBLE_EQ(std::hypot(live.back()->vx, live.back()->vy), 2.0 + 0.15 * (fired - 1));
    EXPECT_EQ(live[0]->life, 180);
    EXPECT_EQ(live[0]->colourRow, 1);
  }
  fire(19, 1, 1);
  live = LiveBullets();
  ASSERT_EQ(live.size(), 1u);
  EXPECT_EQ(live[0]->mode, 3) << "re-aiming bullets turn three times";
  EXPECT_EQ(live[0]->life, 320);
}

TEST_F(EnemyTest, BulletsPassSplitAndReaim) {
  EnterFloor(1, {});
  PlacePlayer(200);
  // In the wall of row 44: an ordinary bullet ends, graphicBase 3 passes.
  AddBullet(1000, 1420, 0, 0, 0, 0, 300, 0);
  ShotRecord& passing = AddBullet(1100, 1420, 0, 0, 3, 0, 300, 0);
  Frames(1);
  ASSERT_EQ(LiveBullets().size(), 1u);
  EXPECT_EQ(LiveBullets()[0], &passing);
  EmptyBulletPool();

  // A splitting bullet splits once into five that do not split again.
  AddBullet(1000, 800, 0, 0, 3, 4, 119, 0);
  Frames(1);
  std::vector<const ShotRecord*> live = LiveBullets();
  ASSERT_EQ(live.size(), 5u);
  for (const ShotRecord* b : live) {
    EXPECT_EQ(b->graphicBase, 9);
    EXPECT_EQ(b->colourRow, 4);
    EXPECT_DOUBLE_EQ(std::hypot(b->vx, b->vy), 7.0);
    Hold(b, 100);
  }
  Frames(1);
  EXPECT_EQ(LiveBullets().size(), 5u);
  EmptyBulletPool();

  // A re-aiming bullet of mode 3 turns three times; the fourth time it ends.
  AddBullet(1000, 800, 0, 0, 9, 7, 259, 3);
  for (int turn = 3; turn >= 0; --turn) {
    live = LiveBullets();
    ASSERT_EQ(live.size(), 1u) << turn;
    EXPECT_EQ(live[0]->mode, turn);
    Hold(live[0], 259);
    Frames(1);
  }
  EXPECT_EQ(bulletCount, 0);
}

// A look-ahead judges and flies copies with the game's functions: the copy
// turns at the player on the frame the game's bullet does, into the bullet
// the game fires, and strikes the player when the game's does, drawing none
// of the game's random numbers on the way.
TEST_F(EnemyTest, ACopyJudgedAndFlownAsTheGameFliesItForeseesTheTurnAndTheHit) {
  EnterFloor(1, {});
  PlacePlayer(200);
  AddBullet(player.x + 300, player.y - 100, 1.5, -0.5, 9, 7, kReaimBelowLife + 5, 1);
  ShotRecord copy = *LiveBullets()[0];
  std::vector<ShotRecord> flights{copy};
  int turnedAt = -1, hitAt = -1;
  const int life = player.life;
  qz::SeedRandom(77);
  for (int t = 0; t < 200 && hitAt < 0; ++t) {
    const BulletTarget target = PlayerTarget(player);
    std::vector<ShotRecord> next;
    for (ShotRecord& b : flights) {
      const BulletFate fate = JudgeEnemyBullet(b, target);
      if (fate == BulletFate::kHitsPlayer) hitAt = t;
      if (fate == BulletFate::kReaims) {
        turnedAt = t;
        const BulletFork fork = ForkEnemyBullet(b, target);
        ASSERT_EQ(fork.count, 1);
        EXPECT_EQ(fork.bullets[0].mode, 0);
        next.push_back(fork.bullets[0]);
      }
      if (fate != BulletFate::kFlies) continue;
      FlyEnemyBullet(b);
      next.push_back(b);
    }
    flights = next;
  }
  const std::uint32_t drawn = qz::NextRandomWord();
  qz::SeedRandom(77);
  EXPECT_EQ(drawn, qz::NextRandomWord()) << "the look-ahead drew from the game's generator";
  ASSERT_GE(turnedAt, 0);
  ASSERT_GT(hitAt, turnedAt);
  Frames(turnedAt);
  EXPECT_EQ(LiveBullets()[0]->mode, 1) << "not turned before the foreseen frame";
  Frames(1);
  ASSERT_EQ(LiveBullets().size(), 1u);
  EXPECT_EQ(LiveBullets()[0]->mode, 0) << "turned on the foreseen frame";
  Frames(hitAt - turnedAt - 1);
  EXPECT_EQ(player.life, life);
  Frames(1);
  EXPECT_LT(player.life, life) << "struck on the foreseen frame";
}

// A bullet's fate on each side of each bound: the body is struck on its edge
// pixels and missed a pixel outside them, and only while open; a bullet with
// a frame of life left is judged, one with none goes; while a fade runs none
// is judged; the first solid attribute stops a plain bullet and a one-way cell
// does not; splitting and re-aiming come on the first frame below their lives,
// a bullet out of turns still going at its turn. A player's body is open
// unless blinking or beaten, and a lowered squat lowers its top.
TEST_F(EnemyTest, ABulletsFateTurnsOnEachSideOfEachBound) {
  EnterFloor(1, {});
  const BulletTarget body{500, 524, 700, 748, true, 512, 724};
  // Bullets whose hit points are on the body's top-left pixel, in a one-way
  // cell and in a solid one two columns on; (1000, 800) is in the open.
  const int x = body.left - kBulletHitOffset, y = body.top - kBulletHitOffset;
  SetCell(34, 25, 1, kAttrOneWay);
  SetCell(36, 25, 1, kAttrSolidFrom);
  const int cellX = 34 * kCellSize - kBulletHitOffset, cellY = 25 * kCellSize - kBulletHitOffset, wallX = cellX + 64;
  struct Case {
    const char* what;
    ShotRecord bullet;
    BulletFate fate;
    int fade = 0;
    bool open = true;
  };
  using enum BulletFate;
  const auto plain = [](int bx, int by, int life = 300) { return Bullet(bx, by, 0, 5, life); };
  const auto splitting = [](int life) { return Bullet(1000, 800, 3, 4, life); };
  const auto reaiming = [](int life, int turns) { return Bullet(1000, 800, 9, 7, life, turns); };
  const Case cases[] = {
      {"top-left pixel", plain(x, y), kHitsPlayer},        {"a pixel left", plain(x - 1, y), kFlies},
      {"a pixel above", plain(x, y - 1), kFlies},          {"bottom-right pixel", plain(x + 24, y + 48), kHitsPlayer},
      {"a pixel right", plain(x + 25, y + 48), kFlies},    {"a pixel below", plain(x + 24, y + 49), kFlies},
      {"on a shut body", plain(x, y), kFlies, 0, false},   {"in a fade", plain(x, y), kFlies, 1},
      {"in the other fade", plain(x, y), kFlies, 2},       {"a frame of life left", plain(1000, 800, 1), kFlies},
      {"no life left", plain(1000, 800, 0), kGone},        {"in a one-way cell", plain(cellX, cellY), kFlies},
      {"in a solid cell", plain(wallX, cellY), kStrikesWall}, {"a pixel short of it", plain(wallX - 1, cellY), kFlies},
      {"splitting at its life", splitting(kSplitBelowLife), kFlies},
      {"splitting below it", splitting(kSplitBelowLife - 1), kSplits},
      {"re-aiming at its life", reaiming(kReaimBelowLife, 1), kFlies},
      {"re-aiming below it", reaiming(kReaimBelowLife - 1, 1), kReaims},
      {"out of turns below it", reaiming(kReaimBelowLife - 1, 0), kReaims},
  };
  for (const Case& c : cases) {
    fadeRequest = c.fade;
    BulletTarget target = body;
    target.open = c.open;
    EXPECT_EQ(JudgeEnemyBullet(c.bullet, target), c.fate) << c.what;
  }
  fadeRequest = 0;

  struct Player {
    const char* what;
    int squat, blinking, life, top;
    bool open;
  };
  for (const Player& c : {Player{"standing, a life left", 0, 0, 1, 608, true}, {"blinking", 0, 1, 1, 608, false},
                          {"beaten", 0, 0, 0, 608, false}, {"squatting", 1, 0, 1, 636, true}}) {
    PlayerRecord p = player;
    p.x = 400, p.y = 600, p.squat = c.squat, p.invulnerableFrames = c.blinking, p.life = c.life;
    const BulletTarget target = PlayerTarget(p);
    EXPECT_EQ(target.open, c.open) << c.what;
    EXPECT_EQ(target.top, c.top) << c.what;
    EXPECT_EQ(target.bottom, 656) << c.what;
  }
}

// A split fans kSplitBullets about the line to the target; a re-aim fires one
// with a turn fewer, and a bullet out of turns fires none.
TEST_F(EnemyTest, ASplitFansAboutThePlayerAndAReaimSpendsATurn) {
  EnterFloor(1, {});
  const BulletTarget target{0, 24, 0, 48, true, 1100, 900};  // 45 degrees below, right
  const BulletFork fan = ForkEnemyBullet(Bullet(1000, 800, 3, 4, 100), target);
  ASSERT_EQ(fan.count, kSplitBullets);
  for (int j = 0; j < fan.count; ++j) {
    const ShotRecord& b = fan.bullets[j];
    EXPECT_NEAR(std::atan2(b.vy, b.vx), kPi / 4 + (j - 2) * kPi / 8, 1e-9) << j;
    EXPECT_DOUBLE_EQ(std::hypot(b.vx, b.vy), kSplitBulletSpeed);
    EXPECT_EQ(std::tie(b.life, b.mode, b.power), std::make_tuple(255, 0, 10));
    EXPECT_FALSE(SplitsAtPlayer(b)) << "a fan's bullet splits no more";
  }

  const BulletFork turn = ForkEnemyBullet(Bullet(1000, 800, 9, 7, 200, 3), target);
  ASSERT_EQ(turn.count, 1);
  EXPECT_EQ(std::tie(turn.bullets[0].mode, turn.bullets[0].life), std::make_tuple(2, kBulletLife));
  EXPECT_NEAR(turn.bullets[0].angle, kPi / 4, 1e-9);
  EXPECT_DOUBLE_EQ(std::hypot(turn.bullets[0].vx, turn.bullets[0].vy), kReaimedBulletSpeed);
  EXPECT_EQ(ForkEnemyBullet(Bullet(1000, 800, 9, 7, 200, 1), target).bullets[0].mode, 0);
  EXPECT_EQ(ForkEnemyBullet(Bullet(1000, 800, 9, 7, 200, 0), target).count, 0);
  EXPECT_EQ(ForkEnemyBullet(Bullet(1000, 800, 0, 5, 200, 3), target).count, 0) << "a plain bullet forks none";
}

// A flight moves by the speed, then pulls the speed; the life falls by one
// and the picture steps every fifth flight through three frames.
TEST_F(EnemyTest, AFlownBulletMovesThenFallsAndTurnsItsPictureEveryFifthFrame) {
  ShotRecord b = Bullet(1000, 800, 0, 7, 300);
  b.vx = 1.5, b.vy = -2.0, b.ax = 0.0, b.ay = 0.08;
  FlyEnemyBullet(b);
  EXPECT_DOUBLE_EQ(b.x, 1001.5);
  EXPECT_DOUBLE_EQ(b.y, 798.0);
  EXPECT_DOUBLE_EQ(b.vx, 1.5);
  EXPECT_DOUBLE_EQ(b.vy, -1.92);
  EXPECT_EQ(b.life, 299);
  std::vector<int> frames{b.animFrame};
  for (int t = 1; t < 16; ++t) {
    FlyEnemyBullet(b);
    frames.push_back(b.animFrame);
  }
  EXPECT_EQ(frames, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 0, 0}));
}

// The live effects of kind `kind`.
int EffectsOfKind(int kind) {
  return static_cast<int>(std::count_if(std::begin(effects), std::end(effects),
                                        [kind](const EffectRecord& e) { return e.inUse != 0 && e.kind == kind; }));
}

// In the game's frame: a bullet stopped by a wall sparks there, a block-maker
// builds only once it is 16 frames from its muzzle (in the cell it enters the
// ground from; also on the first solid attribute), a fork bursts only when it
// fires, and a split whose first bullet takes the pool's first slot keeps the
// whole fan.
TEST_F(EnemyTest, ABulletEndingInTheGameSparksBuildsAndBurstsOnItsBounds) {
  constexpr int kBurstEffect = 14;
  EnterFloor(1, {});
  PlacePlayer(200);
  const int sparks = EffectsOfKind(kBulletSparkEffect);
  AddBullet(500 - 12, 1410 - 12, 0, 8, 6, 5, kBulletLife - 16, 0);
  Frames(1);
  EXPECT_EQ(timedCellCount, 0) << "too near its muzzle to build";
  EXPECT_EQ(EffectsOfKind(kBulletSparkEffect), sparks + 1);
  AddBullet(500 - 12, 1410 - 12, 0, 8, 6, 5, kBulletLife - 17, 0);
  Frames(1);
  EXPECT_EQ(timedCellCount, 1);
  EXPECT_EQ(AttributeAt(15, 43), kAttrSolidBlock);
  EXPECT_EQ(ChipAt(15, 43), 1);
  EXPECT_EQ(bulletCount, 0);
  SetCell(40, 30, 1, kAttrSolidFrom);
  AddBullet(40 * 32 - 12, 30 * 32 - 12 + 4, 0, 8, 6, 5, 200, 0);
  Frames(1);
  EXPECT_EQ(timedCellCount, 2) << "the first solid attribute builds too";
  EXPECT_EQ(AttributeAt(40, 29), kAttrSolidBlock);

  EmptyBulletPool();
  const int bursts = EffectsOfKind(kBurstEffect);
  AddBullet(1000, 800, 0, 0, 9, 7, kReaimBelowLife - 1, 0);
  Frames(1);
  EXPECT_EQ(bulletCount, 0);
  EXPECT_EQ(EffectsOfKind(kBurstEffect), bursts) << "out of turns: nothing fired";
  AddBullet(1000, 800, 0, 0, 9, 7, kReaimBelowLife - 1, 1);
  Frames(1);
  EXPECT_EQ(bulletCount, 1);
  EXPECT_EQ(EffectsOfKind(kBurstEffect), bursts + 1);

  EmptyBulletPool();
  AddBullet(1000, 400, 0, 0, 0, 5, 300, 0);
  AddBullet(1000, 800, 0, 0, 3, 4, kSplitBelowLife - 1, 0);
  enemyBullets[0].inUse = 0;
  --bulletCount;
  Frames(1);
  EXPECT_EQ(LiveBullets().size(), static_cast<std::size_t>(kSplitBullets));
  EXPECT_EQ(enemyBullets[0].inUse, 1) << "the fan's first bullet in slot 0";
}

TEST_F(EnemyTest, ABombBulletExplodesOnWallsButNotOnThePlayer) {
  EnterFloor(1, {});
  PlacePlayer(200);  // box 220..244 by 1352..1400
  ShotRecord& onPlayer = AddBullet(220, 1360, 2.0, 0, 0, 7, 300, 0);
  onPlayer.blastSize = 1;
  Frames(1);
  EXPECT_EQ(player.life, 90);
  EXPECT_EQ(player.invulnerableFrames, 0) << "a direct hit does not explode";
  EXPECT_DOUBLE_EQ(player.velocityX, 2.5);

  // Into the ground just under the player's feet: the blast reaches it.
  ShotRecord& intoWall = AddBullet(220, 1402, 0, 0, 0, 7, 300, 0);
  intoWall.blastSize = 1;
  Frames(1);
  EXPECT_EQ(bulletCount, 0);
  EXPECT_LT(player.life, 90);
  EXPECT_GT(player.invulnerableFrames, 0);
}

TEST_F(EnemyTest, ALaserBeamStopsAtTheFirstSolidCellAndHurtsOncePerWindow) {
  EnterFloor(1, {{20, 40, 9}});  // a laser trap firing left
  for (int row = 30; row < 44; ++row) SetCell(10, row, 1, kAttrSolidBlock);
  PlacePlayer(250);  // behind the wall at column 10
  player.y = 40 * 32 - 24;  // the body box spans the beam's rows
  player.posY = player.y;
  player.velocityY = 0.0;
  Frames(1);
  EXPECT_EQ(player.life, 100);
  player.x = 500;
  player.posX = player.x;
  Frames(1);
  EXPECT_EQ(player.life, 95);
  EXPECT_EQ(player.invulnerableFrames, 64);
  Frames(1);
  EXPECT_EQ(player.life, 95) << "once per invulnerable window";
}

TEST_F(EnemyTest, ALurkerWakesNearThePlayerAndARatKeepsItsDistance) {
  // Set 6: slot 2 the lurking snake (type 34, speed 5), slot 3 the rat (35).
  EnterFloor(6, {{40, 42, 2}});
  PlacePlayer(400);
  Frames(5);
  EXPECT_EQ(enemies[0].behaviour, 34);
  EXPECT_EQ(enemies[0].x, 40 * 32) << "waits";
  PlacePlayer(40 * 32 - kLurkerWakeDistance - 1);
  Frames(5);
  EXPECT_EQ(enemies[0].behaviour, 34) << "a pixel short of waking";
  PlacePlayer(40 * 32 - kLurkerWakeDistance);
  Frames(2);
  EXPECT_EQ(enemies[0].behaviour, 1);
  EXPECT_LT(enemies[0].x, 40 * 32) << "walks once awake";
  // Woken, it is on the screen and far enough off for a person to meet its
  // charge: at 5 pixels a frame it touches the body only after 36 frames.
  EXPECT_LT(enemies[0].x + enemies[0].bodyLeft - cameraX, kViewWidth);
  int frames = 2;
  while (frames < 120 && player.life == player.maxLife) Frames(1), ++frames;
  EXPECT_GE(frames, 36);
  EXPECT_LT(frames, 120) << "the charge does arrive";

  EnterFloor(6, {{40, 42, 3}});
  enemies[0].volleysPerBurst[0] = 0;
  PlacePlayer(40 * 32 - 100);
  Frames(4);
  EXPECT_GT(enemies[0].x, 40 * 32) << "too close: walks away";
  PlacePlayer(40 * 32 - 600);
  const int far = enemies[0].x;
  Frames(4);
  EXPECT_LT(enemies[0].x, far) << "too far: walks towards the player";
}

// A green slime's roller is held while the player stands within 128 pixels
// in front of its muzzle, where nobody could jump it, and fired at once the
// player stands past that. A jump over the lane there comes down into the
// roller too (a player shooting the slime from the air landed on it): held
// as well; standing on a ledge as high, the player is out of its way.
TEST_F(EnemyTest, AGreenSlimeHoldsItsRollerWhileThePlayerIsPointBlank) {
  const auto step = [] { Frames(1); };
  EnterFloor(1, {{40, 42, 1}});
  PlacePlayer(40 * 32 - 200);
  Frames(1);
  const int muzzle = EnemyMuzzle(enemies[0]).x;
  struct Case {
    const char* what;
    int ahead, over, airborne;
    bool fires;
  };
  for (const Case& c : {Case{"point-blank", 127, 0, 0, false}, {"just out of range", 128, 0, 0, true},
                        {"in a jump over the lane, point-blank", 127, 3 * 32, 1, false},
                        {"in a jump over the lane, just out of range", 128, 3 * 32, 1, true},
                        {"on a ledge over the lane, point-blank", 127, 3 * 32, 0, true}}) {
    // The pool emptied first: a roller striking the wall as the next is
    // fired would hide it from the count.
    EmptyBulletPool();
    PlacePlayer(muzzle - c.ahead - 32);
    player.posY = player.y -= c.over;
    player.airborne = c.airborne;
    // Held through many attacks, or fired once in one.
    EXPECT_EQ(FramesFiring(c.fires ? enemies[0].baseInterval + 1 : 500, step), c.fires ? 1 : 0) << c.what;
  }
}

// Point-blank on every side, either way the enemy faces: 128 pixels ahead of
// the muzzle and 32 behind, the body's middle within 64 of its height, and
// any height above in the air.
TEST_F(EnemyTest, PointBlankEndsOnEachSideOfItsBounds) {
  EnemyRecord shooter{};
  const BulletStart muzzle{1000, 600};
  struct Case {
    int ahead, below, airborne;
    bool pointBlank;
  };
  for (const Case& c : {Case{127, 0, 0, true}, {128, 0, 0, false}, {-31, 0, 0, true}, {-32, 0, 0, false},
                        {0, 63, 0, true}, {0, 64, 0, false}, {0, 64, 1, false}, {0, -63, 0, true},
                        {0, -64, 0, false}, {0, -300, 1, true}}) {
    for (const int facing : {-1, 1}) {
      shooter.facing = facing;
      player.x = muzzle.x - 32 + c.ahead * facing;
      player.y = muzzle.y - 32 + c.below;
      player.airborne = c.airborne;
      EXPECT_EQ(PointBlank(shooter, muzzle), c.pointBlank)
          << "ahead " << c.ahead << ", below " << c.below << ", airborne " << c.airborne << ", facing " << facing;
    }
  }
}

// A boss's attack clock waits while its body is off the screen: the
// Butterfly (set 4, slot 6) fires only once the player comes near, her
// opening delay counted from then.
TEST_F(EnemyTest, ABossFiresOnlyWhileOnScreen) {
  const auto step = [] { Frames(1); };
  EnterFloor(4, {{60, 38, 6}});
  PlacePlayer(200);
  EXPECT_EQ(FramesFiring(900, step), 0);
  PlacePlayer(60 * 32 - 200);
  EXPECT_GT(FramesFiring(kBossOpeningFrames + enemies[0].baseInterval + 1, step), 0);
}

// The Second Witch (set 3, slot 7) by the hall's wall, as on floor 040,
// with the player kneeling in the corner: her turning bullet rises first and
// turns at the player far enough off that one who sees the turn 15 frames
// late still has 15 to get out of its way.
TEST_F(EnemyTest, TheSecondWitchsTurningBulletTurnsFarFromAPlayerInTheCorner) {
  EnterFloor(3, {{7, 41, 7}});
  PlacePlayer(22);
  EnemyRecord& witch = enemies[0];
  witch.attackSlot = 2;
  witch.attackTimer = witch.attackInterval;
  UpdateEnemyAttack(0);
  std::vector<const ShotRecord*> live = LiveBullets();
  ASSERT_EQ(live.size(), 1u);
  EXPECT_NEAR(live[0]->vx, 0.0, 1e-9);
  EXPECT_LT(live[0]->vy, 0.0) << "it rises";
  const ShotRecord* turned = nullptr;
  for (int frame = 0; frame < 100 && turned == nullptr; ++frame) {
    UpdateShotsAndBullets();
    for (const ShotRecord* b : LiveBullets()) {
      if (b->mode == 2) turned = b;
    }
  }
  ASSERT_NE(turned, nullptr) << "it turns";
  const BulletTarget target = PlayerTarget(player);
  const double away = std::hypot(target.aimX - (turned->x + kBulletHitOffset), target.aimY - (turned->y + kBulletHitOffset));
  EXPECT_GE(away / kReaimedBulletSpeed, 30.0);
}

TEST_F(EnemyTest, TheMoonStepsThroughItsPhasesAsItsLifeFalls) {
  EnterFloor(9, {{30, 10, 0}});
  PlacePlayer(30 * 32);
  EnemyRecord& moon = enemies[0];
  moon.volleysPerBurst[0] = 0;  // its spawns are not under test here
  const int phaseLives[] = {24, 16, 8};
  for (int phase = 1; phase <= 3; ++phase) {
    EmptyBulletPool();
    moon.life = phaseLives[phase - 1];
    Frames(1);
    EXPECT_EQ(moon.phase, phase);
    EXPECT_EQ(moon.sheetSlot, phase);
    Frames(kMoonChangeSparkDelay - 1);
    EXPECT_EQ(bulletCount, 0) << "phase " << phase << ": the ring shows before the sparks come";
    Frames(1);
    EXPECT_GT(bulletCount, 0) << "phase " << phase << ": each phase opens with a volley";
  }
  EXPECT_EQ(moon.behaviour, 37);
  EXPECT_EQ(moon.baseInterval, 80);
  EXPECT_DOUBLE_EQ(moon.damageFactor[0], 1.0);
  EXPECT_DOUBLE_EQ(moon.damageFactor[2], 0.0);
  EXPECT_EQ(LiveBullets().size(), 5u);
}

// Low on its face, the Moon's muzzle can lie in its hall's floor while its
// middle is in the open: the change's sparks start from the middle and fly,
// rather than striking the floor the frame they are loosed.
TEST_F(EnemyTest, TheMoonsChangeSparksFlyWhereItsMuzzleIsInTheFloor) {
  EnterFloor(9, {{30, 37, 0}});
  PlacePlayer(10 * 32);
  EnemyRecord& moon = enemies[0];
  moon.volleysPerBurst[0] = 0;
  Frames(1);
  const BulletStart muzzle = EnemyMuzzle(moon);
  ASSERT_GE(ReadAttributeAtPixel(muzzle.x + kBulletHitOffset, muzzle.y + kBulletHitOffset), kAttrSolidFrom)
      << "the muzzle is meant to lie in the ground";
  moon.life = 24;
  Frames(1 + kMoonChangeSparkDelay);
  ASSERT_EQ(LiveBullets().size(), 3u);
  Frames(20);
  EXPECT_EQ(LiveBullets().size(), 3u) << "the sparks struck the floor at once";
}

// The Sun, the last phase, eases to the player's height at a speed of its
// own (the kind has none), never sideways towards the wall and the player.
TEST_F(EnemyTest, TheSunFollowsThePlayersHeightButNeverComesSideways) {
  EnterFloor(9, {{30, 10, 0}});
  PlacePlayer(10 * 32);
  EnemyRecord& sun = enemies[0];
  sun.volleysPerBurst[0] = 0;
  sun.life = 8;
  Frames(3);  // a change a frame
  ASSERT_EQ(sun.behaviour, 37);
  const int x = sun.x, y = sun.y;
  const auto middle = [&] { return sun.y + sun.height / 2; };
  Frames(60);
  EXPECT_GT(sun.y, y + 10) << "it did not move towards the player below";
  Frames(1500);
  EXPECT_EQ(sun.x, x);
  EXPECT_NEAR(middle(), player.y + 16, 24) << "not settled level with the player's head";
  // The player up high: it rises after.
  player.y = player.posY = 20 * 32;
  Frames(1500);
  EXPECT_NEAR(middle(), player.y + 16, 24);
  EXPECT_EQ(sun.x, x);
}

// The Dragon Head (set 6, slot 7) rides up and down its heights above the
// hall's floor (row 44 here, as in its hall) and nowhere else: sunk into the
// floor, its side probe met the floor as a wall and the snap off it slid the
// head sideways out of its shaft a cell a frame.
TEST_F(EnemyTest, TheDragonHeadRidesItsShaftAboveTheFloorWithoutSliding) {
  EnterFloor(6, {{19, 33, 7}});
  PlacePlayer(70 * 32);  // out of its sight: it never fires
  const EnemyRecord& head = enemies[0];
  const int x = head.x;
  int lowest = 0;
  for (int frame = 0; frame < 6000; ++frame) {
    Frames(1);
    ASSERT_EQ(head.x, x) << "slid sideways on frame " << frame << " at height " << head.y;
    lowest = std::max(lowest, head.y + head.bodyBottom);
  }
  EXPECT_LE(lowest, 44 * 32) << "its body sank into the floor";
  EXPECT_GT(lowest, 44 * 32 - 64) << "it never came down near the floor";
}

}  // namespace
