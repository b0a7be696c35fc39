// Loading floors as a door, a save or a restart does: every field of a
// generated file lands in its record, the player starts at the entrance (or
// at a defined fallback), the check cube charges its time and the floor's
// time stops at the ends of its range, music and chip
// sets carry over, the floor's progress and beaten bosses are reapplied, and
// a malformed file is refused with the floor as it was.
#include <cstring>
#include <limits>
#include <tuple>

#include "core/main_window.h"
#include "game/doors.h"
#include "game/enemies.h"
#include "platform/window.h"
#include "sound/sound_play.h"
#include "tests/game/floor_fixture.h"

namespace {

using qz::testing::FloorTest;
using M = MapFileData;

struct CellPos {
  int x = -1, y = -1;
};

// The last cell of the attribute in file order (row by row).
CellPos FindCell(const M& data, int attribute) {
  CellPos found;
  for (int y = 0; y < M::kRows; ++y) {
    for (int x = 0; x < M::kColumns; ++x) {
      if (data.attributeLayer[M::CellIndex(x, y)] == attribute) found = {x, y};
    }
  }
  return found;
}

void ExpectStartAt(CellPos cell) {
  EXPECT_EQ(player.x, cell.x * 32 - 16);
  EXPECT_EQ(player.y, cell.y * 32);
  EXPECT_EQ(player.posX, player.x);
  EXPECT_EQ(player.posY, player.y);
}

TEST_F(FloorTest, EveryFieldOfAGeneratedFloorLandsInItsRecord) {
  const M file = Generated("002");
  gameState.FloorProgress.doorLinks[1][1] = 1;  // door 1 already known to lead to 001
  ASSERT_EQ(Enter("002", 0), 1);
  EXPECT_TRUE(std::equal(file.chipLayer.begin(), file.chipLayer.end(), chipLayer));
  EXPECT_TRUE(std::equal(file.attributeLayer.begin(), file.attributeLayer.end(), attributeLayer));
  EXPECT_TRUE(std::equal(file.chipTable.begin(), file.chipTable.end(), chipTable));
  EXPECT_EQ(floorNumber, 1);
  EXPECT_EQ(entrance, 0);
  EXPECT_EQ(gameState.FloorProgress.visited[1], 1);
  ExpectStartAt(FindCell(file, kAttrEntrance0));
  EXPECT_EQ(floorTime, file.timeLimit);
  // Doors on the floor are seen; a known link is kept.
  EXPECT_EQ(gameState.FloorProgress.doorLinks[1][0], 0);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[1][1], 1);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[1][2], -1);
  for (int i = 0; i < 4; ++i) {
    const M::Door& d = file.doors[static_cast<std::size_t>(i)];
    EXPECT_EQ(std::tie(doors[i].targetFloor, doors[i].targetEntrance), std::tie(d.targetFloor, d.targetEntrance));
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ(mapFlags[i], file.mapFlags[static_cast<std::size_t>(i)] == 1 ? 1 : 0);
  // Slots: the file's active, x, y, type become x, y, type, active.
  for (int i = 0; i < kFloorSlotCount; ++i) {
    const M::Slot& s = file.slots[static_cast<std::size_t>(i)];
    EXPECT_EQ(std::tie(floorSlots[i].x, floorSlots[i].y, floorSlots[i].type, floorSlots[i].active),
              std::make_tuple(s.tileX, s.tileY, s.type, s.active == 1 ? 1 : 0));
  }
  ASSERT_EQ(objectCount, static_cast<int>(file.mapObjects.size()));
  EXPECT_EQ(mapObjects[0].x, file.mapObjects[0].tileX);
  EXPECT_EQ(mapObjects[0].active, 1);
  ASSERT_EQ(movingCount, static_cast<int>(file.movingObjects.size()));
  const M::Placement& moving = file.movingObjects[0];
  EXPECT_EQ(std::tie(movingObjects[0].x, movingObjects[0].y, movingObjects[0].type),
            std::make_tuple(moving.tileX * 32, moving.tileY * 32, moving.value));
  ASSERT_EQ(enemyCount, static_cast<int>(file.enemyPlacements.size()));
  EXPECT_EQ(enemies[0].x, file.enemyPlacements[0].tileX * 32);
  // An enemy whose feet reach into the ground is lifted one pixel over its cell.
  EXPECT_GE(enemies[0].posY, file.enemyPlacements[0].tileY * 32.0 - 1.0);
  EXPECT_LE(enemies[0].posY, file.enemyPlacements[0].tileY * 32.0);
  EXPECT_GT(enemies[0].life, 0);
  EXPECT_EQ(loadedKindSet, file.kindSet);
  // The check cube is a mark of kind 6 at its cell.
  const CellPos cube = FindCell(file, kAttrCheckCube);
  EXPECT_EQ(std::tie(marks[0].x, marks[0].y, marks[0].type, marks[0].active),
            std::make_tuple(cube.x * 32, cube.y * 32, kMarkCheckCube, 1));
}

