// The audio compression manager: converts compressed wave data (IMA ADPCM,
// Microsoft ADPCM, MPEG layer 3) and plain PCM into 16-bit (or 8-bit) PCM.
// The functions keep the names the library looks up in "msacm32.dll"; types,
// constants and the decoders behind them are ours. ADPCM is decoded here,
// MPEG audio through mpg123.
#pragma once

#include <cstdint>

#include "platform/wave_format.h"

namespace plat {

using MMRESULT = std::uint32_t;
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;

// acmFormatSuggest: match the destination's format tag only.
inline constexpr std::uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
// acmStreamOpen: the stream need not keep up with real time.
inline constexpr std::uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;
// acmStreamSize: the given size is of source bytes.
inline constexpr std::uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
// acmMetrics: the largest format record any codec uses, in bytes.
inline constexpr std::uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;

// Header status bits.
inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

// The IMA ADPCM and Microsoft ADPCM format records: the common record, then
// their own fields (Microsoft ADPCM is followed by its coefficient pairs).
struct __attribute__((packed)) ImaAdpcmWaveFormat {
  WaveFormatEx format;
  std::uint16_t samplesPerBlock;
};
struct __attribute__((packed)) AdpcmCoefficientPair {
  std::int16_t first;
  std::int16_t second;
};
struct __attribute__((packed)) MsAdpcmWaveFormat {
  WaveFormatEx format;
  std::uint16_t samplesPerBlock;
  std::uint16_t coefficientCount;
};
// The MPEG layer 3 format record (30 bytes).
struct __attribute__((packed)) Mp3WaveFormat {
  WaveFormatEx format;
  std::uint16_t id;
  std::uint32_t flags;
  std::uint16_t blockSize;
  std::uint16_t framesPerBlock;
  std::uint16_t codecDelay;
};
static_assert(sizeof(Mp3WaveFormat) == 30, "the record keeps the file layout");

// One conversion request: source bytes in, PCM out, with the counts used.
struct AcmStreamHeader {
  std::uint32_t structSize;
  std::uint32_t status;
  std::uintptr_t user;
  std::uint8_t* source;
  std::uint32_t sourceLength;
  std::uint32_t sourceLengthUsed;
  std::uintptr_t sourceUser;
  std::uint8_t* destination;
  std::uint32_t destinationLength;
  std::uint32_t destinationLengthUsed;
  std::uintptr_t destinationUser;
};

struct AcmStream;
using AcmStreamHandle = AcmStream*;

// Same channels and rate as the source, 16 bits (8 for an 8-bit PCM source).
// ACMERR_NOTPOSSIBLE for a source no decoder takes.
MMRESULT acmFormatSuggest(void* driver, const WaveFormatEx* source, WaveFormatEx* destination,
                          std::uint32_t destinationSize, std::uint32_t flags);
MMRESULT acmStreamOpen(AcmStreamHandle* stream, void* driver, const WaveFormatEx* source,
                       const WaveFormatEx* destination, void* filter, std::uintptr_t callback,
                       std::uintptr_t instance, std::uint32_t flags);
MMRESULT acmStreamClose(AcmStreamHandle stream, std::uint32_t flags);
MMRESULT acmMetrics(void* object, std::uint32_t metric, void* value);
MMRESULT acmStreamPrepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, std::uint32_t flags);
// Consumes the source bytes it can use and writes PCM. Output that does not
// fit the destination is kept and delivered by the next call.
MMRESULT acmStreamConvert(AcmStreamHandle stream, AcmStreamHeader* header, std::uint32_t flags);
MMRESULT acmStreamUnprepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, std::uint32_t flags);
// An upper bound of the PCM bytes the given source bytes make.
MMRESULT acmStreamSize(AcmStreamHandle stream, std::uint32_t input, std::uint32_t* output, std::uint32_t flags);

// Test hook: the streams opened and not yet closed.
int GetOpenAcmStreamCount();

// The entry points as the library looks them up by name.
using AcmFormatSuggestFunction = decltype(&acmFormatSuggest);
using AcmStreamOpenFunction = decltype(&acmStreamOpen);
using AcmStreamCloseFunction = decltype(&acmStreamClose);
using AcmMetricsFunction = decltype(&acmMetrics);
using AcmStreamPrepareHeaderFunction = decltype(&acmStreamPrepareHeader);
using AcmStreamConvertFunction = decltype(&acmStreamConvert);
using AcmStreamUnprepareHeaderFunction = decltype(&acmStreamUnprepareHeader);
using AcmStreamSizeFunction = decltype(&acmStreamSize);

}  // namespace plat
