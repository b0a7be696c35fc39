// The floor loader. A map file is outside data: it is parsed into its own
// record and checked against every fixed table it indexes before the floor is
// emptied, so a short or malformed file is refused with the floor intact.
#include "game/floor_load.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include "core/file_access.h"
#include "core/log.h"
#include "game/doors.h"
#include "game/enemies.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_files.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/music.h"
#include "game/pools.h"
#include "graphics/graph_handles.h"

namespace {

// Larger than any well-formed file (names of 255 bytes, every list full).
constexpr std::size_t kMaxMapFileBytes = 64 * 1024;
constexpr int kChipSheetAcross = 8;
constexpr int kChipSheetDown = 28;
constexpr int kPickUpTypes = 6;  // pat_item holds six frames of six types
constexpr int kBossSlots = 16;
constexpr int kLastFloorIndex = 99;
constexpr const char* kFallbackMusic = "BGM_F001.mp3";

struct Position {
  int x, y;
};

// Reads the whole file: false with *fault saying why when it cannot.
bool ReadWholeFile(const GameString& path, std::vector<std::uint8_t>* bytes, const char** fault) {
  const qz::FileHandle file = qz::OpenFileForRead(path.c_str(), 0);
  *fault = "the file cannot be opened";
  if (file == 0) return false;
  bytes->resize(kMaxMapFileBytes + 1);
  std::size_t total = 0;
  while (total < bytes->size()) {
    const std::size_t got = qz::FileAccessRead(bytes->data() + total, 1, bytes->size() - total, file);
    if (got == 0) break;
    total += got;
  }
  qz::FileAccessClose(file);
  bytes->resize(total);
  *fault = "it is longer than any floor file";
  return total <= kMaxMapFileBytes;
}

bool TileInMap(const MapFileData::Placement& p) { return CheckedCellIndex(p.tileX, p.tileY) >= 0; }

template <typename List>
bool AllInMap(const List& list) {
  return std::all_of(list.begin(), list.end(), TileInMap);
}

// Entering at a cell: the player's 64-pixel cell stands centred over it.
Position StartOfCell(int x, int y) { return {x * kCellSize - 16, y * kCellSize}; }

// The cell of attribute `attribute` the file meets last (row by row), as the
// original reader leaves it; false when the floor has none.
bool FindLastCell(const MapFileData& data, std::int32_t attribute, Position* at) {
  bool found = false;
  for (int y = 0; y < kMapRows; ++y) {
    for (int x = 0; x < kMapColumns; ++x) {
      if (data.attributeLayer[MapCellIndex(x, y)] != attribute) continue;
      *at = StartOfCell(x, y);
      found = true;
    }
  }
  return found;
}

// The start of `entranceWanted`; a floor without it starts at the first
// entrance (then the check cube) it has, else its top-left free cell.
Position StartPosition(const MapFileData& data, int entranceWanted) {
  Position at{0, 0};
  if (FindLastCell(data, kAttrEntrance0 + entranceWanted, &at)) return at;
  for (std::int32_t attribute = kAttrEntrance0; attribute <= kAttrCheckCube; ++attribute) {
    if (FindLastCell(data, attribute, &at)) {
      qz::AppendLogFormat("Floor %s has no entrance %d: started at attribute %d\n", mapName.c_str(), entranceWanted,
                          attribute);
      return at;
    }
  }
  for (int y = 0; y * kCellSize <= kFieldBottomPixel; ++y) {
    for (int x = 0; x * kCellSize <= kFieldRightPixel; ++x) {
      if (data.attributeLayer[MapCellIndex(x, y)] != kAttrEmpty) continue;
      qz::AppendLogFormat("Floor %s has no entrance: started at free cell %d,%d\n", mapName.c_str(), x, y);
      return {x * kCellSize, y * kCellSize};
    }
  }
  qz::AppendLogFormat("Floor %s has no entrance and no free cell\n", mapName.c_str());
  return at;
}

void EmptyFloor() {
  std::fill(std::begin(chipLayer), std::end(chipLayer), 0);
  std::fill(std::begin(attributeLayer), std::end(attributeLayer), 0);
  RecountSlipperyCells();
  ResetFloorAnimation();
  floorTime = floorTimeTick = 0;
  player.infiniteMagic = 0;
  ResetEnemyRecords();
  requiredDefeats = 0;
  std::fill(std::begin(mapObjects), std::end(mapObjects), MapObjectRecord{});
  objectCount = 0;
  std::fill(std::begin(floorSlots), std::end(floorSlots), MapObjectRecord{});
  std::fill(std::begin(doors), std::end(doors), FloorDoor{1, 0});
  std::fill(std::begin(marks), std::end(marks), MapObjectRecord{});
  std::fill(std::begin(movingObjects), std::end(movingObjects), MapObjectRecord{});
  movingCount = 0;
  std::fill(std::begin(timedCells), std::end(timedCells), TimedCellRecord{});
  timedCellCount = 0;
}

// Cells in file order (row by row): recovery points and check cubes become
// marks, a fifth and later overwriting the fourth.
void CommitCells(const MapFileData& data) {
  std::copy(data.chipLayer.begin(), data.chipLayer.end(), chipLayer);
  std::copy(data.attributeLayer.begin(), data.attributeLayer.end(), attributeLayer);
  RecountSlipperyCells();
  std::copy(data.chipTable.begin(), data.chipTable.end(), chipTable);
  int nextMark = 0;
  for (int y = 0; y < kMapRows; ++y) {
    for (int x = 0; x < kMapColumns; ++x) {
      const std::int32_t attribute = AttributeAt(x, y);
      if (attribute != kAttrRecoveryPoint && attribute != kAttrCheckCube) continue;
      const std::int32_t kind = attribute == kAttrRecoveryPoint ? kMarkRecoveryPoint : kMarkCheckCube;
      marks[nextMark] = MapObjectRecord{x * kCellSize, y * kCellSize, kind, 1};
      nextMark = std::min(nextMark + 1, kMarkCount - 1);
    }
  }
}

void CommitLists(const MapFileData& data) {
  objectCount = static_cast<std::int32_t>(data.mapObjects.size());
  for (int i = 0; i < objectCount; ++i) {
    const MapFileData::Placement& p = data.mapObjects[static_cast<std::size_t>(i)];
    mapObjects[i] = MapObjectRecord{p.tileX, p.tileY, p.value, 1};
  }
  for (int i = 0; i < kFloorSlotCount; ++i) {
    const MapFileData::Slot& s = data.slots[static_cast<std::size_t>(i)];
    floorSlots[i] = MapObjectRecord{s.tileX, s.tileY, s.type, s.active == 1 ? 1 : 0};
  }
  movingCount = static_cast<std::int32_t>(data.movingObjects.size());
  for (int i = 0; i < movingCount; ++i) {
    const MapFileData::Placement& p = data.movingObjects[static_cast<std::size_t>(i)];
    movingObjects[i] = MapObjectRecord{p.tileX * kCellSize, p.tileY * kCellSize, p.value, 1};
  }
  for (int i = 0; i < kMapFlagCount; ++i) mapFlags[i] = data.mapFlags[static_cast<std::size_t>(i)] == 1 ? 1 : 0;
  for (int i = 0; i < kFloorDoorCount; ++i) {
    doors[i] = FloorDoor{data.doors[static_cast<std::size_t>(i)].targetFloor,
                         data.doors[static_cast<std::size_t>(i)].targetEntrance};
  }
  floorTime = data.timeLimit;
}

void ReleaseChipGraphs() {
  for (int& graph : chipGraphs) {
    if (graph != 0 && graph != -1) qz::ReleaseGraph(graph);
    graph = 0;
  }
}

void ReloadChipSet(const std::string& name) {
  if (GameStringEquals(chipSetName, name.c_str()) == 1) return;
  GameStringAssign(chipSetName, name.c_str());
  ReleaseChipGraphs();
  if (name.empty()) return;
  LoadSheet(("\\data_en\\" + name).c_str(), kChipGraphCount, kChipSheetAcross, kChipSheetDown, kCellSize, kCellSize,
            chipGraphs);
}

void ReloadBackground(const std::string& name) {
  if (GameStringEquals(backgroundName, name.c_str()) == 1) return;
  GameStringAssign(backgroundName, name.c_str());
  if (backgroundGraph != -1) qz::ReleaseGraph(backgroundGraph);
  backgroundGraph = -1;
  if (name.empty()) return;
  backgroundGraph = LoadImage(("\\data_en\\" + name).c_str());
}

// The same music keeps playing across floors that name it.
void ReloadMusic(const std::string& name) {
  if (GameStringEquals(bgmName, name.c_str()) == 1) return;
  if (name.empty()) {
    PlayBgm(GameString(), 2);
    return;
  }
  GameString chosen(name.c_str());
  if (CanOpenFile(GameStringConcatString(GamePath("\\sound\\"), chosen)) == 0) chosen = GameString(kFallbackMusic);
  if (GameStringEquals(bgmName, chosen.c_str()) == 1) return;
  bgmName = chosen;
  PlayBgm(chosen, 0);
}

void MarkDoorsAndShopsSeen() {
  FloorProgressRecord& progress = gameState.FloorProgress;
  for (int x = 0; x < kMapColumns; ++x) {
    for (int y = 0; y < kMapRows; ++y) {
      const std::int32_t attribute = AttributeAt(x, y);
      if (attribute >= kAttrDoor0 && attribute < kAttrDoor0 + kDoorsPerFloor) {
        std::int32_t& link = progress.doorLinks[floorNumber][attribute - kAttrDoor0];
        if (link == -1) link = 0;
      } else if (attribute == kAttrShop) {
        progress.shopFound[floorNumber] = 1;
      }
    }
  }
}

void PlaceEnemies(const MapFileData& data) {
  enemyCount = static_cast<std::int32_t>(data.enemyPlacements.size());
  for (int i = 0; i < enemyCount; ++i) {
    const MapFileData::Placement& p = data.enemyPlacements[static_cast<std::size_t>(i)];
    EnemyRecord& enemy = enemies[i];
    enemy.x = p.tileX * kCellSize;
    enemy.y = p.tileY * kCellSize;
    enemy.posX = enemy.x;
    enemy.posY = enemy.y;
    CopyEnemyFromKind(i, p.value);
  }
}

void ApplyFloorProgress() {
  const std::int32_t* items = gameState.FloorProgress.floorItems[floorNumber];
  if (items[0] == 1) {
    floorSlots[kSlotKeySwitch].active = 0;
    ConvertMapCodes(0);
  }
  if (items[1] == 1) floorSlots[kSlotKey].active = 0;
  if (items[2] == 1) floorSlots[kSlotChest].active = 0;
  for (int boss = 0; boss < kBossSlots; ++boss) ApplyBossDefeated(boss);
  if (floorNumber == kLastFloorIndex) ClearGateCellsByFlags();
}

// The floor index mapName names, or -1 when it names no floor 1..100.
int FloorIndexOfMapName() {
  const int number = ParseIntAndFree(mapName);
  return number >= 1 && number <= kFloorCount ? number - 1 : -1;
}

GameString MapFilePath() { return GameStringConcat(GameStringConcatString(GamePath("\\map\\"), mapName), ".map"); }

}  // namespace

