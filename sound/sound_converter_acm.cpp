// The compression-manager converter kind: compressed wave data and MP3 files
// are held whole in memory and converted in blocks of at most 2048 source
// bytes. A second manager stream waits at the data start so that seeking
// backwards only has to swap streams and convert forward again.
//
// An MP3 decoder carries each frame's tail into the next (the overlap of its
// transform and its synthesis filter). Started from rest, the first frame's
// first granule ramps up out of silence, which a looped file would play at
// every loop point. So every MP3 stream is first fed the file's last frame,
// and that frame's output is dropped: the first frame then decodes exactly as
// it does when a loop runs on from the end. A file played once is touched
// only within the decoder's delay at its start, before its first sample.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "platform/module.h"
#include "sound/sound_converter_internal.h"

namespace qz::converter {
namespace {

AcmEntryPoints gEntryPoints;
plat::ModuleHandle gAcmModule = nullptr;

// Seeks closer than this to the current position are ignored.
constexpr std::int64_t kSeekTolerance = 15;

template <typename Function>
bool LookUp(plat::ModuleHandle module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(plat::GetProcAddress(module, name));
  return *function != nullptr;
}

void CloseStreams(SoundConverter* converter) {
  const AcmEntryPoints* acm = GetAcmEntryPoints();
  if (acm != nullptr) {
    if (converter->acm.mainStream != nullptr) acm->streamClose(converter->acm.mainStream, 0);
    if (converter->acm.readyStream != nullptr) acm->streamClose(converter->acm.readyStream, 0);
  }
  converter->acm.mainStream = nullptr;
  converter->acm.readyStream = nullptr;
}

// Opens a stream at the data start; an MP3 stream is fed the last frame, whose
// output waits in the stream until the first conversion drops it.
bool OpenStream(SoundConverter* converter, plat::AcmStreamHandle* stream) {
  const AcmEntryPoints* acm = GetAcmEntryPoints();
  if (acm == nullptr || acm->streamOpen(stream, nullptr, converter->acm.sourceFormat, &converter->outputFormat, nullptr,
                                        0, 0, plat::ACM_STREAMOPENF_NONREALTIME) != plat::MMSYSERR_NOERROR) {
    return false;
  }
  if (converter->acm.lastFrameBytes == 0) return true;
  plat::AcmStreamHeader header{};
  header.structSize = sizeof(header);
  header.source = converter->acm.sourceData + converter->acm.lastFrameOffset;
  header.sourceLength = converter->acm.lastFrameBytes;
  bool primed = acm->streamPrepareHeader(*stream, &header, 0) == plat::MMSYSERR_NOERROR;
  if (primed) {
    primed = acm->streamConvert(*stream, &header, 0) == plat::MMSYSERR_NOERROR;
    acm->streamUnprepareHeader(*stream, &header, 0);
  }
  if (primed) return true;
  acm->streamClose(*stream, 0);
  *stream = nullptr;
  return false;
}

std::uint32_t PrimingBytes(const SoundConverter* converter) {
  return converter->acm.lastFrameBytes != 0 ? converter->acm.lastFrameSamples * converter->outputFormat.blockAlign : 0;
}

// Drops what is left of the priming frame's output from the front of `bytes`
// decoded into the work buffer; the bytes that remain.
std::uint32_t DropPrimingOutput(SoundConverter* converter, std::uint32_t bytes) {
  const std::uint32_t dropped = std::min(bytes, converter->acm.primingBytesLeft);
  if (dropped == 0) return bytes;
  std::memmove(converter->work, converter->work + dropped, bytes - dropped);
  converter->acm.primingBytesLeft -= dropped;
  return bytes - dropped;
}

// Takes ownership of the source format and data: on failure both are freed.
int FinishSetup(SoundConverter* converter, std::uint32_t workSize) {
  const AcmEntryPoints* acm = GetAcmEntryPoints();
  converter->outputFormat = plat::WaveFormatEx{};
  converter->outputFormat.formatTag = plat::WAVE_FORMAT_PCM;
  if (acm == nullptr ||
      acm->formatSuggest(nullptr, converter->acm.sourceFormat, &converter->outputFormat,
                         sizeof(converter->outputFormat), plat::ACM_FORMATSUGGESTF_WFORMATTAG) != plat::MMSYSERR_NOERROR ||
      !IsUsableFormat(converter->outputFormat) || !OpenStream(converter, &converter->acm.mainStream) ||
      !OpenStream(converter, &converter->acm.readyStream)) {
    ReleaseAcmConverter(converter);
    return -1;
  }
  const std::uint32_t blockAlign = converter->outputFormat.blockAlign;
  converter->workSize = workSize != 0 ? workSize : converter->outputFormat.avgBytesPerSec;
  converter->workSize = std::max(converter->workSize - converter->workSize % blockAlign, blockAlign);
  converter->acm.sourceConsumed = 0;
  converter->acm.primingBytesLeft = PrimingBytes(converter);
  converter->kind = kSoundConverterAcm;
  return 0;
}

// The whole byte range [start, start + size) of the stream as a tracked block.
std::uint8_t* ReadRange(SoundConverter* converter, std::int64_t start, std::uint32_t size) {
  auto* block = static_cast<std::uint8_t*>(QZ_ALLOC(std::max<std::uint32_t>(size, 1)));
  if (block == nullptr) return nullptr;
  if (!SeekTo(converter, start) || !ReadBytes(converter, block, size)) {
    QZ_FREE(block);
    return nullptr;
  }
  return block;
}

struct Mp3Scan {
  std::uint32_t firstFrame;  // offset in the scanned block
  std::uint32_t lastFrame;
  bool lastFrameWhole;       // not clipped by the end of the data
  std::uint32_t end;         // one past the last frame's (clipped) end
  std::int64_t totalFrames;  // sample frames
  Mp3FrameHeader first;
};

// Walks the frames of the audio block. False when a sync word does not start
// a valid frame, or when there is no frame at all.
bool ScanMp3Frames(const std::uint8_t* audio, std::uint32_t size, Mp3Scan* scan) {
  bool found = false;
  std::uint32_t position = 0;
  scan->totalFrames = 0;
  while (position + 4 <= size) {
    if (audio[position] != 0xFF || (audio[position + 1] & 0xF0) != 0xF0) {
      ++position;
      continue;
    }
    Mp3FrameHeader header;
    if (ParseMp3FrameHeader(audio + position, &header) != 0 || header.frameBytes <= 0) return false;
    if (!found) {
      found = true;
      scan->firstFrame = position;
      scan->first = header;
    }
    scan->totalFrames += header.samplesPerFrame;
    scan->lastFrame = position;
    scan->lastFrameWhole = std::int64_t{position} + header.frameBytes <= size;
    position = static_cast<std::uint32_t>(std::min<std::int64_t>(std::int64_t{position} + header.frameBytes, size));
    scan->end = position;
  }
  return found;
}

}  // namespace

const AcmEntryPoints* GetAcmEntryPoints() { return gAcmModule != nullptr ? &gEntryPoints : nullptr; }

int SetupAcmWavConverter(SoundConverter* converter) {
  if (GetAcmEntryPoints() == nullptr) return -1;
  std::uint8_t* body = nullptr;
  std::uint32_t bodySize = 0;
  if (ReadWaveChunks(converter, &body, &bodySize) != 0) return -1;
  converter->acm.sourceFormat = reinterpret_cast<plat::WaveFormatEx*>(body);
  // The manager reads as many extra bytes as the record says: no more than
  // the chunk holds.
  const std::uint32_t extraHeld = bodySize > sizeof(plat::WaveFormatEx) ? bodySize - sizeof(plat::WaveFormatEx) : 0;
  if (converter->acm.sourceFormat->extraSize > extraHeld) {
    converter->acm.sourceFormat->extraSize = static_cast<std::uint16_t>(extraHeld);
  }
  if (!IsUsableFormat(*converter->acm.sourceFormat)) {
    ReleaseAcmConverter(converter);
    return -1;
  }
  converter->acm.sourceSize = converter->dataSize;
  converter->acm.sourceData = ReadRange(converter, converter->dataStart, converter->dataSize);
  if (converter->acm.sourceData == nullptr) {
    ReleaseAcmConverter(converter);
    return -1;
  }
  converter->acm.totalFrames = -1;
  return FinishSetup(converter, 0);
}

int SetupAcmMp3Converter(SoundConverter* converter) {
  const AcmEntryPoints* acm = GetAcmEntryPoints();
  if (acm == nullptr) return -1;
  const std::int64_t size = StreamSize(converter);
  if (size <= 0 || size > INT32_MAX) return -1;
  std::int64_t audioStart = 0;
  std::int64_t audioEnd = size;
  std::uint8_t tag[10];
  if (size >= 10 && SeekTo(converter, 0) && ReadBytes(converter, tag, 10) && std::memcmp(tag, "ID3", 3) == 0) {
    audioStart = (std::int64_t{tag[6] & 0x7F} << 21 | std::int64_t{tag[7] & 0x7F} << 14 |
                  std::int64_t{tag[8] & 0x7F} << 7 | std::int64_t{tag[9] & 0x7F}) + 10;
    if (tag[3] == 4 && (tag[5] & 0x10) != 0) audioStart += 10;
  }
  if (size > 128 && SeekTo(converter, size - 128) && ReadBytes(converter, tag, 3) && std::memcmp(tag, "TAG", 3) == 0) {
    audioEnd = size - 128;
  }
  if (audioStart >= audioEnd) return -1;
  const auto audioSize = static_cast<std::uint32_t>(audioEnd - audioStart);
  std::uint8_t* audio = ReadRange(converter, audioStart, audioSize);
  if (audio == nullptr) return -1;
  Mp3Scan scan{};
  if (!ScanMp3Frames(audio, audioSize, &scan) || scan.first.layer != 2) {
    QZ_FREE(audio);
    return -1;
  }
  std::uint32_t formatSize = 0;
  if (acm->metrics(nullptr, plat::ACM_METRIC_MAX_SIZE_FORMAT, &formatSize) != plat::MMSYSERR_NOERROR) formatSize = 0;
  formatSize = std::max<std::uint32_t>(formatSize, sizeof(plat::Mp3WaveFormat));
  auto* format = static_cast<plat::Mp3WaveFormat*>(QZ_ALLOC_ZEROED(formatSize));
  if (format == nullptr) {
    QZ_FREE(audio);
    return -1;
  }
  format->format.formatTag = plat::WAVE_FORMAT_MPEGLAYER3;
  format->format.channels = static_cast<std::uint16_t>(scan.first.channels);
  format->format.samplesPerSec = static_cast<std::uint32_t>(scan.first.sampleRate);
  format->format.avgBytesPerSec = static_cast<std::uint32_t>(scan.first.bitrateKbps * 1000 / 8);
  format->format.blockAlign = 1;
  format->format.bitsPerSample = 0;
  format->format.extraSize = 12;
  format->id = 1;
  format->flags = static_cast<std::uint32_t>(scan.first.padding);
  format->blockSize = static_cast<std::uint16_t>(scan.first.frameBytes);
  format->framesPerBlock = 1;
  format->codecDelay = 700;
  converter->acm.sourceFormat = &format->format;
  // The frames move to the front of the block, which becomes the source data.
  const std::uint32_t framesSize = scan.end - scan.firstFrame;
  std::memmove(audio, audio + scan.firstFrame, framesSize);
  converter->acm.sourceData = audio;
  converter->acm.sourceSize = framesSize;
  converter->dataStart = audioStart + scan.firstFrame;
  converter->dataSize = framesSize;
  converter->acm.totalFrames = scan.totalFrames;
  converter->acm.lastFrameOffset = scan.lastFrame - scan.firstFrame;
  // A clipped frame would not decode, and so would not prime.
  converter->acm.lastFrameBytes = scan.lastFrameWhole ? scan.end - scan.lastFrame : 0;
  converter->acm.lastFrameSamples = static_cast<std::uint32_t>(scan.first.samplesPerFrame);
  plat::WaveFormatEx suggested{};
  suggested.formatTag = plat::WAVE_FORMAT_PCM;
  if (acm->formatSuggest(nullptr, converter->acm.sourceFormat, &suggested, sizeof(suggested),
                         plat::ACM_FORMATSUGGESTF_WFORMATTAG) != plat::MMSYSERR_NOERROR) {
    ReleaseAcmConverter(converter);
    return -1;
  }
  return FinishSetup(converter, suggested.avgBytesPerSec * 4 / 3);
}

std::uint32_t DecodeAcmBlock(SoundConverter* converter) {
  const AcmEntryPoints* acm = GetAcmEntryPoints();
  if (acm == nullptr || converter->acm.mainStream == nullptr) return 0;
  // A block that completes no output but was taken in is not the end: a
  // codec block may span several source blocks.
  for (;;) {
    const std::uint32_t left = converter->acm.sourceSize - converter->acm.sourceConsumed;
    plat::AcmStreamHeader header{};
    header.structSize = sizeof(header);
    header.source = converter->acm.sourceData + converter->acm.sourceConsumed;
    header.sourceLength = std::min(left, kAcmSourceBlockBytes);
    header.destination = converter->work;
    header.destinationLength = converter->workSize;
    if (acm->streamPrepareHeader(converter->acm.mainStream, &header, 0) != plat::MMSYSERR_NOERROR) return 0;
    const plat::MMRESULT converted = acm->streamConvert(converter->acm.mainStream, &header, 0);
    acm->streamUnprepareHeader(converter->acm.mainStream, &header, 0);
    if (converted != plat::MMSYSERR_NOERROR) return 0;
    const std::uint32_t used = std::min(header.sourceLengthUsed, header.sourceLength);
    converter->acm.sourceConsumed += used;
    const std::uint32_t produced = std::min(header.destinationLengthUsed, converter->workSize);
    if (produced != 0) {
      const std::uint32_t kept = DropPrimingOutput(converter, produced);
      if (kept != 0) return kept;
      continue;
    }
    if (used == 0) {
      converter->acm.sourceConsumed = converter->acm.sourceSize;
      return 0;
    }
  }
}

int SeekAcmConverter(SoundConverter* converter, std::int64_t sample) {
  const std::int64_t target = std::min<std::int64_t>(sample, INT32_MAX) * converter->outputFormat.blockAlign;
  if (std::abs(target - converter->outputPosition) <= kSeekTolerance) return 0;
  if (target < converter->outputPosition) {
    const AcmEntryPoints* acm = GetAcmEntryPoints();
    if (acm == nullptr) return -1;
    if (converter->acm.mainStream != nullptr) acm->streamClose(converter->acm.mainStream, 0);
    converter->acm.mainStream = converter->acm.readyStream;
    converter->acm.readyStream = nullptr;
    if (!OpenStream(converter, &converter->acm.readyStream)) converter->acm.readyStream = nullptr;
    converter->acm.sourceConsumed = 0;
    converter->acm.primingBytesLeft = PrimingBytes(converter);
    converter->outputPosition = 0;
    converter->workValid = 0;
    converter->workRead = 0;
  }
  while (converter->outputPosition < target) {
    if (converter->workRead >= converter->workValid) {
      converter->workRead = 0;
      converter->workValid = DecodeAcmBlock(converter);
      if (converter->workValid == 0) {
        converter->endOfData = 1;
        break;
      }
    }
    const std::int64_t skip =
        std::min<std::int64_t>(target - converter->outputPosition, converter->workValid - converter->workRead);
    converter->workRead += static_cast<std::uint32_t>(skip);
    converter->outputPosition += skip;
  }
  return 0;
}

std::int64_t GetAcmPcmSize(SoundConverter* converter) {
  if (converter->acm.totalFrames >= 0) return converter->acm.totalFrames * converter->outputFormat.blockAlign;
  const AcmEntryPoints* acm = GetAcmEntryPoints();
  std::uint32_t bytes = 0;
  if (acm == nullptr || converter->acm.mainStream == nullptr ||
      acm->streamSize(converter->acm.mainStream, converter->acm.sourceSize, &bytes, plat::ACM_STREAMSIZEF_SOURCE) !=
          plat::MMSYSERR_NOERROR) {
    return -1;
  }
  return bytes;
}

void ReleaseAcmConverter(SoundConverter* converter) {
  CloseStreams(converter);
  QZ_FREE(converter->acm.sourceFormat);
  QZ_FREE(converter->acm.sourceData);
  converter->acm.sourceFormat = nullptr;
  converter->acm.sourceData = nullptr;
  converter->acm.sourceSize = 0;
  converter->acm.sourceConsumed = 0;
  converter->acm.lastFrameBytes = 0;
  converter->acm.primingBytesLeft = 0;
}

}  // namespace qz::converter

