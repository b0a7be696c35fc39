#include "tools/datagen/ground_depth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "game/map_cells.h"

namespace datagen {
namespace {

constexpr int kWallChip = 1, kTopChip = 4, kEarthChip = 5;
constexpr int kDeepestLevel = kDeepGroundLevels + 1;

bool IsGroundChip(int chip) { return chip == kWallChip || chip == kEarthChip; }

// Plain ground: wall, top or earth that is only solid. A top counts so the
// earth under the grass deepens from the open air above it, not from the sod.
// Past the field (the columns and the row the camera never shows) counts too.
bool IsPlainGround(const MapFileData& floor, int x, int y) {
  if (x < 0 || y < 0 || x >= kFieldColumns || y >= kFieldRows) return true;
  const int i = MapFileData::CellIndex(x, y);
  const std::int32_t chip = floor.chipLayer[i], attribute = floor.attributeLayer[i];
  return (IsGroundChip(chip) || chip == kTopChip) && (attribute == kAttrSolidBlock || attribute == kAttrSolidFrom);
}

// Depth of each cell (0 off the ground): its distance from the nearest cell
// that is not plain ground, centre to centre and rounded, so the rings round
// their corners; capped at the deepest level.
std::vector<int> Depths(const MapFileData& floor) {
  std::vector<int> depth(MapFileData::kCellCount, 0);
  for (int x = 0; x < MapFileData::kColumns; ++x) {
    for (int y = 0; y < MapFileData::kRows; ++y) {
      if (!IsPlainGround(floor, x, y)) continue;
      double nearest = kDeepestLevel;
      for (int dx = -kDeepestLevel; dx <= kDeepestLevel; ++dx) {
        for (int dy = -kDeepestLevel; dy <= kDeepestLevel; ++dy) {
          if (!IsPlainGround(floor, x + dx, y + dy)) nearest = std::min(nearest, std::hypot(dx, dy));
        }
      }
      depth[MapFileData::CellIndex(x, y)] = static_cast<int>(std::lround(nearest));
    }
  }
  return depth;
}

// The variant of the cell at (x, y): a square of four by four in which
// neighbours along a row or a column never share one.
int VariantAt(int x, int y) {
  static_assert(kDeepGroundVariants == 4);
  constexpr int kSquare[4][4] = {{0, 1, 2, 3}, {2, 3, 0, 1}, {1, 0, 3, 2}, {3, 2, 1, 0}};
  return kSquare[y % 4][x % 4];
}

}  // namespace

int DeepGroundLevel(int chip) {
  const int offset = chip - kDeepGroundFirstChip;
  if (offset < 0 || offset >= kDeepGroundLevels * kDeepGroundVariants) return 0;
  return 2 + offset / kDeepGroundVariants;
}

void ShadeGroundDepth(MapFileData& floor) {
  const std::int32_t covering = floor.chipTable[kWallChip];
  const std::vector<int> depth = Depths(floor);
  for (int x = 0; x < MapFileData::kColumns; ++x) {
    for (int y = 0; y < MapFileData::kRows; ++y) {
      const int i = MapFileData::CellIndex(x, y);
      const std::int32_t chip = floor.chipLayer[i];
      if (depth[i] < 2 || !IsGroundChip(chip) || floor.chipTable[chip] != covering) continue;
      floor.chipLayer[i] = kDeepGroundFirstChip + (depth[i] - 2) * kDeepGroundVariants + VariantAt(x, y);
    }
  }
  for (int offset = 0; offset < kDeepGroundLevels * kDeepGroundVariants; ++offset) {
    floor.chipTable[kDeepGroundFirstChip + offset] = covering;
  }
}

}  // namespace datagen
