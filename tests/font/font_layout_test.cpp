// Text layout over the synthetic glyph source: measuring, the lead-byte walk,
// and the software path's glyph pixels in a software image.
#include <gtest/gtest.h>

#include <string>

#include "font/default_font.h"
#include "font/font_handle.h"
#include "font/font_record.h"
#include "font/glyph_soft_write.h"
#include "font/text_draw.h"
#include "graphics/color_value.h"
#include "softrender/mem_img.h"
#include "tests/font/font_test_support.h"

namespace qz {
namespace {

using testing::SyntheticFonts;

int Measure(int handle, const char* text, int length = -1, int vertical = 0, TextSize* size = nullptr) {
  return LayoutAndDrawText(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, handle, 0, length, vertical, size);
}

// A 32-bit software image cleared to `fill`, released with the test.
class Canvas {
 public:
  Canvas(int width, int height, std::uint32_t fill = 0x123456) {
    EXPECT_EQ(InitMemImg(&image, width, height, kMemImgFormatXrgb32), 0);
    FillMemImgArea(&image, nullptr, fill);
  }
  ~Canvas() { ReleaseMemImg(&image); }
  std::uint32_t At(int x, int y) const {
    return *reinterpret_cast<const std::uint32_t*>(image.pixels + y * image.block->pitch + x * 4) & 0xFFFFFF;
  }
  int Draw(int handle, const char* text, int x, int y, int transparent = 1, int vertical = 0,
           const Rect* clip = nullptr) {
    return LayoutAndDrawText(1, x, y, 0, 1.0, 1.0, text, MakeColorValue(255, 255, 255), &image, clip, transparent,
                             handle, MakeColorValue(0, 0, 255), -1, vertical, nullptr);
  }
  MEMIMG image = {};
};

TEST(TextMeasureTest, WidthIsTheSumOfAdvancesAndSpacing) {
  SyntheticFonts fonts;
  fonts.provider.glyphs[' '] = {0, 0, 0, 0, 5, {}};
  fonts.provider.glyphs[0x82A0] = {12, 12, 1, 12, 16, {}};
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  EXPECT_EQ(Measure(handle, "ab"), 16);
  EXPECT_EQ(Measure(handle, "a b"), 21);
  EXPECT_EQ(Measure(handle, "\x82\xA0" "a"), 24);
  EXPECT_EQ(Measure(handle, "ab", 10), 16);
  EXPECT_EQ(Measure(handle, "abc", 2), 16);
  EXPECT_EQ(Measure(handle, ""), 0);
  TextSize size = {};
  Measure(handle, "abc", -1, 0, &size);
  EXPECT_EQ(size.width, 24);
  EXPECT_EQ(size.height, 16);
  Measure(handle, "abc", -1, 1, &size);
  EXPECT_EQ(size.width, 16);
  EXPECT_EQ(size.height, 24);
  SetFontExtraSpacing(-2, handle);
  EXPECT_EQ(Measure(handle, "abc"), 18);
  EXPECT_EQ(Measure(-1, "abc"), -1);
}

TEST(TextMeasureTest, LongStringsMeasureLikeTheirParts) {
  SyntheticFonts fonts;
  fonts.provider.glyphs['i'] = {2, 10, 0, 10, 3, {}};
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  std::string part;
  for (int i = 0; i < 100; ++i) part += (i % 3 == 0) ? "i" : (i % 3 == 1 ? "\x82\xA0" : "x");
  const std::string whole = part + part + part;
  ASSERT_GT(whole.size(), 256u);
  EXPECT_EQ(Measure(handle, whole.c_str()), 3 * Measure(handle, part.c_str()));
}

TEST(TextMeasureTest, DefaultFontMeasuresThroughItsSettings) {
  SyntheticFonts fonts;
  InitFontDefaults();
  SetDefaultFontSize(18);
  EXPECT_EQ(MeasureTextWidthDefaultFont("abcd", -1, 0), 32);
  EXPECT_EQ(MeasureTextWidthDefaultFont("abcd", 3, 0), 24);
  TerminateFontSystem();
}

TEST(SoftTextTest, PlainGlyphsWriteTheTextColourOnlyWhereSet) {
  SyntheticFonts fonts;
  // A 3 x 2 glyph: set, clear, set / clear, set, clear; its top on the ascent.
  fonts.provider.glyphs['m'] = {3, 2, 1, 14, 4, {16, 0, 16, 0, 16, 0}};
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  Canvas canvas(32, 32);
  EXPECT_EQ(canvas.Draw(handle, "m", 10, 5), 4);
  EXPECT_EQ(canvas.At(11, 5), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(12, 5), 0x123456u);
  EXPECT_EQ(canvas.At(13, 5), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(12, 6), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(10, 5), 0x123456u);
  canvas.Draw(handle, "m", 10, 5, 0);
  EXPECT_EQ(canvas.At(12, 5), 0u);  // the empty pixels of the box are written
  EXPECT_EQ(canvas.At(14, 5), 0x123456u);
}

TEST(SoftTextTest, EdgeFontsWriteTheEdgeColourAroundTheGlyph) {
  SyntheticFonts fonts;
  fonts.provider.glyphs['.'] = {1, 1, 0, 14, 4, {}};
  const int handle = CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1);
  Canvas canvas(32, 32);
  canvas.Draw(handle, ".", 10, 5);
  EXPECT_EQ(canvas.At(10, 5), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(9, 5), 0x0000FFu);  // an edge at the cell's left is not cut
  EXPECT_EQ(canvas.At(10, 4), 0x0000FFu);
  EXPECT_EQ(canvas.At(11, 5), 0x0000FFu);
  EXPECT_EQ(canvas.At(10, 6), 0x0000FFu);
  EXPECT_EQ(canvas.At(9, 4), 0x123456u);
}

TEST(SoftTextTest, ClipAndVerticalPlacement) {
  SyntheticFonts fonts;
  fonts.provider.glyphs['.'] = {1, 1, 2, 14, 4, {}};
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  Canvas canvas(40, 40);
  const Rect clip = {0, 0, 12, 40};
  canvas.Draw(handle, "..", 10, 5, 1, 0, &clip);
  EXPECT_EQ(canvas.At(12, 5), 0x123456u);  // the first dot lies on the clip's right edge
  canvas.Draw(handle, "..", 10, 20, 1, 0);
  EXPECT_EQ(canvas.At(12, 20), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(16, 20), 0xFFFFFFu);
  // Vertical: a quarter turn clockwise; the top of the line faces +x.
  Canvas turned(40, 40);
  turned.Draw(handle, "..", 10, 5, 1, 1);
  EXPECT_EQ(turned.At(10 + 16 - 1, 5 + 2), 0xFFFFFFu);
  EXPECT_EQ(turned.At(10 + 16 - 1, 5 + 4 + 2), 0xFFFFFFu);
}

TEST(SoftTextTest, HeightCorrectionMovesTheTextHalfItsOffset) {
  SyntheticFonts fonts;
  fonts.provider.internalLeading = 5;
  fonts.provider.glyphs['.'] = {1, 1, 0, 22, 4, {}};  // top on the ascent of the corrected font
  const int handle = CreateFontToHandle(nullptr, 18, 6, 0, 1, 1, 0, -1, -1);
  const FontRecord* font = GetFontRecord(handle);
  ASSERT_EQ(font->verticalOffset, 6);
  Canvas canvas(64, 64);
  canvas.Draw(handle, ".", 20, 20);
  EXPECT_EQ(canvas.At(20, 17), 0xFFFFFFu);
  Canvas turned(64, 64);
  turned.Draw(handle, ".", 20, 20, 1, 1);
  EXPECT_EQ(turned.At(20 - 3 + font->cellHeight - 1, 20), 0xFFFFFFu);
}

TEST(SoftTextTest, AntialiasedEdgeMixFollowsTheAlphaRule) {
  const TextColors colors = {255, 255, 255, 0, 0, 0};
  int r = 0;
  int g = 0;
  int b = 0;
  int a = 0;
  MixEdgeAndGlyph(0, 0, colors, &r, &g, &b, &a);
  EXPECT_EQ(a, 0);
  MixEdgeAndGlyph(5, 0, colors, &r, &g, &b, &a);
  EXPECT_EQ(a, 80);
  EXPECT_EQ(r, 0);
  MixEdgeAndGlyph(3, 15, colors, &r, &g, &b, &a);
  EXPECT_EQ(a, 255);
  EXPECT_EQ(r, 255);
  MixEdgeAndGlyph(15, 7, colors, &r, &g, &b, &a);
  EXPECT_EQ(a, 15 * 8 + 7 * 16);
  EXPECT_EQ(r, 255 * ((7 << 12) / 232) >> 8);
}

TEST(SoftTextTest, AntialiasedGlyphsWriteOnlyTheirBoxAndLeaveEmptyPixelsUnlessOpaque) {
  SyntheticFonts fonts;
  // Full, empty, half / empty, full, empty.
  fonts.provider.glyphs['m'] = {3, 2, 1, 14, 4, {16, 0, 8, 0, 16, 0}};
  fonts.provider.glyphs['.'] = {1, 1, 0, 14, 4, {16}};
  const int grey = CreateFontToHandle(nullptr, 16, 6, kFontTypeAntialiased, 1, 1, 0, -1, -1);
  Canvas canvas(32, 32);
  canvas.Draw(grey, "m", 10, 5);
  EXPECT_EQ(canvas.At(11, 5), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(13, 5), 0xFFFFFFu) << "a part level has the text colour";
  EXPECT_EQ(canvas.At(12, 5), 0x123456u) << "an empty pixel of a see-through write is left";
  EXPECT_EQ(canvas.At(11, 6), 0x123456u);
  canvas.Draw(grey, "m", 10, 5, 0);
  EXPECT_EQ(canvas.At(12, 5), 0u) << "an opaque write clears the empty pixels of its box";
  EXPECT_EQ(canvas.At(11, 7), 0x123456u) << "the row under the box";
  EXPECT_EQ(canvas.At(14, 5), 0x123456u) << "the column right of the box";
  // The anti-aliased edge font keeps edge and glyph levels in two nibbles.
  const int edged = CreateFontToHandle(nullptr, 16, 6, kFontTypeAntialiased | 1, 1, 1, 0, -1, -1);
  Canvas edgedCanvas(32, 32);
  edgedCanvas.Draw(edged, ".", 10, 5);
  EXPECT_EQ(edgedCanvas.At(10, 5), 0xFFFFFFu);
  EXPECT_EQ(edgedCanvas.At(9, 5), 0x0000FFu);
  EXPECT_EQ(edgedCanvas.At(10, 6), 0x0000FFu);
}

TEST(SoftTextTest, ThirtyDistinctCharactersThroughTwentyCells) {
  SyntheticFonts fonts;
  fonts.provider.maxWidth = 300;
  std::string text;
  for (int i = 0; i < 30; ++i) {
    const auto c = static_cast<unsigned char>('A' + i);
    fonts.provider.glyphs[c] = {i + 1, 1, 0, 14, 32, {}};
    text += static_cast<char>(c);
  }
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  ASSERT_EQ(GetFontRecord(handle)->cellCount, 20);
  Canvas canvas(30 * 32, 8);
  EXPECT_EQ(canvas.Draw(handle, text.c_str(), 0, 0), 30 * 32);
  for (int i = 0; i < 30; ++i) {
    int run = 0;
    while (run < 32 && canvas.At(i * 32 + run, 0) == 0xFFFFFFu) ++run;
    EXPECT_EQ(run, i + 1) << "character " << i;
  }
}

}  // namespace
}  // namespace qz
