// The installed file-access table, the trampolines every library file call
// goes through, and the two read-stream interfaces (over the table and over
// memory). A caller's table may leave entries empty; calling one of those
// fails like a refused handle instead of jumping to null.
#include "core/file_access.h"
#include "core/file_access_archive.h"

namespace qz {

const FileAccessTable kPlainFileAccessTable = {
    Win32FileOpen,      Win32FileClose,     Win32FileTell,  Win32FileSeek,  Win32FileRead,
    Win32FileEof,       Win32FileIdleCheck, Win32SetCurrentDir, Win32GetCurrentDir, Win32FindFirst,
    Win32FindNext,      Win32FindClose,
};

namespace {

// Usable before the library start installs a set.
constinit FileAccessTable g_table = {
    Win32FileOpen,      Win32FileClose,     Win32FileTell,  Win32FileSeek,  Win32FileRead,
    Win32FileEof,       Win32FileIdleCheck, Win32SetCurrentDir, Win32GetCurrentDir, Win32FindFirst,
    Win32FindNext,      Win32FindClose,
};
int g_archiveAccessDisabled = 0;

std::int64_t FileStreamTell(void* stream) { return FileAccessTell(reinterpret_cast<FileHandle>(stream)); }
int FileStreamSeek(void* stream, std::int64_t offset, int origin) {
  return FileAccessSeek(reinterpret_cast<FileHandle>(stream), offset, origin);
}
std::size_t FileStreamRead(void* buffer, std::size_t elementSize, std::size_t count, void* stream) {
  return FileAccessRead(buffer, elementSize, count, reinterpret_cast<FileHandle>(stream));
}
int FileStreamEof(void* stream) { return FileAccessEof(reinterpret_cast<FileHandle>(stream)); }
int FileStreamIdleCheck(void* stream) { return FileAccessIdleCheck(reinterpret_cast<FileHandle>(stream)); }
int FileStreamClose(void* stream) { return FileAccessClose(reinterpret_cast<FileHandle>(stream)); }

std::int64_t MemoryStreamTell(void* stream) { return MemStreamTell(static_cast<MemoryStream*>(stream)); }
int MemoryStreamSeek(void* stream, std::int64_t offset, int origin) {
  return MemStreamSeek(static_cast<MemoryStream*>(stream), offset, origin);
}
std::size_t MemoryStreamRead(void* buffer, std::size_t elementSize, std::size_t count, void* stream) {
  return MemStreamRead(buffer, elementSize, count, static_cast<MemoryStream*>(stream));
}
int MemoryStreamEof(void* stream) { return MemStreamEof(static_cast<MemoryStream*>(stream)); }
int MemoryStreamIdleCheck(void* stream) { return MemStreamIdleCheck(static_cast<MemoryStream*>(stream)); }
int MemoryStreamClose(void* stream) { return CloseMemoryStream(static_cast<MemoryStream*>(stream)); }

constexpr StreamFunctionTable kFileStream = {FileStreamTell,      FileStreamSeek,  FileStreamRead,
                                             FileStreamEof,       FileStreamIdleCheck, FileStreamClose};
constexpr StreamFunctionTable kMemoryStream = {MemoryStreamTell,      MemoryStreamSeek,  MemoryStreamRead,
                                               MemoryStreamEof,       MemoryStreamIdleCheck, MemoryStreamClose};
constinit StreamFunctionTable g_fileStream = kFileStream;
constinit StreamFunctionTable g_memoryStream = kMemoryStream;

}  // namespace

int SetFileAccessTable(const FileAccessTable* table) {
  if (table != nullptr) g_table = *table;
  else g_table = g_archiveAccessDisabled ? kPlainFileAccessTable : kArchiveFileAccessTable;
  return 0;
}

const FileAccessTable& GetFileAccessTable() { return g_table; }

int SetArchiveAccessDisabled(int disabled) {
  g_archiveAccessDisabled = disabled != 0;
  return 0;
}

FileHandle FileAccessOpen(const char* path, int useCache, int reserved, int asynchronous) {
  return g_table.Open != nullptr ? g_table.Open(path, useCache, reserved, asynchronous) : 0;
}
int FileAccessClose(FileHandle file) { return g_table.Close != nullptr ? g_table.Close(file) : -1; }
std::int64_t FileAccessTell(FileHandle file) { return g_table.Tell != nullptr ? g_table.Tell(file) : -1; }
int FileAccessSeek(FileHandle file, std::int64_t offset, int origin) {
  return g_table.Seek != nullptr ? g_table.Seek(file, offset, origin) : -1;
}
std::size_t FileAccessRead(void* buffer, std::size_t elementSize, std::size_t count, FileHandle file) {
  return g_table.Read != nullptr ? g_table.Read(buffer, elementSize, count, file) : 0;
}
int FileAccessEof(FileHandle file) { return g_table.Eof != nullptr ? g_table.Eof(file) : -1; }
int FileAccessIdleCheck(FileHandle file) { return g_table.IdleCheck != nullptr ? g_table.IdleCheck(file) : -1; }
int FileAccessSetDir(const char* path) { return g_table.SetDir != nullptr ? g_table.SetDir(path) : -1; }
int FileAccessGetDir(char* buffer, std::size_t bufferSize) {
  return g_table.GetDir != nullptr ? g_table.GetDir(buffer, bufferSize) : -1;
}
FindHandle FileAccessFindFirst(const char* pattern, FindRecord* record) {
  return g_table.FindFirst != nullptr ? g_table.FindFirst(pattern, record) : -1;
}
int FileAccessFindNext(FindHandle search, FindRecord* record) {
  return g_table.FindNext != nullptr ? g_table.FindNext(search, record) : -1;
}
int FileAccessFindClose(FindHandle search) {
  return g_table.FindClose != nullptr ? g_table.FindClose(search) : -1;
}

const StreamFunctionTable* GetFileStreamInterface() { return &g_fileStream; }
const StreamFunctionTable* GetMemoryStreamInterface() { return &g_memoryStream; }

void InitStreamInterfaces() {
  g_fileStream = kFileStream;
  g_memoryStream = kMemoryStream;
}

}  // namespace qz
