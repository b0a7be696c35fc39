// Graph drawing front end: the shared preamble, the bracket rectangle of each
// kind of draw, and the hand-over to the device builders (textured graphs) or
// the software wrappers (software graphs); and the direct part draws a
// string's glyph cells take, with the preamble checked once for the string.
#include "graphics/draw_graph.h"

#include <algorithm>

#include "core/library.h"
#include "core/string_util.h"
#include "graphics/d3d_graph_draw.h"
#include "graphics/d3d_graph_draw_internal.h"
#include "graphics/draw_bounds.h"
#include "graphics/draw_graph_internal.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
#include "graphics/soft_draw.h"
#include "graphics/texture_draw_info.h"
#include "movie/movie_services.h"
#include "softrender/draw_state.h"

namespace qz {
namespace {

bool IsTextured(const GraphRecord* graph) { return graph->image->request.textured != 0; }

// The blend mask, when set, must cover the drawn graph.
bool BlendMaskFits(const GraphRecord* graph) {
  const int mask = GetDrawSettings().blendMaskGraph;
  if (mask == -1) return true;
  const GraphRecord* maskRecord = GetGraphRecord(mask);
  return maskRecord != nullptr && maskRecord->width >= graph->width && maskRecord->height >= graph->height;
}

// Null with *result set when the draw ends here: 0 when skipped, -1 for an
// invalid graph or an unusable blend mask.
GraphRecord* StartGraphDraw(int handle, int* result) {
  *result = 0;
  if (DrawingSkipped()) return nullptr;
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr || !BlendMaskFits(graph)) {
    *result = -1;
    return nullptr;
  }
  EnsureScreenReady();
  return graph;
}

// Runs `draw` inside the brackets the settings ask for; `bounds` gives the
// covered rectangle and is computed only when a bracket needs it.
template <class Bounds, class Draw>
int DrawBracketed(const GraphRecord* graph, Bounds bounds, Draw draw) {
  if (graph->movie != -1) UpdateMovieFrame(graph->movie, 0);
  const bool textured = IsTextured(graph);
  const bool subtractive = GetDrawSettings().blendMode == kBlendSub && textured;
  if (!subtractive && !DrawBracketNeeded()) return draw();
  const Rect rect = bounds();
  const bool emulate = subtractive && GetGraphicsState().caps.nativeSubtract == 0;
  OpenMaskBracket(rect);
  if (emulate) BeginSubBlendEmulation(rect);
  const int result = draw();
  if (emulate) EndSubBlendEmulation(rect);
  CloseMaskBracket(rect);
  return result;
}

// The clip as the draws read it: the block's integer and float copies, the
// empty flag and the software draw area.
struct SavedClip {
  int left, top, right, bottom;
  float leftF, topF, rightF, bottomF;
  int empty;
  Rect area;
};

SavedClip SaveClip() {
  const DrawSettingsBlock& s = GetDrawSettings();
  return SavedClip{s.clipLeft,  s.clipTop,     s.clipRight, s.clipBottom, s.clipLeftF,
                   s.clipTopF,  s.clipRightF,  s.clipBottomF, s.clipEmpty, gMemImgDrawState.drawArea};
}

void StoreClip(const Rect& r, int wasEmpty) {
  DrawSettingsBlock& s = GetDrawSettings();
  s.clipLeft = r.left;
  s.clipTop = r.top;
  s.clipRight = r.right;
  s.clipBottom = r.bottom;
  s.clipLeftF = static_cast<float>(r.left);
  s.clipTopF = static_cast<float>(r.top);
  s.clipRightF = static_cast<float>(r.right);
  s.clipBottomF = static_cast<float>(r.bottom);
  s.clipEmpty = wasEmpty != 0 || r.left == r.right || r.top == r.bottom ? 1 : 0;
  gMemImgDrawState.drawArea = r;
}

void RestoreClip(const SavedClip& c) {
  DrawSettingsBlock& s = GetDrawSettings();
  s.clipLeft = c.left;
  s.clipTop = c.top;
  s.clipRight = c.right;
  s.clipBottom = c.bottom;
  s.clipLeftF = c.leftF;
  s.clipTopF = c.topF;
  s.clipRightF = c.rightF;
  s.clipBottomF = c.bottomF;
  s.clipEmpty = c.empty;
  gMemImgDrawState.drawArea = c.area;
}

bool gDirectGraphPartsAllowed = true;

// The part's rectangle at (x, y) held inside the clip.
Rect PartClip(int x, int y, int width, int height, const Rect& clip) {
  const int left = std::clamp(x, clip.left, clip.right);
  const int top = std::clamp(y, clip.top, clip.bottom);
  const int right = std::max(left, std::clamp(x + width, clip.left, clip.right));
  const int bottom = std::max(top, std::clamp(y + height, clip.top, clip.bottom));
  return Rect{left, top, right, bottom};
}

}  // namespace

int BlitGraph(int x, int y, int handle, int trans) {
  if (IsLibraryInitialised() == 0) return -1;
  int result = 0;
  GraphRecord* graph = StartGraphDraw(handle, &result);
  if (graph == nullptr) return result;
  return DrawBracketed(
      graph, [&] { return PlainDrawBounds(x, y, graph->width, graph->height); },
      [&] {
        if (IsTextured(graph)) {
          return DeviceBlitGraph(graph, x, y, static_cast<float>(x), static_cast<float>(y), trans, 1);
        }
        return SoftBlitGraph(&graph->softView, x, y, trans);
      });
}

