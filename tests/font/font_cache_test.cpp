// Font handles and the glyph cache over the synthetic glyph source: handle
// life, sizing rules, eviction, and the pixels each cache layout stores.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/log_text.h"
#include "core/memory.h"
#include "font/default_font.h"
#include "font/font_handle.h"
#include "font/glyph_cache.h"
#include "font/glyph_cell_write.h"
#include "font/lead_byte.h"
#include "support/scratch_log.h"
#include "tests/font/font_test_support.h"

namespace qz {
namespace {

using testing::CachePixel;
using testing::Code;
using testing::SyntheticFonts;

TEST(FontHandleTest, FortyFontsThenTheLimitIsLogged) {
  SyntheticFonts fonts;
  testing::ScratchLog log;
  for (int i = 0; i < kFontHandleCount; ++i) ASSERT_NE(CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1), -1);
  EXPECT_EQ(CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1), -1);
  char expected[128];
  std::snprintf(expected, sizeof(expected), text::kFontHandleLimit, 40);
  EXPECT_TRUE(log.Contains(expected));
}

TEST(FontHandleTest, SlotsOutsideTheTableOrTakenAreRefused) {
  SyntheticFonts fonts;
  EXPECT_EQ(CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, 40, -1), -1);
  EXPECT_EQ(CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -2, -1), -1);
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, 7, 5);
  ASSERT_NE(handle, -1);
  EXPECT_EQ(handle, 0x20000000 | 5 << 16 | 7);
  EXPECT_EQ(CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, 7, -1), -1);
}

TEST(FontHandleTest, DeletingNotifiesAndLeavesNothingBehind) {
  const int blocks = GetTrackedBlockCount();
  const int gdiFonts = plat::GetLiveGdiFontCount();
  {
    SyntheticFonts fonts;
    const int handle = CreateFontToHandle("face", 20, 4, 1, 1, 2, 0, -1, -1);
    ASSERT_NE(handle, -1);
    std::int32_t notify = 7;
    EXPECT_EQ(SetFontDeleteNotifyPointer(handle, &notify), 0);
    EXPECT_EQ(notify, 0);
    EXPECT_EQ(DeleteFontHandle(handle), 0);
    EXPECT_EQ(notify, 1);
    EXPECT_EQ(IsFontHandleValid(handle), 0);
    EXPECT_EQ(DeleteFontHandle(handle), -1);
    EXPECT_EQ(QueryFontSize(handle), -1);
  }
  EXPECT_EQ(GetTrackedBlockCount(), blocks);
  EXPECT_EQ(plat::GetLiveGdiFontCount(), gdiFonts);
  EXPECT_EQ(plat::GetLiveMemoryDcCount(), 0);
}

TEST(FontHandleTest, RecreatingKeepsHandlesSpacingAndNotifyTarget) {
  SyntheticFonts fonts;
  const int first = CreateFontToHandle("a", 16, 6, 0, 1, 1, 0, -1, -1);
  const int second = CreateFontToHandle("b", 24, 3, 1, 1, 3, 1, -1, -1);
  ASSERT_NE(second, -1);
  SetFontExtraSpacing(-2, second);
  std::int32_t notify = 5;
  SetFontDeleteNotifyPointer(second, &notify);
  const int opened = fonts.provider.opened;
  EXPECT_EQ(RecreateAllFonts(), 0);
  EXPECT_GT(fonts.provider.opened, opened);
  ASSERT_EQ(IsFontHandleValid(first), 1);
  ASSERT_EQ(IsFontHandleValid(second), 1);
  const FontRecord* again = GetFontRecord(second);
  EXPECT_EQ(again->extraSpacing, -2);
  EXPECT_EQ(again->size, 24);
  EXPECT_EQ(again->edgeSize, 3);
  EXPECT_EQ(again->italic, 1);
  EXPECT_EQ(std::string(again->face), "b");
  EXPECT_EQ(notify, 0);
  DeleteFontHandle(second);
  EXPECT_EQ(notify, 1);
}

