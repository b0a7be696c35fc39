// What the test hooks (and so the backends) deliver: activation and
// minimise messages in the system's order, key messages with their lParam
// bits and the characters the system makes, the key table, Shift-JIS text,
// the mouse wheel, dropped files, the clipboard, the cursor counter and the
// headless desktop.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "platform/window.h"
#include "tests/platform/window_recorder.h"

namespace {

using qz::testing::DrainMessages;
using qz::testing::RecordingClass;

// A message as (message, wParam, the 32 bits of lParam).
using Seen = std::tuple<std::uint32_t, plat::WPARAM, std::uint32_t>;

std::vector<Seen> Messages(plat::HWND window) {
  std::vector<Seen> seen;
  for (const plat::Message& m : DrainMessages(window)) {
    seen.emplace_back(m.message, m.wParam, static_cast<std::uint32_t>(m.lParam));
  }
  return seen;
}

// A recording window, created active, its creation messages drained.
class WindowInput : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = windowClass_.Create();
    ASSERT_NE(window_, nullptr);
    DrainMessages();
  }
  RecordingClass windowClass_;
  plat::HWND window_ = nullptr;
};

TEST_F(WindowInput, ActivationAndMinimiseFollowTheSystemOrder) {
  // Active from creation: activating again posts nothing.
  plat::SimulateActivation(window_, true);
  EXPECT_TRUE(Messages(window_).empty());

  // Deactivated first, the high word saying minimised.
  const std::vector<Seen> minimised = {{plat::WM_ACTIVATE, 0x10000 | plat::WA_INACTIVE, 0}, {plat::WM_ACTIVATEAPP, 0, 0},
                                             {plat::WM_KILLFOCUS, 0, 0}, {plat::WM_SIZE, plat::SIZE_MINIMIZED, 0}};
  plat::SimulateMinimise(window_, true);
  EXPECT_EQ(Messages(window_), minimised);

  // Restoring reports the size (640 x 480) before the activation, which no longer says minimised.
  plat::SimulateMinimise(window_, false);
  EXPECT_EQ(Messages(window_), (std::vector<Seen>{{plat::WM_SIZE, plat::SIZE_RESTORED, 480 << 16 | 640},
                                                  {plat::WM_ACTIVATEAPP, 1, 0},
                                                  {plat::WM_ACTIVATE, plat::WA_ACTIVE, 0},
                                                  {plat::WM_SETFOCUS, 0, 0}}));

  // ShowWindow(SW_MINIMIZE) on the headless backend says the same as a user's minimise.
  plat::ShowWindow(window_, plat::SW_MINIMIZE);
  EXPECT_EQ(Messages(window_), minimised);
}

TEST_F(WindowInput, KeysCarryLParamBitsAndMakeTheSystemsCharacters) {
  plat::SimulateKey(window_, 'A', true);
  plat::SimulateKey(window_, 'A', true);  // held: a repeat
  plat::SimulateKey(window_, 'A', false);
  // Scan code 0x1E, a count of 1; bit 30 for a repeat, 31 for a release.
  EXPECT_EQ(Messages(window_), (std::vector<Seen>{{plat::WM_KEYDOWN, 'A', 0x001E0001u},
                                                  {plat::WM_KEYDOWN, 'A', 0x401E0001u},
                                                  {plat::WM_KEYUP, 'A', 0xC01E0001u}}));

  // Enter and Escape make their characters; Control+C makes 3.
  plat::SimulateKey(window_, plat::VK_RETURN, true);
  plat::SimulateKey(window_, plat::VK_RETURN, false);
  plat::SimulateKey(window_, plat::VK_ESCAPE, true);
  plat::SimulateKey(window_, plat::VK_ESCAPE, false);
  plat::SimulateKey(window_, plat::VK_CONTROL, true);
  plat::SimulateKey(window_, 'C', true);
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_CONTROL));
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_LCONTROL));
  plat::SimulateKey(window_, 'C', false);
  plat::SimulateKey(window_, plat::VK_CONTROL, false);
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_CONTROL));
  std::vector<plat::WPARAM> characters;
  for (const plat::Message& message : DrainMessages(window_)) {
    if (message.message == plat::WM_CHAR) characters.push_back(message.wParam);
  }
  EXPECT_EQ(characters, (std::vector<plat::WPARAM>{13, 27, 3}));

  // With Alt held: system key messages, and Alt+Enter is WM_SYSCHAR 13.
  plat::SimulateKey(window_, plat::VK_MENU, true);
  plat::SimulateKey(window_, plat::VK_RETURN, true);
  // Bit 29 says Alt is held.
  EXPECT_EQ(Messages(window_), (std::vector<Seen>{{plat::WM_SYSKEYDOWN, plat::VK_MENU, 0x20380001u},
                                                  {plat::WM_SYSKEYDOWN, plat::VK_RETURN, 0x201C0001u},
                                                  {plat::WM_SYSCHAR, 13, 0x201C0001u}}));

  // Losing focus forgets held keys: their key-ups go to another window.
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_MENU));
  plat::SimulateActivation(window_, false);
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_MENU));
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_RETURN));

  // So does closing the active window.
  plat::SimulateActivation(window_, true);
  plat::SimulateKey(window_, plat::VK_LEFT, true);
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_LEFT));
  ASSERT_TRUE(plat::DestroyWindow(window_));
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_LEFT));
}

