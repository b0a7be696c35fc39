// Text drawn on the started library, on both renderers: the texture cache
// through the graph draws and the memory cache through the software path
// must put the same pixels on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "core/log_text.h"
#include "font/default_font.h"
#include "font/font_handle.h"
#include "font/text_draw.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_graph_internal.h"
#include "graphics/draw_settings.h"
#include "graphics/vertex_batch.h"
#include "platform/d3d9.h"
#include "support/scratch_log.h"
#include "tests/font/font_test_support.h"
#include "tests/graphics/draw_test_support.h"

namespace qz {
namespace {

using testing::ChannelDifference;
using testing::CountDifferentPixels;
using testing::DrawingLibrary;
using testing::Frame;
using testing::Renderer;
using testing::SyntheticFonts;

// A glyph whose pixels tell rows and columns apart, so a flip or a shift of
// one pixel shows.
plat::SyntheticGlyph PatternGlyph(int width, int height, int originX, int originY, int advance) {
  plat::SyntheticGlyph glyph = {width, height, originX, originY, advance, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) glyph.greyLevels.push_back((x * 3 + y) % 4 == 0 ? 0 : 16);
  }
  return glyph;
}

void AddPatternGlyphs(plat::SyntheticGlyphProvider& provider) {
  provider.maxWidth = 10;
  provider.defaultGlyph = PatternGlyph(6, 9, 1, 11, 8);
  provider.glyphs['.'] = PatternGlyph(2, 2, 0, 2, 4);
  provider.glyphs['j'] = PatternGlyph(4, 12, -1, 9, 6);
  provider.glyphs[0x82A0] = PatternGlyph(9, 10, 1, 12, 12);
}

Frame DrawOn(Renderer renderer, const std::function<void()>& draw, int colorBits = 32) {
  SyntheticFonts fonts;
  AddPatternGlyphs(fonts.provider);
  testing::DrawingOptions options;
  options.colorBits = colorBits;
  DrawingLibrary library(renderer, options);
  testing::PaintBackScreen(40, 80, 120);
  draw();
  return testing::ReadBackScreen();
}

int MaxGap(const Frame& a, const Frame& b) {
  int worst = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) worst = std::max(worst, ChannelDifference(a.pixels[i], b.pixels[i]));
  return worst;
}

int CountColour(const Frame& frame, std::uint32_t rgb) {
  int count = 0;
  for (std::uint32_t pixel : frame.pixels) count += pixel == rgb ? 1 : 0;
  return count;
}

void DrawSample(int type) {
  const int handle = CreateFontToHandle(nullptr, 16, 6, type, 1, 1, 0, -1, -1);
  ASSERT_NE(handle, -1);
  const ColorValue white = MakeColorValue(255, 255, 255);
  const ColorValue red = MakeColorValue(255, 0, 0);
  EXPECT_EQ(DrawTextWithFont(10, 10, "Aj.\x82\xA0 x", white, handle, red, 0), 0);
  EXPECT_EQ(DrawTextWithFont(300, 20, "Aj.\x82\xA0 x", white, handle, red, 1), 0);
  SetFontExtraSpacing(3, handle);
  EXPECT_EQ(DrawTextWithFont(10, 100, "xx.xx", white, handle, red, 0), 0);
}

TEST(TextRenderersTest, PlainAndEdgeFontsDrawTheSamePixelsOnBothRenderers) {
  for (int bits : {32, 16}) {
    for (int type : {0, 1}) {
      const Frame device = DrawOn(Renderer::kDevice, [type] { DrawSample(type); }, bits);
      const Frame software = DrawOn(Renderer::kSoftware, [type] { DrawSample(type); }, bits);
      if (bits == 32) {
        EXPECT_GT(CountColour(software, 0xFFFFFF), 200) << "type " << type;
      }
      if (bits == 32 && type == 1) {
        EXPECT_GT(CountColour(software, 0xFF0000), 200);
      }
      EXPECT_EQ(CountDifferentPixels(device, software), 0) << bits << " bits, type " << type;
    }
  }
}

