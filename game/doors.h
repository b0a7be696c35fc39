// Doors and the other ways a floor is entered, restarted or changed: the
// check cube, the recovery point and the opening of a beaten boss's floor.
#pragma once

inline constexpr int kEndingFloor = 101;

// Mode 0 follows door `index` of the floor; mode 1 enters the current floor
// (floorNumber) at entrance `index`. viaDoor 1 saves after the banner.
void EnterDoor(int index, int mode, int viaDoor);
// Makes the player's spot the floor's restart point (entrance 4).
void ActivateCheckCube();
// Refills life and magic with a white flash and a sparkle on each new pip.
void UseRecoveryPoint();
// Opens the floor of boss `boss` (0..6) once it is beaten.
void ApplyBossDefeated(int boss);
