// Software images: a view (MEMIMG) names a rectangle of a reference-counted
// pixel block that owns the pixels, palette, premultiplied-alpha plane and run
// table. Every software pixel routine reads these records.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "image/base_image.h"

namespace qz {

constexpr std::uint32_t kMemImgMagic = 0x12345678u;

// Pixel format code of a block.
enum MemImgFormat : std::int32_t {
  kMemImgFormatRgb565 = 0,  // 2 bytes; 4 with alpha (word, alpha byte, unused); 1 palettised
  kMemImgFormatXrgb32 = 1,  // bytes B, G, R, alpha-or-unused; 1 palettised
  kMemImgFormatMono8 = 2,   // one 8-bit channel, never palettised or with alpha
  kMemImgFormatMono16 = 3,  // one 16-bit channel
};

struct MemImgPixelBlock {
  std::int32_t refCount;
  std::int32_t width;
  std::int32_t height;
  std::int32_t pitch;
  std::int32_t pitchLog2;  // -1 when the pitch is not the power of two of the row
  const PixelFormatDescriptor* colorDesc;  // static, not owned
  std::uint32_t transColor;                // raw pixel value (palette index when palettised)
  std::int32_t format;                     // MemImgFormat
  std::int32_t palettised;
  std::int32_t paletteCount;
  std::int32_t hasAlpha;
  std::int32_t alphaPlaneValid;
  std::int32_t runTableValid;
  std::int32_t userMemory;
  std::uint8_t* palette;      // 2048 zeroed bytes when palettised: entries, then a copy
  std::uint8_t* paletteCopy;  // palette + 1024
  std::uint8_t* pixels;
  std::uint8_t* alphaPlane;
  std::uint8_t* runTable;  // (width + 5) x height bytes
  // Geometry of the view the run table was last built for; the run-table blit
  // only walks the table for a view that matches it.
  const std::uint8_t* runTableViewPixels;
  std::int32_t runTableViewWidth;
  std::int32_t runTableViewHeight;
  std::int32_t runTableRuns;  // runs in the table, row ends left out
};

struct MEMIMG {
  std::uint32_t magic;  // kMemImgMagic while valid
  std::int32_t width;
  std::int32_t height;
  std::uint8_t* pixels;      // top-left pixel of the view inside the block
  std::uint8_t* alphaPlane;  // matching entry of the block's alpha plane, or null
  MemImgPixelBlock* block;
};

// Sets up a view with a new block. pitch -1 picks the row size rounded up to
// 16 bytes. Returns -1 when the view is already valid or memory runs out.
int InitMemImgEx(MEMIMG* view, int width, int height, int pitch, std::uint32_t transColor, int format,
                 int palettised, int hasAlpha, int extraBuffers, void* userPixels);
// format -1 follows the caller's screen depth (16: RGB565, else 32-bit).
// Refuses a valid view with -1 before touching it.
int InitMemImg(MEMIMG* view, int width, int height, int format, int screenBitDepth = 32);
// Makes `view` a view of a rectangle of `parent` sharing its block. Returns -1
// and leaves `view` unchanged when the rectangle leaves the parent.
int MakeSubMemImg(MEMIMG* view, const MEMIMG* parent, int x, int y, int width, int height);
int IsMemImgValid(const MEMIMG* view);
void ReleaseMemImg(MEMIMG* view);
const PixelFormatDescriptor* GetMemImgColorDesc(int format, int hasAlpha, int palettised);
// While on (the graphics start turns it on), the pixel memory of a released
// block of 128 KB or more is kept (a few at a time, within 32 MB) for the
// next block of the same size instead of being freed:
// a screen-sized graph made again after every fade then reuses pages rather
// than faulting in new ones. A new block's pixels are undefined either way.
// Turning it off frees what is kept.
void KeepReleasedMemImgPixels(bool keep);
// Writes the raw value into rect (null: whole view), clipped to the view.
void FillMemImgArea(MEMIMG* view, const Rect* rect, std::uint32_t value);

inline int MemImgBytesPerPixel(const MEMIMG* view) { return view->block->colorDesc->bytesPerPixel; }

// True when the view is valid and its whole rectangle lies inside its block's
// pixel memory: the entry check of every pixel routine.
bool MemImgViewInsideBlock(const MEMIMG* view);

}  // namespace qz
