// What the test hooks (and so the backends) deliver: activation and
// minimise messages in the system's order, key messages with their lParam
// bits and the characters the system makes, the key table, Shift-JIS text,
// the mouse wheel, dropped files, the clipboard, the cursor counter and the
// headless desktop.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/window.h"
#include "tests/platform/window_recorder.h"

namespace {

using qz::testing::DrainMessages;
using qz::testing::RecordingClass;

struct Seen {
  std::uint32_t message;
  plat::WPARAM wParam;
};

std::vector<Seen> Messages(plat::HWND window) {
  std::vector<Seen> seen;
  for (const plat::Message& message : DrainMessages(window)) seen.push_back(Seen{message.message, message.wParam});
  return seen;
}

TEST(WindowInput, ActivationAndMinimiseFollowTheSystemOrder) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();

  // Active from creation: activating again posts nothing.
  plat::SimulateActivation(window, true);
  EXPECT_TRUE(Messages(window).empty());

  plat::SimulateMinimise(window, true);
  std::vector<Seen> seen = Messages(window);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].message, plat::WM_ACTIVATE);
  EXPECT_EQ(plat::LowWord(seen[0].wParam), plat::WA_INACTIVE);
  EXPECT_NE(plat::HighWord(seen[0].wParam), 0);  // minimised
  EXPECT_EQ(seen[1].message, plat::WM_ACTIVATEAPP);
  EXPECT_EQ(seen[1].wParam, 0u);
  EXPECT_EQ(seen[3].message, plat::WM_SIZE);
  EXPECT_EQ(seen[3].wParam, plat::SIZE_MINIMIZED);

  // Restoring reports the size before the activation, which no longer says minimised.
  plat::SimulateMinimise(window, false);
  seen = Messages(window);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].message, plat::WM_SIZE);
  EXPECT_EQ(seen[0].wParam, plat::SIZE_RESTORED);
  EXPECT_EQ(seen[1].message, plat::WM_ACTIVATEAPP);
  EXPECT_EQ(seen[1].wParam, 1u);
  EXPECT_EQ(seen[2].message, plat::WM_ACTIVATE);
  EXPECT_EQ(seen[2].wParam, plat::WA_ACTIVE);

  // ShowWindow(SW_MINIMIZE) on the headless backend says the same as a user's minimise.
  plat::ShowWindow(window, plat::SW_MINIMIZE);
  seen = Messages(window);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().message, plat::WM_SIZE);
  EXPECT_EQ(seen.back().wParam, plat::SIZE_MINIMIZED);
}

TEST(WindowInput, KeysCarryLParamBitsAndMakeTheSystemsCharacters) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();

  plat::SimulateKey(window, 'A', true);
  plat::SimulateKey(window, 'A', true);  // held: a repeat
  plat::SimulateKey(window, 'A', false);
  std::vector<plat::Message> keys = DrainMessages(window);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].message, plat::WM_KEYDOWN);
  EXPECT_EQ(keys[0].wParam, static_cast<plat::WPARAM>('A'));
  EXPECT_EQ(static_cast<std::uint32_t>(keys[0].lParam), 0x001E0001u);
  EXPECT_EQ(static_cast<std::uint32_t>(keys[1].lParam), 0x401E0001u);
  EXPECT_EQ(keys[2].message, plat::WM_KEYUP);
  EXPECT_EQ(static_cast<std::uint32_t>(keys[2].lParam), 0xC01E0001u);

  // Enter and Escape make their characters; Control+C makes 3.
  plat::SimulateKey(window, plat::VK_RETURN, true);
  plat::SimulateKey(window, plat::VK_RETURN, false);
  plat::SimulateKey(window, plat::VK_ESCAPE, true);
  plat::SimulateKey(window, plat::VK_ESCAPE, false);
  plat::SimulateKey(window, plat::VK_CONTROL, true);
  plat::SimulateKey(window, 'C', true);
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_CONTROL));
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_LCONTROL));
  plat::SimulateKey(window, 'C', false);
  plat::SimulateKey(window, plat::VK_CONTROL, false);
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_CONTROL));
  std::vector<plat::WPARAM> characters;
  for (const plat::Message& message : DrainMessages(window)) {
    if (message.message == plat::WM_CHAR) characters.push_back(message.wParam);
  }
  EXPECT_EQ(characters, (std::vector<plat::WPARAM>{13, 27, 3}));

  // With Alt held: system key messages, and Alt+Enter is WM_SYSCHAR 13.
  plat::SimulateKey(window, plat::VK_MENU, true);
  plat::SimulateKey(window, plat::VK_RETURN, true);
  std::vector<plat::Message> system = DrainMessages(window);
  ASSERT_EQ(system.size(), 3u);
  EXPECT_EQ(system[0].message, plat::WM_SYSKEYDOWN);
  EXPECT_EQ(system[1].message, plat::WM_SYSKEYDOWN);
  EXPECT_NE(static_cast<std::uint32_t>(system[1].lParam) & (1u << 29), 0u);
  EXPECT_EQ(system[2].message, plat::WM_SYSCHAR);
  EXPECT_EQ(system[2].wParam, 13u);

  // Losing focus forgets held keys: their key-ups go to another window.
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_MENU));
  plat::SimulateActivation(window, false);
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_MENU));
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_RETURN));

  // So does closing the active window.
  plat::SimulateActivation(window, true);
  plat::SimulateKey(window, plat::VK_LEFT, true);
  EXPECT_TRUE(plat::IsVirtualKeyDown(plat::VK_LEFT));
  ASSERT_TRUE(plat::DestroyWindow(window));
  EXPECT_FALSE(plat::IsVirtualKeyDown(plat::VK_LEFT));
}

