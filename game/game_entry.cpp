// Start-up in the order the game depends on: the configuration before the
// library start, the logo before the long loads, the debug floor or the
// title last. Then one scene function per frame until the player quits.
#include "game/game_entry.h"

#include <cstdio>
#include <cstdlib>

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
#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_files.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/save_file.h"
#include "game/music.h"
#include "game/screen_frame.h"
#include "game/screens.h"
#include "game/trap_graphics.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"

namespace {

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
  CrossfadeToDrawnScreen(0);
}

// 1 when the debug file entered a floor.
int EnterDebugFloor() {
  if (CanOpenFile(GamePath("\\debug.ini")) == 0 || LoadDebugIni() != 1) return 0;
  player.life = player.maxLife;
  player.magic = 0;
  EnterDoor(entrance, 1, 0);
  return 1;
}

// Outside a data set every file would be missing: one line says what to do,
// on stderr alone, as no log belongs in a folder that is not the game's.
bool CheckDataSet() {
  if (DataSetFound()) return true;
  std::fprintf(stderr,
               "veltrin: no data set found in %s (it has no data_en folder). Make one with ./play.sh, which writes "
               "gamedata/ and starts the game there, or with veltrin_data DIR, then start veltrin inside DIR.\n",
               DiskFileName(currentDirectory).c_str());
  return false;
}

// The game is a desktop program: without a display the library would run it
// headless, unseen, so it says why it stops instead, unless the backend was
// chosen on purpose.
bool CheckDisplay() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QZ_BACKEND"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return true;
  }
  std::fprintf(stderr,
               "veltrin: no display to open the game's window on (DISPLAY is not set). Start the game from a "
               "desktop session, or under a virtual display such as Xvfb.\n");
  return false;
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
  if (!CheckDataSet()) return -1;
  RemoveInterruptedSaves();
  RemoveInterruptedConfigWrites();
  ReadConfigFile();
  SetLibraryOptions();
  if (qz::InitLibraryEntry() == -1) {
    std::fprintf(stderr, "veltrin: the game could not start: %s.\n", qz::GetStartFailureReason());
    return -1;
  }
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
    CrossfadeToDrawnScreen(fadeRequest - 1);
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
  if (!CheckDisplay() || StartGame() != 0) return -1;
  RunFrameLoop();
  EndGame();
  return 0;
}

