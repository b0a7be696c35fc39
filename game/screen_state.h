// State the game screens share: the two sliding cursors, the message-window
// pictures, the window state the title lends its windows, the title's graphs,
// and the drawing and cursor steps every window repeats.
#pragma once

#include <cstdint>

#include "game/game_assets.h"
#include "game/game_string.h"

// A sliding cursor; the screens use y, row, y step, frame counter, target y,
// moving and the close request.
struct CursorRecord {
  std::int32_t x, y, row;
  std::int32_t xStep, yStep;
  std::int32_t frameCounter;
  std::int32_t targetX, targetY;
  std::int32_t animationFrame, animationTick;
  std::int32_t moving;
  std::int32_t closeRequest;
};

extern CursorRecord MenuCursor;    // the title's, the shop's and the status screen's menus
extern CursorRecord DialogCursor;  // the windows over them

// The open window's two pieces: the frame and the back; -1 when none.
enum MessageWindowPiece : int { kWindowFramePiece = 0, kWindowBackPiece = 1 };
extern int MessageWindowGraphs[2];

// The title's windows: 0 opening, 1 open, 2 closing; the zoom frame 0..15;
// the slot window's answer (1 Continue, 2 New Game, 0 none or Cancel).
extern std::int32_t WindowState, WindowFrame, TitleStartRequest;

// The scene background and the title's layers, picture and window pieces.
enum TitleGraph : int { kTitleFrontLayer, kTitlePicture, kTitleWindowFrame, kTitleWindowBack, kTitleGraphCount };
extern int sceneBackground;
extern int titleGraphs[kTitleGraphCount];

// Plays an effect from its start without waiting.
void PlaySoundEffect(SoundEffect effect);
// Releases a graph if it is one and marks it -1.
void ReleaseGraphOnce(int& graph);
void ReleaseMessageWindowGraphs();
// Presents the old-screen graph every frame until Confirm or Cancel (true),
// or until the game leaves for the title or quits (false, window left open).
bool WaitForDismissal();
// Releases the old-screen graph and creates it again blank.
void RenewOldScreen();
// The back piece at alpha 216, then the frame over it, both transparent:
// stretched to (x1, y1)-(x2, y2), or unstretched at (x1, y1) when x2 < 0.
void DrawWindowPieces(int back, int frame, int x1, int y1, int x2 = -1, int y2 = -1);

// One frame of a cursor slide; false when the cursor is not sliding.
bool StepCursorSlide(CursorRecord& cursor);
// One frame of a nine-frame move (the shop's and the status screen's menus):
// the select sound on its first frame, eight steps, then the target.
void StepCursorMove(CursorRecord& cursor);
// Starts a slide one row up (direction -1) or down (+1) over rows 0..lastRow
// `pitch` pixels apart from firstY, `step` pixels a frame; from the first
// row up or the last down it wraps, by a seventh of the distance a frame.
void StartCursorMove(CursorRecord& cursor, int direction, int lastRow, int firstY, int pitch, int step);
// The held up and down bits move the cursor (down wins when both are held).
void MoveCursorByPad(CursorRecord& cursor, int lastRow, int firstY, int pitch, int step);
