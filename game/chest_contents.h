// What a chest holds: the content types of floor slot 2 (the floor text's
// "slot 2" line), which the floor's progress keeps once the chest is open.
#pragma once

#include "game/game_state.h"

enum ChestContentType : int {
  kChestCoin = 6,
  kChestMpUp = 7,
  kChestBlazeShot = 8,
  kChestGravityShot = 9,
  kChestMagicShot = 10,
  kChestFirstFlag = 11,  // 11..26 set progress flag (type - 11)
  kChestHighJump = 12,
  kChestBreakPower = 13,
  kChestChainRing = 17,
  kChestCreatePower = 18,
  kChestTrueEye = 19,
  kChestCandle = 20,
  kChestFirstTreasure = 23,  // the four replicas
  kChestLastTreasure = 26,
  kChestAirdash = 27,
  kChestNothing = 28,
  kChestCheckFlag = 29,
};

// The content type that sets `flag`.
inline constexpr int ChestContentOf(ProgressFlag flag) { return static_cast<int>(kChestFirstFlag) + static_cast<int>(flag); }