TEST_F(WindowInput, TextArrivesAsCodePageBytesLeadByteFirst) {
  plat::SetCodePageForText(0);
  plat::SimulateText(window_, "a\xE3\x81\x82");  // "a" and HIRAGANA A
  EXPECT_EQ(Messages(window_),
            (std::vector<Seen>{{plat::WM_CHAR, 'a', 1}, {plat::WM_CHAR, 0x82, 1}, {plat::WM_CHAR, 0xA0, 1}}));

  // Round trip, and bytes that do not convert become '?' without losing the rest.
  const std::string sjis = plat::Utf8ToCodePage("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ok");
  EXPECT_EQ(sjis, "\x93\xFA\x96\x7B\x8C\xEA ok");
  EXPECT_EQ(plat::CodePageToUtf8(sjis.c_str()), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ok");
  EXPECT_EQ(plat::CodePageToUtf8("x\x82"), "x?");
  EXPECT_EQ(plat::CodePageToUtf8(nullptr), "");
}

TEST_F(WindowInput, WheelStepsAndMouseButtons) {
  plat::SimulateMouseMove(window_, 10, 20);
  plat::SimulateMouseButton(window_, 1, true, 10, 20);
  plat::SimulateWheel(window_, -2, 1);
  // A wheel step of 120 in the high word over the buttons held; the wheel's
  // position in screen coordinates (client at 100, 100).
  constexpr plat::WPARAM kRightButton = 2;
  const std::uint32_t client = 20 << 16 | 10, screen = 120 << 16 | 110;
  const plat::WPARAM down = plat::WPARAM{static_cast<std::uint16_t>(-120)} << 16 | kRightButton;
  EXPECT_EQ(Messages(window_), (std::vector<Seen>{{plat::WM_MOUSEMOVE, 0, client},
                                                  {plat::WM_RBUTTONDOWN, kRightButton, client},
                                                  {plat::WM_MOUSEWHEEL, down, screen},
                                                  {plat::WM_MOUSEWHEEL, down, screen},
                                                  {plat::WM_MOUSEHWHEEL, 120 << 16 | kRightButton, screen}}));
  // The cursor position follows in screen coordinates (client at 100, 100).
  plat::Point cursor{};
  ASSERT_TRUE(plat::GetCursorPos(&cursor));
  EXPECT_EQ(cursor.x, 110);
  EXPECT_EQ(cursor.y, 120);
  plat::SimulateMouseButton(window_, 1, false, 10, 20);
}

TEST_F(WindowInput, DroppedFilesAreReadInLibraryFormAndBounded) {
  const char* paths[] = {"/tmp/a.png", "/home/\xE6\x97\xA5.txt"};
  plat::SimulateDroppedFiles(window_, paths, 2);
  std::vector<plat::Message> drops = DrainMessages(window_);
  ASSERT_EQ(drops.size(), 1u);
  ASSERT_EQ(drops[0].message, plat::WM_DROPFILES);
  auto drop = reinterpret_cast<plat::DropHandle>(drops[0].wParam);
  EXPECT_EQ(plat::DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 2u);
  EXPECT_EQ(plat::DragQueryFileA(drop, 0, nullptr, 0), 10u);
  char name[16];
  EXPECT_EQ(plat::DragQueryFileA(drop, 1, name, sizeof(name)), 12u);
  EXPECT_STREQ(name, "\\home\\\x93\xFA.txt");
  char small[5];
  std::memset(small, 'z', sizeof(small));
  EXPECT_EQ(plat::DragQueryFileA(drop, 0, small, sizeof(small)), 4u);
  EXPECT_STREQ(small, "\\tmp");
  EXPECT_EQ(plat::DragQueryFileA(drop, 2, name, sizeof(name)), 0u);
  plat::DragFinish(drop);
  EXPECT_EQ(plat::DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 0u);
}

TEST(WindowDesktop, ClipboardCursorCounterAndDesktop) {
  std::string text;
  ASSERT_TRUE(plat::SetClipboardTextBytes("\x93\xFA\x96\x7B abc"));
  ASSERT_TRUE(plat::GetClipboardTextBytes(&text));
  EXPECT_EQ(text, "\x93\xFA\x96\x7B abc");
  EXPECT_FALSE(plat::SetClipboardTextBytes(nullptr));
  EXPECT_FALSE(plat::GetClipboardTextBytes(nullptr));

  const int start = plat::ShowCursor(plat::TRUE) - 1;
  EXPECT_EQ(plat::ShowCursor(plat::FALSE), start);
  EXPECT_EQ(plat::ShowCursor(plat::FALSE), start - 1);
  EXPECT_EQ(plat::ShowCursor(plat::TRUE), start);

  plat::SetHeadlessDesktop(plat::HeadlessDesktop{1280, 720, 24});
  EXPECT_EQ(plat::GetSystemMetrics(plat::SM_CXSCREEN), 1280);
  EXPECT_EQ(plat::GetSystemMetrics(plat::SM_CYSCREEN), 720);
  EXPECT_EQ(plat::GetDesktopBitsPerPixel(), 24);
  plat::SetHeadlessDesktop(plat::HeadlessDesktop{1920, 1080, 32});

  EXPECT_EQ(plat::GetOEMCP(), 437u);
  plat::SetOEMCPForTest(932);
  EXPECT_EQ(plat::GetOEMCP(), 932u);
  plat::SetOEMCPForTest(437);
  EXPECT_NE(plat::GetModuleHandleA(nullptr), nullptr);
}

}  // namespace
