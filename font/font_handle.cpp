// Font handles: a table of 40 records, the GDI font behind each with its
// height correction, the cell size, and the cache (a texture graph on the
// device path, else a memory block).
#include "font/font_handle.h"

#include <cstring>

#include "core/call_trace.h"
#include "core/handle.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/multibyte.h"
#include "core/window_state.h"
#include "font/font_internal.h"
#include "font/glyph_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"

namespace qz {
namespace {

constexpr int kDefaultSize = 16;
constexpr int kDefaultThickness = 6;
constexpr int kTextureCacheSide = 512;
constexpr int kMinTextureCells = 10;
constexpr int kMemoryCacheBytes = 0x50000;
constexpr int kMinMemoryCells = 20;

constexpr std::uint32_t kCharsetGdiValues[5] = {plat::DEFAULT_CHARSET, plat::SHIFTJIS_CHARSET,
                                                 plat::HANGUL_CHARSET, plat::CHINESEBIG5_CHARSET,
                                                 plat::GB2312_CHARSET};

struct FontTable {
  FontRecord* records[kFontHandleCount];
  int highWater;
  int checkCounter;
};
FontTable gFonts = {};

int SlotOf(int handle) { return handle & kHandleSlotMask; }

int MakeFontHandle(int check, int slot) { return MakeHandle(kFontHandle, check, slot); }

std::uint32_t GdiCharset(int charset) {
  return charset >= 0 && charset < 5 ? kCharsetGdiValues[charset] : plat::DEFAULT_CHARSET;
}

plat::HFONT MakeGdiFont(int height, const FontRecord& font, int charset, const char* face) {
  return plat::CreateFontA(height, 0, 0, 0, font.thickness * 100, font.italic != 0 ? 1u : 0u, 0, 0,
                           GdiCharset(charset), plat::OUT_DEFAULT_PRECIS, plat::CLIP_DEFAULT_PRECIS,
                           plat::NONANTIALIASED_QUALITY, plat::FIXED_PITCH, face);
}

// The face as asked, then with the default and the Shift-JIS character sets.
// The record keeps the set it asked for.
plat::HFONT MakeGdiFontWithRetries(int height, const FontRecord& font) {
  const char* face = font.face[0] != '\0' ? font.face : text::kFontDefaultFace;
  plat::HFONT made = MakeGdiFont(height, font, font.charset, face);
  if (made == nullptr) made = MakeGdiFont(height, font, 0, face);
  if (made == nullptr) made = MakeGdiFont(height, font, 1, face);
  if (made == nullptr) {
    AppendLogText(font.face[0] != '\0' ? text::kFontCreateFailedFace : text::kFontCreateFailed);
  }
  return made;
}

bool ReadTextMetrics(plat::HFONT gdiFont, plat::TEXTMETRICA* metrics) {
  plat::HMEMDC context = plat::CreateCompatibleDC(nullptr);
  if (context == nullptr) {
    AppendLogText(text::kFontDcFailed);
    return false;
  }
  plat::SelectObject(context, gdiFont);
  const bool read = plat::GetTextMetricsA(context, metrics) != 0;
  plat::DeleteDC(context);
  return read;
}

// The GDI font at the corrected height, the vertical offset and the cell.
bool MakeFontAndCell(FontRecord& font) {
  font.font = MakeGdiFontWithRetries(font.size, font);
  if (font.font == nullptr) return false;
  plat::TEXTMETRICA metrics = {};
  if (!ReadTextMetrics(font.font, &metrics)) return false;
  const int leading = metrics.tmInternalLeading + metrics.tmExternalLeading;
  font.verticalOffset = 0;
  if (leading >= 1 && metrics.tmHeight > 0) {
    const float corrected =
        static_cast<float>(font.size) / (1.0f - static_cast<float>(leading) / static_cast<float>(metrics.tmHeight));
    plat::DeleteObject(font.font);
    font.font = MakeGdiFontWithRetries(static_cast<int>(corrected), font);
    if (font.font == nullptr) return false;
    const int firstHeight = metrics.tmHeight;
    if (!ReadTextMetrics(font.font, &metrics)) return false;
    font.verticalOffset = metrics.tmHeight - firstHeight;
  }
  const int edge = (font.type & kFontTypeEdge) != 0 ? font.edgeSize * 2 : 0;
  int width = (metrics.tmMaxCharWidth + 2 + edge + 7) / 8 * 8;
  int height = metrics.tmHeight + edge;
  if ((height & 1) != 0) ++height;
  if (width < height) width = height;
  font.cellWidth = width;
  font.cellHeight = height;
  return true;
}

bool SetUpTextureCache(FontRecord& font, int handle) {
  int width = kTextureCacheSide;
  int height = kTextureCacheSide;
  while ((width / font.cellWidth) * (height / font.cellWidth) < kMinTextureCells) {
    if (width <= height) {
      width *= 2;
    } else {
      height *= 2;
    }
  }
  const int cells = (width / font.cellWidth) * (height / font.cellWidth);
  font.cellCount = cells < kMaxGlyphCells ? cells : kMaxGlyphCells;
  font.cacheWidth = width;
  font.cacheHeight = height;
  font.cellsPerColumn = height / font.cellWidth;
  font.graphNeedsRemake = 1;
  if (CreateFontCacheGraph(handle) != 0) {
    AppendLogText(text::kFontTextureCacheFailed);
    return false;
  }
  return true;
}

bool AllocateCacheCopy(FontRecord& font) {
  const int halves = (font.type & kFontTypeEdge) != 0 ? 2 : 1;
  font.copyPitch = font.cacheWidth * halves * font.cacheFormat.bytesPerPixel;
  font.copyHeight = font.cacheHeight;
  font.copyBytes = font.copyPitch * font.copyHeight;
  font.copyPixels = static_cast<std::uint8_t*>(AllocTrackedZeroed(font.copyBytes, __FILE__, __LINE__));
  if (font.copyPixels == nullptr) {
    AppendLogText(text::kFontCacheCopyAllocFailed);
    return false;
  }
  return true;
}

bool SetUpMemoryCache(FontRecord& font) {
  int cells = kMemoryCacheBytes / (font.cellWidth * font.cellWidth);
  if (cells < kMinMemoryCells) cells = kMinMemoryCells;
  if (cells > kMaxGlyphCells) cells = kMaxGlyphCells;
  font.textureCache = 0;
  font.cellCount = cells;
  font.cellsPerColumn = cells;
  font.cacheWidth = font.cellWidth;
  font.cacheHeight = cells * font.cellWidth;
  font.memoryBitsPerPixel = font.type == 0 ? 1 : 8;
  font.memoryPitch = (font.cacheWidth * font.memoryBitsPerPixel + 7) / 8;
  font.memoryCache = static_cast<std::uint8_t*>(
      AllocTrackedZeroed(static_cast<std::size_t>(font.memoryPitch) * font.cacheHeight, __FILE__, __LINE__));
  if (font.memoryCache == nullptr) {
    AppendLogText(text::kFontCacheMemoryFailed);
    return false;
  }
  return true;
}

void FreeFontRecord(int slot, bool notify) {
  FontRecord* font = gFonts.records[slot];
  if (font->font != nullptr) plat::DeleteObject(font->font);
  if (font->memoryCache != nullptr) FreeTracked(font->memoryCache);
  if (font->graphNeedsRemake == 0) {
    if (font->edgeGraph != -1) ReleaseGraph(font->edgeGraph);
    if (font->glyphGraph != -1) ReleaseGraph(font->glyphGraph);
  }
  if (font->copyPixels != nullptr) FreeTracked(font->copyPixels);
  if (notify && font->deleteNotify != nullptr) *font->deleteNotify = 1;
  FreeTracked(font);
  gFonts.records[slot] = nullptr;
}

}  // namespace

bool FontDeviceLost() {
  const GraphicsState& graphics = GetGraphicsState();
  if (graphics.hardware3DOn == 0) return false;
  return graphics.device == nullptr || graphics.device->TestCooperativeLevel() != plat::D3D_OK;
}

int EffectiveFontType(int type, int edgeSize) {
  if (edgeSize > 1) type |= kFontTypeEdge;
  if (GetGraphicsState().colorBits == 8) type &= ~kFontTypeAntialiased;
  return type;
}

bool FontWorkSuspended() { return GetDrawSettings().skipDrawing != 0 || FontDeviceLost(); }

FontRecord* FontRecordAtSlot(int slot) {
  return slot >= 0 && slot < kFontHandleCount ? gFonts.records[slot] : nullptr;
}

void DeleteFontForRemake(int handle) {
  if (GetFontRecord(handle) != nullptr) FreeFontRecord(SlotOf(handle), false);
}

int CreateFontToHandle(const char* face, int size, int thickness, int type, int charset, int edgeSize, int italic,
                       int slot, int check) {
  if (GetWindowSystemState().destroyed != 0) return -1;
  if (slot == -1) {
    int live = 0;
    for (FontRecord* record : gFonts.records) live += record != nullptr ? 1 : 0;
    if (live >= kFontHandleCount) return AppendLogFormat(text::kFontHandleLimit, kFontHandleCount);
    if (gFonts.highWater < kFontHandleCount) {
      slot = gFonts.highWater;
    } else {
      slot = 0;
      while (gFonts.records[slot] != nullptr) ++slot;
    }
  } else if (slot < 0 || slot >= kFontHandleCount || gFonts.records[slot] != nullptr) {
    return -1;
  }
  if (check == -1) {
    check = gFonts.checkCounter;
    gFonts.checkCounter = (gFonts.checkCounter + 1) % kHandleCheckLimit;
  }

  auto* font = static_cast<FontRecord*>(AllocTrackedZeroed(sizeof(FontRecord), __FILE__, __LINE__));
  if (font == nullptr) return AppendLogText(text::kFontRecordAllocFailed);
  font->check = check & (kHandleCheckLimit - 1);
  font->glyphGraph = -1;
  font->edgeGraph = -1;
  font->size = size == -1 ? kDefaultSize : size;
  font->thickness = thickness == -1 ? kDefaultThickness : thickness;
  font->edgeSize = edgeSize == -1 ? 1 : edgeSize;
  font->type = EffectiveFontType(type == -1 ? 0 : type, font->edgeSize);
  font->italic = italic;
  font->charset = charset == -1 ? GetCurrentCharset() : charset;
  if (face != nullptr) {
    std::strncpy(font->face, face, kFontFaceBytes - 1);
  }
  gFonts.records[slot] = font;
  if (slot >= gFonts.highWater) gFonts.highWater = slot + 1;
  const int handle = MakeFontHandle(font->check, slot);

  font->textureCache = GetGraphicsState().hardware3DOn != 0 ? 1 : 0;
  bool made = MakeFontAndCell(*font);
  if (made && font->textureCache != 0) {
    if (!SetUpTextureCache(*font, handle)) {
      made = SetUpMemoryCache(*font);
    } else {
      made = AllocateCacheCopy(*font);
    }
  } else if (made) {
    made = SetUpMemoryCache(*font);
  }
  if (!made) {
    FreeFontRecord(slot, false);
    return -1;
  }
  ClearFontGlyphCache(handle);
  return handle;
}

int DeleteFontHandle(int handle) {
  RecordCall("DeleteFontHandle");
  if (GetFontRecord(handle) == nullptr) return -1;
  FreeFontRecord(SlotOf(handle), true);
  return 0;
}

int SetFontDeleteNotifyPointer(int handle, std::int32_t* notify) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  font->deleteNotify = notify;
  if (notify != nullptr) *notify = 0;
  return 0;
}

