// Graphics start and end: the choice between the hardware path and the
// software path at every device creation, and the release of everything in
// a fixed order. Any failure on the hardware path falls back to the software
// path; only a missing d3d9 module, a DirectDraw failure or a refused mode
// change on the software path fail the start.
#include "graphics/graphics_start.h"

#include <cstring>

#include "core/call_trace.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/system_info.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "font/default_font.h"
#include "graphics/buffer_handles.h"
#include "graphics/device_formats.h"
#include "graphics/device_release.h"
#include "graphics/device_state_cache.h"
#include "graphics/display_modes.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/light_device.h"
#include "graphics/lights.h"
#include "graphics/mask_screen.h"
#include "graphics/mesh_objects.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "graphics/shader_objects.h"
#include "graphics/vertical_blank.h"
#include "platform/display_settings.h"
#include "softrender/draw_state.h"
#include "softrender/mem_img.h"

namespace qz {
namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kDefaultBits = 16;

int NextPowerOfTwo(int value) {
  int power = 1;
  while (power < value) power <<= 1;
  return power;
}

bool DisplayChangedByDirect3D(const GraphicsState& state) {
  return state.hardware3DOn != 0 && GetOsCode() >= kOsWindowsVista && state.emulation320x240 == 0;
}

plat::HWND MainWindow() { return GetWindowSystemState().mainWindow; }

}  // namespace

int StartGraphicsScreen() {
  RecordCall("StartGraphicsScreen");
  if (IsCallFailingForTest("StartGraphicsScreen")) return -1;
  GraphicsState& state = GetGraphicsState();
  if (state.started != 0) return 0;
  state.requestedColorBits = state.colorBits;
  if (state.screenWidth <= 0) state.screenWidth = kDefaultWidth;
  if (state.screenHeight <= 0) state.screenHeight = kDefaultHeight;
  if (state.colorBits <= 0) state.colorBits = kDefaultBits;
  if (state.screenWidth == 320 && state.screenHeight == 240 && IsFullScreenMode() != 0) {
    state.emulation320x240 = 1;
    state.screenWidth = kDefaultWidth;
    state.screenHeight = kDefaultHeight;
  }
  if (InitGraphicsDevice() != 0) {
    // Not started yet, so the end would stop at once: what the failed init
    // made (DirectDraw, the module, the mode list) is released here.
    ShutdownGraphicsDevice();
    TerminateGraphics();
    state.colorBits = state.requestedColorBits;
    return -1;
  }
  state.started = 1;
  KeepReleasedMemImgPixels(true);
  SetMeshObjectsReady(1);
  if (state.hardware3DOn != 0) {
    SetupInitialDeviceStates();
  } else {
    SetupPrimarySurfaceMemImg();
  }
  ResetDrawSettings();
  BuildMemImgBlendTables();
  InitFontDefaults();
  return 0;
}

int InitGraphicsDevice() {
  GraphicsState& state = GetGraphicsState();
  state.d3d9Module = plat::LoadLibraryA("d3d9.dll");
  if (state.d3d9Module == nullptr) {
    AppendLogText(text::kGfxD3d9LoadFailed);
    return -1;
  }
  if (CreateDirectDrawObject() != 0) {
    AppendLogText(text::kGfxD3d9Release3);
    plat::FreeLibrary(state.d3d9Module);
    state.d3d9Module = nullptr;
    return -1;
  }
  state.hardware3DOn = 0;
  if (state.no3DFlag == 0) {
    const bool modeChangeFirst =
        IsFullScreenMode() != 0 && GetOsCode() >= kOsWindowsVista && state.emulation320x240 != 0;
    if (!modeChangeFirst || ChangeScreenDisplayMode() == 0) {
      if (CreateDirect3D9Object() == 0 && CreateDirect3DDevice9() == 0 && CreateZBuffer() == 0) {
        state.hardware3DOn = 1;
        SetupProgrammableShaders();
        if (GetDeviceStateCache().shadersOn != 0) {
          CreateVertexDeclarations();
          CreateBrightnessVolumeTexture();
        }
        return 0;
      }
      // The back buffer, swap chain and sub back buffer go too, or they would
      // keep the failed device alive until the shutdown.
      ReleaseDeviceAndSurfaces(state, text::kGfxDeviceRelease2);
      ReleaseAndClear(&state.direct3D);
      state.direct3DIsEx = 0;
    }
  }
  if (IsFullScreenMode() != 0 && ChangeScreenDisplayMode() < 0) return -1;
  MeasureRefreshPeriod();
  return 0;
}

