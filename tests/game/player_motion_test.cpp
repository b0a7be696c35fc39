// The motion step over a passed record: a copy stepped with the cells felt
// follows the game's own player frame for frame, and feels springs, spikes
// and cells that would turn solid on its record without changing the floor.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "game/player_motion.h"
#include "game/player_physics.h"
#include "sound/sound_load.h"
#include "sound/sound_play.h"
#include "tests/game/player_floor.h"
#include "tests/sound/sound_test_files.h"

namespace veltrin::testing {
namespace {

// A look-ahead's frame: the copy and its latches stepped under pad word `pad`.
void StepCopy(PlayerRecord& copy, MotionLatches& latches, std::uint32_t pad) {
  MotionKeys keys{pad & 0x7u, (pad & kJump) != 0 ? 1 : 0, (pad & kDash) != 0 ? 1 : 0, 0};
  StepPlayerMotion(copy, keys, latches, CellContact::kFelt);
}

std::vector<std::int32_t> Attributes() { return {std::begin(attributeLayer), std::end(attributeLayer)}; }

using PlayerMotionTest = PlayerFloorTest;

// The cells a player sees over `frames` frames under `pad`, as runs of
// (cell, frames shown) carried on from `runs`.
std::vector<std::pair<int, int>> CellsShown(int frames, std::uint32_t pad, std::vector<std::pair<int, int>> runs = {}) {
  for (int t = 0; t < frames; ++t) {
    StepPlayer(pad);
    const int cell = player.animFrames[player.animFrame];
    if (!runs.empty() && runs.back().first == cell) {
      ++runs.back().second;
    } else {
      runs.emplace_back(cell, 1);
    }
  }
  return runs;
}

TEST_F(PlayerMotionTest, AFeltCopyFollowsTheGamesPlayerOverWalkJumpSpringAndSpikes) {
  // Spikes at columns 9..10 and a spring at 13..14 along a walk right.
  std::string row = GroundWith('^', 9, 2);
  row.replace(13, 2, "SS");
  LoadCells(20, {row});
  PlaceAt(200, kStandY);
  Step(0);
  std::vector<std::uint32_t> pads(90, kRight);
  std::fill(pads.begin() + 10, pads.begin() + 30, kRight | kJump);  // over the spikes
  std::fill(pads.begin() + 60, pads.end(), 0);                      // onto the spring, then let go
  PlayerRecord copy = player;
  MotionLatches latches = MotionLatchesNow();
  const std::vector<std::int32_t> before = Attributes();
  std::vector<PlayerRecord> foreseen;
  for (std::uint32_t pad : pads) {
    StepCopy(copy, latches, pad);
    foreseen.push_back(copy);
  }
  EXPECT_EQ(player.posX, 200) << "the look-ahead moved only its copy";
  EXPECT_EQ(Attributes(), before);
  bool launched = false, hurt = false;
  for (std::size_t t = 0; t < pads.size(); ++t) {
    Step(pads[t]);
    SCOPED_TRACE("frame " + std::to_string(t));
    const PlayerRecord& f = foreseen[t];
    ASSERT_EQ(std::tie(player.posX, player.posY, player.velocityY, player.animState, player.life),
              std::tie(f.posX, f.posY, f.velocityY, f.animState, f.life));
    launched = launched || player.velocityY < kJumpSpeed;
    hurt = hurt || player.life < player.maxLife;
  }
  EXPECT_TRUE(launched) << "the walk reached the spring";
  EXPECT_FALSE(hurt) << "the jump cleared the spikes";

  // Walked into the spikes the copy is hurt on its record as the player is.
  PlaceAt(9 * 32 - 80, kStandY);
  player.invulnerableFrames = 0;
  copy = player;
  latches = MotionLatchesNow();
  for (int t = 0; t < 40; ++t) StepCopy(copy, latches, kRight);
  EXPECT_EQ(player.life, player.maxLife);
  EXPECT_EQ(copy.life, player.maxLife - 16);
}

TEST_F(PlayerMotionTest, FeltCellsThatWouldTurnSolidCarryTheCopyButStayAsTheyAre) {
  // A cell that appears under falling feet catches the copy; a crumbling
  // cell underfoot starts no timer.
  LoadCells(14, {GroundWith('u', 8, 4), "", "", "", "", "", GroundWith('c', 10, 1)}, {"u 0 46", "c 31 56"});
  const std::vector<std::int32_t> before = Attributes();
  PlaceAt(300, 300);
  player.airborne = 1;
  PlayerRecord copy = player;
  MotionLatches latches = MotionLatchesNow();
  for (int t = 0; t < 60 && copy.airborne == 1; ++t) StepCopy(copy, latches, 0);
  EXPECT_EQ(copy.airborne, 0);
  EXPECT_EQ(copy.y + 64, 14 * 32);
  PlaceAt(10 * 32 - 18, 20 * 32 - 64);
  copy = player;
  StepCopy(copy, latches, 0);
  EXPECT_EQ(copy.airborne, 0);
  EXPECT_EQ(Attributes(), before);
  EXPECT_EQ(timedCellCount, 0);
  EXPECT_EQ(fieldIconKind, 0);
}

TEST_F(PlayerMotionTest, AFeltCopyJumpsAndLandsSilentlyWhereTheGamesPlayerIsHeard) {
  LoadCells(20, {kGround});
  const qz::testing::Bytes wave = qz::testing::PcmWave(qz::testing::PcmFields(1, 22050, 16), qz::testing::CounterPcm16(22050));
  for (SoundEffect effect : {kSeJump01, kSeJump02}) {
    soundEffects[effect] = qz::LoadSoundFromMemoryToHandle(wave.data(), wave.size(), 1, -1);
    ASSERT_GE(soundEffects[effect], 0);
  }
  PlaceAt(320, kStandY);
  Step(0);
  PlayerRecord copy = player;
  MotionLatches latches = MotionLatchesNow();
  StepCopy(copy, latches, kJump);
  ASSERT_EQ(copy.airborne, 1);
  for (int t = 0; t < 60 && copy.airborne == 1; ++t) StepCopy(copy, latches, 0);
  ASSERT_EQ(copy.airborne, 0);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeJump01]), 0);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeJump02]), 0);
  Step(kJump);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeJump01]), 1);
  for (int t = 0; t < 60 && player.airborne == 1; ++t) Step(0);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeJump02]), 1);
}

