// The two slide shows: the opening (scene 5), four pages of picture pairs
// turned by Confirm before the first floor, and the ending (scene 6), twelve
// timed or Confirm-turned pages with the score, which saves and returns to
// the title.
#include <algorithm>
#include <iterator>

#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/key_hint.h"
#include "game/music.h"
#include "game/play_time.h"
#include "game/save_file.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"

namespace {

// An opening page: the picture faded in at once, then the one that stays.
struct OpeningPage {
  const char* fadedIn;
  const char* shown;
};

constexpr OpeningPage kOpeningPages[] = {
    {"\\data_en\\BG_Opening2-1.png", "\\data_en\\BG_Opening2-2.png"},
    {"\\data_en\\BG_Opening2-1.png", "\\data_en\\BG_Opening2-3.png"},
    {"\\data_en\\BG_Opening3-1.png", "\\data_en\\BG_Opening3-2.png"},
    {"\\data_en\\BG_Opening4-1.png", "\\data_en\\BG_Opening4-2.png"},
};
constexpr int kOpeningPageCount = static_cast<int>(std::size(kOpeningPages));
// The key that turns the page, in the top right corner, clear of the story
// told along the bottom.
constexpr int kOpeningHintCentreX = 570, kOpeningHintTop = 8;

// An ending page is left once its frame count exceeds `frames`, and with
// `confirm` only on a Confirm press; `next` is the following page's picture.
struct EndingPage {
  int frames;
  bool confirm;
  const char* next;
};

constexpr EndingPage kEndingPages[] = {
    {60, false, "\\data_en\\BG_Ending_01.png"},
    {40, true, "\\data_en\\BG_Ending_02.png"},
    {40, true, "\\data_en\\BG_Ending_03.png"},
    {40, true, "\\data_en\\BG_Black.png"},
    {60, false, "\\data_en\\BG_Ending_04.png"},
    {320, false, "\\data_en\\BG_Ending_05.png"},
    {320, false, "\\data_en\\BG_Ending_06.png"},
    {320, false, "\\data_en\\BG_Ending_07.png"},
    {320, false, "\\data_en\\BG_Ending_08.png"},
    {40, true, "\\data_en\\BG_Score.png"},
    {40, true, "\\data_en\\BG_Ending_09.png"},
    {40, true, nullptr},  // the end: save and return to the title
};
constexpr int kLastEndingPage = static_cast<int>(std::size(kEndingPages)) - 1;
constexpr int kPlayTimePage = 9;
constexpr int kScorePage = 10;
constexpr int kEndingFrameCap = 9999;
constexpr int kLastFloor = kFloorCount - 1;
constexpr int kEndingDoor = 1;
constexpr int kEndingLink = 101;

void ShowOpeningPage(const OpeningPage& page) {
  ReleaseGraphOnce(newScreen);
  newScreen = LoadImage(page.fadedIn);
  CrossfadeScreens(0);
  CaptureScreen(oldScreen);
  sceneBackground = LoadImage(page.shown);
}

// A new game on the first floor, at full life and without MP.
void StartFirstFloor() {
  FadeScreenToBlack(0);
  gameState.scene = kSceneFloorPlay;
  GameStringAssign(mapName, "001");
  floorNumber = 0;
  entrance = 0;
  player.life = player.maxLife;
  player.magic = 0;
  EnterDoor(0, 1, 0);
  SetInputLatches(1);
}

// The last floor's ending door is recorded, the slot saved, and the title
// entered; its fade to black is the only one, as the screen goes black there.
void FinishEnding() {
  GameStringAssign(mapName, "100");
  gameState.FloorProgress.doorLinks[kLastFloor][kEndingDoor] = kEndingLink;
  WriteSaveFile(gameState.saveSlot);
  ReleaseGraphOnce(sceneBackground);
  gameState.sceneFrame = 0;
  gameState.scenePage = 0;
  WindowState = 0;
  WindowFrame = 0;
  TitleStartRequest = 0;
  EnterTitleScene();
}

void TurnEndingPage(int page) {
  ReleaseGraphOnce(sceneBackground);
  sceneBackground = LoadImage(kEndingPages[page].next);
  if (page == kPlayTimePage) FormatPlayTimeText();
  if (page == kScorePage) PlayBgm(GameString(""), 2);
  gameState.scenePage = page + 1;
  gameState.sceneFrame = 0;
  FadeScreenToBlack(0);
  fadeRequest = 1;
  skipFade = 1;
  SetInputLatches(1);
}

}  // namespace

void UpdateOpeningScene() {
  qz::BlitGraph(0, 0, sceneBackground, 0);
  DrawKeyHint(ConfirmHint("next"), kOpeningHintCentreX, kOpeningHintTop);
  if (ActionFlags.confirm == 0) return;
  ReleaseGraphOnce(sceneBackground);
  CaptureScreen(oldScreen);
  const int page = gameState.sceneFrame;
  if (page >= 0 && page < kOpeningPageCount) {
    ShowOpeningPage(kOpeningPages[page]);
  } else {
    StartFirstFloor();
  }
  fadeRequest = 1;
  skipFade = 1;
  gameState.sceneFrame = page + 1;
}

void UpdateEndingScene() {
  qz::BlitGraph(0, 0, sceneBackground, 0);
  gameState.sceneFrame = std::min(gameState.sceneFrame + 1, kEndingFrameCap);
  // A page number past the table counts as the last page.
  const int page = std::clamp(gameState.scenePage, 0, kLastEndingPage);
  if (page == kScorePage) DrawCollectionStats();
  const EndingPage& rule = kEndingPages[page];
  if (gameState.sceneFrame <= rule.frames || (rule.confirm && ActionFlags.confirm == 0)) return;
  if (page == kLastEndingPage) {
    FinishEnding();
  } else {
    TurnEndingPage(page);
  }
}
