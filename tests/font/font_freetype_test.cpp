// The GDI font stand-in over the installed fonts: face matching, GDI's
// metrics and bitmap layouts, and the cache and drawing with the game's
// default font, checked by properties since rasterisers differ.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "core/log_text.h"
#include "core/window_state.h"
#include "font/default_font.h"
#include "font/font_handle.h"
#include "font/font_internal.h"
#include "font/text_draw.h"
#include "platform/gdi_font.h"
#include "tests/font/font_test_support.h"
#include "tests/graphics/draw_test_support.h"

namespace qz {
namespace {

bool GothicInstalled() { return access("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", R_OK) == 0; }

plat::HFONT MakeGothic(int height, std::uint32_t charset = plat::SHIFTJIS_CHARSET) {
  return plat::CreateFontA(height, 0, 0, 0, 600, 0, 0, 0, charset, plat::OUT_DEFAULT_PRECIS, plat::CLIP_DEFAULT_PRECIS,
                           plat::NONANTIALIASED_QUALITY, plat::FIXED_PITCH, text::kFontDefaultFace);
}

TEST(GdiFontTest, TheGothicFaceResolvesToAJapaneseGothic) {
  if (!GothicInstalled()) GTEST_SKIP() << "fonts-ipafont-gothic is not installed";
  plat::HFONT font = MakeGothic(18);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(std::string(plat::GetGdiFontFamily(font)).rfind("IPAGothic", 0), 0u) << plat::GetGdiFontFamily(font);
  plat::DeleteObject(font);
}

TEST(GdiFontTest, MetricsKeepGdisMeaning) {
  plat::HFONT font = MakeGothic(18);
  ASSERT_NE(font, nullptr);
  plat::HMEMDC context = plat::CreateCompatibleDC(nullptr);
  EXPECT_EQ(plat::SelectObject(context, font), nullptr);
  plat::TEXTMETRICA metrics = {};
  ASSERT_EQ(plat::GetTextMetricsA(context, &metrics), 1);
  EXPECT_EQ(metrics.tmHeight, 18);
  EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, 18);
  EXPECT_GT(metrics.tmAscent, metrics.tmDescent);
  EXPECT_GE(metrics.tmInternalLeading, 0);
  EXPECT_LT(metrics.tmInternalLeading, 18);
  EXPECT_GT(metrics.tmMaxCharWidth, 0);
  plat::DeleteObject(font);  // still selected: the context keeps using it
  EXPECT_EQ(plat::GetTextMetricsA(context, &metrics), 1);
  plat::DeleteDC(context);
}

TEST(GdiFontTest, GlyphBitmapsUseGdisRowLayouts) {
  plat::HFONT font = MakeGothic(18);
  plat::HMEMDC context = plat::CreateCompatibleDC(nullptr);
  plat::SelectObject(context, font);
  plat::TEXTMETRICA metrics = {};
  plat::GetTextMetricsA(context, &metrics);
  for (std::uint32_t code : {std::uint32_t{'A'}, std::uint32_t{'g'}, std::uint32_t{0x82A0}, std::uint32_t{0x8CEA}}) {
    for (std::uint32_t format : {plat::GGO_BITMAP, plat::GGO_GRAY4_BITMAP}) {
      plat::GLYPHMETRICS glyph = {};
      const std::uint32_t size = plat::GetGlyphOutlineA(context, code, format, &glyph, 0, nullptr, nullptr);
      ASSERT_NE(size, plat::GDI_ERROR);
      const std::uint32_t width = glyph.gmBlackBoxX;
      const std::uint32_t pitch = format == plat::GGO_BITMAP ? (width + 31) / 32 * 4 : (width + 3) & ~3u;
      EXPECT_GT(width, 0u) << code;
      EXPECT_EQ(size, pitch * glyph.gmBlackBoxY);
      EXPECT_GT(glyph.gmCellIncX, 0);
      EXPECT_LE(glyph.gmptGlyphOrigin.y, metrics.tmAscent + 1);
      std::vector<std::uint8_t> bits(size);
      EXPECT_EQ(plat::GetGlyphOutlineA(context, code, format, &glyph, size - 1, bits.data(), nullptr),
                plat::GDI_ERROR);
      ASSERT_EQ(plat::GetGlyphOutlineA(context, code, format, &glyph, size, bits.data(), nullptr), size);
      int set = 0;
      for (std::uint32_t y = 0; y < glyph.gmBlackBoxY; ++y) {
        for (std::uint32_t x = 0; x < pitch; ++x) {
          const std::uint8_t byte = bits[y * pitch + x];
          if (format == plat::GGO_GRAY4_BITMAP) {
            EXPECT_LE(byte, 16);
            EXPECT_TRUE(x < width || byte == 0);
          } else if (x * 8 >= width) {
            EXPECT_EQ(byte, 0);  // padding past the black box
          }
          set += byte != 0 ? 1 : 0;
        }
      }
      EXPECT_GT(set, 0);
    }
  }
  plat::DeleteObject(font);
  plat::DeleteDC(context);
}

// Every glyph with a box (spaces keep metrics only) left pixels in its cell,
// and every pixel a cell holds lies inside the box of the glyph cached there.
void ExpectPixelsInsideGlyphBoxes(const FontRecord& font) {
  const int margin = EdgeMargin(font);
  for (int cell = 0; cell < font.cellCount; ++cell) {
    const GlyphCacheEntry& entry = font.entries[cell];
    const int right = entry.inUse != 0 ? entry.width + 2 * margin : 0;
    const int bottom = entry.inUse != 0 ? entry.height + 2 * margin : 0;
    int inside = 0;
    for (int y = 0; y < font.cellWidth; ++y) {
      for (int x = 0; x < font.cellWidth; ++x) {
        const int pixel = testing::CachePixel(font, x, cell * font.cellWidth + y);
        if (x < right && y < bottom) {
          inside += pixel != 0 ? 1 : 0;
        } else {
          ASSERT_EQ(pixel, 0) << "cell " << cell;
        }
      }
    }
    const bool space =
        entry.inUse != 0 && (entry.codeSlot == &font.codeMap[0x20] || entry.codeSlot == &font.codeMap[0x4081]);
    EXPECT_TRUE(entry.inUse == 0 || space || entry.width == 0 || inside > 0) << "cell " << cell;
  }
}

TEST(GdiFontTest, DefaultGameFontMeasuresAndCachesWithinItsCells) {
  GetDrawSettings().brightness = {255, 255, 255, 0};
  const std::int32_t destroyed = GetWindowSystemState().destroyed;
  GetWindowSystemState().destroyed = 0;  // an earlier test's library end
  InitFontDefaults();
  SetDefaultFontType(1);
  SetDefaultFontFace(text::kFontDefaultFace, -1);
  SetDefaultFontSize(18);
  const int handle = QueryDefaultFontHandle();
  const FontRecord* font = GetFontRecord(handle);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->type, 1);
  const char* texts[] = {"Veltrin! P 0123", "\x83\x51\x81\x5B\x83\x80\x83\x49\x81\x5B\x83\x6F\x81\x5B",
                         "Mixed \x93\xfa\x96\x7b\x8c\xea text"};
  for (const char* text : texts) {
    const int width = MeasureTextWidthDefaultFont(text, -1, 0);
    EXPECT_GT(width, 0) << text;
    GlyphCode codes[64];
    int count = 0;
    CacheStringGlyphs(-1, text, handle, codes, &count);
    int sum = 0;
    for (int i = 0; i < count; ++i) {
      const GlyphCodeSlot& slot = font->codeMap[GlyphCodeIndex(codes[i])];
      ASSERT_EQ(slot.present, 1);
      EXPECT_GT(slot.entry->advance, 0);
      sum += slot.entry->advance;
    }
    EXPECT_EQ(width, sum) << text;
  }
  ExpectPixelsInsideGlyphBoxes(*font);
  TerminateFontSystem();
  GetWindowSystemState().destroyed = destroyed;
}

