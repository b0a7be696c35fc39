// The main window over the headless backend: creation and its process-wide
// settings, the second-copy refusal, typed characters and wheels, queued
// activations, closing, interactive sizing, display changes and mode switches.
#include "core/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/log_text.h"
#include "core/multibyte.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/display_modes.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "input/char_input.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "platform/window_present.h"
#include "support/scratch_log.h"

namespace {

int gActivationCalls = 0;
void CountActivation(int, void*) { ++gActivationCalls; }

class MainWindowTest : public qz::testing::ScratchLogTest {
 protected:
  void SetUp() override {
    ScratchLogTest::SetUp();
    className_ = "MainWindowTest" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
    qz::GetWindowSystemState() = qz::WindowSystemState{};
    Settings().windowMode = 1;
    Settings().menuAutoShowOff = 1;
    Settings().useIme = 1;
    SetName(className_.c_str());
    qz::SetEndingState(0);
    gActivationCalls = 0;
  }
  void TearDown() override {
    qz::WindowSystemState& state = qz::GetWindowSystemState();
    state.pumpBusy = 0;
    state.activationCount = 0;
    qz::EndMainWindow();
    // A window closed by a sent message leaves its quit posted for the next test.
    plat::Message left{};
    while (plat::PeekMessageA(&left, nullptr, 0, 0, plat::PM_REMOVE)) {
    }
    state = qz::WindowSystemState{};
    plat::SetOEMCPForTest(437);
    plat::UseVirtualTime(false);
    ScratchLogTest::TearDown();
  }

  static qz::WindowSettings& Settings() { return qz::GetWindowSystemState().settings; }
  static void SetName(const char* name) {
    std::snprintf(Settings().className, sizeof(Settings().className), "%s", name);
  }
  static plat::HWND Window() { return qz::GetWindowSystemState().mainWindow; }
  static plat::LRESULT Send(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam = 0) {
    return plat::SendMessageA(Window(), message, wParam, lParam);
  }
  void Create() {
    ASSERT_EQ(qz::CreateMainWindow(), 0);
    ASSERT_NE(Window(), nullptr);
    plat::Message drained{};
    while (plat::PeekMessageA(&drained, nullptr, 0, 0, plat::PM_REMOVE)) {
    }
  }
  bool Logged(const char* text) const { return scratch_->Contains(text); }

