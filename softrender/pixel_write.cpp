// Converter-driven writes into software images and the rebuild of the derived
// buffers (premultiplied-alpha plane, run table) after a whole-image write.
#include "softrender/pixel_write.h"

#include <cstring>

#include "image/pixel_convert.h"

namespace qz {
namespace {

// The converter takes its key as 0x00RRGGBB; a 16-bit key is widened with
// bit replication so it names the same colour.
std::uint32_t ConverterKey(const MemImgPixelBlock* b) {
  if (b->format != kMemImgFormatRgb565 || b->palettised) return b->transColor;
  const std::uint32_t r5 = (b->transColor >> 11) & 0x1F;
  const std::uint32_t g6 = (b->transColor >> 5) & 0x3F;
  const std::uint32_t b5 = b->transColor & 0x1F;
  return ((r5 << 3 | r5 >> 2) << 16) | ((g6 << 2 | g6 >> 4) << 8) | (b5 << 3 | b5 >> 2);
}

bool RectInside(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, std::int64_t width,
                std::int64_t height) {
  return left >= 0 && top >= 0 && left < right && top < bottom && right <= width && bottom <= height;
}

// 0 transparent, 1 opaque, 2 translucent.
int PixelKind(const MemImgPixelBlock* b, const std::uint8_t* p) {
  if (b->palettised) return *p == b->transColor ? 0 : 1;
  if (b->hasAlpha) {
    const int a = p[b->format == kMemImgFormatRgb565 ? 2 : 3];
    return a == 0 ? 0 : (a == 255 ? 1 : 2);
  }
  if (b->format == kMemImgFormatRgb565) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v == b->transColor ? 0 : 1;
  }
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v == b->transColor ? 0 : 1;
}

void BuildAlphaPlane(const MEMIMG* view) {
  const MemImgPixelBlock* b = view->block;
  for (int y = 0; y < view->height; ++y) {
    const std::uint8_t* src = view->pixels + static_cast<std::int64_t>(y) * b->pitch;
    std::uint8_t* dst = view->alphaPlane + static_cast<std::int64_t>(y) * b->pitch;
    for (int x = 0; x < view->width; ++x, src += 4, dst += 4) {
      std::uint32_t entry;
      if (b->format == kMemImgFormatRgb565) {
        const std::uint32_t a = src[2];
        const std::uint32_t w = static_cast<std::uint32_t>(src[0] | (src[1] << 8));
        const std::uint32_t r5 = ((w >> 11) & 0x1F) * a >> 8;
        const std::uint32_t g6 = ((w >> 5) & 0x3F) * a >> 8;
        const std::uint32_t b5 = (w & 0x1F) * a >> 8;
        entry = (r5 << 11) | (g6 << 5) | b5 | (a << 16);
      } else {
        const std::uint32_t a = src[3];
        entry = (src[0] * a >> 8) | ((src[1] * a >> 8) << 8) | ((src[2] * a >> 8) << 16) | (a << 24);
      }
      std::memcpy(dst, &entry, 4);
    }
  }
}

// Returns the runs written, row ends left out.
int BuildRunTable(const MEMIMG* view) {
  const MemImgPixelBlock* b = view->block;
  const int bpp = b->colorDesc->bytesPerPixel;
  std::uint8_t* out = b->runTable;
  int runs = 0;
  for (int y = 0; y < view->height; ++y) {
    const std::uint8_t* row = view->pixels + static_cast<std::int64_t>(y) * b->pitch;
    int x = 0;
    while (x < view->width) {
      const int kind = PixelKind(b, row + x * bpp);
      int n = 1;
      while (n < kRunMaxLength && x + n < view->width && PixelKind(b, row + (x + n) * bpp) == kind) ++n;
      *out++ = static_cast<std::uint8_t>((kind << 6) | (n - 1));
      ++runs;
      x += n;
    }
    *out++ = kRunEndOfRow;
  }
  return runs;
}

}  // namespace

void RebuildMemImgDerivedBuffers(MEMIMG* view) {
  if (!MemImgViewInsideBlock(view)) return;
  MemImgPixelBlock* b = view->block;
  b->alphaPlaneValid = 0;
  b->runTableValid = 0;
  if ((b->format != kMemImgFormatRgb565 && b->format != kMemImgFormatXrgb32) || b->runTable == nullptr) return;
  b->runTableValid = 1;
  b->runTableViewPixels = view->pixels;
  b->runTableViewWidth = view->width;
  b->runTableViewHeight = view->height;
  if (b->hasAlpha == 1 && b->alphaPlane != nullptr && view->alphaPlane != nullptr) {
    b->alphaPlaneValid = 1;
    BuildAlphaPlane(view);
  }
  b->runTableRuns = BuildRunTable(view);
}

