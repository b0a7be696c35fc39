// Doors and the other ways a floor is entered or restarted.
#pragma once

// Mode 0 follows door `index` of the floor; mode 1 enters the current floor
// (floorNumber) at entrance `index`. viaDoor 1 saves after the banner.
void EnterDoor(int index, int mode, int viaDoor);
