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

TEST(FileReadLine, SplitsCrLfLinesOnEveryPath) {
  ScratchFolder scratch;
  scratch.Write("t.txt", "first\r\nsecond line\r\n\r\nlast");
  scratch.Write("lf.txt", "one\ntwo\n");
  const struct {
    int cache;
    int async;
  } modes[] = {{0, 0}, {1, 0}, {0, 1}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.cache * 2 + mode.async);
    EXPECT_EQ(AllLines(scratch.Library("t.txt"), 256, mode.cache, mode.async),
              (Lines{"first", "second line", "", "last"}));
    // Only CR LF ends a line, as on Windows.
    EXPECT_EQ(AllLines(scratch.Library("lf.txt"), 256, mode.cache, mode.async), (Lines{"one\ntwo\n"}));
  }

  const qz::FileHandle file = qz::OpenFileForRead(scratch.Library("t.txt").c_str(), 0);
  char buffer[64];
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 5);
  EXPECT_EQ(qz::FileAccessTell(file), 7);  // just past the CR LF
  qz::FileAccessClose(file);
}

TEST(FileReadLine, OverlongLinesContinueAndTheEndLeavesTheBufferAlone) {
  ScratchFolder scratch;
  scratch.Write("long.txt", std::string(300, 'x') + "\r\nnext\r\n");
  const qz::FileHandle file = qz::OpenFileForRead(scratch.Library("long.txt").c_str(), 0);
  ASSERT_NE(file, 0);
  char buffer[256];
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 255);
  EXPECT_EQ(std::string(buffer), std::string(255, 'x'));
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 45);
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 4);
  EXPECT_STREQ(buffer, "next");
  std::memset(buffer, '#', sizeof(buffer));
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), -1);
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), -1);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(buffer[255], '#');
  qz::FileAccessClose(file);
}

TEST(FileReadLine, CrAtTheEndOfAReadStillEndsTheLine) {
  ScratchFolder scratch;
  // With an 8-byte buffer a read takes 7 bytes: "abcdef\r"; the LF follows.
  scratch.Write("cr.txt", "abcdef\r\ngh\r\nij\rkl\r\n");
  const qz::FileHandle file = qz::OpenFileForRead(scratch.Library("cr.txt").c_str(), 0);
  char buffer[8];
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 6);
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(qz::FileAccessTell(file), 8);
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 2);
  EXPECT_STREQ(buffer, "gh");
  // A lone CR is text.
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), 5);
  EXPECT_STREQ(buffer, "ij\rkl");
  EXPECT_EQ(qz::ReadFileLine(buffer, sizeof(buffer), file), -1);
  qz::FileAccessClose(file);

  // A CR that is the file's last byte stays in the line.
  scratch.Write("tail.txt", "abc\r");
  EXPECT_EQ(AllLines(scratch.Library("tail.txt"), 5, 0, 0), (Lines{"abc\r"}));
  EXPECT_EQ(AllLines(scratch.Library("tail.txt"), 5, 1, 0), (Lines{"abc\r"}));
}

TEST(FileReadLine, DoubleByteCharactersAreNeverCut) {
  ScratchFolder scratch;
  // "あ" is 82 A0 in Shift-JIS; its trail byte would pass for text alone.
  const std::string a = "\x82\xA0";
  scratch.Write("sj.txt", "ab" + a + "c\r\n" + a + a + "\r\n");
  // A 4-byte buffer reads 3 bytes: "ab" and the lead byte, which is read
  // again; the overlong first line goes on in pieces.
  EXPECT_EQ(AllLines(scratch.Library("sj.txt"), 4, 0, 0), (Lines{"ab", a + "c", "", a, a}));
  EXPECT_EQ(AllLines(scratch.Library("sj.txt"), 256, 0, 0), (Lines{"ab" + a + "c", a + a}));
  // A "\r" cannot hide in a pair: 0x0D after a lead byte is its trail byte.
  scratch.Write("pair.txt", std::string("\x81\x0D\n", 3) + "\r\nz");
  EXPECT_EQ(AllLines(scratch.Library("pair.txt"), 256, 0, 0), (Lines{std::string("\x81\x0D\n", 3), "z"}));

  // A lead byte that ends the file, or fills the whole buffer, is taken as it
  // is rather than read again forever.
  scratch.Write("cut.txt", "ab\x82");
  EXPECT_EQ(AllLines(scratch.Library("cut.txt"), 256, 0, 0), (Lines{"ab\x82"}));
  scratch.Write("tiny.txt", a);
  EXPECT_EQ(AllLines(scratch.Library("tiny.txt"), 2, 0, 0), (Lines{"\x82", "\xA0"}));
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