int CreateDirectDrawObject() {
  GraphicsState& state = GetGraphicsState();
  ReleaseAndClear(&state.directDraw);
  AppendLogText(text::kGfxDirectDrawCreating);
  plat::IDirectDraw7* directDraw = nullptr;
  if (plat::CreateDirectDraw7Instance(plat::CLSCTX_DIRECTDRAW, &directDraw) != plat::S_OK || directDraw == nullptr) {
    AppendLogText(text::kGfxDirectDrawCreateFailed);
    return -1;
  }
  AppendLogText(text::kGfxSucceeded);
  AppendLogText(text::kGfxDirectDrawInitialising);
  if (directDraw->Initialize(nullptr) != plat::DD_OK) {
    AppendLogText(text::kGfxDirectDrawInitFailed);
    directDraw->Release();
    return -1;
  }
  AppendLogText(text::kGfxDirectDrawInitSucceeded);
  const std::uint32_t flags = plat::DDSCL_NORMAL | (state.options.fpuPreserve != 0 ? plat::DDSCL_FPUPRESERVE : 0u);
  directDraw->SetCooperativeLevel(MainWindow(), flags);
  state.directDraw = directDraw;
  if (state.options.compositionOption == 2) SetDesktopComposition(0);
  return 0;
}

int CreateDirect3D9Object() {
  GraphicsState& state = GetGraphicsState();
  ReleaseAndClear(&state.direct3D);
  state.direct3DIsEx = 0;
  AppendLogText(text::kGfxDirect3D9ExCreating);
  const auto createEx = reinterpret_cast<plat::Direct3DCreate9ExFunction>(
      plat::GetProcAddress(state.d3d9Module, "Direct3DCreate9Ex"));
  plat::IDirect3D9Ex* direct3DEx = nullptr;
  if (createEx != nullptr && createEx(plat::D3D_SDK_VERSION, &direct3DEx) == plat::D3D_OK &&
      direct3DEx != nullptr) {
    state.direct3D = direct3DEx;
    state.direct3DIsEx = 1;
  } else {
    if (direct3DEx != nullptr) direct3DEx->Release();
    AppendLogText(text::kGfxDirect3D9Creating);
    const auto create =
        reinterpret_cast<plat::Direct3DCreate9Function>(plat::GetProcAddress(state.d3d9Module, "Direct3DCreate9"));
    if (create == nullptr) {
      AppendLogText(text::kGfxDirect3DCreate9Missing);
      return -1;
    }
    state.direct3D = create(plat::D3D_SDK_VERSION);
    if (state.direct3D == nullptr) {
      AppendLogText(text::kGfxDirect3D9CreateFailed);
      return -1;
    }
  }
  AppendLogText(text::kGfxSucceeded);
  return 0;
}

int CreateZBuffer() {
  GraphicsState& state = GetGraphicsState();
  if (state.device == nullptr) return -1;
  ReleaseAndClear(&state.depthBuffer);
  AppendLogText(text::kGfxZBufferCreating);
  const int width = NextPowerOfTwo(state.screenWidth);
  const int height = NextPowerOfTwo(state.screenHeight);
  if (plat::FAILED(state.device->CreateDepthStencilSurface(
          static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), state.caps.depthFormat,
          static_cast<std::uint32_t>(state.options.multiSampleType),
          static_cast<std::uint32_t>(state.options.multiSampleQuality), plat::TRUE, &state.depthBuffer, nullptr)) ||
      state.depthBuffer == nullptr) {
    state.depthBuffer = nullptr;
    AppendLogText(text::kGfxZBufferCreateFailed);
    return -1;
  }
  state.device->SetDepthStencilSurface(state.depthBuffer);
  state.device->Clear(0, nullptr, plat::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  AppendLogText(text::kGfxSucceeded);
  return 0;
}