// White text with a black edge switches the brightness between white and
// not at every glyph; the device path still gathers the whole string into one
// batch and puts the software path's pixels on the screen.
TEST(TextRenderersTest, WhiteTextWithADarkEdgeIsOneBatchWithTheSamePixels) {
  int draws = -1;
  const auto draw = [&draws](bool device) {
    const int handle = CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1);
    ASSERT_NE(handle, -1);
    const ColorValue white = MakeColorValue(255, 255, 255);
    const ColorValue black = MakeColorValue(0, 0, 0);
    EXPECT_EQ(DrawTextWithFont(10, 10, "Aj.x", white, handle, black, 0), 0);  // caches the glyphs
    FlushVertexBatch();
    const int before = plat::GetD3D9CallCount("DrawPrimitiveUP");
    EXPECT_EQ(DrawTextWithFont(10, 40, "xAj.xAj.xAj.xAj.", white, handle, black, 0), 0);
    FlushVertexBatch();
    if (device) draws = plat::GetD3D9CallCount("DrawPrimitiveUP") - before;
  };
  const Frame device = DrawOn(Renderer::kDevice, [&] { draw(true); });
  const Frame software = DrawOn(Renderer::kSoftware, [&] { draw(false); });
  EXPECT_GT(CountColour(software, 0xFFFFFF), 100);
  EXPECT_GT(CountColour(software, 0x000000), 100);
  EXPECT_EQ(CountDifferentPixels(device, software), 0);
  EXPECT_EQ(draws, 1);
}

TEST(TextRenderersTest, BlendedAndAntialiasedTextGoesThroughTheWorkImage) {
  const auto draw = [] {
    const int plain = CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1);
    SetBlendModeAndParam(kBlendAlpha, 128);
    DrawTextWithFont(10, 10, "Aj.", MakeColorValue(255, 255, 255), plain, MakeColorValue(0, 0, 0), 0);
    SetBlendModeAndParam(kBlendNone, 0);
    const int smooth = CreateFontToHandle(nullptr, 16, 6, 3, 1, 1, 0, -1, -1);
    DrawTextWithFont(10, 50, "Aj.", MakeColorValue(255, 255, 255), smooth, MakeColorValue(0, 0, 0), 0);
  };
  const Frame software = DrawOn(Renderer::kSoftware, draw);
  const Frame device = DrawOn(Renderer::kDevice, draw);
  // Half white over the background, half black over it, untouched elsewhere.
  const std::uint32_t halfWhite = (40 + 255) / 2 << 16 | (80 + 255) / 2 << 8 | (120 + 255) / 2;
  int near = 0;
  for (std::uint32_t pixel : software.pixels) near += ChannelDifference(pixel, halfWhite) <= 2 ? 1 : 0;
  EXPECT_GT(near, 50);
  EXPECT_GT(CountColour(software, 0xFFFFFF), 50);
  EXPECT_GT(CountColour(device, 0xFFFFFF), 50);
  // The work image's key colour and zero alpha leave the background alone.
  EXPECT_GT(CountColour(software, 40 << 16 | 80 << 8 | 120), 640 * 480 - 3000);
  // The anti-aliased line: the software cell keeps 15 edge levels, the
  // texture 16, so a full edge differs by at most one sixteenth.
  int worst = 0;
  for (int y = 40; y < 80; ++y) {
    for (int x = 0; x < 80; ++x) worst = std::max(worst, ChannelDifference(device.At(x, y), software.At(x, y)));
  }
  EXPECT_LE(worst, 120 / 16);
}

