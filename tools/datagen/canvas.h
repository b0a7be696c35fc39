// A small RGB drawing surface for the generated pictures: filled and outlined
// shapes, lines and a 5x7 block font, clipped to the surface. Colours are
// 0xRRGGBB; the transparent colour of the game is pure green.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace datagen {

constexpr std::uint32_t kTransparent = 0x00FF00;

// Colour helpers: scale toward black (factor < 1) or white (factor > 1).
std::uint32_t Shade(std::uint32_t colour, double factor);
std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double t);  // t = 0 gives a

class Canvas {
 public:
  Canvas(int width, int height, std::uint32_t fill);

  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  std::uint32_t At(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

  // Drawing relative to an origin, clipped to a window (a sheet cell), so one
  // painter draws any cell without spilling into its neighbours.
  void SetWindow(int x, int y, int width, int height);
  void ResetWindow() { SetWindow(0, 0, width_, height_); }

  void Put(int x, int y, std::uint32_t colour);
  void FillRect(int x, int y, int w, int h, std::uint32_t colour);
  void FrameRect(int x, int y, int w, int h, std::uint32_t colour);
  // An ellipse inside the box (x, y, w, h); filled, or only its rim.
  void FillEllipse(int x, int y, int w, int h, std::uint32_t colour);
  void FrameEllipse(int x, int y, int w, int h, std::uint32_t colour);
  void Line(int x0, int y0, int x1, int y1, std::uint32_t colour);
  void FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, std::uint32_t colour);

  // Scales every drawn (not transparent) pixel of the window by Shade's factor.
  void ShadeWindow(double factor);

  // Rims the window's drawn shapes: every transparent pixel next to a drawn
  // one (left, right, above or below) takes the colour.
  void OutlineShapes(std::uint32_t colour);

  // Block-font text: each glyph 5x7 units of sx by sy pixels, 6 units apart;
  // an outline colour other than the fill draws a one-pixel rim first.
  void Text(int x, int y, std::string_view text, int sx, int sy, std::uint32_t colour, std::uint32_t outline);
  // The text centred in the box at the largest scale that fits (at least 1).
  void TextInBox(int x, int y, int w, int h, std::string_view text, std::uint32_t colour, std::uint32_t outline);

 private:
  void Glyph(int x, int y, char c, int sx, int sy, std::uint32_t colour);

  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
  int originX_ = 0, originY_ = 0, windowW_ = 0, windowH_ = 0;
};

}  // namespace datagen