  std::string className_;
};

TEST_F(MainWindowTest, CreationWithoutNamesAndItsProcessSettingsUndoneByTheEnd) {
  Settings().className[0] = '\0';
  Settings().title[0] = '\0';
  Settings().allowDoubleStart = 1;  // other test processes may hold the default class
  plat::SetOEMCPForTest(949);
  const std::uint32_t periods = plat::GetTimerPeriodBalance();
  const bool saverBefore = plat::IsScreenSaverInhibited();

  Create();
  EXPECT_STREQ(Settings().className, "Q123987Z");
  EXPECT_STREQ(Settings().title, "QzLib");
  EXPECT_EQ(qz::GetWindowSystemState().codePage, 949);
  EXPECT_EQ(qz::GetCurrentCharset(), 2);
  EXPECT_EQ(qz::IsMainWindowActive(), 1);
  EXPECT_TRUE(plat::IsScreenSaverInhibited());
  EXPECT_EQ(plat::GetTimerPeriodBalance(), periods + 1);
  EXPECT_TRUE(Logged(qz::text::kCreateWindowDone));

  const plat::HWND window = Window();
  EXPECT_EQ(qz::EndMainWindow(), 0);
  EXPECT_FALSE(plat::IsWindow(window));
  EXPECT_EQ(qz::GetEndRequestFlag(), 1);
  EXPECT_EQ(plat::IsScreenSaverInhibited(), saverBefore);
  EXPECT_EQ(plat::GetTimerPeriodBalance(), periods);
  qz::SetCurrentCharset(0);
}

// Before the library has a screen a paint shows the background colour, or
// black without one, over the painted rectangle only.
TEST_F(MainWindowTest, PaintsBeforeTheStartFillTheBackground) {
  Settings().backgroundColourSet = 1;
  Settings().backgroundRed = 0x11;
  Settings().backgroundGreen = 0x22;
  Settings().backgroundBlue = 0x33;
  Create();
  std::vector<std::uint32_t> pixels;
  int width = 0;
  int height = 0;
  ASSERT_TRUE(plat::ReadPresentedFrame(Window(), &pixels, &width, &height)) << "creation paints the window";
  ASSERT_GT(width, 20);
  EXPECT_EQ(pixels[0], 0x112233u);
  EXPECT_EQ(pixels.back(), 0x112233u);

  Settings().backgroundColourSet = 0;
  const plat::WinRect corner{0, 0, 10, 10};
  plat::InvalidateRect(Window(), &corner);
  plat::UpdateWindow(Window());
  ASSERT_TRUE(plat::ReadPresentedFrame(Window(), &pixels, &width, &height));
  EXPECT_EQ(pixels[0], 0u);
  EXPECT_EQ(pixels[9 * static_cast<std::size_t>(width) + 9], 0u);
  EXPECT_EQ(pixels[10], 0x112233u);
}

TEST_F(MainWindowTest, SecondCopyIsRefusedAndLeavesNothingBehind) {
  plat::SimulateOtherInstance(className_.c_str(), true);
  const std::uint32_t periods = plat::GetTimerPeriodBalance();
  EXPECT_EQ(qz::CreateMainWindow(), -1);
  plat::SimulateOtherInstance(className_.c_str(), false);
  EXPECT_EQ(qz::GetEndRequestFlag(), 1);
  EXPECT_EQ(Window(), nullptr);
  EXPECT_TRUE(Logged(qz::text::kDoubleStartRefused));

  // The start ends the library after the refusal: the timer period and the
  // screen saver come back although no window was made.
  qz::EndMainWindow();
  EXPECT_EQ(plat::GetTimerPeriodBalance(), periods);
  EXPECT_FALSE(plat::IsScreenSaverInhibited());
}

TEST_F(MainWindowTest, CodePageChoice) {
  const struct {
    std::uint32_t oem;
    int code;
    int page;
  } cases[] = {{932, 1, 932}, {936, 4, 936}, {949, 2, 949}, {950, 3, 950}, {437, 1, 0}, {1252, 1, 0}};
  for (const auto& c : cases) {
    int code = -1;
    int page = -1;
    qz::ChooseCodePage(c.oem, &code, &page);
    EXPECT_EQ(code, c.code) << c.oem;
    EXPECT_EQ(page, c.page) << c.oem;
  }
}

TEST_F(MainWindowTest, TypedCharactersAndEditKeysReachTheRing) {
  Create();
  qz::InitCharCodeBuffer();
  for (int code : {10, 2, 1, 3, 8, 9, 13, 16, 22, 24, 27, 31, int{'a'}, 0x82}) Send(plat::WM_CHAR, code);
  Send(plat::WM_KEYDOWN, plat::VK_LEFT);
  Send(plat::WM_KEYDOWN, plat::VK_F1);

  std::string ring;
  char out[2];
  for (int n; (n = qz::PopInputChar(out, 1)) != 0;) ring.append(out, n);
  EXPECT_EQ(ring, std::string("\r\x01\x03\x08\x09\x0D\x10\x16\x18\x1B" "a", 11) + '\x82' + '\x1D');
}

TEST_F(MainWindowTest, WheelsCountOneStepPerMessage) {
  Create();
  Send(plat::WM_MOUSEWHEEL, static_cast<plat::WPARAM>(240) << 16);
  Send(plat::WM_MOUSEWHEEL, static_cast<plat::WPARAM>(static_cast<std::uint16_t>(-120)) << 16);
  Send(plat::WM_MOUSEWHEEL, static_cast<plat::WPARAM>(static_cast<std::uint16_t>(-360)) << 16);
  Send(plat::WM_MOUSEHWHEEL, static_cast<plat::WPARAM>(120) << 16);
  EXPECT_EQ(qz::GetWindowSystemState().wheelVertical, -1);
  EXPECT_EQ(qz::GetWindowSystemState().wheelHorizontal, 1);
  // The screen saver and monitor power-down requests are refused.
  EXPECT_EQ(Send(plat::WM_SYSCOMMAND, plat::SC_SCREENSAVE), 1);
  EXPECT_EQ(Send(plat::WM_SYSCOMMAND, plat::SC_MONITORPOWER | 2), 1);
}

TEST_F(MainWindowTest, ActivationsQueueWhileThePumpDispatchesUpToTheRingSize) {
  Settings().activationCallback = CountActivation;
  Create();
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  state.pumpBusy = 1;
  for (int i = 0; i < 600; ++i) Send(plat::WM_ACTIVATE, plat::WA_ACTIVE);
  Send(plat::WM_ACTIVATEAPP, 1);  // only losing activation counts from this one
  EXPECT_EQ(state.activationCount, qz::kActivationQueueSize);
  EXPECT_EQ(gActivationCalls, 600 - qz::kActivationQueueSize);

  state.pumpBusy = 0;
  state.activationCount = 0;
  Send(plat::WM_ACTIVATEAPP, 0);
  EXPECT_EQ(gActivationCalls, 600 - qz::kActivationQueueSize + 1);
  EXPECT_EQ(qz::IsMainWindowActive(), 0);
}

TEST_F(MainWindowTest, CloseKeptByTheProgramOrDestroyingTheWindow) {
  Settings().programHandlesClose = 1;
  Create();
  EXPECT_EQ(Send(plat::WM_CLOSE, 0), 0);
  EXPECT_EQ(qz::GetEndingState(), 4);
  EXPECT_TRUE(plat::IsWindow(Window()));
  EXPECT_EQ(qz::GetEndRequestFlag(), 0);

  // Once the end runs the close goes through even for such a program.
  qz::SetEndingState(1);
  Send(plat::WM_CLOSE, 0);
  EXPECT_FALSE(plat::IsWindow(Window()));
  EXPECT_EQ(qz::GetEndingState(), 1);
}

TEST_F(MainWindowTest, UserCloseDestroysTheWindowAndQuits) {
  Create();
  Send(plat::WM_CLOSE, 0);
  EXPECT_FALSE(plat::IsWindow(Window()));
  EXPECT_EQ(qz::GetEndingState(), 4);
  EXPECT_EQ(qz::GetEndRequestFlag(), 1);
  EXPECT_TRUE(Logged(qz::text::kReadyToEnd));
  plat::Message quit{};
  EXPECT_TRUE(plat::PeekMessageA(&quit, nullptr, plat::WM_QUIT, plat::WM_QUIT, plat::PM_REMOVE));
}

class MainWindowSizingTest : public MainWindowTest {
 protected:
  // Sends WM_SIZING for the current window grown by (dx, dy) on the dragged
  // edges; returns the rectangle the procedure settled on.
  plat::WinRect Drag(plat::WPARAM edge, int clientWidth, int clientHeight) {
    plat::WinRect outer{};
    plat::WinRect client{};
    plat::GetWindowRect(Window(), &outer);
    plat::GetClientRect(Window(), &client);
    frameWidth_ = (outer.right - outer.left) - client.right;
    frameHeight_ = (outer.bottom - outer.top) - client.bottom;
    original_ = outer;
    plat::WinRect proposed = outer;
    const bool left = edge == plat::WMSZ_LEFT || edge == plat::WMSZ_TOPLEFT || edge == plat::WMSZ_BOTTOMLEFT;
    const bool top = edge == plat::WMSZ_TOP || edge == plat::WMSZ_TOPLEFT || edge == plat::WMSZ_TOPRIGHT;
    if (left) proposed.left = proposed.right - clientWidth - frameWidth_;
    else proposed.right = proposed.left + clientWidth + frameWidth_;
    if (top) proposed.top = proposed.bottom - clientHeight - frameHeight_;
    else proposed.bottom = proposed.top + clientHeight + frameHeight_;
    Send(plat::WM_SIZING, edge, reinterpret_cast<plat::LPARAM>(&proposed));
    return proposed;
  }
  int ClientWidth(const plat::WinRect& r) const { return r.right - r.left - frameWidth_; }
  int ClientHeight(const plat::WinRect& r) const { return r.bottom - r.top - frameHeight_; }

