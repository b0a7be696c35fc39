// The start directory every game path is built on: the directory current at
// start-up, followed by a relative path that begins with "\".
#pragma once

#include "game/game_string.h"

extern GameString currentDirectory;

// Reads the current directory in full (no length limit) into
// currentDirectory; 0, or -1 with an empty directory and a log line.
int ReadStartDirectory();
// currentDirectory followed by relative ("\data_en\x.png").
GameString GamePath(const char* relative);
