// The input layer's one state record: the key state by device key code, the
// key assignment and the joypads. Shared by the device code and the pad bits.
#pragma once

#include <cstdint>

#include "platform/dinput.h"

namespace qz {

inline constexpr int kMaxJoypads = 16;
inline constexpr int kPadBitCount = 32;
inline constexpr int kKeysPerPadBit = 4;

struct JoypadRecord {
  plat::InputDevice* device;
  plat::InputEffect* constantForce;
  plat::InputEffect* sine;
  plat::Handle event;
  plat::JoystickState state;
  std::int32_t zAndRPresent;
  std::int32_t lastPoll;
  std::int32_t vibrationRequested;
  std::int32_t vibrationPower;
  std::int32_t vibrationPlayTime;  // milliseconds; negative = until stopped
  std::int32_t vibrationElapsed;
  std::int32_t vibrationLastTick;
  std::int32_t constantForceRunning;
  std::int32_t sineRunning;
  char instanceName[260];
  char productName[260];
};

using KeyAssignmentTable = std::int32_t[kMaxJoypads][kPadBitCount][kKeysPerPadBit];

struct InputState {
  std::int32_t noDirectInput;
  std::int32_t forceFeedbackOff;
  std::int32_t version8;
  plat::DirectInput* object;
  std::int32_t fallbackMode;  // started without the device interface
  plat::InputDevice* mouse;
  plat::InputDevice* keyboard;
  plat::Handle keyboardEvent;
  std::int32_t lastKeyboardPoll;
  std::uint8_t keyState[256];    // held keys, bit 7
  std::uint8_t keyPresses[256];  // kPress* bits by key code
  std::int32_t keyAssignmentInitialised;
  KeyAssignmentTable keyAssignment;
  std::int32_t mouseButtonsValid;
  std::uint8_t mouseButtons[3];
  std::int32_t padCount;
  JoypadRecord pads[kMaxJoypads];
  std::int32_t startRunning;
  std::uint8_t refreshRunning;
};

extern InputState gInputState;

// A key's press is kept until a read looks at the key, so a press let go
// before any read still reads as down once. A press no read looked at goes
// at the second frame's read after it.
inline constexpr std::uint8_t kPressFresh = 0x01;  // since the last frame's read
inline constexpr std::uint8_t kPressAged = 0x02;   // from before it

// Whether the key is held or has a kept press, which this read takes: what
// the key tests read.
bool ReadKeyCode(int keyCode);

inline bool IsInputStarted() { return gInputState.object != nullptr || gInputState.fallbackMode != 0; }

// Writes the default assignment (pad 1 on the arrows, numeric pad and letters).
void WriteDefaultKeyAssignment();

// One row of the virtual-key to device-key-code table.
struct VirtualKeyCodeRow {
  std::uint16_t virtualKey;
  std::uint16_t keyCode;
  std::uint16_t flag;
};
// Ended by a row whose virtual key is 0xFFFF.
extern const VirtualKeyCodeRow kVirtualKeyToKeyCodeTable[];

int UpdateJoypadState(int index);
int EnumerateJoypads();
int ReleaseJoypads();
int StopPadVibration(int inputType);

}  // namespace qz
