// Viewport, scissor rectangle, transforms and shader constants of the device
// state cache. Shader constants are always kept in the shadow registers, so
// shaders switched on later start from the library's values.
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/draw_settings_block.h"
#include "graphics/light_device.h"
#include "graphics/screen_present.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kProjectionShaderConstant = 2;
constexpr int kViewShaderConstant = 6;

void EndOpenScene() {
  if (GetGraphicsState().sceneOpen != 0) EndDeviceScene();
}

// Writes count float4 registers into the shadow bank; false when they do not fit.
bool ShadowConstants(float (*bank)[4], int bankSize, int start, const float* data, int count) {
  if (data == nullptr || start < 0 || count < 0 || start > bankSize - count) return false;
  std::memcpy(bank[start], data, sizeof(float) * 4 * static_cast<std::size_t>(count));
  return true;
}

// The view and projection go to the fixed pipeline and, transposed, to the
// vertex shader constants.
int SendCameraMatrix(plat::D3DTRANSFORMSTATETYPE type, int shaderConstant, const Matrix4x4* matrix,
                     Matrix4x4* cached) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || matrix == nullptr) return -1;
  FlushVertexBatch();
  const plat::D3DMATRIX deviceMatrix = ToDeviceMatrix(*matrix);
  device->SetTransform(type, &deviceMatrix);
  Matrix4x4 transposed;
  TransposeMatrix4(&transposed, matrix);
  SetVertexShaderConstants(shaderConstant, &transposed.m[0][0], 4);
  *cached = *matrix;
  return 0;
}

}  // namespace

plat::D3DMATRIX ToDeviceMatrix(const Matrix4x4& matrix) {
  plat::D3DMATRIX out;
  std::memcpy(&out, &matrix, sizeof(out));
  return out;
}

int SetDeviceViewport(const DeviceViewport* viewport) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || viewport == nullptr) return -1;
  DeviceStateCache& cache = GetDeviceStateCache();
  const DeviceViewport& old = cache.viewport;
  if (cache.forceResend == 0 && old.x == viewport->x && old.y == viewport->y && old.width == viewport->width &&
      old.height == viewport->height) {
    return 0;
  }
  FlushVertexBatch();
  EndOpenScene();
  const plat::D3DVIEWPORT9 deviceViewport = {
      static_cast<std::uint32_t>(viewport->x),     static_cast<std::uint32_t>(viewport->y),
      static_cast<std::uint32_t>(viewport->width), static_cast<std::uint32_t>(viewport->height),
      viewport->minZ,                              viewport->maxZ};
  const plat::HRESULT result = device->SetViewport(&deviceViewport);
  if (plat::FAILED(result)) {
    AppendLogFormat(text::kGfxViewportSetFailed, static_cast<unsigned>(result));
    return -1;
  }
  cache.viewport = *viewport;
  return 0;
}

int SetViewportFromRect(int x1, int y1, int x2, int y2) {
  const DeviceViewport viewport = {x1, y1, x2 - x1, y2 - y1, 0.0f, 1.0f};
  return SetDeviceViewport(&viewport);
}

int SetDeviceScissorRect(const DeviceScissorRect* rect) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || rect == nullptr) return -1;
  DeviceStateCache& cache = GetDeviceStateCache();
  const DeviceScissorRect& old = cache.scissor;
  if (cache.forceResend == 0 && old.left == rect->left && old.top == rect->top && old.right == rect->right &&
      old.bottom == rect->bottom) {
    return 0;
  }
  FlushVertexBatch();
  EndOpenScene();
  const plat::WinRect deviceRect = {rect->left, rect->top, rect->right, rect->bottom};
  if (plat::FAILED(device->SetScissorRect(&deviceRect))) return -1;
  cache.scissor = *rect;
  return 0;
}

int SetViewMatrixToDevice(const Matrix4x4* matrix) {
  if (SendCameraMatrix(plat::D3DTS_VIEW, kViewShaderConstant, matrix, &GetDeviceStateCache().viewMatrix) != 0) {
    return -1;
  }
  // The lights' shader constants live in view space.
  UploadViewSpaceLightConstants(matrix);
  return 0;
}

int SetProjectionMatrixToDevice(const Matrix4x4* matrix) {
  return SendCameraMatrix(plat::D3DTS_PROJECTION, kProjectionShaderConstant, matrix,
                          &GetDeviceStateCache().projectionMatrix);
}

int SetWorldTransformDirect(const Matrix4x4* matrix) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || matrix == nullptr) return -1;
  const plat::D3DMATRIX deviceMatrix = ToDeviceMatrix(*matrix);
  return plat::FAILED(device->SetTransform(plat::D3DTS_WORLD, &deviceMatrix)) ? -1 : 0;
}

int SetWorldMatrix(const Matrix4x4* matrix) {
  if (matrix == nullptr) return -1;
  FlushVertexBatch();
  GetDeviceStateCache().worldMatrix = *matrix;
  MarkCameraMatricesStale();
  RebuildCameraMatrices();
  // The view is sent again with the world: the light constants depend on both.
  DrawSettingsBlock& settings = GetDrawSettings();
  settings.viewApplied = 0;
  if (CurrentDevice() != nullptr) {
    SetViewMatrixToDevice(&settings.viewMatrix);
    settings.viewApplied = 1;
    SetWorldTransformDirect(matrix);
  }
  return 0;
}

int SetVertexShaderConstants(int start, const float* data, int count) {
  DeviceStateCache& cache = GetDeviceStateCache();
  if (!ShadowConstants(cache.vertexShaderConstants, kVertexShaderConstantCount, start, data, count)) return -1;
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (cache.shadersOn != 0 && device != nullptr) {
    device->SetVertexShaderConstantF(static_cast<std::uint32_t>(start), data, static_cast<std::uint32_t>(count));
  }
  return 0;
}

int SetPixelShaderConstants(int start, const float* data, int count) {
  DeviceStateCache& cache = GetDeviceStateCache();
  if (!ShadowConstants(cache.pixelShaderConstants, kPixelShaderConstantCount, start, data, count)) return -1;
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (cache.shadersOn != 0 && device != nullptr) {
    device->SetPixelShaderConstantF(static_cast<std::uint32_t>(start), data, static_cast<std::uint32_t>(count));
  }
  return 0;
}

}  // namespace qz
