// The archive-aware file set: which archive stands in for a path, member
// reads, seeks and asynchronous reads, reference counts and limits, and
// searches inside archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/file_access.h"
#include "core/file_access_archive.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "platform/file.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "core/archive_test_support.h"

namespace {

using namespace qz::testing;

class ArchiveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qz::SetArchiveAccessDisabled(0);
    qz::SetFileAccessTable(nullptr);
    qz::SetArchiveFileExtension("vtr");
    blocks_ = qz::GetTrackedBlockCount();
  }
  void TearDown() override {
    qz::ReleaseUnusedArchives();
    EXPECT_EQ(qz::GetLiveArchiveCount(), 0);
    EXPECT_EQ(qz::GetTrackedBlockCount(), blocks_);
    qz::SetArchivePlainFirst(0);
    qz::SetArchiveUseKeyString(0);
    qz::SetArchiveFileExtension(nullptr);
    qz::SetFileAccessTable(&qz::kPlainFileAccessTable);
  }

  void WriteArchive(const std::string& relative, const qz::ArchiveSourceNode& tree,
                    const qz::ArchiveWriteOptions& options = {}) {
    scratch_.Write(relative, AsString(MakeImage(tree, options)));
  }

  std::string ReadAll(const std::string& library, int asynchronous = 0) {
    const qz::FileHandle file = qz::FileAccessOpen(library.c_str(), 0, 1, asynchronous);
    if (file == 0) return "<no file>";
    std::string out;
    char chunk[777];
    while (const std::size_t got = qz::FileAccessRead(chunk, 1, sizeof chunk, file)) {
      while (qz::FileAccessIdleCheck(file) == 0) {
      }
      out.append(chunk, got);
    }
    qz::FileAccessClose(file);
    return out;
  }

  ScratchFolder scratch_;
  int blocks_ = 0;
};

TEST_F(ArchiveFileTest, NullTableInstallsTheArchiveSetUnlessSwitchedOff) {
  EXPECT_EQ(qz::GetFileAccessTable().Open, &qz::ArchiveOpen);
  qz::SetArchiveAccessDisabled(1);
  qz::SetFileAccessTable(nullptr);
  EXPECT_EQ(qz::GetFileAccessTable().Open, &qz::Win32FileOpen);
  qz::SetArchiveAccessDisabled(0);
}

TEST_F(ArchiveFileTest, ArchivesStandInForLeadingDirectories) {
  scratch_.Write("game/data_en/pat_item.png", "plain png");
  scratch_.Write("game/data_en/only_plain.png", "plain only");
  const std::string path = scratch_.Library("game\\data_en\\pat_item.png");
  EXPECT_EQ(ReadAll(path), "plain png");

  // An archive made during the run is found by the next open.
  WriteArchive("game/data_en.vtr", FolderNode("", {FileNode("PAT_ITEM.PNG", "member png")}));
  EXPECT_EQ(ReadAll(path), "member png");
  // Absolute form with mixed case on disk and in the path.
  EXPECT_EQ(ReadAll(scratch_.Library("GAME/Data_En/Pat_Item.PNG")), "member png");
  // A member missing from the archive is not looked for on disk...
  EXPECT_EQ(qz::FileAccessOpen(scratch_.Library("game\\data_en\\only_plain.png").c_str(), 0, 1, 0), 0);
  // ...unless plain files come first.
  qz::SetArchivePlainFirst(1);
  EXPECT_EQ(ReadAll(scratch_.Library("game\\data_en\\only_plain.png")), "plain only");
  EXPECT_EQ(ReadAll(path), "plain png");
  qz::SetArchivePlainFirst(0);

  // A shorter prefix wins.
  WriteArchive("game.vtr", FolderNode("", {FolderNode("Data_En", {FileNode("pat_item.png", "outer")})}));
  qz::ReleaseUnusedArchives();
  qz::SetArchiveFileExtension("vtr");  // drops the cached prefix too
  EXPECT_EQ(ReadAll(path), "outer");
  // Relative paths resolve against the current directory.
  char previous[4096];
  ASSERT_EQ(qz::FileAccessGetDir(previous, sizeof previous), 0);
  ASSERT_EQ(qz::FileAccessSetDir(scratch_.Library("game").c_str()), 0);
  EXPECT_EQ(ReadAll("data_en\\pat_item.png"), "outer");
  qz::FileAccessSetDir(previous);
  // A 64-character extension clears it: "QZA" applies again.
  qz::SetArchiveFileExtension(std::string(64, 'x').c_str());
  WriteArchive("other.QZA", FolderNode("", {FileNode("x", "qza")}));
  EXPECT_EQ(ReadAll(scratch_.Library("other\\x")), "qza");
}

