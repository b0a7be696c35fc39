// What floor play and the frame loop call of the game screens: the quit
// check, the scene functions, the scene entries, message windows and the
// status-bar numbers.
// The save file is save_file.h, the crossfade crossfade.h, coloured text color_text.h.
#pragma once

#include <functional>

#include "game/game_string.h"
#include "game/save_file.h"

// Escape sends a scene to the title and quits from the title; then pumps the
// window (screen_frame.h). 1 (with the quit flag set) when the window is
// closing, else 0. The frame loop and every blocking screen loop call it.
int CheckQuitRequest();

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
// Opens (mode 1) or closes (mode 0) message window kind 0..2. While it zooms
// open, `drawContents` (if any) draws the window's text, clipped to the part
// already open, so the window opens with its text; it ends drawn at full size,
// not yet presented.
void AnimateMessageWindow(int mode, int kind, const std::function<void()>& drawContents = nullptr);
// One number of the status bar: kind 1 floor, 3 keys, 4 coins, 5 magic, 6
// time; kind 7 the status screen's floor number `value` + 1 at (x, y). A
// negative value draws as 0 and a character that is not a digit is skipped,
// so no text indexes past a digit sheet.
void DrawHudNumber(int kind, int value, int x, int y);
// Where the status bar's floor clock starts: its digits end at the panel's
// right edge, one place further left from 1000 seconds on.
int FloorTimeLeft();
