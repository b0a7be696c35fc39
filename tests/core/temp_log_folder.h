// Sends the log into a fresh scratch folder for one test and reads the file
// back, restoring the earlier folder and switch afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/log.h"

namespace qz::testing {

class TempLogFolder {
 public:
  TempLogFolder() {
    char pattern[] = "/tmp/qz_timesys_log_XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    folder_ = made != nullptr ? made : "/tmp";
    const char* previous = GetLogFolder();
    previousFolder_ = previous != nullptr ? previous : "";
    previousEnabled_ = IsLogOutputEnabled();
    SetLogOutputEnabled(1);
    SetLogFolder(folder_.c_str());
    StartLogFile();
  }
  ~TempLogFolder() {
    SetLogFolder(previousFolder_.c_str());
    SetLogOutputEnabled(previousEnabled_);
    std::remove(Path().c_str());
    rmdir(folder_.c_str());
  }
  TempLogFolder(const TempLogFolder&) = delete;
  TempLogFolder& operator=(const TempLogFolder&) = delete;

  const std::string& folder() const { return folder_; }
  std::string Path() const { return folder_ + "/Log.txt"; }
  std::string Contents() const {
    std::ifstream file(Path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  // The text as the log writes it (a lone LF becomes CR LF).
  bool Has(const std::string& text) const {
    std::string written;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) written += '\r';
      written += text[i];
    }
    return Contents().find(written) != std::string::npos;
  }

 private:
  std::string folder_;
  std::string previousFolder_;
  int previousEnabled_ = 0;
};

}  // namespace qz::testing
