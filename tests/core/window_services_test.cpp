// Window services over the headless backend: scale, clipboard, clicks, the
// cursor's display count, menu and tool-bar tables, geometry and dropped
// files.
#include "core/window_services.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/call_trace.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/window_state.h"
#include "graphics/draw_target.h"
#include "support/scratch_log.h"

namespace {

plat::LRESULT PlainProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

class WindowServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qz::GetWindowSystemState() = qz::WindowSystemState{};
    qz::GetWindowSystemState().settings.windowMode = 1;
  }
  void TearDown() override {
    qz::GetWindowSystemState() = qz::WindowSystemState{};
    qz::GetMenuState() = qz::MenuState{};
    qz::GetToolBarState() = qz::ToolBarState{};
    if (window_ != nullptr) plat::DestroyWindow(window_);
    if (!className_.empty()) plat::UnregisterClassA(className_.c_str());
  }
  // A main window whose queue the test reads.
  plat::HWND MakeMainWindow(std::uint32_t style = plat::WS_POPUP) {
    className_ = "ServicesTest" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const plat::WindowClass windowClass{0, PlainProc, 0, className_.c_str()};
    EXPECT_NE(plat::RegisterClassExA(&windowClass), 0);
    window_ = plat::CreateWindowExA(0, className_.c_str(), "services", style, 0, 0, 640, 480, nullptr);
    EXPECT_NE(window_, nullptr);
    plat::Message drained{};
    while (plat::PeekMessageA(&drained, nullptr, 0, 0, plat::PM_REMOVE)) {
    }
    qz::GetWindowSystemState().mainWindow = window_;
    return window_;
  }
  int TakeSetCursorMessages() {
    int count = 0;
    plat::Message message{};
    while (plat::PeekMessageA(&message, window_, plat::WM_SETCURSOR, plat::WM_SETCURSOR, plat::PM_REMOVE)) ++count;
    return count;
  }

  std::string className_;
  plat::HWND window_ = nullptr;
};

int DisplayCount() {
  const int count = plat::ShowCursor(plat::TRUE) - 1;
  plat::ShowCursor(plat::FALSE);
  return count;
}

TEST_F(WindowServicesTest, ScaleFactors) {
  qz::WindowSettings& settings = qz::GetWindowSystemState().settings;
  settings.explicitSize = 1;
  double x = 0;
  double y = 0;
  EXPECT_EQ(qz::SetWindowScaleFactor(2.0, 0), 0);
  EXPECT_EQ(qz::GetWindowScaleFactor(&x, &y), 2.0);
  EXPECT_EQ(y, 2.0);
  EXPECT_EQ(settings.explicitSize, 0);

  qz::SetWindowScaleFactor(0, 0);
  qz::GetWindowScaleFactor(&x, &y);
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, 1.0);

  qz::SetWindowScaleFactor(3.0, 1.5);
  settings.windowMode = 0;
  EXPECT_EQ(qz::GetWindowScaleFactor(&x, &y), 1.0);
  EXPECT_EQ(y, 1.0);
}

