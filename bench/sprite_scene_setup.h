// The sprite benchmarks' shared set-up: a sheet of anti-aliased discs
// (transparent corners, soft rims, opaque centres), its transparent-colour
// form, and sprites spread over the screen, so every sprite benchmark draws
// the same kind of work.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace bench_scene {

struct SheetShape {
  int cell;         // pixels per side of a square cell
  int cellsAcross;
  int cellsDown;
  double rimWidth;  // pixels over which a disc's alpha falls from opaque to clear
};

constexpr int SheetWidth(const SheetShape& s) { return s.cell * s.cellsAcross; }
constexpr int SheetHeight(const SheetShape& s) { return s.cell * s.cellsDown; }
constexpr int SheetCells(const SheetShape& s) { return s.cellsAcross * s.cellsDown; }

// A cell's colour at (cx, cy) of cell `id`, shared by every sheet.
inline std::uint32_t SheetColour(int id, int cx, int cy) {
  return static_cast<std::uint32_t>((id * 37 + cx * 5) & 0xFF) << 16 |
         static_cast<std::uint32_t>((cy * 7 + 40) & 0xFF) << 8 | static_cast<std::uint32_t>((200 - id * 3) & 0xFF);
}

// ARGB pixels, rows of SheetWidth: discs of three radii, colours varying by
// cell and position.
inline std::vector<std::uint32_t> MakeDiscSheet(const SheetShape& s) {
  const int width = SheetWidth(s), height = SheetHeight(s);
  const double centre = (s.cell - 1) / 2.0;
  std::vector<std::uint32_t> sheet(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int cx = x % s.cell, cy = y % s.cell, id = x / s.cell + y / s.cell * s.cellsAcross;
      const double radius = s.cell / 2.0 - 2.5 + id % 3;
      const double a = std::clamp((radius - std::hypot(cx - centre, cy - centre)) / s.rimWidth, 0.0, 1.0);
      const auto alpha = static_cast<std::uint32_t>(std::lround(a * 255.0));
      sheet[static_cast<std::size_t>(y) * width + x] = alpha << 24 | SheetColour(id, cx, cy);
    }
  }
  return sheet;
}

// A sheet whose alpha changes between 0, 128 and 255 with no long run of
// transparent or opaque pixels to skip or copy: a third of the cells step
// through the three along each row (shifted a pixel each row), a third hold
// them in 4x4 blocks, and a third are a checker of 0 and 255 pixels.
inline std::vector<std::uint32_t> MakePatternSheet(const SheetShape& s) {
  const int width = SheetWidth(s), height = SheetHeight(s);
  constexpr std::uint32_t kLevels[3] = {0, 128, 255};
  std::vector<std::uint32_t> sheet(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int cx = x % s.cell, cy = y % s.cell, id = x / s.cell + y / s.cell * s.cellsAcross;
      std::uint32_t alpha;
      switch (id % 3) {
        case 0: alpha = kLevels[(cx + cy) % 3]; break;
        case 1: alpha = kLevels[(cx / 4 + cy / 4) % 3]; break;
        default: alpha = (cx + cy) % 2 == 0 ? 255 : 0; break;
      }
      sheet[static_cast<std::size_t>(y) * width + x] = alpha << 24 | SheetColour(id, cx, cy);
    }
  }
  return sheet;
}

// The disc sheet's colours with every pixel opaque.
inline std::vector<std::uint32_t> MakeOpaqueSheet(const SheetShape& s) {
  std::vector<std::uint32_t> sheet = MakeDiscSheet(s);
  for (std::uint32_t& pixel : sheet) pixel |= 0xFF000000u;
  return sheet;
}

// The disc sheet for transparent-colour drawing: pixels at least half
// opaque keep their colour under `opaqueAlpha`, the others become `key`.
inline std::vector<std::uint32_t> KeyedDiscSheet(const SheetShape& s, std::uint32_t key, std::uint32_t opaqueAlpha) {
  std::vector<std::uint32_t> sheet = MakeDiscSheet(s);
  for (std::uint32_t& pixel : sheet) pixel = pixel >> 24 >= 128 ? (pixel & 0xFFFFFFu) | opaqueAlpha << 24 : key;
  return sheet;
}

struct Sprite {
  int x, y, cell;
};

// Deterministic positions of cell-sized sprites wholly on the screen, spread
// over all of it, each of a pseudo-random cell.
inline std::vector<Sprite> SpreadSprites(const SheetShape& s, int count, int screenW, int screenH) {
  std::vector<Sprite> out;
  std::uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int i = 0; i < count; ++i) {
    const int x = static_cast<int>(next() % static_cast<std::uint32_t>(screenW - s.cell + 1));
    const int y = static_cast<int>(next() % static_cast<std::uint32_t>(screenH - s.cell + 1));
    out.push_back({x, y, static_cast<int>(next() % static_cast<std::uint32_t>(SheetCells(s)))});
  }
  return out;
}

}  // namespace bench_scene
