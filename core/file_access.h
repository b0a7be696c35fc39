// The file-access table: twelve replaceable operations through which the
// library opens and reads every file. The plain set reads files directly (with
// a thread of its own per file opened with a read cache or asynchronously);
// the archive-aware set also finds members of archives; a caller may install
// its own. Beside it stand two read streams with one interface: over the
// table, and over a block in memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace qz {

// A file of the installed set; 0 on failure (not -1).
using FileHandle = std::intptr_t;
// A search of the installed set; -1 on failure.
using FindHandle = std::intptr_t;

struct DateTimeRecord {
  std::int32_t year;
  std::int32_t month;
  std::int32_t day;
  std::int32_t hour;
  std::int32_t minute;
  std::int32_t second;
};

struct FindRecord {
  char name[260];
  std::int32_t isDirectory;
  std::uint32_t sizeLow;
  std::uint32_t sizeHigh;
  DateTimeRecord creationTime;  // local time
  DateTimeRecord lastWriteTime;
};

struct FileAccessTable {
  FileHandle (*Open)(const char* path, int useCache, int reserved, int asynchronous);
  int (*Close)(FileHandle file);
  std::int64_t (*Tell)(FileHandle file);
  // origin 0 start, 1 current, 2 end
  int (*Seek)(FileHandle file, std::int64_t offset, int origin);
  std::size_t (*Read)(void* buffer, std::size_t elementSize, std::size_t count, FileHandle file);
  int (*Eof)(FileHandle file);
  // 1 when no asynchronous request is pending
  int (*IdleCheck)(FileHandle file);
  int (*SetDir)(const char* path);
  // 0, or -1 when the directory does not fit (logged).
  int (*GetDir)(char* buffer, std::size_t bufferSize);
  FindHandle (*FindFirst)(const char* pattern, FindRecord* record);
  int (*FindNext)(FindHandle search, FindRecord* record);
  int (*FindClose)(FindHandle search);
};

// The position a seek counts from: origin 0 the start, 1 the current
// position, 2 the end. False for any other origin.
inline bool SeekOriginBase(int origin, std::int64_t position, std::int64_t size, std::int64_t* base) {
  if (origin < 0 || origin > 2) return false;
  *base = origin == 0 ? 0 : origin == 1 ? position : size;
  return true;
}

// Ends the file-access threads kept parked for the next threaded open (the
// library end calls it, so no thread outlives it).
void EndParkedFileThreads();

// A non-null table is copied whole; null installs the archive-aware set, or
// the plain set while archives are switched off.
int SetFileAccessTable(const FileAccessTable* table);
const FileAccessTable& GetFileAccessTable();
int SetArchiveAccessDisabled(int disabled);

FileHandle FileAccessOpen(const char* path, int useCache, int reserved, int asynchronous);
int FileAccessClose(FileHandle file);
std::int64_t FileAccessTell(FileHandle file);
int FileAccessSeek(FileHandle file, std::int64_t offset, int origin);
std::size_t FileAccessRead(void* buffer, std::size_t elementSize, std::size_t count, FileHandle file);
int FileAccessEof(FileHandle file);
int FileAccessIdleCheck(FileHandle file);
int FileAccessSetDir(const char* path);
int FileAccessGetDir(char* buffer, std::size_t bufferSize);
FindHandle FileAccessFindFirst(const char* pattern, FindRecord* record);
int FileAccessFindNext(FindHandle search, FindRecord* record);
int FileAccessFindClose(FindHandle search);

// The plain set.
FileHandle Win32FileOpen(const char* path, int useCache, int reserved, int asynchronous);
int Win32FileClose(FileHandle file);
std::int64_t Win32FileTell(FileHandle file);
int Win32FileSeek(FileHandle file, std::int64_t offset, int origin);
std::size_t Win32FileRead(void* buffer, std::size_t elementSize, std::size_t count, FileHandle file);
int Win32FileEof(FileHandle file);
int Win32FileIdleCheck(FileHandle file);
int Win32SetCurrentDir(const char* path);
int Win32GetCurrentDir(char* buffer, std::size_t bufferSize);
FindHandle Win32FindFirst(const char* pattern, FindRecord* record);
int Win32FindNext(FindHandle search, FindRecord* record);
int Win32FindClose(FindHandle search);
extern const FileAccessTable kPlainFileAccessTable;

// Read streams: six operations over an opaque stream.
struct StreamFunctionTable {
  std::int64_t (*Tell)(void* stream);
  int (*Seek)(void* stream, std::int64_t offset, int origin);
  std::size_t (*Read)(void* buffer, std::size_t elementSize, std::size_t count, void* stream);
  int (*Eof)(void* stream);
  int (*IdleCheck)(void* stream);
  int (*Close)(void* stream);
};

// Over the file-access table; the stream is a FileHandle cast to void*.
const StreamFunctionTable* GetFileStreamInterface();
// Over a MemoryStream.
const StreamFunctionTable* GetMemoryStreamInterface();
// Fills both interfaces (done by the library start; harmless to repeat).
void InitStreamInterfaces();

struct MemoryStream {
  const std::uint8_t* data;
  std::uint32_t size;
  std::uint32_t position;
  std::int32_t endOfFile;
};

// Null on failure. The stream does not own the data.
MemoryStream* OpenMemoryStream(const void* data, std::size_t size);
int CloseMemoryStream(MemoryStream* stream);
std::int64_t MemStreamTell(MemoryStream* stream);
int MemStreamSeek(MemoryStream* stream, std::int64_t offset, int origin);
// With less than one element left it copies the bytes left and returns 1;
// only those bytes of the element are valid.
std::size_t MemStreamRead(void* buffer, std::size_t elementSize, std::size_t count, MemoryStream* stream);
int MemStreamEof(MemoryStream* stream);
int MemStreamIdleCheck(MemoryStream* stream);

// Helpers over the installed table.
FileHandle OpenFileForRead(const char* path, int asynchronous);
std::size_t ReadFileBytes(void* buffer, std::size_t size, FileHandle file);
// 1 when the position is at the end (the position is kept), else 0.
int IsFilePositionAtEnd(FileHandle file);
// Reads one CR LF line (without it) into the buffer: the line length, or -1 at
// the end (buffer untouched). An overlong line continues in the next call.
int ReadFileLine(char* buffer, int bufferSize, FileHandle file);
// A new empty temporary file open for writing; its library-form path is
// copied out when asked. Null on failure.
plat::Handle CreateTempFile(char* pathOut, std::size_t pathOutSize);
void FillFindRecord(const plat::FindData* findData, FindRecord* record);

}  // namespace qz
