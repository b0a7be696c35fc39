// Playing a 640x480 Theora movie, in frames per second of wall time: each
// item steps the movie one frame and brings it into a movie graph of a
// started headless library (software path, or device path with the video
// surface) or into the movie's own frame image, while the decode thread
// decodes ahead. Beside them: the conversion alone and libtheora's own decode
// of the same packets. The counter "vs_libtheora" divides an item's wall time
// by libtheora's decode of a frame, timed in the same benchmark just before
// and just after its loop, so both see the same machine load.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/window_state.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graph_restore.h"
#include "graphics/movie_graph.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "movie/movie_handles.h"
#include "movie/movie_services.h"
#include "movie/theora_movie.h"
#include "tests/movie/theora_test_movie.h"

namespace qz {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

const std::string& MovieBytes() {
  static const std::string bytes = testing::EncodeTheoraMovie(testing::TestMovieOptions{
      .width = kWidth, .height = kHeight, .frames = 120, .keyInterval = 30, .texture = true});
  return bytes;
}

// The movie in a scratch file, removed at the end.
class MovieFile {
 public:
  MovieFile() {
    const int descriptor = mkstemp(path_);
    if (descriptor < 0) return;
    written_ = write(descriptor, MovieBytes().data(), MovieBytes().size()) ==
               static_cast<ssize_t>(MovieBytes().size());
    close(descriptor);
  }
  ~MovieFile() { unlink(path_); }
  const char* path() const { return written_ ? path_ : nullptr; }

 private:
  char path_[32] = "/tmp/qz_movie_bench_XXXXXX";
  bool written_ = false;
};

// The packets of the Theora stream, headers first.
std::vector<std::vector<unsigned char>> TheoraPackets() {
  std::vector<std::vector<unsigned char>> packets;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(MovieBytes().size()));
  std::memcpy(buffer, MovieBytes().data(), MovieBytes().size());
  ogg_sync_wrote(&sync, static_cast<long>(MovieBytes().size()));
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);
  ogg_page page;
  ogg_packet packet;
  while (ogg_sync_pageout(&sync, &page) > 0) {
    ogg_stream_pagein(&stream, &page);
    while (ogg_stream_packetout(&stream, &packet) > 0) {
      packets.emplace_back(packet.packet, packet.packet + packet.bytes);
    }
  }
  ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  return packets;
}

ogg_packet AsPacket(std::vector<unsigned char>& bytes, int number) {
  ogg_packet packet{};
  packet.packet = bytes.data();
  packet.bytes = static_cast<long>(bytes.size());
  packet.b_o_s = number == 0 ? 1 : 0;
  packet.granulepos = -1;
  packet.packetno = number;
  return packet;
}

// libtheora's legacy decoder over the movie's packets, frame after frame,
// around to the first frame after the last.
class LibtheoraDecoder {
 public:
  LibtheoraDecoder() : packets_(TheoraPackets()) {
    theora_info_init(&info_);
    theora_comment_init(&comment_);
    for (int i = 0; i < 3; ++i) {
      ogg_packet header = AsPacket(packets_[i], i);
      theora_decode_header(&info_, &comment_, &header);
    }
    theora_decode_init(&decoder_, &info_);
  }
  ~LibtheoraDecoder() {
    theora_clear(&decoder_);
    theora_comment_clear(&comment_);
    theora_info_clear(&info_);
  }
  void DecodeFrame() {
    ogg_packet packet = AsPacket(packets_[next_], static_cast<int>(next_));
    theora_decode_packetin(&decoder_, &packet);
    yuv_buffer planes;
    theora_decode_YUVout(&decoder_, &planes);
    benchmark::DoNotOptimize(planes.y[0]);
    next_ = next_ + 1 < packets_.size() ? next_ + 1 : 3;
  }
  // Wall seconds per frame over two passes of the movie.
  double SecondsPerFrame() {
    const int frames = 2 * static_cast<int>(packets_.size() - 3);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) DecodeFrame();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / frames;
  }

 private:
  std::vector<std::vector<unsigned char>> packets_;
  theora_info info_;
  theora_comment comment_;
  theora_state decoder_;
  std::size_t next_ = 3;
};

