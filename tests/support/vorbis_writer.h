// Ogg Vorbis written by the tests, the benchmarks and the fuzz seed writer
// through vorbisenc, as pages: the beginning-of-stream page, the other header
// pages and the data pages, so that a movie writer can mux them between its
// own pages and a sound file is the three joined.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace qz::testing {

struct VorbisPages {
  std::string bos;
  std::string headers;
  std::vector<std::string> data;

  std::string Joined() const {
    std::string file = bos + headers;
    for (const std::string& page : data) file += page;
    return file;
  }
};

// Interleaved 16-bit samples at a VBR quality, in a logical stream of that
// serial number; empty pages when the encoder refuses the layout.
inline VorbisPages EncodeVorbisPages(const std::vector<std::int16_t>& samples, int channels, long rate, float quality,
                                     int serial) {
  VorbisPages pages;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
    vorbis_info_clear(&info);
    return pages;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);
  ogg_page page;
  auto append = [&page](std::string* out) {
    out->append(reinterpret_cast<const char*>(page.header), static_cast<std::size_t>(page.header_len));
    out->append(reinterpret_cast<const char*>(page.body), static_cast<std::size_t>(page.body_len));
  };
  auto appendData = [&] {
    pages.data.emplace_back();
    append(&pages.data.back());
  };
  ogg_packet header, commentPacket, codebook;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebook);
  // The identification header alone opens the stream.
  ogg_stream_packetin(&stream, &header);
  while (ogg_stream_flush(&stream, &page) != 0) append(&pages.bos);
  ogg_stream_packetin(&stream, &commentPacket);
  ogg_stream_packetin(&stream, &codebook);
  while (ogg_stream_flush(&stream, &page) != 0) append(&pages.headers);
  auto drain = [&] {
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) appendData();
      }
    }
  };
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  constexpr std::size_t kChunk = 1024;
  for (std::size_t start = 0; start < frames; start += kChunk) {
    const std::size_t count = std::min(kChunk, frames - start);
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
      for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(start + i) * channels + c] / 32768.0f;
    }
    vorbis_analysis_wrote(&dsp, static_cast<int>(count));
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&stream, &page) != 0) appendData();
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return pages;
}

}  // namespace qz::testing
