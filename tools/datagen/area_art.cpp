// The campaign's areas in their own looks: each area's background (the
// meadow's day sky, the cavern's rock, the sky above the clouds, the forest,
// the snowfield, the castle, the last hall), the title's back layer, and the
// ground its chip set puts under the player's feet: the top (chip 4), the
// ground under it (chip 5), the fill of walls and borders (chip 1), which
// continues the ground, and the same ground darker further in (chips 8..27,
// ground_depth.h). Backgrounds wrap sideways; those behind floors that scroll
// both ways (the cavern, the castle, the last hall) and the title's, which
// scrolls up, wrap up and down too.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "tools/datagen/art_common.h"
#include "tools/datagen/ground_depth.h"

namespace datagen {
namespace {

void Gradient(Canvas& k, int w, int h, std::uint32_t top, std::uint32_t bottom) {
  for (int y = 0; y < h; ++y) k.FillRect(0, y, w, 1, Mix(top, bottom, static_cast<double>(y) / h));
}

// A rough edge that wraps with the picture: forty random heights up to
// `amplitude`, joined by straight runs, repeating every `period` pixels.
class JaggedEdge {
 public:
  JaggedEdge(Random& random, int period, int amplitude) : period_(period) {
    for (int& h : heights_) h = random.Below(amplitude + 1);
  }
  int At(int x) const {
    const double step = static_cast<double>(period_) / kPoints;
    const double at = (((x % period_) + period_) % period_) / step;
    const int i = static_cast<int>(at);
    const double t = at - i;
    return static_cast<int>(std::lround(heights_[i] * (1 - t) + heights_[(i + 1) % kPoints] * t));
  }

