// Fog values kept for the 3D drawing. Nothing draws fogged yet, so the values
// are only stored; the device receives them with the fogged draws.
#include "graphics/fog_settings.h"

#include <cstdint>

#include "graphics/draw_settings_block.h"

namespace qz {

int SetFogMode(int mode) {
  GetDrawSettings().fogMode = mode;
  return 0;
}

int StoreFogColor(int red, int green, int blue) {
  const auto channel = [](int value) { return static_cast<std::uint32_t>(value) & 0xFFu; };
  GetDrawSettings().fogColor = 0xFF000000u | channel(red) << 16 | channel(green) << 8 | channel(blue);
  return 0;
}

int StoreFogRange(float start, float end) {
  DrawSettingsBlock& settings = GetDrawSettings();
  settings.fogStart = start;
  settings.fogEnd = end;
  return 0;
}

}  // namespace qz
