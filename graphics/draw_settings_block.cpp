// The draw-settings block, its reset and the accessors of the options that
// govern new graphs and presenting.
#include "graphics/draw_settings_block.h"

#include <cstring>

#include "core/library.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_target.h"
#include "graphics/fog_settings.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"
#include "graphics/lights.h"
#include "graphics/mask_screen.h"
#include "graphics/screen_settings.h"

namespace qz {
namespace {

// The block, under the short name this file's code uses.
DrawSettingsBlock& gSettings = GetDrawSettings();

constexpr std::int32_t kCompareLessEqual = 4;
constexpr std::int32_t kFillSolid = 3;
constexpr std::int32_t kAddressClamp = 3;
constexpr std::int32_t kFogLinear = 3;

constexpr MaterialSettings kDefaultMaterial{
    {0.8f, 0.8f, 0.8f, 1.0f}, {0.0f, 0.0f, 0.0f, 0.0f}, {0.8f, 0.8f, 0.8f, 0.0f}, {0.0f, 0.0f, 0.0f, 0.0f}, 20.0f};

// A reset keeps these; everything else returns to its default.
struct KeptFields {
  std::int32_t noVsync;
  std::int32_t startupVSyncWait;
};

// Written last: selecting the target derives a camera of its own.
void WriteCameraDefaults(DrawSettingsBlock& s) {
  s.projectionMode = 0;
  s.nearClip = 10.0f;
  s.farClip = 10000.0f;
  s.fieldOfView = 1.0471976f;
  s.aspectFactor = 1.0f;
  s.orthographicSize = 1.0f;
  MakeIdentityMatrix(&s.userProjection);
}

// Only the fields whose default is not zero; the rest keep the clear.
void WriteDefaults(DrawSettingsBlock& s) {
  MakeIdentityMatrix(&s.viewMatrix);
  MakeIdentityMatrix(&s.projectionMatrix);
  MakeIdentityMatrix(&s.projectionAdjustMatrix);
  MakeIdentityMatrix(&s.viewportMatrix);
  MakeIdentityMatrix(&s.inverseViewportMatrix);
  s.depth2D = {0, 0, kCompareLessEqual, 0};
  s.depth3D = {0, 0, kCompareLessEqual, 0};
  s.fillMode = kFillSolid;
  SetFogMode(kFogLinear);
  StoreFogColor(255, 255, 255);
  StoreFogRange(0.0f, 1500.0f);
  s.zValue = 0.2f;
  s.maxAnisotropy = 1;
  s.blendMaskGraph = -1;
  s.userAlphaTestFunction = -1;
  // A cleared block holds brightness 0; the setter sees a change and stores white.
  SetBrightnessRGB(255, 255, 255);
  s.newGraphColorKey = 1;
}

// Releasing the previous default light first keeps repeated resets from
// piling up enabled default lights, since the light table survives them.
void MakeDefaultLight() {
  const int previous = GetDefaultLightHandle();
  if (previous != -1) ReleaseLightHandle(previous);
  SetDefaultLightHandle(CreateDirectionalLight(1.0f, -1.0f, 1.0f));
}

}  // namespace

int ResetDrawSettings() {
  const KeptFields kept{gSettings.noVsync, gSettings.startupVSyncWait};
  std::memset(&gSettings, 0, sizeof(gSettings));
  gSettings.noVsync = kept.noVsync;
  gSettings.startupVSyncWait = kept.startupVSyncWait;
  for (int sampler = 0; sampler < kSamplerCount; ++sampler) {
    gSettings.addressU[sampler] = kAddressClamp;
    gSettings.addressV[sampler] = kAddressClamp;
    gSettings.addressW[sampler] = kAddressClamp;
  }
  WriteDefaults(gSettings);
  gSettings.drawTarget = kFrontScreen;
  SelectDrawTarget(kFrontScreen);
  int width = 0;
  int height = 0;
  QueryGraphSize(kFrontScreen, &width, &height);
  SetClipRectangle(0, 0, width, height);
  MakeDefaultLight();
  WriteCameraDefaults(gSettings);
  gSettings.material = kDefaultMaterial;
  gSettings.materialDirty = 1;
  gSettings.diffuseMaterialSource = 0;
  gSettings.specularMaterialSource = 0;
  gSettings.lightsChanged = 1;
  MaskScreenFlags& mask = GetMaskScreenFlags();
  mask.useRequested = 1;
  mask.active = 0;
  return 0;
}

int GetPixelFormatCodeOfColorDesc(const GraphFormatRequest* request) {
  static constexpr int kSpecialKindCodes[] = {kGraphFormatDxt1,          kGraphFormatDxt2, kGraphFormatDxt3,
                                              kGraphFormatDxt4,          kGraphFormatDxt5, kGraphFormatDrawableFloat16,
                                              kGraphFormatDrawableFloat32};
  if (request->kind >= 1 && request->kind <= 7) return kSpecialKindCodes[request->kind - 1];
  const int deep = request->bitDepth == 16 ? 0 : 1;
  if (request->drawable != 0) {
    return request->alpha != 0 || request->colorKey != 0 ? kGraphFormatDrawableAlpha : kGraphFormatDrawable16Bit + deep;
  }
  if (request->alpha != 0) return kGraphFormatAlpha16Bit + deep;
  if (request->colorKey != 0) return kGraphFormatColorKey16Bit + deep;
  return kGraphFormat16Bit + deep;
}

int SetNewGraphColorBits(int bits) {
  gSettings.newGraphColorBits = bits;
  return 0;
}
int GetNewGraphColorBits() { return gSettings.newGraphColorBits; }

int SetNewGraphUserFormatFlag(int flag) {
  gSettings.newGraphUserFormat = flag;
  return 0;
}
int GetNewGraphUserFormatFlag() { return gSettings.newGraphUserFormat; }

int SetNewGraphColorKeyFlag(int flag) {
  gSettings.newGraphColorKey = flag;
  return 0;
}
int GetNewGraphColorKeyFlag() { return gSettings.newGraphColorKey; }

int GetGraphLoadTempOption() { return gSettings.graphLoadTempOption; }

int SetTransparentColorOnLoad(int flag) {
  gSettings.transparentOnLoadOff = flag == 0 ? 1 : 0;
  return 0;
}

int SetNewGraphAlphaFlag(int flag) {
  gSettings.newGraphAlpha = flag;
  return 0;
}
int GetNewGraphAlphaFlag() { return gSettings.newGraphAlpha; }

int SetNewGraphExtraOption(int option) {
  gSettings.newGraphExtraOption = static_cast<std::uint8_t>(option);
  return 0;
}
int GetNewGraphExtraOption() { return gSettings.newGraphExtraOption; }

int SetTransparentColorRGB(int red, int green, int blue) {
  if (GetScreenColorBitDepth() == 8) return 0;
  gSettings.transparentColor = static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
  return 0;
}

int GetDrawTargetHandle() { return gSettings.drawTarget; }

int SetPresentVSyncWait(int flag) {
  gSettings.noVsync = flag == 0 ? 1 : 0;
  if (IsLibraryInitialised() == 0) gSettings.startupVSyncWait = flag;
  return 0;
}
int GetPresentVSyncWait() { return gSettings.noVsync == 0 ? 1 : 0; }

int SetEmulate320x240Flag(int flag) {
  GetGraphicsState().modeChangeEmulation320x240 = flag;
  return 0;
}

int GetDrawFilterMode() { return gSettings.filterMode; }

}  // namespace qz
