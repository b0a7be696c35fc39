// Ground drawn by depth: which cells deepen and how far, what stays a
// surface, the chips' covering, the painted darkening and the written floors.
#include "tools/datagen/ground_depth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/map_cells.h"
#include "tests/game/game_data_fixture.h"
#include "tools/datagen/canvas.h"
#include "tools/datagen/image_table.h"

namespace {

using M = MapFileData;
using datagen::kDeepGroundFirstChip, datagen::kDeepGroundLevels, datagen::kDeepGroundVariants;
constexpr int kDeepest = kDeepGroundLevels + 1;

void Put(M& floor, int x, int y, int chip, int attribute) {
  floor.chipLayer[M::CellIndex(x, y)] = chip;
  floor.attributeLayer[M::CellIndex(x, y)] = attribute;
}

// Wall everywhere in the field, the row and columns past it left empty as
// the floor texts leave them, and one open cell at (30, 20).
M WalledFloor() {
  M floor;
  for (int x = 0; x < kFieldColumns; ++x) {
    for (int y = 0; y < kFieldRows; ++y) Put(floor, x, y, 1, kAttrSolidBlock);
  }
  Put(floor, 30, 20, 0, kAttrEmpty);
  floor.chipTable[1] = floor.chipTable[5] = 120;
  return floor;
}

int ChipAt(const M& floor, int x, int y) { return floor.chipLayer[M::CellIndex(x, y)]; }
int LevelAt(const M& floor, int x, int y) { return ChipAt(floor, x, y) == 1 ? 1 : datagen::DeepGroundLevel(ChipAt(floor, x, y)); }

TEST(GroundDepthTest, GroundDeepensRingByRingFromTheOpenAirUpToTheDeepest) {
  const int last = kDeepGroundFirstChip + kDeepGroundLevels * kDeepGroundVariants - 1;
  for (int chip : {1, 5, kDeepGroundFirstChip - 1, last + 1}) EXPECT_EQ(datagen::DeepGroundLevel(chip), 0) << chip;
  EXPECT_EQ(datagen::DeepGroundLevel(last), kDeepest);
  M floor = WalledFloor();
  datagen::ShadeGroundDepth(floor);
  for (int d = 1; d <= 8; ++d) {  // sideways and downward alike, corners rounded
    EXPECT_EQ(LevelAt(floor, 30 + d, 20), std::min(d, kDeepest)) << d;
    EXPECT_EQ(LevelAt(floor, 30, 20 + d), std::min(d, kDeepest)) << d;
  }
  for (const auto [dx, dy, level] : {std::array{1, 1, 1}, {2, 1, 2}, {2, 2, 3}, {3, 3, 4}, {4, 4, kDeepest}}) {
    EXPECT_EQ(LevelAt(floor, 30 - dx, 20 - dy), level) << dx << "," << dy;
  }
  // The empty row and columns past the field are never seen and light nothing.
  EXPECT_EQ(LevelAt(floor, 30, kFieldRows - 1), kDeepest);
  EXPECT_EQ(LevelAt(floor, kFieldColumns - 1, 20), kDeepest);
  // Not one stamped chip: no two neighbours share one.
  for (int x = 0; x < 12; ++x) {
    for (int y = 36; y < 44; ++y) {
      EXPECT_NE(ChipAt(floor, x, y), ChipAt(floor, x + 1, y)) << x << "," << y;
      EXPECT_NE(ChipAt(floor, x, y), ChipAt(floor, x, y + 1)) << x << "," << y;
    }
  }
  EXPECT_EQ(floor.chipTable[last], 120);
}

TEST(GroundDepthTest, AnythingButPlainSolidGroundIsASurfaceAndKeepsItsChip) {
  M floor = WalledFloor();
  Put(floor, 10, 10, 6, kAttrSolidFrom);  // a stone block inside a wall
  Put(floor, 20, 10, 1, kAttrHidden);     // a wall cell the True Eye opens
  Put(floor, 40, 11, 4, kAttrSolidFrom);  // open air over grass over earth
  Put(floor, 40, 10, 0, kAttrEmpty);
  for (int y = 12; y < 14; ++y) Put(floor, 40, y, 5, kAttrSolidFrom);
  datagen::ShadeGroundDepth(floor);
  EXPECT_EQ(LevelAt(floor, 11, 10), 1);
  EXPECT_EQ(LevelAt(floor, 12, 10), 2);
  EXPECT_EQ(ChipAt(floor, 20, 10), 1);
  EXPECT_EQ(LevelAt(floor, 21, 10), 1);
  EXPECT_EQ(ChipAt(floor, 40, 11), 4);  // the sod is ground: the earth deepens from the air
  EXPECT_EQ(LevelAt(floor, 40, 13), 3);
  // Earth that covers otherwise than walls keeps its chip.
  floor = WalledFloor();
  Put(floor, 30, 30, 5, kAttrSolidFrom);
  floor.chipTable[1] = 0;
  datagen::ShadeGroundDepth(floor);
  EXPECT_EQ(ChipAt(floor, 30, 30), 5);
  EXPECT_EQ(LevelAt(floor, 30, 40), kDeepest);
  EXPECT_EQ(floor.chipTable[kDeepGroundFirstChip], 0);
}

// Every area's deep ground darkens level by level from the fill beside the
// open air, and a level's variants are not one picture.
TEST(GroundDepthTest, EveryAreasDeepGroundIsPaintedDarkerFurtherIn) {
  for (const datagen::ImageEntry& entry : datagen::ImageEntries()) {
    if (entry.art != datagen::Art::kChipSet) continue;
    SCOPED_TRACE(entry.spec.fileName);
    datagen::Canvas chips(entry.spec.across * 32, entry.spec.down * 32, 0);
    datagen::PaintReadableArt(entry, 1, chips);
    const auto cell = [&](int chip) {
      std::vector<std::uint32_t> pixels;
      for (int i = 0; i < 32 * 32; ++i) pixels.push_back(chips.At(chip % 8 * 32 + i % 32, chip / 8 * 32 + i / 32));
      return pixels;
    };
    const auto luma = [&](int chip) {
      long sum = 0;
      for (std::uint32_t p : cell(chip)) sum += (p >> 16 & 0xFF) * 299 + (p >> 8 & 0xFF) * 587 + (p & 0xFF) * 114;
      return sum;
    };
    for (int level = 2, lighter = 1; level <= kDeepest; ++level) {
      const int first = kDeepGroundFirstChip + (level - 2) * kDeepGroundVariants;
      EXPECT_LT(luma(first), luma(lighter)) << "level " << level;
      EXPECT_NE(cell(first), cell(first + 1)) << "level " << level;
      lighter = first;
    }
  }
}

TEST(GroundDepthTest, TheDataSetsFloorsAreWrittenWithTheirDeepGround) {
  const std::string& root = qz::testing::GameDataSet(datagen::ArtStyle::kReadable);
  for (const char* name : {"001", "085", "100"}) {
    std::ifstream in(root + "/map/" + name + ".map", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    M floor;
    ASSERT_TRUE(ParseMapFile(bytes.data(), bytes.size(), &floor)) << name;
    EXPECT_TRUE(std::ranges::any_of(floor.chipLayer, [](int chip) { return datagen::DeepGroundLevel(chip) > 0; })) << name;
  }
}

}  // namespace
