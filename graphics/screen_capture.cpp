// Copying a rectangle of the draw target into a graph.
#include "graphics/draw_target.h"

namespace qz {

int CaptureScreenToGraph(int, int, int, int, int, int) { return -1; }

int CaptureScreenRectToGraphCore(int, int, int, int, int, int, int, int, int) { return -1; }

}  // namespace qz
