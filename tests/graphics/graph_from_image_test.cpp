// Graphs from image files, sprite sheets and memory, and their restore
// sources.
#include "graphics/graph_from_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/log_text.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_record.h"
#include "graphics/graph_restore.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "graphics/graph_image_fixture.h"

namespace {

using qz::testing::MakeTga;
using qz::testing::SheetPixel;

class GraphFromImage : public qz::testing::GraphicsScreenTest,
                       public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override { StartScreen(GetParam()); }
  std::string WriteSheet(const std::string& name, int width, int height) {
    folder_.Write(name, MakeTga(width, height, 24, SheetPixel));
    return folder_.Library(name);
  }
  static int SourceX(int graph) { return qz::GetGraphRecord(graph)->sourceX; }
  static int SourceY(int graph) { return qz::GetGraphRecord(graph)->sourceY; }
  qz::testing::ScratchFolder folder_;
};

TEST_P(GraphFromImage, SheetCellsRunRowByRowAndMirrorRunsEachRowRightToLeft) {
  const std::string sheet = WriteSheet("sheet.tga", 128, 64);
  int handles[10];
  std::fill(std::begin(handles), std::end(handles), 12345);
  ASSERT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 8, 4, 2, 32, 32, handles, 0), 0);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(SourceX(handles[i]), (i % 4) * 32) << i;
    EXPECT_EQ(SourceY(handles[i]), (i / 4) * 32) << i;
  }
  ASSERT_EQ(qz::ReadImageFileAsGraphGridCore(sheet.c_str(), 8, 4, 2, 32, 32, handles, 1, 1), 0);
  EXPECT_EQ(SourceX(handles[0]), 96);
  EXPECT_EQ(SourceX(handles[3]), 0);
  EXPECT_EQ(SourceY(handles[4]), 32);

  // More cells asked than the rows hold: the rest of the array stays as it was.
  const int before = qz::GetGraphCount();
  ASSERT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 10, 4, 2, 32, 32, handles, 0), 0);
  EXPECT_EQ(qz::GetGraphCount(), before + 8);
  EXPECT_EQ(handles[8], 12345);
  EXPECT_EQ(handles[9], 12345);
  EXPECT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 0, 4, 2, 32, 32, handles, 0), 0);
  EXPECT_EQ(qz::GetGraphCount(), before + 8);
}

TEST_P(GraphFromImage, SheetCellsShareOneSourceThatLivesUntilTheLastSharerGoes) {
  const std::string sheet = WriteSheet("sheet.tga", 64, 32);
  int handles[2];
  ASSERT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 2, 2, 1, 32, 32, handles, 0), 0);
  qz::GraphRestoreSource* source = qz::GetGraphRecord(handles[0])->restoreSource;
  ASSERT_NE(source, nullptr);
  ASSERT_NE(source->fileName, nullptr);
  EXPECT_EQ(std::string(source->fileName), sheet);
  EXPECT_EQ(qz::GetGraphRecord(handles[1])->restoreSource, source);
  EXPECT_EQ(source->referenceCount, 2);

  // A graph derived from a cell shares the same source too.
  const int part = qz::MakeSubRectGraph(4, 4, 8, 8, handles[1]);
  ASSERT_GT(part, 0);
  EXPECT_EQ(qz::GetGraphRecord(part)->restoreSource, source);
  EXPECT_EQ(source->referenceCount, 3);
  EXPECT_EQ(qz::ReleaseGraph(handles[0]), 0);
  EXPECT_EQ(qz::ReleaseGraph(handles[1]), 0);
  EXPECT_EQ(source->referenceCount, 1);
  EXPECT_EQ(std::string(qz::GetGraphRecord(part)->restoreSource->fileName), sheet);
}

TEST_P(GraphFromImage, CompanionFileGivesTheSheetItsAlpha) {
  const std::string sheet = WriteSheet("hero.tga", 64, 32);
  int plain[2];
  ASSERT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 2, 2, 1, 32, 32, plain, 0), 0);
  EXPECT_EQ(qz::GetGraphRecord(plain[0])->image->request.alpha, 0);

  folder_.Write("hero_a.tga", MakeTga(64, 32, 24, [](int x, int) { return x < 32 ? 0xFFFFFFu : 0x808080u; }));
  int withAlpha[2];
  ASSERT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 2, 2, 1, 32, 32, withAlpha, 0), 0);
  EXPECT_EQ(qz::GetGraphRecord(withAlpha[0])->image->request.alpha, 1);
}

TEST_P(GraphFromImage, CellOutsideThePictureReleasesEveryCellAndTheParent) {
  qz::testing::ScratchLog log;
  const std::string sheet = WriteSheet("narrow.tga", 64, 32);
  const int before = qz::GetGraphCount();
  int handles[4];
  EXPECT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 4, 4, 1, 32, 32, handles, 0), -1);
  EXPECT_EQ(qz::GetGraphCount(), before);
  EXPECT_FALSE(qz::IsValidGraphHandle(handles[0]));
  EXPECT_NE(log.Contents().find(qz::text::kGraphDivideFailed), std::string::npos);
}

