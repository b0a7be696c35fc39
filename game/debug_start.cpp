// The debug start: "\debug.ini" picks the floor, the entrance and the player's
// values. Its keys are Shift-JIS, as the file is. A floor outside "001".."100"
// or an entrance outside 0..4 would index the per-floor tables out of range,
// so such a file is refused whole and the title starts instead.
#include <cstdint>
#include <utility>

#include "core/log.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "platform/profile.h"

namespace {

// The boss switch marks bosses 0..4 beaten.
constexpr int kDebugBossCount = 5;

class DebugFile {
 public:
  DebugFile() : path_(GamePath("\\debug.ini")) {}

  // The value as text ("" when missing).
  GameString Text(const char* section, const char* key) const {
    GameString value;
    plat::GetPrivateProfileStringA(section, key, "", value.buffer, static_cast<std::uint32_t>(value.capacity),
                                   path_.c_str());
    return value;
  }
  // The value as a decimal integer (0 when missing or not a number).
  int Number(const char* section, const char* key) const { return ParseIntAndFree(Text(section, key)); }

 private:
  GameString path_;
};

}  // namespace

int LoadDebugIni() {
  const DebugFile file;
  if (file.Number("DebugUse", qz::text::kDebugUseKey) == 0) return 0;
  GameString map = file.Text("MapData", qz::text::kDebugMapFileKey);
  const int floor = ParseIntAndFree(map);
  const int start = file.Number("MapData", qz::text::kDebugEntranceKey);
  if (floor < 1 || floor > kFloorCount || start < 0 || start > 4) {
    qz::AppendLogFormat("debug.ini names floor %d, entrance %d: not started\n", floor, start);
    return 0;
  }
  mapName = std::move(map);
  floorNumber = floor - 1;
  entrance = start;
  player.maxLife = file.Number("PlayerData", qz::text::kDebugLifeKey);
  player.maxMagic = file.Number("PlayerData", qz::text::kDebugMagicKey);
  player.shotLevel[0] = file.Number("PlayerData", qz::text::kDebugBlazeLevelKey);
  player.shotLevel[1] = file.Number("PlayerData", qz::text::kDebugGravityLevelKey);
  player.shotLevel[2] = file.Number("PlayerData", qz::text::kDebugMagicalLevelKey);
  player.coins = file.Number("PlayerData", qz::text::kDebugCoinsKey);
  player.keys = file.Number("PlayerData", qz::text::kDebugKeysKey);
  if (file.Number("PlayerData", qz::text::kDebugAllItemsKey) == 1) {
    for (std::int32_t& flag : player.ProgressFlags) flag = 1;
  }
  player.ProgressFlags[kHighJump] = file.Number("PlayerData", qz::text::kDebugHighJumpKey) == 1 ? 1 : 0;
  player.ProgressFlags[kAirdash] = file.Number("PlayerData", qz::text::kDebugAirdashKey) == 1 ? 1 : 0;
  gameState.saveSlot = -1;
  gameState.scene = kSceneFloorPlay;
  if (file.Number("PlayerData", qz::text::kDebugBossFlagsKey) == 1) {
    for (int boss = 0; boss < kDebugBossCount; ++boss) {
      gameState.FloorProgress.bossDefeated[boss] = 1;
    }
  }
  return 1;
}
