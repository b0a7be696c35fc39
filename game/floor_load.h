// Floor map files and floor loading.
#pragma once

#include "game/game_string.h"

// 1 when the library's file layer opens path (closed again at once), else 0.
int CanOpenFile(GameString path);
