// Bringing a device to the cached states: the initial states after every
// device creation, the sampler defaults of every refresh, and the two
// re-send procedures that run with the force-resend flag set.
#include <bit>

#include "graphics/d3d_graph_draw.h"
#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/draw_settings_block.h"
#include "graphics/light_device.h"
#include "graphics/matrix_settings.h"
#include "graphics/pending_draw_state.h"
#include "graphics/screen_present.h"
#include "graphics/shader_objects.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kDefaultSamplerStages = 4;
constexpr std::int32_t kDefaultTexCoordIndices[kDefaultSamplerStages] = {0, 1, 1, 0};
constexpr float kVertexShaderConstant0[4] = {0.0f, 1.0f, 0.0f, 0.0f};
constexpr float kPixelShaderConstant0[4] = {0.0f, 0.5f, 1.0f, 2.0f};
// No filter mode is in force before the first request.
constexpr std::int32_t kFilterModeUnset = 3;

void SendState(plat::IDirect3DDevice9* device, int state, std::uint32_t value) {
  device->SetRenderState(static_cast<std::uint32_t>(state), value);
}

int SendCachedMaterial() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  FlushVertexBatch();
  return plat::FAILED(device->SetMaterial(&GetDeviceStateCache().material)) ? -1 : 0;
}

// Address modes left 0 in the settings mean clamp; each sampler gets them
// and the filters of the filter mode set for new devices.
void SendInitialSamplerStates(plat::IDirect3DDevice9* device, DeviceStateCache& cache) {
  DrawSettingsBlock& settings = GetDrawSettings();
  std::uint32_t filter = plat::D3DTEXF_POINT;
  if (settings.filterMode == kFilterLinear) filter = plat::D3DTEXF_LINEAR;
  if (settings.filterMode == kFilterAnisotropic) filter = plat::D3DTEXF_ANISOTROPIC;
  for (int s = 0; s < kCachedSamplerCount; ++s) {
    if (settings.addressU[s] == 0) settings.addressU[s] = plat::D3DTADDRESS_CLAMP;
    if (settings.addressV[s] == 0) settings.addressV[s] = plat::D3DTADDRESS_CLAMP;
    if (settings.addressW[s] == 0) settings.addressW[s] = plat::D3DTADDRESS_CLAMP;
    const auto sampler = static_cast<std::uint32_t>(s);
    device->SetSamplerState(sampler, plat::D3DSAMP_ADDRESSU, static_cast<std::uint32_t>(settings.addressU[s]));
    device->SetSamplerState(sampler, plat::D3DSAMP_ADDRESSV, static_cast<std::uint32_t>(settings.addressV[s]));
    device->SetSamplerState(sampler, plat::D3DSAMP_ADDRESSW, static_cast<std::uint32_t>(settings.addressW[s]));
    device->SetSamplerState(sampler, plat::D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(sampler, plat::D3DSAMP_MINFILTER, filter);
    device->SetSamplerState(sampler, plat::D3DSAMP_MIPFILTER, filter);
    cache.addressU[s] = settings.addressU[s];
    cache.addressV[s] = settings.addressV[s];
    cache.addressW[s] = settings.addressW[s];
    cache.magFilter[s] = cache.minFilter[s] = cache.mipFilter[s] = static_cast<std::int32_t>(filter);
    cache.samplerMaxAnisotropy[s] = 1;
  }
  cache.maxAnisotropy = 1;
}

void SendInitialRenderStates(plat::IDirect3DDevice9* device) {
  SendState(device, plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  SendState(device, plat::D3DRS_LIGHTING, plat::TRUE);
  SendState(device, plat::D3DRS_SHADEMODE, plat::D3DSHADE_FLAT);
  SendState(device, plat::D3DRS_DITHERENABLE, plat::FALSE);
  SendState(device, plat::D3DRS_SPECULARENABLE, plat::TRUE);
  SendState(device, plat::D3DRS_AMBIENTMATERIALSOURCE, plat::D3DMCS_MATERIAL);
  SendState(device, plat::D3DRS_NORMALIZENORMALS, plat::TRUE);
  SendState(device, plat::D3DRS_FOGENABLE, plat::FALSE);
  SendState(device, plat::D3DRS_FOGVERTEXMODE, plat::D3DFOG_NONE);
  SendState(device, plat::D3DRS_FOGCOLOR, 0);
  SendState(device, plat::D3DRS_FOGSTART, std::bit_cast<std::uint32_t>(0.0f));
  SendState(device, plat::D3DRS_FOGEND, std::bit_cast<std::uint32_t>(1.0f));
}

// The cached values every new device starts from.
void ResetCachedValues(DeviceStateCache& cache) {
  const GraphicsState& graphics = GetGraphicsState();
  cache.depthTest = 1;
  cache.depthWrite = 0;
  cache.depthFunc = plat::D3DCMP_LESSEQUAL;
  cache.depthBias = 0;
  cache.fillMode = plat::D3DFILL_SOLID;
  cache.shadeMode = plat::D3DSHADE_FLAT;
  cache.cullMode = kCullNone;
  cache.lighting = 1;
  cache.specular = 1;
  cache.diffuseMaterialSource = kMaterialSourceUnknown;
  cache.specularMaterialSource = kMaterialSourceUnknown;
  cache.fogEnable = 0;
  cache.fogVertexMode = 0;
  cache.fogColor = 0;
  cache.fogStart = 0.0f;
  cache.fogEnd = 1.0f;
  cache.fogDensity = 0.0f;
  cache.samplerFilterMode = kFilterModeUnset;
  Matrix4x4 identity;
  MakeIdentityMatrix(&identity);
  for (int s = 0; s < kCachedTextureStageCount; ++s) {
    cache.textureTransformFlags[s] = 0;
    cache.textureTransforms[s] = identity;
  }
  cache.worldMatrix = identity;
  cache.viewMatrix = identity;
  cache.projectionMatrix = identity;
  cache.viewport = {0, 0, graphics.screenWidth, graphics.screenHeight, 0.0f, 1.0f};
  cache.scissor = {0, 0, 0, 0};
  cache.pending = PendingDrawValues{nullptr, nullptr, 0, 0, 0, 0, 0, -1, 0, 0, 1};
}

void ResendSamplerFilters(plat::IDirect3DDevice9* device, const DeviceStateCache& cache) {
  for (int s = 0; s < kCachedSamplerCount; ++s) {
    const auto sampler = static_cast<std::uint32_t>(s);
    device->SetSamplerState(sampler, plat::D3DSAMP_MAGFILTER, static_cast<std::uint32_t>(cache.magFilter[s]));
    device->SetSamplerState(sampler, plat::D3DSAMP_MINFILTER, static_cast<std::uint32_t>(cache.minFilter[s]));
    device->SetSamplerState(sampler, plat::D3DSAMP_MIPFILTER, static_cast<std::uint32_t>(cache.mipFilter[s]));
    device->SetSamplerState(sampler, plat::D3DSAMP_MAXANISOTROPY,
                            static_cast<std::uint32_t>(cache.samplerMaxAnisotropy[s]));
  }
}

}  // namespace

int SetupInitialDeviceStates() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  GraphicsState& graphics = GetGraphicsState();
  DeviceStateCache& cache = GetDeviceStateCache();
  PrepareVertexBatchArrays(kVertexSetPreTransformed, kVertexKindOneTexture);
  SendInitialSamplerStates(device, cache);
  SendInitialRenderStates(device);
  device->GetMaterial(&cache.material);

  ResetTextureStageRecords();
  ResetCachedValues(cache);
  GetPendingDrawState().renderTarget = graphics.backBuffer;
  graphics.sceneOpen = 0;
  ForgetLastVertexFormat();

  RefreshAllDeviceStates();
  BeginDeviceScene();
  PrepareGraphDrawState(nullptr, nullptr, 0);
  ApplyPendingDrawStateIfChanged();
  if (GetVertexBatch().vertexCount > 0) FlushVertexBatch();
  // One point is left pending, so the first flush on the device draws.
  const VertexBatch& batch = GetVertexBatch();
  auto* point = static_cast<float*>(
      ReserveBatchVertices(kVertexSetPreTransformed, batch.vertexKind, plat::D3DPT_POINTLIST, 1));
  if (point != nullptr) point[0] = point[1] = point[2] = 0.0f;
  return 0;
}

