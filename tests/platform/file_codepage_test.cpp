// File names across the stand-in boundary: the library speaks CP932, the disk
// holds UTF-8. Opens, creates, deletes, searches, temporary names and profile
// files reach the UTF-8 names, and a name without an exact form fails cleanly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/file.h"
#include "platform/kernel_object.h"
#include "platform/profile.h"
#include "support/scratch_folder.h"

namespace {

using qz::testing::ScopedTempFolder;
using qz::testing::ScratchFolder;

// CP932 bytes of the names below; a hex escape runs on over hex digits, hence
// the split literals. Both ソ and 表 end in 0x5C, the byte of "\".
const std::string kSoft = "\x83\x5C\x83" "t\x83" "g";  // ソフト
const std::string kShow = "\x95\x5C\x8E\xA6";          // 表示
const std::string kNew = "\x90V\x8B" "K.txt";          // 新規.txt
const std::string kSettings = "\x90\xDD\x92\xE8.ini";  // 設定.ini
const std::string kA = "\x82\xA0";                     // あ

std::string ScratchRoot(const ScratchFolder& scratch) { return plat::ToLibraryPath(scratch.root()); }

std::vector<std::string> Find(const std::string& pattern) {
  std::vector<std::string> names;
  plat::FindData data;
  const plat::Handle search = plat::FindFirstFileA(pattern.c_str(), &data);
  if (search == plat::INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.name);
  } while (plat::FindNextFileA(search, &data));
  plat::FindClose(search);
  return names;
}

bool WriteNew(const std::string& path, const std::string& bytes) {
  const plat::Handle file = plat::CreateFileA(path.c_str(), plat::GENERIC_WRITE, 0, plat::CREATE_ALWAYS,
                                              plat::FILE_ATTRIBUTE_NORMAL);
  if (file == plat::INVALID_HANDLE_VALUE) return false;
  std::uint32_t written = 0;
  const bool ok = plat::WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
  plat::CloseHandle(file);
  return ok && written == bytes.size();
}

TEST(PlatFileCodePage, PathsConvertBeforeTheirSeparators) {
  // The trail byte 0x5C stays inside its character instead of becoming "/".
  EXPECT_EQ(plat::ToPosixPath("\\tmp\\" + kSoft + "\\" + kShow + "\\f"), "/tmp/ソフト/表示/f");
  EXPECT_EQ(plat::ToPosixPath("C:" + kSoft), "ソフト");
  EXPECT_EQ(plat::ToLibraryPath("/tmp/ソフト/表示/f"), "\\tmp\\" + kSoft + "\\" + kShow + "\\f");
}

