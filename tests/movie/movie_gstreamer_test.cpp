// A Motion-JPEG AVI through the filter-graph road over GStreamer, headless:
// frames arrive in order at their times, a movie that does not loop ends,
// and a looping one starts again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "movie/movie_handles.h"
#include "movie/movie_log_text.h"
#include "movie/movie_services.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "tests/movie/avi_test_movie.h"

namespace {

// The frame numbers the callback was handed, read off the 24-bit frames.
std::vector<int> gFrames;
int RecordFrameNumber(qz::MovieRecord* record, std::int32_t) {
  const qz::BaseImage& frame = *record->imageToShow;
  EXPECT_EQ(frame.format.bytesPerPixel, 3);
  std::vector<std::uint8_t> wide(static_cast<std::size_t>(frame.width) * frame.height * 4);
  for (std::uint32_t y = 0; y < frame.height; ++y) {
    for (std::uint32_t x = 0; x < frame.width; ++x) {
      for (int c = 0; c < 3; ++c) wide[(y * frame.width + x) * 4 + c] = frame.pixels[y * frame.pitch + x * 3 + c];
    }
  }
  qz::BaseImage view{};
  view.width = frame.width;
  view.height = frame.height;
  view.pitch = frame.width * 4;
  view.pixels = wide.data();
  gFrames.push_back(qz::testing::ReadFrameNumber(view));
  return 0;
}

class MovieGStreamer : public ::testing::Test {
 protected:
  void SetUp() override {
    gFrames.clear();
    folder_.Write("clip.avi", qz::testing::EncodeMjpegAvi(64, 48, 30, 30));
    movie_ = qz::OpenMovie(folder_.Library("clip.avi").c_str(), &width_, &height_, 0);
    ASSERT_NE(movie_, -1);
    qz::SetMovieFrameCallback(movie_, RecordFrameNumber, 0);
  }
  void TearDown() override { qz::CloseMovieHandle(movie_); }

  // Updates as a game loop would until `done` or a deadline.
  template <typename Done>
  bool PlayUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      qz::UpdateMovieFrame(movie_, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    return true;
  }

  qz::testing::ScratchFolder folder_;
  int movie_ = -1;
  int width_ = 0;
  int height_ = 0;
};

TEST_F(MovieGStreamer, FramesArriveInOrderAndAMovieThatDoesNotLoopEnds) {
  EXPECT_EQ(width_, 64);
  EXPECT_EQ(height_, 48);
  qz::MovieRecord* record = qz::GetMovieRecord(movie_);
  EXPECT_NEAR(static_cast<double>(record->duration), 10000000.0, 400000.0) << "one second";
  qz::UpdateMovieFrame(movie_, 0);
  EXPECT_TRUE(gFrames.empty()) << "nothing is delivered before the movie runs";

  ASSERT_EQ(qz::PlayMovieHandle(movie_, 1), 0);
  ASSERT_TRUE(PlayUntil([&] { return record->stopped != 0; }));
  ASSERT_GE(gFrames.size(), 10u) << "frames at their times, some may be dropped";
  for (std::size_t i = 1; i < gFrames.size(); ++i) EXPECT_GT(gFrames[i], gFrames[i - 1]) << i;
  EXPECT_GE(gFrames.front(), 0);
  EXPECT_EQ(gFrames.back(), 29) << "the last frame is shown";
  EXPECT_EQ(record->playing, 0);
}

TEST_F(MovieGStreamer, ALoopingMovieStartsAgainAndPausesWithTheWindow) {
  ASSERT_EQ(qz::PlayMovieHandle(movie_, 3), 0);
  const auto wrapped = [&] {
    for (std::size_t i = 1; i < gFrames.size(); ++i) {
      if (gFrames[i] < gFrames[i - 1]) return true;
    }
    return false;
  };
  ASSERT_TRUE(PlayUntil(wrapped));
  EXPECT_EQ(qz::GetMovieRecord(movie_)->stopped, 0);

  qz::PauseAllMovies();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  qz::UpdateMovieFrame(movie_, 0);
  const std::size_t seen = gFrames.size();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  qz::UpdateMovieFrame(movie_, 0);
  EXPECT_EQ(gFrames.size(), seen) << "a paused graph delivers nothing";
  qz::ResumeAllMovies();
  ASSERT_TRUE(PlayUntil([&] { return gFrames.size() > seen + 3; }));
}

TEST(MovieGStreamerRefusal, FilesThatNeitherRoadPlaysFailWithTheirLogLines) {
  qz::testing::ScratchFolder folder_;
  qz::testing::ScratchLog log;
  folder_.Write("clip.avi", "plain text that no demuxer takes");
  for (const std::string& path : {folder_.Library("clip.avi"), folder_.Library("absent.ogv")}) {
    EXPECT_EQ(qz::OpenMovie(path.c_str(), nullptr, nullptr, 0), -1);
    char line[512];
    std::snprintf(line, sizeof(line), qz::text::kMovieFileOpenFailed, path.c_str());
    EXPECT_TRUE(log.Contains(line)) << path;
  }
  const std::string text = log.Contents();
  std::size_t openLines = 0;
  for (std::size_t at = 0; (at = text.find(qz::text::kMovieOpenFailed, at)) != std::string::npos; ++at) ++openLines;
  EXPECT_EQ(openLines, 2u);
}

}  // namespace
