// Searches of the stand-in: Windows wildcard rules, what a search lists and
// the attributes, sizes and times it reports.
#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "support/scratch_folder.h"
#include "platform/file.h"

namespace {

using qz::testing::ScratchFolder;

TEST(PlatFileFind, WildcardsFollowWindowsRules) {
  EXPECT_TRUE(plat::MatchesWildcard("*.txt", "a.txt"));
  EXPECT_TRUE(plat::MatchesWildcard("*.txt", "README.TXT"));
  EXPECT_TRUE(plat::MatchesWildcard("*.txt", "a.b.txt"));
  EXPECT_FALSE(plat::MatchesWildcard("*.txt", "a.txt.bak"));
  EXPECT_FALSE(plat::MatchesWildcard("*.txt", "txt"));
  EXPECT_TRUE(plat::MatchesWildcard("*.*", "noext"));
  EXPECT_TRUE(plat::MatchesWildcard("save.*", "save"));
  EXPECT_TRUE(plat::MatchesWildcard("save.*", "SAVE.DAT"));
  EXPECT_FALSE(plat::MatchesWildcard("save.*", "saves"));
  EXPECT_TRUE(plat::MatchesWildcard("*.", "noext"));
  EXPECT_FALSE(plat::MatchesWildcard("*.", "a.b"));
  EXPECT_TRUE(plat::MatchesWildcard("?.c", "x.c"));
  EXPECT_FALSE(plat::MatchesWildcard("?.c", "xy.c"));
  EXPECT_FALSE(plat::MatchesWildcard("?.c", ".c"));
  EXPECT_TRUE(plat::MatchesWildcard("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(plat::MatchesWildcard("a*b*c", "aXbYbZ"));
  // Many stars over a long name that fails must still end promptly.
  EXPECT_FALSE(plat::MatchesWildcard("*a*a*a*a*a*a*a*b", std::string(200, 'a')));
}

std::vector<plat::FindData> FindAll(const std::string& pattern) {
  std::vector<plat::FindData> found;
  plat::FindData data;
  plat::Handle search = plat::FindFirstFileA(pattern.c_str(), &data);
  if (search == plat::INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back(data);
  } while (plat::FindNextFileA(search, &data));
  EXPECT_FALSE(plat::FindNextFileA(search, &data));
  EXPECT_TRUE(plat::FindClose(search));
  return found;
}

std::vector<std::string> Names(const std::vector<plat::FindData>& found) {
  std::vector<std::string> names;
  for (const plat::FindData& data : found) names.emplace_back(data.name);
  return names;
}

// 100 ns units since 1601 to seconds since 1970.
std::int64_t ToUnixSeconds(const plat::FileTime& time) {
  const std::uint64_t ticks = (static_cast<std::uint64_t>(time.high) << 32) | time.low;
  return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600;
}

TEST(PlatFileFind, ListsMatchesWithAttributesSizesAndTimes) {
  ScratchFolder scratch;
  scratch.Write("list/b.txt", "12345");
  scratch.Write("list/A.TXT", "");
  scratch.Write("list/c.dat", "xyz");
  scratch.Write("list/noext", "1");
  scratch.MakeFolder("list/folder.txt");

  const std::vector<plat::FindData> txt = FindAll(scratch.Library("LIST\\*.txt"));
  ASSERT_EQ(Names(txt), (std::vector<std::string>{"A.TXT", "b.txt", "folder.txt"}));
  EXPECT_EQ(txt[0].sizeLow, 0u);
  EXPECT_EQ(txt[1].sizeLow, 5u);
  EXPECT_EQ(txt[1].sizeHigh, 0u);
  EXPECT_EQ(txt[1].attributes & plat::FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(txt[2].attributes & plat::FILE_ATTRIBUTE_DIRECTORY, plat::FILE_ATTRIBUTE_DIRECTORY);
  const std::int64_t now = std::time(nullptr);
  EXPECT_NEAR(static_cast<double>(ToUnixSeconds(txt[1].lastWriteTime)), static_cast<double>(now), 120.0);
  EXPECT_NEAR(static_cast<double>(ToUnixSeconds(txt[1].creationTime)), static_cast<double>(now), 120.0);

  // "*.*" lists every name, dotless ones too, with "." and ".." first.
  const std::vector<std::string> all = Names(FindAll(scratch.Library("list\\*.*")));
  EXPECT_EQ(all, (std::vector<std::string>{".", "..", "A.TXT", "b.txt", "c.dat", "folder.txt", "noext"}));
  const std::vector<plat::FindData> dots = FindAll(scratch.Library("list\\*"));
  ASSERT_GE(dots.size(), 2u);
  EXPECT_EQ(dots[0].attributes, plat::FILE_ATTRIBUTE_DIRECTORY);

  // A name without wildcards finds that one entry, in any case.
  EXPECT_EQ(Names(FindAll(scratch.Library("list\\C.DAT"))), (std::vector<std::string>{"c.dat"}));
}

TEST(PlatFileFind, RefusesWhatCannotMatch) {
  ScratchFolder scratch;
  scratch.Write("only/a.txt", "a");
  plat::FindData data;
  EXPECT_EQ(plat::FindFirstFileA(scratch.Library("only\\*.png").c_str(), &data), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::FindFirstFileA(scratch.Library("absent\\*").c_str(), &data), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::FindFirstFileA(scratch.Library("only\\").c_str(), &data), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::FindFirstFileA(nullptr, &data), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::FindFirstFileA(scratch.Library("only\\*").c_str(), nullptr), plat::INVALID_HANDLE_VALUE);
  EXPECT_FALSE(plat::FindNextFileA(nullptr, &data));
  EXPECT_FALSE(plat::FindClose(plat::INVALID_HANDLE_VALUE));

  // The file-system root lists no "." or "..".
  const std::vector<std::string> root = Names(FindAll("\\*"));
  const std::set<std::string> names(root.begin(), root.end());
  EXPECT_EQ(names.count("."), 0u);
  EXPECT_EQ(names.count(".."), 0u);
  EXPECT_EQ(names.count("tmp"), 1u);
}

}  // namespace
