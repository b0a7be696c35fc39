// Shared by the device state cache's files.
#pragma once

#include "core/matrix.h"
#include "graphics/graphics_state.h"
#include "platform/d3d9.h"

namespace qz {

// The device of the hardware path, or null.
plat::IDirect3DDevice9* CurrentDevice();

// The device takes the library's matrices as they lie in memory.
plat::D3DMATRIX ToDeviceMatrix(const Matrix4x4& matrix);

}  // namespace qz
