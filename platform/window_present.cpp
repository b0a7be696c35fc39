// Frames shown in a window. Every window keeps a client-sized copy of what it
// shows, so a present of part of the client area keeps the rest, a repaint
// needs no new frame and tests read back exactly what reached the window. On
// the desktop backend the copy then goes to the SDL window's surface, scaled
// to the surface's real size (a full-screen window may be larger than its
// client rectangle says). Headless, a whole frame presented by a device
// waits in the device's pixels until they are about to change or someone
// reads the window, and a clear of all of them takes them over instead of
// copying them: the copy of a whole frame costs a good share of a frame of
// sprites.
#include "platform/window_present.h"

#include <algorithm>
#include <atomic>
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
  std::vector<std::uint8_t> pixels;  // rows of `width` 32-bit pixels
  // Non-null while the window shows `waiting` from its owner's pixels rather
  // than from `pixels`.
  const void* waitingOwner = nullptr;
  FrameView waiting{};
  // While set, the owner's draws may still be making the waiting frame, or
  // `pixels` taken over from it: waits until they are done.
  std::function<void()> drawn;
  const void* drawnOwner = nullptr;

  std::uint32_t* Row(int y) {
    return reinterpret_cast<std::uint32_t*>(pixels.data()) + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  }
};

std::mutex gFramesMutex;
std::map<const WindowObject*, KeptFrame> gFrames;
// Frames waiting in their owners' pixels, so that a check with none waiting
// (every draw makes one) takes no lock.
std::atomic<int> gWaitingFrames{0};

// Returns once the frame's pixels are all drawn. Callers hold gFramesMutex.
void AwaitDrawn(KeptFrame* kept) {
  if (!kept->drawn) return;
  const std::function<void()> drawn = std::move(kept->drawn);
  kept->drawn = nullptr;
  drawn();
}

// Ends the wait of a frame: the window no longer shows its owner's pixels.
// Callers hold gFramesMutex.
void StopWaiting(KeptFrame* kept) {
  if (kept->waitingOwner == nullptr) return;
  kept->waitingOwner = nullptr;
  gWaitingFrames.fetch_sub(1, std::memory_order_release);
}

// Copies a waiting frame into the window's own pixels. Callers hold gFramesMutex.
void SettleWaiting(KeptFrame* kept) {
  if (kept->waitingOwner == nullptr) return;
  AwaitDrawn(kept);
  const std::size_t rowBytes = static_cast<std::size_t>(kept->width) * 4;
  for (int y = 0; y < kept->height; ++y) {
    std::memcpy(kept->Row(y), kept->waiting.pixels + static_cast<std::ptrdiff_t>(y) * kept->waiting.pitchBytes,
                rowBytes);
  }
  StopWaiting(kept);
}

