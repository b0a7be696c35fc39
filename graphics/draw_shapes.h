// Public drawing of untextured rectangles, on the device when hardware
// drawing is on, else on the software draw target. Corners may come in any
// order; the right and bottom edges are exclusive. colour is a colour value
// of the screen's format. All return 0 on success or a skipped draw.
#pragma once

#include "graphics/color_value.h"

namespace qz {

// fill non-zero: DrawSolidRectangle, else DrawRectangleFrame.
int DrawRectangleShape(int x1, int y1, int x2, int y2, ColorValue color, int fill);
int DrawSolidRectangle(int x1, int y1, int x2, int y2, ColorValue color);
// A one-pixel outline.
int DrawRectangleFrame(int x1, int y1, int x2, int y2, ColorValue color);

}  // namespace qz
