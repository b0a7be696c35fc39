// Readable art of the story slides of the opening and the ending and of the
// score page: a sky in the slide's colour, one motif, and up to two caption
// lines. An entry's label is "motif|first line|second line".
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

constexpr std::uint32_t kCaption = 0xF0F0F8;
constexpr int kCaptionScale = 2;
constexpr int kGlyphUnits = 6;

std::vector<std::string> SplitLabel(std::string_view label) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t bar = label.find('|'); bar != std::string_view::npos; bar = label.find('|', start)) {
    parts.emplace_back(label.substr(start, bar - start));
    start = bar + 1;
  }
  parts.emplace_back(label.substr(start));
  parts.resize(3);
  return parts;
}

// The sky darkens upward from the slide's colour.
std::uint32_t SkyAt(const CellContext& c, int y) {
  return Mix(Shade(c.entry.tint, 0.4), c.entry.tint, static_cast<double>(y) / c.h);
}

void Sky(const CellContext& c) {
  for (int y = 0; y < c.h; ++y) c.canvas.FillRect(0, y, c.w, 1, SkyAt(c, y));
  for (int i = 0; i < 40; ++i) c.canvas.Put(c.random.Below(c.w), c.random.Below(c.h / 2), 0xFFFFF0);
}

void Hills(Canvas& k, int w, int h, std::uint32_t colour) {
  for (int x = 0; x < w; ++x) {
    const int top = 330 + static_cast<int>(18 * std::sin(x / 70.0) + 10 * std::sin(x / 23.0));
    k.FillRect(x, top, 1, h - top, colour);
  }
}

// A figure in a pointed hat and robe with a staff, standing on y = foot.
void Mage(Canvas& k, int x, int foot) {
  k.FillTriangle(x - 22, foot, x + 22, foot, x, foot - 70, 0xC04050);
  k.FillEllipse(x - 11, foot - 92, 22, 24, 0xF0C8A0);
  k.FillTriangle(x - 18, foot - 82, x + 18, foot - 82, x + 4, foot - 126, 0x6040A0);
  k.Line(x + 30, foot, x + 30, foot - 100, 0x8A5A2A);
  k.Line(x + 31, foot, x + 31, foot - 100, 0x8A5A2A);
  k.FillEllipse(x + 24, foot - 112, 14, 14, 0xFF9040);
}

void Tower(Canvas& k, int x, int foot) {
  for (int step = 0; step < 5; ++step) {
    const int w = 120 - step * 20, top = foot - 60 * (step + 1);
    k.FillRect(x - w / 2, top, w, 60, Shade(0x807890, 1.0 - step * 0.08));
    k.FrameRect(x - w / 2, top, w, 60, kInk);
    k.FillRect(x - 6, top + 20, 12, 18, 0xFFE080);
  }
}

// Flat ground from y = top down: a grass sod over earth.
void Ground(Canvas& k, int w, int h, int top) {
  k.FillRect(0, top, w, h - top, 0x4A3424);
  k.FillRect(0, top, w, 10, 0x3C7030);
  k.FillRect(0, top, w, 2, 0x5A9040);
}

// The four stones on an altar whose steps come down to the ground.
void Stones(Canvas& k, int w, int h, int cx, int foot) {
  static const std::uint32_t kStones[4] = {0xFF5030, 0x3080FF, 0x40D060, 0xE8E0C0};
  Ground(k, w, h, foot + 40);
  for (int step = 2; step >= 0; --step) {
    const int half = 150 + 20 * step, top = foot - 20 + 20 * step;
    k.FillRect(cx - half, top, 2 * half, 20, Shade(0x8080A0, 1.0 - 0.1 * step));
    k.FrameRect(cx - half, top, 2 * half, 20, kInk);
  }
  for (int i = 0; i < 4; ++i) {
    const int x = cx - 120 + i * 70;
    k.FillTriangle(x, foot - 20, x + 40, foot - 20, x + 20, foot - 80, kStones[i]);
    k.FillTriangle(x + 8, foot - 30, x + 20, foot - 30, x + 20, foot - 66, Shade(kStones[i], 1.5));
  }
}

void Motif(const CellContext& c, const std::string& motif) {
  Canvas& k = c.canvas;
  const int cx = c.w / 2;
  if (motif == "tower") {
    Hills(k, c.w, c.h, 0x203020);
    Tower(k, cx, 340);
  } else if (motif == "stones") {
    Stones(k, c.w, c.h, cx, 330);
  } else if (motif == "moon") {
    k.FillEllipse(cx + 80, 50, 140, 140, 0xF0F0D0);
    k.FillEllipse(cx + 120, 40, 130, 130, SkyAt(c, 105));  // the crescent's dark side
    Hills(k, c.w, c.h, 0x101820);
  } else if (motif == "mage") {
    Hills(k, c.w, c.h, 0x284828);
    Mage(k, cx, 350);
  } else if (motif == "door") {  // the tower's foot: its wall, the door, the ground before it
    k.FillRect(cx - 220, 0, 440, 350, 0x686078);
    for (int row = 0; row < 350 / 25; ++row) {
      k.FillRect(cx - 220, row * 25 + 23, 440, 2, 0x484058);
      for (int x = cx - 220 + (row % 2) * 30; x < cx + 220; x += 60) k.FillRect(x, row * 25, 2, 23, 0x484058);
    }
    Ground(k, c.w, c.h, 350);
    k.FillRect(cx - 90, 120, 180, 230, 0x504858);
    k.FillEllipse(cx - 90, 60, 180, 120, 0x504858);
    k.FillRect(cx - 60, 150, 120, 200, 0xFFE8A0);
    k.FillEllipse(cx - 60, 100, 120, 100, 0xFFE8A0);
    Mage(k, cx, 350);
  } else if (motif == "sunrise") {
    k.FillEllipse(cx - 70, 250, 140, 140, 0xFFC040);
    Hills(k, c.w, c.h, 0x3C7030);
  } else if (motif == "score") {
    k.FillRect(140, 130, 360, 270, kInk);
    k.FillRect(142, 132, 356, 266, 0xC0C8E0);
    k.FillRect(146, 136, 348, 258, 0x182040);
    k.TextInBox(140, 40, 360, 60, "RESULTS", 0xFFE060, kInk);
  }
}

void Caption(Canvas& k, int w, int y, const std::string& line) {
  if (line.empty()) return;
  const int width = static_cast<int>(line.size()) * kGlyphUnits * kCaptionScale;
  k.Text((w - width) / 2, y, line, kCaptionScale, kCaptionScale, kCaption, kInk);
}

}  // namespace

void PaintSlide(const CellContext& c) {
  const std::vector<std::string> parts = SplitLabel(c.entry.label);
  Sky(c);
  Motif(c, parts[0]);
  if (parts[1].empty()) return;
  c.canvas.FillRect(0, 392, c.w, 88, 0x000000);
  Caption(c.canvas, c.w, 404, parts[1]);
  Caption(c.canvas, c.w, 440, parts[2]);
}

}  // namespace datagen
