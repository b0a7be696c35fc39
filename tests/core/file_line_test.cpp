// Text lines and the small helpers over the table: CR LF splitting, overlong
// lines, double-byte characters cut at the end of a read, the end, and
// temporary files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "core/log_text.h"
#include "platform/file.h"

namespace {

using qz::testing::ScratchLog;
using qz::testing::ScratchFolder;

// Every line ReadFileLine returns with the given buffer size, on one path.
std::vector<std::string> AllLines(const std::string& path, int bufferSize, int useCache, int asynchronous) {
  std::vector<std::string> lines;
  const qz::FileHandle file = qz::FileAccessOpen(path.c_str(), useCache, 1, asynchronous);
  EXPECT_NE(file, 0);
  std::vector<char> buffer(static_cast<std::size_t>(bufferSize));
  for (int guard = 0; guard < 1000; ++guard) {
    const int length = qz::ReadFileLine(buffer.data(), bufferSize, file);
    if (length < 0) break;
    EXPECT_EQ(buffer[static_cast<std::size_t>(length)], '\0');
    lines.emplace_back(buffer.data(), static_cast<std::size_t>(length));
  }
  qz::FileAccessClose(file);
  return lines;
}

using Lines = std::vector<std::string>;

// Each file read whole with one buffer size, plain, cached and asynchronous.
TEST(FileReadLine, LinesOnEveryPath) {
  // "あ" is 82 A0 in Shift-JIS; its trail byte would pass for text alone.
  const std::string a = "\x82\xA0";
  const std::string pair("\x81\x0D\n", 3);
  const struct {
    const char* name;
    std::string bytes;
    int bufferSize;
    Lines lines;
  } cases[] = {
      {"CR LF lines", "first\r\nsecond line\r\n\r\nlast", 256, {"first", "second line", "", "last"}},
      {"only CR LF ends a line, as on Windows", "one\ntwo\n", 256, {"one\ntwo\n"}},
      {"an overlong line goes on in pieces", std::string(300, 'x') + "\r\nnext\r\n", 256,
       {std::string(255, 'x'), std::string(45, 'x'), "next"}},
      // An 8-byte buffer reads 7 bytes: "abcdef\r"; the LF follows.
      {"a CR at the end of a read; a lone CR is text", "abcdef\r\ngh\r\nij\rkl\r\n", 8, {"abcdef", "gh", "ij\rkl"}},
      {"a CR that is the file's last byte stays", "abc\r", 5, {"abc\r"}},
      // A 4-byte buffer reads "ab" and the lead byte, which is read again.
      {"a pair cut by a read", "ab" + a + "c\r\n" + a + a + "\r\n", 4, {"ab", a + "c", "", a, a}},
      {"pairs whole", "ab" + a + "c\r\n" + a + a + "\r\n", 256, {"ab" + a + "c", a + a}},
      {"a CR after a lead byte is its trail byte", pair + "\r\nz", 256, {pair, "z"}},
      // Taken as it is rather than read again forever.
      {"a lead byte that ends the file", "ab\x82", 256, {"ab\x82"}},
      {"a lead byte that fills the buffer", a, 2, {"\x82", "\xA0"}},
  };
  const struct {
    int cache;
    int async;
  } modes[] = {{0, 0}, {1, 0}, {0, 1}};
  ScratchFolder scratch;
  for (const auto& c : cases) {
    scratch.Write("t.txt", c.bytes);
    for (const auto& mode : modes) {
      SCOPED_TRACE(::testing::Message() << c.name << ", cache " << mode.cache << ", async " << mode.async);
      EXPECT_EQ(AllLines(scratch.Library("t.txt"), c.bufferSize, mode.cache, mode.async), c.lines);
    }
  }
}

TEST(FileReadLine, ThePositionFollowsTheLinesAndTheEndLeavesTheBufferAlone) {
  ScratchFolder scratch;
  scratch.Write("cr.txt", "abcdef\r\ngh\r\n");
  const qz::FileHandle file = qz::OpenFileForRead(scratch.Library("cr.txt").c_str(), 0);
  ASSERT_NE(file, 0);
  char buffer[8];
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 6);
  EXPECT_EQ(qz::FileAccessTell(file), 8);  // just past the CR LF split across reads
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 2);
  EXPECT_EQ(qz::FileAccessTell(file), 12);
  std::memset(buffer, '#', sizeof(buffer));
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), -1);
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), -1);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(buffer[7], '#');
  qz::FileAccessClose(file);
}

