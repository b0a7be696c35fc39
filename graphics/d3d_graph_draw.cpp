// Plain, stretched and rotated graph blits on the hardware path: each tile of
// the graph becomes one quad of pre-transformed vertices in the batch.
#include "graphics/d3d_graph_draw.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "graphics/d3d_graph_draw_internal.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_record.h"
#include "graphics/pending_draw_state.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kBilinearFilter = 1;

enum class ClipOutcome { kInside, kPartly, kOutside };

// The clip an axis-aligned draw is held to, as integers and as floats.
struct ClipBox {
  int left, top, right, bottom;
  float leftF, topF, rightF, bottomF;
};

ClipBox SettingsClip() {
  const DrawSettingsBlock& s = GetDrawSettings();
  return {s.clipLeft, s.clipTop, s.clipRight, s.clipBottom, s.clipLeftF, s.clipTopF, s.clipRightF, s.clipBottomF};
}

// A clip rectangle's floats are its integers, as the clip setters store them.
ClipBox ClipOfRect(const Rect& r) {
  return {r.left, r.top, r.right, r.bottom, static_cast<float>(r.left), static_cast<float>(r.top),
          static_cast<float>(r.right), static_cast<float>(r.bottom)};
}

ClipOutcome TestAgainstClip(const ClipBox& clip, int left, int top, int right, int bottom) {
  if (right <= clip.left || left >= clip.right || bottom <= clip.top || top >= clip.bottom) {
    return ClipOutcome::kOutside;
  }
  if (left >= clip.left && right <= clip.right && top >= clip.top && bottom <= clip.bottom) {
    return ClipOutcome::kInside;
  }
  return ClipOutcome::kPartly;
}

// Screen position of graph point (gx, gy) for an axis-aligned draw.
struct AxisMapping {
  float originX;
  float originY;
  float scaleX;  // screen pixels per graph pixel; negative when mirrored
  float scaleY;
};

QuadCorner MapCorner(const AxisMapping& map, const TextureDrawCorner& corner, bool twoTextures) {
  QuadCorner out{map.originX + map.scaleX * corner.x, map.originY + map.scaleY * corner.y, corner.u, corner.v, 0, 0};
  if (twoTextures) SetBlendCoordinates(&out, corner.x, corner.y);
  return out;
}

// A distance in graph pixels as a texture coordinate. A power-of-two size has
// an exact reciprocal, so the product rounds to the quotient's very bits and
// the division (slow, and done for every corner of every clipped glyph) goes.
float PerTextureSize(float distance, int size) {
  // Not std::has_single_bit: without a popcount instruction in the baseline
  // it becomes a library call.
  if (size > 0 && (size & (size - 1)) == 0) {
    const auto exponent = static_cast<std::uint32_t>(127 - std::countr_zero(static_cast<unsigned>(size)));
    return distance * std::bit_cast<float>(exponent << 23);
  }
  return distance / static_cast<float>(size);
}

// Moves a corner onto the clip rectangle; its texture coordinates move by the
// same distance in graph pixels. A corner inside keeps its values without the
// divisions (text clips every glyph of its cache graph this way).
void ClampCorner(QuadCorner* c, const AxisMapping& map, const TextureDrawEntry& entry, bool twoTextures,
                 const ClipBox& clip) {
  const float x = std::clamp(c->x, clip.leftF, clip.rightF);
  const float y = std::clamp(c->y, clip.topF, clip.bottomF);
  if (x == c->x && y == c->y) return;
  // Dividing by a scale of one changes nothing: the common unscaled draw skips it.
  const float graphDx = map.scaleX == 1.0f ? x - c->x : (x - c->x) / map.scaleX;
  const float graphDy = map.scaleY == 1.0f ? y - c->y : (y - c->y) / map.scaleY;
  c->x = x;
  c->y = y;
  c->u += PerTextureSize(graphDx, entry.tile->textureWidth);
  c->v += PerTextureSize(graphDy, entry.tile->textureHeight);
  if (twoTextures) {
    const DrawSettingsBlock& s = GetDrawSettings();
    c->blendU += graphDx * s.blendMaskInverseWidth;
    c->blendV += graphDy * s.blendMaskInverseHeight;
  }
}

bool HasArea(const QuadCorner c[4]) { return c[0].x != c[3].x && c[0].y != c[3].y; }

