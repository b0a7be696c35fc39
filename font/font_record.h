// A font: a GDI font of a face, size, thickness and character set, and a
// cache of its rendered glyphs in square cells. The cache is a texture graph
// (glyph half on the left, edge half on the right for edge fonts) fed from a
// software copy on the device path, else a memory block of 1 or 8 bits per
// pixel that the software text path reads.
#pragma once

#include <cstdint>

#include "image/base_image.h"
#include "platform/gdi_font.h"

namespace qz {

inline constexpr int kFontHandleCount = 40;
inline constexpr int kGlyphEntryCount = 2025;
inline constexpr int kMaxGlyphCells = 2024;
inline constexpr int kFontFaceBytes = 256;

// Font type bits.
inline constexpr int kFontTypeEdge = 1;
inline constexpr int kFontTypeAntialiased = 2;

struct GlyphCacheEntry;

struct GlyphCodeSlot {
  std::int32_t present;
  GlyphCacheEntry* entry;
};

struct GlyphCacheEntry {
  std::uint8_t inUse;
  std::int16_t xOffset;  // the glyph origin's x
  std::int16_t yOffset;  // ascent minus the glyph origin's y
  std::int16_t advance;
  std::int32_t cell;     // -1 past the last cell
  std::int16_t width;    // clipped to the cell
  std::int16_t height;
  GlyphCodeSlot* codeSlot;
};

struct FontRecord {
  std::int32_t check;
  std::int32_t* deleteNotify;
  GlyphCacheEntry entries[kGlyphEntryCount];
  // Indexed by the character's bytes read little-endian: first | second << 8.
  GlyphCodeSlot codeMap[65536];
  std::int32_t cellCount;
  std::int32_t nextEntry;
  std::uint8_t* memoryCache;
  std::int32_t memoryPitch;
  std::int32_t memoryBitsPerPixel;  // 1 for type 0, else 8
  std::int32_t thickness;
  std::int32_t size;
  std::int32_t cellHeight;
  std::int32_t verticalOffset;
  std::int32_t italic;
  std::int32_t extraSpacing;
  std::int32_t cellWidth;
  plat::HFONT font;
  std::int32_t type;
  std::int32_t charset;
  std::int32_t edgeSize;
  std::int32_t cacheWidth;
  std::int32_t cacheHeight;
  std::int32_t cellsPerColumn;
  std::int32_t glyphGraph;  // -1 none
  std::int32_t edgeGraph;   // -1 none
  std::int32_t graphNeedsRemake;
  PixelFormatDescriptor cacheFormat;
  std::int32_t copyPitch;
  std::int32_t copyHeight;
  std::int32_t copyBytes;
  std::uint8_t* copyPixels;
  std::int32_t textureCache;
  char face[kFontFaceBytes];
};

}  // namespace qz
