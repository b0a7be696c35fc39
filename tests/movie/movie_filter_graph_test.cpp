// The filter-graph road over a fake graph: frames borrowed from the renderer,
// the loop at the stop position, the temporary copy for files the graph
// cannot read where they lie, and one log line with nothing held on failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "core/memory.h"
#include "movie/movie_handles.h"
#include "movie/movie_log_text.h"
#include "movie/movie_renderer.h"
#include "movie/movie_services.h"
#include "platform/dshow.h"
#include "platform/file.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"

namespace {

enum class FailAt { kNothing, kCreate, kAddFilter, kBasicAudio, kMediaControl, kMediaSeeking, kRender };

// What the fake graph does, and what was done to it.
struct FakeGraphState {
  FailAt failAt = FailAt::kNothing;
  std::string acceptedFolder;  // RenderFile accepts only paths in it; empty: any
  std::int64_t duration = 0;
  std::int64_t position = 0;
  int liveGraphs = 0;
  int runs = 0;
  int pauses = 0;
  int rewinds = 0;
  std::vector<std::string> rendered;
  qz::MovieRendererFilter* renderer = nullptr;
};
FakeGraphState gFake;

class FakeGraph final : public plat::IGraphBuilder,
                        public plat::IMediaControl,
                        public plat::IMediaSeeking,
                        public plat::IBasicAudio {
 public:
  FakeGraph() { ++gFake.liveGraphs; }
  ~FakeGraph() {
    if (renderer_ != nullptr) renderer_->Release();
    gFake.renderer = nullptr;
    --gFake.liveGraphs;
  }
  plat::HRESULT QueryInterface(plat::FilterGraphFacet facet, void** object) override {
    if ((facet == plat::FilterGraphFacet::kMediaControl && gFake.failAt == FailAt::kMediaControl) ||
        (facet == plat::FilterGraphFacet::kMediaSeeking && gFake.failAt == FailAt::kMediaSeeking) ||
        (facet == plat::FilterGraphFacet::kBasicAudio && gFake.failAt == FailAt::kBasicAudio)) {
      return plat::E_NOINTERFACE;
    }
    switch (facet) {
      case plat::FilterGraphFacet::kGraphBuilder: *object = static_cast<plat::IGraphBuilder*>(this); break;
      case plat::FilterGraphFacet::kMediaControl: *object = static_cast<plat::IMediaControl*>(this); break;
      case plat::FilterGraphFacet::kMediaSeeking: *object = static_cast<plat::IMediaSeeking*>(this); break;
      case plat::FilterGraphFacet::kBasicAudio: *object = static_cast<plat::IBasicAudio*>(this); break;
    }
    AddRef();
    return plat::S_OK;
  }
  unsigned long AddRef() override { return ++references_; }
  unsigned long Release() override {
    const unsigned long left = --references_;
    if (left == 0) delete this;
    return left;
  }
  plat::HRESULT AddFilter(plat::Q_CBaseVideoRenderer* filter, const char*) override {
    if (gFake.failAt == FailAt::kAddFilter) return plat::E_FAIL;
    filter->AddRef();
    renderer_ = static_cast<qz::MovieRendererFilter*>(filter);
    gFake.renderer = renderer_;
    return plat::S_OK;
  }
  plat::HRESULT RenderFile(const char* path) override {
    gFake.rendered.push_back(path);
    const std::string posix = plat::ToPosixPath(path);
    if (gFake.failAt == FailAt::kRender || posix.rfind(gFake.acceptedFolder, 0) != 0) return plat::E_FAIL;
    const plat::VideoInfoHeader header{8, -4, 24};
    const plat::AM_MEDIA_TYPE type{plat::MediaMajorType::kVideo, plat::MediaSubtype::kRGB24,
                                   plat::MediaFormatType::kVideoInfo, &header};
    return renderer_->CheckMediaType(&type) == plat::S_OK ? renderer_->SetMediaType(&type) : plat::E_FAIL;
  }
  plat::HRESULT Run() override { return ++gFake.runs, plat::S_OK; }
  plat::HRESULT Pause() override { return ++gFake.pauses, plat::S_OK; }
  plat::HRESULT GetDuration(std::int64_t* duration) override { return *duration = gFake.duration, plat::S_OK; }
  plat::HRESULT GetStopPosition(std::int64_t* stop) override { return *stop = 5000000, plat::S_OK; }
  plat::HRESULT GetCurrentPosition(std::int64_t* current) override { return *current = gFake.position, plat::S_OK; }
  plat::HRESULT SetPositions(std::int64_t* current, std::uint32_t, std::int64_t* stop, std::uint32_t) override {
    EXPECT_EQ(stop, nullptr);
    gFake.position = *current;
    ++gFake.rewinds;
    return plat::S_OK;
  }

 private:
  unsigned long references_ = 0;
  qz::MovieRendererFilter* renderer_ = nullptr;
};

plat::HRESULT MakeFakeGraph(plat::IGraphBuilder** graph) {
  if (gFake.failAt == FailAt::kCreate) return plat::E_FAIL;
  *graph = new FakeGraph;
  (*graph)->AddRef();
  return plat::S_OK;
}

class Bytes final : public plat::IMediaSample {
 public:
  explicit Bytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  plat::HRESULT GetPointer(std::uint8_t** data) override { return *data = bytes_.data(), plat::S_OK; }
  long GetActualDataLength() override { return static_cast<long>(bytes_.size()); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// What the frame callback was shown.
struct Shown {
  int calls = 0;
  int bytesPerPixel = 0;
  std::uint32_t pitch = 0;
  std::uint8_t firstByte = 0;
};
Shown gShown;
int RecordShown(qz::MovieRecord* record, std::int32_t) {
  ++gShown.calls;
  gShown.bytesPerPixel = record->imageToShow->format.bytesPerPixel;
  gShown.pitch = record->imageToShow->pitch;
  gShown.firstByte = record->imageToShow->pixels[0];
  return 0;
}

class MovieFilterGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    gFake = FakeGraphState{};
    gShown = Shown{};
    plat::SetFilterGraphFactoryForTest(MakeFakeGraph);
    folder_.Write("clip.avi", "RIFF not an Ogg file");
    path_ = folder_.Library("clip.avi");
    blocks_ = qz::GetTrackedBlockCount();
  }
  void TearDown() override {
    plat::SetFilterGraphFactoryForTest(nullptr);
    EXPECT_EQ(gFake.liveGraphs, 0) << "every reference to the graph is released";
    EXPECT_EQ(qz::GetTrackedBlockCount(), blocks_) << "the renderer went with the graph";
  }
  qz::testing::ScratchFolder folder_;
  std::string path_;
  int blocks_ = 0;
};

TEST_F(MovieFilterGraph, FramesAreBorrowedFromTheRendererAndALoopRewindsAtTheStop) {
  int width = 0;
  int height = 0;
  const int movie = qz::OpenMovie(path_.c_str(), &width, &height, 0);
  ASSERT_NE(movie, -1);
  EXPECT_EQ(width, 8);
  EXPECT_EQ(height, 4);
  qz::MovieRecord* record = qz::GetMovieRecord(movie);
  EXPECT_EQ(record->duration, 166666) << "an unknown duration";
  EXPECT_EQ(record->stopPosition, 5000000);
  qz::SetMovieFrameCallback(movie, RecordShown, 0);
  qz::UpdateMovieFrame(movie, 0);
  EXPECT_EQ(gShown.calls, 0) << "nothing is delivered before a sample";

  Bytes sample(std::vector<std::uint8_t>(24 * 4, 0x5C));
  gFake.renderer->DoRenderSample(&sample);
  qz::UpdateMovieFrame(movie, 0);
  EXPECT_EQ(gShown.calls, 1);
  EXPECT_EQ(gShown.bytesPerPixel, 3);
  EXPECT_EQ(gShown.pitch, 24u);
  EXPECT_EQ(gShown.firstByte, 0x5C);
  EXPECT_EQ(record->imageToShow->pixels, gFake.renderer->frameBuffer) << "borrowed, not copied";
  qz::UpdateMovieFrame(movie, 0);
  EXPECT_EQ(gShown.calls, 1) << "one callback per sample";

  ASSERT_EQ(qz::PlayMovieHandle(movie, 3), 0);
  EXPECT_EQ(gFake.runs, 1);
  gFake.position = 5000000;
  qz::UpdateMovieFrame(movie, 0);
  EXPECT_EQ(gFake.rewinds, 1);
  EXPECT_EQ(gFake.position, 0);
  EXPECT_EQ(gFake.runs, 2);
  EXPECT_EQ(record->stopped, 0);

  qz::PauseAllMovies();
  EXPECT_EQ(gFake.pauses, 1);
  qz::ResumeAllMovies();
  EXPECT_EQ(gFake.runs, 3);
  record->playType = 1;
  gFake.position = 5000001;
  qz::UpdateMovieFrame(movie, 0);
  EXPECT_EQ(record->stopped, 1) << "a movie that does not loop ends";
  EXPECT_EQ(record->playing, 0);
  EXPECT_EQ(qz::CloseMovieHandle(movie), 0);
}

TEST_F(MovieFilterGraph, AFileTheGraphCannotReadWhereItLiesPlaysFromATemporaryCopy) {
  qz::testing::ScratchFolder temp;
  qz::testing::ScopedTempFolder useTemp(temp.root());
  gFake.acceptedFolder = temp.root();
  const std::string bytes = qz::testing::PatternBytes(2500000);
  folder_.Write("clip.avi", bytes);
  // The chunks the copy reads, seen through the file-access table.
  static std::vector<std::size_t> reads;
  reads.clear();
  qz::FileAccessTable counting = qz::GetFileAccessTable();
  static qz::FileAccessTable plain;
  plain = counting;
  counting.Read = [](void* buffer, std::size_t size, std::size_t count, qz::FileHandle file) {
    reads.push_back(size * count);
    return plain.Read(buffer, size, count, file);
  };
  qz::SetFileAccessTable(&counting);
  const int movie = qz::OpenMovie(path_.c_str(), nullptr, nullptr, 0);
  qz::SetFileAccessTable(&plain);
  ASSERT_NE(movie, -1);
  // The Theora road's look at the first four bytes, then the copy's chunks.
  EXPECT_EQ(reads, (std::vector<std::size_t>{4, 1048576, 1048576, 402848}));
  ASSERT_EQ(gFake.rendered.size(), 2u);
  const std::string copy = plat::ToPosixPath(gFake.rendered[1]);
  EXPECT_EQ(copy.rfind(temp.root(), 0), 0u);
  EXPECT_EQ(temp.Read(copy.substr(temp.root().size() + 1)), bytes) << "a byte-identical copy";
  EXPECT_EQ(qz::CloseMovieHandle(movie), 0);
  EXPECT_FALSE(std::filesystem::exists(copy)) << "the copy goes with the movie";

  // A copy that cannot be rendered either is deleted at once.
  qz::testing::ScratchLog log;
  gFake.acceptedFolder = "/nowhere";
  EXPECT_EQ(qz::OpenMovie(path_.c_str(), nullptr, nullptr, 0), -1);
  EXPECT_TRUE(std::filesystem::is_empty(temp.root()));
  char line[512];
  std::snprintf(line, sizeof(line), qz::text::kMovieFileOpenFailed, path_.c_str());
  EXPECT_TRUE(log.Contains(line));
  EXPECT_TRUE(log.Contains(qz::text::kMovieOpenFailed));
}

TEST_F(MovieFilterGraph, EachFailureLogsItsOneLineAndHoldsNothing) {
  const std::pair<FailAt, const char*> failures[] = {
      {FailAt::kCreate, qz::text::kFilterGraphCreateFailed},
      {FailAt::kAddFilter, qz::text::kRendererAddFailed},
      {FailAt::kBasicAudio, qz::text::kBasicAudioQueryFailed},
      {FailAt::kMediaControl, qz::text::kMediaControlQueryFailed},
      {FailAt::kMediaSeeking, qz::text::kMediaSeekingQueryFailed},
  };
  for (const auto& [failAt, line] : failures) {
    qz::testing::ScratchLog log;
    gFake.failAt = failAt;
    EXPECT_EQ(qz::OpenMovie(path_.c_str(), nullptr, nullptr, 0), -1);
    EXPECT_TRUE(log.Contains(line)) << line;
    EXPECT_TRUE(log.Contains(qz::text::kMovieOpenFailed));
    EXPECT_EQ(gFake.liveGraphs, 0) << line;
  }
  // A path that names no file fails on both roads.
  qz::testing::ScratchLog log;
  gFake.failAt = FailAt::kNothing;
  gFake.acceptedFolder = "/nowhere";
  const std::string absent = folder_.Library("absent.avi");
  EXPECT_EQ(qz::OpenMovie(absent.c_str(), nullptr, nullptr, 0), -1);
  char line[512];
  std::snprintf(line, sizeof(line), qz::text::kMovieFileOpenFailed, absent.c_str());
  EXPECT_TRUE(log.Contains(line));
  EXPECT_TRUE(log.Contains(qz::text::kMovieOpenFailed));
}

}  // namespace
