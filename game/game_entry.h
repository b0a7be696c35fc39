// The game's entry: start-up, the frame loop with its pacing and quit check,
// and the end. RunGame is the whole program; the other steps are separate so
// tests can start the game, run frames one by one and end it.
#pragma once

#include <cstdint>

inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;
// The least time a frame takes.
inline constexpr int kFrameMilliseconds = 16;

// The millisecond count at the end of the previous frame wait.
extern std::int32_t lastFrameTime;

// Start-up, the frame loop until the quit flag is set or the window closes,
// and the end: 0, or -1 when the library cannot start.
int RunGame();
// Reads the start directory and configuration, starts the library, shows the
// logo, loads every picture and sound, resets the game and enters the debug
// floor or the title. 0, or -1 when the library did not start.
int StartGame();
// One frame: pace, input, clear, the scene's function, a pending fade, present.
void RunFrame();
// Frames until the quit flag is set or the window closes.
void RunFrameLoop();
// Deletes every graph and ends the library.
void EndGame();

// Waits until at least 16 ms have passed since the previous frame (the
// 31-bit counter may wrap meanwhile); returns the new lastFrameTime.
std::int32_t WaitFrame();
// Test hook: called at the end of every frame wait, the frames of blocking
// sequences included, so scripted input can change from frame to frame.
void SetFrameWaitHookForTest(void (*hook)());
// Escape sends a scene to the title and quits from the title; then pumps the
// window. 1 (with the quit flag set) when the window is closing, else 0.
int CheckQuitRequest();
