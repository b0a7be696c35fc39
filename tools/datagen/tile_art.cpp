// Readable art of the floors and screens: chip sets (solid blocks, ground,
// platforms, spikes, pipes, springs, doors, switch blocks, each distinct),
// backgrounds, the logo, the message window and the darkness masks.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

void Bricks(Canvas& k, std::uint32_t colour) {
  k.FillRect(0, 0, 32, 32, colour);
  const std::uint32_t mortar = Shade(colour, 0.55);
  for (int row = 0; row < 4; ++row) {
    k.FillRect(0, row * 8 + 7, 32, 1, mortar);
    const int offset = row % 2 == 0 ? 0 : 8;
    for (int x = offset; x < 32; x += 16) k.FillRect(x, row * 8, 1, 7, mortar);
  }
  k.FillRect(0, 0, 32, 1, Shade(colour, 1.3));
}

void Bevel(Canvas& k, std::uint32_t colour) {
  k.FillRect(0, 0, 32, 32, colour);
  k.FillRect(0, 0, 32, 2, Shade(colour, 1.4));
  k.FillRect(0, 0, 2, 32, Shade(colour, 1.3));
  k.FillRect(0, 30, 32, 2, Shade(colour, 0.5));
  k.FillRect(30, 0, 2, 32, Shade(colour, 0.6));
}

// Four steel spikes with an ink rim and red tips, so they read as danger
// on every area's ground, pale or dark. Drawn pointing up in (u, v) and
// turned: 0 up, 1 down, 2 left, 3 right.
void Spikes(Canvas& k, int direction) {
  auto at = [direction](int u, int v) -> std::pair<int, int> {
    switch (direction) {
      case 0: return {u, v};
      case 1: return {u, 31 - v};
      case 2: return {v, u};
      default: return {31 - v, u};
    }
  };
  auto triangle = [&](int u0, int v0, int u1, int v1, int u2, int v2, std::uint32_t colour) {
    const auto [x0, y0] = at(u0, v0);
    const auto [x1, y1] = at(u1, v1);
    const auto [x2, y2] = at(u2, v2);
    k.FillTriangle(x0, y0, x1, y1, x2, y2, colour);
  };
  constexpr std::uint32_t kSteel = 0xE8ECF4, kShadow = 0x8890A8, kTip = 0xE02828;
  for (int i = 0; i < 4; ++i) {  // within columns 1..30, so the rim fits in the cell
    const int a = i * 8, m = a + 4;
    triangle(a + 1, 30, m, 3, a + 7, 30, kSteel);
    triangle(m, 3, m + 1, 30, a + 7, 30, kShadow);
    triangle(m - 2, 11, m, 3, m + 2, 11, kTip);
  }
  for (int u = 0; u < 32; ++u) {  // the base bar: a steel line between ink
    for (int v = 29; v < 32; ++v) {
      const auto [x, y] = at(u, v);
      k.Put(x, y, v == 30 && u > 0 && u < 31 ? kShadow : kInk);
    }
  }
  k.OutlineShapes(kInk);
}

void Pipe(Canvas& k, int variant) {
  const std::uint32_t colour = variant < 4 ? 0x30A050 : 0x3070C0;
  const bool vertical = variant % 2 == 1;
  if (vertical) {
    k.FillRect(6, 0, 20, 32, colour);
    k.FillRect(9, 0, 4, 32, Shade(colour, 1.5));
    k.FillRect(3, 0, 26, 6, Shade(colour, 0.8));
    k.FrameRect(6, 0, 20, 32, kInk);
  } else {
    k.FillRect(0, 6, 32, 20, colour);
    k.FillRect(0, 9, 32, 4, Shade(colour, 1.5));
    k.FillRect(0, 3, 6, 26, Shade(colour, 0.8));
    k.FrameRect(0, 6, 32, 20, kInk);
  }
}

