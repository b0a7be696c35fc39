// Parts of the graph drawing front end that the device builders call back:
// the float-corner quad of the device path and the subtractive emulation for
// devices without a reverse-subtract blend operation; and the direct part
// draws that a string's glyph cells go through.
#pragma once

#include "core/rect.h"

namespace qz {

struct GraphRecord;

// Corners top-left, top-right, bottom-left, bottom-right. Each tile of the
// graph becomes its own quad at the matching share of the corners. 0, or -1
// without a device or on a lost device.
int BlitGraphOnQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                     GraphRecord* graph, int trans);

// Subtraction drawn as invert, add, invert: Begin inverts `rect` of the
// target and switches to the additive row, End inverts it again and goes back
// to the subtractive mode. Both keep the blend parameter and brightness.
int BeginSubBlendEmulation(const Rect& rect);
int EndSubBlendEmulation(const Rect& rect);

// The preamble steps every public draw shares.
// True while the skip-drawing flag is set or the clip is empty.
bool DrawingSkipped();
// True when the mask screen is active or the draw target is the front
// screen; the subtractive emulation needs a bracket too.
bool DrawBracketNeeded();
// The mask bracket around one draw; nothing while masked drawing is off.
void OpenMaskBracket(const Rect& rect);
void CloseMaskBracket(const Rect& rect);

// Many parts of textured graphs in a row (a string's glyph cells) skip the
// preamble each draw repeats: true when the settings, as they stand, let
// BlitGraphPartDirect stand in for BlitGraphSubRect without mirroring (the
// library is running with a usable device, drawing is on, and no bracket,
// subtraction or blend graph is asked for). Only the brightness may change
// before the parts are drawn.
bool GraphPartsDrawDirectly();
// Test hook: while not allowed, GraphPartsDrawDirectly says no, so tests can
// hold the direct parts against the general way.
void AllowDirectGraphPartsForTest(bool allowed);
// BlitGraphSubRect's pixels, without mirroring, once GraphPartsDrawDirectly
// said yes; a graph that is not a plain textured one takes the general way.
int BlitGraphPartDirect(int x, int y, int srcX, int srcY, int width, int height, int graph, int trans);

}  // namespace qz
