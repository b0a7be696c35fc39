// Readable art of the things lying on a floor: chests, recovery marks and
// check cubes, pick-ups (magic, infinity star, time, key switch, key) and the
// game-over stars.
#include <cmath>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

void Star(Canvas& k, int cx, int cy, int r, std::uint32_t colour) {
  for (int i = 0; i < 5; ++i) {
    const double a = -M_PI / 2 + i * 2 * M_PI / 5;
    k.FillTriangle(cx, cy, cx + static_cast<int>(r * std::cos(a)), cy + static_cast<int>(r * std::sin(a)),
                   cx + static_cast<int>(r * 0.4 * std::cos(a + M_PI / 5)),
                   cy + static_cast<int>(r * 0.4 * std::sin(a + M_PI / 5)), colour);
    k.FillTriangle(cx, cy, cx + static_cast<int>(r * std::cos(a)), cy + static_cast<int>(r * std::sin(a)),
                   cx + static_cast<int>(r * 0.4 * std::cos(a - M_PI / 5)),
                   cy + static_cast<int>(r * 0.4 * std::sin(a - M_PI / 5)), colour);
  }
}

void Chest(Canvas& k, int openness) {
  k.FillRect(4, 14, 24, 16, 0xB07030);
  k.FrameRect(4, 14, 24, 16, kInk);
  const int lid = openness * 4;
  k.FillRect(4, 8 - lid, 24, 7, 0xC88840);
  k.FrameRect(4, 8 - lid, 24, 7, kInk);
  k.FillRect(14, 16, 4, 5, 0xF0D040);
  if (openness > 0) k.FillRect(6, 15, 20, 2 + openness, 0xFFF0A0);
}

void Key(Canvas& k, int bob, std::uint32_t colour) {
  k.FrameEllipse(5, 8 + bob, 12, 12, colour);
  k.FrameEllipse(6, 9 + bob, 10, 10, colour);
  k.FillRect(16, 13 + bob, 12, 3, colour);
  k.FillRect(23, 16 + bob, 3, 5, colour);
  k.FillRect(27, 16 + bob, 2, 4, colour);
}

void Clock(Canvas& k, int x, int y, int size, int hand, std::uint32_t colour) {
  k.FillEllipse(x, y, size, size, 0xFFFFFF);
  k.FrameEllipse(x, y, size, size, colour);
  const int cx = x + size / 2, cy = y + size / 2;
  const double a = hand * M_PI / 3;
  k.Line(cx, cy, cx + static_cast<int>(size * 0.35 * std::sin(a)), cy - static_cast<int>(size * 0.35 * std::cos(a)),
         kInk);
  k.Line(cx, cy, cx, cy - size / 4, kInk);
}

}  // namespace

void PaintItemCell(const CellContext& c) {
  Canvas& k = c.canvas;
  switch (c.entry.art) {
    case Art::kChest:
      Chest(k, c.cell);
      return;
    case Art::kStar:
      Star(k, 16, 17, 14, kInk);
      Star(k, 16, 17, 12, c.cell == 0 ? 0x606060 : Mix(0x806000, c.entry.tint, c.cell / 5.0));
      return;
    default:
      break;
  }
  // Pick-ups: row = type (0 magic +5, 1 magic +10, 2 infinity star, 3 time
  // +10, 4 key switch, 5 key), six frames that bob.
  const int type = c.cell / 6, frame = c.cell % 6;
  const int bob = static_cast<int>(std::lround(2 * std::sin(frame * M_PI / 3)));
  switch (type) {
    case 0:
    case 1: {
      const int size = type == 0 ? 14 : 20;
      const int x = (32 - size) / 2, y = (32 - size) / 2 + bob;
      k.FillEllipse(x - 1, y - 1, size + 2, size + 2, kInk);
      k.FillEllipse(x, y, size, size, type == 0 ? 0x4080FF : 0x2050E0);
      k.FillEllipse(x + size / 4, y + size / 5, size / 3, size / 3, 0xC0E0FF);
      break;
    }
    case 2:
      Star(k, 16, 16 + bob, 14, kInk);
      Star(k, 16, 16 + bob, 12, Mix(0xFFE040, 0xFF60FF, frame / 5.0));
      break;
    case 3:
      Clock(k, 5, 5 + bob, 22, frame, 0x40A040);
      break;
    case 4:  // key switch: a lever on a base
      k.FillRect(4, 22, 24, 8, 0x808090);
      k.FrameRect(4, 22, 24, 8, kInk);
      k.Line(16, 22, 9 + frame, 6, kInk);
      k.Line(17, 22, 10 + frame, 6, kInk);
      k.FillEllipse(6 + frame, 3, 8, 8, 0xFF4040);
      break;
    default:
      Key(k, bob, 0xF0C020);
      break;
  }
}

}  // namespace datagen
