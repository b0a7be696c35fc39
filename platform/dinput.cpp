// Input objects over SDL2. The keyboard reads the window's key table through a
// set-1 scan-code map (the codes a Japanese keyboard sends); joysticks are SDL
// joysticks opened by instance id, polled rather than notified.
#include "platform/dinput.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/backend.h"
#include "platform/sync.h"

namespace plat {
namespace {

std::array<std::atomic<bool>, static_cast<int>(InputFailure::kCount)> gFailures{};
std::atomic<int> gLiveObjects{0};
std::mutex gEventMutex;
std::vector<Handle> gKeyboardEvents;  // events of acquired keyboards

bool Fails(InputFailure f) { return gFailures[static_cast<int>(f)].load(); }

struct EffectCounts {
  std::int32_t joystickId;
  int starts[2];
};
std::mutex gEffectMutex;
std::vector<EffectCounts> gEffectCounts;

void CountEffectStart(std::int32_t id, EffectKind kind) {
  std::lock_guard lock(gEffectMutex);
  auto it = std::find_if(gEffectCounts.begin(), gEffectCounts.end(),
                         [id](const EffectCounts& c) { return c.joystickId == id; });
  if (it == gEffectCounts.end()) it = gEffectCounts.insert(gEffectCounts.end(), EffectCounts{id, {0, 0}});
  ++it->starts[static_cast<int>(kind)];
}

// Virtual key -> set-1 scan code (0x80 marks the extended keys).
struct ScanRow {
  std::uint8_t vk;
  std::uint8_t scan;
};
constexpr ScanRow kScanRows[] = {
    {0x1B, 0x01}, {0x31, 0x02}, {0x32, 0x03}, {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06}, {0x36, 0x07},
    {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A}, {0x30, 0x0B}, {0xBD, 0x0C}, {0x08, 0x0E}, {0x09, 0x0F},
    {0x51, 0x10}, {0x57, 0x11}, {0x45, 0x12}, {0x52, 0x13}, {0x54, 0x14}, {0x59, 0x15}, {0x55, 0x16},
    {0x49, 0x17}, {0x4F, 0x18}, {0x50, 0x19}, {0xDB, 0x1A}, {0xDD, 0x1B}, {0x0D, 0x1C}, {0xA2, 0x1D},
    {0x41, 0x1E}, {0x53, 0x1F}, {0x44, 0x20}, {0x46, 0x21}, {0x47, 0x22}, {0x48, 0x23}, {0x4A, 0x24},
    {0x4B, 0x25}, {0x4C, 0x26}, {0xBB, 0x27}, {0xA0, 0x2A}, {0xE2, 0x2B}, {0x5A, 0x2C}, {0x58, 0x2D},
    {0x43, 0x2E}, {0x56, 0x2F}, {0x42, 0x30}, {0x4E, 0x31}, {0x4D, 0x32}, {0xBC, 0x33}, {0xBE, 0x34},
    {0xBF, 0x35}, {0xA1, 0x36}, {0x6A, 0x37}, {0xA4, 0x38}, {0x20, 0x39}, {0x14, 0x3A}, {0x70, 0x3B},
    {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40}, {0x76, 0x41}, {0x77, 0x42},
    {0x78, 0x43}, {0x79, 0x44}, {0x90, 0x45}, {0x91, 0x46}, {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49},
    {0x6D, 0x4A}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D}, {0x6B, 0x4E}, {0x61, 0x4F}, {0x62, 0x50},
    {0x63, 0x51}, {0x60, 0x52}, {0x6E, 0x53}, {0x7A, 0x57}, {0x7B, 0x58}, {0xDE, 0x90}, {0xC0, 0x91},
    {0xBA, 0x92}, {0xDC, 0x7D}, {0xA3, 0x9D}, {0x6F, 0xB5}, {0xA5, 0xB8}, {0x13, 0xC5}, {0x24, 0xC7},
    {0x26, 0xC8}, {0x21, 0xC9}, {0x25, 0xCB}, {0x27, 0xCD}, {0x23, 0xCF}, {0x28, 0xD0}, {0x22, 0xD1},
    {0x2D, 0xD2}, {0x2E, 0xD3},
};

void RegisterKeyboardEvent(Handle event, bool add) {
  std::lock_guard lock(gEventMutex);
  std::erase(gKeyboardEvents, event);
  if (add && event != nullptr) gKeyboardEvents.push_back(event);
}

// SDL's joystick subsystem is held while any input object lives.
bool HoldJoysticks() {
  PrepareSdlSignals();
  return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}
void ReleaseJoysticks() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }

