// The floor's two cell layers and its chip table. A cell is 32 by 32 pixels;
// the layers are stored column by column (index x * 48 + y).
#pragma once

#include <cstdint>

inline constexpr int kMapColumns = 78;
inline constexpr int kMapRows = 48;
inline constexpr int kMapCells = kMapColumns * kMapRows;
inline constexpr int kChipTableSize = 256;

extern std::int32_t chipLayer[kMapCells];       // layer 0: chip numbers
extern std::int32_t attributeLayer[kMapCells];  // layer 1: attributes and cell codes
extern std::int32_t chipTable[kChipTableSize];  // 51 or more: the chip covers items in its cell

inline constexpr int MapCellIndex(int x, int y) { return x * kMapRows + y; }
