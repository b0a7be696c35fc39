// Rotated and scaled drawing of a whole software image about a centre point,
// by inverse mapping of the covered destination rectangle in 14.18 fixed
// point; mirrored drawing goes through the four-corner path.
#pragma once

#include <cstdint>

#include "softrender/mem_img.h"

namespace qz {

// The per-call geometry of a rotated drawing, all in 14.18 fixed point.
struct RotationSetup {
  std::int32_t cosNeg, sinNeg;  // cosine and sine of -angle
  std::int32_t cosPos, sinPos;  // of +angle
  // Corners of the drawn image: top-left, bottom-left, bottom-right,
  // top-right (named as in the unrotated image).
  std::int32_t cornerX[4], cornerY[4];
  std::int32_t uStepX, vStepX;  // source step per destination pixel on a line
  std::int32_t centreX, centreY;        // whole destination pixels
  std::int32_t halfWidth, halfHeight;   // the source's centre, whole pixels
  float scale;
};

enum RotationCorner { kCornerTopLeft = 0, kCornerBottomLeft = 1, kCornerBottomRight = 2, kCornerTopRight = 3 };

// Fills the geometry of a source of w x h pixels drawn at (x, y). False when
// the angle is not finite or the scale is not a finite number above 0.
bool SetUpRotation(std::int32_t w, std::int32_t h, std::int32_t x, std::int32_t y, float angle, float scale,
                   RotationSetup* setup);

// The source position (14.18) that destination pixel (px, py) maps to.
void RotatedSourcePoint(const RotationSetup& setup, std::int32_t px, std::int32_t py, std::int32_t* u,
                        std::int32_t* v);

// Draws src rotated by angle (radians, clockwise on screen) and scaled about
// the destination pixel (x, y), through the global draw state. With mirror
// set the image is flipped left to right. Refused input (formats that differ,
// a palettised or alpha destination, a blend image smaller than the source, a
// scale that is not above 0) draws nothing. Keeps static working tables:
// main thread only.
void DrawMemImgRotated(MEMIMG* dst, const MEMIMG* src, std::int32_t x, std::int32_t y, float angle, float scale,
                       int trans, int mirror, const MEMIMG* blendImage);

}  // namespace qz
