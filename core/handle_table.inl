// Member definitions of HandleTable, kept apart so handle.h stays readable.
// Included at the end of core/handle.h only.
#pragma once

#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"

namespace qz {

template <typename Record, int N, std::int32_t Kind>
LibraryHandle HandleTable<Record, N, Kind>::Create(const Policy& policy, LibraryHandle wanted) {
  static_assert(N > 0 && N <= kHandleSlotMask + 1, "the slot must fit in 16 bits");
  static_assert(Kind > 0 && (Kind & ~kHandleKindMask) == 0, "a kind is a code in bits 27-30");

  int slot = -1;
  bool useWanted = false;
  if (wanted != kNoHandle) {
    // A value of another kind or beyond the table would name a slot that
    // does not exist; take it as a caller's mistake rather than guess.
    if (wanted < 0 || (wanted & kHandleKindMask) != Kind || (wanted & kHandleSlotMask) >= N) {
      return AppendLogFormat(text::kHandleWantedInvalid, static_cast<unsigned>(wanted));
    }
    if (records_[wanted & kHandleSlotMask] == nullptr) {
      slot = wanted & kHandleSlotMask;
      useWanted = true;
    }
  }

  if (!useWanted) {
    if (liveCount_ >= N) {
      if (policy.fatalWhenFull) FatalErrorExit(policy.fullMessage);
      return AppendLogText(policy.fullMessage);
    }
    if (highWater_ < N) {
      slot = highWater_;
    } else {
      slot = 0;
      while (records_[slot] != nullptr) ++slot;
    }
  }

  Record* record = static_cast<Record*>(AllocTrackedZeroed(sizeof(Record), __FILE__, __LINE__));
  if (record == nullptr) {
    const char* message = policy.recordAllocFailedMessage != nullptr ? policy.recordAllocFailedMessage
                                                                     : text::kHandleRecordAllocFailed;
    if (policy.fatalWhenFull) FatalErrorExit(message);
    return AppendLogText(message);
  }

  std::int32_t check;
  if (useWanted) {
    check = (wanted & kHandleCheckMask) >> 16;
  } else {
    check = checkCounter_;
    checkCounter_ = checkCounter_ + 1 >= kHandleCheckLimit ? 0 : checkCounter_ + 1;
  }
  record->check = check;
  records_[slot] = record;
  ++liveCount_;
  // A wanted slot may lie above the mark; raising the mark past it keeps every
  // slot at or above the mark empty, so in-order allocation never lands on it.
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
  records_[handle & kHandleSlotMask] = nullptr;
  --liveCount_;
  FreeTracked(record);
  return 0;
}

template <typename Record, int N, std::int32_t Kind>
void HandleTable<Record, N, Kind>::LowerHighWaterMark() {
  while (highWater_ > 0 && records_[highWater_ - 1] == nullptr) --highWater_;
}

template <typename Record, int N, std::int32_t Kind>
LibraryHandle HandleTable<Record, N, Kind>::HandleAt(int slot) const {
  if (slot < 0 || slot >= N || records_[slot] == nullptr) return kNoHandle;
  return MakeHandle(Kind, records_[slot]->check, slot);
}

}  // namespace qz
