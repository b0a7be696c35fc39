// How a textured graph image is cut into power-of-two texture tiles within
// the device's limits.
#pragma once

#include <vector>

#include "graphics/graph_record.h"

namespace qz {

inline constexpr int kMaxTextureSizesPerDimension = 256;

// Cuts one dimension of `size` pixels into texture sizes (at most
// kMaxTextureSizesPerDimension) into `sizes`; returns the count.
int SplitIntoTextureSizes(int size, int drawable, int* sizes);

// On: a dimension that fits one texture gets one, drawable or not. Only the
// movie loader switches it on, and it stays on. 0.
int SetSingleTextureSetting(int on);

// The tiles of a width x height image, row by row from the top, with their
// positions, used areas and texture sizes; on a device that takes only square
// textures each tile is made of squares of its shorter side.
std::vector<GraphTextureTile> LayOutTextureTiles(int width, int height, int drawable);

}  // namespace qz
