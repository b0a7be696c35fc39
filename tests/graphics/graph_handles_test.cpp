// Graph handles: slots and check numbers, the shrinking end slot, the full
// table, tiling into textures, shared images of derived graphs and creation
// failures, each closing with nothing left behind.
#include <gtest/gtest.h>

#include <vector>

#include "core/handle.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_textures.h"
#include "graphics/graph_tiling.h"
#include "graphics/texture_draw_info.h"
#include "support/scratch_log.h"
#include "tests/graphics/graph_test_fixture.h"

namespace qz {
namespace {

using testing::GraphProfile;
using testing::GraphTest;

TEST_F(GraphTest, HandlesCarryKindCheckAndSlotAndShrinkTheEndSlotOnRelease) {
  Start();
  const GraphHandle a = CreateBlankGraph(16, 16);
  const GraphHandle b = CreateBlankGraph(32, 8);
  const GraphHandle c = CreateBlankGraph(8, 8);
  ASSERT_GE(a, 0);
  EXPECT_EQ(a & kHandleKindMask, kGraphHandle);
  EXPECT_EQ(b & kHandleSlotMask, (a & kHandleSlotMask) + 1);
  EXPECT_EQ(GetGraphRecord(b)->handle, b);
  EXPECT_EQ(GetGraphRecord(b)->movie, -1);
  EXPECT_EQ(GetGraphCount(), baseCount_ + 3);
  EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_ + 3);

  // Another check number in an occupied slot names nothing.
  const GraphHandle stale = b ^ (1 << 16);
  EXPECT_EQ(IsValidGraphHandle(stale), 0);
  EXPECT_EQ(GetGraphRecord(stale), nullptr);
  EXPECT_EQ(ReleaseGraph(stale), -1);
  EXPECT_EQ(IsValidGraphHandle(-1), 0);
  EXPECT_EQ(IsValidGraphHandle(b | kSoundHandle), 0);

  int width = 0;
  int height = 0;
  EXPECT_EQ(QueryGraphSize(b, &width, &height), 0);
  EXPECT_EQ(width, 32);
  EXPECT_EQ(height, 8);
  EXPECT_EQ(QueryGraphSize(kBackScreenGraph, &width, nullptr), 0);
  EXPECT_EQ(QueryGraphSize(kFrontScreenGraph, nullptr, &height), 0);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(QueryGraphSize(stale, &width, &height), -1);

  std::int32_t deleted = 7;
  EXPECT_EQ(AttachGraphDeletedFlag(c, &deleted), 0);
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(AttachGraphDeletedFlag(stale, &deleted), -1);

