// The message scene's pages: where a page's text file lies, reading it, and
// laying it out over the open window. RunMessageScene (screens.h) uses them.
#pragma once

#include <string>
#include <vector>

#include "game/game_string.h"

// Mode 0: the sign text of the player's cell on the current floor
// ("\text_en\[MSG] NNN XX-YY.txt"); mode 1: boss file `number`
// ("\text_en\[BOSS] NN.txt").
GameString MessagePagePath(int mode, int number);
// Up to six lines of the file (a line counts at most 255 bytes); none when
// it cannot be opened.
std::vector<std::string> ReadMessagePage(const GameString& path);
// The first five lines, each centred, the block centred on the window.
void DrawMessagePage(const std::vector<std::string>& lines);
