// The main program. Until the game exists it is a small demonstration of the
// library layer: it starts the library in a window ("QzLib", no title set),
// loads a sprite sheet cut into cells, and each frame draws a moving sprite
// scene through the public draw calls until the window is closed or Escape
// is pressed; then it ends the library. The log (Log.txt in the current
// folder) shows every start and end step.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_present.h"
#include "input/pad_input.h"

namespace {

// The device key code of Escape.
constexpr int kEscapeKeyCode = 0x01;
constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kCell = 32;
constexpr int kCells = 8;  // one row of cells
constexpr int kSprites = 48;

// Eight 32x32 cells of coloured rings and stars on black, the transparent
// colour, written as a 24-bit TGA into the temporary folder.
std::string WriteSpriteSheet() {
  const char* folder = std::getenv("TMPDIR");
  const std::string path = std::string(folder != nullptr ? folder : "/tmp") + "/veltrin_demo_sprites.tga";
  std::string bytes(18, '\0');
  bytes[2] = 2;
  bytes[12] = static_cast<char>(kCell * kCells);
  bytes[13] = static_cast<char>((kCell * kCells) >> 8);
  bytes[14] = static_cast<char>(kCell);
  bytes[16] = 24;
  bytes[17] = 0x20;  // rows from the top
  for (int y = 0; y < kCell; ++y) {
    for (int x = 0; x < kCell * kCells; ++x) {
      const int cell = x / kCell;
      const double dx = x % kCell - 15.5, dy = y - 15.5;
      const double radius = std::hypot(dx, dy);
      const double angle = std::atan2(dy, dx);
      const double edge = cell % 2 == 0 ? 15.0 : 9.0 + 6.0 * std::cos(angle * 5.0);
      std::uint8_t red = 0, green = 0, blue = 0;
      if (radius < edge) {
        const double shade = 1.0 - radius / 18.0;
        red = static_cast<std::uint8_t>(255 * shade * ((cell * 97) % 255) / 255 + 1);
        green = static_cast<std::uint8_t>(255 * shade * ((cell * 53 + 120) % 255) / 255);
        blue = static_cast<std::uint8_t>(255 * shade * ((cell * 31 + 200) % 255) / 255);
      }
      bytes.push_back(static_cast<char>(blue));
      bytes.push_back(static_cast<char>(green));
      bytes.push_back(static_cast<char>(red));
    }
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file ? path : std::string();
}

struct Sprite {
  double x, y, vx, vy;
  int cell;
};

std::vector<Sprite> MakeSprites() {
  std::vector<Sprite> sprites;
  for (int i = 0; i < kSprites; ++i) {
    const double angle = i * 2.399963;  // golden angle: directions spread evenly
    sprites.push_back({40.0 + (i * 53) % (kScreenW - 80), 40.0 + (i * 31) % (kScreenH - 80),
                       std::cos(angle) * (1.0 + i % 3), std::sin(angle) * (1.0 + i % 3), i % kCells});
  }
  return sprites;
}

void MoveSprites(std::vector<Sprite>& sprites) {
  for (Sprite& s : sprites) {
    s.x += s.vx;
    s.y += s.vy;
    if (s.x < 0 || s.x > kScreenW - kCell) s.vx = -s.vx;
    if (s.y < 0 || s.y > kScreenH - kCell) s.vy = -s.vy;
  }
}

void DrawScene(const std::vector<Sprite>& sprites, const int* cells, std::uint32_t frame) {
  qz::ClearDrawTarget(nullptr);
  // A banded floor, then the sprites: plain, half see-through, and a ring of
  // rotating ones around the centre.
  for (int band = 0; band < 8; ++band) {
    const int level = 24 + band * 6;
    qz::DrawSolidRectangle(0, band * 60, kScreenW, band * 60 + 60, qz::MakeColorValue(level / 2, level, level + 30));
  }
  for (std::size_t i = 0; i < sprites.size(); ++i) {
    const Sprite& s = sprites[i];
    if (i % 4 == 3) qz::SetBlendModeAndParam(1, 128);
    qz::BlitGraph(static_cast<int>(s.x), static_cast<int>(s.y), cells[s.cell], 1);
    if (i % 4 == 3) qz::SetBlendModeAndParam(0, 0);
  }
  const double turn = frame * 0.02;
  for (int i = 0; i < 6; ++i) {
    const double angle = turn + i * 1.0471976;
    qz::BlitGraphRotated(static_cast<int>(kScreenW / 2 + std::cos(angle) * 120),
                         static_cast<int>(kScreenH / 2 + std::sin(angle) * 120), 1.5, -angle * 2, cells[i], 1, 0);
  }
  const int pulse = static_cast<int>(16 + 12 * std::sin(turn * 3));
  qz::BlitGraphStretched(kScreenW / 2 - pulse, kScreenH / 2 - pulse, kScreenW / 2 + pulse, kScreenH / 2 + pulse,
                         cells[kCells - 1], 1);
}

}  // namespace

int main() {
  qz::SetLogOutputEnabled(1);
  qz::ChangeWindowMode(1);
  if (qz::InitLibraryEntry() != 0) {
    std::fprintf(stderr, "The library could not start; see Log.txt\n");
    return 1;
  }
  const std::string sheet = WriteSpriteSheet();
  int cells[kCells];
  if (sheet.empty() || qz::ReadImageFileAsGraphGrid(sheet.c_str(), kCells, kCells, 1, kCell, kCell, cells, 0) != 0) {
    std::fprintf(stderr, "The sprite sheet could not be loaded; see Log.txt\n");
    qz::EndLibraryEntry();
    return 1;
  }
  std::remove(sheet.c_str());
  qz::SelectDrawTarget(qz::kBackScreen);
  std::vector<Sprite> sprites = MakeSprites();
  std::uint32_t frame = 0;
  while (qz::PumpMessagesEntry() == 0 && qz::TestKeyDown(kEscapeKeyCode) == 0) {
    MoveSprites(sprites);
    DrawScene(sprites, cells, frame++);
    qz::PresentFrame();
  }
  for (int cell : cells) qz::ReleaseGraph(cell);
  qz::EndLibraryEntry();
  return 0;
}
