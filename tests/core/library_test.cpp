// The library entries: the pump's end request, a start and end in a child
// process, and the fatal exit: its code, its log line and the end it runs.
#include "core/library.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/file_access.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "platform/clock.h"
#include "platform/sync.h"
#include "support/scratch_log.h"

namespace {

// Window mode under a class of this process's own: tests run in parallel
// and the instance lock is per class.
void PrepareOwnWindow() {
  qz::GetWindowSystemState().settings = qz::WindowSettings{};
  qz::ChangeWindowMode(1);
  const std::string title = "QzLibraryEntry" + std::to_string(getpid());
  qz::SetMainWindowTitle(title.c_str());
}

TEST(LibraryEntry, PumpReportsTheEndRequest) {
  const int saved = qz::GetEndRequest();
  qz::SetEndRequest(0);
  const int passes = qz::GetPumpPassCount();
  EXPECT_EQ(qz::PumpMessagesEntry(), 0);
  qz::SetEndRequest(4);
  EXPECT_EQ(qz::GetEndRequest(), 4);
  EXPECT_EQ(qz::PumpMessagesEntry(), -1);
  EXPECT_EQ(qz::GetPumpPassCount() - passes, 2);
  qz::SetEndRequest(saved);
}

TEST(LibraryEntry, EndBeforeStartDoesNothing) { EXPECT_EQ(qz::EndLibraryEntry(), 0); }

TEST(LibraryEntryDeathTest, StartAndEndInAFreshProcess) {
  // Forked, so the child writes into this test's log folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  qz::testing::ScratchLog log;
  EXPECT_EXIT(
      {
        plat::UseVirtualTime(true);
        PrepareOwnWindow();
        char before[4096] = {};
        char after[4096] = {};
        qz::FileAccessGetDir(before, sizeof(before));
        bool ok = qz::InitLibraryEntry() == 0 && qz::InitLibraryEntry() == 0;
        // The end puts back the directory the start found.
        qz::FileAccessSetDir("/");
        ok = ok && qz::EndLibraryEntry() == 0 && qz::EndLibraryEntry() == 0 && plat::GetTimerPeriodBalance() == 0;
        qz::FileAccessGetDir(after, sizeof(after));
        ok = ok && std::string(before) == after;
        std::_Exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(log.Contains(qz::text::kSystemReportStart));
}

TEST(LibraryEntryDeathTest, FatalExitLogsAndEndsWith255) {
  // Forked, so the child writes into this test's log folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  qz::testing::ScratchLog log;
  EXPECT_EXIT(qz::FatalErrorExit("the handle table is full"), ::testing::ExitedWithCode(255), "");
  EXPECT_TRUE(log.Contains("the handle table is full\r\n"));

  EXPECT_EXIT(qz::FatalErrorExitFormat("no memory for %d bytes of %s", 4096, "fonts"),
              ::testing::ExitedWithCode(255), "");
  EXPECT_TRUE(log.Contains("no memory for 4096 bytes of fonts\r\n"));

  // From a worker thread it logs and leaves without the teardown.
  EXPECT_EXIT(
      {
        plat::Handle thread = plat::CreateThread(
            [](void*) -> std::uint32_t { qz::FatalErrorExit("worker gave up"); }, nullptr, nullptr);
        plat::WaitForSingleObject(thread, plat::INFINITE);
      },
      ::testing::ExitedWithCode(255), "");
  EXPECT_TRUE(log.Contains("worker gave up\r\n"));

  // An overlong message is cut, not overrun.
  const std::string longText(5000, 'x');
  EXPECT_EXIT(qz::FatalErrorExitFormat("%s", longText.c_str()), ::testing::ExitedWithCode(255), "");
  EXPECT_TRUE(log.Contains(std::string(2047, 'x') + "\r\n"));
  EXPECT_FALSE(log.Contains(std::string(2048, 'x')));

  // On the thread that started the library, the end runs before the exit.
  EXPECT_EXIT(
      {
        plat::UseVirtualTime(true);
        PrepareOwnWindow();
        if (qz::InitLibraryEntry() != 0) std::_Exit(1);
        qz::FatalErrorExit("graph table full");
      },
      ::testing::ExitedWithCode(255), "");
  EXPECT_TRUE(log.Contains("graph table full\r\n"));
  EXPECT_TRUE(log.Contains(qz::text::kComEnd));
}

}  // namespace
