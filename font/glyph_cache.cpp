// The glyph cache: the code map from characters to entries, round-robin
// eviction, the cache graph of the device path, and rendering glyphs from
// the GDI font into cells (changed cells then go to the texture).
#include "font/glyph_cache.h"

#include <cstring>
#include <vector>

#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/multibyte.h"
#include "font/font_handle.h"
#include "font/font_internal.h"
#include "font/glyph_cell_write.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_textures.h"

namespace qz {
namespace {

constexpr int kStaticCodeCount = 256;

std::uint32_t GdiCode(const GlyphCode& code) {
  return code.bytes[1] != 0 ? static_cast<std::uint32_t>(code.bytes[0]) << 8 | code.bytes[1] : code.bytes[0];
}

// The cells just written go to the cache texture, both halves for edge fonts.
void TransferCells(FontRecord& font, const std::vector<int>& cells) {
  BaseImage image = {};
  image.format = font.cacheFormat;
  image.width = static_cast<std::uint32_t>(font.copyPitch / font.cacheFormat.bytesPerPixel);
  image.height = static_cast<std::uint32_t>(font.copyHeight);
  image.pitch = static_cast<std::uint32_t>(font.copyPitch);
  image.pixels = font.copyPixels;
  const int side = UsableCellSize(font);
  const int halves = (font.type & kFontTypeEdge) != 0 ? 2 : 1;
  for (int cell : cells) {
    int x = 0;
    int y = 0;
    GetGlyphCellPosition(font, cell, &x, &y);
    for (int half = 0; half < halves; ++half) {
      const int left = x + half * font.cacheWidth;
      const Rect source = {left, y, left + side, y + side};
      TransferImageToGraphTextures(font.glyphGraph, source, left, y, &image, nullptr, 0, 0, 0);
    }
  }
}

}  // namespace

void GetGlyphCellPosition(const FontRecord& font, int cell, int* x, int* y) {
  const int perColumn = font.cellsPerColumn > 0 ? font.cellsPerColumn : 1;
  const int inset = font.textureCache != 0 ? 1 : 0;
  *x = cell / perColumn * font.cellWidth + inset;
  *y = cell % perColumn * font.cellWidth + inset;
}

int ClearFontGlyphCache(int handle) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  std::memset(font->codeMap, 0, sizeof(font->codeMap));
  std::memset(font->entries, 0, sizeof(font->entries));
  for (int i = 0; i < font->cellCount; ++i) font->entries[i].cell = i;
  font->entries[font->cellCount].cell = -1;
  font->nextEntry = 0;
  return 0;
}

int CreateFontCacheGraph(int handle) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  if (font->graphNeedsRemake == 0) return 0;
  // The flag is set by a new font or by the release of its cache graph (the
  // graph's deleted flag), so any handles held are gone.
  font->graphNeedsRemake = 0;
  font->edgeGraph = -1;
  font->glyphGraph = -1;

  const int savedBits = GetNewGraphColorBits();
  const int savedAlpha = GetNewGraphAlphaFlag();
  const int savedColorKey = GetNewGraphColorKeyFlag();
  const bool antialiased = (font->type & kFontTypeAntialiased) != 0;
  SetNewGraphColorBits(16);
  SetNewGraphAlphaFlag(antialiased ? 1 : 0);
  SetNewGraphColorKeyFlag(antialiased ? 0 : 1);
  const bool edge = (font->type & kFontTypeEdge) != 0;
  font->glyphGraph = CreateBlankGraph(font->cacheWidth * (edge ? 2 : 1), font->cacheHeight);
  if (font->glyphGraph != -1 && edge) {
    font->edgeGraph = MakeSubRectGraph(font->cacheWidth, 0, font->cacheWidth, font->cacheHeight, font->glyphGraph);
  }
  SetNewGraphColorBits(savedBits);
  SetNewGraphAlphaFlag(savedAlpha);
  SetNewGraphColorKeyFlag(savedColorKey);

  const GraphRecord* graph = GetGraphRecord(font->glyphGraph);
  const PixelFormatDescriptor* format =
      graph != nullptr ? GetTextureFormatDescriptor(graph->image->pixelFormatCode) : nullptr;
  if (format == nullptr || format->bytesPerPixel != 2 || (edge && font->edgeGraph <= 0)) {
    if (font->edgeGraph > 0) ReleaseGraph(font->edgeGraph);
    if (font->glyphGraph != -1) ReleaseGraph(font->glyphGraph);
    font->edgeGraph = -1;
    font->glyphGraph = -1;
    return -1;
  }
  font->cacheFormat = *format;
  AttachGraphDeletedFlag(font->glyphGraph, &font->graphNeedsRemake);
  FillGraphWithColor(font->glyphGraph, 255, 255, 255, 0);
  ClearFontGlyphCache(handle);
  return 0;
}