const char* MapFileFault(const MapFileData& data) {
  for (std::int32_t chip : data.chipLayer) {
    if (chip < 0 || chip >= kChipGraphCount) return "chip number";
  }
  for (const MapFileData::Placement& p : data.enemyPlacements) {
    if (p.value < 0 || p.value >= kEnemyKindSlots) return "enemy kind slot";
  }
  if (!AllInMap(data.enemyPlacements)) return "enemy position";
  for (const MapFileData::Placement& p : data.mapObjects) {
    if (p.value < 0 || p.value >= kPickUpTypes) return "object type";
  }
  if (!AllInMap(data.mapObjects)) return "object position";
  for (const MapFileData::Slot& s : data.slots) {
    if (CheckedCellIndex(s.tileX, s.tileY) < 0) return "slot position";
  }
  // A chest records its type as the floor's found item, which a save keeps.
  for (int i = kSlotKeySwitch; i <= kSlotChest; ++i) {
    const MapFileData::Slot& s = data.slots[static_cast<std::size_t>(i)];
    if (s.active == 1 && (s.type < 0 || s.type > kLastChestContent)) return "slot type";
  }
  if (!AllInMap(data.movingObjects)) return "moving object position";
  for (const MapFileData::Door& door : data.doors) {
    if (door.targetEntrance < 0 || door.targetEntrance >= kDoorsPerFloor) return "door target entrance";
  }
  if (data.timeLimit < 0) return "time";
  return "";
}

