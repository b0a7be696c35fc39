// The default font: its settings, its re-creation when a setting changes,
// and the font system's reset and end that graphics start and end run.
#include "font/default_font.h"

#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/multibyte.h"
#include "font/font_handle.h"
#include "font/font_internal.h"

namespace qz {
namespace {

struct DefaultFont {
  int handle;
  char face[kFontFaceBytes];  // empty: the library's default face
  int size;
  int thickness;
  int type;
  int charset;  // -1: the library's
  int edgeSize;
  int italic;
  int extraSpacing;
};

constexpr DefaultFont kDefaults = {-1, {}, 16, 6, 0, -1, 1, 0, 0};
DefaultFont gDefault = kDefaults;

struct FontParameters {
  char face[kFontFaceBytes];
  int size, thickness, type, charset, edgeSize, italic;
};

FontParameters ParametersFromSettings() {
  FontParameters wanted = {};
  std::memcpy(wanted.face, gDefault.face, sizeof(wanted.face));
  wanted.size = gDefault.size;
  wanted.thickness = gDefault.thickness;
  wanted.type = gDefault.type;
  wanted.charset = gDefault.charset == -1 ? GetCurrentCharset() : gDefault.charset;
  wanted.edgeSize = (gDefault.type & kFontTypeEdge) != 0 ? gDefault.edgeSize : -1;
  wanted.italic = gDefault.italic;
  return wanted;
}

int CreateDefaultFont(const FontParameters& wanted) {
  gDefault.handle = CreateFontToHandle(wanted.face[0] != '\0' ? wanted.face : nullptr, wanted.size,
                                       wanted.thickness, wanted.type, wanted.charset, wanted.edgeSize,
                                       wanted.italic, -1, -1);
  if (gDefault.handle != -1) SetFontExtraSpacing(gDefault.extraSpacing, gDefault.handle);
  return gDefault.handle;
}

// What a font made from `wanted` would hold, against the live record.
bool Matches(const FontRecord& font, const FontParameters& wanted) {
  const int edgeSize = wanted.edgeSize == -1 ? 1 : wanted.edgeSize;
  return std::strncmp(font.face, wanted.face, kFontFaceBytes) == 0 && font.size == wanted.size &&
         font.thickness == wanted.thickness && font.type == EffectiveFontType(wanted.type, edgeSize) &&
         font.charset == wanted.charset && font.edgeSize == edgeSize && font.italic == wanted.italic;
}

}  // namespace

int QueryDefaultFontHandle() { return gDefault.handle; }

int SetDefaultFontSizeThickness(int size, int thickness) {
  gDefault.size = size == -1 ? kDefaults.size : size;
  gDefault.thickness = thickness == -1 ? kDefaults.thickness : thickness;
  return RefreshDefaultFont();
}

int SetDefaultFontSize(int size) {
  gDefault.size = size == -1 ? kDefaults.size : size;
  return RefreshDefaultFont();
}

int SetDefaultFontFace(const char* face, int charset) {
  std::memset(gDefault.face, 0, sizeof(gDefault.face));
  if (face != nullptr) std::strncpy(gDefault.face, face, sizeof(gDefault.face) - 1);
  gDefault.charset = charset;
  return RefreshDefaultFont();
}

int SetDefaultFontType(int type) {
  gDefault.type = type == -1 ? kDefaults.type : type;
  return RefreshDefaultFont();
}

int RefreshDefaultFont() {
  const FontParameters wanted = ParametersFromSettings();
  const FontRecord* live = GetFontRecord(gDefault.handle);
  if (live != nullptr && Matches(*live, wanted)) return 0;
  if (live != nullptr) DeleteFontHandle(gDefault.handle);
  return CreateDefaultFont(wanted) == -1 ? -1 : 0;
}

int InitFontDefaults() {
  gDefault = kDefaults;
  return InitializeFontSystem();
}

int InitializeFontSystem() {
  if (FontDeviceLost()) return -1;
  AppendLogText(text::kFontSystemInit);
  IncreaseLogIndent();
  FontParameters wanted = ParametersFromSettings();
  if (const FontRecord* live = GetFontRecord(gDefault.handle)) {
    std::memcpy(wanted.face, live->face, sizeof(wanted.face));
    wanted.size = live->size;
    wanted.thickness = live->thickness;
    wanted.type = live->type;
    wanted.charset = live->charset;
    wanted.edgeSize = live->edgeSize;
    wanted.italic = live->italic;
  }
  DeleteAllFontHandles();
  CreateDefaultFont(wanted);
  DecreaseLogIndent();
  AppendLogText(text::kFontSystemInitDone);
  return 0;
}

int TerminateFontSystem() {
  InitializeFontSystem();
  if (gDefault.handle != -1) DeleteFontHandle(gDefault.handle);
  gDefault.handle = -1;
  return 0;
}

}  // namespace qz
