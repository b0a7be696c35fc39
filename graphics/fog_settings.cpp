// Fog values of the 3D drawing: stored in the draw-settings block and, on the
// hardware path, sent through the device state cache whenever they differ
// from either the stored or the device's cached value.
#include "graphics/fog_settings.h"

#include <cstdint>

#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/draw_settings_block.h"
#include "graphics/vertex_batch.h"

namespace qz {

int SetFogMode(int mode) {
  FlushVertexBatch();
  DrawSettingsBlock& settings = GetDrawSettings();
  const bool onDevice = CurrentDevice() != nullptr;
  if (settings.fogMode == mode && (!onDevice || GetDeviceStateCache().fogVertexMode == mode)) return 0;
  settings.fogMode = mode;
  if (onDevice) ApplyFogVertexMode(mode);
  return 0;
}

int StoreFogColor(int red, int green, int blue) {
  FlushVertexBatch();
  const auto channel = [](int value) { return static_cast<std::uint32_t>(value) & 0xFFu; };
  const std::uint32_t color = 0xFF000000u | channel(red) << 16 | channel(green) << 8 | channel(blue);
  DrawSettingsBlock& settings = GetDrawSettings();
  const bool onDevice = CurrentDevice() != nullptr;
  if (settings.fogColor == color && (!onDevice || GetDeviceStateCache().fogColor == color)) return 0;
  settings.fogColor = color;
  if (onDevice) ApplyFogColor(color);
  return 0;
}

int StoreFogRange(float start, float end) {
  FlushVertexBatch();
  DrawSettingsBlock& settings = GetDrawSettings();
  const bool onDevice = CurrentDevice() != nullptr;
  const DeviceStateCache& cache = GetDeviceStateCache();
  if (settings.fogStart == start && settings.fogEnd == end &&
      (!onDevice || (cache.fogStart == start && cache.fogEnd == end))) {
    return 0;
  }
  settings.fogStart = start;
  settings.fogEnd = end;
  if (onDevice) ApplyFogRange(start, end);
  return 0;
}

}  // namespace qz
