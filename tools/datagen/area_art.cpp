// The campaign's areas in their own looks: each area's background (the
// sky above the clouds, the forest, the snowfield, the castle) and the ground
// its chip set puts under the player's feet. Backgrounds wrap sideways; the
// castle's, behind floors that scroll both ways, wraps up and down too.
#include <cmath>
#include <string>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

void Gradient(Canvas& k, int w, int h, std::uint32_t top, std::uint32_t bottom) {
  for (int y = 0; y < h; ++y) k.FillRect(0, y, w, 1, Mix(top, bottom, static_cast<double>(y) / h));
}

// Above the clouds: a bright sky, the sun, a sea of clouds below.
void CloudsBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint;
  Gradient(k, c.w, c.h, Shade(t, 0.8), Mix(t, 0xFFFFFF, 0.6));
  k.FillEllipse(470, 50, 90, 90, 0xFFF4C0);
  k.FillEllipse(480, 60, 70, 70, 0xFFFFE8);
  for (int i = 0; i < 26; ++i) {
    const int x = i * c.w / 26 + c.random.Below(20), y = 330 + c.random.Below(60), r = 40 + c.random.Below(40);
    for (int wrap : {-c.w, 0, c.w}) {
      k.FillEllipse(x + wrap - r, y, 2 * r, r + 20, Mix(t, 0xFFFFFF, 0.75));
      k.FillEllipse(x + wrap - r + 6, y + 6, 2 * r - 12, r, 0xFFFFFF);
    }
  }
  k.FillRect(0, 410, c.w, c.h - 410, 0xFFFFFF);
}

// A pine: stacked triangles on a trunk, `height` tall from its foot at (x, foot).
void Pine(Canvas& k, int x, int foot, int height, std::uint32_t colour) {
  k.FillRect(x - height / 20 - 1, foot - height / 5, height / 10 + 2, height / 5, Shade(colour, 0.6));
  for (int tier = 0; tier < 3; ++tier) {
    const int top = foot - height + tier * height / 4, half = height / 5 + tier * height / 12;
    k.FillTriangle(x, top, x - half, top + height / 2, x + half, top + height / 2, colour);
  }
}

// The forest: three ranks of pines, paler with distance, and light between.
void ForestBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint;
  Gradient(k, c.w, c.h, Mix(t, 0xC0E0A0, 0.5), Shade(t, 0.5));
  for (int shaft = 0; shaft < 4; ++shaft) {
    const int x = 60 + shaft * 160;
    for (int y = 0; y < 300; ++y) k.FillRect(x + y / 3, y, 24, 1, Mix(Mix(t, 0xC0E0A0, 0.5), 0xFFFFE0, 0.25));
  }
  const struct Rank {
    int count, foot, height;
    double shade;
  } ranks[] = {{14, 330, 150, 0.85}, {10, 400, 200, 0.6}, {7, 480, 260, 0.4}};
  for (const Rank& rank : ranks) {
    const std::uint32_t colour = Mix(Shade(t, rank.shade), 0x203020, 0.3);
    for (int i = 0; i < rank.count; ++i) {
      const int x = i * c.w / rank.count + c.random.Below(30), height = rank.height - c.random.Below(40);
      for (int wrap : {-c.w, 0, c.w}) Pine(k, x + wrap, rank.foot, height, colour);
    }
    k.FillRect(0, rank.foot - 2, c.w, c.h - rank.foot + 2, colour);
  }
}

// The snowfield: white-capped peaks under a pale sky, snow falling.
void SnowBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint;
  Gradient(k, c.w, c.h, Shade(t, 0.9), Mix(t, 0xFFFFFF, 0.7));
  for (int range = 0; range < 2; ++range) {
    const int peaks = range == 0 ? 5 : 4, base = range == 0 ? 360 : 440;
    const std::uint32_t rock = range == 0 ? Mix(t, 0x607080, 0.5) : Mix(t, 0x405060, 0.6);
    for (int i = 0; i < peaks; ++i) {
      const int x = i * c.w / peaks + c.random.Below(40), height = 160 + c.random.Below(80) - range * 40;
      const int half = height * 9 / 10;
      for (int wrap : {-c.w, 0, c.w}) {
        const int px = x + wrap, top = base - height;
        k.FillTriangle(px, top, px - half, base, px + half, base, rock);
        k.FillTriangle(px, top, px - half / 3, top + height / 3, px + half / 3, top + height / 3, 0xF4F8FF);
      }
    }
    k.FillRect(0, base, c.w, c.h - base, range == 0 ? Mix(t, 0xFFFFFF, 0.5) : 0xE8F0FF);
  }
  for (int i = 0; i < 160; ++i) {
    const int size = 2 + c.random.Below(3);
    k.FillEllipse(c.random.Below(c.w - size), c.random.Below(c.h - size), size, size, 0xFFFFFF);
  }
}

