// The cell rules over a loaded floor: the pixel lookup's field bounds, every
// switch code and touch code with what it reveals, the True Eye and the
// replica gates, and the effects and sounds they leave.
#include <tuple>

#include "game/effects.h"
#include "sound/sound_play.h"
#include "tests/game/floor_fixture.h"

namespace {

using qz::testing::FloorTest;

struct Expected {
  int code, chip, attribute;
};

constexpr Expected kSwitchTable[] = {
    {9, 79, 120},  {10, 7, 50},   {11, 29, 51},  {12, 30, 63},  {13, 36, 64},  {14, 28, 65},  {15, 68, 57},
    {16, 69, 58},  {17, 70, 59},  {18, 71, 60},  {19, 76, 61},  {20, 77, 62},  {21, 214, 5},  {22, 214, 6},
    {23, 214, 7},  {24, 222, 8},  {25, 209, 3},  {26, 217, 8},  {90, 0, 0},    {91, 7, 50},   {92, 92, 52},
    {93, 93, 53},  {94, 94, 54},  {95, 95, 55},  {96, 30, 63},  {97, 29, 51},  {98, 28, 65},  {99, 214, 5},
    {100, 214, 6}, {101, 214, 7}, {102, 222, 8}, {103, 209, 3}, {104, 217, 8},
};

TEST_F(FloorTest, ThePixelLookupAnswersOnlyInsideTheReachableField) {
  ASSERT_EQ(Enter("001", 0), 1);
  SetCell(75, 46, 1, 77);
  SetCell(76, 0, 1, 78);
  EXPECT_EQ(ReadAttributeAtPixel(2431, 1503), 77);
  EXPECT_EQ(ReadAttributeAtPixel(2432, 0), 0);
  EXPECT_EQ(ReadAttributeAtPixel(0, -1), 0);
  EXPECT_EQ(ReadAttributeAtPixel(-1, 0), 0);
  EXPECT_EQ(AttributeAt(76, 0), 78);  // storage, not field
  // Rules that reach past the storage read 0 and write nothing.
  EXPECT_EQ(AttributeAt(78, 0), 0);
  EXPECT_EQ(ChipAt(0, 48), 0);
  SetCell(-1, 3, 5, 5);
  SetCell(3, 48, 5, 5);
  EXPECT_EQ(CheckedCellIndex(78, 47), -1);
  EXPECT_EQ(ChipTableValue(256), 0);
  EXPECT_EQ(ChipTableValue(-1), 0);
}

// The ice answer comes from a count: every write of a cell moves it by what
// the cell was and becomes, a write outside the storage by nothing, and a
// floor loaded counts afresh.
TEST_F(FloorTest, TheIceCountFollowsEveryCellWrittenAndEveryFloorLoaded) {
  ASSERT_EQ(Enter("001", 0), 1);
  EXPECT_FALSE(AnySlipperyCell());
  SetCell(-1, 0, 36, kAttrSlippery);
  SetCell(0, kMapRows, 36, kAttrSlippery);
  EXPECT_FALSE(AnySlipperyCell()) << "writes outside the storage";
  SetCell(0, 0, 36, kAttrSlippery);
  SetCell(0, 0, 36, kAttrSlippery);  // ice over ice counts once
  SetCell(kMapColumns - 1, kMapRows - 1, 36, kAttrSlippery);
  SetCell(0, 0, 0, kAttrSlippery + 1);
  EXPECT_TRUE(AnySlipperyCell()) << "one ice cell left";
  SetCell(kMapColumns - 1, kMapRows - 1, 0, 0);
  EXPECT_FALSE(AnySlipperyCell());
  SetCell(3, 3, 36, kAttrSlippery);
  ASSERT_EQ(Enter("001", 0), 1);
  EXPECT_FALSE(AnySlipperyCell()) << "the floor's own cells replace the written one";
  ASSERT_EQ(Enter("056", 0), 1);
  EXPECT_TRUE(AnySlipperyCell());
}

TEST_F(FloorTest, SwitchCodesTurnIntoTheirCellsOnlyInTheFieldWithEffectsWhenAsked) {
  ASSERT_EQ(Enter("001", 0), 1);
  EmptyObjectPools();
  const int row = 30;
  int x = 1;
  for (const Expected& e : kSwitchTable) SetCell(x++, row, 1, e.code);
  for (int code = 27; code <= 89; ++code) SetCell(code - 26, row + 1, 1, code);
  SetCell(76, 5, 1, 9);  // storage column
  SetCell(10, 47, 1, 9);  // storage row
  gameState.FloorProgress.doorLinks[0][1] = 30;
  gameState.FloorProgress.doorLinks[0][2] = -1;
  ConvertMapCodes(0);
  EXPECT_EQ(effectCount, 0);
  x = 1;
  for (const Expected& e : kSwitchTable) {
    SCOPED_TRACE(e.code);
    EXPECT_EQ(ChipAt(x, row), e.chip);
    EXPECT_EQ(AttributeAt(x++, row), e.attribute);
  }
  for (int code = 27; code <= 89; ++code) EXPECT_EQ(AttributeAt(code - 26, row + 1), code);
  EXPECT_EQ(AttributeAt(76, 5), 9);
  EXPECT_EQ(AttributeAt(10, 47), 9);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[0][1], 30);  // a known link stays
  EXPECT_EQ(gameState.FloorProgress.doorLinks[0][2], 0);
  EXPECT_EQ(gameState.FloorProgress.shopFound[0], 1);

