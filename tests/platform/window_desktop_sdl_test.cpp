// The desktop backend under SDL's dummy video driver, so its code path runs
// without a display: a real SDL window is made, pumped, minimised, restored
// and destroyed, and the desktop, clipboard and cursor go through SDL.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

// The id SDL gave the only window there is.
std::uint32_t OnlySdlWindowId() {
  for (std::uint32_t id = 1; id < 64; ++id) {
    if (SDL_GetWindowFromID(id) != nullptr) return id;
  }
  return 0;
}

TEST_F(WindowDesktopSdl, EventsBecomeTheSystemsMessages) {
  RecordingClass windowClass("qzsdlev");
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();
  const std::uint32_t id = OnlySdlWindowId();
  ASSERT_NE(id, 0u);

  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.windowID = id;
  event.key.keysym.scancode = SDL_SCANCODE_LEFT;
  event.key.keysym.sym = SDLK_LEFT;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
  event = SDL_Event{};
  event.type = SDL_TEXTINPUT;
  event.text.windowID = id;
  std::strcpy(event.text.text, "\xE3\x81\x82");
  ASSERT_EQ(SDL_PushEvent(&event), 1);
  event = SDL_Event{};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.windowID = id;
  event.wheel.y = 1;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
  event = SDL_Event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = id;
  event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
  event.window.event = SDL_WINDOWEVENT_CLOSE;
  ASSERT_EQ(SDL_PushEvent(&event), 1);

  std::vector<plat::Message> messages = DrainMessages(window);
  std::vector<std::uint32_t> kinds;
  for (const plat::Message& each : messages) {
    if (each.message != plat::WM_KILLFOCUS) kinds.push_back(each.message);
  }
  EXPECT_EQ(kinds, (std::vector<std::uint32_t>{plat::WM_KEYDOWN, plat::WM_CHAR, plat::WM_CHAR, plat::WM_MOUSEWHEEL,
                                               plat::WM_ACTIVATE, plat::WM_ACTIVATEAPP, plat::WM_CLOSE}));
  ASSERT_GE(messages.size(), 4u);
  EXPECT_EQ(messages[0].wParam, plat::VK_LEFT);
  EXPECT_NE(static_cast<std::uint32_t>(messages[0].lParam) & (1u << 24), 0u);  // extended key
  EXPECT_EQ(messages[1].wParam, 0x82u);
  EXPECT_EQ(messages[2].wParam, 0xA0u);
  EXPECT_EQ(static_cast<std::int16_t>(plat::HighWord(messages[3].wParam)), 120);
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_LEFT) == false);  // focus loss released it

  // With the IME switched off, plain keys still type.
  plat::EnableTextInput(window, plat::FALSE);
  event = SDL_Event{};
  event.type = SDL_KEYDOWN;
  event.key.windowID = id;
  event.key.keysym.scancode = SDL_SCANCODE_1;
  event.key.keysym.sym = SDLK_1;
  event.key.keysym.mod = KMOD_LSHIFT;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
  messages = DrainMessages(window);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].message, plat::WM_CHAR);
  EXPECT_EQ(messages[1].wParam, static_cast<plat::WPARAM>('!'));
  plat::EnableTextInput(window, plat::TRUE);
  ASSERT_TRUE(plat::DestroyWindow(window));
}

}  // namespace