  // Releasing below the top keeps the end slot; releasing the top drops it
  // past every empty slot.
  EXPECT_EQ(ReleaseGraph(b), 0);
  EXPECT_EQ(IsValidGraphHandle(b), 0);
  EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_ + 3);
  EXPECT_EQ(ReleaseGraph(c), 0);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_ + 1);
  EXPECT_EQ(ReleaseGraph(a), 0);
  EXPECT_EQ(GetGraphEndSlot(), baseEndSlot_);

  // The slot is reused, but not the check number.
  const GraphHandle again = CreateBlankGraph(8, 8);
  EXPECT_EQ(again & kHandleSlotMask, a & kHandleSlotMask);
  EXPECT_NE(again, a);
  EXPECT_EQ(IsValidGraphHandle(a), 0);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, FullTableEndsTheProgramWithItsMessage) {
  GTEST_FLAG_SET(death_test_style, "fast");
  testing::ScratchLog log;
  StartSoftware();
  EXPECT_EXIT(
      {
        for (int i = 0; i < kGraphTableSize; ++i) {
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
      {2048, 640, false, {1024}},         {2048, 480, false, {512}},
      {512, 900, false, {512, 256, 128, 8}}, {512, 5, false, {8}},
      {256, 600, false, {256, 256, 64, 16, 8}}, {256, 256, false, {256}},
      {512, 1000, false, {512, 512}},     {256, 192, true, {256}},
  };
  int limit = 0;
  for (const TilingCase& c : cases) {
    if (c.limit != limit) {
      TerminateGraphics();
      Start(GraphProfile(static_cast<std::uint32_t>(c.limit)));
      limit = c.limit;
    }
    int sizes[kMaxTextureSizesPerDimension];
    const int count = SplitIntoTextureSizes(c.size, c.drawable ? 1 : 0, sizes);
    EXPECT_EQ(std::vector<int>(sizes, sizes + count), c.sizes) << c.limit << " " << c.size;
  }

  // Without the power-of-two rule a drawable image takes its own size.
  TerminateGraphics();
  Start(GraphProfile(512, plat::D3DPTEXTURECAPS_NONPOW2CONDITIONAL));
  int sizes[kMaxTextureSizesPerDimension];
  ASSERT_EQ(SplitIntoTextureSizes(300, 1, sizes), 1);
  EXPECT_EQ(sizes[0], 300);
  EXPECT_EQ(SplitIntoTextureSizes(300, 0, sizes), 1);
  EXPECT_EQ(sizes[0], 512);
}

TEST_F(GraphTest, LargeGraphsAreCutIntoTilesRowByRow) {
  Start(GraphProfile(512));
  const GraphHandle graph = CreateBlankGraph(640, 480);
  ASSERT_GE(graph, 0);
  const GraphImage* image = GetGraphRecord(graph)->image;
  ASSERT_EQ(image->tileCount, 2);
  EXPECT_EQ(TileSizes(graph, true), (std::vector<int>{512, 128}));
  EXPECT_EQ(TileSizes(graph, false), (std::vector<int>{512, 512}));
  EXPECT_EQ(image->tiles[1].x, 512);
  EXPECT_EQ(image->tiles[1].usedWidth, 128);
  EXPECT_EQ(image->tiles[1].usedHeight, 480);
  EXPECT_NE(image->tiles[1].texture, nullptr);
  EXPECT_NE(image->tiles[1].surface, nullptr);
  EXPECT_EQ(GetGraphRecord(graph)->drawEntries.size(), 2u);
  ExpectEverythingReleased();

  TerminateGraphics();
  Start(GraphProfile(2048));
  const GraphHandle single = CreateBlankGraph(640, 480);
  EXPECT_EQ(TileSizes(single, true), (std::vector<int>{1024}));
  EXPECT_EQ(TileSizes(single, false), (std::vector<int>{512}));
  ExpectEverythingReleased();
}

TEST_F(GraphTest, SquareOnlyDeviceGetsSquareTilesOfTheShorterSide) {
  Start(GraphProfile(512, plat::D3DPTEXTURECAPS_SQUAREONLY));
  EXPECT_EQ(GetGraphicsState().caps.squareOnly, 1);
  const GraphHandle graph = CreateBlankGraph(640, 480);
  ASSERT_GE(graph, 0);
  const GraphImage* image = GetGraphRecord(graph)->image;
  ASSERT_EQ(image->tileCount, 5);
  const int expected[][3] = {{0, 0, 512}, {512, 0, 128}, {512, 128, 128}, {512, 256, 128}, {512, 384, 128}};
  for (int i = 0; i < 5; ++i) {
    const GraphTextureTile& tile = image->tiles[i];
    EXPECT_EQ(tile.x, expected[i][0]) << i;
    EXPECT_EQ(tile.y, expected[i][1]) << i;
    EXPECT_EQ(tile.textureWidth, expected[i][2]) << i;
    EXPECT_EQ(tile.textureHeight, expected[i][2]) << i;
  }
  EXPECT_EQ(image->tiles[4].usedHeight, 96);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, DerivedGraphsShareTheImageUntilTheLastIsReleased) {
  Start();
  const GraphHandle parent = CreateBlankGraph(64, 32);
  const GraphHandle child = MakeSubRectGraph(8, 4, 16, 16, parent);
  ASSERT_GT(child, 0);
  GraphRecord* parentRecord = GetGraphRecord(parent);
  GraphRecord* childRecord = GetGraphRecord(child);
  GraphImage* image = parentRecord->image;
  EXPECT_EQ(childRecord->image, image);
  EXPECT_EQ(image->refCount, 2);
  EXPECT_EQ(childRecord->drawX, 8);
  EXPECT_EQ(childRecord->drawY, 4);
  EXPECT_EQ(childRecord->sourceX, 8);

  const GraphHandle grandchild = MakeSubRectGraph(2, 2, 4, 4, child);
  EXPECT_EQ(GetGraphRecord(grandchild)->drawX, 10);
  EXPECT_EQ(image->refCount, 3);

  const int objectsWithImage = plat::GetD3D9LiveObjectCount();
  EXPECT_EQ(ReleaseGraph(parent), 0);
  EXPECT_EQ(ReleaseGraph(grandchild), 0);
  EXPECT_EQ(image->refCount, 1);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objectsWithImage);
  EXPECT_NE(image->tiles[0].texture, nullptr);
  EXPECT_EQ(ReleaseGraph(child), 0);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, SubRectanglesAreCutToTheSourceAndRefusedOutsideIt) {
  Start();
  const GraphHandle source = CreateBlankGraph(40, 30);
  int width = 0;
  int height = 0;
  const GraphHandle cut = MakeSubRectGraph(30, 20, 100, 100, source);
  ASSERT_GT(cut, 0);
  QueryGraphSize(cut, &width, &height);
  EXPECT_EQ(width, 10);
  EXPECT_EQ(height, 10);

  const int count = GetGraphCount();
  EXPECT_EQ(MakeSubRectGraph(-1, 0, 4, 4, source), -1);
  EXPECT_EQ(MakeSubRectGraph(0, -1, 4, 4, source), -1);
  EXPECT_EQ(MakeSubRectGraph(40, 0, 4, 4, source), -1);
  EXPECT_EQ(MakeSubRectGraph(0, 30, 4, 4, source), -1);
  EXPECT_EQ(MakeSubRectGraph(0, 0, 0, 4, source), -1);
  EXPECT_EQ(MakeSubRectGraph(0, 0, 4, -2, source), -1);
  EXPECT_EQ(MakeSubRectGraph(0, 0, 4, 4, source ^ (1 << 16)), -1);
  EXPECT_EQ(GetGraphCount(), count);

  GetDrawSettings().skipDrawing = 1;
  EXPECT_EQ(MakeSubRectGraph(0, 0, 4, 4, source), 0);
  GetDrawSettings().skipDrawing = 0;
  ExpectEverythingReleased();
}

TEST_F(GraphTest, FailedTextureCreationFreesTheSlotAndEverythingMade) {
  Start(GraphProfile(256));
  const GraphHandle kept = CreateBlankGraph(8, 8);
  const int count = GetGraphCount();
  const int endSlot = GetGraphEndSlot();
  const int objects = plat::GetD3D9LiveObjectCount();
  const int blocks = GetTrackedBlockCount();

  testing::ScratchLog log;
  // The third tile's texture fails: the first two are released again.
  plat::FailD3D9CallForTest("CreateTexture", 3, 1, plat::E_OUTOFMEMORY);
  EXPECT_EQ(CreateBlankGraph(600, 100), -1);
  EXPECT_TRUE(log.Contains(text::kGraphTextureCreateFailed));
  EXPECT_EQ(GetGraphCount(), count);
  EXPECT_EQ(GetGraphEndSlot(), endSlot);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objects);
  EXPECT_EQ(GetTrackedBlockCount(), blocks);

  plat::FailD3D9CallForTest("Texture.GetSurfaceLevel", 1, 1, plat::E_FAIL);
  EXPECT_EQ(CreateBlankGraph(16, 16), -1);
  EXPECT_TRUE(log.Contains(text::kGraphSurfaceLevelFailed));
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objects);
  EXPECT_EQ(IsValidGraphHandle(kept), 1);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, CreationFollowsTheNewGraphSettings) {
  Start(GraphProfile(2048));
  const GraphHandle plain = CreateBlankGraph(8, 8);
  const GraphImage& plainImage = *GetGraphRecord(plain)->image;
  EXPECT_EQ(plainImage.request.textured, 1);
  EXPECT_EQ(plainImage.request.mipLevels, 1);
  EXPECT_EQ(plainImage.request.bitDepth, 32);
  EXPECT_EQ(plainImage.pixelFormatCode, kGraphFormatColorKey32Bit);

  SetNewGraphAlphaFlag(1);
  const GraphHandle alpha = CreateBlankGraph(8, 8);
  EXPECT_EQ(GetGraphRecord(alpha)->image->pixelFormatCode, kGraphFormatAlpha32Bit);
  EXPECT_EQ(GetGraphRecord(alpha)->image->request.colorKey, 0);
  SetNewGraphAlphaFlag(0);

  SetNewGraphUserFormatFlag(1);
  const GraphHandle drawable = CreateBlankGraph(8, 8);
  const GraphImage& drawableImage = *GetGraphRecord(drawable)->image;
  EXPECT_EQ(drawableImage.request.drawable, 1);
  EXPECT_EQ(drawableImage.request.staged, 1);
  EXPECT_EQ(drawableImage.pixelFormatCode, kGraphFormatDrawable32Bit);
  EXPECT_EQ(drawableImage.tiles[0].stagingTexture, nullptr);
  SetNewGraphUserFormatFlag(0);

  EXPECT_EQ(CreateBlankGraph(0, 8), -1);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, SoftwarePathGraphsAreMemoryImages) {
  StartSoftware();
  const GraphHandle graph = CreateBlankGraph(20, 10);
  ASSERT_GE(graph, 0);
  const GraphRecord& record = *GetGraphRecord(graph);
  EXPECT_EQ(record.image->request.software, 1);
  EXPECT_EQ(record.image->request.drawable, 1);
  EXPECT_EQ(record.image->request.mipLevels, 0);
  EXPECT_EQ(record.image->pixelFormatCode, GetScreenColorBitDepth() == 16 ? kGraphFormatSoft16Bit
                                                                          : kGraphFormatSoft32Bit);
  EXPECT_EQ(IsMemImgValid(&record.image->memImg), 1);
  EXPECT_EQ(record.softView.width, 20);

  const GraphHandle child = MakeSubRectGraph(5, 5, 10, 10, graph);
  EXPECT_EQ(GetGraphRecord(child)->softView.height, 5);
  EXPECT_EQ(ReleaseGraph(graph), 0);
  EXPECT_EQ(IsMemImgValid(&GetGraphRecord(child)->softView), 1);
  ExpectEverythingReleased();
}

}  // namespace
}  // namespace qz
