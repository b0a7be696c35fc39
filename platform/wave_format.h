// The PCM and compressed-audio format record that sound buffers, the
// compression manager and wave files share. It keeps the 18-byte layout of a
// wave file's "fmt " chunk (no padding), so a chunk body can be read straight
// into it and format-specific bytes follow it in the same block.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 0x0001;
inline constexpr std::uint16_t WAVE_FORMAT_ADPCM = 0x0002;
inline constexpr std::uint16_t WAVE_FORMAT_ALAW = 0x0006;
inline constexpr std::uint16_t WAVE_FORMAT_MULAW = 0x0007;
inline constexpr std::uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;
inline constexpr std::uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;

struct __attribute__((packed)) WaveFormatEx {
  std::uint16_t formatTag;
  std::uint16_t channels;
  std::uint32_t samplesPerSec;
  std::uint32_t avgBytesPerSec;
  std::uint16_t blockAlign;
  std::uint16_t bitsPerSample;
  // Bytes of format-specific data that follow the record.
  std::uint16_t extraSize;
};
static_assert(sizeof(WaveFormatEx) == 18, "the record keeps the file layout");

}  // namespace plat
