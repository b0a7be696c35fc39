// Copying a rectangle of the screen or of a graph into a graph: a software
// copy, a device copy into a drawable graph of one texture, or else a
// read-back followed by a texture transfer.
#include "graphics/back_buffer_readback.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_textures.h"
#include "graphics/graphics_state.h"
#include "graphics/render_surfaces.h"
#include "graphics/screen_present.h"
#include "graphics/vertex_batch.h"
#include "softrender/pixel_write.h"

namespace qz {
namespace {

plat::IDirect3DSurface9* RenderSurfaceOf(const GraphicsState& state, const GraphRecord* source) {
  return source != nullptr ? GraphRenderSurface(source->image->tiles[0]) : ScreenRenderSurface(state);
}

}  // namespace

int CaptureScreenToGraph(int left, int top, int right, int bottom, int graph, int flag) {
  const GraphRecord* destination = IsValidGraphHandle(graph) != 0 ? GetGraphRecord(graph) : nullptr;
  if (destination == nullptr || destination->width != right - left || destination->height != bottom - top) return -1;
  return CaptureScreenRectToGraphCore(GetDrawTarget(), left, top, right, bottom, 0, 0, graph, flag);
}

int CaptureScreenRectToGraphCore(int sourceTarget, int left, int top, int right, int bottom, int destX, int destY,
                                 int graph, int) {
  GraphRecord* destination = IsValidGraphHandle(graph) != 0 ? GetGraphRecord(graph) : nullptr;
  if (destination == nullptr) return -1;
  FlushVertexBatch();
  EndDeviceScene();
  GraphicsState& state = GetGraphicsState();
  GraphRecord* source = IsValidGraphHandle(sourceTarget) != 0 ? GetGraphRecord(sourceTarget) : nullptr;
  // The rectangle is checked against the source's own size, which is the
  // draw target's whenever the current target is captured.
  const int sourceWidth = source != nullptr ? source->width : state.screenWidth;
  const int sourceHeight = source != nullptr ? source->height : state.screenHeight;
  const int width = right - left;
  const int height = bottom - top;
  if (left < 0 || left >= right || right > sourceWidth || top < 0 || top >= bottom || bottom > sourceHeight ||
      destX < 0 || destY < 0 || width + destX > destination->width || height + destY > destination->height) {
    return -1;
  }
  if (!HasTextureTiles(destination)) {
    MEMIMG* from = source != nullptr ? &source->softView : &state.screenImages[kBackScreenImage];
    const Rect area{left, top, right, bottom};
    return DrawMemImgSimple(&destination->softView, from, &area, destX, destY) == 0 ? 0 : -1;
  }
  const plat::WinRect area{left, top, right, bottom};
  // A drawable graph of several textures takes the transfer below, which
  // writes every texture; a device copy reaches only the first.
  if (destination->image->request.drawable != 0 && destination->image->tileCount == 1) {
    const GraphTextureTile& tile = destination->image->tiles[0];
    const plat::WinRect placed{destX, destY, destX + width, destY + height};
    return state.device->StretchRect(RenderSurfaceOf(state, source), &area, tile.surface, &placed,
                                     plat::D3DTEXF_NONE) == plat::D3D_OK
               ? 0
               : -1;
  }
  BaseImage pixels{};
  if (LockBackBufferImage(&area, &pixels, source != nullptr ? sourceTarget : kBackScreen) != 0) return -1;
  const int result =
      TransferImageToGraphTextures(graph, Rect{0, 0, width, height}, destX, destY, &pixels, nullptr, 0, 0, 0);
  ReleaseBackBufferLockSurfaces();
  return result == 0 ? 0 : -1;
}

}  // namespace qz
