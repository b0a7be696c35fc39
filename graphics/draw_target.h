// The draw target: where drawing goes (-2 back screen, -4 front screen, or a
// drawable graph; -3 and -5 draw into the screen surfaces too), clearing it
// to the window's background colour, and copying a rectangle of it into a
// graph.
#pragma once

#include "platform/window.h"

namespace qz {

inline constexpr int kBackScreen = -2;
inline constexpr int kFrontScreen = -4;

// 0, or -1 (not started, undrawable graph, unknown target: target unchanged).
int SelectDrawTarget(int target);
int GetDrawTarget();
// Size of the current target (the screen size for screen targets).
int GetDrawTargetWidth();
int GetDrawTargetHeight();

// Clears `rect` of the target, or all of it when null or when its left or
// top is negative; returns 0.
int ClearDrawTarget(const plat::WinRect* rect);

// Copies (left, top, right, bottom) of the current target into `graph`,
// which must be exactly that size. `flag` is not used. 0 or -1.
int CaptureScreenToGraph(int left, int top, int right, int bottom, int graph, int flag);
// Copies the rectangle of `sourceTarget` (a graph, else the screen) to
// (destX, destY) of `graph`. 0 or -1.
int CaptureScreenRectToGraphCore(int sourceTarget, int left, int top, int right, int bottom, int destX, int destY,
                                 int graph, int flag);

}  // namespace qz