class Effect final : public InputEffect {
 public:
  Effect(SDL_Joystick* joystick, std::int32_t id, EffectKind kind, const EffectParams& params)
      : joystick_(joystick), id_(id), kind_(kind), params_(params) {
    ++gLiveObjects;
  }
  HRESULT Start(std::uint32_t, std::uint32_t) override {
    playing_ = true;
    CountEffectStart(id_, kind_);
    if (joystick_ != nullptr && SDL_JoystickHasRumble(joystick_) == SDL_TRUE) {
      const auto strength = static_cast<Uint16>(std::clamp(params_.magnitude, 0, 10000) * 0xFFFF / 10000);
      SDL_JoystickRumble(joystick_, strength, kind_ == EffectKind::kSine ? strength / 2 : strength, 0xFFFF);
    }
    return DI_OK;
  }
  HRESULT Stop() override {
    playing_ = false;
    if (joystick_ != nullptr && SDL_JoystickHasRumble(joystick_) == SDL_TRUE) SDL_JoystickRumble(joystick_, 0, 0, 0);
    return DI_OK;
  }
  std::uint32_t Release() override {
    if (playing_) Stop();
    --gLiveObjects;
    delete this;
    return 0;
  }
  bool IsPlaying() const override { return playing_; }

 private:
  ~Effect() = default;
  SDL_Joystick* joystick_;
  std::int32_t id_;
  EffectKind kind_;
  EffectParams params_;
  bool playing_ = false;
};

struct AxisSetting {
  std::int32_t minimum = -32768;
  std::int32_t maximum = 32767;
  std::uint32_t deadZone = 0;
};

