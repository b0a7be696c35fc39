// Matrix setters of the 3D drawing. The camera of the draw target writes the
// same matrices; a matrix given here drops its camera-derived mark so the
// camera keeps its hands off.
#include "graphics/matrix_settings.h"

#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/light_device.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

// Stores one matrix of the settings and lets the camera rebuild from it.
DrawSettingsBlock& StoreCameraMatrix(Matrix4x4 DrawSettingsBlock::*field, const Matrix4x4& matrix) {
  FlushVertexBatch();
  DrawSettingsBlock& settings = GetDrawSettings();
  settings.*field = matrix;
  settings.cameraDerivedMatrices = 0;
  MarkCameraMatricesStale();
  RebuildCameraMatrices();
  return settings;
}

int SendProjection(DrawSettingsBlock& settings) {
  if (CurrentDevice() != nullptr) SendAdjustedProjectionToDevice(settings);
  return 0;
}

}  // namespace

int StoreViewMatrix(const Matrix4x4* matrix) {
  if (matrix == nullptr) return -1;
  DrawSettingsBlock& settings = StoreCameraMatrix(&DrawSettingsBlock::viewMatrix, *matrix);
  if (CurrentDevice() != nullptr) {
    SetViewMatrixToDevice(&settings.viewMatrix);
    settings.viewApplied = 1;
  }
  return 0;
}

int StoreProjectionMatrix(const Matrix4x4* matrix) {
  if (matrix == nullptr) return -1;
  return SendProjection(StoreCameraMatrix(&DrawSettingsBlock::projectionMatrix, *matrix));
}

int StoreProjectionAdjustMatrix(const Matrix4x4* matrix) {
  if (matrix == nullptr) return -1;
  return SendProjection(StoreCameraMatrix(&DrawSettingsBlock::projectionAdjustMatrix, *matrix));
}

int ApplyLightAndEnable(int index, int enable, const LightParameters* light) {
  if (CurrentDevice() == nullptr) return 0;
  if (enable == 1) ApplyLightToDevice(index, light);
  ApplyLightEnable(index, enable);
  return 0;
}

int SetDrawTextureDirect(int resolveHandles, const DrawStageBlock* block, int texturesOnly) {
  FlushVertexBatch();
  ApplyPendingDrawState(resolveHandles, block, texturesOnly);
  PendingDrawValues& pending = GetDeviceStateCache().pending;
  pending.textureDirty = 1;
  pending.blendDirty = 1;
  return 0;
}

}  // namespace qz
