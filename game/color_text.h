// One line of text in the default font, in one of the screens' fixed colours,
// over a one-pixel black shadow.
#pragma once

#include "game/game_string.h"

// Colour codes 1..9; any other code draws white.
enum TextColour : int {
  kTextWhite = 0,
  kTextBlue = 1,
  kTextRed = 2,
  kTextMagenta = 3,
  kTextDarkBlue = 4,
  kTextCyan = 5,
  kTextYellow = 6,
  kTextGrey = 7,
  kTextOrange = 8,
  kTextLightBlue = 9,
};

// Draws text at (x, y) after its shadow at (x + 1, y + 1).
void DrawColorText(int x, int y, GameString text, int colour);
