// The lighting model on the device: enabled lights packed onto device light
// indexes, the material and ambient colour, their shader-constant mirrors,
// and the camera (projection mode, field of view, clip distances) from which
// the projection and the combined camera matrices are rebuilt.
#pragma once

#include <cstdint>

#include "core/matrix.h"
#include "graphics/draw_settings_block.h"
#include "graphics/lights.h"

namespace qz {

inline constexpr int kDeviceLightCount = 256;

// Sets D3DRS_LIGHTING from the settings' switch; when the lights changed or a
// re-apply is forced, packs the enabled lights onto indexes 0, 1, 2...:
// directional, then spot, then point lights, each in slot order, and disables
// the indexes no longer used. 0.
int ApplyLightsToDevice();
// Caches the light, fills its shader constants (indexes below 4) and sets it.
// 0, or -1 without a device or when the device refuses.
int ApplyLightToDevice(int index, const LightParameters* light);
int ApplyLightEnable(int index, int enable);
// Sends the material when it differs from the cached one or a re-apply is forced.
int ApplyMaterial(const MaterialSettings* material);
// 0xAARRGGBB.
int ApplyAmbientColor(std::uint32_t color);
// The ambient products of every enabled device light and c1, from the caches.
int UploadLightColorConstants();
// View-space positions and directions of device lights 0 to 3 as their shader
// constants; the view matrix sender calls it.
void UploadViewSpaceLightConstants(const Matrix4x4* view);
// At graphics end: no device light, ambient colour or packing survives into
// the next start.
void ForgetDeviceLights();
// What the lights of the device hold, for the device rebuild and for tests.
const LightParameters* GetDeviceLight(int index);
int IsDeviceLightEnabled(int index);
std::uint32_t GetAmbientColor();

// Camera. Projection mode 0 perspective, 1 orthographic, 2 the user matrix.
int RebuildProjectionMatrix();
int SetCameraClipDistances(float nearDistance, float farDistance);
int UsePerspectiveProjection(float fieldOfView);
int UseUserProjectionMatrix(const Matrix4x4* matrix);

// View x projection x adjustment, world x that, and the camera's axes.
struct CameraMatrices {
  Matrix4x4 viewProjection;
  Matrix4x4 worldViewProjection;
  Vector3 right, up, forward;
  std::int32_t stale;
};
// Recomputes the combined matrices when they are stale. 0.
int RebuildCameraMatrices();
void MarkCameraMatricesStale();
const CameraMatrices& GetCameraMatrices();

}  // namespace qz
