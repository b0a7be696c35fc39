// Movies opened as graphs in a started library, on both renderers: each draw
// brings the frame the clock is at onto the screen, releasing the graph
// closes the movie, and a movie's Vorbis stream becomes its sound.
#include <gtest/gtest.h>

#include "core/file_access.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_test_support.h"
#include "graphics/graph_record.h"
#include "graphics/graph_restore.h"
#include "movie/movie_handles.h"
#include "movie/movie_services.h"
#include "sound/ogg_vorbis_source.h"
#include "sound/sound_load.h"
#include "sound/sound_play.h"
#include "sound/sound_handle.h"
#include "support/scratch_folder.h"
#include "tests/movie/theora_test_movie.h"

namespace {

using qz::testing::Renderer;
using qz::testing::TestMovieOptions;

std::uint64_t gNow = 0;
std::uint64_t FakeMicroseconds() { return gNow; }

class MovieGraph : public ::testing::TestWithParam<Renderer> {
 protected:
  void SetUp() override {
    library_ = std::make_unique<qz::testing::DrawingLibrary>(GetParam());
    ASSERT_TRUE(library_->started());
    static constexpr qz::MovieClockSources kFake{FakeMicroseconds, qz::GetSoundHandleCurrentTime};
    qz::SetMovieClockSources(&kFake);
    gNow = 50000000;
  }
  void TearDown() override {
    qz::SetMovieClockSources(nullptr);
    library_.reset();
  }

  // The frame number the screen shows at (x, y), where the movie was drawn.
  static int ShownOnScreen(int x, int y) {
    const qz::testing::Frame screen = qz::testing::ReadBackScreen();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(64) * 48);
    for (int row = 0; row < 48; ++row) {
      for (int column = 0; column < 64; ++column) pixels[row * 64 + column] = screen.At(x + column, y + row);
    }
    qz::BaseImage view{};
    view.width = 64;
    view.height = 48;
    view.pitch = 64 * 4;
    view.pixels = reinterpret_cast<std::uint8_t*>(pixels.data());
    return qz::testing::ReadFrameNumber(view);
  }

  std::unique_ptr<qz::testing::DrawingLibrary> library_;
  qz::testing::ScratchFolder folder_;
};

TEST_P(MovieGraph, EachDrawShowsTheFrameDueAndReleaseClosesTheMovie) {
  folder_.Write("clip.ogv", qz::testing::EncodeTheoraMovie(TestMovieOptions{.frames = 90, .keyInterval = 16}));
  const int graph = qz::LoadImageOrMovieAsGraph(folder_.Library("clip.ogv").c_str(), 0, 0, 0);
  ASSERT_NE(graph, -1);
  int width = 0;
  int height = 0;
  qz::QueryGraphSize(graph, &width, &height);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 48);
  const int movie = qz::GetGraphRecord(graph)->movie;
  ASSERT_NE(qz::GetMovieRecord(movie), nullptr);

  qz::BlitGraph(100, 60, graph, 0);
  EXPECT_EQ(ShownOnScreen(100, 60), 0) << "a stopped movie shows its first frame";
  ASSERT_EQ(qz::PlayMovieHandle(movie, 3), 0);
  // 30 frames a second: the screen follows the clock, around the end too.
  for (const int due : {1, 7, 8, 30, 61, 89, 95, 100}) {
    gNow = static_cast<std::uint64_t>(qz::GetMovieRecord(movie)->startTime) + due * 1000000ull / 30 + 1000;
    qz::BlitGraph(100, 60, graph, 0);
    EXPECT_EQ(ShownOnScreen(100, 60), due % 90) << "at frame time " << due;
  }

  ASSERT_EQ(qz::ReleaseGraph(graph), 0);
  EXPECT_EQ(qz::GetMovieRecord(movie), nullptr);
}

TEST_P(MovieGraph, AMovieWithAVorbisStreamLoadsItAsItsSound) {
  TestMovieOptions options;
  options.frames = 30;
  options.soundSeconds = 1.0;
  folder_.Write("talk.ogv", qz::testing::EncodeTheoraMovie(options));
  const int movie = qz::OpenMovie(folder_.Library("talk.ogv").c_str(), nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  const int sound = qz::GetMovieRecord(movie)->sound;
  EXPECT_NE(qz::GetSoundRecord(sound), nullptr);
  ASSERT_EQ(qz::PlayMovieHandle(movie, 1), 0);
  qz::UpdateMovieFrame(movie, 0);
  EXPECT_EQ(qz::CloseMovieHandle(movie), 0);
  EXPECT_EQ(qz::GetSoundRecord(sound), nullptr) << "the sound goes with the movie";
}

// Opens through the table in force and notes whether the movie sound flag
// was up at each open.
qz::FileAccessTable gInner{};
std::vector<int> gFlagAtOpen;
qz::FileHandle OpenNotingFlag(const char* path, int cache, int reserved, int asynchronous) {
  gFlagAtOpen.push_back(qz::GetMovieSoundFlag());
  return gInner.Open(path, cache, reserved, asynchronous);
}

TEST_P(MovieGraph, OnlyTheMovieSoundLoadReadsWithTheMovieSoundFlag) {
  TestMovieOptions options;
  options.frames = 10;
  options.soundSeconds = 0.5;
  folder_.Write("talk.ogv", qz::testing::EncodeTheoraMovie(options));
  gInner = qz::GetFileAccessTable();
  qz::FileAccessTable noting = gInner;
  noting.Open = OpenNotingFlag;
  gFlagAtOpen.clear();
  qz::SetFileAccessTable(&noting);
  const int createMode = qz::GetSoundCreateMode();
  const int movie = qz::OpenMovie(folder_.Library("talk.ogv").c_str(), nullptr, nullptr, 0);
  qz::SetFileAccessTable(&gInner);
  ASSERT_NE(movie, -1);
  EXPECT_NE(qz::GetMovieRecord(movie)->sound, -1);
  // The video's own open, then the sound's.
  ASSERT_GE(gFlagAtOpen.size(), 2u);
  EXPECT_EQ(gFlagAtOpen.front(), 0);
  EXPECT_EQ(gFlagAtOpen.back(), 1);
  EXPECT_EQ(qz::GetMovieSoundFlag(), 0);
  EXPECT_EQ(qz::GetSoundCreateMode(), createMode);
  EXPECT_EQ(qz::CloseMovieHandle(movie), 0);
}

INSTANTIATE_TEST_SUITE_P(BothRenderers, MovieGraph, ::testing::Values(Renderer::kDevice, Renderer::kSoftware),
                         qz::testing::RendererName);

}  // namespace
