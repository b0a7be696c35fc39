// Opening and closing QZA archives and walking their directory tree. Offsets
// read from the archive are checked here, when they are used, against the
// header block and the file size, so no lookup leaves its buffer.
#include "core/archive_reader.h"

#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/multibyte.h"
#include "platform/clock.h"

namespace qz {
namespace {

int Refuse(const char* text) {
  AppendLogText(text);
  return -1;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Finds the key that gives the magic for the first bytes of an archive;
// false when neither the given nor the alternate key does.
bool ChooseKey(const std::uint8_t* first, std::size_t available, const char* keyString,
               std::uint8_t key[kArchiveKeySize]) {
  if (available < 2) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 0) MakeArchiveKey(keyString, key);
    else MakeAlternateArchiveKey(key);
    std::uint8_t magic[2] = {first[0], first[1]};
    ScrambleArchiveData(2, magic, 0, key);
    if (LoadLe16(magic) == kArchiveMagic) return true;
  }
  return false;
}

// Takes the header fields from unscrambled bytes and checks the version and
// every offset against the archive size. 0 or -1 (logged).
int ParseHeader(ArchiveReader* reader, const std::uint8_t* bytes, std::size_t available, std::uint64_t archiveSize) {
  if (available < kArchiveHeaderSize) return Refuse(text::kArchiveBadHeader);
  ArchiveHeader& h = reader->header;
  h.magic = LoadLe16(bytes + kHeaderMagic);
  h.version = LoadLe16(bytes + kHeaderVersion);
  if (h.version > kArchiveNewestVersion) return Refuse(text::kArchiveBadVersion);
  h.headerBlockSize = LoadLe32(bytes + kHeaderBlockSize);
  h.dataStart = LoadLe32(bytes + kHeaderDataStart);
  h.headerBlockOffset = LoadLe32(bytes + kHeaderBlockOffset);
  h.fileTableOffset = LoadLe32(bytes + kHeaderFileTable);
  h.directoryTableOffset = LoadLe32(bytes + kHeaderDirectoryTable);
  reader->codePage = 0;
  reader->charset = 0;
  if (h.version == 4) {
    if (available < kArchiveHeaderSizeV4) return Refuse(text::kArchiveBadHeader);
    reader->codePage = LoadLe32(bytes + kHeaderCodePage);
    reader->charset = ArchiveCharsetFromCodePage(reader->codePage);
  }
  const std::uint64_t blockEnd = std::uint64_t{h.headerBlockOffset} + h.headerBlockSize;
  if (blockEnd > archiveSize || h.dataStart > archiveSize || h.fileTableOffset > h.headerBlockSize ||
      std::uint64_t{h.directoryTableOffset} + kDirectoryRecordSize > h.headerBlockSize) {
    return Refuse(text::kArchiveBadHeader);
  }
  reader->imageSize = archiveSize;
  return 0;
}

// The root's entries must lie in the file table for the archive to open.
int CheckRoot(const ArchiveReader* reader) {
  return GetArchiveDirectorySize(reader, 0) < 0 ? Refuse(text::kArchiveBadTable) : 0;
}

void WaitFileIdle(FileHandle file) {
  while (Win32FileIdleCheck(file) == 0) plat::Sleep(0);
}

std::int64_t FileSize(FileHandle file) {
  if (Win32FileSeek(file, 0, 2) != 0) return -1;
  const std::int64_t size = Win32FileTell(file);
  return Win32FileSeek(file, 0, 0) == 0 ? size : -1;
}

// The steps both file opens share: open for asynchronous reading, choose
// the key, read the header and the header block. 0 or -1 (file closed).
int OpenFileAndHeader(ArchiveReader* reader, const char* path, const char* keyString) {
  const FileHandle file = Win32FileOpen(path, 0, 1, 1);
  if (file == 0) return -1;
  const std::int64_t size = FileSize(file);
  std::uint8_t head[kArchiveHeaderSizeV4] = {};
  const std::size_t headBytes = size < 0 ? 0 : size < static_cast<std::int64_t>(sizeof head)
                                                   ? static_cast<std::size_t>(size)
                                                   : sizeof head;
  int result = size < 0 || Win32FileRead(head, 1, headBytes, file) != headBytes ? Refuse(text::kArchiveReadFailed) : 0;
  if (result == 0) WaitFileIdle(file);
  if (result == 0 && !ChooseKey(head, headBytes, keyString, reader->key)) result = Refuse(text::kArchiveBadMagic);
  if (result == 0) {
    ScrambleArchiveData(headBytes, head, 0, reader->key);
    result = ParseHeader(reader, head, headBytes, static_cast<std::uint64_t>(size));
  }
  if (result == 0) {
    reader->headerBlock = static_cast<std::uint8_t*>(QZ_ALLOC(reader->header.headerBlockSize + 1u));
    if (reader->headerBlock == nullptr) result = Refuse(text::kArchiveAllocFailed);
  }
  if (result == 0) {
    result = ReadArchiveScrambled(file, reader->headerBlock, reader->header.headerBlockSize,
                                  reader->header.headerBlockOffset, reader->key);
    if (result != 0) AppendLogText(text::kArchiveReadFailed);
  }
  if (result == 0) result = CheckRoot(reader);
  if (result != 0) {
    QZ_FREE(reader->headerBlock);
    Win32FileClose(file);
    InitArchiveRecord(reader);
    return -1;
  }
  reader->file = file;
  return 0;
}

// Offsets of a directory record's fields, checked against the table.
bool DirectoryRecord(const ArchiveReader* reader, std::uint32_t directory, const std::uint8_t** record) {
  const ArchiveHeader& h = reader->header;
  if (reader->headerBlock == nullptr ||
      std::uint64_t{h.directoryTableOffset} + directory + kDirectoryRecordSize > h.headerBlockSize) {
    return false;
  }
  *record = reader->headerBlock + h.directoryTableOffset + directory;
  return true;
}

bool IsDotName(const char* p, std::size_t length) {
  return (length == 1 && p[0] == '.') || (length == 2 && p[0] == '.' && p[1] == '.');
}

}  // namespace

