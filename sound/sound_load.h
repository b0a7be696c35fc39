// Loading sound files and memory blocks into sound handles: decoded whole
// into static buffers (sounds of at most 180 seconds) or set up as stream
// sounds of up to three sources that convert while they play.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/file_access.h"
#include "platform/wave_format.h"

namespace qz {

enum SoundCreateMode : std::int32_t {
  kSoundCreateWhole = 0,             // decode whole into static buffers
  kSoundCreateStreamFromMemory = 2,  // keep the file's bytes, convert while playing
  kSoundCreateStreamFromFile = 3,    // convert while playing from the open file
};

// How a stream source holds its data.
enum StreamSourceKind : std::int32_t {
  kStreamSourceDecoded = 0,  // decoded at set-up, kept as a wave image in memory
  kStreamSourceMemory = 2,   // the file's bytes in memory
  kStreamSourceFile = 3,     // read from the caller's open stream
};

// Longest sound decoded whole; longer ones become stream sounds.
inline constexpr std::uint32_t kLongestStaticSoundSeconds = 180;

// 1 is stored as 0; above 3 (or negative) returns -1 and changes nothing.
int SetSoundCreateMode(int mode);
int GetSoundCreateMode();

// A handle, or -1. The buffer count is clipped to 10 for files.
int LoadSoundFile(const char* path, int bufferCount, int shareHandle);
int LoadSoundFileToHandle(const char* path, int bufferCount, int shareHandle);
// A buffer count above 10 fails; below 1 makes a sound whose plays fail.
int LoadSoundFromMemoryToHandle(const void* image, std::size_t size, int bufferCount, int shareHandle);

int SetupStreamSoundFromFile(const char* path, int loopCount, int handle, int mode, int shareHandle);
int SetupStreamSoundFromMemory(const void* image, std::size_t size, int loopCount, int handle, int mode,
                               int shareHandle);
// Adds one source to a stream sound. *callerMayClose is set to 1 when the
// source keeps no reference to the caller's stream.
int AddSreamSound(const StreamFunctionTable* functions, void* stream, std::uint8_t loopCount, int handle,
                  int sourceKind, int* callerMayClose, int shareHandle);

// A tracked block of the whole file / stream (the caller frees it).
int LoadFileToMemory(const char* path, void** block, std::uint32_t* size);
int ReadWholeStreamToMemory(const StreamFunctionTable* functions, void* stream, void** block,
                            std::uint32_t* size);
// A tracked wave file image: "RIFF", size, "WAVE", "fmt " + format, "data" + data.
int BuildWaveFileImage(void** image, std::uint32_t* imageSize, const plat::WaveFormatEx* format,
                       std::uint32_t formatSize, const void* data, std::uint32_t dataSize);

}  // namespace qz
