// Storage of the cell layers; the cell rules come with the floors.
#include "game/map_cells.h"

std::int32_t chipLayer[kMapCells];
std::int32_t attributeLayer[kMapCells];
std::int32_t chipTable[kChipTableSize];
