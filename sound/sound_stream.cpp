// Stream sounds: priming, play and stop, the played-byte count, and the
// refill that keeps between 3/8 and 7/8 of a second queued ahead of the play
// cursor. Every amount is a whole number of sample frames.
#include "sound/sound_stream.h"

#include <algorithm>
#include <cstring>

#include "core/memory.h"
#include "sound/sound_converter.h"
#include "sound/sound_play.h"

namespace qz {
namespace {

std::uint32_t BytesPerSecond(const SoundRecord* record) {
  return record->format.samplesPerSec * record->format.blockAlign;
}

std::uint32_t FloorToFrame(std::uint64_t bytes, std::uint32_t align) {
  return static_cast<std::uint32_t>(bytes / align * align);
}

// Distance from `from` forward to `to` around a buffer of `size` bytes.
std::int64_t Forward(std::int64_t from, std::int64_t to, std::int64_t size) { return ((to - from) % size + size) % size; }

SoundBufferSlot* BufferSlot(SoundRecord* record) {
  SoundRecord* owner = GetStreamBufferRecord(record);
  return owner != nullptr && owner->slots[0].inUse != 0 ? &owner->slots[0] : nullptr;
}

bool IsBufferPlaying(SoundBufferSlot* slot) {
  std::uint32_t status = 0;
  return slot != nullptr && GetSoundBufferStatusEither(slot, &status) == 0 && (status & plat::DSBSTATUS_PLAYING) != 0;
}

std::int32_t ReadCursor(SoundBufferSlot* slot) {
  std::uint32_t cursor = 0;
  if (GetSoundBufferPositionEither(slot, &cursor) != 0) return -1;
  return static_cast<std::int32_t>(cursor);
}

void ResetProgress(StreamProgress* progress) {
  progress->currentSource = 0;
  progress->loopsDone = 0;
  progress->nextSample = 0;
  progress->bytesPlayed = 0;
  progress->loopWrapPending = 0;
  progress->playing = 0;
}

int SeekSource(SoundRecord* record, std::int64_t sample) {
  StreamSource& source = record->sources[record->stream.currentSource];
  record->stream.nextSample = sample;
  return source.converter != nullptr ? SeekSoundConverter(source.converter, sample) : -1;
}

// The state of one refill: where data goes next in the buffer and what of
// the locked regions is still free.
struct Fill {
  SoundRecord* record;
  SoundRegions regions;
  std::int64_t writeOffset;  // where the next byte lands, before wrapping
  std::uint32_t written;
  std::uint32_t bufferBytes;
};

void MarkLoopWrap(Fill* fill, std::int64_t loopStartBytes) {
  StreamProgress& progress = fill->record->stream;
  progress.loopWrapPending = 1;
  progress.wrapMark = static_cast<std::int32_t>(fill->writeOffset % fill->bufferBytes);
  progress.loopStartBytes = loopStartBytes;
}

void SilenceTail(Fill* fill, std::uint32_t bytes) {
  const std::uint32_t silent = FillSoundSilence(fill->record, &fill->regions, bytes);
  fill->written += silent;
  fill->writeOffset += silent;
}

// A source ran dry. True when more data may follow in this pass.
bool AdvanceStreamSource(Fill* fill) {
  SoundRecord* record = fill->record;
  StreamProgress& progress = record->stream;
  const std::uint32_t align = record->format.blockAlign;
  StreamSource& source = record->sources[progress.currentSource];
  if (source.loopCount == kEndlessLoop) {
    if (progress.loopWrapPending != 0) return false;
    ++progress.loopsDone;
    MarkLoopWrap(fill, static_cast<std::int64_t>(source.loopStartFrame) * align);
    return SeekSource(record, source.loopStartFrame) == 0;
  }
  ++progress.loopsDone;
  if (progress.loopsDone <= source.loopCount) return SeekSource(record, 0) == 0;
  if (progress.currentSource + 1 < progress.sourceCount) {
    ++progress.currentSource;
    progress.loopsDone = 0;
    return SeekSource(record, 0) == 0;
  }
  if (record->streamPlayType == 3) {
    if (progress.loopWrapPending != 0) return false;
    progress.currentSource = 0;
    progress.loopsDone = 0;
    MarkLoopWrap(fill, 0);
    return SeekSource(record, 0) == 0;
  }
  progress.endReached = 1;
  progress.lastSourceDone = 1;
  progress.endMark = static_cast<std::int32_t>(fill->writeOffset % fill->bufferBytes);
  progress.endBytesPlayed =
      progress.bytesPlayed + Forward(progress.lastPlayCursor, progress.endMark, fill->bufferBytes);
  SilenceTail(fill, FloorToFrame(BytesPerSecond(record) / 8, align));
  return false;
}

// Reads up to `bytes` (whole frames) of PCM; a frame the converter hands
// out in parts is completed, and one cut short by the end is padded with
// silence, so the buffer never drifts off the frame grid.
std::uint32_t CompleteFrames(SoundConverter* converter, std::uint8_t* data, std::uint32_t bytes,
                             std::uint32_t align) {
  const int first = ReadConvertedPcm(converter, data, bytes);
  if (first <= 0) return 0;
  std::uint32_t got = static_cast<std::uint32_t>(first);
  while (got % align != 0) {
    const int more = ReadConvertedPcm(converter, data + got, align - got % align);
    if (more <= 0) {
      std::memset(data + got, 0, align - got % align);
      got += align - got % align;
    } else {
      got += static_cast<std::uint32_t>(more);
    }
  }
  return got;
}

// Converts into the regions from the current source, moving through loops
// and sources; a loop or source change that yields nothing twice running
// ends the pass rather than spin.
void WriteConvertedPcmToRegions(Fill* fill) {
  SoundRecord* record = fill->record;
  StreamProgress& progress = record->stream;
  const std::uint32_t align = record->format.blockAlign;
  bool producedSinceAdvance = true;
  while (fill->regions.bytes1 + fill->regions.bytes2 > 0 && progress.endReached == 0) {
    StreamSource& source = record->sources[progress.currentSource];
    std::uint8_t*& data = fill->regions.bytes1 > 0 ? fill->regions.data1 : fill->regions.data2;
    std::uint32_t& room = fill->regions.bytes1 > 0 ? fill->regions.bytes1 : fill->regions.bytes2;
    std::uint32_t wanted = room;
    if (source.loopEndFrame >= 0) {
      const std::int64_t left = std::max<std::int64_t>(source.loopEndFrame - progress.nextSample, 0) * align;
      wanted = static_cast<std::uint32_t>(std::min<std::int64_t>(wanted, left));
    }
    std::uint32_t got = 0;
    if (wanted > 0 && source.converter != nullptr) got = CompleteFrames(source.converter, data, wanted, align);
    if (got > 0) {
      data += got;
      room -= got;
      fill->written += got;
      fill->writeOffset += got;
      progress.nextSample += got / align;
      producedSinceAdvance = true;
      continue;
    }
    if (!producedSinceAdvance) break;
    producedSinceAdvance = false;
    if (!AdvanceStreamSource(fill)) break;
  }
}

// True when the cursor lies in the last 3/4 second before the write offset,
// so no more than that is queued.
bool MayWrite(const SoundRecord* record, std::int32_t cursor, std::uint32_t bufferBytes) {
  const std::int64_t guard = record->guardOffset;
  return Forward(guard, cursor, bufferBytes) <= Forward(guard, record->nextWriteOffset, bufferBytes);
}

void AfterWrite(SoundRecord* record, std::int64_t nextWrite, std::uint32_t bufferBytes) {
  const std::uint32_t align = record->format.blockAlign;
  record->nextWriteOffset = static_cast<std::int32_t>(nextWrite % bufferBytes);
  const std::uint32_t threeQuarters = (BytesPerSecond(record) * 3 / 4 + align - 1) / align * align;
  record->guardOffset = static_cast<std::int32_t>(Forward(threeQuarters, record->nextWriteOffset, bufferBytes));
}

bool LockRegions(SoundBufferSlot* slot, std::uint32_t offset, std::uint32_t bytes, SoundRegions* regions) {
  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t firstBytes = 0;
  std::uint32_t secondBytes = 0;
  if (LockSoundBufferEither(slot, offset, bytes, &first, &firstBytes, &second, &secondBytes) != 0) return false;
  *regions = SoundRegions{static_cast<std::uint8_t*>(first), firstBytes, static_cast<std::uint8_t*>(second),
                          secondBytes};
  return true;
}

void UnlockRegions(SoundBufferSlot* slot, std::uint32_t offset, std::uint32_t bytes, std::uint8_t* base1,
                   std::uint8_t* base2) {
  const std::uint32_t bufferBytes = slot->lengthFrames * slot->format.blockAlign;
  const std::uint32_t first = std::min(bytes, bufferBytes - offset);
  UnlockSoundBufferEither(slot, base1, first, base2, bytes - first);
}

// Writes `bytes` at `offset`: converted data, or silence once the end is reached.
std::uint32_t WriteAt(SoundRecord* record, SoundBufferSlot* slot, std::uint32_t offset, std::uint32_t bytes) {
  const std::uint32_t bufferBytes = slot->lengthFrames * slot->format.blockAlign;
  Fill fill{record, {}, offset, 0, bufferBytes};
  if (!LockRegions(slot, offset, bytes, &fill.regions)) return 0;
  std::uint8_t* base1 = fill.regions.data1;
  std::uint8_t* base2 = fill.regions.data2;
  if (record->stream.endReached != 0) {
    SilenceTail(&fill, bytes);
  } else {
    WriteConvertedPcmToRegions(&fill);
  }
  UnlockRegions(slot, offset, bytes, base1, base2);
  return fill.written;
}

// How much to write while playing: back up to a lead of 3/8 second, or
// another 1/8 second.
std::uint32_t RefillAmount(const SoundRecord* record, std::int32_t cursor, std::uint32_t bufferBytes) {
  const std::uint64_t perSecond = BytesPerSecond(record);
  const std::uint64_t lead = Forward(cursor, record->nextWriteOffset, bufferBytes) * 512 / perSecond;
  const std::uint64_t amount = lead < 192 ? (192 - lead) * perSecond / 512 : perSecond / 8;
  return FloorToFrame(amount, record->format.blockAlign);
}

}  // namespace

SoundRecord* GetStreamBufferRecord(SoundRecord* record) {
  if (record == nullptr) return nullptr;
  return record->shareOwner == -1 ? record : GetSoundRecord(record->shareOwner);
}

int AcquireStreamSoundBuffer(SoundHandle handle, int force) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  SoundRecord* owner = GetStreamBufferRecord(record);
  if (owner == nullptr) return -1;
  const SoundHandle user = owner->currentUser;
  if (user != -1 && user != handle && GetSoundRecord(user) != nullptr) {
    if (force == 0) return -1;
    StopStreamSoundHandle(user);
    // The displaced sound starts again from its top when it next plays; its
    // queued data is gone with the buffer.
    SoundRecord* displaced = GetSoundRecord(user);
    ResetProgress(&displaced->stream);
    displaced->stream.endReached = 0;
  }
  owner->currentUser = handle;
  return 0;
}

