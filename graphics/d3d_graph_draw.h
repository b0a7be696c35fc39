// The hardware halves of the public draws: each prepares the device state for
// one graph or shape and appends pre-transformed vertices to the pending
// vertex batch. The front end has already checked the handle, the flags and
// the mask bracket. All return 0, or -1 without a device or on a lost device.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "platform/d3d9.h"

namespace qz {

struct GraphImage;
struct GraphRecord;
struct TextureDrawEntry;

// Flags of PrepareGraphDrawState.
inline constexpr int kPrepareUseTransparency = 0x1;
inline constexpr int kPrepareKeepColorKey = 0x2;
inline constexpr int kPrepareGouraud = 0x8;
inline constexpr int kPrepareForceColorModulate = 0x20;
inline constexpr int kPrepareForceAlphaModulate = 0x40;
inline constexpr int kPrepareUseFog = 0x80;
inline constexpr int kPrepareKeepTextureAndBlend = 0x100;
inline constexpr int kPrepareLighting = 0x200;
inline constexpr int kPrepareSpecular = 0x400;
inline constexpr int kPrepare3DDepth = 0x800;
inline constexpr int kPrepareUserAddressModes = 0x1000;
inline constexpr int kPrepareKeepShaders = 0x2000;

// Brings the device state in line with the draw settings before a primitive
// of `image` (null for shapes) sampled from `texture` (null for none).
int PrepareGraphDrawState(const GraphImage* image, plat::IDirect3DBaseTexture9* texture, int flags);

// While held, textured draws modulate by the diffuse colour even at white
// brightness, where the product is the texel itself: draws that alternate
// between white and tinted brightness (a string's text and edge cells) then
// share one stage set-up, and so one vertex batch.
void HoldColorModulation(bool held);

int DeviceBlitGraph(GraphRecord* graph, int x, int y, float fx, float fy, int trans, int integerPosition);
// The same at whole (x, y), held to `clip` instead of the settings' clip; the
// caller has checked the device.
int DeviceBlitGraphInClip(GraphRecord* graph, int x, int y, int trans, const Rect& clip);
// Corners as integers and as floats; reversed corners mirror. -1 for zero width or height.
int DeviceBlitGraphStretched(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                             GraphRecord* graph, int trans, int exact);
// About the graph's centre; angle in radians. -1 for scale 0.
int DeviceBlitGraphRotated(GraphRecord* graph, float centerX, float centerY, double scale, double angle, int trans,
                           int mirror);
// Corners top-left, top-right, bottom-left, bottom-right.
int DeviceBlitGraphOnQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                          int trans);
// One tile of a float-corner quad (same corner order); the draw state is prepared.
int DeviceBlitQuadTile(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                       const TextureDrawEntry* tile);
int DeviceDrawSolidRect(int x1, int y1, int x2, int y2, std::uint32_t color);
int DeviceDrawRectFrame(int x1, int y1, int x2, int y2, std::uint32_t color);

}  // namespace qz
