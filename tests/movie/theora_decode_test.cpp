// The decode thread seen from the main thread: seeks land on the right
// picture from the nearest key frame, stepping and wrapping, the frames kept
// ahead in the stock, and no hang whatever order seeks and steps come in.
#include <gtest/gtest.h>

#include <random>

#include "tests/movie/theora_fixture.h"

namespace {

using qz::testing::TestMovieOptions;

class TheoraDecode : public qz::testing::TheoraMovieTest {
 protected:
  // 300 frames, a key frame every 12; one page per frame, or detailed frames
  // in full pages, so that packets run across pages.
  void OpenLongMovie(int stock = 10, bool packetsAcrossPages = false) {
    TestMovieOptions options;
    options.frames = 300;
    options.keyInterval = 12;
    options.pagePerFrame = !packetsAcrossPages;
    options.texture = packetsAcrossPages;
    ASSERT_NE(Open(options, stock), nullptr);
  }
  void PlayRandomly();
};

TEST_F(TheoraDecode, SeeksClampToTheMovieAndShowTheFrameAskedFor) {
  OpenLongMovie();
  qz::SeekTheoraFrame(movie_, -5);
  EXPECT_EQ(qz::GetTheoraCurrentFrame(movie_), 0);
  EXPECT_EQ(Shown(), 0);
  qz::SeekTheoraFrame(movie_, 310);
  EXPECT_EQ(qz::GetTheoraCurrentFrame(movie_), 299);
  EXPECT_EQ(Shown(), 299);
  // Into the first entry (the headers are read again), just after a key frame,
  // on a key frame, and deep between key frames, forwards and backwards.
  for (const int target : {3, 0, 13, 24, 250, 131, 47, 298, 1}) {
    qz::SeekTheoraFrame(movie_, target);
    EXPECT_EQ(Shown(), target) << "seek to " << target;
  }
  // A seek to the frame on view changes nothing: the converted image stands.
  ASSERT_EQ(movie_->imageConverted.load(), 1);
  qz::SeekTheoraFrame(movie_, 1);
  EXPECT_EQ(movie_->imageConverted.load(), 1);
  EXPECT_EQ(qz::ConvertTheoraFrame(movie_, 1, 0), 0) << "nothing new to convert";
  EXPECT_EQ(qz::ConvertTheoraFrame(movie_, 0, 0), 0);
}

TEST_F(TheoraDecode, AdvanceStepsForwardAndWrapsPastTheEnd) {
  OpenLongMovie();
  qz::AdvanceTheoraFrames(movie_, 0);
  qz::AdvanceTheoraFrames(movie_, -3);
  EXPECT_EQ(qz::GetTheoraCurrentFrame(movie_), 0);
  EXPECT_EQ(movie_->imageConverted.load(), 1) << "no step, no new conversion";
  for (int frame = 1; frame <= 30; ++frame) {
    qz::AdvanceTheoraFrames(movie_, 1);
    ASSERT_EQ(Shown(), frame);
  }
  qz::SeekTheoraFrame(movie_, 290);
  qz::AdvanceTheoraFrames(movie_, 30);
  EXPECT_EQ(qz::GetTheoraCurrentFrame(movie_), 20);
  EXPECT_EQ(Shown(), 20);

  // A jump across the end longer than the stock still shows its frame.
  qz::SeekTheoraFrame(movie_, 290);
  EXPECT_EQ(Shown(), 290);
  ASSERT_TRUE(WaitForFullStock());  // frames 290 to 299 held
  qz::AdvanceTheoraFrames(movie_, 25);
  EXPECT_EQ(Shown(), 15);
  qz::AdvanceTheoraFrames(movie_, 280);
  EXPECT_EQ(Shown(), 295);
  // A step longer than the whole movie wraps past the end as often as it passes it.
  qz::AdvanceTheoraFrames(movie_, 605);
  ASSERT_EQ(qz::GetTheoraCurrentFrame(movie_), 0);
  EXPECT_EQ(Shown(), 0);
}

TEST_F(TheoraDecode, AOneFrameMovieSteppedStaysOnItsFrame) {
  TestMovieOptions options;
  options.frames = 1;
  ASSERT_NE(Open(options, 10), nullptr);
  for (const int step : {1, 2}) {
    qz::AdvanceTheoraFrames(movie_, step);
    ASSERT_EQ(qz::GetTheoraCurrentFrame(movie_), 0) << "a step of " << step;
    EXPECT_EQ(Shown(), 0);
  }
}

TEST_F(TheoraDecode, StockHoldsTheFramesAheadAndFollowsAJump) {
  OpenLongMovie();
  ASSERT_TRUE(WaitForFullStock());
  EXPECT_EQ(StockedFrames(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  qz::AdvanceTheoraFrames(movie_, 5);
  qz::AdvanceTheoraFrames(movie_, 35);
  EXPECT_EQ(Shown(), 40);
  ASSERT_TRUE(WaitForFullStock());
  EXPECT_EQ(StockedFrames(), (std::vector<int>{40, 41, 42, 43, 44, 45, 46, 47, 48, 49}));
}

TEST_F(TheoraDecode, TheLastFrameStocksTheFirstOnesAheadAndWrapsToThem) {
  OpenLongMovie();
  qz::SeekTheoraFrame(movie_, 295);
  EXPECT_EQ(Shown(), 295);
  ASSERT_TRUE(WaitForFullStock());
  EXPECT_EQ(StockedFrames(), (std::vector<int>{0, 1, 2, 3, 4, 295, 296, 297, 298, 299}));
  for (int step = 0; step < 8; ++step) {
    qz::AdvanceTheoraFrames(movie_, 1);
    ASSERT_EQ(Shown(), (296 + step) % 300);
  }
}

TEST_F(TheoraDecode, StockLargerThanTheMovieHoldsEachFrameOnce) {
  TestMovieOptions options;
  options.frames = 4;
  ASSERT_NE(Open(options, 10), nullptr);
  ASSERT_TRUE(WaitForFullStock());
  EXPECT_EQ(StockedFrames(), (std::vector<int>{0, 1, 2, 3}));
  for (int step = 1; step <= 9; ++step) {
    qz::AdvanceTheoraFrames(movie_, 1);
    ASSERT_EQ(Shown(), step % 4);
  }
}

TEST_F(TheoraDecode, RandomSeeksAndStepsAlwaysShowTheirFrame) {
  for (const bool packetsAcrossPages : {false, true}) {
    OpenLongMovie(3, packetsAcrossPages);
    if (packetsAcrossPages) {
      ASSERT_LT(movie_->pageCount, 200) << "several frames end on each page";
    }
    PlayRandomly();
  }
}

void TheoraDecode::PlayRandomly() {
  std::mt19937 random(27);
  for (int i = 0; i < 200; ++i) {
    const int choice = static_cast<int>(random() % 3);
    if (choice == 0) {
      qz::SeekTheoraFrame(movie_, static_cast<int>(random() % 320) - 10);
    } else {
      qz::AdvanceTheoraFrames(movie_, static_cast<int>(random() % (choice == 1 ? 4 : 299)));
    }
    const int expected = qz::GetTheoraCurrentFrame(movie_);
    ASSERT_EQ(Shown(), expected) << "after operation " << i;
  }
}

TEST_F(TheoraDecode, SeekAndConversionReturnOnceTheThreadHasEnded) {
  OpenLongMovie();
  qz::RequestTheoraStop(movie_);
  while (movie_->threadState.load() != qz::kTheoraEnded) std::this_thread::yield();
  qz::SeekTheoraFrame(movie_, 77);
  EXPECT_EQ(qz::GetTheoraCurrentFrame(movie_), 77);
  EXPECT_EQ(qz::ConvertTheoraFrame(movie_, 1, 0), 0) << "no frame can come";
}

}  // namespace
