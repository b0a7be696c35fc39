// Bringing the device state in line with the draw settings before a
// primitive: shading, depth, fog, samplers, and the pending draw state of the
// graph (texture, blend mode, alpha sources, modulation). What a draw asks is
// worked out first; a draw that asks what the last one asked, with no state
// changed since, leaves the setters alone.
#include "graphics/d3d_graph_draw.h"

#include <cstddef>
#include <cstring>

#include "graphics/d3d_graph_draw_internal.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/light_device.h"
#include "graphics/lights.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"
#include "graphics/pending_draw_state.h"
#include "graphics/shader_objects.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kBilinearFilter = 1;

bool gColorModulationHeld = false;

// Every device state one preparation sets, as values; the setters read
// nothing else, so two equal requests set the same states. Draws with the
// user's address modes (3D draws) are always prepared in full, which keeps
// the sixteen modes out of the request.
struct DrawRequest {
  std::int32_t flags;
  std::int32_t lighting;
  std::int32_t diffuseMaterialSource;  // read only while lighting
  std::int32_t specularMaterialSource;
  std::int32_t specular;
  DepthSettings depth;
  std::int32_t fillMode;
  std::int32_t fogEnable;
  // Texture and blend, left zero when the flags keep them.
  std::int32_t colorModulate;
  std::int32_t alphaModulate;
  std::int32_t colorReplace;
  plat::IDirect3DBaseTexture9* texture;
  plat::IDirect3DBaseTexture9* blendTexture;
  std::int32_t blendTextureFade;
  std::int32_t blendTextureRange;
  std::int32_t blendMode;
  std::int32_t useAlphaChannel;
  std::int32_t useTransparentColor;
  std::int32_t alphaTestFunction;
  std::int32_t alphaTestReference;
  std::int32_t shadeMode;
  std::int32_t filterMode;
  std::int32_t maxAnisotropy;
  std::int32_t cullMode;

  // Compared as bytes, one vector compare rather than a branch per field:
  // the members leave no gap up to the last, and every request writes them all.
  bool operator==(const DrawRequest& other) const { return std::memcmp(this, &other, kComparedBytes) == 0; }
  static const std::size_t kComparedBytes;
};
constexpr std::size_t DrawRequest::kComparedBytes = offsetof(DrawRequest, cullMode) + sizeof(DrawRequest::cullMode);
static_assert(DrawRequest::kComparedBytes == 25 * sizeof(std::int32_t) + 2 * sizeof(void*),
              "a gap between the request's members would be compared");

// The last full preparation: what it set, on which device, and the state
// serial it left behind.
struct LastPreparation {
  DrawRequest request;
  plat::IDirect3DDevice9* device;
  std::uint32_t stateSerial;
  std::int32_t stagesInUse;
  bool valid;
};

LastPreparation gLast{};

void FillTextureAndBlend(const DrawSettingsBlock& settings, const GraphImage* image,
                         plat::IDirect3DBaseTexture9* texture, int flags, DrawRequest* r) {
  r->useAlphaChannel = 0;
  r->useTransparentColor = 0;
  if ((flags & kPrepareUseTransparency) != 0 && texture != nullptr && image != nullptr &&
      (image->request.alpha != 0 || image->request.colorKey != 0)) {
    const bool keyKept = (flags & kPrepareKeepColorKey) != 0 || settings.filterMode != kBilinearFilter;
    if ((settings.blendMode == 0 || settings.blendMode == 8) && keyKept) {
      r->useAlphaChannel = image->request.alpha;
      r->useTransparentColor = image->request.colorKey;
    } else {
      r->useAlphaChannel = 1;
    }
  }
  const DrawBrightness& b = settings.brightness;
  const bool white = b.red == 255 && b.green == 255 && b.blue == 255;
  r->colorModulate = ((flags & kPrepareForceColorModulate) != 0 || !white || gColorModulationHeld) ? 1 : 0;
  r->alphaModulate =
      ((flags & kPrepareForceAlphaModulate) != 0 || settings.blendMode != 0 || settings.vertexAlpha != 0) ? 1 : 0;
  r->colorReplace = settings.colorReplace != 0 ? 1 : 0;
  r->texture = texture;
  r->blendTexture = BlendMaskTexture();
  r->blendTextureFade = settings.blendMaskFade;
  r->blendTextureRange = settings.blendMaskRange;
  r->blendMode = settings.blendMode;
  r->alphaTestFunction = settings.userAlphaTestFunction;
  r->alphaTestReference = settings.userAlphaTestReference;
}

