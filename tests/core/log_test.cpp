// Tests of the log file: the output switch, stamps and indentation, line-end
// conversion (stack and heap buffers, multi-byte pairs), folder joining, the
// dated name, formatted appends and appends from several threads.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/log_text.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "support/scratch_log.h"

namespace qz {
namespace {

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

using LogFileTest = testing::ScratchLogTest;

TEST_F(LogFileTest, OutputOffWritesNothingAnywhere) {
  std::remove(Path("Log.txt").c_str());
  SetLogOutputEnabled(0);
  EXPECT_EQ(IsLogOutputEnabled(), 0);
  plat::StartDebugCapture();
  EXPECT_EQ(AppendLogText("hidden\n"), -1);
  EXPECT_EQ(AppendLogFormat("%s\n", "hidden"), -1);
  EXPECT_EQ(StartLogFile(), 0);
  EXPECT_FALSE(FileExists(Path("Log.txt")));
  EXPECT_EQ(plat::TakeDebugCapture(), "");

  SetLogOutputEnabled(1);
  plat::StartDebugCapture();
  EXPECT_EQ(AppendLogText("shown\n"), -1);
  EXPECT_EQ(Stamped(), "N:shown\r\n");
  EXPECT_EQ(plat::TakeDebugCapture(), Log());

  // Without a folder nothing is written either.
  SetLogFolder("");
  plat::StartDebugCapture();
  AppendLogText("nowhere\n");
  EXPECT_EQ(AppendLogText(nullptr), -1);
  EXPECT_EQ(plat::TakeDebugCapture(), "");
}

TEST_F(LogFileTest, StampsJoinLinesAndIndentWithTabs) {
  plat::UseVirtualTime(true);
  StartLogFile();
  plat::AdvanceVirtualTime(1500ull * 1000000ull);
  AppendLogText("abc");
  AppendLogText("def\n");
  plat::UseVirtualTime(false);
  EXPECT_EQ(Log(), "1500:abcdef\r\n");

  StartLogFile();
  plat::StartDebugCapture();
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
  // The extra decrease did not go below 0: one increase indents again.
  IncreaseLogIndent();
  AppendLogText("in\n");
  DecreaseLogIndent();
  EXPECT_EQ(Stamped(), "N:\t\tone\r\ntwo\r\nN:\t\tthree more\r\nN:\tback\r\nN:left\r\nN:\tin\r\n");
  EXPECT_EQ(plat::TakeDebugCapture(), Log());

  SetLogNoStamp(1);
  StartLogFile();
  IncreaseLogIndent();
  AppendLogText("plain\n");
  EXPECT_EQ(Log(), "\tplain\r\n");
}

TEST_F(LogFileTest, LineEndsAreConvertedUpToTheFirstCrLf) {
  SetLogNoStamp(1);
  AppendLogText("x\ny\n");
  AppendLogText("a\r\nb\nc\n");
  EXPECT_EQ(Log(), "x\r\ny\r\na\r\nb\nc\n");

  // Texts past the stack buffer go through a heap buffer, whole.
  StartLogFile();
  std::string text;
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    text += i % 50 == 49 ? '\n' : static_cast<char>('a' + i % 26);
    expected += i % 50 == 49 ? std::string("\r\n") : std::string(1, text.back());
  }
  AppendLogText(text.c_str());
  EXPECT_EQ(Log(), expected);

  // Every LF doubles: the worst cases on both sides of the buffer limit.
  for (std::size_t count : {255u, 256u, 3000u}) {
    StartLogFile();
    AppendLogText(std::string(count, '\n').c_str());
    EXPECT_EQ(Log().size(), 2 * count);
    EXPECT_EQ(Log().find("\n\n"), std::string::npos);
  }

  // A lead byte keeps its following byte, even one that looks like LF, and
  // the library's own Shift-JIS texts get CR LF at their end.
  StartLogFile();
  AppendLogText("\x81\nX\n");
  AppendLogText("\x83\x5C\n");
  AppendLogText(text::kTrackedHeaderCorrupt);
  std::string corrupt = text::kTrackedHeaderCorrupt;
  corrupt.insert(corrupt.size() - 1, "\r");
  EXPECT_EQ(Log(), "\x81\nX\r\n\x83\x5C\r\n" + corrupt);
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
  std::ofstream(Path("Log.txt"), std::ios::binary) << "left over from last run\n";
  StartLogFile();
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(FileExists(stray), strayBefore);

  // Long folders are kept whole or refused; a refusal keeps the old folder.
  const std::string longFolder = "/tmp/" + std::string(300, 'd');
  EXPECT_EQ(SetLogFolder(longFolder.c_str()), 0);
  EXPECT_EQ(GetLogFolder(), longFolder);
  SetLogFolder(folder_.c_str());
  EXPECT_EQ(SetLogFolder(("/tmp/" + std::string(5000, 'd')).c_str()), -1);
  EXPECT_EQ(SetLogFolder(nullptr), -1);
  EXPECT_EQ(GetLogFolder(), folder_);
  std::string nullLine = text::kLogFolderNull;
  nullLine.insert(nullLine.size() - 1, "\r");
  EXPECT_NE(Log().find(nullLine), std::string::npos);
}

TEST_F(LogFileTest, DatedNameComesFromLocalTime) {
  const plat::SystemTime fixed{2024, 3, 2, 5, 14, 7, 9, 0};
  const std::string name = "Log2024_3_5_14_7_9.txt";
  extraFiles_.push_back(name);
  std::ofstream(Path(name), std::ios::binary) << "stale";
  plat::SetFakeLocalTime(&fixed);
  SetLogDatedName(1);
  StartLogFile();
  plat::SetFakeLocalTime(nullptr);
  EXPECT_EQ(Read(Path(name)), "");
  AppendLogText("dated\n");
  EXPECT_EQ(NormalizeStamps(Read(Path(name))), "N:dated\r\n");

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
  AppendLogFormat("%s", std::string(5000, 'p').c_str());
  EXPECT_EQ(Log(), std::string(2046, 'p') + "\r\n");
  EXPECT_EQ(AppendLogFormat(nullptr), -1);
}

TEST_F(LogFileTest, ConcurrentAppendsKeepLinesWhole) {
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    // Long lines go through the heap buffer; indent changes race with appends.
    threads.emplace_back([t] {
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
  for (std::size_t start = 0, end = 0; start < log.size(); start = end + 1) {
    end = log.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = log.substr(start, end + 1 - start);
    const std::size_t body = line.find_first_not_of('\t', 2);
    int t = -1;
    int i = -1;
    ASSERT_EQ(std::sscanf(line.c_str() + body, "thread %d line %d", &t, &i), 2) << line;
    ASSERT_TRUE(line.starts_with("N:") && t >= 0 && t < kThreads && i >= 0 && i < kLines) << line;
    const std::string whole = "thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                              std::string(static_cast<std::size_t>(i) * 2, 'w') + "\r\n";
    ASSERT_EQ(line.substr(body), whole);
    ++perThread[t];
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(perThread[t], kLines) << t;
}

}  // namespace
}  // namespace qz
