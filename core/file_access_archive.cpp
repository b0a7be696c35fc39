// The archive-aware file set: the archive and open-file tables, resolving a
// path to an archive standing in for one of its leading directories, and
// reading members (packed ones are unpacked whole at open). Searches are in
// file_access_archive_find.cpp.
#include "core/file_access_archive.h"

#include <algorithm>
#include <cstring>

#include "core/archive_codec.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/multibyte.h"
#include "core/path.h"
#include "core/string_util.h"
#include "platform/clock.h"

namespace qz {

const FileAccessTable kArchiveFileAccessTable = {
    ArchiveOpen,      ArchiveClose,         ArchiveTell,          ArchiveSeek,
    ArchiveRead,      ArchiveEof,           ArchiveCheckIdle,     ArchiveSetCurrentDir,
    ArchiveGetCurrentDir, ArchiveFindFirst, ArchiveFindNext,      ArchiveFindClose,
};

namespace {

struct ArchiveSlot {
  std::int32_t referenceCount;
  ArchiveReader reader;
  char* name;  // tracked copy
};

enum PendingRead : std::int32_t { kNoPendingRead = 0, kPendingPackedMember = 1, kPendingPart = 2 };

struct MemberCursor {
  ArchiveReader* reader;
  ArchiveFileEntry entry;
  std::uint64_t dataFileOffset;  // where the member's bytes start in the archive
  std::uint8_t* unpacked;        // packed members, whole
  std::uint8_t* packedRead;      // while the packed bytes are being read
  std::uint32_t position;
  std::int32_t endOfFile;
  std::int32_t asynchronous;
  std::int32_t pending;
  std::int32_t damaged;  // unpacking an asynchronously read member failed
  std::uint64_t pendingOffset;
  void* pendingDestination;
  std::uint32_t pendingSize;
};

struct OpenFileRecord {
  std::int32_t isMember;
  FileHandle plain;
  std::int32_t archiveSlot;
  MemberCursor cursor;
};

ArchiveSlot* g_archives[kArchiveSlotCount];
int g_liveArchives = 0;
OpenFileRecord* g_files[kArchiveOpenFileCount];
int g_openFiles = 0;

std::string g_cachedPrefix;
int g_cachedSlot = -1;

char g_extension[kArchiveExtensionMax + 1];
int g_plainFirst = 0;
int g_useKeyString = 0;
char g_keyString[256];

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

void WaitFileIdle(FileHandle file) {
  while (Win32FileIdleCheck(file) == 0) plat::Sleep(0);
}

OpenFileRecord* LookUp(FileHandle file) {
  const FileHandle slot = file & ~kArchiveHandleTag;
  if ((file & kArchiveHandleTag) != kArchiveHandleTag || slot < 0 || slot >= kArchiveOpenFileCount ||
      g_files[slot] == nullptr) {
    AppendLogText(text::kFileBadHandle);
    return nullptr;
  }
  return g_files[slot];
}

void CloseSlot(int slot) {
  CloseArchive(&g_archives[slot]->reader);
  QZ_FREE(g_archives[slot]->name);
  QZ_FREE(g_archives[slot]);
  g_archives[slot] = nullptr;
  --g_liveArchives;
}

// Every file open asks this of each folder on its path, so the scan stops once
// it has passed every live archive.
int FindArchiveSlot(const char* name) {
  for (int i = 0, seen = 0; i < kArchiveSlotCount && seen < g_liveArchives; ++i) {
    if (g_archives[i] == nullptr) continue;
    ++seen;
    if (std::strcmp(g_archives[i]->name, name) == 0) return i;
  }
  return -1;
}

int FirstFreeArchiveSlot() {
  for (int i = 0; i < kArchiveSlotCount; ++i) {
    if (g_archives[i] == nullptr) return i;
  }
  return -1;
}

// True when a file of that name can be opened; silent, unlike the threaded
// open the reader uses.
bool FileExists(const char* name) {
  const plat::Handle probe = plat::CreateFileA(name, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING,
                                               plat::FILE_ATTRIBUTE_NORMAL);
  if (probe == plat::INVALID_HANDLE_VALUE) return false;
  plat::CloseHandle(probe);
  return true;
}

// Where the root of a full path ends: after "X:\", "\\" or "\".
std::size_t RootLength(const std::string& full) {
  if (full.size() >= 2 && full[1] == ':') return full.size() >= 3 && IsSeparator(full[2]) ? 3 : 2;
  if (full.size() >= 2 && IsSeparator(full[0]) && IsSeparator(full[1])) return 2;
  return !full.empty() && IsSeparator(full[0]) ? 1 : 0;
}

std::size_t NextSeparator(const std::string& full, std::size_t from) {
  for (std::size_t i = from; i < full.size(); ++i) {
    if (IsCurrentLeadByte(static_cast<unsigned char>(full[i])) && i + 1 < full.size()) {
      ++i;
    } else if (IsSeparator(full[i])) {
      return i;
    }
  }
  return std::string::npos;
}

std::string ArchiveNameOf(const std::string& prefix) {
  return prefix + "." + (g_extension[0] != '\0' ? g_extension : "QZA");
}

void StartPartRead(MemberCursor* cursor, void* destination, std::uint64_t offset, std::uint32_t size) {
  const FileHandle file = cursor->reader->file;
  if (Win32FileTell(file) != static_cast<std::int64_t>(offset)) Win32FileSeek(file, static_cast<std::int64_t>(offset), 0);
  Win32FileRead(destination, 1, size, file);
  cursor->pendingOffset = offset;
  cursor->pendingDestination = destination;
  cursor->pendingSize = size;
}

bool UnpackMember(MemberCursor* cursor, const std::uint8_t* packed) {
  const std::int64_t got = DecodeArchiveData(packed, cursor->entry.packedSize, cursor->unpacked, cursor->entry.dataSize);
  if (got == cursor->entry.dataSize) return true;
  if (got >= 0) AppendLogText(text::kArchiveBadPacked);
  return false;
}

// A member whose packed bytes did not decode stands at its end, so a caller
// reading until the end stops; its reads give 0 bytes.
void MarkDamaged(MemberCursor* cursor) {
  cursor->damaged = 1;
  cursor->position = cursor->entry.dataSize;
  cursor->endOfFile = 1;
}

// Waits for an asynchronous read of the member and finishes it.
void CompleteArchiveMemberRead(MemberCursor* cursor) {
  if (cursor->pending == kNoPendingRead) return;
  WaitFileIdle(cursor->reader->file);
  ScrambleArchiveData(cursor->pendingSize, cursor->pendingDestination, cursor->pendingOffset, cursor->reader->key);
  if (cursor->pending == kPendingPackedMember) {
    if (!UnpackMember(cursor, cursor->packedRead)) MarkDamaged(cursor);
    QZ_FREE(cursor->packedRead);
    cursor->packedRead = nullptr;
  }
  cursor->pending = kNoPendingRead;
}

void ReleaseCursor(MemberCursor* cursor) {
  CompleteArchiveMemberRead(cursor);
  QZ_FREE(cursor->unpacked);
  QZ_FREE(cursor->packedRead);
}

// 0, or -1 when the member is missing (silent) or unreadable (logged).
int OpenArchiveMember(MemberCursor* cursor, ArchiveReader* reader, const char* memberPath, int asynchronous) {
  WaitArchiveReady(reader);
  std::memset(cursor, 0, sizeof *cursor);
  if (FindArchiveFile(reader, memberPath, &cursor->entry) != 0) return -1;
  cursor->reader = reader;
  cursor->asynchronous = asynchronous != 0;
  const ArchiveFileEntry& entry = cursor->entry;
  const bool packed = reader->header.version >= 2 && entry.packedSize != kEntryStored;
  cursor->dataFileOffset = std::uint64_t{reader->header.dataStart} + entry.dataOffset;
  const std::uint64_t stored = packed ? entry.packedSize : entry.dataSize;
  if (cursor->dataFileOffset + stored > reader->imageSize ||
      (packed && !PackedSizesPossible(entry.dataSize, entry.packedSize))) {
    AppendLogText(text::kArchiveBadTable);
    return -1;
  }
  if (!packed) return 0;

  cursor->unpacked = static_cast<std::uint8_t*>(QZ_ALLOC(std::size_t{entry.dataSize} + 1));
  if (cursor->unpacked == nullptr) {
    AppendLogText(text::kArchiveAllocFailed);
    return -1;
  }
  bool ok = true;
  if (reader->inMemory) {
    ok = UnpackMember(cursor, reader->image + cursor->dataFileOffset);
  } else {
    cursor->packedRead = static_cast<std::uint8_t*>(QZ_ALLOC(entry.packedSize));
    if (cursor->packedRead == nullptr) {
      AppendLogText(text::kArchiveAllocFailed);
      ok = false;
    } else if (cursor->asynchronous) {
      StartPartRead(cursor, cursor->packedRead, cursor->dataFileOffset, entry.packedSize);
      cursor->pending = kPendingPackedMember;
      return 0;
    } else if (ReadArchiveScrambled(reader->file, cursor->packedRead, entry.packedSize,
                                    static_cast<std::int64_t>(cursor->dataFileOffset), reader->key) != 0) {
      AppendLogText(text::kArchiveReadFailed);
      ok = false;
    } else {
      ok = UnpackMember(cursor, cursor->packedRead);
    }
    QZ_FREE(cursor->packedRead);
    cursor->packedRead = nullptr;
  }
  if (!ok) {
    QZ_FREE(cursor->unpacked);
    cursor->unpacked = nullptr;
    return -1;
  }
  return 0;
}

std::size_t ReadArchiveMemberData(MemberCursor* cursor, void* buffer, std::size_t bytes) {
  CompleteArchiveMemberRead(cursor);
  if (cursor->damaged) MarkDamaged(cursor);  // a seek may have moved it
  if (cursor->endOfFile) return 0;
  const std::uint32_t size = cursor->entry.dataSize;
  if (cursor->position >= size) {
    cursor->endOfFile = 1;
    return 0;
  }
  const auto take = static_cast<std::uint32_t>(std::min<std::size_t>(bytes, size - cursor->position));
  const ArchiveReader* reader = cursor->reader;
  const std::uint64_t offset = cursor->dataFileOffset + cursor->position;
  if (cursor->unpacked != nullptr) {
    std::memcpy(buffer, cursor->unpacked + cursor->position, take);
  } else if (reader->inMemory) {
    std::memcpy(buffer, reader->image + offset, take);
  } else if (cursor->asynchronous) {
    StartPartRead(cursor, buffer, offset, take);
    cursor->pending = kPendingPart;
  } else if (ReadArchiveScrambled(reader->file, buffer, take, static_cast<std::int64_t>(offset), reader->key) != 0) {
    AppendLogText(text::kArchiveReadFailed);
    return 0;
  }
  cursor->position += take;
  cursor->endOfFile = 0;
  return take;
}

FileHandle FreeRecordAndFail(int slot) {
  QZ_FREE(g_files[slot]);
  g_files[slot] = nullptr;
  return 0;
}

// Opens the path as a member when it lies in an archive: 1 opened, 0 not in
// an archive, -1 in an archive but missing or unreadable.
int TryArchiveMember(OpenFileRecord* record, const char* path, int asynchronous) {
  int slot;
  std::string archiveName, memberPath;
  if (ResolveArchivePath(path, &slot, &archiveName, &memberPath) != 0) return 0;
  if (OpenArchiveMember(&record->cursor, &g_archives[slot]->reader, memberPath.c_str(), asynchronous) != 0) {
    DropArchiveReference(slot);
    return -1;
  }
  record->isMember = 1;
  record->archiveSlot = slot;
  return 1;
}

}  // namespace

ArchiveReader* GetArchiveSlotReader(int slot) {
  return slot >= 0 && slot < kArchiveSlotCount && g_archives[slot] != nullptr ? &g_archives[slot]->reader : nullptr;
}

void DropArchiveReference(int slot) {
  if (slot >= 0 && slot < kArchiveSlotCount && g_archives[slot] != nullptr && g_archives[slot]->referenceCount > 0) {
    --g_archives[slot]->referenceCount;
  }
}

namespace {

// OpenArchiveByName with the name the table keeps apart from the spelling
// the disk is asked for.
int OpenArchiveSlot(int cachedSlot, const char* name, const char* diskName, int loadWhole, int asynchronous) {
  if (cachedSlot >= 0 && cachedSlot < kArchiveSlotCount && g_archives[cachedSlot] != nullptr &&
      std::strcmp(g_archives[cachedSlot]->name, name) == 0) {
    ++g_archives[cachedSlot]->referenceCount;
    return cachedSlot;
  }
  const int live = FindArchiveSlot(name);
  if (live >= 0) {
    ++g_archives[live]->referenceCount;
    return live;
  }
  int slot = FirstFreeArchiveSlot();
  if (slot < 0) {
    ReleaseArchiveSlot();
    slot = FirstFreeArchiveSlot();
    if (slot < 0) {
      AppendLogText(text::kArchiveTableFull);
      return -1;
    }
  }
  if (!FileExists(diskName)) return -1;
  auto* record = static_cast<ArchiveSlot*>(QZ_ALLOC_ZEROED(sizeof(ArchiveSlot)));
  const std::size_t nameBytes = std::strlen(name) + 1;
  char* copy = static_cast<char*>(QZ_ALLOC(nameBytes));
  if (record == nullptr || copy == nullptr) {
    AppendLogText(text::kArchiveAllocFailed);
    QZ_FREE(record);
    QZ_FREE(copy);
    return -1;
  }
  std::memcpy(copy, name, nameBytes);
  const char* key = g_useKeyString ? g_keyString : nullptr;
  const int opened = loadWhole ? OpenArchiveFileToMemory(&record->reader, diskName, key, asynchronous)
                               : OpenArchiveFileStreamed(&record->reader, diskName, key);
  if (opened != 0) {
    QZ_FREE(record);
    QZ_FREE(copy);
    return -1;
  }
  record->name = copy;
  record->referenceCount = 1;
  g_archives[slot] = record;
  ++g_liveArchives;
  return slot;
}

}  // namespace

int OpenArchiveByName(int cachedSlot, const char* name, int loadWhole, int asynchronous) {
  return OpenArchiveSlot(cachedSlot, name, name, loadWhole, asynchronous);
}

int ResolveArchivePath(const char* path, int* slot, std::string* archiveName, std::string* memberPath) {
  if (path == nullptr) return -1;
  std::string full(std::strlen(path) + 4096, '\0');
  if (MakeFullPath(path, full.data(), full.size()) != 0) return -1;
  full.resize(std::strlen(full.c_str()));
  // The table matches archive names in capitals; the disk is asked in the
  // caller's spelling, so that every folder on the way that exists as spelled
  // is found without a search of its parent's listing (capitals would match
  // no folder of a case-sensitive disk exactly).
  const std::string spelled = full;
  UpperCaseMultiByte(full.data());

  const std::size_t cached = g_cachedPrefix.size();
  if (cached > 0 && full.size() > cached + 1 && full.compare(0, cached, g_cachedPrefix) == 0 &&
      IsSeparator(full[cached])) {
    const std::string name = ArchiveNameOf(g_cachedPrefix);
    const int found =
        OpenArchiveSlot(g_cachedSlot, name.c_str(), ArchiveNameOf(spelled.substr(0, cached)).c_str(), 0, 0);
    if (found >= 0) {
      *slot = found;
      *archiveName = name;
      *memberPath = full.substr(cached + 1);
      return 0;
    }
  }
  for (std::size_t from = RootLength(full);;) {
    const std::size_t separator = NextSeparator(full, from);
    if (separator == std::string::npos || separator == from) return -1;
    const std::string prefix = full.substr(0, separator);
    // Every candidate is asked of the disk each time (the file stand-in keeps
    // its directory listings fresh), so an archive made during a run is found.
    const std::string name = ArchiveNameOf(prefix);
    const int found = OpenArchiveSlot(-1, name.c_str(), ArchiveNameOf(spelled.substr(0, separator)).c_str(), 0, 0);
    if (found >= 0) {
      g_cachedPrefix = prefix;
      g_cachedSlot = found;
      *slot = found;
      *archiveName = name;
      *memberPath = full.substr(separator + 1);
      return 0;
    }
    from = separator + 1;
  }
}

FileHandle ArchiveOpen(const char* path, int useCache, int reserved, int asynchronous) {
  if (path == nullptr || path[0] == '\0') {
    AppendLogText(text::kFileBadArgument);
    return 0;
  }
  if (g_openFiles >= kArchiveOpenFileCount) {
    AppendLogText(text::kArchiveFileTableFull);
    return 0;
  }
  int slot = 0;
  while (g_files[slot] != nullptr) ++slot;
  auto* record = static_cast<OpenFileRecord*>(QZ_ALLOC_ZEROED(sizeof(OpenFileRecord)));
  if (record == nullptr) {
    AppendLogText(text::kArchiveFileRecordAllocFailed);
    return 0;
  }
  g_files[slot] = record;
  record->archiveSlot = -1;
  if (g_plainFirst) {
    record->plain = Win32FileOpen(path, useCache, reserved, asynchronous);
    if (record->plain == 0 && TryArchiveMember(record, path, asynchronous) != 1) return FreeRecordAndFail(slot);
  } else {
    const int member = TryArchiveMember(record, path, asynchronous);
    if (member < 0) return FreeRecordAndFail(slot);
    if (member == 0) {
      record->plain = Win32FileOpen(path, useCache, reserved, asynchronous);
      if (record->plain == 0) return FreeRecordAndFail(slot);
    }
  }
  ++g_openFiles;
  return slot | kArchiveHandleTag;
}

int ArchiveClose(FileHandle file) {
  OpenFileRecord* record = LookUp(file);
  if (record == nullptr) return -1;
  int result = 0;
  if (record->isMember) {
    DropArchiveReference(record->archiveSlot);
    ReleaseCursor(&record->cursor);
  } else {
    result = Win32FileClose(record->plain);
  }
  QZ_FREE(record);
  g_files[file & ~kArchiveHandleTag] = nullptr;
  --g_openFiles;
  return result;
}

std::int64_t ArchiveTell(FileHandle file) {
  OpenFileRecord* record = LookUp(file);
  if (record == nullptr) return -1;
  if (!record->isMember) return Win32FileTell(record->plain);
  CompleteArchiveMemberRead(&record->cursor);
  return record->cursor.position;
}

int ArchiveSeek(FileHandle file, std::int64_t offset, int origin) {
  OpenFileRecord* record = LookUp(file);
  if (record == nullptr) return -1;
  if (!record->isMember) return Win32FileSeek(record->plain, offset, origin);
  MemberCursor* cursor = &record->cursor;
  CompleteArchiveMemberRead(cursor);
  std::int64_t base;
  if (!SeekOriginBase(origin, cursor->position, cursor->entry.dataSize, &base)) {
    return AppendLogText(text::kFileBadArgument);
  }
  // Clamped without overflow: an offset beyond either end lands on it.
  const std::int64_t size = cursor->entry.dataSize;
  const std::int64_t target = offset < -size - base ? 0 : offset > size - base ? size : base + offset;
  cursor->position = static_cast<std::uint32_t>(std::clamp<std::int64_t>(target, 0, size));
  cursor->endOfFile = 0;
  return 0;
}

std::size_t ArchiveRead(void* buffer, std::size_t elementSize, std::size_t count, FileHandle file) {
  OpenFileRecord* record = LookUp(file);
  if (record == nullptr) return 0;
  if (!record->isMember) return Win32FileRead(buffer, elementSize, count, record->plain);
  if (elementSize == 0 || count == 0) return 0;
  if (buffer == nullptr) {
    AppendLogText(text::kFileBadArgument);
    return 0;
  }
  if (count > SIZE_MAX / elementSize) {
    AppendLogText(text::kFileReadTooLarge);
    return 0;
  }
  return ReadArchiveMemberData(&record->cursor, buffer, elementSize * count) / elementSize;
}

int ArchiveEof(FileHandle file) {
  OpenFileRecord* record = LookUp(file);
  if (record == nullptr) return -1;
  if (!record->isMember) return Win32FileEof(record->plain);
  return record->cursor.endOfFile ? -1 : 0;
}

int ArchiveCheckIdle(FileHandle file) {
  OpenFileRecord* record = LookUp(file);
  if (record == nullptr) return -1;
  if (!record->isMember) return Win32FileIdleCheck(record->plain);
  MemberCursor* cursor = &record->cursor;
  if (cursor->pending == kNoPendingRead) return 1;
  if (Win32FileIdleCheck(cursor->reader->file) == 0) return 0;
  CompleteArchiveMemberRead(cursor);
  return 1;
}

int ArchiveSetCurrentDir(const char* path) { return Win32SetCurrentDir(path); }
int ArchiveGetCurrentDir(char* buffer, std::size_t bufferSize) { return Win32GetCurrentDir(buffer, bufferSize); }

int StoreArchiveExtension(const char* extension) {
  const std::size_t length = extension != nullptr ? std::strlen(extension) : 0;
  if (length == 0 || length > kArchiveExtensionMax) {
    g_extension[0] = '\0';
  } else {
    std::memcpy(g_extension, extension, length + 1);
  }
  g_cachedPrefix.clear();
  g_cachedSlot = -1;
  return 0;
}

int SetArchiveFileExtension(const char* extension) { return StoreArchiveExtension(extension); }

int SetArchivePlainFirst(int plainFirst) {
  g_plainFirst = plainFirst != 0;
  return 0;
}

int SetArchiveUseKeyString(int use) {
  g_useKeyString = use != 0;
  return 0;
}

int SetArchiveKeyString(const char* keyString) {
  CopyStringBytesMax(g_keyString, keyString != nullptr ? keyString : "", sizeof g_keyString - 1);
  return 0;
}

int ReleaseArchiveSlot() {
  for (int i = 0; i < kArchiveSlotCount; ++i) {
    if (g_archives[i] != nullptr && g_archives[i]->referenceCount < 1) CloseSlot(i);
  }
  return 0;
}

int ReleaseUnusedArchives() { return ReleaseArchiveSlot(); }
int SweepUnusedArchives() { return ReleaseArchiveSlot(); }

int GetArchiveFileLocation(ArchiveReader* reader, const char* path, std::uint32_t* offset, std::uint32_t* size) {
  if (reader == nullptr || path == nullptr || offset == nullptr || size == nullptr) return -1;
  ArchiveFileEntry entry;
  if (FindArchiveFile(reader, path, &entry) != 0) return -1;
  const bool packed = reader->header.version >= 2 && entry.packedSize != kEntryStored;
  const std::uint64_t start = std::uint64_t{reader->header.dataStart} + entry.dataOffset;
  const std::uint32_t stored = packed ? entry.packedSize : entry.dataSize;
  if (start + stored > reader->imageSize) return AppendLogText(text::kArchiveBadTable);
  *offset = static_cast<std::uint32_t>(start);
  *size = stored;
  return 0;
}

int CloseArchiveObject(ArchiveReader* reader) {
  if (reader == nullptr) return -1;
  CloseArchive(reader);
  QZ_FREE(reader);
  return 0;
}

int GetArchiveReferenceCount(const char* name) {
  const int slot = FindArchiveSlot(name);
  return slot < 0 ? -1 : g_archives[slot]->referenceCount;
}

int GetLiveArchiveCount() { return g_liveArchives; }

}  // namespace qz