TEST(GdiFontTest, DefaultGameFontDrawsOnBothRenderers) {
  for (auto renderer : {testing::Renderer::kDevice, testing::Renderer::kSoftware}) {
    testing::DrawingLibrary library(renderer);
    testing::PaintBackScreen(0, 0, 128);
    SetDefaultFontType(1);
    SetDefaultFontFace(text::kFontDefaultFace, -1);
    SetDefaultFontSize(18);
    EXPECT_EQ(DrawTextDefaultFont(20, 40, "Ag \x82\xA0\x8A\xBF", MakeColorValue(255, 255, 255),
                                  MakeColorValue(0, 0, 0)), 0);
    const testing::Frame frame = testing::ReadBackScreen();
    const int cellHeight = GetFontRecord(QueryDefaultFontHandle())->cellHeight;
    int white = 0;
    int black = 0;
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) {
        const std::uint32_t pixel = frame.At(x, y);
        if (pixel == 0x000080) continue;
        EXPECT_TRUE(y >= 40 - cellHeight && y < 40 + cellHeight && x >= 18) << x << "," << y;
        white += pixel == 0xFFFFFF ? 1 : 0;
        black += pixel == 0x000000 ? 1 : 0;
      }
    }
    EXPECT_GT(white, 30);
    EXPECT_GT(black, 30);
  }
}

}  // namespace
}  // namespace qz