TEST(FontHandleTest, EdgeSizeAboveOneAddsTheEdgeBitAndQueriesReport) {
  SyntheticFonts fonts;
  const int handle = CreateFontToHandle("face", 20, 4, 0, 1, 2, 0, -1, -1);
  EXPECT_EQ(GetFontRecord(handle)->type, kFontTypeEdge);
  char face[256] = {};
  int size = 0;
  int thickness = 0;
  EXPECT_EQ(QueryFontFaceSizeThickness(face, &size, &thickness, handle), 0);
  EXPECT_EQ(std::string(face), "face");
  EXPECT_EQ(size, 20);
  EXPECT_EQ(thickness, 4);
  const int defaults = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, 0, -1, -1);
  EXPECT_EQ(GetFontRecord(defaults)->size, 16);
  EXPECT_EQ(GetFontRecord(defaults)->thickness, 6);
  EXPECT_EQ(GetFontRecord(defaults)->type, 0);
  EXPECT_EQ(GetFontRecord(defaults)->edgeSize, 1);
}

TEST(FontHandleTest, CreationFallsBackThroughTheCharacterSets) {
  SyntheticFonts fonts;
  int refused = 0;
  fonts.provider.refuse = [&](const plat::GlyphFaceRequest& request) {
    return request.codePage != 932 && ++refused > 0;
  };
  EXPECT_NE(CreateFontToHandle("face", 16, 6, 0, 2, 1, 0, -1, -1), -1);  // Hangul, then the others
  EXPECT_EQ(refused, 1);
  fonts.provider.refuse = [](const plat::GlyphFaceRequest&) { return true; };
  testing::ScratchLog log;
  EXPECT_EQ(CreateFontToHandle("face", 16, 6, 0, 1, 1, 0, -1, -1), -1);
  EXPECT_TRUE(log.Contains(text::kFontCreateFailedFace));
  EXPECT_EQ(CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1), -1);
  EXPECT_TRUE(log.Contains(text::kFontCreateFailed));
}

TEST(FontSizingTest, LeadingRaisesTheHeightAndGivesTheOffset) {
  SyntheticFonts fonts;
  const int plain = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  EXPECT_EQ(GetFontRecord(plain)->verticalOffset, 0);
  fonts.provider.internalLeading = 2;
  const int led = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  // trunc(16 / (1 - 2 / 16)) = 18.
  EXPECT_EQ(GetFontRecord(led)->verticalOffset, 2);
  EXPECT_EQ(GetFontRecord(led)->cellHeight, 18);
}

TEST(FontSizingTest, CellsAreSquareMultiplesOfEightHoldingTheEdge) {
  SyntheticFonts fonts;
  fonts.provider.maxWidth = 9;
  const FontRecord* plain = GetFontRecord(CreateFontToHandle(nullptr, 13, 6, 0, 1, 1, 0, -1, -1));
  EXPECT_EQ(plain->cellHeight, 14);  // 13 made even
  EXPECT_EQ(plain->cellWidth, 16);   // 9 + 2 rounded up to 16, not below the height
  const FontRecord* edged = GetFontRecord(CreateFontToHandle(nullptr, 13, 6, 1, 1, 4, 0, -1, -1));
  EXPECT_EQ(edged->cellHeight, 22);  // 13 + 8 made even
  EXPECT_EQ(edged->cellWidth, 24);   // 9 + 2 + 8 rounded up
  fonts.provider.maxWidth = 40;
  const FontRecord* wide = GetFontRecord(CreateFontToHandle(nullptr, 13, 6, 0, 1, 1, 0, -1, -1));
  EXPECT_EQ(wide->cellWidth, 48);
}

