// GDI font objects over a glyph provider.
#include "platform/gdi_font.h"

namespace plat {

HFONT CreateFontA(int, int, int, int, int, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                  std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const char*) {
  return nullptr;
}
int DeleteObject(HFONT font) { return font != nullptr ? 1 : 0; }
HMEMDC CreateCompatibleDC(void*) { return nullptr; }
HFONT SelectObject(HMEMDC, HFONT) { return nullptr; }
int DeleteDC(HMEMDC) { return 0; }
int GetTextMetricsA(HMEMDC, TEXTMETRICA*) { return 0; }
std::uint32_t GetGlyphOutlineA(HMEMDC, std::uint32_t, std::uint32_t, GLYPHMETRICS*, std::uint32_t, void*,
                               const MAT2*) {
  return GDI_ERROR;
}
int GetLiveGdiFontCount() { return 0; }
int GetLiveMemoryDcCount() { return 0; }
const char* GetGdiFontFamily(HFONT) { return ""; }

}  // namespace plat