  // With effects: one creation effect (kind 13) at the centre of each converted cell.
  SetCell(3, 30, 0, 10);
  SetCell(7, 33, 0, 90);
  ConvertMapCodes(1);
  ASSERT_EQ(effectCount, 2);
  EXPECT_EQ(std::tie(effects[0].kind, effects[0].x, effects[0].y), std::make_tuple(13, 3 * 32 + 16, 30 * 32 + 16));
  EXPECT_EQ(effects[1].x, 7 * 32 + 16);
}

TEST_F(FloorTest, TouchCodesBreakIntoTheirCellsWithSoundAndEffect) {
  ASSERT_EQ(Enter("001", 0), 1);
  EmptyObjectPools();
  SetCell(5, 30, 0, 111);
  EXPECT_EQ(WriteTileTypeAtPixel(5 * 32 + 3, 30 * 32 + 31), 63);
  EXPECT_EQ(ChipAt(5, 30), 30);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeDiscovery]), 1);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeBlockBreak]), 1);
  ASSERT_EQ(effectCount, 1);
  EXPECT_EQ(effects[0].kind, 12);
  EXPECT_EQ(effects[0].x, 5 * 32 + 16);

  qz::StopSoundHandle(soundEffects[kSeDiscovery]);
  SetCell(6, 30, 0, 105);
  EXPECT_EQ(WriteTileTypeAtPixel(6 * 32, 30 * 32), 0);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeDiscovery]), 0);
  gameState.FloorProgress.doorLinks[0][3] = -1;
  SetCell(7, 30, 0, 116);
  EXPECT_EQ(WriteTileTypeAtPixel(7 * 32, 30 * 32), 7);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[0][3], 0);
  // Anything else is answered as it is; outside the field 0.
  EXPECT_EQ(WriteTileTypeAtPixel(0, 0), 120);
  EXPECT_EQ(WriteTileTypeAtPixel(2432, 0), 0);
  EXPECT_EQ(effectCount, 3);
}

TEST_F(FloorTest, TheTrueEyeShowsHiddenCellsOnlyWhenOwned) {
  ASSERT_EQ(Enter("001", 0), 1);
  SetCell(8, 30, 0, kAttrHidden);
  RevealTrueEyeBlocks();
  EXPECT_EQ(AttributeAt(8, 30), kAttrHidden);
  player.ProgressFlags[kTrueEye] = 1;
  RevealTrueEyeBlocks();
  EXPECT_EQ(AttributeAt(8, 30), 120);
  EXPECT_EQ(ChipAt(8, 30), 78);
}

}  // namespace
