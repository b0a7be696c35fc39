// Parts of the graph drawing front end that the device builders call back:
// the float-corner quad of the device path and the subtractive emulation for
// devices without a reverse-subtract blend operation.
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

}  // namespace qz
