// Storage of the floor's records, which the floor loader fills whole, and
// the floor clock's saturating arithmetic.
#include "game/floor_records.h"

#include <algorithm>
#include <limits>

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

void AddFloorTime(std::int32_t seconds) {
  const std::int64_t sum = std::int64_t{floorTime} + seconds;
  floorTime = static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                                 std::numeric_limits<std::int32_t>::max()));
}
