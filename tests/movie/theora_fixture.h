// A Theora movie written to a scratch folder and opened through the file
// access table, as the movie handles open it; closed and checked for leaks
// afterwards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/file_access.h"
#include "core/memory.h"
#include "movie/movie_services.h"
#include "movie/theora_movie.h"
#include "support/scratch_folder.h"
#include "tests/movie/theora_test_movie.h"

namespace qz::testing {

class TheoraMovieTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitTheoraColorTables();
    blocksBefore_ = GetTrackedBlockCount();
  }
  void TearDown() override {
    Close();
    EXPECT_EQ(GetTrackedBlockCount(), blocksBefore_) << "every block of the movie is freed";
  }

  // Writes the bytes and opens them; the context, or null.
  TheoraMovieContext* Open(const std::string& bytes, int stock = 10) {
    OpenFile(bytes);
    movie_ = OpenTheoraMovie(&GetFileAccessTable(), file_, stock);
    return movie_;
  }
  void OpenFile(const std::string& bytes) {
    Close();
    folder_.Write("movie.ogv", bytes);
    file_ = FileAccessOpen(folder_.Library("movie.ogv").c_str(), 0, 1, 0);
    EXPECT_NE(file_, 0);
  }
  TheoraMovieContext* Open(const TestMovieOptions& options, int stock = 10) {
    return Open(EncodeTheoraMovie(options), stock);
  }
  void Close() {
    if (movie_ != nullptr) CloseTheoraMovie(movie_);
    movie_ = nullptr;
    if (file_ != 0) FileAccessClose(file_);
    file_ = 0;
  }

  // The number the frame on view shows once converted.
  int Shown() {
    ConvertTheoraFrame(movie_, 1, 0);
    return ReadFrameNumber(movie_->frameImage);
  }
  // Waits (with a deadline) until the decode thread reports a full stock.
  bool WaitForFullStock() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (movie_->threadState.load() != kTheoraStockFull) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  std::vector<int> StockedFrames() const {
    std::vector<int> frames;
    for (int i = 0; i < movie_->frameStockCount; ++i) {
      if (movie_->frameStock[i].used.load() != 0) frames.push_back(movie_->frameStock[i].frame.load());
    }
    std::sort(frames.begin(), frames.end());
    return frames;
  }

  ScratchFolder folder_;
  FileHandle file_ = 0;
  TheoraMovieContext* movie_ = nullptr;
  int blocksBefore_ = 0;
};

}  // namespace qz::testing
