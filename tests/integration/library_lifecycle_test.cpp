// The library's life as a program sees it, on the headless backend: start,
// frames, end and a second start; the fixed end order; failures of the
// window, input, graphics and sound starts; the 24-bit refusal; screen-mode
// settling; deactivation holding the pump; the user's close ending the loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/call_trace.h"
#include "core/clock.h"
#include "core/library.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/display_modes.h"
#include "graphics/draw_target.h"
#include "graphics/screen_settings.h"
#include "graphics/soft_image.h"
#include "image/image_decode.h"
#include "platform/clock.h"
#include "platform/module.h"
#include "platform/window.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"

namespace {

// Only the entries of these names matter to a test; the pump's per-frame
// services are left out.
std::vector<std::string> Only(const std::vector<std::string>& trace, const std::set<std::string>& names) {
  std::vector<std::string> kept;
  for (const std::string& name : trace) {
    if (names.count(name) != 0) kept.push_back(name);
  }
  return kept;
}

bool Contains(const std::vector<std::string>& trace, const std::string& name) {
  return std::find(trace.begin(), trace.end(), name) != trace.end();
}

class LibraryLifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    qz::ChangeWindowMode(1);
    // The default depth: full-screen starts look for their mode at it.
    qz::SetScreenColorBitDepth(0);
    title_ = "QzLifecycle" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    qz::SetMainWindowTitle(title_.c_str());
    qz::SetCallTraceEnabled(true);
  }
  void TearDown() override {
    qz::EndLibraryEntry();
    qz::SetCallTraceEnabled(false);
    for (const char* name : {"InitializeInput", "StartGraphicsScreen", "InitializeSound"}) {
      qz::SetCallFailureForTest(name, false);
    }
    qz::SetDisplayModeListForTest(nullptr, -1);
    qz::SetScreenModeSize(0, 0);
    qz::SetScreen320x240Emulation(0);
    plat::SetHeadlessDesktop({1920, 1080, 32});
    plat::UseVirtualTime(false);
  }
  static bool WindowGone() {
    const plat::HWND window = qz::QueryMainWindowHandle();
    return window == nullptr || plat::IsWindow(window) == plat::FALSE;
  }

  qz::testing::ScratchLog log_;
  std::string title_;
};

TEST_F(LibraryLifecycle, RunsFramesEndsAndStartsAgain) {
  const int loadsBefore = plat::GetModuleLoadCount("winmm.dll");
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(qz::IsLibraryInitialised(), 1);
  EXPECT_EQ(qz::IsLibraryInitialising(), 0);
  EXPECT_FALSE(WindowGone());
  EXPECT_EQ(qz::GetDrawTarget(), qz::kFrontScreen);
  EXPECT_NE(qz::GetSineTable(), nullptr);
  EXPECT_TRUE(log_.Contains(qz::text::kComStartSucceeded));

  // A repeated start does no work.
  qz::TakeCallTrace();
  EXPECT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_TRUE(qz::TakeCallTrace().empty());

  const int passesBefore = qz::GetPumpPassCount();
  int frames = 0;
  while (frames < 300 && qz::PumpMessagesEntry() == 0) {
    qz::WaitMilliseconds(16);
    ++frames;
  }
  EXPECT_EQ(frames, 300);
  EXPECT_GE(qz::GetPumpPassCount() - passesBefore, 300);

  EXPECT_EQ(qz::EndLibraryEntry(), 0);
  EXPECT_EQ(qz::IsLibraryInitialised(), 0);
  EXPECT_EQ(qz::GetEndingState(), 1);
  EXPECT_TRUE(WindowGone());
  EXPECT_TRUE(log_.Contains(qz::text::kComEnd));
  EXPECT_EQ(qz::EndLibraryEntry(), 0);

  // The second start loads the modules again and opens a new window.
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(plat::GetModuleLoadCount("winmm.dll") - loadsBefore, 2);
  EXPECT_EQ(qz::GetEndingState(), 0);
  EXPECT_FALSE(WindowGone());
  EXPECT_EQ(qz::PumpMessagesEntry(), 0);
  EXPECT_EQ(qz::EndLibraryEntry(), 0);
}

// The end's dump of live blocks lists what was left behind: the memo of
// decoded files is emptied before it, so a run that freed its pictures ends
// with none of the memo's blocks listed.
TEST_F(LibraryLifecycle, EndListsNoBlockOfTheDecodedFileMemo) {
  qz::testing::ScratchFolder folder;
  // A 4 by 4 uncompressed 24-bit TGA, rows from the top.
  std::string tga{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0x20};
  tga.append(4 * 4 * 3, '\x5a');
  folder.Write("picture.tga", tga);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  qz::BaseImage image;
  ASSERT_EQ(qz::DecodeImageSourceToBaseImage(folder.Library("picture.tga").c_str(), nullptr, 0, 0, 0, &image), 0);
  qz::FreeBaseImagePixels(&image);
  EXPECT_EQ(qz::EndLibraryEntry(), 0);
  EXPECT_TRUE(log_.Contains("Alloc memory dump"));
  // The dump names a block by the end of its source file's path.
  EXPECT_FALSE(log_.Contains("file_memo.cpp"));
}