TEST(FontSizingTest, MemoryCacheCellCountFollowsTheCellSize) {
  SyntheticFonts fonts;
  const FontRecord* small = GetFontRecord(CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1));
  EXPECT_EQ(small->cellWidth, 16);
  EXPECT_EQ(small->cellCount, 0x50000 / 256);
  EXPECT_EQ(small->memoryBitsPerPixel, 1);
  EXPECT_EQ(small->memoryPitch, 2);
  EXPECT_EQ(small->cacheHeight, small->cellCount * 16);
  fonts.provider.maxWidth = 300;
  const FontRecord* large = GetFontRecord(CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1));
  EXPECT_EQ(large->cellCount, 20);
  EXPECT_EQ(large->memoryBitsPerPixel, 8);
  fonts.provider.maxWidth = 2;
  const FontRecord* tiny = GetFontRecord(CreateFontToHandle(nullptr, 4, 6, 0, 1, 1, 0, -1, -1));
  EXPECT_EQ(tiny->cellCount, kMaxGlyphCells);
  EXPECT_EQ(tiny->entries[kMaxGlyphCells].cell, -1);
}

TEST(GlyphCacheTest, FillsReusesAndEvictsRoundRobin) {
  SyntheticFonts fonts;
  fonts.provider.maxWidth = 300;
  const int handle = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  FontRecord* font = GetFontRecord(handle);
  ASSERT_EQ(font->cellCount, 20);
  GlyphCode codes[64];
  int count = 0;
  ASSERT_EQ(CacheStringGlyphs(-1, "abcab", handle, codes, &count), 0);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(font->nextEntry, 3);
  EXPECT_EQ(font->codeMap['a'].entry, &font->entries[0]);
  EXPECT_EQ(font->codeMap['c'].entry, &font->entries[2]);
  const int rendered = fonts.provider.rendered;
  CacheStringGlyphs(-1, "cba", handle, codes, &count);
  EXPECT_EQ(fonts.provider.rendered, rendered);

  // 20 more characters: the oldest three go first, in order.
  CacheStringGlyphs(-1, "ABCDEFGHIJKLMNOPQRST", handle, codes, &count);
  EXPECT_EQ(font->codeMap['a'].present, 0);
  EXPECT_EQ(font->codeMap['b'].present, 0);
  EXPECT_EQ(font->codeMap['c'].present, 0);
  EXPECT_EQ(font->codeMap['Q'].entry, &font->entries[19]);
  EXPECT_EQ(font->codeMap['R'].entry, &font->entries[0]);
  EXPECT_EQ(font->codeMap['T'].entry, &font->entries[2]);
  EXPECT_EQ(font->entries[2].codeSlot, &font->codeMap['T']);
  EXPECT_EQ(font->nextEntry, 3);

  ClearFontGlyphCache(handle);
  EXPECT_EQ(font->codeMap['T'].present, 0);
  EXPECT_EQ(font->nextEntry, 0);
  EXPECT_EQ(font->entries[5].cell, 5);
}

TEST(GlyphCacheTest, SplitsByTheFontsCharacterSet) {
  SyntheticFonts fonts;
  const int japanese = CreateFontToHandle(nullptr, 16, 6, 0, 1, 1, 0, -1, -1);
  const int korean = CreateFontToHandle(nullptr, 16, 6, 0, 2, 1, 0, -1, -1);
  GlyphCode codes[16];
  int count = 0;
  const char* text = "a\x82\xA0\xA0\xA1z";
  CacheStringGlyphs(-1, text, japanese, codes, &count);
  ASSERT_EQ(count, 5);
  EXPECT_EQ(GlyphCodeIndex(codes[1]), 0xA082);
  EXPECT_EQ(GlyphCodeIndex(codes[2]), 0xA0);
  EXPECT_EQ(GetFontRecord(japanese)->codeMap[0xA082].present, 1);
  CacheStringGlyphs(-1, text, korean, codes, &count);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(GlyphCodeIndex(codes[2]), 0xA1A0);
  // A length ending inside a pair, and one past the terminator.
  CacheStringGlyphs(2, text, japanese, codes, &count);
  EXPECT_EQ(count, 2);
  CacheStringGlyphs(100, "ab", japanese, codes, &count);
  EXPECT_EQ(count, 2);
}

