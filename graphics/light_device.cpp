// Lights, material, ambient colour and camera on the device. Everything is
// cached on the library side as well, so a device rebuild can send it again
// and the shader constants (kept in the shadow registers even while shaders
// are off) always match the fixed-function state.
#include "graphics/light_device.h"

#include <cmath>
#include <cstring>

#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/draw_target.h"
#include "graphics/matrix_settings.h"
#include "graphics/shader_objects.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

// Shader constant registers of the lighting model.
constexpr int kAmbientConstant = 1;
constexpr int kMaterialVertexConstant = 11;
constexpr int kMaterialPixelConstant = 2;
constexpr int kShaderLightCount = 4;
constexpr int kLightVertexConstant = 14;
constexpr int kLightVertexStride = 7;
constexpr int kLightVertexAmbientOffset = 4;
constexpr int kLightPixelConstant = 9;
constexpr int kLightPixelStride = 3;
constexpr int kLightPixelAmbientOffset = 2;
constexpr int kLightBooleanConstant = 4;
constexpr int kLightBooleanStride = 3;

static_assert(sizeof(LightParameters) == sizeof(plat::D3DLIGHT9), "a light record holds a D3DLIGHT9");
static_assert(sizeof(MaterialSettings) == sizeof(plat::D3DMATERIAL9), "the material is a D3DMATERIAL9");

struct DeviceLights {
  LightParameters lights[kDeviceLightCount];
  bool enabled[kDeviceLightCount];
  int highestEnabled;
  std::uint32_t ambientColor;
  float ambient[4];
};

DeviceLights gDeviceLights{};
CameraMatrices gCamera{};

plat::D3DLIGHT9 ToDeviceLight(const LightParameters& light) {
  plat::D3DLIGHT9 out;
  std::memcpy(&out, &light, sizeof(out));
  return out;
}

// Direction by the view's rotation only.
Vector3 RotateByView(const Vector3& v, const Matrix4x4& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0], v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

void UploadLightGeometry(int index, const LightParameters& light, const Matrix4x4& view) {
  Vector3 position;
  TransformVector3(&position, &light.position, &view);
  const Vector3 direction = RotateByView(light.direction, view);
  const float geometry[2][4] = {{position.x, position.y, position.z, 1.0f},
                                {direction.x, direction.y, direction.z, 0.0f}};
  SetVertexShaderConstants(kLightVertexConstant + kLightVertexStride * index, &geometry[0][0], 2);
}

void UploadLightConstants(int index, const LightParameters& light) {
  UploadLightGeometry(index, light, GetDrawSettings().viewMatrix);
  const float halfTheta = light.theta * 0.5f;
  const float halfPhi = light.phi * 0.5f;
  const float cosTheta = std::cos(halfTheta);
  const float cosPhi = std::cos(halfPhi);
  const float spread = cosTheta - cosPhi;
  const float rest[4][4] = {
      {light.diffuse[0], light.diffuse[1], light.diffuse[2], light.diffuse[3]},
      {light.specular[0], light.specular[1], light.specular[2], light.specular[3]},
      {0.0f, 0.0f, 0.0f, 0.0f},  // the ambient product, written by the colour upload
      {light.attenuation0, light.attenuation1, light.attenuation2, light.range * light.range}};
  const int first = kLightVertexConstant + kLightVertexStride * index;
  SetVertexShaderConstants(first + 2, &rest[0][0], 2);
  SetVertexShaderConstants(first + 5, &rest[3][0], 1);
  const float cone[4] = {cosTheta, cosPhi, spread != 0.0f ? 1.0f / spread : 0.0f, light.falloff};
  SetVertexShaderConstants(first + 6, cone, 1);
  SetPixelShaderConstants(kLightPixelConstant + kLightPixelStride * index, &rest[0][0], 2);
}

void UploadLightBooleans(int index) {
  const DeviceStateCache& cache = GetDeviceStateCache();
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (cache.shadersOn == 0 || device == nullptr || index >= kShaderLightCount) return;
  const LightParameters& light = gDeviceLights.lights[index];
  const plat::BOOL flags[3] = {gDeviceLights.enabled[index] ? 1 : 0,
                               light.type == kLightPoint || light.type == kLightSpot ? 1 : 0,
                               light.type == kLightSpot ? 1 : 0};
  device->SetVertexShaderConstantB(static_cast<std::uint32_t>(kLightBooleanConstant + kLightBooleanStride * index),
                                   flags, 3);
}

