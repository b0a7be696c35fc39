// A trial of the model of a player is a replay: the same floor, looseness and
// seeds must play the same game frame for frame, however busy the machine
// is, or a failure on a fresh seed could not be played again. The wisp's
// fight played as a person plays it (presses jittered, reactions late, its
// own game seed) three times on a loaded machine: the runs agree at every
// frame on the whole state, and end with the same random numbers to come,
// whatever the run before them left.
//
// QZ_REPLAY_FLOOR, QZ_REPLAY_SEED and QZ_REPLAY_RUNS play another floor,
// person seed (also the game's) or count of runs. QZ_REPLAY_RECORD=FILE also
// writes the first run's frames to FILE, and QZ_REPLAY_AGAINST=FILE compares
// them with a run of another process.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/random.h"
#include "platform/clock.h"
#include "tests/game/floor_trial.h"
#include "tests/game/game_state_snapshot.h"

namespace {

using veltrin::testing::FirstDifference;
using veltrin::testing::FloorInCampaign;
using veltrin::testing::FloorRoute;
using veltrin::testing::GameSnapshot;
using veltrin::testing::ScriptedPlay;
using veltrin::testing::StateEntry;

// Load while it lives: busy threads on a quarter of the cores, to take the
// game's thread off its core now and then without starving the suite's
// other tests; and a worker that wakes every few hundred microseconds to
// sleep again on the library's clock, as its sound and file threads do. On
// virtual time such a sleep moves the clock on at once, so the game's
// thread sees its milliseconds fall at other points in every run, and
// often finds a frame's time already gone when it comes to wait for it.
class MachineLoad {
 public:
  MachineLoad() {
    const unsigned busy = std::max(2u, std::thread::hardware_concurrency() / 4);
    for (unsigned i = 0; i < busy; ++i) {
      threads_.emplace_back([this] {
        std::uint64_t sink = 0;
        while (!stop_.load(std::memory_order_relaxed)) sink = sink * 6364136223846793005u + 1;
        spun_.fetch_add(sink | 1, std::memory_order_relaxed);
      });
    }
    threads_.emplace_back([this] {
      while (!stop_.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        plat::Sleep(2);
      }
    });
  }
  ~MachineLoad() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }
  MachineLoad(const MachineLoad&) = delete;
  MachineLoad& operator=(const MachineLoad&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> spun_{0};
  std::vector<std::thread> threads_;
};

// One run's frames, and the random words the generator gives after it.
struct Replay {
  std::string outcome;
  std::vector<GameSnapshot> frames;
  std::vector<std::uint32_t> randomAfter;
};

// "" when the replays agree; else the first frame where they part and the
// first field that differs there.
std::string FirstDeparture(const Replay& a, const Replay& b) {
  const std::size_t common = std::min(a.frames.size(), b.frames.size());
  for (std::size_t frame = 0; frame < common; ++frame) {
    const std::string difference = FirstDifference(a.frames[frame], b.frames[frame]);
    if (!difference.empty()) return "frame " + std::to_string(frame) + ": " + difference;
  }
  if (a.frames.size() != b.frames.size()) {
    return "one run ends after " + std::to_string(a.frames.size()) + " frames, the other after " +
           std::to_string(b.frames.size());
  }
  if (a.randomAfter != b.randomAfter) return "the random numbers after the runs differ";
  if (a.outcome != b.outcome) return "outcomes \"" + a.outcome + "\" against \"" + b.outcome + "\"";
  return "";
}

// The frames as lines of "name<TAB>hex bytes", a blank line after each frame.
void WriteFrames(const Replay& replay, const std::string& path) {
  std::ofstream out(path);
  static constexpr char kHex[] = "0123456789abcdef";
  for (const GameSnapshot& frame : replay.frames) {
    for (const StateEntry& entry : frame) {
      out << entry.name << '\t';
      for (unsigned char c : entry.bytes) out << kHex[c >> 4] << kHex[c & 15];
      out << '\n';
    }
    out << '\n';
  }
  for (std::uint32_t word : replay.randomAfter) out << "random\t" << word << '\n';
}

// Frames written by WriteFrames; each record takes its field table from the
// same record of `like` (a run of this process), where there is one.
Replay ReadFrames(const std::string& path, const Replay& like) {
  Replay replay;
  std::ifstream in(path);
  std::string line;
  GameSnapshot frame;
  const auto hexValue = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  while (std::getline(in, line)) {
    if (line.empty()) {
      replay.frames.push_back(std::move(frame));
      frame.clear();
      continue;
    }
    const std::size_t tab = line.find('\t');
    if (line.compare(0, tab, "random") == 0) {
      replay.randomAfter.push_back(static_cast<std::uint32_t>(std::stoul(line.substr(tab + 1))));
      continue;
    }
    StateEntry entry{line.substr(0, tab), {}, nullptr};
    for (std::size_t i = tab + 1; i + 1 < line.size(); i += 2) {
      entry.bytes.push_back(static_cast<char>(hexValue(line[i]) * 16 + hexValue(line[i + 1])));
    }
    const std::size_t index = replay.frames.size();
    if (index < like.frames.size()) {
      for (const StateEntry& known : like.frames[index]) {
        if (known.name == entry.name) entry.fields = known.fields;
      }
    }
    frame.push_back(std::move(entry));
  }
  replay.outcome = like.outcome;
  return replay;
}

std::string Environment(const char* name, const char* otherwise) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : otherwise;
}