// A door two cells high: the top half has the arch, the bottom the handle.
void Door(Canvas& k, std::uint32_t colour, const char* sign, bool top) {
  if (top) {
    k.FillEllipse(4, 2, 24, 24, kInk);
    k.FillRect(4, 14, 24, 18, kInk);
    k.FillEllipse(6, 4, 20, 20, colour);
    k.FillRect(6, 14, 20, 18, colour);
    k.FillRect(15, 4, 2, 28, Shade(colour, 0.6));
    if (sign[0] != '\0') k.TextInBox(2, 10, 28, 10, sign, 0xFFFFFF, kInk);
  } else {
    k.FillRect(4, 0, 24, 32, kInk);
    k.FillRect(6, 0, 20, 32, colour);
    k.FillRect(15, 0, 2, 32, Shade(colour, 0.6));
    k.FillRect(20, 10, 3, 3, 0xF0D040);
  }
}

void SwitchBlock(Canvas& k, int group, bool closed) {
  static const std::uint32_t kGroup[3] = {0xE04040, 0x40C040, 0x4060F0};
  const std::uint32_t colour = kGroup[group];
  if (closed) {
    Bevel(k, colour);
    k.FillEllipse(10, 10, 12, 12, Shade(colour, 1.6));
  } else {  // open: a dashed outline the player passes through
    for (int i = 0; i < 32; i += 6) {
      k.FillRect(i, 0, 3, 2, colour);
      k.FillRect(i, 30, 3, 2, colour);
      k.FillRect(0, i, 2, 3, colour);
      k.FillRect(30, i, 2, 3, colour);
    }
  }
}

