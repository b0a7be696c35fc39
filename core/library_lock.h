// The library lock: recursive, and first come first served across threads.
// Only the start, pump and end entries take it.
#pragma once

namespace qz {

void EnterLibraryLock();
// An unmatched leave (not the owner, or nothing held) is ignored and logged.
void LeaveLibraryLock();

// Threads queued for the lock (for tests that must see a thread queued).
int GetLibraryLockWaiterCount();

}  // namespace qz