int CopyBaseImageToMemImg(const BaseImage* src, const BaseImage* alpha, MEMIMG* view, int srcX, int srcY, int width,
                          int height, int dstX, int dstY, int useColorKey) {
  if (src == nullptr || src->pixels == nullptr || !MemImgViewInsideBlock(view)) return -1;
  const std::int64_t right = static_cast<std::int64_t>(srcX) + width;
  const std::int64_t bottom = static_cast<std::int64_t>(srcY) + height;
  if (!RectInside(srcX, srcY, right, bottom, src->width, src->height) ||
      !RectInside(dstX, dstY, static_cast<std::int64_t>(dstX) + width, static_cast<std::int64_t>(dstY) + height,
                  view->width, view->height)) {
    return -1;
  }
  if (alpha != nullptr && (alpha->pixels == nullptr || right > alpha->width || bottom > alpha->height)) return -1;

  MemImgPixelBlock* b = view->block;
  const Rect rect{srcX, srcY, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
  int result;
  if (b->format == kMemImgFormatMono8 || b->format == kMemImgFormatMono16) {
    result = ConvertColorFormatBlit(view->pixels, b->pitch, b->colorDesc, src->pixels, static_cast<int>(src->pitch),
                                    &src->format, nullptr, 0, nullptr, dstX, dstY, &rect, 0, 0, 0, 0, 1, 1, 0, 0);
  } else if (alpha != nullptr) {
    result = ConvertColorFormatBlit(view->pixels, b->pitch, b->colorDesc, src->pixels, static_cast<int>(src->pitch),
                                    &src->format, alpha->pixels, static_cast<int>(alpha->pitch), &alpha->format, dstX,
                                    dstY, &rect, 0, useColorKey, ConverterKey(b), 0, 0, 0, 0, 0);
    if (result < 0) return result;
  } else {
    result = ConvertColorFormatBlit(view->pixels, b->pitch, b->colorDesc, src->pixels, static_cast<int>(src->pitch),
                                    &src->format, nullptr, 0, nullptr, dstX, dstY, &rect, 0, useColorKey,
                                    ConverterKey(b), 0, 0, 0, 0, 0);
    if (result < 0) return result;
    if (b->palettised) b->paletteCount = result + 1;
  }

  if (b->palettised && b->palette != nullptr) {
    const PaletteEntry* entries = src->format.palette;
    if (b->format == kMemImgFormatRgb565) {
      for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint16_t>(((entries[i].red & 0xF8) << 8) | ((entries[i].green & 0xFC) << 3) |
                                                  (entries[i].blue >> 3));
        std::memcpy(b->palette + 2 * i, &v, 2);
      }
      std::memcpy(b->paletteCopy, b->palette, 512);
    } else {
      for (int i = 0; i < 256; ++i) {
        const std::uint32_t v = (static_cast<std::uint32_t>(entries[i].red) << 16) |
                                (static_cast<std::uint32_t>(entries[i].green) << 8) | entries[i].blue;
        std::memcpy(b->palette + 4 * i, &v, 4);
      }
      std::memcpy(b->paletteCopy, b->palette, 1024);
    }
  }

  b->alphaPlaneValid = 0;
  b->runTableValid = 0;
  if (width == view->width && height == view->height) RebuildMemImgDerivedBuffers(view);
  return result;
}

int DrawMemImgSimple(MEMIMG* dst, const MEMIMG* src, const Rect* rect, int x, int y) {
  if (!MemImgViewInsideBlock(dst) || !MemImgViewInsideBlock(src)) return -1;
  const Rect area = rect != nullptr ? *rect : Rect{0, 0, src->width, src->height};
  if (!RectInside(area.left, area.top, area.right, area.bottom, src->width, src->height) ||
      !RectInside(x, y, static_cast<std::int64_t>(x) + area.right - area.left,
                  static_cast<std::int64_t>(y) + area.bottom - area.top, dst->width, dst->height)) {
    return -1;
  }
  return ConvertColorFormatBlit(dst->pixels, dst->block->pitch, dst->block->colorDesc, src->pixels, src->block->pitch,
                                src->block->colorDesc, nullptr, 0, nullptr, x, y, &area, 0, 0, 0, 0, 0, 0, 0, 0);
}

}  // namespace qz
