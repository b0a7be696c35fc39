// Sound buffer methods of the device stand-in. Every method takes the mixer
// mutex, so the sink's thread never sees a half-made change; Lock hands out a
// staging copy that Unlock commits, so a writer never races the mixer.
#include <algorithm>
#include <cstring>

#include "platform/dsound.h"
#include "platform/dsound_internal.h"

namespace plat {
namespace {

// The write cursor runs this far ahead of the play cursor while playing.
constexpr std::uint32_t kWriteLeadMilliseconds = 10;

bool IsPlayableRate(std::uint32_t rate) { return rate >= DSBFREQUENCY_MIN && rate <= DSBFREQUENCY_MAX; }

std::uint32_t PlayCursorBytes(const SoundBufferState& state) {
  const std::uint32_t frame = static_cast<std::uint32_t>(state.position >> 32);
  return std::min(frame, state.frames) % std::max<std::uint32_t>(state.frames, 1) * state.format.blockAlign;
}

// A region pointer handed out by Lock: its offset in the staging copy, or -1.
std::int64_t StagingOffset(const SoundBufferState& state, const void* region, std::uint32_t bytes) {
  if (region == nullptr || state.staging.empty()) return -1;
  const auto* start = state.staging.data();
  const auto* pointer = static_cast<const std::uint8_t*>(region);
  if (pointer < start || pointer + bytes > start + state.staging.size()) return -1;
  return pointer - start;
}

// Staging copies of huge static buffers are dropped once committed.
constexpr std::size_t kKeptStagingBytes = 1u << 20;

}  // namespace

std::uint32_t DirectSoundBuffer::AddRef() {
  std::lock_guard<std::mutex> guard(MixerMutex());
  return ++state_->references;
}

std::uint32_t DirectSoundBuffer::Release() {
  std::uint32_t left;
  {
    std::lock_guard<std::mutex> guard(MixerMutex());
    left = --state_->references;
    if (left == 0 && !state_->primary) RemoveMixerBuffer(state_);
  }
  if (left == 0) {
    delete state_;
    delete this;
  }
  return left;
}

HRESULT DirectSoundBuffer::Play(std::uint32_t, std::uint32_t, std::uint32_t flags) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  state_->playing = true;
  state_->looping = (flags & DSBPLAY_LOOPING) != 0;
  return DS_OK;
}

HRESULT DirectSoundBuffer::Stop() {
  std::lock_guard<std::mutex> guard(MixerMutex());
  state_->playing = false;
  return DS_OK;
}

HRESULT DirectSoundBuffer::GetStatus(std::uint32_t* status) {
  if (status == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  *status = state_->playing ? DSBSTATUS_PLAYING | (state_->looping ? DSBSTATUS_LOOPING : 0) : 0;
  return DS_OK;
}

HRESULT DirectSoundBuffer::GetCurrentPosition(std::uint32_t* playCursor, std::uint32_t* writeCursor) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (state_->primary) return DSERR_PRIOLEVELNEEDED;
  const std::uint32_t play = PlayCursorBytes(*state_);
  std::uint32_t write = play;
  if (state_->playing) {
    const std::uint32_t rate = state_->frequency != 0 ? state_->frequency : state_->format.samplesPerSec;
    const std::uint32_t leadFrames = std::min<std::uint32_t>(rate * kWriteLeadMilliseconds / 1000,
                                                             state_->frames - 1);
    write = (play + leadFrames * state_->format.blockAlign) % state_->bytes;
  }
  if (playCursor != nullptr) *playCursor = play;
  if (writeCursor != nullptr) *writeCursor = write;
  return DS_OK;
}

HRESULT DirectSoundBuffer::SetCurrentPosition(std::uint32_t position) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (state_->primary) return DSERR_INVALIDCALL;
  if (position >= state_->bytes) return DSERR_INVALIDPARAM;
  state_->position = static_cast<std::uint64_t>(position / state_->format.blockAlign) << 32;
  return DS_OK;
}

