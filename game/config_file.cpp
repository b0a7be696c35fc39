// Reading the configuration. Without a file the volume is 80, the value the
// "Volume" key defaults to and the configuration window shows, so a first run
// is not silent. The percentage is clamped when read: a huge value would
// overflow the volume arithmetic.
#include "game/config_file.h"

#include <algorithm>
#include <string>
#include <utility>

#include "game/action_input.h"
#include "game/game_assets.h"
#include "game/game_files.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "platform/profile.h"

std::int32_t volumePercent = 80;
std::int32_t no3DAcceleration = 0;

namespace {

constexpr const char* kConfigSection = "Config";
constexpr int kDefaultVolume = 80;

// The file's keys, read one by one; a key the file lacks takes its default
// and is noted, so a damaged file does not change the keys silently.
class ConfigReader {
 public:
  explicit ConfigReader(GameString path) : path_(std::move(path)) {}

  // The key's value as a decimal integer (0 for text that is not a number).
  int Value(const char* key, const char* defaultValue) {
    GameString value = Read(key, defaultValue);
    // A key is missing when two different defaults both come back.
    const char* other = GameStringEquals(value, "0") == 1 ? "1" : "0";
    if (GameStringEquals(value, defaultValue) == 1 && GameStringEquals(Read(key, other), other) == 1) {
      missing_ += missing_.empty() ? "" : ", ";
      missing_ += key;
    }
    return ParseIntAndFree(std::move(value));
  }

  void ReportMissingKeys() const {
    if (missing_.empty()) return;
    ReportGameProblem("%s lacks the [%s] keys %s; their defaults are used", DiskFileName(path_).c_str(),
                      kConfigSection, missing_.c_str());
  }

 private:
  GameString Read(const char* key, const char* defaultValue) const {
    GameString value;
    plat::GetPrivateProfileStringA(kConfigSection, key, defaultValue, value.buffer,
                                   static_cast<std::uint32_t>(value.capacity), path_.c_str());
    return value;
  }

  GameString path_;
  std::string missing_;
};

}  // namespace

void ReadConfigFile() {
  gameState.windowMode = 1;
  ButtonMap = kBuiltInButtonMap;
  volumePercent = kDefaultVolume;
  no3DAcceleration = 0;
  const GameString path = GamePath("\\save\\config.ini");
  if (CanOpenFile(path) == 0) return;
  ConfigReader file(path);
  if (file.Value("Screen mode", "0") == 1) gameState.windowMode = 0;
  volumePercent = std::clamp(file.Value("Volume", "80"), 0, 100);
  ButtonMap.confirm = file.Value("Confirm", "1");
  ButtonMap.cancel = file.Value("Cancel", "2");
  ButtonMap.jump = file.Value("Jump", "2");
  ButtonMap.shot = file.Value("Shot", "3");
  ButtonMap.shotChange = file.Value("Shot Change", "0");
  ButtonMap.dash = file.Value("Dash", "4");
  ButtonMap.menu = file.Value("Menu", "8");
  no3DAcceleration = file.Value("Don't use 3D Acceleration", "0");
  file.ReportMissingKeys();
}

void RemoveInterruptedConfigWrites() { plat::RemoveInterruptedProfileWrites(GamePath("\\save\\config.ini").c_str()); }
