// Windows and classes of the stand-in: registration and duplicates, the
// messages sent while a window is made and destroyed, rectangles and frames,
// styles and procedures, and finding a window of this process or of another
// running copy through the class's instance lock.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "platform/window.h"
#include "tests/platform/window_recorder.h"

namespace {

using qz::testing::DrainMessages;
using qz::testing::Recorded;
using qz::testing::RecordingClass;
using qz::testing::TakeRecorded;
using Seen = std::tuple<std::uint32_t, plat::WPARAM, plat::LPARAM>;

plat::LRESULT RefuseCreation(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (message == plat::WM_CREATE) return -1;
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

// Whether a lock file of the class lies in any folder locks are kept in.
bool LockFileLeft(const std::string& className) {
  std::string file = "qzlib-instance-";
  for (const char c : className) file += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  file += ".lock";
  for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* folder = std::getenv(variable);
    if (folder != nullptr && access((std::string(folder) + "/" + file).c_str(), F_OK) == 0) return true;
  }
  return access(("/tmp/" + file).c_str(), F_OK) == 0;
}

TEST(WindowClass, RegistersOnceAndUnregistersOnlyWithoutWindows) {
  RecordingClass windowClass;
  EXPECT_NE(windowClass.atom(), 0);
  const plat::WindowClass again{0, qz::testing::RecordingProc, 0, windowClass.name()};
  EXPECT_EQ(plat::RegisterClassExA(&again), 0);
  const plat::WindowClass noProcedure{0, nullptr, 0, "qz_no_procedure"};
  EXPECT_EQ(plat::RegisterClassExA(&noProcedure), 0);
  EXPECT_EQ(plat::RegisterClassExA(nullptr), 0);
  EXPECT_EQ(plat::CreateWindowExA(0, "qz_never_registered", "t", 0, 0, 0, 10, 10, nullptr), nullptr);

  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(plat::UnregisterClassA(windowClass.name()));
  ASSERT_TRUE(plat::DestroyWindow(window));
  EXPECT_TRUE(plat::UnregisterClassA(windowClass.name()));
  EXPECT_FALSE(plat::UnregisterClassA(windowClass.name()));
  EXPECT_NE(plat::RegisterClassExA(&again), 0);
}

TEST(WindowClass, CreationSendsCreateSizeMoveAndDestroySendsDestroy) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(TakeRecorded(), (std::vector<Seen>{{plat::WM_CREATE, 0, 0},
                                                 {plat::WM_SIZE, plat::SIZE_RESTORED, plat::MakeLParam(640, 480)},
                                                 {plat::WM_MOVE, 0, plat::MakeLParam(100, 100)}}));
  EXPECT_TRUE(plat::IsWindow(window));

  // DefWindowProcA closes by destroying; WM_DESTROY arrives while the window still exists.
  DrainMessages();
  Recorded().clear();
  plat::SimulateCloseRequest(window);
  for (const plat::Message& message : DrainMessages()) plat::DispatchMessageA(&message);
  EXPECT_EQ(TakeRecorded(), (std::vector<Seen>{{plat::WM_CLOSE, 0, 0}, {plat::WM_DESTROY, 0, 0}}));
  EXPECT_FALSE(plat::IsWindow(window));
  EXPECT_FALSE(plat::DestroyWindow(window));

  const std::string refusing = qz::testing::UniqueClassName("qzrefuse");
  const plat::WindowClass refuser{0, RefuseCreation, 0, refusing.c_str()};
  ASSERT_NE(plat::RegisterClassExA(&refuser), 0);
  EXPECT_EQ(plat::CreateWindowExA(0, refusing.c_str(), "t", 0, 0, 0, 10, 10, nullptr), nullptr);
  EXPECT_EQ(plat::FindWindowA(refusing.c_str(), nullptr), nullptr);
  EXPECT_TRUE(plat::UnregisterClassA(refusing.c_str()));
}