// An end whose pump stops at once (the end was already requested) destroys
// the window itself; the quit that posts must not end the next run.
TEST_F(LibraryLifecycle, EndWithTheEndAlreadyRequestedLeavesNoQuitForTheNextRun) {
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  qz::SetEndRequest(1);
  EXPECT_EQ(qz::EndLibraryEntry(), 0);
  EXPECT_TRUE(WindowGone());
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(qz::PumpMessagesEntry(), 0);
}

TEST_F(LibraryLifecycle, StartAndEndCallTheSubsystemsInTheirFixedOrder) {
  std::vector<int> freesBefore;
  const char* modules[] = {"dwmapi.dll", "User32.dll", "ws2_32.dll", "Imm32.dll",
                           "winmm.dll",  "ole32.dll",  "comctl32.dll"};
  for (const char* name : modules) freesBefore.push_back(plat::GetModuleFreeCount(name));

  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  const std::vector<std::string> start = Only(
      qz::TakeCallTrace(), {"CheckDisplayModeAvailable", "InitializeInput", "InitializeSound", "StartGraphicsScreen",
                            "InitCharCodeBuffer", "StartScreenLog", "SelectDrawTarget", "BuildSineTable"});
  // Window mode: no display-mode check. The graphics start's settings reset
  // selects the front screen.
  EXPECT_EQ(start, (std::vector<std::string>{"InitializeInput", "InitializeSound", "StartGraphicsScreen",
                                             "SelectDrawTarget", "InitCharCodeBuffer", "StartScreenLog", "SelectDrawTarget",
                                             "SelectDrawTarget", "BuildSineTable"}));

  ASSERT_EQ(qz::EndLibraryEntry(), 0);
  const std::vector<std::string> end =
      Only(qz::TakeCallTrace(), {"EndNetwork", "DeleteCurrentMusic", "DeleteAllMeshObjects", "TerminateGraphics",
                                 "TerminateInput", "TerminateSound", "FreeAllSoftImageHandles"});
  EXPECT_EQ(end, (std::vector<std::string>{"EndNetwork", "DeleteCurrentMusic", "DeleteAllMeshObjects",
                                           "TerminateGraphics", "TerminateInput", "TerminateSound",
                                           "FreeAllSoftImageHandles"}));
  // The user module is loaded and freed a second time by the window
  // creation, which looks up UpdateLayeredWindow in it.
  for (std::size_t i = 0; i < freesBefore.size(); ++i) {
    const int expected = std::string(modules[i]) == "User32.dll" ? 2 : 1;
    EXPECT_EQ(plat::GetModuleFreeCount(modules[i]) - freesBefore[i], expected) << modules[i];
  }
}

// Each of these failures ends what the start made and leaves the library
// ready to start again.
class LibraryStartFailure : public LibraryLifecycle, public ::testing::WithParamInterface<const char*> {};

TEST_P(LibraryStartFailure, RunsTheFullEnd) {
  const int freesBefore = plat::GetModuleFreeCount("winmm.dll");
  qz::SetCallFailureForTest(GetParam(), true);
  EXPECT_EQ(qz::InitLibraryEntry(), -1);
  const std::vector<std::string> trace = qz::TakeCallTrace();
  EXPECT_TRUE(Contains(trace, "EndNetwork"));
  EXPECT_TRUE(Contains(trace, "TerminateSound"));
  EXPECT_TRUE(Contains(trace, "FreeAllSoftImageHandles"));
  EXPECT_FALSE(Contains(trace, "InitCharCodeBuffer"));
  EXPECT_EQ(qz::IsLibraryInitialised(), 0);
  EXPECT_EQ(qz::IsLibraryInitialising(), 0);
  EXPECT_TRUE(WindowGone());
  EXPECT_EQ(plat::GetModuleFreeCount("winmm.dll") - freesBefore, 1);

  qz::SetCallFailureForTest(GetParam(), false);
  EXPECT_EQ(qz::InitLibraryEntry(), 0);
}

INSTANTIATE_TEST_SUITE_P(Subsystems, LibraryStartFailure, ::testing::Values("InitializeInput", "StartGraphicsScreen"));