int SyncStreamSoundPosition(SoundHandle handle, std::int32_t cursor) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  SoundBufferSlot* slot = BufferSlot(record);
  if (slot == nullptr || record->kind != kStreamSound) return -1;
  if (cursor < 0) cursor = ReadCursor(slot);
  if (cursor < 0) return -1;
  StreamProgress& progress = record->stream;
  const std::int64_t size = record->streamBufferBytes != 0 ? record->streamBufferBytes : BytesPerSecond(record);
  const std::int64_t moved = Forward(progress.lastPlayCursor, cursor, size);
  if (moved == 0) return 0;
  if (progress.loopWrapPending != 0) {
    const std::int64_t toMark = Forward(progress.lastPlayCursor, progress.wrapMark, size);
    if (toMark <= moved) {
      progress.bytesPlayed = progress.loopStartBytes + (moved - toMark);
      progress.loopWrapPending = 0;
      progress.lastPlayCursor = cursor;
      return 0;
    }
  }
  progress.bytesPlayed += moved;
  progress.lastPlayCursor = cursor;
  return 0;
}

int StartStreamSound(SoundHandle handle) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  SoundBufferSlot* slot = BufferSlot(record);
  if (slot == nullptr || record->kind != kStreamSound || record->stream.sourceCount < 1) return -1;
  if (IsBufferPlaying(slot) || record->stream.playing != 0) return 0;
  // A buffer another sound is using is primed when this one claims it.
  if (AcquireStreamSoundBuffer(handle, 0) != 0) return 0;
  SetSoundBufferPositionEither(slot, 0);
  record->nextWriteOffset = kFirstFillPending;
  record->guardOffset = -1;
  record->stream.lastPlayCursor = 0;
  record->stream.endReached = 0;
  SeekSource(record, record->stream.nextSample);
  record->stream.playing = 1;
  return ProcessStreamSoundHandle(handle);
}

