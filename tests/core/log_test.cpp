// Tests of the log file: the output switch, stamps and indentation, line-end
// conversion (stack and heap buffers, multi-byte pairs), folder joining, the
// dated name, formatted appends and appends from several threads.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/log_text.h"
#include "platform/clock.h"
#include "platform/debug_output.h"

namespace qz {
namespace {

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string NormalizeStamps(const std::string& log) {
  std::string out;
  std::size_t i = 0;
  while (i < log.size()) {
    std::size_t digits = i;
    while (digits < log.size() && log[digits] >= '0' && log[digits] <= '9') ++digits;
    if (digits > i && digits < log.size() && log[digits] == ':') {
      out += "N";
      i = digits;
    }
    const std::size_t end = log.find('\n', i);
    const std::size_t next = end == std::string::npos ? log.size() : end + 1;
    out += log.substr(i, next - i);
    i = next;
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Log output on into a scratch folder with a fresh log; everything the test
// changes is put back afterwards.
class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qz_log_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previousFolder_ = GetLogFolder();
    previousEnabled_ = IsLogOutputEnabled();
    SetLogOutputEnabled(1);
    ASSERT_EQ(SetLogFolder(folder_.c_str()), 0);
    ASSERT_EQ(StartLogFile(), 0);
  }

  void TearDown() override {
    SetLogDatedName(0);
    SetLogNoStamp(0);
    SetLogOutputEnabled(1);
    SetLogFolder(folder_.c_str());
    StartLogFile();  // indent 0, no line open
    SetLogFolder(previousFolder_.c_str());
    SetLogOutputEnabled(previousEnabled_);
    for (const std::string& name : created_) std::remove((folder_ + "/" + name).c_str());
    std::remove(LogPath().c_str());
    rmdir(folder_.c_str());
  }

  std::string LogPath() const { return folder_ + "/Log.txt"; }
  std::string Log() const { return ReadFile(LogPath()); }
  // The log with every line-start stamp "<digits>:" written as "N:".
  std::string Stamped() const { return NormalizeStamps(Log()); }

  std::string folder_;
  std::string previousFolder_;
  int previousEnabled_ = 1;
  std::vector<std::string> created_;
};

TEST_F(LogFileTest, OutputOffWritesNothingAnywhere) {
  std::remove(LogPath().c_str());
  SetLogOutputEnabled(0);
  EXPECT_EQ(IsLogOutputEnabled(), 0);
  plat::StartDebugCapture();
  EXPECT_EQ(AppendLogText("hidden\n"), -1);
  EXPECT_EQ(AppendLogFormat("%s\n", "hidden"), -1);
  EXPECT_EQ(StartLogFile(), 0);
  EXPECT_FALSE(FileExists(LogPath()));
  EXPECT_EQ(plat::TakeDebugCapture(), "");

  SetLogOutputEnabled(1);
  EXPECT_EQ(IsLogOutputEnabled(), 1);
  plat::StartDebugCapture();
  EXPECT_EQ(AppendLogText("shown\n"), -1);
  EXPECT_EQ(Stamped(), "N:shown\r\n");
  EXPECT_EQ(plat::TakeDebugCapture(), Log());

  // No folder: nothing is written.
  SetLogFolder("");
  plat::StartDebugCapture();
  AppendLogText("nowhere\n");
  EXPECT_EQ(plat::TakeDebugCapture(), "");
  EXPECT_EQ(AppendLogText(nullptr), -1);
}

TEST_F(LogFileTest, StampsJoinLinesAndIndentWithTabs) {
  plat::UseVirtualTime(true);
  StartLogFile();
  plat::AdvanceVirtualTime(1500ull * 1000000ull);
  plat::StartDebugCapture();
  AppendLogText("abc");
  AppendLogText("def\n");
  EXPECT_EQ(Log(), "1500:abcdef\r\n");
  plat::UseVirtualTime(false);

  StartLogFile();
  IncreaseLogIndent();
  IncreaseLogIndent();
  AppendLogText("one\ntwo\n");
  AppendLogText("three");
  AppendLogText(" more\n");
  DecreaseLogIndent();
  AppendLogText("back\n");
  DecreaseLogIndent();
  DecreaseLogIndent();  // stays at 0
  AppendLogText("left\n");
  EXPECT_EQ(Stamped(), "N:\t\tone\r\ntwo\r\nN:\t\tthree more\r\nN:\tback\r\nN:left\r\n");

  // The debugger output gets stamps and tabs too.
  StartLogFile();
  plat::StartDebugCapture();
  IncreaseLogIndent();
  AppendLogText("x\n");
  EXPECT_EQ(plat::TakeDebugCapture(), Log());

  SetLogNoStamp(1);
  StartLogFile();
  AppendLogText("plain\n");
  EXPECT_EQ(Log(), "plain\r\n");
}

TEST_F(LogFileTest, LineEndsAreConvertedUpToTheFirstCrLf) {
  SetLogNoStamp(1);
  AppendLogText("x\ny\n");
  AppendLogText("a\r\nb\nc\n");
  EXPECT_EQ(Log(), "x\r\ny\r\na\r\nb\nc\n");

  // Texts past the stack buffer go through a heap buffer, whole.
  StartLogFile();
  std::string longText;
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    longText += i % 50 == 49 ? '\n' : c;
    expected += i % 50 == 49 ? std::string("\r\n") : std::string(1, c);
  }
  AppendLogText(longText.c_str());
  EXPECT_EQ(Log(), expected);

