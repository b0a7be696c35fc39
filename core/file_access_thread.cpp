// The file-access thread of a plain-set file opened with a read cache or for
// asynchronous reading: it owns the file, serves one command at a time and,
// with a cache, reads ahead while the caller leaves it idle, so sequential
// reads are served from memory.
#include <algorithm>
#include <cstring>

#include "core/file_access_record.h"
#include "platform/file.h"
#include "platform/sync.h"

namespace qz {
namespace {

bool SeekFileTo(plat::Handle file, std::uint32_t position) {
  std::int32_t high = 0;
  return plat::SetFilePointer(file, static_cast<std::int32_t>(position), &high, plat::FILE_BEGIN) == position &&
         high == 0;
}

// Where the cached bytes start inside the cache buffer; kept beside the block
// so a read takes bytes from the front without moving the rest.
struct CacheCursor {
  std::uint32_t offset = 0;
};

void RestartCache(FileThreadBlock* block, CacheCursor* cursor, std::uint32_t position) {
  block->cachePosition = position;
  block->cacheFill = 0;
  cursor->offset = 0;
}

// Drops cached bytes before `position`; false when it is not inside the cache.
bool AdvanceCacheTo(FileThreadBlock* block, CacheCursor* cursor, std::uint32_t position) {
  if (position < block->cachePosition || position - block->cachePosition >= block->cacheFill) return false;
  const std::uint32_t skip = position - block->cachePosition;
  block->cachePosition += skip;
  block->cacheFill -= skip;
  cursor->offset += skip;
  return true;
}

void ReadAhead(FileThreadBlock* block, CacheCursor* cursor) {
  if (block->file == nullptr || block->cacheFill >= kFileReadCacheSize) return;
  if (cursor->offset + block->cacheFill >= kFileReadCacheSize) {
    std::memmove(block->cache, block->cache + cursor->offset, block->cacheFill);
    cursor->offset = 0;
  }
  if (!SeekFileTo(block->file, block->cachePosition + block->cacheFill)) return;
  std::uint32_t got = 0;
  const std::uint32_t room = kFileReadCacheSize - cursor->offset - block->cacheFill;
  plat::ReadFile(block->file, block->cache + cursor->offset + block->cacheFill, room, &got);
  block->cacheFill += got;
}

void ServeRead(FileThreadBlock* block, CacheCursor* cursor) {
  auto* destination = static_cast<std::uint8_t*>(block->readDestination);
  std::uint32_t position = block->readPosition;
  std::uint32_t wanted = block->readBytes;
  std::uint32_t delivered = 0;
  if (block->cache != nullptr && AdvanceCacheTo(block, cursor, position)) {
    const std::uint32_t take = std::min(wanted, block->cacheFill);
    std::memcpy(destination, block->cache + cursor->offset, take);
    destination += take;
    position += take;
    wanted -= take;
    delivered += take;
    block->cachePosition += take;
    block->cacheFill -= take;
    cursor->offset = block->cacheFill == 0 ? 0 : cursor->offset + take;
  }
  if (wanted > 0) {
    std::uint32_t got = 0;
    if (SeekFileTo(block->file, position)) plat::ReadFile(block->file, destination, wanted, &got);
    delivered += got;
    if (block->cache != nullptr) RestartCache(block, cursor, position + got);
  }
  block->readBytes = delivered;
}

void ServeSeek(FileThreadBlock* block, CacheCursor* cursor) {
  SeekFileTo(block->file, block->seekTarget);
  if (block->cache != nullptr && !AdvanceCacheTo(block, cursor, block->seekTarget)) {
    RestartCache(block, cursor, block->seekTarget);
  }
}

void CloseFile(FileThreadBlock* block) {
  if (block->file != nullptr) plat::CloseHandle(block->file);
  block->file = nullptr;
}

}  // namespace

std::uint32_t FileAccessThreadProc(void* argument) {
  auto* block = static_cast<FileThreadBlock*>(argument);
  CacheCursor cursor;
  for (;;) {
    const std::uint32_t timeout = block->cache != nullptr ? kFileReadAheadIdleMs : plat::INFINITE;
    const std::uint32_t woke = plat::WaitForSingleObject(block->requestEvent, timeout);
    if (woke == plat::WAIT_TIMEOUT) {
      ReadAhead(block, &cursor);
      continue;
    }
    plat::ResetEvent(block->requestEvent);
    plat::ResetEvent(block->doneEvent);
    // A broken request event would spin forever; end as on exit instead.
    const std::int32_t command = woke == plat::WAIT_OBJECT_0 ? block->command : kFileCommandExit;
    switch (command) {
      case kFileCommandOpen:
        block->file = plat::CreateFileA(block->path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING,
                                        plat::FILE_ATTRIBUTE_NORMAL);
        if (block->file == plat::INVALID_HANDLE_VALUE) {
          block->file = nullptr;
          block->openFailed = 1;
          plat::SetEvent(block->doneEvent);
          return 1;
        }
        RestartCache(block, &cursor, 0);
        break;
      case kFileCommandClose:
        CloseFile(block);
        break;
      case kFileCommandRead:
        ServeRead(block, &cursor);
        break;
      case kFileCommandSeek:
        ServeSeek(block, &cursor);
        break;
      default:
        CloseFile(block);
        plat::SetEvent(block->doneEvent);
        return 1;
    }
    plat::SetEvent(block->doneEvent);
  }
}

}  // namespace qz
