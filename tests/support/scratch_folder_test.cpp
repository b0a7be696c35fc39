#include "support/scratch_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

namespace {

// A forked child that ends normally destroys its copies of the parent's
// statics; the folders they name are the parent's and must outlive it.
TEST(ScratchFolderTest, OnlyTheProcessThatMadeTheFolderRemovesIt) {
  auto inherited = std::make_unique<qz::testing::ScratchFolder>();
  inherited->Write("kept.txt", "the parent's");
  const std::string root = inherited->root();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    inherited.reset();
    auto own = std::make_unique<qz::testing::ScratchFolder>();
    const std::string ownRoot = own->root();
    const bool ownMade = std::filesystem::exists(ownRoot);
    own.reset();
    _exit(ownMade && !std::filesystem::exists(ownRoot) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's own folder is removed by the child";
  EXPECT_EQ(inherited->Read("kept.txt"), "the parent's");
  inherited.reset();
  EXPECT_FALSE(std::filesystem::exists(root)) << "the maker still removes it";
}

}  // namespace
