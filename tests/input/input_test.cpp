// Input as the game reads it, on the headless backend with the library
// started: keyboard bits through the default assignment, SDL virtual pads on
// the device path and the joystick fall-back, vibration timers, the
// key-input editor and IME composition.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "input/char_input.h"
#include "input/input_devices.h"
#include "input/input_state.h"
#include "input/key_input.h"
#include "input/pad_input.h"
#include "platform/clock.h"
#include "platform/dinput.h"
#include "platform/imm.h"
#include "platform/window.h"
#include "support/scratch_log.h"

namespace {

constexpr std::uint64_t kMillisecond = 1000000;

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    qz::ChangeWindowMode(1);
    title_ = "QzInput" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    qz::SetMainWindowTitle(title_.c_str());
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
  }
  void TearDown() override {
    // Keys held by a test would stay held in the window's key table.
    for (std::uint32_t vk : held_) plat::SimulateKey(window_, vk, false);
    qz::EndLibraryEntry();
    for (SDL_JoystickID id : pads_) {
      for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
      }
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    plat::ClearInputFailuresForTest();
    // The fall-back choice outlives restarts; each test starts afresh.
    qz::gInputState.noDirectInput = 0;
    EXPECT_EQ(plat::GetLiveInputObjectCount(), 0);
    plat::UseVirtualTime(false);
  }

  void Start() {
    ASSERT_EQ(qz::InitLibraryEntry(), 0);
    window_ = qz::QueryMainWindowHandle();
  }
  // A pad with six axes, 24 buttons and a hat; returns its device index.
  int AttachPad() {
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 24, 1);
    EXPECT_GE(index, 0);
    pads_.push_back(SDL_JoystickGetDeviceInstanceID(index));
    return index;
  }
  // Lets a millisecond pass so the once-per-millisecond refreshes read again.
  static void NextMillisecond() { plat::AdvanceVirtualTime(2 * kMillisecond); }
  void Key(std::uint32_t vk, bool down) {
    if (down) held_.push_back(vk);
    plat::SimulateKey(window_, vk, down);
    qz::PumpMessagesEntry();
    NextMillisecond();
  }
  // Typed bytes reach the active field through the pump's editor service.
  void Type(const char* bytes) {
    for (const char* p = bytes; *p != '\0'; ++p) qz::PushInputChar(static_cast<std::uint8_t>(*p));
    qz::PumpMessagesEntry();
    NextMillisecond();
  }

  std::string title_;
  plat::HWND window_ = nullptr;
  std::vector<SDL_JoystickID> pads_;
  std::vector<std::uint32_t> held_;
  qz::testing::ScratchLog log_;
};

TEST_F(InputTest, KeyboardFoldsIntoPadOneThroughTheDefaultAssignment) {
  Start();
  Key('Z', true);
  Key(plat::VK_LEFT, true);
  EXPECT_EQ(qz::GetPadInputBits(0x1001), 0x12u);
  EXPECT_EQ(qz::GetPadInputBits(0x1000), 0x12u);
  // No pad attached: the pad alone reads nothing, another pad's row is empty.
  EXPECT_EQ(qz::GetPadInputBits(0x0001), 0u);
  EXPECT_EQ(qz::GetPadInputBits(0x1005), 0u);
  EXPECT_EQ(qz::TestKeyDown(0x2C), 1);
  EXPECT_EQ(qz::TestKeyDown(0xCB), 1);
  Key('Z', false);
  Key(plat::VK_NUMPAD0 + 8, true);
  Key(plat::VK_ESCAPE, true);
  EXPECT_EQ(qz::GetPadInputBits(0x1001), qz::kPadLeft | qz::kPadUp | (1u << 12));
  // Codes past the table and pads past the assignment read nothing.
  EXPECT_EQ(qz::TestKeyDown(300), 0);
  EXPECT_EQ(qz::GetPadInputBits(0x1000 | 40), 0u);
}

