// The input-device interface the input layer was written against (versions 7
// and 8), over SDL2: the keyboard and mouse from the window's own key table,
// game controllers from SDL's joysticks, vibration through SDL rumble where a
// controller has it (recorded either way). Objects are reference counted and
// counted while alive, so tests can check that the input end released all.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "platform/window.h"

namespace plat {

inline constexpr HRESULT DI_OK = 0;
inline constexpr HRESULT DI_POLLEDDEVICE = 2;
inline constexpr HRESULT DIERR_GENERIC = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
inline constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
inline constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);

inline constexpr std::uint32_t DIENUM_STOP = 0;
inline constexpr std::uint32_t DIENUM_CONTINUE = 1;
inline constexpr std::uint32_t DIEDFL_ATTACHEDONLY = 1;
inline constexpr std::uint32_t DIDEVTYPE_JOYSTICK = 4;

inline constexpr std::uint32_t DISCL_EXCLUSIVE = 0x1;
inline constexpr std::uint32_t DISCL_NONEXCLUSIVE = 0x2;
inline constexpr std::uint32_t DISCL_FOREGROUND = 0x4;
inline constexpr std::uint32_t DISCL_BACKGROUND = 0x8;

// Byte offsets of the fields of JoystickState, used to name an axis.
inline constexpr std::uint32_t DIJOFS_X = 0;
inline constexpr std::uint32_t DIJOFS_Y = 4;
inline constexpr std::uint32_t DIJOFS_Z = 8;
inline constexpr std::uint32_t DIJOFS_RX = 12;
inline constexpr std::uint32_t DIJOFS_RY = 16;
inline constexpr std::uint32_t DIJOFS_RZ = 20;

// The joystick data format: 80 bytes.
struct JoystickState {
  std::int32_t x, y, z;
  std::int32_t rx, ry, rz;
  std::int32_t slider[2];
  std::uint32_t pov[4];  // hundredths of a degree clockwise from north; 0xFFFFFFFF centred
  std::uint8_t buttons[32];  // bit 7 = pressed
};
static_assert(sizeof(JoystickState) == 80);

// The mouse data format.
struct MouseState {
  std::int32_t x, y, z;
  std::uint8_t buttons[4];
};

// Which device a data format describes.
enum class DataFormat { kKeyboard, kMouse, kJoystick };

// What names a device: the system keyboard, the system mouse, or a joystick
// by its SDL instance id.
struct DeviceGuid {
  enum class Kind { kKeyboard, kMouse, kJoystick } kind;
  std::int32_t joystickId;
};
inline constexpr DeviceGuid GUID_SysKeyboard{DeviceGuid::Kind::kKeyboard, -1};
inline constexpr DeviceGuid GUID_SysMouse{DeviceGuid::Kind::kMouse, -1};

struct DeviceInstance {
  DeviceGuid guid;
  std::uint32_t type;
  char instanceName[MAX_PATH];
  char productName[MAX_PATH];
};

// Parameters of the two effects the input layer makes for every pad.
enum class EffectKind { kConstantForce, kSine };
struct EffectParams {
  std::int32_t magnitude;     // 0..10000
  std::uint32_t periodMicro;  // sine only
  std::uint32_t gain;         // 0..10000
};

class InputEffect {
 public:
  virtual HRESULT Start(std::uint32_t iterations, std::uint32_t flags) = 0;
  virtual HRESULT Stop() = 0;
  virtual std::uint32_t Release() = 0;
  virtual bool IsPlaying() const = 0;

 protected:
  ~InputEffect() = default;
};

class InputDevice {
 public:
  virtual HRESULT SetDataFormat(DataFormat format) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, std::uint32_t flags) = 0;
  // Axis range and dead zone (in ten-thousandths of the half range) by the
  // axis's byte offset, and the buffer size of buffered devices.
  virtual HRESULT SetAxisRange(std::uint32_t offset, std::int32_t minimum, std::int32_t maximum) = 0;
  virtual HRESULT SetAxisDeadZone(std::uint32_t offset, std::uint32_t deadZone) = 0;
  virtual HRESULT SetBufferSize(std::uint32_t entries) = 0;
  // The event is set whenever the device's state changes; DI_POLLEDDEVICE
  // for devices that must be polled instead.
  virtual HRESULT SetEventNotification(Handle event) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT Poll() = 0;
  virtual HRESULT GetDeviceState(std::uint32_t size, void* data) = 0;
  virtual HRESULT GetDeviceInfo(DeviceInstance* info) = 0;
  virtual HRESULT CreateEffect(EffectKind kind, const EffectParams& params, InputEffect** effect) = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~InputDevice() = default;
};

using EnumDevicesCallback = BOOL (*)(const DeviceInstance* instance, void* context);

class DirectInput {
 public:
  virtual HRESULT Initialize(void* instance, std::uint32_t version) = 0;
  virtual HRESULT EnumDevices(std::uint32_t type, EnumDevicesCallback callback, void* context,
                              std::uint32_t flags) = 0;
  virtual HRESULT CreateDevice(const DeviceGuid& guid, InputDevice** device) = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~DirectInput() = default;
};

// Creates the object of interface version 7 or 8 (what the class factory
// gives for the two class ids).
HRESULT CreateDirectInput(int version, DirectInput** object);

// Test hooks.
enum class InputFailure {
  kCreate7,
  kInitialize7,
  kCreate8,
  kInitialize8,
  kMouseDevice,
  kMouseFormat,
  kMouseCooperation,
  kKeyboardDevice,
  kKeyboardFormat,
  kKeyboardCooperation,
  kKeyboardEvent,
  kKeyboardAcquire,
  kJoystickDevice,
  kJoystickFormat,
  kJoystickRangeX,
  kJoystickRangeY,
  kCount
};
void SetInputFailureForTest(InputFailure failure, bool fails);
void ClearInputFailuresForTest();
// Live objects, devices and effects of this stand-in.
int GetLiveInputObjectCount();
// Effects started and stopped on joystick `id`, for tests of vibration.
int GetEffectStartCount(std::int32_t joystickId, EffectKind kind);
// Device changes (keys, buttons) since the last read set the events that
// devices were given; the window layer calls this on every key or button.
void NotifyInputDeviceChange();

}  // namespace plat