  plat::WinRect original_{};
  int frameWidth_ = 0;
  int frameHeight_ = 0;
};

TEST_F(MainWindowSizingTest, DraggingKeepsTheScreenAspectAndSetsTheScale) {
  Create();
  const plat::WinRect right = Drag(plat::WMSZ_RIGHT, 800, 480);
  EXPECT_EQ(ClientWidth(right), 800);
  EXPECT_EQ(ClientHeight(right), 600);
  EXPECT_EQ(right.left, original_.left);
  EXPECT_EQ(right.top, original_.top);
  EXPECT_DOUBLE_EQ(Settings().scaleX, 1.25);
  EXPECT_DOUBLE_EQ(Settings().scaleY, 1.25);

  // A top-left corner: the larger ratio leads; the bottom-right corner stays.
  const plat::WinRect corner = Drag(plat::WMSZ_TOPLEFT, 700, 960);
  EXPECT_EQ(ClientHeight(corner), 960);
  EXPECT_EQ(ClientWidth(corner), 1280);
  EXPECT_EQ(corner.right, original_.right);
  EXPECT_EQ(corner.bottom, original_.bottom);
  EXPECT_DOUBLE_EQ(Settings().scaleY, 2.0);

  // The derived side may not leave the 1920x1080 desktop.
  const plat::WinRect tall = Drag(plat::WMSZ_RIGHT, 1900, 480);
  EXPECT_LE(ClientHeight(tall) + frameHeight_, 1080);
  EXPECT_NEAR(ClientWidth(tall) * 480.0 / ClientHeight(tall), 640.0, 1.0);
}

TEST_F(MainWindowSizingTest, AnExplicitScaleLimitsTheClientInstead) {
  Settings().explicitScale = 1;
  Settings().scaleX = 1.0;
  Settings().scaleY = 1.0;
  Create();
  const plat::WinRect limited = Drag(plat::WMSZ_LEFT, 900, 700);
  EXPECT_EQ(ClientWidth(limited), 640);
  EXPECT_EQ(ClientHeight(limited), 480);
  EXPECT_EQ(limited.right, original_.right);
  const plat::WinRect smaller = Drag(plat::WMSZ_BOTTOMRIGHT, 300, 200);
  EXPECT_EQ(ClientWidth(smaller), 300);
  EXPECT_EQ(ClientHeight(smaller), 200);
  EXPECT_DOUBLE_EQ(Settings().scaleX, 1.0);
}

TEST_F(MainWindowTest, DisplayChangesWindowModeCannotFollowCloseTheWindowOnce) {
  Create();
  qz::SetScreenColorBitDepth(32);
  qz::SetDeviceLostRestoreHandler(nullptr);
  qz::WindowSystemState& state = qz::GetWindowSystemState();
  Send(plat::WM_DISPLAYCHANGE, 32, plat::MakeLParam(1920, 1080));
  EXPECT_EQ(state.displayChanged, 1);
  EXPECT_EQ(state.closePosted, 0);

  // A 24-bit desktop, a drop to 8 bits, a desktop narrower than the screen.
  const struct {
    int bits;
    int width;
  } unusable[] = {{24, 1920}, {8, 1920}, {32, 600}};
  for (const auto& change : unusable) {
    state.displayChanged = 0;
    Send(plat::WM_DISPLAYCHANGE, change.bits, plat::MakeLParam(change.width, 1080));
    EXPECT_EQ(state.displayChanged, 0) << change.bits << " " << change.width;
    EXPECT_EQ(state.closePosted, 1) << change.bits << " " << change.width;
  }
  EXPECT_TRUE(Logged(qz::text::kDisplayChangeUnusable));
  int closes = 0;
  plat::Message message{};
  while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) closes += message.message == plat::WM_CLOSE;
  EXPECT_EQ(closes, 1);
  qz::ClearDeviceLostRestoreHandlerForTest();
  qz::SetScreenColorBitDepth(0);
}

