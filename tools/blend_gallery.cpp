// Writes a PNG gallery of every software blend mode and a range of blend
// parameters for a reviewer to look at: one sheet per page and target depth
// (16 and 32 bits). Usage: blend_gallery OUT_DIR
//
// Each sheet has one row per mode (0, 1, 2, 3, 4, 10, 11, top to bottom) and
// one column per parameter (0, 1, 64, 127, 128, 192, 254, 255); every tile is
// a colour gradient background with shapes drawn on it in the tile's mode and
// parameter. Pages:
// - blend_gallery: a gradient sprite stretched with the scaled blit, a filled
//   rectangle and a line in mid grey, and two overlapping solid triangles
//   (yellow and cyan) crossing them;
// - triangles: the sprite mapped onto two overlapping textured triangles,
//   one with the transparent colour left out;
// - quads: the sprite warped onto a trapezoid and onto a bow-tie shape;
// - rotation: the sprite turned by 0.5 and 2.4 rad, the second mirrored;
// - scaling: the sprite unturned at scale 0.75 and 2.5, the second mirrored.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/rect.h"
#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/rotated.h"
#include "softrender/scaled_blit.h"
#include "softrender/shapes.h"
#include "softrender/triangle.h"
#include "tools/gallery_support.h"

namespace {

constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};
constexpr int kParams[] = {0, 1, 64, 127, 128, 192, 254, 255};
constexpr int kTileW = 96;
constexpr int kTileH = 72;
constexpr int kGap = 4;

std::uint32_t Rgb(int r, int g, int b) {
  return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

// A colour 0x00RRGGBB as a raw value of the target format.
std::uint32_t Raw(std::uint32_t rgb, bool wide) {
  if (wide) return rgb;
  return ((rgb >> 8) & 0xF800u) | ((rgb >> 5) & 0x07E0u) | ((rgb >> 3) & 0x001Fu);
}

std::uint32_t ToRgb(const qz::MEMIMG& img, int x, int y, bool wide) {
  const std::uint8_t* p = img.pixels + static_cast<std::ptrdiff_t>(y) * img.block->pitch + x * (wide ? 4 : 2);
  if (wide) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v & 0xFFFFFFu;
  }
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  const std::uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
  return Rgb(static_cast<int>((r << 3) | (r >> 2)), static_cast<int>((g << 2) | (g >> 4)),
             static_cast<int>((b << 3) | (b >> 2)));
}

void PutPixel(qz::MEMIMG& img, int x, int y, std::uint32_t raw, bool wide) {
  std::uint8_t* p = img.pixels + static_cast<std::ptrdiff_t>(y) * img.block->pitch + x * (wide ? 4 : 2);
  std::memcpy(p, &raw, wide ? 4 : 2);
}

bool WritePng(const std::string& path, const qz::MEMIMG& img, bool wide) {
  qz::tools::Frame frame(static_cast<std::size_t>(img.width) * img.height);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) frame[static_cast<std::size_t>(y) * img.width + x] = ToRgb(img, x, y, wide);
  }
  return qz::tools::WriteFramePng(path, img.width, img.height, frame);
}

// The sprite of every page: red across, blue down, a white diagonal, and a
// corner in the transparent colour (pure green).
constexpr std::uint32_t kKeyRgb = 0x00FF00;
constexpr int kSpriteSide = 16;

void PaintSprite(qz::MEMIMG& sprite, bool wide) {
  for (int y = 0; y < kSpriteSide; ++y) {
    for (int x = 0; x < kSpriteSide; ++x) {
      std::uint32_t c = x == y ? 0xFFFFFFu : Rgb(x * 17, 96, y * 17);
      if (x + y < 5) c = kKeyRgb;
      PutPixel(sprite, x, y, Raw(c, wide), wide);
    }
  }
  sprite.block->transColor = Raw(kKeyRgb, wide);
}

// Draws one tile's shapes with its top-left at (left, top); the draw state
// already holds the tile's mode, parameter and area.
using TilePainter = std::function<void(qz::MEMIMG& sheet, qz::MEMIMG& sprite, int left, int top, bool wide)>;

void PaintBlitsAndSolids(qz::MEMIMG& sheet, qz::MEMIMG& sprite, int left, int top, bool wide) {
  const std::int32_t rect[4] = {left + 8, top + 4, left + kTileW - 8, top + 44};
  qz::DrawMemImgScaled(&sheet, &sprite, rect, 0, nullptr);
  const qz::Rect band{left + 8, top + 50, left + kTileW - 8, top + 62};
  qz::FillMemImgRect(&sheet, &band, Raw(0x808080, wide));
  qz::DrawMemImgLine(&sheet, left + 4, top + 66, left + kTileW - 4, top + 66, Raw(0xFFFFFF, wide));
  const qz::MemImgVertex wedge[3] = {{left + 2, top + 2, 0, 0}, {left + 58, top + 30, 0, 0}, {left + 14, top + 70, 0, 0}};
  qz::DrawMemImgTriangle(&sheet, nullptr, wedge, 0, nullptr, Raw(0xFFE000, wide));
  const qz::MemImgVertex spike[3] = {{left + 90, top + 6, 0, 0}, {left + 40, top + 40, 0, 0}, {left + 84, top + 68, 0, 0}};
  qz::DrawMemImgTriangle(&sheet, nullptr, spike, 0, nullptr, Raw(0x00E0FF, wide));
}

