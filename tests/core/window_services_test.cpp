// Window services over the headless backend: scale, clipboard, mouse and
// clicks, the cursor's display count, the menu and tool-bar tables, geometry.
#include "core/window_services.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "core/log_text.h"
#include "core/window_state.h"
#include "support/scratch_log.h"

namespace {

plat::LRESULT PlainProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

int DisplayCount() {
  const int count = plat::ShowCursor(plat::TRUE) - 1;
  plat::ShowCursor(plat::FALSE);
  return count;
}

class WindowServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { qz::GetWindowSystemState().settings.windowMode = 1; }
  void TearDown() override {
    qz::GetWindowSystemState() = qz::WindowSystemState{};
    qz::GetMenuState() = qz::MenuState{};
    qz::GetToolBarState() = qz::ToolBarState{};
    if (window_ != nullptr) plat::DestroyWindow(window_);
    plat::UnregisterClassA(className_.c_str());
  }
  // The main window, with its client rectangle kept as creation keeps it.
  plat::HWND MakeMainWindow(std::uint32_t style = plat::WS_POPUP) {
    className_ = "ServicesTest" + std::to_string(getpid());
    const plat::WindowClass windowClass{0, PlainProc, 0, className_.c_str()};
    EXPECT_NE(plat::RegisterClassExA(&windowClass), 0);
    window_ = plat::CreateWindowExA(0, className_.c_str(), "services", style, 0, 0, 640, 480, nullptr);
    TakeMessages(0);
    plat::Point origin{0, 0};
    plat::ClientToScreen(window_, &origin);
    qz::WindowSystemState& state = qz::GetWindowSystemState();
    state.mainWindow = window_;
    state.clientRect = plat::WinRect{origin.x, origin.y, origin.x + 640, origin.y + 480};
    return window_;
  }
  // Removes the queued messages of that number (0: all); their count.
  int TakeMessages(std::uint32_t only) {
    int count = 0;
    plat::Message message{};
    while (plat::PeekMessageA(&message, window_, only, only, plat::PM_REMOVE)) ++count;
    return count;
  }

  std::string className_;
  plat::HWND window_ = nullptr;
};

TEST_F(WindowServicesTest, ScaleFactors) {
  double x = 0;
  double y = 0;
  qz::GetWindowSystemState().settings.explicitSize = 1;
  qz::SetWindowScaleFactor(2.0, 0);
  EXPECT_EQ(qz::GetWindowScaleFactor(&x, &y), 2.0);
  EXPECT_EQ(y, 2.0);
  EXPECT_EQ(qz::GetWindowSystemState().settings.explicitSize, 0);
  qz::SetWindowScaleFactor(0, 0);
  qz::GetWindowScaleFactor(&x, &y);
  EXPECT_EQ(x + y, 2.0);
  qz::SetWindowScaleFactor(3.0, 1.5);
  qz::GetWindowSystemState().settings.windowMode = 0;
  EXPECT_EQ(qz::GetWindowScaleFactor(&x, &y), 1.0);
  EXPECT_EQ(y, 1.0);
}

