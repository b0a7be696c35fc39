// Readable art of the item icons (st_itemicon.png), which the status
// screen's panel, the shop's rows and the chest's Get window all draw: cell
// n is the picture of chest content n (game/chest_contents.h), each a thing
// of its own shape, inked round so it reads on any of the three backs.
#include <tuple>
#include <utility>
#include <vector>

#include "tools/datagen/creature_parts.h"

namespace datagen {
namespace {

constexpr std::uint32_t kGoldKey = 0xF0C020, kSteel = 0xB8C0D0, kWood = 0x8A5A30, kPaper = 0xF0E8D0;
constexpr std::uint32_t kBlaze = kShotColours[0], kGravity = kShotColours[1], kMagic = kShotColours[2];

using Point = std::pair<double, double>;

// A cut gem: facets from the centre to the rim's points, alternately lit and
// shaded, a lighter table in the middle and a glint.
void Gem(Canvas& k, double cx, double cy, const std::vector<Point>& rim, std::uint32_t colour) {
  for (std::size_t i = 0; i < rim.size(); ++i) {
    const Point& a = rim[i];
    const Point& b = rim[(i + 1) % rim.size()];
    k.FillTriangle(Round(cx), Round(cy), Round(a.first), Round(a.second), Round(b.first), Round(b.second),
                   Shade(colour, i % 2 == 0 ? 0.75 : 1.2));
  }
  std::vector<Point> table;
  for (const Point& p : rim) table.emplace_back(cx + (p.first - cx) * 0.45, cy + (p.second - cy) * 0.45);
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Point& a = table[i];
    const Point& b = table[(i + 1) % table.size()];
    k.FillTriangle(Round(cx), Round(cy), Round(a.first), Round(a.second), Round(b.first), Round(b.second),
                   Shade(colour, 1.45));
  }
  k.FillRect(Round(cx) - 4, Round(cy) - 5, 2, 2, 0xFFFFFF);
}

std::vector<Point> Oval(double cx, double cy, double rx, double ry, int points, double turn = 0.0) {
  std::vector<Point> rim;
  for (int i = 0; i < points; ++i) {
    const double a = turn + i * 2 * M_PI / points;
    rim.emplace_back(cx + rx * std::cos(a), cy + ry * std::sin(a));
  }
  return rim;
}

// The four replicas: the ruby an oval cut, the sapphire a pear, the emerald
// the step-cut octagon named after it, the diamond a brilliant seen side-on.
void Ruby(Canvas& k) { Gem(k, 16, 16, Oval(16, 16, 8.5, 14, 10), 0xE02840); }
void Sapphire(Canvas& k) {
  std::vector<Point> rim{{16, 2}};
  for (int i = 0; i <= 8; ++i) {
    const double a = -M_PI / 5 + i * (M_PI + 2 * M_PI / 5) / 8;
    rim.emplace_back(16 + 10 * std::cos(a), 19 + 10 * std::sin(a));
  }
  Gem(k, 16, 18, rim, 0x2860E0);
}
void Emerald(Canvas& k) {
  const std::uint32_t green = 0x20B050;
  const std::vector<Point> rim{{10, 3}, {22, 3}, {27, 8}, {27, 24}, {22, 29}, {10, 29}, {5, 24}, {5, 8}};
  Gem(k, 16, 16, rim, green);
  k.FrameRect(10, 8, 12, 16, Shade(green, 1.6));  // the steps of the cut
  k.FrameRect(13, 11, 6, 10, Shade(green, 0.6));
}
void Diamond(Canvas& k) {
  const std::uint32_t stone = 0xE8D8A8;                      // earth-warm
  k.FillTriangle(3, 12, 29, 12, 16, 30, Shade(stone, 0.8));  // the pavilion
  k.FillTriangle(9, 12, 23, 12, 16, 30, Shade(stone, 1.15));
  k.FillTriangle(3, 12, 9, 5, 23, 5, stone);  // the crown
  k.FillTriangle(3, 12, 29, 12, 23, 5, stone);
  k.FillTriangle(9, 5, 16, 12, 23, 5, Shade(stone, 1.4));
  k.Line(3, 12, 29, 12, Shade(stone, 0.55));
  k.Line(16, 12, 16, 29, Shade(stone, 0.65));
  k.FillRect(11, 7, 2, 2, 0xFFFFFF);
}

void Key(Canvas& k) {
  k.FillEllipse(3, 9, 13, 13, kGoldKey);
  k.FillEllipse(7, 13, 5, 5, kTransparent);
  k.FillRect(14, 13, 15, 5, kGoldKey);
  k.FillRect(22, 18, 3, 6, kGoldKey);
  k.FillRect(27, 18, 3, 4, kGoldKey);
  k.FillRect(15, 14, 13, 1, Shade(kGoldKey, 1.4));
}

void KeySwitch(Canvas& k) {
  k.FillRect(4, 21, 24, 8, 0x808090);
  k.FillRect(6, 22, 20, 2, 0xA8A8B8);
  Stroke(k, 16, 22, 10, 8, 3, kSteel);
  Disc(k, 10, 7, 4.5, 0xFF4040);
  k.FillRect(8, 5, 2, 2, 0xFFC0C0);
}

void Coin(Canvas& k) {  // the gold coin of the status bar, at the icon's size
  k.FillEllipse(5, 5, 22, 22, kCoinGold);
  k.FrameEllipse(5, 5, 22, 22, kCoinRim);
  k.FrameEllipse(8, 8, 16, 16, Shade(kCoinGold, 1.25));
  k.FillRect(15, 10, 3, 12, kCoinRim);
}

// MP Up: a stoppered flask of blue magic with a rising star.
void MagicFlask(Canvas& k) {
  k.FillRect(13, 3, 7, 4, kWood);
  k.FillRect(12, 7, 9, 6, 0xC8E0F0);
  k.FillEllipse(5, 11, 23, 19, 0xC8E0F0);
  k.FillEllipse(7, 16, 19, 12, 0x3070F0);
  k.FillRect(7, 16, 19, 3, 0x3070F0);
  k.FillRect(9, 14, 3, 4, 0xFFFFFF);
  k.FillRect(17, 19, 2, 7, 0xFFFFFF);
  k.FillRect(14, 22, 8, 2, 0xFFFFFF);
}

// The shots: a fireball, a gravity well, a four-pointed spark.
void BlazeShot(Canvas& k) {
  k.FillTriangle(26, 4, 10, 14, 20, 24, Shade(kBlaze, 1.3));
  k.FillTriangle(30, 12, 12, 16, 18, 26, Shade(kBlaze, 1.1));
  Disc(k, 12, 20, 9, kBlaze);
  Disc(k, 11, 20, 5.5, 0xFFC040);
  Disc(k, 10, 20, 2.5, 0xFFF8C0);
}
void GravityShot(Canvas& k) {  // a dark orb pulling a ring of dust round it
  k.FillEllipse(0, 11, 32, 11, Shade(kGravity, 1.4));
  k.FillEllipse(4, 14, 24, 5, kTransparent);
  Disc(k, 16, 16, 10, Shade(kGravity, 0.55));
  Disc(k, 16, 16, 6, kGravity);
  Disc(k, 16, 16, 3, kInk);
  k.FillRect(3, 15, 4, 2, Shade(kGravity, 1.4));  // the ring passing in front
  k.FillRect(25, 15, 4, 2, Shade(kGravity, 1.4));
}
void MagicShot(Canvas& k) {
  k.FillTriangle(16, 2, 12, 16, 20, 16, kMagic);
  k.FillTriangle(16, 30, 12, 16, 20, 16, kMagic);
  k.FillTriangle(2, 16, 16, 12, 16, 20, kMagic);
  k.FillTriangle(30, 16, 16, 12, 16, 20, kMagic);
  Disc(k, 16, 16, 4, 0xE0FFFF);
  k.FillRect(23, 5, 3, 3, Shade(kMagic, 1.5));
  k.FillRect(6, 24, 2, 2, Shade(kMagic, 1.5));
}

// A boot facing right; the Hoverdash trails speed lines, the Airdash has wings.
void Boot(Canvas& k, std::uint32_t leather) {
  k.FillRect(11, 5, 10, 16, leather);
  k.FillEllipse(11, 16, 19, 11, leather);
  k.FillRect(11, 24, 19, 4, Shade(leather, 0.5));
  k.FillRect(10, 5, 12, 3, Shade(leather, 1.4));
}
void Hoverdash(Canvas& k) {
  for (int i = 0; i < 3; ++i) k.FillRect(1, 9 + i * 7, 8 - i * 2, 2, 0x80D0FF);
  Boot(k, 0x4080D0);
}
void Airdash(Canvas& k) {
  Boot(k, 0x3060B0);
  k.FillTriangle(12, 10, 1, 3, 4, 14, 0xFFFFFF);
  k.FillTriangle(12, 14, 1, 10, 5, 19, 0xE0F0FF);
  k.Line(2, 4, 11, 11, 0xA0B8D0);
}

// High Jump: a magic feather.
void Feather(Canvas& k) {
  for (int i = 0; i < 9; ++i) {
    const double t = i / 8.0;
    const double x = 24 - t * 16, y = 4 + t * 18;
    Disc(k, x, y, 5 - std::abs(t - 0.45) * 6, i % 2 == 0 ? 0xE8F4FF : 0xC8E0F8);
  }
  Stroke(k, 26, 3, 6, 29, 1.5, 0x9098B0);
}

// Break Power: a brick wall split by a crack.
void Breaker(Canvas& k) {
  const std::uint32_t brick = 0xB05A38;
  k.FillRect(3, 5, 26, 22, Shade(brick, 0.55));
  for (int row = 0; row < 4; ++row) {
    for (int col = -1; col < 3; ++col) {
      const int x = 4 + col * 9 + (row % 2) * 4;
      k.FillRect(std::max(x, 4), 6 + row * 5, std::min(x + 8, 28) - std::max(x, 4), 4, brick);
    }
  }
  Stroke(k, 18, 4, 14, 12, 2, kInk);
  Stroke(k, 14, 12, 19, 18, 2, kInk);
  Stroke(k, 19, 18, 13, 28, 2, kInk);
}

// Blast Power: a jagged burst.
void Burst(Canvas& k, std::uint32_t outer, std::uint32_t inner) {
  std::vector<Point> rim;
  for (int i = 0; i < 16; ++i) {
    const double a = i * M_PI / 8, r = i % 2 == 0 ? 14.5 : 8;
    rim.emplace_back(16 + r * std::cos(a), 16 + r * std::sin(a));
  }
  for (std::size_t i = 0; i < rim.size(); ++i) {
    const Point& a = rim[i];
    const Point& b = rim[(i + 1) % rim.size()];
    k.FillTriangle(16, 16, Round(a.first), Round(a.second), Round(b.first), Round(b.second), outer);
  }
  Disc(k, 16, 16, 6, inner);
}
void BlastPower(Canvas& k) {
  Burst(k, 0xF08020, 0xFFE060);
  Disc(k, 16, 16, 2.5, 0xFFFFFF);
}

// Blast Guard: a shield bearing a flame.
void BlastGuard(Canvas& k) {
  k.FillRect(5, 3, 22, 13, kSteel);
  k.FillTriangle(5, 15, 27, 15, 16, 30, kSteel);
  k.FillRect(8, 6, 16, 9, 0x7080A0);
  k.FillTriangle(8, 14, 24, 14, 16, 26, 0x7080A0);
  k.FillTriangle(16, 6, 11, 18, 21, 18, kBlaze);
  Disc(k, 16, 18, 5, kBlaze);
  Disc(k, 16, 19, 2.5, 0xFFD040);
}

// Impact Power: a block pushed along by a gravity arrow.
void ImpactPower(Canvas& k) {
  k.FillRect(14, 7, 16, 18, 0xA08060);
  k.FrameRect(16, 9, 12, 14, 0xC8A880);
  k.FillRect(2, 13, 8, 6, kGravity);
  k.FillTriangle(9, 9, 9, 23, 15, 16, kGravity);
}

// Chain Ring: two links of a chain, interlocked.
void ChainRing(Canvas& k) {
  k.FillEllipse(2, 8, 18, 14, kMagic);
  k.FillEllipse(6, 12, 10, 6, kTransparent);
  k.FillEllipse(12, 10, 18, 14, Shade(kMagic, 0.7));
  k.FillEllipse(16, 14, 10, 6, kTransparent);
  k.FillRect(12, 11, 4, 3, kMagic);  // the first link over the second at the top
}

// Create Power: a new magic block with a spark of creation at its corner.
void CreatePower(Canvas& k) {
  k.FillRect(4, 9, 19, 19, Shade(kMagic, 0.8));
  k.FillRect(6, 11, 15, 15, kMagic);
  k.FillRect(9, 14, 9, 9, Shade(kMagic, 1.5));
  k.FillRect(24, 2, 2, 10, 0xFFFFFF);
  k.FillRect(20, 6, 10, 2, 0xFFFFFF);
}

// True Eye: an eye wide open with a violet iris.
void TrueEye(Canvas& k) {
  k.FillTriangle(1, 16, 16, 6, 31, 16, 0xF8F8F8);
  k.FillTriangle(1, 16, 16, 26, 31, 16, 0xF8F8F8);
  Disc(k, 16, 16, 7, 0x8040D0);
  Disc(k, 16, 16, 3.5, kInk);
  k.FillRect(12, 12, 3, 3, 0xFFFFFF);
  for (int i = 0; i < 3; ++i) k.Line(8 + i * 8, 4 - (i == 1), 10 + i * 6, 8, 0x8040D0);
}

// Eternal Candle: a candle in a dish, its flame lit.
void Candle(Canvas& k) {
  k.FillEllipse(3, 24, 26, 7, 0xC0A040);
  k.FillRect(11, 11, 10, 16, kPaper);
  k.FillRect(18, 11, 3, 16, Shade(kPaper, 0.85));
  k.FillEllipse(12, 1, 8, 12, 0xFF9020);
  k.FillEllipse(14, 5, 4, 7, 0xFFF080);
}

// Hourglass: two glass bulbs in a wooden frame, sand running down.
void Hourglass(Canvas& k) {
  k.FillRect(5, 2, 22, 4, kWood);
  k.FillRect(5, 26, 22, 4, kWood);
  k.FillTriangle(8, 6, 24, 6, 16, 16, 0xD8ECF8);
  k.FillTriangle(8, 26, 24, 26, 16, 16, 0xD8ECF8);
  k.FillTriangle(12, 9, 20, 9, 16, 14, 0xE0B050);
  k.FillTriangle(9, 26, 23, 26, 16, 20, 0xE0B050);
  k.Line(16, 15, 16, 24, 0xE0B050);
}

// Stability Pendant: a round amulet hanging from a chain.
void Pendant(Canvas& k) {
  k.Line(6, 2, 16, 14, kGoldKey);
  k.Line(26, 2, 16, 14, kGoldKey);
  Disc(k, 16, 21, 9, kGoldKey);
  Disc(k, 16, 21, 6, 0x40B0A0);
  k.Line(11, 21, 21, 21, 0xE0FFF0);  // the level line of a steadied world
  k.FillRect(13, 17, 2, 2, 0xFFFFFF);
}

// Nothing: a grey puff of dust out of an empty chest.
void Nothing(Canvas& k) {
  for (const auto& [x, y, r] : {std::tuple{11.0, 18.0, 7.0}, {20.0, 16.0, 8.0}, {16.0, 11.0, 6.0}, {24.0, 22.0, 5.0}}) {
    Disc(k, x, y, r, 0xA8A8B0);
  }
  Disc(k, 14, 14, 3, 0xD0D0D8);
  k.FillRect(6, 26, 3, 3, 0x909098);
}

// Check Flag: a pennant on a pole.
void CheckFlag(Canvas& k) {
  k.FillRect(7, 2, 3, 28, kWood);
  k.FillEllipse(4, 27, 9, 4, kWood);
  k.FillTriangle(10, 3, 28, 9, 10, 16, 0x30C060);
  k.FillRect(13, 8, 4, 3, 0xFFFFFF);
}

// A slot no item uses: left empty (transparent but for a faint mark).
void Unused(Canvas& k) { k.FrameRect(12, 12, 8, 8, 0x606070); }

using IconPainter = void (*)(Canvas&);
constexpr IconPainter kIcons[32] = {
    Unused,      Unused,      Unused,      Unused,    KeySwitch, Key,       Coin,       MagicFlask,
    BlazeShot,   GravityShot, MagicShot,   Hoverdash, Feather,   Breaker,   BlastPower, BlastGuard,
    ImpactPower, ChainRing,   CreatePower, TrueEye,   Candle,    Hourglass, Pendant,    Ruby,
    Sapphire,    Emerald,     Diamond,     Airdash,   Nothing,   CheckFlag, Unused,     Unused,
};

}  // namespace

void PaintItemIcon(const CellContext& c) {
  kIcons[c.cell % 32](c.canvas);
  if (kIcons[c.cell % 32] != Unused) c.canvas.OutlineShapes(kInk);
}

}  // namespace datagen