void PaintTriangles(qz::MEMIMG& sheet, qz::MEMIMG& sprite, int left, int top, bool) {
  const int s = kSpriteSide;
  const qz::MemImgVertex fan[3] = {{left + 4, top + 4, 0, 0}, {left + 60, top + 10, s, 0}, {left + 10, top + 66, 0, s}};
  qz::DrawMemImgTriangle(&sheet, &sprite, fan, 0, nullptr, 0);
  const qz::MemImgVertex keyed[3] = {{left + 92, top + 2, s, 0}, {left + 30, top + 34, 0, 0}, {left + 80, top + 70, s, s}};
  qz::DrawMemImgTriangle(&sheet, &sprite, keyed, 1, nullptr, 0);
}

void PaintQuads(qz::MEMIMG& sheet, qz::MEMIMG& sprite, int left, int top, bool) {
  const std::int32_t trapezoid[8] = {left + 14, top + 4, left + 50, top + 4, left + 2, top + 68, left + 60, top + 60};
  qz::DrawMemImgQuad(&sheet, &sprite, trapezoid, 1, nullptr);
  const std::int32_t bowTie[8] = {left + 52, top + 10, left + 92, top + 60, left + 92, top + 14, left + 50, top + 66};
  qz::DrawMemImgQuad(&sheet, &sprite, bowTie, 0, nullptr);
}

void PaintRotation(qz::MEMIMG& sheet, qz::MEMIMG& sprite, int left, int top, bool) {
  qz::DrawMemImgRotated(&sheet, &sprite, left + 28, top + 36, 0.5f, 2.6f, 1, 0, nullptr);
  qz::DrawMemImgRotated(&sheet, &sprite, left + 70, top + 36, 2.4f, 2.2f, 0, 1, nullptr);
}

void PaintScaling(qz::MEMIMG& sheet, qz::MEMIMG& sprite, int left, int top, bool) {
  qz::DrawMemImgRotated(&sheet, &sprite, left + 14, top + 36, 0.0f, 0.75f, 0, 0, nullptr);
  qz::DrawMemImgRotated(&sheet, &sprite, left + 58, top + 36, 0.0f, 2.5f, 1, 1, nullptr);
}

bool WriteSheet(const std::string& path, bool wide, const TilePainter& paint) {
  const int format = wide ? qz::kMemImgFormatXrgb32 : qz::kMemImgFormatRgb565;
  const int cols = static_cast<int>(std::size(kParams));
  const int rows = static_cast<int>(std::size(kModes));
  qz::MEMIMG sheet{};
  qz::MEMIMG sprite{};
  if (qz::InitMemImg(&sheet, cols * (kTileW + kGap) + kGap, rows * (kTileH + kGap) + kGap, format) != 0 ||
      qz::InitMemImg(&sprite, kSpriteSide, kSpriteSide, format) != 0) {
    qz::ReleaseMemImg(&sheet);
    return false;
  }
  qz::FillMemImgArea(&sheet, nullptr, Raw(0x202020, wide));
  PaintSprite(sprite, wide);
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < cols; ++col) {
      const int left = kGap + col * (kTileW + kGap);
      const int top = kGap + row * (kTileH + kGap);
      // Background: green across, a grey ramp down.
      for (int y = 0; y < kTileH; ++y) {
        for (int x = 0; x < kTileW; ++x) {
          const int g = x * 255 / (kTileW - 1), v = y * 255 / (kTileH - 1);
          PutPixel(sheet, left + x, top + y, Raw(Rgb(v, g, 255 - v), wide), wide);
        }
      }
      qz::gMemImgDrawState.blendMode = kModes[row];
      qz::gMemImgDrawState.blendParam = kParams[col];
      qz::gMemImgDrawState.drawArea = qz::Rect{left, top, left + kTileW, top + kTileH};
      paint(sheet, sprite, left, top, wide);
    }
  }
  const bool ok = WritePng(path, sheet, wide);
  qz::ReleaseMemImg(&sprite);
  qz::ReleaseMemImg(&sheet);
  return ok;
}

struct Page {
  const char* name;
  TilePainter paint;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  qz::BuildMemImgBlendTables();
  qz::gMemImgDrawState.colorMod = 0xFFFFFF;
  const std::string dir = argv[1];
  const Page pages[] = {{"blend_gallery", PaintBlitsAndSolids},
                        {"triangles", PaintTriangles},
                        {"quads", PaintQuads},
                        {"rotation", PaintRotation},
                        {"scaling", PaintScaling}};
  for (const Page& page : pages) {
    for (const bool wide : {true, false}) {
      const std::string path = dir + "/" + page.name + (wide ? "_32bit.png" : "_16bit.png");
      if (!WriteSheet(path, wide, page.paint)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
      }
      std::printf("%s\n", path.c_str());
    }
  }
  return 0;
}
