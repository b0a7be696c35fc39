// The QZA archive layout as both the reader and the writer see it: header and
// table record layouts, the 12-byte scrambling key, and the upper-case search
// form of names. Keeping it in one place means reader and writer cannot drift.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qz {

// Every integer of the file is little-endian and may sit at any alignment.
inline std::uint16_t LoadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void StoreLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline constexpr std::uint16_t kArchiveMagic = 0x5A51;  // "QZ"
inline constexpr int kArchiveNewestVersion = 4;
// Version 4 adds the code page after the seven fields every version has.
inline constexpr std::size_t kArchiveHeaderSize = 24;
inline constexpr std::size_t kArchiveHeaderSizeV4 = 28;
inline constexpr std::size_t kArchiveKeySize = 12;

// Header field offsets.
inline constexpr std::size_t kHeaderMagic = 0;
inline constexpr std::size_t kHeaderVersion = 2;
inline constexpr std::size_t kHeaderBlockSize = 4;
inline constexpr std::size_t kHeaderDataStart = 8;
inline constexpr std::size_t kHeaderBlockOffset = 12;
inline constexpr std::size_t kHeaderFileTable = 16;
inline constexpr std::size_t kHeaderDirectoryTable = 20;
inline constexpr std::size_t kHeaderCodePage = 24;

// File entry: 40 bytes before version 2, then a packed size is added.
inline constexpr std::size_t kEntryNameOffset = 0;
inline constexpr std::size_t kEntryAttributes = 4;
inline constexpr std::size_t kEntryCreationTime = 8;
inline constexpr std::size_t kEntryLastAccessTime = 16;
inline constexpr std::size_t kEntryLastWriteTime = 24;
inline constexpr std::size_t kEntryDataOffset = 32;  // a directory's: its record in the directory table
inline constexpr std::size_t kEntryDataSize = 36;
inline constexpr std::size_t kEntryPackedSize = 40;
inline constexpr std::uint32_t kEntryStored = 0xFFFFFFFFu;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::size_t ArchiveEntrySize(int version) { return version >= 2 ? 44 : 40; }

// Directory record: unused, parent record (kNoParent at the root), entry
// count, file-table offset of the first entry.
inline constexpr std::size_t kDirectoryRecordSize = 16;
inline constexpr std::size_t kDirectoryParent = 4;
inline constexpr std::size_t kDirectoryCount = 8;
inline constexpr std::size_t kDirectoryFirstEntry = 12;
inline constexpr std::uint32_t kNoParent = 0xFFFFFFFFu;

// Name record: u16 length of the search form in 4-byte units, u16 byte sum of
// the search form, the search form, then the stored name zero-terminated.
inline constexpr std::size_t kNameRecordHead = 4;

// 932 -> 1, 949 -> 2, 950 -> 3, 936 -> 4; anything else 0.
int ArchiveCharsetFromCodePage(std::uint32_t codePage);

// The key of a key string (repeated to 12 bytes), or the built-in key when the
// string is null or empty.
void MakeArchiveKey(const char* keyString, std::uint8_t key[kArchiveKeySize]);
// The second key every open tries when the first does not give the magic.
void MakeAlternateArchiveKey(std::uint8_t key[kArchiveKeySize]);
// XORs bytes lying at file offset `position` onwards; its own inverse.
void ScrambleArchiveData(std::size_t size, void* data, std::uint64_t position, const std::uint8_t key[kArchiveKeySize]);

// The longest search form a lookup builds; longer components are never found.
inline constexpr std::size_t kArchiveSearchNameMax = 1024;

struct ArchiveSearchName {
  std::uint8_t form[kArchiveSearchNameMax];
  std::uint16_t units;
  std::uint16_t checkSum;
  std::size_t consumed;  // bytes of the component taken from the path
};

// The search form of the path component that starts at `name` and ends at
// "\", "/" or the end: a-z upper-cased, double-byte pairs of the character set
// copied as they are, zero-padded to a multiple of 4 with at least one zero.
// False when the component does not fit.
bool MakeArchiveSearchName(const char* name, int charset, ArchiveSearchName* out);

}  // namespace qz
