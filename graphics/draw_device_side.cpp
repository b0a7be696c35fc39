// Device-path pieces of the front end: the float-corner quad, drawn tile by
// tile, and subtraction emulated by inverting the destination around an
// additive draw.
#include "graphics/draw_graph_internal.h"

#include "core/string_util.h"
#include "graphics/color_value.h"
#include "graphics/d3d_graph_draw.h"
#include "graphics/device_draw_helpers.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/texture_draw_info.h"

namespace qz {
namespace {

// The device's additive row, which the emulation draws with in place of 3.
constexpr int kEmulationAddMode = 5;

bool DeviceUsable() {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  return device != nullptr && device->TestCooperativeLevel() == plat::D3D_OK;
}

int PrepareForTile(const GraphRecord* graph, const TextureDrawEntry& entry, int trans) {
  plat::IDirect3DTexture9* texture = entry.tile != nullptr ? entry.tile->texture : nullptr;
  return PrepareGraphDrawState(graph->image, texture, trans != 0 ? kPrepareUseTransparency : 0);
}

// Inverts `rect` of the target: white in blend mode 3 at full parameter is
// the device row that multiplies by the inverted destination.
int InvertRect(const Rect& rect, DrawBrightness keptBrightness) {
  DrawSettingsBlock& settings = GetDrawSettings();
  SetBrightnessRGB(255, 255, 255);
  if (settings.skipDrawing == 0 && (settings.blendMode != kBlendSub || settings.blendParam != 255)) {
    EnsureScreenReady();
    settings.blendMode = kBlendSub;
    settings.blendParam = 255;
    settings.drawDiffuseColor = GetDrawDiffuseColor();
  }
  const int result = DeviceDrawSolidRect(rect.left, rect.top, rect.right, rect.bottom, MakeColorValue(255, 255, 255));
  SetBrightnessRGB(keptBrightness.red, keptBrightness.green, keptBrightness.blue);
  return result;
}

}  // namespace

int BlitGraphOnQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                     GraphRecord* graph, int trans) {
  if (!DeviceUsable() || graph->drawEntries.empty()) return -1;
  const DrawSettingsBlock& settings = GetDrawSettings();
  if (settings.blendMaskGraph != -1) {
    return DeviceBlitGraphOnQuad(FloatToIntTruncate(x1), FloatToIntTruncate(y1), FloatToIntTruncate(x2),
                                 FloatToIntTruncate(y2), FloatToIntTruncate(x3), FloatToIntTruncate(y3),
                                 FloatToIntTruncate(x4), FloatToIntTruncate(y4), graph, trans);
  }
  if (GetGraphicsState().sceneOpen == 0) BeginDeviceScene();
  if (graph->drawEntries.size() == 1) {
    PrepareForTile(graph, graph->drawEntries.front(), trans);
    return DeviceBlitQuadTile(x1, y1, x2, y2, x3, y3, x4, y4, &graph->drawEntries.front());
  }
  // Each tile at its share of the quad: the corners interpolated bilinearly
  // at the tile's position within the graph. Every tile carries its own
  // texture, so each is prepared before it is drawn.
  const float width = static_cast<float>(graph->width);
  const float height = static_cast<float>(graph->height);
  auto at = [&](float s, float t, float* x, float* y) {
    const float topX = x1 + (x2 - x1) * s, topY = y1 + (y2 - y1) * s;
    const float bottomX = x3 + (x4 - x3) * s, bottomY = y3 + (y4 - y3) * s;
    *x = topX + (bottomX - topX) * t;
    *y = topY + (bottomY - topY) * t;
  };
  for (const TextureDrawEntry& entry : graph->drawEntries) {
    const float s0 = static_cast<float>(entry.destX) / width;
    const float s1 = static_cast<float>(entry.destX + entry.width) / width;
    const float t0 = static_cast<float>(entry.destY) / height;
    const float t1 = static_cast<float>(entry.destY + entry.height) / height;
    float c[8];
    at(s0, t0, &c[0], &c[1]);
    at(s1, t0, &c[2], &c[3]);
    at(s0, t1, &c[4], &c[5]);
    at(s1, t1, &c[6], &c[7]);
    PrepareForTile(graph, entry, trans);
    DeviceBlitQuadTile(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], &entry);
  }
  return 0;
}

int BeginSubBlendEmulation(const Rect& rect) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  const int keptParam = settings.blendParam;
  InvertRect(rect, settings.brightness);
  return SetBlendModeAndParam(kEmulationAddMode, keptParam);
}

int EndSubBlendEmulation(const Rect& rect) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  const int keptParam = settings.blendParam;
  InvertRect(rect, settings.brightness);
  return SetBlendModeAndParam(kBlendSub, keptParam);
}

}  // namespace qz