  // Every LF doubles: the worst cases on both sides of the buffer limit.
  for (std::size_t count : {255u, 256u, 3000u}) {
    StartLogFile();
    AppendLogText(std::string(count, '\n').c_str());
    std::string doubled;
    for (std::size_t i = 0; i < count; ++i) doubled += "\r\n";
    EXPECT_EQ(Log(), doubled) << count;
  }

  // A lead byte keeps its following byte, even one that looks like LF, and
  // the library's own Shift-JIS texts get CR LF at their end.
  StartLogFile();
  AppendLogText("\x81\nX\n");
  AppendLogText("\x83\x5C\n");
  AppendLogText(text::kTrackedHeaderCorrupt);
  std::string corrupt = text::kTrackedHeaderCorrupt;
  corrupt.insert(corrupt.size() - 1, "\r");
  EXPECT_EQ(Log(), std::string("\x81\nX\r\n\x83\x5C\r\n") + corrupt);
}

TEST_F(LogFileTest, FolderJoiningAndStartEmptiesTheAppendedFile) {
  for (const std::string& folder : {folder_ + "/", folder_ + "\\", folder_}) {
    ASSERT_EQ(SetLogFolder(folder.c_str()), 0);
    EXPECT_EQ(GetLogFolder(), folder);
    StartLogFile();
    AppendLogText("joined\n");
    EXPECT_EQ(Stamped(), "N:joined\r\n") << folder;
  }

  // The start empties the file appends go to, not one in the current folder.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  const std::string stray = std::string(cwd) + "/Log.txt";
  const bool strayBefore = FileExists(stray);
  {
    std::ofstream old(LogPath(), std::ios::binary);
    old << "left over from last run\n";
  }
  StartLogFile();
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(FileExists(stray), strayBefore);

  // Long folders are kept whole or refused; the folder stays as it was.
  const std::string longFolder = "/tmp/" + std::string(300, 'd');
  EXPECT_EQ(SetLogFolder(longFolder.c_str()), 0);
  EXPECT_EQ(GetLogFolder(), longFolder);
  SetLogFolder(folder_.c_str());
  const std::string tooLong = "/tmp/" + std::string(5000, 'd');
  EXPECT_EQ(SetLogFolder(tooLong.c_str()), -1);
  EXPECT_EQ(SetLogFolder(nullptr), -1);
  EXPECT_EQ(GetLogFolder(), folder_);
  EXPECT_NE(Log().find(text::kLogFolderNull, 0, std::string(text::kLogFolderNull).size() - 1),
            std::string::npos);
}

TEST_F(LogFileTest, DatedNameComesFromLocalTime) {
  const plat::SystemTime fixed{2024, 3, 2, 5, 14, 7, 9, 0};
  plat::SetFakeLocalTime(&fixed);
  SetLogDatedName(1);
  const std::string name = "Log2024_3_5_14_7_9.txt";
  created_.push_back(name);
  {
    std::ofstream old(folder_ + "/" + name, std::ios::binary);
    old << "stale";
  }
  StartLogFile();
  plat::SetFakeLocalTime(nullptr);
  EXPECT_EQ(ReadFile(folder_ + "/" + name), "");
  AppendLogText("dated\n");
  EXPECT_EQ(NormalizeStamps(ReadFile(folder_ + "/" + name)), "N:dated\r\n");

  SetLogDatedName(0);
  StartLogFile();
  AppendLogText("plain\n");
  EXPECT_EQ(Stamped(), "N:plain\r\n");
}

TEST_F(LogFileTest, FormattedAppendsAddALineEndAndTruncate) {
  SetLogNoStamp(1);
  EXPECT_EQ(AppendLogFormat("%d-%s", 42, "x"), -1);
  EXPECT_EQ(Log(), "42-x\r\n");

  StartLogFile();
  const std::string huge(5000, 'p');
  AppendLogFormat("%s", huge.c_str());
  EXPECT_EQ(Log(), std::string(2046, 'p') + "\r\n");
  EXPECT_EQ(AppendLogFormat(nullptr), -1);
}

TEST_F(LogFileTest, ConcurrentAppendsKeepLinesWhole) {
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      // Long lines go through the heap buffer; indent changes race with appends.
      for (int i = 0; i < kLines; ++i) {
        IncreaseLogIndent();
        DecreaseLogIndent();
        AppendLogFormat("thread %d line %d %s", t, i, std::string(static_cast<std::size_t>(i) * 2, 'w').c_str());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::string log = Stamped();
  std::vector<int> perThread(kThreads, 0);
  std::size_t start = 0;
  int total = 0;
  while (start < log.size()) {
    const std::size_t end = log.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    std::string text = log.substr(start, end + 1 - start);
    start = end + 1;
    ASSERT_EQ(text.rfind("N:", 0), 0u) << text;
    text.erase(0, 2);
    while (!text.empty() && text[0] == '\t') text.erase(0, 1);
    int t = -1;
    int i = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "thread %d line %d", &t, &i), 2) << text;
    ASSERT_TRUE(t >= 0 && t < kThreads && i >= 0 && i < kLines) << text;
    const std::string tail = " " + std::string(static_cast<std::size_t>(i) * 2, 'w') + "\r\n";
    ASSERT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    ASSERT_EQ(text.size(), tail.size() + std::to_string(t).size() + std::to_string(i).size() + 13) << text;
    ++perThread[t];
    ++total;
  }
  EXPECT_EQ(total, kThreads * kLines);
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(perThread[t], kLines);
}

}  // namespace
}  // namespace qz
