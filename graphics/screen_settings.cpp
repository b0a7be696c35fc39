// The configured screen. Kept as plain statics so it is readable from the
// very start, before graphics has started or when it never does.
#include "graphics/screen_settings.h"

#include "core/call_trace.h"
#include "core/library.h"

namespace qz {
namespace {

constexpr int kDefaultScreenWidth = 640;
constexpr int kDefaultScreenHeight = 480;
constexpr int kDefaultColorBits = 16;
constexpr int kEmulatedWidth = 320;
constexpr int kEmulatedHeight = 240;

// 0 means not yet set.
int screenWidth = 0;
int screenHeight = 0;
int screenBits = 0;
int emulate320x240 = 0;
int noHardwareRendering = 0;

}  // namespace

int GetScreenModeSize(int* width, int* height) {
  if (width != nullptr) *width = screenWidth > 0 ? screenWidth : kDefaultScreenWidth;
  if (height != nullptr) *height = screenHeight > 0 ? screenHeight : kDefaultScreenHeight;
  return 0;
}

int SetScreenModeSize(int width, int height) {
  screenWidth = width > 0 ? width : 0;
  screenHeight = height > 0 ? height : 0;
  return 0;
}

int GetScreenColorBitDepth() { return screenBits > 0 ? screenBits : kDefaultColorBits; }

int SetScreenColorBitDepth(int bits) {
  screenBits = bits > 0 ? bits : 0;
  return 0;
}

int QueryDrawScreenSize(int* width, int* height, int* bits) {
  if (emulate320x240 != 0) {
    if (width != nullptr) *width = kEmulatedWidth;
    if (height != nullptr) *height = kEmulatedHeight;
  } else {
    GetScreenModeSize(width, height);
  }
  if (bits != nullptr) *bits = GetScreenColorBitDepth();
  return 0;
}

void SetScreen320x240Emulation(int on) { emulate320x240 = on != 0 ? 1 : 0; }

int GetScreen320x240Emulation() { return emulate320x240; }

int SetHardwareRenderingFlag(int use) {
  if (IsLibraryInitialised() != 0) return -1;
  noHardwareRendering = use == 0 ? 1 : 0;
  return 0;
}

int GetHardwareRenderingFlag() { return noHardwareRendering == 0 ? 1 : 0; }

// Minimal until the graphics device is built: no device, nothing to switch.
int ResetDeviceDialogBoxMode(int) {
  RecordCall("ResetDeviceDialogBoxMode");
  return 0;
}

int EndSceneSetDialogBoxMode(int) {
  RecordCall("EndSceneSetDialogBoxMode");
  return 0;
}

}  // namespace qz
