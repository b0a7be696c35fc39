// The mask screen: a screen-sized byte per pixel deciding where drawing lands
// (0 lets it through, anything else keeps the target's pixel). While masked
// drawing is active every draw goes to a work screen and is copied back to
// the target through the mask, on both render paths. The window services turn
// its use off and on again when the window moves.
#pragma once

#include <cstdint>

namespace qz {

struct MaskScreenFlags {
  std::int32_t useRequested;
  std::int32_t active;  // use requested and the mask screen made
  std::int32_t made;
};

MaskScreenFlags& GetMaskScreenFlags();

// Makes the mask buffer (zeroed) and the work screen when `make` is set. 0.
// Missing formats or failed creations end the program.
int CreateMaskScreen(int make);
// The work screen and the device objects; the mask buffer is kept, so a
// device rebuild brings the same mask back. 0.
int ReleaseMaskScreen();
// After a device rebuild: the work screen again and the use re-applied. 0.
int RestoreMaskScreen();
// Use off, everything released with the mask buffer, flags cleared. 0.
int TerminateMaskScreen();
// The use-requested flag, whether or not a mask screen exists.
int IsMaskScreenInUse();
// -1 without a mask buffer. Points drawing at the work screen while active,
// else back at the draw target. 0.
int SetMaskScreenInUse(int flag);

// The bracket of one draw while masked drawing is active: Begin copies the
// rectangle of the target to the work screen, End copies it back through the
// mask. Nested brackets act only at the outermost level. 0.
int BeginMaskedDraw(int left, int top, int right, int bottom);
int EndMaskedDraw(int left, int top, int right, int bottom);

// Keeps drawing on the work screen after the draw target changes.
void FollowDrawTargetWithMask();

// A clear reaches the draw target itself, not the work screen: while masked
// drawing is active, `lift` points drawing at the target for the clear and
// the second call (lift 0) back at the work screen. Nothing otherwise.
void LiftMaskForClear(int lift);

// The program's side: make the mask screen and use it; fill a rectangle of
// the mask buffer with a value (clipped to the screen). 0, or -1.
int MakeMaskScreen();
int FillMaskScreenRect(int left, int top, int right, int bottom, int value);
// The mask byte at (x, y); -1 outside or without a mask buffer.
int GetMaskScreenValue(int x, int y);

// Mask handles: images a program keeps for the mask buffer. The handle of a
// zeroed width x height image, or -1.
int MakeMaskHandle(int width, int height);
int ReleaseMaskHandle(int handle);
int ReleaseAllMasks();

}  // namespace qz
