// The draw state every draw obeys and its setters: blend mode and parameter,
// brightness, texture filter, blend mask graph, and the clip rectangle. The
// values live in the draw-settings block; on the software path they are
// mirrored into the software draw state.
#pragma once

#include <cstdint>

namespace qz {

// Blend modes of the draws; the device path also takes 5 to 9 and 12 to 15.
enum BlendMode : std::int32_t {
  kBlendNone = 0,
  kBlendAlpha = 1,
  kBlendAdd = 2,
  kBlendSub = 3,
  kBlendMul = 4,
  kBlendInvert = 10,
  kBlendMulBlend = 11,
};

struct Float4 {
  float x, y, z, w;
};

// Parameter clamped to 0..255; 0.
int SetBlendModeAndParam(int mode, int param);
// Each clamped to 0..255; 0.
int SetBrightnessRGB(int red, int green, int blue);
// 0xRRGGBB.
void SetBrightnessPacked(std::uint32_t rgb);
// 0 nearest, 1 bilinear, 2 anisotropic; 0.
int SetDrawFilterMode(int mode);
// Graph or -1 for none; fade and range 0..255. 0, or -1 for an invalid graph.
int SetBlendMaskGraph(int graph, int fade, int range);
// For the graph release: the software draw state stops pointing at the
// image of a mask graph being released; the handle stays stored, so draws
// keep failing until another mask is set.
void DetachBlendMaskImage(int graph);
// Ordered and clamped to the draw target. 0, or -1 when the target is invalid
// or the hardware path has no device.
int SetClipRectangle(int left, int top, int right, int bottom);
// Sets the rectangle last asked for again.
int ReapplyClipRectangle();
struct DrawSettingsBlock;
// Sends the projection, with its adjustment and the inverse of the stored
// viewport matrix, to the device, and marks it applied.
void SendAdjustedProjectionToDevice(DrawSettingsBlock& settings);
Float4* MakeFloat4(Float4* out, float x, float y, float z, float w);

}  // namespace qz
