// The end of frame on both paths, the repaint, the front-screen refresh timer,
// the scene bracket and the sub back buffer.
#include "graphics/screen_present.h"

#include <cmath>

#include "core/call_trace.h"
#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/screen_log.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graphics_state.h"
#include "graphics/pending_draw_state.h"
#include "graphics/render_surfaces.h"
#include "graphics/screen_settings.h"
#include "graphics/vertex_batch.h"
#include "platform/gdi_present.h"

namespace qz {
namespace {

// A present that returns sooner did not wait for the vertical blank itself.
constexpr std::uint64_t kSynchronisedPresentMicros = 500;

int gDrawingScreenLog = 0;
plat::WinRect gLastSource{};
plat::WinRect gLastDest{};

plat::HWND MainWindow() { return GetWindowSystemState().mainWindow; }

int RectWidth(const plat::WinRect& rect) { return rect.right - rect.left; }
int RectHeight(const plat::WinRect& rect) { return rect.bottom - rect.top; }

bool Emulating320x240(const GraphicsState& state) {
  return GetScreen320x240Emulation() != 0 && state.screenWidth == 640 && state.screenHeight == 480;
}

// The on-screen log over the finished frame, drawn with a full clip, no
// blending and white brightness, the program's settings put back after.
void DrawScreenLogOverFrame(const GraphicsState& state) {
  if (GetScreenLogLineCount() <= 0) return;
  const DrawSettingsBlock saved = GetDrawSettings();
  SetClipRectangle(0, 0, state.screenWidth, state.screenHeight);
  SetBlendModeAndParam(kBlendNone, 0);
  SetBrightnessRGB(255, 255, 255);
  gDrawingScreenLog = 1;
  DrawScreenLog();
  gDrawingScreenLog = 0;
  SetClipRectangle(saved.clipLeft, saved.clipTop, saved.clipRight, saved.clipBottom);
  SetBlendModeAndParam(saved.blendMode, saved.blendParam);
  SetBrightnessRGB(saved.brightness.red, saved.brightness.green, saved.brightness.blue);
}

// Source: the screen, or its top-left quarter under the 320 by 240
// emulation. Destination: the screen-mode size, scaled by the window's scale
// factors in window mode and put above the bottom edge under a tool bar.
void ComputePresentRects(const GraphicsState& state, plat::WinRect* source, plat::WinRect* dest) {
  const bool emulating = Emulating320x240(state);
  *source = emulating ? plat::WinRect{0, 0, 320, 240} : plat::WinRect{0, 0, state.screenWidth, state.screenHeight};
  int modeWidth = 0;
  int modeHeight = 0;
  GetScreenModeSize(&modeWidth, &modeHeight);
  if (IsFullScreenMode() != 0) {
    *dest = {0, 0, state.screenWidth, state.screenHeight};
  } else if (emulating) {
    *dest = {0, 0, modeWidth, modeHeight};
  } else {
    double scaleX = 1.0;
    double scaleY = 1.0;
    GetWindowScaleFactor(&scaleX, &scaleY);
    *dest = {0, 0, static_cast<int>(std::lround(modeWidth * scaleX)), static_cast<int>(std::lround(modeHeight * scaleY))};
  }
  if (GetToolBarState().present != 0) {
    plat::WinRect client{};
    plat::GetClientRect(MainWindow(), &client);
    dest->bottom = client.bottom - client.top;
    dest->top = dest->bottom - modeHeight;
  }
}

// The layered window shows the back screen read back, its transparent
// colour cut out, instead of a present.
int PresentToLayeredWindow() {
  if (GetDrawSettings().noVsync == 0) WaitForNextVerticalBlank();
  const GraphicsState& state = GetGraphicsState();
  const plat::WinRect whole{0, 0, state.screenWidth, state.screenHeight};
  BaseImage image{};
  if (LockBackBufferImage(&whole, &image, kBackScreen) != 0) return -1;
  const int result = UpdateLayeredWindowFromScreen(&image);
  ReleaseBackBufferLockSurfaces();
  return result;
}

int PresentThroughDevice(GraphicsState& state, plat::WinRect source, plat::WinRect dest) {
  FlushVertexBatch();
  EndDeviceScene();
  if (IsLayeredWindowMode() != 0) return PresentToLayeredWindow();
  const bool emulating = Emulating320x240(state);
  if (emulating) {
    source = {0, 0, 320, 240};
    dest = {0, 0, 640, 480};
  }
  if (state.subBackBuffer != nullptr &&
      state.device->StretchRect(state.subBackBuffer, nullptr, state.backBuffer, nullptr, plat::D3DTEXF_NONE) !=
          plat::D3D_OK) {
    return -1;
  }
  if (state.swapChain == nullptr) return 0;
  const std::uint64_t started = GetMicrosecondCount(0);
  plat::HRESULT result;
  if (IsFullScreenMode() != 0) {
    result = state.swapChain->Present(emulating ? &source : nullptr, emulating ? &dest : nullptr, MainWindow(),
                                      nullptr, 0);
  } else {
    gLastSource = source;
    gLastDest = dest;
    result = state.swapChain->Present(&source, &dest, MainWindow(), nullptr, 0);
  }
  if (result != plat::D3D_OK) return -1;
  if (GetWindowSystemState().settings.runInBackground != 0 && GetDrawSettings().noVsync == 0 &&
      GetMicrosecondCount(0) - started < kSynchronisedPresentMicros) {
    WaitForNextVerticalBlank();
  }
  return 0;
}

// The back-screen image as a top-down DIB with its channel masks. The DIB is
// as wide as the image's rows, so rows padded past the screen width still
// line up.
plat::BITMAPINFO DescribeScreenDib(const MEMIMG& image) {
  const PixelFormatDescriptor& format = *image.block->colorDesc;
  plat::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(plat::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.block->pitch / format.bytesPerPixel;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<std::uint16_t>(format.bytesPerPixel * 8);
  info.bmiHeader.biCompression = plat::BI_BITFIELDS;
  info.bmiColorMasks[0] = format.redMask;
  info.bmiColorMasks[1] = format.greenMask;
  info.bmiColorMasks[2] = format.blueMask;
  return info;
}

int PresentThroughGdi(GraphicsState& state, const plat::WinRect& source, const plat::WinRect& dest) {
  const MEMIMG& back = state.screenImages[kBackScreenImage];
  if (IsMemImgValid(&back) == 0) return 0;
  if (GetDrawSettings().noVsync == 0) WaitForNextVerticalBlank();
  if (IsLayeredWindowMode() != 0) return PresentToLayeredWindow();
  const plat::BITMAPINFO info = DescribeScreenDib(back);
  plat::HDC context = plat::GetDC(MainWindow());
  if (context == nullptr) return 0;
  gLastSource = source;
  gLastDest = dest;
  // A plain copy only when nothing is scaled; the emulated quarter screen and
  // a scaled window are stretched.
  if (RectWidth(source) == RectWidth(dest) && RectHeight(source) == RectHeight(dest)) {
    plat::SetDIBitsToDevice(context, dest.left, dest.top, static_cast<std::uint32_t>(RectWidth(source)),
                            static_cast<std::uint32_t>(RectHeight(source)), source.left, source.top, 0,
                            static_cast<std::uint32_t>(back.height), back.pixels, &info, plat::DIB_RGB_COLORS);
  } else {
    plat::StretchDIBits(context, dest.left, dest.top, RectWidth(dest), RectHeight(dest), source.left, source.top,
                        RectWidth(source), RectHeight(source), back.pixels, &info, plat::DIB_RGB_COLORS,
                        plat::SRCCOPY);
  }
  plat::ReleaseDC(MainWindow(), context);
  return 0;
}

bool FullScreenOnDevice() { return IsFullScreenMode() != 0 && OnHardwarePath(GetGraphicsState()); }

}  // namespace

int PresentFrame() { return PresentScreen(); }

int PresentScreen() {
  if (gDrawingScreenLog != 0) return 0;
  if (IsLibraryInitialised() == 0 || GetEndRequest() != 0) return -1;
  GraphicsState& state = GetGraphicsState();
  DrawScreenLogOverFrame(state);
  plat::WinRect source{};
  plat::WinRect dest{};
  ComputePresentRects(state, &source, &dest);
  if (OnHardwarePath(state)) return PresentThroughDevice(state, source, dest);
  return PresentThroughGdi(state, source, dest);
}

int RepaintScreen() {
  RecordCall("RepaintScreen");
  if (FullScreenOnDevice()) SwitchToSubBackBuffer();
  return PresentScreen();
}

void ScreenRefreshTimerProc(plat::HWND, std::uint32_t, std::uintptr_t, std::uint32_t) {
  plat::KillTimer(MainWindow(), kScreenRefreshTimerId);
  if (GetDrawTarget() != kFrontScreen || IsLayeredWindowMode() != 0) return;
  if (FullScreenOnDevice()) SwitchToSubBackBuffer();
  PresentScreen();
  StartScreenRefreshTimer();
}

void StartScreenRefreshTimer() {
  // A timer without a window would get an id of its own that the procedure
  // could not kill.
  if (MainWindow() == nullptr) return;
  plat::SetTimer(MainWindow(), kScreenRefreshTimerId, kScreenRefreshTimerPeriodMs, &ScreenRefreshTimerProc);
}

int BeginDeviceScene() {
  GraphicsState& state = GetGraphicsState();
  if (state.direct3D == nullptr || state.device == nullptr || state.sceneOpen != 0) return 0;
  state.device->BeginScene();
  state.sceneOpen = 1;
  return 0;
}

int EndDeviceScene() {
  GraphicsState& state = GetGraphicsState();
  if (state.direct3D == nullptr || state.device == nullptr || state.sceneOpen == 0) return 0;
  state.device->EndScene();
  state.sceneOpen = 0;
  return 0;
}

int SwitchToSubBackBuffer() {
  GraphicsState& state = GetGraphicsState();
  if (state.subBackBuffer != nullptr) return 0;
  FlushVertexBatch();
  EndDeviceScene();
  if (CreateSubBackBuffer() == -1) return -1;
  state.device->StretchRect(state.backBuffer, nullptr, state.subBackBuffer, nullptr, plat::D3DTEXF_NONE);
  DeviceStateCache& cache = GetDeviceStateCache();
  cache.forceResend = 1;
  SetDeviceRenderTarget(state.subBackBuffer);
  cache.forceResend = 0;
  return 0;
}

int CreateSubBackBuffer() {
  GraphicsState& state = GetGraphicsState();
  if (state.device == nullptr) return -1;
  if (state.subBackBuffer != nullptr) {
    state.subBackBuffer->Release();
    state.subBackBuffer = nullptr;
  }
  if (state.device->CreateRenderTarget(
          static_cast<std::uint32_t>(state.screenWidth), static_cast<std::uint32_t>(state.screenHeight),
          state.caps.backBufferFormat, static_cast<std::uint32_t>(state.options.multiSampleType),
          static_cast<std::uint32_t>(state.options.multiSampleQuality), plat::FALSE, &state.subBackBuffer,
          nullptr) != plat::D3D_OK ||
      state.subBackBuffer == nullptr) {
    state.subBackBuffer = nullptr;
    AppendLogText(text::kGfxSubBackBufferCreateFailed);
    return -1;
  }
  return 0;
}

plat::WinRect GetLastPresentSourceRect() { return gLastSource; }
plat::WinRect GetLastPresentDestRect() { return gLastDest; }

}  // namespace qz
