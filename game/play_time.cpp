// Play time and statistics: the text of the time played, the score page's
// block of counts, and scene 10, which shows the upgrade items found and
// hands back to the floor on Confirm or Cancel.
#include "game/play_time.h"

#include <cstdint>

#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/game_state.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/draw_graph.h"
#include "platform/clock.h"

namespace {

constexpr int kGameOversShownExactly = 30000;
constexpr int kStatsX = 176;
constexpr int kStatsFirstY = 160;
constexpr int kStatsPitch = 40;
constexpr int kLastUpgradeFlag = 21;  // 17 to 21 have no item, yet the count covers them

// Flags [first, last] that hold exactly 1: other values are not "owned".
int CountOwnedFlags(int first, int last) {
  int count = 0;
  for (int i = first; i <= last; ++i) count += player.ProgressFlags[i] == 1 ? 1 : 0;
  return count;
}

// Floors whose per-floor field (1 key found, 2 chest opened) holds exactly 1.
int CountFloorsWith(int field) {
  int count = 0;
  for (const auto& items : gameState.FloorProgress.floorItems) count += items[field] == 1 ? 1 : 0;
  return count;
}

void LeaveToFloor() {
  ReleaseGraphOnce(sceneBackground);
  FadeScreenToBlack(1);
  fadeRequest = 2;
  skipFade = 1;
  gameState.scene = kSceneFloorPlay;
  SetInputLatches(1);
}

}  // namespace

void AdvancePlayTime() {
  const std::uint32_t now = plat::GetTickCount();
  gameState.playTimeMs += now - gameState.tickAtStart;
  gameState.tickAtStart = now;
}

void FormatPlayTimeText() {
  AdvancePlayTime();
  const std::uint32_t seconds = gameState.playTimeMs / 1000;
  const std::string text = "Play time:" + std::to_string(seconds / 3600) + "h" + std::to_string(seconds / 60 % 60) +
                           "m" + std::to_string(seconds % 60) + "s";
  GameStringAssign(gameState.playTimeText, text.c_str());
}

std::array<std::string, 6> CollectionStatsLines() {
  return {
      gameState.playTimeText.c_str(),
      gameOvers < kGameOversShownExactly ? "Game Overs:" + std::to_string(gameOvers) : "Game Overs: 30000+",
      "Max MP:" + std::to_string(player.maxMagic) + " / 40",
      "Items found:" + std::to_string(CountOwnedFlags(kHoverdash, kAirdash)) + " / 17",
      "Keys found:" + std::to_string(CountFloorsWith(1)) + " / 100",
      "Chests found:" + std::to_string(CountFloorsWith(2)) + " / 100",
  };
}

void DrawCollectionStats() {
  int y = kStatsFirstY;
  for (const std::string& line : CollectionStatsLines()) {
    DrawColorText(kStatsX, y, GameString(line.c_str()), kTextWhite);
    y += kStatsPitch;
  }
}

std::string UpgradeItemsLine() {
  return "Upgrade items found:" + std::to_string(CountOwnedFlags(kBlastGuard, kLastUpgradeFlag)) + " / 18";
}

void UpdateUpgradeResultScene() {
  qz::BlitGraph(0, 0, sceneBackground, 0);
  DrawColorText(kStatsX, 150, gameState.playTimeText, kTextWhite);
  DrawColorText(149, 200, GameString(UpgradeItemsLine().c_str()), kTextWhite);
  if (ActionFlags.confirm != 0 || ActionFlags.cancel != 0) LeaveToFloor();
}
