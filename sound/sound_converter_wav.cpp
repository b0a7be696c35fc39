// Wave files: the chunk walk shared by the uncompressed and the compressed
// kinds, and the uncompressed kind itself, which reads its data chunk as it
// stands. Fields of the "fmt " chunk are checked before anything divides by
// them, and a "data" chunk that claims more than the file holds is clamped.
#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "sound/sound_converter_internal.h"

namespace qz::converter {
namespace {

constexpr std::uint32_t kLargestFormatChunk = 0x10000;
constexpr std::uint32_t kMostChannels = 8;
constexpr std::uint32_t kHighestRate = 384000;

std::uint32_t ReadLe32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool ReadChunkHeader(SoundConverter* converter, char id[4], std::uint32_t* size) {
  std::uint8_t header[8];
  if (!ReadBytes(converter, header, 8)) return false;
  std::memcpy(id, header, 4);
  *size = ReadLe32(header + 4);
  return true;
}

bool SkipChunk(SoundConverter* converter, std::uint32_t size) {
  const std::int64_t position = TellPosition(converter);
  if (position < 0) return false;
  return SeekTo(converter, position + size + (size & 1));
}

}  // namespace

bool ReadBytes(SoundConverter* converter, void* buffer, std::uint32_t bytes) {
  if (bytes == 0) return true;
  return converter->functions.Read(buffer, 1, bytes, converter->stream) == bytes;
}

bool SeekTo(SoundConverter* converter, std::int64_t position) {
  return converter->functions.Seek(converter->stream, position, 0) == 0;
}

std::int64_t TellPosition(SoundConverter* converter) { return converter->functions.Tell(converter->stream); }

std::int64_t StreamSize(SoundConverter* converter) {
  const std::int64_t position = TellPosition(converter);
  if (position < 0 || converter->functions.Seek(converter->stream, 0, 2) != 0) return -1;
  const std::int64_t size = TellPosition(converter);
  if (!SeekTo(converter, position)) return -1;
  return size;
}

bool IsUsableFormat(const plat::WaveFormatEx& format) {
  if (format.channels == 0 || format.channels > kMostChannels || format.samplesPerSec == 0 ||
      format.samplesPerSec > kHighestRate || format.blockAlign == 0 || format.avgBytesPerSec == 0) {
    AppendLogFormat(text::kSoundFormatInvalid, unsigned{format.channels}, unsigned{format.samplesPerSec},
                    unsigned{format.blockAlign});
    return false;
  }
  return true;
}

int ReadWaveChunks(SoundConverter* converter, std::uint8_t** formatBody, std::uint32_t* formatBodySize) {
  std::uint8_t riff[12];
  if (!ReadBytes(converter, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
    return -1;
  }
  char id[4];
  std::uint32_t size = 0;
  if (!ReadChunkHeader(converter, id, &size)) return -1;
  if (std::memcmp(id, "bext", 4) == 0) {
    if (!SkipChunk(converter, size) || !ReadChunkHeader(converter, id, &size)) return -1;
  }
  if (std::memcmp(id, "fmt ", 4) != 0 || size < 16 || size > kLargestFormatChunk) return -1;
  converter->formatChunkPosition = TellPosition(converter);
  converter->formatChunkSize = size;
  const std::uint32_t blockSize = std::max<std::uint32_t>(size, sizeof(plat::WaveFormatEx));
  auto* body = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(blockSize));
  if (body == nullptr) return -1;
  if (!ReadBytes(converter, body, size)) {
    QZ_FREE(body);
    return -1;
  }
  if ((size & 1) != 0) {
    const std::int64_t position = TellPosition(converter);
    if (position < 0 || !SeekTo(converter, position + 1)) {
      QZ_FREE(body);
      return -1;
    }
  }
  for (;;) {
    if (!ReadChunkHeader(converter, id, &size)) {
      QZ_FREE(body);
      return -1;
    }
    if (std::memcmp(id, "data", 4) == 0) break;
    if (!SkipChunk(converter, size)) {
      QZ_FREE(body);
      return -1;
    }
  }
  converter->dataStart = TellPosition(converter);
  const std::int64_t streamSize = StreamSize(converter);
  if (converter->dataStart < 0 || streamSize < converter->dataStart) {
    QZ_FREE(body);
    return -1;
  }
  converter->dataSize = static_cast<std::uint32_t>(std::min<std::int64_t>(size, streamSize - converter->dataStart));
  *formatBody = body;
  *formatBodySize = converter->formatChunkSize;
  return 0;
}

int SetupWavConverter(SoundConverter* converter) {
  std::uint8_t* body = nullptr;
  std::uint32_t bodySize = 0;
  if (ReadWaveChunks(converter, &body, &bodySize) != 0) return -1;
  plat::WaveFormatEx format;
  std::memcpy(&format, body, sizeof(format));
  QZ_FREE(body);
  if (format.formatTag != plat::WAVE_FORMAT_PCM) return -1;
  if (bodySize == 16) {
    format.bitsPerSample = format.channels != 0 ? static_cast<std::uint16_t>(format.blockAlign / format.channels * 8) : 0;
    format.extraSize = 0;
  }
  if (!IsUsableFormat(format)) return -1;
  // Sound buffers take 8- and 16-bit PCM; wider samples go to the
  // compression manager, which narrows them.
  if ((format.bitsPerSample != 8 && format.bitsPerSample != 16) ||
      format.blockAlign != format.channels * format.bitsPerSample / 8) {
    return -1;
  }
  format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
  format.extraSize = 0;
  converter->outputFormat = format;
  converter->dataSize -= converter->dataSize % format.blockAlign;
  converter->dataRead = 0;
  converter->workSize = format.avgBytesPerSec;
  converter->kind = kSoundConverterWav;
  return 0;
}

std::uint32_t DecodeWavBlock(SoundConverter* converter) {
  const std::uint32_t left = converter->dataSize - converter->dataRead;
  const std::uint32_t wanted = std::min(converter->workSize, left);
  if (wanted == 0) return 0;
  std::uint32_t got = static_cast<std::uint32_t>(converter->functions.Read(converter->work, 1, wanted, converter->stream));
  got = std::min(got, wanted);
  converter->dataRead += got;
  return got - got % converter->outputFormat.blockAlign;
}

int SeekWavConverter(SoundConverter* converter, std::int64_t sample) {
  const std::int64_t frames = std::min<std::int64_t>(sample, converter->dataSize);
  const std::int64_t target = std::min<std::int64_t>(frames * converter->outputFormat.blockAlign, converter->dataSize);
  if (!SeekTo(converter, converter->dataStart + target)) return -1;
  converter->dataRead = static_cast<std::uint32_t>(target);
  converter->workValid = 0;
  converter->workRead = 0;
  converter->outputPosition = target;
  return 0;
}

}  // namespace qz::converter