TEST_F(FloorTest, TheCheckCubeStartsThereWithThirtySecondsLessTheHourglassGivesTenBack) {
  const M file = Generated("002");
  ASSERT_EQ(Enter("002", 4), 1);
  ExpectStartAt(FindCell(file, kAttrCheckCube));
  EXPECT_EQ(entrance, 4);
  EXPECT_EQ(floorTime, file.timeLimit - 30);
  player.ProgressFlags[kHourglass] = 1;
  ASSERT_EQ(Enter("002", 4), 1);
  EXPECT_EQ(floorTime, file.timeLimit - 20);
  ASSERT_EQ(Enter("002", 1), 1);
  ExpectStartAt(FindCell(file, kAttrEntrance0 + 1));
  EXPECT_EQ(floorTime, file.timeLimit + 10);
}

TEST_F(FloorTest, TheLongestFloorTimeGainsNothingMoreFromTheHourglass) {
  M floor = SmallFloor();
  floor.timeLimit = std::numeric_limits<std::int32_t>::max();
  WriteMap("061", WriteMapFile(floor));
  player.ProgressFlags[kHourglass] = 1;
  ASSERT_EQ(Enter("061", 0), 1);
  EXPECT_EQ(floorTime, std::numeric_limits<std::int32_t>::max());
  floor.timeLimit = 0;
  WriteMap("061", WriteMapFile(floor));
  player.ProgressFlags[kHourglass] = 0;
  ASSERT_EQ(Enter("061", 4), 1);
  EXPECT_EQ(floorTime, -30);
}

TEST_F(FloorTest, MusicAndChipSetCarryOverFloorsThatNameThem) {
  ASSERT_EQ(Enter("001", 0), 1);
  const int music = bgmHandle;
  const int chip = chipGraphs[1];
  ASSERT_NE(music, -1);
  EXPECT_EQ(qz::IsSoundHandlePlaying(music), 1);
  EXPECT_STREQ(bgmName.c_str(), "BGM_F001.mp3");
  ASSERT_EQ(Enter("002", 1), 1);  // same music, same chip set
  EXPECT_EQ(bgmHandle, music);
  EXPECT_EQ(chipGraphs[1], chip);
  EXPECT_EQ(qz::IsValidGraphHandle(chip), 1);
  ASSERT_EQ(Enter("011", 1), 1);  // other music, other chip set
  EXPECT_NE(bgmHandle, music);
  EXPECT_STREQ(bgmName.c_str(), "BGM_Cave.mp3");
  EXPECT_STREQ(chipSetName.c_str(), "chip_cavern.png");
  EXPECT_EQ(qz::IsValidGraphHandle(chip), 0);
  // A music file that is not there plays the first floor's.
  M floor = SmallFloor();
  floor.musicName = "BGM_Missing.mp3";
  WriteMap("060", WriteMapFile(floor));
  ASSERT_EQ(Enter("060", 0), 1);
  EXPECT_STREQ(bgmName.c_str(), "BGM_F001.mp3");
  EXPECT_EQ(qz::IsSoundHandlePlaying(bgmHandle), 1);
  // No music at all stops it.
  floor.musicName.clear();
  WriteMap("060", WriteMapFile(floor));
  ASSERT_EQ(Enter("060", 0), 1);
  EXPECT_EQ(bgmHandle, -1);
  EXPECT_STREQ(bgmName.c_str(), "");
}