HRESULT DirectSoundBuffer::Lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* bytes1,
                                void** region2, std::uint32_t* bytes2, std::uint32_t) {
  if (region1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  SoundBufferState& state = *state_;
  if (state.primary) return DSERR_PRIOLEVELNEEDED;
  if (bytes == 0 || bytes > state.bytes || offset >= state.bytes) return DSERR_INVALIDPARAM;
  const std::uint32_t first = std::min(bytes, state.bytes - offset);
  const std::uint32_t second = bytes - first;
  if (second > 0 && (region2 == nullptr || bytes2 == nullptr)) return DSERR_INVALIDPARAM;
  if (state.staging.size() != state.bytes) state.staging.resize(state.bytes);
  std::memcpy(state.staging.data() + offset, state.data->data() + offset, first);
  if (second > 0) std::memcpy(state.staging.data(), state.data->data(), second);
  *region1 = state.staging.data() + offset;
  *bytes1 = first;
  if (region2 != nullptr) *region2 = second > 0 ? state.staging.data() : nullptr;
  if (bytes2 != nullptr) *bytes2 = second;
  return DS_OK;
}

HRESULT DirectSoundBuffer::Unlock(void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2) {
  std::lock_guard<std::mutex> guard(MixerMutex());
  SoundBufferState& state = *state_;
  const std::int64_t offset1 = StagingOffset(state, region1, bytes1);
  const std::int64_t offset2 = bytes2 > 0 ? StagingOffset(state, region2, bytes2) : 0;
  if (offset1 < 0 || offset2 < 0) return DSERR_INVALIDPARAM;
  std::memcpy(state.data->data() + offset1, state.staging.data() + offset1, bytes1);
  if (bytes2 > 0) std::memcpy(state.data->data() + offset2, state.staging.data() + offset2, bytes2);
  if (state.staging.size() > kKeptStagingBytes) std::vector<std::uint8_t>().swap(state.staging);
  return DS_OK;
}

HRESULT DirectSoundBuffer::SetVolume(std::int32_t volume) {
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (!state_->primary && (state_->flags & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
  state_->volume = volume;
  UpdateBufferMixParameters(state_);
  return DS_OK;
}

HRESULT DirectSoundBuffer::GetVolume(std::int32_t* volume) {
  if (volume == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  *volume = state_->volume;
  return DS_OK;
}

HRESULT DirectSoundBuffer::SetPan(std::int32_t pan) {
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (!state_->primary && (state_->flags & DSBCAPS_CTRLPAN) == 0) return DSERR_CONTROLUNAVAIL;
  state_->pan = pan;
  UpdateBufferMixParameters(state_);
  return DS_OK;
}

HRESULT DirectSoundBuffer::GetPan(std::int32_t* pan) {
  if (pan == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  *pan = state_->pan;
  return DS_OK;
}

HRESULT DirectSoundBuffer::SetFrequency(std::uint32_t frequency) {
  if (frequency != DSBFREQUENCY_ORIGINAL && !IsPlayableRate(frequency)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (state_->primary) return DSERR_INVALIDCALL;
  if ((state_->flags & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
  state_->frequency = frequency;
  UpdateBufferMixParameters(state_);
  return DS_OK;
}

HRESULT DirectSoundBuffer::GetFrequency(std::uint32_t* frequency) {
  if (frequency == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  *frequency = state_->frequency != 0 ? state_->frequency : state_->format.samplesPerSec;
  return DS_OK;
}

HRESULT DirectSoundBuffer::SetFormat(const WaveFormatEx* format) {
  if (format == nullptr || format->formatTag != WAVE_FORMAT_PCM || format->channels < 1 || format->channels > 2 ||
      (format->bitsPerSample != 8 && format->bitsPerSample != 16) || !IsPlayableRate(format->samplesPerSec)) {
    return DSERR_INVALIDPARAM;
  }
  std::lock_guard<std::mutex> guard(MixerMutex());
  if (!state_->primary) return DSERR_INVALIDCALL;
  state_->format = *format;
  state_->format.blockAlign = static_cast<std::uint16_t>(format->channels * format->bitsPerSample / 8);
  state_->format.avgBytesPerSec = state_->format.blockAlign * format->samplesPerSec;
  return DS_OK;
}

HRESULT DirectSoundBuffer::GetFormat(WaveFormatEx* format) {
  if (format == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> guard(MixerMutex());
  *format = state_->format;
  return DS_OK;
}

}  // namespace plat
