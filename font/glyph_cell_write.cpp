// Glyph cells. The glyph sits at the cell's corner, moved in by the edge
// size for edge fonts so the edge fits on every side; anything larger than
// the cell is cut, so a glyph never reaches a neighbouring cell or past the
// cache.
#include "font/glyph_cell_write.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "font/font_internal.h"
#include "font/glyph_cache.h"

namespace qz {
namespace {

int GlyphLevel(const GlyphBitmap& glyph, int x, int y) {
  const std::uint8_t* row = glyph.bits + static_cast<std::ptrdiff_t>(y) * glyph.pitch;
  if (glyph.grey) return row[x];
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// Levels of the glyph over the cell area it may use, and of its edge: the
// edge of a 1-bit glyph is 1 wherever the mask reaches; the edge of a grey
// glyph takes the largest level reaching it (memory cells) or the
// accumulated coverage (texture cells).
struct CellGrids {
  int side;
  std::vector<std::uint8_t> glyph;
  std::vector<std::uint8_t> edge;
};

void FillGrids(const FontRecord& font, const GlyphBitmap& glyph, int keptWidth, int keptHeight, CellGrids* grids) {
  const int margin = EdgeMargin(font);
  const int side = UsableCellSize(font);
  grids->side = side;
  grids->glyph.assign(static_cast<std::size_t>(side) * side, 0);
  for (int y = 0; y < keptHeight; ++y) {
    for (int x = 0; x < keptWidth; ++x) {
      grids->glyph[static_cast<std::size_t>(y + margin) * side + x + margin] =
          static_cast<std::uint8_t>(GlyphLevel(glyph, x, y));
    }
  }
  if ((font.type & kFontTypeEdge) == 0) return;
  grids->edge.assign(grids->glyph.size(), 0);
  const int e = font.edgeSize;
  const bool accumulate = font.textureCache != 0 && (font.type & kFontTypeAntialiased) != 0;
  for (int y = margin; y < margin + keptHeight; ++y) {
    for (int x = margin; x < margin + keptWidth; ++x) {
      const int level = grids->glyph[static_cast<std::size_t>(y) * side + x];
      if (level == 0) continue;
      for (int dy = -e; dy <= e; ++dy) {
        for (int dx = -e; dx <= e; ++dx) {
          const int ex = x + dx;
          const int ey = y + dy;
          if (ex < 0 || ey < 0 || ex >= side || ey >= side || !EdgeMaskCovers(e, dx, dy)) continue;
          std::uint8_t& edge = grids->edge[static_cast<std::size_t>(ey) * side + ex];
          if (accumulate) {
            edge = static_cast<std::uint8_t>((256 - (16 - edge) * (16 - level)) >> 4);
          } else {
            edge = std::max<std::uint8_t>(edge, static_cast<std::uint8_t>(level));
          }
        }
      }
    }
  }
}

std::uint16_t* CopyPixel(FontRecord& font, int x, int y) {
  return reinterpret_cast<std::uint16_t*>(font.copyPixels + static_cast<std::ptrdiff_t>(y) * font.copyPitch) + x;
}

std::uint32_t ColorBits(const FontRecord& font) {
  return font.cacheFormat.redMask | font.cacheFormat.greenMask | font.cacheFormat.blueMask;
}

void WriteTextureCell(FontRecord& font, int cellX, int cellY, const CellGrids& grids) {
  const bool grey = (font.type & kFontTypeAntialiased) != 0;
  const std::uint32_t solid = font.cacheFormat.alphaMask | ColorBits(font);
  const std::uint32_t clear = ColorBits(font);
  for (int y = 0; y < grids.side; ++y) {
    for (int x = 0; x < grids.side; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * grids.side + x;
      const int level = grids.glyph[at];
      const std::uint32_t glyphValue = grey ? TextureLevelValue(font, level) : (level != 0 ? solid : clear);
      *CopyPixel(font, cellX + x, cellY + y) = static_cast<std::uint16_t>(glyphValue);
      if (grids.edge.empty()) continue;
      const int edge = grids.edge[at];
      const std::uint32_t edgeValue = grey ? TextureLevelValue(font, edge) : (edge != 0 ? solid : clear);
      *CopyPixel(font, font.cacheWidth + cellX + x, cellY + y) = static_cast<std::uint16_t>(edgeValue);
    }
  }
}

void WriteMemoryCell(FontRecord& font, int cellX, int cellY, const CellGrids& grids) {
  for (int y = 0; y < grids.side; ++y) {
    std::uint8_t* row = font.memoryCache + static_cast<std::ptrdiff_t>(cellY + y) * font.memoryPitch;
    for (int x = 0; x < grids.side; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * grids.side + x;
      const int level = grids.glyph[at];
      const int px = cellX + x;
      switch (font.type) {
        case 0:
          if (level != 0) row[px >> 3] |= static_cast<std::uint8_t>(0x80 >> (px & 7));
          break;
        case kFontTypeEdge:
          row[px] = level != 0 ? 1 : (grids.edge[at] != 0 ? 2 : 0);
          break;
        case kFontTypeAntialiased:
          row[px] = static_cast<std::uint8_t>(level != 0 ? level - 1 : 0);
          break;
        default: {
          const int edge = grids.edge[at];
          row[px] = static_cast<std::uint8_t>((edge != 0 ? edge - 1 : 0) << 4 | (level != 0 ? level - 1 : 0));
          break;
        }
      }
    }
  }
}

}  // namespace

bool EdgeMaskCovers(int edgeSize, int dx, int dy) {
  if (edgeSize <= 1) return dx == 0 || dy == 0;
  if (edgeSize >= 5) return true;
  return dx * dx + dy * dy <= edgeSize * edgeSize + edgeSize;
}

std::uint32_t TextureLevelValue(const FontRecord& font, int level) {
  const std::uint32_t colour = ColorBits(font);
  if (level == 0) return colour;
  const unsigned top = font.cacheFormat.alphaShift + font.cacheFormat.alphaWidth;
  const std::uint32_t scaled = top >= 4 ? static_cast<std::uint32_t>(level) << (top - 4)
                                        : static_cast<std::uint32_t>(level) >> (4 - top);
  return ((scaled - 1u) | colour) & 0xFFFFu;
}

void ClearGlyphCell(FontRecord& font, int cell) {
  int cellX = 0;
  int cellY = 0;
  GetGlyphCellPosition(font, cell, &cellX, &cellY);
  const int side = UsableCellSize(font);
  if (font.textureCache != 0) {
    const std::uint16_t clear = static_cast<std::uint16_t>(ColorBits(font));
    const int halves = (font.type & kFontTypeEdge) != 0 ? 2 : 1;
    for (int half = 0; half < halves; ++half) {
      for (int y = 0; y < side; ++y) {
        std::fill_n(CopyPixel(font, half * font.cacheWidth + cellX, cellY + y), side, clear);
      }
    }
    return;
  }
  const int rowBytes = (side * font.memoryBitsPerPixel + 7) / 8;
  const int firstByte = cellX * font.memoryBitsPerPixel / 8;
  for (int y = 0; y < side; ++y) {
    std::memset(font.memoryCache + static_cast<std::ptrdiff_t>(cellY + y) * font.memoryPitch + firstByte, 0,
                static_cast<std::size_t>(rowBytes));
  }
}

void WriteGlyphToCell(FontRecord& font, int cell, const GlyphBitmap& glyph, int* keptWidth, int* keptHeight) {
  const int room = std::max(0, UsableCellSize(font) - 2 * EdgeMargin(font));
  *keptWidth = std::clamp(glyph.width, 0, room);
  *keptHeight = std::clamp(glyph.height, 0, room);
  CellGrids grids;
  FillGrids(font, glyph, *keptWidth, *keptHeight, &grids);
  int cellX = 0;
  int cellY = 0;
  GetGlyphCellPosition(font, cell, &cellX, &cellY);
  if (font.textureCache != 0) {
    WriteTextureCell(font, cellX, cellY, grids);
  } else {
    WriteMemoryCell(font, cellX, cellY, grids);
  }
}

}  // namespace qz
