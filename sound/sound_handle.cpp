// The sound handle table, record creation and deletion, the making of a
// sound's buffers, and the sound lock.
#include "sound/sound_handle.h"

#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "platform/sync.h"
#include "sound/sound_stream.h"

namespace qz {
namespace {

SoundSystemState gSound{};
plat::CriticalSection gSoundLock;

SoundRecord* gRecords[kSoundTableSize] = {};
int gLiveCount = 0;
int gUsedEnd = 0;
std::int32_t gCheckCounter = 0;

bool IsSoundKindHandle(SoundHandle handle) {
  return handle >= 0 && (handle & kHandleKindMask) == kSoundHandle && (handle & kHandleSlotMask) < kSoundTableSize;
}

void ShrinkUsedRange() {
  while (gUsedEnd > 0 && gRecords[gUsedEnd - 1] == nullptr) --gUsedEnd;
}

void ReleaseSlots(SoundRecord* record) {
  for (SoundBufferSlot& slot : record->slots) {
    if (slot.inUse != 0) ReleaseSoundBufferEither(&slot);
  }
}

void StopAllSlots(SoundRecord* record) {
  for (SoundBufferSlot& slot : record->slots) {
    if (slot.inUse != 0) StopSoundBufferEither(&slot);
  }
}

void ReleaseStaticData(SoundRecord* record) {
  if (record->pcmRefCount != nullptr && --*record->pcmRefCount <= 0) {
    QZ_FREE(record->pcmData);
    QZ_FREE(record->pcmRefCount);
  }
  record->pcmData = nullptr;
  record->pcmRefCount = nullptr;
}

void FreeRecord(SoundHandle handle, SoundRecord* record) {
  const int slot = handle & kHandleSlotMask;
  QZ_FREE(record);
  gRecords[slot] = nullptr;
  --gLiveCount;
  ShrinkUsedRange();
}

// Slot 0 of a static sound: a new buffer, retried once with fewer controls.
int CreateFirstStaticSlot(SoundRecord* record, const plat::WaveFormatEx* format, std::uint32_t bytes) {
  const bool software = gSound.locateInSoftware != 0;
  const plat::DSBufferDesc desc{software ? kStaticBufferFlagsSoftware : kStaticBufferFlags, bytes, format};
  if (CreateSoundBufferEither(&record->slots[0], &desc) == 0) return 0;
  const plat::DSBufferDesc retry{software ? kStaticBufferRetryFlagsSoftware : kStaticBufferRetryFlags, bytes, format};
  return CreateSoundBufferEither(&record->slots[0], &retry);
}

int CreateStaticSlots(SoundRecord* record, const SoundRecord* source, const plat::WaveFormatEx* format,
                      std::uint32_t bytes, int count) {
  int made = 0;
  for (int i = 0; i < count; ++i) {
    const SoundBufferSlot* original = source != nullptr ? &source->slots[0] : (i > 0 ? &record->slots[0] : nullptr);
    if (original != nullptr && DuplicateSoundBufferEither(&record->slots[i], original) == 0) {
      record->duplicate[i] = 1;
      ++made;
      continue;
    }
    if (i > 0) break;
    if (CreateFirstStaticSlot(record, format, bytes) != 0) {
      ReleaseSlots(record);
      return AppendLogText(text::kSoundBufferCreateFailed);
    }
    ++made;
  }
  record->bufferCount = made;
  return 0;
}

}  // namespace

SoundSystemState& GetSoundSystem() { return gSound; }

int IsSoundStarted() { return gSound.device != nullptr ? 1 : 0; }

void LockSound() { gSoundLock.Enter(); }

void UnlockSound() { gSoundLock.Leave(); }

SoundRecord* GetSoundRecord(SoundHandle handle) {
  if (gSound.device == nullptr || !IsSoundKindHandle(handle)) return nullptr;
  SoundRecord* record = gRecords[handle & kHandleSlotMask];
  if (record == nullptr || (record->check << 16) != (handle & kHandleCheckMask)) return nullptr;
  return record;
}

SoundHandle GetSoundHandleAt(int slot) {
  if (slot < 0 || slot >= kSoundTableSize || gRecords[slot] == nullptr) return -1;
  return MakeHandle(kSoundHandle, gRecords[slot]->check, slot);
}

int GetSoundHandleCount() { return gLiveCount; }

int GetSoundUsedRangeEnd() { return gUsedEnd; }

SoundHandle AddSoundData(SoundHandle handle) {
  if (gSound.device == nullptr) return -1;
  SoundLockScope lock;
  int slot;
  std::int32_t check;
  if (handle != -1) {
    if (!IsSoundKindHandle(handle) || gRecords[handle & kHandleSlotMask] != nullptr) {
      return AppendLogFormat(text::kSoundHandleSlotInUse, static_cast<unsigned>(handle));
    }
    slot = handle & kHandleSlotMask;
    check = (handle & kHandleCheckMask) >> 16;
  } else {
    if (gLiveCount >= kSoundTableSize) return AppendLogText(text::kSoundTableFull);
    slot = gUsedEnd;
    if (slot >= kSoundTableSize) {
      slot = 0;
      while (gRecords[slot] != nullptr) ++slot;
    }
    check = gCheckCounter;
  }
  auto* record = static_cast<SoundRecord*>(QZ_ALLOC_ZEROED(sizeof(SoundRecord)));
  if (record == nullptr) return AppendLogText(text::kSoundRecordAllocFailed);
  if (handle == -1) gCheckCounter = gCheckCounter + 1 >= kHandleCheckLimit ? 0 : gCheckCounter + 1;
  record->check = check;
  record->shareOwner = -1;
  record->currentUser = -1;
  record->nextWriteOffset = kFirstFillPending;
  record->guardOffset = -1;
  for (StreamSource& source : record->sources) source.loopEndFrame = -1;
  gRecords[slot] = record;
  ++gLiveCount;
  gUsedEnd = std::max(std::max(gUsedEnd, slot + 1), gLiveCount);
  return MakeHandle(kSoundHandle, check, slot);
}

int GetSoundHandleTotalSamples(SoundHandle handle) {
  const SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  if (record->kind == kStreamSound) return static_cast<int>(record->stream.totalSamples);
  return record->format.blockAlign != 0 ? record->pcmBytes / record->format.blockAlign : 0;
}

int GetSoundHandleTotalTime(SoundHandle handle) {
  const SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;
  return static_cast<int>(SamplesToMilliseconds(GetSoundHandleTotalSamples(handle), record->format.samplesPerSec));
}

std::int64_t SamplesToMilliseconds(std::int64_t samples, std::int32_t rate) {
  if (rate <= 0) return 0;
  return samples * 1000 / rate;
}

int DeleteSoundHandle(SoundHandle handle) {
  if (gSound.device == nullptr) return -1;
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr) return -1;

