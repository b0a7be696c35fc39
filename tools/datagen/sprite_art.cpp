// Readable art of the moving things: the player (a little figure facing
// right, one colour per shot kind), player shots and enemy bullets, enemies
// (one body shape per kind, coloured by variant) and traps.
#include <cmath>
#include <string>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

constexpr std::uint32_t kSkin = 0xF8D0A8;
// Blaze, Gravity, Magic.
constexpr std::uint32_t kShotColours[3] = {0xE84830, 0x9050E0, 0x30A8E8};

struct Pose {
  int legSwing = 0;   // pixels the front foot moves forward (negative: back)
  bool airborne = false;
  bool armOut = false;  // shooting pose: arm and wand forward
  bool crouch = false;
  int lean = 0;  // pixels the upper body leans forward
};

// A figure facing right whose feet touch the bottom of the box centred on cx.
void DrawFigure(Canvas& c, int cx, int bottom, std::uint32_t tint, const Pose& pose) {
  const int bodyH = pose.crouch ? 12 : 18;
  const int legH = pose.crouch ? 6 : 10;
  const int hipY = bottom - legH;
  const int bodyTop = hipY - bodyH;
  const int headSize = 16;
  const int headY = bodyTop - headSize + 3;
  // Legs: two boots.
  const int swing = pose.airborne ? 4 : pose.legSwing;
  c.FillRect(cx - 6 - swing / 2, hipY, 5, legH - (pose.airborne ? 3 : 0), Shade(tint, 0.45));
  c.FillRect(cx + 1 + swing / 2, hipY, 5, legH - (pose.airborne ? 5 : 0), Shade(tint, 0.45));
  c.FillRect(cx - 8 - swing / 2, bottom - 3 - (pose.airborne ? 3 : 0), 8, 3, kInk);
  c.FillRect(cx + 1 + swing / 2, bottom - 3 - (pose.airborne ? 5 : 0), 8, 3, kInk);
  // Body (a robe) with an outline.
  const int bx = cx - 8 + pose.lean;
  c.FillRect(bx - 1, bodyTop - 1, 18, bodyH + 2, kInk);
  c.FillRect(bx, bodyTop, 16, bodyH, tint);
  c.FillRect(bx, bodyTop + bodyH - 4, 16, 2, Shade(tint, 1.4));
  // Arm: down at the side, or forward holding a wand.
  if (pose.armOut) {
    c.FillRect(bx + 12, bodyTop + 4, 12, 4, kSkin);
    c.FillRect(bx + 22, bodyTop + 1, 10, 3, 0xF0E060);
    c.FillRect(bx + 30, bodyTop - 1, 4, 7, 0xFFFFFF);
  } else {
    c.FillRect(bx + 10, bodyTop + 3, 4, 10, Shade(tint, 0.7));
  }
  // Head with a cap and one eye on the right: the figure faces right.
  const int hx = cx - headSize / 2 + pose.lean;
  c.FillEllipse(hx - 1, headY - 1, headSize + 2, headSize + 2, kInk);
  c.FillEllipse(hx, headY, headSize, headSize, kSkin);
  c.FillRect(hx - 1, headY - 2, headSize + 2, 6, tint);
  c.FillTriangle(hx - 2, headY + 3, hx + 3, headY - 6, hx + 8, headY + 3, Shade(tint, 0.8));
  c.FillRect(hx + headSize - 6, headY + 7, 3, 4, kInk);
  c.Put(hx + headSize - 2, headY + 10, 0xD08080);
}

