// The archive-aware file set, the default of the file-access table: a
// directory "D" of a path may be replaced by the archive file "D.<extension>"
// ("QZA" unless the program sets one), whose members are then read as files.
// Open archives are shared and reference-counted; handles carry 0xF in their
// top four bits and are 0 on failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/archive_reader.h"
#include "core/file_access.h"

namespace qz {

inline constexpr int kArchiveSlotCount = 512;
inline constexpr int kArchiveOpenFileCount = 512;
inline constexpr FileHandle kArchiveHandleTag = 0xF0000000;
inline constexpr std::size_t kArchiveExtensionMax = 63;

// The table entries.
FileHandle ArchiveOpen(const char* path, int useCache, int reserved, int asynchronous);
int ArchiveClose(FileHandle file);
std::int64_t ArchiveTell(FileHandle file);
int ArchiveSeek(FileHandle file, std::int64_t offset, int origin);
std::size_t ArchiveRead(void* buffer, std::size_t elementSize, std::size_t count, FileHandle file);
int ArchiveEof(FileHandle file);
int ArchiveCheckIdle(FileHandle file);
int ArchiveSetCurrentDir(const char* path);
int ArchiveGetCurrentDir(char* buffer, std::size_t bufferSize);
FindHandle ArchiveFindFirst(const char* pattern, FindRecord* record);
int ArchiveFindNext(FindHandle search, FindRecord* record);
int ArchiveFindClose(FindHandle search);
extern const FileAccessTable kArchiveFileAccessTable;

// A non-empty extension shorter than 64 characters is stored; anything else
// clears it, and "QZA" applies.
int StoreArchiveExtension(const char* extension);
int SetArchiveFileExtension(const char* extension);
// Options (all off by default): plain files before archives; open archives
// with the stored key string instead of the built-in key.
int SetArchivePlainFirst(int plainFirst);
int SetArchiveUseKeyString(int use);
// At most 255 bytes are kept.
int SetArchiveKeyString(const char* keyString);

// Closes every archive no longer referenced.
int ReleaseArchiveSlot();
int ReleaseUnusedArchives();
int SweepUnusedArchives();

// The archive slot standing in for a leading directory of `path`, with the
// archive's file name and the member path inside it (upper case); the slot's
// reference count is raised. -1 when the path is in no archive.
int ResolveArchivePath(const char* path, int* slot, std::string* archiveName, std::string* memberPath);
// Opens the archive file `name` (or takes it from the table) and references
// it once more: the slot, or -1.
int OpenArchiveByName(int cachedSlot, const char* name, int loadWhole, int asynchronous);
// Where a member's bytes lie in the archive file: the offset from the file
// start and the bytes stored there (the packed size of a packed member).
int GetArchiveFileLocation(ArchiveReader* reader, const char* path, std::uint32_t* offset, std::uint32_t* size);
// Closes a reader made by the caller and frees it (tracked memory).
int CloseArchiveObject(ArchiveReader* reader);

// For tests: the reference count of the live archive named `name` (-1 when
// not open), and the number of live archives.
int GetArchiveReferenceCount(const char* name);
int GetLiveArchiveCount();

// Shared by the open and the find halves of the set.
ArchiveReader* GetArchiveSlotReader(int slot);
void DropArchiveReference(int slot);
// "?" one byte, "*" any run (with backtracking), double-byte pairs as pairs.
// The name is compared as given (callers pass upper case).
bool CompareArchiveName(const char* pattern, const char* name, int charset);

}  // namespace qz
