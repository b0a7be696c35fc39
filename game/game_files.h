// Probes of the game's files through the library's file layer, which sees
// the archives that stand for folders as well as the folders themselves.
#pragma once

#include "game/game_string.h"

// 1 when the library's file layer opens path (closed again at once), else 0.
int CanOpenFile(GameString path);