void Chip(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t tint = c.entry.tint;
  const int n = c.cell;
  if (PaintAreaGround(c)) return;
  switch (n) {
    case 0: return;  // never drawn
    case 2:  // moving platform
      k.FillRect(0, 0, 32, 12, 0x9098A8);
      k.FrameRect(0, 0, 32, 12, kInk);
      k.FillTriangle(4, 6, 10, 2, 10, 10, 0xFFE040);
      k.FillTriangle(28, 6, 22, 2, 22, 10, 0xFFE040);
      return;
    case 3:  // blinking platform
      k.FillRect(0, 0, 32, 12, 0x60E0E0);
      for (int x = 2; x < 32; x += 6) k.FillRect(x, 4, 3, 3, 0xFFFFFF);
      k.FrameRect(0, 0, 32, 12, kInk);
      return;
    case 6:  // stone block
      Bevel(k, Mix(Shade(tint, 0.8), 0x909090, 0.5));
      k.Line(6, 9, 12, 14, Shade(tint, 0.45));
      k.Line(20, 22, 26, 20, Shade(tint, 0.45));
      return;
    case 7:  // one-way plank
      k.FillRect(0, 0, 32, 8, 0xC08850);
      k.FillRect(0, 7, 32, 1, kInk);
      k.FillRect(4, 8, 3, 6, 0x805830);
      k.FillRect(25, 8, 3, 6, 0x805830);
      return;
    case 28:  // magic warp block
      Bevel(k, 0x8040C0);
      k.FrameEllipse(8, 8, 16, 16, 0xFFC0FF);
      return;
    case 29:  // pushable crate
      Bevel(k, 0xB08040);
      k.Line(2, 2, 29, 29, 0x604020);
      k.Line(29, 2, 2, 29, 0x604020);
      return;
    case 30:  // spring
      k.FillRect(2, 26, 28, 6, 0x707080);
      for (int i = 0; i < 4; ++i) k.Line(6, 24 - i * 5, 26, 21 - i * 5, 0xE0E0E0);
      k.FillRect(2, 4, 28, 4, 0xFF4040);
      return;
    case 31:  // crumbling cell: a sandy block split by cracks, crumbs at its foot
      Bevel(k, 0xC8A870);
      k.Line(4, 2, 12, 14, 0x705830);
      k.Line(12, 14, 24, 10, 0x705830);
      k.Line(12, 14, 16, 29, 0x705830);
      for (int x = 5; x < 30; x += 8) k.FillRect(x, 26, 2, 2, 0x8A7040);
      return;
    case 36:  // slippery ice
      Bevel(k, 0xA0E0FF);
      k.Line(6, 24, 14, 8, 0xFFFFFF);
      k.Line(16, 26, 24, 10, 0xFFFFFF);
      return;
    case 37:
    case 38:  // walls passable from one side: a half block with an arrow
      k.FillRect(n == 37 ? 0 : 16, 0, 16, 32, Shade(tint, 0.8));
      k.FillTriangle(n == 37 ? 30 : 2, 16, n == 37 ? 18 : 14, 8, n == 37 ? 18 : 14, 24, 0xFFFFFF);
      return;
    case 44: SwitchBlock(k, 0, false); return;
    case 45: SwitchBlock(k, 0, true); return;
    case 52: SwitchBlock(k, 1, false); return;
    case 53: SwitchBlock(k, 1, true); return;
    case 60: SwitchBlock(k, 2, false); return;
    case 61: SwitchBlock(k, 2, true); return;
    case 68: case 69: case 70: case 71: Pipe(k, n - 68); return;
    case 76: case 77: Pipe(k, n - 72); return;
    case 78:  // block revealed by the True Eye
      Bevel(k, 0x606070);
      k.FillEllipse(8, 11, 16, 10, 0xFFFFFF);
      k.FillEllipse(13, 13, 6, 6, kInk);
      return;
    case 79: Bevel(k, 0xC0A040); return;  // solid block a switch made
    case 92: Spikes(k, 0); return;
    case 93: Spikes(k, 1); return;
    case 94: Spikes(k, 2); return;
    case 95: Spikes(k, 3); return;
    case 199:  // sign post (under the board)
      k.FillRect(13, 0, 6, 32, 0x805830);
      k.FrameRect(13, 0, 6, 32, kInk);
      return;
    case 200:  // sign board
      k.FillRect(13, 20, 6, 12, 0x805830);
      k.FillRect(2, 6, 28, 18, 0xD0A060);
      k.FrameRect(2, 6, 28, 18, kInk);
      k.FillRect(6, 11, 20, 2, kInk);
      k.FillRect(6, 16, 14, 2, kInk);
      return;
    case 201:  // treasure gate: bars
      k.FillRect(0, 0, 32, 4, 0xA08030);
      k.FillRect(0, 28, 32, 4, 0xA08030);
      for (int x = 2; x < 32; x += 8) k.FillRect(x, 0, 4, 32, 0xD0B050);
      k.FrameRect(0, 0, 32, 32, kInk);
      return;
    case 209: Door(k, 0xC06030, "SHOP", true); return;
    case 217: Door(k, 0xC06030, "", false); return;  // under the shop door, also made by codes
    case 214: Door(k, 0x6070A0, "", true); return;
    case 215:
    case 222: Door(k, 0x6070A0, "", false); return;  // under a door, also made by codes
    default:
      break;
  }
  if ((n >= 210 && n <= 213) || (n >= 218 && n <= 221)) {  // the status screen's door pictures 0..3
    static const std::uint32_t kDoorPictures[4] = {0x4080D0, 0x40A060, 0xA050C0, 0xC0A040};
    Door(k, kDoorPictures[(n - 210) % 8], "", n < 216);
    return;
  }
  if (n >= 180 && n <= 186) {  // magic switch cells: the warp block's purple, a spark for the Magic shot
    Bevel(k, 0x8040C0);
    k.FillTriangle(16, 5, 13, 16, 19, 16, 0xFFE0FF);
    k.FillTriangle(16, 27, 13, 16, 19, 16, 0xFFE0FF);
    k.FillTriangle(5, 16, 16, 13, 16, 19, 0xFFE0FF);
    k.FillTriangle(27, 16, 16, 13, 16, 19, 0xFFE0FF);
    return;
  }
  if (n >= 80 && n <= 91) {  // breakable: cracked bricks
    Bricks(k, Mix(tint, 0xA08060, 0.5));
    k.Line(6, 4, 14, 16, kInk);
    k.Line(14, 16, 10, 28, kInk);
    k.Line(14, 16, 26, 20, kInk);
    return;
  }
  if (n >= 96 && n < 128) {  // background decoration: grass tufts, flowers, stones
    const std::uint32_t leaf = Mix(tint, 0x40C040, (n % 4) / 4.0);
    for (int i = 0; i < 4; ++i) k.Line(6 + i * 6, 31, 4 + i * 7, 18 + (n + i) % 8, leaf);
    if (n % 3 == 0) k.FillEllipse(12, 12, 8, 8, Mix(0xFF6080, 0xFFE060, (n % 5) / 4.0));
    return;
  }
  // Other terrain: bevelled blocks, one shade per chip, numbered faintly.
  Bevel(k, Mix(Shade(tint, 0.7), 0x808080, (n % 7) / 10.0));
  k.Text(3, 3, std::to_string(n), 1, 1, Shade(tint, 0.45), Shade(tint, 0.45));
}

