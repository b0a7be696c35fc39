// Readable art of the bosses and the guardians, each drawn as what it is
// named, facing right inside its body box (game/enemy_kinds.cpp): the wisp,
// the Second Witch, the Butterfly, the Dragon Head, the four guardians, the
// moon's three phases and the sun that follows them.
#include <array>
#include <utility>

#include "tools/datagen/creature_parts.h"

namespace datagen {
namespace {

constexpr std::uint32_t kSkin = 0xF8D0A8, kWhite = 0xF8F8F8, kGold = 0xF0C830;

// Wisp: a glowing spirit whose head draws up into a flame, and a tail that
// ripples, both flickering over its three frames.
void Wisp(const Creature& c) {
  const std::uint32_t glow = Mix(c.t, 0xFFC060, 0.6), core = Shade(glow, 1.5);
  for (int i = 0; i < 3; ++i) {  // the trailing tail
    const int sway = Round(4 * Swing(c.frame, 3, i));
    c.k.FillTriangle(12 + i * 14, 40, 26 + i * 14, 40, 14 + i * 14 + sway, 58, glow);
  }
  const int flicker = Round(4 * Swing(c.frame, 3, 1));  // the flame its head draws up into
  c.k.FillTriangle(12, 24, 52, 24, 32 + flicker, 1, glow);
  c.k.FillTriangle(22, 24, 42, 24, 32 + flicker, 8, core);
  c.k.FillEllipse(8, 10, 48, 40, glow);
  c.k.FillEllipse(16, 15, 32, 27, core);
  c.k.FillEllipse(25, 20, 8, 11, kInk);
  c.k.FillEllipse(37, 20, 8, 11, kInk);
  c.k.FillRect(28, 22, 2, 3, kWhite);
  c.k.FillRect(40, 22, 2, 3, kWhite);
  c.k.FillEllipse(31, 34, 8, 5 + c.frame % 3, kInk);
}

// The Second Witch (64 x 96, anchored to the bottom): a taller witch with a
// high hat, a cape that billows and a staff crowned with an orb.
void SecondWitch(const Creature& c) {
  const int bob = Round(Swing(c.frame, 4));
  const int flap = c.frame % 4;
  const std::uint32_t cape = Shade(c.t, 0.55), hat = Shade(c.t, 0.35);
  c.k.FillTriangle(30, 54 + bob, 12 - flap, 95, 34, 95, cape);
  c.k.FillTriangle(32, 54 + bob, 16, 95, 48, 95, c.t);
  c.k.FillRect(29, 68 + bob, 8, 3, kGold);
  for (int x = 18; x < 46; x += 7) c.k.FillTriangle(x, 95, x + 3, 90 - (x / 7 + flap) % 2 * 3, x + 7, 95, c.light);
  Stroke(c.k, 49, 42 + bob, 49, 94, 3, 0x6A4020);  // the staff
  Disc(c.k, 49, 40 + bob, 4.5, Mix(c.t, 0x80FFFF, 0.6));
  c.k.FillRect(47, 38 + bob, 2, 2, kWhite);
  Stroke(c.k, 36, 60 + bob, 46, 63 + bob, 5, c.t);
  c.k.FillEllipse(45, 60 + bob, 6, 6, kSkin);
  c.k.FillEllipse(21, 46 + bob, 22, 20, 0x402060);  // dark hair
  c.k.FillEllipse(24, 44 + bob, 16, 15, kSkin);
  c.k.FillRect(34, 49 + bob, 2, 3, kInk);
  c.k.Line(33, 55 + bob, 36, 55 + bob, 0xA04060);
  c.k.FillEllipse(15, 42 + bob, 34, 6, hat);  // the brim and the high, bent cone
  c.k.FillTriangle(21, 45 + bob, 42, 45 + bob, 28, 28 + bob, hat);
  c.k.FillTriangle(28, 28 + bob, 31, 33 + bob, 19, 30 + bob, hat);
  c.k.FillRect(22, 41 + bob, 19, 2, kGold);
}

// Butterfly: seen from above, patterned wings opening and closing over the
// five frames it ping-pongs through, a slim body and curled antennae.
void Butterfly(const Creature& c) {
  static constexpr double kSpan[5] = {1.0, 0.9, 0.8, 0.7, 0.6};
  const double span = kSpan[c.frame % 5];
  const std::uint32_t edge = Shade(c.t, 0.45), spot = Shade(c.t, 1.7);
  for (int side : {-1, 1}) {
    const auto x = [&](double dx) { return Round(32 + side * dx * span); };
    const int upperX = std::min(x(3), x(29)), lowerX = std::min(x(3), x(22));
    c.k.FillEllipse(upperX, 4, std::abs(x(29) - x(3)) + 1, 30, edge);
    c.k.FillEllipse(std::min(x(5), x(26)), 7, std::abs(x(26) - x(5)) + 1, 24, c.t);
    c.k.FillEllipse(lowerX, 30, std::abs(x(22) - x(3)) + 1, 26, edge);
    c.k.FillEllipse(std::min(x(5), x(19)), 33, std::abs(x(19) - x(5)) + 1, 19, c.light);
    const int eyeR = std::max(1, Round(5 * span));
    Disc(c.k, x(17), 18, eyeR, spot);
    Disc(c.k, x(17), 18, std::max(1, eyeR / 2), kInk);
    Disc(c.k, x(12), 42, std::max(1, Round(3 * span)), edge);
  }
  const std::uint32_t body = Shade(c.t, 0.22);
  c.k.FillEllipse(30, 14, 5, 40, body);
  for (int y = 20; y < 50; y += 5) c.k.FillRect(30, y, 5, 1, Shade(c.t, 0.45));
  c.k.FillEllipse(29, 8, 7, 8, body);
  Stroke(c.k, 30, 9, 23, 1, 1, kInk);
  Stroke(c.k, 34, 9, 41, 1, 1, kInk);
  Disc(c.k, 22, 2, 1.5, kInk);
  Disc(c.k, 42, 2, 1.5, kInk);
}

// Dragon Head: in profile, horns swept back, a ridged brow over a slit eye,
// a long snout with a nostril, scales, and a jaw that opens and shuts over
// the nine frames it loops through.
void DragonHead(const Creature& c) {
  static constexpr int kJaw[9] = {0, 1, 2, 4, 6, 4, 2, 1, 0};
  const int open = kJaw[c.frame % 9];
  const std::uint32_t horn = 0xE8DCC0, scale = Shade(c.t, 0.7);
  // The jaw first, hinged under the eye, its teeth pointing up.
  c.k.FillTriangle(18, 38, 56, 42 + open, 18, 50, c.dark);
  c.k.FillTriangle(18, 50, 56, 42 + open, 54, 47 + open, c.dark);
  for (int x = 30; x < 54; x += 6)
    c.k.FillTriangle(x, 42 + open * (x - 18) / 38, x + 2, 37 + open * (x - 18) / 38, x + 4, 42 + open * (x - 18) / 38,
                     kWhite);
  c.k.FillTriangle(16, 24, 2, 16, 10, 30, horn);  // horns swept back
  c.k.FillTriangle(18, 28, 4, 28, 12, 36, Shade(horn, 0.8));
  c.k.FillEllipse(6, 18, 34, 30, c.t);            // the skull
  c.k.FillTriangle(26, 22, 58, 30, 26, 42, c.t);  // the snout
  c.k.FillTriangle(58, 30, 26, 42, 58, 40, c.t);
  c.k.FillEllipse(52, 28, 8, 12, c.t);
  for (int x = 32; x < 54; x += 6) c.k.FillTriangle(x, 40, x + 2, 45, x + 4, 40, kWhite);
  c.k.FillEllipse(53, 31, 4, 3, kInk);  // nostril
  for (int row = 0; row < 2; ++row) {
    for (int x = 10 + row * 3; x < 30; x += 6) c.k.FrameEllipse(x, 32 + row * 5, 6, 5, scale);
  }
  for (int i = 0; i < 4; ++i) c.k.FillTriangle(6 + i * 2, 24 + i * 6, 0, 27 + i * 6, 6 + i * 2, 30 + i * 6, c.light);
  c.k.FillTriangle(20, 22, 38, 24, 24, 18, c.light);  // the brow ridge
  c.k.FillEllipse(27, 23, 9, 7, 0xFFE040);
  c.k.FillRect(31, 23, 2, 7, kInk);
}

// Guardian: an armoured golem, helmet with a glowing visor, pauldrons, arms
// with fists, the element's sign on its breastplate; it breathes and its
// visor pulses over five frames.
void Guardian(const Creature& c) {
  const int lift = c.frame % 5 < 3 ? c.frame % 5 / 2 : 0;
  const std::uint32_t armour = c.t, plate = Shade(c.t, 1.35), joint = Shade(c.t, 0.45);
  const std::uint32_t visor = Mix(0xFF4030, 0xFFF080, (c.frame % 5) / 4.0);
  c.k.FillRect(44, 70, 13, 22, joint);  // legs and feet
  c.k.FillRect(64, 70, 13, 22, joint);
  c.k.FillRect(40, 88, 19, 7, armour);
  c.k.FillRect(62, 88, 19, 7, armour);
  c.k.FillRect(44, 72, 13, 7, armour);
  c.k.FillRect(64, 72, 13, 7, armour);
  const int top = 28 - lift;
  c.k.FillRect(35, top + 10, 10, 28, joint);  // arms
  c.k.FillRect(76, top + 10, 10, 28, joint);
  c.k.FillRect(33, top + 36, 14, 12, armour);  // fists
  c.k.FillRect(74, top + 36, 14, 12, armour);
  c.k.FillRect(42, top, 38, 44, armour);  // the breastplate
  c.k.FillRect(46, top + 4, 30, 30, plate);
  c.k.FillRect(42, top + 38, 38, 5, joint);
  c.k.FillEllipse(32, top - 4, 20, 16, plate);  // pauldrons
  c.k.FillEllipse(70, top - 4, 20, 16, plate);
  c.k.FillEllipse(48, 4 - lift, 26, 28, armour);  // the helmet
  c.k.FillRect(48, 16 - lift, 26, 14, armour);
  c.k.FillRect(54, 14 - lift, 20, 5, kInk);
  c.k.FillRect(58, 15 - lift, 14, 3, visor);
  c.k.FillTriangle(58, 4 - lift, 61, -4 - lift, 64, 4 - lift, plate);  // crest
  // The element's sign on the breastplate.
  const int sx = 61, sy = top + 18;
  const std::uint32_t sign = Shade(c.t, 0.4);
  if (c.variant == "water") {
    c.k.FillTriangle(sx, sy - 9, sx - 6, sy + 2, sx + 6, sy + 2, sign);
    Disc(c.k, sx, sy + 3, 6, sign);
  } else if (c.variant == "earth") {
    c.k.FillTriangle(sx - 9, sy + 7, sx - 2, sy - 7, sx + 5, sy + 7, sign);
    c.k.FillTriangle(sx - 1, sy + 7, sx + 4, sy - 2, sx + 9, sy + 7, sign);
  } else if (c.variant == "wind") {
    for (int i = 0; i < 3; ++i) Stroke(c.k, sx - 8, sy - 6 + i * 6, sx + 6 - i * 3, sy - 6 + i * 6, 2, sign);
    c.k.FrameEllipse(sx + 1, sy - 9, 8, 8, sign);
  } else {
    c.k.FillTriangle(sx, sy - 10, sx - 7, sy + 6, sx + 7, sy + 6, sign);
    c.k.FillTriangle(sx - 7, sy - 4, sx - 9, sy + 4, sx - 3, sy + 4, sign);
    Disc(c.k, sx, sy + 3, 6, sign);
    Disc(c.k, sx, sy + 4, 3, visor);
  }
}

// The moon (96 x 96): full on its first sheet, then half and crescent, the
// unlit part still there as a dim disc (the whole body stays visible); a
// sleepy face on the lit side, craters turning slowly over five frames.
void Moon(const Creature& c) {
  const double lit = c.variant == "full" ? 1.0 : c.variant == "half" ? 0.5 : 0.2;
  const std::uint32_t dim = Mix(c.t, 0x182040, 0.7);
  Disc(c.k, 48, 48, 30, dim);
  // The lit part: the right side of the disc up to the terminator ellipse.
  for (int y = 18; y < 78; ++y) {
    const double dy = (y + 0.5 - 48) / 30, half = 30 * std::sqrt(std::max(0.0, 1 - dy * dy));
    const double terminator = 48 + half * (1 - 2 * lit);
    const int from = Round(std::max(48 - half, terminator)), to = Round(48 + half);
    if (to > from) c.k.FillRect(from, y, to - from, 1, c.t);
  }
  const std::uint32_t crater = Shade(c.t, 0.8);
  for (int i = 0; i < 3; ++i) {
    const double a = i * 2.1 + c.frame % 5 * 0.08;
    const int x = 60 + Round(12 * std::cos(a)), y = 48 + Round(16 * std::sin(a));
    if (x > 48 + 30 * (1 - 2 * lit)) c.k.FillEllipse(x - 3, y - 3, 6 + i, 5 + i, crater);
  }
  // Sleepy closed eyes and a thin smile on the lit side.
  const int faceX = lit > 0.9 ? 44 : lit > 0.4 ? 62 : 68;
  const int eyeSpan = lit > 0.4 ? 6 : 4;
  Stroke(c.k, faceX - 2 - eyeSpan, 41, faceX - 2, 43, 2, kInk);
  Stroke(c.k, faceX + 3, 43, faceX + 3 + eyeSpan, 41, 2, kInk);
  Stroke(c.k, faceX - 4, 56, faceX, 58, 2, kInk);
  Stroke(c.k, faceX, 58, faceX + 4, 56, 2, kInk);
}

// The sun (96 x 96): a disc with a ring of rays that turn and pulse over five
// frames, and a face.
void Sun(const Creature& c) {
  const double turn = c.frame % 5 * M_PI / 30;
  const std::uint32_t ray = Shade(c.t, 1.3);
  for (int i = 0; i < 12; ++i) {
    const double a = i * M_PI / 6 + turn, reach = i % 2 == 0 ? 44 : 38 + c.frame % 5;
    c.k.FillTriangle(48 + Round(27 * std::cos(a - 0.22)), 48 + Round(27 * std::sin(a - 0.22)),
                     48 + Round(reach * std::cos(a)), 48 + Round(reach * std::sin(a)),
                     48 + Round(27 * std::cos(a + 0.22)), 48 + Round(27 * std::sin(a + 0.22)), ray);
  }
  Disc(c.k, 48, 48, 30, c.t);
  Disc(c.k, 48, 48, 24, Shade(c.t, 1.2));
  c.k.FillEllipse(38, 40, 6, 8, kInk);
  c.k.FillEllipse(54, 40, 6, 8, kInk);
  c.k.FillEllipse(31, 51, 7, 4, 0xFF8060);
  c.k.FillEllipse(58, 51, 7, 4, 0xFF8060);
  c.k.FillEllipse(41, 53, 14, 8, kInk);
  c.k.FillRect(41, 53, 14, 3, Shade(c.t, 1.2));
}

constexpr NamedPainter kBosses[] = {
    {"wisp", Wisp},         {"witch2", SecondWitch}, {"butterfly", Butterfly},
    {"dragon", DragonHead}, {"guardian", Guardian},  {"moon", Moon},
    {"sun", Sun},
};

}  // namespace

bool PaintBossKind(const std::string& kind, const Creature& c) { return PaintNamed(kBosses, kind, c); }

}  // namespace datagen
