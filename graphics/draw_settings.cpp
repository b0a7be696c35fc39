// Blend mode, brightness, filter, blend mask graph and clip rectangle. The
// block holds the values; the software draw state mirrors them so that
// software images draw with the same settings on either path.
#include "graphics/draw_settings.h"

#include <utility>

#include "core/matrix.h"
#include "graphics/device_draw_helpers.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
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

// Blend or brightness changed: the software state follows, and the device
// path's diffuse colour, which carries both, is worked out again.
void BlendOrBrightnessChanged(DrawSettingsBlock& settings) {
  MirrorBlendAndBrightness(settings);
  if (HardwareDrawing()) settings.drawDiffuseColor = GetDrawDiffuseColor();
}

// The device projection always carries the inverse of the clip's viewport,
// so that projected coordinates land in the clipped area.
void ApplyClipToDevice(DrawSettingsBlock& settings) {
  const int width = settings.clipRight - settings.clipLeft;
  const int height = settings.clipBottom - settings.clipTop;
  const DeviceViewport viewport{settings.clipLeft, settings.clipTop, width, height, 0.0f, 1.0f};
  SetDeviceViewport(&viewport);
  const DeviceScissorRect scissor{settings.clipLeft, settings.clipTop, settings.clipRight, settings.clipBottom};
  SetDeviceScissorRect(&scissor);
  MakeViewportMatrix(&settings.viewportMatrix, (settings.clipLeftF + settings.clipRightF) * 0.5f,
                     (settings.clipTopF + settings.clipBottomF) * 0.5f, static_cast<float>(width),
                     static_cast<float>(height));
  InvertMatrix4(&settings.inverseViewportMatrix, &settings.viewportMatrix);
  SendAdjustedProjectionToDevice(settings);
}

// The builders take the mask texture and its size for their texture coordinates.
void ApplyBlendMaskToDevice(DrawSettingsBlock& settings, const GraphRecord* mask) {
  const GraphImage* image = mask != nullptr ? mask->image : nullptr;
  if (image == nullptr || image->request.textured == 0 || image->tileCount == 0) {
    SetPendingBlendTexture(nullptr, settings.blendMaskFade, settings.blendMaskRange);
    return;
  }
  const GraphTextureTile& tile = image->tiles[0];
  SetPendingBlendTexture(tile.texture, settings.blendMaskFade, settings.blendMaskRange);
  settings.blendMaskTextureWidth = static_cast<float>(tile.textureWidth);
  settings.blendMaskTextureHeight = static_cast<float>(tile.textureHeight);
  settings.blendMaskInverseWidth = 1.0f / settings.blendMaskTextureWidth;
  settings.blendMaskInverseHeight = 1.0f / settings.blendMaskTextureHeight;
}

}  // namespace

int SetBlendModeAndParam(int mode, int param) {
  DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.skipDrawing != 0) return 0;
  if (mode == settings.blendMode && param == settings.blendParam) return 0;
  EnsureScreenReady();
  settings.blendMode = mode;
  settings.blendParam = ClampByte(param);
  BlendOrBrightnessChanged(settings);
  return 0;
}

int SetBrightnessRGB(int red, int green, int blue) {
  DrawSettingsBlock& settings = GetDrawSettings();
  DrawBrightness& brightness = settings.brightness;
  if (brightness.red == red && brightness.green == green && brightness.blue == blue) return 0;
  brightness.red = static_cast<std::uint8_t>(ClampByte(red));
  brightness.green = static_cast<std::uint8_t>(ClampByte(green));
  brightness.blue = static_cast<std::uint8_t>(ClampByte(blue));
  BlendOrBrightnessChanged(settings);
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
  BlendOrBrightnessChanged(settings);
}

int SetDrawFilterMode(int mode) {
  DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.skipDrawing != 0 || mode == settings.filterMode) return 0;
  settings.filterMode = mode;
  if (HardwareDrawing()) ApplySamplerFilterMode(mode);
  return 0;
}

int SetBlendMaskGraph(int graph, int fade, int range) {
  DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.skipDrawing != 0) return 0;
  if (graph == settings.blendMaskGraph && fade == settings.blendMaskFade && range == settings.blendMaskRange) {
    return 0;
  }
  GraphRecord* mask = nullptr;
  if (graph != -1) {
    mask = GetGraphRecord(graph);
    if (mask == nullptr) return -1;
  }
  settings.blendMaskGraph = graph;
  EnsureScreenReady();
  settings.blendMaskFade = ClampByte(fade);
  settings.blendMaskRange = ClampByte(range);
  if (!HardwareDrawing()) {
    gMemImgDrawState.blendImage = mask != nullptr && mask->image != nullptr ? &mask->image->memImg : nullptr;
    BuildBlendImageFactorTable(settings.blendMaskFade, settings.blendMaskRange);
  } else if (GetGraphicsState().device != nullptr) {
    ApplyBlendMaskToDevice(settings, mask);
  }
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
  if (QueryGraphSize(settings.drawTarget, &width, &height) != 0) return -1;
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
  if (settings.clipLeft == settings.clipRight || settings.clipTop == settings.clipBottom) {
    settings.clipEmpty = 1;
    return 0;
  }
  settings.clipEmpty = 0;
  if (HardwareDrawing()) {
    if (GetGraphicsState().device == nullptr) return -1;
    ApplyClipToDevice(settings);
  }
  return 0;
}

void DetachBlendMaskImage(int graph) {
  if (graph == GetDrawSettings().blendMaskGraph) gMemImgDrawState.blendImage = nullptr;
}

int ReapplyClipRectangle() {
  const DrawSettingsBlock& settings = GetDrawSettings();
  return SetClipRectangle(settings.requestedClipLeft, settings.requestedClipTop, settings.requestedClipRight,
                          settings.requestedClipBottom);
}

void SendAdjustedProjectionToDevice(DrawSettingsBlock& settings) {
  Matrix4x4 adjusted;
  MultiplyMatrix4(&adjusted, &settings.projectionMatrix, &settings.projectionAdjustMatrix);
  Matrix4x4 deviceProjection;
  MultiplyMatrix4(&deviceProjection, &adjusted, &settings.inverseViewportMatrix);
  SetProjectionMatrixToDevice(&deviceProjection);
  settings.projectionApplied = 1;
}

Float4* MakeFloat4(Float4* out, float x, float y, float z, float w) {
  *out = {x, y, z, w};
  return out;
}

}  // namespace qz
