// DIB copies to a window: the source rectangle is turned into 32-bit pixels
// and handed to the window present, which scales it into the client area.
#include "platform/gdi_present.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/window_present.h"

namespace plat {

struct DeviceContext {
  HWND window;
};

struct Brush {
  std::uint32_t pixel;  // X8R8G8B8
  bool stock;
};

namespace {

std::atomic<int> gLiveContexts{0};

// One colour channel of a DIB pixel, widened to 8 bits.
struct Channel {
  int shift = 0;
  int bits = 0;
  std::uint8_t widened[256] = {};

  explicit Channel(std::uint32_t mask) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    bits = std::popcount(mask >> shift);
    if (bits > 8) return;
    const std::uint32_t top = (1u << bits) - 1;
    for (std::uint32_t value = 0; value <= top; ++value) {
      widened[value] = static_cast<std::uint8_t>((value * 255 + top / 2) / top);
    }
  }

  std::uint32_t Read(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t value = (pixel >> shift) & ((bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1));
    return bits > 8 ? value >> (bits - 8) : widened[value];
  }
};

struct DibLayout {
  int width;
  int height;  // rows, positive
  bool topDown;
  int bytesPerPixel;
  std::size_t rowBytes;
  std::uint32_t masks[3];
};

bool ReadLayout(const BITMAPINFO* info, DibLayout* layout) {
  if (info == nullptr) return false;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN) return false;
  if (header.biBitCount != 16 && header.biBitCount != 32) return false;
  layout->width = header.biWidth;
  layout->height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  layout->topDown = header.biHeight < 0;
  layout->bytesPerPixel = header.biBitCount / 8;
  layout->rowBytes = (static_cast<std::size_t>(layout->width) * header.biBitCount + 31) / 32 * 4;
  if (header.biCompression == BI_BITFIELDS) {
    std::memcpy(layout->masks, info->bmiColorMasks, sizeof(layout->masks));
  } else if (header.biCompression == BI_RGB) {
    const bool word = header.biBitCount == 16;
    layout->masks[0] = word ? 0x7C00u : 0xFF0000u;
    layout->masks[1] = word ? 0x03E0u : 0x00FF00u;
    layout->masks[2] = word ? 0x001Fu : 0x0000FFu;
  } else {
    return false;
  }
  return true;
}

// The rectangle whose top row is `y` rows below the picture's top, as
// top-down 32-bit pixels; false when it leaves the DIB.
bool ConvertRectangle(const DibLayout& layout, const void* bits, int x, int y, int width, int height,
                      std::vector<std::uint32_t>* out) {
  if (bits == nullptr || width <= 0 || height <= 0 || x < 0 || y < 0 || x > layout.width - width ||
      y > layout.height - height) {
    return false;
  }
  const Channel red(layout.masks[0]);
  const Channel green(layout.masks[1]);
  const Channel blue(layout.masks[2]);
  const bool plain32 = layout.bytesPerPixel == 4 && layout.masks[0] == 0xFF0000u && layout.masks[1] == 0xFF00u &&
                       layout.masks[2] == 0xFFu;
  out->resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const auto* base = static_cast<const std::uint8_t*>(bits);
  for (int row = 0; row < height; ++row) {
    // A bottom-up DIB's y counts from its lowest row.
    const int dibRow = layout.topDown ? y + row : layout.height - 1 - (y + row);
    const std::uint8_t* source = base + static_cast<std::size_t>(dibRow) * layout.rowBytes +
                                 static_cast<std::size_t>(x) * static_cast<std::size_t>(layout.bytesPerPixel);
    std::uint32_t* target = out->data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
    if (plain32) {
      std::memcpy(target, source, static_cast<std::size_t>(width) * 4);
      continue;
    }
    for (int column = 0; column < width; ++column) {
      std::uint32_t pixel = 0;
      if (layout.bytesPerPixel == 2) {
        std::uint16_t word = 0;
        std::memcpy(&word, source + column * 2, 2);
        pixel = word;
      } else {
        std::memcpy(&pixel, source + column * 4, 4);
      }
      target[column] = (red.Read(pixel) << 16) | (green.Read(pixel) << 8) | blue.Read(pixel);
    }
  }
  return true;
}

// A top-down DIB of X8R8G8B8 rows is shown as it is, without a converted
// copy; false for any other layout or a rectangle that leaves the DIB.
bool DirectView(const DibLayout& layout, const void* bits, int x, int y, int width, int height, FrameView* view) {
  const bool plain32 = layout.bytesPerPixel == 4 && layout.masks[0] == 0xFF0000u && layout.masks[1] == 0xFF00u &&
                       layout.masks[2] == 0xFFu;
  if (!plain32 || !layout.topDown || bits == nullptr || width <= 0 || height <= 0 || x < 0 || y < 0 ||
      x > layout.width - width || y > layout.height - height) {
    return false;
  }
  *view = FrameView{static_cast<const std::uint8_t*>(bits) + static_cast<std::size_t>(y) * layout.rowBytes +
                        static_cast<std::size_t>(x) * 4,
                    width, height, static_cast<int>(layout.rowBytes)};
  return true;
}

