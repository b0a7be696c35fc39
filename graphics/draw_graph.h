// Public drawing of graphs: plain, stretched, mirrored, rotated, by
// sub-rectangle and onto quadrilaterals. Each call runs one shared preamble
// (skip flag, clip, handle, blend mask, brackets), then draws through the
// device builders for a textured graph or the software pixel routines for a
// software graph. Coordinates are pixels of the current draw target. trans
// non-zero honours the graph's transparent colour or alpha. All return 0 on
// success or a skipped draw, -1 on failure.
#pragma once

namespace qz {

int BlitGraph(int x, int y, int graph, int trans);
// The top-left corner lands on (x1, y1), the bottom-right on (x2, y2);
// reversed corners mirror the graph.
int BlitGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans);
int BlitGraphStretchedF(float x1, float y1, float x2, float y2, int graph, int trans);
// Left to right mirror at the graph's own size.
int BlitGraphMirrored(int x, int y, int graph, int trans);
// (x, y) is the centre; angle in radians, clockwise on screen.
int BlitGraphRotated(int x, int y, double scale, double angle, int graph, int trans, int mirror);
int BlitGraphRotatedF(float x, float y, double scale, double angle, int graph, int trans, int mirror);
// Draws the part (srcX, srcY, width, height) of the graph with its top-left
// at (x, y).
int BlitGraphSubRect(int x, int y, int srcX, int srcY, int width, int height, int graph, int trans, int mirror);
// Corners in the order top-left, top-right, bottom-right, bottom-left.
int BlitGraphOnQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                    int trans);

}  // namespace qz
