// Bringing the device state in line with the draw settings before a
// primitive: shading, depth, fog, samplers, and the pending draw state of the
// graph (texture, blend mode, alpha sources, modulation).
#include "graphics/d3d_graph_draw.h"

#include "graphics/d3d_graph_draw_internal.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/light_device.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"
#include "graphics/pending_draw_state.h"
#include "graphics/shader_objects.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kBilinearFilter = 1;

bool gColorModulationHeld = false;

void ApplyDepth(const DepthSettings& depth) {
  ApplyDepthTestState(depth.enable != 0 ? 1 : 0);
  ApplyDepthWriteState(depth.enable != 0 ? depth.writeEnable : 0);
  ApplyDepthFunc(depth.compareFunction);
  ApplyDepthBias(depth.bias);
}

// A flag of the pending state that is not recorded by the cache's setters.
void UpdatePendingFlag(std::int32_t* flag, int value) {
  if (*flag == value) return;
  FlushVertexBatch();
  *flag = value;
  GetDeviceStateCache().pending.blendDirty = 1;
}

void PrepareTextureAndBlend(const GraphImage* image, plat::IDirect3DBaseTexture9* texture, int flags) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  PendingDrawState& state = GetPendingDrawState();
  int useAlphaChannel = 0;
  int useTransparentColor = 0;
  if ((flags & kPrepareUseTransparency) != 0 && texture != nullptr && image != nullptr &&
      (image->request.alpha != 0 || image->request.colorKey != 0)) {
    const bool keyKept = (flags & kPrepareKeepColorKey) != 0 || settings.filterMode != kBilinearFilter;
    if ((settings.blendMode == 0 || settings.blendMode == 8) && keyKept) {
      useAlphaChannel = image->request.alpha;
      useTransparentColor = image->request.colorKey;
    } else {
      useAlphaChannel = 1;
    }
  }
  const DrawBrightness& b = settings.brightness;
  const bool white = b.red == 255 && b.green == 255 && b.blue == 255;
  UpdatePendingFlag(&state.colorModulate,
                    ((flags & kPrepareForceColorModulate) != 0 || !white || gColorModulationHeld) ? 1 : 0);
  UpdatePendingFlag(&state.alphaModulate,
                    ((flags & kPrepareForceAlphaModulate) != 0 || settings.blendMode != 0 || settings.vertexAlpha != 0)
                        ? 1
                        : 0);
  UpdatePendingFlag(&state.colorReplace, settings.colorReplace != 0 ? 1 : 0);
  SetPendingTexture(texture);
  SetPendingBlendTexture(BlendMaskTexture(), settings.blendMaskFade, settings.blendMaskRange);
  SetPendingBlendState(settings.blendMode, useAlphaChannel, useTransparentColor);
  SetPendingAlphaTest(settings.userAlphaTestFunction, settings.userAlphaTestReference);
  ApplyPendingDrawStateIfChanged();
}

void PrepareSamplerAddressing(int flags) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  if ((flags & kPrepareUserAddressModes) == 0) {
    ApplySamplerAddressU(-1, static_cast<int>(plat::D3DTADDRESS_CLAMP));
    ApplySamplerAddressV(-1, static_cast<int>(plat::D3DTADDRESS_CLAMP));
    return;
  }
  for (int sampler = 0; sampler < kSamplerCount; ++sampler) {
    ApplySamplerAddressU(sampler, settings.addressU[sampler]);
    ApplySamplerAddressV(sampler, settings.addressV[sampler]);
  }
}

}  // namespace

void HoldColorModulation(bool held) { gColorModulationHeld = held; }

int PrepareGraphDrawState(const GraphImage* image, plat::IDirect3DBaseTexture9* texture, int flags) {
  if (GetGraphicsState().device == nullptr) return -1;
  // The 2D path draws with the fixed-function pipeline.
  if ((flags & kPrepareKeepShaders) == 0) ClearCurrentShaders();
  DrawSettingsBlock& settings = GetDrawSettings();
  const bool lighting = (flags & kPrepareLighting) != 0 && settings.lightingOff == 0;
  if (lighting && (settings.lightsChanged != 0 || GetLightPacking().forceReapply != 0)) {
    ApplyLightsToDevice();
  } else {
    ApplyLightingState(lighting ? 1 : 0);
  }
  if (lighting) {
    if (settings.materialDirty != 0) {
      ApplyMaterial(&settings.material);
      settings.materialDirty = 0;
    }
    ApplyDiffuseMaterialSource(settings.diffuseMaterialSource);
    ApplySpecularMaterialSource(settings.specularMaterialSource);
  }
  ApplySpecularState((settings.specular == 0 && (flags & kPrepareSpecular) != 0) ? 1 : 0);
  ApplyDepth((flags & kPrepare3DDepth) != 0 ? settings.depth3D : settings.depth2D);
  ApplyFillMode(settings.fillMode);
  ApplyFogEnable(((flags & kPrepareUseFog) != 0 && settings.fogEnable != 0) ? 1 : 0);
  if ((flags & kPrepareKeepTextureAndBlend) == 0) PrepareTextureAndBlend(image, texture, flags);
  ApplyShadeMode(static_cast<int>((flags & kPrepareGouraud) != 0 ? plat::D3DSHADE_GOURAUD : plat::D3DSHADE_FLAT));
  ApplySamplerFilterMode(settings.filterMode);
  ApplyMaxAnisotropy(settings.maxAnisotropy);
  ApplyCullMode(settings.cullMode);
  PrepareSamplerAddressing(flags);
  return 0;
}

}  // namespace qz
