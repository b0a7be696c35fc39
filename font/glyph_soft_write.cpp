// The software text path's glyph writes. Cells hold bits (type 0), 1 for
// glyph and 2 for edge (type 1), levels less one (type 2), or an edge level
// and a glyph level in the two nibbles (type 3); anti-aliased types go into
// an image with an alpha channel.
#include "font/glyph_soft_write.h"

#include "core/rect.h"
#include "font/font_internal.h"
#include "font/glyph_cache.h"
#include "graphics/color_value.h"
#include "graphics/draw_settings_block.h"

namespace qz {
namespace {

void StorePixel(std::uint8_t* at, int bytesPerPixel, std::uint32_t value) {
  switch (bytesPerPixel) {
    case 1: *at = static_cast<std::uint8_t>(value); break;
    case 2: *reinterpret_cast<std::uint16_t*>(at) = static_cast<std::uint16_t>(value); break;
    default: *reinterpret_cast<std::uint32_t*>(at) = value; break;
  }
}

// 0 empty, 1 glyph, 2 edge: the cell pixel of a font of `fontType` that is
// not anti-aliased.
int SolidCellPixel(int fontType, const std::uint8_t* row, int px) {
  if (fontType == 0) return (row[px >> 3] >> (7 - (px & 7))) & 1;
  return row[px];
}

// Colour and alpha of an anti-aliased cell pixel; alpha 0 leaves it empty.
void GreyCellPixel(int fontType, const std::uint8_t* row, int px, const TextColors& colors, int* red, int* green,
                   int* blue, int* alpha) {
  if (fontType == kFontTypeAntialiased) {
    MixEdgeAndGlyph(0, row[px], colors, red, green, blue, alpha);
  } else {
    MixEdgeAndGlyph(row[px] >> 4, row[px] & 15, colors, red, green, blue, alpha);
  }
}

int ScaledChannel(int channel, int brightness) { return channel * brightness / 255; }

// What a glyph write needs, read out of the font and image records once per
// glyph: the pixel stores could alias the records, which would otherwise be
// read again for every pixel.
struct GlyphWrite {
  int fontType;
  const std::uint8_t* cells;
  std::ptrdiff_t cellPitch;
  std::uint8_t* pixels;
  std::ptrdiff_t pitch;
  int bytesPerPixel;
  const PixelFormatDescriptor* desc;
  std::uint32_t glyph, edge;  // pixels of a font that is not anti-aliased
  TextColors colors;
  int cellX, cellY;  // the glyph's cell in the cache
  int x, y;          // where the cell's (0, 0) lands
  bool transparent;
};

// Writes the cell over `area`: (u, v) of the cell lands on (x + u, y + v), or
// on (x - 1 - v, y + u) for vertical text.
template <bool kVertical, bool kGrey>
void WritePixels(const GlyphWrite& write, const Rect& area) {
  // Scalars no pixel store can alias, kept in registers.
  const int fontType = write.fontType;
  const std::uint8_t* const cells = write.cells;
  const std::ptrdiff_t cellPitch = write.cellPitch;
  std::uint8_t* const pixels = write.pixels;
  const std::ptrdiff_t pitch = write.pitch;
  const int bytesPerPixel = write.bytesPerPixel;
  const std::uint32_t glyph = write.glyph;
  const std::uint32_t edge = write.edge;
  const int cellX = write.cellX, cellY = write.cellY, x = write.x, y = write.y;
  const bool transparent = write.transparent;
  for (int py = area.top; py < area.bottom; ++py) {
    std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(py) * pitch;
    for (int px = area.left; px < area.right; ++px) {
      const int u = kVertical ? py - y : px - x;
      const int v = kVertical ? x - 1 - px : py - y;
      const std::uint8_t* cellRow = cells + static_cast<std::ptrdiff_t>(cellY + v) * cellPitch;
      std::uint8_t* at = row + px * bytesPerPixel;
      if constexpr (!kGrey) {
        const int kind = SolidCellPixel(fontType, cellRow, cellX + u);
        if (kind != 0 || !transparent) StorePixel(at, bytesPerPixel, kind == 1 ? glyph : kind == 2 ? edge : 0);
      } else {
        int red = 0;
        int green = 0;
        int blue = 0;
        int alpha = 0;
        GreyCellPixel(fontType, cellRow, cellX + u, write.colors, &red, &green, &blue, &alpha);
        if (alpha != 0) {
          StorePixel(at, bytesPerPixel,
                     PackColorByDescriptor(write.desc, red, green, blue, static_cast<std::uint8_t>(alpha)));
        } else if (!transparent) {
          StorePixel(at, bytesPerPixel, 0);
        }
      }
    }
  }
}

}  // namespace

TextColors ScaleTextColors(std::uint32_t color, std::uint32_t edgeColor) {
  const DrawBrightness& brightness = GetDrawSettings().brightness;
  int red = 0;
  int green = 0;
  int blue = 0;
  TextColors colors = {};
  SplitColorValue(color, &red, &green, &blue);
  colors.textRed = ScaledChannel(red, brightness.red);
  colors.textGreen = ScaledChannel(green, brightness.green);
  colors.textBlue = ScaledChannel(blue, brightness.blue);
  SplitColorValue(edgeColor, &red, &green, &blue);
  colors.edgeRed = ScaledChannel(red, brightness.red);
  colors.edgeGreen = ScaledChannel(green, brightness.green);
  colors.edgeBlue = ScaledChannel(blue, brightness.blue);
  return colors;
}

void MixEdgeAndGlyph(int e, int g, const TextColors& colors, int* red, int* green, int* blue, int* alpha) {
  if (g == 0 && e == 0) {
    *red = *green = *blue = *alpha = 0;
    return;
  }
  if (g == 0) {
    *red = colors.edgeRed, *green = colors.edgeGreen, *blue = colors.edgeBlue;
    *alpha = e * 16;
    return;
  }
  if (g == 15) {
    *red = colors.textRed, *green = colors.textGreen, *blue = colors.textBlue;
    *alpha = 255;
    return;
  }
  const int a = (e * (15 - g) + g * 16) & 0xFF;
  const int factor = (g << 12) / a;
  *red = colors.edgeRed + ((colors.textRed - colors.edgeRed) * factor >> 8);
  *green = colors.edgeGreen + ((colors.textGreen - colors.edgeGreen) * factor >> 8);
  *blue = colors.edgeBlue + ((colors.textBlue - colors.edgeBlue) * factor >> 8);
  *alpha = a;
}

void WriteGlyphToMemImg(const FontRecord& font, const GlyphCacheEntry& entry, MEMIMG* dest, const Rect& clip, int x,
                        int y, bool vertical, bool transparent, const TextColors& colors) {
  const int margin = EdgeMargin(font);
  const int boxWidth = entry.width + 2 * margin;
  const int boxHeight = entry.height + 2 * margin;
  // The box on the image (see WritePixels).
  Rect area = vertical ? Rect{x - boxHeight, y, x, y + boxWidth} : Rect{x, y, x + boxWidth, y + boxHeight};
  Rect bounds = clip;
  const Rect image = {0, 0, dest->width, dest->height};
  ClipRect(&bounds, &image);
  ClipRect(&area, &bounds);
  if (area.left >= area.right || area.top >= area.bottom) return;

  int cellX = 0;
  int cellY = 0;
  GetGlyphCellPosition(font, entry.cell, &cellX, &cellY);
  const PixelFormatDescriptor* desc = dest->block->colorDesc;
  const int bytesPerPixel = desc->bytesPerPixel;
  const bool grey = (font.type & kFontTypeAntialiased) != 0;
  const GlyphWrite write{font.type,
                         font.memoryCache,
                         font.memoryPitch,
                         dest->pixels,
                         dest->block->pitch,
                         bytesPerPixel,
                         desc,
                         PackColorByDescriptor(desc, colors.textRed, colors.textGreen, colors.textBlue, 255),
                         PackColorByDescriptor(desc, colors.edgeRed, colors.edgeGreen, colors.edgeBlue, 255),
                         colors,
                         cellX,
                         cellY,
                         x,
                         y,
                         transparent};
  // Each kind of write gets a loop of its own, without per-pixel choices.
  if (grey) {
    vertical ? WritePixels<true, true>(write, area) : WritePixels<false, true>(write, area);
  } else {
    vertical ? WritePixels<true, false>(write, area) : WritePixels<false, false>(write, area);
  }
}

}  // namespace qz
