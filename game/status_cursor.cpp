// Moves on the grid and the panel go one cell at a time and never wrap; the
// two cross over between the grid's last column and the panel's first by
// bands of y. Grid pitches do not divide by the eight steps, so the ninth
// frame of every move puts the cursor exactly on its target.
#include "game/status_cursor.h"

#include <climits>

#include "game/game_assets.h"
#include "game/screen_state.h"
#include "graphics/draw_graph.h"

namespace {

constexpr std::uint32_t kPadDown = 0x1, kPadLeft = 0x2, kPadRight = 0x4, kPadUp = 0x8;
constexpr int kMoveSteps = 8;
constexpr int kAnimationPieces = 6;
constexpr int kTicksPerPiece = 5;

// Rest positions of an area: first and last x and y, the pitch between
// cells, the pixels a frame of a move and the entries per row.
struct Area {
  int x, y, lastX, lastY;
  int pitchX, pitchY;
  int stepX, stepY;
  int columns;
};

constexpr Area kGrid{52, 62, 322, 314, 30, 28, 4, 3, 10};
constexpr Area kPanel{422, 140, 542, 300, 40, 40, 5, 5, 4};

// Where a crossing lands: the first band whose maxY holds the cursor's y.
struct Landing {
  int maxY, row, y;
};

constexpr Landing kGridToPanel[] = {{146, 100, 140}, {202, 104, 180}, {230, 108, 220}, {258, 112, 260},
                                    {INT_MAX, 116, 300}};
constexpr Landing kPanelToGrid[] = {{140, 39, 146}, {180, 49, 174}, {220, 69, 230}, {260, 79, 258},
                                    {INT_MAX, 99, 314}};

void StartMove(int targetX, int targetY, int xStep, int yStep, int row) {
  MenuCursor.targetX = targetX;
  MenuCursor.targetY = targetY;
  MenuCursor.xStep = xStep;
  MenuCursor.yStep = yStep;
  MenuCursor.row = row;
  MenuCursor.frameCounter = 0;
  MenuCursor.moving = 1;
}

void MoveWithin(const Area& a, int dx, int dy) {
  const int x = MenuCursor.x + dx * a.pitchX, y = MenuCursor.y + dy * a.pitchY;
  if (x < a.x || x > a.lastX || y < a.y || y > a.lastY) return;
  StartMove(x, y, dx * a.stepX, dy * a.stepY, MenuCursor.row + dx + dy * a.columns);
}

template <std::size_t N>
void CrossOver(const Landing (&bands)[N], int targetX) {
  for (const Landing& band : bands) {
    if (MenuCursor.y > band.maxY) continue;
    StartMove(targetX, band.y, (targetX - MenuCursor.x) / kMoveSteps, (band.y - MenuCursor.y) / kMoveSteps, band.row);
    return;
  }
}

}  // namespace

void PlaceStatusCursorOnFloor(int floor) {
  MenuCursor.frameCounter = 0;
  MenuCursor.animationFrame = 0;
  MenuCursor.animationTick = 0;
  MenuCursor.moving = 0;
  MenuCursor.row = floor;
  MenuCursor.x = kGrid.x + kGrid.pitchX * (floor % kGrid.columns);
  MenuCursor.y = kGrid.y + kGrid.pitchY * (floor / kGrid.columns);
}

void StartStatusCursorMove(std::uint32_t pad) {
  if (MenuCursor.moving != 0) return;
  const int dx = (pad & kPadRight) != 0 ? 1 : (pad & kPadLeft) != 0 ? -1 : 0;
  const int dy = dx != 0 ? 0 : (pad & kPadDown) != 0 ? 1 : (pad & kPadUp) != 0 ? -1 : 0;
  if (dx == 0 && dy == 0) return;
  if (MenuCursor.x < kPanelLeftX) {
    if (dx > 0 && MenuCursor.x >= kGrid.lastX) {
      CrossOver(kGridToPanel, kPanel.x);
    } else {
      MoveWithin(kGrid, dx, dy);
    }
  } else if (dx < 0 && MenuCursor.x <= kPanel.x) {
    CrossOver(kPanelToGrid, kGrid.lastX);
  } else {
    MoveWithin(kPanel, dx, dy);
  }
}

void StepStatusCursor() {
  if (++MenuCursor.animationTick >= kTicksPerPiece) {
    MenuCursor.animationTick = 0;
    MenuCursor.animationFrame = (MenuCursor.animationFrame + 1) % kAnimationPieces;
  }
  StepCursorMove(MenuCursor);
}

void DrawStatusCursor() {
  const int* pieces = MenuCursor.x < kPanelLeftX ? sheets.cursor3 : sheets.cursor2;
  qz::BlitGraph(MenuCursor.x, MenuCursor.y, pieces[MenuCursor.animationFrame % kAnimationPieces], 1);
}
