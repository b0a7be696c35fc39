// Helpers the hardware draw builders share: the device and scene checks, the
// graph's first texture and its draw preparation, the tile texture, blend-graph
// coordinates, and quads written straight into the pending vertex batch.
#include "graphics/d3d_graph_draw_internal.h"

#include "graphics/d3d_graph_draw.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/pending_draw_state.h"
#include "graphics/screen_present.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"

namespace qz {

plat::IDirect3DDevice9* UsableDevice() {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr || device->TestCooperativeLevel() != plat::D3D_OK) return nullptr;
  return device;
}

void EnsureDeviceScene() {
  if (GetGraphicsState().sceneOpen == 0) BeginDeviceScene();
}

void UseTileTexture(const TextureDrawEntry& entry) {
  plat::IDirect3DBaseTexture9* texture = entry.tile != nullptr ? entry.tile->texture : nullptr;
  if (texture != GetDeviceStateCache().pending.texture) SetPendingTexture(texture);
  ApplyPendingDrawStateIfChanged();
}

plat::IDirect3DBaseTexture9* FirstTexture(const GraphRecord* graph) {
  if (graph->drawEntries.empty() || graph->drawEntries.front().tile == nullptr) return nullptr;
  return graph->drawEntries.front().tile->texture;
}

int PrepareForGraph(GraphRecord* graph, int flags) {
  EnsureDeviceScene();
  return PrepareGraphDrawState(graph->image, FirstTexture(graph), flags);
}

plat::IDirect3DBaseTexture9* BlendMaskTexture() {
  const int mask = GetDrawSettings().blendMaskGraph;
  if (mask == -1) return nullptr;
  const GraphRecord* graph = GetGraphRecord(mask);
  return graph != nullptr ? FirstTexture(graph) : nullptr;
}

void SetBlendCoordinates(QuadCorner* corner, float graphX, float graphY) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  corner->blendU = (static_cast<float>(settings.blendGraphOffsetX) + graphX) * settings.blendMaskInverseWidth;
  corner->blendV = (static_cast<float>(settings.blendGraphOffsetY) + graphY) * settings.blendMaskInverseHeight;
}

namespace {

// Triangle-list order of the quad's corners.
constexpr int kQuadOrder[6] = {0, 1, 2, 3, 2, 1};

template <typename Vertex>
void WritePositions(Vertex* out, const QuadCorner corners[4], std::uint32_t diffuse, float z) {
  for (int i = 0; i < 6; ++i) {
    const QuadCorner& c = corners[kQuadOrder[i]];
    out[i].x = c.x;
    out[i].y = c.y;
    out[i].z = z;
  }
  out[0].diffuse = diffuse;
  out[3].diffuse = diffuse;
}

}  // namespace

int AppendQuad(const QuadCorner corners[4], std::uint32_t diffuse) {
  const int kind = GetPendingDrawState().vertexKind;
  void* space = ReserveBatchVertices(kVertexSetPreTransformed, kind, static_cast<int>(plat::D3DPT_TRIANGLELIST), 6);
  if (space == nullptr) return -1;
  const float z = GetDrawSettings().zValue;
  switch (kind) {
    case kVertexKindUntextured:
      WritePositions(static_cast<ColorVertex*>(space), corners, diffuse, z);
      break;
    case kVertexKindOneTexture: {
      auto* out = static_cast<TexturedVertex*>(space);
      WritePositions(out, corners, diffuse, z);
      for (int i = 0; i < 6; ++i) {
        out[i].u = corners[kQuadOrder[i]].u;
        out[i].v = corners[kQuadOrder[i]].v;
      }
      break;
    }
    default: {
      auto* out = static_cast<TwoTextureVertex*>(space);
      WritePositions(out, corners, diffuse, z);
      for (int i = 0; i < 6; ++i) {
        const QuadCorner& c = corners[kQuadOrder[i]];
        out[i].u1 = c.blendU;
        out[i].v1 = c.blendV;
        out[i].u2 = c.u;
        out[i].v2 = c.v;
      }
      break;
    }
  }
  return 0;
}

}  // namespace qz