TEST(TextRenderersTest, ScaledTextureTextCoversFourTimesThePixels) {
  SyntheticFonts fonts;
  AddPatternGlyphs(fonts.provider);
  DrawingLibrary library(Renderer::kDevice);
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  const ColorValue white = MakeColorValue(255, 255, 255);
  int counts[2][2] = {};
  for (int vertical : {0, 1}) {
    for (int scaled : {0, 1}) {
      testing::PaintBackScreen(0, 0, 0);
      const double scale = scaled != 0 ? 2.0 : 1.0;
      const int width = LayoutAndDrawText(1, 40, 40, scaled, scale, scale, "Aj.x", white, nullptr, nullptr, 1, handle,
                                          0, -1, vertical, nullptr);
      EXPECT_EQ(width, scaled != 0 ? 52 : 26);
      counts[vertical][scaled] = CountColour(testing::ReadBackScreen(), 0xFFFFFF);
    }
    EXPECT_GT(counts[vertical][0], 50);
    EXPECT_EQ(counts[vertical][1], 4 * counts[vertical][0]) << "vertical " << vertical;
  }
}

TEST(TextRenderersTest, TextureEdgeCoverageAccumulates) {
  SyntheticFonts fonts;
  fonts.provider.glyphs['v'] = {3, 1, 0, 5, 4, {8, 0, 8}};
  DrawingLibrary library(Renderer::kDevice);
  const int handle = CreateFontToHandle(nullptr, 16, 6, 3, 1, 1, 0, -1, -1);
  const FontRecord& font = *GetFontRecord(handle);
  ASSERT_EQ(font.textureCache, 1);
  ASSERT_EQ(font.cacheFormat.alphaMask, 0xF000u);
  const GlyphCode code = testing::Code('v');
  const GlyphCacheEntry* entry = RenderGlyphToCache(handle, 1, &code);
  ASSERT_NE(entry, nullptr);
  int cellX = 0;
  int cellY = 0;
  GetGlyphCellPosition(font, entry->cell, &cellX, &cellY);
  // Pixels of the software copy around the glyph, which sits one edge size
  // into its cell; the edge half lies one cache width to the right.
  const auto copy = [&](int x, int y) {
    return reinterpret_cast<const std::uint16_t*>(font.copyPixels + (cellY + 1 + y) * font.copyPitch)[cellX + 1 + x];
  };
  const auto edge = [&](int x, int y) { return copy(font.cacheWidth + x, y); };
  // Glyph half: level 8 is (8 x 0x1000 - 1) | 0x0FFF; nothing is 0x0FFF.
  EXPECT_EQ(copy(0, 0), 0x7FFF);
  EXPECT_EQ(copy(1, 0), 0x0FFF);
  // Edge half: one level-8 neighbour gives 8; two give (256 - 8 x 8) >> 4 = 12.
  EXPECT_EQ(edge(-1, 0), 0x7FFF);
  EXPECT_EQ(edge(1, 0), 0xBFFF);
  EXPECT_EQ(edge(1, -1), 0x0FFF);
}

// Strings in every font kind, overlapping, clipped and blended, on a patterned
// background so that every blend meets varied destinations.
void DrawTextScenes() {
  const ColorValue white = MakeColorValue(255, 255, 255);
  const ColorValue red = MakeColorValue(255, 0, 0);
  const char* const line = "Aj.\x82\xA0 xjA.x";
  int y = 4;
  for (int type : {0, 1, 2, 3}) {
    const int handle = CreateFontToHandle(nullptr, 16, 6, type, 1, 1, 0, -1, -1);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(DrawTextWithFont(4, y, line, white, handle, red, 0), 0);
    // Each glyph's edge over its neighbour's letter.
    SetFontExtraSpacing(-6, handle);
    EXPECT_EQ(DrawTextWithFont(200, y, line, MakeColorValue(255, 200, 0), handle, MakeColorValue(0, 0, 90), 0), 0);
    SetFontExtraSpacing(0, handle);
    // Cut by the clip through the glyphs, and off the screen's left edge.
    SetClipRectangle(400, y + 5, 470, y + 13);
    EXPECT_EQ(DrawTextWithFont(396, y, line, white, handle, red, 0), 0);
    SetClipRectangle(0, 0, 640, 480);
    EXPECT_EQ(DrawTextWithFont(-9, y + 22, line, white, handle, red, 0), 0);
    int x = 120;
    for (int mode : {kBlendAlpha, kBlendAdd, kBlendMul, kBlendInvert, kBlendMulBlend}) {
      SetBlendModeAndParam(mode, 150);
      EXPECT_EQ(
          DrawTextWithFont(x, y + 22, "Aj.x", MakeColorValue(90, 220, 140), handle, MakeColorValue(200, 40, 250), 0),
          0);
      x += 100;
    }
    SetBlendModeAndParam(kBlendNone, 0);
    y += 48;
  }
}

