// End to end from a start directory with Japanese UTF-8 folder names: the
// library sees its path in CP932, so the Shift-JIS walks of the path helpers
// resolve "..", and the file layer (plain and archive-aware) opens and finds
// the UTF-8 names on disk, as the game does with its sheet names.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/file_access.h"
#include "core/file_access_archive.h"
#include "core/path.h"
#include "support/scratch_folder.h"

namespace qz {
namespace {

using testing::ScratchFolder;

// CP932 bytes; ソ and 表 both end in 0x5C, the byte of "\".
const std::string kSoft = "\x83\x5C\x83" "t\x83" "g";  // ソフト
const std::string kShow = "\x95\x5C\x8E\xA6";          // 表示
const std::string kA = "\x82\xA0";                     // あ
// enemy_ニードルトラップ.png, a trap sheet name of the game.
const std::string kNeedleTrap = "enemy_\x83j\x81[\x83h\x83\x8B\x83g\x83\x89\x83" "b\x83v.png";

// Restores the working directory the test changes.
class ScopedCwd {
 public:
  ScopedCwd() : saved_(std::filesystem::current_path()) {}
  ~ScopedCwd() { std::filesystem::current_path(saved_); }
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  std::filesystem::path saved_;
};

std::string FullPath(const std::string& relative, const std::string& base) {
  char out[1024];
  EXPECT_EQ(MakeFullPath(relative.c_str(), out, sizeof(out), base.c_str()), 0) << relative;
  return out;
}

std::string ReadThroughTable(const std::string& path) {
  const FileHandle file = OpenFileForRead(path.c_str(), 0);
  if (file == 0) return "(not opened)";
  char bytes[64] = {};
  const std::size_t got = ReadFileBytes(bytes, sizeof(bytes) - 1, file);
  FileAccessClose(file);
  return std::string(bytes, got);
}

class PathCodePageTest : public ::testing::TestWithParam<const FileAccessTable*> {
 protected:
  void SetUp() override { SetFileAccessTable(GetParam()); }
  void TearDown() override { SetFileAccessTable(&kPlainFileAccessTable); }
};

TEST_P(PathCodePageTest, JapaneseStartDirectoryWorksThroughTheLibrary) {
  ScratchFolder scratch;
  scratch.Write("ソフト/表示/data_en/" "enemy_ニードルトラップ.png", "needle");
  scratch.Write("ソフト/表示/save/x.txt", "x");
  scratch.Write("ソフト/top.txt", "top");
  ScopedCwd restore;
  std::filesystem::current_path(scratch.Posix("ソフト/表示"));

  char cwd[1024];
  ASSERT_EQ(FileAccessGetDir(cwd, sizeof(cwd)), 0);
  const std::string root = plat::ToLibraryPath(scratch.root());  // ASCII
  const std::string start = root + "\\" + kSoft + "\\" + kShow;
  ASSERT_EQ(std::string(cwd), start);

  // "あ\..\x" collapses instead of being kept whole; ".." drops 表示 whole.
  EXPECT_EQ(FullPath(kA + "\\..\\save\\x.txt", start), start + "\\save\\x.txt");
  EXPECT_EQ(FullPath("..\\top.txt", start), root + "\\" + kSoft + "\\top.txt");

  EXPECT_EQ(ReadThroughTable(FullPath(kA + "\\..\\save\\x.txt", start)), "x");
  EXPECT_EQ(ReadThroughTable(FullPath("..\\top.txt", start)), "top");
  EXPECT_EQ(ReadThroughTable(start + "\\data_en\\" + kNeedleTrap), "needle");

  FindRecord record;
  const FindHandle search = FileAccessFindFirst((start + "\\data_en\\enemy_*.png").c_str(), &record);
  ASSERT_NE(search, -1);
  EXPECT_EQ(std::string(record.name), kNeedleTrap);
  EXPECT_EQ(FileAccessFindNext(search, &record), -1);
  FileAccessFindClose(search);

  // Changing directory by a CP932 name lands in the UTF-8 folder.
  ASSERT_EQ(FileAccessSetDir((root + "\\" + kSoft).c_str()), 0);
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(scratch.Posix("ソフト")));
}

INSTANTIATE_TEST_SUITE_P(FileSets, PathCodePageTest,
                         ::testing::Values(&kPlainFileAccessTable, &kArchiveFileAccessTable));

}  // namespace
}  // namespace qz
