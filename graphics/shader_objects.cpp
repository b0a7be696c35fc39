// Shader objects: whether shaders are on for the device, the objects made
// from the pack's code slots, and the shaders currently set. The objects
// belong to the device and go with it; the pack outlives devices.
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/device_release.h"
#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/graphics_state.h"
#include "graphics/shader_objects.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr float kVertexConstant0[4] = {0.0f, 1.0f, 0.0f, 0.0f};
constexpr float kPixelConstant0[4] = {0.0f, 0.5f, 1.0f, 2.0f};

struct ShaderObjects {
  plat::IDirect3DVertexShader9* vertex[kVertexShaderCodeSlots];
  plat::IDirect3DPixelShader9* pixel[kPixelShaderCodeSlots];
  int currentVertex;  // code slot of the shader set on the device, -1 none
  int currentPixel;
  // The device has none of the constants the shadow banks hold yet.
  bool fullConstantUploadPending;
};

ShaderObjects gObjects = [] {
  ShaderObjects objects{};
  objects.currentVertex = -1;
  objects.currentPixel = -1;
  return objects;
}();

plat::IDirect3DVertexShader9* MakeVertexShader(int slot) {
  plat::IDirect3DVertexShader9*& object = gObjects.vertex[slot];
  const std::uint32_t* code = GetVertexShaderCode(slot);
  if (object == nullptr && code != nullptr && plat::FAILED(CurrentDevice()->CreateVertexShader(code, &object))) {
    object = nullptr;
  }
  return object;
}

plat::IDirect3DPixelShader9* MakePixelShader(int slot) {
  plat::IDirect3DPixelShader9*& object = gObjects.pixel[slot];
  const std::uint32_t* code = GetPixelShaderCode(slot);
  if (object == nullptr && code != nullptr && plat::FAILED(CurrentDevice()->CreatePixelShader(code, &object))) {
    object = nullptr;
  }
  return object;
}

}  // namespace

int SetupProgrammableShaders() {
  ReleaseShaderObjects();
  DeviceStateCache& cache = GetDeviceStateCache();
  cache.shadersOn = 0;
  const DeviceCapabilities& caps = GetGraphicsState().caps;
  if (CurrentDevice() != nullptr && caps.vertexShader20 != 0 && caps.pixelShader20 != 0) {
    cache.shadersOn = 1;
    if (LoadShaderPack() == 0) {
      AppendLogText(text::kShaderPackMemoryFailed);
      cache.shadersOn = 0;
    } else if (MakeVertexShader(kTestVertexShaderSlot) == nullptr || MakePixelShader(kTestPixelShaderSlot) == nullptr) {
      cache.shadersOn = 0;
    }
  }
  AppendLogText(cache.shadersOn != 0 ? text::kShadersOn : text::kShadersOff);
  gObjects.fullConstantUploadPending = cache.shadersOn != 0;
  SetVertexShaderConstants(0, kVertexConstant0, 1);
  SetPixelShaderConstants(0, kPixelConstant0, 1);
  return 0;
}

int ReleaseShaderObjects() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return 0;
  UnsetDeviceShaders();
  for (plat::IDirect3DPixelShader9*& object : gObjects.pixel) ReleaseAndClear(&object);
  for (plat::IDirect3DVertexShader9*& object : gObjects.vertex) ReleaseAndClear(&object);
  return 0;
}

int SetPackShaders(int vertexSlot, int pixelSlot) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || GetDeviceStateCache().shadersOn == 0 || vertexSlot < -1 ||
      vertexSlot >= kVertexShaderCodeSlots || pixelSlot < -1 || pixelSlot >= kPixelShaderCodeSlots) {
    return -1;
  }
  plat::IDirect3DVertexShader9* vertex = vertexSlot >= 0 ? MakeVertexShader(vertexSlot) : nullptr;
  plat::IDirect3DPixelShader9* pixel = pixelSlot >= 0 ? MakePixelShader(pixelSlot) : nullptr;
  if ((vertexSlot >= 0 && vertex == nullptr) || (pixelSlot >= 0 && pixel == nullptr)) return -1;
  FlushVertexBatch();
  UploadPendingShaderConstants();
  if (plat::FAILED(device->SetVertexShader(vertex)) || plat::FAILED(device->SetPixelShader(pixel))) {
    UnsetDeviceShaders();
    return -1;
  }
  gObjects.currentVertex = vertexSlot;
  gObjects.currentPixel = pixelSlot;
  return 0;
}

void ClearCurrentShaders() {
  if (gObjects.currentVertex >= 0 || gObjects.currentPixel >= 0) UnsetDeviceShaders();
}

void UnsetDeviceShaders() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device != nullptr) {
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
  }
  ForgetCurrentShaders();
}

void ForgetCurrentShaders() {
  gObjects.currentVertex = -1;
  gObjects.currentPixel = -1;
}

plat::IDirect3DVertexShader9* GetVertexShaderObject(int slot) {
  return slot >= 0 && slot < kVertexShaderCodeSlots ? gObjects.vertex[slot] : nullptr;
}

plat::IDirect3DPixelShader9* GetPixelShaderObject(int slot) {
  return slot >= 0 && slot < kPixelShaderCodeSlots ? gObjects.pixel[slot] : nullptr;
}

void UploadPendingShaderConstants() {
  if (!gObjects.fullConstantUploadPending) return;
  DeviceStateCache& cache = GetDeviceStateCache();
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || cache.shadersOn == 0) return;
  gObjects.fullConstantUploadPending = false;
  device->SetVertexShaderConstantF(0, &cache.vertexShaderConstants[0][0], kVertexShaderConstantCount);
  device->SetPixelShaderConstantF(0, &cache.pixelShaderConstants[0][0], kPixelShaderConstantCount);
}

}  // namespace qz
