// Ogg Vorbis sources: vorbisfile reads the sound through our callbacks over
// the converter's copy of the stream functions and decodes 4096 bytes of
// little-endian PCM at a time, signed unless the samples are one byte wide.
#include "sound/ogg_vorbis_source.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstring>

#include "core/memory.h"
#include "sound/sound_converter_internal.h"

namespace qz {
namespace {

int gSampleBytes = 2;
int gMovieSoundFlag = 0;

// A stream may hold a few holes (lost pages) in a row; each is skipped.
constexpr int kMostHolesInARow = 64;

std::size_t ReadThroughStream(void* buffer, std::size_t size, std::size_t count, void* source) {
  auto* converter = static_cast<SoundConverter*>(source);
  if (converter == nullptr) return 0;
  return converter->functions.Read(buffer, size, count, converter->stream);
}

// The whole 64-bit offset is passed, so files past 2 GiB seek correctly.
int SeekThroughStream(void* source, ogg_int64_t offset, int whence) {
  auto* converter = static_cast<SoundConverter*>(source);
  if (converter == nullptr) return -1;
  return converter->functions.Seek(converter->stream, offset, whence) == 0 ? 0 : -1;
}

// The library closes its own streams.
int CloseNothing(void*) { return 0; }

long TellThroughStream(void* source) {
  auto* converter = static_cast<SoundConverter*>(source);
  if (converter == nullptr) return -1;
  return static_cast<long>(converter->functions.Tell(converter->stream));
}

const ov_callbacks kStreamCallbacks = {ReadThroughStream, SeekThroughStream, CloseNothing, TellThroughStream};

}  // namespace

int SetOggVorbisSampleBytes(int bytes) {
  if (bytes != 1 && bytes != 2) return -1;
  gSampleBytes = bytes;
  return 0;
}

int GetOggVorbisSampleBytes() { return gSampleBytes; }

int SetMovieSoundFlag(int flag) {
  gMovieSoundFlag = flag;
  return 0;
}

int GetMovieSoundFlag() { return gMovieSoundFlag; }

int OpenOggVorbisStream(SoundConverter* converter) {
  auto* file = static_cast<OggVorbis_File*>(QZ_ALLOC_ZEROED(sizeof(OggVorbis_File)));
  if (file == nullptr) return -1;
  if (ov_open_callbacks(converter, file, nullptr, 0, kStreamCallbacks) != 0) {
    QZ_FREE(file);
    return -1;
  }
  converter->oggVorbis.file = file;
  converter->oggVorbis.opened = 1;
  converter->oggVorbis.bytesPerSample = gSampleBytes;
  const vorbis_info* info = ov_info(file, -1);
  plat::WaveFormatEx& format = converter->outputFormat;
  format = plat::WaveFormatEx{};
  format.formatTag = plat::WAVE_FORMAT_PCM;
  if (info != nullptr && info->channels > 0 && info->rate > 0 && info->rate <= INT32_MAX) {
    format.channels = static_cast<std::uint16_t>(info->channels);
    format.samplesPerSec = static_cast<std::uint32_t>(info->rate);
  }
  format.blockAlign = static_cast<std::uint16_t>(format.channels * gSampleBytes);
  format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
  format.bitsPerSample = static_cast<std::uint16_t>(gSampleBytes * 8);
  const std::int64_t bytes = GetOggVorbisPCMBytes(converter);
  if (!converter::IsUsableFormat(format) || bytes <= 0 || bytes > UINT32_MAX) {
    CloseOggVorbisStream(converter);
    return -1;
  }
  converter->workSize = kOggVorbisWorkBytes;
  converter->dataSize = static_cast<std::uint32_t>(bytes);
  converter->kind = kSoundConverterOggVorbis;
  return 0;
}

int DecodeOggVorbisBlock(SoundConverter* converter) {
  converter->workValid = 0;
  converter->workRead = 0;
  if (converter->oggVorbis.opened == 0) return -1;
  const int width = converter->oggVorbis.bytesPerSample;
  for (int holes = 0; holes <= kMostHolesInARow; ++holes) {
    int section = 0;
    const long got = ov_read(converter->oggVorbis.file, reinterpret_cast<char*>(converter->work),
                             static_cast<int>(converter->workSize), 0, width, width != 1, &section);
    if (got == OV_HOLE) continue;
    if (got <= 0) return -1;
    // A chained stream may change its layout; the sound ends where it does.
    const vorbis_info* info = ov_info(converter->oggVorbis.file, section);
    if (info == nullptr || info->channels != converter->outputFormat.channels ||
        info->rate != static_cast<long>(converter->outputFormat.samplesPerSec)) {
      return -1;
    }
    converter->workValid = static_cast<std::uint32_t>(got);
    return 0;
  }
  return -1;
}

int SeekOggVorbisStream(SoundConverter* converter, std::int64_t sample) {
  if (converter->oggVorbis.opened == 0 || ov_pcm_seek(converter->oggVorbis.file, sample) != 0) return -1;
  converter->workValid = 0;
  converter->workRead = 0;
  converter->outputPosition = sample * converter->outputFormat.blockAlign;
  return 0;
}

std::int64_t GetOggVorbisPCMBytes(SoundConverter* converter) {
  if (converter->oggVorbis.opened == 0) return -1;
  const ogg_int64_t samples = ov_pcm_total(converter->oggVorbis.file, -1);
  if (samples < 0) return -1;
  return samples * converter->outputFormat.channels * converter->oggVorbis.bytesPerSample;
}

std::int64_t GetOggVorbisStreamPCMBytes(SoundConverter* converter) { return GetOggVorbisPCMBytes(converter); }

int CloseOggVorbisStream(SoundConverter* converter) {
  if (converter->oggVorbis.opened != 0) ov_clear(converter->oggVorbis.file);
  QZ_FREE(converter->oggVorbis.file);
  converter->oggVorbis.file = nullptr;
  converter->oggVorbis.opened = 0;
  return 0;
}

}  // namespace qz
