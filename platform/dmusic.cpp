// The DirectMusic stand-in's objects. Segments know how long their MIDI data
// plays; the performance keeps, per segment it plays, when it started, and
// answers IsPlaying from the stand-in clock.
#include "platform/dmusic.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

#include "platform/clock.h"
#include "platform/dmusic_midi.h"

namespace plat {
namespace {

std::atomic<bool> gAvailable{false};
std::atomic<int> gLiveObjects{0};

struct Port {
  std::uint32_t classType;
  const char* description;
};
constexpr Port kPorts[] = {
    {DMUS_PC_OUTPUTCLASS, "Silent Software Synth"},
    {DMUS_PC_INPUTCLASS, "Silent MIDI Input"},
};

// One DirectMusic object at a time, shared by whoever asks.
DirectMusic8* gMusic = nullptr;
std::uint32_t gMusicReferences = 0;

std::int64_t NowMicros() {
  std::int64_t count = 0;
  std::int64_t frequency = 1;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<std::int64_t>(static_cast<__int128>(count) * 1000000 / frequency);
}

// The performance's state, kept outside the class so its header stays the
// interface alone.
struct PerformanceState {
  bool initialised = false;
  bool closed = false;
  DirectSound* sound = nullptr;
  std::map<DirectMusicSegment8*, std::int64_t> started;  // segment -> start in microseconds
};
std::map<const DirectMusicPerformance8*, PerformanceState> gPerformances;
std::map<const DirectMusicLoader8*, int> gLoaderCache;  // objects the loader still holds

}  // namespace

std::uint32_t DirectMusic8::AddRef() { return ++gMusicReferences; }

std::uint32_t DirectMusic8::Release() {
  if (--gMusicReferences > 0) return gMusicReferences;
  delete gMusic;
  gMusic = nullptr;
  gLiveObjects.fetch_sub(1);
  return 0;
}

HRESULT DirectMusic8::EnumPort(std::uint32_t index, DMusPortCaps* caps) {
  if (caps == nullptr) return DSERR_INVALIDPARAM;
  if (index >= sizeof(kPorts) / sizeof(kPorts[0])) return S_FALSE;
  caps->classType = kPorts[index].classType;
  const std::size_t length = std::min(std::strlen(kPorts[index].description), sizeof(caps->description) - 1);
  std::memcpy(caps->description, kPorts[index].description, length);
  caps->description[length] = '\0';
  return DS_OK;
}

std::uint32_t DirectMusicSegment8::AddRef() { return ++references_; }

std::uint32_t DirectMusicSegment8::Release() {
  if (--references_ > 0) return references_;
  // A released segment no longer plays anywhere.
  for (auto& [performance, state] : gPerformances) state.started.erase(this);
  delete this;
  gLiveObjects.fetch_sub(1);
  return 0;
}

HRESULT DirectMusicSegment8::Download(DirectMusicPerformance8* performance) {
  if (performance == nullptr) return DSERR_INVALIDPARAM;
  ++downloads_;
  return DS_OK;
}

HRESULT DirectMusicSegment8::Unload(DirectMusicPerformance8* performance) {
  if (performance == nullptr || downloads_ == 0) return DSERR_INVALIDCALL;
  --downloads_;
  return DS_OK;
}

std::uint32_t DirectMusicLoader8::Release() {
  gLoaderCache.erase(this);
  delete this;
  gLiveObjects.fetch_sub(1);
  return 0;
}

HRESULT DirectMusicLoader8::LoadSegmentFromMemory(const void* data, std::size_t size, DirectMusicSegment8** segment) {
  if (segment == nullptr) return DSERR_INVALIDPARAM;
  *segment = nullptr;
  const std::int64_t duration = MidiDurationMicroseconds(static_cast<const std::uint8_t*>(data), size);
  if (duration < 0) return DSERR_INVALIDPARAM;
  *segment = new DirectMusicSegment8(duration);
  gLiveObjects.fetch_add(1);
  // The loader's own reference, given back by ReleaseObjectByUnknown.
  (*segment)->AddRef();
  ++gLoaderCache[this];
  return DS_OK;
}

HRESULT DirectMusicLoader8::ReleaseObjectByUnknown(void* object) {
  int& held = gLoaderCache[this];
  if (object == nullptr || held == 0) return S_FALSE;
  --held;
  static_cast<DirectMusicSegment8*>(object)->Release();
  return DS_OK;
}

std::uint32_t DirectMusicPerformance8::Release() {
  CloseDown();
  gPerformances.erase(this);
  delete this;
  gLiveObjects.fetch_sub(1);
  return 0;
}

HRESULT DirectMusicPerformance8::InitAudio(DirectMusic8** music, DirectSound** sound, void*, std::uint32_t,
                                           std::uint32_t, std::uint32_t, void*) {
  PerformanceState& state = gPerformances[this];
  if (state.initialised) return DSERR_GENERIC;
  if (music != nullptr && *music == nullptr && DirectMusicCreate8(music) != DS_OK) return DSERR_GENERIC;
  if (DirectSoundCreate8(nullptr, &state.sound, nullptr) != DS_OK) return DSERR_GENERIC;
  if (sound != nullptr) {
    state.sound->AddRef();
    *sound = state.sound;
  }
  state.initialised = true;
  return DS_OK;
}

HRESULT DirectMusicPerformance8::PlaySegmentEx(DirectMusicSegment8* segment, std::uint32_t, std::int64_t) {
  PerformanceState& state = gPerformances[this];
  if (segment == nullptr) return DSERR_INVALIDPARAM;
  if (!state.initialised || state.closed) return DSERR_INVALIDCALL;
  state.started[segment] = NowMicros();
  return DS_OK;
}

HRESULT DirectMusicPerformance8::StopEx(void* object, std::int64_t, std::uint32_t) {
  PerformanceState& state = gPerformances[this];
  if (object == nullptr) {
    state.started.clear();
  } else {
    state.started.erase(static_cast<DirectMusicSegment8*>(object));
  }
  return DS_OK;
}

HRESULT DirectMusicPerformance8::IsPlaying(DirectMusicSegment8* segment, void*) {
  PerformanceState& state = gPerformances[this];
  const auto found = state.started.find(segment);
  if (found == state.started.end()) return S_FALSE;
  if (NowMicros() - found->second < segment->DurationMicros()) return DS_OK;
  state.started.erase(found);
  return S_FALSE;
}

HRESULT DirectMusicPerformance8::CloseDown() {
  PerformanceState& state = gPerformances[this];
  state.started.clear();
  if (state.sound != nullptr) {
    state.sound->Release();
    state.sound = nullptr;
  }
  state.closed = true;
  return DS_OK;
}

HRESULT DirectMusicCreate8(DirectMusic8** object) {
  if (object == nullptr) return DSERR_INVALIDPARAM;
  *object = nullptr;
  if (!gAvailable.load()) return REGDB_E_CLASSNOTREG;
  if (gMusic == nullptr) {
    gMusic = new DirectMusic8();
    gLiveObjects.fetch_add(1);
  }
  gMusic->AddRef();
  *object = gMusic;
  return DS_OK;
}

HRESULT DirectMusicPerformanceCreate8(DirectMusicPerformance8** object) {
  if (object == nullptr) return DSERR_INVALIDPARAM;
  *object = nullptr;
  if (!gAvailable.load()) return REGDB_E_CLASSNOTREG;
  *object = new DirectMusicPerformance8();
  gPerformances[*object] = PerformanceState{};
  gLiveObjects.fetch_add(1);
  return DS_OK;
}

HRESULT DirectMusicLoaderCreate8(DirectMusicLoader8** object) {
  if (object == nullptr) return DSERR_INVALIDPARAM;
  *object = nullptr;
  if (!gAvailable.load()) return REGDB_E_CLASSNOTREG;
  *object = new DirectMusicLoader8();
  gLiveObjects.fetch_add(1);
  return DS_OK;
}

void SetDirectMusicAvailableForTest(bool available) { gAvailable.store(available); }

int GetLiveDirectMusicObjectCount() { return gLiveObjects.load(); }

}  // namespace plat
