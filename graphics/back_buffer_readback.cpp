// Back-buffer read-back on both paths, and the timing that picks the
// hardware path's way once per device.
#include "graphics/back_buffer_readback.h"

#include <cstring>
#include <vector>

#include "core/clock.h"
#include "core/log.h"
#include "core/log_text.h"
#include "graphics/device_formats.h"
#include "graphics/device_release.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/render_surfaces.h"
#include "graphics/screen_present.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kLargestTestSide = 256;
constexpr int kTestPasses = 3;

struct ReadbackState {
  int useDirectLock;
  int active;
  plat::IDirect3DSurface9* systemMemoryCopy;
  plat::IDirect3DSurface9* lockedSurface;
};

ReadbackState gReadback{};

void CopyRows(const plat::D3DLOCKED_RECT& from, std::uint8_t* to, int toPitch, int rowBytes, int rows) {
  const auto* source = static_cast<const std::uint8_t*>(from.pBits);
  for (int row = 0; row < rows; ++row) {
    std::memcpy(to + static_cast<std::ptrdiff_t>(row) * toPitch, source + static_cast<std::ptrdiff_t>(row) * from.Pitch,
                static_cast<std::size_t>(rowBytes));
  }
}

std::int64_t Now() { return static_cast<std::int64_t>(GetMicrosecondCount(0)); }

// Locks the back buffer's square in place and copies it into a locked
// system-memory surface. The microseconds taken, or -1.
std::int64_t TimeDirectLock(GraphicsState& state, int side, int bytesPerPixel) {
  plat::IDirect3DSurface9* copy = nullptr;
  if (state.device->CreateOffscreenPlainSurface(side, side, state.caps.backBufferFormat, plat::D3DPOOL_SYSTEMMEM,
                                                &copy, nullptr) != plat::D3D_OK) {
    return -1;
  }
  plat::D3DLOCKED_RECT target{};
  std::int64_t taken = -1;
  if (copy->LockRect(&target, nullptr, 0) == plat::D3D_OK) {
    const std::int64_t started = Now();
    const plat::WinRect square{0, 0, side, side};
    plat::D3DLOCKED_RECT source{};
    if (state.backBuffer->LockRect(&source, &square, plat::D3DLOCK_READONLY) == plat::D3D_OK) {
      CopyRows(source, static_cast<std::uint8_t*>(target.pBits), target.Pitch, side * bytesPerPixel, side);
      state.backBuffer->UnlockRect();
      taken = Now() - started;
    }
    copy->UnlockRect();
  }
  copy->Release();
  return taken;
}

// Copies the square through a temporary render target into system memory.
// The microseconds taken, or -1.
std::int64_t TimeIndirectCopy(GraphicsState& state, int side, int bytesPerPixel, std::vector<std::uint8_t>* rows) {
  const std::int64_t started = Now();
  plat::IDirect3DSurface9* renderTarget = nullptr;
  plat::IDirect3DSurface9* copy = nullptr;
  const plat::WinRect square{0, 0, side, side};
  plat::D3DLOCKED_RECT source{};
  const bool copied =
      state.device->CreateRenderTarget(side, side, state.caps.backBufferFormat, plat::D3DMULTISAMPLE_NONE, 0,
                                       plat::FALSE, &renderTarget, nullptr) == plat::D3D_OK &&
      state.device->CreateOffscreenPlainSurface(side, side, state.caps.backBufferFormat, plat::D3DPOOL_SYSTEMMEM,
                                                &copy, nullptr) == plat::D3D_OK &&
      state.device->StretchRect(state.backBuffer, &square, renderTarget, nullptr, plat::D3DTEXF_NONE) ==
          plat::D3D_OK &&
      state.device->GetRenderTargetData(renderTarget, copy) == plat::D3D_OK &&
      copy->LockRect(&source, nullptr, plat::D3DLOCK_READONLY) == plat::D3D_OK;
  if (copied) {
    CopyRows(source, rows->data(), side * bytesPerPixel, side * bytesPerPixel, side);
    copy->UnlockRect();
  }
  ReleaseAndClear(&copy);
  ReleaseAndClear(&renderTarget);
  return copied ? Now() - started : -1;
}

int FillFromLock(const plat::D3DLOCKED_RECT& locked, std::uint32_t format, const plat::WinRect& rect, BaseImage* out) {
  const PixelFormatDescriptor* descriptor = GetD3DFormatPixelDescriptor(format);
  if (descriptor == nullptr) return -1;
  out->format = *descriptor;
  out->width = static_cast<std::uint32_t>(rect.right - rect.left);
  out->height = static_cast<std::uint32_t>(rect.bottom - rect.top);
  out->pitch = static_cast<std::uint32_t>(locked.Pitch);
  out->pixels = static_cast<std::uint8_t*>(locked.pBits);
  out->mipLevels = 0;
  return 0;
}

// The indirect way: the rectangle copied through a render target of its
// size into a system-memory surface that stays locked.
int LockThroughCopy(GraphicsState& state, plat::IDirect3DSurface9* source, std::uint32_t format,
                    const plat::WinRect& rect, plat::D3DLOCKED_RECT* locked) {
  const auto width = static_cast<std::uint32_t>(rect.right - rect.left);
  const auto height = static_cast<std::uint32_t>(rect.bottom - rect.top);
  plat::IDirect3DSurface9* renderTarget = nullptr;
  if (state.device->CreateRenderTarget(width, height, format, plat::D3DMULTISAMPLE_NONE, 0, plat::FALSE,
                                       &renderTarget, nullptr) != plat::D3D_OK) {
    AppendLogText(text::kGfxReadbackTargetCreateFailed);
    return -1;
  }
  plat::IDirect3DSurface9* copy = nullptr;
  if (state.device->CreateOffscreenPlainSurface(width, height, format, plat::D3DPOOL_SYSTEMMEM, &copy, nullptr) !=
      plat::D3D_OK) {
    AppendLogText(text::kGfxReadbackSysmemCreateFailed);
    renderTarget->Release();
    return -1;
  }
  state.device->StretchRect(source, &rect, renderTarget, nullptr, plat::D3DTEXF_NONE);
  state.device->GetRenderTargetData(renderTarget, copy);
  renderTarget->Release();
  if (copy->LockRect(locked, nullptr, plat::D3DLOCK_READONLY) != plat::D3D_OK) {
    copy->Release();
    return -1;
  }
  gReadback.systemMemoryCopy = copy;
  return 0;
}

}  // namespace