void InitArchiveRecord(ArchiveReader* reader) { std::memset(reader, 0, sizeof *reader); }

int ReadArchiveScrambled(FileHandle file, void* buffer, std::size_t size, std::int64_t position,
                         const std::uint8_t key[kArchiveKeySize]) {
  if (position >= 0 && Win32FileTell(file) != position && Win32FileSeek(file, position, 0) != 0) return -1;
  const std::int64_t at = Win32FileTell(file);
  if (size == 0) return 0;
  if (at < 0 || Win32FileRead(buffer, 1, size, file) != size) return -1;
  WaitFileIdle(file);
  ScrambleArchiveData(size, buffer, static_cast<std::uint64_t>(at), key);
  return 0;
}

int OpenArchiveFromMemory(ArchiveReader* reader, void* image, std::size_t imageSize, const char* keyString) {
  InitArchiveRecord(reader);
  auto* bytes = static_cast<std::uint8_t*>(image);
  if (bytes == nullptr || imageSize < kArchiveHeaderSize) return Refuse(text::kArchiveBadHeader);
  if (!ChooseKey(bytes, imageSize, keyString, reader->key)) {
    InitArchiveRecord(reader);
    return Refuse(text::kArchiveBadMagic);
  }
  ScrambleArchiveData(imageSize, bytes, 0, reader->key);
  if (ParseHeader(reader, bytes, imageSize, imageSize) != 0) {
    ScrambleArchiveData(imageSize, bytes, 0, reader->key);
    InitArchiveRecord(reader);
    return -1;
  }
  reader->image = bytes;
  reader->headerBlock = bytes + reader->header.headerBlockOffset;
  reader->inMemory = 1;
  reader->callerImage = 1;
  if (CheckRoot(reader) != 0) {
    ScrambleArchiveData(imageSize, bytes, 0, reader->key);
    InitArchiveRecord(reader);
    return -1;
  }
  return 0;
}

int OpenArchiveFileToMemory(ArchiveReader* reader, const char* path, const char* keyString, int asynchronous) {
  InitArchiveRecord(reader);
  if (OpenFileAndHeader(reader, path, keyString) != 0) return -1;
  const FileHandle file = reader->file;
  reader->file = 0;
  reader->image = static_cast<std::uint8_t*>(QZ_ALLOC(reader->imageSize + 1));
  if (reader->image == nullptr || Win32FileSeek(file, 0, 0) != 0 ||
      Win32FileRead(reader->image, 1, reader->imageSize, file) != reader->imageSize) {
    AppendLogText(reader->image == nullptr ? text::kArchiveAllocFailed : text::kArchiveReadFailed);
    WaitFileIdle(file);
    Win32FileClose(file);
    QZ_FREE(reader->image);
    QZ_FREE(reader->headerBlock);
    InitArchiveRecord(reader);
    return -1;
  }
  reader->inMemory = 1;
  reader->loadingFile = file;
  reader->loadPending = 1;
  if (!asynchronous) WaitArchiveReady(reader);
  return 0;
}

