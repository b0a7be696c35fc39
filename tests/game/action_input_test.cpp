// Action flags as the player sees them: from a pad word through the button
// map, with Confirm and Cancel true only on the first frame of a press; and
// the keyboard reaching the pad bits through the library's key assignment.
#include "game/action_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "support/scratch_log.h"

namespace {

constexpr std::uint32_t Button(int n) { return 1u << (kPadButtonShift + n); }

class ActionFlagsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ButtonMap = kBuiltInButtonMap;
    confirmLatch = cancelLatch = 0;
  }
};

TEST_F(ActionFlagsTest, SharedButtonGivesConfirmOnceAndItsPlayActionWhileHeld) {
  // Built-in map: button 0 is Confirm and Jump.
  DeriveActionFlags(Button(0));
  EXPECT_EQ(ActionFlags.confirm, 1);
  EXPECT_EQ(ActionFlags.jump, 1);
  EXPECT_EQ(ActionFlags.cancel, 0);
  for (int frame = 0; frame < 2; ++frame) {
    DeriveActionFlags(Button(0));
    EXPECT_EQ(ActionFlags.confirm, 0) << frame;
    EXPECT_EQ(ActionFlags.jump, 1) << frame;
  }
}

TEST_F(ActionFlagsTest, AButtonServesOnlyTheFirstPlayActionMappedToIt) {
  ButtonMap.jump = 2;
  ButtonMap.shot = 2;
  ButtonMap.shotChange = 2;
  DeriveActionFlags(Button(2));
  EXPECT_EQ(ActionFlags.jump, 1);
  EXPECT_EQ(ActionFlags.shot, 0);
  EXPECT_EQ(ActionFlags.shotChange, 0);
  // Buttons 3 and 4 still reach Dash and Menu; direction bits reach nothing.
  DeriveActionFlags(Button(3) | Button(4) | 0xF);
  EXPECT_EQ(ActionFlags.dash, 1);
  EXPECT_EQ(ActionFlags.menu, 1);
  EXPECT_EQ(ActionFlags.jump, 0);
}

TEST_F(ActionFlagsTest, ConfirmAndCancelReArmAfterOneReleasedFrame) {
  ButtonMap.confirm = 5;
  ButtonMap.cancel = 6;
  std::vector<int> confirms, cancels;
  for (std::uint32_t pad : {Button(5), Button(5), Button(5), 0u, Button(5) | Button(6), Button(6), 0u, Button(6)}) {
    DeriveActionFlags(pad);
    confirms.push_back(ActionFlags.confirm);
    cancels.push_back(ActionFlags.cancel);
  }
  EXPECT_EQ(confirms, (std::vector<int>{1, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(cancels, (std::vector<int>{0, 0, 0, 0, 1, 0, 0, 1}));
}

TEST_F(ActionFlagsTest, LatchesTakeTheValueGiven) {
  SetInputLatches(1);
  EXPECT_EQ(jumpLatch + shotLatch + shotChangeLatch + dashLatch + dashBlock, 5);
  SetInputLatches(0);
  EXPECT_EQ(jumpLatch + shotLatch + shotChangeLatch + dashLatch + dashBlock, 0);
}

class KeyboardActionTest : public ActionFlagsTest {
 protected:
  void SetUp() override {
    ActionFlagsTest::SetUp();
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    qz::ChangeWindowMode(1);
    const std::string title = "QzGameKeys" + std::to_string(getpid());
    qz::SetMainWindowTitle(title.c_str());
    ASSERT_EQ(qz::InitLibraryEntry(), 0);
    window_ = qz::QueryMainWindowHandle();
  }
  void TearDown() override {
    for (std::uint32_t key : {std::uint32_t{'Z'}, plat::VK_LEFT}) plat::SimulateKey(window_, key, false);
    qz::EndLibraryEntry();
    plat::UseVirtualTime(false);
  }
  void Press(std::uint32_t key) {
    plat::SimulateKey(window_, key, true);
    qz::PumpMessagesEntry();
  }

  plat::HWND window_ = nullptr;
  qz::testing::ScratchLog log_;
};

TEST_F(KeyboardActionTest, ZAndLeftArrowGiveButtonZeroAndLeft) {
  Press('Z');
  Press(plat::VK_LEFT);
  ReadActionInput();
  EXPECT_EQ(padState, 0x12u);
  EXPECT_EQ(ActionFlags.confirm, 1);
  EXPECT_EQ(ActionFlags.jump, 1);
  EXPECT_EQ(ActionFlags.shot, 0);
}

}  // namespace