// Every tile of an axis-aligned draw, clipped when the draw is partly outside.
int AppendAxisAlignedTiles(GraphRecord* graph, const AxisMapping& map, ClipOutcome outcome, const ClipBox& clip) {
  const std::uint32_t diffuse = GetDrawSettings().drawDiffuseColor;
  for (const TextureDrawEntry& entry : graph->drawEntries) {
    if (entry.tile == nullptr) continue;
    UseTileTexture(entry);
    const bool twoTextures = GetPendingDrawState().vertexKind == kVertexKindTwoTextures;
    QuadCorner corners[4];
    for (int i = 0; i < 4; ++i) corners[i] = MapCorner(map, entry.corners[i], twoTextures);
    if (outcome == ClipOutcome::kPartly) {
      for (QuadCorner& corner : corners) ClampCorner(&corner, map, entry, twoTextures, clip);
      if (!HasArea(corners)) continue;
    }
    if (AppendQuad(corners, diffuse) != 0) return -1;
  }
  return 0;
}

// Half sizes and centre of a rotated draw, chosen so that unrotated texels
// land on pixel centres.
struct RotationFrame {
  float centerX;
  float centerY;
  float halfWidth;
  float halfHeight;
  bool wholeCenter;
};

RotationFrame ChooseRotationFrame(const GraphRecord& graph, float cx, float cy, double scale) {
  const int w = graph.width;
  const int h = graph.height;
  RotationFrame frame{cx, cy, 0, 0, true};
  const bool fractional = std::fabs(cx - std::trunc(cx)) >= 0.00001f || std::fabs(cy - std::trunc(cy)) >= 0.00001f;
  if (fractional) {
    frame.wholeCenter = false;
    frame.halfWidth = static_cast<float>(w) / 2.0f;
    frame.halfHeight = static_cast<float>(h) / 2.0f;
    return frame;
  }
  const bool evenW = w % 2 == 0;
  const bool evenH = h % 2 == 0;
  if (scale != 1.0) {
    frame.halfWidth = static_cast<float>(w) * 0.5f;
    frame.halfHeight = static_cast<float>(h) * 0.5f;
    frame.centerX -= 0.5f;
    frame.centerY -= 0.5f;
  } else if (evenW && evenH) {
    frame.halfWidth = static_cast<float>(w / 2);
    frame.halfHeight = static_cast<float>(h / 2);
    frame.centerX -= 0.5f;
    frame.centerY -= 0.5f;
  } else {
    frame.halfWidth = static_cast<float>(w) * 0.5f - (evenW ? 0.5f : 0.0f);
    frame.halfHeight = static_cast<float>(h) * 0.5f - (evenH ? 0.5f : 0.0f);
  }
  return frame;
}

struct Rotation {
  RotationFrame frame;
  double sine;
  double cosine;
  double xFactor;
  double yFactor;
};

void Rotate(const Rotation& r, float tx, float ty, float* x, float* y) {
  const double rx = r.xFactor * (static_cast<double>(tx) - r.frame.halfWidth);
  const double ry = r.yFactor * (static_cast<double>(ty) - r.frame.halfHeight);
  *x = static_cast<float>(r.frame.centerX + r.cosine * rx - r.sine * ry);
  *y = static_cast<float>(r.frame.centerY + r.sine * rx + r.cosine * ry);
}

// Whether a coordinate lies within a thousandth of a whole pixel.
bool NearWhole(float value) {
  const float distance = std::fabs(value - std::trunc(value));
  return distance < 0.001f || distance > 0.999f;
}

bool NearRightAngle(double angle) {
  constexpr double kTolerance = 0.0698132;  // 4 degrees
  constexpr double kHalfPi = 1.5707963267948966;
  if (angle < -kTolerance || angle > 6.3529985) return true;
  for (int k = 0; k <= 4; ++k) {
    if (std::fabs(angle - k * kHalfPi) <= kTolerance) return true;
  }
  return false;
}

// Shifts (by -0.5) that put an axis-aligned edge landing on whole
// coordinates back between pixel centres.
void ChooseSnap(const GraphRecord& graph, const Rotation& r, double angle, float* shiftX, float* shiftY) {
  float x[3];
  float y[3];
  Rotate(r, 0, 0, &x[0], &y[0]);
  Rotate(r, static_cast<float>(graph.width), 0, &x[1], &y[1]);
  Rotate(r, 0, static_cast<float>(graph.height), &x[2], &y[2]);
  bool testX = true;
  bool testY = true;
  if (r.frame.wholeCenter) {
    const bool bothEven = graph.width % 2 == 0 && graph.height % 2 == 0;
    const bool eligible = angle != 0.0 && !bothEven && NearRightAngle(angle);
    testX = eligible && graph.width % 2 == 1;
    testY = eligible && graph.height % 2 == 1;
  }
  const bool vertical = std::fabs(x[0] - x[1]) < 0.01f || std::fabs(x[0] - x[2]) < 0.01f;
  const bool horizontal = std::fabs(y[0] - y[1]) < 0.01f || std::fabs(y[0] - y[2]) < 0.01f;
  *shiftX = (testX && vertical && NearWhole(x[0])) ? -0.5f : 0.0f;
  *shiftY = (testY && horizontal && NearWhole(y[0])) ? -0.5f : 0.0f;
}

