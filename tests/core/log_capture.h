// Points the log at a scratch folder for the life of one test and reads back
// what was appended, so tests can check that a refusal left its line.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/log.h"

namespace qz::testing {

class ScopedLogCapture {
 public:
  ScopedLogCapture() {
    char pattern[] = "/tmp/qz_log_capture_XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    folder_ = made != nullptr ? made : "/tmp";
    const char* previous = GetLogFolder();
    previousFolder_ = previous != nullptr ? previous : "";
    previousEnabled_ = IsLogOutputEnabled();
    SetLogOutputEnabled(1);
    SetLogFolder(folder_.c_str());
  }
  ~ScopedLogCapture() {
    SetLogFolder(previousFolder_.c_str());
    SetLogOutputEnabled(previousEnabled_);
    std::remove(FilePath().c_str());
    rmdir(folder_.c_str());
  }
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  std::string Contents() const {
    std::ifstream file(FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  // True when the text, without its trailing line end, was logged.
  bool Contains(std::string text) const {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return Contents().find(text) != std::string::npos;
  }

 private:
  std::string FilePath() const { return folder_ + "/Log.txt"; }

  std::string folder_;
  std::string previousFolder_;
  int previousEnabled_ = 1;
};

}  // namespace qz::testing
