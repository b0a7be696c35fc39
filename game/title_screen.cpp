// The title (scene 0): two scrolling layers, the title picture, a menu of the
// three save slots, "Settings" and "Quit", and the windows those rows open.
// Leaving it resets the game, then continues a slot or starts the opening.
#include <string>

#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/enemies.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/music.h"
#include "game/pools.h"
#include "game/save_file.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "game/title_windows.h"
#include "game/trap_graphics.h"
#include "graphics/draw_graph.h"
#include "graphics/graph_handles.h"

namespace {

enum TitleMode : int { kTitleMenu = 0, kTitleSettings = 4, kTitleQuitting = 5 };

constexpr int kMenuRows = 5;
constexpr int kLastMenuRow = kMenuRows - 1;
constexpr int kMenuFirstCursorY = 308;
constexpr int kMenuPitch = 28;
constexpr int kMenuStep = 4;
constexpr int kMenuTextX = 224;
constexpr int kMenuCursorX = 168;
constexpr int kWindowX = 176;
constexpr int kWindowY = 280;
constexpr int kFrontLayerWrap = 480;
constexpr int kBackLayerWrap = 960;

GameString slotLabels[3];
// What each slot held when the title was entered: a damaged one cannot be continued.
SlotContents slotContents[3];

void RenewGraph(int& graph) {
  ReleaseGraphOnce(graph);
  graph = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
}

void ReleaseTitleGraphs() {
  ReleaseMessageWindowGraphs();
  ReleaseGraphOnce(sceneBackground);
  for (int& graph : titleGraphs) ReleaseGraphOnce(graph);
}

// A full-screen layer shifted down by o rows, wrapping at the bottom.
void DrawWrappedLayer(int graph, int o, int trans) {
  if (o == 0) {
    qz::BlitGraph(0, 0, graph, trans);
    return;
  }
  qz::BlitGraphSubRect(0, 0, 0, o, kScreenWidth, kScreenHeight - o, graph, trans, 0);
  qz::BlitGraphSubRect(0, kScreenHeight - o, 0, 0, kScreenWidth, o, graph, trans, 0);
}

void DrawTitle() {
  DrawWrappedLayer(sceneBackground, gameState.scenePage / 2, 0);
  DrawWrappedLayer(titleGraphs[kTitleFrontLayer], gameState.sceneFrame, 1);
  qz::BlitGraph(30, 0, titleGraphs[kTitlePicture], 1);
  DrawWindowPieces(titleGraphs[kTitleWindowBack], titleGraphs[kTitleWindowFrame], kWindowX, kWindowY);
  const char* const rows[kMenuRows] = {slotLabels[0].c_str(), slotLabels[1].c_str(), slotLabels[2].c_str(),
                                       "Settings", "Quit"};
  for (int row = 0; row < kMenuRows; ++row) {
    DrawColorText(kMenuTextX, kMenuFirstCursorY - 4 + kMenuPitch * row, GameString(rows[row]), kTextWhite);
  }
  if (--gameState.sceneFrame < 0) gameState.sceneFrame = kFrontLayerWrap;
  if (--gameState.scenePage < 0) gameState.scenePage = kBackLayerWrap;
}

void UpdateMenu() {
  qz::BlitGraph(kMenuCursorX, MenuCursor.y, images.cursor1, 1);
  // The frame that ends a slide reads the keys as well: a held direction
  // moves again every 8 frames, and a Confirm on that frame counts.
  StepCursorSlide(MenuCursor);
  if (MenuCursor.moving != 0) return;
  if (ActionFlags.confirm != 0) {
    TitleStartRequest = 0;
    WindowState = 0;
    WindowFrame = 0;
    gameState.saveSlot = MenuCursor.row + 1;
    if (MenuCursor.row == kLastMenuRow) gameState.quitRequested = 1;
    return;
  }
  MoveCursorByPad(MenuCursor, kLastMenuRow, kMenuFirstCursorY, kMenuPitch, kMenuStep);
}

// New Game, or a slot that would not load: the opening from its first page.
void StartOpening() {
  ReleaseGraphOnce(newScreen);
  newScreen = LoadImage("\\data_en\\BG_Opening1-1.png");
  CaptureScreen(oldScreen);
  CrossfadeScreens(1);
  CaptureScreen(oldScreen);
  sceneBackground = LoadImage("\\data_en\\BG_Opening1-2.png");
  fadeRequest = 2;
  skipFade = 1;
  gameState.scene = kSceneOpening;
  gameState.sceneFrame = 0;
}

void LeaveTitle() {
  const int request = TitleStartRequest;
  ReleaseTitleGraphs();
  FadeScreenToBlack(1);
  fadeRequest = 2;
  skipFade = 1;
  gameState.scene = kSceneFloorPlay;
  ResetNewGame();
  // Nothing of a floor left by Escape may reach the opening or the next floor.
  ResetEnemyRecords();
  EmptyBulletPool();
  gameState.saveSlot = MenuCursor.row + 1;
  if (request == 1 && ReadSaveFile(gameState.saveSlot) == 1) {
    // The reader accepts only "001".."100", so the index is in range.
    floorNumber = ParseIntAndFree(mapName) - 1;
    EnterDoor(entrance, 1, 0);
  } else {
    StartOpening();
  }
  WindowState = 0;
  WindowFrame = 0;
  TitleStartRequest = 0;
  LoadCandleMask();
  SetInputLatches(1);
}

}  // namespace

