// Playing a 640x480 Theora movie: each item steps the movie one frame and
// converts it into the movie's 32-bit frame image (the decode thread decodes
// ahead meanwhile), beside the conversion alone and libtheora's own decode of
// the same packets in the same run. Items are frames.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "movie/movie_services.h"
#include "movie/theora_movie.h"
#include "tests/movie/theora_test_movie.h"

namespace qz {
namespace {

const std::string& MovieBytes() {
  static const std::string bytes = testing::EncodeTheoraMovie(testing::TestMovieOptions{
      .width = 640, .height = 480, .frames = 120, .keyInterval = 30, .texture = true});
  return bytes;
}

// The movie written to a scratch file and opened as the movie handles open it.
class OpenedMovie {
 public:
  OpenedMovie() {
    InitTheoraColorTables();
    const int descriptor = mkstemp(path_);
    if (descriptor < 0) return;
    const bool written = write(descriptor, MovieBytes().data(), MovieBytes().size()) ==
                         static_cast<ssize_t>(MovieBytes().size());
    close(descriptor);
    file_ = written ? FileAccessOpen(path_, 0, 1, 0) : 0;
    if (file_ != 0) movie = OpenTheoraMovie(&GetFileAccessTable(), file_, 10);
  }
  ~OpenedMovie() {
    if (movie != nullptr) CloseTheoraMovie(movie);
    if (file_ != 0) FileAccessClose(file_);
    unlink(path_);
  }
  TheoraMovieContext* movie = nullptr;

 private:
  char path_[32] = "/tmp/qz_movie_bench_XXXXXX";
  FileHandle file_ = 0;
};

// Steps one frame and converts it; the decode thread decodes ahead meanwhile.
void BM_MovieDecodeAndConvert(benchmark::State& state) {
  OpenedMovie opened;
  if (opened.movie == nullptr) {
    state.SkipWithError("the movie did not open");
    return;
  }
  for (auto _ : state) {
    AdvanceTheoraFrames(opened.movie, 1);
    benchmark::DoNotOptimize(ConvertTheoraFrame(opened.movie, 1, 0));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MovieDecodeAndConvert)->Unit(benchmark::kMicrosecond);

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
BENCHMARK(BM_MovieConvertOnly)->Unit(benchmark::kMicrosecond);

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
    while (ogg_stream_packetout(&stream, &packet) > 0) packets.emplace_back(packet.packet, packet.packet + packet.bytes);
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

void BM_LibtheoraDecode(benchmark::State& state) {
  std::vector<std::vector<unsigned char>> packets = TheoraPackets();
  theora_info info;
  theora_comment comment;
  theora_info_init(&info);
  theora_comment_init(&comment);
  for (int i = 0; i < 3; ++i) {
    ogg_packet header = AsPacket(packets[i], i);
    theora_decode_header(&info, &comment, &header);
  }
  theora_state decoder;
  theora_decode_init(&decoder, &info);
  std::size_t next = 3;
  for (auto _ : state) {
    ogg_packet packet = AsPacket(packets[next], static_cast<int>(next));
    theora_decode_packetin(&decoder, &packet);
    yuv_buffer planes;
    theora_decode_YUVout(&decoder, &planes);
    benchmark::DoNotOptimize(planes.y[0]);
    next = next + 1 < packets.size() ? next + 1 : 3;
  }
  theora_clear(&decoder);
  theora_comment_clear(&comment);
  theora_info_clear(&info);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibtheoraDecode)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qz