TEST_F(ArchiveFileTest, KeyStringOptionOpensKeyedArchives) {
  qz::ArchiveWriteOptions options;
  options.keyString = "secret";
  WriteArchive("k.vtr", FolderNode("", {FileNode("m", "keyed")}), options);
  ScratchLog log;
  EXPECT_EQ(qz::FileAccessOpen(scratch_.Library("k\\m").c_str(), 0, 1, 0), 0);
  qz::SetArchiveKeyString("secret");
  qz::SetArchiveUseKeyString(1);
  qz::ReleaseUnusedArchives();
  EXPECT_EQ(ReadAll(scratch_.Library("k\\m")), "keyed");
}

TEST_F(ArchiveFileTest, ReferenceCountsKeepArchivesUntilReleased) {
  WriteArchive("r.vtr", FolderNode("", {FileNode("a", "1"), FileNode("b", "2")}));
  const qz::FileHandle a = qz::FileAccessOpen(scratch_.Library("r\\a").c_str(), 0, 1, 0);
  const qz::FileHandle b = qz::FileAccessOpen(scratch_.Library("r\\b").c_str(), 0, 1, 0);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_EQ(a & 0xF0000000, 0xF0000000);
  const std::string name = scratch_.Library("r.vtr");
  std::string upper = name.substr(0, name.size() - 3);
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  upper += "vtr";
  EXPECT_EQ(qz::GetArchiveReferenceCount(upper.c_str()), 2);
  qz::FileAccessClose(a);
  qz::FileAccessClose(b);
  EXPECT_EQ(qz::GetArchiveReferenceCount(upper.c_str()), 0);
  EXPECT_EQ(qz::GetLiveArchiveCount(), 1);
  qz::ReleaseUnusedArchives();
  EXPECT_EQ(qz::GetArchiveReferenceCount(upper.c_str()), -1);
  // Closed handles are refused afterwards.
  ScratchLog log;
  EXPECT_EQ(qz::FileAccessClose(a), -1);
  EXPECT_EQ(qz::FileAccessRead(&upper[0], 1, 1, 0x12345), 0u);
  EXPECT_TRUE(log.Contains(qz::text::kFileBadHandle));
}

TEST_F(ArchiveFileTest, TheFiveHundredThirteenthOpenIsRefused) {
  WriteArchive("many.vtr", FolderNode("", {FileNode("m", "x")}));
  ScratchLog log;
  std::vector<qz::FileHandle> open;
  for (int i = 0; i < qz::kArchiveOpenFileCount; ++i) {
    open.push_back(qz::FileAccessOpen(scratch_.Library("many\\m").c_str(), 0, 1, 0));
    ASSERT_NE(open.back(), 0) << i;
  }
  EXPECT_EQ(qz::FileAccessOpen(scratch_.Library("many\\m").c_str(), 0, 1, 0), 0);
  EXPECT_TRUE(log.Contains(qz::text::kArchiveFileTableFull));
  for (qz::FileHandle file : open) EXPECT_EQ(qz::FileAccessClose(file), 0);
}

