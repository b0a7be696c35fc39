// Floor map files and floor loading: the file of mapName is read whole,
// checked, and only then replaces the floor being played. A refused file is
// named on stderr with the reason (missing, truncated, bytes past its end,
// the field at fault); the caller shows the floor failure and returns to the
// title without saving (ShowFloorFailureAndEnterTitle).
#pragma once

#include "game/game_string.h"
#include "game/map_format.h"

// Loads the floor named by mapName and enters it at entrance 0..4: 1, or 0
// when a missing or malformed file left everything as it was.
int LoadFloor(int entrance);
// Reads and checks the file and sets the floor up from it: 1, or 0 (logged)
// with nothing changed.
int LoadMapFile(int entrance);
// "" when the record fits the game's fixed tables, else the field at fault.
const char* MapFileFault(const MapFileData& data);
