// The screen rectangle a draw covers (right and bottom exclusive), which
// brackets the draw where the mask screen or the subtractive emulation needs
// one.
#pragma once

#include "core/rect.h"

namespace qz {

Rect PlainDrawBounds(int x, int y, int width, int height);
// The corners put in order.
Rect OrderedDrawBounds(int x1, int y1, int x2, int y2);
// The four rotated corners of a width x height graph about the truncated
// centre, their box grown by 5 pixels on every side.
Rect RotatedDrawBounds(float x, float y, double scale, double angle, int width, int height);
// corners: four x, y pairs, truncated.
Rect QuadDrawBounds(const float* corners);

}  // namespace qz