int SetDefaultSamplerStates() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  FlushVertexBatch();
  DeviceStateCache& cache = GetDeviceStateCache();
  PendingDrawState& pendingState = GetPendingDrawState();
  const bool resultArgument = GetGraphicsState().caps.tssArgTemp != 0;
  for (int s = 0; s < kDefaultSamplerStages; ++s) {
    const auto stage = static_cast<std::uint32_t>(s);
    device->SetSamplerState(stage, plat::D3DSAMP_ADDRESSU, static_cast<std::uint32_t>(cache.addressU[s]));
    device->SetSamplerState(stage, plat::D3DSAMP_ADDRESSV, static_cast<std::uint32_t>(cache.addressV[s]));
    device->SetTextureStageState(stage, plat::D3DTSS_TEXCOORDINDEX,
                                 static_cast<std::uint32_t>(kDefaultTexCoordIndices[s]));
    pendingState.stages[s].texCoordIndex = kDefaultTexCoordIndices[s];
    if (resultArgument) {
      device->SetTextureStageState(stage, plat::D3DTSS_RESULTARG, plat::D3DTA_CURRENT);
      // Unknown to the stage record, so the next set-up that wants it sends it.
      pendingState.stages[s].resultArg = -1;
    }
  }
  SendState(device, plat::D3DRS_SHADEMODE, static_cast<std::uint32_t>(cache.shadeMode));
  SendState(device, plat::D3DRS_LIGHTING, static_cast<std::uint32_t>(cache.lighting));
  // The cached cull mode stays: the refresh sends it again afterwards.
  SendState(device, plat::D3DRS_CULLMODE, plat::D3DCULL_NONE);
  SendState(device, plat::D3DRS_DITHERENABLE, plat::FALSE);
  SetVertexShaderConstants(0, kVertexShaderConstant0, 1);
  SetPixelShaderConstants(0, kPixelShaderConstant0, 1);
  UnsetDeviceShaders();
  ForgetLastVertexFormat();
  return 0;
}

