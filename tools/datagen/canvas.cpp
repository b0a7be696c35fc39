// Drawing primitives of the generated pictures. Everything clips to the
// current window, so a painter may overshoot its cell harmlessly.
#include "tools/datagen/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace datagen {
namespace {

struct GlyphRows {
  char c;
  std::uint8_t rows[7];  // five bits each, bit 4 leftmost
};

constexpr GlyphRows kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'!', {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}}, {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
};

const std::uint8_t* FindGlyph(char c) {
  if (c >= 'a' && c <= 'z' && c != 'x') c = static_cast<char>(c - 'a' + 'A');
  for (const GlyphRows& g : kFont) {
    if (g.c == c) return g.rows;
  }
  return nullptr;  // blank (space and anything unknown)
}

int Channel(std::uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

std::uint32_t Pack(double r, double g, double b) {
  auto clamp = [](double v) { return static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
  return clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

}  // namespace

std::uint32_t Shade(std::uint32_t colour, double factor) {
  if (factor <= 1.0) {
    return Pack(Channel(colour, 16) * factor, Channel(colour, 8) * factor, Channel(colour, 0) * factor);
  }
  return Mix(colour, 0xFFFFFF, std::min(1.0, factor - 1.0));
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double t) {
  auto mix = [&](int shift) { return Channel(a, shift) + (Channel(b, shift) - Channel(a, shift)) * t; };
  return Pack(mix(16), mix(8), mix(0));
}

Canvas::Canvas(int width, int height, std::uint32_t fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {
  ResetWindow();
}

void Canvas::SetWindow(int x, int y, int width, int height) {
  originX_ = x;
  originY_ = y;
  windowW_ = width;
  windowH_ = height;
}

void Canvas::Put(int x, int y, std::uint32_t colour) {
  if (x < 0 || y < 0 || x >= windowW_ || y >= windowH_) return;
  const int px = originX_ + x;
  const int py = originY_ + y;
  if (px < 0 || py < 0 || px >= width_ || py >= height_) return;
  pixels_[static_cast<std::size_t>(py) * width_ + px] = colour;
}

void Canvas::FillRect(int x, int y, int w, int h, std::uint32_t colour) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + w, windowW_), y1 = std::min(y + h, windowH_);
  for (int py = y0; py < y1; ++py) {
    for (int px = x0; px < x1; ++px) Put(px, py, colour);
  }
}

void Canvas::FrameRect(int x, int y, int w, int h, std::uint32_t colour) {
  if (w <= 0 || h <= 0) return;
  FillRect(x, y, w, 1, colour);
  FillRect(x, y + h - 1, w, 1, colour);
  FillRect(x, y, 1, h, colour);
  FillRect(x + w - 1, y, 1, h, colour);
}

void Canvas::FillEllipse(int x, int y, int w, int h, std::uint32_t colour) {
  const double cx = x + w / 2.0, cy = y + h / 2.0, rx = w / 2.0, ry = h / 2.0;
  if (rx <= 0 || ry <= 0) return;
  for (int py = y; py < y + h; ++py) {
    for (int px = x; px < x + w; ++px) {
      const double dx = (px + 0.5 - cx) / rx, dy = (py + 0.5 - cy) / ry;
      if (dx * dx + dy * dy <= 1.0) Put(px, py, colour);
    }
  }
}

void Canvas::FrameEllipse(int x, int y, int w, int h, std::uint32_t colour) {
  const double cx = x + w / 2.0, cy = y + h / 2.0, rx = w / 2.0, ry = h / 2.0;
  if (rx <= 1 || ry <= 1) return FillEllipse(x, y, w, h, colour);
  for (int py = y; py < y + h; ++py) {
    for (int px = x; px < x + w; ++px) {
      const double dx = (px + 0.5 - cx) / rx, dy = (py + 0.5 - cy) / ry;
      const double ix = (px + 0.5 - cx) / (rx - 1.5), iy = (py + 0.5 - cy) / (ry - 1.5);
      if (dx * dx + dy * dy <= 1.0 && ix * ix + iy * iy > 1.0) Put(px, py, colour);
    }
  }
}

void Canvas::Line(int x0, int y0, int x1, int y1, std::uint32_t colour) {
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    Put(x0, y0, colour);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

void Canvas::FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, std::uint32_t colour) {
  const int minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
  const int minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
  auto edge = [](double ax, double ay, double bx, double by, double px, double py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
  };
  for (int py = minY; py <= maxY; ++py) {
    for (int px = minX; px <= maxX; ++px) {
      const double cx = px + 0.5, cy = py + 0.5;
      const double a = edge(x0, y0, x1, y1, cx, cy), b = edge(x1, y1, x2, y2, cx, cy), c = edge(x2, y2, x0, y0, cx, cy);
      if ((a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0)) Put(px, py, colour);
    }
  }
}

void Canvas::ShadeWindow(double factor) {
  for (int y = std::max(0, originY_); y < std::min(height_, originY_ + windowH_); ++y) {
    for (int x = std::max(0, originX_); x < std::min(width_, originX_ + windowW_); ++x) {
      std::uint32_t& pixel = pixels_[static_cast<std::size_t>(y) * width_ + x];
      if (pixel != kTransparent) pixel = Shade(pixel, factor);
    }
  }
}

void Canvas::OutlineShapes(std::uint32_t colour) {
  auto drawn = [this](int x, int y) {
    return x >= 0 && y >= 0 && x < windowW_ && y < windowH_ &&
           pixels_[static_cast<std::size_t>(originY_ + y) * width_ + originX_ + x] != kTransparent;
  };
  std::vector<std::pair<int, int>> rim;
  for (int y = 0; y < windowH_; ++y) {
    for (int x = 0; x < windowW_; ++x) {
      if (!drawn(x, y) && (drawn(x - 1, y) || drawn(x + 1, y) || drawn(x, y - 1) || drawn(x, y + 1))) {
        rim.emplace_back(x, y);
      }
    }
  }
  for (const auto& [x, y] : rim) Put(x, y, colour);
}

void Canvas::Glyph(int x, int y, char c, int sx, int sy, std::uint32_t colour) {
  const std::uint8_t* rows = FindGlyph(c);
  if (rows == nullptr) return;
  for (int row = 0; row < 7; ++row) {
    for (int col = 0; col < 5; ++col) {
      if ((rows[row] >> (4 - col)) & 1) FillRect(x + col * sx, y + row * sy, sx, sy, colour);
    }
  }
}

void Canvas::Text(int x, int y, std::string_view text, int sx, int sy, std::uint32_t colour, std::uint32_t outline) {
  if (outline != colour) {
    for (int oy = -1; oy <= 1; ++oy) {
      for (int ox = -1; ox <= 1; ++ox) {
        if (ox == 0 && oy == 0) continue;
        for (std::size_t i = 0; i < text.size(); ++i) {
          Glyph(x + ox + static_cast<int>(i) * 6 * sx, y + oy, text[i], sx, sy, outline);
        }
      }
    }
  }
  for (std::size_t i = 0; i < text.size(); ++i) Glyph(x + static_cast<int>(i) * 6 * sx, y, text[i], sx, sy, colour);
}

void Canvas::TextInBox(int x, int y, int w, int h, std::string_view text, std::uint32_t colour,
                       std::uint32_t outline) {
  const int units = std::max<int>(1, static_cast<int>(text.size()) * 6 - 1);
  const int margin = outline != colour ? 2 : 0;
  const int sx = std::max(1, (w - margin) / units);
  const int sy = std::max(1, std::min((h - margin) / 7, sx * 2));
  const int textW = units * sx, textH = 7 * sy;
  Text(x + (w - textW) / 2, y + (h - textH) / 2, text, sx, sy, colour, outline);
}

}  // namespace datagen
