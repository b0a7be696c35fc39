// Scene 1: the frame of the floor being played.
#pragma once

#include <cstdint>

// 1 while the shop or the status screen hides the floor's row of the HUD.
extern std::int32_t hudItemsHidden;

// Advances and draws one frame of the floor.
void UpdateFloorPlay();