TEST(PlatFileCodePage, CodePageNamesReachUtf8NamesOnDisk) {
  ScratchFolder scratch;
  scratch.Write("ソフト/Data/X.txt", "x");
  const std::string soft = ScratchRoot(scratch) + "\\" + kSoft;

  ASSERT_TRUE(WriteNew(soft + "\\" + kNew, "new"));
  EXPECT_EQ(scratch.Read("ソフト/新規.txt"), "new");
  ASSERT_TRUE(WriteNew(soft + "\\" + kA + ".txt", "a"));
  // Case-insensitive resolution works below a Japanese folder.
  const plat::Handle file = plat::CreateFileA((soft + "\\DATA\\x.TXT").c_str(), plat::GENERIC_READ,
                                              plat::FILE_SHARE_READ, plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(file, plat::INVALID_HANDLE_VALUE);
  plat::CloseHandle(file);

  // Searches list CP932 names; "?" is one character, whatever its length on disk.
  EXPECT_EQ(Find(soft + "\\*"), (std::vector<std::string>{".", "..", "Data", kA + ".txt", kNew}));
  EXPECT_EQ(Find(soft + "\\?.txt"), (std::vector<std::string>{kA + ".txt"}));
  EXPECT_EQ(Find(soft + "\\" + kNew.substr(0, 2) + "*"), (std::vector<std::string>{kNew}));

  EXPECT_TRUE(plat::DeleteFileA((soft + "\\" + kNew).c_str()));
  EXPECT_FALSE(scratch.Exists("ソフト/新規.txt"));

  // Profile files take the same names.
  const std::string settings = soft + "\\" + kSettings;
  ASSERT_TRUE(plat::WritePrivateProfileStringA("Config", "Volume", "60", settings.c_str()));
  EXPECT_EQ(scratch.Read("ソフト/設定.ini"), "[Config]\r\nVolume=60\r\n");
  EXPECT_EQ(plat::GetPrivateProfileIntA("Config", "Volume", 80, settings.c_str()), 60u);

  // The temporary folder and temporary names come back in CP932 and open.
  scratch.MakeFolder("ソフト/表示");
  ScopedTempFolder temp(scratch.Posix("ソフト/表示"));
  char folder[256];
  ASSERT_GT(plat::GetTempPathA(sizeof(folder), folder), 0u);
  EXPECT_EQ(std::string(folder), soft + "\\" + kShow + "\\");
  char name[256];
  const plat::Handle temporary = plat::CreateUniqueTempFile(name, sizeof(name));
  ASSERT_NE(temporary, plat::INVALID_HANDLE_VALUE);
  plat::CloseHandle(temporary);
  EXPECT_EQ(std::string(name).substr(0, soft.size() + 1 + kShow.size()), soft + "\\" + kShow);
  EXPECT_TRUE(plat::DeleteFileA(name));
}

TEST(PlatFileCodePage, NamesWithoutAnExactFormFailCleanly) {
  ScratchFolder scratch;
  // "¥" would come back as "\" (a separator), "ü" is not in CP932, and 0xFF
  // is no UTF-8 at all: none may be listed under a changed spelling.
  scratch.Write("odd/a¥b.txt", "yen");
  scratch.Write("odd/müde.txt", "umlaut");
  scratch.Write("odd/bad\xFF.txt", "bytes");
  scratch.Write("odd/ok.txt", "ok");
  scratch.MakeFolder("müde");
  const std::string odd = ScratchRoot(scratch) + "\\odd";

  plat::StartDebugCapture();
  EXPECT_EQ(Find(odd + "\\*.txt"), (std::vector<std::string>{"ok.txt"}));
  std::string log = plat::TakeDebugCapture();
  EXPECT_NE(log.find("file name has no form in the code page: a¥b.txt"), std::string::npos) << log;
  EXPECT_NE(log.find("file name has no form in the code page: müde.txt"), std::string::npos) << log;

  // A lead byte without its trail byte is no CP932 name: nothing is created.
  plat::StartDebugCapture();
  EXPECT_FALSE(WriteNew(odd + "\\cut\x82", "x"));
  EXPECT_FALSE(plat::DeleteFileA((odd + "\\ok\x82").c_str()));
  EXPECT_FALSE(plat::SetCurrentDirectoryA((odd + "\\\x82").c_str()));
  plat::FindData unused;
  EXPECT_EQ(plat::FindFirstFileA((odd + "\\*\x82").c_str(), &unused), plat::INVALID_HANDLE_VALUE);
  log = plat::TakeDebugCapture();
  EXPECT_NE(log.find("file name is not valid in the code page"), std::string::npos) << log;
  EXPECT_EQ(Find(odd + "\\c*"), std::vector<std::string>{});
  EXPECT_TRUE(scratch.Exists("odd/ok.txt"));

  // A temporary folder the code page cannot name gives no path and no file.
  ScopedTempFolder temp(scratch.Posix("müde"));
  char buffer[256];
  EXPECT_EQ(plat::GetTempPathA(sizeof(buffer), buffer), 0u);
  EXPECT_EQ(plat::CreateUniqueTempFile(buffer, sizeof(buffer)), plat::INVALID_HANDLE_VALUE);
  EXPECT_TRUE(std::filesystem::is_empty(scratch.Posix("müde")));
  // Without a path to hand out, the name does not matter.
  const plat::Handle unnamed = plat::CreateUniqueTempFile(nullptr, 0);
  ASSERT_NE(unnamed, plat::INVALID_HANDLE_VALUE);
  plat::CloseHandle(unnamed);
}

}  // namespace