// Packs the enabled lights of one type from device index `next`; returns the next free index.
int PackLightsOfType(int type, int next, bool force) {
  for (int slot = 0; slot < GetLightSlotEnd(); ++slot) {
    LightRecord* record = GetLightRecordAtSlot(slot);
    if (record == nullptr || record->light.type != type) continue;
    if (record->enabled == 0) {
      record->deviceIndex = -1;
      continue;
    }
    if (force || record->deviceIndex != next || record->changed != 0) {
      ApplyLightAndEnable(next, 1, &record->light);
    }
    record->deviceIndex = next;
    record->changed = 0;
    ++next;
  }
  return next;
}

}  // namespace

int ApplyLightsToDevice() {
  DrawSettingsBlock& settings = GetDrawSettings();
  ApplyLightingState(settings.lightingOff == 0 ? 1 : 0);
  LightPacking& packing = GetLightPacking();
  if (settings.lightsChanged == 0 && packing.forceReapply == 0) return 0;
  const bool force = packing.forceReapply != 0;
  int next = 0;
  for (const int type : {kLightDirectional, kLightSpot, kLightPoint}) next = PackLightsOfType(type, next, force);
  for (int index = next; index < packing.lastDeviceIndex; ++index) ApplyLightEnable(index, 0);
  packing.nextDeviceIndex = next;
  packing.lastDeviceIndex = next;
  packing.forceReapply = 0;
  settings.lightsChanged = 0;
  return 0;
}

int ApplyLightToDevice(int index, const LightParameters* light) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || light == nullptr || index < 0) return -1;
  FlushVertexBatch();
  if (index < kDeviceLightCount) gDeviceLights.lights[index] = *light;
  if (index < kShaderLightCount) {
    UploadLightConstants(index, *light);
    UploadLightColorConstants();
    UploadLightBooleans(index);
  }
  const plat::D3DLIGHT9 deviceLight = ToDeviceLight(*light);
  return plat::FAILED(device->SetLight(static_cast<std::uint32_t>(index), &deviceLight)) ? -1 : 0;
}

int ApplyLightEnable(int index, int enable) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || index < 0) return -1;
  FlushVertexBatch();
  if (index < kDeviceLightCount) {
    gDeviceLights.enabled[index] = enable != 0;
    int& highest = gDeviceLights.highestEnabled;
    if (enable != 0 && index > highest) highest = index;
    if (enable == 0 && index == highest) {
      while (highest > 0 && !gDeviceLights.enabled[highest]) --highest;
    }
    UploadLightColorConstants();
    UploadLightBooleans(index);
  }
  return plat::FAILED(device->LightEnable(static_cast<std::uint32_t>(index), enable != 0 ? 1 : 0)) ? -1 : 0;
}

int ApplyMaterial(const MaterialSettings* material) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || material == nullptr) return -1;
  DeviceStateCache& cache = GetDeviceStateCache();
  const bool force = GetLightPacking().forceReapply != 0 || cache.forceResend != 0;
  if (!force && std::memcmp(&cache.material, material, sizeof(cache.material)) == 0) return 0;
  FlushVertexBatch();
  std::memcpy(&cache.material, material, sizeof(cache.material));
  const float constants[3][4] = {{material->diffuse[0], material->diffuse[1], material->diffuse[2], material->diffuse[3]},
                                 {material->specular[0], material->specular[1], material->specular[2],
                                  material->specular[3]},
                                 {material->power, 0.0f, 0.0f, 0.0f}};
  SetVertexShaderConstants(kMaterialVertexConstant, &constants[0][0], 3);
  SetPixelShaderConstants(kMaterialPixelConstant, &constants[0][0], 3);
  UploadLightColorConstants();
  return plat::FAILED(device->SetMaterial(&cache.material)) ? -1 : 0;
}

int ApplyAmbientColor(std::uint32_t color) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  gDeviceLights.ambientColor = color;
  const int shifts[4] = {16, 8, 0, 24};
  for (int channel = 0; channel < 4; ++channel) {
    gDeviceLights.ambient[channel] = static_cast<float>((color >> shifts[channel]) & 0xFFu) / 255.0f;
  }
  UploadLightColorConstants();
  return plat::FAILED(device->SetRenderState(plat::D3DRS_AMBIENT, color)) ? -1 : 0;
}

