// The desktop backend under SDL's dummy video driver, so its code path runs
// without a display: a real SDL window is made, pumped, minimised, restored
// and destroyed, and the desktop, clipboard and cursor go through SDL.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/backend.h"
#include "platform/window.h"
#include "tests/platform/window_recorder.h"

namespace {

using qz::testing::DrainMessages;
using qz::testing::Recorded;
using qz::testing::RecordingClass;

class WindowDesktopSdl : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    plat::SetBackendKindForTest(plat::BackendKind::kDesktop);
  }
  void TearDown() override { plat::SetBackendKindForTest(plat::BackendKind::kHeadless); }
};

TEST_F(WindowDesktopSdl, WindowIsMadePumpedAndDestroyed) {
  // Four bytes a pixel are reported as 32 bits.
  EXPECT_EQ(plat::GetDesktopBitsPerPixel(), 32);
  EXPECT_GT(plat::GetSystemMetrics(plat::SM_CXSCREEN), 0);

  RecordingClass windowClass("qzsdl");
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Recorded().front().message, plat::WM_CREATE);
  plat::SetWindowTextA(window, "\x83\x65\x83\x58\x83\x67");  // "テスト"
  plat::SetScreenSaverInhibited(true);
  EXPECT_TRUE(plat::IsScreenSaverInhibited());
  plat::SetScreenSaverInhibited(false);

  // The shown window is painted through the queue; nothing else is pending.
  bool painted = false;
  plat::Message message{};
  for (int pass = 0; pass < 20 && !painted; ++pass) {
    while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) {
      painted = painted || message.message == plat::WM_PAINT;
      plat::DispatchMessageA(&message);
    }
  }
  EXPECT_TRUE(painted);

  // No focus events under the dummy driver: minimising still reports.
  plat::ShowWindow(window, plat::SW_MINIMIZE);
  std::vector<plat::Message> messages = DrainMessages(window);
  bool minimised = false;
  for (const plat::Message& each : messages) {
    minimised = minimised || (each.message == plat::WM_SIZE && each.wParam == plat::SIZE_MINIMIZED);
  }
  EXPECT_TRUE(minimised);
  plat::ShowWindow(window, plat::SW_RESTORE);
  DrainMessages(window);

  std::string text;
  ASSERT_TRUE(plat::SetClipboardTextBytes("\x93\xFA abc"));
  ASSERT_TRUE(plat::GetClipboardTextBytes(&text));
  EXPECT_EQ(text, "\x93\xFA abc");

  plat::SimulateCloseRequest(window);
  for (const plat::Message& each : DrainMessages()) plat::DispatchMessageA(&each);
  EXPECT_FALSE(plat::IsWindow(window));
  EXPECT_EQ(Recorded().back().message, plat::WM_DESTROY);
}

}  // namespace