TEST_F(LibraryLifecycle, SecondCopyIsRefusedAndTheEndRuns) {
  const std::string className = qz::GetWindowSystemState().settings.title;
  plat::SimulateOtherInstance(className.c_str(), true);
  EXPECT_EQ(qz::InitLibraryEntry(), -1);
  plat::SimulateOtherInstance(className.c_str(), false);
  EXPECT_TRUE(log_.Contains(qz::text::kDoubleStartRefused));
  EXPECT_TRUE(Contains(qz::TakeCallTrace(), "TerminateGraphics"));
  EXPECT_EQ(qz::IsLibraryInitialising(), 0);
  EXPECT_EQ(qz::InitLibraryEntry(), 0);
}

TEST_F(LibraryLifecycle, SoundFailureStillStarts) {
  qz::SetCallFailureForTest("InitializeSound", true);
  EXPECT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(qz::IsLibraryInitialised(), 1);
}

TEST_F(LibraryLifecycle, TwentyFourBitDesktopInWindowModeIsRefused) {
  plat::SetHeadlessDesktop({1920, 1080, 24});
  EXPECT_EQ(qz::InitLibraryEntry(), -1);
  EXPECT_TRUE(log_.Contains(qz::text::kRefuse24BitColour));
  EXPECT_EQ(qz::IsLibraryInitialised(), 0);
  // Refused, but no longer counted as starting.
  EXPECT_EQ(qz::IsLibraryInitialising(), 0);
  EXPECT_FALSE(Contains(qz::TakeCallTrace(), "InitializeInput"));

  plat::SetHeadlessDesktop({1920, 1080, 32});
  EXPECT_EQ(qz::InitLibraryEntry(), 0);
}

TEST_F(LibraryLifecycle, FullScreenSizeWithoutADisplayModeFallsBackToWindowMode) {
  const qz::DisplayModeRecord modes[] = {{640, 480, 16, 60}, {1024, 768, 16, 60}};
  qz::SetDisplayModeListForTest(modes, 2);
  qz::ChangeWindowMode(0);
  qz::SetScreenModeSize(800, 600);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(qz::QueryWindowModeState(), 1);
  EXPECT_EQ(qz::GetScreen320x240Emulation(), 0);
}

TEST_F(LibraryLifecycle, QuarterScreenRunsFullScreenAtDoubleSize) {
  const qz::DisplayModeRecord modes[] = {{640, 480, 16, 60}};
  qz::SetDisplayModeListForTest(modes, 1);
  qz::ChangeWindowMode(0);
  qz::SetScreenModeSize(320, 240);
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_EQ(qz::QueryWindowModeState(), 0);
  EXPECT_EQ(qz::GetScreen320x240Emulation(), 1);
  int width = 0;
  int height = 0;
  qz::GetScreenModeSize(&width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  qz::QueryDrawScreenSize(&width, &height, nullptr);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
}

TEST_F(LibraryLifecycle, DeactivationHoldsThePumpUntilActivation) {
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  const plat::HWND window = qz::QueryMainWindowHandle();
  plat::SimulateActivation(window, false);
  // The deactivation is handled after this call's message loop.
  EXPECT_EQ(qz::PumpMessagesEntry(), 0);
  ASSERT_EQ(qz::IsMainWindowActive(), 0);
  qz::TakeCallTrace();

  // Reactivates once the pump shows it idles (the idle pass re-shows movie
  // overlays); the pump must not return before that.
  std::atomic<bool> pumpReturned{false};
  std::atomic<bool> activationSent{false};
  std::thread helper([&] {
    std::vector<std::string> seen;
    while (!Contains(seen, "ReshowAllMovieOverlays")) {
      if (pumpReturned.load()) return;
      for (const std::string& name : qz::TakeCallTrace()) seen.push_back(name);
      std::this_thread::yield();
    }
    activationSent.store(true);
    plat::SimulateActivation(window, true);
  });
  const int result = qz::PumpMessagesEntry();
  const bool sentBeforeReturn = activationSent.load();
  pumpReturned.store(true);
  helper.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(sentBeforeReturn);
  EXPECT_EQ(qz::IsMainWindowActive(), 1);
  // The activation's work ran in that same call, not in a later one.
  EXPECT_TRUE(Contains(qz::TakeCallTrace(), "ResumeAllMovies"));
}

TEST_F(LibraryLifecycle, CloseEndsTheFrameLoop) {
  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  int frames = 0;
  while (qz::PumpMessagesEntry() == 0 && frames < 100) {
    if (++frames == 10) plat::SimulateCloseRequest(qz::QueryMainWindowHandle());
    qz::WaitMilliseconds(16);
  }
  EXPECT_LT(frames, 15);
  EXPECT_EQ(qz::GetEndRequest(), 1);
  EXPECT_EQ(qz::PumpMessagesEntry(), -1);
  EXPECT_EQ(qz::EndLibraryEntry(), 0);
  EXPECT_TRUE(WindowGone());
}

}  // namespace
