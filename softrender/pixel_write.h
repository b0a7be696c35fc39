// Unblended pixel writes into software images: decoded images and other views
// go through the general pixel converter. A whole-image write also rebuilds
// the block's premultiplied-alpha plane and its run table, whose byte format
// is defined here.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "image/base_image.h"
#include "softrender/mem_img.h"

namespace qz {

// Run table: per row, run bytes (kind in bits 7-6, length - 1 in bits 5-0,
// runs of 1..64 pixels) covering the row, then kRunEndOfRow.
constexpr std::uint8_t kRunTransparent = 0x00;
constexpr std::uint8_t kRunOpaque = 0x40;
constexpr std::uint8_t kRunTranslucent = 0x80;
constexpr std::uint8_t kRunEndOfRow = 0xC0;
constexpr int kRunMaxLength = 64;

// Writes the rectangle (srcX, srcY, width, height) of `src` at (dstX, dstY) of
// the view; `alpha` (or null) supplies the alpha channel. Negative when the
// converter fails or the rectangle leaves either image.
int CopyBaseImageToMemImg(const BaseImage* src, const BaseImage* alpha, MEMIMG* view, int srcX, int srcY, int width,
                          int height, int dstX, int dstY, int useColorKey);

// Copies rect of `src` (null: all of it) to (x, y) of `dst` through the
// converter. 0, or -1 on failure (an empty rectangle included).
int DrawMemImgSimple(MEMIMG* dst, const MEMIMG* src, const Rect* rect, int x, int y);

// Rebuilds the alpha plane and run table of the view's block from the view's
// pixels, as after a whole-image write; clears both valid flags when the block
// cannot have them (format 2 or 3, no run table).
void RebuildMemImgDerivedBuffers(MEMIMG* view);

}  // namespace qz
