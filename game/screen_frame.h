// The frame helpers every screen shares, below the entry and the screens: the
// screen size, the frame wait that paces every loop (blocking ones included),
// the Escape test and the window pump that notes the window's close.
#pragma once

#include <cstdint>

inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;
// The least time a frame takes.
inline constexpr int kFrameMilliseconds = 16;

// The millisecond count at the end of the previous frame wait.
extern std::int32_t lastFrameTime;

// Waits until at least 16 ms have passed since the previous frame (the
// 31-bit counter may wrap meanwhile); returns the new lastFrameTime.
std::int32_t WaitFrame();
// Test hook: called at the end of every frame wait, the frames of blocking
// sequences included, so scripted input can change from frame to frame.
void SetFrameWaitHookForTest(void (*hook)());
// Harness switch: the blocking animations (fades, message window zooms) show
// only their last frame, or none when the screen after them is drawn anyway.
// Their cost is the frames they draw, not their waits.
void SetAnimationsCutToTheirEndForTest(bool cut);
bool AnimationsCutToTheirEnd();
// A pause on the picture shown (a floor's banner, a chest opening, a death):
// the library's wait, which pumps the window and ends on the clock, virtual
// time included, so tests and harnesses need no way around it.
void HoldPicture(int milliseconds);
// Whether Escape is down: the screens decide what it asks (CheckQuitRequest).
bool EscapePressed();
// Pumps the window: 1 (with the quit flag set) when the window is closing,
// else 0.
int PumpWindowMessages();