TEST(WindowInput, TextArrivesAsCodePageBytesLeadByteFirst) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();
  plat::SetCodePageForText(0);
  plat::SimulateText(window, "a\xE3\x81\x82");  // "a" and HIRAGANA A
  std::vector<plat::WPARAM> bytes;
  for (const plat::Message& message : DrainMessages(window)) {
    ASSERT_EQ(message.message, plat::WM_CHAR);
    bytes.push_back(message.wParam);
  }
  EXPECT_EQ(bytes, (std::vector<plat::WPARAM>{'a', 0x82, 0xA0}));

  // Round trip, and bytes that do not convert become '?' without losing the rest.
  const std::string sjis = plat::Utf8ToCodePage("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ok");
  EXPECT_EQ(sjis, "\x93\xFA\x96\x7B\x8C\xEA ok");
  EXPECT_EQ(plat::CodePageToUtf8(sjis.c_str()), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ok");
  EXPECT_EQ(plat::CodePageToUtf8("x\x82"), "x?");
  EXPECT_EQ(plat::CodePageToUtf8(nullptr), "");
}

TEST(WindowInput, WheelStepsAndMouseButtons) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();
  plat::SimulateMouseMove(window, 10, 20);
  plat::SimulateMouseButton(window, 1, true, 10, 20);
  plat::SimulateWheel(window, -2, 1);
  std::vector<plat::Message> mouse = DrainMessages(window);
  ASSERT_EQ(mouse.size(), 5u);
  EXPECT_EQ(mouse[0].message, plat::WM_MOUSEMOVE);
  EXPECT_EQ(mouse[0].lParam, plat::MakeLParam(10, 20));
  EXPECT_EQ(mouse[1].message, plat::WM_RBUTTONDOWN);
  EXPECT_EQ(mouse[2].message, plat::WM_MOUSEWHEEL);
  EXPECT_EQ(static_cast<std::int16_t>(plat::HighWord(mouse[2].wParam)), -120);
  EXPECT_EQ(mouse[3].message, plat::WM_MOUSEWHEEL);
  EXPECT_EQ(mouse[4].message, plat::WM_MOUSEHWHEEL);
  EXPECT_EQ(static_cast<std::int16_t>(plat::HighWord(mouse[4].wParam)), 120);
  // The cursor position follows in screen coordinates (client at 100, 100).
  plat::Point cursor{};
  ASSERT_TRUE(plat::GetCursorPos(&cursor));
  EXPECT_EQ(cursor.x, 110);
  EXPECT_EQ(cursor.y, 120);
  plat::SimulateMouseButton(window, 1, false, 10, 20);
}

TEST(WindowInput, DroppedFilesAreReadInLibraryFormAndBounded) {
  RecordingClass windowClass;
  plat::HWND window = windowClass.Create();
  ASSERT_NE(window, nullptr);
  DrainMessages();
  const char* paths[] = {"/tmp/a.png", "/home/\xE6\x97\xA5.txt"};
  plat::SimulateDroppedFiles(window, paths, 2);
  std::vector<plat::Message> drops = DrainMessages(window);
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