TEST_F(ArchiveFileTest, MemberReadSeekTellAndEofMatchTheSource) {
  const std::string bytes = PatternBytes(5000) + std::string(3000, 'r');
  for (const bool pack : {true, false}) {
    SCOPED_TRACE(pack ? "packed" : "stored");
    qz::ArchiveWriteOptions options;
    options.pack = pack;
    WriteArchive(pack ? "p.vtr" : "s.vtr", FolderNode("", {FileNode("m.bin", bytes)}), options);
    const std::string path = scratch_.Library(pack ? "p\\m.bin" : "s\\m.bin");
    for (const int asynchronous : {0, 1}) {
      const qz::FileHandle file = qz::FileAccessOpen(path.c_str(), 0, 1, asynchronous);
      ASSERT_NE(file, 0);
      char buffer[16];
      EXPECT_EQ(qz::FileAccessSeek(file, 7990, 0), 0);
      // Elements count whole: 10 bytes left of 4-byte elements read as 2.
      EXPECT_EQ(qz::FileAccessRead(buffer, 4, 4, file), 2u);
      EXPECT_EQ(qz::FileAccessTell(file), 8000);
      EXPECT_EQ(std::string(buffer, 10), bytes.substr(7990));
      EXPECT_EQ(qz::FileAccessEof(file), 0);
      EXPECT_EQ(qz::FileAccessRead(buffer, 1, 1, file), 0u);
      EXPECT_EQ(qz::FileAccessEof(file), -1);
      // Seeks clamp to the member and clear the end.
      EXPECT_EQ(qz::FileAccessSeek(file, -100000, 1), 0);
      EXPECT_EQ(qz::FileAccessTell(file), 0);
      EXPECT_EQ(qz::FileAccessEof(file), 0);
      EXPECT_EQ(qz::FileAccessSeek(file, 1 << 30, 2), 0);
      EXPECT_EQ(qz::FileAccessTell(file), 8000);
      EXPECT_EQ(qz::FileAccessSeek(file, -5003, 2), 0);
      EXPECT_EQ(qz::FileAccessRead(buffer, 1, 6, file), 6u);
      while (qz::FileAccessIdleCheck(file) == 0) {
      }
      EXPECT_EQ(std::string(buffer, 6), bytes.substr(2997, 6));
      EXPECT_EQ(qz::FileAccessSeek(file, 0, 7), -1);
      EXPECT_EQ(qz::FileAccessClose(file), 0);
      EXPECT_EQ(ReadAll(path, asynchronous), bytes);
    }
  }
}

// A packed member whose bytes do not decode, read asynchronously: the reads
// give nothing, but the member reports its end so a read-to-end loop stops.
TEST_F(ArchiveFileTest, ADamagedPackedMemberReadAsynchronouslyEndsWithTheFailureLogged) {
  const std::string bytes = PatternBytes(6000);
  // The member's packed bytes start right after the 24-byte header; a run
  // of 0xFF there is no valid coded stream.
  const std::vector<std::uint8_t> image = Damage(MakeImage(FolderNode("", {FileNode("m", bytes)})), [](auto& i) {
    std::fill(i.begin() + qz::kArchiveHeaderSize, i.begin() + qz::kArchiveHeaderSize + 64, 0xFF);
  });
  scratch_.Write("bad.vtr", AsString(image));
  ScratchLog log;
  for (const int asynchronous : {1, 0}) {
    const qz::FileHandle file = qz::FileAccessOpen(scratch_.Library("bad\\m").c_str(), 0, 1, asynchronous);
    if (asynchronous == 0) {
      EXPECT_EQ(file, 0) << "a synchronous open decodes at once and refuses";
      continue;
    }
    ASSERT_NE(file, 0);
    char chunk[512];
    int reads = 0;
    while (qz::FileAccessEof(file) == 0 && reads < 100) reads += qz::FileAccessRead(chunk, 1, sizeof chunk, file) == 0;
    EXPECT_LT(reads, 100) << "the end flag never came";
    EXPECT_EQ(qz::FileAccessTell(file), static_cast<std::int64_t>(bytes.size()));
    // A seek back does not revive it.
    EXPECT_EQ(qz::FileAccessSeek(file, 0, 0), 0);
    EXPECT_EQ(qz::FileAccessRead(chunk, 1, sizeof chunk, file), 0u);
    EXPECT_EQ(qz::FileAccessEof(file), -1);
    EXPECT_EQ(qz::FileAccessClose(file), 0);
  }
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadPacked) || log.Contains(qz::text::kArchiveBadTable));
}

TEST_F(ArchiveFileTest, RandomTreesReadBackThroughTheFileTable) {
  for (std::uint32_t seed = 100; seed < 106; ++seed) {
    const qz::ArchiveSourceNode tree = RandomTree(seed);
    std::map<std::string, std::vector<std::uint8_t>> files;
    Flatten(tree, "", &files);
    qz::ArchiveWriteOptions options;
    options.version = seed % 2 ? 4 : 2;
    options.codePage = 932;
    const std::string name = "tree" + std::to_string(seed);
    WriteArchive(name + ".vtr", tree, options);
    for (const auto& [member, bytes] : files) {
      EXPECT_EQ(ReadAll(scratch_.Library(name + "\\" + member), static_cast<int>(seed % 3 == 0)), AsString(bytes))
          << seed << " " << member;
    }
  }
}

