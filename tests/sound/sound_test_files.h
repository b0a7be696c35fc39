// Sound files made by the tests: wave files with any chunks and fields, IMA
// and Microsoft ADPCM encoders, Ogg Vorbis through vorbisenc, and MPEG layer
// 3 files of silent frames (with ID3 tags and an Info frame when asked).
#pragma once

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/vorbis_writer.h"

namespace qz::testing {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}
inline void PutLe32(Bytes& out, std::uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}
inline void PutText(Bytes& out, const char* text) { out.insert(out.end(), text, text + std::strlen(text)); }

// A RIFF WAVE file of the given chunks, in order; odd chunks are padded.
class WaveBuilder {
 public:
  WaveBuilder& Chunk(const char* id, const Bytes& body) { return Chunk(id, body, static_cast<std::uint32_t>(body.size())); }
  // A chunk whose header claims a size of its own (for lying headers).
  WaveBuilder& Chunk(const char* id, const Bytes& body, std::uint32_t claimedSize) {
    PutText(chunks_, id);
    PutLe32(chunks_, claimedSize);
    chunks_.insert(chunks_.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) chunks_.push_back(0);
    return *this;
  }
  Bytes Build() const {
    Bytes file;
    PutText(file, "RIFF");
    PutLe32(file, static_cast<std::uint32_t>(chunks_.size() + 4));
    PutText(file, "WAVE");
    file.insert(file.end(), chunks_.begin(), chunks_.end());
    return file;
  }

 private:
  Bytes chunks_;
};

struct FormatFields {
  std::uint16_t tag = 1;
  std::uint16_t channels = 2;
  std::uint32_t rate = 44100;
  std::uint32_t avgBytes = 0;  // 0: rate × block align
  std::uint16_t blockAlign = 4;
  std::uint16_t bits = 16;
};

// A "fmt " body of 16 bytes, or 18 and more with the extra bytes.
inline Bytes FormatBody(const FormatFields& f, bool withExtraSize = true, const Bytes& extra = {}) {
  Bytes body;
  PutLe16(body, f.tag);
  PutLe16(body, f.channels);
  PutLe32(body, f.rate);
  PutLe32(body, f.avgBytes != 0 ? f.avgBytes : f.rate * f.blockAlign);
  PutLe16(body, f.blockAlign);
  PutLe16(body, f.bits);
  if (withExtraSize) {
    PutLe16(body, static_cast<std::uint32_t>(extra.size()));
    body.insert(body.end(), extra.begin(), extra.end());
  }
  return body;
}

inline FormatFields PcmFields(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  FormatFields f;
  f.channels = channels;
  f.rate = rate;
  f.bits = bits;
  f.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  return f;
}

// 16-bit samples counting up from a start value (sample i = start + i mod
// 65536), so a dropped or repeated sample shows.
inline Bytes CounterPcm16(std::uint32_t samples, std::uint16_t start = 0) {
  Bytes data;
  for (std::uint32_t i = 0; i < samples; ++i) PutLe16(data, static_cast<std::uint16_t>(start + i));
  return data;
}

inline Bytes PcmWave(const FormatFields& f, const Bytes& data) {
  return WaveBuilder().Chunk("fmt ", FormatBody(f)).Chunk("data", data).Build();
}

// Interleaved 16-bit samples of a sine per channel.
inline std::vector<std::int16_t> SineSamples(std::uint32_t frames, std::uint32_t channels, double hertz,
                                             std::uint32_t rate, double amplitude) {
  std::vector<std::int16_t> samples(std::size_t{frames} * channels);
  for (std::uint32_t i = 0; i < frames; ++i) {
    for (std::uint32_t c = 0; c < channels; ++c) {
      const double phase = 2.0 * M_PI * hertz * (c + 1) * i / rate;
      samples[std::size_t{i} * channels + c] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
    }
  }
  return samples;
}

inline std::vector<std::int16_t> ToSamples(const Bytes& pcm) {
  std::vector<std::int16_t> samples(pcm.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
  }
  return samples;
}

// Root-mean-square difference of two sample runs over their common length.
inline double RmsDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double difference = static_cast<double>(a[i]) - b[i];
    sum += difference * difference;
  }
  return n == 0 ? 0.0 : std::sqrt(sum / n);
}

// IMA ADPCM: blocks of blockAlign bytes, the usual step tables.
struct AdpcmWave {
  Bytes formatExtra;
  Bytes data;
  std::uint32_t samplesPerBlock;
};