class ExactReplayTest : public veltrin::testing::FloorTrialTest {
 protected:
  // The floor's trial with every frame's state kept from the restart on.
  Replay Play(ScriptedPlay& play, const SaveRecord& entered, const FloorRoute& floor,
              const veltrin::routes::Perturbation& person) {
    Replay replay;
    veltrin::testing::RestartFloor(entered, play, person.seed);
    const int start = play.frames();
    play.SetFrameObserver([&] { replay.frames.push_back(veltrin::testing::TakeSnapshot(play.frames() - start)); });
    replay.outcome = veltrin::testing::PlayFloorRoute(play, floor, person, person.seed);
    play.SetFrameObserver({});
    for (int i = 0; i < 8; ++i) replay.randomAfter.push_back(qz::NextRandomWord());
    return replay;
  }
};

// The comparison itself: a change in one field of a live record, or a
// record live in one state only, is found and named with both values.
TEST(GameStateSnapshot, NamesTheFirstFieldThatDiffers) {
  using veltrin::testing::TakeSnapshot;
  const EnemyRecord savedEnemy = enemies[3];
  const ShotRecord savedBullet = enemyBullets[7];
  enemies[3].life = 1;
  enemies[3].posX = 100.0;
  const GameSnapshot before = TakeSnapshot(5);
  EXPECT_EQ(FirstDifference(before, TakeSnapshot(5)), "");
  EXPECT_EQ(FirstDifference(before, TakeSnapshot(6)), "frame.value: 5 against 6");
  enemies[3].posX = 100.5;
  EXPECT_EQ(FirstDifference(before, TakeSnapshot(5)), "enemies[3].posX: 100 against 100.5");
  enemies[3].posX = 100.0;
  ++enemies[3].animFrames[2];
  EXPECT_NE(FirstDifference(before, TakeSnapshot(5)).find("enemies[3].animFrames[2]: "), std::string::npos);
  --enemies[3].animFrames[2];
  enemyBullets[7].inUse = 1;
  EXPECT_NE(FirstDifference(before, TakeSnapshot(5)).find("enemyBullets[7]"), std::string::npos);
  enemyBullets[7] = savedBullet;
  enemies[3] = savedEnemy;
}

TEST_F(ExactReplayTest, WispFightAsAPersonRepeatsFrameForFrameOnALoadedMachine) {
  const FloorInCampaign floor = veltrin::testing::FindFloor(Environment("QZ_REPLAY_FLOOR", "025"));
  ASSERT_NE(floor.area, nullptr);
  ScriptedPlay play;
  SaveRecord entered;
  ASSERT_NO_FATAL_FAILURE(EnterFloor(play, floor, &entered));
  veltrin::routes::Perturbation person;
  person.pressJitter = 3;
  person.reactionDelay = 12;
  person.seed = static_cast<std::uint32_t>(std::strtoul(Environment("QZ_REPLAY_SEED", "504").c_str(), nullptr, 10));
  // Three runs: each pair gives the load another chance to part them.
  const int runs = std::max(2, std::atoi(Environment("QZ_REPLAY_RUNS", "3").c_str()));

  MachineLoad load;
  const Replay first = Play(play, entered, floor.Route(), person);
  // The fight itself was played: a replay that stopped early proves little.
  ASSERT_GT(first.frames.size(), 600u) << first.outcome;
  for (int run = 1; run < runs; ++run) {
    // What another run may leave behind reaches no later one: the generator
    // drawn on, the player falling.
    for (int i = 0; i < run; ++i) qz::NextRandomWord();
    player.velocityY = 12;
    EXPECT_EQ(FirstDeparture(first, Play(play, entered, floor.Route(), person)), "") << "run " << run + 1;
  }
  std::printf("exact replay: floor %s, person seed %u: %d runs of %zu frames compared (%s)\n",
              floor.Route().floor, person.seed, runs, first.frames.size(),
              first.outcome.empty() ? "won" : first.outcome.c_str());

  if (const char* path = std::getenv("QZ_REPLAY_RECORD")) WriteFrames(first, path);
  if (const char* path = std::getenv("QZ_REPLAY_AGAINST")) {
    EXPECT_EQ(FirstDeparture(first, ReadFrames(path, first)), "") << "against the run in " << path;
  }
}

}  // namespace