// The keys a look-ahead plans with move the copy as the pad words would.
TEST_F(PlayerMotionTest, TheKeysOfAWayWalkEachWaySquatAndJumpAsThePadWould) {
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  Step(0);
  const PlayerRecord standing = player;
  struct Case {
    int way;
    bool down, jump;
    std::uint32_t pad;
  } const cases[] = {{-1, false, false, kLeft}, {1, false, false, kRight}, {0, false, false, 0},
                     {0, true, false, kDown},   {0, false, true, kJump},   {-1, true, true, kLeft | kDown | kJump}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.way) + (c.down ? " down" : "") + (c.jump ? " jump" : ""));
    PlayerRecord planned = standing, padded = standing;
    MotionLatches plannedLatches = MotionLatchesNow(), paddedLatches = plannedLatches;
    for (int t = 0; t < 4; ++t) {
      MotionKeys keys = MotionKeysOf(c.way, c.down, c.jump);
      StepPlayerMotion(planned, keys, plannedLatches, CellContact::kFelt);
      StepCopy(padded, paddedLatches, c.pad);
    }
    EXPECT_EQ(std::tie(planned.posX, planned.posY, planned.facing, planned.squat, planned.animState),
              std::tie(padded.posX, padded.posY, padded.facing, padded.squat, padded.animState));
  }
}

