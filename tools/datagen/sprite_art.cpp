// Readable art of the moving things: the player (a little figure facing
// right, one colour per shot kind), player shots and enemy bullets, enemies
// (handed by kind to enemy_art.cpp and boss_art.cpp) and traps.
#include <cmath>
#include <string>
#include <utility>

#include "tools/datagen/art_common.h"
#include "tools/datagen/creature_parts.h"

namespace datagen {
namespace {

constexpr std::uint32_t kSkin = 0xF8D0A8;
constexpr std::uint32_t kHatPurple = 0x7A3CB4;

struct Pose {
  int legSwing = 0;   // pixels the front foot moves forward (negative: back)
  bool airborne = false;
  bool armOut = false;  // shooting pose: arm and wand forward
  bool crouch = false;
  int lean = 0;  // pixels the upper body leans forward
};

// The heroine's purple pointed hat on the head at (hx, headY): a wide brim,
// a cone whose tip bends back, a band of the shot's colour; inked round.
void DrawWitchHat(Canvas& c, int hx, int headY, int headSize, std::uint32_t band) {
  const auto hat = [&](int dx, int dy, std::uint32_t colour) {
    c.FillEllipse(hx - 5 + dx, headY + 1 + dy, headSize + 10, 5, colour);
    c.FillTriangle(hx + 1 + dx, headY + 3 + dy, hx + headSize - 1 + dx, headY + 3 + dy, hx + 6 + dx, headY - 11 + dy,
                   colour);
    c.FillTriangle(hx + 4 + dx, headY - 7 + dy, hx + 8 + dx, headY - 9 + dy, hx - 3 + dx, headY - 14 + dy, colour);
  };
  for (const auto& [dx, dy] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) hat(dx, dy, kInk);
  hat(0, 0, kHatPurple);
  c.FillRect(hx + 1, headY, headSize - 2, 2, band);
  c.FillEllipse(hx - 3, headY + 2, headSize + 6, 2, Shade(kHatPurple, 1.3));
}

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
  // Head with one eye on the right (the figure faces right) under her hat.
  const int hx = cx - headSize / 2 + pose.lean;
  c.FillEllipse(hx - 1, headY - 1, headSize + 2, headSize + 2, kInk);
  c.FillEllipse(hx, headY, headSize, headSize, kSkin);
  c.FillRect(hx + headSize - 6, headY + 7, 3, 4, kInk);
  c.Put(hx + headSize - 2, headY + 10, 0xD08080);
  DrawWitchHat(c, hx, headY, headSize, tint);
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

// The label names the kind, then its variant ("guardian water").
void PaintEnemyCell(const CellContext& c) {
  const std::string& label = c.entry.label;
  const std::size_t space = label.find(' ');
  const std::string kind = label.substr(0, space);
  const Creature creature{c.canvas, c.w, c.h, c.cell, c.entry.tint, Shade(c.entry.tint, 0.5), Shade(c.entry.tint, 1.5),
                          space == std::string::npos ? "" : label.substr(space + 1)};
  if (!PaintEnemyKind(kind, creature)) PaintBossKind(kind, creature);
}

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
