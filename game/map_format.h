// The floor map file ("\map\NNN.map"): one reader and one writer of its
// byte layout, shared by the floor loader and the data generator so the two
// cannot drift apart. Pure code over a plain record; no file access here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MapFileData {
  // Cell grid: 78 columns by 48 rows, of which columns 0..75 and rows 0..46
  // are reachable. The game keeps its cell layers column by column (the
  // file stores them row by row); the layers here use the game's order.
  static constexpr int kColumns = 78;
  static constexpr int kRows = 48;
  static constexpr int kCellCount = kColumns * kRows;
  static constexpr int kChipTableSize = 256;
  static constexpr int kMaxEnemyPlacements = 64;
  static constexpr int kMaxMapObjects = 16;
  static constexpr int kSlotCount = 5;
  static constexpr int kMaxMovingObjects = 64;
  static constexpr int kFlagCount = 8;
  static constexpr int kDoorCount = 4;
  static constexpr int kMaxNameLength = 255;  // the game reads names into 256-byte buffers
  // The smallest file (names empty, no placements); in general
  // 31159 + L1 + L2 + L3 + 12 (N + M + K) bytes.
  static constexpr std::size_t kFixedBytes = 31159;
  static constexpr std::size_t kCellBlockBytes = std::size_t{kCellCount} * 8;
  // Index of cell (x, y) in chipLayer and attributeLayer.
  static constexpr int CellIndex(int x, int y) { return x * kRows + y; }

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
  std::array<std::int32_t, kCellCount> chipLayer{};       // index CellIndex(x, y)
  std::array<std::int32_t, kCellCount> attributeLayer{};  // index CellIndex(x, y)
  std::array<std::int32_t, kChipTableSize> chipTable{};
  std::vector<Placement> enemyPlacements;  // value = kind slot
  std::int32_t kindSet = 0;
  std::vector<Placement> mapObjects;  // value = pick-up type
  std::array<Slot, kSlotCount> slots{};
  std::vector<Placement> movingObjects;  // value = direction value
  std::array<std::int32_t, kFlagCount> mapFlags{};
  std::array<Door, kDoorCount> doors{};
  std::int32_t timeLimit = 0;  // seconds
};

// Reads a whole map file. False, with *out unspecified, when the bytes are
// not exactly one well-formed file: a name longer than 255 bytes, without its
// zero terminator or with a zero inside, a count outside 0..64 (enemies,
// moving objects) or 0..16 (objects), or a size that differs from the one the
// lengths and counts give. Never reads outside [bytes, bytes + size). A
// refusal sets *fault, when given, to a short phrase saying why.
bool ParseMapFile(const std::uint8_t* bytes, std::size_t size, MapFileData* out, const char** fault = nullptr);

// The bytes of the file. A name is cut at its first zero byte and to 255
// bytes, a list to its limit, so ParseMapFile of the result always succeeds.
std::vector<std::uint8_t> WriteMapFile(const MapFileData& data);

// The file size that names of these lengths and these counts give.
std::size_t MapFileSize(std::size_t nameBytes, std::size_t placementCount);
