// The game's state records: the player, the game with its per-floor progress,
// and the names and numbers of the loaded floor. They live for the whole run;
// a new game resets them, the save file stores most of them.
#pragma once

#include <cstdint>

#include "game/game_string.h"

inline constexpr int kFloorCount = 100;
inline constexpr int kDoorsPerFloor = 4;
inline constexpr int kProgressFlagCount = 24;
inline constexpr int kAnimationSteps = 16;

// Indices of PlayerRecord::ProgressFlags (17..23 have no item of their own).
enum ProgressFlag : int {
  kHoverdash = 0,
  kHighJump = 1,
  kBreakPower = 2,
  kBlastPower = 3,
  kBlastGuard = 4,
  kImpactPower = 5,
  kChainRing = 6,
  kCreatePower = 7,
  kTrueEye = 8,
  kEternalCandle = 9,
  kHourglass = 10,
  kStabilityPendant = 11,
  kFireRubyReplica = 12,
  kAquaSapphireReplica = 13,
  kWindEmeraldReplica = 14,
  kEarthDiamondReplica = 15,
  kAirdash = 16,
};

// The player's sprite cell, in pixels a side: the record's x and y are its
// top-left, its feet at y + kPlayerSpriteSize.
inline constexpr int kPlayerSpriteSize = 64;

// Fields in storage order.
struct PlayerRecord {
  std::int32_t x, y;  // top-left of the sprite cell, floor pixels
  double posX, posY;
  double velocityY;  // pixels per frame, down positive
  double velocityX;
  std::int32_t facing;  // +1 right, -1 left
  std::int32_t squat;
  std::int32_t dashState;  // 0 none, 1 ground dash, 2 air dash
  std::int32_t dashTimer;
  std::int32_t jumpStartRow;  // 99: none
  std::int32_t shotPose, shotPoseTimer;
  std::int32_t airborne;
  std::int32_t invulnerableFrames;
  std::int32_t eventCode;  // pending floor event 0..9
  std::int32_t shotCooldown, shotPending;
  std::int32_t ridingObject;  // -1: none
  std::int32_t dead;
  std::int32_t airDashUsed;
  std::int32_t onSlipperyFloor;
  std::int32_t animState;  // 0..5, -1 none
  std::int32_t animTick, animFrame;
  std::int32_t animFrames[kAnimationSteps];
  std::int32_t animDurations[kAnimationSteps];
  std::int32_t animLoopIndex, animLeadIn;
  std::int32_t life, maxLife;
  std::int32_t magic, maxMagic;
  std::int32_t shotKind;  // 0 Blaze, 1 Gravity, 2 Magic
  std::int32_t shotLevel[3];
  std::int32_t coins;
  std::int32_t keys;
  std::int32_t infiniteMagic;
  std::int32_t ProgressFlags[kProgressFlagCount];
};

// A new game's Max MP, and where the pick-ups of coins and keys stop.
inline constexpr int kStartMaxMagic = 16;
inline constexpr int kCoinCap = 99;
inline constexpr int kKeyCap = 99;

// Floor n (1..100) uses index n - 1. The storage order is the save file's.
struct FloorProgressRecord {
  std::int32_t visited[kFloorCount];
  // Per door: the floor it leads to, 0 seen but target unknown, -1 not seen.
  std::int32_t doorLinks[kFloorCount][kDoorsPerFloor];
  std::int32_t shopFound[kFloorCount];
  std::int32_t floorValue[kFloorCount];  // 29 marks a floor-jump point
  std::int32_t floorItems[kFloorCount][3];  // key switch used, key taken, chest opened
  std::int32_t shopSold[32];
  std::int32_t bossDefeated[16];
};

// Scene numbers the frame loop runs (4, 7, 8 and 9 run nothing).
enum SceneId : int {
  kSceneTitle = 0,
  kSceneFloorPlay = 1,
  kSceneStatus = 2,
  kSceneShop = 3,
  kSceneOpening = 5,
  kSceneEnding = 6,
  kSceneUpgradeResult = 10,
};

struct GameStateRecord {
  std::int32_t scene;
  std::int32_t windowMode;  // 1 window, 0 full screen
  std::int32_t quitRequested;
  FloorProgressRecord FloorProgress;
  std::int32_t saveSlot;  // 1..3, 0 none, -1 debug start
  std::int32_t sceneFrame;
  std::int32_t scenePage, sceneSubState;
  std::int32_t defeatedBoss;
  std::int32_t bossCountdown;
  std::int32_t savedZero;
  std::uint32_t tickAtStart;
  std::uint32_t playTimeMs;
  GameString playTimeText;
};

extern PlayerRecord player;
extern GameStateRecord gameState;

inline constexpr int kGameOversCap = 30100;
extern std::int32_t gameOvers;
extern GameString mapName;  // "001".."100"
extern GameString chipSetName;
extern GameString backgroundName;
extern GameString bgmName;
extern std::int32_t floorNumber;  // 0..99: the number in mapName minus 1
extern std::int32_t entrance;     // 0..3 a door entrance, 4 the check cube
extern std::int32_t loadedKindSet;  // -1: none
extern std::int32_t backgroundGraph;  // -1: none
extern std::int32_t jumpReleaseLock;

// Puts every record into its new-game state.
void ResetNewGame();
// Applies "\debug.ini" when it enables itself and names a floor 1..100 and an
// entrance 0..4: 1, else 0 with nothing changed.
int LoadDebugIni();
