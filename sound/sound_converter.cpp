// The converter chain and the operations every converter kind shares: set-up
// tries the decoders in a fixed order, reading hands out PCM from the work
// buffer and refills it from the kind's decoder.
#include "sound/sound_converter.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "sound/decoded_pcm_source.h"
#include "sound/ogg_vorbis_source.h"
#include "sound/sound_converter_internal.h"

namespace qz {
namespace {

std::uint32_t gDisableBits = 0;

struct ChainAttempt {
  std::uint32_t disableBit;
  int (*setup)(SoundConverter* converter);
};

constexpr ChainAttempt kChain[] = {
    {kConverterDisableWav, converter::SetupWavConverter},
    {kConverterDisableAcmWav, converter::SetupAcmWavConverter},
    {kConverterDisableOggVorbis, OpenOggVorbisStream},
    {kConverterDisableAcmMp3, converter::SetupAcmMp3Converter},
    {kConverterDisableDecodedPcm, ConvertMP3ToPCM},
};

// Refills the work buffer from the kind's decoder: the valid bytes, 0 at the end.
std::uint32_t DecodeBlock(SoundConverter* converter) {
  converter->workRead = 0;
  converter->workValid = 0;
  switch (converter->kind) {
    case kSoundConverterWav:
      converter->workValid = converter::DecodeWavBlock(converter);
      break;
    case kSoundConverterAcm:
      converter->workValid = converter::DecodeAcmBlock(converter);
      break;
    case kSoundConverterOggVorbis:
      if (DecodeOggVorbisBlock(converter) != 0) converter->workValid = 0;
      break;
    case kSoundConverterDecodedPcm:
      converter->workValid = DecodeDecodedPcmBlock(converter);
      break;
    default:
      break;
  }
  return converter->workValid;
}

void ReleaseKindState(SoundConverter* converter) {
  switch (converter->kind) {
    case kSoundConverterAcm:
      converter::ReleaseAcmConverter(converter);
      break;
    case kSoundConverterOggVorbis:
      CloseOggVorbisStream(converter);
      break;
    case kSoundConverterDecodedPcm:
      ReleaseDecodedPcm(converter);
      break;
    default:
      break;
  }
}

}  // namespace

int SetSoundConverterDisableBits(std::uint32_t bits) {
  gDisableBits = bits;
  return 0;
}

std::uint32_t GetSoundConverterDisableBits() { return gDisableBits; }

int SetupSoundConverter(const StreamFunctionTable* functions, void* stream, SoundConverter* converter) {
  if (functions == nullptr || converter == nullptr) return -1;
  std::memset(converter, 0, sizeof(*converter));
  converter->functions = *functions;
  converter->stream = stream;
  converter->acm.totalFrames = -1;
  if (!converter::SeekTo(converter, 0)) return -1;
  bool taken = false;
  for (const ChainAttempt& attempt : kChain) {
    if ((gDisableBits & attempt.disableBit) != 0) continue;
    if (attempt.setup(converter) == 0) {
      taken = true;
      break;
    }
    converter::SeekTo(converter, 0);
  }
  if (!taken) return -1;
  converter->work = static_cast<std::uint8_t*>(QZ_ALLOC(converter->workSize));
  if (converter->work == nullptr) {
    AppendLogText(text::kSoundConverterAllocFailed);
    ReleaseKindState(converter);
    return -1;
  }
  converter->workValid = 0;
  converter->workRead = 0;
  converter->outputPosition = 0;
  converter->endOfData = 0;
  converter->initialised = 1;
  return 0;
}

int ReadConvertedPcm(SoundConverter* converter, void* buffer, std::uint32_t bytes) {
  if (converter == nullptr || converter->initialised == 0) return -1;
  if (converter->endOfData != 0) return 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint32_t written = 0;
  while (written < bytes) {
    if (converter->workRead >= converter->workValid && DecodeBlock(converter) == 0) {
      converter->endOfData = 1;
      break;
    }
    const std::uint32_t chunk = std::min(bytes - written, converter->workValid - converter->workRead);
    std::memcpy(out + written, converter->work + converter->workRead, chunk);
    converter->workRead += chunk;
    written += chunk;
  }
  converter->outputPosition += written;
  return static_cast<int>(written);
}

int SeekSoundConverter(SoundConverter* converter, std::int64_t sample) {
  if (converter == nullptr || converter->initialised == 0 || sample < 0) return -1;
  converter->endOfData = 0;
  switch (converter->kind) {
    case kSoundConverterWav:
      return converter::SeekWavConverter(converter, sample);
    case kSoundConverterAcm:
      return converter::SeekAcmConverter(converter, sample);
    case kSoundConverterOggVorbis:
      return SeekOggVorbisStream(converter, sample);
    case kSoundConverterDecodedPcm:
      return SeekDecodedPcm(converter, sample);
    default:
      return -1;
  }
}

int ReleaseSoundConverter(SoundConverter* converter) {
  if (converter == nullptr) return -1;
  if (converter->initialised != 0) ReleaseKindState(converter);
  QZ_FREE(converter->work);
  converter->work = nullptr;
  converter->initialised = 0;
  return 0;
}

int GetConverterPcmFormat(const SoundConverter* converter, plat::WaveFormatEx* format) {
  if (converter == nullptr || format == nullptr || converter->initialised == 0) return -1;
  *format = converter->outputFormat;
  return 0;
}

std::int64_t GetConverterPcmSize(SoundConverter* converter) {
  if (converter == nullptr || converter->initialised == 0) return -1;
  switch (converter->kind) {
    case kSoundConverterWav:
      return converter->dataSize;
    case kSoundConverterAcm:
      return converter::GetAcmPcmSize(converter);
    case kSoundConverterOggVorbis:
      return GetOggVorbisPCMBytes(converter);
    case kSoundConverterDecodedPcm:
      return converter->decoded.size;
    default:
      return -1;
  }
}

int ConvertWholeSoundToPcm(SoundConverter* converter, plat::WaveFormatEx* format, void** data,
                           std::uint32_t* size) {
  if (format == nullptr || data == nullptr || size == nullptr) return -1;
  const std::int64_t total = GetConverterPcmSize(converter);
  if (total <= 0 || total > INT32_MAX) return -1;
  auto* pcm = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(total)));
  if (pcm == nullptr) return -1;
  std::uint32_t read = 0;
  if (SeekSoundConverter(converter, 0) == 0) {
    if (converter->kind == kSoundConverterWav) {
      read = static_cast<std::uint32_t>(
          converter->functions.Read(pcm, 1, static_cast<std::size_t>(total), converter->stream));
      read = std::min(read, static_cast<std::uint32_t>(total));
      read -= read % converter->outputFormat.blockAlign;
    } else {
      const int got = ReadConvertedPcm(converter, pcm, static_cast<std::uint32_t>(total));
      read = got > 0 ? static_cast<std::uint32_t>(got) : 0;
    }
  }
  if (read == 0) {
    QZ_FREE(pcm);
    return -1;
  }
  *format = converter->outputFormat;
  *data = pcm;
  *size = read;
  return 0;
}

}  // namespace qz
