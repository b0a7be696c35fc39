// The public text entries: drawing with a font handle or the default font,
// measuring with the default font, and the two renderers' paths.
#include "font/text_draw.h"

#include <algorithm>

#include "core/log.h"
#include "core/log_text.h"
#include "core/rect.h"
#include "font/default_font.h"
#include "font/font_handle.h"
#include "font/glyph_cache.h"
#include "font/glyph_soft_write.h"
#include "graphics/draw_graph_internal.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
#include "softrender/blit.h"
#include "softrender/draw_state.h"

namespace qz {
namespace {

constexpr int kWorkImage = 1;
constexpr int kAlphaWorkImage = 2;

MEMIMG* SoftwareTarget() {
  return gMemImgDrawState.drawTarget != nullptr ? gMemImgDrawState.drawTarget
                                                : GetGraphicsState().softwareDrawTarget;
}

// A key value for the work image that neither colour of the text takes.
std::uint32_t FreeKeyValue(std::uint32_t current, std::uint32_t text, std::uint32_t edge) {
  while (current == text || current == edge) ++current;
  return current;
}

}  // namespace

int DrawTextWithFont(int x, int y, const char* text, std::uint32_t color, int handle, std::uint32_t edgeColor,
                     int vertical) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  if (text == nullptr || text[0] == '\0' || settings.skipDrawing != 0 || settings.clipEmpty != 0) return 0;
  const FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return AppendLogText(text::kFontHandleInvalid);
  EnsureScreenReady();

  const bool textured = font->textureCache != 0;
  const bool bracket = DrawBracketNeeded() || (settings.blendMode == kBlendSub && textured);
  Rect rect = {};
  if (bracket) {
    const int shift = font->verticalOffset / 2;
    rect = vertical != 0 ? Rect{x + shift, y, x + shift + font->size + 3, settings.clipBottom}
                         : Rect{x, y - shift, settings.clipRight, y - shift + font->size + 3};
    if (rect.left >= settings.clipRight) return 0;
  }
  // Texture glyphs go through the graph draws, which bracket each glyph for
  // the mask and the subtractive emulation themselves.
  if (textured) return DrawTextViaTextureCache(x, y, text, color, edgeColor, vertical, handle) < 0 ? -1 : 0;
  if (bracket) OpenMaskBracket(rect);
  const int result = DrawTextThroughSoftRenderer(x, text, color, edgeColor, vertical, y, handle);
  if (bracket) CloseMaskBracket(rect);
  return result < 0 ? -1 : 0;
}

int DrawTextDefaultFont(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor) {
  RefreshDefaultFont();
  return DrawTextWithFont(x, y, text, color, QueryDefaultFontHandle(), edgeColor, 0);
}

int MeasureTextWidthDefaultFont(const char* text, int length, int vertical) {
  RefreshDefaultFont();
  return LayoutAndDrawText(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, QueryDefaultFontHandle(), 0, length,
                           vertical, nullptr);
}

int DrawTextViaTextureCache(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor,
                            int vertical, int handle) {
  const FontRecord* font = GetFontRecord(handle);
  if (font == nullptr || font->textureCache == 0) return 0;
  if (font->graphNeedsRemake != 0 && CreateFontCacheGraph(handle) != 0) return -1;
  return LayoutAndDrawText(1, x, y, 0, 1.0, 1.0, text, color, nullptr, nullptr, 1, handle, edgeColor, -1, vertical,
                           nullptr);
}

int DrawTextThroughSoftRenderer(int x, const char* text, std::uint32_t color, std::uint32_t edgeColor, int vertical,
                                int y, int handle) {
  const FontRecord* font = GetFontRecord(handle);
  MEMIMG* target = SoftwareTarget();
  if (font == nullptr || target == nullptr) return -1;
  const DrawSettingsBlock& settings = GetDrawSettings();
  const bool antialiased = (font->type & kFontTypeAntialiased) != 0;
  const bool plain =
      settings.blendMode == kBlendNone || (settings.blendMode == kBlendAlpha && settings.blendParam == 255);
  if (plain && !antialiased) {
    const Rect area = gMemImgDrawState.drawArea;
    return LayoutAndDrawText(1, x, y, 0, 1.0, 1.0, text, color, target, &area, 1, handle, edgeColor, -1, vertical,
                             nullptr);
  }

  // Through a screen-sized work image: a text larger than the screen is cut
  // to it. The measured box grows by a cell on every side for glyphs and
  // edges that reach past the pen or above the line.
  TextSize size = {};
  if (LayoutAndDrawText(0, x, y, 0, 1.0, 1.0, text, color, nullptr, nullptr, 0, handle, edgeColor, -1, vertical,
                        &size) < 0) {
    return -1;
  }
  MEMIMG& work = GetGraphicsState().screenImages[antialiased ? kAlphaWorkImage : kWorkImage];
  const int pad = font->cellWidth;
  const int width = std::min(size.width + 2 * pad, work.width);
  const int height = std::min(size.height + 2 * pad, work.height);
  if (width <= 0 || height <= 0) return 0;
  MEMIMG part = {};
  if (MakeSubMemImg(&part, &work, 0, 0, width, height) != 0) return -1;
  if (antialiased) {
    FillMemImgArea(&part, nullptr, 0);
  } else {
    const TextColors colors = ScaleTextColors(color, edgeColor);
    const PixelFormatDescriptor* desc = part.block->colorDesc;
    part.block->transColor =
        FreeKeyValue(part.block->transColor,
                     PackColorByDescriptor(desc, colors.textRed, colors.textGreen, colors.textBlue, 255),
                     PackColorByDescriptor(desc, colors.edgeRed, colors.edgeGreen, colors.edgeBlue, 255));
    FillMemImgArea(&part, nullptr, part.block->transColor);
  }
  const int shift = font->verticalOffset / 2;
  const int inX = pad + (vertical != 0 ? shift : 0);
  const int inY = pad + (vertical != 0 ? 0 : shift);
  const Rect whole = {0, 0, width, height};
  LayoutAndDrawText(1, inX, inY, 0, 1.0, 1.0, text, color, &part, &whole, 1, handle, edgeColor, -1, vertical,
                    nullptr);

  const std::uint32_t savedColorMod = gMemImgDrawState.colorMod;
  const Rect savedArea = gMemImgDrawState.drawArea;
  const int atX = x - inX;
  const int atY = y - inY;
  gMemImgDrawState.colorMod = 0xFFFFFF;
  Rect area = {atX, atY, atX + width, atY + height};
  ClipRect(&area, &savedArea);
  gMemImgDrawState.drawArea = area;
  DrawMemImgAt(target, &part, atX, atY, 1, nullptr);
  gMemImgDrawState.colorMod = savedColorMod;
  gMemImgDrawState.drawArea = savedArea;
  ReleaseMemImg(&part);
  return 0;
}

}  // namespace qz
