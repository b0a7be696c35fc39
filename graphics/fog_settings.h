// Fog settings of the 3D drawing, stored in the draw-settings block.
#pragma once

namespace qz {

// 0 none, 1 exponential, 2 squared exponential, 3 linear; 0.
int SetFogMode(int mode);
// Each channel taken modulo 256, stored as 0xFFRRGGBB; 0.
int StoreFogColor(int red, int green, int blue);
int StoreFogRange(float start, float end);

}  // namespace qz