void PaintPlayer(const CellContext& c) {
  const ImageSpec& s = c.entry.spec;
  const int kind = std::min(2, c.cell / (s.cells / 3));
  const std::uint32_t tint = c.entry.art == Art::kDashShadow ? 0x9090F0 : kShotColours[kind];
  const int inKind = c.cell % (s.cells / 3);
  Pose pose;
  switch (c.entry.art) {
    case Art::kPlayer: {
      const int frame = inKind % 23;  // the same 23 frames in the plain, pose-start and pose rows
      pose.armOut = inKind >= 23;
      if (frame >= 5 && frame <= 16) {
        pose.legSwing = static_cast<int>(std::lround(8 * std::sin((frame - 5) * 2 * M_PI / 12)));
      } else if (frame >= 17) {
        pose.airborne = true;
      } else {
        pose.legSwing = frame % 2;
      }
      DrawFigure(c.canvas, c.w / 2, c.h, tint, pose);
      break;
    }
    case Art::kPlayerSquat:
      pose.crouch = true;
      pose.armOut = inKind >= 3;
      DrawFigure(c.canvas, c.w / 2, c.h, tint, pose);
      break;
    case Art::kPlayerDash:
    case Art::kDashShadow:
      pose.lean = 5;
      pose.legSwing = 8 - (inKind % 7) * 2;
      for (int i = 0; i < 3; ++i) c.canvas.FillRect(2 + i * 3, 28 + i * 8, 12 - i * 3, 2, Shade(tint, 1.5));
      DrawFigure(c.canvas, c.w / 2, c.h, tint, pose);
      break;
    default:
      break;
  }
}

void PaintBall(Canvas& canvas, int w, int h, int size, std::uint32_t colour) {
  const int x = (w - size) / 2, y = (h - size) / 2;
  canvas.FillEllipse(x - 1, y - 1, size + 2, size + 2, Shade(colour, 0.4));
  canvas.FillEllipse(x, y, size, size, colour);
  canvas.FillEllipse(x + size / 4, y + size / 5, std::max(2, size / 3), std::max(2, size / 3), Shade(colour, 1.7));
}

// A spiked ball of `radius` centred in the cell: eight spikes of `rim`
// (turned half a step on odd frames), a dark core, a hot centre.
void PaintDangerBall(Canvas& k, int w, int h, int radius, std::uint32_t colour, std::uint32_t rim, int frame) {
  const int cx = w / 2, cy = h / 2;
  for (int i = 0; i < 8; ++i) {
    const double a = (i + (frame % 2) * 0.5) * M_PI / 4, side = M_PI / 8;
    const auto at = [&](double angle, double r, bool y) {
      return static_cast<int>(std::lround((y ? cy : cx) + r * (y ? std::sin(angle) : std::cos(angle))));
    };
    k.FillTriangle(at(a, radius + 4, false), at(a, radius + 4, true), at(a - side, radius - 1, false),
                   at(a - side, radius - 1, true), at(a + side, radius - 1, false), at(a + side, radius - 1, true), rim);
  }
  k.FillEllipse(cx - radius, cy - radius, 2 * radius, 2 * radius, rim);
  k.FillEllipse(cx - radius + 1, cy - radius + 1, 2 * radius - 2, 2 * radius - 2, Shade(colour, 0.3));
  const int hot = std::max(1, radius / 2);
  k.FillEllipse(cx - hot, cy - hot, 2 * hot, 2 * hot, colour);
}

// Enemy bullet colour rows.
constexpr std::uint32_t kBulletRows[8] = {0xFF4040, 0x4070FF, 0x40E040, 0xFFE040,
                                          0xC050FF, 0x40E0E0, 0xF0F0F0, 0xFF9020};

