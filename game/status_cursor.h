// The status screen's cursor (MenuCursor) over the 10 x 10 floor grid and
// the 4 x 5 panel: where each entry rests, the nine-frame moves between them
// and the animated cursor pieces.
#pragma once

#include <cstdint>

// Left of this x the cursor is on the grid, from it on on the panel.
inline constexpr int kPanelLeftX = 390;

// At rest on floor index f (0..99), animation restarted.
void PlaceStatusCursorOnFloor(int floor);
// From rest, starts the move the held directions of the pad word ask for
// (right beats left, down beats up, sideways beats up and down); a move that
// would leave the grid or the panel starts nothing.
void StartStatusCursorMove(std::uint32_t pad);
// One frame: the animation tick, and the move's step (its first frame plays
// the select sound; the ninth lands on the target).
void StepStatusCursor();
// The grid cursor or the panel cursor, by where the cursor is.
void DrawStatusCursor();
