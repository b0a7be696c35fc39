// Member definitions of HandleTable, kept apart so handle.h stays readable.
// Included at the end of core/handle.h only.
#pragma once

#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"

namespace qz {

template <typename Record, int N, std::int32_t Kind>
LibraryHandle HandleTable<Record, N, Kind>::Create(const Policy& policy, LibraryHandle wanted) {
  int slot = -1;
  std::int32_t check = 0;
  bool useWanted = false;
  if (wanted != kNoHandle && wanted >= 0 && (wanted & kHandleKindMask) == Kind &&
      (wanted & kHandleSlotMask) < N && records_[wanted & kHandleSlotMask] == nullptr) {
    slot = wanted & kHandleSlotMask;
    check = (wanted & kHandleCheckMask) >> 16;
    useWanted = true;
  }
  if (!useWanted) {
    if (liveCount_ >= N) {
      if (policy.fatalWhenFull) FatalErrorExit(policy.fullMessage);
      AppendLogText(policy.fullMessage);
      return kNoHandle;
    }
    if (highWater_ < N) {
      slot = highWater_;
    } else {
      for (slot = 0; slot < N && records_[slot] != nullptr; ++slot) {
      }
    }
  }
  Record* record = static_cast<Record*>(AllocTrackedZeroed(sizeof(Record), __FILE__, __LINE__));
  if (record == nullptr) {
    if (policy.fatalWhenFull) FatalErrorExit(policy.fullMessage);
    return kNoHandle;
  }
  if (!useWanted) {
    check = checkCounter_;
    checkCounter_ = (checkCounter_ + 1) % kHandleCheckLimit;
  }
  record->check = check;
  records_[slot] = record;
  ++liveCount_;
  if (slot >= highWater_) highWater_ = slot + 1;
  return MakeHandle(Kind, check, slot);
}

template <typename Record, int N, std::int32_t Kind>
Record* HandleTable<Record, N, Kind>::Get(LibraryHandle handle) const {
  if (handle < 0 || (handle & kHandleKindMask) != Kind) return nullptr;
  const int slot = handle & kHandleSlotMask;
  if (slot >= N) return nullptr;
  Record* record = records_[slot];
  if (record == nullptr || (record->check << 16) != (handle & kHandleCheckMask)) return nullptr;
  return record;
}

template <typename Record, int N, std::int32_t Kind>
int HandleTable<Record, N, Kind>::Delete(LibraryHandle handle) {
  Record* record = Get(handle);
  if (record == nullptr) return -1;
  FreeTracked(record);
  records_[handle & kHandleSlotMask] = nullptr;
  --liveCount_;
  return 0;
}

template <typename Record, int N, std::int32_t Kind>
LibraryHandle HandleTable<Record, N, Kind>::HandleAt(int slot) const {
  if (slot < 0 || slot >= N || records_[slot] == nullptr) return kNoHandle;
  return MakeHandle(Kind, records_[slot]->check, slot);
}

}  // namespace qz
