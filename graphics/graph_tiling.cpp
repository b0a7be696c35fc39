// Cutting graph images into texture tiles.
#include "graphics/graph_tiling.h"

#include <algorithm>

#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"

namespace qz {
namespace {

constexpr int kMinTextureSize = 8;

int gSingleTexture = 0;

GraphTextureTile MakeTile(int x, int y, int textureWidth, int textureHeight, int imageWidth, int imageHeight) {
  GraphTextureTile tile{};
  tile.x = x;
  tile.y = y;
  tile.textureWidth = textureWidth;
  tile.textureHeight = textureHeight;
  tile.usedWidth = std::min(imageWidth - x, textureWidth);
  tile.usedHeight = std::min(imageHeight - y, textureHeight);
  return tile;
}

}  // namespace

int SplitIntoTextureSizes(int size, int drawable, int* sizes) {
  const DeviceCapabilities& caps = GetGraphicsState().caps;
  const int limit = caps.maxTextureSize;
  if (drawable != 0 && (caps.pow2Only == 0 || caps.nonPow2Conditional != 0) && size <= limit) {
    sizes[0] = size;
    return 1;
  }
  if (size <= kMinTextureSize) {
    sizes[0] = kMinTextureSize;
    return 1;
  }
  int c = limit;
  while (c > kMinTextureSize && c > size) c /= 2;
  int screenWidth = 0;
  GetScreenModeSize(&screenWidth, nullptr);
  // The maximum-texture-size creation setting has no setter and stays off.
  if (2 * c <= limit && (gSingleTexture != 0 || drawable == 0 || size < screenWidth)) {
    sizes[0] = c >= size ? c : 2 * c;
    return 1;
  }
  int count = 0;
  int rest = size;
  while (count < kMaxTextureSizesPerDimension) {
    sizes[count++] = c;
    rest -= c;
    if (rest <= 0) break;
    if (rest > c * 3 / 4 && c < limit) {
      sizes[count - 1] = 2 * c;
      break;
    }
    while (rest < c && c > kMinTextureSize) c /= 2;
  }
  if (count >= 2 && sizes[count - 1] == sizes[count - 2] && 2 * sizes[count - 1] <= limit) {
    sizes[count - 2] *= 2;
    --count;
  }
  return count;
}

int SetSingleTextureSetting(int on) {
  gSingleTexture = on != 0 ? 1 : 0;
  return 0;
}

std::vector<GraphTextureTile> LayOutTextureTiles(int width, int height, int drawable) {
  int widths[kMaxTextureSizesPerDimension];
  int heights[kMaxTextureSizesPerDimension];
  const int columns = SplitIntoTextureSizes(width, drawable, widths);
  const int rows = SplitIntoTextureSizes(height, drawable, heights);
  std::vector<GraphTextureTile> tiles;
  tiles.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  for (int row = 0, y = 0; row < rows; y += heights[row++]) {
    for (int column = 0, x = 0; column < columns; x += widths[column++]) {
      tiles.push_back(MakeTile(x, y, widths[column], heights[row], width, height));
    }
  }
  if (GetGraphicsState().caps.squareOnly == 0) return tiles;

  // The first square keeps the tile's place in the list; the rest follow all
  // tiles. Squares that would start beyond the image are not made.
  const std::size_t gridTiles = tiles.size();
  for (std::size_t i = 0; i < gridTiles; ++i) {
    const GraphTextureTile tile = tiles[i];
    const int side = std::min(tile.textureWidth, tile.textureHeight);
    if (tile.textureWidth == tile.textureHeight) continue;
    tiles[i] = MakeTile(tile.x, tile.y, side, side, width, height);
    const bool wide = tile.textureWidth > tile.textureHeight;
    const int longSide = wide ? tile.textureWidth : tile.textureHeight;
    for (int step = side; step < longSide; step += side) {
      const int x = wide ? tile.x + step : tile.x;
      const int y = wide ? tile.y : tile.y + step;
      if (x >= width || y >= height) break;
      tiles.push_back(MakeTile(x, y, side, side, width, height));
    }
  }
  return tiles;
}

}  // namespace qz
