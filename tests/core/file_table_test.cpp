// The installed table and what goes through it: a caller's own table, the
// file stream, the current directory and searches as find records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "core/file_access_archive.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "core/log_text.h"

namespace {

using qz::testing::PatternBytes;
using qz::testing::ScratchLog;
using qz::testing::ScratchFolder;

// Installs the plain set again whatever the test did.
class FileAccessTableTest : public ::testing::Test {
 protected:
  void TearDown() override { qz::SetFileAccessTable(&qz::kPlainFileAccessTable); }
};

struct Recorded {
  std::string openedPath;
  int openFlags[3] = {};
  std::vector<std::string> calls;
};
Recorded g_recorded;

qz::FileHandle FakeOpen(const char* path, int useCache, int reserved, int asynchronous) {
  g_recorded.openedPath = path;
  g_recorded.openFlags[0] = useCache;
  g_recorded.openFlags[1] = reserved;
  g_recorded.openFlags[2] = asynchronous;
  return 77;
}
int FakeClose(qz::FileHandle file) {
  g_recorded.calls.push_back("close " + std::to_string(file));
  return 0;
}
std::int64_t FakeTell(qz::FileHandle) { return 1234; }
int FakeSeek(qz::FileHandle file, std::int64_t offset, int origin) {
  g_recorded.calls.push_back("seek " + std::to_string(file) + " " + std::to_string(offset) + " " +
                             std::to_string(origin));
  return 0;
}
std::size_t FakeRead(void* buffer, std::size_t size, std::size_t count, qz::FileHandle file) {
  g_recorded.calls.push_back("read " + std::to_string(file));
  std::memset(buffer, 'z', size * count);
  return count;
}
int FakeEof(qz::FileHandle) { return 5; }
int FakeIdle(qz::FileHandle) { return 9; }

TEST_F(FileAccessTableTest, CustomTableRoutesTrampolinesAndTheFileStream) {
  g_recorded = {};
  qz::FileAccessTable custom = {};
  custom.Open = FakeOpen;
  custom.Close = FakeClose;
  custom.Tell = FakeTell;
  custom.Seek = FakeSeek;
  custom.Read = FakeRead;
  custom.Eof = FakeEof;
  custom.IdleCheck = FakeIdle;
  EXPECT_EQ(qz::SetFileAccessTable(&custom), 0);
  // Copied whole: changing the caller's table afterwards changes nothing.
  custom.Open = nullptr;

  EXPECT_EQ(qz::FileAccessOpen("\\x\\y.png", 1, 0, 1), 77);
  EXPECT_EQ(g_recorded.openedPath, "\\x\\y.png");
  EXPECT_EQ(g_recorded.openFlags[0], 1);
  EXPECT_EQ(g_recorded.openFlags[2], 1);
  EXPECT_EQ(qz::OpenFileForRead("a.txt", 5), 77);
  EXPECT_EQ(g_recorded.openFlags[0], 0);
  EXPECT_EQ(g_recorded.openFlags[1], 1);
  EXPECT_EQ(g_recorded.openFlags[2], 1);

  qz::InitStreamInterfaces();
  const qz::StreamFunctionTable* stream = qz::GetFileStreamInterface();
  void* handle = reinterpret_cast<void*>(static_cast<std::intptr_t>(77));
  char buffer[4];
  EXPECT_EQ(stream->Read(buffer, 2, 2, handle), 2u);
  EXPECT_EQ(buffer[3], 'z');
  EXPECT_EQ(stream->Seek(handle, -3, 2), 0);
  EXPECT_EQ(stream->Tell(handle), 1234);
  EXPECT_EQ(stream->Eof(handle), 5);
  EXPECT_EQ(stream->IdleCheck(handle), 9);
  EXPECT_EQ(stream->Close(handle), 0);
  EXPECT_EQ(g_recorded.calls, (std::vector<std::string>{"read 77", "seek 77 -3 2", "close 77"}));

  // Entries the caller left empty fail instead of jumping to null.
  char folder[64];
  EXPECT_EQ(qz::FileAccessGetDir(folder, sizeof(folder)), -1);
  EXPECT_EQ(qz::FileAccessSetDir("\\"), -1);
  qz::FindRecord record;
  EXPECT_EQ(qz::FileAccessFindFirst("*", &record), -1);
  EXPECT_EQ(qz::FileAccessFindNext(1, &record), -1);
  EXPECT_EQ(qz::FileAccessFindClose(1), -1);

  // Null installs the default set again.
  EXPECT_EQ(qz::SetFileAccessTable(nullptr), 0);
  EXPECT_EQ(qz::GetFileAccessTable().Open, &qz::ArchiveOpen);
  EXPECT_EQ(qz::GetFileAccessTable().FindClose, &qz::ArchiveFindClose);
  EXPECT_EQ(qz::FileAccessOpen("\\no\\such\\file.png", 0, 1, 0), 0);
}

TEST_F(FileAccessTableTest, FileStreamReadsAFileThroughThePlainSet) {
  ScratchFolder scratch;
  scratch.Write("s.bin", PatternBytes(10));
  qz::SetFileAccessTable(nullptr);
  const qz::FileHandle file = qz::OpenFileForRead(scratch.Library("s.bin").c_str(), 0);
  ASSERT_NE(file, 0);
  const qz::StreamFunctionTable* stream = qz::GetFileStreamInterface();
  void* handle = reinterpret_cast<void*>(file);
  std::uint8_t buffer[8] = {};
  EXPECT_EQ(stream->Seek(handle, 6, 0), 0);
  EXPECT_EQ(stream->Read(buffer, 2, 4, handle), 2u);
  EXPECT_EQ(buffer[0], 6);
  EXPECT_EQ(buffer[3], 9);
  EXPECT_EQ(qz::IsFilePositionAtEnd(file), 1);
  EXPECT_EQ(stream->Read(buffer, 1, 1, handle), 0u);
  EXPECT_NE(stream->Eof(handle), 0);
  EXPECT_EQ(stream->IdleCheck(handle), 1);
  EXPECT_EQ(stream->Close(handle), 0);
}

TEST_F(FileAccessTableTest, CurrentDirectoryThatDoesNotFitIsRefused) {
  // Both sides of the bound, wherever the suite runs from: the name and its
  // terminator fit exactly, one byte fewer is refused.
  char fits[4096];
  ASSERT_EQ(qz::FileAccessGetDir(fits, sizeof(fits)), 0);
  const std::size_t exact = std::strlen(fits) + 1;
  std::vector<char> buffer(exact, 'x');
  EXPECT_EQ(qz::FileAccessGetDir(buffer.data(), exact), 0);
  EXPECT_STREQ(buffer.data(), fits);
  qz::testing::ScratchLog log;
  EXPECT_EQ(qz::FileAccessGetDir(buffer.data(), exact - 1), -1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_TRUE(log.Contains(qz::text::kFileDirTooLong));
  EXPECT_EQ(qz::FileAccessSetDir(nullptr), -1);
}

TEST_F(FileAccessTableTest, SearchesFillFindRecords) {
  ScratchFolder scratch;
  scratch.Write("find/one.txt", "1");
  scratch.Write("find/two.txt", std::string(70000, 't'));
  scratch.Write("find/other.png", "p");
  scratch.MakeFolder("find/sub.txt");

  qz::FindRecord record;
  std::memset(&record, 0x5A, sizeof(record));
  const qz::FindHandle search = qz::FileAccessFindFirst(scratch.Library("FIND\\*.TXT").c_str(), &record);
  ASSERT_NE(search, -1);
  std::vector<qz::FindRecord> found{record};
  while (qz::FileAccessFindNext(search, &record) == 0) found.push_back(record);
  EXPECT_EQ(qz::FileAccessFindClose(search), 0);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_STREQ(found[0].name, "one.txt");
  EXPECT_EQ(found[0].isDirectory, 0);
  EXPECT_EQ(found[0].sizeLow, 1u);
  EXPECT_STREQ(found[1].name, "sub.txt");
  EXPECT_EQ(found[1].isDirectory, 1);
  EXPECT_STREQ(found[2].name, "two.txt");
  EXPECT_EQ(found[2].sizeLow, 70000u);
  EXPECT_EQ(found[2].sizeHigh, 0u);
  EXPECT_GE(found[2].lastWriteTime.year, 2020);
  EXPECT_GE(found[2].lastWriteTime.month, 1);
  EXPECT_LE(found[2].lastWriteTime.month, 12);
  EXPECT_GE(found[2].creationTime.year, 2020);

  ScratchLog log;
  EXPECT_EQ(qz::FileAccessFindFirst(scratch.Library("find\\*.bmp").c_str(), &record), -1);
  EXPECT_EQ(qz::FileAccessFindFirst(nullptr, &record), -1);
  // Closed, never made and forged search handles are refused.
  EXPECT_EQ(qz::FileAccessFindNext(search, &record), -1);
  EXPECT_EQ(qz::FileAccessFindClose(search), -1);
  EXPECT_EQ(qz::FileAccessFindClose(-1), -1);
  EXPECT_EQ(qz::FileAccessFindNext(12345, &record), -1);
  EXPECT_TRUE(log.Contains(qz::text::kFileBadFindHandle));
  // A file handle is not a search handle.
  const qz::FileHandle file = qz::FileAccessOpen(scratch.Library("find\\one.txt").c_str(), 0, 1, 0);
  ASSERT_NE(file, 0);
  EXPECT_EQ(qz::FileAccessFindClose(file), -1);
  EXPECT_EQ(qz::FileAccessClose(file), 0);
}

}  // namespace