// The castle: great dark stones, arched windows onto the night, banners
// and torches; every feature repeats within the picture so it tiles.
void CastleBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint, stone = Mix(t, 0x404050, 0.5), mortar = Shade(stone, 0.6);
  k.FillRect(0, 0, c.w, c.h, stone);
  for (int row = 0; row < c.h / 24; ++row) {
    k.FillRect(0, row * 24 + 22, c.w, 2, mortar);
    for (int x = (row % 2) * 32; x < c.w; x += 64) k.FillRect(x, row * 24, 2, 22, mortar);
    for (int x = (row % 2) * 32 + 8; x < c.w; x += 64) k.FillRect(x, row * 24 + 2, 40, 1, Shade(stone, 1.15));
  }
  for (int wx : {80, 400}) {
    for (int wy : {60, 300}) {
      k.FillEllipse(wx - 4, wy - 4, 88, 88, Shade(stone, 0.5));
      k.FillRect(wx - 4, wy + 40, 88, 100, Shade(stone, 0.5));
      k.FillEllipse(wx, wy, 80, 80, 0x182048);
      k.FillRect(wx, wy + 40, 80, 92, 0x182048);
      k.FillRect(wx + 38, wy, 4, 132, Shade(stone, 0.5));
      k.FillRect(wx, wy + 70, 80, 4, Shade(stone, 0.5));
      k.FillEllipse(wx + 50, wy + 18, 14, 14, 0xF0F0D0);
    }
  }
  for (int bx : {240, 560}) {
    for (int by : {20, 260}) {
      k.FillRect(bx, by, 40, 120, Mix(t, 0xA02030, 0.7));
      k.FillTriangle(bx, by + 120, bx + 40, by + 120, bx + 20, by + 140, Mix(t, 0xA02030, 0.7));
      k.FillEllipse(bx + 10, by + 40, 20, 20, 0xE8C040);
      k.FillRect(bx + 16, by + 170, 8, 24, 0x604020);
      k.FillEllipse(bx + 8, by + 146, 24, 28, 0xFF9020);
      k.FillEllipse(bx + 13, by + 154, 14, 16, 0xFFE080);
    }
  }
}

// The top of the ground (chip 4) and the earth under it (chip 5), by area.
void Ground(const CellContext& c, bool top) {
  Canvas& k = c.canvas;
  const std::string& ground = c.entry.label;
  const std::uint32_t t = c.entry.tint;
  if (ground == "rock") {
    const std::uint32_t rock = Mix(t, 0x706878, 0.5);
    k.FillRect(0, 0, 32, 32, Shade(rock, top ? 1.0 : 0.8));
    for (int i = 0; i < 3; ++i) k.Line(c.random.Below(28), c.random.Below(28), c.random.Below(32), c.random.Below(32), Shade(rock, 0.55));
    if (top) k.FillRect(0, 0, 32, 3, Shade(rock, 1.4));
  } else if (ground == "cloud") {  // golden temple slabs, cloud on top
    const std::uint32_t slab = Mix(t, 0xF0D080, 0.5), joint = Shade(slab, 0.6);
    k.FillRect(0, 0, 32, 32, Shade(slab, top ? 1.0 : 0.85));
    k.FillRect(0, 15, 32, 1, joint);
    k.FillRect(16, 0, 1, 15, joint);
    k.FillRect(8, 16, 1, 16, joint);
    if (top) {
      for (int x = -4; x < 32; x += 10) k.FillEllipse(x, -4, 14, 10, 0xFFFFFF);
    }
  } else if (ground == "moss") {
    k.FillRect(0, 0, 32, 32, 0x3A2818);
    for (int i = 0; i < 3; ++i) k.Line(c.random.Below(32), 6, c.random.Below(32), 31, 0x5A3C20);
    if (top) {
      k.FillRect(0, 0, 32, 7, Shade(t, 0.8));
      for (int x = 1; x < 32; x += 5) k.FillEllipse(x, 4, 5, 6, Shade(t, 0.65));
    }
  } else if (ground == "snow") {
    k.FillRect(0, 0, 32, 32, 0x6A7890);
    for (int i = 0; i < 5; ++i) k.FillRect(c.random.Below(28), c.random.Below(28), 4, 2, 0x8898B0);
    if (top) {
      k.FillRect(0, 0, 32, 9, 0xF4F8FF);
      for (int x = 2; x < 32; x += 7) k.FillTriangle(x, 9, x + 4, 9, x + 2, 14 + x % 3, 0xD0E8FF);
    }
  } else if (ground == "flagstone") {
    const std::uint32_t slab = Mix(t, 0x8888A0, 0.5);
    k.FillRect(0, 0, 32, 32, Shade(slab, top ? 1.0 : 0.8));
    k.FillRect(0, 15, 32, 2, Shade(slab, 0.55));
    k.FillRect(top ? 20 : 10, 0, 2, 15, Shade(slab, 0.55));
    k.FillRect(top ? 6 : 24, 17, 2, 15, Shade(slab, 0.55));
    if (top) k.FillRect(0, 0, 32, 2, Shade(slab, 1.35));
  }
}

}  // namespace

bool PaintAreaBackground(const CellContext& c) {
  const std::string& style = c.entry.label;
  if (style == "clouds") return CloudsBackground(c), true;
  if (style == "forest") return ForestBackground(c), true;
  if (style == "snow") return SnowBackground(c), true;
  if (style == "castle") return CastleBackground(c), true;
  return false;
}

bool PaintAreaGround(const CellContext& c) {
  if ((c.cell != 4 && c.cell != 5) || c.entry.label.empty() || c.entry.label == "grass") return false;
  Ground(c, c.cell == 4);
  return true;
}

}  // namespace datagen
