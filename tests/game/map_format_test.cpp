// The floor map file: bytes laid out by hand from the documented offset
// table must read back field by field and be what the writer writes, so the
// reader and the writer cannot share a mistake; malformed files are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "game/map_format.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using M = MapFileData;

void PutAt(Bytes& bytes, std::size_t offset, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::int32_t GetAt(const Bytes& bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t{bytes.at(offset + i)} << (8 * i);
  return static_cast<std::int32_t>(v);
}

bool Parse(const Bytes& bytes, MapFileData* out) { return ParseMapFile(bytes.data(), bytes.size(), out); }

// A file of names "ab", "" and "xyz", one enemy, two objects and one moving
// object, with every field placed at its offset from the table:
// C = 19 + L1 + L2 + L3, D = C + 30980 + 12N, E = D + 8 + 12M, F = E + 84 + 12K.
struct HandBuiltFile {
  static constexpr std::size_t kC = 19 + 2 + 0 + 3;
  static constexpr std::size_t kD = kC + 30980 + 12 * 1;
  static constexpr std::size_t kE = kD + 8 + 12 * 2;
  static constexpr std::size_t kF = kE + 84 + 12 * 1;
  Bytes bytes = Bytes(31159 + 5 + 12 * 4, 0);

  HandBuiltFile() {
    PutAt(bytes, 0, 7);  // the unused header
    PutAt(bytes, 4, 2);
    bytes[8] = 'a';
    bytes[9] = 'b';  // its zero terminator at 10
    PutAt(bytes, 9 + 2, 0);
    PutAt(bytes, 14 + 2 + 0, 3);
    bytes[18 + 2 + 0] = 'x';
    bytes[19 + 2 + 0] = 'y';
    bytes[20 + 2 + 0] = 'z';
    PutAt(bytes, kC, 11);                               // cell (0, 0) chip
    PutAt(bytes, kC + 4, 120);                          // cell (0, 0) attribute
    PutAt(bytes, kC + (2 * 78 + 5) * 8, 214);           // cell (5, 2) chip
    PutAt(bytes, kC + (2 * 78 + 5) * 8 + 4, 4);         // cell (5, 2) attribute
    PutAt(bytes, kC + (47 * 78 + 77) * 8 + 4, -9);      // the last, unreachable cell
    PutAt(bytes, kC + 29952 + 4 * 255, 51);             // chipTable[255]
    PutAt(bytes, kC + 30976, 1);                        // N
    PutAt(bytes, kC + 30980, 10);
    PutAt(bytes, kC + 30984, 42);
    PutAt(bytes, kC + 30988, 3);
    PutAt(bytes, kD, 9);                                // kind set
    PutAt(bytes, kD + 4, 2);                            // M
    PutAt(bytes, kD + 8 + 12 + 8, 3);                   // second object's type
    PutAt(bytes, kE + 16 * 2, 1);                       // slot 2 active
    PutAt(bytes, kE + 16 * 2 + 12, 29);                 // slot 2 type
    PutAt(bytes, kE + 80, 1);                           // K
    PutAt(bytes, kE + 84 + 8, 6);                       // moving object's type
    PutAt(bytes, kF + 4 * 1, 1);                        // flag 1: dark
    PutAt(bytes, kF + 32 + 8 * 3, 101);                 // door 3 to the ending
    PutAt(bytes, kF + 32 + 8 * 3 + 4, 2);
    PutAt(bytes, kF + 64, 45);                          // time limit
  }
};

TEST(MapFormatTest, HandBuiltOffsetsReadBackAndAreWhatTheWriterWrites) {
  const HandBuiltFile file;
  ASSERT_EQ(file.bytes.size(), HandBuiltFile::kF + 68) << "the size formula and the offset table agree";
  MapFileData d;
  ASSERT_TRUE(Parse(file.bytes, &d));
  EXPECT_EQ(d.header, 7);
  EXPECT_EQ(std::tie(d.chipSetName, d.backgroundName, d.musicName), std::make_tuple("ab", "", "xyz"));
  EXPECT_EQ(d.chipLayer[M::CellIndex(0, 0)], 11);
  EXPECT_EQ(d.attributeLayer[M::CellIndex(0, 0)], 120);
  EXPECT_EQ(d.chipLayer[M::CellIndex(5, 2)], 214);
  EXPECT_EQ(d.attributeLayer[M::CellIndex(5, 2)], 4);
  EXPECT_EQ(d.chipLayer[M::CellIndex(2, 5)], 0) << "x and y are not swapped";
  EXPECT_EQ(d.attributeLayer[M::CellIndex(77, 47)], -9);
  EXPECT_EQ(M::CellIndex(5, 2), 5 * 48 + 2) << "the layers are column by column, as the game keeps them";
  EXPECT_EQ(d.chipTable[255], 51);
  ASSERT_EQ(d.enemyPlacements.size(), 1u);
  const M::Placement& enemy = d.enemyPlacements[0];
  EXPECT_EQ(std::tie(enemy.tileX, enemy.tileY, enemy.value), std::make_tuple(10, 42, 3));
  EXPECT_EQ(d.kindSet, 9);
  ASSERT_EQ(d.mapObjects.size(), 2u);
  EXPECT_EQ(d.mapObjects[1].value, 3);
  EXPECT_EQ(std::tie(d.slots[2].active, d.slots[2].type), std::make_tuple(1, 29));
  ASSERT_EQ(d.movingObjects.size(), 1u);
  EXPECT_EQ(d.movingObjects[0].value, 6);
  EXPECT_EQ(d.mapFlags[1], 1);
  EXPECT_EQ(std::tie(d.doors[3].targetFloor, d.doors[3].targetEntrance), std::make_tuple(101, 2));
  EXPECT_EQ(d.timeLimit, 45);

  EXPECT_EQ(WriteMapFile(d), file.bytes);
  EXPECT_EQ(MapFileSize(5, 4), file.bytes.size());
}

TEST(MapFormatTest, WriterPlacesTheTimeLimitAndCellsAtTheirOffsets) {
  MapFileData d;
  d.chipSetName = "chip_meadow.png";  // L1 15, L2 0, L3 0
  d.attributeLayer[M::CellIndex(3, 42)] = 27;
  d.enemyPlacements.resize(2);
  d.timeLimit = 300;
  const Bytes bytes = WriteMapFile(d);
  const std::size_t c = 19 + 15;
  ASSERT_EQ(bytes.size(), 31159u + 15 + 12 * 2);
  EXPECT_EQ(GetAt(bytes, 4), 15);
  EXPECT_EQ(bytes[8 + 15], 0) << "zero terminator";
  EXPECT_EQ(GetAt(bytes, c + (42 * 78 + 3) * 8 + 4), 27);
  EXPECT_EQ(GetAt(bytes, c + 30976), 2);
  EXPECT_EQ(GetAt(bytes, bytes.size() - 4), 300) << "time limit at F + 64, the last field";
}

TEST(MapFormatTest, RandomRecordsSurviveWriteAndRead) {
  std::mt19937 random(18);
  std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
  for (int round = 0; round < 5; ++round) {
    MapFileData d;
    d.header = any(random);
    d.chipSetName = std::string(static_cast<std::size_t>(round * 60), 'c');
    d.backgroundName = round % 2 == 0 ? "" : "BG_\xE3\x81\x82.png";
    d.musicName = "m";
    for (auto& v : d.chipLayer) v = any(random);
    for (auto& v : d.attributeLayer) v = any(random);
    for (auto& v : d.chipTable) v = any(random);
    auto fill = [&](std::vector<M::Placement>& list, int count) {
      list.resize(static_cast<std::size_t>(count));
      for (auto& p : list) p = {any(random), any(random), any(random)};
    };
    fill(d.enemyPlacements, round * 16);
    fill(d.mapObjects, round * 4);
    fill(d.movingObjects, 64 - round * 15);
    d.kindSet = any(random);
    for (auto& s : d.slots) s = {any(random), any(random), any(random), any(random)};
    for (auto& f : d.mapFlags) f = any(random);
    for (auto& door : d.doors) door = {any(random), any(random)};
    d.timeLimit = any(random);

    const Bytes bytes = WriteMapFile(d);
    MapFileData back;
    ASSERT_TRUE(Parse(bytes, &back)) << round;
    EXPECT_EQ(std::tie(back.header, back.chipSetName, back.backgroundName, back.timeLimit),
              std::tie(d.header, d.chipSetName, d.backgroundName, d.timeLimit));
    EXPECT_EQ(back.chipLayer, d.chipLayer);
    EXPECT_EQ(back.attributeLayer, d.attributeLayer);
    EXPECT_EQ(back.chipTable, d.chipTable);
    EXPECT_EQ(back.enemyPlacements.size(), d.enemyPlacements.size());
    EXPECT_EQ(back.movingObjects.back().value, d.movingObjects.back().value);
    EXPECT_EQ(WriteMapFile(back), bytes);
  }
}

TEST(MapFormatTest, WriterCutsWhatTheFileCannotHold) {
  MapFileData d;
  d.chipSetName = std::string(300, 'n');
  d.musicName = std::string("ab\0cd", 5);
  d.enemyPlacements.resize(70);
  d.mapObjects.resize(17);
  d.movingObjects.resize(65);
  MapFileData back;
  ASSERT_TRUE(Parse(WriteMapFile(d), &back));
  EXPECT_EQ(back.chipSetName.size(), 255u);
  EXPECT_EQ(back.musicName, "ab");
  EXPECT_EQ(back.enemyPlacements.size(), 64u);
  EXPECT_EQ(back.mapObjects.size(), 16u);
  EXPECT_EQ(back.movingObjects.size(), 64u);
}

TEST(MapFormatTest, TruncatedFilesAreRefusedAtEveryLength) {
  const Bytes whole = HandBuiltFile().bytes;
  MapFileData d;
  // Every length near a field boundary, and a stride through the cells.
  std::vector<std::size_t> lengths = {0, 1, 3, 4, 8, 10, 11, 15, 16, 23, 24};
  for (std::size_t boundary : {HandBuiltFile::kC + 29952, HandBuiltFile::kC + 30976, HandBuiltFile::kD,
                               HandBuiltFile::kE, HandBuiltFile::kF, HandBuiltFile::kF + 64}) {
    for (std::size_t delta = 0; delta < 6; ++delta) lengths.push_back(boundary + delta - 3);
  }
  for (std::size_t length = 25; length < whole.size(); length += 997) lengths.push_back(length);
  lengths.push_back(whole.size() - 1);
  for (std::size_t length : lengths) {
    // A copy of exactly that length, so the sanitizers see any read past it.
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(Parse(cut, &d)) << "length " << length;
  }
  Bytes longer = whole;
  longer.push_back(0);
  EXPECT_FALSE(Parse(longer, &d)) << "a trailing byte";
  EXPECT_FALSE(ParseMapFile(nullptr, 0, &d));
  EXPECT_FALSE(ParseMapFile(whole.data(), whole.size(), nullptr));
}

TEST(MapFormatTest, AbsurdCountsAndNamesAreRefused) {
  struct Case {
    const char* what;
    std::size_t offset;
    std::int32_t value;
  };
  const Case cases[] = {
      {"negative name length", 4, -1},
      {"name length 256", 4, 256},
      {"huge name length", 4, 0x7FFFFFFF},
      {"enemy count 65", HandBuiltFile::kC + 30976, 65},
      {"negative enemy count", HandBuiltFile::kC + 30976, -1},
      {"huge enemy count", HandBuiltFile::kC + 30976, 0x15555556},  // 12 x count wraps 32 bits
      {"object count 17", HandBuiltFile::kD + 4, 17},
      {"negative object count", HandBuiltFile::kD + 4, INT32_MIN},
      {"moving object count 65", HandBuiltFile::kE + 80, 65},
      {"a count that does not match the size", HandBuiltFile::kE + 80, 2},
  };
  for (const Case& c : cases) {
    Bytes bytes = HandBuiltFile().bytes;
    PutAt(bytes, c.offset, c.value);
    MapFileData d;
    EXPECT_FALSE(Parse(bytes, &d)) << c.what;
  }
  Bytes unterminated = HandBuiltFile().bytes;
  unterminated[10] = 'c';
  MapFileData d;
  EXPECT_FALSE(Parse(unterminated, &d)) << "a name without its zero terminator";
  Bytes inner = HandBuiltFile().bytes;
  inner[8] = 0;
  EXPECT_FALSE(Parse(inner, &d)) << "a zero inside a name";
}

}  // namespace
