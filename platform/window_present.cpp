// Frames shown in a window. Every window keeps a client-sized copy of what it
// shows, so a present of part of the client area keeps the rest, a repaint
// needs no new frame and tests read back exactly what reached the window. On
// the desktop backend the copy then goes to the SDL window's surface, scaled
// to the surface's real size (a full-screen window may be larger than its
// client rectangle says).
#include "platform/window_present.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/window_sdl.h"

namespace plat {
namespace {

struct KeptFrame {
  std::uint32_t nativeId = 0;  // tells a reused window address from the old window
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

std::mutex gFramesMutex;
std::map<const WindowObject*, KeptFrame> gFrames;

bool Empty(const WinRect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

// Nearest-neighbour copy of src (inside the frame) onto dst (in client
// coordinates), clipped to the client area.
void ScaleInto(const FrameView& frame, const WinRect& src, const WinRect& dst, KeptFrame* kept,
               const RowSplitter& split) {
  const std::int64_t srcWidth = src.right - src.left;
  const std::int64_t srcHeight = src.bottom - src.top;
  const std::int64_t dstWidth = dst.right - dst.left;
  const std::int64_t dstHeight = dst.bottom - dst.top;
  const int top = std::max(dst.top, 0);
  const int bottom = std::min(dst.bottom, kept->height);
  const int left = std::max(dst.left, 0);
  const int right = std::min(dst.right, kept->width);
  if (left >= right) return;
  std::vector<int> sourceColumns(static_cast<std::size_t>(right - left));
  for (int x = left; x < right; ++x) {
    sourceColumns[static_cast<std::size_t>(x - left)] =
        src.left + static_cast<int>((x - dst.left) * srcWidth / dstWidth);
  }
  const bool sameWidth = srcWidth == dstWidth;
  auto copyRows = [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const int sourceY = src.top + static_cast<int>((y - dst.top) * srcHeight / dstHeight);
      const auto* sourceRow = reinterpret_cast<const std::uint32_t*>(
          frame.pixels + static_cast<std::ptrdiff_t>(sourceY) * frame.pitchBytes);
      std::uint32_t* out = kept->pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(kept->width);
      if (sameWidth) {
        std::memcpy(out + left, sourceRow + sourceColumns[0], static_cast<std::size_t>(right - left) * 4);
        continue;
      }
      for (int x = left; x < right; ++x) out[x] = sourceRow[sourceColumns[static_cast<std::size_t>(x - left)]];
    }
  };
  if (top >= bottom) return;
  if (split) {
    split(bottom - top, [&](int first, int last) { copyRows(top + first, top + last); });
  } else {
    copyRows(top, bottom);
  }
}

// The kept copy, scaled to the window surface. Runs on the window's thread
// (the only one that presents to it).
void ShowOnSdlWindow(const WindowObject* window, const KeptFrame& kept) {
  auto* native = static_cast<SDL_Window*>(window->native);
  if (native == nullptr || kept.width == 0 || kept.height == 0) return;
  SDL_Surface* surface = SDL_GetWindowSurface(native);
  if (surface == nullptr || surface->w <= 0 || surface->h <= 0) return;
  std::vector<std::uint32_t> scaled;
  const std::uint32_t* rows = kept.pixels.data();
  int pitch = kept.width * 4;
  if (surface->w != kept.width || surface->h != kept.height) {
    scaled.resize(static_cast<std::size_t>(surface->w) * static_cast<std::size_t>(surface->h));
    for (int y = 0; y < surface->h; ++y) {
      const std::uint32_t* sourceRow =
          kept.pixels.data() + static_cast<std::size_t>(static_cast<std::int64_t>(y) * kept.height / surface->h) *
                                   static_cast<std::size_t>(kept.width);
      std::uint32_t* out = scaled.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(surface->w);
      for (int x = 0; x < surface->w; ++x) out[x] = sourceRow[static_cast<std::int64_t>(x) * kept.width / surface->w];
    }
    rows = scaled.data();
    pitch = surface->w * 4;
  }
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
  SDL_ConvertPixels(surface->w, surface->h, SDL_PIXELFORMAT_RGB888, rows, pitch, surface->format->format,
                    surface->pixels, surface->pitch);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_UpdateWindowSurface(native);
}

}  // namespace

bool PresentFrameToWindow(HWND window, const FrameView& frame, const WinRect* srcRect, const WinRect* dstRect,
                          const RowSplitter& split) {
  if (!IsLiveWindow(window) || frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0 ||
      frame.pitchBytes < frame.width * 4) {
    return false;
  }
  const WinRect src = srcRect != nullptr ? *srcRect : WinRect{0, 0, frame.width, frame.height};
  if (Empty(src) || src.left < 0 || src.top < 0 || src.right > frame.width || src.bottom > frame.height) return false;
  WinRect client{};
  GetClientRect(window, &client);
  if (Empty(client)) return false;
  const WinRect dst = dstRect != nullptr ? *dstRect : client;
  if (Empty(dst)) return false;

  std::lock_guard<std::mutex> lock(gFramesMutex);
  // Copies of windows destroyed since the last present are let go here.
  std::erase_if(gFrames, [](const auto& entry) { return !IsLiveWindow(const_cast<HWND>(entry.first)); });
  KeptFrame& kept = gFrames[window];
  if (kept.nativeId != window->nativeId || kept.width != client.right || kept.height != client.bottom) {
    kept.nativeId = window->nativeId;
    kept.width = client.right;
    kept.height = client.bottom;
    kept.pixels.assign(static_cast<std::size_t>(kept.width) * static_cast<std::size_t>(kept.height), 0);
  }
  ScaleInto(frame, src, dst, &kept, split);
  if (window->backend == &SdlWindowBackend()) ShowOnSdlWindow(window, kept);
  return true;
}

bool ReadPresentedFrame(HWND window, std::vector<std::uint32_t>* pixels, int* width, int* height) {
  if (!IsLiveWindow(window)) return false;
  std::lock_guard<std::mutex> lock(gFramesMutex);
  const auto found = gFrames.find(window);
  if (found == gFrames.end() || found->second.nativeId != window->nativeId) return false;
  if (pixels != nullptr) *pixels = found->second.pixels;
  if (width != nullptr) *width = found->second.width;
  if (height != nullptr) *height = found->second.height;
  return true;
}

}  // namespace plat
