// Theora movies with a Vorbis sound played on real time, with the sound
// system on its silent sink and its stream thread: whichever of the sound
// and the pictures is longer, the movie holds its last frame until both are
// done, then stops, or starts over when it loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "movie/movie_handles.h"
#include "movie/movie_services.h"
#include "platform/dsound.h"
#include "sound/sound_play.h"
#include "sound/sound_system.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "tests/movie/theora_test_movie.h"

namespace {

using Clock = std::chrono::steady_clock;
using qz::testing::TestMovieOptions;

// 12 frames at 30 a second: 0.4 s of pictures.
constexpr int kFrames = 12;
constexpr double kPictureSeconds = kFrames / 30.0;

class MovieSoundEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    qz::InitTheoraColorTables();
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
    qz::SetSoundStreamThreadForTest(1);
    ASSERT_EQ(qz::InitializeSound(), 0);
  }
  void TearDown() override {
    if (movie_ != -1) qz::CloseMovieHandle(movie_);
    qz::TerminateSound();
    qz::SetSoundStreamThreadForTest(-1);
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
  }

  void Open(double soundSeconds) {
    if (movie_ != -1) qz::CloseMovieHandle(movie_);
    const std::string name = "talk" + std::to_string(static_cast<int>(soundSeconds * 1000)) + ".ogv";
    folder_.Write(name, qz::testing::EncodeTheoraMovie(
                            TestMovieOptions{.frames = kFrames, .keyInterval = 4, .soundSeconds = soundSeconds}));
    movie_ = qz::OpenMovie(folder_.Library(name).c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie_, -1);
    ASSERT_NE(record()->sound, -1) << "the Vorbis stream became the movie's sound";
  }
  qz::MovieRecord* record() { return qz::GetMovieRecord(movie_); }
  int Current() { return qz::GetTheoraCurrentFrame(record()->theoraMovie); }

  // What each update left: the frame on view, whether the sound played and
  // the seconds since the play started.
  struct Updates {
    std::vector<int> frames;
    std::vector<int> sounding;
    std::vector<double> seconds;
  };
  // Plays with an update every 5 ms for at most `limit` seconds, or until
  // the movie stops.
  Updates Play(int playType, double limit) {
    Updates updates;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(qz::PlayMovieHandle(movie_, playType), 0);
    for (double elapsed = 0; elapsed < limit && record()->stopped == 0;) {
      qz::UpdateMovieFrame(movie_, 0);
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      updates.frames.push_back(Current());
      updates.sounding.push_back(qz::IsSoundHandlePlaying(record()->sound));
      updates.seconds.push_back(elapsed);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return updates;
  }

  qz::testing::ScratchLog log_;
  qz::testing::ScratchFolder folder_;
  int movie_ = -1;
};

TEST_F(MovieSoundEnd, TheLastFrameHoldsUntilSoundAndPicturesAreDoneThenTheMovieStops) {
  for (const double soundSeconds : {kPictureSeconds / 2, kPictureSeconds, kPictureSeconds * 2}) {
    SCOPED_TRACE("sound of " + std::to_string(soundSeconds) + " s");
    Open(soundSeconds);
    const Updates played = Play(1, 5.0);
    ASSERT_FALSE(played.frames.empty());
    EXPECT_EQ(record()->stopped, 1) << "the movie ends";
    EXPECT_EQ(record()->playing, 0);
    EXPECT_TRUE(std::is_sorted(played.frames.begin(), played.frames.end())) << "no frame goes back";
    EXPECT_EQ(played.frames.back(), kFrames - 1);
    EXPECT_GE(played.seconds.back(), std::max(soundSeconds, kPictureSeconds) * 0.9)
        << "neither the sound nor a frame is cut";
    EXPECT_EQ(played.sounding.back(), 0);
    qz::UpdateMovieFrame(movie_, 0);
    EXPECT_EQ(Current(), kFrames - 1) << "an ended movie keeps its last frame";
  }
}

TEST_F(MovieSoundEnd, ALoopingMovieStartsOverWithItsSoundOnceBothAreDone) {
  for (const double soundSeconds : {kPictureSeconds / 2, kPictureSeconds * 2}) {
    SCOPED_TRACE("sound of " + std::to_string(soundSeconds) + " s");
    Open(soundSeconds);
    const double pass = std::max(soundSeconds, kPictureSeconds);
    const Updates played = Play(3, pass * 4);
    EXPECT_EQ(record()->stopped, 0) << "a looping movie never ends";
    // The first pass runs through every frame to the last, and lasts as long
    // as the longer of the two.
    const std::vector<int>& frames = played.frames;
    const auto wrap = std::adjacent_find(frames.begin(), frames.end(), [](int a, int b) { return b < a; });
    ASSERT_NE(wrap, frames.end()) << "the movie started over";
    EXPECT_EQ(*wrap, kFrames - 1);
    EXPECT_TRUE(std::is_sorted(frames.begin(), wrap + 1));
    const std::size_t restart = static_cast<std::size_t>(wrap - frames.begin()) + 1;
    EXPECT_GE(played.seconds[restart], pass * 0.9);
    EXPECT_LE(frames[restart], 2) << "from its first frames";
    EXPECT_EQ(played.sounding[restart], 1) << "with its sound";
  }
}

}  // namespace
