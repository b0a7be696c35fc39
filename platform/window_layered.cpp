// Layered windows over the window present: an update keeps the image, its
// position and its shape per window, shows the image through the window's
// present and hands the shape to the backend.
#include "platform/window_layered.h"

#include <atomic>
#include <map>
#include <mutex>

#include "platform/window_internal.h"
#include "platform/window_present.h"

namespace plat {

struct DibSection {
  int width;
  int height;
  bool topDown;
  std::vector<std::uint32_t> pixels;
};

namespace {

struct KeptLayer {
  std::uint32_t nativeId = 0;  // tells a reused window address from the old window
  LayeredWindowImage image;
};

std::atomic<int> gLiveSections{0};
std::mutex gLayersMutex;
std::map<const WindowObject*, KeptLayer> gLayers;

std::uint32_t Rgb(std::uint32_t pixel) { return pixel & 0xFFFFFFu; }

// 0x00BBGGRR to the 0x00RRGGBB of the pixels.
std::uint32_t KeyPixel(std::uint32_t colorKey) {
  return ((colorKey & 0xFF) << 16) | (colorKey & 0xFF00) | ((colorKey >> 16) & 0xFF);
}

bool Shown(std::uint32_t pixel, std::uint32_t key, const BLENDFUNCTION* blend, std::uint32_t flags) {
  if ((flags & ULW_OPAQUE) != 0) return true;
  if ((flags & ULW_ALPHA) != 0 && blend != nullptr && (blend->AlphaFormat & AC_SRC_ALPHA) != 0) {
    return (pixel >> 24) != 0;
  }
  if ((flags & ULW_COLORKEY) != 0) return Rgb(pixel) != key;
  return true;
}

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, std::uint32_t, void** bits, void*, std::uint32_t) {
  if (info == nullptr || bits == nullptr) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biHeight == INT32_MIN) {
    return nullptr;
  }
  auto* section = new DibSection{header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight,
                                 header.biHeight < 0, {}};
  section->pixels.assign(static_cast<std::size_t>(section->width) * static_cast<std::size_t>(section->height), 0);
  *bits = section->pixels.data();
  gLiveSections.fetch_add(1);
  return section;
}

BOOL DeleteObject(HBITMAP bitmap) {
  if (bitmap == nullptr) return FALSE;
  delete bitmap;
  gLiveSections.fetch_sub(1);
  return TRUE;
}

BOOL UpdateLayeredWindow(HWND window, HDC, const Point* position, const WinSize* size, HBITMAP source,
                         const Point* sourcePosition, std::uint32_t colorKey, const BLENDFUNCTION* blend,
                         std::uint32_t flags) {
  if (!IsLiveWindow(window) || (window->exStyle & WS_EX_LAYERED) == 0 || source == nullptr || size == nullptr ||
      size->cx <= 0 || size->cy <= 0) {
    return FALSE;
  }
  const Point from = sourcePosition != nullptr ? *sourcePosition : Point{0, 0};
  if (from.x < 0 || from.y < 0 || from.x > source->width - size->cx || from.y > source->height - size->cy) {
    return FALSE;
  }
  LayeredWindowImage image;
  image.width = size->cx;
  image.height = size->cy;
  if (position != nullptr) {
    image.position = *position;
  } else {
    WinRect rect{};
    GetWindowRect(window, &rect);
    image.position = Point{rect.left, rect.top};
  }
  image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  const std::uint32_t key = KeyPixel(colorKey);
  for (int y = 0; y < image.height; ++y) {
    // A bottom-up section's first row is the picture's last.
    const int row = source->topDown ? from.y + y : source->height - 1 - (from.y + y);
    const std::uint32_t* in = source->pixels.data() + static_cast<std::size_t>(row) * source->width + from.x;
    std::uint32_t* out = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
    for (int x = 0; x < image.width; ++x) out[x] = Rgb(in[x]) | (Shown(in[x], key, blend, flags) ? 0xFF000000u : 0u);
  }
  const FrameView frame{reinterpret_cast<const std::uint8_t*>(image.pixels.data()), image.width, image.height,
                        image.width * 4};
  PresentFrameToWindow(window, frame, nullptr, nullptr);
  window->backend->applyShape(window, image.pixels.data(), image.width, image.height);
  std::lock_guard<std::mutex> lock(gLayersMutex);
  std::erase_if(gLayers, [](const auto& entry) { return !IsLiveWindow(const_cast<HWND>(entry.first)); });
  gLayers[window] = KeptLayer{window->nativeId, std::move(image)};
  return TRUE;
}

bool ReadLayeredWindowImage(HWND window, LayeredWindowImage* image) {
  if (!IsLiveWindow(window)) return false;
  std::lock_guard<std::mutex> lock(gLayersMutex);
  const auto found = gLayers.find(window);
  if (found == gLayers.end() || found->second.nativeId != window->nativeId) return false;
  if (image != nullptr) *image = found->second.image;
  return true;
}

int GetLiveDibSectionCount() { return gLiveSections.load(); }

}  // namespace plat
