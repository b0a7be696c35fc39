// The configured screen and the queries over the graphics state. They hold
// no state of their own, so they answer from the very start.
#include "graphics/screen_settings.h"

#include <cstring>

#include "core/library.h"
#include "core/window_state.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_present.h"

namespace qz {
namespace {

constexpr int kDefaultScreenWidth = 640;
constexpr int kDefaultScreenHeight = 480;
constexpr int kDefaultColorBits = 16;
constexpr int kEmulatedWidth = 320;
constexpr int kEmulatedHeight = 240;

}  // namespace

int GetScreenModeSize(int* width, int* height) {
  const GraphicsState& state = GetGraphicsState();
  if (width != nullptr) *width = state.screenWidth > 0 ? state.screenWidth : kDefaultScreenWidth;
  if (height != nullptr) *height = state.screenHeight > 0 ? state.screenHeight : kDefaultScreenHeight;
  return 0;
}

int SetScreenModeSize(int width, int height) {
  GraphicsState& state = GetGraphicsState();
  state.screenWidth = width > 0 ? width : 0;
  state.screenHeight = height > 0 ? height : 0;
  return 0;
}

int GetScreenColorBitDepth() {
  const GraphicsState& state = GetGraphicsState();
  return state.colorBits > 0 ? state.colorBits : kDefaultColorBits;
}

int SetScreenColorBitDepth(int bits) {
  GetGraphicsState().colorBits = bits > 0 ? bits : 0;
  return 0;
}

int GetScreenRefreshRate() { return GetGraphicsState().refreshRate; }

int SetScreenRefreshRate(int refresh) {
  GetGraphicsState().refreshRate = refresh > 0 ? refresh : 0;
  return 0;
}

int QueryDrawScreenSize(int* width, int* height, int* bits) {
  if (GetScreen320x240Emulation() != 0) {
    if (width != nullptr) *width = kEmulatedWidth;
    if (height != nullptr) *height = kEmulatedHeight;
  } else {
    GetScreenModeSize(width, height);
  }
  if (bits != nullptr) *bits = GetScreenColorBitDepth();
  return 0;
}

void SetScreen320x240Emulation(int on) {
  GraphicsState& state = GetGraphicsState();
  state.emulation320x240 = on != 0 ? 1 : 0;
  if (on == 0) state.modeChangeEmulation320x240 = 0;
}

int GetScreen320x240Emulation() {
  const GraphicsState& state = GetGraphicsState();
  return (state.emulation320x240 != 0 || state.modeChangeEmulation320x240 != 0) ? 1 : 0;
}

int SetHardwareRenderingFlag(int use) {
  if (IsLibraryInitialised() != 0) return -1;
  GetGraphicsState().no3DFlag = use == 0 ? 1 : 0;
  return 0;
}

int GetHardwareRenderingFlag() { return GetGraphicsState().no3DFlag == 0 ? 1 : 0; }

int IsFullScreenMode() { return GetWindowSystemState().settings.windowMode == 0 ? 1 : 0; }

plat::IDirectDraw7* GetDirectDrawObject() { return GetGraphicsState().directDraw; }

int ResetDeviceDialogBoxMode(int on) {
  const GraphicsState& state = GetGraphicsState();
  if (state.hardware3DOn == 0 || state.device == nullptr) return 0;
  state.device->SetDialogBoxMode(plat::FALSE);
  if (on != 0) state.device->SetDialogBoxMode(plat::TRUE);
  return 0;
}

int EndSceneSetDialogBoxMode(int on) {
  const GraphicsState& state = GetGraphicsState();
  if (state.device == nullptr) return 0;
  EndDeviceScene();
  state.device->SetDialogBoxMode(on != 0 ? plat::TRUE : plat::FALSE);
  return 0;
}

plat::IDirect3DVertexBuffer9* CreateDeviceVertexBuffer(std::uint32_t length, std::uint32_t usage,
                                                       std::uint32_t fvf, std::uint32_t pool) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return nullptr;
  plat::IDirect3DVertexBuffer9* buffer = nullptr;
  if (plat::FAILED(device->CreateVertexBuffer(length, usage, fvf, pool, &buffer, nullptr))) return nullptr;
  return buffer;
}

plat::IDirect3DIndexBuffer9* CreateDeviceIndexBuffer(std::uint32_t length, std::uint32_t usage,
                                                     std::uint32_t format, std::uint32_t pool) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return nullptr;
  plat::IDirect3DIndexBuffer9* buffer = nullptr;
  if (plat::FAILED(device->CreateIndexBuffer(length, usage, format, pool, &buffer, nullptr))) return nullptr;
  return buffer;
}

plat::DDCAPS* ClearParamBlock380(plat::DDCAPS* caps) {
  if (caps != nullptr) std::memset(caps, 0, sizeof(*caps));
  return caps;
}

}  // namespace qz
