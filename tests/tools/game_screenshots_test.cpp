// The screenshot tool run as a user runs it, on the generated data set: five
// distinct full frames of the game written, the data set left as it was, and
// a folder without a data set refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "image/image_decode.h"
#include "tests/game/game_data_fixture.h"

namespace {

constexpr const char* kShots[] = {"title", "first_screen", "floor", "boss", "status"};

int RunTool(const std::string& dataDir, const std::string& outDir) {
  const std::string command = std::string(QZ_GAME_SCREENSHOTS_PATH) + " '" + dataDir + "' '" + outDir + "' >/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The pixels of a 640 x 480 PNG as 0xRRGGBB, or none when it is not one.
std::vector<std::uint32_t> ReadFrame(const std::string& bytes) {
  qz::BaseImage image{};
  if (qz::DecodeImageBytesToBaseImage(nullptr, bytes.data(), bytes.size(), 1, &image, 0) != 0) return {};
  std::vector<std::uint32_t> pixels;
  if (image.width == 640 && image.height == 480) {
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        int r = 0, g = 0, b = 0, a = 0;
        qz::GetBaseImagePixel(&image, x, y, &r, &g, &b, &a);
        pixels.push_back(static_cast<std::uint32_t>(r << 16 | g << 8 | b));
      }
    }
  }
  qz::FreeBaseImagePixels(&image);
  return pixels;
}

TEST(GameScreenshots, WritesFiveDistinctFramesOfTheGameAndLeavesTheDataSetAlone) {
  const std::string& data = qz::testing::GameDataSet(datagen::ArtStyle::kReadable);
  const qz::testing::ScratchFolder out;
  ASSERT_EQ(RunTool(data, out.Posix("shots")), 0);

  std::vector<std::vector<std::uint32_t>> frames;
  for (const char* name : kShots) {
    SCOPED_TRACE(name);
    frames.push_back(ReadFrame(out.Read(std::string("shots/") + name + ".png")));
    const std::vector<std::uint32_t>& frame = frames.back();
    ASSERT_EQ(frame.size(), 640u * 480u) << "a 640 x 480 PNG";
    // A drawn scene, not a cleared or faded screen: many colours, few of them black.
    const std::set<std::uint32_t> colours(frame.begin(), frame.end());
    EXPECT_GT(colours.size(), 40u);
    EXPECT_LT(std::count(frame.begin(), frame.end(), 0u), static_cast<long>(frame.size() / 4));
  }
  for (std::size_t a = 0; a < frames.size(); ++a) {
    for (std::size_t b = a + 1; b < frames.size(); ++b) {
      EXPECT_NE(frames[a], frames[b]) << kShots[a] << " and " << kShots[b] << " are one frame";
    }
  }
  EXPECT_FALSE(std::filesystem::exists(data + "/debug.ini")) << "the debug start stays in the tool's copy";
}

TEST(GameScreenshots, AFolderWithoutADataSetIsRefused) {
  const qz::testing::ScratchFolder empty;
  EXPECT_NE(RunTool(empty.root(), empty.Posix("shots")), 0);
  EXPECT_FALSE(empty.Exists("shots/title.png"));
}

}  // namespace
