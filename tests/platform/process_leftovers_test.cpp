// What a killed process left under its own name goes; what a live process,
// or a name of another form, holds stays.
#include "platform/process_leftovers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
