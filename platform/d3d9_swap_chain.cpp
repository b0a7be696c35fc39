// The stand-in's swap chain: one back buffer, presented by copying it (as
// 32-bit pixels) to the window through the shared present path.
#include "platform/clock.h"
#include "platform/d3d9_internal.h"
#include "platform/d3d9_raster_bands.h"
#include "platform/ddraw.h"
#include "platform/window_present.h"

namespace plat::d3d9 {

SwapChainImpl::SwapChainImpl(const D3DPRESENT_PARAMETERS& parameters, HWND focusWindow, SurfaceImpl* backBuffer)
    : parameters_(parameters), focusWindow_(focusWindow), backBuffer_(backBuffer) {}

SwapChainImpl::~SwapChainImpl() { backBuffer_->Release(); }

std::string SwapChainImpl::Describe() const { return "SwapChain of " + backBuffer_->Describe(); }

HRESULT SwapChainImpl::PresentFrame(const WinRect* srcRect, const WinRect* dstRect, HWND window) {
  const HRESULT deviceState = CurrentDeviceState();
  if (deviceState != D3D_OK) return D3DERR_DEVICELOST;
  // Rectangles are only honoured by the copy swap effect.
  if ((srcRect != nullptr || dstRect != nullptr) && parameters_.SwapEffect != D3DSWAPEFFECT_COPY) {
    return D3DERR_INVALIDCALL;
  }
  WinRect source;
  if (!ResolveRect(srcRect, backBuffer_->width(), backBuffer_->height(), &source)) return D3DERR_INVALIDCALL;
  if (dstRect != nullptr && (dstRect->left >= dstRect->right || dstRect->top >= dstRect->bottom)) {
    return D3DERR_INVALIDCALL;
  }
  HWND shownIn = window != nullptr ? window : parameters_.hDeviceWindow != nullptr ? parameters_.hDeviceWindow
                                                                                 : focusWindow_;
  PixelStore& store = backBuffer_->store();
  FrameView frame{store.bytes.data(), static_cast<int>(store.width), static_cast<int>(store.height), store.pitch};
  // The whole of a 32-bit back buffer is shown from its own pixels until
  // they change (a clear of all of them then hands them to the window), and
  // on the device's thread its draws may go on meanwhile: the window waits
  // for them when it is read.
  const auto wholeFrame = [&frame](const WinRect& r) {
    return r.left == 0 && r.top == 0 && r.right == frame.width && r.bottom == frame.height;
  };
  const bool whole = (store.format == D3DFMT_X8R8G8B8 || store.format == D3DFMT_A8R8G8B8) && wholeFrame(source) &&
                     (dstRect == nullptr || wholeFrame(*dstRect)) && !backBuffer_->locked() &&
                     (bandWorkers_ == nullptr || bandWorkers_->OnOwnerThread());
  if (whole && PresentWholeFrameLater(shownIn, frame, &store, store.uses.Waiter())) return FinishPresent();
  // The back buffer's draws finish first, on their device's thread alone.
  if (!store.uses.Finish()) return D3DERR_INVALIDCALL;
  if (store.format != D3DFMT_X8R8G8B8 && store.format != D3DFMT_A8R8G8B8) {
    frame_.resize(static_cast<std::size_t>(store.width) * store.height * 4);
    const raster::Surface view = store.View();
    raster::Surface converted{frame_.data(), static_cast<int>(store.width) * 4, view.width, view.height,
                              D3DFMT_X8R8G8B8};
    for (int y = source.top; y < source.bottom; ++y) {
      for (int x = source.left; x < source.right; ++x) raster::WritePixel(converted, x, y, raster::ReadPixel(view, x, y));
    }
    frame = {frame_.data(), view.width, view.height, converted.pitchBytes};
  }
  RowSplitter split;
  if (bandWorkers_ != nullptr) {
    // Another thread than the device's copies the rows itself.
    split = [workers = bandWorkers_](int count, std::function<void(int, int)> body) {
      if (!workers->RecordRows(count, 0, count, body) || !workers->Finish()) body(0, count);
    };
  }
  if (!PresentFrameToWindow(shownIn, frame, &source, dstRect, split)) return D3DERR_INVALIDCALL;
  return FinishPresent();
}

HRESULT SwapChainImpl::FinishPresent() {
  if (parameters_.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE && CurrentPresentSynchronised()) {
    WaitForSimulatedVerticalBlank();
  }
  const std::uint32_t duration = CurrentPresentDuration();
  if (duration > 0) Sleep(duration);
  return D3D_OK;
}

HRESULT SwapChainImpl::Present(const WinRect* srcRect, const WinRect* dstRect, HWND window, const void* dirtyRegion,
                               std::uint32_t flags) {
  HRESULT result = CountCall("SwapChain.Present");
  if (result == D3D_OK && dirtyRegion != nullptr) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) result = PresentFrame(srcRect, dstRect, window);
  return Finish("SwapChain.Present", result, [&] {
    return std::string(srcRect != nullptr ? "rect" : "null") + ", " + (dstRect != nullptr ? "rect" : "null") + ", " +
           std::to_string(flags);
  });
}

HRESULT SwapChainImpl::GetBackBuffer(std::uint32_t index, std::uint32_t type, IDirect3DSurface9** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
  backBuffer_->AddRef();
  *surface = backBuffer_;
  return D3D_OK;
}

HRESULT SwapChainImpl::GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) {
  if (parameters == nullptr) return D3DERR_INVALIDCALL;
  *parameters = parameters_;
  return D3D_OK;
}

}  // namespace plat::d3d9
