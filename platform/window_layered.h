// Layered windows: 32-bit DIB sections and UpdateLayeredWindow, which shows
// a DIB in a window that has WS_EX_LAYERED, transparent where its alpha is 0
// (or where it has the colour key). Every window keeps the last image, its
// position and its shape for tests; on the desktop the shape reaches the SDL
// window when the video driver offers shaped windows (alpha taken as a binary
// shape: no per-pixel translucency).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi_present.h"
#include "platform/window.h"

namespace plat {

struct WinSize {
  std::int32_t cx;
  std::int32_t cy;
};

struct BLENDFUNCTION {
  std::uint8_t BlendOp;
  std::uint8_t BlendFlags;
  std::uint8_t SourceConstantAlpha;
  std::uint8_t AlphaFormat;
};

inline constexpr std::uint8_t AC_SRC_OVER = 0x00;
inline constexpr std::uint8_t AC_SRC_ALPHA = 0x01;
inline constexpr std::uint32_t ULW_COLORKEY = 0x1;
inline constexpr std::uint32_t ULW_ALPHA = 0x2;
inline constexpr std::uint32_t ULW_OPAQUE = 0x4;

struct DibSection;
using HBITMAP = DibSection*;

// A 32-bit BI_RGB DIB section (top-down or bottom-up), zero-filled; `bits`
// receives its rows. The reference context, section and offset are unused.
// Null for any other layout.
HBITMAP CreateDIBSection(HDC reference, const BITMAPINFO* info, std::uint32_t usage, void** bits, void* section,
                         std::uint32_t offset);
BOOL DeleteObject(HBITMAP bitmap);

// Shows `size` of the bitmap from `sourcePosition` in the layered window.
// The stand-in takes the DIB section itself as the source (its memory
// contexts hold fonts only). `position` (screen) and `size` are kept; the
// window keeps its rectangle. ULW_ALPHA with AC_SRC_ALPHA: alpha 0 is
// transparent; ULW_COLORKEY: pixels of `colorKey` (0x00BBGGRR) are;
// ULW_OPAQUE: nothing is. FALSE for a window without WS_EX_LAYERED or a
// rectangle outside the bitmap.
BOOL UpdateLayeredWindow(HWND window, HDC screen, const Point* position, const WinSize* size, HBITMAP source,
                         const Point* sourcePosition, std::uint32_t colorKey, const BLENDFUNCTION* blend,
                         std::uint32_t flags);
using UpdateLayeredWindowProc = BOOL (*)(HWND, HDC, const Point*, const WinSize*, HBITMAP, const Point*,
                                         std::uint32_t, const BLENDFUNCTION*, std::uint32_t);

// Test hooks: the last update of a window (pixels as 0xAARRGGBB with the
// shape's alpha, 0 or 255), and the DIB sections alive.
struct LayeredWindowImage {
  std::vector<std::uint32_t> pixels;
  int width = 0;
  int height = 0;
  Point position{};
};
bool ReadLayeredWindowImage(HWND window, LayeredWindowImage* image);
int GetLiveDibSectionCount();

}  // namespace plat
