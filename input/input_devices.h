// Input devices: start and end, the per-frame keyboard and pad updates, and
// the handlers the main window calls on activation and device notifications.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace qz {

// 0, or -1 when the keyboard cannot be set up.
int InitializeInput();
int TerminateInput();
// 1 when the key state was refreshed, else 0. A key pressed and let go
// before any read saw it down (a tap) reads as down from the next frame's
// read until the one after: every press counts for at least one frame.
int UpdateKeyboardState();
// The frame's read, once a pump pass: the taps found since the last one
// replace those the frame before has shown.
int UpdateKeyboardStateForFrame();
int UpdatePadVibrationTimers();
int ReacquireInputDevices();
int UpdateJoypadEffects();
// Device notifications 0x46F and 0x470 (wParam selects the handler).
plat::LRESULT HandleInputDeviceMessage(std::uint32_t message, plat::WPARAM wParam);

}  // namespace qz
