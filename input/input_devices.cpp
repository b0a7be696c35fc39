// Input devices. Minimal until input is built: each entry records its call
// and succeeds (the start fails only on a test switch).
#include "input/input_devices.h"

#include "core/call_trace.h"

namespace qz {

int InitializeInput() {
  RecordCall("InitializeInput");
  return IsCallFailingForTest("InitializeInput") ? -1 : 0;
}

int TerminateInput() {
  RecordCall("TerminateInput");
  return 0;
}

int UpdateKeyboardState() {
  RecordCall("UpdateKeyboardState");
  return 0;
}

int UpdatePadVibrationTimers() {
  RecordCall("UpdatePadVibrationTimers");
  return 0;
}

int ReacquireInputDevices() {
  RecordCall("ReacquireInputDevices");
  return 0;
}

int UpdateJoypadEffects() {
  RecordCall("UpdateJoypadEffects");
  return 0;
}

plat::LRESULT HandleInputDeviceMessage(std::uint32_t, plat::WPARAM) {
  RecordCall("HandleInputDeviceMessage");
  return 0;
}

}  // namespace qz
