// The sound device stand-in: a device object that makes secondary buffers of
// PCM (8 or 16 bits, mono or stereo, 100 to 200000 Hz) and one mixer that
// sums every playing buffer into 44100 Hz 16-bit stereo. Buffers keep a play
// and a write cursor in bytes that move as the mixer consumes them (in whole
// mixing periods, as a sound card's cursor does), loop or stop at their end,
// and apply a volume in hundredths of a decibel, a pan and a frequency.
// Duplicates share their original's samples and keep their own cursor and
// settings. The mixer feeds one sink: the SDL audio device (desktop), a
// real-time null sink (time passes, output discarded), or a manual sink that
// mixes only when a test asks and hands back the exact samples.
//
// The null sink's own thread mixes what has passed on real time; on virtual
// time the thread that moves the clock mixes, up to the clock as it reads it
// holding the mixer, so a sound ends at the same virtual moment however busy
// the machine is and however many threads move the clock. The decoders of
// compressed sounds are the ACM stand-in's (acm.h: PCM, IMA and Microsoft
// ADPCM of our own, MP3 through mpg123).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/wave_format.h"
#include "platform/win_types.h"

namespace plat {

inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
inline constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);

// Buffer description flags.
inline constexpr std::uint32_t DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr std::uint32_t DSBCAPS_STATIC = 0x2;
inline constexpr std::uint32_t DSBCAPS_LOCSOFTWARE = 0x8;
inline constexpr std::uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr std::uint32_t DSBCAPS_CTRLPAN = 0x40;
inline constexpr std::uint32_t DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr std::uint32_t DSBCAPS_GLOBALFOCUS = 0x8000;
inline constexpr std::uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

inline constexpr std::uint32_t DSBPLAY_LOOPING = 0x1;
inline constexpr std::uint32_t DSBSTATUS_PLAYING = 0x1;
inline constexpr std::uint32_t DSBSTATUS_LOOPING = 0x4;
inline constexpr std::uint32_t DSSCL_NORMAL = 1;
inline constexpr std::uint32_t DSSCL_PRIORITY = 2;

inline constexpr std::int32_t DSBVOLUME_MIN = -10000;
inline constexpr std::int32_t DSBVOLUME_MAX = 0;
inline constexpr std::int32_t DSBPAN_LEFT = -10000;
inline constexpr std::int32_t DSBPAN_RIGHT = 10000;
inline constexpr std::uint32_t DSBFREQUENCY_ORIGINAL = 0;
inline constexpr std::uint32_t DSBFREQUENCY_MIN = 100;
inline constexpr std::uint32_t DSBFREQUENCY_MAX = 200000;

// A format secondary buffers can hold: PCM, one or two channels of 8 or 16
// bits, a consistent block, a rate in the playable range.
bool IsSoundBufferFormat(const WaveFormatEx* format);

// Device capability flags.
inline constexpr std::uint32_t DSCAPS_PRIMARYMONO = 0x1;
inline constexpr std::uint32_t DSCAPS_PRIMARYSTEREO = 0x2;
inline constexpr std::uint32_t DSCAPS_PRIMARY8BIT = 0x4;
inline constexpr std::uint32_t DSCAPS_PRIMARY16BIT = 0x8;
inline constexpr std::uint32_t DSCAPS_SECONDARYMONO = 0x100;
inline constexpr std::uint32_t DSCAPS_SECONDARYSTEREO = 0x200;
inline constexpr std::uint32_t DSCAPS_SECONDARY8BIT = 0x400;
inline constexpr std::uint32_t DSCAPS_SECONDARY16BIT = 0x800;

struct DSBufferDesc {
  std::uint32_t flags;
  std::uint32_t bufferBytes;        // 0 for the primary buffer
  const WaveFormatEx* format;       // null for the primary buffer
};

struct DSCaps {
  std::uint32_t flags;
  std::uint32_t minSecondarySampleRate;
  std::uint32_t maxSecondarySampleRate;
  std::uint32_t totalHwMemBytes;
  std::uint32_t freeHwMemBytes;
};

