// The record behind a plain-set file handle and the block its file-access
// thread works on, shared by the plain set and the thread.
#pragma once

#include <cstdint>

#include "core/file_access.h"
#include "platform/win_types.h"

namespace qz {

enum FileThreadCommand : std::int32_t {
  kFileCommandOpen = 0,
  kFileCommandClose = 1,
  kFileCommandRead = 2,
  kFileCommandSeek = 3,
  kFileCommandExit = 4,
};

inline constexpr std::uint32_t kFileReadCacheSize = 131072;
// How long the thread waits for a command before it reads ahead.
inline constexpr std::uint32_t kFileReadAheadIdleMs = 100;

// The command fields are written by the caller only after the done event is
// signalled and read by the thread only after the request event, so one
// command is in flight at a time and the events order the accesses.
struct FileWorker;

struct FileThreadBlock {
  FileWorker* worker;  // the thread serving the block; null before it starts
  plat::Handle file;  // owned by the thread
  plat::Handle requestEvent;
  plat::Handle doneEvent;
  std::int32_t command;
  std::int32_t openFailed;
  char* path;  // tracked copy, any length
  void* readDestination;
  std::uint32_t readPosition;
  std::uint32_t readBytes;  // asked for; replaced by the bytes delivered
  std::uint32_t seekTarget;
  std::uint8_t* cache;  // kFileReadCacheSize bytes, only with a read cache
  std::uint32_t cachePosition;
  std::uint32_t cacheFill;
};

struct Win32FileRecord {
  plat::Handle file;  // non-threaded files
  std::int32_t threaded;
  std::int32_t useCache;
  std::int32_t asynchronous;
  std::int32_t endOfFile;
  std::uint32_t position;
  std::uint32_t size;
  FileThreadBlock block;
};

// Serves the block's commands until its exit command or a failed open.
std::uint32_t FileAccessThreadProc(void* block);
// Puts a file-access thread on the block, a parked one when there is one:
// false when no thread could be started.
bool StartFileThread(FileThreadBlock* block);
// Waits until the block's thread has left it (its exit command sent, or its
// open failed) and parks the thread for the next file.
void LeaveFileThread(FileThreadBlock* block);

}  // namespace qz