// The window's kept frame, fresh (black) when the window or its client size
// changed. Callers hold gFramesMutex.
KeptFrame* KeptFrameOf(HWND window, const WinRect& client) {
  // Copies of windows destroyed since the last present are let go here.
  for (auto entry = gFrames.begin(); entry != gFrames.end();) {
    if (IsLiveWindow(const_cast<HWND>(entry->first))) {
      ++entry;
      continue;
    }
    StopWaiting(&entry->second);
    AwaitDrawn(&entry->second);
    entry = gFrames.erase(entry);
  }
  KeptFrame& kept = gFrames[window];
  if (kept.nativeId != window->nativeId || kept.width != client.right || kept.height != client.bottom) {
    StopWaiting(&kept);
    AwaitDrawn(&kept);
    kept.nativeId = window->nativeId;
    kept.width = client.right;
    kept.height = client.bottom;
    kept.pixels.assign(static_cast<std::size_t>(kept.width) * static_cast<std::size_t>(kept.height) * 4, 0);
  }
  return &kept;
}

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
  const bool sameWidth = srcWidth == dstWidth;
  // Scaled across, each column's source; unscaled, the rows are copied whole.
  std::vector<int> sourceColumns;
  if (!sameWidth) {
    sourceColumns.resize(static_cast<std::size_t>(right - left));
    for (int x = left; x < right; ++x) {
      sourceColumns[static_cast<std::size_t>(x - left)] =
          src.left + static_cast<int>((x - dst.left) * srcWidth / dstWidth);
    }
  }
  const int firstSourceColumn = src.left + (left - dst.left);
  const std::size_t rowBytes = static_cast<std::size_t>(right - left) * 4;
  auto copyRows = [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const int sourceY = src.top + static_cast<int>((y - dst.top) * srcHeight / dstHeight);
      const auto* sourceRow = reinterpret_cast<const std::uint32_t*>(
          frame.pixels + static_cast<std::ptrdiff_t>(sourceY) * frame.pitchBytes);
      std::uint32_t* out = kept->Row(y);
      if (sameWidth) {
        std::memcpy(out + left, sourceRow + firstSourceColumn, rowBytes);
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
  const auto* rows = reinterpret_cast<const std::uint32_t*>(kept.pixels.data());
  int pitch = kept.width * 4;
  if (surface->w != kept.width || surface->h != kept.height) {
    scaled.resize(static_cast<std::size_t>(surface->w) * static_cast<std::size_t>(surface->h));
    for (int y = 0; y < surface->h; ++y) {
      const std::uint32_t* sourceRow =
          rows + static_cast<std::size_t>(static_cast<std::int64_t>(y) * kept.height / surface->h) *
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
  KeptFrame& kept = *KeptFrameOf(window, client);
  // What part of the client area this present leaves keeps the waiting frame.
  SettleWaiting(&kept);
  AwaitDrawn(&kept);
  ScaleInto(frame, src, dst, &kept, split);
  if (window->backend == &SdlWindowBackend()) ShowOnSdlWindow(window, kept);
  return true;
}

bool PresentWholeFrameLater(HWND window, const FrameView& frame, const void* owner, std::function<void()> drawn) {
  if (!IsLiveWindow(window) || window->backend == &SdlWindowBackend() || frame.pixels == nullptr ||
      frame.width <= 0 || frame.height <= 0 || frame.pitchBytes < frame.width * 4) {
    return false;
  }
  WinRect client{};
  GetClientRect(window, &client);
  if (client.right != frame.width || client.bottom != frame.height) return false;
  std::lock_guard<std::mutex> lock(gFramesMutex);
  KeptFrame& kept = *KeptFrameOf(window, client);
  // Another owner's draws may still be making `pixels`; this owner's later
  // draws are waited for after its earlier ones.
  if (kept.drawnOwner != owner) AwaitDrawn(&kept);
  if (kept.waitingOwner == nullptr) gWaitingFrames.fetch_add(1, std::memory_order_relaxed);
  kept.waitingOwner = owner;
  kept.waiting = frame;
  kept.drawn = std::move(drawn);
  kept.drawnOwner = owner;
  return true;
}

void SettleFramesWaitingIn(const void* owner) {
  if (gWaitingFrames.load(std::memory_order_acquire) == 0) return;
  std::lock_guard<std::mutex> lock(gFramesMutex);
  for (auto& entry : gFrames) {
    if (entry.second.waitingOwner == owner) SettleWaiting(&entry.second);
  }
}

bool TakeOverWaitingFrame(const void* owner, std::vector<std::uint8_t>* pixels) {
  if (gWaitingFrames.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard<std::mutex> lock(gFramesMutex);
  KeptFrame* taker = nullptr;
  int waitingHere = 0;
  for (auto& entry : gFrames) {
    if (entry.second.waitingOwner != owner) continue;
    ++waitingHere;
    taker = &entry.second;
  }
  // Only one window may take the pixels, and only as rows without a gap.
  if (waitingHere != 1 || taker->waiting.pixels != pixels->data() || taker->waiting.pitchBytes != taker->width * 4 ||
      pixels->size() != taker->pixels.size()) {
    for (auto& entry : gFrames) {
      if (entry.second.waitingOwner == owner) SettleWaiting(&entry.second);
    }
    return false;
  }
  taker->pixels.swap(*pixels);
  StopWaiting(taker);
  return true;
}

bool ReadPresentedFrame(HWND window, std::vector<std::uint32_t>* pixels, int* width, int* height) {
  if (!IsLiveWindow(window)) return false;
  std::lock_guard<std::mutex> lock(gFramesMutex);
  const auto found = gFrames.find(window);
  if (found == gFrames.end() || found->second.nativeId != window->nativeId) return false;
  SettleWaiting(&found->second);
  AwaitDrawn(&found->second);
  if (pixels != nullptr) {
    const std::vector<std::uint8_t>& kept = found->second.pixels;
    pixels->resize(kept.size() / 4);
    std::memcpy(pixels->data(), kept.data(), kept.size());
  }
  if (width != nullptr) *width = found->second.width;
  if (height != nullptr) *height = found->second.height;
  return true;
}

}  // namespace plat