int OpenArchiveFileStreamed(ArchiveReader* reader, const char* path, const char* keyString) {
  InitArchiveRecord(reader);
  return OpenFileAndHeader(reader, path, keyString);
}

int PollArchiveFileLoad(ArchiveReader* reader) {
  if (!reader->loadPending) return 1;
  if (Win32FileIdleCheck(reader->loadingFile) == 0) return 0;
  Win32FileClose(reader->loadingFile);
  reader->loadingFile = 0;
  ScrambleArchiveData(reader->imageSize, reader->image, 0, reader->key);
  reader->loadPending = 0;
  return 1;
}

void WaitArchiveReady(ArchiveReader* reader) {
  while (PollArchiveFileLoad(reader) == 0) plat::Sleep(0);
}

int CloseArchive(ArchiveReader* reader) {
  WaitArchiveReady(reader);
  if (reader->callerImage) {
    ScrambleArchiveData(reader->imageSize, reader->image, 0, reader->key);
  } else {
    if (reader->file != 0) Win32FileClose(reader->file);
    QZ_FREE(reader->headerBlock);
    QZ_FREE(reader->image);
  }
  InitArchiveRecord(reader);
  return 0;
}

std::int64_t GetArchiveDirectorySize(const ArchiveReader* reader, std::uint32_t directory) {
  const std::uint8_t* record = nullptr;
  if (!DirectoryRecord(reader, directory, &record)) return -1;
  const ArchiveHeader& h = reader->header;
  const std::uint64_t count = LoadLe32(record + kDirectoryCount);
  const std::uint64_t first = LoadLe32(record + kDirectoryFirstEntry);
  const std::uint64_t tableSize = h.headerBlockSize - h.fileTableOffset;
  if (first + count * ArchiveEntrySize(h.version) > tableSize) return -1;
  return static_cast<std::int64_t>(count);
}

std::uint32_t GetArchiveParentDirectory(const ArchiveReader* reader, std::uint32_t directory) {
  const std::uint8_t* record = nullptr;
  return DirectoryRecord(reader, directory, &record) ? LoadLe32(record + kDirectoryParent) : kNoParent;
}

bool GetArchiveDirectoryEntry(const ArchiveReader* reader, std::uint32_t directory, std::uint32_t index,
                              ArchiveFileEntry* entry) {
  const std::int64_t count = GetArchiveDirectorySize(reader, directory);
  const std::uint8_t* record = nullptr;
  if (count < 0 || index >= count || !DirectoryRecord(reader, directory, &record)) return false;
  const std::size_t entrySize = ArchiveEntrySize(reader->header.version);
  const std::uint32_t offset = LoadLe32(record + kDirectoryFirstEntry) + index * static_cast<std::uint32_t>(entrySize);
  const std::uint8_t* p = reader->headerBlock + reader->header.fileTableOffset + offset;
  entry->tableOffset = offset;
  entry->nameOffset = LoadLe32(p + kEntryNameOffset);
  entry->attributes = LoadLe32(p + kEntryAttributes);
  entry->creationTime = {LoadLe32(p + kEntryCreationTime), LoadLe32(p + kEntryCreationTime + 4)};
  entry->lastWriteTime = {LoadLe32(p + kEntryLastWriteTime), LoadLe32(p + kEntryLastWriteTime + 4)};
  entry->dataOffset = LoadLe32(p + kEntryDataOffset);
  entry->dataSize = LoadLe32(p + kEntryDataSize);
  entry->packedSize = reader->header.version >= 2 ? LoadLe32(p + kEntryPackedSize) : kEntryStored;
  return true;
}

const std::uint8_t* GetArchiveSearchForm(const ArchiveReader* reader, const ArchiveFileEntry& entry,
                                         std::uint16_t* units) {
  const std::uint64_t blockSize = reader->header.headerBlockSize;
  if (std::uint64_t{entry.nameOffset} + kNameRecordHead > blockSize) return nullptr;
  const std::uint8_t* record = reader->headerBlock + entry.nameOffset;
  *units = LoadLe16(record);
  if (std::uint64_t{entry.nameOffset} + kNameRecordHead + *units * 4u > blockSize) return nullptr;
  return record + kNameRecordHead;
}

bool GetArchiveStoredName(const ArchiveReader* reader, const ArchiveFileEntry& entry, char* out, std::size_t size) {
  std::uint16_t units;
  const std::uint8_t* form = GetArchiveSearchForm(reader, entry, &units);
  if (form == nullptr || size == 0) return false;
  const std::uint8_t* name = form + units * 4u;
  const std::uint8_t* blockEnd = reader->headerBlock + reader->header.headerBlockSize;
  std::size_t length = 0;
  while (name + length < blockEnd && name[length] != 0 && length + 1 < size) ++length;
  std::memcpy(out, name, length);
  out[length] = '\0';
  return true;
}