// A plain blit held to `clip`; the device has been checked.
int BlitUnscaled(GraphRecord* graph, int x, int y, float fx, float fy, int trans, int integerPosition,
                 const ClipBox& clip) {
  const AxisMapping map{fx - 0.5f, fy - 0.5f, 1.0f, 1.0f};
  PrepareForGraph(graph, (trans != 0 ? kPrepareUseTransparency : 0) |
                             (integerPosition != 0 ? kPrepareKeepColorKey : 0));
  const ClipOutcome outcome = TestAgainstClip(clip, x, y, x + graph->width, y + graph->height);
  if (outcome == ClipOutcome::kOutside) return 0;
  return AppendAxisAlignedTiles(graph, map, outcome, clip);
}

}  // namespace

int DeviceBlitGraph(GraphRecord* graph, int x, int y, float fx, float fy, int trans, int integerPosition) {
  if (UsableDevice() == nullptr) return -1;
  return BlitUnscaled(graph, x, y, fx, fy, trans, integerPosition, SettingsClip());
}

int DeviceBlitGraphInClip(GraphRecord* graph, int x, int y, int trans, const Rect& clip) {
  return BlitUnscaled(graph, x, y, static_cast<float>(x), static_cast<float>(y), trans, 1, ClipOfRect(clip));
}

int DeviceBlitGraphStretched(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                             GraphRecord* graph, int trans, int exact) {
  if (UsableDevice() == nullptr || x1 == x2 || y1 == y2) return -1;
  const AxisMapping map{fx1 - 0.5f, fy1 - 0.5f, (fx2 - fx1) / static_cast<float>(graph->width),
                        (fy2 - fy1) / static_cast<float>(graph->height)};
  const bool keepKey = exact != 0 && GetDrawSettings().filterMode != kBilinearFilter;
  PrepareForGraph(graph, (trans != 0 ? kPrepareUseTransparency : 0) | (keepKey ? kPrepareKeepColorKey : 0));
  const ClipBox clip = SettingsClip();
  const ClipOutcome outcome =
      TestAgainstClip(clip, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
  if (outcome == ClipOutcome::kOutside) return 0;
  return AppendAxisAlignedTiles(graph, map, outcome, clip);
}

int DeviceBlitGraphRotated(GraphRecord* graph, float centerX, float centerY, double scale, double angle, int trans,
                           int mirror) {
  if (UsableDevice() == nullptr || scale == 0.0) return -1;
  Rotation r{ChooseRotationFrame(*graph, centerX, centerY, scale), 0.0, 1.0, mirror == 1 ? -scale : scale, scale};
  if (angle != 0.0) {
    r.sine = std::sin(angle);
    r.cosine = std::cos(angle);
  }
  PrepareForGraph(graph, trans != 0 ? kPrepareUseTransparency : 0);
  float shiftX = 0.0f;
  float shiftY = 0.0f;
  ChooseSnap(*graph, r, angle, &shiftX, &shiftY);
  // One tile about a whole centre is symmetric: the far corners are the near
  // ones reflected through the centre.
  const bool reflect = graph->drawEntries.size() == 1 && r.frame.wholeCenter &&
                       (scale != 1.0 || (graph->width % 2 == 1 && graph->height % 2 == 1));
  const std::uint32_t diffuse = GetDrawSettings().drawDiffuseColor;
  for (const TextureDrawEntry& entry : graph->drawEntries) {
    if (entry.tile == nullptr) continue;
    UseTileTexture(entry);
    const bool twoTextures = GetPendingDrawState().vertexKind == kVertexKindTwoTextures;
    QuadCorner corners[4];
    for (int i = 0; i < 4; ++i) {
      const TextureDrawCorner& c = entry.corners[i];
      corners[i] = QuadCorner{0, 0, c.u, c.v, 0, 0};
      if (twoTextures) SetBlendCoordinates(&corners[i], c.x, c.y);
      if (!reflect || i < 2) Rotate(r, c.x, c.y, &corners[i].x, &corners[i].y);
    }
    if (reflect) {
      const float cx2 = 2.0f * r.frame.centerX;
      const float cy2 = 2.0f * r.frame.centerY;
      corners[kCornerBottomRight].x = cx2 - corners[kCornerTopLeft].x;
      corners[kCornerBottomRight].y = cy2 - corners[kCornerTopLeft].y;
      corners[kCornerBottomLeft].x = cx2 - corners[kCornerTopRight].x;
      corners[kCornerBottomLeft].y = cy2 - corners[kCornerTopRight].y;
    }
    for (QuadCorner& c : corners) {
      c.x += shiftX;
      c.y += shiftY;
    }
    if (AppendQuad(corners, diffuse) != 0) return -1;
  }
  return 0;
}

}  // namespace qz
