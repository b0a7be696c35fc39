// Draws the library's fonts into PNG screenshots on both renderers, for a
// reviewer to look at, headless. Usage: font_gallery OUT_DIR
//
// Writes font_gallery_device.png (the Direct3D path, glyphs from the texture
// cache) and font_gallery_software.png (the software renderer, glyphs from
// the memory cache), each one 640 x 480 frame over a two-tone background:
// the game's default font (edge type, the gothic face, size 18) first, then
// the plain, anti-aliased and anti-aliased edge types, a wider edge, italic,
// a large size, a half-transparent line and vertical text. Prints how many
// pixels differ between the frames.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log_text.h"
#include "font/default_font.h"
#include "font/font_handle.h"
#include "font/text_draw.h"
#include "graphics/color_value.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"
#include "tools/gallery_support.h"

namespace {

using qz::tools::Frame;

constexpr const char* kGameOver = "\x83\x51\x81\x5B\x83\x80\x83\x49\x81\x5B\x83\x6F\x81\x5B";
constexpr const char* kJapaneseText = "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67";
constexpr const char* kVertical = "\x8F\x63\x8F\x91\x82\xAB Vertical";

struct Line {
  const char* label;
  int size;
  int thickness;
  int type;
  int edgeSize;
  int italic;
};

constexpr Line kLines[] = {
    {"type 0 plain", 18, 6, 0, 1, 0},       {"type 2 anti-aliased", 18, 6, 2, 1, 0},
    {"type 3 anti-aliased edge", 18, 6, 3, 1, 0}, {"type 1 edge 2", 18, 6, 1, 2, 0},
    {"italic, thin", 18, 3, 0, 1, 1},       {"size 32 type 3", 32, 6, 3, 1, 0},
};

void DrawBackground() {
  qz::DrawSolidRectangle(0, 0, 640, 480, qz::MakeColorValue(36, 60, 110));
  qz::DrawSolidRectangle(0, 240, 640, 480, qz::MakeColorValue(200, 190, 150));
}

void DrawFonts() {
  const qz::ColorValue white = qz::MakeColorValue(255, 255, 255);
  const qz::ColorValue black = qz::MakeColorValue(0, 0, 0);
  const qz::ColorValue yellow = qz::MakeColorValue(255, 230, 60);
  const qz::ColorValue red = qz::MakeColorValue(200, 30, 30);
  qz::SetDefaultFontType(1);
  qz::SetDefaultFontFace(qz::text::kFontDefaultFace, -1);
  qz::SetDefaultFontSize(18);
  qz::DrawTextDefaultFont(8, 8, "Default font: Veltrin! P  0123456789", white, black);
  qz::DrawTextDefaultFont(8, 32, kGameOver, white, black);
  qz::DrawTextDefaultFont(200, 32, kJapaneseText, yellow, red);
  int y = 64;
  for (const Line& line : kLines) {
    const int handle = qz::CreateFontToHandle(qz::text::kFontDefaultFace, line.size, line.thickness, line.type, -1,
                                              line.edgeSize, line.italic, -1, -1);
    const std::string text = std::string(line.label) + "  " + kJapaneseText;
    qz::DrawTextWithFont(8, y, text.c_str(), y < 240 ? white : black, handle, y < 240 ? black : white, 0);
    y += line.size + 16;
    qz::DeleteFontHandle(handle);
  }
  const int handle = qz::CreateFontToHandle(nullptr, 18, 6, 1, -1, -1, 0, -1, -1);
  qz::SetBlendModeAndParam(1, 128);
  qz::DrawTextWithFont(8, y, "Half transparent edge text", white, handle, black, 0);
  qz::SetBlendModeAndParam(0, 0);
  qz::DrawTextWithFont(600, 64, kVertical, yellow, handle, black, 1);
  qz::DeleteFontHandle(handle);
}

bool DrawFrame() {
  DrawBackground();
  DrawFonts();
  return true;
}

void PrintDifferingPixels(const Frame& device, const Frame& software) {
  int differing = 0;
  for (std::size_t i = 0; i < device.size(); ++i) differing += device[i] != software[i] ? 1 : 0;
  std::printf("%d of %d pixels differ between the renderers\n", differing, 640 * 480);
}

}  // namespace

int main(int argc, char** argv) {
  return qz::tools::RunTwoRendererGallery(argc, argv, "font_gallery", &DrawFrame, &PrintDifferingPixels);
}
