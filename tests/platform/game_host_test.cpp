// What the game needs of the library's host to run unattended: under SDL's
// dummy video driver the window is active from its creation and a quit signal
// ends the frame loop; a second copy is refused unless tests switch the check
// off, so parallel test processes never refuse each other.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <string>

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

class GameHost : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    qz::ChangeWindowMode(1);
    // The game's fixed title, so the check below is the one the game meets;
    // the class is per process so other test processes are not involved.
    std::snprintf(Settings().title, sizeof(Settings().title), "%s", "Veltrin! P");
    className_ = "QzGameHost" + std::to_string(getpid());
    std::snprintf(Settings().className, sizeof(Settings().className), "%s", className_.c_str());
  }
  void TearDown() override {
    qz::EndLibraryEntry();
    plat::SimulateOtherInstance(className_.c_str(), false);
    plat::SetBackendKindForTest(plat::BackendKind::kHeadless);
    plat::UseVirtualTime(false);
  }
  static qz::WindowSettings& Settings() { return qz::GetWindowSystemState().settings; }

  qz::testing::ScratchLog log_;
  std::string className_;
};

TEST_F(GameHost, DummyDriverWindowRunsFramesUntilQuitSignal) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  plat::SetBackendKindForTest(plat::BackendKind::kDesktop);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  // No focus event ever comes from the dummy driver: active from creation,
  // or the pump would idle and no frame would run.
  EXPECT_EQ(qz::IsMainWindowActive(), 1);
  for (int frame = 0; frame < 5; ++frame) ASSERT_EQ(qz::PumpMessagesEntry(), 0) << frame;

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  int frames = 0;
  while (qz::PumpMessagesEntry() == 0 && frames < 10) ++frames;
  EXPECT_LT(frames, 10);
  EXPECT_EQ(qz::GetEndRequest(), 1);
  EXPECT_EQ(qz::PumpMessagesEntry(), -1);
  EXPECT_EQ(qz::EndLibraryEntry(), 0);
}

TEST_F(GameHost, HeadlessProgramStopsOnTerminateSignal) {
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (qz::InitLibraryEntry() != 0) _exit(2);
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) _exit(3);  // SDL's events, and its signal hooks, must be up
    std::raise(SIGTERM);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  // The stopped copy is not taken for a running one (and its lock file goes).
  EXPECT_EQ(plat::FindWindowA(className_.c_str(), nullptr), nullptr);
}

TEST_F(GameHost, TestsSwitchTheSecondCopyCheckOff) {
  plat::SimulateOtherInstance(className_.c_str(), true);
  Settings().allowDoubleStart = 1;
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_TRUE(log_.Contains(qz::text::kDoubleStartContinue));
  EXPECT_EQ(qz::PumpMessagesEntry(), 0);
}

}  // namespace
