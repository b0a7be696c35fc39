// Text layout, drawing and measuring in a font, on the device path through
// the cache graph and on the software path into a software image.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "softrender/mem_img.h"

namespace qz {

// Colours are ColorValues. 0, or -1.
int DrawTextWithFont(int x, int y, const char* text, std::uint32_t color, int handle, std::uint32_t edgeColor,
                     int vertical);
int DrawTextDefaultFont(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor);
int MeasureTextWidthDefaultFont(const char* text, int length, int vertical);
int DrawTextViaTextureCache(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor,
                            int vertical, int handle);
int DrawTextThroughSoftRenderer(int x, const char* text, std::uint32_t color, std::uint32_t edgeColor, int vertical,
                                int y, int handle);

struct TextSize {
  int width;
  int height;
};

// mode 1 draws, 0 measures. With `dest` the glyphs are written into it inside
// `clip`; without it they are drawn through the cache graph. Returns the pen
// travel in pixels, or -1.
int LayoutAndDrawText(int mode, int x, int y, int scaled, double scaleX, double scaleY, const char* text,
                      std::uint32_t color, MEMIMG* dest, const Rect* clip, int transparent, int handle,
                      std::uint32_t edgeColor, int length, int vertical, TextSize* outSize);

}  // namespace qz
