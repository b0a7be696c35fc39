// The desktop backend under SDL's dummy video driver, so its code path runs
// without a display: a real SDL window is made, pumped, minimised, restored
// and destroyed, and the desktop, clipboard and cursor go through SDL.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

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

// Queues a key going down or up in the SDL window of that id.
void PushKey(std::uint32_t windowId, SDL_Scancode scancode, SDL_Keycode sym, std::uint16_t mod, bool down) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = windowId;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

TEST_F(WindowDesktopSdl, EventsBecomeTheSystemsMessages) {
  RecordingClass windowClass("qzsdlev");
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();
  const std::uint32_t id = OnlySdlWindowId();
  ASSERT_NE(id, 0u);

  PushKey(id, SDL_SCANCODE_LEFT, SDLK_LEFT, KMOD_NONE, true);
  SDL_Event event{};
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
  PushKey(id, SDL_SCANCODE_1, SDLK_1, KMOD_LSHIFT, true);
  messages = DrainMessages(window);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].message, plat::WM_CHAR);
  EXPECT_EQ(messages[1].wParam, static_cast<plat::WPARAM>('!'));
  plat::EnableTextInput(window, plat::TRUE);
  ASSERT_TRUE(plat::DestroyWindow(window));
}

// With the IME off, keys pressed on the desktop and the same keys simulated
// on the headless backend give the same messages, characters included.
struct TypedKey {
  std::uint32_t virtualKey;
  SDL_Scancode scancode;
  SDL_Keycode sym;
  bool shift;
};
constexpr TypedKey kTypedKeys[] = {
    {'A', SDL_SCANCODE_A, SDLK_a, false},          {'A', SDL_SCANCODE_A, SDLK_a, true},
    {'1', SDL_SCANCODE_1, SDLK_1, true},           {0xBD, SDL_SCANCODE_MINUS, SDLK_MINUS, false},
    {0xDE, SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, true}, {plat::VK_SPACE, SDL_SCANCODE_SPACE, SDLK_SPACE, false},
    {plat::VK_RETURN, SDL_SCANCODE_RETURN, SDLK_RETURN, false}, {0x61, SDL_SCANCODE_KP_1, SDLK_KP_1, false},
};

std::vector<plat::Message> PressOnDesktop(std::uint32_t windowId, const TypedKey& key) {
  const std::uint16_t mod = key.shift ? KMOD_LSHIFT : KMOD_NONE;
  if (key.shift) PushKey(windowId, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT, true);
  PushKey(windowId, key.scancode, key.sym, mod, true);
  PushKey(windowId, key.scancode, key.sym, mod, false);
  if (key.shift) PushKey(windowId, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_NONE, false);
  return DrainMessages();
}

std::vector<plat::Message> PressHeadless(plat::HWND window, const TypedKey& key) {
  if (key.shift) plat::SimulateKey(window, plat::VK_SHIFT, true);
  plat::SimulateKey(window, key.virtualKey, true);
  plat::SimulateKey(window, key.virtualKey, false);
  if (key.shift) plat::SimulateKey(window, plat::VK_SHIFT, false);
  return DrainMessages();
}

TEST_F(WindowDesktopSdl, KeysTypeAlikeOnBothBackendsWithTheImeOff) {
  RecordingClass desktopClass("qzsdltype");
  plat::HWND desktop = desktopClass.Create();
  ASSERT_NE(desktop, nullptr);
  const std::uint32_t id = OnlySdlWindowId();
  ASSERT_NE(id, 0u);
  plat::EnableTextInput(desktop, plat::FALSE);
  // Losing focus releases keys earlier tests may have left down.
  plat::SimulateActivation(desktop, false);
  DrainMessages();
  std::vector<std::vector<plat::Message>> onDesktop;
  for (const TypedKey& key : kTypedKeys) onDesktop.push_back(PressOnDesktop(id, key));
  ASSERT_TRUE(plat::DestroyWindow(desktop));

  plat::SetBackendKindForTest(plat::BackendKind::kHeadless);
  RecordingClass headlessClass("qzheadlesstype");
  plat::HWND headless = headlessClass.Create();
  ASSERT_NE(headless, nullptr);
  plat::EnableTextInput(headless, plat::FALSE);
  DrainMessages();
  int typed = 0;
  for (std::size_t i = 0; i < onDesktop.size(); ++i) {
    const std::vector<plat::Message> simulated = PressHeadless(headless, kTypedKeys[i]);
    ASSERT_EQ(simulated.size(), onDesktop[i].size()) << "key " << i;
    for (std::size_t m = 0; m < simulated.size(); ++m) {
      EXPECT_EQ(simulated[m].message, onDesktop[i][m].message) << "key " << i << " message " << m;
      EXPECT_EQ(simulated[m].wParam, onDesktop[i][m].wParam) << "key " << i << " message " << m;
      EXPECT_EQ(simulated[m].lParam, onDesktop[i][m].lParam) << "key " << i << " message " << m;
      if (simulated[m].message == plat::WM_CHAR) ++typed;
    }
  }
  // a, A, !, -, ", space and Enter type; the number pad does not.
  EXPECT_EQ(typed, 7);
}

// SDL turns SIGINT and SIGTERM into a quit only the desktop pump reads: on
// any other backend (headless, or a refused QZ_BACKEND whose joystick or
// display-mode queries still start SDL) its handlers must stay off, or the
// signals would no longer stop the program.
TEST_F(WindowDesktopSdl, OnlyTheDesktopLetsSdlTakeTheSignals) {
  const char* before = SDL_GetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
  const std::string saved = before != nullptr ? before : "";
  const auto hintAfterPreparing = [](plat::BackendKind kind) {
    SDL_ResetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
    plat::SetBackendKindForTest(kind);
    plat::PrepareSdlSignals();
    const char* hint = SDL_GetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
    return std::string(hint != nullptr ? hint : "unset");
  };
  EXPECT_EQ(hintAfterPreparing(plat::BackendKind::kDesktop), "unset");
  EXPECT_EQ(hintAfterPreparing(plat::BackendKind::kHeadless), "1");
  EXPECT_EQ(hintAfterPreparing(plat::BackendKind::kRefused), "1");
  if (before != nullptr) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, saved.c_str());
  } else {
    SDL_ResetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
  }
}

}  // namespace