// A key pressed and let go between two reads reads as down once, in the key
// tests and the pad bits alike, whether the tap came before the frame's
// pump, after it, or two pumps before the program looked.
TEST_F(InputTest, ATapBetweenTwoReadsCountsForOneFrame) {
  Start();
  const auto frame = [] {
    qz::PumpMessagesEntry();
    NextMillisecond();
  };
  plat::SimulateKey(window_, 'Z', true);
  plat::SimulateKey(window_, 'Z', false);
  frame();
  EXPECT_EQ(qz::GetPadInputBits(0x1001), 1u << 4);
  EXPECT_EQ(qz::TestKeyDown(0x2C), 0) << "read once";
  frame();
  EXPECT_EQ(qz::GetPadInputBits(0x1001), 0u);

  plat::SimulateKey(window_, plat::VK_LEFT, true);
  plat::SimulateKey(window_, plat::VK_LEFT, false);
  NextMillisecond();
  EXPECT_EQ(qz::GetPadInputBits(0x1001), qz::kPadLeft);
  frame();
  EXPECT_EQ(qz::GetPadInputBits(0x1001), 0u);

  Key('C', true);
  Key('C', false);
  EXPECT_EQ(qz::TestKeyDown(0x2E), 1);
  frame();
  EXPECT_EQ(qz::TestKeyDown(0x2E), 0);
  // A press no read looks at is gone two frames later.
  Key('C', true);
  Key('C', false);
  frame();
  EXPECT_EQ(qz::TestKeyDown(0x2E), 0);

  // A key held through several frames is not pressed again by the frames.
  Key('X', true);
  for (int i = 0; i < 3; ++i) {
    frame();
    EXPECT_EQ(qz::TestKeyDown(0x2D), 1);
  }
  Key('X', false);
  EXPECT_EQ(qz::TestKeyDown(0x2D), 0);
}

// A key that reached the window's key table is seen by the next read, even
// one in the millisecond of the read before it: what a frame reads depends
// on the keys, not on where the clock's milliseconds fall (another thread's
// clock reads move them on virtual time).
TEST_F(InputTest, AKeyChangedWithinOneMillisecondIsSeenByTheNextRead) {
  Start();
  // Each step starts a millisecond afresh; its reads (a microsecond of
  // virtual time each) stay inside it, as the check at its end confirms.
  const auto inOneMillisecond = [](auto step) {
    std::int64_t now = 0;
    plat::QueryPerformanceCounter(&now);
    plat::AdvanceVirtualTime(kMillisecond - static_cast<std::uint64_t>(now) % kMillisecond);
    const std::int32_t start = qz::GetMillisecondCount();
    step();
    EXPECT_EQ(qz::GetMillisecondCount(), start) << "the step crossed a millisecond";
  };
  const auto keyBits = [] { return qz::GetPadInputBits(0x1001); };
  inOneMillisecond([&] {
    EXPECT_EQ(keyBits(), 0u);
    plat::SimulateKey(window_, 'Z', true);
    EXPECT_EQ(keyBits(), 1u << 4) << "pressed after a read in its millisecond";
    EXPECT_EQ(qz::TestKeyDown(0x2C), 1) << "held";
    plat::SimulateKey(window_, 'Z', false);
    EXPECT_EQ(qz::TestKeyDown(0x2C), 0) << "let go after a read in its millisecond";
  });
  // After the frame's own read (the pump) as after the game's.
  inOneMillisecond([&] {
    qz::PumpMessagesEntry();
    plat::SimulateKey(window_, plat::VK_LEFT, true);
    held_.push_back(plat::VK_LEFT);
    EXPECT_EQ(keyBits(), qz::kPadLeft);
    // A tap inside the millisecond still counts, once.
    plat::SimulateKey(window_, 'X', true);
    plat::SimulateKey(window_, 'X', false);
    EXPECT_EQ(keyBits(), qz::kPadLeft | (1u << 5));
    EXPECT_EQ(keyBits(), qz::kPadLeft);
  });
}

TEST_F(InputTest, DevicePathReadsVirtualPadsWithTheDeadZone) {
  const int index = AttachPad();
  SDL_Joystick* joystick = SDL_JoystickOpen(index);
  ASSERT_NE(joystick, nullptr);
  Start();
  ASSERT_EQ(qz::gInputState.padCount, 1);
  ASSERT_NE(qz::gInputState.object, nullptr);

  // A third of full deflection stays in the 35% dead zone.
  SDL_JoystickSetVirtualAxis(joystick, 0, 10000);
  NextMillisecond();
  EXPECT_EQ(qz::GetPadInputBits(1), 0u);
  SDL_JoystickSetVirtualAxis(joystick, 0, -32768);
  SDL_JoystickSetVirtualAxis(joystick, 1, 32767);
  SDL_JoystickSetVirtualButton(joystick, 0, 1);
  SDL_JoystickSetVirtualButton(joystick, 23, 1);
  NextMillisecond();
  EXPECT_EQ(qz::GetPadInputBits(1), qz::kPadLeft | qz::kPadDown | (1u << 4) | (1u << 27));
  EXPECT_EQ(qz::gInputState.pads[0].state.x, -1000);
  EXPECT_EQ(qz::gInputState.pads[0].state.y, 1000);
  SDL_JoystickClose(joystick);
}

