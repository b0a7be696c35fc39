// Playing, stopping and querying sound handles, and the volume setter.
// Static plays and the volume setter take no sound lock: they touch only the
// device buffers and record fields the stream thread never reads.
#include "sound/sound_play.h"

#include <cmath>

#include "core/log.h"
#include "core/log_text.h"
#include "core/message_pump.h"
#include "platform/clock.h"
#include "sound/sound_stream.h"

namespace qz {
namespace {

constexpr int kBusy = -2;

bool IsSlotPlaying(SoundBufferSlot* slot) {
  std::uint32_t status = 0;
  return GetSoundBufferStatusEither(slot, &status) == 0 && (status & plat::DSBSTATUS_PLAYING) != 0;
}

std::int32_t TakeOneShot(std::uint8_t* set, std::int32_t value, std::int32_t stored) {
  if (*set == 0) return stored;
  *set = 0;
  return value;
}

}  // namespace

void ApplyPlaySettings(SoundRecord* record, SoundBufferSlot* slot) {
  SetSoundBufferVolumeEither(slot, TakeOneShot(&record->oneShotVolumeSet, record->oneShotVolume, record->volume));
  SetSoundBufferPanEither(slot, TakeOneShot(&record->oneShotPanSet, record->oneShotPan, record->pan));
  SetSoundBufferFrequencyEither(slot,
                                TakeOneShot(&record->oneShotFrequencySet, record->oneShotFrequency, record->frequency));
}

int SelectNextSoundBuffer(SoundRecord* record, int fromTop) {
  // A sound loaded without buffers has nothing to play on.
  if (record->bufferCount < 1) {
    return AppendLogFormat(text::kSoundNoBuffers, static_cast<unsigned>(record->check));
  }
  std::uint32_t previousPosition = 0;
  if (record->lastSlot >= 0 && record->lastSlot < kSoundBufferSlots && record->slots[record->lastSlot].inUse != 0) {
    GetSoundBufferPositionEither(&record->slots[record->lastSlot], &previousPosition);
  }
  const int next = (record->lastSlot + 1) % record->bufferCount;
  record->lastSlot = next;
  SoundBufferSlot* slot = &record->slots[next];
  if (IsSlotPlaying(slot)) {
    if (fromTop == 0) return kBusy;
    StopSoundBufferEither(slot);
  }
  SetSoundBufferPositionEither(slot, fromTop != 0 ? 0 : previousPosition);
  ApplyPlaySettings(record, slot);
  return next;
}

void WaitWhileSoundPlays(SoundHandle handle) {
  if (PumpWindowMessages() != 0) return;
  while (IsSoundHandlePlaying(handle) == 1) {
    plat::Sleep(1);
    if (PumpWindowMessages() != 0) break;
    // Without the stream thread nobody else may feed a stream while we wait.
    if (GetSoundSystem().streamThread == nullptr) ServiceStreamSounds();
  }
}

int PlaySoundHandle(SoundHandle handle, int playType, int fromTop) {
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == kStreamSound) return PlayStreamSoundHandle(handle, playType, fromTop);
  const int slot = SelectNextSoundBuffer(record, fromTop);
  if (slot == kBusy) return 0;
  if (slot < 0) return -1;
  if (PlaySoundBufferEither(&record->slots[slot], playType == 3 ? 1 : 0) != 0) return -1;
  if (playType == 0) WaitWhileSoundPlays(handle);
  return 0;
}

int StopSoundHandle(SoundHandle handle) {
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == kStreamSound) return StopStreamSoundHandle(handle);
  for (SoundBufferSlot& slot : record->slots) {
    if (slot.inUse == 0) continue;
    std::uint32_t status = 0;
    if (GetSoundBufferStatusEither(&slot, &status) != 0) return -1;
    if ((status & plat::DSBSTATUS_PLAYING) != 0) StopSoundBufferEither(&slot);
  }
  return 0;
}

int IsSoundHandlePlaying(SoundHandle handle) {
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == kStreamSound) return IsStreamSoundPlaying(handle);
  for (SoundBufferSlot& slot : record->slots) {
    if (slot.inUse != 0 && IsSlotPlaying(&slot)) return 1;
  }
  return 0;
}

int SetSoundHandleVolume(int volume, SoundHandle handle) {
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  std::int32_t level = plat::DSBVOLUME_MIN;
  if (volume > 0) {
    const double decibels = std::log10(std::min(volume, 255) / 255.0) * 10.0 * 100.0;
    level = std::max(static_cast<std::int32_t>(decibels), plat::DSBVOLUME_MIN);
  }
  for (SoundBufferSlot& slot : record->slots) {
    if (slot.inUse != 0) SetSoundBufferVolumeEither(&slot, level);
  }
  record->volume = level;
  return 0;
}

int GetSoundHandleCurrentTime(SoundHandle handle) {
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == kStreamSound) return GetStreamSoundCurrentTime(handle);
  if (record->lastSlot < 0 || record->lastSlot >= kSoundBufferSlots || record->format.blockAlign == 0) return -1;
  std::uint32_t position = 0;
  if (GetSoundBufferPositionEither(&record->slots[record->lastSlot], &position) != 0) return -1;
  // The cursor is in bytes; the time comes from sample frames.
  const std::int64_t samples = position / record->format.blockAlign;
  return static_cast<int>(SamplesToMilliseconds(samples, static_cast<std::int32_t>(record->format.samplesPerSec)));
}

}  // namespace qz
