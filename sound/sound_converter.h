// Source-to-PCM converters. A converter reads one sound (a wave file, MP3 or
// Ogg Vorbis) through a stream and hands out PCM in blocks; the chain of
// attempts that picks the decoder is driven by the converter-disable bits.
#pragma once

#include <cstdint>

#include "core/file_access.h"
#include "platform/acm.h"
#include "platform/wave_format.h"

struct OggVorbis_File;

namespace qz {

enum SoundConverterKind : std::int32_t {
  kSoundConverterWav = 0,         // uncompressed wave data read as it stands
  kSoundConverterAcm = 1,         // compressed wave or MP3 through the compression manager
  kSoundConverterOggVorbis = 2,   // Ogg Vorbis through vorbisfile
  kSoundConverterDecodedPcm = 3,  // the whole sound decoded into memory up front
};

// A set bit skips one attempt of the converter chain.
inline constexpr std::uint32_t kConverterDisableWav = 0x01;
inline constexpr std::uint32_t kConverterDisableAcmWav = 0x02;
inline constexpr std::uint32_t kConverterDisableOggVorbis = 0x04;
inline constexpr std::uint32_t kConverterDisableAcmMp3 = 0x08;
inline constexpr std::uint32_t kConverterDisableDecodedPcm = 0x10;

// Source bytes handed to one compression-manager conversion.
inline constexpr std::uint32_t kAcmSourceBlockBytes = 2048;
inline constexpr std::uint32_t kOggVorbisWorkBytes = 4096;

struct AcmConverterState {
  plat::WaveFormatEx* sourceFormat;  // allocated with its format-specific bytes
  plat::AcmStreamHandle mainStream;
  // Held at the data start so a backward seek need not reopen and wait.
  plat::AcmStreamHandle readyStream;
  std::uint8_t* sourceData;
  std::uint32_t sourceSize;
  std::uint32_t sourceConsumed;  // by the main stream
  std::int64_t totalFrames;      // -1: unknown, the manager's size estimate stands
  // MP3: the last frame, which every stream is fed before the first (0 bytes
  // for other formats), and the main stream's output still to be dropped.
  std::uint32_t lastFrameOffset;
  std::uint32_t lastFrameBytes;
  std::uint32_t lastFrameSamples;
  std::uint32_t primingBytesLeft;
};

struct OggVorbisConverterState {
  std::int32_t opened;
  OggVorbis_File* file;
  std::int32_t bytesPerSample;
};

struct DecodedPcmState {
  std::uint8_t* data;
  std::uint32_t size;
  std::uint32_t capacity;
  std::uint32_t readOffset;
};

struct SoundConverter {
  std::int32_t initialised;
  std::int32_t endOfData;
  std::int32_t kind;
  StreamFunctionTable functions;
  void* stream;
  // "fmt " and "data" chunks; for MP3 the first frame and the bytes of all frames.
  std::int64_t formatChunkPosition;
  std::uint32_t formatChunkSize;
  std::int64_t dataStart;
  std::uint32_t dataSize;
  std::uint32_t dataRead;  // bytes of the data chunk read so far (uncompressed wave)
  plat::WaveFormatEx outputFormat;
  AcmConverterState acm;
  OggVorbisConverterState oggVorbis;
  DecodedPcmState decoded;
  std::uint8_t* work;
  std::uint32_t workSize;
  std::uint32_t workValid;
  std::uint32_t workRead;
  std::int64_t outputPosition;  // bytes of PCM handed out or skipped
};

// Tries the decoders in turn on the stream (which the converter reads but
// does not own): 0, or -1 when none takes it.
int SetupSoundConverter(const StreamFunctionTable* functions, void* stream, SoundConverter* converter);
// Bytes written (up to the given count); 0 once the end is reached; -1 when
// the converter is not set up.
int ReadConvertedPcm(SoundConverter* converter, void* buffer, std::uint32_t bytes);
// Positions the output at a sample frame.
int SeekSoundConverter(SoundConverter* converter, std::int64_t sample);
int ReleaseSoundConverter(SoundConverter* converter);
int GetConverterPcmFormat(const SoundConverter* converter, plat::WaveFormatEx* format);
// Total PCM bytes, or -1.
std::int64_t GetConverterPcmSize(SoundConverter* converter);
// The whole sound as one tracked block of PCM (the caller frees it).
int ConvertWholeSoundToPcm(SoundConverter* converter, plat::WaveFormatEx* format, void** data,
                           std::uint32_t* size);

int SetSoundConverterDisableBits(std::uint32_t bits);
std::uint32_t GetSoundConverterDisableBits();

// The compression manager's entry points, looked up in "msacm32.dll" at sound
// start and dropped at its end; without them the compressed attempts fail.
int LoadAcmEntryPoints();
int FreeAcmEntryPoints();

// Output width of Ogg Vorbis decoding: 2 (16-bit, the sound start's value) or 1.
int SetOggVorbisSampleBytes(int bytes);
int GetOggVorbisSampleBytes();

// An MPEG audio frame header.
struct Mp3FrameHeader {
  std::int32_t mpegVersion;  // 1 or 2
  std::int32_t layer;        // 0 layer I, 1 layer II, 2 layer III
  std::int32_t bitrateKbps;
  std::int32_t sampleRate;
  std::int32_t padding;
  std::int32_t channels;
  std::int32_t frameBytes;
  std::int32_t samplesPerFrame;
};
// 0; -2 without the sync bits of MPEG-1 or MPEG-2; -1 for a reserved or
// unsupported field (layer, bitrate, rate).
int ParseMp3FrameHeader(const std::uint8_t* bytes, Mp3FrameHeader* header);

}  // namespace qz