TEST_F(FloorTest, ProgressOnTheFloorIsReappliedOnEveryEntry) {
  const M file = Generated("002");
  const CellPos code = FindCell(file, 9);  // a switch-code cell of the spike bridge
  ASSERT_GE(code.x, 0);
  gameState.FloorProgress.floorItems[1][0] = 1;
  gameState.FloorProgress.floorItems[1][1] = 1;
  ASSERT_EQ(Enter("002", 0), 1);
  EXPECT_EQ(floorSlots[kSlotKeySwitch].active, 0);
  EXPECT_EQ(floorSlots[kSlotKey].active, 0);
  EXPECT_EQ(floorSlots[kSlotChest].active, 1);
  EXPECT_EQ(AttributeAt(code.x, code.y), 120);
  EXPECT_EQ(ChipAt(code.x, code.y), 79);
  // Opened without effects: the loader itself spawns none.
  mapName = GameString("002");
  ASSERT_EQ(LoadMapFile(0), 1);
  EXPECT_EQ(effectCount, 0);

  // The boss floor stays as it was until its boss is beaten, then opens on
  // every entry with its enemies gone.
  const M boss = Generated("010");
  const CellPos pit = FindCell(boss, 9);
  ASSERT_EQ(Enter("010", 0), 1);
  EXPECT_EQ(AttributeAt(pit.x, pit.y), 9);
  EXPECT_EQ(enemyCount, 1);
  gameState.FloorProgress.bossDefeated[0] = 1;
  ASSERT_EQ(Enter("010", 0), 1);
  EXPECT_EQ(AttributeAt(pit.x, pit.y), 120);
  EXPECT_EQ(enemyCount, 0);
  EXPECT_EQ(enemies[0].life, 0);
  EXPECT_EQ(requiredDefeats, 0);
  // The same boss index does nothing on another floor.
  enemyCount = 3;
  ApplyBossDefeated(0);
  EXPECT_EQ(enemyCount, 0);
  mapName = GameString("011");
  enemyCount = 3;
  ApplyBossDefeated(0);
  EXPECT_EQ(enemyCount, 3);

  // Floor 100 opens the gates of the replicas held: Fire (row 31), Wind (23).
  player.ProgressFlags[kFireRubyReplica] = 1;
  player.ProgressFlags[kWindEmeraldReplica] = 1;
  ASSERT_EQ(Enter("100", 0), 1);
  for (int x = 69; x <= 72; ++x) {
    EXPECT_EQ(AttributeAt(x, 31), 0);
    EXPECT_EQ(AttributeAt(x, 23), 0);
    EXPECT_GE(AttributeAt(x, 19), 51);
    EXPECT_GE(AttributeAt(x, 11), 51);
  }
}

TEST_F(FloorTest, AMissingEntranceStartsAtADefinedCellAndSaysSo) {
  M floor = SmallFloor();
  WriteMap("061", WriteMapFile(floor));
  ASSERT_EQ(Enter("061", 2), 1);  // only entrance 0 exists
  ExpectStartAt({4, 42});
  EXPECT_TRUE(log_.Contains("Floor 061 has no entrance 2: started at attribute 27\n"));
  floor.attributeLayer[M::CellIndex(4, 42)] = 0;
  WriteMap("061", WriteMapFile(floor));
  ASSERT_EQ(Enter("061", 0), 1);  // no entrance at all: the top-left free cell
  EXPECT_EQ(player.x, 32);
  EXPECT_EQ(player.y, 32);
  EXPECT_TRUE(log_.Contains("Floor 061 has no entrance: started at free cell 1,1\n"));

  // Five marks: the fifth overwrites the fourth.
  for (int x = 10; x < 15; ++x) floor.attributeLayer[M::CellIndex(x, 40)] = x == 14 ? kAttrCheckCube : 2;
  WriteMap("061", WriteMapFile(floor));
  ASSERT_EQ(Enter("061", 0), 1);
  EXPECT_EQ(marks[2].x, 12 * 32);
  EXPECT_EQ(marks[3].x, 14 * 32);
  EXPECT_EQ(marks[3].type, kMarkCheckCube);
}

