// The sizes a decoded image may have, shared by the decoders and the base
// image allocator: every size comes from a file, so each is checked against
// these before a pixel block is allocated for it.
#pragma once

#include <cstdint>

namespace qz {

inline constexpr std::int64_t kMaxImageSide = 32768;
// 8192 x 8192 at 32 bits, the largest texture of the devices the library
// draws on; no program of this library needs a larger picture.
inline constexpr std::int64_t kMaxImageBytes = std::int64_t{8192} * 8192 * 4;
// What any file may cost however small it is: a few megabytes are cheap,
// and a small run-length bitmap may end its data early on purpose.
inline constexpr std::int64_t kImageBytesAnyFileMayClaim = std::int64_t{4} << 20;

// Whether `storedBytes` of coded data, each of which gives at most
// `maxExpansion` bytes when decoded, can plausibly hold `imageBytes` bytes.
// A header claiming more than its data can cover is refused unread.
inline bool StoredDataCanCover(std::int64_t imageBytes, std::int64_t storedBytes, std::int64_t maxExpansion) {
  if (imageBytes <= kImageBytesAnyFileMayClaim) return true;
  return storedBytes > 0 && (imageBytes + maxExpansion - 1) / maxExpansion <= storedBytes;
}

}  // namespace qz
