// Input devices: start and end, the per-frame keyboard and pad updates, and
// the handlers the main window calls on activation and device notifications.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace qz {

// 0, or -1 when the keyboard cannot be set up.
int InitializeInput();
int TerminateInput();
// 1 when the key state was refreshed, else 0. Every read takes the keys
// afresh, so a key that reached the window's table counts at the next read;
// the pump for new device messages runs at most once a millisecond between
// the frames' own reads. Presses are kept for the key tests (ReadKeyCode),
// so a key pressed and let go between two reads still counts for one frame.
int UpdateKeyboardState();
// The frame's read, once a pump pass: ages the presses no read looked at.
int UpdateKeyboardStateForFrame();
int UpdatePadVibrationTimers();
int ReacquireInputDevices();
int UpdateJoypadEffects();
// Device notifications 0x46F and 0x470 (wParam selects the handler).
plat::LRESULT HandleInputDeviceMessage(std::uint32_t message, plat::WPARAM wParam);

}  // namespace qz
