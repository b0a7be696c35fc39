// A scratch folder for file tests: files are written with POSIX calls (so the
// code under test is not used to set up its own inputs) and the folder is
// removed afterwards. Paths are handed out in POSIX and in library form.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/file.h"

namespace qz::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    char pattern[] = "/tmp/qz_files_XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    root_ = made != nullptr ? made : "/tmp/qz_files_failed";
  }
  // Only the process that made the folder removes it: a forked child that
  // exits normally runs the destructors of its copies of the parent's
  // statics (the shared game data set) and would take the folder away
  // from the parent mid-run.
  ~ScratchFolder() {
    if (getpid() != maker_) return;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& root() const { return root_; }
  std::string Posix(const std::string& relative) const { return root_ + "/" + relative; }
  std::string Library(const std::string& relative) const { return plat::ToLibraryPath(Posix(relative)); }

  void Write(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path path = Posix(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  void MakeFolder(const std::string& relative) const { std::filesystem::create_directories(Posix(relative)); }
  std::string Read(const std::string& relative) const {
    std::ifstream file(Posix(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& relative) const { return std::filesystem::exists(Posix(relative)); }

 private:
  std::string root_;
  pid_t maker_ = getpid();
};

// Points TMPDIR at a folder for one test.
class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(const std::string& folder) {
    const char* previous = std::getenv("TMPDIR");
    hadPrevious_ = previous != nullptr;
    if (hadPrevious_) previous_ = previous;
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~ScopedTempFolder() {
    if (hadPrevious_) {
      setenv("TMPDIR", previous_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

 private:
  bool hadPrevious_ = false;
  std::string previous_;
};

// Bytes 0, 1, 2, ... wrapping at 251 (a prime, so blocks never repeat on a
// power-of-two stride).
inline std::string PatternBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

}  // namespace qz::testing