// Glyph cells drawn straight to the device builders put the pixels of one
// general sub-rectangle draw per cell on the screen, with the cache texture
// whole or cut into tiles.
TEST(TextRenderersTest, DirectGlyphCellsDrawWhatGeneralCellDrawsDraw) {
  for (int maxTextureSize : {0, 64}) {
    Frame frames[2];
    Frame background;
    for (bool direct : {true, false}) {
      SyntheticFonts fonts;
      AddPatternGlyphs(fonts.provider);
      testing::DrawingOptions options;
      options.maxTextureSize = maxTextureSize;
      DrawingLibrary library(Renderer::kDevice, options);
      AllowDirectGraphPartsForTest(direct);
      BlitGraph(0, 0, testing::MakePatternGraph(640, 480), 0);
      background = testing::ReadBackScreen();
      DrawTextScenes();
      AllowDirectGraphPartsForTest(true);
      frames[direct ? 0 : 1] = testing::ReadBackScreen();
    }
    EXPECT_EQ(CountDifferentPixels(frames[0], frames[1]), 0) << "largest texture " << maxTextureSize;
    EXPECT_GT(CountDifferentPixels(frames[0], background), 7000);
  }
}

TEST(TextEntriesTest, InvalidEmptyAndClippedTextsDrawNothing) {
  SyntheticFonts fonts;
  AddPatternGlyphs(fonts.provider);
  DrawingLibrary library(Renderer::kSoftware);
  testing::PaintBackScreen(0, 0, 0);
  testing::ScratchLog log;
  EXPECT_EQ(DrawTextWithFont(0, 0, "a", MakeColorValue(255, 255, 255), 0x20001234, 0, 0), -1);
  EXPECT_TRUE(log.Contains(text::kFontHandleInvalid));
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  EXPECT_EQ(DrawTextWithFont(0, 0, "", MakeColorValue(255, 255, 255), handle, 0, 0), 0);
  SelectDrawTarget(kFrontScreen);
  SetClipRectangle(0, 0, 100, 100);
  EXPECT_EQ(DrawTextWithFont(120, 10, "aaaa", MakeColorValue(255, 255, 255), handle, 0, 0), 0);
  SelectDrawTarget(kBackScreen);
  EXPECT_EQ(CountColour(testing::ReadBackScreen(), 0xFFFFFF), 0);
}

TEST(TextEntriesTest, TextWiderThanTheWorkImageIsCutToIt) {
  SyntheticFonts fonts;
  AddPatternGlyphs(fonts.provider);
  DrawingLibrary library(Renderer::kSoftware);
  testing::PaintBackScreen(0, 0, 0);
  const int handle = CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1);
  const std::string wide(120, 'A');
  SetBlendModeAndParam(kBlendAlpha, 128);
  EXPECT_EQ(DrawTextWithFont(-200, 10, wide.c_str(), MakeColorValue(255, 255, 255), handle, 0, 0), 0);
  SetBlendModeAndParam(kBlendNone, 0);
  const Frame frame = testing::ReadBackScreen();
  int lit = 0;
  int stray = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      if (frame.At(x, y) == 0) continue;
      ++(y >= 10 && y < 30 ? lit : stray);
    }
  }
  EXPECT_GT(lit, 2000);  // glyphs across the whole width
  EXPECT_EQ(stray, 0);
}

