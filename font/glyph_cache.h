// The glyph cache of a font: cells, the code map, round-robin eviction and
// the rendering of glyphs (with their edge) into the cache.
#pragma once

#include <cstdint>

#include "font/font_record.h"

namespace qz {

// A character as the text routines pass it: first byte, second byte or 0, 0.
struct GlyphCode {
  std::uint8_t bytes[3];
};

inline int GlyphCodeIndex(const GlyphCode& code) { return code.bytes[0] | code.bytes[1] << 8; }
// The single-byte space and the full-width space (0x81 0x40).
inline bool IsSpaceCode(const GlyphCode& code) {
  return (code.bytes[0] == 0x20 && code.bytes[1] == 0) || (code.bytes[0] == 0x81 && code.bytes[1] == 0x40);
}

int ClearFontGlyphCache(int handle);
// Makes the cache graph(s) when the re-creation flag is set. 0, or -1.
int CreateFontCacheGraph(int handle);
// Splits `length` bytes of `text` (-1: all, stopping at the terminator) into
// `codes` (room for length entries) and renders the distinct uncached ones.
// `count` receives the number of characters. 0, or -1.
int CacheStringGlyphs(int length, const char* text, int handle, GlyphCode* codes, int* count);
// The entry of the last glyph rendered, or null.
GlyphCacheEntry* RenderGlyphToCache(int handle, int count, const GlyphCode* codes);
// Top-left pixel of a cell in the cache (the texture cache adds 1 to both).
void GetGlyphCellPosition(const FontRecord& font, int cell, int* x, int* y);

}  // namespace qz
