// Pieces shared by the stand-in's file sources: the open-file object and the
// hooks that keep the cached directory listings in step with changes this
// process makes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/kernel_object.h"

namespace plat {

// An open POSIX file descriptor; closing the handle closes the descriptor.
class FileObject : public KernelObject {
 public:
  explicit FileObject(int fd) : fd_(fd) {}
  ~FileObject() override;
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// ResolvePosixPath for a path already in POSIX form.
std::string ResolveConvertedPath(std::string posix);

// Like ResolvePosixPath, but a last component that does not exist keeps its
// spelling while the folders before it are still resolved, so a new file lands
// in the folder the caller meant whatever case the caller used.
std::string ResolvePosixPathForCreate(std::string_view libraryPath);

// Copies a path with its terminator when it fits and returns its length; else
// returns the size it needs (0 when that does not fit in 32 bits).
std::uint32_t CopyPathOut(const std::string& text, std::uint32_t bufferSize, char* buffer);

// Forgets every cached listing; called after this process creates, renames or
// deletes a name.
void InvalidateDirectoryListings();

// The test seam's word on a flush or rename about to be made: notes it while
// recording (`describe` is called only then) and returns the error planned
// for it, or 0 to go on.
std::uint32_t DurableCallSeam(DurableCall call, const std::function<std::string()>& describe);

}  // namespace plat