// Every field is written on every path: zeroing the whole record first costs
// more than the rest of the work of an unchanged draw.
DrawRequest MakeDrawRequest(const DrawSettingsBlock& settings, const GraphImage* image,
                            plat::IDirect3DBaseTexture9* texture, int flags) {
  DrawRequest r;
  r.flags = flags;
  r.lighting = (flags & kPrepareLighting) != 0 && settings.lightingOff == 0 ? 1 : 0;
  r.diffuseMaterialSource = r.lighting != 0 ? settings.diffuseMaterialSource : 0;
  r.specularMaterialSource = r.lighting != 0 ? settings.specularMaterialSource : 0;
  r.specular = (settings.specular == 0 && (flags & kPrepareSpecular) != 0) ? 1 : 0;
  r.depth = (flags & kPrepare3DDepth) != 0 ? settings.depth3D : settings.depth2D;
  r.fillMode = settings.fillMode;
  r.fogEnable = ((flags & kPrepareUseFog) != 0 && settings.fogEnable != 0) ? 1 : 0;
  if ((flags & kPrepareKeepTextureAndBlend) == 0) {
    FillTextureAndBlend(settings, image, texture, flags, &r);
  } else {
    r.colorModulate = r.alphaModulate = r.colorReplace = 0;
    r.texture = r.blendTexture = nullptr;
    r.blendTextureFade = r.blendTextureRange = r.blendMode = 0;
    r.useAlphaChannel = r.useTransparentColor = 0;
    r.alphaTestFunction = r.alphaTestReference = 0;
  }
  r.shadeMode = static_cast<int>((flags & kPrepareGouraud) != 0 ? plat::D3DSHADE_GOURAUD : plat::D3DSHADE_FLAT);
  r.filterMode = settings.filterMode;
  r.maxAnisotropy = settings.maxAnisotropy;
  r.cullMode = settings.cullMode;
  return r;
}

// A flag of the pending state that is not recorded by the cache's setters.
void UpdatePendingFlag(std::int32_t* flag, int value) {
  if (*flag == value) return;
  FlushVertexBatch();
  *flag = value;
  GetDeviceStateCache().pending.blendDirty = 1;
}

void ApplyTextureAndBlend(const DrawRequest& r) {
  PendingDrawState& state = GetPendingDrawState();
  UpdatePendingFlag(&state.colorModulate, r.colorModulate);
  UpdatePendingFlag(&state.alphaModulate, r.alphaModulate);
  UpdatePendingFlag(&state.colorReplace, r.colorReplace);
  SetPendingTexture(r.texture);
  SetPendingBlendTexture(r.blendTexture, r.blendTextureFade, r.blendTextureRange);
  SetPendingBlendState(r.blendMode, r.useAlphaChannel, r.useTransparentColor);
  SetPendingAlphaTest(r.alphaTestFunction, r.alphaTestReference);
  ApplyPendingDrawStateIfChanged();
}

void ApplySamplerAddressing(const DrawSettingsBlock& settings, int flags) {
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

void ApplyDrawRequest(DrawSettingsBlock& settings, const DrawRequest& r) {
  // The 2D path draws with the fixed-function pipeline.
  if ((r.flags & kPrepareKeepShaders) == 0) ClearCurrentShaders();
  if (r.lighting != 0 && (settings.lightsChanged != 0 || GetLightPacking().forceReapply != 0)) {
    ApplyLightsToDevice();
  } else {
    ApplyLightingState(r.lighting);
  }
  if (r.lighting != 0) {
    if (settings.materialDirty != 0) {
      ApplyMaterial(&settings.material);
      settings.materialDirty = 0;
    }
    ApplyDiffuseMaterialSource(r.diffuseMaterialSource);
    ApplySpecularMaterialSource(r.specularMaterialSource);
  }
  ApplySpecularState(r.specular);
  ApplyDepthTestState(r.depth.enable != 0 ? 1 : 0);
  ApplyDepthWriteState(r.depth.enable != 0 ? r.depth.writeEnable : 0);
  ApplyDepthFunc(r.depth.compareFunction);
  ApplyDepthBias(r.depth.bias);
  ApplyFillMode(r.fillMode);
  ApplyFogEnable(r.fogEnable);
  if ((r.flags & kPrepareKeepTextureAndBlend) == 0) ApplyTextureAndBlend(r);
  ApplyShadeMode(r.shadeMode);
  ApplySamplerFilterMode(r.filterMode);
  ApplyMaxAnisotropy(r.maxAnisotropy);
  ApplyCullMode(r.cullMode);
  ApplySamplerAddressing(settings, r.flags);
}

// Whether the last full preparation still stands for this request: same
// device, nothing flushed or sent since (every state change flushes the batch
// first, and the serial counts both), no re-send pending and none of the
// one-time work (lights, material, pending set-up) waiting.
bool LastPreparationStands(const DrawSettingsBlock& settings, plat::IDirect3DDevice9* device, const DrawRequest& r) {
  const DeviceStateCache& cache = GetDeviceStateCache();
  if (!gLast.valid || (r.flags & kPrepareUserAddressModes) != 0 || gLast.device != device ||
      gLast.stateSerial != cache.stateSerial || cache.forceResend != 0 || cache.pending.blendDirty != 0 ||
      cache.pending.textureDirty != 0 || gLast.stagesInUse != GetPendingDrawState().stagesInUse) {
    return false;
  }
  if (r.lighting != 0 &&
      (settings.lightsChanged != 0 || settings.materialDirty != 0 || GetLightPacking().forceReapply != 0)) {
    return false;
  }
  return gLast.request == r;
}

}  // namespace

void HoldColorModulation(bool held) { gColorModulationHeld = held; }

int PrepareGraphDrawState(const GraphImage* image, plat::IDirect3DBaseTexture9* texture, int flags) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return -1;
  DrawSettingsBlock& settings = GetDrawSettings();
  const DrawRequest request = MakeDrawRequest(settings, image, texture, flags);
  if (LastPreparationStands(settings, device, request)) return 0;
  ApplyDrawRequest(settings, request);
  gLast = {request, device, GetDeviceStateCache().stateSerial, GetPendingDrawState().stagesInUse, true};
  return 0;
}

}  // namespace qz