// The mixer's output: 44100 Hz, 16-bit, stereo.
inline constexpr std::uint32_t kMixRate = 44100;
inline constexpr int kMixChannels = 2;

struct SoundBufferState;

// A sound buffer (the primary buffer or a secondary one). Reference counted:
// Release frees it at zero. Methods are safe against the mixer thread.
class DirectSoundBuffer {
 public:
  std::uint32_t AddRef();
  std::uint32_t Release();
  HRESULT Play(std::uint32_t reserved, std::uint32_t priority, std::uint32_t flags);
  HRESULT Stop();
  HRESULT GetStatus(std::uint32_t* status);
  // Byte offsets; either pointer may be null.
  HRESULT GetCurrentPosition(std::uint32_t* playCursor, std::uint32_t* writeCursor);
  HRESULT SetCurrentPosition(std::uint32_t position);
  // One region, or two when the span wraps past the end (the second from the
  // start). The regions show the buffer's bytes; what the caller writes there
  // reaches the buffer at Unlock.
  HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* bytes1, void** region2,
               std::uint32_t* bytes2, std::uint32_t flags);
  HRESULT Unlock(void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2);
  HRESULT SetVolume(std::int32_t volume);
  HRESULT GetVolume(std::int32_t* volume);
  HRESULT SetPan(std::int32_t pan);
  HRESULT GetPan(std::int32_t* pan);
  HRESULT SetFrequency(std::uint32_t frequency);
  HRESULT GetFrequency(std::uint32_t* frequency);
  // The primary buffer's format (secondary buffers refuse it).
  HRESULT SetFormat(const WaveFormatEx* format);
  HRESULT GetFormat(WaveFormatEx* format);

  explicit DirectSoundBuffer(SoundBufferState* state) : state_(state) {}
  SoundBufferState* State() const { return state_; }

 private:
  SoundBufferState* state_;
};

class DirectSound {
 public:
  std::uint32_t AddRef();
  std::uint32_t Release();
  HRESULT SetCooperativeLevel(void* window, std::uint32_t level);
  HRESULT GetCaps(DSCaps* caps);
  HRESULT CreateSoundBuffer(const DSBufferDesc* desc, DirectSoundBuffer** buffer, void* outer);
  HRESULT DuplicateSoundBuffer(DirectSoundBuffer* original, DirectSoundBuffer** duplicate);
};

using DSEnumCallback = BOOL (*)(void* guid, const char* description, const char* module, void* context);

// Exported by the "DSOUND.DLL" row of the module registry. One device object
// at a time; it opens the sink chosen for the backend (the SDL device on the
// desktop, falling back to the null sink when no device opens).
HRESULT DirectSoundCreate8(const void* deviceGuid, DirectSound** device, void* outer);
HRESULT DirectSoundEnumerateA(DSEnumCallback callback, void* context);

// Test hooks.
enum class AudioSinkKind { kDevice, kNull, kManual };
// The sink the next device object opens (kDevice: by the backend).
void SetAudioSinkForTest(AudioSinkKind kind);
AudioSinkKind GetActiveAudioSink();
// Manual sink: mixes `frames` output frames now and returns them
// (interleaved left, right). Empty when the manual sink is not active.
std::vector<std::int16_t> RenderAudioForTest(int frames);
// Every output frame mixed from now on is kept until taken (any sink).
void SetAudioCaptureForTest(bool enabled);
std::vector<std::int16_t> TakeCapturedAudioForTest();
// Buffer creations whose flags equal `flags` fail the next `times` times
// (negative: always; 0 stops); flags 0 clears every switch. Duplications
// fail the same way.
void FailSoundBufferCreationForTest(std::uint32_t flags, int times);
void FailSoundBufferDuplicationForTest(int times);
// Secondary buffers alive (tests check that everything was released).
int GetLiveSoundBufferCount();

}  // namespace plat