std::vector<std::string> List(const std::string& pattern, std::vector<int>* directories = nullptr) {
  std::vector<std::string> names;
  qz::FindRecord record;
  const qz::FindHandle search = qz::FileAccessFindFirst(pattern.c_str(), &record);
  if (search == -1) return names;
  do {
    names.push_back(record.name);
    if (directories != nullptr) directories->push_back(record.isDirectory);
  } while (qz::FileAccessFindNext(search, &record) == 0);
  EXPECT_EQ(qz::FileAccessFindClose(search), 0);
  return names;
}

TEST_F(ArchiveFileTest, FindListsArchiveDirectories) {
  WriteArchive("f.vtr",
               FolderNode("", {FolderNode("sub", {FileNode("a.png", "1"), FileNode("abc", "22"), FileNode("ABBC", "3"),
                                                  FileNode("x.b.png", "4"), FolderNode("dir.png", {})}),
                               FileNode("top", "t")}));
  std::vector<int> directories;
  EXPECT_EQ(List(scratch_.Library("f\\sub\\*.PNG"), &directories),
            (std::vector<std::string>{".", "..", "a.png", "dir.png", "x.b.png"}));
  EXPECT_EQ(directories, (std::vector<int>{1, 1, 0, 1, 0}));
  EXPECT_EQ(List(scratch_.Library("f\\sub\\A?C")), (std::vector<std::string>{".", "..", "abc"}));
  EXPECT_EQ(List(scratch_.Library("f\\*")), (std::vector<std::string>{".", "sub", "top"}));
  qz::FindRecord record;
  const qz::FindHandle search = qz::FileAccessFindFirst(scratch_.Library("f\\top").c_str(), &record);
  ASSERT_NE(search, -1);
  EXPECT_STREQ(record.name, ".");
  ASSERT_EQ(qz::FileAccessFindNext(search, &record), 0);
  EXPECT_STREQ(record.name, "top");
  EXPECT_EQ(record.sizeLow, 1u);
  EXPECT_EQ(record.isDirectory, 0);
  qz::FileAccessFindClose(search);
  EXPECT_EQ(qz::FileAccessFindFirst(scratch_.Library("f\\nothere\\*").c_str(), &record), -1);
  // Outside archives the disk is searched.
  scratch_.Write("plain/one.txt", "1");
  EXPECT_EQ(List(scratch_.Library("plain\\*.txt")), (std::vector<std::string>{"one.txt"}));
}