TEST(WindowGeometry, FrameClientAndWindowRectanglesAgree) {
  RecordingClass windowClass;
  const std::uint32_t captioned = plat::WS_POPUP | plat::WS_CAPTION | plat::WS_SYSMENU;
  plat::WinRect rect{0, 0, 640, 480};
  ASSERT_TRUE(plat::AdjustWindowRectEx(&rect, captioned, plat::FALSE, 0x300));
  EXPECT_EQ(rect.right - rect.left, 656);
  EXPECT_EQ(rect.bottom - rect.top, 519);
  plat::WinRect borderless{0, 0, 640, 480};
  ASSERT_TRUE(plat::AdjustWindowRectEx(&borderless, plat::WS_POPUP | plat::WS_SYSMENU, plat::FALSE, 0));
  EXPECT_EQ(borderless.right, 640);
  EXPECT_EQ(borderless.left, 0);

  plat::HWND window = windowClass.Create(captioned);
  ASSERT_NE(window, nullptr);
  plat::WinRect client{};
  plat::WinRect outer{};
  ASSERT_TRUE(plat::GetClientRect(window, &client));
  ASSERT_TRUE(plat::GetWindowRect(window, &outer));
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  EXPECT_EQ(outer.left, 92);
  EXPECT_EQ(outer.bottom, 69 + 519);
  plat::Point origin{5, 6};
  ASSERT_TRUE(plat::ClientToScreen(window, &origin));
  EXPECT_EQ(origin.x, 105);
  EXPECT_EQ(origin.y, 106);

  // A move sends WM_MOVE and WM_SIZE only for what changed.
  Recorded().clear();
  ASSERT_TRUE(plat::MoveWindow(window, 0, 0, 656, 519, plat::TRUE));
  EXPECT_EQ(TakeRecorded(), (std::vector<Seen>{{plat::WM_MOVE, 0, plat::MakeLParam(8, 31)}}));
  ASSERT_TRUE(plat::SetWindowPos(window, plat::HWND_TOPMOST, 0, 0, 816, 639, plat::SWP_NOMOVE));
  EXPECT_EQ(TakeRecorded(), (std::vector<Seen>{{plat::WM_SIZE, plat::SIZE_RESTORED, plat::MakeLParam(800, 600)}}));
  EXPECT_NE(plat::GetWindowLongA(window, plat::GWL_EXSTYLE) & plat::WS_EX_TOPMOST, 0);

  // Dropping the caption keeps the window rectangle; the client grows into the frame.
  const std::intptr_t before = plat::SetWindowLongA(window, plat::GWL_STYLE, plat::WS_POPUP);
  EXPECT_EQ(static_cast<std::uint32_t>(before), captioned | plat::WS_VISIBLE);
  ASSERT_TRUE(plat::GetClientRect(window, &client));
  EXPECT_EQ(client.right, 816);
  EXPECT_EQ(client.bottom, 639);
  EXPECT_FALSE(plat::GetClientRect(window, nullptr));
  EXPECT_FALSE(plat::MoveWindow(window, 0, 0, -1, 10, plat::FALSE));
}

plat::LRESULT Replacement(plat::HWND, std::uint32_t message, plat::WPARAM, plat::LPARAM) {
  return message == plat::WM_USER ? 99 : 0;
}

TEST(WindowGeometry, ProcedureCanBeReplacedAndRestored) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  const std::intptr_t old = plat::SetWindowLongA(window, plat::GWL_WNDPROC, reinterpret_cast<std::intptr_t>(Replacement));
  EXPECT_EQ(old, reinterpret_cast<std::intptr_t>(qz::testing::RecordingProc));
  EXPECT_EQ(plat::SendMessageA(window, plat::WM_USER, 0, 0), 99);
  plat::SetWindowLongA(window, plat::GWL_WNDPROC, old);
  EXPECT_EQ(plat::SendMessageA(window, plat::WM_USER, 0, 0), 0);
}

