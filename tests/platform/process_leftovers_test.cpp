// What a killed process left under its own name goes; what a live process,
// or a name of another form, holds stays.
#include "platform/process_leftovers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/scratch_folder.h"

namespace {

TEST(ProcessLeftoversTest, RemovesOnlyTheEntriesOfEndedProcesses) {
  qz::testing::ScratchFolder folder;
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string dead = std::to_string(ended), live = std::to_string(getpid());
  folder.MakeFolder("qz_archive_fuzz_" + dead);
  folder.Write("qz_archive_fuzz_" + dead + "/fuzz.QZA", "left by a kill");
  folder.Write("qz_archive_fuzz_" + dead + "_Ab12Cd", "a temporary of it");
  folder.MakeFolder("qz_archive_fuzz_" + live);
  const char* kept[] = {"qz_archive_fuzz_", "qz_archive_fuzz_abc", "qz_archive_fuzzX", "other_"};
  for (const char* name : kept) folder.Write(name, "");
  folder.Write("qz_archive_fuzz_" + dead + "x", "not a pid and a rest");
  folder.Write("other_" + dead, "another prefix");

  EXPECT_EQ(plat::RemoveLeftoversOfEndedProcesses(folder.root(), "qz_archive_fuzz_"), 2);
  EXPECT_FALSE(folder.Exists("qz_archive_fuzz_" + dead));
  EXPECT_FALSE(folder.Exists("qz_archive_fuzz_" + dead + "_Ab12Cd"));
  EXPECT_TRUE(folder.Exists("qz_archive_fuzz_" + live));
  for (const char* name : kept) EXPECT_TRUE(folder.Exists(name)) << name;
  EXPECT_TRUE(folder.Exists("qz_archive_fuzz_" + dead + "x"));
  EXPECT_TRUE(folder.Exists("other_" + dead));
  EXPECT_EQ(plat::NameOfThisProcess("p_"), "p_" + live);
  EXPECT_EQ(plat::RemoveLeftoversOfEndedProcesses(folder.Posix("missing"), "p_"), 0);
}

// Nine digits is the longest pid read (no pid reaches it: the kernel's
// limit has seven), so a nine-digit name is a process that has ended; ten
// digits could wrap into another pid and are left alone. A name one byte off
// the prefix on either side is not ours.
TEST(ProcessLeftoversTest, ReadsPidsOfUpToNineDigitsAndOnlyAfterTheWholePrefix) {
  qz::testing::ScratchFolder folder;
  folder.Write("p_123456789", "");
  folder.Write("p_123456789_Ab12Cd", "");
  folder.Write("p_1234567890", "");
  folder.Write("p^123456789", "");
  folder.Write("p`123456789", "");
  EXPECT_EQ(plat::RemoveLeftoversOfEndedProcesses(folder.root(), "p_"), 2);
  EXPECT_FALSE(folder.Exists("p_123456789"));
  EXPECT_FALSE(folder.Exists("p_123456789_Ab12Cd"));
  for (const char* name : {"p_1234567890", "p^123456789", "p`123456789"}) EXPECT_TRUE(folder.Exists(name)) << name;
}

// A live process's entry stays whatever errno a call before left behind.
TEST(ProcessLeftoversTest, ALiveProcessIsNotTakenForEndedByAStaleErrno) {
  qz::testing::ScratchFolder folder;
  folder.Write("p_" + std::to_string(getpid()), "");
  errno = ESRCH;
  EXPECT_EQ(plat::RemoveLeftoversOfEndedProcesses(folder.root(), "p_"), 0);
  EXPECT_TRUE(folder.Exists("p_" + std::to_string(getpid())));
}

}  // namespace