TEST_F(MainWindowTest, ModeSwitchStoresBeforeTheWindowAndRefusesAMissingFullScreenMode) {
  plat::UseVirtualTime(true);  // the switch waits a while for a display change
  EXPECT_EQ(qz::ChangeWindowMode(0), 0);
  EXPECT_EQ(qz::QueryWindowModeState(), 0);
  EXPECT_EQ(qz::ChangeWindowMode(1), 0);
  EXPECT_EQ(qz::QueryWindowModeState(), 1);
  EXPECT_TRUE(Logged(qz::text::kWindowModeFlagCleared));

  Create();
  qz::SetDisplayModeListForTest(nullptr, 0);
  EXPECT_EQ(qz::ChangeWindowMode(0), -1);
  EXPECT_EQ(qz::QueryWindowModeState(), 1);

  const qz::DisplayModeRecord mode{640, 480, qz::GetScreenColorBitDepth(), 60};
  qz::SetDisplayModeListForTest(&mode, 1);
  EXPECT_EQ(qz::ChangeWindowMode(0), 0);
  EXPECT_EQ(qz::QueryWindowModeState(), 0);
  EXPECT_EQ(static_cast<std::uint32_t>(plat::GetWindowLongA(Window(), plat::GWL_STYLE)), plat::WS_POPUP);
  EXPECT_EQ(qz::ChangeWindowMode(1), 0);
  const qz::WindowStyleEntry style = qz::GetWindowStyleEntry(0);
  EXPECT_EQ(static_cast<std::uint32_t>(plat::GetWindowLongA(Window(), plat::GWL_STYLE)),
            style.style | plat::WS_VISIBLE);
  EXPECT_EQ(static_cast<std::uint32_t>(plat::GetWindowLongA(Window(), plat::GWL_EXSTYLE)), style.exStyle);
  qz::SetDisplayModeListForTest(nullptr, -1);
}

