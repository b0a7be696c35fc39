// The clip rectangle every draw obeys, and applying it again after the window
// moved or the device was rebuilt.
#pragma once

namespace qz {

int SetClipRectangle(int left, int top, int right, int bottom);
// Sets the rectangle last asked for again.
int ReapplyClipRectangle();

}  // namespace qz
