// Parts the creature painters (enemy_art.cpp, boss_art.cpp) build bodies
// from: discs, thick strokes, eyes that look right (the way an unmirrored
// sheet faces), a frame's swing, and the painter of one creature cell.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/datagen/art_common.h"

namespace datagen {

// One cell of a creature sheet: its canvas, colours and frame. `t` is the
// variant's colour, `dark` and `light` its shades; `variant` is the label's
// word after the kind (e.g. "water" of "guardian water").
struct Creature {
  Canvas& k;
  int w, h;
  int frame;
  std::uint32_t t, dark, light;
  std::string variant;
};

inline void Disc(Canvas& k, double cx, double cy, double r, std::uint32_t colour) {
  const int x0 = static_cast<int>(std::lround(cx - r)), y0 = static_cast<int>(std::lround(cy - r));
  const int size = std::max(1, static_cast<int>(std::lround(2 * r)));
  k.FillEllipse(x0, y0, size, size, colour);
}

// A dome: the top half of an ellipse `w` wide, `h` tall from (x, y) to its flat base.
inline void Dome(Canvas& k, int x, int y, int w, int h, std::uint32_t colour) {
  for (int row = 0; row < h; ++row) {
    const double dy = (h - row - 0.5) / h, half = w / 2.0 * std::sqrt(std::max(0.0, 1 - dy * dy));
    k.FillRect(static_cast<int>(std::lround(x + w / 2.0 - half)), y + row, static_cast<int>(std::lround(2 * half)), 1,
               colour);
  }
}

// A line `width` pixels thick with round ends.
inline void Stroke(Canvas& k, double x0, double y0, double x1, double y1, double width, std::uint32_t colour) {
  const double length = std::hypot(x1 - x0, y1 - y0);
  const int steps = std::max(1, static_cast<int>(length * 2));
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    Disc(k, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, colour);
  }
}

// A round eye of diameter `size` whose pupil looks right (and `down` pixels lower).
inline void Eye(Canvas& k, int x, int y, int size, int down = 0) {
  k.FillEllipse(x, y, size, size + 1, 0xFFFFFF);
  const int pupil = std::max(2, size / 2);
  k.FillEllipse(x + size - pupil, y + (size + 1 - pupil) / 2 + down, pupil, pupil + 1, kInk);
}

// A value swinging between -1 and 1 over `period` frames.
inline double Swing(int frame, int period, double offset = 0.0) {
  return std::sin((frame + offset) * 2 * M_PI / period);
}
inline int Round(double v) { return static_cast<int>(std::lround(v)); }

using CreaturePainter = void (*)(const Creature&);
struct NamedPainter {
  std::string_view kind;
  CreaturePainter paint;
};
// Paints `c` with the table's painter of `kind`; false when it has none.
template <std::size_t N>
bool PaintNamed(const NamedPainter (&table)[N], const std::string& kind, const Creature& c) {
  for (const NamedPainter& entry : table) {
    if (entry.kind == kind) {
      entry.paint(c);
      return true;
    }
  }
  return false;
}

// The painters of the kinds (enemy_art.cpp) and of the bosses (boss_art.cpp);
// false when the kind is neither's.
bool PaintEnemyKind(const std::string& kind, const Creature& c);
bool PaintBossKind(const std::string& kind, const Creature& c);

}  // namespace datagen