int gMenuCommand = 0;
void NoteMenuCommand(int id) { gMenuCommand = id; }
int gToolBarSizes = 0;
int gToolBarDeletes = 0;
plat::LRESULT ToolBarProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (message == plat::WM_SIZE) ++gToolBarSizes;
  if (message == qz::TB_DELETEBUTTON) ++gToolBarDeletes;
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(MainWindowTest, MenuToolBarAndDroppedFilesFollowTheWindow) {
  static const qz::MenuNode items[] = {{100, "File", nullptr, 0}, {0x500, "Open", nullptr, 0}};
  static const qz::MenuDescription menuDescription{items, 2};
  Settings().menu = const_cast<qz::MenuDescription*>(&menuDescription);
  Settings().menuInUse = 1;
  Settings().menuCommandCallback = NoteMenuCommand;
  plat::UseVirtualTime(true);  // the mode switches wait a while for a display change
  qz::MenuState& menu = qz::GetMenuState();
  menu = qz::MenuState{};
  Create();
  EXPECT_EQ(menu.attached, 1);
  EXPECT_EQ(menu.lastShown, 1);

  // Full screen takes the menu off (nothing forces it on); window mode puts it back.
  const qz::DisplayModeRecord mode{640, 480, qz::GetScreenColorBitDepth(), 60};
  qz::SetDisplayModeListForTest(&mode, 1);
  ASSERT_EQ(qz::ChangeWindowMode(0), 0);
  EXPECT_EQ(menu.attached, 0);
  ASSERT_EQ(qz::ChangeWindowMode(1), 0);
  EXPECT_EQ(menu.attached, 1);
  EXPECT_EQ(menu.lastShown, 1);
  qz::SetDisplayModeListForTest(nullptr, -1);

  const std::string toolBarClass = className_ + "_toolbar";
  const plat::WindowClass toolBarWindowClass{0, ToolBarProc, 0, toolBarClass.c_str()};
  ASSERT_NE(plat::RegisterClassExA(&toolBarWindowClass), 0);
  qz::ToolBarState& toolBar = qz::GetToolBarState();
  toolBar = qz::ToolBarState{};
  toolBar.window = plat::CreateWindowExA(0, toolBarClass.c_str(), "", plat::WS_POPUP, 0, 0, 640, 24, nullptr);
  ASSERT_NE(toolBar.window, nullptr);
  toolBar.present = 1;
  toolBar.buttons[0] = {0x500, 0, qz::kToolBarButtonPlain, 0, 0};
  toolBar.buttons[1] = {0x501, 0, qz::kToolBarButtonSeparator, 0, 0};
  toolBar.buttonCount = 2;
  gToolBarSizes = 0;
  gToolBarDeletes = 0;
  gMenuCommand = 0;

  // A tool-bar command marks its plain button and still reaches the menu's callback.
  Send(plat::WM_COMMAND, 0x500);
  Send(plat::WM_COMMAND, 0x501);
  EXPECT_EQ(toolBar.buttons[0].clicked, 1);
  EXPECT_EQ(toolBar.buttons[1].clicked, 0);
  EXPECT_EQ(gMenuCommand, 0x501);
  EXPECT_EQ(qz::GetWindowSystemState().selectedMenuIdCount, 2);
  Send(plat::WM_SIZE, plat::SIZE_RESTORED, plat::MakeLParam(640, 480));
  // Placing the window again (the tool bar now adds its height) sizes it once more.
  EXPECT_GE(gToolBarSizes, 1);

  const char* dropped[] = {"/tmp/a.png", "/tmp/b.png"};
  plat::SimulateDroppedFiles(Window(), dropped, 2);
  plat::Message message{};
  while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) plat::DispatchMessageA(&message);
  EXPECT_EQ(qz::GetWindowSystemState().droppedFileCount, 2);

  // The end takes the tool bar and the menu down and frees the names; a user's
  // choice to hide the menu is not made for them.
  const plat::HWND toolBarWindow = toolBar.window;
  qz::EndMainWindow();
  EXPECT_EQ(gToolBarDeletes, 2);
  EXPECT_EQ(toolBar.buttonCount, 0);
  EXPECT_EQ(toolBar.present, 0);
  EXPECT_FALSE(plat::IsWindow(toolBarWindow));
  EXPECT_EQ(menu.attached, 0);
  EXPECT_EQ(menu.hiddenByUser, 0);
  EXPECT_EQ(qz::GetWindowSystemState().droppedFileCount, 0);
  plat::UnregisterClassA(toolBarClass.c_str());
  menu = qz::MenuState{};
}