int UploadLightColorConstants() {
  UploadPendingShaderConstants();
  const plat::D3DMATERIAL9& material = GetDeviceStateCache().material;
  const float* materialAmbient = &material.Ambient.r;
  const float* emissive = &material.Emissive.r;
  float global[4];
  for (int c = 0; c < 4; ++c) global[c] = gDeviceLights.ambient[c] * materialAmbient[c] + emissive[c];
  SetVertexShaderConstants(kAmbientConstant, global, 1);
  SetPixelShaderConstants(kAmbientConstant, global, 1);
  // Only registers inside the shadow banks: later lights have no product there.
  for (int index = 0; index <= gDeviceLights.highestEnabled && index < kDeviceLightCount; ++index) {
    if (!gDeviceLights.enabled[index]) continue;
    const LightParameters& light = gDeviceLights.lights[index];
    float product[4];
    for (int c = 0; c < 4; ++c) product[c] = light.ambient[c] * materialAmbient[c];
    const int vertexRegister = kLightVertexConstant + kLightVertexStride * index + kLightVertexAmbientOffset;
    const int pixelRegister = kLightPixelConstant + kLightPixelStride * index + kLightPixelAmbientOffset;
    if (vertexRegister < kVertexShaderConstantCount) SetVertexShaderConstants(vertexRegister, product, 1);
    if (pixelRegister < kPixelShaderConstantCount) SetPixelShaderConstants(pixelRegister, product, 1);
  }
  return 0;
}

void UploadViewSpaceLightConstants(const Matrix4x4* view) {
  if (view == nullptr) return;
  for (int index = 0; index < kShaderLightCount; ++index) {
    UploadLightGeometry(index, gDeviceLights.lights[index], *view);
  }
}

void ForgetDeviceLights() {
  gDeviceLights = DeviceLights{};
  GetLightPacking() = LightPacking{};
}

const LightParameters* GetDeviceLight(int index) {
  return index >= 0 && index < kDeviceLightCount ? &gDeviceLights.lights[index] : nullptr;
}

int IsDeviceLightEnabled(int index) {
  return index >= 0 && index < kDeviceLightCount && gDeviceLights.enabled[index] ? 1 : 0;
}

std::uint32_t GetAmbientColor() { return gDeviceLights.ambientColor; }

int RebuildProjectionMatrix() {
  DrawSettingsBlock& settings = GetDrawSettings();
  const int width = GetDrawTargetWidth();
  const int height = GetDrawTargetHeight();
  const float aspect = settings.projectionMode == 2 || width <= 0
                           ? 0.0f
                           : static_cast<float>(height) / static_cast<float>(width) * settings.aspectFactor;
  if (settings.projectionMode == 0) {
    MakePerspectiveMatrix(&settings.userProjection, settings.fieldOfView, settings.nearClip, settings.farClip, aspect);
  } else if (settings.projectionMode == 1) {
    MakeOrthographicMatrix(&settings.userProjection, settings.orthographicSize, settings.nearClip, settings.farClip,
                           aspect);
  }
  const Matrix4x4 projection = settings.userProjection;
  return StoreProjectionMatrix(&projection);
}

int SetCameraClipDistances(float nearDistance, float farDistance) {
  DrawSettingsBlock& settings = GetDrawSettings();
  settings.nearClip = nearDistance;
  settings.farClip = farDistance;
  RebuildProjectionMatrix();
  return 0;
}

int UsePerspectiveProjection(float fieldOfView) {
  DrawSettingsBlock& settings = GetDrawSettings();
  settings.projectionMode = 0;
  settings.fieldOfView = fieldOfView;
  RebuildProjectionMatrix();
  return 0;
}

int UseUserProjectionMatrix(const Matrix4x4* matrix) {
  if (matrix == nullptr) return -1;
  DrawSettingsBlock& settings = GetDrawSettings();
  settings.projectionMode = 2;
  settings.userProjection = *matrix;
  RebuildProjectionMatrix();
  return 0;
}

void MarkCameraMatricesStale() { gCamera.stale = 1; }

int RebuildCameraMatrices() {
  if (gCamera.stale == 0) return 0;
  const DrawSettingsBlock& settings = GetDrawSettings();
  Matrix4x4 projected;
  MultiplyMatrix4(&projected, &settings.viewMatrix, &settings.projectionMatrix);
  MultiplyMatrix4(&gCamera.viewProjection, &projected, &settings.projectionAdjustMatrix);
  MultiplyMatrix4(&gCamera.worldViewProjection, &GetDeviceStateCache().worldMatrix, &gCamera.viewProjection);
  const auto& v = settings.viewMatrix.m;
  gCamera.right = {v[0][0], v[1][0], v[2][0]};
  gCamera.up = {v[0][1], v[1][1], v[2][1]};
  gCamera.forward = {v[0][2], v[1][2], v[2][2]};
  gCamera.stale = 0;
  return 0;
}

const CameraMatrices& GetCameraMatrices() { return gCamera; }

}  // namespace qz
