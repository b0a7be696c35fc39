// Fonts over the synthetic glyph source for exact tests: installed for the
// test's life, every font deleted at its end, brightness white so colours
// pass unchanged, and the memory cache (no graphics started). A library ended
// by an earlier test leaves its window marked destroyed, which refuses fonts;
// the mark is lifted for the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "core/window_state.h"
#include "font/font_handle.h"
#include "font/glyph_cache.h"
#include "graphics/draw_settings_block.h"
#include "platform/gdi_font.h"
#include "platform/glyph_provider.h"

namespace qz::testing {

class SyntheticFonts {
 public:
  SyntheticFonts() {
    plat::SetGlyphProviderForTest(&provider);
    windowDestroyed_ = GetWindowSystemState().destroyed;
    GetWindowSystemState().destroyed = 0;
    GetDrawSettings().brightness = {255, 255, 255, 0};
    GetDrawSettings().skipDrawing = 0;
  }
  ~SyntheticFonts() {
    DeleteAllFontHandles();
    plat::SetGlyphProviderForTest(nullptr);
    GetWindowSystemState().destroyed = windowDestroyed_;
  }
  SyntheticFonts(const SyntheticFonts&) = delete;
  SyntheticFonts& operator=(const SyntheticFonts&) = delete;

  plat::SyntheticGlyphProvider provider;

 private:
  std::int32_t windowDestroyed_;
};

// A one-byte character code for the cache functions.
inline GlyphCode Code(unsigned char first, unsigned char second = 0) { return GlyphCode{{first, second, 0}}; }

// The byte of a memory-cache pixel (8-bit caches) or its bit (type 0).
inline int CachePixel(const FontRecord& font, int x, int y) {
  const std::uint8_t* row = font.memoryCache + static_cast<std::ptrdiff_t>(y) * font.memoryPitch;
  if (font.memoryBitsPerPixel == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
  return row[x];
}

}  // namespace qz::testing