int gProgramMessages = 0;
plat::LRESULT ProgramWindowProc(plat::HWND, std::uint32_t message, plat::WPARAM, plat::LPARAM) {
  if (message == plat::WM_CLOSE || message == plat::WM_CHAR) ++gProgramMessages;
  return 7;
}

TEST_F(MainWindowTest, ChildModeRunsInsideTheProgramWindow) {
  const plat::WindowClass programClass{0, ProgramWindowProc, 0, className_.c_str()};
  ASSERT_NE(plat::RegisterClassExA(&programClass), 0);
  const plat::HWND program =
      plat::CreateWindowExA(0, className_.c_str(), "program", plat::WS_POPUP, 0, 0, 320, 240, nullptr);
  ASSERT_NE(program, nullptr);
  Settings().childMode = 1;
  Settings().programWindow = program;
  SetName((className_ + "_library").c_str());
  Create();
  EXPECT_EQ(Window(), program);
  qz::InitCharCodeBuffer();
  gProgramMessages = 0;

  // The program's procedure runs first and its result stands; closing is
  // left to the program.
  EXPECT_EQ(Send(plat::WM_CHAR, 'x'), 7);
  EXPECT_EQ(Send(plat::WM_CLOSE, 0), 7);
  EXPECT_EQ(gProgramMessages, 2);
  EXPECT_TRUE(plat::IsWindow(program));
  char out[2];
  EXPECT_EQ(qz::PopInputChar(out, 1), 1);
  EXPECT_EQ(out[0], 'x');

  qz::EndMainWindow();
  EXPECT_EQ(qz::GetEndRequestFlag(), 1);
  EXPECT_EQ(Send(plat::WM_CHAR, 'y'), 7);
  EXPECT_EQ(qz::PopInputChar(out, 1), 0);
  qz::GetWindowSystemState().mainWindow = nullptr;
  plat::DestroyWindow(program);
  plat::UnregisterClassA(className_.c_str());
}

}  // namespace
