// The view, projection and projection-adjustment matrices of the 3D drawing,
// and two device helpers beside them: a light sent and switched in one step,
// and a draw state applied at once. Every setter draws the queued vertices
// first, so they keep the values they were queued under.
#pragma once

#include "core/matrix.h"
#include "graphics/lights.h"
#include "graphics/pending_draw_state.h"

namespace qz {

// Each stores the matrix, drops the camera-derived mark (the camera no longer
// overwrites it) and, on the hardware path, sends it; the device projection
// is projection x adjustment x inverse viewport. 0, or -1 for null.
int StoreViewMatrix(const Matrix4x4* matrix);
int StoreProjectionMatrix(const Matrix4x4* matrix);
int StoreProjectionAdjustMatrix(const Matrix4x4* matrix);

// Without a device nothing; with enable 1 the light is sent first. 0.
int ApplyLightAndEnable(int index, int enable, const LightParameters* light);
// Applies a draw state at once and marks the cached one for resending. 0.
int SetDrawTextureDirect(int resolveHandles, const DrawStageBlock* block, int texturesOnly);

}  // namespace qz
