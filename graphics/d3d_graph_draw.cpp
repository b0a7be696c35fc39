// Hardware graph drawing: minimal until the builders are built.
#include "graphics/d3d_graph_draw.h"

namespace qz {

int PrepareGraphDrawState(const GraphImage*, plat::IDirect3DBaseTexture9*, int) { return -1; }
int DeviceBlitGraph(GraphRecord*, int, int, float, float, int, int) { return -1; }
int DeviceBlitGraphStretched(int, int, int, int, float, float, float, float, GraphRecord*, int, int) { return -1; }
int DeviceBlitGraphRotated(GraphRecord*, float, float, double, double, int, int) { return -1; }
int DeviceBlitGraphOnQuad(int, int, int, int, int, int, int, int, GraphRecord*, int) { return -1; }
int DeviceBlitQuadTile(float, float, float, float, float, float, float, float, const TextureDrawEntry*) { return -1; }
int DeviceDrawSolidRect(int, int, int, int, std::uint32_t) { return -1; }
int DeviceDrawRectFrame(int, int, int, int, std::uint32_t) { return -1; }

}  // namespace qz
