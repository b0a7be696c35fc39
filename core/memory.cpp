// The tracked allocator: one newest-first list of live blocks ending in a
// static sentinel, totals, options, header checks and the dump. A side index
// of live headers lets free and realloc refuse pointers that are not live
// (a double free) without reading memory that is no longer ours.
#include "core/memory.h"

#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory_header.h"
#include "core/string_util.h"
#include "platform/sync.h"

namespace qz {

namespace {

constexpr std::size_t kHeaderSize = sizeof(TrackedBlockHeader);
constexpr std::size_t kMaxBlockSize = 0xFFFFFFFFu;

std::uintptr_t AddressOf(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

// Open-addressing set of live header addresses (linear probing). Its storage
// comes straight from malloc so it never recurses into the allocator.
class LiveBlockIndex {
 public:
  bool Contains(std::uintptr_t key) const {
    if (capacity_ == 0) return false;
    for (std::size_t i = Slot(key);; i = (i + 1) & (capacity_ - 1)) {
      if (slots_[i] == key) return true;
      if (slots_[i] == kEmpty) return false;
    }
  }

  // Makes room for one more entry; false when memory runs out.
  bool Reserve() {
    if ((used_ + 1) * 2 <= capacity_) return true;
    std::size_t capacity = 64;
    while (capacity < (live_ + 1) * 4) capacity *= 2;
    return Rehash(capacity);
  }

  // Call Reserve first.
  void Insert(std::uintptr_t key) {
    std::size_t i = Slot(key);
    while (slots_[i] != kEmpty && slots_[i] != kRemoved) i = (i + 1) & (capacity_ - 1);
    if (slots_[i] == kEmpty) ++used_;
    slots_[i] = key;
    ++live_;
  }

  void Remove(std::uintptr_t key) {
    if (capacity_ == 0) return;
    for (std::size_t i = Slot(key); slots_[i] != kEmpty; i = (i + 1) & (capacity_ - 1)) {
      if (slots_[i] == key) {
        slots_[i] = kRemoved;
        --live_;
        return;
      }
    }
  }

 private:
  static constexpr std::uintptr_t kEmpty = 0;
  static constexpr std::uintptr_t kRemoved = 1;

  std::size_t Slot(std::uintptr_t key) const {
    return static_cast<std::size_t>(((key >> 4) * 0x9E3779B97F4A7C15ull) >> 20) & (capacity_ - 1);
  }

  bool Rehash(std::size_t capacity) {
    auto* slots = static_cast<std::uintptr_t*>(std::calloc(capacity, sizeof(std::uintptr_t)));
    if (slots == nullptr) return false;
    std::uintptr_t* old = slots_;
    const std::size_t oldCapacity = capacity_;
    slots_ = slots;
    capacity_ = capacity;
    used_ = 0;
    live_ = 0;
    for (std::size_t i = 0; i < oldCapacity; ++i) {
      if (old[i] != kEmpty && old[i] != kRemoved) Insert(old[i]);
    }
    std::free(old);
    return true;
  }

  std::uintptr_t* slots_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;  // live entries plus removed markers
  std::size_t live_ = 0;
};

struct AllocatorState {
  TrackedBlockHeader* head = nullptr;  // newest block; null before the first allocation
  TrackedBlockHeader sentinel{};       // the oldest element; walks stop here
  std::int64_t totalBytes = 0;
  int blockCount = 0;
  std::uint16_t nextId = 0;
  TrackedMemoryOptions options{0, 0, 0, 0};
  LiveBlockIndex live;
};

AllocatorState state;

// Ready on first use from any thread, and never destroyed, so blocks freed
// during static destruction still find it.
plat::CriticalSection& Lock() {
  static plat::CriticalSection* const lock = new plat::CriticalSection();
  return *lock;
}


void RefreshCopy(TrackedBlockHeader* header) { std::memcpy(header->copy, header, kTrackedHeaderCheckedBytes); }

// A neighbour's link is written into its header and its copy alone, so a
// damage elsewhere in that header is not copied over and stays detectable.
void SetOlderLink(TrackedBlockHeader* header, TrackedBlockHeader* older) {
  if (header == nullptr) return;
  header->older = older;
  std::memcpy(header->copy + offsetof(TrackedBlockHeader, older), &older, sizeof(older));
}

void SetNewerLink(TrackedBlockHeader* header, TrackedBlockHeader* newer) {
  if (header == nullptr) return;
  header->newer = newer;
  std::memcpy(header->copy + offsetof(TrackedBlockHeader, newer), &newer, sizeof(newer));
}

bool HeaderIntact(const TrackedBlockHeader* header) {
  return std::memcmp(header->copy, header, kTrackedHeaderCheckedBytes) == 0;
}

void SetTag(TrackedBlockHeader* header, const char* sourceName) {
  std::memset(header->tag, 0, sizeof(header->tag));
  if (sourceName == nullptr) return;
  const std::size_t length = std::strlen(sourceName);
  const std::size_t keep = kTrackedTagSize - 1;
  const char* from = length > keep ? sourceName + (length - keep) : sourceName;
  std::memcpy(header->tag, from, length > keep ? keep : length);
}

bool ShouldLogBlock(std::uint32_t size) {
  const TrackedMemoryOptions& o = state.options;
  return o.logEveryBlock == 1 || o.watchedSize < 0 || static_cast<std::int64_t>(size) == o.watchedSize;
}

void LogOperation(const char* prefix, const TrackedBlockHeader* header) {
  if (ShouldLogBlock(header->size)) {
    AppendLogText(prefix);
    LogTrackedBlock(header);
  }
  if (state.options.logTotals) LogTrackedTotal();
}

void LogCorruptHeader(const TrackedBlockHeader* header) {
  AppendLogText(text::kTrackedHeaderCorrupt);
  LogTrackedBlock(header);
}

// A block passed back by a caller: it must be live and its header whole.
TrackedBlockHeader* AcceptCallerBlock(void* block) {
  TrackedBlockHeader* header = TrackedHeaderOf(block);
  if (!state.live.Contains(AddressOf(header))) {
    AppendLogFormat(text::kTrackedUnknownBlock, static_cast<unsigned long long>(AddressOf(block)));
    return nullptr;
  }
  if (!HeaderIntact(header)) {
    LogCorruptHeader(header);
    return nullptr;
  }
  return header;
}

bool SizeAccepted(std::size_t size) {
  if (size <= kMaxBlockSize) return true;
  AppendLogFormat(text::kTrackedSizeTooLarge, size);
  return false;
}

void* AllocLocked(std::size_t size, const char* sourceName, int line) {
  if (!SizeAccepted(size)) return nullptr;
  TrackedBlockHeader* header = nullptr;
  if (state.live.Reserve()) header = static_cast<TrackedBlockHeader*>(std::malloc(size + kHeaderSize));
  if (header == nullptr) {
    DumpTrackedAllocs();
    CheckTrackedAllocs();
    return nullptr;
  }
  std::memset(header, 0, kHeaderSize);
  header->size = static_cast<std::uint32_t>(size);
  SetTag(header, sourceName);
  header->line = static_cast<std::uint16_t>(line);
  header->id = state.nextId++;

  if (state.head == nullptr) state.head = &state.sentinel;
  TrackedBlockHeader* oldHead = state.head;
  header->older = oldHead;
  header->newer = nullptr;
  RefreshCopy(header);
  SetNewerLink(oldHead, header);
  state.head = header;
  state.live.Insert(AddressOf(header));

  state.totalBytes += static_cast<std::int64_t>(size);
  state.blockCount += 1;
  LogOperation("mem alloc  ", header);
  if (state.options.checkEveryOp) CheckTrackedAllocs();
  return TrackedUserBytesOf(header);
}

}  // namespace

void* AllocTracked(std::size_t size, const char* sourceName, int line) {
  plat::CriticalSectionScope scope(Lock());
  return AllocLocked(size, sourceName, line);
}

void* AllocTrackedZeroed(std::size_t size, const char* sourceName, int line) {
  plat::CriticalSectionScope scope(Lock());
  void* block = AllocLocked(size, sourceName, line);
  if (block != nullptr && size != 0) std::memset(block, 0, size);
  return block;
}

void* ReallocTracked(void* block, std::size_t size, const char* sourceName, int line) {
  plat::CriticalSectionScope scope(Lock());
  if (block == nullptr) {
    void* fresh = AllocLocked(size, sourceName, line);
    if (fresh != nullptr && size != 0) std::memset(fresh, 0, size);
    return fresh;
  }
  TrackedBlockHeader* header = AcceptCallerBlock(block);
  if (header == nullptr || !SizeAccepted(size)) return nullptr;

  const std::uint32_t oldSize = header->size;
  // Only the old address is used once realloc has run.
  const std::uintptr_t oldAddress = AddressOf(header);
  auto* moved = static_cast<TrackedBlockHeader*>(std::realloc(header, size + kHeaderSize));
  if (moved == nullptr) {
    DumpTrackedAllocs();
    return nullptr;
  }
  if (AddressOf(moved) != oldAddress) {
    // Same number of entries, so the insert needs no room.
    state.live.Remove(oldAddress);
    state.live.Insert(AddressOf(moved));
  }
  if (size > oldSize) std::memset(reinterpret_cast<unsigned char*>(moved + 1) + oldSize, 0, size - oldSize);

  SetTag(moved, sourceName);
  moved->line = static_cast<std::uint16_t>(line);
  moved->id = state.nextId++;
  // The neighbours still point at the old address; only pointers are written.
  SetNewerLink(moved->older, moved);
  SetOlderLink(moved->newer, moved);
  if (AddressOf(state.head) == oldAddress) state.head = moved;

  state.totalBytes += static_cast<std::int64_t>(size) - static_cast<std::int64_t>(oldSize);
  moved->size = static_cast<std::uint32_t>(size);
  RefreshCopy(moved);

  LogOperation("mem realloc  ", moved);
  if (state.options.checkEveryOp) CheckTrackedAllocs();
  return TrackedUserBytesOf(moved);
}

void FreeTracked(void* block) {
  if (block == nullptr) return;
  plat::CriticalSectionScope scope(Lock());
  TrackedBlockHeader* header = AcceptCallerBlock(block);
  if (header == nullptr) return;

  state.totalBytes -= header->size;
  state.blockCount -= 1;
  if (state.options.checkEveryOp) CheckTrackedAllocs();

  TrackedBlockHeader* older = header->older;
  TrackedBlockHeader* newer = header->newer;
  SetNewerLink(older, newer);
  SetOlderLink(newer, older);
  if (state.head == header) state.head = older;
  state.live.Remove(AddressOf(header));

  LogOperation("mem free  ", header);
  std::free(header);
}

int CheckTrackedAllocs() {
  plat::CriticalSectionScope scope(Lock());
  for (TrackedBlockHeader* h = state.head; h != nullptr && h != &state.sentinel; h = h->older) {
    if (!HeaderIntact(h)) {
      LogCorruptHeader(h);
      return -1;
    }
  }
  return 0;
}

void DumpTrackedAllocs() {
  plat::CriticalSectionScope scope(Lock());
  AppendLogText("\n");
  AppendLogText("Alloc memory dump\n");
  for (TrackedBlockHeader* h = state.head; h != nullptr && h != &state.sentinel; h = h->older) LogTrackedBlock(h);
  LogTrackedTotal();
  AppendLogText("\n");
}

void LogTrackedBlock(const TrackedBlockHeader* header) {
  if (header == nullptr) return;
  plat::CriticalSectionScope scope(Lock());
  // The header may be damaged: never trust its tag terminator, and show no
  // more user bytes than both the header and its copy claim.
  char tag[kTrackedTagSize];
  std::memcpy(tag, header->tag, sizeof(tag));
  tag[kTrackedTagSize - 1] = '\0';
  TrackedBlockHeader copy;
  std::memcpy(&copy, header->copy, kTrackedHeaderCheckedBytes);
  std::uint32_t shown = header->size < copy.size ? header->size : copy.size;
  if (shown > 16) shown = 16;

  const auto* bytes = reinterpret_cast<const unsigned char*>(header + 1);
  char line[512];
  int length = FormatString(line, sizeof(line),
                            "\tsize:%10d(%10.3fkb)  file:%-26s  line:%-5d  ID:%-5d  addr:%016llx  data:<",
                            static_cast<int>(header->size), header->size / 1024.0, tag, header->line, header->id,
                            static_cast<unsigned long long>(AddressOf(bytes)));
  for (std::uint32_t i = 0; i < shown; ++i) line[length++] = bytes[i] < 32 ? '.' : static_cast<char>(bytes[i]);
  if (shown == 0) {
    CopyStringBytes(line + length, "> ]\n");
  } else {
    CopyStringBytes(line + length, "> [");
    length += 3;
    for (std::uint32_t i = 0; i < shown; ++i) length += FormatString(line + length, 4, "%02x ", bytes[i]);
    CopyStringBytes(line + length - 1, "]\n");
  }
  AppendLogText(line);
}

void LogTrackedTotal() {
  plat::CriticalSectionScope scope(Lock());
  AppendLogFormat("\tTotal size:%lld(%.3fkb)  Alloc num:%d", static_cast<long long>(state.totalBytes),
                  static_cast<double>(state.totalBytes) / 1024.0, state.blockCount);
}

TrackedMemoryOptions GetTrackedMemoryOptions() {
  plat::CriticalSectionScope scope(Lock());
  return state.options;
}

void SetTrackedMemoryOptions(const TrackedMemoryOptions& options) {
  plat::CriticalSectionScope scope(Lock());
  state.options = options;
}

std::int64_t GetTrackedByteTotal() {
  plat::CriticalSectionScope scope(Lock());
  return state.totalBytes;
}

int GetTrackedBlockCount() {
  plat::CriticalSectionScope scope(Lock());
  return state.blockCount;
}

}  // namespace qz
