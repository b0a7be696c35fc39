// The plain file set: files read directly through the platform, or through a
// file-access thread (one a file, kept for the next file) when a read cache or
// asynchronous reading is asked for. Handles are record pointers; every live handle is registered, so
// a stale, doubled or made-up handle is refused instead of followed.
#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "core/file_access.h"
#include "core/file_access_record.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "platform/sync.h"

namespace qz {
namespace {

enum class LiveKind { kFile, kSearch };

std::mutex g_liveMutex;
std::unordered_map<std::intptr_t, LiveKind> g_live;

void Register(std::intptr_t handle, LiveKind kind) {
  std::lock_guard<std::mutex> lock(g_liveMutex);
  g_live[handle] = kind;
}

bool IsLive(std::intptr_t handle, LiveKind kind) {
  std::lock_guard<std::mutex> lock(g_liveMutex);
  const auto found = g_live.find(handle);
  return found != g_live.end() && found->second == kind;
}

bool Unregister(std::intptr_t handle, LiveKind kind) {
  std::lock_guard<std::mutex> lock(g_liveMutex);
  const auto found = g_live.find(handle);
  if (found == g_live.end() || found->second != kind) return false;
  g_live.erase(found);
  return true;
}

Win32FileRecord* LookUpFile(FileHandle file) {
  if (!IsLive(file, LiveKind::kFile)) {
    AppendLogText(text::kFileBadHandle);
    return nullptr;
  }
  return reinterpret_cast<Win32FileRecord*>(file);
}

void WaitUntilDone(FileThreadBlock* block) { plat::WaitForSingleObject(block->doneEvent, plat::INFINITE); }

void SendCommand(FileThreadBlock* block, FileThreadCommand command) {
  block->command = command;
  plat::ResetEvent(block->doneEvent);
  plat::SetEvent(block->requestEvent);
}

// Logs why nothing was returned; for the results that are 0 on failure.
std::size_t LogAndReturnZero(const char* text) {
  AppendLogText(text);
  return 0;
}

plat::Handle OpenForReading(const char* path) {
  return plat::CreateFileA(path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING,
                           plat::FILE_ATTRIBUTE_NORMAL);
}

// Releases whatever a threaded record holds once its thread has left it or was
// never made.
void ReleaseThreadBlock(FileThreadBlock* block) {
  if (block->worker != nullptr) LeaveFileThread(block);
  if (block->requestEvent != nullptr) plat::CloseHandle(block->requestEvent);
  if (block->doneEvent != nullptr) plat::CloseHandle(block->doneEvent);
  QZ_FREE(block->cache);
  QZ_FREE(block->path);
}

FileHandle OpenThreaded(Win32FileRecord* record, const char* path) {
  FileThreadBlock* block = &record->block;
  // The size is read here, once; the thread then owns its own handle.
  plat::Handle probe = OpenForReading(path);
  if (probe == plat::INVALID_HANDLE_VALUE) {
    QZ_FREE(record);
    return LogAndReturnZero(text::kFileOpenFailed);
  }
  record->size = plat::GetFileSize(probe, nullptr);
  plat::CloseHandle(probe);

  if (record->useCache) {
    block->cache = static_cast<std::uint8_t*>(QZ_ALLOC(kFileReadCacheSize));
    if (block->cache == nullptr) {
      QZ_FREE(record);
      return LogAndReturnZero(text::kFileCacheAllocFailed);
    }
  }
  const std::size_t pathBytes = std::strlen(path) + 1;
  block->path = static_cast<char*>(QZ_ALLOC(pathBytes));
  if (block->path != nullptr) std::memcpy(block->path, path, pathBytes);
  block->requestEvent = plat::CreateEventA(plat::TRUE, plat::FALSE);
  block->doneEvent = plat::CreateEventA(plat::TRUE, plat::TRUE);
  if (block->path == nullptr || block->requestEvent == nullptr || block->doneEvent == nullptr ||
      !StartFileThread(block)) {
    ReleaseThreadBlock(block);
    QZ_FREE(record);
    return LogAndReturnZero(text::kFileThreadCreateFailed);
  }

  SendCommand(block, kFileCommandOpen);
  WaitUntilDone(block);
  if (block->openFailed) {
    ReleaseThreadBlock(block);
    QZ_FREE(record);
    return LogAndReturnZero(text::kFileOpenFailed);
  }
  return reinterpret_cast<FileHandle>(record);
}

}  // namespace

FileHandle Win32FileOpen(const char* path, int useCache, int /*reserved*/, int asynchronous) {
  if (path == nullptr || path[0] == '\0') return LogAndReturnZero(text::kFileBadArgument);
  auto* record = static_cast<Win32FileRecord*>(QZ_ALLOC_ZEROED(sizeof(Win32FileRecord)));
  if (record == nullptr) return 0;
  record->useCache = useCache != 0;
  record->asynchronous = asynchronous != 0;
  record->threaded = record->useCache || record->asynchronous;

  FileHandle handle;
  if (record->threaded) {
    handle = OpenThreaded(record, path);
    if (handle == 0) return 0;
  } else {
    record->file = OpenForReading(path);
    if (record->file == plat::INVALID_HANDLE_VALUE) {
      QZ_FREE(record);
      return 0;
    }
    record->size = plat::GetFileSize(record->file, nullptr);
    handle = reinterpret_cast<FileHandle>(record);
  }
  record->position = 0;
  record->endOfFile = 0;
  Register(handle, LiveKind::kFile);
  return handle;
}

int Win32FileClose(FileHandle file) {
  Win32FileRecord* record = LookUpFile(file);
  if (record == nullptr || !Unregister(file, LiveKind::kFile)) return -1;
  int result = 0;
  if (record->threaded) {
    FileThreadBlock* block = &record->block;
    WaitUntilDone(block);
    SendCommand(block, kFileCommandExit);
    WaitUntilDone(block);
    ReleaseThreadBlock(block);
  } else if (!plat::CloseHandle(record->file)) {
    result = -1;
  }
  QZ_FREE(record);
  return result;
}

std::int64_t Win32FileTell(FileHandle file) {
  const Win32FileRecord* record = LookUpFile(file);
  return record == nullptr ? -1 : static_cast<std::int64_t>(record->position);
}

int Win32FileSeek(FileHandle file, std::int64_t offset, int origin) {
  Win32FileRecord* record = LookUpFile(file);
  if (record == nullptr) return -1;
  std::int64_t base;
  if (!SeekOriginBase(origin, record->position, record->size, &base)) return AppendLogText(text::kFileBadArgument);
  // Positions are 32-bit; beyond the end is allowed (reads there find the end).
  constexpr std::int64_t kMaxPosition = std::numeric_limits<std::uint32_t>::max();
  if (offset < -kMaxPosition || offset > kMaxPosition || base + offset < 0 || base + offset > kMaxPosition) {
    return AppendLogText(text::kFileSeekOutOfRange);
  }
  const auto target = static_cast<std::uint32_t>(base + offset);
  if (record->threaded) {
    FileThreadBlock* block = &record->block;
    WaitUntilDone(block);
    block->seekTarget = target;
    SendCommand(block, kFileCommandSeek);
  } else {
    std::int32_t high = 0;
    if (plat::SetFilePointer(record->file, static_cast<std::int32_t>(target), &high, plat::FILE_BEGIN) !=
            target ||
        high != 0) {
      return static_cast<int>(plat::INVALID_SET_FILE_POINTER);
    }
  }
  record->position = target;
  record->endOfFile = 0;
  return 0;
}

std::size_t Win32FileRead(void* buffer, std::size_t elementSize, std::size_t count, FileHandle file) {
  Win32FileRecord* record = LookUpFile(file);
  if (record == nullptr || elementSize == 0 || count == 0) return 0;
  if (buffer == nullptr) return LogAndReturnZero(text::kFileBadArgument);
  if (count > std::numeric_limits<std::size_t>::max() / elementSize) return LogAndReturnZero(text::kFileReadTooLarge);
  // A position at or past the end (a seek may go there) is the end; the
  // bytes left are never computed from it.
  if (record->position >= record->size) {
    record->endOfFile = 1;
    return 0;
  }
  const std::size_t left = record->size - record->position;
  if (elementSize * count > left) count = left / elementSize;
  if (count == 0) {
    record->endOfFile = 1;
    return 0;
  }
  const auto bytes = static_cast<std::uint32_t>(elementSize * count);

  if (!record->threaded) {
    std::uint32_t got = 0;
    plat::ReadFile(record->file, buffer, bytes, &got);
    record->position += got;
    return got / elementSize;
  }
  FileThreadBlock* block = &record->block;
  WaitUntilDone(block);
  block->readDestination = buffer;
  block->readPosition = record->position;
  block->readBytes = bytes;
  SendCommand(block, kFileCommandRead);
  if (record->asynchronous) {
    // The bytes arrive later; the caller polls IdleCheck before using them.
    record->position += bytes;
    return count;
  }
  WaitUntilDone(block);
  record->position += block->readBytes;
  return block->readBytes / elementSize;
}

int Win32FileEof(FileHandle file) {
  const Win32FileRecord* record = LookUpFile(file);
  if (record == nullptr) return -1;
  return record->endOfFile ? -1 : 0;
}

int Win32FileIdleCheck(FileHandle file) {
  const Win32FileRecord* record = LookUpFile(file);
  if (record == nullptr) return -1;
  if (!record->threaded) return 1;
  return plat::WaitForSingleObject(record->block.doneEvent, 0) == plat::WAIT_OBJECT_0 ? 1 : 0;
}

int Win32SetCurrentDir(const char* path) {
  if (path == nullptr || path[0] == '\0') return AppendLogText(text::kFileBadArgument);
  return plat::SetCurrentDirectoryA(path) ? 0 : -1;
}

int Win32GetCurrentDir(char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return AppendLogText(text::kFileBadArgument);
  const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(bufferSize, 0xFFFFFFFFu));
  const std::uint32_t length = plat::GetCurrentDirectoryA(size, buffer);
  if (length == 0 || length >= size) {
    buffer[0] = '\0';
    return length == 0 ? -1 : AppendLogText(text::kFileDirTooLong);
  }
  return 0;
}

FindHandle Win32FindFirst(const char* pattern, FindRecord* record) {
  if (pattern == nullptr || record == nullptr) return AppendLogText(text::kFileBadArgument);
  plat::FindData data;
  const plat::Handle search = plat::FindFirstFileA(pattern, &data);
  if (search == plat::INVALID_HANDLE_VALUE) return -1;
  FillFindRecord(&data, record);
  const auto handle = reinterpret_cast<FindHandle>(search);
  Register(handle, LiveKind::kSearch);
  return handle;
}

int Win32FindNext(FindHandle search, FindRecord* record) {
  if (!IsLive(search, LiveKind::kSearch)) return AppendLogText(text::kFileBadFindHandle);
  if (record == nullptr) return AppendLogText(text::kFileBadArgument);
  plat::FindData data;
  if (!plat::FindNextFileA(reinterpret_cast<plat::Handle>(search), &data)) return -1;
  FillFindRecord(&data, record);
  return 0;
}

int Win32FindClose(FindHandle search) {
  if (!Unregister(search, LiveKind::kSearch)) return AppendLogText(text::kFileBadFindHandle);
  return plat::FindClose(reinterpret_cast<plat::Handle>(search)) ? 0 : -1;
}

}  // namespace qz
