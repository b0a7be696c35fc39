// Movie handles: the table, the frame clock with an injected counter and
// sound position, the end rule, pausing and resuming with the window.
#include "movie/movie_handles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/movie_services.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "tests/movie/theora_test_movie.h"

namespace {

using qz::testing::TestMovieOptions;

std::uint64_t gNow = 0;
int gSoundMilliseconds = 0;
int gSoundPlaying = 1;
std::uint64_t FakeMicroseconds() { return gNow; }
int FakeSoundMilliseconds(int) { return gSoundMilliseconds; }
int FakeSoundPlaying(int) { return gSoundPlaying; }

// Frames the callback saw, by the number each frame image shows.
std::vector<int> gDelivered;
int RecordFrame(qz::MovieRecord* record, std::int32_t) {
  qz::ConvertTheoraFrame(record->theoraMovie, 1, 0);
  gDelivered.push_back(qz::testing::ReadFrameNumber(*record->imageToShow));
  return 0;
}

class MovieHandles : public ::testing::Test {
 protected:
  void SetUp() override {
    qz::InitTheoraColorTables();
    static constexpr qz::MovieClockSources kFake{FakeMicroseconds, FakeSoundMilliseconds, FakeSoundPlaying};
    qz::SetMovieClockSources(&kFake);
    gNow = 1000000000;
    gSoundMilliseconds = 0;
    gSoundPlaying = 1;
    gDelivered.clear();
  }
  void TearDown() override {
    for (const int handle : handles_) qz::CloseMovieHandle(handle);
    qz::SetMovieClockSources(nullptr);
  }
  std::string Write(const std::string& name, const TestMovieOptions& options) {
    folder_.Write(name, qz::testing::EncodeTheoraMovie(options));
    return folder_.Library(name);
  }
  int OpenKept(const std::string& path) {
    const int handle = qz::OpenMovie(path.c_str(), nullptr, nullptr, 0);
    if (handle != -1) handles_.push_back(handle);
    return handle;
  }
  int Current(int handle) { return qz::GetTheoraCurrentFrame(qz::GetMovieRecord(handle)->theoraMovie); }

  qz::testing::ScratchFolder folder_;
  std::vector<int> handles_;
};

TEST_F(MovieHandles, TableHoldsAHundredAndRenumbersReusedSlots) {
  const std::string path = Write("one.ogv", TestMovieOptions{.frames = 1});
  qz::testing::ScratchLog log;
  int width = 0;
  int height = 0;
  const int first = qz::OpenMovie(path.c_str(), &width, &height, 0);
  ASSERT_NE(first, -1);
  handles_.push_back(first);
  EXPECT_EQ(first & 0x78000000, 0x18000000);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 48);
  for (int i = 1; i < qz::kMovieTableSize; ++i) ASSERT_NE(OpenKept(path), -1) << i;
  const std::string before = log.Contents();
  EXPECT_EQ(qz::OpenMovie(path.c_str(), nullptr, nullptr, 0), -1);
  EXPECT_EQ(log.Contents(), before) << "a full table fails without a log line";

  const int fifth = handles_[5];
  ASSERT_EQ(qz::CloseMovieHandle(fifth), 0);
  const int reused = qz::OpenMovie(path.c_str(), nullptr, nullptr, 0);
  handles_[5] = reused;
  EXPECT_EQ(reused & 0xFFFF, fifth & 0xFFFF) << "the freed slot";
  EXPECT_NE(reused, fifth) << "with a new check number";

  for (const int invalid : {fifth, -1, 0x18000000 | 100, handles_[0] ^ 0x08000000}) {
    EXPECT_EQ(qz::GetMovieRecord(invalid), nullptr);
    EXPECT_EQ(qz::CloseMovieHandle(invalid), -1);
    EXPECT_EQ(qz::UpdateMovieFrame(invalid, 0), -1);
    EXPECT_EQ(qz::SetMovieFrameCallback(invalid, RecordFrame, 0), -1);
    EXPECT_EQ(qz::PauseMovieHandle(invalid, 1), -1);
  }
  EXPECT_EQ(log.Contents(), before) << "invalid handles are refused without a log line";
}