void Background(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::string& style = c.entry.label;
  const std::uint32_t t = c.entry.tint;
  if (PaintAreaBackground(c)) return;
  if (style == "black") {
    k.FillRect(0, 0, c.w, c.h, 0x000000);
    return;
  }
  if (style == "drift") {
    // The title's front layer: it scrolls up over the back layer and wraps
    // at the top, so it holds only loose shapes on the transparent colour,
    // each drawn again a picture away so both edges meet.
    for (int i = 0; i < 9; ++i) {
      const int x = c.random.Below(c.w), y = c.random.Below(c.h), w = 60 + c.random.Below(80);
      for (int wrapX : {-c.w, 0, c.w}) {
        for (int wrapY : {-c.h, 0, c.h}) {
          k.FillEllipse(x + wrapX - w / 2, y + wrapY, w, w / 4, Shade(t, 1.6));
          k.FillEllipse(x + wrapX - w / 4, y + wrapY - w / 10, w / 2, w / 4, Shade(t, 1.8));
        }
      }
    }
    for (int i = 0; i < 60; ++i) k.Put(c.random.Below(c.w), c.random.Below(c.h), 0xFFFFF0);
  } else {  // the floor banner: stripes
    for (int y = 0; y < c.h; ++y) k.FillRect(0, y, c.w, 1, Mix(t, Shade(t, 0.35), static_cast<double>(y) / c.h));
    for (int y = 0; y < c.h; y += 16) k.FillRect(0, y, c.w, 2, Shade(t, 1.3));
  }
}

void Logo(const CellContext& c) {
  Canvas& k = c.canvas;
  k.FillRect(0, 0, c.w, c.h, 0x000000);
  for (int r = 0; r < 6; ++r) k.FrameEllipse(200 - r, 120 - r, 240 + 2 * r, 240 + 2 * r, Mix(0x3060FF, 0xFFFFFF, r / 6.0));
  k.Text(140, 210, "VELTRIN! P", 6, 6, 0xFFFFFF, 0x3060FF);
  k.Text(250, 400, "CIRCLE", 4, 4, 0x8090B0, 0x8090B0);
}

// Black is light (nothing subtracted), white is darkness; a soft edge.
void Mask(const CellContext& c) {
  Canvas& k = c.canvas;
  const double light = kCandleLitRadius[c.entry.label == "large" ? 1 : 0];
  const double edge = kCandleFadeWidth;
  for (int y = 0; y < c.h; ++y) {
    for (int x = 0; x < c.w; ++x) {
      const double d = std::hypot(x + 0.5 - c.w / 2.0, y + 0.5 - c.h / 2.0);
      const double t = std::clamp((d - light) / edge, 0.0, 1.0);
      k.Put(x, y, Mix(0x000000, 0xFFFFFF, t));
    }
  }
}

void Panel(const CellContext& c) {
  Canvas& k = c.canvas;
  k.FillRect(0, 0, c.w, c.h, kInk);
  k.FillRect(2, 2, c.w - 4, c.h - 4, 0xE0E0F0);
  k.FillRect(4, 4, c.w - 8, c.h - 8, c.entry.tint);
}

}  // namespace

void PaintChipCell(const CellContext& c) { Chip(c); }

void PaintScreenImage(const CellContext& c) {
  switch (c.entry.art) {
    case Art::kLogo: Logo(c); break;
    case Art::kMask: Mask(c); break;
    case Art::kPanel: Panel(c); break;
    default: Background(c); break;
  }
}

}  // namespace datagen
