// Input start and end, the keyboard refresh, joypad enumeration and polling,
// and pad vibration. The device interface is preferred (version 7, then 8);
// without it the keyboard comes from the window's key table and the pads from
// the multimedia joystick calls.
#include "input/input_devices.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/call_trace.h"
#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "core/system_info.h"
#include "core/window_state.h"
#include "graphics/screen_mode_change.h"
#include "input/input_state.h"
#include "platform/sync.h"
#include "platform/winmm_joystick.h"

namespace qz {

InputState gInputState{};

namespace {

constexpr std::uint32_t kAxisOffsets[6] = {plat::DIJOFS_X,  plat::DIJOFS_Y,  plat::DIJOFS_Z,
                                           plat::DIJOFS_RX, plat::DIJOFS_RY, plat::DIJOFS_RZ};
constexpr std::int32_t kAxisDeadZone = 3500;

bool Succeeded(plat::HRESULT result) { return result >= 0; }

template <class T>
void ReleaseInterface(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

void CloseEvent(plat::Handle& event) {
  if (event != nullptr) plat::CloseHandle(event);
  event = nullptr;
}

bool IsEventSignalled(plat::Handle event) {
  return event != nullptr && plat::WaitForSingleObject(event, 0) == plat::WAIT_OBJECT_0;
}

// The version-7 object is tried first, the version-8 object only when that
// cannot be created or initialised. False when neither works; on success the
// log stays indented one level more, undone by the caller.
bool CreateInputObject() {
  InputState& in = gInputState;
  AppendLogText(text::kInputGetting7);
  for (int version : {7, 8}) {
    if (version == 8) AppendLogFormat("%s", text::kInputTrying8);
    plat::DirectInput* object = nullptr;
    const plat::HRESULT created = plat::CreateDirectInput(version, &object);
    if (!Succeeded(created)) {
      AppendLogFormat("%s", text::kInputGetFailed);
      AppendLogFormat(text::kInputErrorCode, static_cast<unsigned>(created));
      continue;
    }
    AppendLogFormat("%s", text::kInputSucceeded);
    IncreaseLogIndent();
    AppendLogText(text::kInputContinuing);
    const plat::HRESULT initialised =
        object->Initialize(plat::GetModuleHandleA(nullptr), version == 7 ? 0x700u : 0x800u);
    if (!Succeeded(initialised)) {
      DecreaseLogIndent();
      AppendLogFormat("%s", text::kInputInitFailed);
      object->Release();
      continue;
    }
    AppendLogFormat("%s", text::kInputInitialised);
    in.object = object;
    in.version8 = version == 8 ? 1 : 0;
    return true;
  }
  return false;
}

// Releases what the start made and ends the program with `message`.
[[noreturn]] void FailDevices(const char* message) {
  InputState& in = gInputState;
  ReleaseInterface(in.mouse);
  ReleaseInterface(in.keyboard);
  CloseEvent(in.keyboardEvent);
  ReleaseInterface(in.object);
  in.startRunning = 0;
  FatalErrorExit(message);
}

void StartMouse() {
  InputState& in = gInputState;
  AppendLogText(text::kInputMouseInit);
  if (!Succeeded(in.object->CreateDevice(plat::GUID_SysMouse, &in.mouse))) FailDevices(text::kInputMouseGetFailed);
  if (!Succeeded(in.mouse->SetDataFormat(plat::DataFormat::kMouse))) FailDevices(text::kInputMouseFormatFailed);
  if (!Succeeded(in.mouse->SetCooperativeLevel(QueryMainWindowHandle(),
                                               plat::DISCL_NONEXCLUSIVE | plat::DISCL_BACKGROUND))) {
    FailDevices(text::kInputMouseCoopFailed);
  }
  AppendLogFormat("%s", text::kInputInitialised);
}

// -1 when the keyboard's event cannot be set up; fatal for the other failures.
int StartKeyboard() {
  InputState& in = gInputState;
  in.lastKeyboardPoll = GetMillisecondCount();
  AppendLogText(text::kInputKeyboardInit);
  if (!Succeeded(in.object->CreateDevice(plat::GUID_SysKeyboard, &in.keyboard))) {
    FailDevices(text::kInputKeyboardGetFailed);
  }
  if (!Succeeded(in.keyboard->SetDataFormat(plat::DataFormat::kKeyboard))) {
    FailDevices(text::kInputKeyboardFormatFailed);
  }
  if (!Succeeded(in.keyboard->SetCooperativeLevel(QueryMainWindowHandle(),
                                                  plat::DISCL_NONEXCLUSIVE | plat::DISCL_BACKGROUND))) {
    FailDevices(text::kInputKeyboardCoopFailed);
  }
  if (!Succeeded(in.keyboard->SetBufferSize(100))) AppendLogFormat("%s", text::kInputKeyboardPropertyFailed);
  in.keyboardEvent = plat::CreateEventA(plat::TRUE, plat::FALSE);
  const plat::HRESULT notify = in.keyboard->SetEventNotification(in.keyboardEvent);
  if (notify != plat::DI_OK && notify != plat::DI_POLLEDDEVICE) {
    AppendLogFormat("%s", text::kInputKeyboardEventFailed);
    in.startRunning = 0;
    return -1;
  }
  if (!Succeeded(in.keyboard->Acquire()) && !Succeeded(in.keyboard->Acquire())) {
    FailDevices(text::kInputKeyboardGetFailed);
  }
  AppendLogFormat("%s", text::kInputInitialised);
  in.lastKeyboardPoll = GetMillisecondCount();
  return 0;
}

void StartFallback() {
  InputState& in = gInputState;
  IncreaseLogIndent();
  int found = 0;
  for (; found < kMaxJoypads; ++found) {
    plat::JoyCaps caps{};
    if (plat::joyGetDevCapsA(static_cast<std::uint32_t>(found), &caps, sizeof caps) != plat::JOYERR_NOERROR) break;
    const std::uint32_t both = plat::JOYCAPS_HASZ | plat::JOYCAPS_HASR;
    if ((caps.caps & both) == both) in.pads[found].zAndRPresent = 1;
  }
  AppendLogFormat(text::kInputPadCount, found);
  DecreaseLogIndent();
  in.fallbackMode = 1;
  AppendLogFormat("%s", text::kInputFallbackDone);
  in.padCount = kMaxJoypads;
}

plat::BOOL JoypadEnumCallback(const plat::DeviceInstance* instance, void*) {
  InputState& in = gInputState;
  JoypadRecord& pad = in.pads[in.padCount];
  AppendLogFormat("%s", text::kInputFound);
  plat::InputDevice* device = nullptr;
  if (!Succeeded(in.object->CreateDevice(instance->guid, &device))) {
    AppendLogFormat("%s", text::kInputDeviceGetFailed);
    return plat::DIENUM_CONTINUE;
  }
  plat::DeviceInstance info{};
  device->GetDeviceInfo(&info);
  std::memcpy(pad.instanceName, info.instanceName, sizeof pad.instanceName);
  std::memcpy(pad.productName, info.productName, sizeof pad.productName);
  IncreaseLogIndent();
  AppendLogFormat(text::kInputDeviceName, pad.instanceName);
  AppendLogFormat(text::kInputProductName, pad.productName);
  DecreaseLogIndent();

  // A device given up on here is released with its effects, so nothing of it
  // outlives the enumeration.
  auto dropDevice = [&](const char* message) {
    ReleaseInterface(pad.constantForce);
    ReleaseInterface(pad.sine);
    device->Release();
    AppendLogFormat("%s", message);
    return plat::DIENUM_CONTINUE;
  };
  if (!Succeeded(device->SetDataFormat(plat::DataFormat::kJoystick))) return dropDevice(text::kInputNotPad);
  if (!Succeeded(device->SetCooperativeLevel(QueryMainWindowHandle(), plat::DISCL_EXCLUSIVE | plat::DISCL_FOREGROUND))) {
    AppendLogFormat("%s", text::kInputPadCoopFailed);
  }
  for (std::uint32_t offset : kAxisOffsets) {
    const bool ok = Succeeded(device->SetAxisRange(offset, -1000, 1000));
    if (!ok && offset == plat::DIJOFS_X) return dropDevice(text::kInputPadRangeX);
    if (!ok && offset == plat::DIJOFS_Y) return dropDevice(text::kInputPadRangeY);
  }
  for (std::uint32_t offset : kAxisOffsets) {
    const bool ok = Succeeded(device->SetAxisDeadZone(offset, kAxisDeadZone));
    if (!ok && offset == plat::DIJOFS_X) return dropDevice(text::kInputPadDeadZoneX);
    if (!ok && offset == plat::DIJOFS_Y) return dropDevice(text::kInputPadDeadZoneY);
  }
  if (in.forceFeedbackOff == 0) {
    device->CreateEffect(plat::EffectKind::kSine, {10000, 1500000, 10000}, &pad.sine);
    if (!Succeeded(device->CreateEffect(plat::EffectKind::kConstantForce, {10000, 0, 10000}, &pad.constantForce))) {
      AppendLogFormat("%s", text::kInputEffectFailed);
    }
    pad.vibrationRequested = 0;
    pad.vibrationPower = 10000;
    pad.constantForceRunning = 0;
    pad.sineRunning = 0;
  }
  plat::Handle event = plat::CreateEventA(plat::TRUE, plat::FALSE);
  const plat::HRESULT notify = device->SetEventNotification(event);
  if (notify != plat::DI_OK && notify != plat::DI_POLLEDDEVICE) {
    // The pad is not counted: its device, effects and event go.
    plat::CloseHandle(event);
    return dropDevice(text::kInputPadEventFailed);
  }
  device->Acquire();
  pad.device = device;
  pad.event = event;
  pad.state = plat::JoystickState{};
  ++in.padCount;
  AppendLogFormat("%s", text::kInputPadAdded);
  return in.padCount >= kMaxJoypads ? plat::DIENUM_STOP : plat::DIENUM_CONTINUE;
}

// Pumps once for fresh device messages, as a refresh does before reading.
// Inside the pump's own frame services the messages were just handled, and a
// nested pump would block there while the window is inactive: only the end
// request is reported then.
int PumpForRefresh() {
  const WindowSystemState& state = GetWindowSystemState();
  if (state.pumpBusy != 0) return state.endRequest != 0 ? -1 : 0;
  return PumpWindowMessages();
}

bool IsMainThread() {
  return plat::GetWindowThreadProcessId(QueryMainWindowHandle(), nullptr) == plat::GetCurrentThreadId();
}

// One joystick position of 0..65535 as -1000..1000, with the centre band
// 16384..49152 read as 0.
std::int32_t FallbackAxis(std::uint32_t position) {
  const auto p = static_cast<std::int32_t>(position);
  if (p < 16384) return (p - 16384) * 1000 / 16384;
  if (p > 49152) return (p - 49152) * 1000 / 16384;
  return 0;
}

void SetEffect(plat::InputEffect* effect, std::int32_t wanted, std::int32_t* running) {
  if (effect == nullptr || wanted == *running) return;
  if (wanted != 0) {
    effect->Start(1, 0);
  } else {
    effect->Stop();
  }
  *running = wanted;
}

}  // namespace

int InitializeInput() {
  RecordCall("InitializeInput");
  if (IsCallFailingForTest("InitializeInput")) return -1;
  InputState& in = gInputState;
  if (IsInputStarted() || in.startRunning == 1) return 0;
  in.startRunning = 1;

  // A restart keeps what the program chose once: the interface decision and
  // the key assignment.
  const std::int32_t noDirectInput = in.noDirectInput, forceFeedbackOff = in.forceFeedbackOff;
  const std::int32_t assignmentSet = in.keyAssignmentInitialised;
  KeyAssignmentTable assignment;
  std::memcpy(assignment, in.keyAssignment, sizeof assignment);
  std::memset(&in, 0, sizeof in);
  in.noDirectInput = noDirectInput;
  in.forceFeedbackOff = forceFeedbackOff;
  in.keyAssignmentInitialised = assignmentSet;
  std::memcpy(in.keyAssignment, assignment, sizeof assignment);
  in.startRunning = 1;
  // Presses from before this start belong to no frame of it.
  std::uint8_t earlierPresses[256];
  plat::TakeKeyPresses(earlierPresses);

  bool withInterface = false;
  if (in.noDirectInput == 0) {
    AppendLogFormat("%s", text::kInputStart);
    IncreaseLogIndent();
    withInterface = CreateInputObject();
    if (!withInterface) {
      AppendLogFormat("%s", text::kInputNotUsed);
      DecreaseLogIndent();
      in.noDirectInput = 1;
    }
  }
  if (withInterface) {
    DecreaseLogIndent();
    plat::BringWindowToTop(QueryMainWindowHandle());
    PumpForRefresh();
    EnumerateJoypads();
    StartMouse();
    if (StartKeyboard() == -1) return -1;
    DecreaseLogIndent();
    AppendLogFormat("%s", text::kInputStartDone);
  } else {
    StartFallback();
  }
  if (in.keyAssignmentInitialised == 0) {
    in.keyAssignmentInitialised = 1;
    WriteDefaultKeyAssignment();
  }
  in.startRunning = 0;
  return 0;
}

int TerminateInput() {
  RecordCall("TerminateInput");
  InputState& in = gInputState;
  if (in.fallbackMode != 0) {
    AppendLogFormat("%s", text::kInputFallbackEnd);
    in.fallbackMode = 0;
    in.padCount = 0;
    return 0;
  }
  if (in.object == nullptr) return 0;
  AppendLogFormat("%s", text::kInputEnd);
  ReleaseJoypads();
  if (in.keyboard != nullptr) {
    in.keyboard->Unacquire();
    ReleaseInterface(in.keyboard);
  }
  CloseEvent(in.keyboardEvent);
  if (in.mouse != nullptr) {
    in.mouse->Unacquire();
    ReleaseInterface(in.mouse);
  }
  ReleaseInterface(in.object);
  return 0;
}

int EnumerateJoypads() {
  InputState& in = gInputState;
  if (in.object == nullptr) return -1;
  ReleaseJoypads();
  AppendLogFormat("%s", text::kInputPadsInit);
  in.padCount = 0;
  in.object->EnumDevices(plat::DIDEVTYPE_JOYSTICK, JoypadEnumCallback, nullptr, plat::DIEDFL_ATTACHEDONLY);
  AppendLogFormat("%s", text::kInputPadsDone);
  return 0;
}

int ReleaseJoypads() {
  InputState& in = gInputState;
  if (in.object == nullptr && in.fallbackMode == 0) return -1;
  for (int i = 0; i < in.padCount; ++i) {
    JoypadRecord& pad = in.pads[i];
    if (pad.device != nullptr) {
      pad.device->Unacquire();
      pad.device->SetEventNotification(nullptr);
    }
    for (plat::InputEffect** effect : {&pad.constantForce, &pad.sine}) {
      if (*effect != nullptr) (*effect)->Stop();
      ReleaseInterface(*effect);
    }
    ReleaseInterface(pad.device);
    CloseEvent(pad.event);
    pad = JoypadRecord{};
  }
  in.padCount = 0;
  return 0;
}

namespace {

// A frame's read first ages the presses no read looked at; then every read
// keeps the new presses.
void CollectPresses(InputState& in, bool frameRead) {
  if (frameRead) {
    for (std::uint8_t& press : in.keyPresses) press = (press & kPressFresh) != 0 ? kPressAged : 0;
  }
  std::uint8_t pressed[256];
  plat::TakeKeyPresses(pressed);
  for (const VirtualKeyCodeRow* row = kVirtualKeyToKeyCodeTable; row->virtualKey != 0xFFFF; ++row) {
    if (pressed[row->virtualKey] != 0) in.keyPresses[row->keyCode] |= kPressFresh;
  }
}

// The device's state: false when it cannot be read.
bool ReadKeyboardDevice(InputState& in) {
  if (in.object == nullptr || in.keyboard == nullptr) return false;
  if (!Succeeded(in.keyboard->GetDeviceState(256, in.keyState))) {
    if (!Succeeded(in.keyboard->Acquire()) || !Succeeded(in.keyboard->GetDeviceState(256, in.keyState))) return false;
  }
  if (IsEventSignalled(in.keyboardEvent)) plat::ResetEvent(in.keyboardEvent);
  std::uint8_t keys[256];
  plat::GetKeyboardState(keys);
  in.keyState[0x36] = keys[0xA1];
  return true;
}

void ReadWindowKeyTable(InputState& in) {
  std::uint8_t keys[256];
  plat::GetKeyboardState(keys);
  std::memset(in.keyState, 0, sizeof in.keyState);
  for (const VirtualKeyCodeRow* row = kVirtualKeyToKeyCodeTable; row->virtualKey != 0xFFFF; ++row) {
    in.keyState[row->keyCode] = keys[row->virtualKey];
  }
  in.mouseButtons[0] = (keys[0x01] & 0x80) != 0 ? 1 : 0;
  in.mouseButtons[1] = (keys[0x02] & 0x80) != 0 ? 1 : 0;
  in.mouseButtons[2] = (keys[0x04] & 0x80) != 0 ? 1 : 0;
  in.mouseButtonsValid = 1;
}

// Every refresh reads the keys afresh, so a key that reached the window's
// table is seen by the next read whatever the clock says: what a frame
// reads depends on the keys alone, and a replay repeats under any load.
// Only the pump that brings the devices' new messages (the costly part) is
// held to once a millisecond between the frames' own reads; a real key
// waits no longer than that for it.
int RefreshKeyboardState(bool frameRead) {
  RecordCall("UpdateKeyboardState");
  InputState& in = gInputState;
  const bool useDevice = in.noDirectInput == 0 && in.keyboard != nullptr && GetOsCode() < kOsWindowsVista;
  if (in.refreshRunning != 0 || (!useDevice && !IsMainThread())) return 0;
  in.refreshRunning = 1;
  struct ClearOnReturn {
    ~ClearOnReturn() { gInputState.refreshRunning = 0; }
  } clear;

  const std::int32_t now = GetMillisecondCount();
  if (frameRead || now != in.lastKeyboardPoll) {
    in.lastKeyboardPoll = now;
    if (PumpForRefresh() != 0) return 0;
  }
  if (useDevice) {
    if (!ReadKeyboardDevice(in)) return 0;
  } else {
    ReadWindowKeyTable(in);
  }
  // Presses are collected after the pump, so those it just delivered count.
  CollectPresses(in, frameRead);
  return 1;
}

}  // namespace

bool ReadKeyCode(int keyCode) {
  InputState& in = gInputState;
  if (keyCode < 0 || keyCode > 255) return false;
  const bool pressed = in.keyPresses[keyCode] != 0;
  in.keyPresses[keyCode] = 0;
  return (in.keyState[keyCode] & 0x80) != 0 || pressed;
}

int UpdateKeyboardState() { return RefreshKeyboardState(false); }

int UpdateKeyboardStateForFrame() { return RefreshKeyboardState(true); }

int UpdateJoypadState(int index) {
  InputState& in = gInputState;
  if (index < 0 || index >= kMaxJoypads) return -1;
  JoypadRecord& pad = in.pads[index];
  const std::int32_t now = GetMillisecondCount();
  if (in.noDirectInput != 0) {
    if (now == pad.lastPoll) return 0;
    pad.lastPoll = now;
    plat::JoyInfoEx info{};
    info.size = sizeof info;
    info.flags = plat::JOY_RETURNALL;
    if (plat::joyGetPosEx(static_cast<std::uint32_t>(index), &info) != plat::JOYERR_NOERROR) {
      pad.state = plat::JoystickState{};
      return 0;
    }
    pad.state.x = FallbackAxis(info.xPos);
    pad.state.y = FallbackAxis(info.yPos);
    pad.state.z = pad.zAndRPresent != 0 ? FallbackAxis(info.zPos) : 0;
    pad.state.rz = pad.zAndRPresent != 0 ? FallbackAxis(info.rPos) : 0;
    for (int b = 0; b < 24; ++b) pad.state.buttons[b] = (info.buttons & (1u << b)) != 0 ? 128 : 0;
    return 0;
  }
  if (pad.device == nullptr) return 0;
  if (now == pad.lastPoll && !IsEventSignalled(pad.event)) return 0;
  pad.lastPoll = now;
  pad.device->Poll();
  plat::JoystickState state{};
  bool read = Succeeded(pad.device->GetDeviceState(sizeof state, &state));
  if (!read) {
    if (PumpForRefresh() != 0 || in.object == nullptr) return -1;
    if (Succeeded(pad.device->Acquire())) {
      if (PumpForRefresh() != 0 || in.object == nullptr) return -1;
      read = Succeeded(pad.device->GetDeviceState(sizeof state, &state));
    }
  }
  if (read) pad.state = state;
  if (IsEventSignalled(pad.event)) plat::ResetEvent(pad.event);
  return 0;
}

int ReacquireInputDevices() {
  RecordCall("ReacquireInputDevices");
  InputState& in = gInputState;
  if (in.object == nullptr) return 0;
  const bool active = IsMainWindowActive() != 0;
  for (int i = 0; i < in.padCount; ++i) {
    plat::InputDevice* device = in.pads[i].device;
    if (device == nullptr) continue;
    device->Unacquire();
    device->SetCooperativeLevel(QueryMainWindowHandle(),
                                active ? plat::DISCL_EXCLUSIVE | plat::DISCL_FOREGROUND
                                       : plat::DISCL_NONEXCLUSIVE | plat::DISCL_BACKGROUND);
    device->Acquire();
  }
  if (in.keyboard != nullptr) {
    in.keyboard->Unacquire();
    in.keyboard->Acquire();
  }
  return 0;
}

int UpdateJoypadEffects() {
  RecordCall("UpdateJoypadEffects");
  InputState& in = gInputState;
  if (in.object == nullptr) return 0;
  const bool active = IsMainWindowActive() != 0;
  for (int i = 0; i < in.padCount; ++i) {
    JoypadRecord& pad = in.pads[i];
    if (!active) {
      SetEffect(pad.constantForce, 0, &pad.constantForceRunning);
      SetEffect(pad.sine, 0, &pad.sineRunning);
      pad.constantForceRunning = 0;
      pad.sineRunning = 0;
      continue;
    }
    if (pad.device == nullptr) continue;
    SetEffect(pad.constantForce, pad.vibrationRequested, &pad.constantForceRunning);
    SetEffect(pad.sine, pad.vibrationRequested != 0 && pad.vibrationPower > 5000 ? 1 : 0, &pad.sineRunning);
  }
  return 0;
}

int StopPadVibration(int inputType) {
  const int index = (inputType & ~0x1000) - 1;
  EnsureScreenReady();
  InputState& in = gInputState;
  if (!IsInputStarted()) return InitializeInput();
  if (index < 0 || index >= in.padCount) return 0;
  JoypadRecord& pad = in.pads[index];
  if (pad.device != nullptr && pad.constantForce != nullptr && pad.vibrationRequested != 0) {
    pad.vibrationRequested = 0;
    pad.vibrationPower = 10000;
    UpdateJoypadEffects();
  }
  return 0;
}

int UpdatePadVibrationTimers() {
  RecordCall("UpdatePadVibrationTimers");
  InputState& in = gInputState;
  if (in.object == nullptr) return 0;
  const std::int32_t now = GetMillisecondCount();
  for (int i = 0; i < in.padCount; ++i) {
    JoypadRecord& pad = in.pads[i];
    if (pad.device == nullptr || pad.vibrationRequested == 0 || pad.vibrationPlayTime < 0) continue;
    if (now != pad.vibrationLastTick) {
      // The counter is 31 bits and wraps; the elapsed sum saturates so a long
      // vibration (or a big clock jump) cannot overflow it.
      const std::uint32_t step = (static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(pad.vibrationLastTick)) & 0x7FFFFFFFu;
      const std::int64_t elapsed = std::int64_t{pad.vibrationElapsed} + step;
      pad.vibrationElapsed = static_cast<std::int32_t>(std::min<std::int64_t>(elapsed, INT32_MAX));
      pad.vibrationLastTick = now;
    }
    if (pad.vibrationElapsed >= pad.vibrationPlayTime) StopPadVibration(i + 1);
  }
  UpdateJoypadEffects();
  return 0;
}

plat::LRESULT HandleInputDeviceMessage(std::uint32_t, plat::WPARAM) { return 0; }

}  // namespace qz
