// The floor map file ("\map\NNN.map"): one reader and one writer of its
// byte layout, shared by the floor loader and the data generator so the two
// cannot drift apart. Pure code over a plain record; no file access here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Cell grid of a floor: 78 columns by 48 rows, of which columns 0..75 and
// rows 0..46 are reachable.
constexpr int kMapColumns = 78;
constexpr int kMapRows = 48;
constexpr int kMapCellCount = kMapColumns * kMapRows;
constexpr int kChipTableSize = 256;
constexpr int kMaxEnemyPlacements = 64;
constexpr int kMaxMapObjects = 16;
constexpr int kMapSlotCount = 5;
constexpr int kMaxMovingObjects = 64;
constexpr int kMapFlagCount = 8;
constexpr int kDoorCount = 4;
// Names are read into 256-byte buffers by the game.
constexpr int kMaxMapNameLength = 255;

// Byte sizes of the fixed blocks, and the smallest file (all names empty, no
// placements): 31159 + L1 + L2 + L3 + 12 (N + M + K) in general.
constexpr std::size_t kMapCellBlockBytes = std::size_t{kMapCellCount} * 8;
constexpr std::size_t kMapFixedBytes = 31159;

// The game keeps its cell layers column by column; the file stores them row
// by row. Index of cell (x, y) in chipLayer and attributeLayer.
constexpr int MapCellIndex(int x, int y) { return x * kMapRows + y; }

struct MapFileData {
  struct Placement {  // enemy placement, map object or moving object
    std::int32_t tileX = 0;
    std::int32_t tileY = 0;
    std::int32_t value = 0;  // kind slot, object type or direction value
  };
  struct Slot {  // 0 key switch, 1 key, 2 chest, 3 and 4 unused
    std::int32_t active = 0;  // 1 = present, any other value = absent
    std::int32_t tileX = 0;
    std::int32_t tileY = 0;
    std::int32_t type = 0;
  };
  struct Door {
    std::int32_t targetFloor = 0;  // 1..100, 101 = ending
    std::int32_t targetEntrance = 0;
  };

  std::int32_t header = 0;  // not used by the game
  std::string chipSetName;     // relative to "\data_en\"
  std::string backgroundName;  // relative to "\data_en\"; empty = none
  std::string musicName;       // relative to "\sound\"; empty = none
  std::array<std::int32_t, kMapCellCount> chipLayer{};       // index MapCellIndex(x, y)
  std::array<std::int32_t, kMapCellCount> attributeLayer{};  // index MapCellIndex(x, y)
  std::array<std::int32_t, kChipTableSize> chipTable{};
  std::vector<Placement> enemyPlacements;  // value = kind slot
  std::int32_t kindSet = 0;
  std::vector<Placement> mapObjects;  // value = pick-up type
  std::array<Slot, kMapSlotCount> slots{};
  std::vector<Placement> movingObjects;  // value = direction value
  std::array<std::int32_t, kMapFlagCount> mapFlags{};
  std::array<Door, kDoorCount> doors{};
  std::int32_t timeLimit = 0;  // seconds
};

// Reads a whole map file. False, with *out unspecified, when the bytes are
// not exactly one well-formed file: a name longer than 255 bytes, without its
// zero terminator or with a zero inside, a count outside 0..64 (enemies,
// moving objects) or 0..16 (objects), or a size that differs from the one the
// lengths and counts give. Never reads outside [bytes, bytes + size).
bool ParseMapFile(const std::uint8_t* bytes, std::size_t size, MapFileData* out);

// The bytes of the file. Names over 255 bytes and lists over their limits
// are cut to them (ParseMapFile of the result always succeeds).
std::vector<std::uint8_t> WriteMapFile(const MapFileData& data);

// The file size that names of these lengths and these counts give.
std::size_t MapFileSize(std::size_t nameBytes, std::size_t placementCount);