TEST(WindowFind, OwnWindowSimulatedCopyAndCaseOfNames) {
  RecordingClass windowClass;
  EXPECT_EQ(plat::FindWindowA(windowClass.name(), nullptr), nullptr);
  plat::SimulateOtherInstance(windowClass.name(), true);
  plat::HWND other = plat::FindWindowA(windowClass.name(), nullptr);
  EXPECT_NE(other, nullptr);
  EXPECT_FALSE(plat::IsWindow(other));
  plat::SimulateOtherInstance(windowClass.name(), false);
  EXPECT_EQ(plat::FindWindowA(windowClass.name(), nullptr), nullptr);

  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(plat::FindWindowA(windowClass.name(), nullptr), window);
  EXPECT_EQ(plat::FindWindowA(windowClass.name(), "title"), window);
  EXPECT_EQ(plat::FindWindowA(windowClass.name(), "other title"), nullptr);
  std::string upper = windowClass.name();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(plat::FindWindowA(upper.c_str(), nullptr), window);
}

// A child process holds the class's lock through a window of its own; the
// parent sees a running copy until the child destroys the window, and again
// until the child dies holding the lock of a second window.
TEST(WindowFind, AnotherProcessIsSeenThroughTheInstanceLock) {
  const std::string className = qz::testing::UniqueClassName("qzcopy");
  int ready[2];
  int proceed[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(proceed), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const plat::WindowClass windowClass{0, plat::DefWindowProcA, 0, className.c_str()};
    plat::RegisterClassExA(&windowClass);
    char byte = 0;
    for (int round = 0; round < 2; ++round) {
      if (round == 1) (void)!read(proceed[0], &byte, 1);
      plat::HWND window = plat::CreateWindowExA(0, className.c_str(), "copy", 0, 0, 0, 10, 10, nullptr);
      byte = window != nullptr ? 'y' : 'n';
      (void)!write(ready[1], &byte, 1);
      (void)!read(proceed[0], &byte, 1);
      if (round == 0) plat::DestroyWindow(window);
      (void)!write(ready[1], &byte, 1);
    }
    _exit(0);  // dies holding the second window's lock
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  plat::HWND seen = plat::FindWindowA(className.c_str(), nullptr);
  EXPECT_NE(seen, nullptr);
  EXPECT_FALSE(plat::IsWindow(seen));
  ASSERT_EQ(write(proceed[1], &byte, 1), 1);
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  EXPECT_EQ(plat::FindWindowA(className.c_str(), nullptr), nullptr);

  ASSERT_EQ(write(proceed[1], &byte, 1), 1);
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  EXPECT_NE(plat::FindWindowA(className.c_str(), nullptr), nullptr);
  ASSERT_EQ(write(proceed[1], &byte, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(plat::FindWindowA(className.c_str(), nullptr), nullptr);
  EXPECT_FALSE(LockFileLeft(className)) << "the look that found the dead copy's lock free removed its file";
  for (int fd : {ready[0], ready[1], proceed[0], proceed[1]}) close(fd);
}

TEST(WindowFind, AProcessThatExitsWithItsWindowOpenLeavesNoLockFile) {
  const std::string className = qz::testing::UniqueClassName("qzexit");
  int held[2];
  ASSERT_EQ(pipe(held), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const plat::WindowClass windowClass{0, plat::DefWindowProcA, 0, className.c_str()};
    plat::RegisterClassExA(&windowClass);
    const bool made = plat::CreateWindowExA(0, className.c_str(), "open", 0, 0, 0, 10, 10, nullptr) != nullptr;
    const char byte = made && LockFileLeft(className) ? 'y' : 'n';
    (void)!write(held[1], &byte, 1);
    std::exit(0);  // a normal exit, the window still open
  }
  char byte = 0;
  ASSERT_EQ(read(held[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'y') << "the child held its lock file";
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_FALSE(LockFileLeft(className));
  close(held[0]);
  close(held[1]);
}

}  // namespace
