// The floor's two cell layers, its chip table, and the rules that rewrite
// cells from the codes a floor file stores in them. A cell is 32 by 32
// pixels; the layers are stored column by column (index x * 48 + y). Rules
// that reach outside the layers treat those cells as occupied.
#pragma once

#include <cstdint>

#include "game/map_format.h"

inline constexpr int kMapColumns = MapFileData::kColumns;
inline constexpr int kMapRows = MapFileData::kRows;
inline constexpr int kMapCells = kMapColumns * kMapRows;
inline constexpr int kChipTableSize = MapFileData::kChipTableSize;
inline constexpr int kCellSize = 32;
// The field the player reaches: the last two columns and the last row are
// storage only, and pixels past the field read as empty.
inline constexpr int kFieldColumns = kMapColumns - 2;
inline constexpr int kFieldRows = kMapRows - 1;
inline constexpr int kFieldRightPixel = kFieldColumns * kCellSize - 1;
inline constexpr int kFieldBottomPixel = kFieldRows * kCellSize - 1;
// A chip whose table value is at least this hides the items of its cell.
inline constexpr int kCoveringChipValue = 51;

// Attribute values (layer 1). Ranges name their first and last member; a
// value of kAttrSolidFrom or more stops the player, enemies and shots.
enum CellAttribute : std::int32_t {
  kAttrEmpty = 0,
  kAttrSign = 1,
  kAttrRecoveryPoint = 2,
  kAttrShop = 3,
  kAttrDoor0 = 4,  // doors 0..3 are 4..7
  kAttrMadeCell = 8,  // left by a code or a broken block (chips 222, 217)
  kAttrSwitchCodeFirst = 9,  // switch codes 9..26 and 90..104
  kAttrSwitchCodeLast = 26,
  kAttrEntrance0 = 27,  // entrances 0..3 are 27..30
  kAttrCheckCube = 31,
  kAttrSwitchOpen0 = 39,  // switch blocks of groups 0..2, open: 39..41
  kAttrWallFromRight = 42,  // blocks a player facing right
  kAttrWallFromLeft = 43,   // blocks a player facing left
  kAttrHidden = 44,
  kAttrAppearsSideways = 45,
  kAttrAppearsUnderFeet = 46,
  kAttrAppearsOverHead = 47,
  kAttrOneWay = 50,
  kAttrSolidFrom = 51,  // also the pushable crate
  kAttrSpikesUp = 52,     // hurt the feet
  kAttrSpikesDown = 53,   // hurt the head
  kAttrSpikesRight = 54,  // hurt a player moving right
  kAttrSpikesLeft = 55,   // hurt a player moving left
  kAttrCrumbles = 56,
  kAttrPipeFirst = 57,  // pipes 57..62
  kAttrPipeLast = 62,
  kAttrSpring = 63,
  kAttrSlippery = 64,
  kAttrWarpBlock = 65,  // the magic blocks are 65..72
  kAttrMagicSwitchFirst = 66,
  kAttrMagicSwitchLast = 72,
  kAttrSwitchClosed0 = 73,  // switch blocks of groups 0..2, closed: 73..75
  kAttrBreakableFirst = 76,
  kAttrBreakableLast = 89,
  kAttrHighSwitchCodeFirst = 90,
  kAttrHighSwitchCodeLast = 104,
  kAttrTouchCodeFirst = 105,
  kAttrTouchCodeLast = 119,
  kAttrSolidBlock = 120,
};

extern std::int32_t chipLayer[kMapCells];       // layer 0: chip numbers
extern std::int32_t attributeLayer[kMapCells];  // layer 1: attributes and cell codes
extern std::int32_t chipTable[kChipTableSize];  // 51 or more: the chip covers items in its cell

inline constexpr int MapCellIndex(int x, int y) { return x * kMapRows + y; }

// The one way into the layers: the index of cell (x, y), or -1 outside the
// 78 by 48 storage.
int CheckedCellIndex(int x, int y);
// Layer values of cell (x, y); 0 outside the storage.
std::int32_t ChipAt(int x, int y);
std::int32_t AttributeAt(int x, int y);
// Writes both layers of cell (x, y); nothing outside the storage.
void SetCell(int x, int y, std::int32_t chip, std::int32_t attribute);
// Whether any cell of the layers is slippery ice (kAttrSlippery): answered
// from a count SetCell keeps, for the HUD asks every frame.
bool AnySlipperyCell();
// Counts the ice cells afresh; whoever writes the layers other than through
// SetCell (a floor loaded or emptied) calls it afterwards.
void RecountSlipperyCells();
// The chip-table value of a chip number; 0 for numbers outside the table.
std::int32_t ChipTableValue(std::int32_t chip);

// The attribute under floor pixel (x, y); 0 outside 0..2431 by 0..1503.
std::int32_t ReadAttributeAtPixel(int x, int y);
// Turns a touch code (105..119) under (x, y) into its cell, with the break
// effect and sound; returns the attribute now there (0 outside the field).
std::int32_t WriteTileTypeAtPixel(int x, int y);
// Turns every switch code of the reachable field into its cell; withEffects 1
// spawns the creation effect on each converted cell.
void ConvertMapCodes(int withEffects);
// With the True Eye, hidden cells (44) become solid blocks.
void RevealTrueEyeBlocks();
// Opens the gates of floor "100" for each replica held.
void ClearGateCellsByFlags();
