// Files and the current directory over POSIX descriptors, with flushes to the
// disk, renames and each thread's last error. Names go through the
// path boundary (code page and separators converted, case-insensitive
// resolution). Share modes are accepted and ignored: POSIX files do not lock
// each other out.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>
#include <string>

#include "platform/file.h"
#include "platform/file_internal.h"

namespace plat {
namespace {

thread_local std::uint32_t tLastError = 0;

// Records the Windows reason for errno and returns FALSE for chaining.
BOOL FailWithErrno(int error) {
  switch (error) {
    case ENOENT: tLastError = ERROR_FILE_NOT_FOUND; break;
    case ENOTDIR: tLastError = ERROR_PATH_NOT_FOUND; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: tLastError = ERROR_ACCESS_DENIED; break;
    case ENOSPC:
    case EDQUOT: tLastError = ERROR_DISK_FULL; break;
    case EEXIST: tLastError = ERROR_ALREADY_EXISTS; break;
    case EIO: tLastError = ERROR_WRITE_FAULT; break;
    default: tLastError = ERROR_GEN_FAILURE; break;
  }
  return FALSE;
}

BOOL Fail(std::uint32_t error) {
  tLastError = error;
  return FALSE;
}

// fsync, retried when a signal interrupts it.
bool SyncDescriptor(int fd) {
  int result;
  do {
    result = ::fsync(fd);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// Flushes the folder that holds the POSIX path, so a name made or changed in
// it is on the disk.
bool SyncFolderOf(const std::string& posix) {
  const std::size_t slash = posix.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : posix.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = SyncDescriptor(fd);
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

int FdOf(Handle file) {
  const FileObject* object = FromHandle<FileObject>(file);
  return object == nullptr ? -1 : object->fd();
}

// Flags for a disposition; false for one this stand-in does not offer.
bool OpenFlags(std::uint32_t access, std::uint32_t disposition, int* flags) {
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  if (!read && !write) return false;
  int result = (read && write) ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
  switch (disposition) {
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      result |= O_CREAT;
      break;
    case CREATE_NEW:
      result |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      result |= O_CREAT | O_TRUNC;
      break;
    default:
      return false;
  }
  *flags = result | O_CLOEXEC;
  return true;
}

}  // namespace

std::uint32_t CopyPathOut(const std::string& text, std::uint32_t bufferSize, char* buffer) {
  const std::size_t needed = text.size() + 1;
  if (needed > std::numeric_limits<std::uint32_t>::max()) return 0;
  if (buffer == nullptr || needed > bufferSize) return static_cast<std::uint32_t>(needed);
  std::memcpy(buffer, text.c_str(), needed);
  return static_cast<std::uint32_t>(text.size());
}

FileObject::~FileObject() {
  if (fd_ >= 0) ::close(fd_);
}

Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t /*share*/, std::uint32_t disposition,
                   std::uint32_t /*attributes*/) {
  int flags = 0;
  if (path == nullptr || path[0] == '\0' || !OpenFlags(access, disposition, &flags)) {
    Fail(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const bool creates = (flags & O_CREAT) != 0;
  const std::string posix = creates ? ResolvePosixPathForCreate(path) : ResolvePosixPath(path);
  if (posix.empty()) {
    Fail(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  int fd;
  do {
    fd = ::open(posix.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // Creating, a missing name can only be a folder on the way.
    if (creates && errno == ENOENT) {
      Fail(ERROR_PATH_NOT_FOUND);
    } else {
      FailWithErrno(errno);
    }
    return INVALID_HANDLE_VALUE;
  }
  struct stat status;
  // Windows opens no directory as a file.
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(fd);
    Fail(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (creates) InvalidateDirectoryListings();
  return ToHandle(new FileObject(fd));
}

BOOL ReadFile(Handle file, void* buffer, std::uint32_t bytes, std::uint32_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  const int fd = FdOf(file);
  if (fd < 0 || (buffer == nullptr && bytes > 0)) return FALSE;
  std::uint32_t done = 0;
  while (done < bytes) {
    const ssize_t got = ::read(fd, static_cast<char*>(buffer) + done, bytes - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      if (bytesRead != nullptr) *bytesRead = done;
      return FALSE;
    }
    if (got == 0) break;
    done += static_cast<std::uint32_t>(got);
  }
  if (bytesRead != nullptr) *bytesRead = done;
  return TRUE;
}

BOOL WriteFile(Handle file, const void* buffer, std::uint32_t bytes, std::uint32_t* bytesWritten) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  const int fd = FdOf(file);
  if (fd < 0 || (buffer == nullptr && bytes > 0)) return Fail(ERROR_GEN_FAILURE);
  std::uint32_t done = 0;
  while (done < bytes) {
    const ssize_t put = ::write(fd, static_cast<const char*>(buffer) + done, bytes - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (bytesWritten != nullptr) *bytesWritten = done;
      return put < 0 ? FailWithErrno(errno) : Fail(ERROR_WRITE_FAULT);
    }
    done += static_cast<std::uint32_t>(put);
  }
  if (bytesWritten != nullptr) *bytesWritten = done;
  return TRUE;
}

std::uint32_t SetFilePointer(Handle file, std::int32_t distance, std::int32_t* distanceHigh, std::uint32_t method) {
  const int fd = FdOf(file);
  if (fd < 0) return INVALID_SET_FILE_POINTER;
  int whence;
  switch (method) {
    case FILE_BEGIN:
      whence = SEEK_SET;
      break;
    case FILE_CURRENT:
      whence = SEEK_CUR;
      break;
    case FILE_END:
      whence = SEEK_END;
      break;
    default:
      return INVALID_SET_FILE_POINTER;
  }
  // Without a high half the distance is a signed 32-bit value, as on Windows.
  const std::int64_t offset =
      distanceHigh == nullptr
          ? distance
          : static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                                      static_cast<std::uint32_t>(distance));
  const off_t position = ::lseek(fd, static_cast<off_t>(offset), whence);
  if (position < 0) return INVALID_SET_FILE_POINTER;
  if (distanceHigh != nullptr) *distanceHigh = static_cast<std::int32_t>(static_cast<std::uint64_t>(position) >> 32);
  return static_cast<std::uint32_t>(position);
}

std::uint32_t GetFileSize(Handle file, std::uint32_t* sizeHigh) {
  const int fd = FdOf(file);
  struct stat status;
  if (fd < 0 || ::fstat(fd, &status) != 0) return INVALID_FILE_SIZE;
  const auto size = static_cast<std::uint64_t>(status.st_size);
  if (sizeHigh != nullptr) *sizeHigh = static_cast<std::uint32_t>(size >> 32);
  return static_cast<std::uint32_t>(size);
}

BOOL DeleteFileA(const char* path) {
  if (path == nullptr || path[0] == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  const std::string posix = ResolvePosixPath(path);
  if (posix.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  if (::unlink(posix.c_str()) != 0) return FailWithErrno(errno);
  InvalidateDirectoryListings();
  return TRUE;
}

BOOL FlushFileBuffers(Handle file) {
  const int fd = FdOf(file);
  if (fd < 0) return Fail(ERROR_GEN_FAILURE);
  const std::uint32_t planned = DurableCallSeam(DurableCall::kFlush, [fd] {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path.data(), path.size());
    path.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return "flush " + path;
  });
  if (planned != 0) return Fail(planned);
  return SyncDescriptor(fd) ? TRUE : FailWithErrno(errno);
}

BOOL MoveFileExA(const char* from, const char* to, std::uint32_t flags) {
  if (from == nullptr || from[0] == '\0' || to == nullptr || to[0] == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  const std::string source = ResolvePosixPath(from);
  const std::string target = ResolvePosixPathForCreate(to);
  if (source.empty() || target.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  const std::uint32_t planned =
      DurableCallSeam(DurableCall::kRename, [&source, &target] { return "rename " + source + " " + target; });
  if (planned != 0) return Fail(planned);
  struct stat status;
  if ((flags & MOVEFILE_REPLACE_EXISTING) == 0 && ::lstat(target.c_str(), &status) == 0) {
    return Fail(ERROR_ALREADY_EXISTS);
  }
  if (::rename(source.c_str(), target.c_str()) != 0) return FailWithErrno(errno);
  InvalidateDirectoryListings();
  if ((flags & MOVEFILE_WRITE_THROUGH) != 0 && !SyncFolderOf(target)) return FailWithErrno(errno);
  return TRUE;
}

std::uint32_t GetLastError() { return tLastError; }

std::uint32_t GetCurrentDirectoryA(std::uint32_t bufferSize, char* buffer) {
  std::string cwd(256, '\0');
  while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
    if (errno != ERANGE) return 0;
    cwd.resize(cwd.size() * 2);
  }
  cwd.resize(std::strlen(cwd.c_str()));
  const std::string library = ToLibraryPath(cwd);
  return library.empty() ? 0 : CopyPathOut(library, bufferSize, buffer);
}

BOOL SetCurrentDirectoryA(const char* path) {
  if (path == nullptr || path[0] == '\0') return FALSE;
  const std::string posix = ResolvePosixPath(path);
  return !posix.empty() && ::chdir(posix.c_str()) == 0 ? TRUE : FALSE;
}

}  // namespace plat
