// Blend mode, brightness, filter, blend mask graph and clip rectangle. The
// block holds the values; the software draw state mirrors them so that
// software images draw with the same settings on either path.
#include "graphics/draw_settings.h"

#include <utility>

#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "softrender/draw_state.h"

namespace qz {
namespace {

int ClampByte(int value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

bool HardwareDrawing() { return GetGraphicsState().hardware3DOn != 0; }

void MirrorBlendAndBrightness(const DrawSettingsBlock& settings) {
  gMemImgDrawState.blendMode = settings.blendMode;
  gMemImgDrawState.blendParam = settings.blendParam;
  gMemImgDrawState.colorMod = static_cast<std::uint32_t>(settings.brightness.red) << 16 |
                              static_cast<std::uint32_t>(settings.brightness.green) << 8 |
                              settings.brightness.blue;
}

// Alpha is the blend parameter while blending (or with vertex alpha forced).
void RebuildDrawDiffuseColor(DrawSettingsBlock& settings) {
  const std::uint32_t alpha =
      settings.blendMode != kBlendNone || settings.vertexAlpha != 0 ? static_cast<std::uint32_t>(settings.blendParam)
                                                                     : 255u;
  settings.drawDiffuseColor = alpha << 24 | static_cast<std::uint32_t>(settings.brightness.red) << 16 |
                              static_cast<std::uint32_t>(settings.brightness.green) << 8 |
                              settings.brightness.blue;
}

void BrightnessChanged(DrawSettingsBlock& settings) {
  MirrorBlendAndBrightness(settings);
  if (HardwareDrawing()) RebuildDrawDiffuseColor(settings);
}

// -1 for a target that is neither a screen nor a graph.
int DrawTargetSize(int target, int* width, int* height) {
  if (target == kBackScreen || target == kFrontScreen) return QueryDrawScreenSize(width, height, nullptr);
  return -1;
}

}  // namespace

int SetBlendModeAndParam(int mode, int param) {
  DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.skipDrawing != 0) return 0;
  if (mode == settings.blendMode && param == settings.blendParam) return 0;
  EnsureScreenReady();
  settings.blendMode = mode;
  settings.blendParam = ClampByte(param);
  MirrorBlendAndBrightness(settings);
  if (HardwareDrawing()) RebuildDrawDiffuseColor(settings);
  return 0;
}

int SetBrightnessRGB(int red, int green, int blue) {
  DrawSettingsBlock& settings = GetDrawSettings();
  DrawBrightness& brightness = settings.brightness;
  if (brightness.red == red && brightness.green == green && brightness.blue == blue) return 0;
  brightness.red = static_cast<std::uint8_t>(ClampByte(red));
  brightness.green = static_cast<std::uint8_t>(ClampByte(green));
  brightness.blue = static_cast<std::uint8_t>(ClampByte(blue));
  BrightnessChanged(settings);
  return 0;
}

void SetBrightnessPacked(std::uint32_t rgb) {
  DrawSettingsBlock& settings = GetDrawSettings();
  DrawBrightness& brightness = settings.brightness;
  const std::uint32_t stored = static_cast<std::uint32_t>(brightness.red) << 16 |
                               static_cast<std::uint32_t>(brightness.green) << 8 | brightness.blue;
  if ((rgb & 0xFFFFFFu) == stored) return;
  brightness.blue = static_cast<std::uint8_t>(rgb);
  brightness.green = static_cast<std::uint8_t>(rgb >> 8);
  brightness.red = static_cast<std::uint8_t>(rgb >> 16);
  brightness.unused = 0;
  BrightnessChanged(settings);
}

int SetDrawFilterMode(int mode) {
  DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.skipDrawing != 0 || mode == settings.filterMode) return 0;
  settings.filterMode = mode;
  return 0;
}

int SetBlendMaskGraph(int graph, int fade, int range) {
  DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.skipDrawing != 0) return 0;
  if (graph == settings.blendMaskGraph && fade == settings.blendMaskFade && range == settings.blendMaskRange) {
    return 0;
  }
  if (graph != -1) return -1;
  settings.blendMaskGraph = -1;
  EnsureScreenReady();
  settings.blendMaskFade = ClampByte(fade);
  settings.blendMaskRange = ClampByte(range);
  gMemImgDrawState.blendImage = nullptr;
  BuildBlendImageFactorTable(settings.blendMaskFade, settings.blendMaskRange);
  return 0;
}

int SetClipRectangle(int left, int top, int right, int bottom) {
  DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.skipDrawing != 0) return 0;
  settings.requestedClipLeft = left;
  settings.requestedClipTop = top;
  settings.requestedClipRight = right;
  settings.requestedClipBottom = bottom;
  int width = 0;
  int height = 0;
  if (DrawTargetSize(settings.drawTarget, &width, &height) != 0) return -1;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const auto clamp = [](int value, int limit) { return value < 0 ? 0 : value > limit ? limit : value; };
  settings.clipLeft = clamp(left, width);
  settings.clipRight = clamp(right, width);
  settings.clipTop = clamp(top, height);
  settings.clipBottom = clamp(bottom, height);
  settings.clipLeftF = static_cast<float>(settings.clipLeft);
  settings.clipTopF = static_cast<float>(settings.clipTop);
  settings.clipRightF = static_cast<float>(settings.clipRight);
  settings.clipBottomF = static_cast<float>(settings.clipBottom);
  gMemImgDrawState.drawArea = {settings.clipLeft, settings.clipTop, settings.clipRight, settings.clipBottom};
  settings.clipEmpty = settings.clipLeft == settings.clipRight || settings.clipTop == settings.clipBottom ? 1 : 0;
  return 0;
}

int ReapplyClipRectangle() {
  const DrawSettingsBlock& settings = GetDrawSettings();
  return SetClipRectangle(settings.requestedClipLeft, settings.requestedClipTop, settings.requestedClipRight,
                          settings.requestedClipBottom);
}

Float4* MakeFloat4(Float4* out, float x, float y, float z, float w) {
  *out = {x, y, z, w};
  return out;
}

}  // namespace qz
