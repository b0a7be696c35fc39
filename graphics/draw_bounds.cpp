// Bracket rectangles of the graph draws.
#include "graphics/draw_bounds.h"

#include <algorithm>
#include <cmath>

#include "core/string_util.h"

namespace qz {

Rect PlainDrawBounds(int x, int y, int width, int height) { return Rect{x, y, x + width, y + height}; }

Rect OrderedDrawBounds(int x1, int y1, int x2, int y2) {
  return Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

Rect RotatedDrawBounds(float x, float y, double scale, double angle, int width, int height) {
  const double centreX = FloatToIntTruncate(x);
  const double centreY = FloatToIntTruncate(y);
  const double left = -(width / 2), top = -(height / 2);
  const double right = width - width / 2, bottom = height - height / 2;
  const double cornerX[4] = {left, right, right, left};
  const double cornerY[4] = {top, top, bottom, bottom};
  const double c = std::cos(angle), s = std::sin(angle);
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (int i = 0; i < 4; ++i) {
    const double px = (cornerX[i] * c - cornerY[i] * s) * scale + centreX;
    const double py = (cornerY[i] * c + cornerX[i] * s) * scale + centreY;
    minX = i == 0 ? px : std::min(minX, px);
    maxX = i == 0 ? px : std::max(maxX, px);
    minY = i == 0 ? py : std::min(minY, py);
    maxY = i == 0 ? py : std::max(maxY, py);
  }
  return Rect{DoubleToInt(minX - 5), DoubleToInt(minY - 5), DoubleToInt(maxX + 5), DoubleToInt(maxY + 5)};
}

Rect QuadDrawBounds(const float* corners) {
  Rect r{0xFFFFFF, 0xFFFFFF, 0, 0};
  for (int i = 0; i < 4; ++i) {
    const int px = FloatToIntTruncate(corners[2 * i]);
    const int py = FloatToIntTruncate(corners[2 * i + 1]);
    r.left = std::min(r.left, px);
    r.top = std::min(r.top, py);
    r.right = std::max(r.right, px);
    r.bottom = std::max(r.bottom, py);
  }
  return r;
}

}  // namespace qz
