// Entering floors: the door links recorded both ways, the floor banner with
// its autosave, the ending door, and the restart points. A door's target
// entrance indexes the four links of a floor, so only 0..3 is recorded.
#include "game/doors.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/effects.h"
#include "game/floor_load.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/music.h"
#include "game/player.h"
#include "game/pools.h"
#include "game/save_file.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/color_value.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "sound/sound_play.h"

namespace {

constexpr const char* kBossFloors[] = {"010", "025", "040", "055", "070", "085", "100"};
constexpr int kBannerWaitMilliseconds = 400;

void PlayEffectSound(SoundEffect effect) { qz::PlaySoundHandle(soundEffects[effect], 1, 1); }

void ResetPlayerForEntry() {
  player.life = 1;
  player.magic = 0;
  player.ridingObject = -1;
  player.animState = -1;
  player.airborne = 0;
  player.velocityX = 0.0;
  player.dashState = player.dashTimer = player.airDashUsed = 0;
  player.invulnerableFrames = player.shotPose = 0;
  player.animLoopIndex = player.animLeadIn = 0;
  jumpReleaseLock = 0;
  ResetDashTrail();
  SetInputLatches(1);
}

void StartEnding() {
  CaptureScreen(oldScreen);
  qz::ClearDrawTarget(nullptr);
  CrossfadeToDrawnScreen(0);
  PlayBgm(GameString("BGM_Ending.mp3"), 0);
  ReleaseGraphOnce(sceneBackground);
  sceneBackground = LoadImage("\\data_en\\BG_Black.png");
  CaptureScreen(oldScreen);
  fadeRequest = 1;
  skipFade = 1;
  gameState.sceneFrame = gameState.scenePage = gameState.sceneSubState = 0;
  gameState.defeatedBoss = gameState.bossCountdown = 0;
  gameState.scene = kSceneEnding;
}

// The digits of the value zero-padded to three. A time run below zero shows
// as 000 rather than indexing the digit sheet with "-".
template <typename DrawDigit>
void DrawDigits(int value, DrawDigit drawDigit) {
  const GameString text = IntToPaddedString(std::max(value, 0), 3);
  for (int i = 0; text.c_str()[i] != '\0'; ++i) {
    const int digit = text.c_str()[i] - '0';
    if (digit >= 0 && digit <= 9) drawDigit(i, sheets.font5[digit]);
  }
}

void DrawBanner(int floorShown, int viaDoor) {
  CaptureScreen(oldScreen);
  qz::ClearDrawTarget(nullptr);
  qz::BlitGraph(0, 0, images.floorBanner, 0);
  qz::SetBlendModeAndParam(2, 255);
  qz::BlitGraphStretched(130, 196, 332, 260, images.fontFloor, 1);
  DrawDigits(floorShown, [](int i, int graph) {
    qz::BlitGraphStretched(354 + 52 * i, 196, 406 + 52 * i, 260, graph, 1);
  });
  qz::BlitGraph(192, 276, images.fontTime, 1);
  DrawDigits(floorTime, [](int i, int graph) { qz::BlitGraph(330 + 26 * i, 276, graph, 1); });
  if (viaDoor == 1) {
    // A save that failed must not show as made: the player would trust it.
    std::string failure;
    if (WriteSaveFile(gameState.saveSlot, &failure) == 0 && !failure.empty()) {
      DrawColorText(16, 444, GameString(("NOT SAVED: " + failure).c_str()), kTextWhite);
    } else {
      qz::BlitGraph(16, 440, images.fontAutosave, 1);
    }
  }
  qz::SetBlendModeAndParam(0, 0);
  CrossfadeToDrawnScreen(0);
  HoldPicture(kBannerWaitMilliseconds);
  CaptureScreen(oldScreen);
  fadeRequest = 1;
  skipFade = 1;
}

// The link is kept both ways: this door leads to the target, and the target's
// entrance leads back here.
void RecordDoorLink(int fromFloor, int index, const FloorDoor& door) {
  FloorProgressRecord& progress = gameState.FloorProgress;
  if (fromFloor >= 0 && fromFloor < kFloorCount) progress.doorLinks[fromFloor][index] = door.targetFloor;
  if (door.targetEntrance >= 0 && door.targetEntrance < kDoorsPerFloor) {
    progress.doorLinks[door.targetFloor - 1][door.targetEntrance] = fromFloor + 1;
  }
}

void FillWhite() {
  qz::ClearDrawTarget(nullptr);
  qz::DrawSolidRectangle(0, 0, kScreenWidth, kScreenHeight, qz::MakeColorValue(255, 255, 255));
}

}  // namespace

void EnterDoor(int index, int mode, int viaDoor) {
  player.eventCode = 0;
  PlayEffectSound(kSeWarp);
  const bool throughDoor = mode == 0;
  if (throughDoor && (index < 0 || index >= kFloorDoorCount)) return;
  if (throughDoor && doors[index].targetFloor == kEndingFloor) {
    StartEnding();
    return;
  }
  ResetPlayerForEntry();
  const FloorDoor door = throughDoor ? doors[index] : FloorDoor{floorNumber + 1, index};
  if (door.targetFloor < 1 || door.targetFloor > kFloorCount) return;
  const int fromFloor = floorNumber;
  GameString previousMap = mapName;
  mapName = IntToPaddedString(door.targetFloor, 3);
  // A floor that does not load is told in a message window and the game
  // returns to the title without saving; the names go back first, as the
  // window's frames still draw the floor (a floor jump has already chosen
  // the new number).
  if (LoadFloor(door.targetEntrance) == 0) {
    mapName = std::move(previousMap);
    floorNumber = fromFloor;
    if (const int named = ParseIntAndFree(mapName); named >= 1 && named <= kFloorCount) floorNumber = named - 1;
    ShowFloorFailureAndEnterTitle(door.targetFloor);
    return;
  }
  if (throughDoor) RecordDoorLink(fromFloor, index, door);
  DrawBanner(door.targetFloor, viaDoor);
}

void ActivateCheckCube() {
  entrance = kCheckCubeEntrance;
  player.eventCode = 0;
  ResetFieldIcon();
  PlayEffectSound(kSeCheckCube);
  SpawnEffect(0, player.x + 32, player.y + 16);
}

void UseRecoveryPoint() {
  PlayEffectSound(kSeRecovery);
  CaptureScreen(oldScreen);
  CaptureScreen(thirdScreen);
  FillWhite();
  CrossfadeToDrawnScreen(3);
  const int oldMagic = player.magic;
  player.life = player.maxLife;
  player.magic = player.maxMagic;
  qz::ClearDrawTarget(nullptr);
  qz::BlitGraph(0, 0, thirdScreen, 0);
  CaptureScreen(newScreen);
  FillWhite();
  CaptureScreen(oldScreen);
  CrossfadeScreens(3);
  qz::ReleaseGraph(thirdScreen);
  thirdScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
  player.eventCode = 0;
  for (int pip = std::max(oldMagic, 0); pip < player.maxMagic; ++pip) {
    StartEffect(4, 16, pip, 0.0, 0.0, 0.0, 1.0);
  }
}

void ApplyBossDefeated(int boss) {
  if (boss < 0 || boss >= static_cast<int>(std::size(kBossFloors))) return;
  if (gameState.FloorProgress.bossDefeated[boss] != 1 || GameStringEquals(mapName, kBossFloors[boss]) != 1) return;
  ConvertMapCodes(0);
  EmptyBulletPool();
  ResetEnemyRecords();
  requiredDefeats = 0;
}
