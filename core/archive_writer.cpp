// Lays a directory tree out as a QZA archive: header, member data area, then
// the header block (name table, file table, directory table), all scrambled.
// Directories are numbered breadth-first so the root's record comes first.
#include "core/archive_writer.h"

#include <algorithm>
#include <cstring>

#include "core/archive_codec.h"
#include "core/archive_format.h"

namespace qz {
namespace {

constexpr std::uint64_t kLimit = 0xFFFFFFFFu;

struct Placed {
  const ArchiveSourceNode* node;
  std::uint32_t tableOffset;
};

void Put32(std::vector<std::uint8_t>* out, std::size_t at, std::uint32_t value) { StoreLe32(out->data() + at, value); }
void Put64(std::vector<std::uint8_t>* out, std::size_t at, std::uint64_t value) {
  StoreLe32(out->data() + at, static_cast<std::uint32_t>(value));
  StoreLe32(out->data() + at + 4, static_cast<std::uint32_t>(value >> 32));
}

bool Fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace

bool BuildArchiveImage(const ArchiveSourceNode& root, const ArchiveWriteOptions& options,
                       std::vector<std::uint8_t>* image, ArchiveWriteStats* stats, std::string* error) {
  if (options.version < 0 || options.version > kArchiveNewestVersion) return Fail(error, "unsupported version");
  const int charset = options.version == 4 ? ArchiveCharsetFromCodePage(options.codePage) : 0;
  const std::size_t entrySize = ArchiveEntrySize(options.version);
  const bool packing = options.pack && options.version >= 2;
  ArchiveWriteStats counted;

  // Directories in breadth-first order, each with its entries sorted by
  // their search form.
  std::vector<const ArchiveSourceNode*> directories = {&root};
  std::vector<std::uint32_t> parents = {kNoParent};
  std::vector<std::vector<const ArchiveSourceNode*>> entries;
  std::vector<std::uint8_t> names;
  std::vector<std::uint32_t> nameOffsets;  // per entry, in file-table order
  std::vector<const ArchiveSourceNode*> ordered;
  for (std::size_t d = 0; d < directories.size(); ++d) {
    std::vector<std::pair<std::string, const ArchiveSourceNode*>> sorted;
    for (const ArchiveSourceNode& child : directories[d]->children) {
      // The search form stops at the first separator outside a double-byte
      // pair, so a trail byte of 0x5C stays part of the name.
      ArchiveSearchName search;
      if (child.name.empty() || child.name == "." || child.name == ".." ||
          !MakeArchiveSearchName(child.name.c_str(), charset, &search) || search.consumed != child.name.size()) {
        return Fail(error, "bad name \"" + child.name + "\"");
      }
      sorted.emplace_back(std::string(reinterpret_cast<const char*>(search.form), search.units * 4u), &child);
    }
    // Lookups ask for a file or a directory, so one of each may share a name.
    const auto key = [](const auto& item) { return std::make_pair(item.first, item.second->isDirectory); };
    std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
    for (std::size_t i = 1; i < sorted.size(); ++i) {
      if (key(sorted[i]) == key(sorted[i - 1])) {
        return Fail(error, "repeated name \"" + sorted[i].second->name + "\"");
      }
    }
    entries.emplace_back();
    for (const auto& [form, child] : sorted) {
      entries.back().push_back(child);
      ordered.push_back(child);
      if (child->isDirectory) {
        directories.push_back(child);
        parents.push_back(static_cast<std::uint32_t>(d * kDirectoryRecordSize));
      }
      ArchiveSearchName search;
      MakeArchiveSearchName(child->name.c_str(), charset, &search);
      nameOffsets.push_back(static_cast<std::uint32_t>(names.size()));
      const std::size_t at = names.size();
      names.resize(at + kNameRecordHead + search.units * 4u);
      StoreLe16(names.data() + at, search.units);
      StoreLe16(names.data() + at + 2, search.checkSum);
      std::memcpy(names.data() + at + kNameRecordHead, search.form, search.units * 4u);
      names.insert(names.end(), child->name.begin(), child->name.end());
      names.push_back(0);
    }
  }
  while (names.size() % 4 != 0) names.push_back(0);

  const std::size_t headerSize = options.version == 4 ? kArchiveHeaderSizeV4 : kArchiveHeaderSize;
  const std::size_t fileTableOffset = names.size();
  const std::size_t directoryTableOffset = fileTableOffset + ordered.size() * entrySize;
  std::vector<std::uint8_t> block(directoryTableOffset + directories.size() * kDirectoryRecordSize);
  std::copy(names.begin(), names.end(), block.begin());

  // Member data, in file-table order, straight after the header.
  std::vector<std::uint8_t> out(headerSize);
  std::vector<std::uint32_t> directoryOf(ordered.size(), 0);
  for (std::size_t d = 1, e = 0; d < directories.size(); ++d) {
    while (ordered[e] != directories[d]) ++e;
    directoryOf[e] = static_cast<std::uint32_t>(d * kDirectoryRecordSize);
  }
  std::size_t entryIndex = 0;
  for (std::size_t d = 0; d < directories.size(); ++d) {
    const std::size_t record = directoryTableOffset + d * kDirectoryRecordSize;
    Put32(&block, record, 0);
    Put32(&block, record + kDirectoryParent, parents[d]);
    Put32(&block, record + kDirectoryCount, static_cast<std::uint32_t>(entries[d].size()));
    Put32(&block, record + kDirectoryFirstEntry, static_cast<std::uint32_t>(entryIndex * entrySize));
    for (const ArchiveSourceNode* node : entries[d]) {
      const std::size_t at = fileTableOffset + entryIndex * entrySize;
      Put32(&block, at + kEntryNameOffset, nameOffsets[entryIndex]);
      Put32(&block, at + kEntryAttributes, node->isDirectory ? kAttributeDirectory : 0x20u);
      Put64(&block, at + kEntryCreationTime, node->creationTime);
      Put64(&block, at + kEntryLastAccessTime, node->lastAccessTime);
      Put64(&block, at + kEntryLastWriteTime, node->lastWriteTime);
      if (node->isDirectory) {
        Put32(&block, at + kEntryDataOffset, directoryOf[entryIndex]);
        Put32(&block, at + kEntryDataSize, 0);
        if (entrySize > kEntryPackedSize) Put32(&block, at + kEntryPackedSize, kEntryStored);
      } else {
        if (node->bytes.size() >= kLimit) return Fail(error, "member \"" + node->name + "\" too large");
        const std::size_t dataOffset = out.size() - headerSize;
        std::uint32_t packedSize = kEntryStored;
        if (packing && !node->bytes.empty()) {
          const std::size_t packed = EncodeArchiveData(node->bytes.data(), node->bytes.size(), &out);
          if (packed != 0 && packed < node->bytes.size()) {
            packedSize = static_cast<std::uint32_t>(packed);
          } else {
            out.resize(headerSize + dataOffset);
          }
        }
        if (packedSize == kEntryStored) {
          out.insert(out.end(), node->bytes.begin(), node->bytes.end());
          ++counted.storedMembers;
        } else {
          ++counted.packedMembers;
        }
        if (out.size() >= kLimit) return Fail(error, "archive too large");
        counted.unpackedBytes += node->bytes.size();
        counted.storedBytes += out.size() - headerSize - dataOffset;
        Put32(&block, at + kEntryDataOffset, static_cast<std::uint32_t>(dataOffset));
        Put32(&block, at + kEntryDataSize, static_cast<std::uint32_t>(node->bytes.size()));
        if (entrySize > kEntryPackedSize) Put32(&block, at + kEntryPackedSize, packedSize);
      }
      ++entryIndex;
    }
  }

  const std::size_t blockOffset = out.size();
  if (blockOffset + block.size() >= kLimit) return Fail(error, "archive too large");
  out.insert(out.end(), block.begin(), block.end());
  StoreLe16(out.data() + kHeaderMagic, kArchiveMagic);
  StoreLe16(out.data() + kHeaderVersion, static_cast<std::uint32_t>(options.version));
  Put32(&out, kHeaderBlockSize, static_cast<std::uint32_t>(block.size()));
  Put32(&out, kHeaderDataStart, static_cast<std::uint32_t>(headerSize));
  Put32(&out, kHeaderBlockOffset, static_cast<std::uint32_t>(blockOffset));
  Put32(&out, kHeaderFileTable, static_cast<std::uint32_t>(fileTableOffset));
  Put32(&out, kHeaderDirectoryTable, static_cast<std::uint32_t>(directoryTableOffset));
  if (options.version == 4) Put32(&out, kHeaderCodePage, options.codePage);

  std::uint8_t key[kArchiveKeySize];
  if (options.alternateKey) MakeAlternateArchiveKey(key);
  else MakeArchiveKey(options.keyString, key);
  ScrambleArchiveData(out.size(), out.data(), 0, key);
  *image = std::move(out);
  if (stats != nullptr) *stats = counted;
  return true;
}

}  // namespace qz