// Found by the fuzz target: a packed member whose entry claims 3.6 GB from a
// few coded bytes; the open refused it only after allocating that much.
constexpr char kClaimsHugeMember[] =
    "\xaa\x9c\x39\x0b\x5a\x07\xcd\x50\x6e\xc4\x56\x32\x0b\xc6\x3b\x0b\xf2\x07\xcd\x50\x0e\xc4\x56\x32"
    "\xed\xc6\x3b\x0b\xc2\x07\xcd\x50\x76\xa5\x34\x51\xfb\xb7\x39\x01\xff\x8b\xcf\x31\xb0\x8c\x67\x3c"
    "\xbb\x9d\x41\x94\x23\x2d\xdb\xe2\xd3\x70\xf0\x59\xeb\xae\xd1\x05\x86\x70\x50\x95\x89\x35\xe8\x7f"
    "\x97\x6c\x7d\x2f\x42\x08\xe4\xa2\xbd\xb3\x93\x57\x28\xde\x0f\x5b\x80\xe9\xbf\xc3\x19\x51\x9d\x12"
    "\x8f\x3a\x97\x8c\x76\x64\xd7\x74\xd8\xfc\xa4\xfe\xbd\x5e\x7c\x3f\xd5\x0f\x63\xe7\xf9\x47\x94\xed"
    "\x75\xfb\x1f\xd0\x43\x7a\x83\x6e\x5c\xef\x23\x01\xa9\xc6\x41\xed\xa4\x86\xe7\x50\xcc\x25\x24\x20"
    "\x7c\x60\x2d\x62\xef\xf9\xbc\x3a\xc3\xee\x89\xe3\x9f\x2a\x01\xb8\xcb\x23\x48\x61\x8c\xc1\xf6\xda"
    "\xe3\x29\xb8\xe1\xc8\x72\x31\xe3\x48\xe1\x56\x09\xfb\xdc\x3e\xb4\x09\xdf\xbe\x69\xb5\xec\x2b\x40"
    "\x62\x3e\xfd\xc0\xe6\xf3\x09\x6b\xa4\x4c\x8b\x0c\xc5\xd8\xb8\x16\x50\xe2\x75\x64\x58\x24\x4b\xb8"
    "\xee\xd8\x09\x07\xc9\xc4\x2d\xe9\x64\xe4\xd7\x0c\x36\x73\x87\x1f\x2e\x8c\x66\x87\xc8\x0f\x95\x7f"
    "\xfa\xc6\xfd\x0b\x93\x45\x8e\x50\x37\x86\x15\x32\xf9\xc6\x45\x0a\x9c\x48\x84\x03\xc4\xa9\x52\x95"
    "\x33\x56\x32\x78\xb7\x07\xcd\x50\x76\xc4\x56\x32\xdb\xc6\x3b\x0b\x93\x96\x29\x14\x7a\x42\x8b\x33"
    "\xba\x57\xdf\x4f\xde\x81\x10\x51\x37\x55\xb2\x76\xf7\x40\xe6\x0a\xd2\x07\xcd\x50\x60\xc4\x32\xeb"
    "\x56\xc6\x3b\x0b\xde\x07\xcd\x50\x56\xc4\x56\x32\xba\x57\xdf\x4f\xde\x81\x10\x51\x37\x55\xb2\x76"
    "\xf7\x40\xe6\x0a\x93\x96\x29\x14\x7a\x42\x8b\x33\xeb\xc6\x3b\x0b\x1a\x07\xcd\x50\x89\x3b\xff\xff"
    "\x04\x42\x3b\x0b\x2d\xf8\x32\xaf\x74\xc4\x56\x32\xfb\xc6\x3b\x0b";

TEST_F(ArchiveFileTest, FuzzFoundArchivesAreRefusedCheaply) {
  scratch_.Write("fuzz.vtr", std::string(kClaimsHugeMember, sizeof kClaimsHugeMember - 1));
  ScratchLog log;
  std::vector<std::string> names = List(scratch_.Library("fuzz\\*"));
  ASSERT_FALSE(names.empty());
  int refused = 0;
  for (const std::string& name : names) {
    if (name == ".") continue;
    const qz::FileHandle file = qz::FileAccessOpen(scratch_.Library("fuzz\\" + name).c_str(), 0, 1, 0);
    if (file == 0) {
      ++refused;
      continue;
    }
    char chunk[256];
    while (qz::FileAccessRead(chunk, 1, sizeof chunk, file) != 0) {
    }
    qz::FileAccessClose(file);
  }
  EXPECT_GT(refused, 0);
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadTable));
}

TEST(ArchiveNameMatchTest, WildcardsBacktrackAndKeepPairs) {
  EXPECT_TRUE(qz::CompareArchiveName("*.PNG", "A.B.PNG", 1));
  EXPECT_TRUE(qz::CompareArchiveName("*A*B", "XAYAB", 1));
  EXPECT_TRUE(qz::CompareArchiveName("**", "", 1));
  EXPECT_TRUE(qz::CompareArchiveName("A?C", "ABC", 1));
  EXPECT_FALSE(qz::CompareArchiveName("A?C", "AC", 1));
  EXPECT_FALSE(qz::CompareArchiveName("*.PNG", "A.PNGX", 1));
  EXPECT_FALSE(qz::CompareArchiveName("ABC", "AB", 1));
  // A pair never matches half of another pair, nor a star stops inside one.
  EXPECT_FALSE(qz::CompareArchiveName("\x82\xA0", "\x82\xA1", 1));
  EXPECT_TRUE(qz::CompareArchiveName("*\x82\xA0", "\x82\xA1\x82\xA0", 1));
  EXPECT_FALSE(qz::CompareArchiveName("*A", "\x82" "A", 1));
}

}  // namespace
