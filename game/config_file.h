// The configuration the game starts with: "\save\config.ini", section
// "Config" (screen mode, volume, button map, the software-rendering switch).
#pragma once

#include <cstdint>

extern std::int32_t volumePercent;     // 0..100
extern std::int32_t no3DAcceleration;  // 1: software renderer

// Sets the built-in values (window mode, the built-in button map, volume 80,
// 3D allowed), then reads the file when it can be opened; keys it lacks take
// their own defaults.
void ReadConfigFile();
// Removes the temporaries of settings writes cut off by a kill.
void RemoveInterruptedConfigWrites();
