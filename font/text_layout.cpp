// Laying out a string in a font: every character cached first, then a pen
// walks the characters and either sums advances or draws each glyph, from
// the cache graph through the graph draws or from the memory cache into a
// software image.
#include <cmath>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "font/font_handle.h"
#include "font/font_internal.h"
#include "font/glyph_cache.h"
#include "font/glyph_soft_write.h"
#include "font/text_draw.h"
#include "graphics/d3d_graph_draw.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_graph_internal.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"

namespace qz {
namespace {

constexpr int kStaticTextBytes = 256;

bool DrawsNothing(const GlyphCode& code, const GlyphCacheEntry& entry) {
  return IsSpaceCode(code) || (entry.width == 0 && entry.height == 0);
}

// Where the glyph box goes. Horizontal: its top-left pixel. Vertical: the
// corner its top-left turns to, a quarter turn clockwise.
struct GlyphPlace {
  double x;
  double y;
};

GlyphPlace PlaceGlyph(const FontRecord& font, const GlyphCacheEntry& entry, int x, int y, double pen, bool vertical,
                      bool scaled, double scaleX, double scaleY) {
  const int margin = EdgeMargin(font);
  const double across = scaled ? pen : std::trunc(pen);
  if (vertical) {
    return {x + (font.cellHeight - entry.yOffset + margin) * scaleX, y + across + (entry.xOffset - margin) * scaleY};
  }
  return {x + across + (entry.xOffset - margin) * scaleX, y + (entry.yOffset - margin) * scaleY};
}

// The draw settings glyph draws change, put back after the string.
struct SavedGlyphSettings {
  DrawBrightness brightness;
  int maskGraph;
  int maskFade;
  int maskRange;
};

SavedGlyphSettings SaveGlyphSettings() {
  const DrawSettingsBlock& settings = GetDrawSettings();
  return {settings.brightness, settings.blendMaskGraph, settings.blendMaskFade, settings.blendMaskRange};
}

void RestoreGlyphSettings(const SavedGlyphSettings& saved) {
  SetBrightnessRGB(saved.brightness.red, saved.brightness.green, saved.brightness.blue);
  if (saved.maskGraph != -1) SetBlendMaskGraph(saved.maskGraph, saved.maskFade, saved.maskRange);
}

// How the glyphs of a string are drawn from the cache graph.
struct CellDraw {
  bool vertical;
  bool scaled;
  double scaleX;
  double scaleY;
  bool direct;  // upright, unscaled cells skip the per-draw preamble
};

// One cell of the cache graph at the glyph's place.
void DrawCell(int graph, int cellX, int cellY, int width, int height, const GlyphPlace& at, const CellDraw& how) {
  if (!how.vertical && !how.scaled) {
    const int x = static_cast<int>(at.x);
    const int y = static_cast<int>(at.y);
    if (how.direct) {
      BlitGraphPartDirect(x, y, cellX, cellY, width, height, graph, 1);
    } else {
      BlitGraphSubRect(x, y, cellX, cellY, width, height, graph, 1, 0);
    }
    return;
  }
  const int cut = MakeSubRectGraph(cellX, cellY, width, height, graph);
  if (cut <= 0) return;
  if (!how.vertical) {
    BlitGraphStretchedF(static_cast<float>(at.x), static_cast<float>(at.y),
                        static_cast<float>(at.x + width * how.scaleX), static_cast<float>(at.y + height * how.scaleY),
                        cut, 1);
  } else {
    const float right = static_cast<float>(at.x) - 0.5f;
    const float top = static_cast<float>(at.y) - 0.5f;
    const float left = right - static_cast<float>(height * how.scaleX);
    const float bottom = top + static_cast<float>(width * how.scaleY);
    BlitGraphOnQuad(right, top, right, bottom, left, bottom, left, top, cut, 1);
  }
  ReleaseGraph(cut);
}

// The blend graph is off and the brightness is the glyph's tint while glyphs
// are drawn (the caller restores both after the string).
void DrawGlyphFromTexture(const FontRecord& font, const GlyphCacheEntry& entry, const GlyphPlace& at,
                          const CellDraw& how, const TextColors& colors) {
  int cellX = 0;
  int cellY = 0;
  GetGlyphCellPosition(font, entry.cell, &cellX, &cellY);
  const int margin = EdgeMargin(font);
  const int width = entry.width + 2 * margin;
  const int height = entry.height + 2 * margin;
  if (font.edgeGraph != -1) {
    SetBrightnessRGB(colors.edgeRed, colors.edgeGreen, colors.edgeBlue);
    DrawCell(font.edgeGraph, cellX, cellY, width, height, at, how);
  }
  SetBrightnessRGB(colors.textRed, colors.textGreen, colors.textBlue);
  DrawCell(font.glyphGraph, cellX, cellY, width, height, at, how);
}

}  // namespace

int LayoutAndDrawText(int mode, int x, int y, int scaled, double scaleX, double scaleY, const char* text,
                      std::uint32_t color, MEMIMG* dest, const Rect* clip, int transparent, int handle,
                      std::uint32_t edgeColor, int length, int vertical, TextSize* outSize) {
  if (FontWorkSuspended()) return -1;
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  const int correction = static_cast<int>(font->verticalOffset * scaleY);
  if (vertical != 0) {
    x -= correction / 2;
  } else {
    y -= correction / 2;
  }
  if (scaled == 0 || font->textureCache == 0) {
    scaleX = 1.0;
    scaleY = 1.0;
    scaled = 0;
  }
  const double advanceScale = vertical != 0 ? scaleY : scaleX;
  const TextColors colors = ScaleTextColors(color, edgeColor);
  if (text == nullptr || text[0] == '\0') {
    if (outSize != nullptr) *outSize = {0, 0};
    return 0;
  }

  const std::size_t bytes = length < 0 ? std::strlen(text) : strnlen(text, static_cast<std::size_t>(length));
  static GlyphCode staticCodes[kStaticTextBytes];
  GlyphCode* codes = staticCodes;
  if (bytes > kStaticTextBytes) {
    codes = static_cast<GlyphCode*>(AllocTracked(sizeof(GlyphCode) * bytes, __FILE__, __LINE__));
    if (codes == nullptr) return -1;
  }
  int count = 0;
  CacheStringGlyphs(static_cast<int>(bytes), text, handle, codes, &count);

  const bool throughTexture = mode != 0 && dest == nullptr && font->textureCache != 0;
  const SavedGlyphSettings saved = SaveGlyphSettings();
  if (throughTexture && saved.maskGraph != -1) SetBlendMaskGraph(-1, 0, 0);
  // Edge and text cells alternate between two brightnesses; held modulation
  // keeps them in one batch.
  const bool holdModulation = throughTexture && font->edgeGraph != -1;
  if (holdModulation) HoldColorModulation(true);
  CellDraw how = {vertical != 0, scaled != 0, scaleX, scaleY, false};
  how.direct = throughTexture && !how.vertical && !how.scaled && GraphPartsDrawDirectly();
  double pen = 0.0;
  int result = 0;
  for (int i = 0; i < count; ++i) {
    const GlyphCodeSlot& slot = font->codeMap[GlyphCodeIndex(codes[i])];
    const GlyphCacheEntry* entry = slot.present != 0 ? slot.entry : RenderGlyphToCache(handle, 1, &codes[i]);
    if (entry == nullptr) {
      AppendLogText(text::kFontTextCacheFailed);
      result = -1;
      break;
    }
    if (mode != 0 && !DrawsNothing(codes[i], *entry)) {
      const GlyphPlace at = PlaceGlyph(*font, *entry, x, y, pen, vertical != 0, scaled != 0, scaleX, scaleY);
      if (dest != nullptr) {
        const Rect whole = {0, 0, dest->width, dest->height};
        WriteGlyphToMemImg(*font, *entry, dest, clip != nullptr ? *clip : whole, static_cast<int>(at.x),
                           static_cast<int>(at.y), vertical != 0, transparent != 0, colors);
      } else if (throughTexture) {
        DrawGlyphFromTexture(*font, *entry, at, how, colors);
      }
    }
    pen += (entry->advance + font->extraSpacing) * advanceScale;
  }
  if (holdModulation) HoldColorModulation(false);
  if (throughTexture) RestoreGlyphSettings(saved);
  if (codes != staticCodes) FreeTracked(codes);
  if (result != 0) return result;
  const int travel = static_cast<int>(pen);
  if (outSize != nullptr) {
    *outSize = vertical != 0 ? TextSize{font->cellHeight, travel} : TextSize{travel, font->cellHeight};
  }
  return travel;
}

}  // namespace qz