namespace qz {

int LoadAcmEntryPoints() {
  using converter::gAcmModule;
  using converter::gEntryPoints;
  if (gAcmModule != nullptr) return 0;
  plat::ModuleHandle module = plat::LoadLibraryA("msacm32.dll");
  if (module == nullptr) return -1;
  converter::AcmEntryPoints points{};
  if (!converter::LookUp(module, "acmFormatSuggest", &points.formatSuggest) ||
      !converter::LookUp(module, "acmStreamOpen", &points.streamOpen) ||
      !converter::LookUp(module, "acmStreamClose", &points.streamClose) ||
      !converter::LookUp(module, "acmMetrics", &points.metrics) ||
      !converter::LookUp(module, "acmStreamPrepareHeader", &points.streamPrepareHeader) ||
      !converter::LookUp(module, "acmStreamConvert", &points.streamConvert) ||
      !converter::LookUp(module, "acmStreamUnprepareHeader", &points.streamUnprepareHeader) ||
      !converter::LookUp(module, "acmStreamSize", &points.streamSize)) {
    plat::FreeLibrary(module);
    return -1;
  }
  gEntryPoints = points;
  gAcmModule = module;
  return 0;
}

int FreeAcmEntryPoints() {
  using converter::gAcmModule;
  if (gAcmModule == nullptr) return -1;
  plat::FreeLibrary(gAcmModule);
  gAcmModule = nullptr;
  converter::gEntryPoints = converter::AcmEntryPoints{};
  return 0;
}

}  // namespace qz