TEST(FileReadLine, RefusesBadArguments) {
  ScratchFolder scratch;
  scratch.Write("x.txt", "x\r\n");
  ScratchLog log;
  const qz::FileHandle file = qz::OpenFileForRead(scratch.Library("x.txt").c_str(), 0);
  char buffer[4] = "##";
  EXPECT_EQ(qz::ReadFileLine(nullptr, 4, file), -1);
  EXPECT_EQ(qz::ReadFileLine(buffer, 1, file), -1);
  EXPECT_EQ(qz::ReadFileLine(buffer, -3, file), -1);
  EXPECT_TRUE(log.Contains(qz::text::kFileBadArgument));
  EXPECT_EQ(qz::ReadFileLine(buffer, 4, 0), -1);
  EXPECT_STREQ(buffer, "##");
  EXPECT_EQ(qz::ReadFileLine(buffer, 4, file), 1);
  qz::FileAccessClose(file);
}

TEST(FileHelpers, BytesEndTestAndTemporaryFiles) {
  ScratchFolder scratch;
  const qz::testing::ScopedTempFolder temp(scratch.root());
  scratch.Write("b.bin", "0123456789");
  const qz::FileHandle file = qz::OpenFileForRead(scratch.Library("b.bin").c_str(), 1);
  ASSERT_NE(file, 0);
  char buffer[16] = {};
  EXPECT_EQ(qz::ReadFileBytes(buffer, 4, file), 4u);
  while (qz::FileAccessIdleCheck(file) == 0) {
  }
  EXPECT_STREQ(buffer, "0123");
  EXPECT_EQ(qz::IsFilePositionAtEnd(file), 0);
  EXPECT_EQ(qz::FileAccessTell(file), 4);  // kept
  EXPECT_EQ(qz::ReadFileBytes(buffer, 16, file), 6u);
  EXPECT_EQ(qz::IsFilePositionAtEnd(file), 1);
  EXPECT_EQ(qz::FileAccessTell(file), 10);
  qz::FileAccessClose(file);
  EXPECT_EQ(qz::IsFilePositionAtEnd(0), 0);

  char first[1024];
  char second[1024];
  plat::Handle a = qz::CreateTempFile(first, sizeof(first));
  plat::Handle b = qz::CreateTempFile(second, sizeof(second));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_STRNE(first, second);
  // In the temporary folder (TMPDIR), in library form.
  EXPECT_EQ(std::string(first).rfind(scratch.Library(""), 0), 0u);
  std::uint32_t written = 0;
  EXPECT_TRUE(plat::WriteFile(a, "temp", 4, &written));
  plat::CloseHandle(a);
  plat::CloseHandle(b);
  const qz::FileHandle reread = qz::OpenFileForRead(first, 0);
  ASSERT_NE(reread, 0);
  EXPECT_EQ(qz::ReadFileBytes(buffer, 16, reread), 4u);
  qz::FileAccessClose(reread);
  EXPECT_TRUE(plat::DeleteFileA(first));
  EXPECT_TRUE(plat::DeleteFileA(second));

  plat::Handle unnamed = qz::CreateTempFile(nullptr, 0);
  EXPECT_NE(unnamed, nullptr);
  plat::CloseHandle(unnamed);
  // A path buffer too small fails and leaves no file behind.
  const auto countFiles = [&] {
    return std::distance(std::filesystem::directory_iterator(scratch.root()), std::filesystem::directory_iterator());
  };
  const auto before = countFiles();
  ScratchLog log;
  char tiny[3];
  EXPECT_EQ(qz::CreateTempFile(tiny, sizeof(tiny)), nullptr);
  EXPECT_TRUE(log.Contains(qz::text::kFileTempCreateFailed));
  EXPECT_EQ(countFiles(), before);
}

}  // namespace
