// What the hardware draw builders share: the device check, the texture of a
// tile made current, blend-graph coordinates and writing one quad into the
// vertex batch.
#pragma once

#include <cstdint>

#include "platform/d3d9.h"

namespace qz {

struct GraphRecord;
struct TextureDrawEntry;

// A device that is there and not lost.
plat::IDirect3DDevice9* UsableDevice();

// Opens the scene when none is open.
void EnsureDeviceScene();

// The tile's texture becomes the pending one and the state is applied.
void UseTileTexture(const TextureDrawEntry& entry);

// The texture of the graph's first tile, or null.
plat::IDirect3DBaseTexture9* FirstTexture(const GraphRecord* graph);

// Opens the scene and prepares the draw state for the graph's first texture.
int PrepareForGraph(GraphRecord* graph, int flags);

// The blend mask's texture, or null when none is set.
plat::IDirect3DBaseTexture9* BlendMaskTexture();

// One quad corner: screen position, graph texture coordinates and, for
// two-texture vertices, blend-graph coordinates.
struct QuadCorner {
  float x;
  float y;
  float u;
  float v;
  float blendU;
  float blendV;
};

// Blend-graph coordinates of a point (x, y) inside the graph.
void SetBlendCoordinates(QuadCorner* corner, float graphX, float graphY);

// Corners top-left, top-right, bottom-left, bottom-right, as two triangles of
// the pending vertex kind. The diffuse colour goes on the first vertex of each
// triangle (flat shading). 0, or -1 when the batch has no room.
int AppendQuad(const QuadCorner corners[4], std::uint32_t diffuse);

}  // namespace qz