int ProcessStreamSoundHandle(SoundHandle handle) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr || record->kind != kStreamSound || record->stream.playing == 0) return -1;
  if (AcquireStreamSoundBuffer(handle, 0) != 0) return 0;
  SoundBufferSlot* slot = BufferSlot(record);
  const std::uint32_t align = record->format.blockAlign;
  if (slot == nullptr || align == 0) return -1;
  const std::uint32_t bufferBytes = slot->lengthFrames * slot->format.blockAlign;
  SyncStreamSoundPosition(handle, -1);
  StreamProgress& progress = record->stream;

  if (!IsBufferPlaying(slot)) {
    // A stopped buffer waits; only the first fill of a primed stream is made.
    if (record->nextWriteOffset != kFirstFillPending || progress.endReached != 0) return 0;
    const std::uint32_t written = WriteAt(record, slot, 0, FloorToFrame(BytesPerSecond(record) * 3 / 4, align));
    AfterWrite(record, written, bufferBytes);
    return 0;
  }
  if (record->nextWriteOffset == kFirstFillPending) return 0;
  const std::int32_t cursor = ReadCursor(slot);
  if (cursor < 0) return -1;

  if (progress.endReached != 0 && progress.bytesPlayed >= progress.endBytesPlayed) {
    StopSoundBufferEither(slot);
    progress.endReached = 0;
    ResetProgress(&progress);
    return 0;
  }
  if (!MayWrite(record, cursor, bufferBytes)) return 0;
  const std::uint32_t amount = progress.endReached != 0 ? FloorToFrame(BytesPerSecond(record) / 8, align)
                                                        : RefillAmount(record, cursor, bufferBytes);
  if (amount == 0) return 0;
  const std::uint32_t written = WriteAt(record, slot, static_cast<std::uint32_t>(record->nextWriteOffset), amount);
  AfterWrite(record, static_cast<std::int64_t>(record->nextWriteOffset) + written, bufferBytes);
  return 0;
}

