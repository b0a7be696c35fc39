// The screen crossfade between the two work graphs, and the deferred fade
// that scene changes ask the frame loop for.
#pragma once

#include <cstdint>

// 0: no fade pending; r > 0: crossfade with mode r - 1 after this frame.
extern std::int32_t fadeRequest;
// Non-zero: the pending fade waits one more frame. Cleared after every frame.
extern std::int32_t skipFade;

// Blocking fade from oldScreen to newScreen, one presented frame per alpha
// step (mode 0 step 8, 1 step 16, 2 step 8 up to 127 and no final frame,
// 3 step 32; other modes as 1), or with animations cut only the last (mode
// 2's half-way blend, every other mode's new picture). Both work graphs are then new and blank. A
// window close ends it early and sets the quit flag.
void CrossfadeScreens(int mode);
// CrossfadeScreens from oldScreen to the screen as drawn (captured into
// newScreen, unless animations are cut and the fade would end on it as it is).
void CrossfadeToDrawnScreen(int mode);
// Copies the whole screen into a 640 by 480 graph.
void CaptureScreen(int graph);
// Captures the screen into oldScreen as the first picture of a following
// CrossfadeToDrawnScreen(mode); nothing when animations are cut and that fade
// would never show it (it then ends on the new picture alone).
void CaptureFadeStart(int mode);
// Blocking fade from the screen as it is to black; the black screen is then
// oldScreen, the picture the next fade starts from.
void FadeScreenToBlack(int mode);
// The scene-change convention: capture the screen into oldScreen, ask for
// fade `request` on the next frame, and make held buttons count as old.
void RequestDeferredFade(int request);
