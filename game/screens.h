// What floor play and the frame loop call of the game screens: the scene
// functions, the scene entries, message windows and the status-bar numbers.
// The save file is save_file.h, the crossfade crossfade.h, coloured text color_text.h.
#pragma once

#include "game/game_string.h"
#include "game/save_file.h"

// Per-frame functions of scenes 0, 2, 3, 5, 6 and 10.
void UpdateTitleMenu();
void UpdateStatusScreen();
void UpdateShopScene();
void UpdateOpeningScene();
void UpdateEndingScene();
void UpdateUpgradeResultScene();

// Scene entries: the title (scene 0), the shop (3), the status screen (2).
void EnterTitleScene();
// "Save n [Floor NNN]", "Save n [NO DATA]" or "Save n [DAMAGED]"; reads slot
// n into the live game.
GameString MakeSaveSlotLabel(int slot);
void EnterShop();
void EnterStatusScreen();

// Blocking message window; mode 0 the current floor's sign, 1 a boss file by
// number, 2 the given text. Clears the player's event code.
void RunMessageScene(int mode, int number, GameString text);
// A floor that could not be loaded: "Floor NNN could not be loaded." in a
// message window until dismissed, then the title, with nothing saved.
void ShowFloorFailureAndEnterTitle(int floor);
// Opens (mode 1) or closes (mode 0) message window kind 0..2.
void AnimateMessageWindow(int mode, int kind);
// One number of the status bar: kind 1 floor, 3 keys, 4 coins, 5 magic, 6
// time; kind 7 the status screen's floor number `value` + 1 at (x, y).
void DrawHudNumber(int kind, int value, int x, int y);
// Where the status bar's floor clock starts: its digits end at the panel's
// right edge, one place further left from 1000 seconds on.
int FloorTimeLeft();