TEST_P(GraphFromImage, MissingAndUndecodableFilesAreRefusedWithTheirLogLines) {
  qz::testing::ScratchLog log;
  const int graphs = qz::GetGraphCount();
  const std::string missing = folder_.Library("none.png");
  int handles[1];
  EXPECT_EQ(qz::ReadImageFileAsGraph(missing.c_str(), 0), -1);
  EXPECT_EQ(qz::ReadImageFileAsGraphGrid(missing.c_str(), 1, 1, 1, 8, 8, handles, 0), -1);
  folder_.Write("clip.ogv", "OggS not an image at all");
  const std::string movie = folder_.Library("clip.ogv");
  const int colorBits = qz::GetNewGraphColorBits();
  EXPECT_EQ(qz::ReadImageFileAsGraph(movie.c_str(), 0), -1);
  EXPECT_EQ(qz::GetNewGraphColorBits(), colorBits);

  const std::string text = log.Contents();
  char line[512];
  std::snprintf(line, sizeof(line), qz::text::kGraphFileMissing, missing.c_str());
  EXPECT_NE(text.find(line), std::string::npos);
  std::snprintf(line, sizeof(line), qz::text::kGraphFileLoadFailed, missing.c_str());
  EXPECT_NE(text.find(line), std::string::npos);
  std::snprintf(line, sizeof(line), qz::text::kMovieGraphOpenFailed, movie.c_str());
  line[std::strlen(line) - 1] = '\0';  // the log ends its lines with CR LF
  EXPECT_NE(text.find(line), std::string::npos);
  EXPECT_EQ(qz::GetGraphCount(), graphs);
}

TEST_P(GraphFromImage, ReloadRefusesAnotherSizeAndRecordsTheImageItWasGiven) {
  const std::string file = WriteSheet("one.tga", 16, 8);
  const int graph = qz::ReadImageFileAsGraph(file.c_str(), 0);
  ASSERT_GE(graph, 0);
  qz::BaseImage wrong{};
  ASSERT_EQ(qz::AllocXRGB8BaseImage(8, 8, &wrong), 0);
  EXPECT_EQ(qz::ReloadGraphFromBaseImage(&wrong, nullptr, graph), -1);
  EXPECT_EQ(qz::ReloadGraphFromBaseImageNoAlpha(&wrong, graph), -1);
  EXPECT_NE(qz::GetGraphRecord(graph)->restoreSource->fileName, nullptr);
  qz::FreeBaseImagePixels(&wrong);

  qz::BaseImage right{};
  ASSERT_EQ(qz::AllocXRGB8BaseImage(16, 8, &right), 0);
  qz::SetBaseImagePixel(&right, 3, 2, 9, 8, 7, 255);
  EXPECT_EQ(qz::ReloadGraphFromBaseImageNoAlpha(&right, graph), 0);
  const qz::GraphRestoreSource* source = qz::GetGraphRecord(graph)->restoreSource;
  ASSERT_NE(source->baseImage, nullptr);
  EXPECT_EQ(source->fileName, nullptr);
  int r = 0;
  qz::GetBaseImagePixel(source->baseImage, 3, 2, &r, nullptr, nullptr, nullptr);
  EXPECT_EQ(r, 9);
  EXPECT_NE(source->baseImage->pixels, right.pixels);
  qz::FreeBaseImagePixels(&right);
}

TEST_P(GraphFromImage, GraphsFromMemoryKeepACopyOfTheBytesAndNoSourceWhenAskedNot) {
  const std::string bytes = MakeTga(8, 8, 32, SheetPixel);
  std::vector<char> block(bytes.begin(), bytes.end());
  const int graph = qz::BuildGraphFromImageBytes(block.data(), block.size(), nullptr, 0, 0, 1);
  ASSERT_GE(graph, 0);
  const qz::GraphRestoreSource* source = qz::GetGraphRecord(graph)->restoreSource;
  ASSERT_NE(source, nullptr);
  EXPECT_NE(source->memoryImage, block.data());
  EXPECT_EQ(source->memoryImageSize, block.size());
  EXPECT_EQ(source->flags, 1);
  EXPECT_EQ(std::memcmp(source->memoryImage, block.data(), block.size()), 0);
  EXPECT_EQ(qz::RefillGraphFromImageBytes(block.data(), 4, graph, nullptr, 0, 0, 0), -1);

  qz::GetDrawSettings().keepNoRestoreData = 1;
  const int bare = qz::BuildGraphFromImageBytes(block.data(), block.size(), nullptr, 0, 0, 0);
  qz::GetDrawSettings().keepNoRestoreData = 0;
  ASSERT_GE(bare, 0);
  EXPECT_EQ(qz::GetGraphRecord(bare)->restoreSource, nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, GraphFromImage, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Device" : "Software";
                         });

}  // namespace
