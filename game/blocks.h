// What the player's shots do to cells: breaking a block uncovers what it
// hides, pipes carry shots round corners, Gravity pushes blocks, Magic flips
// the switch blocks of colour groups. Cells outside the layers count as
// occupied and are never written.
#pragma once

#include <cstdint>
#include <iterator>

#include "game/map_cells.h"

struct ShotRecord;

// What breakable block code kAttrBreakableFirst + i leaves once broken:
// entry i. The campaign check walks floors by the same table.
struct BrokenBlockCell {
  std::int32_t chip;
  std::int32_t attribute;
  bool discovery;  // plays "se_discovery"
};
inline constexpr BrokenBlockCell kBrokenBlockCells[] = {
    {0, kAttrEmpty, false},           {7, kAttrOneWay, false},
    {92, kAttrSpikesUp, false},       {37, kAttrWallFromRight, false},
    {38, kAttrWallFromLeft, false},   {0, kAttrRecoveryPoint, true},
    {214, kAttrDoor0 + 1, true},      {214, kAttrDoor0 + 2, true},
    {214, kAttrDoor0 + 3, true},      {222, kAttrMadeCell, false},
    {209, kAttrShop, true},           {217, kAttrMadeCell, false},
    {30, kAttrSpring, true},          {28, kAttrWarpBlock, true},
};
static_assert(std::size(kBrokenBlockCells) == kAttrBreakableLast - kAttrBreakableFirst + 1);

// Breakable block codes 76..89 become what they hide; other codes do nothing.
void SetBlockKind(std::int32_t code, int column, int row);
// 1 when the pipe (57..62) in the cell takes the shot, entering in one of
// its two directions: the shot is moved to the leaving side and turned.
int ApplyShotToBlock(std::int32_t attribute, int column, int row, ShotRecord& shot);
// Pushes the cell's block one or two cells in numpad direction 2, 4, 6, 8
// through empty cells.
void PushBlock(std::int32_t attribute, int column, int row, int direction);
// Swaps the open and closed switch blocks of group 0..2 over the whole map.
void ToggleSwitchBlocks(int group);
