// Ground drawn by depth: which cells deepen and how far, what stays a
// surface, the chips' covering, the painted darkening, and that the floors
// the data set writes carry it.
#include "tools/datagen/ground_depth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/map_cells.h"
#include "game/map_format.h"
#include "tests/game/game_data_fixture.h"
#include "tools/datagen/canvas.h"
#include "tools/datagen/image_table.h"

namespace {

using M = MapFileData;
constexpr int kLastDeepChip = datagen::kDeepGroundFirstChip + datagen::kDeepGroundLevels * datagen::kDeepGroundVariants - 1;

// A floor of wall (chip 1) everywhere in the field, the row and columns
// past it left empty as the floor texts leave them.
M SolidFloor() {
  M floor;
  for (int x = 0; x < kFieldColumns; ++x) {
    for (int y = 0; y < kFieldRows; ++y) {
      floor.chipLayer[M::CellIndex(x, y)] = 1;
      floor.attributeLayer[M::CellIndex(x, y)] = kAttrSolidBlock;
    }
  }
  floor.chipTable[1] = floor.chipTable[5] = 120;
  return floor;
}

void Put(M& floor, int x, int y, int chip, int attribute) {
  floor.chipLayer[M::CellIndex(x, y)] = chip;
  floor.attributeLayer[M::CellIndex(x, y)] = attribute;
}

int LevelAt(const M& floor, int x, int y) {
  const int chip = floor.chipLayer[M::CellIndex(x, y)];
  return chip == 1 || chip == 5 ? 1 : datagen::DeepGroundLevel(chip);
}

TEST(GroundDepthTest, DeepGroundChipsAreExactlyTheirRange) {
  EXPECT_EQ(datagen::DeepGroundLevel(datagen::kDeepGroundFirstChip - 1), 0);
  EXPECT_EQ(datagen::DeepGroundLevel(datagen::kDeepGroundFirstChip), 2);
  EXPECT_EQ(datagen::DeepGroundLevel(kLastDeepChip), datagen::kDeepGroundLevels + 1);
  EXPECT_EQ(datagen::DeepGroundLevel(kLastDeepChip + 1), 0);
  for (int chip : {0, 1, 4, 5, 6}) EXPECT_EQ(datagen::DeepGroundLevel(chip), 0) << chip;
}

TEST(GroundDepthTest, GroundDeepensRingByRingFromTheOpenAirUpToTheDeepest) {
  M floor = SolidFloor();
  Put(floor, 30, 20, 0, kAttrEmpty);
  datagen::ShadeGroundDepth(floor);
  // Sideways, downward and corner-wise alike; six rings and more are the deepest.
  for (int d = 1; d <= 8; ++d) {
    const int level = std::min(d, datagen::kDeepGroundLevels + 1);
    EXPECT_EQ(LevelAt(floor, 30 + d, 20), level) << d;
    EXPECT_EQ(LevelAt(floor, 30, 20 + d), level) << d;
    EXPECT_EQ(LevelAt(floor, 30 - d, 20 - d), level) << d;
  }
  // The field's edge: the empty row and columns past it are never seen and
  // light nothing; the grid's own edge counts as ground too.
  EXPECT_EQ(LevelAt(floor, 30, kFieldRows - 1), datagen::kDeepGroundLevels + 1);
  EXPECT_EQ(LevelAt(floor, kFieldColumns - 1, 20), datagen::kDeepGroundLevels + 1);
  EXPECT_EQ(LevelAt(floor, 0, 0), datagen::kDeepGroundLevels + 1);
  // Deep ground is not one stamped chip: no two neighbours share one.
  for (int x = 0; x < 12; ++x) {
    for (int y = 36; y < 44; ++y) {
      EXPECT_NE(floor.chipLayer[M::CellIndex(x, y)], floor.chipLayer[M::CellIndex(x + 1, y)]) << x << "," << y;
      EXPECT_NE(floor.chipLayer[M::CellIndex(x, y)], floor.chipLayer[M::CellIndex(x, y + 1)]) << x << "," << y;
    }
  }
  for (int chip = datagen::kDeepGroundFirstChip; chip <= kLastDeepChip; ++chip) EXPECT_EQ(floor.chipTable[chip], 120);
}

TEST(GroundDepthTest, AnythingButPlainSolidGroundIsASurfaceAndKeepsItsChip) {
  M floor = SolidFloor();
  Put(floor, 10, 10, 6, kAttrSolidFrom);  // a stone block inside a wall
  Put(floor, 20, 10, 1, kAttrHidden);     // a wall cell the True Eye opens
  Put(floor, 40, 10, 0, kAttrEmpty);      // open air over grass over earth
  Put(floor, 40, 11, 4, kAttrSolidFrom);
  Put(floor, 40, 12, 5, kAttrSolidFrom);
  Put(floor, 40, 13, 5, kAttrSolidFrom);
  datagen::ShadeGroundDepth(floor);
  EXPECT_EQ(LevelAt(floor, 11, 10), 1);
  EXPECT_EQ(LevelAt(floor, 12, 10), 2);
  EXPECT_EQ(floor.chipLayer[M::CellIndex(20, 10)], 1) << "not plain ground: left as it is";
  EXPECT_EQ(LevelAt(floor, 21, 10), 1);
  // The sod is ground: the earth under it deepens from the air above.
  EXPECT_EQ(floor.chipLayer[M::CellIndex(40, 11)], 4);
  EXPECT_EQ(LevelAt(floor, 40, 12), 2);
  EXPECT_EQ(LevelAt(floor, 40, 13), 3);
}

TEST(GroundDepthTest, EarthThatCoversOtherwiseThanWallsKeepsItsChip) {
  M floor = SolidFloor();
  for (int x = 0; x < kFieldColumns; ++x) Put(floor, x, 30, 5, kAttrSolidFrom);
  floor.chipTable[1] = 0;
  datagen::ShadeGroundDepth(floor);
  EXPECT_EQ(floor.chipLayer[M::CellIndex(30, 30)], 5);
  EXPECT_EQ(LevelAt(floor, 30, 20), datagen::kDeepGroundLevels + 1);
  EXPECT_EQ(floor.chipTable[datagen::kDeepGroundFirstChip], 0);
}

// The painted chips: every area's deep ground darkens level by level from
// the fill beside the open air, and a level's variants are not one picture.
TEST(GroundDepthTest, EveryAreasDeepGroundIsPaintedDarkerFurtherIn) {
  for (const datagen::AreaLook& look : datagen::AreaLooks()) {
    SCOPED_TRACE(look.chipSet);
    for (const datagen::ImageEntry& entry : datagen::ImageEntries()) {
      if (entry.spec.fileName != look.chipSet) continue;
      datagen::Canvas chips(entry.spec.across * 32, entry.spec.down * 32, 0);
      datagen::PaintReadableArt(entry, 1, chips);
      const auto cell = [&](int chip) {
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 32; ++y) {
          for (int x = 0; x < 32; ++x) pixels.push_back(chips.At(chip % 8 * 32 + x, chip / 8 * 32 + y));
        }
        return pixels;
      };
      const auto luma = [&](int chip) {
        long sum = 0;
        for (std::uint32_t p : cell(chip)) sum += (p >> 16 & 0xFF) * 299 + (p >> 8 & 0xFF) * 587 + (p & 0xFF) * 114;
        return sum / 1024;
      };
      long lighter = luma(1);
      for (int level = 0; level < datagen::kDeepGroundLevels; ++level) {
        const int first = datagen::kDeepGroundFirstChip + level * datagen::kDeepGroundVariants;
        EXPECT_LT(luma(first), lighter) << "level " << level + 2;
        lighter = luma(first);
        EXPECT_NE(cell(first), cell(first + 1)) << "level " << level + 2;
      }
    }
  }
}

TEST(GroundDepthTest, TheDataSetsFloorsAreWrittenWithTheirDeepGround) {
  const std::string& root = qz::testing::GameDataSet(datagen::ArtStyle::kReadable);
  for (const char* name : {"001", "085", "100"}) {
    SCOPED_TRACE(name);
    std::ifstream in(root + "/map/" + name + ".map", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    M floor;
    ASSERT_TRUE(ParseMapFile(bytes.data(), bytes.size(), &floor));
    int deep = 0;
    for (std::int32_t chip : floor.chipLayer) deep += datagen::DeepGroundLevel(chip) > 0;
    EXPECT_GT(deep, 0);
  }
}

}  // namespace
