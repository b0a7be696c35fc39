// Small operations the graph and drawing code shares with the device layer:
// the vertex colour of the current draw settings, the draw-target size
// check, vector transforms and the software rectangle frame.
#pragma once

#include <cstdint>

#include "core/matrix.h"

namespace qz {

struct GraphRecord;

// 0xAARRGGBB: alpha the blend parameter while a blend mode is set (else
// 255), red, green and blue the draw brightness.
std::uint32_t GetDrawDiffuseColor();

// 0 when the draw target is a valid graph at least as wide and high as
// `graph`, else -1.
int CheckDrawScreenFits(const GraphRecord* graph);

// out = v x m (row vector) with the translation row; computed in double.
Vector3* TransformVectorByMatrix(Vector3* out, const Vector3* v, const Matrix4x4* m);
// The same with the upper 3 by 3 part only.
Vector3* TransformNormalByMatrix(Vector3* out, const Vector3* v, const Matrix4x4* m);

// One-pixel outline (x2, y2 exclusive) on the software draw target. 0.
int SoftDrawRectFrame(int x1, int y1, int x2, int y2, std::uint32_t color);

}  // namespace qz