// Moving shapes: legs, wings or wobble follow the frame number.
void PaintEnemyShape(const CellContext& c, int frame) {
  Canvas& k = c.canvas;
  const std::string& shape = c.entry.label;
  const std::uint32_t t = c.entry.tint, dark = Shade(t, 0.5), light = Shade(t, 1.5);
  const int w = c.w, h = c.h;
  const double phase = frame * 2 * M_PI / 8;
  const int bob = static_cast<int>(std::lround(2 * std::sin(phase)));
  auto eyes = [&](int x, int y, int size) {
    k.FillEllipse(x, y, size, size + 2, 0xFFFFFF);
    k.FillEllipse(x + size + 2, y, size, size + 2, 0xFFFFFF);
    k.FillRect(x + 1, y + size / 2, size / 2 + 1, size / 2 + 1, kInk);
    k.FillRect(x + size + 3, y + size / 2, size / 2 + 1, size / 2 + 1, kInk);
  };
  if (shape == "slime") {
    const int squash = frame % 5;
    const int bw = w * 5 / 8 + squash * 2, bh = h * 9 / 16 - squash * 2;
    k.FillEllipse((w - bw) / 2 - 1, h - bh - 1, bw + 2, bh * 2 + 2, kInk);
    k.FillEllipse((w - bw) / 2, h - bh, bw, bh * 2, t);
    k.FillEllipse((w - bw) / 2 + bw / 5, h - bh + 4, bw / 4, bh / 4, light);
    eyes(w / 2 - 9, h - bh / 2 - 4, 7);
  } else if (shape == "bee" || shape == "bat" || shape == "butterfly") {
    const bool up = frame % 2 == 0;
    const int wingY = up ? h / 8 : h / 3;
    const std::uint32_t wing = shape == "bee" ? 0xE0F0FF : shape == "bat" ? dark : light;
    k.FillTriangle(w / 2, h / 2, 1, wingY, w / 4, h * 2 / 3, wing);
    k.FillTriangle(w / 2, h / 2, w - 2, wingY, w * 3 / 4, h * 2 / 3, wing);
    const int bs = shape == "butterfly" ? w / 4 : w / 2;
    k.FillEllipse((w - bs) / 2 - 1, h / 4 + bob - 1, bs + 2, h / 2 + 2, kInk);
    k.FillEllipse((w - bs) / 2, h / 4 + bob, bs, h / 2, shape == "butterfly" ? kInk : t);
    if (shape == "bee") {
      k.FillRect(w / 4, h / 2 + bob, w / 2, 2, kInk);
      k.FillRect(w / 4, h / 2 + 4 + bob, w / 2, 2, kInk);
    }
    k.FillRect(w / 2 - 4, h / 3 + bob, 2, 3, 0xFFFFFF);
    k.FillRect(w / 2 + 2, h / 3 + bob, 2, 3, 0xFFFFFF);
  } else if (shape == "wisp" || shape == "flame") {
    const int flicker = frame % 3;
    k.FillTriangle(w / 2, 1 + flicker, w / 6, h * 2 / 3, w * 5 / 6, h * 2 / 3, t);
    k.FillEllipse(w / 6, h / 3, w * 2 / 3, h * 2 / 3 - 1, t);
    k.FillEllipse(w / 3, h / 2, w / 3, h / 3, light);
    eyes(w / 2 - w / 8 - 1, h / 2, std::max(2, w / 10));
  } else if (shape == "beast" || shape == "shell") {
    const int legs = frame % 2 == 0 ? 3 : -3;
    k.FillRect(w / 4 + legs, h - 12, 8, 12, dark);
    k.FillRect(w * 5 / 8 - legs, h - 12, 8, 12, dark);
    k.FillEllipse(w / 8 - 1, h / 4 + bob - 1, w * 3 / 4 + 2, h * 5 / 8 + 2, kInk);
    k.FillEllipse(w / 8, h / 4 + bob, w * 3 / 4, h * 5 / 8, t);
    if (shape == "shell") {
      for (int i = 1; i < 4; ++i) k.Line(w / 8 + i * w / 6, h / 4 + bob + 4, w / 2, h * 7 / 8 + bob, dark);
    } else {
      k.FillTriangle(w / 4, h / 4 + bob + 4, w / 4 + 6, h / 8 + bob, w / 4 + 12, h / 4 + bob + 4, dark);
      k.FillTriangle(w / 2, h / 4 + bob + 4, w / 2 + 6, h / 8 + bob, w / 2 + 12, h / 4 + bob + 4, dark);
      eyes(w / 4, h * 3 / 8 + bob, 7);
    }
  } else if (shape == "witch") {  // anchored to the bottom: the 64 x 96 kind floats taller
    const int base = h - 2, head = h - 50 + bob;
    k.FillTriangle(w / 2, h - 34, w / 6, base, w * 5 / 6, base, t);
    k.FillEllipse(w / 2 - 9, head, 18, 18, kSkin);
    k.FillTriangle(w / 2 - 14, head + 6, w / 2 + 2, head - 12, w / 2 + 14, head + 6, dark);
    k.FillRect(w / 2 - 5, head + 8, 3, 3, kInk);
  } else if (shape == "mushroom") {
    k.FillRect(w / 2 - 8, h / 2, 16, h / 2, 0xF0E8D0);
    k.FillEllipse(w / 8, h / 6 + bob, w * 3 / 4, h / 2, t);
    for (int i = 0; i < 3; ++i) k.FillEllipse(w / 4 + i * w / 6, h / 4 + bob, 6, 6, 0xFFFFFF);
    eyes(w / 2 - 9, h * 5 / 8, 6);
  } else if (shape == "snake") {
    for (int i = 0; i < 6; ++i) {
      const int y = h / 2 + static_cast<int>(std::lround(8 * std::sin(phase + i)));
      k.FillEllipse(w - 14 - i * 9, y, 14, 14, i % 2 == 0 ? t : dark);
    }
    eyes(6, h / 2 + 2, 5);
  } else if (shape == "eye") {
    k.FillEllipse(4, 4, w - 8, h - 8, 0xFFFFFF);
    k.FrameEllipse(4, 4, w - 8, h - 8, t);
    k.FillEllipse(w / 2 - 10 + bob, h / 2 - 10, 20, 20, t);
    k.FillEllipse(w / 2 - 5 + bob, h / 2 - 5, 10, 10, kInk);
  } else if (shape == "dragon") {
    k.FillRect(w / 6, h / 4 + bob, w * 2 / 3, h / 2, t);
    k.FillTriangle(w / 6, h / 4 + bob, w / 6 + 8, 2 + bob, w / 6 + 16, h / 4 + bob, light);
    k.FillTriangle(w * 2 / 3, h / 4 + bob, w * 2 / 3 + 8, 2 + bob, w * 5 / 6, h / 4 + bob, light);
    k.FillRect(w / 6, h * 5 / 8 + bob, w * 2 / 3, 4 + frame % 3 * 2, kInk);
    eyes(w / 4, h / 3 + bob, 8);
  } else if (shape == "guardian") {
    k.FillRect(w * 3 / 8, h / 4, w / 4, h * 3 / 4, t);
    k.FrameRect(w * 3 / 8, h / 4, w / 4, h * 3 / 4, kInk);
    k.FillEllipse(w * 3 / 8, 4 + bob, w / 4, h / 4, light);
    k.FillRect(w / 4, h / 3 + bob, w / 2, 8, dark);
    k.FillRect(w * 7 / 16, h / 8 + bob, w / 8, 4, 0xFF3030);
  } else {  // moon and sun
    const bool sun = shape == "sun";
    if (sun) {
      for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6 + phase / 4;
        k.Line(w / 2, h / 2, w / 2 + static_cast<int>(45 * std::cos(a)), h / 2 + static_cast<int>(45 * std::sin(a)), t);
      }
    }
    k.FillEllipse(w / 6, h / 6, w * 2 / 3, h * 2 / 3, t);
    if (!sun) k.FillEllipse(w / 6 + 18, h / 6 - 6, w * 2 / 3, h * 2 / 3, kTransparent);
    eyes(w / 3, h / 2 - 6 + bob, 8);
  }
}

}  // namespace

