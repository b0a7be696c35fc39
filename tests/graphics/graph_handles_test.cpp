// Graph handles: check numbers, the shrinking end slot, the full table,
// tiling into textures, shared images of derived graphs and creation
// failures, each closing with nothing left behind.
#include <gtest/gtest.h>

#include <vector>

#include "core/handle.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_tiling.h"
#include "graphics/texture_draw_info.h"
#include "support/scratch_log.h"
#include "tests/graphics/graph_test_fixture.h"

namespace qz {
namespace {

using testing::GraphProfile;
using testing::GraphTest;

TEST_F(GraphTest, HandlesCarryTheirCheckNumberAndReleaseShrinksTheEndSlot) {
  Start();
  const GraphHandle a = CreateBlankGraph(16, 16);
  const GraphHandle b = CreateBlankGraph(32, 8);
  const GraphHandle c = CreateBlankGraph(8, 8);
  ASSERT_GE(a, 0);
  EXPECT_EQ(a & kHandleKindMask, kGraphHandle);
  EXPECT_EQ(GetGraphRecord(b)->movie, -1);
  EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_ + 3);

  // Another check number in an occupied slot names nothing.
  const GraphHandle stale = b ^ (1 << 16);
  EXPECT_EQ(IsValidGraphHandle(stale), 0);
  EXPECT_EQ(ReleaseGraph(stale), -1);
  EXPECT_EQ(QueryGraphSize(stale, nullptr, nullptr), -1);

  int width = 0;
  int height = 0;
  EXPECT_EQ(QueryGraphSize(b, &width, &height), 0);
  EXPECT_EQ(width * 100 + height, 3208);
  EXPECT_EQ(QueryGraphSize(kBackScreenGraph, &width, nullptr), 0);
  EXPECT_EQ(QueryGraphSize(kFrontScreenGraph, nullptr, &height), 0);
  EXPECT_EQ(width * 1000 + height, 640480);