TEST(GlyphCacheTest, PlacesCellsByColumnAndRow) {
  SyntheticFonts fonts;
  FontRecord font = {};
  font.cellWidth = 32;
  font.cellsPerColumn = 16;
  int x = 0;
  int y = 0;
  GetGlyphCellPosition(font, 18, &x, &y);
  EXPECT_EQ(x, 32);
  EXPECT_EQ(y, 64);
  font.textureCache = 1;
  GetGlyphCellPosition(font, 18, &x, &y);
  EXPECT_EQ(x, 33);
  EXPECT_EQ(y, 65);
}

TEST(GlyphPixelsTest, OnePixelGlyphWithEdgeOneIsAPlusOfEdge) {
  SyntheticFonts fonts;
  fonts.provider.glyphs['.'] = {1, 1, 0, 5, 4, {}};
  const int handle = CreateFontToHandle(nullptr, 16, 6, 1, 1, 1, 0, -1, -1);
  const GlyphCode dot = Code('.');
  const GlyphCacheEntry* entry = RenderGlyphToCache(handle, 1, &dot);
  ASSERT_NE(entry, nullptr);
  const FontRecord& font = *GetFontRecord(handle);
  EXPECT_EQ(entry->width, 1);
  EXPECT_EQ(entry->yOffset, 14 - 5);
  // The glyph sits one edge size in from the cell's corner.
  const int expected[3][3] = {{0, 2, 0}, {2, 1, 2}, {0, 2, 0}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(CachePixel(font, x, y), expected[y][x]) << x << "," << y;
  }
  EXPECT_EQ(CachePixel(font, 3, 1), 0);
}

TEST(GlyphPixelsTest, GreyLevelsAndEdgeNibbles) {
  SyntheticFonts fonts;
  fonts.provider.glyphs['g'] = {2, 1, 0, 5, 4, {16, 9}};
  const GlyphCode g = Code('g');
  const int plain = CreateFontToHandle(nullptr, 16, 6, 2, 1, 1, 0, -1, -1);
  RenderGlyphToCache(plain, 1, &g);
  EXPECT_EQ(CachePixel(*GetFontRecord(plain), 0, 0), 15);
  EXPECT_EQ(CachePixel(*GetFontRecord(plain), 1, 0), 8);
  const int edged = CreateFontToHandle(nullptr, 16, 6, 3, 1, 1, 0, -1, -1);
  RenderGlyphToCache(edged, 1, &g);
  const FontRecord& font = *GetFontRecord(edged);
  EXPECT_EQ(CachePixel(font, 1, 1), 0xFF);  // the 16 glyph pixel: edge 15, glyph 15
  EXPECT_EQ(CachePixel(font, 2, 1), 0xF8);  // the 9: edge reached by the 16 beside it
  EXPECT_EQ(CachePixel(font, 3, 1), 0x80);  // edge only, from the 9
  EXPECT_EQ(CachePixel(font, 1, 0), 0xF0);
  EXPECT_EQ(CachePixel(font, 0, 0), 0x00);
}

TEST(GlyphPixelsTest, EdgeMasksByEdgeSize) {
  int counts[6] = {};
  for (int e = 1; e <= 5; ++e) {
    for (int dy = -e; dy <= e; ++dy) {
      for (int dx = -e; dx <= e; ++dx) counts[e] += EdgeMaskCovers(e, dx, dy) ? 1 : 0;
    }
  }
  EXPECT_EQ(counts[1], 5);
  EXPECT_EQ(counts[2], 21);
  EXPECT_FALSE(EdgeMaskCovers(3, 3, 3));
  EXPECT_TRUE(EdgeMaskCovers(3, 3, 1));
  EXPECT_FALSE(EdgeMaskCovers(4, 4, 3));
  EXPECT_EQ(counts[5], 121);
}

