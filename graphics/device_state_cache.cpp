// The cache record and the render-state setters: depth, rasterisation,
// lighting switches, material sources and fog. Each sends only a changed
// value (or every value while the force-resend flag is set) and flushes the
// pending batch first, so gathered vertices keep the state they were
// gathered under.
#include "graphics/device_state_cache.h"

#include <bit>

#include "graphics/device_state_internal.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr float kEulerNumber = 2.71828f;
// Vertex-shader register of the fog factors: end / (end - start),
// -1 / (end - start), density, e; c1 belongs to the lighting.
constexpr int kFogShaderConstant = 10;
// Vertex-shader boolean registers 0 to 3 select the fog formula.
constexpr int kFogModeShaderBooleans = 0;

std::uint32_t CullModeToDevice(int mode) {
  switch (mode) {
    case kCullCounterClockwise:
      return plat::D3DCULL_CCW;
    case kCullClockwise:
      return plat::D3DCULL_CW;
    default:
      return plat::D3DCULL_NONE;
  }
}

// The shared steps of the integer render-state setters.
int ApplyRenderState(std::int32_t* cached, int value, int state, std::uint32_t deviceValue, bool flush) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (GetDeviceStateCache().forceResend == 0 && *cached == value) return 0;
  if (flush) {
    FlushVertexBatch();
  } else {
    ++GetDeviceStateCache().stateSerial;
  }
  if (plat::FAILED(device->SetRenderState(static_cast<std::uint32_t>(state), deviceValue))) return -1;
  *cached = value;
  return 0;
}

int ApplyFogShaderConstant() {
  const DeviceStateCache& cache = GetDeviceStateCache();
  const float range = cache.fogEnd - cache.fogStart;
  const float reciprocal = range != 0.0f ? 1.0f / range : 0.0f;
  const float factors[4] = {cache.fogEnd * reciprocal, -reciprocal, cache.fogDensity, kEulerNumber};
  return SetVertexShaderConstants(kFogShaderConstant, factors, 1);
}

}  // namespace

plat::IDirect3DDevice9* CurrentDevice() { return GetGraphicsState().device; }

int ApplyDepthTestState(int on) {
  DeviceStateCache& cache = GetDeviceStateCache();
  return ApplyRenderState(&cache.depthTest, on, plat::D3DRS_ZENABLE, on == 1 ? plat::D3DZB_TRUE : plat::D3DZB_FALSE,
                          true);
}

int SetDepthTestState(int on) { return ApplyDepthTestState(on); }

int ApplyDepthWriteState(int on) {
  return ApplyRenderState(&GetDeviceStateCache().depthWrite, on, plat::D3DRS_ZWRITEENABLE,
                          static_cast<std::uint32_t>(on), true);
}

int ApplyDepthFunc(int function) {
  return ApplyRenderState(&GetDeviceStateCache().depthFunc, function, plat::D3DRS_ZFUNC,
                          static_cast<std::uint32_t>(function), true);
}

int ApplyDepthBias(int bias) {
  return ApplyRenderState(&GetDeviceStateCache().depthBias, bias, plat::D3DRS_DEPTHBIAS,
                          static_cast<std::uint32_t>(bias), true);
}

int ApplyFillMode(int mode) {
  return ApplyRenderState(&GetDeviceStateCache().fillMode, mode, plat::D3DRS_FILLMODE,
                          static_cast<std::uint32_t>(mode), true);
}

int ApplyShadeMode(int mode) {
  return ApplyRenderState(&GetDeviceStateCache().shadeMode, mode, plat::D3DRS_SHADEMODE,
                          static_cast<std::uint32_t>(mode), true);
}

int ApplyCullMode(int mode) {
  return ApplyRenderState(&GetDeviceStateCache().cullMode, mode, plat::D3DRS_CULLMODE, CullModeToDevice(mode), true);
}

int ApplyLightingState(int on) {
  return ApplyRenderState(&GetDeviceStateCache().lighting, on, plat::D3DRS_LIGHTING, static_cast<std::uint32_t>(on),
                          false);
}

int SetLightingState(int on) { return ApplyLightingState(on); }

int ApplySpecularState(int on) {
  return ApplyRenderState(&GetDeviceStateCache().specular, on, plat::D3DRS_SPECULARENABLE,
                          static_cast<std::uint32_t>(on), true);
}

int ApplyDiffuseMaterialSource(int fromVertex) {
  return ApplyRenderState(&GetDeviceStateCache().diffuseMaterialSource, fromVertex, plat::D3DRS_DIFFUSEMATERIALSOURCE,
                          fromVertex != 0 ? plat::D3DMCS_COLOR1 : plat::D3DMCS_MATERIAL, true);
}