int SearchArchiveDirectory(ArchiveReader* reader, const ArchiveSearchName& search, int wantFile,
                           ArchiveFileEntry* found) {
  WaitArchiveReady(reader);
  const std::int64_t count = GetArchiveDirectorySize(reader, reader->currentDirectory);
  for (std::int64_t i = 0; i < count; ++i) {
    ArchiveFileEntry entry;
    if (!GetArchiveDirectoryEntry(reader, reader->currentDirectory, static_cast<std::uint32_t>(i), &entry)) break;
    const bool isDirectory = (entry.attributes & kAttributeDirectory) != 0;
    if (isDirectory == (wantFile != 0)) continue;
    if (std::uint64_t{entry.nameOffset} + kNameRecordHead > reader->header.headerBlockSize) continue;
    const std::uint8_t* record = reader->headerBlock + entry.nameOffset;
    if (LoadLe16(record) != search.units || LoadLe16(record + 2) != search.checkSum) continue;
    std::uint16_t units;
    const std::uint8_t* form = GetArchiveSearchForm(reader, entry, &units);
    if (form == nullptr || std::memcmp(form, search.form, units * 4u) != 0) continue;
    if (isDirectory) {
      if (GetArchiveDirectorySize(reader, entry.dataOffset) < 0) return Refuse(text::kArchiveBadTable);
      reader->currentDirectory = entry.dataOffset;
    }
    if (found != nullptr) *found = entry;
    return 0;
  }
  return -1;
}

int FindArchiveEntry(ArchiveReader* reader, const char* path, int restore, ArchiveSearchName* failed) {
  WaitArchiveReady(reader);
  const std::uint32_t start = reader->currentDirectory;
  const char* p = path;
  if (IsSeparator(path[0])) {
    reader->currentDirectory = 0;
    ++p;
  }
  while (*p != '\0') {
    ArchiveSearchName search;
    const bool made = MakeArchiveSearchName(p, reader->charset, &search);
    const std::size_t length = made ? search.consumed : std::strcspn(p, "\\/");
    int result = 0;
    if (IsDotName(p, length)) {
      if (length == 2) {
        const std::uint32_t parent = GetArchiveParentDirectory(reader, reader->currentDirectory);
        if (parent == kNoParent || GetArchiveDirectorySize(reader, parent) < 0) result = -1;
        else reader->currentDirectory = parent;
      }
    } else if (length == 0 || !made || SearchArchiveDirectory(reader, search, 0, nullptr) != 0) {
      result = -1;
    }
    if (result != 0) {
      if (failed != nullptr && made) *failed = search;
      if (restore) reader->currentDirectory = start;
      return -1;
    }
    p += length;
    if (IsSeparator(*p)) ++p;
  }
  return 0;
}

std::size_t SplitArchivePath(const char* path, int charset, const char** name) {
  std::size_t cut = 0;
  bool any = false;
  for (std::size_t i = 0; path[i] != '\0'; ++i) {
    if (IsLeadByte(charset, static_cast<unsigned char>(path[i])) && path[i + 1] != '\0') {
      ++i;
    } else if (IsSeparator(path[i])) {
      cut = i;
      any = true;
    }
  }
  *name = any ? path + cut + 1 : path;
  return cut;
}

int FindArchiveFile(ArchiveReader* reader, const char* path, ArchiveFileEntry* entry) {
  WaitArchiveReady(reader);
  reader->currentDirectory = 0;
  const char* name;
  const std::size_t directoryLength = SplitArchivePath(path, reader->charset, &name);
  int result = 0;
  if (name != path) {
    // The directory part without its separator, walked as one path.
    char* directory = static_cast<char*>(QZ_ALLOC(directoryLength + 2));
    if (directory == nullptr) return Refuse(text::kArchiveAllocFailed);
    std::memcpy(directory, path, directoryLength);
    directory[directoryLength] = '\0';
    if (directoryLength == 0) {
      directory[0] = '\\';
      directory[1] = '\0';
    }
    result = FindArchiveEntry(reader, directory, 0, nullptr);
    QZ_FREE(directory);
  }
  ArchiveSearchName search;
  if (result == 0 && (name[0] == '\0' || !MakeArchiveSearchName(name, reader->charset, &search) ||
                      SearchArchiveDirectory(reader, search, 1, entry) != 0)) {
    result = -1;
  }
  reader->currentDirectory = 0;
  return result;
}

}  // namespace qz
