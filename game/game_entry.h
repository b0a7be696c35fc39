// The game's entry: start-up, the frame loop (paced by screen_frame.h),
// and the end. RunGame is the whole program; the other steps are separate so
// tests can start the game, run frames one by one and end it.
#pragma once

// Start-up, the frame loop until the quit flag is set or the window closes,
// and the end: 0, or -1 (said on stderr) when there is no display (and no
// backend chosen by QZ_BACKEND) or the start failed.
int RunGame();
// Reads the start directory and configuration, starts the library, shows the
// logo, loads every picture and sound, resets the game and enters the debug
// floor or the title. 0, or -1 (said on stderr) when the start directory
// holds no data set or the library did not start (with the library's reason).
int StartGame();
// One frame: pace, input, clear, the scene's function, a pending fade, present.
void RunFrame();
// Frames until the quit flag is set or the window closes.
void RunFrameLoop();
// Deletes every graph and ends the library.
void EndGame();

