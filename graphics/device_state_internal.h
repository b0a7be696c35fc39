// Shared by the device state cache's files.
#pragma once

#include "graphics/graphics_state.h"
#include "platform/d3d9.h"

namespace qz {

// The device of the hardware path, or null.
plat::IDirect3DDevice9* CurrentDevice();

}  // namespace qz
