// The layout of the header in front of every tracked block. Kept apart from
// core/memory.h because only the allocator and code that inspects blocks (the
// dump, tests that damage a header on purpose) need it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

inline constexpr std::size_t kTrackedTagSize = 16;
// tag, id, line, size and the two links: the part that is duplicated.
inline constexpr std::size_t kTrackedHeaderCheckedBytes = 40;

struct TrackedBlockHeader {
  char tag[kTrackedTagSize];  // last 15 characters of the source name
  std::uint16_t id;
  std::uint16_t line;
  std::uint32_t size;
  TrackedBlockHeader* older;
  TrackedBlockHeader* newer;
  unsigned char copy[kTrackedHeaderCheckedBytes];
  // Pads the header so user bytes keep malloc's 16-byte alignment.
  unsigned char padding[16];
};
static_assert(offsetof(TrackedBlockHeader, copy) == kTrackedHeaderCheckedBytes);
static_assert(sizeof(TrackedBlockHeader) % 16 == 0);

inline TrackedBlockHeader* TrackedHeaderOf(void* block) { return static_cast<TrackedBlockHeader*>(block) - 1; }
inline void* TrackedUserBytesOf(TrackedBlockHeader* header) { return header + 1; }

}  // namespace qz
