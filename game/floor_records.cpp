// Storage of the floor's records; the floor loader fills them whole.
#include "game/floor_records.h"

int chipGraphs[kChipGraphCount];
MapObjectRecord marks[kMarkCount];
MapObjectRecord mapObjects[kMapObjectCount];
std::int32_t objectCount = 0;
MapObjectRecord floorSlots[kFloorSlotCount];
MapObjectRecord movingObjects[kMovingObjectCount];
std::int32_t movingCount = 0;
std::int32_t mapFlags[kMapFlagCount];
FloorDoor doors[kFloorDoorCount];
std::int32_t floorTime = 0;
std::int32_t floorTimeTick = 0;
std::int32_t requiredDefeats = 0;