int StopStreamSoundHandle(SoundHandle handle) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  SoundBufferSlot* slot = BufferSlot(record);
  if (slot == nullptr || record->kind != kStreamSound) return -1;
  SyncStreamSoundPosition(handle, -1);
  if (AcquireStreamSoundBuffer(handle, 0) != 0) return 0;
  if (record->shareOwner != -1) GetStreamBufferRecord(record)->currentUser = -1;
  if (IsBufferPlaying(slot)) return StopSoundBufferEither(slot);
  return 0;
}

int PlayStreamSoundHandle(SoundHandle handle, int playType, int fromTop) {
  {
    SoundLockScope lock;
    SoundRecord* record = GetSoundRecord(handle);
    SoundBufferSlot* slot = BufferSlot(record);
    if (slot == nullptr || record->kind != kStreamSound) return -1;
    AcquireStreamSoundBuffer(handle, 1);
    if (fromTop == 0 && IsBufferPlaying(slot)) return -1;
    StopStreamSoundHandle(handle);
    AcquireStreamSoundBuffer(handle, 1);
    StreamProgress& progress = record->stream;
    if (((record->streamPlayType ^ playType) & 2) != 0 && progress.lastSourceDone != 0) ResetProgress(&progress);
    if (fromTop != 0) {
      progress.lastSourceDone = 0;
      if (progress.bytesPlayed != 0) ResetProgress(&progress);
    }
    record->streamPlayType = playType;
    if (StartStreamSound(handle) != 0) return -1;
    ApplyPlaySettings(record, slot);
    if (PlaySoundBufferEither(slot, 1) != 0) return -1;
  }
  if (playType == 0) WaitWhileSoundPlays(handle);
  return 0;
}

int IsStreamSoundPlaying(SoundHandle handle) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  SoundBufferSlot* slot = BufferSlot(record);
  if (slot == nullptr) return -1;
  if (AcquireStreamSoundBuffer(handle, 0) != 0) return 0;
  return IsBufferPlaying(slot) ? 1 : 0;
}

int GetStreamSoundCurrentTime(SoundHandle handle) {
  SoundLockScope lock;
  SoundRecord* record = GetSoundRecord(handle);
  if (record == nullptr || record->format.blockAlign == 0) return -1;
  SyncStreamSoundPosition(handle, -1);
  const std::int64_t played = record->stream.bytesPlayed / record->format.blockAlign;
  const std::int64_t samples = std::min(played, record->stream.totalSamples);
  return static_cast<int>(SamplesToMilliseconds(samples, static_cast<std::int32_t>(record->format.samplesPerSec)));
}

int ServiceStreamSounds() {
  SoundLockScope lock;
  SoundSystemState& sound = GetSoundSystem();
  if (sound.device == nullptr || sound.streamHead.next == nullptr) return 0;
  // A pass may end a stream but never unlinks one, so the walk stays valid.
  for (HandleListNode* node = sound.streamHead.next; node != &sound.streamTail; node = node->next) {
    const auto* record = static_cast<const SoundRecord*>(node->record);
    if (record->stream.playing != 0) ProcessStreamSoundHandle(node->id);
  }
  return 0;
}

void ReleaseStreamSources(SoundRecord* record) {
  for (int i = 0; i < kStreamSourceLimit; ++i) {
    StreamSource& source = record->sources[i];
    if (source.converter != nullptr) {
      ReleaseSoundConverter(source.converter);
      QZ_FREE(source.converter);
    }
    // The memory stream over the source's own data is closed here; a file
    // stream only when the source owns the file.
    const bool ownStream = source.dataBlock != nullptr || record->sourceOwnsFile[i] != 0;
    if (source.stream != nullptr && ownStream && source.functions.Close != nullptr) source.functions.Close(source.stream);
    QZ_FREE(source.dataBlock);
    source = StreamSource{};
    source.loopEndFrame = -1;
    record->sourceOwnsFile[i] = 0;
  }
  record->stream.sourceCount = 0;
}

}  // namespace qz
