// Draws every public draw of the library into PNG screenshots on both
// renderers, for a reviewer to look at, headless. Usage: draw_gallery OUT_DIR
//
// Writes draw_gallery_device.png (the Direct3D path on the stand-in device)
// and draw_gallery_software.png (the software renderer). Each is one 640 x 480
// frame: one row per blend mode (0, 1, 2, 3, 4, 10, 11, top to bottom, blend
// parameter 160) and one column per draw (left to right): plain, stretched,
// mirrored, turned, turned and mirrored, by sub-rectangle, on a trapezoid,
// filled rectangle, rectangle frame, lines (one-pixel rectangles). The cells
// of a generated sprite sheet are discs on pure green, the transparent colour.
// Prints, per blend mode, how many pixels differ between the frames.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_shapes.h"
#include "graphics/graph_from_image.h"
#include "image/base_image.h"
#include "tools/gallery_support.h"

namespace {

constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};
constexpr int kCell = 64;
constexpr int kTop = 16;
constexpr int kSheetCells = 8;
constexpr int kSprite = 24;

// 0xRRGGBB rows of a frame.
using qz::tools::Frame;

// Eight 24 x 24 discs, each shaded in its own colours, on pure green.
int MakeSpriteSheet(int* cells) {
  qz::BaseImage sheet{};
  if (qz::AllocXRGB8BaseImage(4 * kSprite, 2 * kSprite, &sheet) != 0) return -1;
  for (int cell = 0; cell < kSheetCells; ++cell) {
    const int ox = (cell % 4) * kSprite, oy = (cell / 4) * kSprite;
    for (int y = 0; y < kSprite; ++y) {
      for (int x = 0; x < kSprite; ++x) {
        const int dx = 2 * x - kSprite + 1, dy = 2 * y - kSprite + 1;
        if (dx * dx + dy * dy > (kSprite - 2) * (kSprite - 2)) {
          qz::SetBaseImagePixel(&sheet, ox + x, oy + y, 0, 255, 0, 255);
        } else {
          qz::SetBaseImagePixel(&sheet, ox + x, oy + y, (cell * 97 + x * 9) & 0xFF, (y * 10) & 0xFF,
                                (255 - cell * 31 - x * 4) & 0xFF, 255);
        }
      }
    }
  }
  const int result = qz::CreateDivGraphFromGraphImage(&sheet, nullptr, kSheetCells, 4, 2, kSprite, kSprite, cells, 0, 0);
  qz::FreeBaseImagePixels(&sheet);
  return result;
}

// Stripes and gradients, so each blend mode shows against many colours.
int MakeBackground() {
  qz::BaseImage image{};
  if (qz::AllocXRGB8BaseImage(640, 480, &image) != 0) return -1;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool stripe = ((x + y) / 8) % 2 == 0;
      qz::SetBaseImagePixel(&image, x, y, stripe ? 230 : (x % kCell) * 4, (y % kCell) * 4, stripe ? 40 : 200, 255);
    }
  }
  const int graph = qz::BuildGraphFromBaseImages(&image, nullptr, 0);
  qz::FreeBaseImagePixels(&image);
  return graph;
}

void DrawRow(int row, const int* cells) {
  const int mode = kModes[row];
  qz::SetBlendModeAndParam(mode, mode == 0 ? 0 : 160);
  const int y = kTop + row * kCell + 8;
  auto sprite = [&](int column) { return cells[(row + column) % kSheetCells]; };
  auto x = [](int column) { return column * kCell + 8; };
  qz::BlitGraph(x(0) + 12, y + 12, sprite(0), 1);
  qz::BlitGraphStretched(x(1), y, x(1) + 48, y + 40, sprite(1), 1);
  qz::BlitGraphMirrored(x(2) + 12, y + 12, sprite(2), 1);
  qz::BlitGraphRotated(x(3) + 24, y + 24, 1.6, 0.6, sprite(3), 1, 0);
  qz::BlitGraphRotated(x(4) + 24, y + 24, 1.6, 0.6, sprite(4), 1, 1);
  qz::BlitGraphSubRect(x(5) + 12, y + 12, 4, 0, 16, 24, sprite(5), 1, 0);
  qz::BlitGraphOnQuad(static_cast<float>(x(6) + 12), static_cast<float>(y), static_cast<float>(x(6) + 36),
                      static_cast<float>(y), static_cast<float>(x(6) + 48), static_cast<float>(y + 44),
                      static_cast<float>(x(6)), static_cast<float>(y + 44), sprite(6), 1);
  qz::DrawSolidRectangle(x(7), y + 4, x(7) + 44, y + 40, qz::MakeColorValue(200, 120, 40));
  qz::DrawRectangleFrame(x(8), y + 4, x(8) + 44, y + 40, qz::MakeColorValue(40, 220, 255));
  for (int i = 0; i < 5; ++i) {
    qz::DrawSolidRectangle(x(9), y + 4 + 9 * i, x(9) + 46, y + 5 + 9 * i, qz::MakeColorValue(255, 255, 255));
    qz::DrawSolidRectangle(x(9) + 2 + 11 * i, y, x(9) + 3 + 11 * i, y + 46, qz::MakeColorValue(255, 40, 40));
  }
}

bool DrawFrame() {
  qz::SetTransparentColorRGB(0, 255, 0);
  int cells[kSheetCells];
  const int background = MakeBackground();
  if (background == -1 || MakeSpriteSheet(cells) != 0) return false;
  qz::BlitGraph(0, 0, background, 0);
  for (int row = 0; row < static_cast<int>(std::size(kModes)); ++row) DrawRow(row, cells);
  qz::SetBlendModeAndParam(0, 0);
  return true;
}

// Per mode's row, the pixels whose channels differ by more than 2 between
// the frames (turned and unevenly stretched draws sample the source at pixel
// centres on the device and at pixel corners in software, so their edges
// differ).
void PrintRowDifferences(const Frame& device, const Frame& software) {
  for (int row = 0; row < static_cast<int>(std::size(kModes)); ++row) {
    int differing = 0;
    for (int y = kTop + row * kCell; y < kTop + (row + 1) * kCell; ++y) {
      for (int x = 0; x < 640; ++x) {
        const std::uint32_t a = device[y * 640 + x], b = software[y * 640 + x];
        int worst = 0;
        for (int shift = 0; shift < 24; shift += 8) {
          const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
          worst = d > worst ? d : worst;
        }
        differing += worst > 2 ? 1 : 0;
      }
    }
    std::printf("blend mode %d: %d of %d pixels differ by more than 2\n", kModes[row], differing, 640 * kCell);
  }
}

}  // namespace

int main(int argc, char** argv) {
  return qz::tools::RunTwoRendererGallery(argc, argv, "draw_gallery", &DrawFrame, &PrintRowDifferences);
}
