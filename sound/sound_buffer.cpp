// The buffer layer: one operation per buffer action, on a device buffer or,
// when software mixing is on, on the slot's own block in memory.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/memory.h"
#include "sound/sound_handle.h"

namespace qz {
namespace {

bool Software() { return GetSoundSystem().softwareMixing != 0; }

bool Usable(const SoundBufferSlot* slot) {
  return slot != nullptr && slot->inUse != 0 && (Software() ? slot->softwareData != nullptr : slot->buffer != nullptr);
}

int Result(plat::HRESULT result) { return result == plat::DS_OK ? 0 : -1; }

// Divided by a hair under 1 so exact powers of ten do not truncate one low.
constexpr double kTruncationGuard = 0.9999999999;

}  // namespace

int CreateSoundBufferEither(SoundBufferSlot* slot, const plat::DSBufferDesc* desc) {
  if (slot == nullptr || slot->inUse != 0 || desc == nullptr || desc->format == nullptr) return -1;
  if (!Software()) {
    SoundSystemState& sound = GetSoundSystem();
    if (sound.device == nullptr) return -1;
    plat::DirectSoundBuffer* buffer = nullptr;
    if (sound.device->CreateSoundBuffer(desc, &buffer, nullptr) != plat::DS_OK) return -1;
    *slot = SoundBufferSlot{};
    slot->buffer = buffer;
  } else {
    if (desc->format->blockAlign == 0 || desc->bufferBytes == 0) return -1;
    auto* data = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(desc->bufferBytes));
    if (data == nullptr) return -1;
    *slot = SoundBufferSlot{};
    slot->softwareData = data;
  }
  slot->inUse = 1;
  slot->softwareVolume = 255;
  slot->softwareFrequency = -1;
  slot->lengthFrames = desc->bufferBytes / desc->format->blockAlign;
  slot->format = *desc->format;
  return 0;
}

int DuplicateSoundBufferEither(SoundBufferSlot* slot, const SoundBufferSlot* from) {
  if (slot == nullptr || slot->inUse != 0 || !Usable(from)) return -1;
  if (!Software()) {
    plat::DirectSoundBuffer* buffer = nullptr;
    if (GetSoundSystem().device == nullptr ||
        GetSoundSystem().device->DuplicateSoundBuffer(from->buffer, &buffer) != plat::DS_OK) {
      return -1;
    }
    *slot = SoundBufferSlot{};
    slot->buffer = buffer;
  } else {
    // A software duplicate gets its own copy of the samples; an empty block
    // would play whatever the allocation held.
    const std::size_t bytes = static_cast<std::size_t>(from->lengthFrames) * from->format.blockAlign;
    auto* data = static_cast<std::uint8_t*>(QZ_ALLOC(bytes));
    if (data == nullptr) return -1;
    std::memcpy(data, from->softwareData, bytes);
    *slot = SoundBufferSlot{};
    slot->softwareData = data;
  }
  slot->inUse = 1;
  slot->softwareVolume = 255;
  slot->softwareFrequency = -1;
  slot->lengthFrames = from->lengthFrames;
  slot->format = from->format;
  return 0;
}

int ReleaseSoundBufferEither(SoundBufferSlot* slot) {
  if (slot == nullptr || slot->inUse == 0) return -1;
  if (slot->buffer != nullptr) slot->buffer->Release();
  QZ_FREE(slot->softwareData);
  *slot = SoundBufferSlot{};
  return 0;
}

int PlaySoundBufferEither(SoundBufferSlot* slot, int loop) {
  if (!Usable(slot)) return -1;
  if (!Software()) return Result(slot->buffer->Play(0, 0, loop != 0 ? plat::DSBPLAY_LOOPING : 0));
  slot->softwarePlaying = 1;
  slot->softwareLoop = loop;
  return 0;
}

int StopSoundBufferEither(SoundBufferSlot* slot) {
  if (!Usable(slot)) return -1;
  if (!Software()) return Result(slot->buffer->Stop());
  slot->softwarePlaying = 0;
  return 0;
}

int GetSoundBufferStatusEither(SoundBufferSlot* slot, std::uint32_t* status) {
  if (!Usable(slot) || status == nullptr) return -1;
  if (!Software()) return Result(slot->buffer->GetStatus(status));
  *status = slot->softwarePlaying != 0 ? plat::DSBSTATUS_PLAYING : 0;
  return 0;
}