void PaintPlayerCell(const CellContext& c) { PaintPlayer(c); }

void PaintShotCell(const CellContext& c) {
  Canvas& k = c.canvas;
  if (c.entry.art == Art::kLaser) {
    k.FillRect(0, 0, c.w, c.h, Shade(c.entry.tint, 0.6 + 0.15 * (c.cell % 3)));
    if (c.w > c.h) {
      k.FillRect(0, 1, c.w, 1, 0xFFFFFF);
    } else {
      k.FillRect(1, 0, 1, c.h, 0xFFFFFF);
    }
    return;
  }
  if (c.entry.art == Art::kShot) {
    const int kind = c.cell / 6, frame = c.cell % 6;
    PaintBall(k, c.w, c.h, 14 + (frame % 3) * 2, kShotColours[kind]);
    return;
  }
  // Enemy bullets read as danger, never as a pick-up: a dark core under a
  // bright rim and spikes, their three frames flickering (white rim, then
  // the row's colour, then white again, the spikes turning).
  const std::uint32_t colour = kBulletRows[c.cell / 12];
  const int graphic = (c.cell % 12) / 3, frame = c.cell % 3;
  const std::uint32_t rim = frame == 1 ? Shade(colour, 1.6) : 0xFFFFFF;
  switch (graphic) {
    case 0:
      PaintDangerBall(k, c.w, c.h, 7 + frame % 2, colour, rim, frame);
      break;
    case 1:
      PaintDangerBall(k, c.w, c.h, 4 + frame % 2, colour, rim, frame);
      break;
    case 2:  // diamond
      k.FillTriangle(12, 1, 2, 12, 22, 12, rim);
      k.FillTriangle(12, 23, 2, 12, 22, 12, rim);
      k.FillTriangle(12, 4 + frame, 5, 12, 19, 12, Shade(colour, 0.45));
      k.FillTriangle(12, 20 - frame, 5, 12, 19, 12, Shade(colour, 0.3));
      k.FillEllipse(10, 10, 4, 4, colour);
      break;
    default:  // a jagged ring, hollow
      PaintDangerBall(k, c.w, c.h, 8, colour, rim, frame);
      k.FillEllipse(8, 8, 8, 8, Shade(colour, 0.25));
      break;
  }
}

