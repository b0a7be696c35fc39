// Ogg Theora movies made by the tests with libtheora's encoder: flat 16x16
// blocks whose grey levels spell each frame's number in base 4, so a decoded
// and converted frame tells which frame it is; optionally a muxed Ogg Vorbis
// sound. Also read by the movie benchmark.
#pragma once

#include <theora/theoraenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/base_image.h"
#include "tests/sound/sound_test_files.h"
#include "tests/support/vorbis_writer.h"

namespace qz::testing {

struct TestMovieOptions {
  int width = 64;  // the picture; the coded frame is rounded up to 16
  int height = 48;
  int frames = 30;
  unsigned fpsNumerator = 30;
  unsigned fpsDenominator = 1;
  int keyInterval = 8;  // forced: a key frame at least this often
  bool pagePerFrame = false;
  th_pixel_fmt format = TH_PF_420;
  bool texture = false;      // moving detail of every plane outside the number blocks
  double soundSeconds = 0;   // > 0: an Ogg Vorbis stream of a tone, muxed in
  std::string comment = {};  // a TITLE tag, when not empty
};

inline constexpr int kNumberBlock = 16;
inline constexpr int kNumberDigits = 6;  // base 4: frames 0 .. 4095
inline constexpr std::uint8_t kDigitLuma[4] = {32, 96, 160, 224};
// The block after the digits is studio-range red.
inline constexpr std::uint8_t kRedY = 81, kRedCb = 90, kRedCr = 240;

// Block i of the number blocks, in rows of blocks across the picture.
inline void NumberBlockOrigin(int width, int block, int* x, int* y) {
  const int perRow = width / kNumberBlock;
  *x = (block % perRow) * kNumberBlock;
  *y = (block / perRow) * kNumberBlock;
}

inline void PaintTestFrame(const TestMovieOptions& options, int frame, th_ycbcr_buffer planes) {
  const int xShift[3] = {0, options.format == TH_PF_444 ? 0 : 1, options.format == TH_PF_444 ? 0 : 1};
  const int yShift[3] = {0, options.format == TH_PF_420 ? 1 : 0, options.format == TH_PF_420 ? 1 : 0};
  for (int p = 0; p < 3; ++p) {
    for (int y = 0; y < planes[p].height; ++y) {
      unsigned char* row = planes[p].data + static_cast<std::ptrdiff_t>(y) * planes[p].stride;
      for (int x = 0; x < planes[p].width; ++x) {
        int value = p == 0 ? 64 : 128;
        if (options.texture) {
          value = p == 0 ? 40 + ((x * 3 + y * 2 + frame * 5) & 127) : 96 + ((x * 5 + y * 7 * p) & 63);
        }
        const int px = x << xShift[p];
        const int py = y << yShift[p];
        const int block = (py / kNumberBlock) * (options.width / kNumberBlock) + px / kNumberBlock;
        if (px < options.width / kNumberBlock * kNumberBlock && block < kNumberDigits) {
          int digit = frame;
          for (int d = 0; d < block; ++d) digit /= 4;
          value = p == 0 ? kDigitLuma[digit % 4] : 128;
        } else if (px < options.width / kNumberBlock * kNumberBlock && block == kNumberDigits) {
          value = p == 0 ? kRedY : (p == 1 ? kRedCb : kRedCr);
        }
        row[x] = static_cast<unsigned char>(value);
      }
    }
  }
}

// The frame number a converted 32-bit frame image shows (-1 when a block is
// no digit level).
inline int ReadFrameNumber(const BaseImage& image) {
  int number = 0;
  for (int block = kNumberDigits - 1; block >= 0; --block) {
    int x = 0;
    int y = 0;
    NumberBlockOrigin(static_cast<int>(image.width), block, &x, &y);
    const std::uint8_t* pixel = image.pixels + (y + kNumberBlock / 2) * image.pitch + (x + kNumberBlock / 2) * 4;
    int best = -1;
    for (int d = 0; d < 4; ++d) {
      const int expected = static_cast<int>((kDigitLuma[d] - 16) * 1.164);
      if (std::abs(pixel[1] - expected) < 12) best = d;
    }
    if (best < 0) return -1;
    number = number * 4 + best;
  }
  return number;
}

namespace movie_detail {

inline void AppendPage(std::string* out, const ogg_page& page) {
  out->append(reinterpret_cast<const char*>(page.header), static_cast<std::size_t>(page.header_len));
  out->append(reinterpret_cast<const char*>(page.body), static_cast<std::size_t>(page.body_len));
}

// A quiet mono tone as Ogg Vorbis pages, in the stream after the video's.
inline VorbisPages EncodeTone(double seconds) {
  constexpr std::uint32_t kRate = 22050;
  const auto frames = static_cast<std::uint32_t>(seconds * kRate);
  return EncodeVorbisPages(SineSamples(frames, 1, 210.0, kRate, 9830.0), 1, kRate, 0.1f, 2);
}

}  // namespace movie_detail

inline std::string EncodeTheoraMovie(const TestMovieOptions& options) {
  th_info info;
  th_info_init(&info);
  info.frame_width = static_cast<ogg_uint32_t>((options.width + 15) & ~15);
  info.frame_height = static_cast<ogg_uint32_t>((options.height + 15) & ~15);
  info.pic_width = static_cast<ogg_uint32_t>(options.width);
  info.pic_height = static_cast<ogg_uint32_t>(options.height);
  info.fps_numerator = options.fpsNumerator;
  info.fps_denominator = options.fpsDenominator;
  info.pixel_fmt = options.format;
  info.colorspace = TH_CS_UNSPECIFIED;
  info.quality = 63;
  info.keyframe_granule_shift = 12;
  th_enc_ctx* encoder = th_encode_alloc(&info);
  th_info_clear(&info);
  if (encoder == nullptr) return {};
  int interval = options.keyInterval;
  th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof(interval));

