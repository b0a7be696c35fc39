// Text drawing entries.
#include "font/text_draw.h"

namespace qz {

int DrawTextWithFont(int, int, const char*, std::uint32_t, int, std::uint32_t, int) { return -1; }
int DrawTextDefaultFont(int, int, const char*, std::uint32_t, std::uint32_t) { return -1; }
int MeasureTextWidthDefaultFont(const char*, int, int) { return -1; }
int DrawTextViaTextureCache(int, int, const char*, std::uint32_t, std::uint32_t, int, int) { return 0; }
int DrawTextThroughSoftRenderer(int, const char*, std::uint32_t, std::uint32_t, int, int, int) { return -1; }
int LayoutAndDrawText(int, int, int, int, double, double, const char*, std::uint32_t, MEMIMG*, const Rect*, int,
                      int, std::uint32_t, int, int, TextSize*) {
  return -1;
}

}  // namespace qz
