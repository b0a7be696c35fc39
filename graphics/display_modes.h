// The display modes the screen can switch to, as the library start and the
// window procedure ask for them.
#pragma once

namespace qz {

struct DisplayModeRecord {
  int width;
  int height;
  int colorBits;
  int refreshRate;
};

// 1 when a mode of that width, height and colour bits exists (any refresh).
int CheckDisplayModeAvailable(int width, int height, int bits);

// Test hook: answer from this list (copied) instead of the display; a
// negative count drops the list again.
void SetDisplayModeListForTest(const DisplayModeRecord* modes, int count);

}  // namespace qz