int CacheStringGlyphs(int length, const char* text, int handle, GlyphCode* codes, int* count) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  int characters = 0;
  for (int i = 0; (length < 0 || i < length) && bytes[i] != 0;) {
    GlyphCode& code = codes[characters++];
    code.bytes[0] = bytes[i];
    code.bytes[1] = 0;
    code.bytes[2] = 0;
    const bool pair = IsLeadByte(font->charset, bytes[i]) && bytes[i + 1] != 0 && (length < 0 || i + 1 < length);
    if (pair) code.bytes[1] = bytes[i + 1];
    i += pair ? 2 : 1;
  }
  *count = characters;

  static GlyphCode staticMissing[kStaticCodeCount];
  GlyphCode* missing = staticMissing;
  if (characters > kStaticCodeCount) {
    missing = static_cast<GlyphCode*>(AllocTracked(sizeof(GlyphCode) * characters, __FILE__, __LINE__));
    if (missing == nullptr) return -1;
  }
  int missingCount = 0;
  for (int i = 0; i < characters && missingCount < font->cellCount; ++i) {
    if (font->codeMap[GlyphCodeIndex(codes[i])].present != 0) continue;
    bool listed = false;
    for (int j = 0; j < missingCount && !listed; ++j) listed = GlyphCodeIndex(missing[j]) == GlyphCodeIndex(codes[i]);
    if (!listed) missing[missingCount++] = codes[i];
  }
  if (missingCount > 0) RenderGlyphToCache(handle, missingCount, missing);
  if (missing != staticMissing) FreeTracked(missing);
  return 0;
}

GlyphCacheEntry* RenderGlyphToCache(int handle, int count, const GlyphCode* codes) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr || count <= 0 || FontWorkSuspended()) return nullptr;
  plat::HMEMDC context = plat::CreateCompatibleDC(nullptr);
  plat::TEXTMETRICA metrics = {};
  if (context == nullptr) FatalErrorExit(text::kFontCacheDcFailed);
  plat::SelectObject(context, font->font);
  if (plat::GetTextMetricsA(context, &metrics) == 0) FatalErrorExit(text::kFontCacheDcFailed);

  const std::uint32_t format =
      (font->type & kFontTypeAntialiased) != 0 ? plat::GGO_GRAY4_BITMAP : plat::GGO_BITMAP;
  const plat::MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  static std::vector<std::uint8_t> buffer;
  std::vector<int> changed;
  GlyphCacheEntry* entry = nullptr;
  for (int i = 0; i < count; ++i) {
    entry = &font->entries[font->nextEntry];
    font->nextEntry = (font->nextEntry + 1) % font->cellCount;
    if (entry->inUse != 0) {
      entry->codeSlot->present = 0;
      entry->codeSlot->entry = nullptr;
    }
    GlyphCodeSlot* slot = &font->codeMap[GlyphCodeIndex(codes[i])];
    slot->present = 1;
    slot->entry = entry;
    entry->codeSlot = slot;
    entry->inUse = 1;
    entry->xOffset = entry->yOffset = entry->advance = entry->width = entry->height = 0;
    ClearGlyphCell(*font, entry->cell);
    changed.push_back(entry->cell);

    plat::GLYPHMETRICS glyph = {};
    const std::uint32_t code = GdiCode(codes[i]);
    const std::uint32_t size = plat::GetGlyphOutlineA(context, code, format, &glyph, 0, nullptr, &identity);
    if (size == plat::GDI_ERROR) {
      AppendLogText(text::kFontGlyphOutlineFailed);
      continue;
    }
    entry->xOffset = static_cast<std::int16_t>(glyph.gmptGlyphOrigin.x);
    entry->yOffset = static_cast<std::int16_t>(metrics.tmAscent - glyph.gmptGlyphOrigin.y);
    entry->advance = glyph.gmCellIncX;
    if (IsSpaceCode(codes[i]) || size == 0) {
      entry->width = static_cast<std::int16_t>(glyph.gmBlackBoxX);
      entry->height = static_cast<std::int16_t>(glyph.gmBlackBoxY);
      continue;
    }
    if (buffer.size() < size) buffer.resize(size);
    if (plat::GetGlyphOutlineA(context, code, format, &glyph, size, buffer.data(), &identity) == plat::GDI_ERROR) {
      AppendLogText(text::kFontGlyphOutlineFailed);
      continue;
    }
    const bool grey = format == plat::GGO_GRAY4_BITMAP;
    const int width = static_cast<int>(glyph.gmBlackBoxX);
    const int pitch = grey ? (width + 3) & ~3 : (width + 31) / 32 * 4;
    const GlyphBitmap bitmap = {width, static_cast<int>(glyph.gmBlackBoxY), pitch, grey, buffer.data()};
    int keptWidth = 0;
    int keptHeight = 0;
    WriteGlyphToCell(*font, entry->cell, bitmap, &keptWidth, &keptHeight);
    entry->width = static_cast<std::int16_t>(keptWidth);
    entry->height = static_cast<std::int16_t>(keptHeight);
  }
  plat::DeleteDC(context);
  if (font->textureCache != 0 && font->glyphGraph != -1) TransferCells(*font, changed);
  return entry;
}

}  // namespace qz
