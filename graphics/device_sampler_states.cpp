// Sampler and texture-stage setters of the device state cache: filters,
// anisotropy, address modes, texture transforms and coordinate indexes.
// Each sampler's state is compared with its own cached value.

#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/pending_draw_state.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kTransformedStages = 4;

struct FilterTriple {
  std::int32_t mag;
  std::int32_t min;
  std::int32_t mip;
};

FilterTriple FiltersOfMode(int mode) {
  switch (mode) {
    case kFilterLinear:
      return {plat::D3DTEXF_LINEAR, plat::D3DTEXF_LINEAR, plat::D3DTEXF_NONE};
    case kFilterAnisotropic:
      return {plat::D3DTEXF_LINEAR, plat::D3DTEXF_ANISOTROPIC, plat::D3DTEXF_LINEAR};
    default:
      return {plat::D3DTEXF_POINT, plat::D3DTEXF_POINT, plat::D3DTEXF_NONE};
  }
}

int SamplersInUse() {
  const int stages = GetPendingDrawState().stagesInUse;
  return stages < 0 ? 0 : (stages > kCachedSamplerCount ? kCachedSamplerCount : stages);
}

// Sends one sampler state when it differs from its cached value or force is on.
void SendSamplerState(plat::IDirect3DDevice9* device, int sampler, int type, std::int32_t* cached, std::int32_t value,
                      bool force, bool* flushed) {
  if (!force && *cached == value) return;
  if (!*flushed) {
    FlushVertexBatch();
    *flushed = true;
  }
  device->SetSamplerState(static_cast<std::uint32_t>(sampler), static_cast<std::uint32_t>(type),
                          static_cast<std::uint32_t>(value));
  *cached = value;
}

using AddressArray = std::int32_t[kCachedSamplerCount];

// Sampler -1 sends all eight, from 7 down, when any differs.
int ApplyAddressDirection(AddressArray& cached, int type, int sampler, int mode) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (sampler < -1 || sampler >= kCachedSamplerCount) return -1;
  const bool force = GetDeviceStateCache().forceResend != 0;
  if (sampler == -1) {
    bool differs = force;
    for (int i = 0; i < kCachedSamplerCount; ++i) differs = differs || cached[i] != mode;
    if (!differs) return 0;
    FlushVertexBatch();
    for (int i = kCachedSamplerCount - 1; i >= 0; --i) {
      device->SetSamplerState(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(type),
                              static_cast<std::uint32_t>(mode));
      cached[i] = mode;
    }
    return 0;
  }
  bool flushed = false;
  SendSamplerState(device, sampler, type, &cached[sampler], mode, force, &flushed);
  return 0;
}

void SendTextureTransform(plat::IDirect3DDevice9* device, int stage, int on, const Matrix4x4* matrix) {
  if (on == 1) {
    device->SetTextureStageState(static_cast<std::uint32_t>(stage), plat::D3DTSS_TEXTURETRANSFORMFLAGS,
                                 plat::D3DTTFF_COUNT3);
    if (matrix != nullptr) {
      const plat::D3DMATRIX deviceMatrix = ToDeviceMatrix(*matrix);
      device->SetTransform(plat::D3DTS_TEXTURE0 + static_cast<std::uint32_t>(stage), &deviceMatrix);
    }
  } else {
    device->SetTextureStageState(static_cast<std::uint32_t>(stage), plat::D3DTSS_TEXTURETRANSFORMFLAGS,
                                 plat::D3DTTFF_DISABLE);
  }
}

}  // namespace

int ApplySamplerFilterMode(int mode) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (mode < kFilterPoint || mode > kFilterAnisotropic) return -1;
  DeviceStateCache& cache = GetDeviceStateCache();
  const FilterTriple filters = FiltersOfMode(mode);
  const bool force = cache.forceResend != 0;
  bool flushed = false;
  for (int sampler = 0, samplers = SamplersInUse(); sampler < samplers; ++sampler) {
    SendSamplerState(device, sampler, plat::D3DSAMP_MAGFILTER, &cache.magFilter[sampler], filters.mag, force,
                     &flushed);
    SendSamplerState(device, sampler, plat::D3DSAMP_MINFILTER, &cache.minFilter[sampler], filters.min, force,
                     &flushed);
    SendSamplerState(device, sampler, plat::D3DSAMP_MIPFILTER, &cache.mipFilter[sampler], filters.mip, force,
                     &flushed);
  }
  cache.samplerFilterMode = mode;
  return 0;
}

int ApplyMaxAnisotropy(int maximum) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (maximum < 1) maximum = 1;
  DeviceStateCache& cache = GetDeviceStateCache();
  const bool force = cache.forceResend != 0;
  bool flushed = false;
  for (int sampler = 0, samplers = SamplersInUse(); sampler < samplers; ++sampler) {
    SendSamplerState(device, sampler, plat::D3DSAMP_MAXANISOTROPY, &cache.samplerMaxAnisotropy[sampler], maximum,
                     force, &flushed);
  }
  cache.maxAnisotropy = maximum;
  return 0;
}

int ApplySamplerAddressU(int sampler, int mode) {
  return ApplyAddressDirection(GetDeviceStateCache().addressU, plat::D3DSAMP_ADDRESSU, sampler, mode);
}

int ApplySamplerAddressV(int sampler, int mode) {
  return ApplyAddressDirection(GetDeviceStateCache().addressV, plat::D3DSAMP_ADDRESSV, sampler, mode);
}

int ApplySamplerAddressW(int sampler, int mode) {
  return ApplyAddressDirection(GetDeviceStateCache().addressW, plat::D3DSAMP_ADDRESSW, sampler, mode);
}

int ApplySamplerAddress(int sampler, int mode) {
  if (ApplySamplerAddressU(sampler, mode) != 0) return -1;
  if (ApplySamplerAddressV(sampler, mode) != 0) return -1;
  return ApplySamplerAddressW(sampler, mode);
}

int ApplyTextureTransforms(int stage, int on, const Matrix4x4* matrix) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  if (stage < -1 || stage >= kCachedTextureStageCount) return -1;
  DeviceStateCache& cache = GetDeviceStateCache();
  // A stage whose transform is off stays off without a call.
  if (stage != -1 && on == 0 && cache.textureTransformFlags[stage] == 0) return 0;
  FlushVertexBatch();
  const int first = stage == -1 ? 0 : stage;
  const int end = stage == -1 ? kTransformedStages : stage + 1;
  for (int s = first; s < end; ++s) {
    SendTextureTransform(device, s, on, matrix);
    cache.textureTransformFlags[s] = on;
    if (matrix != nullptr) cache.textureTransforms[s] = *matrix;
  }
  return 0;
}

int ResetTexCoordIndices() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  FlushVertexBatch();
  PendingDrawState& pending = GetPendingDrawState();
  for (int stage = 0; stage < kCachedTextureStageCount; ++stage) {
    device->SetTextureStageState(static_cast<std::uint32_t>(stage), plat::D3DTSS_TEXCOORDINDEX,
                                 static_cast<std::uint32_t>(stage));
    pending.stages[stage].texCoordIndex = stage;
  }
  return 0;
}

}  // namespace qz
