// The library across processes and on the desktop backend: a second process
// that starts under the same window class is refused while the first runs,
// and the same start, frames and end run under SDL's dummy video driver.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/clock.h"
#include "core/library.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "support/scratch_log.h"

namespace {

std::string UniqueTitle(const char* stem) { return std::string(stem) + std::to_string(getpid()); }

void PrepareWindowedStart(const std::string& title) {
  qz::GetWindowSystemState().settings = qz::WindowSettings{};
  qz::ChangeWindowMode(1);
  qz::SetMainWindowTitle(title.c_str());
}

TEST(LibraryProcesses, SecondProcessOfTheSameClassIsRefused) {
  qz::testing::ScratchLog log;
  const std::string title = UniqueTitle("QzTwoProcesses");
  int started[2];
  int release[2];
  ASSERT_EQ(pipe(started), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The first copy: starts, says so, runs until told to end.
    PrepareWindowedStart(title);
    char byte = qz::InitLibraryEntry() == 0 ? 1 : 0;
    if (write(started[1], &byte, 1) != 1) std::_Exit(2);
    if (read(release[0], &byte, 1) != 1) std::_Exit(3);
    qz::EndLibraryEntry();
    std::_Exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(started[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);

  plat::UseVirtualTime(true);
  PrepareWindowedStart(title);
  EXPECT_EQ(qz::InitLibraryEntry(), -1);
  EXPECT_TRUE(log.Contains(qz::text::kDoubleStartRefused));

  ASSERT_EQ(write(release[1], &byte, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // With the first copy gone the class is free again.
  EXPECT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(qz::EndLibraryEntry(), 0);
  plat::UseVirtualTime(false);
}

// Later tests in the same process run headless again, whatever this one did.
class LibraryDesktopBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    plat::SetBackendKindForTest(plat::BackendKind::kDesktop);
    plat::UseVirtualTime(true);
  }
  void TearDown() override {
    plat::UseVirtualTime(false);
    plat::SetBackendKindForTest(plat::BackendKind::kHeadless);
  }
};

TEST_F(LibraryDesktopBackend, StartsRunsAndEndsUnderTheDummyDriver) {
  qz::testing::ScratchLog log;
  PrepareWindowedStart(UniqueTitle("QzDummyDriver"));
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_NE(qz::QueryMainWindowHandle(), nullptr);
  int frames = 0;
  while (frames < 60 && qz::PumpMessagesEntry() == 0) {
    qz::WaitMilliseconds(16);
    ++frames;
  }
  EXPECT_EQ(frames, 60);
  EXPECT_EQ(qz::EndLibraryEntry(), 0);
  EXPECT_EQ(plat::IsWindow(qz::QueryMainWindowHandle()), plat::FALSE);
}

}  // namespace