TEST(GlyphPixelsTest, TextureLevelsInFourFourFourFour) {
  FontRecord font = {};
  SetColorDescFromMasks(&font.cacheFormat, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
  EXPECT_EQ(TextureLevelValue(font, 0), 0x0FFFu);
  EXPECT_EQ(TextureLevelValue(font, 1), 0x0FFFu);
  EXPECT_EQ(TextureLevelValue(font, 8), 0x7FFFu);
  EXPECT_EQ(TextureLevelValue(font, 16), 0xFFFFu);
}

TEST(GlyphPixelsTest, GlyphsLargerThanTheCellStayInIt) {
  SyntheticFonts fonts;
  fonts.provider.maxWidth = 300;
  fonts.provider.glyphs['W'] = {400, 400, -3, 30, 10, {}};
  const int handle = CreateFontToHandle(nullptr, 16, 6, 1, 1, 2, 0, -1, -1);
  const FontRecord& font = *GetFontRecord(handle);
  const GlyphCode codes[2] = {Code('.'), Code('W')};
  RenderGlyphToCache(handle, 2, codes);
  const GlyphCacheEntry& entry = *font.codeMap['W'].entry;
  EXPECT_EQ(entry.width, font.cellWidth - 4);
  EXPECT_EQ(entry.xOffset, -3);
  // Cell 0 ('.') keeps its own pixels: the big glyph starts at cell 1.
  int cellX = 0;
  int cellY = 0;
  GetGlyphCellPosition(font, entry.cell, &cellX, &cellY);
  EXPECT_EQ(cellY, font.cellWidth);
  EXPECT_EQ(CachePixel(font, 0, font.cellWidth - 1), 0);
  EXPECT_EQ(CachePixel(font, 2, font.cellWidth + 2), 1);
}

TEST(LeadByteTest, RangesByCharacterSet) {
  const unsigned char b81 = 0x81;
  const unsigned char bA0 = 0xA0;
  EXPECT_EQ(IsMultiByteLeadByte(&b81, 1), 1);
  EXPECT_EQ(IsMultiByteLeadByte(&b81, 2), 1);
  EXPECT_EQ(IsMultiByteLeadByte(&bA0, 0), 0);
  EXPECT_EQ(IsMultiByteLeadByte(&bA0, 1), 0);
  for (int charset = 2; charset <= 4; ++charset) EXPECT_EQ(IsMultiByteLeadByte(&bA0, charset), 1);
  EXPECT_EQ(IsMultiByteLeadByte(&bA0, 5), 0);
}

TEST(LeadByteTest, PositionsInAString) {
  const char* text = "a\x82\xA0z";
  EXPECT_EQ(IsSecondByteOfMultiByteChar(text, 0, 1), 0);
  EXPECT_EQ(IsSecondByteOfMultiByteChar(text, 1, 1), 1);
  EXPECT_EQ(IsSecondByteOfMultiByteChar(text, 2, 1), 2);
  EXPECT_EQ(IsSecondByteOfMultiByteChar(text, 3, 1), 0);
  EXPECT_EQ(IsSecondByteOfMultiByteChar(text, 4, 1), -1);
  EXPECT_EQ(IsSecondByteOfMultiByteChar("", 0, 1), -1);
  EXPECT_EQ(IsSecondByteOfMultiByteChar("\x82", 1, 1), -1);
}

TEST(DefaultFontTest, RefreshKeepsAnUnchangedFontAndRemakesAChangedOne) {
  SyntheticFonts fonts;
  InitFontDefaults();
  const int first = QueryDefaultFontHandle();
  ASSERT_NE(first, -1);
  EXPECT_EQ(RefreshDefaultFont(), 0);
  EXPECT_EQ(QueryDefaultFontHandle(), first);
  SetDefaultFontType(1);
  SetDefaultFontFace("face", -1);
  SetDefaultFontSize(18);
  const int changed = QueryDefaultFontHandle();
  EXPECT_EQ(IsFontHandleValid(first), 0);
  const FontRecord* font = GetFontRecord(changed);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->type, 1);
  EXPECT_EQ(font->size, 18);
  EXPECT_EQ(std::string(font->face), "face");
  SetDefaultFontSize(18);
  EXPECT_EQ(QueryDefaultFontHandle(), changed);
  TerminateFontSystem();
  EXPECT_EQ(QueryDefaultFontHandle(), -1);
  EXPECT_EQ(IsFontHandleValid(changed), 0);
}

}  // namespace
}  // namespace qz
