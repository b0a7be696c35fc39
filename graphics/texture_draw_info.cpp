// Drawing information of graphs: the software sub-view, or the per-tile
// entries of a textured graph, and the release of a textured image's
// device objects.
#include "graphics/texture_draw_info.h"

#include <algorithm>
#include <new>

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/device_release.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"

namespace qz {
namespace {

bool TileOverlaps(const GraphTextureTile& tile, int gx, int gy, int gw, int gh) {
  return gx < tile.x + tile.usedWidth && gx + gw > tile.x && gy < tile.y + tile.usedHeight && gy + gh > tile.y;
}

// A corner on or below the anti-diagonal from the bottom-left to the
// top-right corner of the graph.
std::uint8_t CornerFlag(float x, float y, int gw, int gh) {
  const double diagonal = static_cast<double>(gh) - static_cast<double>(x) * gh / gw;
  return static_cast<double>(y) >= diagonal ? 1 : 0;
}

TextureDrawEntry MakeEntry(GraphTextureTile& tile, int gx, int gy, int gw, int gh) {
  TextureDrawEntry entry{};
  entry.destX = tile.x > gx ? tile.x - gx : 0;
  entry.destY = tile.y > gy ? tile.y - gy : 0;
  entry.sourceX = tile.x > gx ? 0 : gx - tile.x;
  entry.sourceY = tile.y > gy ? 0 : gy - tile.y;
  entry.width = std::min(gw - entry.destX, tile.usedWidth - entry.sourceX);
  entry.height = std::min(gh - entry.destY, tile.usedHeight - entry.sourceY);
  const float left = static_cast<float>(entry.destX);
  const float top = static_cast<float>(entry.destY);
  const float right = static_cast<float>(entry.destX + entry.width);
  const float bottom = static_cast<float>(entry.destY + entry.height);
  const float u0 = static_cast<float>(entry.sourceX) / static_cast<float>(tile.textureWidth);
  const float v0 = static_cast<float>(entry.sourceY) / static_cast<float>(tile.textureHeight);
  const float u1 = static_cast<float>(entry.sourceX + entry.width) / static_cast<float>(tile.textureWidth);
  const float v1 = static_cast<float>(entry.sourceY + entry.height) / static_cast<float>(tile.textureHeight);
  entry.corners[kCornerTopLeft] = {left, top, u0, v0};
  entry.corners[kCornerTopRight] = {right, top, u1, v0};
  entry.corners[kCornerBottomLeft] = {left, bottom, u0, v1};
  entry.corners[kCornerBottomRight] = {right, bottom, u1, v1};
  for (int i = 0; i < 4; ++i) entry.cornerFlags[i] = CornerFlag(entry.corners[i].x, entry.corners[i].y, gw, gh);
  entry.tile = &tile;
  return entry;
}

}  // namespace

int CreateTextureDrawInfo(GraphRecord* graph) {
  if (graph == nullptr || IsValidGraphHandle(graph->handle) == 0 || graph->image == nullptr) return -1;
  GraphImage& image = *graph->image;
  const int gx = graph->drawX;
  const int gy = graph->drawY;
  const int gw = graph->width;
  const int gh = graph->height;
  if (image.request.software != 0) {
    graph->drawEntries.clear();
    ReleaseMemImg(&graph->softView);
    return MakeSubMemImg(&graph->softView, &image.memImg, gx, gy, gw, gh);
  }
  int used = 0;
  for (int i = 0; i < image.tileCount; ++i) used += TileOverlaps(image.tiles[i], gx, gy, gw, gh) ? 1 : 0;
  if (used == 0) {
    AppendLogText(text::kGfxTextureDrawInfoFailed);
    return -1;
  }
  try {
    graph->drawEntries.clear();
    graph->drawEntries.reserve(static_cast<std::size_t>(used));
  } catch (const std::bad_alloc&) {
    AppendLogText(text::kGfxDrawInfoAllocFailed);
    return -1;
  }
  for (int i = 0; i < image.tileCount; ++i) {
    GraphTextureTile& tile = image.tiles[i];
    if (TileOverlaps(tile, gx, gy, gw, gh)) graph->drawEntries.push_back(MakeEntry(tile, gx, gy, gw, gh));
  }
  return 0;
}

int ReleaseTextureSet(GraphImage* image) {
  if (image == nullptr || image->request.textured == 0 || image->tiles == nullptr) return 0;
  for (int i = 0; i < image->tileCount; ++i) {
    GraphTextureTile& tile = image->tiles[i];
    ReleaseAndClear(&tile.surface);
    ReleaseAndClear(&tile.multiSampleSurface);
    ReleaseAndClear(&tile.depthSurface);
    ReleaseAndClear(&tile.texture);
    ReleaseAndClear(&tile.stagingTexture);
  }
  return 0;
}

}  // namespace qz