// The system's source origin is the lower-left corner for a bottom-up DIB:
// the first row of a rectangle counted from the top of the picture.
int TopRow(const DibLayout& layout, int ySrc, int height) {
  return layout.topDown ? ySrc : layout.height - ySrc - height;
}

bool Present(HDC context, const std::vector<std::uint32_t>& pixels, int width, int height, const WinRect& dest) {
  const FrameView frame{reinterpret_cast<const std::uint8_t*>(pixels.data()), width, height, width * 4};
  return PresentFrameToWindow(context->window, frame, nullptr, &dest);
}

}  // namespace

HDC GetDC(HWND window) {
  if (IsWindow(window) == FALSE) return nullptr;
  gLiveContexts.fetch_add(1);
  return new DeviceContext{window};
}

int ReleaseDC(HWND window, HDC context) {
  if (context == nullptr || context->window != window) return 0;
  delete context;
  gLiveContexts.fetch_sub(1);
  return 1;
}

int SetDIBitsToDevice(HDC context, int xDest, int yDest, std::uint32_t width, std::uint32_t height, int xSrc,
                      int ySrc, std::uint32_t startScan, std::uint32_t lines, const void* bits,
                      const BITMAPINFO* info, std::uint32_t colorUse) {
  DibLayout layout{};
  if (context == nullptr || colorUse != DIB_RGB_COLORS || !ReadLayout(info, &layout)) return 0;
  if (startScan != 0 || lines != static_cast<std::uint32_t>(layout.height)) return 0;
  if (width == 0 || height == 0 || width > static_cast<std::uint32_t>(layout.width) ||
      height > static_cast<std::uint32_t>(layout.height)) {
    return 0;
  }
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  const WinRect dest{xDest, yDest, xDest + w, yDest + h};
  FrameView view{};
  if (DirectView(layout, bits, xSrc, TopRow(layout, ySrc, h), w, h, &view)) {
    return PresentFrameToWindow(context->window, view, nullptr, &dest) ? h : 0;
  }
  std::vector<std::uint32_t> pixels;
  if (!ConvertRectangle(layout, bits, xSrc, TopRow(layout, ySrc, h), w, h, &pixels)) return 0;
  return Present(context, pixels, w, h, dest) ? h : 0;
}

int StretchDIBits(HDC context, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, std::uint32_t colorUse,
                  std::uint32_t rasterOperation) {
  DibLayout layout{};
  if (context == nullptr || colorUse != DIB_RGB_COLORS || rasterOperation != SRCCOPY || !ReadLayout(info, &layout)) {
    return 0;
  }
  if (destWidth <= 0 || destHeight <= 0) return 0;
  std::vector<std::uint32_t> pixels;
  if (!ConvertRectangle(layout, bits, xSrc, TopRow(layout, ySrc, srcHeight), srcWidth, srcHeight, &pixels)) {
    return 0;
  }
  const WinRect dest{xDest, yDest, xDest + destWidth, yDest + destHeight};
  return Present(context, pixels, srcWidth, srcHeight, dest) ? srcHeight : 0;
}

HBRUSH GetStockObject(int object) {
  static Brush black{0, true};
  return object == BLACK_BRUSH ? &black : nullptr;
}

HBRUSH CreateSolidBrush(std::uint32_t colorRef) {
  const std::uint32_t red = colorRef & 0xFF;
  const std::uint32_t green = (colorRef >> 8) & 0xFF;
  const std::uint32_t blue = (colorRef >> 16) & 0xFF;
  return new Brush{(red << 16) | (green << 8) | blue, false};
}

BOOL DeleteObject(HBRUSH brush) {
  if (brush == nullptr || brush->stock) return FALSE;
  delete brush;
  return TRUE;
}

int FillRect(HDC context, const WinRect* rect, HBRUSH brush) {
  if (context == nullptr || rect == nullptr || brush == nullptr) return 0;
  // One pixel scaled over the rectangle.
  const FrameView frame{reinterpret_cast<const std::uint8_t*>(&brush->pixel), 1, 1, 4};
  return PresentFrameToWindow(context->window, frame, nullptr, rect) ? 1 : 0;
}

int GetLiveDeviceContextCount() { return gLiveContexts.load(); }

}  // namespace plat
