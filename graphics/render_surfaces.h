// Where device draws land: the screen's surface, a drawable graph's surface
// and whether a draw goes through the device at all.
#pragma once

#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"

namespace qz {

inline bool OnHardwarePath(const GraphicsState& state) { return state.hardware3DOn != 0 && state.device != nullptr; }

// The sub back buffer when the screen is drawn at another size, else the back buffer.
inline plat::IDirect3DSurface9* ScreenRenderSurface(const GraphicsState& state) {
  return state.subBackBuffer != nullptr ? state.subBackBuffer : state.backBuffer;
}

inline bool HasTextureTiles(const GraphRecord* graph) {
  return graph->image != nullptr && graph->image->tileCount > 0 && graph->image->tiles != nullptr;
}

// A drawable graph is drawn into its first tile's multisample surface, else its level 0.
inline plat::IDirect3DSurface9* GraphRenderSurface(const GraphTextureTile& tile) {
  return tile.multiSampleSurface != nullptr ? tile.multiSampleSurface : tile.surface;
}

}  // namespace qz
