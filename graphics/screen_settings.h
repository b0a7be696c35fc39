// The configured screen size, read by whatever needs the screen's shape before
// or without a device (the default aspect of the projection builders).
// Values not yet set read as 640 by 480.
#pragma once

namespace qz {

// Each pointer may be null; returns 0.
int GetScreenModeSize(int* width, int* height);
// Records the configured size; 0 or below restores the default. Returns 0.
int SetScreenModeSize(int width, int height);

}  // namespace qz