int BlitGraphStretched(int x1, int y1, int x2, int y2, int handle, int trans) {
  int result = 0;
  GraphRecord* graph = StartGraphDraw(handle, &result);
  if (graph == nullptr) return result;
  return DrawBracketed(
      graph, [&] { return OrderedDrawBounds(x1, y1, x2, y2); },
      [&] {
        if (IsTextured(graph)) {
          return DeviceBlitGraphStretched(x1, y1, x2, y2, static_cast<float>(x1), static_cast<float>(y1),
                                          static_cast<float>(x2), static_cast<float>(y2), graph, trans, 1);
        }
        return SoftBlitGraphStretched(&graph->softView, x1, y1, x2, y2, trans);
      });
}

int BlitGraphStretchedF(float x1, float y1, float x2, float y2, int handle, int trans) {
  int result = 0;
  GraphRecord* graph = StartGraphDraw(handle, &result);
  if (graph == nullptr) return result;
  const int ix1 = FloatToIntTruncate(x1), iy1 = FloatToIntTruncate(y1);
  const int ix2 = FloatToIntTruncate(x2), iy2 = FloatToIntTruncate(y2);
  return DrawBracketed(
      graph, [&] { return OrderedDrawBounds(ix1, iy1, ix2, iy2); },
      [&] {
        if (IsTextured(graph)) return DeviceBlitGraphStretched(ix1, iy1, ix2, iy2, x1, y1, x2, y2, graph, trans, 0);
        return SoftBlitGraphStretched(&graph->softView, ix1, iy1, ix2, iy2, trans);
      });
}

int BlitGraphMirrored(int x, int y, int handle, int trans) {
  // An invalid handle still goes through the stretched draw's preamble, which
  // refuses it (or skips the draw) in the usual order.
  const GraphRecord* graph = GetGraphRecord(handle);
  const int width = graph != nullptr ? graph->width : 0;
  const int height = graph != nullptr ? graph->height : 0;
  return BlitGraphStretched(x + width, y, x, y + height, handle, trans);
}

int BlitGraphRotated(int x, int y, double scale, double angle, int handle, int trans, int mirror) {
  return BlitGraphRotatedF(static_cast<float>(x), static_cast<float>(y), scale, angle, handle, trans, mirror);
}

int BlitGraphRotatedF(float x, float y, double scale, double angle, int handle, int trans, int mirror) {
  int result = 0;
  GraphRecord* graph = StartGraphDraw(handle, &result);
  if (graph == nullptr) return result;
  return DrawBracketed(
      graph, [&] { return RotatedDrawBounds(x, y, scale, angle, graph->width, graph->height); },
      [&] {
        if (IsTextured(graph)) return DeviceBlitGraphRotated(graph, x, y, scale, angle, trans, mirror);
        return SoftBlitGraphRotated(&graph->softView, FloatToIntTruncate(x), FloatToIntTruncate(y),
                                    static_cast<float>(angle), static_cast<float>(scale), trans, mirror);
      });
}

int BlitGraphSubRect(int x, int y, int srcX, int srcY, int width, int height, int handle, int trans, int mirror) {
  const SavedClip saved = SaveClip();
  // Only stored, since the builders and the pixel routines clip against the
  // stored values.
  StoreClip(PartClip(x, y, width, height, Rect{saved.left, saved.top, saved.right, saved.bottom}), saved.empty);

  int result = -1;
  if (mirror == 0) {
    result = BlitGraph(x - srcX, y - srcY, handle, trans);
  } else if (const GraphRecord* graph = GetGraphRecord(handle); graph != nullptr) {
    result = BlitGraphMirrored(x - graph->width + srcX + width, y - srcY, handle, trans);
  }
  RestoreClip(saved);
  return result;
}

bool GraphPartsDrawDirectly() {
  if (!gDirectGraphPartsAllowed || IsLibraryInitialised() == 0 || DrawingSkipped()) return false;
  EnsureScreenReady();
  const DrawSettingsBlock& settings = GetDrawSettings();
  return !DrawBracketNeeded() && settings.blendMode != kBlendSub && settings.blendMaskGraph == -1 &&
         UsableDevice() != nullptr;
}

void AllowDirectGraphPartsForTest(bool allowed) { gDirectGraphPartsAllowed = allowed; }

int BlitGraphPartDirect(int x, int y, int srcX, int srcY, int width, int height, int handle, int trans) {
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr || !IsTextured(graph) || graph->movie != -1) {
    return BlitGraphSubRect(x, y, srcX, srcY, width, height, handle, trans, 0);
  }
  const DrawSettingsBlock& s = GetDrawSettings();
  const Rect part = PartClip(x, y, width, height, Rect{s.clipLeft, s.clipTop, s.clipRight, s.clipBottom});
  // An empty part skips the draw, as the empty clip it makes does.
  if (part.left == part.right || part.top == part.bottom) return 0;
  return DeviceBlitGraphInClip(graph, x - srcX, y - srcY, trans, part);
}

int BlitGraphOnQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int handle,
                    int trans) {
  int result = 0;
  GraphRecord* graph = StartGraphDraw(handle, &result);
  if (graph == nullptr) return result;
  // Given clockwise from the top-left; both renderers take the bottom-left
  // corner before the bottom-right.
  const float corners[8] = {x1, y1, x2, y2, x4, y4, x3, y3};
  return DrawBracketed(
      graph, [&] { return QuadDrawBounds(corners); },
      [&] {
        if (IsTextured(graph)) return BlitGraphOnQuadF(x1, y1, x2, y2, x4, y4, x3, y3, graph, trans);
        return SoftBlitGraphOnQuadF(&graph->softView, corners, trans);
      });
}

}  // namespace qz