TEST_F(MovieHandles, ClockPicksTheFrameDueAndTheEndRuleStopsOnlyANonLoopingMovie) {
  const std::string path = Write("long.ogv", TestMovieOptions{.frames = 300, .keyInterval = 30});
  for (const int playType : {1, 3}) {
    const int movie = OpenKept(path);
    ASSERT_NE(movie, -1);
    qz::MovieRecord* record = qz::GetMovieRecord(movie);
    ASSERT_EQ(qz::SetMovieFrameCallback(movie, RecordFrame, 0), 0);
    // Open and stopped: no frame moves, yet the callback runs at every update.
    gNow += 5000000;
    qz::UpdateMovieFrame(movie, 0);
    EXPECT_EQ(Current(movie), 0);
    EXPECT_EQ(record->frameDelivered, 1);

    ASSERT_EQ(qz::PlayMovieHandle(movie, playType), 0);
    gNow += 10500000;  // frame 315 is due
    qz::UpdateMovieFrame(movie, 0);
    if (playType == 3) {
      EXPECT_EQ(Current(movie), 15);
      // Frame 290 on view and frame 5 due: forward 15 frames through the end.
      qz::SeekTheoraFrame(record->theoraMovie, 290);
      gNow = record->startTime + 10180000;  // 305.4 frames: 5 after the wrap
      qz::UpdateMovieFrame(movie, 0);
      EXPECT_EQ(Current(movie), 5);
      EXPECT_EQ(record->stopped, 0) << "a looping movie never ends";
    } else {
      EXPECT_EQ(Current(movie), 299);
      EXPECT_EQ(record->stopped, 0) << "the last frame is shown once first";
      qz::UpdateMovieFrame(movie, 0);
      EXPECT_EQ(record->stopped, 1);
      EXPECT_EQ(record->playing, 0);
    }
  }
  EXPECT_EQ(gDelivered, (std::vector<int>{0, 299, 299, 0, 15, 5}));
}

TEST_F(MovieHandles, SoundPositionDrivesTheClockAndTheLastFrameHoldsUntilTheSoundEnds) {
  const std::string path = Write("sound.ogv", TestMovieOptions{.frames = 320, .fpsNumerator = 24, .keyInterval = 64});
  for (const int playType : {1, 3}) {
    const int movie = OpenKept(path);
    ASSERT_NE(movie, -1);
    qz::MovieRecord* record = qz::GetMovieRecord(movie);
    qz::PlayMovieHandle(movie, playType);
    record->sound = 42;  // stands for a sound of the movie; its position and state are injected
    gSoundPlaying = 1;
    gSoundMilliseconds = 12345;
    qz::UpdateMovieFrame(movie, 0);
    EXPECT_EQ(Current(movie), 296) << "12 345 000 x 24 / 1 000 000 = 296.28";
    gSoundMilliseconds = 60000;
    qz::UpdateMovieFrame(movie, 0);
    qz::UpdateMovieFrame(movie, 0);
    EXPECT_EQ(Current(movie), 319) << "the last frame holds while the sound plays";
    EXPECT_EQ(record->stopped, 0);
    // The sound ends: its position reads 0 from now on.
    gSoundPlaying = 0;
    gSoundMilliseconds = 0;
    gNow += 10000;
    qz::UpdateMovieFrame(movie, 0);
    if (playType == 1) {
      EXPECT_EQ(Current(movie), 319) << "no jump back to the first frame";
      EXPECT_EQ(record->stopped, 1);
      EXPECT_EQ(record->playing, 0);
    } else {
      EXPECT_EQ(Current(movie), 0) << "a looping movie starts over with its sound";
      EXPECT_EQ(record->soundEnded, 0);
      EXPECT_EQ(record->startTime, static_cast<std::int64_t>(gNow));
    }
    record->sound = -1;
  }
}

TEST_F(MovieHandles, PauseAndResumeRestartOnlyTheMoviesThatWerePlaying) {
  const std::string path = Write("paced.ogv", TestMovieOptions{.frames = 80, .fpsNumerator = 25, .keyInterval = 16});
  const int playing = OpenKept(path);
  const int stopped = OpenKept(path);
  const int dropped = OpenKept(path);
  ASSERT_NE(dropped, -1);
  qz::MovieRecord* a = qz::GetMovieRecord(playing);
  qz::MovieRecord* b = qz::GetMovieRecord(stopped);
  qz::MovieRecord* c = qz::GetMovieRecord(dropped);
  qz::PlayMovieHandle(playing, 0);
  qz::PlayMovieHandle(dropped, 1);
  gNow += 2000000;  // frame 50 is due
  qz::PauseMovieHandle(dropped, 0);
  EXPECT_EQ(qz::PauseAllMovies(), 0);
  EXPECT_EQ(Current(playing), 50) << "a pause first catches the frame up with the clock";
  EXPECT_EQ(a->stopped, 1);
  EXPECT_EQ(a->playing, 1);
  EXPECT_EQ(b->playing, 0);
  EXPECT_EQ(c->playing, 0);
  qz::PauseMovieHandle(playing, 0);
  EXPECT_EQ(a->playing, 1) << "pausing a stopped movie changes nothing";

  gNow += 7000000;  // time away from the window does not count
  EXPECT_EQ(qz::ResumeAllMovies(), 0);
  EXPECT_EQ(a->stopped, 0);
  EXPECT_EQ(a->playType, 1) << "play type 0 would hold the main thread";
  EXPECT_EQ(a->startTime, static_cast<std::int64_t>(gNow) - 2000000) << "frame 50 at 25 fps";
  EXPECT_EQ(b->stopped, 1);
  EXPECT_EQ(c->stopped, 1);
  gNow += 400000;
  qz::UpdateMovieFrame(playing, 0);
  EXPECT_EQ(Current(playing), 60);
}

}  // namespace
