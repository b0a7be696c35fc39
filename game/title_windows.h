// The two windows the title opens over itself: the slot choice (Continue,
// New Game, Cancel) and the configuration (screen mode, volume, buttons).
// Per-frame functions: they draw one frame and read that frame's input.
#pragma once

#include "game/game_string.h"

// While the save-slot field is 1..3; the answer goes to TitleStartRequest. A
// damaged slot's Continue is greyed and refused (with the cancel sound), so
// only New Game, chosen, replaces it.
void UpdateSlotChoiceWindow(bool slotDamaged);
// While the save-slot field is 4; "Save Settings" writes "\save\config.ini".
void UpdateConfigWindow();
// Index 10 or more: the volume; 0..8: button ButtonMap[index] + 1 and a blank
// (the rows' seven, then the two spares); any other index: "".
GameString MakeConfigValueText(int index);