TEST(TextEntriesTest, NothingIsLaidOutOrRenderedWhileTheDeviceIsLost) {
  SyntheticFonts fonts;
  AddPatternGlyphs(fonts.provider);
  DrawingLibrary library(Renderer::kDevice);
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICELOST);
  const GlyphCode code = testing::Code('a');
  EXPECT_EQ(RenderGlyphToCache(handle, 1, &code), nullptr);
  EXPECT_EQ(LayoutAndDrawText(0, 0, 0, 0, 1.0, 1.0, "a", 0, nullptr, nullptr, 0, handle, 0, -1, 0, nullptr), -1);
  EXPECT_EQ(InitializeFontSystem(), -1);
  EXPECT_EQ(IsFontHandleValid(handle), 1);
  plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
  EXPECT_EQ(LayoutAndDrawText(0, 0, 0, 0, 1.0, 1.0, "a", 0, nullptr, nullptr, 0, handle, 0, -1, 0, nullptr), 8);
}

TEST(TextEntriesTest, FontsSurviveADeviceRebuildWithTheirHandles) {
  SyntheticFonts fonts;
  AddPatternGlyphs(fonts.provider);
  DrawingLibrary library(Renderer::kDevice);
  const int handle = CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1);
  SetFontExtraSpacing(2, handle);
  testing::PaintBackScreen(0, 0, 0);
  DrawTextWithFont(10, 10, "Aj.x", MakeColorValue(255, 255, 255), handle, MakeColorValue(255, 0, 0), 0);
  const Frame before = testing::ReadBackScreen();
  const int graphs = GetGraphCount();
  EXPECT_EQ(RecreateAllFonts(), 0);
  EXPECT_EQ(GetGraphCount(), graphs);
  ASSERT_EQ(IsFontHandleValid(handle), 1);
  EXPECT_EQ(GetFontRecord(handle)->extraSpacing, 2);
  testing::PaintBackScreen(0, 0, 0);
  DrawTextWithFont(10, 10, "Aj.x", MakeColorValue(255, 255, 255), handle, MakeColorValue(255, 0, 0), 0);
  EXPECT_EQ(CountDifferentPixels(before, testing::ReadBackScreen()), 0);

  // A cache graph released under the font (as a device loss does) is made
  // again by the next draw.
  const FontRecord* font = GetFontRecord(handle);
  ReleaseGraph(font->edgeGraph);
  ReleaseGraph(font->glyphGraph);
  EXPECT_EQ(font->graphNeedsRemake, 1);
  testing::PaintBackScreen(0, 0, 0);
  DrawTextWithFont(10, 10, "Aj.x", MakeColorValue(255, 255, 255), handle, MakeColorValue(255, 0, 0), 0);
  EXPECT_EQ(font->graphNeedsRemake, 0);
  EXPECT_EQ(GetGraphCount(), graphs);
  EXPECT_EQ(CountDifferentPixels(before, testing::ReadBackScreen()), 0);
  DeleteFontHandle(handle);
  EXPECT_EQ(GetGraphCount(), graphs - 2);
}

TEST(TextEntriesTest, SubtractedTextIsTheSameWithEmulatedSubtraction) {
  const auto drawOn = [](bool nativeSubtract) {
    SyntheticFonts fonts;
    AddPatternGlyphs(fonts.provider);
    DrawingLibrary library(Renderer::kDevice, nativeSubtract);
    testing::PaintBackScreen(200, 180, 160);
    const int handle = CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1);
    SetBlendModeAndParam(kBlendSub, 255);
    DrawTextWithFont(10, 10, "Aj.x", MakeColorValue(100, 50, 25), handle, MakeColorValue(20, 20, 20), 0);
    SetBlendModeAndParam(kBlendNone, 0);
    return testing::ReadBackScreen();
  };
  const Frame native = drawOn(true);
  const Frame emulated = drawOn(false);
  // Glyph pixels lie on their own edge cell, so both colours come off them.
  EXPECT_GT(CountColour(native, 80 << 16 | 110 << 8 | 115), 50);
  EXPECT_GT(CountColour(native, 180 << 16 | 160 << 8 | 140), 50);
  EXPECT_LE(MaxGap(native, emulated), 1);
}

}  // namespace
}  // namespace qz