int RefreshAllDeviceStates() {
  if (CurrentDevice() == nullptr) return -1;
  DeviceStateCache& cache = GetDeviceStateCache();
  cache.forceResend = 1;
  const DeviceViewport viewport = cache.viewport;
  const DeviceScissorRect scissor = cache.scissor;
  SetDeviceViewport(&viewport);
  SetDeviceScissorRect(&scissor);
  SetDefaultSamplerStates();
  ApplySamplerFilterMode(cache.samplerFilterMode);
  ApplyPendingDrawState(1, nullptr, 0);
  ApplyDepthTestState(cache.depthTest);
  ApplyDepthWriteState(cache.depthWrite);
  ApplyDepthFunc(cache.depthFunc);
  ApplyDepthBias(cache.depthBias);
  ApplyFillMode(cache.fillMode);
  ApplyCullMode(cache.cullMode);
  ApplyShadeMode(cache.shadeMode);
  SendCachedMaterial();
  ApplySpecularState(cache.specular);
  ApplyDiffuseMaterialSource(cache.diffuseMaterialSource);
  ApplySpecularMaterialSource(cache.specularMaterialSource);
  cache.forceResend = 0;
  return 0;
}

int ForceResendDeviceStates() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  DeviceStateCache& cache = GetDeviceStateCache();
  // The fixed states of the initial set-up that no cached setter covers.
  SendState(device, plat::D3DRS_DITHERENABLE, plat::FALSE);
  SendState(device, plat::D3DRS_AMBIENTMATERIALSOURCE, plat::D3DMCS_MATERIAL);
  SendState(device, plat::D3DRS_NORMALIZENORMALS, plat::TRUE);
  cache.forceResend = 1;
  cache.pending.texture = nullptr;
  DiscardVertexBatch();
  cache.pending.blendDirty = 1;

  ApplyShadeMode(cache.shadeMode);
  // Samplers beyond the stages in use keep their own cached filters.
  ResendSamplerFilters(device, cache);
  ApplySamplerFilterMode(cache.samplerFilterMode);
  ApplyMaxAnisotropy(cache.maxAnisotropy);
  ApplyCullMode(cache.cullMode);
  for (int s = 0; s < kCachedSamplerCount; ++s) {
    ApplySamplerAddressU(s, cache.addressU[s]);
    ApplySamplerAddressV(s, cache.addressV[s]);
    ApplySamplerAddressW(s, cache.addressW[s]);
  }
  for (int s = 0; s < kCachedTextureStageCount; ++s) {
    const Matrix4x4 matrix = cache.textureTransforms[s];
    ApplyTextureTransforms(s, cache.textureTransformFlags[s], &matrix);
  }
  ApplyFogEnable(cache.fogEnable);
  ApplyFogVertexMode(cache.fogVertexMode);
  ApplyFogColor(cache.fogColor);
  ApplyFogRange(cache.fogStart, cache.fogEnd);
  ApplyFogDensity(cache.fogDensity);
  ApplyDepthTestState(cache.depthTest);
  ApplyDepthWriteState(cache.depthWrite);
  ApplyDepthFunc(cache.depthFunc);
  ApplyDepthBias(cache.depthBias);
  ApplyFillMode(cache.fillMode);
  // The transforms as last sent: view (with the world it was built for) and projection.
  const Matrix4x4 view = cache.viewMatrix;
  const Matrix4x4 projection = cache.projectionMatrix;
  const Matrix4x4 world = cache.worldMatrix;
  SetViewMatrixToDevice(&view);
  SetProjectionMatrixToDevice(&projection);
  SetWorldTransformDirect(&world);
  SendCachedMaterial();
  ApplySpecularState(cache.specular);
  ApplyDiffuseMaterialSource(cache.diffuseMaterialSource);
  ApplySpecularMaterialSource(cache.specularMaterialSource);
  ApplyLightingState(cache.lighting);
  ApplyAmbientColor(GetAmbientColor());
  for (int index = 0; index < kDeviceLightCount; ++index) {
    if (IsDeviceLightEnabled(index) != 0) ApplyLightAndEnable(index, 1, GetDeviceLight(index));
  }
  GetLightPacking().forceReapply = 1;
  const DrawSettingsBlock& settings = GetDrawSettings();
  SetViewportFromRect(settings.clipLeft, settings.clipTop, settings.clipRight, settings.clipBottom);
  const DeviceScissorRect scissor = cache.scissor;
  SetDeviceScissorRect(&scissor);
  ResetTexCoordIndices();
  ApplyPendingDrawState(1, nullptr, 0);
  RefreshAllDeviceStates();
  cache.forceResend = 0;
  return 0;
}

}  // namespace qz
