// MPEG audio frame headers: version, layer, bitrate, rate, padding and mode
// give the frame's byte size and sample count, so a file's frames can be
// walked and its length known before any decoding.
#include "sound/sound_converter.h"

namespace qz {
namespace {

// kbit/s by bitrate index (1-14) for MPEG-1 layers I, II, III and MPEG-2
// layers I and II/III.
constexpr std::int32_t kMpeg1Bitrates[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
};
constexpr std::int32_t kMpeg2Bitrates[2][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr std::int32_t kMpeg1Rates[3] = {44100, 48000, 32000};
constexpr std::int32_t kMpeg2Rates[3] = {22050, 24000, 16000};

}  // namespace

int ParseMp3FrameHeader(const std::uint8_t* bytes, Mp3FrameHeader* header) {
  if (bytes == nullptr || header == nullptr) return -1;
  if (bytes[0] != 0xFF || (bytes[1] & 0xF0) != 0xF0) return -2;
  const bool mpeg1 = (bytes[1] & 0x08) != 0;
  const std::int32_t layer = 3 - ((bytes[1] >> 1) & 3);
  const std::int32_t bitrateIndex = bytes[2] >> 4;
  const std::int32_t rateIndex = (bytes[2] >> 2) & 3;
  if (layer == 3 || bitrateIndex == 15 || bitrateIndex == 0 || rateIndex == 3) return -1;
  const std::int32_t bitrate =
      mpeg1 ? kMpeg1Bitrates[layer][bitrateIndex] : kMpeg2Bitrates[layer == 0 ? 0 : 1][bitrateIndex];
  const std::int32_t rate = mpeg1 ? kMpeg1Rates[rateIndex] : kMpeg2Rates[rateIndex];
  const std::int32_t padding = (bytes[2] >> 1) & 1;
  header->mpegVersion = mpeg1 ? 1 : 2;
  header->layer = layer;
  header->bitrateKbps = bitrate;
  header->sampleRate = rate;
  header->padding = padding;
  header->channels = (bytes[3] >> 6) == 3 ? 1 : 2;
  if (layer == 0) {
    header->frameBytes = (bitrate * 12000 / rate + padding) * 4;
    header->samplesPerFrame = 384;
  } else if (mpeg1 || layer == 1) {
    header->frameBytes = bitrate * 144000 / rate + padding;
    header->samplesPerFrame = 1152;
  } else {
    header->frameBytes = bitrate * 72000 / rate + padding;
    header->samplesPerFrame = 576;
  }
  return 0;
}

}  // namespace qz