int LoadMapFile(int entranceWanted) {
  const int floorIndex = FloorIndexOfMapName();
  if (floorIndex < 0 || entranceWanted < 0 || entranceWanted > kCheckCubeEntrance) {
    ReportGameProblem("floor %s entrance %d refused: there is no such floor or entrance", mapName.c_str(),
                      entranceWanted);
    return 0;
  }
  const GameString path = MapFilePath();
  std::vector<std::uint8_t> bytes;
  auto data = std::make_unique<MapFileData>();
  const char* damage = "";
  if (!ReadWholeFile(path, &bytes, &damage) || !ParseMapFile(bytes.data(), bytes.size(), data.get(), &damage)) {
    ReportGameProblem("floor file %s refused: %s", DiskFileName(path).c_str(), damage);
    return 0;
  }
  if (const char* fault = MapFileFault(*data); fault[0] != '\0') {
    ReportGameProblem("floor file %s refused: %s out of range", DiskFileName(path).c_str(), fault);
    return 0;
  }

  EmptyFloor();
  CommitCells(*data);
  CommitLists(*data);
  if (entranceWanted == kCheckCubeEntrance) AddFloorTime(-30);
  const Position start = StartPosition(*data, entranceWanted);
  player.x = start.x;
  player.y = start.y;
  player.posX = start.x;
  player.posY = start.y;
  entrance = entranceWanted;
  ReloadChipSet(data->chipSetName);
  ReloadBackground(data->backgroundName);
  ReloadMusic(data->musicName);
  if (data->kindSet != loadedKindSet) {
    loadedKindSet = data->kindSet;
    SetupFloorEnemies();
  }
  RevealTrueEyeBlocks();
  if (player.ProgressFlags[kHourglass] == 1) AddFloorTime(10);
  floorNumber = floorIndex;
  gameState.FloorProgress.visited[floorNumber] = 1;
  MarkDoorsAndShopsSeen();
  PlaceEnemies(*data);
  ApplyFloorProgress();
  // The first screen already frames what looms in a hall.
  PlaceCamera();
  return 1;
}

int LoadFloor(int entranceWanted) {
  if (CanOpenFile(MapFilePath()) == 0) {
    ReportGameProblem("floor file %s refused: the file is missing", DiskFileName(MapFilePath()).c_str());
    return 0;
  }
  if (LoadMapFile(entranceWanted) == 0) return 0;
  EmptyShotAndEffectPools();
  player.shotCooldown = 0;
  player.shotPending = 0;
  return 1;
}