int SetFontExtraSpacing(int spacing, int handle) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  font->extraSpacing = spacing;
  return 0;
}

int QueryFontSize(int handle) {
  const FontRecord* font = GetFontRecord(handle);
  return font != nullptr ? font->size : -1;
}

int QueryFontFaceSizeThickness(char* face, int* size, int* thickness, int handle) {
  const FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  if (face != nullptr) std::memcpy(face, font->face, kFontFaceBytes);
  if (size != nullptr) *size = font->size;
  if (thickness != nullptr) *thickness = font->thickness;
  return 0;
}

int IsFontHandleValid(int handle) { return GetFontRecord(handle) != nullptr ? 1 : 0; }

FontRecord* GetFontRecord(int handle) {
  if (handle < 0 || (handle & kHandleKindMask) != kFontHandle) return nullptr;
  FontRecord* font = FontRecordAtSlot(SlotOf(handle));
  if (font == nullptr || font->check != ((handle >> 16) & (kHandleCheckLimit - 1))) return nullptr;
  return font;
}

int RecreateAllFonts() {
  for (int slot = 0; slot < kFontHandleCount; ++slot) {
    FontRecord* font = gFonts.records[slot];
    if (font == nullptr) continue;
    char face[kFontFaceBytes];
    std::memcpy(face, font->face, sizeof(face));
    const int handle = MakeFontHandle(font->check, slot);
    struct {
      int check, size, thickness, type, charset, edgeSize, italic, extraSpacing;
      std::int32_t* deleteNotify;
    } const kept = {font->check,    font->size,     font->thickness, font->type,        font->charset,
                    font->edgeSize, font->italic,   font->extraSpacing, font->deleteNotify};
    DeleteFontForRemake(handle);
    const int remade = CreateFontToHandle(face[0] != '\0' ? face : nullptr, kept.size, kept.thickness, kept.type,
                                          kept.charset, kept.edgeSize, kept.italic, slot, kept.check);
    if (remade == -1) {
      if (kept.deleteNotify != nullptr) *kept.deleteNotify = 1;
      continue;
    }
    FontRecord* again = GetFontRecord(remade);
    again->extraSpacing = kept.extraSpacing;
    again->deleteNotify = kept.deleteNotify;
  }
  return 0;
}

int DeleteAllFontHandles() {
  for (int slot = 0; slot < kFontHandleCount; ++slot) {
    if (gFonts.records[slot] != nullptr) FreeFontRecord(slot, true);
  }
  return 0;
}

int GetFontHandleOfSlot(int slot) {
  const FontRecord* font = FontRecordAtSlot(slot);
  return font != nullptr ? MakeFontHandle(font->check, slot) : -1;
}

}  // namespace qz
