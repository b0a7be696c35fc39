#include "core/file_replace.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/file.h"

namespace qz {
namespace {

std::string TemporaryOf(const char* path) { return std::string(path) + ".tmp"; }

FileReplaceError ErrorOfLastCall() {
  switch (plat::GetLastError()) {
    case plat::ERROR_DISK_FULL: return FileReplaceError::kDiskFull;
    case plat::ERROR_ACCESS_DENIED: return FileReplaceError::kAccessDenied;
    case plat::ERROR_FILE_NOT_FOUND:
    case plat::ERROR_PATH_NOT_FOUND: return FileReplaceError::kNoFolder;
    default: return FileReplaceError::kWriteFailed;
  }
}

bool WriteAll(plat::Handle file, const void* bytes, std::size_t size) {
  const auto* at = static_cast<const std::uint8_t*>(bytes);
  for (std::size_t done = 0; done < size;) {
    const auto chunk = static_cast<std::uint32_t>(std::min<std::size_t>(size - done, 1u << 30));
    std::uint32_t written = 0;
    if (plat::WriteFile(file, at + done, chunk, &written) == 0 || written != chunk) return false;
    done += chunk;
  }
  return true;
}

// Writes and flushes the temporary; false with the last error set when any
// step fails.
bool WriteTemporary(const std::string& temporary, const void* bytes, std::size_t size) {
  const plat::Handle file = plat::CreateFileA(temporary.c_str(), plat::GENERIC_WRITE, 0, plat::CREATE_ALWAYS,
                                              plat::FILE_ATTRIBUTE_NORMAL);
  if (file == plat::INVALID_HANDLE_VALUE) return false;
  const bool flushed = WriteAll(file, bytes, size) && plat::FlushFileBuffers(file) != 0;
  // The close cannot lose what the flush put on the disk.
  plat::CloseHandle(file);
  return flushed;
}

}  // namespace

int ReplaceFileBytes(const char* path, const void* bytes, std::size_t size, FileReplaceError* error) {
  if (error != nullptr) *error = FileReplaceError::kNone;
  if (path == nullptr || path[0] == '\0' || (bytes == nullptr && size > 0)) {
    if (error != nullptr) *error = FileReplaceError::kNoFolder;
    return -1;
  }
  const std::string temporary = TemporaryOf(path);
  if (WriteTemporary(temporary, bytes, size) &&
      plat::MoveFileExA(temporary.c_str(), path, plat::MOVEFILE_REPLACE_EXISTING | plat::MOVEFILE_WRITE_THROUGH) != 0) {
    return 0;
  }
  const FileReplaceError reason = ErrorOfLastCall();
  plat::DeleteFileA(temporary.c_str());
  if (error != nullptr) *error = reason;
  return -1;
}

int RemoveInterruptedReplacement(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  return plat::DeleteFileA(TemporaryOf(path).c_str()) != 0 ? 1 : 0;
}

}  // namespace qz
