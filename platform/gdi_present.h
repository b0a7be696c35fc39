// The GDI calls the software path shows its screen with: a window's device
// context, the two DIB copies and solid fills (the window's background).
// Their pixels go through the same window present as the device's frames
// (platform/window_present.h).
// 16-bit (BI_RGB as X1R5G5B5, or BI_BITFIELDS) and 32-bit DIBs, top-down
// (negative height) or bottom-up, copied with SRCCOPY.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace plat {

struct DeviceContext;
using HDC = DeviceContext*;

struct BITMAPINFOHEADER {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;  // negative: rows top to bottom
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};

// The header followed by the red, green and blue masks of BI_BITFIELDS.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  std::uint32_t bmiColorMasks[3];
};

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_BITFIELDS = 3;
inline constexpr std::uint32_t DIB_RGB_COLORS = 0;
inline constexpr std::uint32_t SRCCOPY = 0x00CC0020u;

// Null for a window that does not exist.
HDC GetDC(HWND window);
// 1 when the context was released, 0 for one this window did not hand out.
int ReleaseDC(HWND window, HDC context);

// Copies the w by h rectangle at (xSrc, ySrc) of the DIB (origin at its
// lower-left corner for a bottom-up DIB, as the system has it) to (xDest,
// yDest) of the client area. `bits` holds scan lines startScan to startScan +
// lines - 1; the stand-in needs the whole DIB (startScan 0, all lines).
// Returns the lines copied, 0 on failure.
int SetDIBitsToDevice(HDC context, int xDest, int yDest, std::uint32_t width, std::uint32_t height, int xSrc,
                      int ySrc, std::uint32_t startScan, std::uint32_t lines, const void* bits,
                      const BITMAPINFO* info, std::uint32_t colorUse);
// Copies the source rectangle scaled to the destination rectangle. Mirroring
// (negative sizes) and operations other than SRCCOPY are refused. Returns the
// source lines copied, 0 on failure.
int StretchDIBits(HDC context, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, std::uint32_t colorUse,
                  std::uint32_t rasterOperation);

// Solid brushes. COLORREF values are 0x00BBGGRR. The stock brush is shared
// and never freed; DeleteObject frees a brush of CreateSolidBrush.
struct Brush;
using HBRUSH = Brush*;
inline constexpr int BLACK_BRUSH = 4;
// BLACK_BRUSH, or null for any other stock object (none is used).
HBRUSH GetStockObject(int object);
HBRUSH CreateSolidBrush(std::uint32_t colorRef);
BOOL DeleteObject(HBRUSH brush);
// Fills the rectangle of the client area; 1, or 0 on failure.
int FillRect(HDC context, const WinRect* rect, HBRUSH brush);

// Test hook: device contexts handed out and not yet released.
int GetLiveDeviceContextCount();

}  // namespace plat
