// Tracked memory: every library allocation carries a header naming where it
// was made, a running id, its size and the links of one list of live blocks.
// The header's first half is duplicated in its second half so a damaged header
// is detected. The live blocks are dumped to the log at the library end.
// Safe to call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

struct TrackedBlockHeader;

void* AllocTracked(std::size_t size, const char* sourceName, int line);
// The user bytes are zeroed.
void* AllocTrackedZeroed(std::size_t size, const char* sourceName, int line);
// Null allocates; the grown part is zeroed; on failure the old block stays.
void* ReallocTracked(void* block, std::size_t size, const char* sourceName, int line);
// Null is ignored. A block whose header is damaged is left alone (leaked)
// rather than unlinked, so the live list stays whole.
void FreeTracked(void* block);

// 0, or -1 at the first damaged header (logged).
int CheckTrackedAllocs();
// Logs every live block, newest first, and the totals.
void DumpTrackedAllocs();
void LogTrackedBlock(const TrackedBlockHeader* header);
void LogTrackedTotal();

struct TrackedMemoryOptions {
  int logEveryBlock;  // 1: log every alloc, realloc and free
  int watchedSize;    // blocks of this size are logged; negative: every block
  int logTotals;      // log the totals after every operation
  int checkEveryOp;   // check every header after every operation
};
TrackedMemoryOptions GetTrackedMemoryOptions();
void SetTrackedMemoryOptions(const TrackedMemoryOptions& options);

// Live totals.
std::int64_t GetTrackedByteTotal();
int GetTrackedBlockCount();

}  // namespace qz

#define QZ_ALLOC(size) ::qz::AllocTracked((size), __FILE__, __LINE__)
#define QZ_ALLOC_ZEROED(size) ::qz::AllocTrackedZeroed((size), __FILE__, __LINE__)
#define QZ_REALLOC(block, size) ::qz::ReallocTracked((block), (size), __FILE__, __LINE__)
#define QZ_FREE(block) ::qz::FreeTracked(block)