int LockBackBufferImage(const plat::WinRect* rect, BaseImage* out, int target) {
  if (rect == nullptr || out == nullptr || gReadback.active != 0) return -1;
  FlushVertexBatch();
  EndDeviceScene();
  GraphicsState& state = GetGraphicsState();
  const int resolved = target == -1 ? GetDrawTarget() : target;
  const GraphRecord* graph = IsValidGraphHandle(resolved) != 0 ? GetGraphRecord(resolved) : nullptr;
  // Checked against the target's own size, so a rectangle valid for the
  // screen cannot reach past a smaller graph.
  const int width = graph != nullptr ? graph->width : state.screenWidth;
  const int height = graph != nullptr ? graph->height : state.screenHeight;
  if (rect->left < 0 || rect->left >= rect->right || rect->right > width || rect->top < 0 ||
      rect->top >= rect->bottom || rect->bottom > height) {
    return -1;
  }
  const bool onDevice = graph != nullptr ? HasTextureTiles(graph) : OnHardwarePath(state);
  if (onDevice) {
    plat::IDirect3DSurface9* source = nullptr;
    std::uint32_t format = 0;
    if (graph != nullptr) {
      source = GraphRenderSurface(graph->image->tiles[0]);
      format = state.caps.textureFormats[graph->image->pixelFormatCode];
    } else {
      source = ScreenRenderSurface(state);
      format = state.caps.backBufferFormat;
    }
    plat::D3DLOCKED_RECT locked{};
    if (gReadback.useDirectLock != 0 && source->LockRect(&locked, rect, plat::D3DLOCK_READONLY) == plat::D3D_OK) {
      gReadback.lockedSurface = source;
    } else if (LockThroughCopy(state, source, format, *rect, &locked) != 0) {
      return -1;
    }
    if (FillFromLock(locked, format, *rect, out) != 0) {
      gReadback.active = 1;
      ReleaseBackBufferLockSurfaces();
      return -1;
    }
  } else {
    const MEMIMG& image = graph != nullptr ? graph->softView : state.screenImages[kBackScreenImage];
    if (IsMemImgValid(&image) == 0) return -1;
    const int pitch = image.block->pitch;
    out->format = *image.block->colorDesc;
    out->width = static_cast<std::uint32_t>(rect->right - rect->left);
    out->height = static_cast<std::uint32_t>(rect->bottom - rect->top);
    out->pitch = static_cast<std::uint32_t>(pitch);
    out->pixels = image.pixels + static_cast<std::ptrdiff_t>(rect->top) * pitch +
                  static_cast<std::ptrdiff_t>(rect->left) * MemImgBytesPerPixel(&image);
    out->mipLevels = 0;
  }
  gReadback.active = 1;
  return 0;
}

int ReleaseBackBufferLockSurfaces() {
  if (gReadback.active == 0) return 0;
  if (gReadback.systemMemoryCopy != nullptr) {
    gReadback.systemMemoryCopy->UnlockRect();
    ReleaseAndClear(&gReadback.systemMemoryCopy);
  } else if (gReadback.lockedSurface != nullptr) {
    gReadback.lockedSurface->UnlockRect();
    gReadback.lockedSurface = nullptr;
  }
  gReadback.active = 0;
  return 0;
}

int RunBackBufferReadbackTest() {
  GraphicsState& state = GetGraphicsState();
  gReadback.useDirectLock = 0;
  const PixelFormatDescriptor* descriptor = GetD3DFormatPixelDescriptor(state.caps.backBufferFormat);
  std::int64_t directTime = -1;
  std::int64_t indirectTime = -1;
  if (state.device != nullptr && state.backBuffer != nullptr && descriptor != nullptr) {
    const int side = ReadbackTestSide(state.screenWidth, state.screenHeight);
    const int bytesPerPixel = descriptor->bytesPerPixel;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(side) * side * bytesPerPixel);
    // The first passes warm the driver up; the last one counts.
    for (int pass = 0; pass < kTestPasses; ++pass) {
      directTime = TimeDirectLock(state, side, bytesPerPixel);
      indirectTime = TimeIndirectCopy(state, side, bytesPerPixel, &rows);
    }
  }
  if (directTime < 0 || indirectTime < 0) {
    AppendLogText(text::kGfxReadbackLockUnavailable);
    return 0;
  }
  AppendLogFormat(text::kGfxReadbackTimes, static_cast<int>(directTime), static_cast<int>(indirectTime));
  if (directTime < indirectTime) {
    gReadback.useDirectLock = 1;
    AppendLogText(text::kGfxReadbackUseLock);
  } else {
    AppendLogText(text::kGfxReadbackNoLock);
  }
  return 0;
}

int IsBackBufferDirectLockUsed() { return gReadback.useDirectLock; }

int ReadbackTestSide(int screenWidth, int screenHeight) {
  int side = kLargestTestSide;
  while (side > 1 && (side > screenWidth || side > screenHeight)) side /= 2;
  return side;
}

}  // namespace qz