TEST_F(WindowServicesTest, ClipboardCopiesAreBoundedByTheBuffer) {
  char buffer[8] = {};
  EXPECT_EQ(qz::CopyClipboardTextOut(nullptr, 0), -1);
  EXPECT_EQ(qz::CopyClipboardTextOut(buffer, sizeof(buffer)), -1);

  ASSERT_EQ(qz::PutTextOnClipboard("abc"), 0);
  EXPECT_EQ(qz::CopyClipboardTextOut(nullptr, 0), 4);
  EXPECT_EQ(qz::CopyClipboardTextOut(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "abc");

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
}

TEST_F(WindowServicesTest, ClickLogHoldsThirtyTwo) {
  for (int i = 0; i < qz::kClickLogCapacity; ++i) ASSERT_EQ(qz::RecordMouseClick(1 << (i % 3)), 0);
  EXPECT_EQ(qz::RecordMouseClick(1), -1);
  const qz::WindowSystemState& state = qz::GetWindowSystemState();
  EXPECT_EQ(state.clickCount, qz::kClickLogCapacity);
  EXPECT_EQ(state.clicks[31].code, 2);

  qz::GetWindowSystemState().clickCount = 0;
  qz::testing::ScratchLog log;
  EXPECT_EQ(qz::RecordMouseClick(3), -1);
  EXPECT_EQ(state.clickCount, 0);
  EXPECT_TRUE(log.Contains("in RecordMouseClick"));
}

TEST_F(WindowServicesTest, MousePositionFollowsClientAndScale) {
  qz::SetWindowScaleFactor(2.0, 0);
  plat::HWND window = MakeMainWindow();
  plat::Point origin{0, 0};
  plat::ClientToScreen(window, &origin);
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  state.clientRect = plat::WinRect{origin.x, origin.y, origin.x + 640, origin.y + 480};
  plat::SimulateMouseMove(window, 3, 5);
  int x = 0;
  int y = 0;
  EXPECT_EQ(qz::GetMousePositionInClient(&x, &y), 0);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, 3);
  EXPECT_EQ(qz::RecordMouseClick(4), 0);
  EXPECT_EQ(state.clicks[0].x, 2);
  EXPECT_EQ(state.clicks[0].code, 4);
  // Full screen reports the screen position as it is.
  state.settings.windowMode = 0;
  qz::GetMousePositionInClient(&x, &y);
  EXPECT_EQ(x, origin.x + 3);
  EXPECT_EQ(y, origin.y + 5);
}

TEST_F(WindowServicesTest, CursorCrossesZeroOncePerChange) {
  MakeMainWindow();
  qz::SetMouseCursorVisible(1);
  ASSERT_GE(DisplayCount(), 0);
  TakeSetCursorMessages();

  EXPECT_EQ(qz::SetMouseCursorVisible(0), 0);
  EXPECT_EQ(DisplayCount(), -1);
  EXPECT_EQ(TakeSetCursorMessages(), 1);
  EXPECT_EQ(qz::SetMouseCursorVisible(1), 0);
  EXPECT_EQ(DisplayCount(), 0);
  EXPECT_EQ(TakeSetCursorMessages(), 1);
  // No change, no message.
  qz::SetMouseCursorVisible(1);
  EXPECT_EQ(DisplayCount(), 0);
  EXPECT_EQ(TakeSetCursorMessages(), 0);

  // A shown menu keeps the cursor visible.
  static const qz::MenuNode items[] = {{1, "File", nullptr, 0}};
  static const qz::MenuDescription menu{items, 1};
  qz::GetWindowSystemState().settings.menu = const_cast<qz::MenuDescription*>(&menu);
  qz::GetWindowSystemState().settings.menuInUse = 1;
  qz::SetMouseCursorVisible(0);
  EXPECT_EQ(DisplayCount(), 0);
}

TEST_F(WindowServicesTest, MenuTableAndDisplay) {
  static const qz::MenuNode fileItems[] = {{101, "Open", nullptr, 0}, {102, "Quit", nullptr, 0}};
  static const qz::MenuNode items[] = {{100, "File", fileItems, 2}, {200, "Help", nullptr, 0}};
  static const qz::MenuDescription menu{items, 2};
  qz::WindowSettings& settings = qz::GetWindowSystemState().settings;
  settings.menu = const_cast<qz::MenuDescription*>(&menu);
  settings.menuInUse = 1;

  EXPECT_EQ(qz::WalkMenuItems(), 4);
  EXPECT_EQ(qz::FindMenuItemById(102), 2);
  EXPECT_EQ(qz::FindMenuItemById(999), -1);
  char text[4] = {};
  EXPECT_EQ(qz::GetMenuItemText(102, text, sizeof(text)), 0);
  EXPECT_STREQ(text, "Qui");
  EXPECT_EQ(qz::GetMenuItemText(999, text, sizeof(text)), -1);
  EXPECT_EQ(qz::GetMenuState().items[2].menu, fileItems);

  // Full screen shows the menu only while the show count is up; the user's
  // choice to hide it wins.
  EXPECT_EQ(qz::IsMenuShown(), 0);  // no window yet
  MakeMainWindow();
  settings.windowMode = 0;
  EXPECT_EQ(qz::IsMenuShown(), 0);
  qz::GetWindowSystemState().fullScreenMenuShowCount = 1;
  EXPECT_EQ(qz::IsMenuShown(), 1);
  qz::SetMenuDisplay(1);
  EXPECT_EQ(qz::GetMenuState().attached, 1);
  qz::SetMenuDisplay(0);
  EXPECT_EQ(qz::IsMenuShown(), 0);
  EXPECT_EQ(qz::GetMenuState().attached, 0);
}

