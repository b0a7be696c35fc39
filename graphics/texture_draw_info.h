// Per-tile drawing information of a textured graph: which part of which
// texture tile each graph shows, with the corner texture coordinates the
// draw builders copy into vertices. Also the release of a textured image's
// device objects.
#pragma once

#include <cstdint>

namespace qz {

struct GraphRecord;
struct GraphImage;
struct GraphTextureTile;

// One corner of a tile's part: position inside the graph and texture
// coordinates.
struct TextureDrawCorner {
  float x;
  float y;
  float u;
  float v;
};

enum TextureDrawCornerIndex : int {
  kCornerTopLeft = 0,
  kCornerTopRight = 1,
  kCornerBottomLeft = 2,
  kCornerBottomRight = 3,
};

// The part of one texture tile that a graph shows.
struct TextureDrawEntry {
  std::int32_t destX;  // where the part starts inside the graph
  std::int32_t destY;
  std::int32_t sourceX;  // where the part starts inside the tile
  std::int32_t sourceY;
  std::int32_t width;
  std::int32_t height;
  TextureDrawCorner corners[4];  // TextureDrawCornerIndex order
  // 1 for a corner on or below the graph's anti-diagonal: the corners that
  // a deformed quad maps through its bottom-right corner.
  std::uint8_t cornerFlags[4];
  GraphTextureTile* tile;
};

// Builds the graph's drawing information from its draw origin, size and
// image: a software sub-view, or one entry per tile the graph overlaps.
// 0, or -1 (invalid record, no tile overlapped).
int CreateTextureDrawInfo(GraphRecord* graph);

// Releases every tile's device objects of a textured image (surface,
// multisample surface, depth surface, texture, staging texture) and clears
// them. 0.
int ReleaseTextureSet(GraphImage* image);

}  // namespace qz