class Device final : public InputDevice {
 public:
  explicit Device(const DeviceGuid& guid) : guid_(guid) {
    ++gLiveObjects;
    if (guid.kind == DeviceGuid::Kind::kJoystick) {
      HoldJoysticks();
      joystick_ = SDL_JoystickFromInstanceID(guid.joystickId);
      if (joystick_ == nullptr) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
          if (SDL_JoystickGetDeviceInstanceID(i) == guid.joystickId) joystick_ = SDL_JoystickOpen(i);
        }
        ownsJoystick_ = joystick_ != nullptr;
      }
    }
  }
  bool Valid() const { return guid_.kind != DeviceGuid::Kind::kJoystick || joystick_ != nullptr; }

  HRESULT SetDataFormat(DataFormat format) override {
    const bool matches = (format == DataFormat::kKeyboard && guid_.kind == DeviceGuid::Kind::kKeyboard) ||
                         (format == DataFormat::kMouse && guid_.kind == DeviceGuid::Kind::kMouse) ||
                         (format == DataFormat::kJoystick && guid_.kind == DeviceGuid::Kind::kJoystick);
    if (!matches || FormatFails()) return DIERR_INVALIDPARAM;
    formatSet_ = true;
    return DI_OK;
  }
  HRESULT SetCooperativeLevel(HWND, std::uint32_t flags) override {
    if (CooperationFails()) return DIERR_GENERIC;
    const bool exclusive = (flags & DISCL_EXCLUSIVE) != 0, shared = (flags & DISCL_NONEXCLUSIVE) != 0;
    const bool fore = (flags & DISCL_FOREGROUND) != 0, back = (flags & DISCL_BACKGROUND) != 0;
    return exclusive != shared && fore != back ? DI_OK : DIERR_INVALIDPARAM;
  }
  HRESULT SetAxisRange(std::uint32_t offset, std::int32_t minimum, std::int32_t maximum) override {
    AxisSetting* axis = Axis(offset);
    if (axis == nullptr || minimum >= maximum) return DIERR_INVALIDPARAM;
    if ((offset == DIJOFS_X && Fails(InputFailure::kJoystickRangeX)) ||
        (offset == DIJOFS_Y && Fails(InputFailure::kJoystickRangeY))) {
      return DIERR_GENERIC;
    }
    axis->minimum = minimum;
    axis->maximum = maximum;
    return DI_OK;
  }
  HRESULT SetAxisDeadZone(std::uint32_t offset, std::uint32_t deadZone) override {
    AxisSetting* axis = Axis(offset);
    if (axis == nullptr || deadZone > 10000) return DIERR_INVALIDPARAM;
    axis->deadZone = deadZone;
    return DI_OK;
  }
  HRESULT SetBufferSize(std::uint32_t) override { return DI_OK; }
  HRESULT SetEventNotification(Handle event) override {
    if (guid_.kind == DeviceGuid::Kind::kKeyboard && Fails(InputFailure::kKeyboardEvent)) return DIERR_GENERIC;
    event_ = event;
    if (guid_.kind == DeviceGuid::Kind::kKeyboard) RegisterKeyboardEvent(event, acquired_);
    return guid_.kind == DeviceGuid::Kind::kJoystick ? DI_POLLEDDEVICE : DI_OK;
  }
  HRESULT Acquire() override {
    if (!formatSet_) return DIERR_INVALIDPARAM;
    if (guid_.kind == DeviceGuid::Kind::kKeyboard && Fails(InputFailure::kKeyboardAcquire)) return DIERR_GENERIC;
    acquired_ = true;
    if (guid_.kind == DeviceGuid::Kind::kKeyboard) RegisterKeyboardEvent(event_, true);
    return DI_OK;
  }
  HRESULT Unacquire() override {
    acquired_ = false;
    if (guid_.kind == DeviceGuid::Kind::kKeyboard) RegisterKeyboardEvent(event_, false);
    return DI_OK;
  }
  HRESULT Poll() override {
    if (!acquired_) return DIERR_NOTACQUIRED;
    if (joystick_ != nullptr) SDL_JoystickUpdate();
    return DI_OK;
  }
  HRESULT GetDeviceState(std::uint32_t size, void* data) override {
    if (!acquired_) return DIERR_NOTACQUIRED;
    switch (guid_.kind) {
      case DeviceGuid::Kind::kKeyboard:
        if (size != 256) return DIERR_INVALIDPARAM;
        ReadKeyboard(static_cast<std::uint8_t*>(data));
        return DI_OK;
      case DeviceGuid::Kind::kMouse: {
        if (size != sizeof(MouseState)) return DIERR_INVALIDPARAM;
        MouseState state{};
        for (int b = 0; b < 3; ++b) state.buttons[b] = IsVirtualKeyDown(kMouseKeys[b]) ? 0x80 : 0;
        std::memcpy(data, &state, sizeof state);
        return DI_OK;
      }
      case DeviceGuid::Kind::kJoystick:
        if (size != sizeof(JoystickState)) return DIERR_INVALIDPARAM;
        if (SDL_JoystickGetAttached(joystick_) != SDL_TRUE) return DIERR_INPUTLOST;
        ReadJoystick(static_cast<JoystickState*>(data));
        return DI_OK;
    }
    return DIERR_GENERIC;
  }
  HRESULT GetDeviceInfo(DeviceInstance* info) override {
    *info = DeviceInstance{guid_, guid_.kind == DeviceGuid::Kind::kJoystick ? DIDEVTYPE_JOYSTICK : 0, {}, {}};
    const char* name = joystick_ != nullptr ? SDL_JoystickName(joystick_) : nullptr;
    const char* fallback = guid_.kind == DeviceGuid::Kind::kKeyboard ? "Keyboard" : "Mouse";
    std::snprintf(info->instanceName, MAX_PATH, "%s", name != nullptr ? name : fallback);
    std::snprintf(info->productName, MAX_PATH, "%s", name != nullptr ? name : fallback);
    return DI_OK;
  }
  HRESULT CreateEffect(EffectKind kind, const EffectParams& params, InputEffect** effect) override {
    *effect = nullptr;
    if (guid_.kind != DeviceGuid::Kind::kJoystick) return DIERR_INVALIDPARAM;
    *effect = new Effect(joystick_, guid_.joystickId, kind, params);
    return DI_OK;
  }
  std::uint32_t Release() override {
    if (--refs_ > 0) return static_cast<std::uint32_t>(refs_);
    if (guid_.kind == DeviceGuid::Kind::kKeyboard) RegisterKeyboardEvent(event_, false);
    if (guid_.kind == DeviceGuid::Kind::kJoystick) {
      if (ownsJoystick_) SDL_JoystickClose(joystick_);
      ReleaseJoysticks();
    }
    --gLiveObjects;
    delete this;
    return 0;
  }

 private:
  ~Device() = default;
  static constexpr std::uint32_t kMouseKeys[3] = {0x01, 0x02, 0x04};

  bool FormatFails() const {
    switch (guid_.kind) {
      case DeviceGuid::Kind::kKeyboard:
        return Fails(InputFailure::kKeyboardFormat);
      case DeviceGuid::Kind::kMouse:
        return Fails(InputFailure::kMouseFormat);
      case DeviceGuid::Kind::kJoystick:
        return Fails(InputFailure::kJoystickFormat);
    }
    return false;
  }
  bool CooperationFails() const {
    return (guid_.kind == DeviceGuid::Kind::kKeyboard && Fails(InputFailure::kKeyboardCooperation)) ||
           (guid_.kind == DeviceGuid::Kind::kMouse && Fails(InputFailure::kMouseCooperation));
  }
  AxisSetting* Axis(std::uint32_t offset) {
    if (guid_.kind != DeviceGuid::Kind::kJoystick || offset % 4 != 0 || offset > DIJOFS_RZ) return nullptr;
    return &axes_[offset / 4];
  }

  static void ReadKeyboard(std::uint8_t* keys) {
    std::memset(keys, 0, 256);
    for (const ScanRow& row : kScanRows) {
      if (IsVirtualKeyDown(row.vk)) keys[row.scan] = 0x80;
    }
  }

  std::int32_t AxisValue(int index) const {
    const AxisSetting& axis = axes_[index];
    const int raw = index < SDL_JoystickNumAxes(joystick_) ? SDL_JoystickGetAxis(joystick_, index) : 0;
    // Deflection as a fraction of the half range in ten-thousandths; inside
    // the dead zone it reads as centred, beyond it the rest is rescaled.
    const std::int64_t magnitude = std::min<std::int64_t>(std::abs(raw) * 10000LL / 32767, 10000);
    std::int64_t scaled = 0;
    if (magnitude > static_cast<std::int64_t>(axis.deadZone)) {
      scaled = (magnitude - axis.deadZone) * 10000 / (10000 - axis.deadZone);
    }
    const std::int64_t half = (static_cast<std::int64_t>(axis.maximum) - axis.minimum) / 2;
    const std::int64_t centre = axis.minimum + half;
    return static_cast<std::int32_t>(centre + (raw < 0 ? -1 : 1) * scaled * half / 10000);
  }

  void ReadJoystick(JoystickState* state) const {
    *state = JoystickState{};
    std::int32_t* axes[6] = {&state->x, &state->y, &state->z, &state->rx, &state->ry, &state->rz};
    for (int i = 0; i < 6; ++i) *axes[i] = AxisValue(i);
    for (int h = 0; h < 4; ++h) {
      state->pov[h] = 0xFFFFFFFFu;
      if (h >= SDL_JoystickNumHats(joystick_)) continue;
      const Uint8 hat = SDL_JoystickGetHat(joystick_, h);
      static constexpr std::uint32_t kAngles[16] = {0xFFFFFFFFu, 0, 9000, 4500, 18000, 0xFFFFFFFFu, 13500, 0xFFFFFFFFu,
                                                    27000, 31500, 0xFFFFFFFFu, 0xFFFFFFFFu, 22500, 0xFFFFFFFFu,
                                                    0xFFFFFFFFu, 0xFFFFFFFFu};
      state->pov[h] = kAngles[hat & 15];
    }
    const int buttons = std::min(SDL_JoystickNumButtons(joystick_), 32);
    for (int b = 0; b < buttons; ++b) state->buttons[b] = SDL_JoystickGetButton(joystick_, b) != 0 ? 0x80 : 0;
  }

  DeviceGuid guid_;
  SDL_Joystick* joystick_ = nullptr;
  bool ownsJoystick_ = false;
  bool formatSet_ = false;
  bool acquired_ = false;
  Handle event_ = nullptr;
  int refs_ = 1;
  AxisSetting axes_[6];
};

