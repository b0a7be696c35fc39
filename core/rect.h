// Rectangles with exclusive right and bottom edges.
#pragma once

#include <cstdint>

namespace qz {

struct Rect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// Reversed edges are first raised (right to left, bottom to top), then every
// edge is clamped into `clip`; a rectangle that misses it comes out empty.
void ClipRect(Rect* rect, const Rect* clip);

}  // namespace qz
