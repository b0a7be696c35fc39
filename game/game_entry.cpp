// Start-up in the order the game depends on: the configuration before the
// library start, the logo before the long loads, the debug floor or the
// title last. Then one scene function per frame until the player quits.
#include "game/game_entry.h"

#include "core/clock.h"
#include "core/file_access_archive.h"
#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "font/default_font.h"
#include "game/action_input.h"
#include "game/config_file.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/floor_load.h"
#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/music.h"
#include "game/screens.h"
#include "game/trap_graphics.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"
#include "input/pad_input.h"

std::int32_t lastFrameTime = 0;

namespace {

void (*frameWaitHook)() = nullptr;

constexpr int kEscapeKey = 0x01;
constexpr int kWindowIcon = 101;
constexpr int kLogoWaitMilliseconds = 400;

void SetLibraryOptions() {
  qz::SetMainWindowTitle("Veltrin! P");
  qz::SetScreenMode(kScreenWidth, kScreenHeight, 32, 60);
  qz::ChangeWindowMode(gameState.windowMode);
  qz::SetLogOutputEnabled(0);
  qz::SetWindowIconResource(kWindowIcon);
  // Set both ways: the library keeps the switch from an earlier start.
  qz::SetHardwareRenderingFlag(no3DAcceleration == 1 ? 0 : 1);
}

void SetDrawingDefaults() {
  qz::SetArchiveFileExtension("vtr");
  qz::SelectDrawTarget(qz::kBackScreen);
  qz::SetTransparentColorRGB(0, 255, 0);
  qz::SetDefaultFontType(1);
  qz::SetDefaultFontFace(qz::text::kGameFontFace, -1);
  qz::SetDefaultFontSize(18);
}

// Fades from the cleared screen to the logo.
void ShowLogo() {
  newScreen = LoadImage("\\data_en\\circle_logo.png");
  qz::ClearDrawTarget(nullptr);
  oldScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
  thirdScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
  CaptureScreen(oldScreen);
  CrossfadeScreens(0);
}

void FadeLogoOut() {
  CaptureScreen(oldScreen);
  qz::ClearDrawTarget(nullptr);
  CaptureScreen(newScreen);
  CrossfadeScreens(0);
}

// 1 when the debug file entered a floor.
int EnterDebugFloor() {
  if (CanOpenFile(GamePath("\\debug.ini")) == 0 || LoadDebugIni() != 1) return 0;
  player.life = player.maxLife;
  player.magic = 0;
  EnterDoor(entrance, 1, 0);
  return 1;
}

void RunSceneFunction(int scene) {
  switch (scene) {
    case kSceneTitle: UpdateTitleMenu(); break;
    case kSceneFloorPlay: UpdateFloorPlay(); break;
    case kSceneStatus: UpdateStatusScreen(); break;
    case kSceneShop: UpdateShopScene(); break;
    case kSceneOpening: UpdateOpeningScene(); break;
    case kSceneEnding: UpdateEndingScene(); break;
    case kSceneUpgradeResult: UpdateUpgradeResultScene(); break;
    default: break;
  }
}

}  // namespace

int StartGame() {
  missingGameFiles.clear();
  ReadStartDirectory();
  ReadConfigFile();
  SetLibraryOptions();
  if (qz::InitLibraryEntry() == -1) return -1;
  SetDrawingDefaults();
  lastFrameTime = qz::GetMillisecondCount();
  ShowLogo();
  LoadSpriteSheets();
  pictureScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
  LoadSoundEffects();
  ApplyVolume(volumePercent, 1);
  LoadTrapGraphics();
  ResetNewGame();
  gameState.scene = kSceneTitle;
  gameState.saveSlot = 0;
  gameState.savedZero = 0;
  const int floorEntered = EnterDebugFloor();
  qz::WaitMilliseconds(kLogoWaitMilliseconds);
  FadeLogoOut();
  fadeRequest = 2;
  skipFade = 0;
  CaptureScreen(oldScreen);
  LoadCandleMask();
  if (floorEntered == 0) EnterTitleScene();
  return 0;
}

void RunFrame() {
  WaitFrame();
  ReadActionInput();
  qz::ClearDrawTarget(nullptr);
  RunSceneFunction(gameState.scene);
  if (fadeRequest > 0 && skipFade == 0) {
    CaptureScreen(newScreen);
    CrossfadeScreens(fadeRequest - 1);
    fadeRequest = 0;
  }
  skipFade = 0;
  qz::PresentFrame();
}

void RunFrameLoop() {
  if (CheckQuitRequest() != 0) return;
  while (gameState.quitRequested == 0) {
    RunFrame();
    if (CheckQuitRequest() != 0) return;
  }
}

void EndGame() {
  qz::ReleaseAllGraphs();
  qz::EndLibraryEntry();
  // The library end deleted them; a later start must not free reused handles.
  bgmHandle = -1;
  candleMask = -1;
  oldScreen = newScreen = thirdScreen = pictureScreen = -1;
}

int RunGame() {
  if (StartGame() != 0) return -1;
  RunFrameLoop();
  EndGame();
  return 0;
}

std::int32_t WaitFrame() {
  while (qz::ElapsedMilliseconds(qz::GetMillisecondCount(), lastFrameTime) < kFrameMilliseconds) {
  }
  lastFrameTime = qz::GetMillisecondCount();
  if (frameWaitHook != nullptr) frameWaitHook();
  return lastFrameTime;
}

void SetFrameWaitHookForTest(void (*hook)()) { frameWaitHook = hook; }

int CheckQuitRequest() {
  if (qz::TestKeyDown(kEscapeKey) == 1) {
    if (gameState.scene != kSceneTitle) {
      EnterTitleScene();
    } else {
      gameState.quitRequested = 1;
    }
  }
  if (qz::PumpMessagesEntry() == 0) return 0;
  gameState.quitRequested = 1;
  return 1;
}
