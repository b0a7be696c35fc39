// A simulated device rebuild: every graph gets its pixels back from its
// restore source, each file decoded once.
#include "graphics/graph_restore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "core/log_text.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_image_fixture.h"
#include "graphics/graph_record.h"
#include "graphics/graph_test_fixture.h"
#include "graphics/graph_textures.h"
#include "graphics/screen_mode_change.h"
#include "graphics/soft_image.h"
#include "graphics/texture_draw_info.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"

namespace {

using qz::testing::TextureBytes;

using qz::testing::MakeTga;
using qz::testing::SheetPixel;

// Counts the opens of one path through the installed file-access table.
struct OpenCounter {
  static inline std::string watched;
  static inline int opens = 0;
  static inline qz::FileAccessTable previous;
  static qz::FileHandle Open(const char* path, int useCache, int reserved, int asynchronous) {
    if (watched == path) ++opens;
    return previous.Open(path, useCache, reserved, asynchronous);
  }
  explicit OpenCounter(const std::string& path) {
    watched = path;
    opens = 0;
    previous = qz::GetFileAccessTable();
    qz::FileAccessTable counting = previous;
    counting.Open = &Open;
    qz::SetFileAccessTable(&counting);
  }
  ~OpenCounter() { qz::SetFileAccessTable(&previous); }
};

class GraphRestore : public qz::testing::GraphicsScreenTest {
 protected:
  void SetUp() override { StartScreen(true); }
  qz::testing::ScratchFolder folder_;
};

TEST_F(GraphRestore, RebuildRestoresEveryKindOfSourceDecodingTheSheetOnce) {
  folder_.Write("sheet.tga", MakeTga(320, 128, 24, SheetPixel));
  folder_.Write("single.tga", MakeTga(40, 24, 32, SheetPixel));
  folder_.Write("mirror.tga", MakeTga(96, 32, 24, SheetPixel));
  const std::string sheet = folder_.Library("sheet.tga");
  const std::string single = folder_.Library("single.tga");
  const std::string mirror = folder_.Library("mirror.tga");

  std::vector<int> graphs(40);
  ASSERT_EQ(qz::ReadImageFileAsGraphGrid(sheet.c_str(), 40, 10, 4, 32, 32, graphs.data(), 0), 0);
  int mirrored[3];
  ASSERT_EQ(qz::ReadImageFileAsGraphGridCore(mirror.c_str(), 3, 3, 1, 32, 32, mirrored, 1, 1), 0);
  graphs.insert(graphs.end(), std::begin(mirrored), std::end(mirrored));
  graphs.push_back(qz::ReadImageFileAsGraph(single.c_str(), 0));
  const std::string bytes = MakeTga(16, 16, 32, [](int x, int y) { return SheetPixel(y, x); });
  graphs.push_back(qz::BuildGraphFromImageBytes(bytes.data(), bytes.size(), nullptr, 0, 0, 0));
  qz::BaseImage ramp{};
  ASSERT_EQ(qz::AllocXRGB8BaseImage(256, 8, &ramp), 0);
  const int rampGraph = qz::BuildGraphFromBaseImages(&ramp, nullptr, 0);
  qz::FreeBaseImagePixels(&ramp);
  // Made without the transparent colour, as the built-in ramp is restored.
  EXPECT_EQ(qz::BuildGreyRampBaseImage(rampGraph), rampGraph);
  qz::GetBuiltinGraphs().greyRamp = rampGraph;
  graphs.push_back(rampGraph);

  std::vector<std::vector<std::uint8_t>> before;
  for (int graph : graphs) {
    ASSERT_TRUE(qz::IsValidGraphHandle(graph));
    before.push_back(TextureBytes(graph));
  }

  // The rebuild after a device loss makes a new device with blank textures.
  OpenCounter counter(sheet);
  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_EQ(counter.opens, 1);
  for (std::size_t i = 0; i < graphs.size(); ++i) EXPECT_EQ(TextureBytes(graphs[i]), before[i]) << i;
  qz::GetBuiltinGraphs().greyRamp = -1;
}

// A DDS of two DXT1 blocks, red then blue, 8 by 4 pixels.
std::string TwoBlockDxt1() {
  std::string dds(128, '\0');
  const auto put = [&dds](std::size_t at, std::uint32_t value) { std::memcpy(&dds[at], &value, 4); };
  std::memcpy(&dds[0], "DDS DXT1", 4);
  put(4, 124);
  put(8, 0x1007);
  put(12, 4);
  put(16, 8);
  put(76, 32);
  put(80, 0x4);
  std::memcpy(&dds[84], "DXT1", 4);
  put(108, 0x1000);
  // Colour 0 of each block (565) is used by every texel: index bits all 0.
  dds += std::string("\x00\xF8\x00\x00\x00\x00\x00\x00", 8);
  dds += std::string("\x1F\x00\x00\x00\x00\x00\x00\x00", 8);
  return dds;
}

// Mirrored DXT images are expanded before the mirror, on the first load and
// on the restore alike: blue on the left both times.
TEST_F(GraphRestore, MirroredDxtLoadsAndRestoresToTheSamePixels) {
  folder_.Write("blocks.dds", TwoBlockDxt1());
  const int fromFile = qz::LoadImageOrMovieAsGraph(folder_.Library("blocks.dds").c_str(), 0, 1, 0);
  const std::string bytes = TwoBlockDxt1();
  const int fromBytes = qz::BuildGraphFromImageBytes(bytes.data(), bytes.size(), nullptr, 0, 0, 1);
  for (const int graph : {fromFile, fromBytes}) {
    ASSERT_TRUE(qz::IsValidGraphHandle(graph));
    const std::vector<std::uint8_t> loaded = TextureBytes(graph);
    ASSERT_GE(loaded.size(), 8u * 4u);
    EXPECT_EQ(loaded[0], 0xFF) << "blue, the right block, now on the left";
    EXPECT_EQ(loaded[2], 0x00);
    EXPECT_EQ(loaded[7 * 4 + 2], 0xFF) << "red on the right";
  }
  const std::vector<std::uint8_t> before[] = {TextureBytes(fromFile), TextureBytes(fromBytes)};
  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_EQ(TextureBytes(fromFile), before[0]);
  EXPECT_EQ(TextureBytes(fromBytes), before[1]);
}

TEST_F(GraphRestore, UnreadableFileIsLoggedAndTheWalkGoesOn) {
  folder_.Write("gone.tga", MakeTga(8, 8, 24, SheetPixel));
  folder_.Write("kept.tga", MakeTga(8, 8, 24, SheetPixel));
  const std::string gone = folder_.Library("gone.tga");
  const int lost = qz::ReadImageFileAsGraph(gone.c_str(), 0);
  const int kept = qz::ReadImageFileAsGraph(folder_.Library("kept.tga").c_str(), 0);
  ASSERT_GE(lost, 0);
  const std::vector<std::uint8_t> keptBytes = TextureBytes(kept);
  std::remove(folder_.Posix("gone.tga").c_str());
  qz::ReleaseTextureSet(qz::GetGraphRecord(kept)->image);
  qz::RecreateAllGraphTextures();

  qz::testing::ScratchLog log;
  qz::ReloadAllGraphsFromSources();
  EXPECT_EQ(TextureBytes(kept), keptBytes);
  char line[512];
  std::snprintf(line, sizeof(line), qz::text::kGraphRestoreFileFailed, gone.c_str());
  const std::string text = log.Contents();
  EXPECT_NE(text.find(line), std::string::npos);
  const std::string done = qz::text::kGraphRestoreDone;
  EXPECT_NE(text.find(done.substr(0, done.size() - 1)), std::string::npos);
}

}  // namespace