void PaintEnemyCell(const CellContext& c) { PaintEnemyShape(c, c.cell); }

void PaintTrapCell(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::string& shape = c.entry.label;
  const std::uint32_t t = c.entry.tint;
  if (shape == "needle") {
    const int rise = c.cell * 5;
    k.FillRect(0, 26, 32, 6, 0x606070);
    for (int i = 0; i < 4; ++i) k.FillTriangle(i * 8, 27, i * 8 + 4, 27 - rise, i * 8 + 8, 27, t);
  } else if (shape.rfind("laser", 0) == 0) {
    k.FillRect(4, 4, 24, 24, 0x505868);
    k.FrameRect(4, 4, 24, 24, kInk);
    const char direction = shape.back();
    const int glow = 80 + c.cell * 30;
    const std::uint32_t lens = Mix(0x400010, t, glow / 255.0);
    if (direction == 'L') k.FillRect(0, 12, 8, 8, lens);
    if (direction == 'R') k.FillRect(24, 12, 8, 8, lens);
    if (direction == 'U') k.FillRect(12, 0, 8, 8, lens);
    if (direction == 'D') k.FillRect(12, 24, 8, 8, lens);
  } else if (shape == "shooter") {
    k.FillRect(6, 10, 20, 20, t);
    k.FrameRect(6, 10, 20, 20, kInk);
    k.FillRect(12, 2 + c.cell, 8, 10, Shade(t, 0.5));
  } else {
    PaintBall(k, c.w, c.h, 18 + c.cell % 3 * 2, t);
    k.FrameEllipse(2, 2, 28, 28, Shade(t, 1.6));
  }
}

}  // namespace datagen