int ApplySpecularMaterialSource(int fromVertex) {
  return ApplyRenderState(&GetDeviceStateCache().specularMaterialSource, fromVertex,
                          plat::D3DRS_SPECULARMATERIALSOURCE,
                          fromVertex != 0 ? plat::D3DMCS_COLOR2 : plat::D3DMCS_MATERIAL, true);
}

int ApplyFogEnable(int on) {
  return ApplyRenderState(&GetDeviceStateCache().fogEnable, on, plat::D3DRS_FOGENABLE, static_cast<std::uint32_t>(on),
                          true);
}

int ApplyFogVertexMode(int mode) {
  DeviceStateCache& cache = GetDeviceStateCache();
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (cache.forceResend == 0 && cache.fogVertexMode == mode) return 0;
  FlushVertexBatch();
  if (plat::FAILED(device->SetRenderState(plat::D3DRS_FOGVERTEXMODE, static_cast<std::uint32_t>(mode)))) return -1;
  cache.fogVertexMode = mode;
  if (cache.shadersOn != 0) {
    const plat::BOOL formula[4] = {mode == 3, mode == 1, mode == 2, mode != 0};
    device->SetVertexShaderConstantB(kFogModeShaderBooleans, formula, 4);
  }
  return 0;
}

int ApplyFogColor(std::uint32_t color) {
  DeviceStateCache& cache = GetDeviceStateCache();
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (cache.forceResend == 0 && cache.fogColor == color) return 0;
  FlushVertexBatch();
  if (plat::FAILED(device->SetRenderState(plat::D3DRS_FOGCOLOR, color))) return -1;
  cache.fogColor = color;
  return 0;
}

int ApplyFogRange(float start, float end) {
  DeviceStateCache& cache = GetDeviceStateCache();
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  FlushVertexBatch();
  const bool force = cache.forceResend != 0;
  if (force || cache.fogStart != start) {
    device->SetRenderState(plat::D3DRS_FOGSTART, std::bit_cast<std::uint32_t>(start));
    cache.fogStart = start;
  }
  if (force || cache.fogEnd != end) {
    device->SetRenderState(plat::D3DRS_FOGEND, std::bit_cast<std::uint32_t>(end));
    cache.fogEnd = end;
  }
  return ApplyFogShaderConstant();
}

int ApplyFogDensity(float density) {
  DeviceStateCache& cache = GetDeviceStateCache();
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (cache.forceResend == 0 && cache.fogDensity == density) return 0;
  FlushVertexBatch();
  device->SetRenderState(plat::D3DRS_FOGDENSITY, std::bit_cast<std::uint32_t>(density));
  cache.fogDensity = density;
  return ApplyFogShaderConstant();
}

int SetPendingBlendState(int mode, int useAlphaChannel, int useTransparentColor) {
  PendingDrawValues& pending = GetDeviceStateCache().pending;
  if (pending.blendMode == mode && pending.useAlphaChannel == useAlphaChannel &&
      pending.useTransparentColor == useTransparentColor) {
    return 0;
  }
  FlushVertexBatch();
  pending.blendMode = mode;
  pending.useAlphaChannel = useAlphaChannel;
  pending.useTransparentColor = useTransparentColor;
  pending.blendDirty = 1;
  return 0;
}

int SetPendingAlphaTest(int function, int reference) {
  PendingDrawValues& pending = GetDeviceStateCache().pending;
  if (pending.alphaTestFunction == function && pending.alphaTestReference == reference) return 0;
  FlushVertexBatch();
  pending.alphaTestFunction = function;
  pending.alphaTestReference = reference;
  pending.blendDirty = 1;
  return 0;
}

int SetPendingTexture(plat::IDirect3DBaseTexture9* texture) {
  PendingDrawValues& pending = GetDeviceStateCache().pending;
  if (pending.texture == texture) return 0;
  FlushVertexBatch();
  // One texture for another keeps the stage set-up; to or from none it does not.
  if (pending.texture != nullptr && texture != nullptr) {
    pending.textureDirty = 1;
  } else {
    pending.blendDirty = 1;
  }
  pending.texture = texture;
  return 0;
}

int SetPendingBlendTexture(plat::IDirect3DBaseTexture9* texture, int border, int range) {
  PendingDrawValues& pending = GetDeviceStateCache().pending;
  const int newBorder = border == -1 ? pending.blendTextureBorder : border;
  const int newRange = range == -1 ? pending.blendTextureRange : range;
  if (pending.blendTexture == texture && pending.blendTextureBorder == newBorder &&
      pending.blendTextureRange == newRange) {
    return 0;
  }
  FlushVertexBatch();
  pending.blendTexture = texture;
  pending.blendTextureBorder = newBorder;
  pending.blendTextureRange = newRange;
  pending.blendDirty = 1;
  return 0;
}

}  // namespace qz
