// Reading QZA archives: opening one from a memory image, loaded whole or
// streamed from its file, and walking its directory tree. Every offset and
// count taken from the archive is checked before it is followed, since an
// archive is a file from outside.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/archive_format.h"
#include "core/file_access.h"

namespace qz {

struct ArchiveHeader {
  std::uint16_t magic;
  std::uint16_t version;
  std::uint32_t headerBlockSize;
  std::uint32_t dataStart;
  std::uint32_t headerBlockOffset;
  std::uint32_t fileTableOffset;
  std::uint32_t directoryTableOffset;
};

struct ArchiveReader {
  ArchiveHeader header;
  std::uint32_t codePage;
  std::int32_t charset;  // 1 Shift-JIS, 2 949, 3 950, 4 936, 0 none
  std::uint8_t* image;   // in memory: the caller's or a loaded copy
  FileHandle file;       // streamed: the archive file (plain set)
  std::uint8_t* headerBlock;
  std::uint32_t currentDirectory;  // offset of its record in the directory table
  std::uint8_t key[kArchiveKeySize];
  std::int32_t inMemory;
  std::int32_t callerImage;
  std::uint64_t imageSize;  // or the file's size when streamed
  std::int32_t loadPending;
  FileHandle loadingFile;
};

// A file or directory entry, its fields taken out of the file table.
struct ArchiveFileEntry {
  std::uint32_t tableOffset;  // in the file table
  std::uint32_t nameOffset;
  std::uint32_t attributes;
  plat::FileTime creationTime;
  plat::FileTime lastWriteTime;
  std::uint32_t dataOffset;  // a directory: its record's offset
  std::uint32_t dataSize;
  std::uint32_t packedSize;  // kEntryStored when not packed
};

void InitArchiveRecord(ArchiveReader* reader);

// Each returns 0, or -1 (logged) leaving the reader zeroed. A memory image is
// unscrambled in place and scrambled back on failure and by CloseArchive.
int OpenArchiveFromMemory(ArchiveReader* reader, void* image, std::size_t imageSize, const char* keyString);
int OpenArchiveFileToMemory(ArchiveReader* reader, const char* path, const char* keyString, int asynchronous);
int OpenArchiveFileStreamed(ArchiveReader* reader, const char* path, const char* keyString);
// 1 once a whole-file load has finished (the image is then unscrambled).
int PollArchiveFileLoad(ArchiveReader* reader);
void WaitArchiveReady(ArchiveReader* reader);
int CloseArchive(ArchiveReader* reader);

// Reads `size` bytes at file offset `position` (or the current one when -1)
// of a plain-set file opened for asynchronous reading, waits for them and
// unscrambles them. 0, or -1 when fewer arrived.
int ReadArchiveScrambled(FileHandle file, void* buffer, std::size_t size, std::int64_t position,
                         const std::uint8_t key[kArchiveKeySize]);

// The entry `index` of a directory record; false when the record or the
// entry lies outside the tables.
bool GetArchiveDirectoryEntry(const ArchiveReader* reader, std::uint32_t directory, std::uint32_t index,
                              ArchiveFileEntry* entry);
// The number of entries of a directory record, -1 when the record is bad.
std::int64_t GetArchiveDirectorySize(const ArchiveReader* reader, std::uint32_t directory);
// The parent's record, or kNoParent at the root or for a bad record.
std::uint32_t GetArchiveParentDirectory(const ArchiveReader* reader, std::uint32_t directory);
// The stored name of an entry, copied and terminated within `size` bytes.
// False when the name record is bad.
bool GetArchiveStoredName(const ArchiveReader* reader, const ArchiveFileEntry& entry, char* out, std::size_t size);
// The search form of an entry's name (null when its record is bad).
const std::uint8_t* GetArchiveSearchForm(const ArchiveReader* reader, const ArchiveFileEntry& entry,
                                         std::uint16_t* units);

// Looks for a directory (or, with wantFile, a file) named like `search` in
// the current directory. A directory found becomes the current directory.
int SearchArchiveDirectory(ArchiveReader* reader, const ArchiveSearchName& search, int wantFile,
                           ArchiveFileEntry* found);
// "." stays, "\" or "/" alone goes to the root, ".." to the parent (-1 at the
// root); else the components are entered in turn (a trailing separator ends
// the walk). On failure the directory is put back when `restore` is set and
// the failing component's search name is handed back when asked.
int FindArchiveEntry(ArchiveReader* reader, const char* path, int restore, ArchiveSearchName* failed);
// Walks to the directory part of `path` from the root and finds its last
// component as a file. The current directory is left at the root.
int FindArchiveFile(ArchiveReader* reader, const char* path, ArchiveFileEntry* entry);
// Splits at the last separator (double-byte aware): returns the length of
// the directory part (0 when there is none) and points `name` after it.
std::size_t SplitArchivePath(const char* path, int charset, const char** name);

}  // namespace qz