inline AdpcmWave EncodeImaAdpcm(const std::vector<std::int16_t>& samples, std::uint32_t channels, std::uint32_t blockAlign) {
  static const int kSteps[89] = {
      7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
      31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
      130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
      544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
      2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
      9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
  static const int kIndexSteps[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
  AdpcmWave wave;
  wave.samplesPerBlock = (blockAlign - 4 * channels) / (4 * channels) * 8 + 1;
  PutLe16(wave.formatExtra, wave.samplesPerBlock);
  const std::size_t frames = samples.size() / channels;
  int predictor[2] = {0, 0};
  int index[2] = {0, 0};
  auto encode = [&](std::uint32_t c, int sample) {
    const int step = kSteps[index[c]];
    int difference = sample - predictor[c];
    int code = 0;
    if (difference < 0) {
      code = 8;
      difference = -difference;
    }
    int delta = step >> 3;
    if (difference >= step) { code |= 4; difference -= step; delta += step; }
    if (difference >= step >> 1) { code |= 2; difference -= step >> 1; delta += step >> 1; }
    if (difference >= step >> 2) { code |= 1; delta += step >> 2; }
    predictor[c] = std::clamp((code & 8) != 0 ? predictor[c] - delta : predictor[c] + delta, -32768, 32767);
    index[c] = std::clamp(index[c] + kIndexSteps[code & 7], 0, 88);
    return code;
  };
  for (std::size_t start = 0; start + wave.samplesPerBlock <= frames; start += wave.samplesPerBlock) {
    for (std::uint32_t c = 0; c < channels; ++c) {
      predictor[c] = samples[start * channels + c];
      PutLe16(wave.data, static_cast<std::uint16_t>(predictor[c]));
      wave.data.push_back(static_cast<std::uint8_t>(index[c]));
      wave.data.push_back(0);
    }
    for (std::uint32_t group = 0; group < (wave.samplesPerBlock - 1) / 8; ++group) {
      for (std::uint32_t c = 0; c < channels; ++c) {
        std::uint8_t bytes[4] = {};
        for (std::uint32_t i = 0; i < 8; ++i) {
          const int code = encode(c, samples[(start + 1 + group * 8 + i) * channels + c]);
          bytes[i / 2] |= static_cast<std::uint8_t>(code << ((i & 1) * 4));
        }
        wave.data.insert(wave.data.end(), bytes, bytes + 4);
      }
    }
  }
  return wave;
}

// Microsoft ADPCM with the seven standard coefficient pairs; every block uses
// the first pair (predict the previous sample).
inline AdpcmWave EncodeMsAdpcm(const std::vector<std::int16_t>& samples, std::uint32_t channels, std::uint32_t blockAlign) {
  static const int kAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
  static const int kCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  AdpcmWave wave;
  wave.samplesPerBlock = (blockAlign - 7 * channels) * 2 / channels + 2;
  PutLe16(wave.formatExtra, wave.samplesPerBlock);
  PutLe16(wave.formatExtra, 7);
  for (const auto& pair : kCoefficients) {
    PutLe16(wave.formatExtra, static_cast<std::uint16_t>(pair[0]));
    PutLe16(wave.formatExtra, static_cast<std::uint16_t>(pair[1]));
  }
  const std::size_t frames = samples.size() / channels;
  for (std::size_t start = 0; start + wave.samplesPerBlock <= frames; start += wave.samplesPerBlock) {
    int delta[2] = {16, 16};
    int sample1[2];
    for (std::uint32_t c = 0; c < channels; ++c) wave.data.push_back(0);
    for (std::uint32_t c = 0; c < channels; ++c) PutLe16(wave.data, 16);
    for (std::uint32_t c = 0; c < channels; ++c) {
      sample1[c] = samples[(start + 1) * channels + c];
      PutLe16(wave.data, static_cast<std::uint16_t>(sample1[c]));
    }
    for (std::uint32_t c = 0; c < channels; ++c) PutLe16(wave.data, static_cast<std::uint16_t>(samples[start * channels + c]));
    const std::uint32_t codeCount = (wave.samplesPerBlock - 2) * channels;
    std::uint8_t byte = 0;
    for (std::uint32_t i = 0; i < codeCount; ++i) {
      const std::uint32_t c = i % channels;
      const int target = samples[(start + 2 + i / channels) * channels + c];
      const int predicted = sample1[c];
      int code = static_cast<int>(std::lround(double(target - predicted) / delta[c]));
      code = std::clamp(code, -8, 7);
      const int decoded = std::clamp(predicted + code * delta[c], -32768, 32767);
      sample1[c] = decoded;
      const int nibble = code & 0xF;
      delta[c] = std::max((kAdapt[nibble] * delta[c]) >> 8, 16);
      if ((i & 1) == 0) {
        byte = static_cast<std::uint8_t>(nibble << 4);
      } else {
        wave.data.push_back(static_cast<std::uint8_t>(byte | nibble));
      }
    }
    if (codeCount % 2 != 0) wave.data.push_back(byte);
  }
  return wave;
}

// Stereo 16-bit samples as a 128 kbit/s MP3 file.
inline Bytes EncodeMp3(const std::vector<std::int16_t>& samples, int rate) {
  lame_global_flags* lame = lame_init();
  lame_set_num_channels(lame, 2);
  lame_set_in_samplerate(lame, rate);
  lame_set_brate(lame, 128);
  lame_set_quality(lame, 7);
  if (lame_init_params(lame) != 0) {
    lame_close(lame);
    return {};
  }
  const int frames = static_cast<int>(samples.size() / 2);
  Bytes out(static_cast<std::size_t>(frames) * 5 / 4 + 7200 + 16384);
  int size = lame_encode_buffer_interleaved(lame, const_cast<short*>(samples.data()), frames, out.data(),
                                            static_cast<int>(out.size()));
  if (size < 0) size = 0;
  size += lame_encode_flush(lame, out.data() + size, static_cast<int>(out.size()) - size);
  lame_close(lame);
  out.resize(static_cast<std::size_t>(size));
  return out;
}

// An Ogg Vorbis file of interleaved 16-bit samples (VBR quality 0.5).
inline Bytes EncodeOggVorbis(const std::vector<std::int16_t>& samples, int channels, long rate) {
  const std::string file = EncodeVorbisPages(samples, channels, rate, 0.5f, 12345).Joined();
  return Bytes(file.begin(), file.end());
}

// The frame kinds the tests use: header bytes and the unpadded frame size.
struct Mp3FrameKind {
  std::uint8_t h1;
  std::uint8_t h2;
  std::uint8_t h3;
  std::size_t bytes;
  std::uint32_t samples;
};
inline constexpr Mp3FrameKind kMpeg1Stereo128k{0xFB, 0x90, 0x00, 417, 1152};
inline constexpr Mp3FrameKind kMpeg2Mono64k{0xF3, 0x80, 0xC0, 208, 576};

// A silent MPEG layer 3 frame: the header, then zero side information and
// main data, which decode to zeros.
inline Bytes SilentMp3Frame(const Mp3FrameKind& kind = kMpeg1Stereo128k, bool padded = false) {
  Bytes frame(kind.bytes + (padded ? 1 : 0), 0);
  frame[0] = 0xFF;
  frame[1] = kind.h1;
  frame[2] = static_cast<std::uint8_t>(kind.h2 | (padded ? 0x02 : 0x00));
  frame[3] = kind.h3;
  return frame;
}

// An Info frame as encoders write first: a silent frame carrying "Info", a
// frame count and an encoder tag with a start delay.
inline Bytes InfoMp3Frame(std::uint32_t frames) {
  Bytes frame = SilentMp3Frame();
  const std::size_t at = 4 + 32;  // after the stereo MPEG-1 side information
  std::memcpy(frame.data() + at, "Info", 4);
  frame[at + 7] = 0x01;  // frame count present
  frame[at + 8] = static_cast<std::uint8_t>(frames >> 24);
  frame[at + 9] = static_cast<std::uint8_t>(frames >> 16);
  frame[at + 10] = static_cast<std::uint8_t>(frames >> 8);
  frame[at + 11] = static_cast<std::uint8_t>(frames);
  std::memcpy(frame.data() + at + 120, "LAME3.100", 9);
  frame[at + 141] = 0x24;  // delay 576, padding 0
  frame[at + 142] = 0x00;
  frame[at + 143] = 0x00;
  return frame;
}

inline Bytes SilentMp3(std::uint32_t frames, const Mp3FrameKind& kind = kMpeg1Stereo128k) {
  Bytes file;
  for (std::uint32_t i = 0; i < frames; ++i) {
    // Every third frame padded, so frame sizes vary as in a real file.
    const Bytes frame = SilentMp3Frame(kind, i % 3 == 2);
    file.insert(file.end(), frame.begin(), frame.end());
  }
  return file;
}

// An ID3v2 tag of the given body size (version 3, or 4 with a footer).
inline Bytes Id3v2Tag(std::uint32_t bodySize, bool version4WithFooter) {
  Bytes tag;
  PutText(tag, "ID3");
  tag.push_back(version4WithFooter ? 4 : 3);
  tag.push_back(0);
  tag.push_back(version4WithFooter ? 0x10 : 0x00);
  tag.push_back(static_cast<std::uint8_t>((bodySize >> 21) & 0x7F));
  tag.push_back(static_cast<std::uint8_t>((bodySize >> 14) & 0x7F));
  tag.push_back(static_cast<std::uint8_t>((bodySize >> 7) & 0x7F));
  tag.push_back(static_cast<std::uint8_t>(bodySize & 0x7F));
  // A body full of sync-like bytes, which the scan must not take for frames.
  for (std::uint32_t i = 0; i < bodySize; ++i) tag.push_back(i % 2 == 0 ? 0xFF : 0xFB);
  if (version4WithFooter) {
    const Bytes header(tag.begin() + 3, tag.begin() + 10);
    PutText(tag, "3DI");
    tag.insert(tag.end(), header.begin(), header.end());
  }
  return tag;
}

inline Bytes Id3v1Tag() {
  Bytes tag;
  PutText(tag, "TAG");
  tag.resize(128, 0xFF);
  return tag;
}

}  // namespace qz::testing