// The rise shows while the speed is upward and the fall from the frame it
// stops being; a rider holding Down squats on its lift, where one in the air
// falls on.
TEST_F(PlayerMotionTest, TheRiseShowsUntilTheSpeedTurnsAndARiderSquatsOnItsLift) {
  constexpr int kRiseShown = 2, kFallShown = 3, kSquatShown = 4;
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  Step(0);
  PlayerRecord copy = player;
  MotionLatches latches = MotionLatchesNow();
  for (int t = 0; t < 16; ++t) {
    StepCopy(copy, latches, kJump);
    ASSERT_LT(copy.velocityY, 0.0) << t;
    EXPECT_EQ(copy.animState, kRiseShown) << t;
  }
  EXPECT_GT(copy.velocityY, -0.5) << "the last rising frame";
  StepCopy(copy, latches, kJump);
  ASSERT_GT(copy.velocityY, 0.0);
  ASSERT_LT(copy.velocityY, 1.0);
  EXPECT_EQ(copy.animState, kFallShown) << "the first falling frame";

  // Released early the rise is cut to a standstill, which already falls.
  copy = player;
  latches = MotionLatchesNow();
  for (int t = 0; t < 3; ++t) StepCopy(copy, latches, kJump);
  StepCopy(copy, latches, 0);
  ASSERT_EQ(copy.velocityY, 0.0);
  EXPECT_EQ(copy.animState, kFallShown);

  // Over open air: on lift 0 Down squats, off any lift it falls on.
  PlaceAt(320, 300);
  copy = player;
  copy.ridingObject = 0;
  StepCopy(copy, latches, kDown);
  EXPECT_EQ(copy.animState, kSquatShown);
  EXPECT_EQ(copy.squat, 1);
  copy = player;
  copy.ridingObject = -1;
  StepCopy(copy, latches, kDown);
  EXPECT_EQ(copy.animState, kFallShown);
  EXPECT_EQ(copy.squat, 0);
}

// The cells each pose shows, from standing still after a lead-up. A pose's
// first cell shows one frame short: its start frame is counted. Getting up
// from a squat or a dash is drawn in the pose left (its lead-in) until the
// standing cells come round, and the loops never pass back through it.
TEST_F(PlayerMotionTest, EachPoseShowsItsCellsInTurnAndLoopsPastItsGettingUp) {
  using Runs = std::vector<std::pair<int, int>>;
  struct Case {
    const char* what;
    std::vector<std::pair<int, std::uint32_t>> leadUp;  // (frames, pad) each
    std::uint32_t pad;
    int frames;
    int leadIn, squat;  // after the first frame shown
    Runs shown;
  };
  const Case cases[] = {
      {"a walk after a squat loops from its own start", {{5, kDown}}, kRight, 40, 0, 0,
       {{5, 2}, {6, 3}, {7, 3}, {8, 3}, {9, 3}, {10, 3}, {11, 3}, {12, 3}, {13, 3}, {14, 3}, {15, 3}, {16, 3},
        {5, 3}, {6, 2}}},
      {"standing from a walk shows no walking cell; the sway rests 9 frames on cell 0", {{40, kRight}}, 0, 62, 0, 0,
       {{0, 8}, {1, 5}, {2, 5}, {3, 5}, {4, 10}, {3, 5}, {2, 5}, {1, 5}, {0, 9}, {1, 5}}},
      {"a squat goes down", {}, kDown, 20, 0, 1, {{0, 2}, {1, 3}, {2, 15}}},
      {"a long squat stays down", {{20, kDown}}, kDown, 10000, 0, 1, {{2, 10000}}},
      {"getting up plays the squat backwards once, then the sway loops past it", {{20, kDown}}, 0, 68, 2, 0,
       {{1, 2}, {0, 12}, {1, 5}, {2, 5}, {3, 5}, {4, 10}, {3, 5}, {2, 5}, {1, 5}, {0, 9}, {1, 5}}},
      {"a dash loops back to its second cell", {{1, kDash}}, 0, 22, 0, 0,
       {{0, 1}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {1, 3}}},
      {"standing from a dash is drawn dashing for its first frame", {{1, kDash}, {22, 0}}, 0, 16, 1, 0,
       {{0, 11}, {1, 5}}},
      {"a jump holds its last rising and falling cells until it lands", {}, kJump, 40, 0, 0,
       {{17, 2}, {18, 3}, {19, 11}, {20, 3}, {21, 4}, {22, 10}, {0, 7}}},
  };
  LoadCells(20, {kGround});
  PlaceAt(320, kStandY);
  Step(0);
  player.ProgressFlags[kHoverdash] = 1;
  const PlayerRecord standing = player;
  const MotionLatches latches = MotionLatchesNow();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    player = standing;
    KeepMotionInput(MotionKeys{}, latches);
    for (auto [frames, pad] : c.leadUp) Steps(frames, pad);
    const Runs first = CellsShown(1, c.pad);
    EXPECT_EQ(player.animLeadIn, c.leadIn);
    EXPECT_EQ(player.squat, c.squat);
    EXPECT_EQ(CellsShown(c.frames - 1, c.pad, first), c.shown);
    EXPECT_EQ(player.animLeadIn, 0) << "up by the end";
  }
}

}  // namespace
}  // namespace veltrin::testing
