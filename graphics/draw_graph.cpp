// Graph drawing front end.
#include "graphics/draw_graph.h"

namespace qz {

int BlitGraph(int, int, int, int) { return -1; }
int BlitGraphStretched(int, int, int, int, int, int) { return -1; }
int BlitGraphStretchedF(float, float, float, float, int, int) { return -1; }
int BlitGraphMirrored(int, int, int, int) { return -1; }
int BlitGraphRotated(int, int, double, double, int, int, int) { return -1; }
int BlitGraphRotatedF(float, float, double, double, int, int, int) { return -1; }
int BlitGraphSubRect(int, int, int, int, int, int, int, int, int) { return -1; }
int BlitGraphOnQuad(float, float, float, float, float, float, float, float, int, int) { return -1; }

}  // namespace qz
