// Library handles: ((check | kind << 11) << 16) | slot, with bit 31 clear, the
// kind in bits 27-30, an 11-bit check number in bits 16-26 and the slot in
// bits 0-15. Each kind owns a HandleTable of record pointers; slots are given
// out in order up to the table size and only then searched from slot 0.
#pragma once

#include <cstdint>

namespace qz {

using LibraryHandle = std::int32_t;
inline constexpr LibraryHandle kNoHandle = -1;

enum HandleKind : std::int32_t {
  kGraphHandle = 0x08000000,
  kSoundHandle = 0x10000000,
  kMovieHandle = 0x18000000,
  kFontHandle = 0x20000000,
  kMaskHandle = 0x28000000,
  kNetworkHandle = 0x30000000,
  kKeyInputHandle = 0x38000000,
  kMusicHandle = 0x40000000,
  kLightHandle = 0x48000000,
  kMeshObjectHandle = 0x50000000,
  kSoftImageHandle = 0x58000000,
  kPixelShaderHandle = 0x60000000,
  kSoftSoundHandle = 0x68000000,
  kVertexBufferHandle = 0x70000000,
  kIndexBufferHandle = 0x78000000,
};

inline constexpr std::int32_t kHandleKindMask = 0x78000000;
inline constexpr std::int32_t kHandleCheckMask = 0x07FF0000;
inline constexpr std::int32_t kHandleSlotMask = 0x0000FFFF;
inline constexpr std::int32_t kHandleCheckLimit = 2048;

constexpr LibraryHandle MakeHandle(std::int32_t kind, std::int32_t check, std::int32_t slot) {
  return kind | (check << 16) | slot;
}

// What a full table does: log `fullMessage` and return -1, or end the
// program through the fatal exit when `fatalWhenFull`. One type for every
// table, so a kind's policy can be declared before its table.
struct HandleTablePolicy {
  const char* fullMessage;
  bool fatalWhenFull;
  const char* recordAllocFailedMessage = nullptr;  // null: the message shared by every kind
};

// A table of records of one kind. Record must start with `std::int32_t check`.
// Records are allocated zeroed from tracked memory. Constant-initialised, so
// tables can be static globals of any size at no start-up cost.
template <typename Record, int N, std::int32_t Kind>
class HandleTable {
 public:
  using Policy = HandleTablePolicy;

  // Returns the new handle, or -1. `wanted` (not -1) re-creates a handle in
  // its own slot with its own check number when that slot is free.
  LibraryHandle Create(const Policy& policy, LibraryHandle wanted = kNoHandle);
  // The record of a valid handle, else null.
  Record* Get(LibraryHandle handle) const;
  bool IsValid(LibraryHandle handle) const { return Get(handle) != nullptr; }
  // Frees the record (the caller has freed what it owns). -1 for an invalid handle.
  int Delete(LibraryHandle handle);
  // Moves the mark down past the empty slots just below it, for kinds whose
  // release gives the top of the table back.
  void LowerHighWaterMark();

  // Null for an empty slot or one outside the table; -1 likewise.
  Record* RecordAt(int slot) const { return slot >= 0 && slot < N ? records_[slot] : nullptr; }
  LibraryHandle HandleAt(int slot) const;
  int LiveCount() const { return liveCount_; }
  int HighWaterMark() const { return highWater_; }
  static constexpr int Capacity() { return N; }

 private:
  Record* records_[N] = {};
  int liveCount_ = 0;
  int highWater_ = 0;
  std::int32_t checkCounter_ = 0;
};

// Intrusive doubly linked lists beside some handle tables.
struct HandleListNode {
  std::int32_t id;  // the owner's handle; -1 in the two sentinels
  void* record;
  HandleListNode* previous;
  HandleListNode* next;
};

int InitHandleList(HandleListNode* head, HandleListNode* tail);
// Links the node right after the head: the newest comes first.
int AddHandleListNode(HandleListNode* head, HandleListNode* node, std::int32_t id, void* record);
// Unlinks the node; its own links are left as they were.
int RemoveHandleListNode(HandleListNode* node);

}  // namespace qz

#include "core/handle_table.inl"
