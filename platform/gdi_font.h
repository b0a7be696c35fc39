// The GDI font calls the font code makes: font objects, memory device
// contexts to select them into, text metrics and glyph bitmaps. Glyphs come
// from a GlyphProvider (FreeType with fontconfig face matching unless a test
// installs another). Metrics keep GDI's meaning: the cell height is ascent
// plus descent, the internal leading is the cell height less the em.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr std::uint32_t DEFAULT_CHARSET = 1;
inline constexpr std::uint32_t SHIFTJIS_CHARSET = 128;
inline constexpr std::uint32_t HANGUL_CHARSET = 129;
inline constexpr std::uint32_t GB2312_CHARSET = 134;
inline constexpr std::uint32_t CHINESEBIG5_CHARSET = 136;
inline constexpr std::uint32_t OUT_DEFAULT_PRECIS = 0;
inline constexpr std::uint32_t CLIP_DEFAULT_PRECIS = 0;
inline constexpr std::uint32_t NONANTIALIASED_QUALITY = 3;
inline constexpr std::uint32_t FIXED_PITCH = 1;
inline constexpr std::uint32_t GGO_BITMAP = 1;
inline constexpr std::uint32_t GGO_GRAY4_BITMAP = 5;
inline constexpr std::uint32_t GDI_ERROR = 0xFFFFFFFFu;

struct GdiFont;
struct MemoryDeviceContext;
using HFONT = GdiFont*;
using HMEMDC = MemoryDeviceContext*;

struct TEXTMETRICA {
  std::int32_t tmHeight;
  std::int32_t tmAscent;
  std::int32_t tmDescent;
  std::int32_t tmInternalLeading;
  std::int32_t tmExternalLeading;
  std::int32_t tmAveCharWidth;
  std::int32_t tmMaxCharWidth;
};

struct GlyphPoint {
  std::int32_t x;
  std::int32_t y;
};

struct GLYPHMETRICS {
  std::uint32_t gmBlackBoxX;
  std::uint32_t gmBlackBoxY;
  GlyphPoint gmptGlyphOrigin;  // top-left of the black box from the pen, y up
  std::int16_t gmCellIncX;
  std::int16_t gmCellIncY;
};

struct FIXED {
  std::uint16_t fract;
  std::int16_t value;
};

struct MAT2 {
  FIXED eM11, eM12, eM21, eM22;
};

// height > 0: cell height in pixels; < 0: em height. The face is code-page
// text of the charset (DEFAULT_CHARSET: the library's code page). Null when
// no font can be made.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, std::uint32_t italic,
                  std::uint32_t underline, std::uint32_t strikeOut, std::uint32_t charset,
                  std::uint32_t outPrecision, std::uint32_t clipPrecision, std::uint32_t quality,
                  std::uint32_t pitchAndFamily, const char* face);
// 1, or 0 for null. A font still selected into a context stays usable there.
int DeleteObject(HFONT font);

// The reference context is ignored (screen-compatible contexts only).
HMEMDC CreateCompatibleDC(void* reference);
// The previously selected font (null at first); null for a null context.
HFONT SelectObject(HMEMDC context, HFONT font);
int DeleteDC(HMEMDC context);

// 1, or 0 without a selected font.
int GetTextMetricsA(HMEMDC context, TEXTMETRICA* metrics);
// `code` is a code-page character: a byte, or lead << 8 | trail. GGO_BITMAP
// rows are 1 bit per pixel, most significant bit first; GGO_GRAY4_BITMAP rows
// one byte 0..16 per pixel; both padded to 4 bytes. A null buffer or size 0
// returns the size needed; otherwise the bytes written, or GDI_ERROR.
std::uint32_t GetGlyphOutlineA(HMEMDC context, std::uint32_t code, std::uint32_t format, GLYPHMETRICS* metrics,
                               std::uint32_t bufferSize, void* buffer, const MAT2* matrix);

// Fonts and contexts alive (leak checks in tests).
int GetLiveGdiFontCount();
int GetLiveMemoryDcCount();
// The file and family fontconfig chose for a font (empty for other providers).
const char* GetGdiFontFamily(HFONT font);

}  // namespace plat
