// A test base that turns log output on into a scratch folder with an emptied
// log, reads the log back, and puts the log state back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/log.h"

namespace qz::testing {

class ScratchLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qz_scratch_log_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previousFolder_ = GetLogFolder();
    previousEnabled_ = IsLogOutputEnabled();
    SetLogOutputEnabled(1);
    ASSERT_EQ(SetLogFolder(folder_.c_str()), 0);
    StartLogFile();
  }

  void TearDown() override {
    SetLogDatedName(0);
    SetLogNoStamp(0);
    SetLogOutputEnabled(1);
    SetLogFolder(folder_.c_str());
    StartLogFile();  // indent 0, no open line
    SetLogFolder(previousFolder_.c_str());
    SetLogOutputEnabled(previousEnabled_);
    std::remove(Path("Log.txt").c_str());
    for (const std::string& name : extraFiles_) std::remove(Path(name).c_str());
    rmdir(folder_.c_str());
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::string Log() const { return Read(Path("Log.txt")); }

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
  std::string Stamped() const { return NormalizeStamps(Log()); }

  std::string folder_;
  std::string previousFolder_;
  int previousEnabled_ = 1;
  std::vector<std::string> extraFiles_;
};

}  // namespace qz::testing