  const VorbisPages sound =
      options.soundSeconds > 0 ? movie_detail::EncodeTone(options.soundSeconds) : VorbisPages{};
  std::string out;
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);
  th_comment comment;
  th_comment_init(&comment);
  if (!options.comment.empty()) {
    char tag[] = "TITLE";
    std::string value = options.comment;
    th_comment_add_tag(&comment, tag, value.data());
  }
  ogg_packet packet;
  ogg_page page;
  // Every beginning-of-stream page comes first, then the other header pages.
  th_encode_flushheader(encoder, &comment, &packet);
  ogg_stream_packetin(&stream, &packet);
  while (ogg_stream_flush(&stream, &page) != 0) movie_detail::AppendPage(&out, page);
  out += sound.bos;
  while (th_encode_flushheader(encoder, &comment, &packet) > 0) ogg_stream_packetin(&stream, &packet);
  while (ogg_stream_flush(&stream, &page) != 0) movie_detail::AppendPage(&out, page);
  out += sound.headers;
  th_comment_clear(&comment);

  const int codedWidth = (options.width + 15) & ~15;
  const int codedHeight = (options.height + 15) & ~15;
  const int chromaWidth = options.format == TH_PF_444 ? codedWidth : codedWidth / 2;
  const int chromaHeight = options.format == TH_PF_420 ? codedHeight / 2 : codedHeight;
  std::vector<unsigned char> y(static_cast<std::size_t>(codedWidth) * codedHeight);
  std::vector<unsigned char> u(static_cast<std::size_t>(chromaWidth) * chromaHeight);
  std::vector<unsigned char> v(u.size());
  th_ycbcr_buffer planes = {{codedWidth, codedHeight, codedWidth, y.data()},
                            {chromaWidth, chromaHeight, chromaWidth, u.data()},
                            {chromaWidth, chromaHeight, chromaWidth, v.data()}};
  std::size_t soundPagesWritten = 0;
  for (int frame = 0; frame < options.frames; ++frame) {
    PaintTestFrame(options, frame, planes);
    th_encode_ycbcr_in(encoder, planes);
    while (th_encode_packetout(encoder, frame + 1 == options.frames ? 1 : 0, &packet) > 0) {
      ogg_stream_packetin(&stream, &packet);
    }
    if (options.pagePerFrame) {
      while (ogg_stream_flush(&stream, &page) != 0) movie_detail::AppendPage(&out, page);
    } else {
      while (ogg_stream_pageout(&stream, &page) != 0) movie_detail::AppendPage(&out, page);
    }
    const std::size_t soundDue = sound.data.size() * static_cast<std::size_t>(frame + 1) / options.frames;
    for (; soundPagesWritten < soundDue; ++soundPagesWritten) out += sound.data[soundPagesWritten];
  }
  while (ogg_stream_flush(&stream, &page) != 0) movie_detail::AppendPage(&out, page);
  for (; soundPagesWritten < sound.data.size(); ++soundPagesWritten) out += sound.data[soundPagesWritten];
  ogg_stream_clear(&stream);
  th_encode_free(encoder);
  return out;
}

}  // namespace qz::testing
