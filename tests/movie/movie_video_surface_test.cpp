// Theora movie graphs on a device that offers video surfaces: the frames go
// through the movie's YV12, YUY2 or UYVY surface and the device's conversion,
// and show the same picture as the frame image within the conversions'
// rounding; a device rebuild keeps every movie graph's picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"
#include "graphics/draw_test_support.h"
#include "graphics/graph_record.h"
#include "graphics/graph_restore.h"
#include "graphics/graph_tiling.h"
#include "graphics/screen_mode_change.h"
#include "movie/movie_handles.h"
#include "movie/movie_services.h"
#include "sound/sound_play.h"
#include "support/scratch_folder.h"
#include "tests/movie/theora_test_movie.h"

namespace {

using qz::testing::Renderer;
using qz::testing::TestMovieOptions;

std::uint64_t gNow = 0;
std::uint64_t FakeMicroseconds() { return gNow; }

constexpr int kX = 100;
constexpr int kY = 60;

// The movie graph fixture; the parameter is the one video format the device
// offers (D3DFMT_UNKNOWN: none, so frames go through the frame image).
class MovieVideoSurface : public ::testing::TestWithParam<plat::D3DFORMAT> {
 protected:
  void SetUp() override {
    qz::testing::DrawingOptions options;
    if (GetParam() != plat::D3DFMT_UNKNOWN) options.videoSurfaceFormats = {GetParam()};
    library_ = std::make_unique<qz::testing::DrawingLibrary>(Renderer::kDevice, options);
    ASSERT_TRUE(library_->started());
    static constexpr qz::MovieClockSources kFake{FakeMicroseconds, qz::GetSoundHandleCurrentTime};
    qz::SetMovieClockSources(&kFake);
    gNow = 50000000;
    TestMovieOptions movie;
    movie.frames = 90;
    movie.keyInterval = 16;
    movie.texture = true;  // luma that differs from pixel to pixel
    folder_.Write("clip.ogv", qz::testing::EncodeTheoraMovie(movie));
    graph_ = qz::LoadImageOrMovieAsGraph(folder_.Library("clip.ogv").c_str(), 0, 0, 0);
    ASSERT_NE(graph_, -1);
    movie_ = qz::GetGraphRecord(graph_)->movie;
    theora_ = qz::GetMovieRecord(movie_)->theoraMovie;
    ASSERT_NE(theora_, nullptr);
  }
  void TearDown() override {
    qz::SetMovieClockSources(nullptr);
    qz::SetSingleTextureSetting(0);  // the loader leaves it on for the rest of the run
    library_.reset();
  }

  void DrawAtFrame(int due) {
    gNow = static_cast<std::uint64_t>(qz::GetMovieRecord(movie_)->startTime) + due * 1000000ull / 30 + 1000;
    qz::ClearDrawTarget(nullptr);
    qz::BlitGraph(kX, kY, graph_, 0);
  }

  // The largest channel difference between the drawn movie and the movie's
  // own conversion of the frame on view; -1 and the frame number it shows.
  struct Shown {
    int number;
    int worstDifference;
  };
  Shown ReadShown() {
    const qz::testing::Frame screen = qz::testing::ReadBackScreen();
    qz::ConvertTheoraFrame(theora_, 1, 0);
    const qz::BaseImage& image = theora_->frameImage;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
    int worst = 0;
    for (std::uint32_t row = 0; row < image.height; ++row) {
      for (std::uint32_t column = 0; column < image.width; ++column) {
        const std::uint32_t drawn = screen.At(kX + static_cast<int>(column), kY + static_cast<int>(row));
        std::uint32_t converted = 0;
        std::memcpy(&converted, image.pixels + row * image.pitch + column * 4, 4);
        worst = std::max(worst, qz::testing::ChannelDifference(drawn, converted & 0xFFFFFF));
        pixels[row * image.width + column] = drawn;
      }
    }
    qz::BaseImage view = image;
    view.pixels = reinterpret_cast<std::uint8_t*>(pixels.data());
    view.pitch = image.width * 4;
    return {qz::testing::ReadFrameNumber(view), worst};
  }

