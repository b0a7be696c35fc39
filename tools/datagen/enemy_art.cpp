// Readable art of the common enemies, each kind its own silhouette facing
// right, drawn inside the kind's body box (game/enemy_kinds.cpp) and moving
// over the frames its animation shows: slimes squash, the balloon bobs,
// fliers beat their wings, walkers step, crawlers creep.
#include <algorithm>
#include <array>
#include <utility>

#include "tools/datagen/creature_parts.h"

namespace datagen {
namespace {

constexpr std::uint32_t kPink = 0xF08CA0, kBeak = 0xF0A020, kWhite = 0xF8F8F8, kBone = 0xF0E8D0;

// Slime: a dome that squashes over the five frames it ping-pongs through;
// the boss frowns.
void Slime(const Creature& c) {
  const int squash = c.frame % 5;
  const int bw = 40 + squash * 2, bh = 36 - squash * 2;
  const int x = (c.w - bw) / 2, top = c.h - bh;
  c.k.FillEllipse(x, top, bw, bh * 2, c.t);
  c.k.FillEllipse(x + 4, top + bh / 2, bw - 8, bh * 2, Shade(c.t, 0.8));  // the darker bottom
  c.k.FillEllipse(x + 6, top + 4, bw / 4, bh / 4, c.light);
  c.k.FillRect(x + bw - 11, top + 5, 3, 3, Shade(c.t, 1.8));
  const int eyeY = top + bh / 3 + 2;
  Eye(c.k, 26, eyeY, 6);
  Eye(c.k, 35, eyeY, 6);
  if (c.variant == "boss") {
    Stroke(c.k, 24, eyeY - 3, 31, eyeY, 2, kInk);
    Stroke(c.k, 34, eyeY, 41, eyeY - 3, 2, kInk);
    c.k.FillRect(28, eyeY + 10, 10, 3, kInk);
    c.k.FillTriangle(29, eyeY + 12, 32, eyeY + 12, 30, eyeY + 15, kWhite);
    c.k.FillTriangle(34, eyeY + 12, 37, eyeY + 12, 36, eyeY + 15, kWhite);
  } else {
    c.k.FillEllipse(29, eyeY + 10, 8, 4 + squash / 2, Shade(c.t, 0.35));
  }
}

// Balloon Slime: a whole round slime floating, tied at the bottom like a balloon.
void Balloon(const Creature& c) {
  const int bob = Round(1.5 * Swing(c.frame, 8));
  const int wobble = c.frame % 2;
  const int d = 36 + wobble, x = 32 - d / 2, y = 21 + bob;
  c.k.FillTriangle(29, y + d - 2, 35, y + d - 2, 32, y + d + 4, c.dark);  // the knot
  c.k.FillEllipse(x, y, d, d - wobble * 2, c.t);
  c.k.FillEllipse(x + 5, y + d / 2, d - 10, d / 2 - 3, Shade(c.t, 0.85));
  c.k.FillEllipse(x + 6, y + 5, 10, 7, c.light);
  c.k.FillRect(x + 8, y + 6, 3, 2, kWhite);
  Eye(c.k, 27, y + 12, 6);
  Eye(c.k, 36, y + 12, 6);
  c.k.FillEllipse(31, y + 23, 6, 5, Shade(c.t, 0.3));  // a little "o" of a mouth
  c.k.FillEllipse(22, y + 20, 5, 3, kPink);
  c.k.FillEllipse(42, y + 20, 5, 3, kPink);
}

// Bee (32 x 32): a striped body with a stinger behind and a head in front,
// its wings up and down on the two frames.
void Bee(const Creature& c) {
  const bool up = c.frame % 2 == 0;
  const std::uint32_t wing = 0xD8ECFF;
  c.k.FillEllipse(8, up ? 1 : 7, 10, up ? 12 : 7, wing);
  c.k.FillEllipse(14, up ? 2 : 8, 9, up ? 11 : 6, Shade(wing, 0.9));
  c.k.FillTriangle(1, 18, 7, 15, 7, 21, kInk);  // stinger
  c.k.FillEllipse(4, 11, 20, 15, c.t);
  for (int x : {9, 15}) c.k.FillRect(x, 12, 3, 13, kInk);
  c.k.FillEllipse(20, 9, 11, 12, Shade(c.t, 0.75));
  Stroke(c.k, 25, 10, 28, 3, 1, kInk);
  c.k.FillRect(27, 2, 2, 2, kInk);
  c.k.FillRect(26, 12, 3, 4, kInk);
  c.k.FillRect(28, 17, 2, 1, kInk);
}

// Bat (32 x 32): ears, fangs and membrane wings beating over three frames.
void Bat(const Creature& c) {
  static constexpr int kTipY[3] = {3, 13, 24};
  const int tip = kTipY[c.frame % 3];
  for (int side : {-1, 1}) {
    const int tipX = 16 + side * 15;
    c.k.FillTriangle(16, 12, tipX, tip, 16, 22, c.dark);
    c.k.FillTriangle(16 + side * 4, 14, tipX, tip, 16 + side * 11, 22 + (tip - 13) / 3, c.dark);
    c.k.FillTriangle(tipX, tip, 16 + side * 11, 22 + (tip - 13) / 3, 16 + side * 15, 20 + (tip - 13) / 2, c.dark);
    Stroke(c.k, 16 + side * 3, 13, tipX, tip, 1, Shade(c.t, 0.3));  // the wing's bone
  }
  c.k.FillTriangle(10, 12, 12, 3, 15, 11, c.t);
  c.k.FillTriangle(17, 11, 20, 3, 22, 12, c.t);
  c.k.FillEllipse(9, 8, 14, 16, c.t);
  c.k.FillEllipse(12, 15, 8, 8, c.light);
  c.k.FillRect(12, 12, 3, 3, 0xFFE040);
  c.k.FillRect(18, 12, 3, 3, 0xFFE040);
  c.k.FillRect(13, 13, 1, 1, kInk);
  c.k.FillRect(20, 13, 1, 1, kInk);
  c.k.Put(14, 19, kWhite);
  c.k.Put(18, 19, kWhite);
}

// Fireball (32 x 32): a teardrop flame whose tip sways over four frames.
void Flame(const Creature& c) {
  static constexpr int kSway[4] = {-3, 0, 3, 0};
  const int tip = 16 + kSway[c.frame % 4];
  c.k.FillTriangle(tip, 1, 6, 19, 26, 19, c.t);
  c.k.FillEllipse(5, 10, 22, 20, c.t);
  c.k.FillTriangle(tip + kSway[(c.frame + 1) % 4] / 2, 8, 11, 21, 21, 21, c.light);
  c.k.FillEllipse(10, 15, 12, 12, c.light);
  c.k.FillEllipse(12, 19, 8, 7, Shade(c.t, 1.85));
  c.k.FillRect(12, 17, 2, 4, kInk);
  c.k.FillRect(18, 17, 2, 4, kInk);
}

// Beast (a pig-nosed raccoon dog): four legs stepping in diagonal pairs, a
// ringed tail behind, a masked face and a pig's snout in front.
void Beast(const Creature& c) {
  const double phase = c.frame % 5 * 2 * M_PI / 5;
  const int bob = Round(std::abs(std::sin(phase)));
  static constexpr std::pair<int, double> kLegs[4] = {{13, 0.0}, {21, M_PI}, {37, M_PI}, {45, 0.0}};
  for (const auto& [x, offset] : kLegs) {
    const int step = Round(3 * std::sin(phase + offset));
    c.k.FillRect(x + step, 46, 7, 16, c.dark);
    c.k.FillRect(x + step - 1, 60, 9, 4, Shade(c.t, 0.3));
  }
  for (int i = 0; i < 4; ++i) Disc(c.k, 11 - i * 2, 36 - i * 2 + bob, 5 - i * 0.5, i % 2 == 0 ? c.t : c.dark);
  c.k.FillEllipse(8, 27 + bob, 44, 26, c.t);
  c.k.FillEllipse(16, 40 + bob, 28, 12, c.light);
  const int hy = 17 + bob;
  c.k.FillTriangle(37, hy + 6, 40, hy - 1, 45, hy + 4, c.dark);
  c.k.FillTriangle(46, hy + 3, 51, hy - 2, 53, hy + 5, c.dark);
  c.k.FillEllipse(35, hy + 1, 22, 24, c.t);
  c.k.FillEllipse(44, hy + 7, 11, 8, Shade(c.t, 0.35));  // the mask round the eye
  Eye(c.k, 47, hy + 8, 5);
  c.k.FillEllipse(50, hy + 13, 9, 8, kPink);
  c.k.FillRect(53, hy + 15, 1, 3, Shade(kPink, 0.5));
  c.k.FillRect(56, hy + 15, 1, 3, Shade(kPink, 0.5));
}

// Mole: a round body, a pink star-tipped snout and two broad digging claws
// in front that take turns to scoop over four frames.
void Mole(const Creature& c) {
  static constexpr int kScoop[4] = {0, -4, -6, -2};
  c.k.FillEllipse(12, 58, 14, 6, Shade(c.t, 0.4));
  c.k.FillEllipse(30, 58, 14, 6, Shade(c.t, 0.4));
  c.k.FillEllipse(10, 15, 42, 46, c.t);
  c.k.FillEllipse(18, 30, 26, 28, c.light);
  c.k.FillEllipse(42, 32, 14, 9, kPink);
  Disc(c.k, 56, 36, 3.5, Shade(kPink, 0.8));
  for (int i = 0; i < 4; ++i)
    Stroke(c.k, 56, 36, 56 + 4 * std::cos(i * M_PI / 2), 36 + 4 * std::sin(i * M_PI / 2), 2, kPink);
  c.k.FillRect(40, 25, 3, 3, kInk);
  for (int hand = 0; hand < 2; ++hand) {
    const int x = hand == 0 ? 36 : 42, y = 44 + kScoop[(c.frame + hand * 2) % 4];
    c.k.FillEllipse(x, y, 12, 10, kBone);
    for (int claw = 0; claw < 3; ++claw)
      c.k.FillTriangle(x + 8, y + claw * 3, x + 8, y + claw * 3 + 3, x + 15, y + claw * 3 + 2, kWhite);
  }
}

// Shell creature: a snail, its spiral shell on a soft foot that stretches and
// gathers over four frames, eye stalks in front.
void Shell(const Creature& c) {
  static constexpr int kStretch[4] = {0, 2, 4, 2};
  const int s = kStretch[c.frame % 4];
  const std::uint32_t foot = Mix(0xC8A878, c.t, 0.2);
  c.k.FillEllipse(8, 52, 44 + s, 11, foot);
  c.k.FillEllipse(42 + s, 34, 13, 24, foot);
  Stroke(c.k, 48 + s, 36, 51 + s, 24, 2, foot);
  Stroke(c.k, 52 + s, 38, 57 + s, 27, 2, foot);
  c.k.FillEllipse(49 + s, 21, 5, 5, kInk);
  c.k.FillEllipse(55 + s, 24, 5, 5, kInk);
  c.k.FillRect(49 + s, 45, 5, 1, Shade(foot, 0.5));
  const int bob = s / 2;
  const std::uint32_t shell = c.t, ring = Shade(c.t, 0.55);
  c.k.FillEllipse(10, 16 + bob, 38, 38, shell);
  // The spiral: shrinking rings whose centres wind toward the middle.
  for (int i = 0; i < 4; ++i) {
    const int r = 16 - i * 4;
    const int cx = 29 + (i % 2 == 0 ? i : -i), cy = 35 + bob + (i < 2 ? i : -i + 2);
    c.k.FrameEllipse(cx - r, cy - r, 2 * r, 2 * r, ring);
  }
  c.k.FillEllipse(16, 21 + bob, 8, 6, Shade(c.t, 1.4));
}

// Penguin: upright, dark back and white front, beak and flippers; it
// waddles over four frames, rocking and lifting a foot at a time.
void Penguin(const Creature& c) {
  static constexpr int kRock[4] = {-2, -1, 1, 2};
  const int rock = kRock[c.frame % 4];
  const std::uint32_t back = Shade(c.t, 0.45);
  c.k.FillEllipse(22 + (rock < 0 ? 0 : 2), 59 - (rock < 0 ? 2 : 0), 10, 5, kBeak);
  c.k.FillEllipse(32 + (rock > 0 ? 0 : 2), 59 - (rock > 0 ? 2 : 0), 10, 5, kBeak);
  c.k.FillEllipse(20 + rock, 19, 25, 42, back);
  c.k.FillEllipse(27 + rock, 29, 17, 30, kWhite);
  c.k.FillEllipse(24 + rock, 19, 20, 14, back);
  Eye(c.k, 35 + rock, 24, 5);
  c.k.FillTriangle(42 + rock, 27, 42 + rock, 32, 51 + rock, 30, kBeak);
  // The flipper out to the side on the rock, along the body between.
  c.k.FillTriangle(24 + rock, 34, 30 + rock, 36, 17 + rock - std::abs(rock), 50 + std::abs(rock), c.t);
}

// Rat: on its hind legs, big round ears, a pointed snout and a long bare
// tail behind; it crouches, leaps and lands over its five frames.
void Rat(const Creature& c) {
  static constexpr int kLift[5] = {0, 2, 5, 1, 3};
  const int lift = kLift[c.frame % 5];
  const int y = 4 - lift / 2;
  // The tail: a thin curve from the rump back and up, its end swishing.
  const double swish = Swing(c.frame, 5);
  for (int i = 0; i < 18; ++i) {
    const double t = i / 17.0;
    Disc(c.k, 20 - t * 17, 56 + y - t * 18 - 8 * std::sin(t * M_PI) * (0.6 + 0.4 * swish), 1.6 - t * 0.6, kPink);
  }
  c.k.FillEllipse(22, 56 + y - lift, 16, 7, kPink);
  c.k.FillEllipse(34, 58 + y - lift / 2, 14, 6, kPink);
  c.k.FillEllipse(16, 24 + y, 30, 36, c.t);
  c.k.FillEllipse(24, 32 + y, 18, 24, c.light);
  c.k.FillEllipse(24, 4 + y, 13, 13, c.t);  // the ears
  c.k.FillEllipse(27, 7 + y, 7, 7, kPink);
  c.k.FillEllipse(35, 6 + y, 11, 11, c.t);
  c.k.FillEllipse(37, 8 + y, 6, 6, kPink);
  c.k.FillEllipse(28, 12 + y, 22, 20, c.t);
  c.k.FillTriangle(44, 15 + y, 44, 28 + y, 57, 23 + y, c.t);
  Disc(c.k, 56, 23 + y, 2, kPink);
  Eye(c.k, 40, 16 + y, 4);
  c.k.Line(49, 26 + y, 58, 28 + y, Shade(c.t, 0.4));
  c.k.FillEllipse(40, 36 + y, 7, 5, kPink);  // the forepaws
  c.k.FillEllipse(42, 41 + y, 6, 4, kPink);
}

// Lizard: low on splayed legs that crawl in diagonal pairs, a crest along
// its back and a long tapering tail that sways.
void Lizard(const Creature& c) {
  const double phase = c.frame % 4 * M_PI / 2;
  static constexpr std::pair<int, double> kLegs[4] = {{18, 0.0}, {24, M_PI}, {38, M_PI}, {44, 0.0}};
  for (const auto& [x, offset] : kLegs) {
    const int reach = Round(4 * std::sin(phase + offset));
    Stroke(c.k, x, 50, x + reach - 3, 60, 4, c.dark);
    c.k.FillRect(x + reach - 7, 60, 8, 3, c.dark);
  }
  for (int i = 0; i < 16; ++i) {
    const double t = i / 15.0;
    Disc(c.k, 17 - t * 15, 50 + 3 * t + 3 * t * std::sin(phase + t * 3), 5.5 - t * 4.5, c.t);
  }
  for (int x = 18; x < 44; x += 5) c.k.FillTriangle(x, 42, x + 3, 35, x + 6, 42, c.dark);
  c.k.FillEllipse(12, 39, 36, 17, c.t);
  c.k.FillEllipse(18, 48, 26, 7, c.light);
  for (int x : {20, 29, 37}) c.k.FillEllipse(x, 43, 4, 3, c.dark);
  c.k.FillEllipse(38, 33, 22, 15, c.t);
  c.k.FillEllipse(46, 42, 13, 5, c.light);
  Eye(c.k, 48, 35, 5);
  c.k.Line(47, 44, 59, 42, Shade(c.t, 0.35));
  if (c.frame % 4 == 1) Stroke(c.k, 59, 43, 63, 45, 1, 0xE04040);  // the tongue flicks out
}

// Bomber: a hopping imp that holds a lit bomb over its head to lob it; the
// fuse sparks and the body gathers for the hop over four frames.
void Bomber(const Creature& c) {
  static constexpr int kCrouch[4] = {0, 2, 0, -2};
  const int crouch = kCrouch[c.frame % 4];
  const int top = 33 + crouch;
  c.k.FillEllipse(16, 59, 12, 5, Shade(c.t, 0.35));
  c.k.FillEllipse(34, 59, 12, 5, Shade(c.t, 0.35));
  c.k.FillTriangle(14, top + 10, 4, top + 2, 16, top + 18, c.dark);  // little wings
  c.k.FillEllipse(13, top, 34, 28 - crouch, c.t);
  c.k.FillEllipse(20, top + 12, 20, 14 - crouch, c.light);
  c.k.FillTriangle(18, top + 3, 20, top - 5, 24, top + 2, c.dark);  // horns
  c.k.FillTriangle(36, top + 2, 40, top - 5, 42, top + 3, c.dark);
  Eye(c.k, 26, top + 6, 6);
  Eye(c.k, 35, top + 6, 6);
  c.k.FillRect(30, top + 16, 8, 2, kInk);
  Stroke(c.k, 18, top + 8, 22, top - 6, 4, c.t);  // arms up, holding the bomb
  Stroke(c.k, 42, top + 8, 40, top - 6, 4, c.t);
  const int by = 12 + crouch;
  c.k.FillEllipse(20, by, 22, 20, 0x282830);
  c.k.FillEllipse(24, by + 3, 6, 5, 0x707080);
  c.k.FillRect(36, by - 2, 4, 4, 0x806040);
  Stroke(c.k, 38, by - 2, 42, by - 6, 1, 0xC0A060);
  const std::uint32_t spark = c.frame % 2 == 0 ? 0xFFF060 : 0xFF8020;
  for (int i = 0; i < 4; ++i)
    Stroke(c.k, 43, by - 7, 43 + 3 * std::cos(i * M_PI / 2 + c.frame), by - 7 + 3 * std::sin(i * M_PI / 2 + c.frame), 1,
           spark);
}

// Snake: coiled low along the ground, neck raised to the head in front;
// the coils ripple and the forked tongue flicks over three frames.
void Snake(const Creature& c) {
  const double phase = c.frame % 3 * 2 * M_PI / 3;
  for (int i = 0; i < 22; ++i) {
    const double t = i / 21.0;
    const double x = 8 + t * 38, y = 56 + 3 * std::sin(phase + t * 6);
    Disc(c.k, x, y, 3 + t * 3.5, i % 4 < 2 ? c.t : c.dark);
  }
  for (int i = 0; i < 12; ++i) {
    const double t = i / 11.0;
    Disc(c.k, 46 + 6 * std::sin(t * M_PI), 54 - t * 26, 6.5, i % 4 < 2 ? c.t : c.dark);
  }
  c.k.FillEllipse(40, 17, 21, 15, c.t);
  c.k.FillEllipse(42, 26, 16, 5, c.light);
  Eye(c.k, 49, 19, 5);
  if (c.frame % 3 != 0) {
    Stroke(c.k, 60, 27, 63, 27, 1, 0xE03040);
    c.k.Put(63, 26, 0xE03040);
  }
}

// Mushroom: a spotted cap over a stem with a face, hopping on small feet.
void Mushroom(const Creature& c) {
  const int squash = c.frame % 5;
  const int capTop = 4 + squash, capH = 24 - squash, stemTop = 30 + squash / 2;
  c.k.FillEllipse(16, 58, 12, 6, 0x8A5A30);
  c.k.FillEllipse(36, 58, 12, 6, 0x8A5A30);
  c.k.FillEllipse(20, stemTop, 24, 32 - squash / 2, kBone);
  c.k.FillEllipse(14, capTop + capH - 4, 36, 8, Shade(c.t, 0.6));
  Dome(c.k, 9, capTop, 46, capH, c.t);
  for (const auto& [x, y, d] : {std::array{16, 9, 7}, std::array{28, 3, 9}, std::array{43, 10, 6}}) {
    c.k.FillEllipse(x, capTop + y, d, d, kWhite);
  }
  Eye(c.k, 27, stemTop + 8, 5);
  Eye(c.k, 35, stemTop + 8, 5);
  c.k.FillRect(31, stemTop + 17, 6, 2, 0x805040);
}

// Eye: an eyeball with veins flying on small bat wings, its lid drooping and
// its wings beating over its three frames.
void FloatingEye(const Creature& c) {
  static constexpr int kLid[3] = {0, 8, 16};
  static constexpr int kWingTip[3] = {12, 19, 26};
  const int tip = kWingTip[c.frame % 3];
  c.k.FillTriangle(14, 22, 3, tip, 10, 38, c.dark);  // small bat wings it flies on
  c.k.FillTriangle(51, 22, 62, tip, 55, 38, c.dark);
  c.k.FillEllipse(10, 9, 45, 45, kWhite);
  for (int i = 0; i < 5; ++i) {
    const double a = 2.3 + i * 0.45;
    c.k.Line(32 + Round(21 * std::cos(a)), 31 + Round(21 * std::sin(a)), 32 + Round(11 * std::cos(a + 0.3)),
             31 + Round(11 * std::sin(a + 0.3)), 0xE04050);
  }
  c.k.FillEllipse(30, 19, 22, 24, c.t);
  c.k.FillEllipse(35, 24, 14, 14, Shade(c.t, 0.6));
  c.k.FillEllipse(39, 27, 8, 9, kInk);
  c.k.FillRect(36, 23, 4, 4, kWhite);
  // The lid: the eyeball's rows from the top down to `lid`, its edge dark.
  const int lid = kLid[c.frame % 3];
  for (int y = 9; y < 9 + lid; ++y) {
    const double dy = (y + 0.5 - 31.5) / 22.5, half = 22.5 * std::sqrt(std::max(0.0, 1 - dy * dy));
    c.k.FillRect(Round(32.5 - half), y, Round(2 * half), 1, y + 2 >= 9 + lid ? kInk : c.dark);
  }
}

// Witch: robe, arms, a face under a pointed hat, a wand with a star; the
// hem flutters as she floats over five frames.
void Witch(const Creature& c) {
  const int bob = Round(Swing(c.frame, 5));
  const int hem = c.frame % 2;
  c.k.FillTriangle(32, 24 + bob, 15 - hem, 63, 49 + hem, 63, c.t);
  c.k.FillTriangle(24, 63, 28, 58, 32, 63, c.dark);
  c.k.FillTriangle(36, 63, 40, 58 - hem, 44, 63, c.dark);
  Stroke(c.k, 36, 32 + bob, 47, 36 + bob, 4, c.t);
  c.k.FillEllipse(45, 33 + bob, 5, 5, 0xF8D0A8);
  Stroke(c.k, 48, 36 + bob, 55, 28 + bob, 2, 0x8A5A30);
  c.k.FillTriangle(53, 23 + bob, 57, 23 + bob, 55, 30 + bob, 0xFFE040);
  c.k.FillTriangle(52, 26 + bob, 58, 26 + bob, 55, 21 + bob, 0xFFE040);
  c.k.FillEllipse(22, 16 + bob, 19, 12, 0xE8A030);  // hair
  c.k.FillEllipse(25, 14 + bob, 15, 15, 0xF8D0A8);
  c.k.FillRect(34, 19 + bob, 2, 3, kInk);
  c.k.FillEllipse(16, 13 + bob, 31, 6, Shade(c.t, 0.4));  // the hat's brim and bent cone
  c.k.FillTriangle(21, 15 + bob, 40, 15 + bob, 27, 1 + bob, Shade(c.t, 0.4));
  c.k.FillTriangle(27, 1 + bob, 31, 6 + bob, 19, 5 + bob, Shade(c.t, 0.4));
  c.k.FillRect(22, 12 + bob, 18, 2, 0xFFE040);
}

constexpr NamedPainter kKinds[] = {
    {"slime", Slime},     {"balloon", Balloon},   {"bee", Bee},         {"bat", Bat},
    {"flame", Flame},     {"beast", Beast},       {"mole", Mole},       {"shell", Shell},
    {"penguin", Penguin}, {"rat", Rat},           {"lizard", Lizard},   {"bomber", Bomber},
    {"snake", Snake},     {"mushroom", Mushroom}, {"eye", FloatingEye}, {"witch", Witch},
};

}  // namespace

bool PaintEnemyKind(const std::string& kind, const Creature& c) { return PaintNamed(kKinds, kind, c); }

}  // namespace datagen
