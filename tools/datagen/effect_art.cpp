// Readable art of the effect sheets, drawn additively, so each cell is light
// on black: the shape grows over the frames and fades out. And the marks on
// the floors, drawn opaque with a dark rim: recovery points and check cubes.
#include <cmath>
#include <string>

#include "tools/datagen/art_common.h"

namespace datagen {

void PaintEffectCell(const CellContext& c) {
  Canvas& k = c.canvas;
  const ImageSpec& s = c.entry.spec;
  const double t = s.cells > 1 ? static_cast<double>(c.cell) / (s.cells - 1) : 0.0;  // 0 first, 1 last frame
  const std::uint32_t colour = Shade(c.entry.tint, 1.0 - 0.8 * t);
  const int cx = c.w / 2, cy = c.h / 2, reach = std::min(c.w, c.h) / 2;
  const std::string& shape = c.entry.label;
  if (shape == "puff") {  // a flat cloud under the feet that spreads
    const int pw = static_cast<int>(c.w * (0.3 + 0.7 * t));
    k.FillEllipse(cx - pw / 2, 2, pw, c.h - 4, colour);
    return;
  }
  if (shape == "debris") {
    for (int i = 0; i < 6; ++i) {
      const double a = i * M_PI / 3 + 0.4;
      const int d = static_cast<int>(reach * (0.2 + 0.8 * t));
      k.FillRect(cx + static_cast<int>(d * std::cos(a)) - 3, cy + static_cast<int>(d * std::sin(a)) - 3 + c.cell, 6, 6,
                 colour);
    }
    return;
  }
  const int radius = std::max(2, static_cast<int>(reach * (0.25 + 0.75 * t)));
  if (shape == "ring") {
    k.FrameEllipse(cx - radius, cy - radius, 2 * radius, 2 * radius, colour);
    k.FrameEllipse(cx - radius + 2, cy - radius + 2, 2 * radius - 4, 2 * radius - 4, Shade(colour, 0.6));
    return;
  }
  if (shape == "spark") {
    for (int i = 0; i < 8; ++i) {
      const double a = i * M_PI / 4 + t;
      k.Line(cx, cy, cx + static_cast<int>(radius * std::cos(a)), cy + static_cast<int>(radius * std::sin(a)), colour);
    }
    return;
  }
  // burst: a bright core and rays
  k.FillEllipse(cx - radius, cy - radius, 2 * radius, 2 * radius, Shade(colour, 0.5));
  k.FillEllipse(cx - radius / 2, cy - radius / 2, radius, radius, Shade(colour, 1.0 + 0.5 * (1 - t)));
  for (int i = 0; i < 6; ++i) {
    const double a = i * M_PI / 3 + c.random.Below(100) / 200.0;
    k.Line(cx, cy, cx + static_cast<int>(reach * std::cos(a)), cy + static_cast<int>(reach * std::sin(a)), colour);
  }
}

// chip_cube.png: six frames of the recovery point, a green cross that
// pulses, then six of the check cube, whose gem turns. The cube is pale
// grey so that the game, multiplying it by gold once it is set, shows it
// lit; the sheet's painter rims both in ink.
void PaintMarkCell(const CellContext& c) {
  Canvas& k = c.canvas;
  const int frame = c.cell % 6;
  if (c.cell < 6) {
    const std::uint32_t glow = Mix(0x30A050, 0x90FFB0, frame / 5.0);
    k.FillEllipse(3, 3, 26, 26, 0x186030);
    k.FillEllipse(5, 5, 22, 22, Shade(glow, 0.6));
    k.FillRect(13, 7, 6, 18, glow);
    k.FillRect(7, 13, 18, 6, glow);
    k.FillRect(14, 8, 2, 16, 0xFFFFFF);
    return;
  }
  k.FillTriangle(4, 10, 10, 4, 28, 4, 0xF4F6FA);  // top
  k.FillTriangle(4, 10, 28, 4, 22, 10, 0xF4F6FA);
  k.FillTriangle(22, 10, 28, 4, 28, 22, 0xA8B4C4);  // right
  k.FillTriangle(22, 10, 28, 22, 22, 28, 0xA8B4C4);
  k.FillRect(4, 10, 18, 18, 0xD4DCE6);  // front
  k.Line(4, 10, 21, 10, 0x707888);
  k.Line(22, 10, 22, 27, 0x707888);
  k.Line(22, 10, 28, 4, 0x707888);
  const int half = 1 + static_cast<int>(std::lround(5 * std::abs(std::cos(frame * M_PI / 6))));
  k.FillTriangle(13 - half, 19, 13, 13, 13 + half, 19, 0x30B8F0);
  k.FillTriangle(13 - half, 19, 13, 25, 13 + half, 19, 0x2090D0);
  k.FillRect(12, 17, 2, 2, 0xE8FFFF);
}

}  // namespace datagen