 private:
  static constexpr int kPoints = 40;
  int period_;
  std::array<int, kPoints> heights_{};
};

// Draws `draw(dx, dy)` at every copy a picture away that may overlap it.
template <typename Draw>
void Wrapped(const CellContext& c, bool vertically, Draw draw) {
  for (int wrapX : {-c.w, 0, c.w}) {
    if (!vertically) {
      draw(wrapX, 0);
      continue;
    }
    for (int wrapY : {-c.h, 0, c.h}) draw(wrapX, wrapY);
  }
}

// A small star: a dot, or a four-pointed twinkle.
void Star(Canvas& k, int x, int y, int size, std::uint32_t colour) {
  if (size <= 1) return k.Put(x, y, colour);
  k.FillRect(x - size, y, 2 * size + 1, 1, Shade(colour, 0.7));
  k.FillRect(x, y - size, 1, 2 * size + 1, Shade(colour, 0.7));
  k.FillRect(x - 1, y - 1, 3, 3, colour);
}

// The meadow by day: a blue sky paling to the horizon, drifting clouds, far
// blue hills and near green ones.
void MeadowBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint, horizon = 0xDDF0FF;
  for (int y = 0; y < c.h; ++y) k.FillRect(0, y, c.w, 1, Mix(t, horizon, std::min(1.0, y / 340.0)));
  for (int i = 0; i < 7; ++i) {
    const int x = i * c.w / 7 + c.random.Below(60), y = 40 + c.random.Below(160), w = 90 + c.random.Below(60);
    Wrapped(c, false, [&](int dx, int) {
      k.FillEllipse(x + dx - w / 2, y, w, w / 4, 0xE8F2FF);
      k.FillEllipse(x + dx - w / 4, y - w / 8, w / 2, w / 4 + 4, 0xFFFFFF);
      k.FillEllipse(x + dx - w / 2 + 8, y + w / 10, w - 16, w / 6, 0xFFFFFF);
    });
  }
  // The hills' waves divide the width, so the picture tiles.
  for (int x = 0; x < c.w; ++x) {
    const double turn = 2 * M_PI * x / c.w;
    const int far = 300 + static_cast<int>(30 * std::sin(3 * turn + 1) + 14 * std::sin(8 * turn));
    const int near = 370 + static_cast<int>(34 * std::sin(2 * turn) + 16 * std::sin(7 * turn));
    k.FillRect(x, far, 1, c.h - far, Mix(0x6A9AC0, t, 0.2));
    k.FillRect(x, near, 1, c.h - near, 0x4C8A3C);
    k.FillRect(x, near, 1, 3, 0x6AAA4C);
  }
}

// The cavern: strata of rock with rough seams, two deep recesses where
// stalactites hang and stalagmites rise, and a few glowing crystals.
void CavernBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  // Cool and dim, so the warmer, lighter rock of the ground stands before it.
  const std::uint32_t rock = Mix(c.entry.tint, 0x4C4656, 0.6), seam = Shade(rock, 0.55), deep = Shade(rock, 0.4);
  constexpr int kStrata[] = {0, 48, 92, 150, 196, 250, 300, 350, 404, 446};
  constexpr double kShades[] = {1.0, 0.86, 0.94, 0.8, 0.97, 0.84, 0.92, 0.78, 0.95, 0.88};
  // The last stratum runs on under the first one's rough top, so the
  // picture meets itself top to bottom.
  k.FillRect(0, 0, c.w, c.h, Shade(rock, kShades[std::size(kShades) - 1]));
  for (std::size_t band = 0; band < std::size(kStrata); ++band) {
    const JaggedEdge edge(c.random, c.w, 14);
    const std::uint32_t colour = Shade(rock, kShades[band]);
    for (int x = 0; x < c.w; ++x) {
      const int top = kStrata[band] + edge.At(x);
      k.FillRect(x, top, 1, c.h, colour);
      k.FillRect(x, top, 1, 2, seam);
    }
  }
  for (int i = 0; i < 30; ++i) {  // cracks
    const int x = c.random.Below(c.w), y = c.random.Below(c.h), run = 10 + c.random.Below(24);
    Wrapped(c, true, [&](int dx, int dy) {
      k.Line(x + dx, y + dy, x + dx + run / 2, y + dy + run, seam);
      k.Line(x + dx + run / 2, y + dy + run, x + dx + run / 3, y + dy + 2 * run, seam);
    });
  }
  const struct Recess {
    int top, bottom;
  } recesses[] = {{112, 186}, {320, 396}};
  for (const Recess& recess : recesses) {
    const JaggedEdge upper(c.random, c.w, 10), lower(c.random, c.w, 10);
    for (int x = 0; x < c.w; ++x) {
      const int top = recess.top + upper.At(x), bottom = recess.bottom - lower.At(x);
      k.FillRect(x, top, 1, bottom - top, deep);
      k.FillRect(x, top, 1, 3, Shade(deep, 0.7));
    }
    for (int i = 0; i < 18; ++i) {
      const int x = i * c.w / 18 + c.random.Below(20), half = 4 + c.random.Below(6);
      const int drop = 18 + c.random.Below(30), rise = 10 + c.random.Below(20);
      Wrapped(c, false, [&](int dx, int) {
        const int px = x + dx;
        k.FillTriangle(px - half, recess.top, px + half, recess.top, px, recess.top + drop, Shade(rock, 0.9));
        k.Line(px - half / 2, recess.top + 2, px, recess.top + drop, Shade(rock, 1.1));
        k.FillTriangle(px + 20 - half, recess.bottom, px + 20 + half, recess.bottom, px + 20, recess.bottom - rise,
                       Shade(rock, 0.85));
      });
    }
    for (int i = 0; i < 4; ++i) {
      const int x = c.random.Below(c.w - 20) + 4, y = recess.bottom - 14 - c.random.Below(8);
      k.FillTriangle(x, y + 12, x + 8, y + 12, x + 4, y - 6, 0x4FA8E0);
      k.FillTriangle(x + 3, y + 10, x + 6, y + 10, x + 4, y - 2, 0xB0E8FF);
    }
  }
}

