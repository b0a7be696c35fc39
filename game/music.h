// Background music, streamed from "\sound\" and looped, and the one volume
// percentage that scales the music and the sound effects.
#pragma once

#include <cstdint>

#include "game/game_string.h"

extern std::int32_t bgmHandle;  // -1: no music

// The library's volume 0..255 of a percentage 0..100 (integer division).
int VolumeLevel(int percent);
// Sets the volume on the music and the three menu sounds, and with allSounds
// on every other sound effect too.
void ApplyVolume(int percent, int allSounds);
// Stops and deletes the music, then mode 0 plays name ("BGM_F001.mp3" when
// it cannot be opened; bgmName is left alone), mode 1 plays bgmName, mode 2
// only empties bgmName.
void PlayBgm(GameString name, int mode);