  std::unique_ptr<qz::testing::DrawingLibrary> library_;
  qz::testing::ScratchFolder folder_;
  int graph_ = -1;
  int movie_ = -1;
  qz::TheoraMovieContext* theora_ = nullptr;
};

TEST_P(MovieVideoSurface, PlayedFramesMatchTheFrameImageWithinRounding) {
  EXPECT_EQ(theora_->yuvFourCC, GetParam() == plat::D3DFMT_UNKNOWN ? 0u : GetParam());
  EXPECT_EQ(qz::GetTheoraYuvSurface(theora_) != nullptr, GetParam() != plat::D3DFMT_UNKNOWN);
  ASSERT_EQ(qz::PlayMovieHandle(movie_, 3), 0);
  for (const int due : {0, 5, 33, 89, 95}) {
    DrawAtFrame(due);
    const Shown shown = ReadShown();
    EXPECT_EQ(shown.number, due % 90) << "at frame time " << due;
    // The device converts with the integer formula of video renderers, the
    // frame image with the library's tables: they differ by one step at most.
    EXPECT_LE(shown.worstDifference, 1) << "at frame time " << due;
  }
}

TEST_P(MovieVideoSurface, DeviceRebuildKeepsThePictureOfAPausedMovie) {
  ASSERT_EQ(qz::PlayMovieHandle(movie_, 1), 0);
  DrawAtFrame(20);
  ASSERT_EQ(qz::PauseMovieHandle(movie_, 0), 0);
  ASSERT_EQ(ReadShown().number, 20);

  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_TRUE(plat::ListD3D9OrphanedObjects().empty()) << "the video surface went with the old device";
  EXPECT_EQ(qz::GetTheoraYuvSurface(theora_) != nullptr, GetParam() != plat::D3DFMT_UNKNOWN);
  // The texture came back blank; the movie handed its frame on view again.
  DrawAtFrame(40);
  const Shown shown = ReadShown();
  EXPECT_EQ(shown.number, 20) << "a paused movie does not move";
  EXPECT_LE(shown.worstDifference, 1);
  EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
}

TEST_P(MovieVideoSurface, ASurfaceThatCannotBeLockedIsTriedAgainOnTheNextConversion) {
  if (GetParam() == plat::D3DFMT_UNKNOWN) GTEST_SKIP() << "no video surface to lock";
  qz::AdvanceTheoraFrames(theora_, 3);
  plat::FailD3D9CallForTest("Surface.LockRect", 1, 3, plat::D3DERR_INVALIDCALL);
  EXPECT_EQ(qz::ConvertTheoraFrame(theora_, 0, 1), 0) << "no surface was written: nothing new to copy";
  EXPECT_EQ(theora_->surfaceConverted.load(), 0);
  EXPECT_NE(qz::GetTheoraYuvSurface(theora_), nullptr) << "made again after the failed locks";
  EXPECT_EQ(qz::ConvertTheoraFrame(theora_, 0, 1), 1);
  EXPECT_EQ(theora_->surfaceConverted.load(), 1);
  EXPECT_EQ(qz::ConvertTheoraFrame(theora_, 0, 1), 0) << "the frame is already there";
}

TEST_P(MovieVideoSurface, FourTwoTwoAndFourFourFourMoviesShowTheirOwnPicture) {
  const bool packed = GetParam() == plat::D3DFMT_YUY2 || GetParam() == plat::D3DFMT_UYVY;
  for (const th_pixel_fmt layout : {TH_PF_422, TH_PF_444}) {
    SCOPED_TRACE(layout == TH_PF_422 ? "4:2:2" : "4:4:4");
    ASSERT_EQ(qz::ReleaseGraph(graph_), 0);
    const std::string name = layout == TH_PF_422 ? "half.ogv" : "full.ogv";
    folder_.Write(name, qz::testing::EncodeTheoraMovie(
                            TestMovieOptions{.frames = 40, .keyInterval = 16, .format = layout, .texture = true}));
    graph_ = qz::LoadImageOrMovieAsGraph(folder_.Library(name).c_str(), 0, 0, 0);
    ASSERT_NE(graph_, -1);
    movie_ = qz::GetGraphRecord(graph_)->movie;
    theora_ = qz::GetMovieRecord(movie_)->theoraMovie;
    // Only the packed formats hold 4:2:2 as it is; nothing holds 4:4:4, whose
    // frames go through the frame image.
    EXPECT_EQ(qz::GetTheoraYuvSurface(theora_) != nullptr, layout == TH_PF_422 && packed);
    ASSERT_EQ(qz::PlayMovieHandle(movie_, 1), 0);
    for (const int due : {0, 13, 39}) {
      DrawAtFrame(due);
      const Shown shown = ReadShown();
      EXPECT_EQ(shown.number, due);
      EXPECT_LE(shown.worstDifference, 1) << "at frame " << due;
    }
  }
}

TEST_P(MovieVideoSurface, GraphsMadeAfterAMovieUseOneTextureWhereItFits) {
  // On a device that takes only powers of two, a drawable dimension wider
  // than the screen is cut unless the single-texture setting is on.
  qz::GraphicsState& graphics = qz::GetGraphicsState();
  const qz::DeviceCapabilities caps = graphics.caps;
  graphics.caps.pow2Only = 1;
  graphics.caps.nonPow2Conditional = 0;
  int sizes[qz::kMaxTextureSizesPerDimension];
  EXPECT_EQ(qz::SplitIntoTextureSizes(700, 1, sizes), 1);
  EXPECT_EQ(sizes[0], 1024);
  qz::SetSingleTextureSetting(0);
  EXPECT_GT(qz::SplitIntoTextureSizes(700, 1, sizes), 1);
  graphics.caps = caps;
}

const char* FormatName(const ::testing::TestParamInfo<plat::D3DFORMAT>& info) {
  switch (info.param) {
    case plat::D3DFMT_YV12:
      return "YV12";
    case plat::D3DFMT_YUY2:
      return "YUY2";
    case plat::D3DFMT_UYVY:
      return "UYVY";
    default:
      return "FrameImage";
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, MovieVideoSurface,
                         ::testing::Values(plat::D3DFMT_YV12, plat::D3DFMT_YUY2, plat::D3DFMT_UYVY,
                                           plat::D3DFMT_UNKNOWN),
                         FormatName);

}  // namespace
