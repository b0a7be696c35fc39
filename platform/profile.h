// Profile (INI) files: the configuration and debug files of the game. Windows
// semantics: sections and keys match without ASCII case (trail bytes of
// double-byte characters are never folded), whitespace around keys and values
// is trimmed, one pair of matching quotes around a value is dropped, CR LF and
// LF both end lines, a missing file, section or key gives the default. Writes
// replace the file only once the whole new text is on disk.
// File names are in the library's Windows form and code page.
//
// A write changes only its key's line.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace plat {

// Copies the value (or defaultValue) into buffer, cut to bufferSize - 1 bytes
// and terminated; returns the number of bytes copied.
std::uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, std::uint32_t bufferSize, const char* fileName);
// The value's leading decimal integer, defaultValue when the key is missing.
std::uint32_t GetPrivateProfileIntA(const char* section, const char* key, std::int32_t defaultValue,
                                    const char* fileName);
// Sets key = value in section, creating the file and section when missing and
// keeping every other line.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName);
// Removes the temporaries that writes in the file's folder left when their
// process was killed before the rename; returns how many.
int RemoveInterruptedProfileWrites(const char* fileName);

}  // namespace plat
