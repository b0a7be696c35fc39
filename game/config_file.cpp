// Reading the configuration. Without a file the volume is 80, the value the
// "Volume" key defaults to and the configuration window shows, so a first run
// is not silent. The percentage is clamped when read: a huge value would
// overflow the volume arithmetic.
#include "game/config_file.h"

#include <algorithm>
#include <utility>

#include "game/action_input.h"
#include "game/floor_load.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "platform/profile.h"

std::int32_t volumePercent = 80;
std::int32_t no3DAcceleration = 0;

namespace {

constexpr const char* kConfigSection = "Config";
constexpr int kDefaultVolume = 80;

// The key's value as a decimal integer (0 for text that is not a number).
int ReadConfigValue(const GameString& path, const char* key, const char* defaultValue) {
  GameString value;
  plat::GetPrivateProfileStringA(kConfigSection, key, defaultValue, value.buffer,
                                 static_cast<std::uint32_t>(value.capacity), path.c_str());
  return ParseIntAndFree(std::move(value));
}

}  // namespace

void ReadConfigFile() {
  gameState.windowMode = 1;
  ButtonMap = kBuiltInButtonMap;
  volumePercent = kDefaultVolume;
  no3DAcceleration = 0;
  const GameString path = GamePath("\\save\\config.ini");
  if (CanOpenFile(path) == 0) return;
  if (ReadConfigValue(path, "Screen mode", "0") == 1) gameState.windowMode = 0;
  volumePercent = std::clamp(ReadConfigValue(path, "Volume", "80"), 0, 100);
  ButtonMap.confirm = ReadConfigValue(path, "Confirm", "1");
  ButtonMap.cancel = ReadConfigValue(path, "Cancel", "2");
  ButtonMap.jump = ReadConfigValue(path, "Jump", "2");
  ButtonMap.shot = ReadConfigValue(path, "Shot", "3");
  ButtonMap.shotChange = ReadConfigValue(path, "Shot Change", "0");
  ButtonMap.dash = ReadConfigValue(path, "Dash", "4");
  ButtonMap.menu = ReadConfigValue(path, "Menu", "8");
  no3DAcceleration = ReadConfigValue(path, "Don't use 3D Acceleration", "0");
}
