// The records of the floor being played, as the floor loader fills them: the
// chip graphs, marks, map objects, floor slots, moving objects, map flags,
// doors and the floor's clock. (The cell layers are in map_cells.h.)
#pragma once

#include <cstdint>

inline constexpr int kChipGraphCount = 224;
inline constexpr int kMarkCount = 4;
inline constexpr int kMapObjectCount = 16;
inline constexpr int kFloorSlotCount = 5;
inline constexpr int kMovingObjectCount = 64;
inline constexpr int kMapFlagCount = 8;
inline constexpr int kFloorDoorCount = 4;
inline constexpr int kCheckCubeEntrance = 4;
// The highest type a floor slot may hold: chests hold 6..29 (ChestContentType).
inline constexpr int kLastChestContent = 29;

enum MapFlag : int {
  kMapFlagJumpBonus = 0,
  kMapFlagDark = 1,
  kMapFlagHorizontalBackground = 3,
  kMapFlagInertia = 4,
};

enum FloorSlot : int { kSlotKeySwitch = 0, kSlotKey = 1, kSlotChest = 2 };
enum MarkKind : int { kMarkRecoveryPoint = 0, kMarkCheckCube = 6 };

// A thing placed on the floor. Map objects and floor slots hold tile
// coordinates; moving objects and marks pixel coordinates.
struct MapObjectRecord {
  std::int32_t x, y;
  std::int32_t type;  // pick-up type, direction value or mark kind
  std::int32_t active;
};

struct FloorDoor {
  std::int32_t targetFloor;  // 1..100 a floor, 101 the ending, else none
  std::int32_t targetEntrance;
};

extern int chipGraphs[kChipGraphCount];  // cell n of the chip set; 0 or -1: none
extern MapObjectRecord marks[kMarkCount];
extern MapObjectRecord mapObjects[kMapObjectCount];
extern std::int32_t objectCount;
extern MapObjectRecord floorSlots[kFloorSlotCount];
extern MapObjectRecord movingObjects[kMovingObjectCount];
// Pixels a travelling platform moves a frame.
inline constexpr int kMovingObjectStep = 2;
// Moving objects of types 0..3 (left, right, up, down) travel; the others blink.
inline constexpr int kLastTravellingType = 3;
extern std::int32_t movingCount;
extern std::int32_t mapFlags[kMapFlagCount];  // 1 on, 0 off
extern FloorDoor doors[kFloorDoorCount];
extern std::int32_t floorTime;      // seconds left; may run below 0
extern std::int32_t floorTimeTick;  // frames towards the next second
extern std::int32_t requiredDefeats;

// Adds seconds to floorTime, saturating at the ends of its range.
void AddFloorTime(std::int32_t seconds);
