// Writing QZA archives: the library only reads them, but the project packs its
// data and makes test archives with this, built on the same layout, key and
// coding descriptions as the reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz {

struct ArchiveSourceNode {
  std::string name;
  bool isDirectory = false;
  std::vector<std::uint8_t> bytes;
  std::vector<ArchiveSourceNode> children;
  std::uint64_t creationTime = 0;  // FILETIME values
  std::uint64_t lastAccessTime = 0;
  std::uint64_t lastWriteTime = 0;
};

struct ArchiveWriteOptions {
  int version = 2;            // 0 to 4; packing needs 2 or more
  bool pack = true;           // pack each member that gets smaller
  const char* keyString = nullptr;  // null: the built-in key
  bool alternateKey = false;  // scramble with the alternate key instead
  std::uint32_t codePage = 0;  // version 4 only
};

struct ArchiveWriteStats {
  std::uint64_t unpackedBytes = 0;
  std::uint64_t storedBytes = 0;  // member bytes as written
  std::uint32_t packedMembers = 0;
  std::uint32_t storedMembers = 0;
};

// Builds the scrambled image of the tree below `root` (its own name is not
// stored). False with a reason when a name is empty, holds a separator, is too
// long or repeats in its directory (ignoring case), or the archive would pass
// 4 GiB.
bool BuildArchiveImage(const ArchiveSourceNode& root, const ArchiveWriteOptions& options,
                       std::vector<std::uint8_t>* image, ArchiveWriteStats* stats, std::string* error);

}  // namespace qz
