// Graphs deformed onto quadrilaterals, and filled and outlined rectangles, on
// the hardware path.
#include <algorithm>
#include <cmath>

#include "core/rect.h"
#include "graphics/color_value.h"
#include "graphics/d3d_graph_draw.h"
#include "graphics/d3d_graph_draw_internal.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_graph_internal.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_record.h"
#include "graphics/pending_draw_state.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kGridSide = 8;  // vertices per side of a warped tile's grid

struct Point {
  float x;
  float y;
};

Point Lerp(Point a, Point b, float t) { return Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

float Cross(Point a, Point b, Point c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

// Both triangles of a quad (top-left, top-right, bottom-left and bottom-right,
// bottom-left, top-right) wind the wrong way, as in a mirrored quad.
bool FacesAway(Point tl, Point tr, Point bl, Point br) { return Cross(tl, tr, bl) <= 0 && Cross(br, bl, tr) <= 0; }

// Blend-graph quads go to the device at once as strips of four vertices.
int DrawBlendGraphQuad(plat::IDirect3DDevice9* device, const Point p[4], GraphRecord* graph) {
  FlushVertexBatch();
  SetVertexFormatCached(VertexBatchFvf(kVertexSetPreTransformed, kVertexKindTwoTextures));
  const float w = static_cast<float>(graph->width);
  const float h = static_cast<float>(graph->height);
  const DrawSettingsBlock& settings = GetDrawSettings();
  for (const TextureDrawEntry& entry : graph->drawEntries) {
    if (entry.tile == nullptr) continue;
    UseTileTexture(entry);
    TwoTextureVertex strip[4];
    for (int i = 0; i < 4; ++i) {
      const TextureDrawCorner& c = entry.corners[i];
      // Corners of the triangle through the bottom-right point map from it,
      // the others from the top-left point.
      Point s{};
      if (entry.cornerFlags[i] != 0) {
        s.x = p[3].x + (c.x - w) / w * (p[3].x - p[2].x) + (c.y - h) / h * (p[3].x - p[1].x);
        s.y = p[3].y + (c.x - w) / w * (p[3].y - p[2].y) + (c.y - h) / h * (p[3].y - p[1].y);
      } else {
        s.x = p[0].x + c.x / w * (p[1].x - p[0].x) + c.y / h * (p[2].x - p[0].x);
        s.y = p[0].y + c.x / w * (p[1].y - p[0].y) + c.y / h * (p[2].y - p[0].y);
      }
      QuadCorner blend{};
      SetBlendCoordinates(&blend, c.x, c.y);
      strip[i] = TwoTextureVertex{s.x - 0.5f, s.y - 0.5f, settings.zValue, 1.0f, settings.drawDiffuseColor,
                                  0xFFFFFFFF, blend.blendU, blend.blendV, c.u, c.v};
    }
    if (FacesAway(Point{strip[0].x, strip[0].y}, Point{strip[1].x, strip[1].y}, Point{strip[2].x, strip[2].y},
                  Point{strip[3].x, strip[3].y})) {
      std::swap(strip[1], strip[2]);
    }
    if (GetPendingDrawState().discard != 0) continue;
    device->DrawPrimitiveUP(plat::D3DPT_TRIANGLESTRIP, 2, strip, sizeof(TwoTextureVertex));
  }
  return 0;
}

// Texture coordinates of a grid edge pulled inwards by a thousandth of a texel,
// so that the edge samples stay inside the tile.
void InsetRange(float* start, float* end, int textureSize) {
  const float step = 0.001f / static_cast<float>(textureSize);
  const bool increasing = *end >= *start;
  if (*start >= 0.000001f) *start += increasing ? step : -step;
  if (*end <= 0.99999f) *end += increasing ? -step : step;
}

int DrawWarpedTile(const Point p[4], const TextureDrawEntry& tile) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  float u0 = tile.corners[kCornerTopLeft].u;
  float u1 = tile.corners[kCornerTopRight].u;
  float v0 = tile.corners[kCornerTopLeft].v;
  float v1 = tile.corners[kCornerBottomLeft].v;
  InsetRange(&u0, &u1, tile.tile->textureWidth);
  InsetRange(&v0, &v1, tile.tile->textureHeight);
  TexturedVertex grid[kGridSide * kGridSide];
  constexpr float kSteps = kGridSide - 1;
  for (int row = 0; row < kGridSide; ++row) {
    const float t = static_cast<float>(row) / kSteps;
    const Point left = Lerp(p[0], p[2], t);
    const Point right = Lerp(p[1], p[3], t);
    for (int column = 0; column < kGridSide; ++column) {
      const float s = static_cast<float>(column) / kSteps;
      const Point at = Lerp(left, right, s);
      grid[row * kGridSide + column] = TexturedVertex{at.x, at.y, settings.zValue, 1.0f, settings.drawDiffuseColor,
                                                      u0 + (u1 - u0) * s, v0 + (v1 - v0) * t};
    }
  }
  return DrawTexturedGrid(grid, kGridSide, kGridSide);
}

// The diffuse colour of a rectangle: its colour value times the draw colour.
std::uint32_t ShapeColor(std::uint32_t color) {
  int red = 0;
  int green = 0;
  int blue = 0;
  SplitColorValue(color, &red, &green, &blue);
  const std::uint32_t draw = GetDrawSettings().drawDiffuseColor;
  const auto channel = [](std::uint32_t drawChannel, int value) {
    return static_cast<std::uint32_t>(static_cast<int>(drawChannel & 0xFF) * value / 255);
  };
  return (draw & 0xFF000000u) | channel(draw >> 16, red) << 16 | channel(draw >> 8, green) << 8 | channel(draw, blue);
}

int PrepareShape() {
  EnsureDeviceScene();
  SetPendingTexture(nullptr);
  return PrepareGraphDrawState(nullptr, nullptr, kPrepareForceColorModulate);
}

int AppendColorRect(float x1, float y1, float x2, float y2, std::uint32_t diffuse) {
  const QuadCorner corners[4] = {{x1, y1, 0, 0, 0, 0}, {x2, y1, 0, 0, 0, 0}, {x1, y2, 0, 0, 0, 0}, {x2, y2, 0, 0, 0, 0}};
  return AppendQuad(corners, diffuse);
}

// Every vertex of the last `count` carries the colour (frames are not flat-only).
void ColorLastVertices(int count, std::uint32_t diffuse) {
  VertexBatch& batch = GetVertexBatch();
  auto* end = reinterpret_cast<ColorVertex*>(batch.writePosition);
  for (ColorVertex* v = end - count; v < end; ++v) v->diffuse = diffuse;
}

}  // namespace

int DeviceBlitGraphOnQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                          int trans) {
  plat::IDirect3DDevice9* device = UsableDevice();
  if (device == nullptr) return -1;
  const auto f = [](int v) { return static_cast<float>(v); };
  if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4) {
    return DeviceBlitGraphStretched(x1, y1, x4, y4, f(x1), f(y1), f(x4), f(y4), graph, trans, 1);
  }
  if (GetDrawSettings().blendMaskGraph == -1) {
    return BlitGraphOnQuadF(f(x1), f(y1), f(x2), f(y2), f(x3), f(y3), f(x4), f(y4), graph, trans);
  }
  if (graph->drawEntries.empty()) return -1;
  PrepareForGraph(graph, trans != 0 ? kPrepareUseTransparency : 0);
  const Point corners[4] = {{f(x1), f(y1)}, {f(x2), f(y2)}, {f(x3), f(y3)}, {f(x4), f(y4)}};
  return DrawBlendGraphQuad(device, corners, graph);
}

int DeviceBlitQuadTile(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                       const TextureDrawEntry* tile) {
  if (UsableDevice() == nullptr || tile == nullptr || tile->tile == nullptr) return -1;
  const Point p[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  const bool parallelogram = std::fabs((x2 - x1) - (x4 - x3)) < 1.0f && std::fabs((y2 - y1) - (y4 - y3)) < 1.0f &&
                             std::fabs((x3 - x1) - (x4 - x2)) < 1.0f && std::fabs((y3 - y1) - (y4 - y2)) < 1.0f;
  if (!parallelogram) return DrawWarpedTile(p, *tile);
  QuadCorner corners[4];
  for (int i = 0; i < 4; ++i) {
    corners[i] = QuadCorner{p[i].x, p[i].y, tile->corners[i].u, tile->corners[i].v, 0, 0};
    if (GetPendingDrawState().vertexKind == kVertexKindTwoTextures) {
      SetBlendCoordinates(&corners[i], tile->corners[i].x, tile->corners[i].y);
    }
  }
  // A mirrored quad keeps its triangles facing the same way as an upright one.
  if (FacesAway(p[0], p[1], p[2], p[3])) std::swap(corners[kCornerTopRight], corners[kCornerBottomLeft]);
  return AppendQuad(corners, GetDrawSettings().drawDiffuseColor);
}

int DeviceDrawSolidRect(int x1, int y1, int x2, int y2, std::uint32_t color) {
  if (UsableDevice() == nullptr) return -1;
  const DrawSettingsBlock& settings = GetDrawSettings();
  Rect rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  const Rect clip{settings.clipLeft, settings.clipTop, settings.clipRight, settings.clipBottom};
  ClipRect(&rect, &clip);
  if (rect.right <= rect.left || rect.bottom <= rect.top) return 0;
  PrepareShape();
  const auto f = [](int v) { return static_cast<float>(v); };
  return AppendColorRect(f(rect.left), f(rect.top), f(rect.right), f(rect.bottom), ShapeColor(color));
}

int DeviceDrawRectFrame(int x1, int y1, int x2, int y2, std::uint32_t color) {
  if (UsableDevice() == nullptr) return -1;
  const float left = static_cast<float>(std::min(x1, x2));
  const float top = static_cast<float>(std::min(y1, y2));
  const float right = static_cast<float>(std::max(x1, x2));
  const float bottom = static_cast<float>(std::max(y1, y2));
  PrepareShape();
  const std::uint32_t diffuse = ShapeColor(color);
  const float strips[4][4] = {{left, top, right, top + 1},
                              {right - 1, top + 1, right, bottom},
                              {left, top + 1, left + 1, bottom},
                              {left + 1, bottom - 1, right - 1, bottom}};
  for (const auto& s : strips) {
    if (AppendColorRect(s[0], s[1], s[2], s[3], diffuse) != 0) return -1;
    ColorLastVertices(6, diffuse);
  }
  return 0;
}

}  // namespace qz