class InputObject final : public DirectInput {
 public:
  explicit InputObject(int version) : version_(version) {
    ++gLiveObjects;
    joysticks_ = HoldJoysticks();
  }
  HRESULT Initialize(void*, std::uint32_t version) override {
    const bool fails = version_ == 7 ? Fails(InputFailure::kInitialize7) : Fails(InputFailure::kInitialize8);
    if (fails || version > static_cast<std::uint32_t>(version_) * 0x100) return DIERR_NOTINITIALIZED;
    initialised_ = true;
    return DI_OK;
  }
  HRESULT EnumDevices(std::uint32_t type, EnumDevicesCallback callback, void* context, std::uint32_t) override {
    if (!initialised_) return DIERR_NOTINITIALIZED;
    if (type != DIDEVTYPE_JOYSTICK || !joysticks_) return DI_OK;
    SDL_JoystickUpdate();
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
      DeviceInstance instance{{DeviceGuid::Kind::kJoystick, SDL_JoystickGetDeviceInstanceID(i)}, DIDEVTYPE_JOYSTICK, {}, {}};
      const char* name = SDL_JoystickNameForIndex(i);
      std::snprintf(instance.instanceName, MAX_PATH, "%s", name != nullptr ? name : "Joystick");
      std::snprintf(instance.productName, MAX_PATH, "%s", name != nullptr ? name : "Joystick");
      if (callback(&instance, context) == static_cast<BOOL>(DIENUM_STOP)) break;
    }
    return DI_OK;
  }
  HRESULT CreateDevice(const DeviceGuid& guid, InputDevice** device) override {
    *device = nullptr;
    if (!initialised_) return DIERR_NOTINITIALIZED;
    if ((guid.kind == DeviceGuid::Kind::kKeyboard && Fails(InputFailure::kKeyboardDevice)) ||
        (guid.kind == DeviceGuid::Kind::kMouse && Fails(InputFailure::kMouseDevice)) ||
        (guid.kind == DeviceGuid::Kind::kJoystick && Fails(InputFailure::kJoystickDevice))) {
      return DIERR_DEVICENOTREG;
    }
    auto* made = new Device(guid);
    if (!made->Valid()) {
      made->Release();
      return DIERR_DEVICENOTREG;
    }
    *device = made;
    return DI_OK;
  }
  std::uint32_t Release() override {
    if (joysticks_) ReleaseJoysticks();
    --gLiveObjects;
    delete this;
    return 0;
  }

 private:
  ~InputObject() = default;
  int version_;
  bool initialised_ = false;
  bool joysticks_ = false;
};

}  // namespace

HRESULT CreateDirectInput(int version, DirectInput** object) {
  *object = nullptr;
  if (version != 7 && version != 8) return DIERR_INVALIDPARAM;
  if (Fails(version == 7 ? InputFailure::kCreate7 : InputFailure::kCreate8)) return DIERR_DEVICENOTREG;
  *object = new InputObject(version);
  return DI_OK;
}

void SetInputFailureForTest(InputFailure failure, bool fails) { gFailures[static_cast<int>(failure)] = fails; }

void ClearInputFailuresForTest() {
  for (auto& f : gFailures) f = false;
}

int GetLiveInputObjectCount() { return gLiveObjects.load(); }

int GetEffectStartCount(std::int32_t joystickId, EffectKind kind) {
  std::lock_guard lock(gEffectMutex);
  for (const EffectCounts& c : gEffectCounts) {
    if (c.joystickId == joystickId) return c.starts[static_cast<int>(kind)];
  }
  return 0;
}

void NotifyInputDeviceChange() {
  std::lock_guard lock(gEventMutex);
  for (Handle event : gKeyboardEvents) SetEvent(event);
}

}  // namespace plat
