// Key tests and pad bits over the input state.
#include "input/pad_input.h"

#include "core/main_window.h"
#include "graphics/screen_mode_change.h"
#include "input/input_devices.h"
#include "input/input_state.h"

namespace qz {

void WriteDefaultKeyAssignment() {
  for (auto& pad : gInputState.keyAssignment) {
    for (auto& row : pad) {
      row[0] = -1;
      row[1] = -1;
      row[2] = 0;
      row[3] = 0;
    }
  }
  // Pad 1: directions on the numeric pad and the arrows, ten buttons on letters.
  constexpr std::int32_t kPadOne[14][2] = {
      {0x50, 0xD0}, {0x4B, 0xCB}, {0x4D, 0xCD}, {0x48, 0xC8}, {0x2C, -1}, {0x2D, -1}, {0x2E, -1},
      {0x1E, -1},   {0x1F, -1},   {0x20, -1},   {0x10, -1},   {0x11, -1}, {0x01, -1}, {0x39, -1},
  };
  for (int bit = 0; bit < 14; ++bit) {
    gInputState.keyAssignment[0][bit][0] = kPadOne[bit][0];
    gInputState.keyAssignment[0][bit][1] = kPadOne[bit][1];
  }
}

int TestKeyDown(int keyCode) {
  EnsureScreenReady();
  if (!IsInputStarted()) {
    if (IsCloseMessagePosted() != 0) return 0;
    return InitializeInput();
  }
  UpdateKeyboardState();
  return ReadKeyCode(keyCode) ? 1 : 0;
}

std::uint32_t GetPadInputBits(int inputType) {
  const int pad = (inputType & ~kPadWithKeyboard) - 1;
  const bool withKeyboard = (inputType & kPadWithKeyboard) != 0;
  EnsureScreenReady();
  if (!IsInputStarted() && IsCloseMessagePosted() == 0) return static_cast<std::uint32_t>(InitializeInput());
  const InputState& in = gInputState;
  if ((pad < -1 || pad >= in.padCount) && in.padCount != 0 && !withKeyboard) return 0;

  std::uint32_t bits = 0;
  if (pad != -1 && in.padCount != 0 && pad < in.padCount) {
    UpdateJoypadState(pad);
    const plat::JoystickState& state = in.pads[pad].state;
    if (state.x < 0) bits |= kPadLeft;
    if (state.x > 0) bits |= kPadRight;
    if (state.y < 0) bits |= kPadUp;
    if (state.y > 0) bits |= kPadDown;
    for (int b = 0; b < 24; ++b) {
      if ((state.buttons[b] & 0x80) != 0) bits |= 1u << (b + 4);
    }
  }
  if (withKeyboard) {
    UpdateKeyboardState();
    // Pad numbers past the table read no keys rather than another pad's row.
    const int row = pad == -1 ? 0 : pad;
    if (row >= 0 && row < kMaxJoypads) {
      for (int bit = 0; bit < kPadBitCount; ++bit) {
        for (std::int32_t code : in.keyAssignment[row][bit]) {
          if (ReadKeyCode(code)) bits |= 1u << bit;
        }
      }
    }
  }
  return bits;
}

}  // namespace qz