// Above the clouds: a bright sky, the sun, a sea of clouds below. The sun
// stands in the columns the far sky's seam never reaches (floor_play.h), so
// it always shows whole and once.
void CloudsBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint;
  Gradient(k, c.w, c.h, Shade(t, 0.8), Mix(t, 0xFFFFFF, 0.6));
  k.FillEllipse(470, 50, 90, 90, 0xFFF4C0);
  k.FillEllipse(480, 60, 70, 70, 0xFFFFE8);
  for (int i = 0; i < 26; ++i) {
    const int x = i * c.w / 26 + c.random.Below(20), y = 330 + c.random.Below(60), r = 40 + c.random.Below(40);
    Wrapped(c, false, [&](int wrap, int) {
      k.FillEllipse(x + wrap - r, y, 2 * r, r + 20, Mix(t, 0xFFFFFF, 0.75));
      k.FillEllipse(x + wrap - r + 6, y + 6, 2 * r - 12, r, 0xFFFFFF);
    });
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
      Wrapped(c, false, [&](int wrap, int) { Pine(k, x + wrap, rank.foot, height, colour); });
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
      Wrapped(c, false, [&](int wrap, int) {
        const int px = x + wrap, top = base - height;
        k.FillTriangle(px, top, px - half, base, px + half, base, rock);
        k.FillTriangle(px, top, px - half / 3, top + height / 3, px + half / 3, top + height / 3, 0xF4F8FF);
      });
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

// The last hall: a colonnade of dark violet marble banded in gold, the
// night between its columns deep and starred. Columns run the picture's
// height and repeat across it, so it tiles both ways.
void HallBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint, night = Shade(t, 0.7);
  for (int y = 0; y < c.h; ++y) {
    k.FillRect(0, y, c.w, 1, Mix(night, Mix(t, 0x402060, 0.5), 0.5 - 0.5 * std::cos(2 * M_PI * y / c.h)));
  }
  for (int i = 0; i < 6; ++i) {  // far glows of the void
    const int x = c.random.Below(c.w), y = c.random.Below(c.h), r = 50 + c.random.Below(50);
    Wrapped(c, true, [&](int dx, int dy) { k.FillEllipse(x + dx - r, y + dy - r / 2, 2 * r, r, Mix(night, 0x503070, 0.35)); });
  }
  for (int i = 0; i < 90; ++i) Star(k, c.random.Below(c.w), c.random.Below(c.h), c.random.Below(9) == 0 ? 3 : 1, 0xF0E8C8);
  const std::uint32_t marble = Mix(t, 0x8070A8, 0.4), gold = 0x9A8038;
  for (int x0 = 40; x0 < c.w; x0 += 160) {
    k.FillRect(x0, 0, 60, c.h, marble);
    k.FillRect(x0, 0, 8, c.h, Shade(marble, 1.25));
    k.FillRect(x0 + 46, 0, 14, c.h, Shade(marble, 0.7));
    for (int fl = x0 + 18; fl < x0 + 44; fl += 9) k.FillRect(fl, 0, 2, c.h, Shade(marble, 0.85));
    for (int ring : {100, 340}) {
      k.FillRect(x0 - 8, ring, 76, 16, gold);
      k.FillRect(x0 - 8, ring, 76, 3, Shade(gold, 1.35));
      k.FillRect(x0 - 8, ring + 13, 76, 3, Shade(gold, 0.6));
    }
  }
}

// The title's back layer, scrolling up behind drifting clouds: a deep sky
// whose colour rises and falls with the picture's height, ribbons of light
// and stars, all wrapping top to bottom.
void StarryBackground(const CellContext& c) {
  Canvas& k = c.canvas;
  const std::uint32_t t = c.entry.tint, deep = Shade(t, 0.3), high = Mix(t, 0x6040A0, 0.4);
  for (int y = 0; y < c.h; ++y) k.FillRect(0, y, c.w, 1, Mix(deep, high, 0.5 - 0.5 * std::cos(2 * M_PI * y / c.h)));
  for (int ribbon = 0; ribbon < 3; ++ribbon) {
    const int y0 = 60 + ribbon * 160, lean = 40 + 30 * ribbon;
    const std::uint32_t glow = Mix(Mix(deep, high, 0.5), ribbon == 1 ? 0x60E0C0 : 0x8090FF, 0.25);
    for (int x = 0; x < c.w; ++x) {
      const int y = y0 + static_cast<int>(lean * std::sin(2 * M_PI * (x + ribbon * 90) / c.w));
      Wrapped(c, true, [&](int, int dy) { k.FillRect(x, y + dy, 1, 18, glow); });
    }
  }
  for (int i = 0; i < 220; ++i) {
    const int size = c.random.Below(14) == 0 ? 3 : (c.random.Below(4) == 0 ? 2 : 1);
    Star(k, c.random.Below(c.w), c.random.Below(c.h), size, size > 1 ? 0xFFFFF0 : 0xC0C8F0);
  }
}

