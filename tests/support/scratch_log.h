// Sends the log into a fresh scratch folder for one test, reads it back, and
// puts the log state back afterwards, so tests can check the lines a call left.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"

namespace qz::testing {

class ScratchLog {
 public:
  ScratchLog() {
    char pattern[] = "/tmp/qz_scratch_log_XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    made_ = made != nullptr;
    folder_ = made_ ? made : "/tmp";
    const char* previous = GetLogFolder();
    previousFolder_ = previous != nullptr ? previous : "";
    previousEnabled_ = IsLogOutputEnabled();
    SetLogOutputEnabled(1);
    EXPECT_EQ(SetLogFolder(folder_.c_str()), 0);
    StartLogFile();
  }
  ~ScratchLog() {
    SetLogDatedName(0);
    SetLogNoStamp(0);
    SetLogOutputEnabled(1);
    SetLogFolder(folder_.c_str());  // a test may have cleared it
    StartLogFile();                 // indent 0, no open line
    SetLogFolder(previousFolder_.c_str());
    SetLogOutputEnabled(previousEnabled_);
    // Whatever the test wrote there (dated logs, captures) goes with it.
    std::error_code ignored;
    if (made_) std::filesystem::remove_all(folder_, ignored);
  }
  ScratchLog(const ScratchLog&) = delete;
  ScratchLog& operator=(const ScratchLog&) = delete;

  const std::string& folder() const { return folder_; }
  std::string Path(const std::string& name = "Log.txt") const { return folder_ + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::string Contents() const { return Read(Path()); }

  // True when the text was logged, its lone LFs written as CR LF as the log does.
  bool Contains(const std::string& text) const {
    std::string written;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) written += '\r';
      written += text[i];
    }
    return Contents().find(written) != std::string::npos;
  }

  // Every line-start stamp "<digits>:" written as "N:".
  static std::string NormalizeStamps(const std::string& log) {
    std::string out;
    for (std::size_t i = 0; i < log.size();) {
      std::size_t digits = i;
      while (digits < log.size() && log[digits] >= '0' && log[digits] <= '9') ++digits;
      if (digits > i && digits < log.size() && log[digits] == ':') {
        out += "N";
        i = digits;
      }
      const std::size_t end = log.find('\n', i);
      const std::size_t next = end == std::string::npos ? log.size() : end + 1;
      out.append(log, i, next - i);
      i = next;
    }
    return out;
  }

 private:
  bool made_ = false;
  std::string folder_;
  std::string previousFolder_;
  int previousEnabled_ = 0;
};

// A fixture with a scratch log for each test; extra files a test names in
// extraFiles_ are removed with the folder.
class ScratchLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace();
    folder_ = scratch_->folder();
  }
  void TearDown() override {
    for (const std::string& name : extraFiles_) std::remove(Path(name).c_str());
    scratch_.reset();
  }

  std::string Path(const std::string& name) const { return scratch_->Path(name); }
  static std::string Read(const std::string& path) { return ScratchLog::Read(path); }
  std::string Log() const { return scratch_->Contents(); }
  static std::string NormalizeStamps(const std::string& log) { return ScratchLog::NormalizeStamps(log); }
  std::string Stamped() const { return NormalizeStamps(Log()); }

  std::optional<ScratchLog> scratch_;
  std::string folder_;
  std::vector<std::string> extraFiles_;
};

}  // namespace qz::testing