  std::int32_t deleted = 7;
  EXPECT_EQ(AttachGraphDeletedFlag(c, &deleted), 0);
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(ReleaseGraph(b), 0);
  EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_ + 3);
  EXPECT_EQ(ReleaseGraph(c), 0);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_ + 1);

  // The freed slot comes back with a new check number.
  EXPECT_EQ(ReleaseGraph(a), 0);
  const GraphHandle again = CreateBlankGraph(8, 8);
  EXPECT_EQ(again & kHandleSlotMask, a & kHandleSlotMask);
  EXPECT_EQ(IsValidGraphHandle(a), 0);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, FullTableEndsTheProgramWithItsMessage) {
  GTEST_FLAG_SET(death_test_style, "fast");
  testing::ScratchLog log;
  StartSoftware();
  EXPECT_EXIT(
      {
        for (int i = GetGraphCount(); i < kGraphTableSize; ++i) {
          if (CreateBlankGraph(1, 1) < 0) std::_Exit(1);
        }
        CreateBlankGraph(1, 1);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(255), "");
  EXPECT_TRUE(log.Contains(text::kGraphTableFull));
}

struct TilingCase {
  int limit;
  int size;
  bool drawable;
  std::vector<int> sizes;
};

TEST_F(GraphTest, SplitsSizesWithinTheTextureLimit) {
  const TilingCase cases[] = {
      {512, 640, false, {512, 128}},      {512, 480, false, {512}},
      {512, 900, false, {512, 256, 128, 8}}, {512, 5, false, {8}},
      {512, 1000, false, {512, 512}},     {2048, 640, false, {1024}},
      {2048, 480, false, {512}},          {256, 600, false, {256, 256, 64, 16, 8}},
      {256, 192, true, {256}},
  };
  for (const TilingCase& c : cases) {
    if (GetGraphicsState().caps.maxTextureSize != c.limit) {
      TerminateGraphics();
      Start(GraphProfile(static_cast<std::uint32_t>(c.limit)));
    }
    int sizes[kMaxTextureSizesPerDimension];
    const int count = SplitIntoTextureSizes(c.size, c.drawable ? 1 : 0, sizes);
    EXPECT_EQ(std::vector<int>(sizes, sizes + count), c.sizes) << c.limit << " " << c.size;
  }

  // Without the power-of-two rule a drawable image takes its own size.
  TerminateGraphics();
  Start(GraphProfile(512, plat::D3DPTEXTURECAPS_NONPOW2CONDITIONAL));
  int sizes[kMaxTextureSizesPerDimension];
  EXPECT_EQ(SplitIntoTextureSizes(300, 1, sizes), 1);
  EXPECT_EQ(sizes[0], 300);
}

TEST_F(GraphTest, TilesAreLaidOutRowByRowAndSquaredWhereTheDeviceWantsSquares) {
  Start(GraphProfile(512));
  const GraphHandle graph = CreateBlankGraph(640, 480);
  const GraphImage* image = GetGraphRecord(graph)->image;
  ASSERT_EQ(image->tileCount, 2);
  EXPECT_EQ(image->tiles[1].x, 512);
  EXPECT_EQ(image->tiles[1].textureWidth * 1000 + image->tiles[1].textureHeight, 128512);
  EXPECT_EQ(image->tiles[1].usedHeight, 480);
  EXPECT_EQ(GetGraphRecord(graph)->drawEntries.size(), 2u);
  ExpectEverythingReleased();

  TerminateGraphics();
  Start(GraphProfile(512, plat::D3DPTEXTURECAPS_SQUAREONLY));
  const GraphImage* squares = GetGraphRecord(CreateBlankGraph(640, 480))->image;
  ASSERT_EQ(squares->tileCount, 5);
  const int expected[][3] = {{0, 0, 512}, {512, 0, 128}, {512, 128, 128}, {512, 256, 128}, {512, 384, 128}};
  for (int i = 0; i < 5; ++i) {
    const GraphTextureTile& tile = squares->tiles[i];
    EXPECT_EQ(tile.x, expected[i][0]) << i;
    EXPECT_EQ(tile.y, expected[i][1]) << i;
    EXPECT_EQ(tile.textureWidth, expected[i][2]) << i;
    EXPECT_EQ(tile.textureHeight, expected[i][2]) << i;
  }
  EXPECT_EQ(squares->tiles[4].usedHeight, 96);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, DerivedGraphsShareTheImageUntilTheLastIsReleased) {
  Start();
  const GraphHandle parent = CreateBlankGraph(64, 32);
  const GraphHandle child = MakeSubRectGraph(8, 4, 16, 16, parent);
  const GraphHandle grandchild = MakeSubRectGraph(2, 2, 4, 4, child);
  ASSERT_GT(grandchild, 0);
  GraphImage* image = GetGraphRecord(parent)->image;
  EXPECT_EQ(GetGraphRecord(grandchild)->image, image);
  EXPECT_EQ(image->refCount, 3);
  EXPECT_EQ(GetGraphRecord(grandchild)->drawX, 10);
  EXPECT_EQ(GetGraphRecord(grandchild)->sourceY, 6);

  const int objectsWithImage = plat::GetD3D9LiveObjectCount();
  EXPECT_EQ(ReleaseGraph(parent), 0);
  EXPECT_EQ(ReleaseGraph(grandchild), 0);
  EXPECT_EQ(image->refCount, 1);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objectsWithImage);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, SubRectanglesAreCutToTheSourceAndRefusedOutsideIt) {
  Start();
  const GraphHandle source = CreateBlankGraph(40, 30);
  int width = 0;
  int height = 0;
  QueryGraphSize(MakeSubRectGraph(30, 20, 100, 100, source), &width, &height);
  EXPECT_EQ(width * 100 + height, 1010);

  const int count = GetGraphCount();
  const int rejected[][4] = {{-1, 0, 4, 4}, {0, -1, 4, 4}, {40, 0, 4, 4}, {0, 30, 4, 4}, {0, 0, 0, 4}, {0, 0, 4, -2}};
  for (const auto& r : rejected) EXPECT_EQ(MakeSubRectGraph(r[0], r[1], r[2], r[3], source), -1) << r[0] << r[2];
  EXPECT_EQ(MakeSubRectGraph(0, 0, 4, 4, source ^ (1 << 16)), -1);
  EXPECT_EQ(GetGraphCount(), count);

  GetDrawSettings().skipDrawing = 1;
  EXPECT_EQ(MakeSubRectGraph(0, 0, 4, 4, source), 0);
  GetDrawSettings().skipDrawing = 0;
  ExpectEverythingReleased();
}

TEST_F(GraphTest, FailedTextureCreationGivesBackTheSlotAndEverythingMade) {
  Start(GraphProfile(256));
  testing::ScratchLog log;
  const int blocks = GetTrackedBlockCount();
  // The third of five tiles fails: the first two are released again.
  plat::FailD3D9CallForTest("CreateTexture", 3, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(CreateBlankGraph(600, 100), -1);
  EXPECT_TRUE(log.Contains(text::kGraphTextureCreateFailed));
  plat::FailD3D9CallForTest("Texture.GetSurfaceLevel", 1, 1, plat::E_FAIL);
  EXPECT_EQ(CreateBlankGraph(16, 16), -1);
  EXPECT_TRUE(log.Contains(text::kGraphSurfaceLevelFailed));
  EXPECT_EQ(GetTrackedBlockCount(), blocks);
  ExpectEverythingReleased();
}

}  // namespace
}  // namespace qz