// Where a vertical joint of laid stone falls: at `usual` near the open air;
// in deep ground where the cell's random puts it, so a wall of it is laid
// stone by stone rather than stamped.
int Joint(const CellContext& c, bool deep, int usual) { return deep ? 4 + c.random.Below(24) : usual; }

// One area's ground: the top (chip 4), the ground under it and the fill
// of walls and borders, which continues it (chips 5 and 1); `deep` ground
// lies further in (ground_depth.h).
void Ground(const CellContext& c, bool top, bool deep) {
  Canvas& k = c.canvas;
  const std::string& ground = c.entry.label;
  const std::uint32_t t = c.entry.tint;
  if (ground == "grass") {  // brown earth with stones, a grass sod on top
    const std::uint32_t earth = 0x7A4C28;
    k.FillRect(0, 0, 32, 32, earth);
    for (int i = 0; i < 5; ++i) k.FillEllipse(c.random.Below(28), c.random.Below(28), 5, 3, Shade(earth, 0.7));
    for (int i = 0; i < 2; ++i) {
      const int x = c.random.Below(26), y = top ? 14 + c.random.Below(12) : c.random.Below(26);
      k.FillEllipse(x, y, 6, 5, 0x8C8070);
      k.FillRect(x + 1, y + 1, 2, 1, 0xB8B0A0);
    }
    if (top) {
      k.FillRect(0, 0, 32, 8, t);
      k.FillRect(0, 0, 32, 2, Shade(t, 1.3));
      for (int x = 0; x < 32; x += 4) k.FillRect(x, 8, 2, 2 + (x / 4) % 3, Shade(t, 0.8));
    }
  } else if (ground == "rock") {  // strata of rock; a rough ledge on top
    const std::uint32_t rock = Mix(t, 0x9A8068, 0.6);
    for (int band = 0; band < 4; ++band) {
      k.FillRect(0, band * 8, 32, 8, Shade(rock, band % 2 == 0 ? 0.9 : 0.78));
      for (int x = 0; x < 32; x += 4) k.FillRect(x, band * 8 + (x / 4 + band) % 3, 4, 1, Shade(rock, 0.6));
    }
    for (int i = 0; i < 2; ++i) {
      const int x = 2 + c.random.Below(26), y = 6 + c.random.Below(20);
      k.Line(x, y, x + 3, y + 5, Shade(rock, 0.5));
    }
    if (top) {
      k.FillRect(0, 0, 32, 5, Shade(rock, 1.3));
      for (int x = 0; x < 32; x += 3) k.FillRect(x, 5, 3, (x * 7) % 4, Shade(rock, 1.15));
      k.FillRect(0, 0, 32, 1, Shade(rock, 1.6));
    }
  } else if (ground == "cloud") {  // golden temple slabs, cloud on top
    const std::uint32_t slab = Mix(t, 0xF0D080, 0.5), joint = Shade(slab, 0.6);
    k.FillRect(0, 0, 32, 32, Shade(slab, 0.85));
    k.FillRect(0, 15, 32, 1, joint);
    k.FillRect(Joint(c, deep, 16), 0, 1, 15, joint);
    k.FillRect(Joint(c, deep, 8), 16, 1, 16, joint);
    if (top) {
      k.FillRect(0, 0, 32, 10, Shade(slab, 1.0));
      for (int x = -4; x < 32; x += 10) k.FillEllipse(x, -4, 14, 10, 0xFFFFFF);
    }
  } else if (ground == "moss") {  // dark earth threaded with roots, moss on top
    k.FillRect(0, 0, 32, 32, 0x3A2818);
    for (int i = 0; i < 3; ++i) k.Line(c.random.Below(32), 6, c.random.Below(32), 31, 0x5A3C20);
    for (int i = 0; i < 3; ++i) k.FillRect(c.random.Below(29), c.random.Below(29), 3, 2, 0x2A1C10);
    if (top) {
      k.FillRect(0, 0, 32, 7, Shade(t, 0.8));
      for (int x = 1; x < 32; x += 5) k.FillEllipse(x, 4, 5, 6, Shade(t, 0.65));
    }
  } else if (ground == "snow") {  // frozen blue rock, a snow cap with icicles
    k.FillRect(0, 0, 32, 32, 0x6A7890);
    for (int i = 0; i < 5; ++i) k.FillRect(c.random.Below(28), c.random.Below(28), 4, 2, 0x8898B0);
    if (top) {
      k.FillRect(0, 0, 32, 9, 0xF4F8FF);
      for (int x = 2; x < 32; x += 7) k.FillTriangle(x, 9, x + 4, 9, x + 2, 14 + x % 3, 0xD0E8FF);
    }
  } else if (ground == "flagstone") {  // the castle's masonry
    const std::uint32_t slab = Mix(t, 0x8888A0, 0.5);
    k.FillRect(0, 0, 32, 32, Shade(slab, top ? 1.0 : 0.8));
    k.FillRect(0, 15, 32, 2, Shade(slab, 0.55));
    k.FillRect(Joint(c, deep, top ? 20 : 10), 0, 2, 15, Shade(slab, 0.55));
    k.FillRect(Joint(c, deep, top ? 6 : 24), 17, 2, 15, Shade(slab, 0.55));
    if (top) k.FillRect(0, 0, 32, 2, Shade(slab, 1.35));
  } else if (ground == "marble") {  // veined violet marble blocks, a gold-trimmed floor
    const std::uint32_t marble = Mix(t, 0xB0A8C8, 0.35);
    k.FillRect(0, 0, 32, 32, Shade(marble, 0.8));
    k.Line(c.random.Below(12), 0, 12 + c.random.Below(20), 31, Shade(marble, 1.2));
    k.Line(0, 8 + c.random.Below(16), 31, c.random.Below(32), Shade(marble, 0.65));
    k.FillRect(0, 31, 32, 1, Shade(marble, 0.6));
    k.FillRect(31, 0, 1, 32, Shade(marble, 0.6));
    k.FillRect(0, 0, 31, 1, Shade(marble, 0.95));
    if (top) {
      k.FillRect(0, 0, 32, 8, Shade(marble, 1.15));
      k.FillRect(0, 8, 32, 2, 0xC8A848);
      k.FillRect(0, 0, 32, 1, Shade(marble, 1.5));
    }
  }
}

// The light left on deep ground, levels 2 to 6 and beyond.
constexpr double kDeepGroundShades[kDeepGroundLevels] = {0.88, 0.77, 0.67, 0.59, 0.52};

}  // namespace

bool PaintAreaBackground(const CellContext& c) {
  const std::string& style = c.entry.label;
  if (style == "sky") return MeadowBackground(c), true;
  if (style == "cave") return CavernBackground(c), true;
  if (style == "hall") return HallBackground(c), true;
  if (style == "starry") return StarryBackground(c), true;
  if (style == "clouds") return CloudsBackground(c), true;
  if (style == "forest") return ForestBackground(c), true;
  if (style == "snow") return SnowBackground(c), true;
  if (style == "castle") return CastleBackground(c), true;
  return false;
}

bool PaintAreaGround(const CellContext& c) {
  const int level = DeepGroundLevel(c.cell);
  if ((c.cell != 1 && c.cell != 4 && c.cell != 5 && level == 0) || c.entry.label.empty()) return false;
  Ground(c, c.cell == 4, level > 0);
  // Darker ring by ring inward, as the light from the open cells fades.
  if (level > 0) c.canvas.ShadeWindow(kDeepGroundShades[level - 2]);
  return true;
}

}  // namespace datagen
