// MP3 decoded whole into memory: mpg123 decodes the sound in chunks that are
// appended to a PCM block (its capacity starts at ten times the file size and
// grows in 1 MiB steps), with the message pump run between chunks so a long
// decode can be abandoned when the program ends.
#include "sound/decoded_pcm_source.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "sound/sound_converter_internal.h"

namespace qz {
namespace {

constexpr std::uint32_t kGrowthStep = 0x100000;
// Decoded bytes handed to the append callback at a time.
constexpr std::size_t kChunkBytes = 0x40000;

struct Mpg123Handle {
  mpg123_handle* handle = nullptr;
  ~Mpg123Handle() {
    if (handle != nullptr) mpg123_delete(handle);
  }
};

bool OpenDecoder(Mpg123Handle* decoder) {
  static const bool ready = mpg123_init() == MPG123_OK;
  if (!ready) return false;
  decoder->handle = mpg123_new(nullptr, nullptr);
  if (decoder->handle == nullptr) return false;
  // Every frame is audio (the Info frame too) and nothing is trimmed, so the
  // length matches the frame count.
  mpg123_param(decoder->handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0.0);
  mpg123_param(decoder->handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
  mpg123_format_none(decoder->handle);
  const long* rates = nullptr;
  std::size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (std::size_t i = 0; i < rateCount; ++i) {
    mpg123_format(decoder->handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  return mpg123_open_feed(decoder->handle) == MPG123_OK;
}

void FailDecode(SoundConverter* converter, const char* message) {
  AppendLogText(message);
  ReleaseDecodedPcm(converter);
}

}  // namespace

int Mp3GrabberPcmCallback(const void* sample, std::size_t bytes, SoundConverter* converter) {
  DecodedPcmState& pcm = converter->decoded;
  if (pcm.data == nullptr || bytes == 0) return 0;
  const std::uint64_t needed = std::uint64_t{pcm.size} + bytes;
  if (needed + kGrowthStep > UINT32_MAX) {
    QZ_FREE(pcm.data);
    pcm.data = nullptr;
    return 0;
  }
  if (needed > pcm.capacity) {
    std::uint64_t capacity = pcm.capacity;
    while (needed > capacity) capacity += kGrowthStep;
    auto* grown = static_cast<std::uint8_t*>(QZ_ALLOC(capacity));
    if (grown == nullptr) {
      QZ_FREE(pcm.data);
      pcm.data = nullptr;
      return 0;
    }
    std::memcpy(grown, pcm.data, pcm.size);
    QZ_FREE(pcm.data);
    pcm.data = grown;
    pcm.capacity = static_cast<std::uint32_t>(capacity);
  }
  std::memcpy(pcm.data + pcm.size, sample, bytes);
  pcm.size += static_cast<std::uint32_t>(bytes);
  return 0;
}

int ConvertMP3ToPCM(SoundConverter* converter) {
  const std::int64_t size = converter::StreamSize(converter);
  if (size <= 0 || size > INT32_MAX / 10) return -1;
  auto* file = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(size)));
  if (file == nullptr) return -1;
  const bool read = converter::SeekTo(converter, 0) && converter::ReadBytes(converter, file, static_cast<std::uint32_t>(size));
  Mpg123Handle decoder;
  if (!read || !OpenDecoder(&decoder) ||
      mpg123_feed(decoder.handle, file, static_cast<std::size_t>(size)) != MPG123_OK) {
    QZ_FREE(file);
    return -1;
  }
  QZ_FREE(file);
  DecodedPcmState& pcm = converter->decoded;
  pcm.capacity = static_cast<std::uint32_t>(size) * 10;
  pcm.data = static_cast<std::uint8_t*>(QZ_ALLOC(pcm.capacity));
  pcm.size = 0;
  pcm.readOffset = 0;
  if (pcm.data == nullptr) {
    FailDecode(converter, text::kMp3PcmAllocFailed);
    return -1;
  }
  auto* chunk = static_cast<std::uint8_t*>(QZ_ALLOC(kChunkBytes));
  if (chunk == nullptr) {
    FailDecode(converter, text::kMp3PcmAllocFailed);
    return -1;
  }
  long rate = 0;
  int channels = 0;
  const char* failure = nullptr;
  for (;;) {
    std::size_t done = 0;
    const int result = mpg123_read(decoder.handle, chunk, kChunkBytes, &done);
    if (result == MPG123_NEW_FORMAT) {
      int encoding = 0;
      long newRate = 0;
      int newChannels = 0;
      mpg123_getformat(decoder.handle, &newRate, &newChannels, &encoding);
      // The sound is one format; a stream that changes it ends there.
      if (rate != 0 && (newRate != rate || newChannels != channels)) break;
      rate = newRate;
      channels = newChannels;
      continue;
    }
    if (done != 0) Mp3GrabberPcmCallback(chunk, done, converter);
    if (result == MPG123_NEED_MORE || result == MPG123_DONE) break;
    if (result != MPG123_OK) {
      failure = text::kMp3ConvertError;
      break;
    }
    if (PumpWindowMessages() != 0) {
      failure = text::kMp3ConvertAborted;
      break;
    }
  }
  QZ_FREE(chunk);
  if (failure == nullptr && pcm.data == nullptr) failure = text::kMp3PcmReallocFailed;
  if (failure == nullptr && (rate <= 0 || channels <= 0 || pcm.size == 0)) failure = text::kMp3NoAudio;
  if (failure != nullptr) {
    FailDecode(converter, failure);
    return -1;
  }
  plat::WaveFormatEx& format = converter->outputFormat;
  format = plat::WaveFormatEx{};
  format.formatTag = plat::WAVE_FORMAT_PCM;
  format.channels = static_cast<std::uint16_t>(channels);
  format.samplesPerSec = static_cast<std::uint32_t>(rate);
  format.blockAlign = static_cast<std::uint16_t>(channels * 2);
  format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
  format.bitsPerSample = static_cast<std::uint16_t>(format.blockAlign * 8 / channels);
  pcm.size -= pcm.size % format.blockAlign;
  converter->workSize = format.avgBytesPerSec;
  converter->dataSize = pcm.size;
  converter->kind = kSoundConverterDecodedPcm;
  return 0;
}

std::uint32_t DecodeDecodedPcmBlock(SoundConverter* converter) {
  DecodedPcmState& pcm = converter->decoded;
  const std::uint32_t bytes = std::min(converter->workSize, pcm.size - pcm.readOffset);
  if (bytes == 0) return 0;
  std::memcpy(converter->work, pcm.data + pcm.readOffset, bytes);
  pcm.readOffset += bytes;
  return bytes;
}

int SeekDecodedPcm(SoundConverter* converter, std::int64_t sample) {
  DecodedPcmState& pcm = converter->decoded;
  const std::int64_t frames = std::min<std::int64_t>(sample, pcm.size);
  pcm.readOffset = static_cast<std::uint32_t>(std::min<std::int64_t>(frames * converter->outputFormat.blockAlign, pcm.size));
  converter->workValid = 0;
  converter->workRead = 0;
  converter->outputPosition = pcm.readOffset;
  return 0;
}

void ReleaseDecodedPcm(SoundConverter* converter) {
  QZ_FREE(converter->decoded.data);
  converter->decoded = DecodedPcmState{};
}

}  // namespace qz