TEST_F(InputTest, VibrationRunsForItsPlayTimeThenStops) {
  AttachPad();
  Start();
  ASSERT_EQ(qz::gInputState.padCount, 1);
  qz::JoypadRecord& pad = qz::gInputState.pads[0];
  const SDL_JoystickID id = pads_[0];
  pad.vibrationRequested = 1;
  pad.vibrationPower = 10000;
  pad.vibrationPlayTime = 20;
  pad.vibrationElapsed = 0;
  pad.vibrationLastTick = static_cast<std::int32_t>(plat::timeGetTime());
  qz::UpdatePadVibrationTimers();
  EXPECT_EQ(pad.constantForceRunning, 1);
  EXPECT_EQ(pad.sineRunning, 1);
  EXPECT_EQ(plat::GetEffectStartCount(id, plat::EffectKind::kConstantForce), 1);

  plat::AdvanceVirtualTime(10 * kMillisecond);
  qz::UpdatePadVibrationTimers();
  EXPECT_EQ(pad.vibrationRequested, 1);
  plat::AdvanceVirtualTime(15 * kMillisecond);
  qz::UpdatePadVibrationTimers();
  EXPECT_EQ(pad.vibrationRequested, 0);
  EXPECT_EQ(pad.constantForceRunning, 0);
  EXPECT_EQ(pad.sineRunning, 0);
  EXPECT_TRUE(pad.constantForce != nullptr && !pad.constantForce->IsPlaying());
}

TEST_F(InputTest, VibrationTimeCountsAcrossTheCounterWrapAndSaturates) {
  AttachPad();
  Start();
  ASSERT_EQ(qz::gInputState.padCount, 1);
  qz::JoypadRecord& pad = qz::gInputState.pads[0];
  // Bring the 31-bit millisecond counter 5 ms short of its wrap.
  const std::uint64_t now = plat::timeGetTime() & 0x7FFFFFFFu;
  plat::AdvanceVirtualTime((0x7FFFFFFFu - now - 5) * kMillisecond);
  pad.vibrationRequested = 1;
  pad.vibrationPower = 10000;
  pad.vibrationPlayTime = 20;
  pad.vibrationElapsed = 0;
  pad.vibrationLastTick = qz::GetMillisecondCount();
  qz::UpdatePadVibrationTimers();
  plat::AdvanceVirtualTime(12 * kMillisecond);  // across the wrap
  qz::UpdatePadVibrationTimers();
  EXPECT_EQ(pad.vibrationElapsed, 12);
  plat::AdvanceVirtualTime(8 * kMillisecond);
  qz::UpdatePadVibrationTimers();
  EXPECT_EQ(pad.vibrationRequested, 0);

  // A vibration with the longest play time runs for days of clock jumps
  // without its elapsed sum overflowing.
  pad.vibrationRequested = 1;
  pad.vibrationPlayTime = INT32_MAX;
  pad.vibrationElapsed = 0;
  pad.vibrationLastTick = qz::GetMillisecondCount();
  for (int i = 0; i < 6; ++i) {
    plat::AdvanceVirtualTime(0x40000000ull * kMillisecond);
    qz::UpdatePadVibrationTimers();
  }
  EXPECT_EQ(pad.vibrationElapsed, INT32_MAX);
  EXPECT_EQ(pad.vibrationRequested, 0);
}