TEST_F(WindowServicesTest, ClipboardCopiesAreBoundedByTheBuffer) {
  char buffer[8] = {};
  std::string earlier;
  // The process's first use (as under CTest) finds no text.
  if (!plat::GetClipboardTextBytes(&earlier)) {
    EXPECT_EQ(qz::CopyClipboardTextOut(nullptr, 0), -1);
  }

  ASSERT_EQ(qz::PutTextOnClipboard("abc"), 0);
  EXPECT_EQ(qz::CopyClipboardTextOut(nullptr, 0), 4);
  std::memset(buffer, 'z', sizeof(buffer));
  EXPECT_EQ(qz::CopyClipboardTextOut(buffer, 3), 0);
  EXPECT_STREQ(buffer, "ab");
  EXPECT_EQ(buffer[3], 'z');

  // A two-byte character is never cut in half.
  ASSERT_EQ(qz::PutTextOnClipboard("a\x82\xa0" "b"), 0);
  EXPECT_EQ(qz::CopyClipboardTextOut(buffer, 3), 0);
  EXPECT_STREQ(buffer, "a");

  qz::testing::ScratchLog log;
  EXPECT_EQ(qz::CopyClipboardTextOut(buffer, 0), -1);
  EXPECT_EQ(qz::PutTextOnClipboard(nullptr), -1);
  EXPECT_TRUE(log.Contains("in PutTextOnClipboard"));

  // A clipboard that another program holds takes nothing: a failure, and the
  // text already there stays.
  plat::SetClipboardRefusesForTest(true);
  EXPECT_EQ(qz::PutTextOnClipboard("lost"), -1);
  plat::SetClipboardRefusesForTest(false);
  EXPECT_TRUE(log.Contains(qz::text::kClipboardSetFailed));
  EXPECT_EQ(qz::CopyClipboardTextOut(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "a\x82\xa0" "b");
}

TEST_F(WindowServicesTest, MousePositionAndClickLog) {
  qz::SetWindowScaleFactor(2.0, 0);
  plat::HWND window = MakeMainWindow();
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  plat::SimulateMouseMove(window, 3, 5);
  int x = 0;
  int y = 0;
  EXPECT_EQ(qz::GetMousePositionInClient(&x, &y), 0);
  EXPECT_EQ(x, 2);  // 1.5 rounds up
  EXPECT_EQ(y, 3);

  for (int i = 0; i < qz::kClickLogCapacity; ++i) ASSERT_EQ(qz::RecordMouseClick(4), 0);
  EXPECT_EQ(qz::RecordMouseClick(1), -1);
  EXPECT_EQ(state.clickCount, qz::kClickLogCapacity);
  EXPECT_EQ(state.clicks[31].x, 2);
  EXPECT_EQ(state.clicks[31].code, 4);
}

TEST_F(WindowServicesTest, CursorCrossesZeroOncePerChange) {
  MakeMainWindow();
  qz::SetMouseCursorVisible(1);
  ASSERT_GE(DisplayCount(), 0);
  TakeMessages(plat::WM_SETCURSOR);
  qz::SetMouseCursorVisible(0);
  EXPECT_EQ(DisplayCount(), -1);
  EXPECT_EQ(TakeMessages(plat::WM_SETCURSOR), 1);
  qz::SetMouseCursorVisible(1);
  EXPECT_EQ(DisplayCount(), 0);
  EXPECT_EQ(TakeMessages(plat::WM_SETCURSOR), 1);
  qz::SetMouseCursorVisible(1);
  EXPECT_EQ(TakeMessages(plat::WM_SETCURSOR), 0);
}

TEST_F(WindowServicesTest, MenuAndToolBarTables) {
  static const qz::MenuNode fileItems[] = {{101, "Open", nullptr, 0}, {102, "Quit", nullptr, 0}};
  static const qz::MenuNode items[] = {{100, "File", fileItems, 2}, {200, "Help", nullptr, 0}};
  static const qz::MenuDescription menu{items, 2};
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  state.settings.menu = const_cast<qz::MenuDescription*>(&menu);
  state.settings.menuInUse = 1;
  EXPECT_EQ(qz::WalkMenuItems(), 4);
  EXPECT_EQ(qz::FindMenuItemById(102), 2);
  char text[4] = {};
  EXPECT_EQ(qz::GetMenuItemText(102, text, sizeof(text)), 0);
  EXPECT_STREQ(text, "Qui");

  // Full screen shows the menu while the show count is up, unless the user
  // hid it.
  MakeMainWindow();
  state.settings.windowMode = 0;
  EXPECT_EQ(qz::IsMenuShown(), 0);
  state.fullScreenMenuShowCount = 1;
  qz::SetMenuDisplay(1);
  EXPECT_EQ(qz::GetMenuState().attached, 1);
  qz::SetMenuDisplay(0);
  EXPECT_EQ(qz::GetMenuState().attached, 0);

  qz::ToolBarState& toolBar = qz::GetToolBarState();
  toolBar.buttons[0] = {0x500, 0, qz::kToolBarButtonPlain, 0, 0};
  toolBar.buttons[1] = {0x501, 0, qz::kToolBarButtonSeparator, 0, 0};
  toolBar.buttonCount = 2;
  EXPECT_EQ(qz::FindToolBarButtonIndex(0x500), -1);  // no tool bar
  toolBar.present = 1;
  EXPECT_EQ(qz::FindToolBarButtonIndex(0x500), 0);
  EXPECT_EQ(qz::FindToolBarButtonIndex(0x501), -1);
  EXPECT_EQ(qz::MarkToolBarButtonClicked(0x501), -1);
}

TEST_F(WindowServicesTest, Geometry) {
  qz::SetWindowScaleFactor(1.5, 0);
  plat::HWND window = MakeMainWindow(plat::WS_POPUP | plat::WS_CAPTION | plat::WS_SYSMENU);
  EXPECT_EQ(qz::ApplyWindowPlacement(), 0);
  plat::WinRect client{};
  plat::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 960);
  EXPECT_EQ(client.bottom, 720);
  // Already in place: no move, so no size message comes back to place it again.
  TakeMessages(0);
  qz::ApplyWindowPlacement();
  EXPECT_EQ(TakeMessages(plat::WM_SIZE), 0);

  // WM_MOVE carries signed client coordinates; the size stays.
  EXPECT_EQ(qz::OnWindowSized(plat::MakeLParam(-10, -20)), 0);
  const plat::WinRect& moved = qz::GetWindowSystemState().clientRect;
  EXPECT_EQ(moved.left, -10);
  EXPECT_EQ(moved.top, -20);
  EXPECT_EQ(moved.right, 950);
  EXPECT_EQ(moved.bottom, 700);
}

}  // namespace
