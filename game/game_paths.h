// The start directory every game path is built on: the directory current at
// start-up, followed by a relative path that begins with "\".
#pragma once

#include <string>

#include "game/game_string.h"

extern GameString currentDirectory;

// Reads the current directory in full (no length limit) into
// currentDirectory; 0, or -1 with an empty directory and a log line.
int ReadStartDirectory();
// currentDirectory followed by relative ("\data_en\x.png").
GameString GamePath(const char* relative);
// True when the start directory holds a data set: a data_en folder, or the
// archive that stands for it ("data_en.vtr").
bool DataSetFound();
// A game path as the system names the file on disk ("/home/x/data_en/x.png"),
// for messages to the player; the path as it is when it does not convert.
std::string DiskFileName(const GameString& path);
