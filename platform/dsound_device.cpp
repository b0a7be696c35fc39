// The sound device object of the stand-in: buffer creation (with the
// descriptor checks a real device makes), duplication, capabilities and the
// enumeration of output devices. One device object exists at a time; its
// release closes the sink.
#include <SDL.h>

#include <map>
#include <new>

#include "platform/backend.h"
#include "platform/dsound.h"
#include "platform/dsound_internal.h"

namespace plat {
namespace {

struct DeviceState {
  DirectSound* object = nullptr;
  std::uint32_t references = 0;
  std::uint32_t cooperativeLevel = 0;
};

DeviceState gDevice;

// Times left to fail, by the flags of the description.
std::map<std::uint32_t, int> gCreationFailures;
int gDuplicationFailures = 0;

bool Consume(int* times) {
  if (*times == 0) return false;
  if (*times > 0) --*times;
  return true;
}

SoundBufferState* NewState(std::uint32_t flags, const WaveFormatEx& format) {
  auto* state = new (std::nothrow) SoundBufferState{};
  if (state == nullptr) return nullptr;
  state->references = 1;
  state->flags = flags;
  state->format = format;
  return state;
}

HRESULT CreatePrimary(DirectSoundBuffer** buffer) {
  WaveFormatEx format{WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};
  SoundBufferState* state = NewState(DSBCAPS_PRIMARYBUFFER, format);
  if (state == nullptr) return DSERR_OUTOFMEMORY;
  state->primary = true;
  *buffer = new DirectSoundBuffer(state);
  return DS_OK;
}

}  // namespace

bool IsSoundBufferFormat(const WaveFormatEx* format) {
  return format != nullptr && format->formatTag == WAVE_FORMAT_PCM && (format->channels == 1 || format->channels == 2) &&
         (format->bitsPerSample == 8 || format->bitsPerSample == 16) &&
         format->blockAlign == format->channels * format->bitsPerSample / 8 &&
         format->samplesPerSec >= DSBFREQUENCY_MIN && format->samplesPerSec <= DSBFREQUENCY_MAX;
}

bool ConsumeBufferCreationFailure(std::uint32_t flags) {
  const auto found = gCreationFailures.find(flags);
  return found != gCreationFailures.end() && Consume(&found->second);
}

bool ConsumeBufferDuplicationFailure() { return Consume(&gDuplicationFailures); }

std::uint32_t DirectSound::AddRef() { return ++gDevice.references; }

std::uint32_t DirectSound::Release() {
  if (--gDevice.references > 0) return gDevice.references;
  CloseAudioSink();
  gDevice = DeviceState{};
  delete this;
  return 0;
}

HRESULT DirectSound::SetCooperativeLevel(void*, std::uint32_t level) {
  if (level < DSSCL_NORMAL || level > 3) return DSERR_INVALIDPARAM;
  gDevice.cooperativeLevel = level;
  return DS_OK;
}

HRESULT DirectSound::GetCaps(DSCaps* caps) {
  if (caps == nullptr) return DSERR_INVALIDPARAM;
  caps->flags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
  caps->minSecondarySampleRate = DSBFREQUENCY_MIN;
  caps->maxSecondarySampleRate = DSBFREQUENCY_MAX;
  caps->totalHwMemBytes = 0;
  caps->freeHwMemBytes = 0;
  return DS_OK;
}

HRESULT DirectSound::CreateSoundBuffer(const DSBufferDesc* desc, DirectSoundBuffer** buffer, void* outer) {
  if (desc == nullptr || buffer == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  *buffer = nullptr;
  if (gDevice.cooperativeLevel == 0) return DSERR_PRIOLEVELNEEDED;
  if ((desc->flags & DSBCAPS_PRIMARYBUFFER) != 0) {
    if (desc->bufferBytes != 0 || desc->format != nullptr) return DSERR_INVALIDPARAM;
    return CreatePrimary(buffer);
  }
  if (!IsSoundBufferFormat(desc->format) || desc->bufferBytes == 0 || desc->bufferBytes % desc->format->blockAlign != 0) {
    return DSERR_INVALIDPARAM;
  }
  // Our own guard against absurd sizes: a buffer holds at most 256 MiB.
  if (desc->bufferBytes > (1u << 28)) return DSERR_OUTOFMEMORY;
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (ConsumeBufferCreationFailure(desc->flags)) return DSERR_OUTOFMEMORY;
  SoundBufferState* state = NewState(desc->flags, *desc->format);
  if (state == nullptr) return DSERR_OUTOFMEMORY;
  state->data = std::make_shared<std::vector<std::uint8_t>>(desc->bufferBytes);
  state->bytes = desc->bufferBytes;
  state->frames = desc->bufferBytes / desc->format->blockAlign;
  UpdateBufferMixParameters(state);
  AddMixerBuffer(state);
  *buffer = new DirectSoundBuffer(state);
  return DS_OK;
}

HRESULT DirectSound::DuplicateSoundBuffer(DirectSoundBuffer* original, DirectSoundBuffer** duplicate) {
  if (original == nullptr || duplicate == nullptr) return DSERR_INVALIDPARAM;
  *duplicate = nullptr;
  std::lock_guard<std::mutex> guard(MixerMutex());
  const SoundBufferState& source = *original->State();
  if (source.primary) return DSERR_INVALIDCALL;
  if (ConsumeBufferDuplicationFailure()) return DSERR_OUTOFMEMORY;
  SoundBufferState* state = NewState(source.flags, source.format);
  if (state == nullptr) return DSERR_OUTOFMEMORY;
  state->data = source.data;
  state->bytes = source.bytes;
  state->frames = source.frames;
  state->volume = source.volume;
  state->pan = source.pan;
  state->frequency = source.frequency;
  UpdateBufferMixParameters(state);
  AddMixerBuffer(state);
  *duplicate = new DirectSoundBuffer(state);
  return DS_OK;
}

HRESULT DirectSoundCreate8(const void*, DirectSound** device, void* outer) {
  if (device == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  if (gDevice.object == nullptr) {
    gDevice.object = new DirectSound();
    OpenAudioSink();
  }
  ++gDevice.references;
  *device = gDevice.object;
  return DS_OK;
}

HRESULT DirectSoundEnumerateA(DSEnumCallback callback, void* context) {
  if (callback == nullptr) return DSERR_INVALIDPARAM;
  if (!callback(nullptr, "Primary Sound Driver", "", context)) return DS_OK;
  if (GetBackendKind() != BackendKind::kDesktop || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    callback(nullptr, "Null audio output", "null", context);
    return DS_OK;
  }
  const int count = SDL_GetNumAudioDevices(0);
  // Without a device the sink falls back to the null output; list that.
  if (count == 0) callback(nullptr, "Null audio output", "null", context);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    if (!callback(nullptr, name != nullptr ? name : "", SDL_GetCurrentAudioDriver(), context)) break;
  }
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return DS_OK;
}

void FailSoundBufferCreationForTest(std::uint32_t flags, int times) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (flags == 0) {
    gCreationFailures.clear();
  } else {
    gCreationFailures[flags] = times;
  }
}

void FailSoundBufferDuplicationForTest(int times) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  gDuplicationFailures = times;
}

int GetLiveSoundBufferCount() {
  std::lock_guard<std::mutex> guard(MixerMutex());
  return MixerBufferCount();
}

}  // namespace plat
