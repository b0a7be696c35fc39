// Replacing a whole file as a caller sees it: the new bytes in place and no
// temporary left; on a full disk, a missing folder or a denied name the old
// file untouched with the reason given; the temporary flushed before its
// rename, and a failing flush or rename keeping the old file; a temporary
// left by a cut-off replacement removed on request; and the stand-in's
// rename that never replaces unless asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/file_replace.h"
#include "platform/file.h"
#include "support/scratch_folder.h"

namespace {

using qz::FileReplaceError;

TEST(FileReplaceTest, NewBytesReplaceTheFileOrTheOldOneStaysWithTheReason) {
  qz::testing::ScratchFolder folder;
  folder.Write("slot.sav", "old bytes");
  const std::string path = folder.Library("slot.sav");
  FileReplaceError error = FileReplaceError::kWriteFailed;
  ASSERT_EQ(qz::ReplaceFileBytes(path.c_str(), "new", 3, &error), 0);
  EXPECT_EQ(error, FileReplaceError::kNone);
  EXPECT_EQ(folder.Read("slot.sav"), "new");
  EXPECT_FALSE(folder.Exists("slot.sav.tmp"));

  std::filesystem::create_symlink("/dev/full", folder.Posix("slot.sav.tmp"));
  EXPECT_EQ(qz::ReplaceFileBytes(path.c_str(), "lost", 4, &error), -1);
  EXPECT_EQ(error, FileReplaceError::kDiskFull);
  EXPECT_EQ(folder.Read("slot.sav"), "new");
  EXPECT_FALSE(std::filesystem::is_symlink(folder.Posix("slot.sav.tmp")));

  folder.MakeFolder("slot.sav.tmp");
  EXPECT_EQ(qz::ReplaceFileBytes(path.c_str(), "lost", 4, &error), -1);
  EXPECT_EQ(error, FileReplaceError::kAccessDenied);
  EXPECT_EQ(folder.Read("slot.sav"), "new");

  const std::string unfoldered = folder.Library("missing/slot.sav");
  EXPECT_EQ(qz::ReplaceFileBytes(unfoldered.c_str(), "lost", 4, &error), -1);
  EXPECT_EQ(error, FileReplaceError::kNoFolder);
}

// A rename of a temporary whose bytes are not yet on the disk can leave an
// empty file in the old one's place after a power loss.
TEST(FileReplaceTest, TheTemporaryIsFlushedBeforeItsRenameAndEitherFailingKeepsTheOldFile) {
  qz::testing::ScratchFolder folder;
  folder.Write("slot.sav", "old bytes");
  const std::string path = folder.Library("slot.sav");
  const std::string file = folder.Posix("slot.sav"), temporary = file + ".tmp";
  const std::string flushed = "flush " + std::filesystem::canonical(folder.root()).string() + "/slot.sav.tmp";
  const std::string renamed = "rename " + temporary + " " + file;
  struct RecordingEnds {
    ~RecordingEnds() { plat::RecordDurableCallsForTest(false); }
  } recordingEnds;
  plat::RecordDurableCallsForTest(true);
  FileReplaceError error = FileReplaceError::kWriteFailed;
  ASSERT_EQ(qz::ReplaceFileBytes(path.c_str(), "new", 3, &error), 0);
  EXPECT_EQ(plat::TakeDurableCallsForTest(), (std::vector<std::string>{flushed, renamed}));
  EXPECT_EQ(folder.Read("slot.sav"), "new");

  struct Failure {
    plat::DurableCall call;
    std::uint32_t error;
    FileReplaceError reason;
    std::vector<std::string> calls;  // made before giving up
  };
  const Failure failures[] = {
      {plat::DurableCall::kFlush, plat::ERROR_DISK_FULL, FileReplaceError::kDiskFull, {flushed}},
      {plat::DurableCall::kFlush, plat::ERROR_WRITE_FAULT, FileReplaceError::kWriteFailed, {flushed}},
      {plat::DurableCall::kRename, plat::ERROR_ACCESS_DENIED, FileReplaceError::kAccessDenied, {flushed, renamed}},
      {plat::DurableCall::kRename, plat::ERROR_WRITE_FAULT, FileReplaceError::kWriteFailed, {flushed, renamed}},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.error);
    plat::FailDurableCallForTest(failure.call, 1, failure.error);
    EXPECT_EQ(qz::ReplaceFileBytes(path.c_str(), "lost", 4, &error), -1);
    EXPECT_EQ(error, failure.reason);
    EXPECT_EQ(plat::TakeDurableCallsForTest(), failure.calls);
    EXPECT_EQ(folder.Read("slot.sav"), "new");
    EXPECT_FALSE(folder.Exists("slot.sav.tmp"));
  }
  // One planned failure each: the next replacement goes through.
  ASSERT_EQ(qz::ReplaceFileBytes(path.c_str(), "newer", 5, &error), 0);
  EXPECT_EQ(folder.Read("slot.sav"), "newer");

  // A new recording starts from nothing: calls never taken and a failure
  // never met are dropped.
  plat::FailDurableCallForTest(plat::DurableCall::kRename, 1, plat::ERROR_WRITE_FAULT);
  plat::RecordDurableCallsForTest(true);
  EXPECT_EQ(plat::TakeDurableCallsForTest(), std::vector<std::string>{});
  ASSERT_EQ(qz::ReplaceFileBytes(path.c_str(), "newest", 6, &error), 0);
  EXPECT_EQ(folder.Read("slot.sav"), "newest");
}

TEST(FileReplaceTest, ACutOffTemporaryIsRemovedAndRenamesReplaceOnlyWhenAsked) {
  qz::testing::ScratchFolder folder;
  folder.Write("slot.sav", "whole");
  folder.Write("slot.sav.tmp", "half");
  const std::string path = folder.Library("slot.sav");
  EXPECT_EQ(qz::RemoveInterruptedReplacement(path.c_str()), 1);
  EXPECT_EQ(qz::RemoveInterruptedReplacement(path.c_str()), 0);
  EXPECT_FALSE(folder.Exists("slot.sav.tmp"));
  EXPECT_EQ(folder.Read("slot.sav"), "whole");

  folder.Write("other.sav", "other");
  const std::string other = folder.Library("other.sav");
  EXPECT_EQ(plat::MoveFileExA(other.c_str(), path.c_str(), plat::MOVEFILE_WRITE_THROUGH), 0);
  EXPECT_EQ(plat::GetLastError(), plat::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(folder.Read("slot.sav"), "whole");
  EXPECT_NE(plat::MoveFileExA(other.c_str(), path.c_str(), plat::MOVEFILE_REPLACE_EXISTING), 0);
  EXPECT_EQ(folder.Read("slot.sav"), "other");
  EXPECT_FALSE(folder.Exists("other.sav"));
}

}  // namespace
