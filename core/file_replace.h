// Replacing a whole file so that a crash, a kill or a power loss leaves either
// the old file or the new one, never a mix: the bytes go to a temporary beside
// the file (its name + ".tmp"), are flushed to the disk, and the temporary is
// renamed over the file with its folder flushed after.
#pragma once

#include <cstddef>

namespace qz {

// Why a replacement failed, in the terms a player can act on.
enum class FileReplaceError { kNone, kDiskFull, kAccessDenied, kNoFolder, kWriteFailed };

// Replaces the file at the library-form path with the bytes: 0 when the new
// file is on the disk, -1 when not (the old file kept, the temporary removed,
// the reason in *error when asked).
int ReplaceFileBytes(const char* path, const void* bytes, std::size_t size, FileReplaceError* error);
// Removes the temporary a replacement of the path left behind when it was cut
// off: 1 when there was one, 0 when not.
int RemoveInterruptedReplacement(const char* path);

}  // namespace qz
