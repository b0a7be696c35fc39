// Full-path making against drive bases and POSIX-rooted bases.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/file_access.h"
#include "core/log_text.h"
#include "core/path.h"
#include "support/scratch_log.h"

namespace qz {
namespace {

std::string Full(const char* relative, const char* base) {
  char out[512];
  EXPECT_EQ(MakeFullPath(relative, out, sizeof out, base), 0) << relative;
  return out;
}

TEST(MakeFullPath, DriveBase) {
  EXPECT_EQ(Full("..\\b", "C:\\x\\y"), "C:\\x\\b");
  EXPECT_EQ(Full("\\z", "C:\\x\\y"), "C:\\z");
  EXPECT_EQ(Full("D:w", "C:\\x\\y"), "D:\\w");
  EXPECT_EQ(Full("D:\\w\\v", "C:\\x"), "D:\\w\\v");
  EXPECT_EQ(Full("a/b\\c", "C:\\x\\"), "C:\\x\\a\\b\\c");
  EXPECT_EQ(Full("..\\..\\..", "C:\\x\\y"), "C:\\");
  EXPECT_EQ(Full("\\\\server\\share\\f", "C:\\x"), "\\\\server\\share\\f");
  EXPECT_EQ(Full(nullptr, "C:\\x\\y"), "C:\\x\\y");
  // No base: the working directory.
  char here[512];
  ASSERT_EQ(FileAccessGetDir(here, sizeof here), 0);
  EXPECT_EQ(Full("x", nullptr), std::string(here) + "\\x");
}

TEST(MakeFullPath, PosixRootedBase) {
  EXPECT_EQ(Full("\\z", "\\g\\app"), "\\z");
  EXPECT_EQ(Full("..\\b", "\\g\\app"), "\\g\\b");
  EXPECT_EQ(Full("data\\.\\x", "\\g\\app"), "\\g\\app\\data\\x");
  EXPECT_EQ(Full("..\\..\\..", "\\g\\app"), "\\");
  EXPECT_EQ(Full("x", "\\"), "\\x");
}

TEST(MakeFullPath, DoubleByteNamesAndOverflow) {
  // 0x95 0x5C ("表") ends in a byte equal to "\": it must not split the name.
  EXPECT_EQ(Full("\x95\x5C\\f", "C:\\x"), "C:\\x\\\x95\x5C\\f");
  EXPECT_EQ(Full("..", "C:\\\x95\x5C"), "C:\\");
  // Nor inside a name (表示), nor at the end of a base.
  EXPECT_EQ(Full("\x95\x5C\x8E\xA6", "C:\\x"), "C:\\x\\\x95\x5C\x8E\xA6");
  EXPECT_EQ(Full("f", "C:\\\x95\x5C"), "C:\\\x95\x5C\\f");

  char tiny[8];
  EXPECT_EQ(MakeFullPath("longname", tiny, sizeof tiny, "C:\\x"), -1);
  EXPECT_STREQ(tiny, "");
  char fits[9];
  EXPECT_EQ(MakeFullPath("abcde", fits, sizeof fits, "C:"), 0);
  EXPECT_STREQ(fits, "C:\\abcde");
  // A byte short of room for the zero is refused, logged and cleared.
  testing::ScratchLog log;
  char exact[8];
  EXPECT_EQ(MakeFullPath("abcde", exact, sizeof exact, "C:"), -1);
  EXPECT_STREQ(exact, "");
  char line[128];
  std::snprintf(line, sizeof line, text::kPathTooLong, std::size_t{8}, "C:\\abcde");
  EXPECT_TRUE(log.Contains(line)) << log.Contents();
  char one[1] = {'x'};
  EXPECT_EQ(MakeFullPath("abcde", one, sizeof one, "C:"), -1);
  EXPECT_EQ(one[0], '\0');
}

TEST(PathRoot, DriveOrNothing) {
  // Drives are the letters A to Z of either case; their neighbours are not.
  const struct {
    const char* path;
    const char* root;
  } cases[] = {{"C:\\x", "C:"}, {"\\tmp\\x", ""}, {nullptr, ""}, {"A:", "A:"}, {"Z:", "Z:"}, {"a:", "a:"},
               {"z:", "z:"},    {"@:", ""},       {"[:", ""},     {"`:", ""},   {"{:", ""}};
  for (const auto& c : cases) {
    char root[3] = {'?', '?', '?'};  // every byte the root needs is written
    GetPathRoot(c.path, root);
    EXPECT_STREQ(root, c.root) << (c.path != nullptr ? c.path : "null");
  }
}

}  // namespace
}  // namespace qz
