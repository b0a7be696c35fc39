// The overlay road of a movie put in display mode 1: its overlay is clipped
// to the main window's client area with the source trimmed to match, updated
// only when the placement or the visibility changes, re-placed by the idle
// pump's reshow (filter-graph movies), and hidden at close.
#include <gtest/gtest.h>

#include "core/main_window.h"
#include "graphics/draw_test_support.h"
#include "movie/movie_handles.h"
#include "movie/movie_services.h"
#include "platform/ddraw.h"
#include "support/scratch_folder.h"
#include "tests/movie/avi_test_movie.h"

namespace {

using plat::OverlayUpdate;
using plat::WinRect;

bool Same(const WinRect& a, const WinRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class MovieOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = std::make_unique<qz::testing::DrawingLibrary>(qz::testing::Renderer::kDevice);
    ASSERT_TRUE(library_->started());
    plat::SetDirectDrawOverlaysForTest(true);
    plat::Point origin{0, 0};
    plat::ClientToScreen(qz::QueryMainWindowHandle(), &origin);
    originX_ = origin.x;
    originY_ = origin.y;
  }
  void TearDown() override {
    plat::SetDirectDrawOverlaysForTest(false);
    library_.reset();
  }

  // Opens the file and puts its 64 x 48 movie on the overlay road.
  int OpenOnOverlay(const char* name, const std::string& bytes) {
    folder_.Write(name, bytes);
    const int movie = qz::OpenMovie(folder_.Library(name).c_str(), nullptr, nullptr, 0);
    EXPECT_NE(movie, -1);
    qz::MovieRecord* record = qz::GetMovieRecord(movie);
    record->displayMode = 1;
    record->frameDelivered = 1;
    return movie;
  }
  WinRect OnScreen(int left, int top, int right, int bottom) const {
    return {left + originX_, top + originY_, right + originX_, bottom + originY_};
  }

  std::unique_ptr<qz::testing::DrawingLibrary> library_;
  qz::testing::ScratchFolder folder_;
  int originX_ = 0;
  int originY_ = 0;
};

TEST_F(MovieOverlay, PlacedClippedToTheClientAreaAndUpdatedOnlyOnChanges) {
  const int movie = OpenOnOverlay("clip.ogv", qz::testing::EncodeTheoraMovie({}));
  ASSERT_EQ(qz::ShowMovieOverlay(10, 20, 2, movie, 1), 0);
  std::vector<OverlayUpdate> updates = plat::TakeDirectDrawOverlayUpdatesForTest();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].flags, plat::DDOVER_SHOW);
  EXPECT_TRUE(Same(updates[0].source, {0, 0, 64, 48}));
  EXPECT_TRUE(Same(updates[0].destination, OnScreen(10, 20, 138, 116)));

  qz::ShowMovieOverlay(10, 20, 2, movie, 1);
  EXPECT_TRUE(plat::TakeDirectDrawOverlayUpdatesForTest().empty()) << "the same placement again changes nothing";

  // Hanging over the top-left and bottom-right corners of the 640 x 480
  // client area: the source loses what was cut, in movie pixels.
  qz::ShowMovieOverlay(-20, -10, 2, movie, 1);
  qz::ShowMovieOverlay(600, 440, 2, movie, 1);
  updates = plat::TakeDirectDrawOverlayUpdatesForTest();
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_TRUE(Same(updates[0].source, {10, 5, 64, 48}));
  EXPECT_TRUE(Same(updates[0].destination, OnScreen(0, 0, 108, 86)));
  EXPECT_TRUE(Same(updates[1].source, {0, 0, 20, 20}));
  EXPECT_TRUE(Same(updates[1].destination, OnScreen(600, 440, 640, 480)));

  // Wholly outside, or asked hidden: hidden once.
  qz::ShowMovieOverlay(700, 0, 1, movie, 1);
  qz::ShowMovieOverlay(10, 10, 1, movie, 0);
  updates = plat::TakeDirectDrawOverlayUpdatesForTest();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].flags, plat::DDOVER_HIDE);

  qz::ShowMovieOverlay(10, 10, 1, movie, 1);
  EXPECT_EQ(plat::TakeDirectDrawOverlayUpdatesForTest().size(), 1u) << "shown again";
  EXPECT_EQ(qz::CloseMovieHandle(movie), 0);
  updates = plat::TakeDirectDrawOverlayUpdatesForTest();
  ASSERT_EQ(updates.size(), 1u) << "the close hides it";
  EXPECT_EQ(updates[0].flags, plat::DDOVER_HIDE);
  EXPECT_EQ(qz::ShowMovieOverlay(10, 10, 1, movie, 1), -1);
}

TEST_F(MovieOverlay, OnlyMoviesOnTheOverlayRoadWithAFrameAct) {
  const int graphMovie = OpenOnOverlay("clip.avi", qz::testing::EncodeMjpegAvi(64, 48, 30, 30));
  const int theora = OpenOnOverlay("clip.ogv", qz::testing::EncodeTheoraMovie({}));
  qz::GetMovieRecord(theora)->frameDelivered = 0;
  qz::ShowMovieOverlay(0, 0, 1, theora, 1);
  qz::GetMovieRecord(theora)->displayMode = 0;
  qz::GetMovieRecord(theora)->frameDelivered = 1;
  qz::ShowMovieOverlay(0, 0, 1, theora, 1);
  EXPECT_TRUE(plat::TakeDirectDrawOverlayUpdatesForTest().empty());

  // The idle pump's reshow follows the window: nothing while it stays, the
  // overlay moves with it when it moved, and a hidden one stays hidden.
  qz::ShowMovieOverlay(30, 40, 1, graphMovie, 1);
  ASSERT_EQ(plat::TakeDirectDrawOverlayUpdatesForTest().size(), 1u);
  qz::ReshowAllMovieOverlays();
  EXPECT_TRUE(plat::TakeDirectDrawOverlayUpdatesForTest().empty()) << "nothing changed";
  const plat::HWND window = qz::QueryMainWindowHandle();
  plat::WinRect frame{};
  plat::GetWindowRect(window, &frame);
  plat::MoveWindow(window, frame.left + 7, frame.top + 9, frame.right - frame.left, frame.bottom - frame.top, 1);
  qz::ReshowAllMovieOverlays();
  const std::vector<OverlayUpdate> updates = plat::TakeDirectDrawOverlayUpdatesForTest();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].flags, plat::DDOVER_SHOW);
  EXPECT_TRUE(Same(updates[0].destination, OnScreen(37, 49, 101, 97)));
  qz::ShowMovieOverlay(30, 40, 1, graphMovie, 0);
  plat::TakeDirectDrawOverlayUpdatesForTest();
  qz::ReshowAllMovieOverlays();
  EXPECT_TRUE(plat::TakeDirectDrawOverlayUpdatesForTest().empty()) << "a hidden overlay stays hidden";
  qz::CloseMovieHandle(theora);
  qz::CloseMovieHandle(graphMovie);
}

}  // namespace
