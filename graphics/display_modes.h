// The display modes the desktop offers, listed once on first use and dropped
// at every device shutdown, and the change of the desktop's mode that the
// software path (and 320 by 240 emulation) needs for full screen.
#pragma once

namespace qz {

struct DisplayModeRecord {
  int width;
  int height;
  int colorBits;
  int refreshRate;
};

// Frees *list and builds a new one of the modes of 16 bits or more, in the
// display's order; an allocation failure leaves no list and a count of 0.
// Returns 0.
int EnumerateDisplayModes(int* count, DisplayModeRecord** list);
// The number of listed modes (listing them first when there is no list).
int GetDisplayModeCount();
// The mode at that index; four -1 outside the list.
DisplayModeRecord GetDisplayModeByIndex(int index);
// 1 when a mode of that width, height and colour bits exists (any refresh).
int CheckDisplayModeAvailable(int width, int height, int bits);
// Drops the list, so the next query lists the modes again.
void FreeDisplayModeList();

// Switches the desktop to the configured screen mode: a refused refresh rate
// is dropped (the stored rate becomes 0), and a refused 320 by 240 runs as
// 640 by 480 under emulation. 0, or -1 when no change could be made.
int ChangeScreenDisplayMode();

// Test hooks. Answer from this list (copied) instead of the display; a
// negative count goes back to the display's own list.
void SetDisplayModeListForTest(const DisplayModeRecord* modes, int count);
// The next lists cannot be allocated while set.
void SetDisplayModeAllocationFailureForTest(bool fail);

}  // namespace qz