TEST_F(FloorTest, AMalformedFloorFileIsRefusedAndTheFloorStaysAsItWas) {
  ASSERT_EQ(Enter("001", 0), 1);
  std::vector<std::int32_t> attributesBefore(std::begin(attributeLayer), std::end(attributeLayer));
  const PlayerRecord playerBefore = player;
  const int chipBefore = chipGraphs[1];

  struct Case {
    const char* field;
    void (*spoil)(M&);
  };
  const Case cases[] = {
      {"chip number", [](M& m) { m.chipLayer[M::CellIndex(5, 5)] = 224; }},
      {"chip number", [](M& m) { m.chipLayer[M::CellIndex(5, 5)] = -1; }},
      {"enemy kind slot", [](M& m) { m.enemyPlacements.push_back({5, 5, 11}); }},
      {"enemy position", [](M& m) { m.enemyPlacements.push_back({78, 5, 0}); }},
      {"object type", [](M& m) { m.mapObjects.push_back({5, 5, 6}); }},
      {"object position", [](M& m) { m.mapObjects.push_back({5, 48, 0}); }},
      {"slot position", [](M& m) { m.slots[2] = {1, -1, 5, 0}; }},
      {"slot type", [](M& m) { m.slots[2] = {1, 5, 5, 30}; }},  // its chest's item would reach the save
      {"slot type", [](M& m) { m.slots[0] = {1, 5, 5, -1}; }},
      {"moving object position", [](M& m) { m.movingObjects.push_back({-3, 5, 1}); }},
      {"door target entrance", [](M& m) { m.doors[1] = {5, 4}; }},
      {"time", [](M& m) { m.timeLimit = -1; }},
      {"time", [](M& m) { m.timeLimit = std::numeric_limits<std::int32_t>::min(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    M floor = SmallFloor();
    c.spoil(floor);
    WriteMap("062", WriteMapFile(floor));
    EXPECT_EQ(Enter("062", 0), 0);
    EXPECT_TRUE(log_.Contains(std::string("062.map refused: ") + c.field + " out of range"));
  }
  // Truncated, or with a count past its table (the shared reader refuses both).
  std::vector<std::uint8_t> bytes = WriteMapFile(SmallFloor());
  bytes.pop_back();
  WriteMap("062", bytes);
  EXPECT_EQ(Enter("062", 0), 0);
  const M small = SmallFloor();
  bytes = WriteMapFile(small);
  const std::size_t countAt =
      16 + 3 + small.chipSetName.size() + small.musicName.size() + M::kCellBlockBytes + 4 * M::kChipTableSize;
  const std::int32_t huge = 0x7FFFFFFF;
  std::memcpy(bytes.data() + countAt, &huge, 4);
  WriteMap("062", bytes);
  EXPECT_EQ(Enter("062", 0), 0);
  EXPECT_TRUE(log_.Contains("062.map refused: a list count is outside its limit"));

  EXPECT_TRUE(std::equal(attributesBefore.begin(), attributesBefore.end(), attributeLayer));
  EXPECT_EQ(std::tie(player.x, player.y), std::tie(playerBefore.x, playerBefore.y));
  EXPECT_EQ(floorNumber, 0);
  EXPECT_EQ(chipGraphs[1], chipBefore);
  EXPECT_EQ(gameState.FloorProgress.visited[61], 0);

  // Through a door the name comes back too, and no link is recorded. The
  // window is closing, so the message saying so does not wait for a key.
  plat::SimulateCloseRequest(qz::QueryMainWindowHandle());
  mapName = GameString("001");
  doors[0] = {62, 0};
  EnterDoor(0, 0, 1);
  EXPECT_STREQ(mapName.c_str(), "001");
  EXPECT_EQ(floorNumber, 0);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[0][0], 0);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[61][0], -1);
  // A floor jump to it leaves the floor number on the floor still played.
  floorNumber = 61;
  EnterDoor(0, 1, 1);
  EXPECT_STREQ(mapName.c_str(), "001");
  EXPECT_EQ(floorNumber, 0);
  // A file that is not there at all.
  EXPECT_EQ(Enter("063", 0), 0);
  EXPECT_TRUE(log_.Contains("063.map refused: the file is missing"));
}

}  // namespace
