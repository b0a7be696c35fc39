// Reading pixels back from the screen or a drawable graph, for the layered
// window present and for screen capture. On the hardware path the render
// surface is either locked in place or copied through a temporary render
// target into system memory; which way is quicker is measured once per
// device. The image handed out points at locked pixels and is valid only
// until ReleaseBackBufferLockSurfaces, with no drawing in between.
#pragma once

#include "image/base_image.h"
#include "platform/window.h"

namespace qz {

// `target`: a graph handle, a screen id, or -1 for the current draw target.
// Fills `out` with the rectangle's pixels (not owned: do not free) and
// returns 0, or -1 when the rectangle leaves the target or a surface fails.
int LockBackBufferImage(const plat::WinRect* rect, BaseImage* out, int target);
// Ends a read-back; returns 0.
int ReleaseBackBufferLockSurfaces();

// The timing of both ways at device creation; sets whether the direct lock
// is used and logs the outcome. Returns 0.
int RunBackBufferReadbackTest();
// 1 when the device's read-back locks the render surface in place.
int IsBackBufferDirectLockUsed();
// The square side the timing uses for a screen of this size.
int ReadbackTestSide(int screenWidth, int screenHeight);

}  // namespace qz