int LockSoundBufferEither(SoundBufferSlot* slot, std::uint32_t offset, std::uint32_t bytes, void** region1,
                          std::uint32_t* bytes1, void** region2, std::uint32_t* bytes2) {
  if (!Usable(slot) || region1 == nullptr || bytes1 == nullptr || region2 == nullptr || bytes2 == nullptr) return -1;
  if (!Software()) return Result(slot->buffer->Lock(offset, bytes, region1, bytes1, region2, bytes2, 0));
  const std::uint32_t align = slot->format.blockAlign;
  if (align == 0) return -1;
  const std::uint32_t start = offset / align;
  const std::uint32_t count = bytes / align;
  if (start >= slot->lengthFrames || count > slot->lengthFrames) return -1;
  const std::uint32_t first = std::min(count, slot->lengthFrames - start);
  *region1 = slot->softwareData + static_cast<std::size_t>(start) * align;
  *bytes1 = first * align;
  *region2 = first < count ? slot->softwareData : nullptr;
  *bytes2 = (count - first) * align;
  return 0;
}

int UnlockSoundBufferEither(SoundBufferSlot* slot, void* region1, std::uint32_t bytes1, void* region2,
                            std::uint32_t bytes2) {
  if (!Usable(slot)) return -1;
  if (!Software()) return Result(slot->buffer->Unlock(region1, bytes1, region2, bytes2));
  return 0;
}

int SetSoundBufferFrequencyEither(SoundBufferSlot* slot, std::int32_t frequency) {
  if (!Usable(slot)) return -1;
  if (!Software()) return Result(slot->buffer->SetFrequency(static_cast<std::uint32_t>(frequency)));
  slot->softwareFrequency = frequency == 0 ? -1 : frequency;
  return 0;
}

int SetSoundBufferPanEither(SoundBufferSlot* slot, std::int32_t pan) {
  if (!Usable(slot)) return -1;
  if (!Software()) return Result(slot->buffer->SetPan(pan));
  if (pan <= plat::DSBPAN_LEFT) {
    slot->softwarePan = -256;
  } else if (pan >= plat::DSBPAN_RIGHT) {
    slot->softwarePan = 256;
  } else if (pan == 0) {
    slot->softwarePan = 0;
  } else {
    // How far the far side is turned down: 0 at centre, rising to 256.
    const int magnitude = 256 - static_cast<int>(256.0 * std::pow(10.0, -std::abs(pan) / 1000.0) / kTruncationGuard);
    slot->softwarePan = pan < 0 ? -magnitude : magnitude;
  }
  return 0;
}

int SetSoundBufferVolumeEither(SoundBufferSlot* slot, std::int32_t volume) {
  if (!Usable(slot)) return -1;
  if (!Software()) return Result(slot->buffer->SetVolume(volume));
  if (volume <= plat::DSBVOLUME_MIN) {
    slot->softwareVolume = 0;
  } else if (volume >= 0) {
    slot->softwareVolume = 256;
  } else {
    slot->softwareVolume = static_cast<int>(256.0 * std::pow(10.0, volume / 1000.0) / kTruncationGuard);
  }
  return 0;
}

int SetSoundBufferPositionEither(SoundBufferSlot* slot, std::uint32_t bytes) {
  if (!Usable(slot)) return -1;
  if (!Software()) return Result(slot->buffer->SetCurrentPosition(bytes));
  if (slot->format.blockAlign == 0) return -1;
  slot->softwarePosition = bytes / slot->format.blockAlign;
  return 0;
}

int GetSoundBufferPositionEither(SoundBufferSlot* slot, std::uint32_t* playCursor) {
  if (!Usable(slot) || playCursor == nullptr) return -1;
  if (!Software()) return Result(slot->buffer->GetCurrentPosition(playCursor, nullptr));
  *playCursor = slot->softwarePosition * slot->format.blockAlign;
  return 0;
}

std::uint32_t FillSoundSilence(const SoundRecord* record, SoundRegions* regions, std::uint32_t bytes) {
  // 8-bit silence is 127 here, as the library has always written it.
  const int value = record->format.bitsPerSample == 8 ? 127 : 0;
  const std::uint32_t first = std::min(bytes, regions->bytes1);
  if (first > 0) {
    std::memset(regions->data1, value, first);
    regions->data1 += first;
    regions->bytes1 -= first;
  }
  const std::uint32_t second = std::min(bytes - first, regions->bytes2);
  if (second > 0) {
    std::memset(regions->data2, value, second);
    regions->data2 += second;
    regions->bytes2 -= second;
  }
  return first + second;
}

}  // namespace qz