TEST_F(WindowServicesTest, ToolBarButtons) {
  qz::ToolBarState& toolBar = qz::GetToolBarState();
  toolBar.buttons[0] = {0x500, 0, qz::kToolBarButtonPlain, 0, 0};
  toolBar.buttons[1] = {0x501, 0, qz::kToolBarButtonSeparator, 0, 0};
  toolBar.buttons[2] = {0x502, 1, qz::kToolBarButtonPlain, 0, 0};
  toolBar.buttonCount = 3;
  EXPECT_EQ(qz::FindToolBarButtonIndex(0x500), -1);  // no tool bar
  toolBar.present = 1;
  EXPECT_EQ(qz::FindToolBarButtonIndex(0x501), -1);
  EXPECT_EQ(qz::FindToolBarButtonIndex(0x502), 2);
  EXPECT_EQ(qz::MarkToolBarButtonClicked(0x501), -1);
  EXPECT_EQ(qz::MarkToolBarButtonClicked(0x502), 0);
  EXPECT_EQ(toolBar.buttons[2].clicked, 1);
  EXPECT_EQ(qz::RemoveEveryToolBarButton(), 0);
  EXPECT_EQ(qz::FindToolBarButtonIndex(0x500), -1);
}

TEST_F(WindowServicesTest, MovedWindowKeepsItsClientSize) {
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  state.clientRect = plat::WinRect{100, 100, 740, 580};
  qz::SelectDrawTarget(qz::kFrontScreen);
  qz::SetCallTraceEnabled(true);
  EXPECT_EQ(qz::OnWindowSized(plat::MakeLParam(-10, -20)), 0);
  const std::vector<std::string> trace = qz::TakeCallTrace();
  qz::SetCallTraceEnabled(false);
  qz::SelectDrawTarget(qz::kBackScreen);
  EXPECT_EQ(state.clientRect.left, -10);
  EXPECT_EQ(state.clientRect.top, -20);
  EXPECT_EQ(state.clientRect.right, 630);
  EXPECT_EQ(state.clientRect.bottom, 460);
  EXPECT_EQ(trace, (std::vector<std::string>{"SetMaskScreenInUse", "SetMaskScreenInUse", "ReapplyClipRectangle"}));
}

TEST_F(WindowServicesTest, PlacementSizesTheClientToTheScaledScreen) {
  qz::SetWindowScaleFactor(1.5, 0);
  plat::HWND window = MakeMainWindow(plat::WS_POPUP | plat::WS_CAPTION | plat::WS_SYSMENU);
  EXPECT_EQ(qz::ApplyWindowPlacement(), 0);
  plat::WinRect client{};
  plat::GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, 960);
  EXPECT_EQ(client.bottom - client.top, 720);

  // Already in place: no move, so no size message comes back to place it again.
  plat::Message message{};
  while (plat::PeekMessageA(&message, window, 0, 0, plat::PM_REMOVE)) {
  }
  EXPECT_EQ(qz::ApplyWindowPlacement(), 0);
  EXPECT_FALSE(plat::PeekMessageA(&message, window, plat::WM_SIZE, plat::WM_SIZE, plat::PM_REMOVE));

  // An explicit size wins over the scale.
  qz::WindowSettings& settings = qz::GetWindowSystemState().settings;
  settings.explicitSize = 1;
  settings.explicitWidth = 300;
  settings.explicitHeight = 200;
  qz::ApplyWindowPlacement();
  plat::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
}

TEST_F(WindowServicesTest, DroppedFileNamesAreFreed) {
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  const int blocks = qz::GetTrackedBlockCount();
  for (int i = 0; i < 3; ++i) state.droppedFiles[i] = static_cast<char*>(QZ_ALLOC_ZEROED(16));
  state.droppedFileCount = 3;
  EXPECT_EQ(qz::FreeDroppedFileNames(), 0);
  EXPECT_EQ(state.droppedFileCount, 0);
  EXPECT_EQ(state.droppedFiles[0], nullptr);
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
}

}  // namespace