// Runs `step` once per item between two timings of libtheora's decode and
// reports the ratio of the wall times per frame.
template <typename Step>
void RunAgainstLibtheora(benchmark::State& state, Step step) {
  LibtheoraDecoder reference;
  const double before = reference.SecondsPerFrame();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) step();
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double after = reference.SecondsPerFrame();
  const double libtheora = (before + after) / 2;
  state.SetItemsProcessed(state.iterations());
  state.counters["vs_libtheora"] = elapsed / static_cast<double>(state.iterations()) / libtheora;
  state.counters["libtheora_us_before"] = before * 1e6;
  state.counters["libtheora_us_after"] = after * 1e6;
}

// A started headless library on the device path (1) or the software path (0),
// with the movie loaded as a graph.
class MovieGraphLibrary {
 public:
  explicit MovieGraphLibrary(bool device) {
    setenv("QZ_BACKEND", "headless", 1);
    SetLogOutputEnabled(0);
    GetWindowSystemState().settings.allowDoubleStart = 1;  // other runs may hold the window class
    ChangeWindowMode(1);
    SetHardwareRenderingFlag(device ? 1 : 0);
    SetPresentVSyncWait(0);
    SetScreenMode(kWidth, kHeight, 32, 60);
    started_ = file_.path() != nullptr && InitLibraryEntry() == 0;
    if (started_) graph = LoadImageOrMovieAsGraph(file_.path(), 0, 0, 0);
    if (graph != -1) movie = GetMovieRecord(GetGraphRecord(graph)->movie);
  }
  ~MovieGraphLibrary() {
    if (started_) EndLibraryEntry();
  }
  bool started() const { return started_; }
  int graph = -1;
  MovieRecord* movie = nullptr;

 private:
  MovieFile file_;
  bool started_ = false;
};

// Steps one frame and brings it into the graph, as each draw of a playing
// movie graph does.
void BM_MovieIntoGraph(benchmark::State& state) {
  MovieGraphLibrary library(state.range(0) == 1);
  if (!library.started()) {
    state.SkipWithError("the library did not start");
    return;
  }
  if (library.movie == nullptr || library.movie->theora == 0) {
    state.SkipWithError("the movie did not load as a graph");
    return;
  }
  RunAgainstLibtheora(state, [&library] {
    AdvanceTheoraFrames(library.movie->theoraMovie, 1);
    benchmark::DoNotOptimize(CopyMovieFrameToGraph(library.movie, library.graph));
  });
}
BENCHMARK(BM_MovieIntoGraph)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The movie opened as the movie handles open it, without a library.
class OpenedMovie {
 public:
  OpenedMovie() {
    InitTheoraColorTables();
    file_ = file_path_.path() != nullptr ? FileAccessOpen(file_path_.path(), 0, 1, 0) : 0;
    if (file_ != 0) movie = OpenTheoraMovie(&GetFileAccessTable(), file_, kMovieFrameStockCount);
  }
  ~OpenedMovie() {
    if (movie != nullptr) CloseTheoraMovie(movie);
    if (file_ != 0) FileAccessClose(file_);
  }
  TheoraMovieContext* movie = nullptr;

 private:
  MovieFile file_path_;
  FileHandle file_ = 0;
};

// Steps one frame and converts it into the movie's frame image.
void BM_MovieDecodeAndConvert(benchmark::State& state) {
  OpenedMovie opened;
  if (opened.movie == nullptr) {
    state.SkipWithError("the movie did not open");
    return;
  }
  RunAgainstLibtheora(state, [&opened] {
    AdvanceTheoraFrames(opened.movie, 1);
    benchmark::DoNotOptimize(ConvertTheoraFrame(opened.movie, 1, 0));
  });
}
BENCHMARK(BM_MovieDecodeAndConvert)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The conversion alone, of one decoded frame over and over.
void BM_MovieConvertOnly(benchmark::State& state) {
  OpenedMovie opened;
  if (opened.movie == nullptr) {
    state.SkipWithError("the movie did not open");
    return;
  }
  for (auto _ : state) {
    opened.movie->imageConverted.store(0);
    benchmark::DoNotOptimize(ConvertTheoraFrame(opened.movie, 1, 0));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MovieConvertOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_LibtheoraDecode(benchmark::State& state) {
  LibtheoraDecoder decoder;
  for (auto _ : state) decoder.DecodeFrame();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibtheoraDecode)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace qz
