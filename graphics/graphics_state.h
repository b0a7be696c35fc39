// The graphics-wide state: the configured screen, which renderer runs, the
// device objects of the hardware path, the screen images of the software
// path, and what device creation settled once per device (formats and
// capabilities). One instance; the graphics files read and write it.
#pragma once

#include <cstdint>

#include "platform/d3d9.h"
#include "platform/ddraw.h"
#include "platform/module.h"
#include "softrender/mem_img.h"

namespace qz {

// Texture roles of graphs, each with the device format chosen for it.
enum GraphPixelFormatCode : int {
  kGraphFormat16Bit = 0,
  kGraphFormat32Bit = 1,
  kGraphFormatAlpha16Bit = 2,
  kGraphFormatAlpha32Bit = 3,
  kGraphFormatColorKey16Bit = 4,
  kGraphFormatColorKey32Bit = 5,
  kGraphFormatDxt1 = 6,
  kGraphFormatDxt2 = 7,
  kGraphFormatDxt3 = 8,
  kGraphFormatDxt4 = 9,
  kGraphFormatDxt5 = 10,
  kGraphFormatDrawable16Bit = 11,
  kGraphFormatDrawable32Bit = 12,
  kGraphFormatDrawableAlpha = 13,
  kGraphFormatDrawableFloat16 = 14,
  kGraphFormatDrawableFloat32 = 15,
  kGraphFormatScreenCopy = 16,
  kGraphFormatScreenCopyColorKey = 17,
  kGraphFormatCodeCount = 18,
  // Software images; no device format.
  kGraphFormatSoft16Bit = 18,
  kGraphFormatSoftAlpha16Bit = 19,
  kGraphFormatSoft32Bit = 20,
  kGraphFormatSoftAlpha32Bit = 21,
};

// Options of the device creation; nothing in this system changes them from 0.
struct DeviceOptions {
  std::int32_t useAdapterIndex;
  std::int32_t adapterIndex;
  std::int32_t forceSoftwareVertexProcessing;
  std::int32_t multithreaded;
  std::int32_t compositionOption;  // 0 default, 1 keep composition, 2 composition off
  std::int32_t multiSampleType;
  std::int32_t multiSampleQuality;
  std::int32_t fpuPreserve;
};

// What device creation settled, looked up instead of asking the device.
struct DeviceCapabilities {
  std::uint32_t backBufferFormat;
  std::uint32_t depthFormat;
  std::uint32_t textureFormats[kGraphFormatCodeCount];  // 0: the kind is not available
  std::int32_t tssArgTemp;
  std::int32_t nativeSubtract;
  std::int32_t nonPow2Conditional;
  std::int32_t pow2Only;
  std::int32_t squareOnly;
  std::int32_t maxTextureWidth;
  std::int32_t maxTextureHeight;
  std::int32_t maxTextureSize;
  std::int32_t hardwareVertexProcessing;
  std::int32_t vertexShader20;
  std::int32_t pixelShader20;
  std::int32_t exDevice;
};

inline constexpr int kScreenImageCount = 3;
inline constexpr int kBackScreenImage = 0;

struct GraphicsState {
  std::int32_t started;
  // The configured screen; 0 means not yet set (640 by 480, 16 bits).
  std::int32_t screenWidth;
  std::int32_t screenHeight;
  std::int32_t colorBits;
  std::int32_t refreshRate;  // 0: any
  // The depth the program asked for; a window-mode device takes the desktop's
  // for its run, and the end gives the request back.
  std::int32_t requestedColorBits;
  std::int32_t hardware3DOn;
  std::int32_t no3DFlag;
  // A 320 by 240 full-screen request runs on a 640 by 480 screen while either
  // is set: one by the start, one by the display-mode change.
  std::int32_t emulation320x240;
  std::int32_t modeChangeEmulation320x240;

  plat::ModuleHandle d3d9Module;
  plat::IDirectDraw7* directDraw;
  plat::IDirect3D9* direct3D;
  std::int32_t direct3DIsEx;
  plat::IDirect3DDevice9* device;
  plat::IDirect3DSwapChain9* swapChain;
  plat::IDirect3DSurface9* backBuffer;
  plat::IDirect3DSurface9* subBackBuffer;
  plat::IDirect3DSurface9* depthBuffer;
  std::int32_t sceneOpen;

  MEMIMG screenImages[kScreenImageCount];
  MEMIMG* softwareDrawTarget;

  DeviceOptions options;
  DeviceCapabilities caps;
};

// Inline: every draw and state setter reaches it.
inline GraphicsState& GetGraphicsState() {
  static GraphicsState state{};
  return state;
}

}  // namespace qz