TEST_F(InputTest, WithoutTheDeviceInterfacePadsComeFromTheJoystickCalls) {
  const int index = AttachPad();
  SDL_Joystick* joystick = SDL_JoystickOpen(index);
  ASSERT_NE(joystick, nullptr);
  plat::SetInputFailureForTest(plat::InputFailure::kCreate7, true);
  plat::SetInputFailureForTest(plat::InputFailure::kInitialize8, true);
  Start();
  EXPECT_EQ(qz::gInputState.noDirectInput, 1);
  EXPECT_EQ(qz::gInputState.padCount, 16);
  EXPECT_EQ(qz::gInputState.pads[0].zAndRPresent, 1);

  // Positions 10000 and 60000 read -389 and 662; 20000 is in the centre band.
  struct Case {
    int position;
    std::int32_t expected;
  };
  for (const Case& c : {Case{10000, -389}, Case{60000, 662}, Case{20000, 0}}) {
    SDL_JoystickSetVirtualAxis(joystick, 0, static_cast<Sint16>(c.position - 32768));
    NextMillisecond();
    qz::UpdateJoypadState(0);
    EXPECT_EQ(qz::gInputState.pads[0].state.x, c.expected) << c.position;
  }
  SDL_JoystickSetVirtualButton(joystick, 2, 1);
  NextMillisecond();
  EXPECT_EQ(qz::GetPadInputBits(1) & (1u << 6), 1u << 6);
  // A pad that does not answer reads as released.
  NextMillisecond();
  EXPECT_EQ(qz::UpdateJoypadState(5), 0);
  EXPECT_EQ(qz::gInputState.pads[5].state.x, 0);
  EXPECT_EQ(qz::UpdateJoypadState(16), -1);
  SDL_JoystickClose(joystick);
}

TEST_F(InputTest, KeyInputEditsWithLimitsFiltersAndSelection) {
  Start();
  const int field = qz::CreateKeyInputHandle(4, 1, 0, 0);
  ASSERT_NE(field, -1);
  ASSERT_EQ(qz::SetActiveKeyInput(field), 0);
  qz::KeyInputRecord* r = qz::GetKeyInputRecord(field);
  Type("abcd\x1A" "e");
  EXPECT_STREQ(r->text, "eabc");  // the end gives way to the new character

  // Shift+Right twice from the start selects two bytes; Backspace deletes them.
  Type("\x1A");
  Key(plat::VK_LSHIFT, true);
  Type("\x1C\x1C");
  EXPECT_EQ(r->selectionAnchor, 0);
  EXPECT_EQ(r->selectionEnd, 2);
  Key(plat::VK_LSHIFT, false);
  Type("\x08");
  EXPECT_STREQ(r->text, "bc");
  EXPECT_EQ(r->cursor, 0);
  Type("\x1B");
  EXPECT_EQ(r->cancelled, 1);
  EXPECT_EQ(r->finished, 1);
  EXPECT_EQ(qz::ReleaseKeyInputHandle(field), 0);
  EXPECT_EQ(qz::ReleaseKeyInputHandle(field), -1);

  const int number = qz::CreateKeyInputHandle(16, 0, 0, 1);
  qz::SetActiveKeyInput(number);
  r = qz::GetKeyInputRecord(number);
  Type("-12-3.4.5x\r");
  EXPECT_STREQ(r->text, "-123.45");
  EXPECT_EQ(r->finished, 1);
}

TEST_F(InputTest, DoubleByteCharactersMoveAndDeleteWhole) {
  Start();
  const int field = qz::CreateKeyInputHandle(8, 0, 0, 0);
  qz::SetActiveKeyInput(field);
  qz::KeyInputRecord* r = qz::GetKeyInputRecord(field);
  Type("a\x82\xA0" "b");  // a, one Shift-JIS character, b
  Type("\x1D\x1D");
  EXPECT_EQ(r->cursor, 1);
  Type("\x10");
  EXPECT_STREQ(r->text, "ab");
  // A lead byte waits in the ring for its trail byte.
  Type("\x82");
  EXPECT_STREQ(r->text, "ab");
  Type("\xA2");
  EXPECT_STREQ(r->text, "a\x82\xA2" "b");
  EXPECT_EQ(qz::CountMultiByteChars(r->text, 4), 3);

  const int narrow = qz::CreateKeyInputHandle(8, 0, 1, 0);
  qz::SetActiveKeyInput(narrow);
  Type("x\x82\xA0y");
  EXPECT_STREQ(qz::GetKeyInputRecord(narrow)->text, "xy");
}

TEST_F(InputTest, CompositionReachesTheImeStateAndEndsWithTheResult) {
  Start();
  qz::SetImeEnabled(1);
  plat::SimulateComposition(window_, "にほん", 2);
  qz::PumpMessagesEntry();
  EXPECT_EQ(qz::IsImeComposing(), 1);
  EXPECT_STREQ(qz::GetImeComposition(), "\x82\xC9\x82\xD9\x82\xF1");
  EXPECT_EQ(qz::GetImeCursorChars(), 2);
  plat::SimulateComposition(window_, "", 0);
  qz::PumpMessagesEntry();
  EXPECT_EQ(qz::IsImeComposing(), 0);
  qz::SetImeEnabled(0);
  EXPECT_STREQ(qz::GetImeComposition(), "");
}

}  // namespace
