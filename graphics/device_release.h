// Releasing device objects: each pointer is released once and cleared, so a
// later release finds nothing to do.
#pragma once

#include "core/log.h"
#include "graphics/graphics_state.h"

namespace qz {

template <typename Object>
void ReleaseAndClear(Object** object) {
  if (*object != nullptr) (*object)->Release();
  *object = nullptr;
}

// The device and what was taken from it, surfaces first; the log line is
// written only when there was a device to release.
inline void ReleaseDeviceAndSurfaces(GraphicsState& state, const char* deviceReleaseLine) {
  ReleaseAndClear(&state.depthBuffer);
  ReleaseAndClear(&state.subBackBuffer);
  ReleaseAndClear(&state.backBuffer);
  ReleaseAndClear(&state.swapChain);
  if (state.device != nullptr) {
    AppendLogText(deviceReleaseLine);
    ReleaseAndClear(&state.device);
  }
  state.sceneOpen = 0;
}

}  // namespace qz
