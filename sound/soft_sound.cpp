// Software-sound handles and the refill of their players: the ring's PCM is
// written ahead of the play cursor, and silence where the ring runs dry, with
// a mark where the data ended so the producer can tell when it was heard.
#include "sound/soft_sound.h"

#include <algorithm>
#include <cstring>

#include "core/memory.h"

namespace qz {
namespace {

SoftSoundRecord* gSoftRecords[kSoftSoundTableSize] = {};
int gSoftLive = 0;
int gSoftUsedEnd = 0;
std::int32_t gSoftCheck = 0;

SoftSoundRecord* Find(int handle) {
  if (handle < 0 || (handle & kHandleKindMask) != kSoftSoundHandle || (handle & kHandleSlotMask) >= kSoftSoundTableSize) {
    return nullptr;
  }
  SoftSoundRecord* record = gSoftRecords[handle & kHandleSlotMask];
  if (record == nullptr || (record->check << 16) != (handle & kHandleCheckMask)) return nullptr;
  return record;
}

int HandleAt(int slot) { return MakeHandle(kSoftSoundHandle, gSoftRecords[slot]->check, slot); }

std::uint32_t Forward(std::uint32_t from, std::uint32_t to, std::uint32_t size) { return (to + size - from) % size; }

// Writes ring data, then silence, into one region; returns the bytes of
// ring data it used.
std::uint32_t FillRegion(SoftSoundRecord* player, std::uint8_t* region, std::uint32_t bytes) {
  const std::uint32_t align = player->format.blockAlign;
  const std::uint32_t available = static_cast<std::uint32_t>(player->storedFrames) * align;
  const std::uint32_t fromRing = std::min(bytes, available);
  if (fromRing > 0 && RingBufferRead(&player->ring, region, fromRing, 0) == 0) {
    player->storedFrames -= static_cast<std::int32_t>(fromRing / align);
  }
  std::memset(region + fromRing, player->format.bitsPerSample == 8 ? 127 : 0, bytes - fromRing);
  return fromRing;
}

}  // namespace

int RefillSoftSoundPlayer(int handle) {
  SoundLockScope lock;
  SoftSoundRecord* player = Find(handle);
  if (player == nullptr || player->kind != kSoftSoundPlayer || player->active == 0) return -1;
  std::uint32_t cursor = 0;
  if (GetSoundBufferPositionEither(&player->buffer, &cursor) != 0) return -1;
  const std::uint32_t align = player->format.blockAlign;
  const std::uint32_t size = player->buffer.lengthFrames * align;
  if (player->emptyMark != -1 && player->markPassed == 0) {
    const std::uint32_t mark = static_cast<std::uint32_t>(player->emptyMark);
    if (Forward(player->lastCursor, mark, size) <= Forward(player->lastCursor, cursor, size) &&
        cursor != player->lastCursor) {
      player->markPassed = 1;
    } else {
      player->lastCursor = cursor;
    }
  }
  // Nothing to do while the cursor is inside the lead before the write offset.
  const std::uint32_t leadStart = (player->writeOffset + size - player->leadBytes % size) % size;
  if (Forward(leadStart, cursor, size) <= player->leadBytes) return 0;
  const std::uint32_t wanted = std::min(player->leadBytes + Forward(player->writeOffset, cursor, size), size - align);
  const std::uint32_t bytes = wanted / align * align;
  if (bytes == 0) return 0;
  void* first = nullptr;
  void* second = nullptr;
  std::uint32_t firstBytes = 0;
  std::uint32_t secondBytes = 0;
  if (LockSoundBufferEither(&player->buffer, player->writeOffset, bytes, &first, &firstBytes, &second,
                            &secondBytes) != 0) {
    return -1;
  }
  const std::uint32_t hadData = static_cast<std::uint32_t>(player->storedFrames) * align;
  std::uint32_t used = FillRegion(player, static_cast<std::uint8_t*>(first), firstBytes);
  if (secondBytes > 0) used += FillRegion(player, static_cast<std::uint8_t*>(second), secondBytes);
  UnlockSoundBufferEither(&player->buffer, first, firstBytes, second, secondBytes);
  if (hadData > 0 && player->markPassed != 0) {
    player->emptyMark = -1;
    player->markPassed = 0;
  }
  if (used < bytes && player->emptyMark == -1) {
    player->emptyMark = static_cast<std::int32_t>((player->writeOffset + used) % size);
    player->lastCursor = cursor;
  }
  player->writeOffset = (player->writeOffset + bytes) % size;
  return 0;
}

int RefillSoftSoundPlayers() {
  SoundLockScope lock;
  SoundSystemState& sound = GetSoundSystem();
  if (sound.playerHead.next == nullptr) return 0;
  for (HandleListNode* node = sound.playerHead.next; node != &sound.playerTail; node = node->next) {
    RefillSoftSoundPlayer(node->id);
  }
  return 0;
}

int DeleteSoftSoundHandle(int handle) {
  SoundLockScope lock;
  SoftSoundRecord* record = Find(handle);
  if (record == nullptr) return -1;
  if (record->kind == kSoftSoundPlayer) {
    FreeRingBuffer(&record->ring);
    if (record->buffer.inUse != 0) {
      StopSoundBufferEither(&record->buffer);
      ReleaseSoundBufferEither(&record->buffer);
    }
    if (record->node.next != nullptr) RemoveHandleListNode(&record->node);
  } else {
    QZ_FREE(record->data);
  }
  QZ_FREE(record);
  gSoftRecords[handle & kHandleSlotMask] = nullptr;
  --gSoftLive;
  while (gSoftUsedEnd > 0 && gSoftRecords[gSoftUsedEnd - 1] == nullptr) --gSoftUsedEnd;
  return 0;
}

int DeleteAllSoftSoundData() {
  SoundLockScope lock;
  for (int slot = 0; slot < kSoftSoundTableSize; ++slot) {
    if (gSoftRecords[slot] != nullptr && gSoftRecords[slot]->kind == kSoftSoundData) DeleteSoftSoundHandle(HandleAt(slot));
  }
  return 0;
}

int DeleteAllSoftSoundPlayers() {
  SoundLockScope lock;
  for (int slot = 0; slot < kSoftSoundTableSize; ++slot) {
    if (gSoftRecords[slot] != nullptr && gSoftRecords[slot]->kind == kSoftSoundPlayer) {
      DeleteSoftSoundHandle(HandleAt(slot));
    }
  }
  return 0;
}

int CreateSoftSoundPlayerForTest(const plat::WaveFormatEx& format, std::uint32_t bufferBytes,
                                 std::uint32_t leadBytes) {
  SoundLockScope lock;
  SoundSystemState& sound = GetSoundSystem();
  if (sound.device == nullptr || gSoftLive >= kSoftSoundTableSize || gSoftUsedEnd >= kSoftSoundTableSize) return -1;
  auto* record = static_cast<SoftSoundRecord*>(QZ_ALLOC_ZEROED(sizeof(SoftSoundRecord)));
  if (record == nullptr) return -1;
  const plat::DSBufferDesc desc{kStreamBufferFlags, bufferBytes, &format};
  if (CreateSoundBufferEither(&record->buffer, &desc) != 0) {
    QZ_FREE(record);
    return -1;
  }
  const int slot = gSoftUsedEnd++;
  record->check = gSoftCheck;
  gSoftCheck = (gSoftCheck + 1) % kHandleCheckLimit;
  record->kind = kSoftSoundPlayer;
  record->format = format;
  record->leadBytes = leadBytes;
  record->emptyMark = -1;
  record->active = 1;
  gSoftRecords[slot] = record;
  ++gSoftLive;
  const int handle = HandleAt(slot);
  AddHandleListNode(&sound.playerHead, &record->node, handle, record);
  PlaySoundBufferEither(&record->buffer, 1);
  return handle;
}

int AppendSoftSoundPlayerForTest(int handle, const void* pcm, std::uint32_t bytes) {
  SoundLockScope lock;
  SoftSoundRecord* player = Find(handle);
  if (player == nullptr || player->kind != kSoftSoundPlayer || GrowRingBuffer(&player->ring, bytes) != 0) return -1;
  RingBuffer& ring = player->ring;
  const auto capacity = static_cast<std::uint32_t>(ring.capacity);
  const std::uint32_t first = std::min(bytes, capacity - ring.writeOffset);
  std::memcpy(ring.data + ring.writeOffset, pcm, first);
  std::memcpy(ring.data, static_cast<const std::uint8_t*>(pcm) + first, bytes - first);
  ring.writeOffset = (ring.writeOffset + bytes) % capacity;
  ring.stored += bytes;
  player->storedFrames += static_cast<std::int32_t>(bytes / player->format.blockAlign);
  return 0;
}

SoftSoundRecord* GetSoftSoundRecordForTest(int handle) { return Find(handle); }

}  // namespace qz
