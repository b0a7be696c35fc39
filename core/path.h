// Full paths in the library's Windows form.
#pragma once

#include <cstddef>

namespace qz {

// Resolves `relative` against `base` (the file-access table's current
// directory when null): "\\x" and "X:" starts, a single-separator start (the
// base's root: its drive, or none for a POSIX-rooted base), "." and "..".
// Writes at most outSize bytes; -1 when the result does not fit.
int MakeFullPath(const char* relative, char* out, std::size_t outSize, const char* base = nullptr);

// "X:" of a path with a drive, else "" (a POSIX-rooted path).
// Writes at most 3 bytes.
void GetPathRoot(const char* path, char root[3]);

}  // namespace qz