  if (record->kind == kStreamSound) {
    StopStreamSoundHandle(handle);
  } else if (record->slots[0].inUse != 0) {
    StopAllSlots(record);
  }

  if (record->kind != kStreamSound) {
    ReleaseSlots(record);
    ReleaseStaticData(record);
    FreeRecord(handle, record);
    return 0;
  }

  if (record->shareOwner != -1) {
    SoundRecord* owner = GetSoundRecord(record->shareOwner);
    if (owner != nullptr) {
      --owner->sharerCount;
      if (owner->currentUser == handle) owner->currentUser = -1;
      if (owner->deletePending != 0 && owner->sharerCount <= 0 && record->shareOwner != handle) {
        DeleteSoundHandle(record->shareOwner);
      }
    }
  }
  if (record->sharerCount > 0) {
    record->deletePending = 1;
    return 0;
  }
  if (record->streamNode.next != nullptr) RemoveHandleListNode(&record->streamNode);
  ReleaseStreamSources(record);
  ReleaseSlots(record);
  FreeRecord(handle, record);
  return 0;
}

int DeleteAllSoundHandles() {
  if (gSound.device == nullptr) return -1;
  SoundLockScope lock;
  for (int slot = 0; slot < kSoundTableSize; ++slot) {
    if (gRecords[slot] != nullptr) DeleteSoundHandle(GetSoundHandleAt(slot));
  }
  if (gSound.currentMusicIsSound != 0) gSound.currentMusic = -1;
  return 0;
}

int CreateSoundHandleBuffer(SoundHandle source, const plat::WaveFormatEx* format, std::uint32_t bytes, int stream,
                            int count, SoundHandle target) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(target);
  if (record == nullptr) return -1;
  const SoundRecord* sourceRecord = nullptr;
  if (source != -1) {
    if (stream != 0) return -1;
    sourceRecord = GetSoundRecord(source);
    if (sourceRecord == nullptr || sourceRecord->kind != kStaticSound || sourceRecord->slots[0].inUse == 0) return -1;
    format = &sourceRecord->format;
    bytes = static_cast<std::uint32_t>(sourceRecord->pcmBytes);
  }
  if (format == nullptr || format->blockAlign == 0) return -1;

  if (stream != 0) {
    // A decoded format no buffer can hold is the file's fault, not the
    // device's: refused, where a failed buffer of a good format is fatal.
    if (!plat::IsSoundBufferFormat(format)) {
      AppendLogFormat(text::kStreamFormatUnplayable, static_cast<unsigned>(format->channels),
                      static_cast<unsigned>(format->bitsPerSample), static_cast<unsigned>(format->samplesPerSec));
      return -1;
    }
    // One second of the format, in whole frames.
    const std::uint32_t bufferBytes = format->samplesPerSec * format->blockAlign;
    const plat::DSBufferDesc desc{gSound.locateInSoftware != 0 ? kStreamBufferFlagsSoftware : kStreamBufferFlags,
                                  bufferBytes, format};
    if (CreateSoundBufferEither(&record->slots[0], &desc) != 0) FatalErrorExit(text::kStreamBufferCreateFailed);
    record->bufferCount = 1;
    record->streamBufferBytes = bufferBytes;
    LinkStreamSound(target, record);
  } else if (CreateStaticSlots(record, sourceRecord, format, bytes, std::min(count, kSoundBufferSlots)) != 0) {
    return -1;
  }
  record->kind = stream != 0 ? kStreamSound : kStaticSound;
  return 0;
}

void LinkStreamSound(SoundHandle handle, SoundRecord* record) {
  if (gSound.streamHead.next == nullptr) InitHandleList(&gSound.streamHead, &gSound.streamTail);
  if (record->streamNode.next == nullptr) AddHandleListNode(&gSound.streamHead, &record->streamNode, handle, record);
}

void SetSoftwareMixingForTest(int enabled) { gSound.softwareMixing = enabled; }

}  // namespace qz
