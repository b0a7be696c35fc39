// Software wrappers of the public draws.
#include "graphics/soft_draw.h"

#include "core/rect.h"
#include "core/string_util.h"
#include "graphics/graphics_state.h"
#include "softrender/blit.h"
#include "softrender/draw_state.h"
#include "softrender/rotated.h"
#include "softrender/scaled_blit.h"
#include "softrender/shapes.h"
#include "softrender/triangle.h"

namespace qz {
namespace {

MEMIMG* Target() { return GetGraphicsState().softwareDrawTarget; }
const MEMIMG* BlendImage() { return gMemImgDrawState.blendImage; }

}  // namespace

int SoftBlitGraph(const MEMIMG* view, int x, int y, int trans) {
  if (Target() != nullptr) DrawMemImgAt(Target(), view, x, y, trans, BlendImage());
  return 0;
}

int SoftBlitGraphStretched(const MEMIMG* view, int x1, int y1, int x2, int y2, int trans) {
  const std::int32_t rect[4] = {x1, y1, x2, y2};
  if (Target() != nullptr) DrawMemImgScaled(Target(), view, rect, trans, BlendImage());
  return 0;
}

int SoftBlitGraphRotated(const MEMIMG* view, int x, int y, float angle, float scale, int trans, int mirror) {
  if (Target() != nullptr) DrawMemImgRotated(Target(), view, x, y, angle, scale, trans, mirror, BlendImage());
  return 0;
}

int SoftBlitGraphOnQuad(const MEMIMG* view, const int* corners, int trans) {
  // The quad routine draws both triangles without blending the shared
  // diagonal twice.
  if (Target() != nullptr) DrawMemImgQuad(Target(), view, corners, trans, BlendImage());
  return 0;
}

int SoftBlitGraphOnQuadF(const MEMIMG* view, const float* corners, int trans) {
  int whole[8];
  for (int i = 0; i < 8; ++i) whole[i] = FloatToIntTruncate(corners[i]);
  return SoftBlitGraphOnQuad(view, whole, trans);
}

int SoftFillRect(int x1, int y1, int x2, int y2, std::uint32_t color) {
  const Rect rect{x1, y1, x2, y2};
  if (Target() != nullptr) FillMemImgRect(Target(), &rect, color);
  return 0;
}

}  // namespace qz
