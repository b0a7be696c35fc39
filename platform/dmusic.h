// The DirectMusic stand-in. Off by default, as no MIDI device exists here:
// creation then reports the classes as not registered and the library plays
// music through MCI. A test switch makes it available: the DirectMusic
// object with two MIDI ports to list, a loader that makes segments of MIDI
// data, and a performance whose InitAudio makes the DirectSound object.
// Segments play silently for as long as their MIDI data lasts (its ticks at
// its tempo), by the stand-in clock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/dsound.h"

namespace plat {

inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

inline constexpr std::uint32_t DMUS_PC_INPUTCLASS = 0;
inline constexpr std::uint32_t DMUS_PC_OUTPUTCLASS = 1;
inline constexpr std::uint32_t DMUS_APATH_SHARED_STEREOPLUSREVERB = 1;
inline constexpr std::uint32_t DMUS_AUDIOF_ALL = 0x3F;

struct DMusPortCaps {
  std::uint32_t classType;  // DMUS_PC_INPUTCLASS or DMUS_PC_OUTPUTCLASS
  char description[128];
};

class DirectMusicPerformance8;

class DirectMusic8 {
 public:
  std::uint32_t AddRef();
  std::uint32_t Release();
  // S_OK with the port's capabilities, S_FALSE past the last port.
  HRESULT EnumPort(std::uint32_t index, DMusPortCaps* caps);
};

class DirectMusicSegment8 {
 public:
  explicit DirectMusicSegment8(std::int64_t durationMicros) : durationMicros_(durationMicros) {}
  std::uint32_t AddRef();
  std::uint32_t Release();
  // Band data to and from a performance: counted, so an unload without a
  // download is refused.
  HRESULT Download(DirectMusicPerformance8* performance);
  HRESULT Unload(DirectMusicPerformance8* performance);
  std::int64_t DurationMicros() const { return durationMicros_; }

 private:
  std::uint32_t references_ = 1;
  int downloads_ = 0;
  std::int64_t durationMicros_;
};

class DirectMusicLoader8 {
 public:
  std::uint32_t Release();
  // The loader's object from MIDI data in memory (GetObject with a memory
  // descriptor): a segment the loader keeps a reference to until
  // ReleaseObjectByUnknown. DSERR_INVALIDPARAM (E_INVALIDARG) for bytes
  // that are not a MIDI file.
  HRESULT LoadSegmentFromMemory(const void* data, std::size_t size, DirectMusicSegment8** segment);
  HRESULT ReleaseObjectByUnknown(void* object);
};

class DirectMusicPerformance8 {
 public:
  std::uint32_t Release();
  // Makes (or takes) the DirectMusic object and makes the DirectSound
  // object, handing each back with a reference of the caller's. Once only:
  // DSERR_GENERIC (E_FAIL) a second time.
  HRESULT InitAudio(DirectMusic8** music, DirectSound** sound, void* window, std::uint32_t defaultPathType,
                    std::uint32_t channelCount, std::uint32_t flags, void* parameters);
  HRESULT PlaySegmentEx(DirectMusicSegment8* segment, std::uint32_t flags, std::int64_t startTime);
  // Stops the segment, or every segment for null.
  HRESULT StopEx(void* object, std::int64_t stopTime, std::uint32_t flags);
  // S_OK while the segment plays, S_FALSE otherwise.
  HRESULT IsPlaying(DirectMusicSegment8* segment, void* segmentState);
  HRESULT CloseDown();
};

// The classes' creation; REGDB_E_CLASSNOTREG (and null) while unavailable.
HRESULT DirectMusicCreate8(DirectMusic8** object);
HRESULT DirectMusicPerformanceCreate8(DirectMusicPerformance8** object);
HRESULT DirectMusicLoaderCreate8(DirectMusicLoader8** object);

// Test hooks: the stand-in switch, objects alive (segments, loaders,
// performances and the DirectMusic object).
void SetDirectMusicAvailableForTest(bool available);
int GetLiveDirectMusicObjectCount();

}  // namespace plat
