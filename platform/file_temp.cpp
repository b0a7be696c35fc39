// Temporary files: the system temporary folder (TMPDIR, else /tmp) and new
// uniquely named files in it, made without a check-then-create race. Names go
// out in the library's form and code page.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/file.h"
#include "platform/file_internal.h"

namespace plat {
namespace {

// The POSIX temporary folder, ending with "/".
std::string TempFolder() {
  const char* folder = std::getenv("TMPDIR");
  std::string posix = (folder != nullptr && folder[0] != '\0') ? folder : "/tmp";
  if (posix.back() != '/') posix += '/';
  return posix;
}

}  // namespace

std::uint32_t GetTempPathA(std::uint32_t bufferSize, char* buffer) {
  const std::string library = ToLibraryPath(TempFolder());
  return library.empty() ? 0 : CopyPathOut(library, bufferSize, buffer);
}

Handle CreateUniqueTempFile(char* pathOut, std::size_t pathOutSize) {
  std::string name = TempFolder() + "tmpXXXXXX";
  // mkostemp creates the name exclusively, so no other process can slip in
  // between choosing it and opening it.
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  if (pathOut != nullptr) {
    const std::string library = ToLibraryPath(name);
    if (library.empty() || library.size() + 1 > pathOutSize) {
      ::close(fd);
      ::unlink(name.c_str());
      return INVALID_HANDLE_VALUE;
    }
    std::memcpy(pathOut, library.c_str(), library.size() + 1);
  }
  InvalidateDirectoryListings();
  return ToHandle(new FileObject(fd));
}

}  // namespace plat