int SetupPrimarySurfaceMemImg() {
  GraphicsState& state = GetGraphicsState();
  const int format = state.colorBits == 16 ? kMemImgFormatRgb565 : kMemImgFormatXrgb32;
  MEMIMG& back = state.screenImages[kBackScreenImage];
  ReleaseMemImg(&back);  // a rebuild makes them again at the new mode
  if (InitMemImg(&back, state.screenWidth, state.screenHeight, format) != 0) {
    FatalErrorExit(text::kGfxPrimaryMemImgFailed);
  }
  for (int i = 1; i < kScreenImageCount; ++i) {
    MEMIMG& image = state.screenImages[i];
    ReleaseMemImg(&image);
    std::memset(&image, 0, sizeof(image));
    const int withAlpha = i == kScreenImageCount - 1 ? 1 : 0;
    if (InitMemImgEx(&image, state.screenWidth, state.screenHeight, -1, 0, format, 0, withAlpha, 0, nullptr) != 0) {
      FatalErrorExit(text::kGfxPrimaryMemImgFailed);
    }
  }
  const WindowSettings& settings = GetWindowSystemState().settings;
  FillMemImgArea(&back, nullptr,
                 PackColorByDescriptor(back.block->colorDesc, settings.backgroundRed, settings.backgroundGreen,
                                       settings.backgroundBlue, 0));
  state.softwareDrawTarget = &back;
  return 0;
}

int TerminateGraphics() {
  RecordCall("TerminateGraphics");
  TerminateFontSystem();
  GraphicsState& state = GetGraphicsState();
  if (state.started == 0) return 0;
  TerminateMaskScreen();
  ReleaseAllMasks();
  ReleaseAllGraphs();
  ReleaseAllVertexBufferHandles();
  ReleaseAllIndexBufferHandles();
  ReleaseAllPixelShaderHandles();
  ReleaseAllLightsButDefault();
  ReleaseLightHandle(GetDefaultLightHandle());
  ForgetDeviceLights();
  ShutdownGraphicsDevice();
  for (MEMIMG& image : state.screenImages) ReleaseMemImg(&image);
  KeepReleasedMemImgPixels(false);
  state.softwareDrawTarget = nullptr;
  FreeShaderPack();
  state.colorBits = state.requestedColorBits;
  state.started = 0;
  return 0;
}

int ShutdownGraphicsDevice() {
  GraphicsState& state = GetGraphicsState();
  if (IsFullScreenMode() != 0 && !DisplayChangedByDirect3D(state)) plat::ChangeDisplaySettingsA(nullptr, 0);
  ReleaseAllMeshBuffers();
  ReleaseVertexDeclarations();
  ReleaseShaderObjects();
  ReleaseBrightnessVolumeTexture();
  GetDeviceStateCache().shadersOn = 0;
  ReleaseDeviceAndSurfaces(state, text::kGfxDeviceRelease3);
  ReleaseAndClear(&state.direct3D);
  state.direct3DIsEx = 0;
  ReleaseAndClear(&state.directDraw);
  if (state.d3d9Module != nullptr) {
    AppendLogText(text::kGfxD3d9Release4);
    plat::FreeLibrary(state.d3d9Module);
    state.d3d9Module = nullptr;
  }
  FreeDisplayModeList();
  state.hardware3DOn = 0;
  return 0;
}

int EndGraphicsSystem() {
  RecordCall("EndGraphicsSystem");
  if (GetWindowSystemState().settings.skipGraphics != 0) return 0;
  // Device objects go with their device; the rebuild on activation makes
  // them anew from the graph records.
  if (GetGraphicsState().hardware3DOn != 0) {
    ReleaseMaskScreen();
    ReleaseAllDeviceObjects();
  }
  ShutdownGraphicsDevice();
  return 0;
}

}  // namespace qz
