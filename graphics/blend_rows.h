// The ready-made texture-stage set-ups of textured primitives, by stage
// variant, modulation flags, blend graph and alpha source.
#pragma once

#include "graphics/pending_draw_state.h"

namespace qz {

// Alpha sources of a textured primitive.
inline constexpr int kAlphaFromDiffuse = 0;
inline constexpr int kAlphaFromChannel = 1;
inline constexpr int kAlphaFromColorKey = 2;
inline constexpr int kStageSetupIndexCount = 32;
inline constexpr int kAlphaSourceCount = 3;

// Index of a set-up: alphaModulate + 2 colourModulate + 4 blendGraph + 8 variant.
constexpr int StageSetupIndex(int alphaModulate, int colorModulate, int blendGraph, int variant) {
  return alphaModulate + 2 * colorModulate + 4 * blendGraph + 8 * variant;
}

// The set-up's stage count and records, followed by a record that disables
// both operations when fewer than eight stages are used. The header and the
// texture words are not filled.
const DrawStageBlock& GetStageSetup(int index, int alphaSource);

// One stage that passes the diffuse colour and alpha (untextured, variant 0).
DrawStageBlock UntexturedStageSetup(int variant);

}  // namespace qz
