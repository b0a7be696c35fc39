// The run-table continuation of the plain blit: transparent draws of whole,
// unclipped sources walk the block's run table instead of testing pixels.
#pragma once

#include "softrender/blit_dispatch.h"
#include "softrender/mem_img.h"

namespace qz::blit {

// True when the block's run table was built for exactly this view (the pixel
// writer records the view), so walking it stays inside the view.
bool RunTableMatchesView(const MEMIMG* src);

// Picks the run loop for the choice; null when nothing is to be drawn.
LoopFn PickRunLoop(const Choice& c);

}  // namespace qz::blit