namespace {

// "DAMAGED" is as long as "NO DATA", so the menu keeps its layout.
GameString SlotLabel(int slot, SlotContents contents) {
  const std::string head = "Save " + std::to_string(slot) + " [";
  switch (contents) {
    case SlotContents::kEmpty: return GameString((head + "NO DATA]").c_str());
    case SlotContents::kDamaged: return GameString((head + "DAMAGED]").c_str());
    case SlotContents::kSaved: break;
  }
  return GameString((head + "Floor " + mapName.c_str() + "]").c_str());
}

}  // namespace

GameString MakeSaveSlotLabel(int slot) { return SlotLabel(slot, ReadSaveSlot(slot)); }

void EnterTitleScene() {
  RenewGraph(oldScreen);
  RenewGraph(newScreen);
  RenewGraph(thirdScreen);
  RenewGraph(pictureScreen);
  ReleaseTitleGraphs();
  sceneBackground = LoadImage("\\data_en\\BG_F026_Blue.png");
  titleGraphs[kTitleFrontLayer] = LoadImage("\\data_en\\BG_Title01.png");
  titleGraphs[kTitlePicture] = LoadImage("\\data_en\\BG_Title02.png");
  titleGraphs[kTitleWindowFrame] = LoadImage("\\data_en\\st_title_window01.png");
  titleGraphs[kTitleWindowBack] = LoadImage("\\data_en\\st_title_window02.png");
  for (int slot = 1; slot <= 3; ++slot) {
    slotContents[slot - 1] = ReadSaveSlot(slot);
    slotLabels[slot - 1] = SlotLabel(slot, slotContents[slot - 1]);
  }
  MenuCursor.y = kMenuFirstCursorY;
  MenuCursor.row = 0;
  MenuCursor.frameCounter = 0;
  MenuCursor.moving = 0;
  DialogCursor.closeRequest = 0;
  FadeScreenToBlack(0);
  gameState.sceneFrame = 0;
  gameState.scenePage = 0;
  WindowState = 0;
  WindowFrame = 0;
  TitleStartRequest = 0;
  gameState.saveSlot = kTitleMenu;
  gameState.scene = kSceneTitle;
  fadeRequest = 1;
  skipFade = 0;
  PlayBgm(GameString("BGM_Title.mp3"), 0);
}

void UpdateTitleMenu() {
  DrawTitle();
  switch (gameState.saveSlot) {
    case kTitleMenu: UpdateMenu(); break;
    case 1:
    case 2:
    case 3: UpdateSlotChoiceWindow(slotContents[gameState.saveSlot - 1] == SlotContents::kDamaged); break;
    case kTitleSettings: UpdateConfigWindow(); break;
    default: break;  // quitting
  }
  if (TitleStartRequest > 0) LeaveTitle();
}
