// What the converter kinds share inside the sound subsystem: stream access
// through the converter's copy of the stream functions, the wave chunk walk,
// format checks, and each kind's set-up, block decoding, seeking and release.
#pragma once

#include <cstdint>

#include "platform/acm.h"
#include "sound/sound_converter.h"

namespace qz::converter {

// Exactly this many bytes, or false.
bool ReadBytes(SoundConverter* converter, void* buffer, std::uint32_t bytes);
bool SeekTo(SoundConverter* converter, std::int64_t position);
std::int64_t TellPosition(SoundConverter* converter);
// The stream's size by seeking to its end; the position is restored. -1 on failure.
std::int64_t StreamSize(SoundConverter* converter);

// Channels, rate, block align and average bytes per second all set and in
// range; logs the refusal. Zero fields would divide by zero later.
bool IsUsableFormat(const plat::WaveFormatEx& format);

// The chunk walk of a wave file up to the start of "data": fills the chunk
// fields and hands back the "fmt " body as a tracked block (at least 18 bytes,
// zero-padded). The data size is clamped to the bytes the stream holds.
int ReadWaveChunks(SoundConverter* converter, std::uint8_t** formatBody, std::uint32_t* formatBodySize);

int SetupWavConverter(SoundConverter* converter);
int SetupAcmWavConverter(SoundConverter* converter);
int SetupAcmMp3Converter(SoundConverter* converter);

// Each fills the work buffer: the valid byte count, 0 at the end of the data.
std::uint32_t DecodeWavBlock(SoundConverter* converter);
std::uint32_t DecodeAcmBlock(SoundConverter* converter);

int SeekWavConverter(SoundConverter* converter, std::int64_t sample);
int SeekAcmConverter(SoundConverter* converter, std::int64_t sample);
std::int64_t GetAcmPcmSize(SoundConverter* converter);
void ReleaseAcmConverter(SoundConverter* converter);

// The compression manager entry points; null members while not loaded.
struct AcmEntryPoints {
  plat::AcmFormatSuggestFunction formatSuggest;
  plat::AcmStreamOpenFunction streamOpen;
  plat::AcmStreamCloseFunction streamClose;
  plat::AcmMetricsFunction metrics;
  plat::AcmStreamPrepareHeaderFunction streamPrepareHeader;
  plat::AcmStreamConvertFunction streamConvert;
  plat::AcmStreamUnprepareHeaderFunction streamUnprepareHeader;
  plat::AcmStreamSizeFunction streamSize;
};
const AcmEntryPoints* GetAcmEntryPoints();  // null while not loaded

}  // namespace qz::converter
