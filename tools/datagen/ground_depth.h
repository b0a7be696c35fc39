// The depth of ground: a solid region of wall or earth cells is not drawn as
// one repeated tile. Each such cell takes a chip of its depth (how many cells
// it lies from the nearest cell that is not plain ground), darker further in,
// in one of a few variants picked by its place so neighbours differ.
#pragma once

#include "game/map_format.h"

namespace datagen {

// Deep ground chips: levels 2..6+ (level 1, beside an open cell, keeps its
// own chip 1 or 5), kDeepGroundVariants chips each, from kDeepGroundFirstChip.
inline constexpr int kDeepGroundFirstChip = 8;
inline constexpr int kDeepGroundLevels = 5;
inline constexpr int kDeepGroundVariants = 4;

// The depth level 2..6 chip `chip` draws, or 0 when it is no deep ground chip.
int DeepGroundLevel(int chip);

// Gives every plain wall or earth cell (chip 1 or 5, solid) that lies two or
// more cells (centre to centre, rounded) from any other kind of cell its deep
// chip; cells past the field
// (columns 76 and 77, row 47, never in view) count as ground. The deep chips cover what lies behind them as walls
// (chip 1) do; earth whose chip covers otherwise keeps its chip.
void ShadeGroundDepth(MapFileData& floor);

}  // namespace datagen
