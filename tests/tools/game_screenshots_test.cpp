// The screenshot tool run as a user runs it, on the generated data set: five
// distinct full frames of the game written, the boss in its hall's picture
// where it rides above the floor's view, the last hall's Sun in a picture of
// its own, the data set left as it was, and a folder without a data set
// refused; and its contact sheets of the sprite art.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "image/image_decode.h"
#include "support/tool_paths.h"
#include "tests/game/game_data_fixture.h"

namespace {

constexpr const char* kShots[] = {"title", "first_screen", "floor", "boss", "status"};

int RunTool(const std::string& dataDir, const std::string& outDir, const std::string& mode = "") {
  const std::string command =
      std::string(qz::testing::kGameScreenshotsPath) + " '" + dataDir + "' '" + outDir + "' " + mode + " >/dev/null";
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

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The colour most of a sprite sheet's drawn pixels have (pure green is its
// colour key), or 0 when the file is not a sheet.
std::uint32_t BodyColour(const std::string& bytes) {
  qz::BaseImage image{};
  if (qz::DecodeImageBytesToBaseImage(nullptr, bytes.data(), bytes.size(), 1, &image, 0) != 0) return 0;
  std::map<std::uint32_t, int> counts;
  for (int y = 0; y < static_cast<int>(image.height); ++y) {
    for (int x = 0; x < static_cast<int>(image.width); ++x) {
      int r = 0, g = 0, b = 0, a = 0;
      qz::GetBaseImagePixel(&image, x, y, &r, &g, &b, &a);
      const auto colour = static_cast<std::uint32_t>(r << 16 | g << 8 | b);
      if (colour != 0x00FF00u) ++counts[colour];
    }
  }
  qz::FreeBaseImagePixels(&image);
  const auto most = std::max_element(counts.begin(), counts.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  return most == counts.end() ? 0 : most->first;
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
  // The Dragon Head rides its shaft above the floor's view: its hall's
  // picture is taken where it shows, drawn five times its sheet's size.
  const std::uint32_t head = BodyColour(ReadBytes(data + "/data_en/enemy_ドラゴンヘッド_青.png"));
  ASSERT_NE(head, 0u) << "the Dragon Head's sheet";
  const std::vector<std::uint32_t> hall = ReadFrame(out.Read("shots/hall085.png"));
  ASSERT_EQ(hall.size(), 640u * 480u);
  EXPECT_GT(std::count(hall.begin(), hall.end(), head), 5000) << "the head is in its hall's picture";
  // The last hall's fight in its last phase: the Sun's sheet drawn large in
  // its own picture, and not yet in the Moon's.
  const std::uint32_t sun = BodyColour(ReadBytes(data + "/data_en/enemy_サン.png"));
  ASSERT_NE(sun, 0u) << "the Sun's sheet";
  const std::vector<std::uint32_t> moonHall = ReadFrame(out.Read("shots/hall100.png"));
  const std::vector<std::uint32_t> sunHall = ReadFrame(out.Read("shots/hall100sun.png"));
  ASSERT_EQ(sunHall.size(), 640u * 480u);
  EXPECT_GT(std::count(sunHall.begin(), sunHall.end(), sun), 20000) << "the Sun is in its phase's picture";
  EXPECT_LT(std::count(moonHall.begin(), moonHall.end(), sun), 1000) << "the Moon's picture shows no Sun";
  EXPECT_FALSE(std::filesystem::exists(data + "/debug.ini")) << "the debug start stays in the tool's copy";
}

TEST(GameScreenshots, AFolderWithoutADataSetIsRefused) {
  const qz::testing::ScratchFolder empty;
  EXPECT_NE(RunTool(empty.root(), empty.Posix("shots")), 0);
  EXPECT_FALSE(empty.Exists("shots/title.png"));
  EXPECT_NE(RunTool(empty.root(), empty.Posix("shots"), "contact"), 0);
  EXPECT_FALSE(empty.Exists("shots/contact_enemies1.png"));
}

// The contact sheets: a page of each group at least, each a picture with the
// sheets' own colours on it (the Dragon Head's body among the bosses').
TEST(GameScreenshots, ContactSheetsShowEveryGroupOfSpriteArt) {
  const std::string& data = qz::testing::GameDataSet(datagen::ArtStyle::kReadable);
  const qz::testing::ScratchFolder out;
  ASSERT_EQ(RunTool(data, out.Posix("contact"), "contact"), 0);
  for (const char* group : {"enemies", "bosses", "player", "items", "tiles"}) {
    EXPECT_TRUE(out.Exists(std::string("contact/contact_") + group + "1.png")) << group;
  }
  const std::uint32_t head = BodyColour(ReadBytes(data + "/data_en/enemy_ドラゴンヘッド_青.png"));
  bool shown = false;
  for (int page = 1; out.Exists("contact/contact_bosses" + std::to_string(page) + ".png") && !shown; ++page) {
    const std::string bytes = out.Read("contact/contact_bosses" + std::to_string(page) + ".png");
    qz::BaseImage image{};
    ASSERT_EQ(qz::DecodeImageBytesToBaseImage(nullptr, bytes.data(), bytes.size(), 1, &image, 0), 0);
    for (int y = 0; y < static_cast<int>(image.height) && !shown; ++y) {
      for (int x = 0; x < static_cast<int>(image.width) && !shown; ++x) {
        int r = 0, g = 0, b = 0, a = 0;
        qz::GetBaseImagePixel(&image, x, y, &r, &g, &b, &a);
        shown = static_cast<std::uint32_t>(r << 16 | g << 8 | b) == head;
      }
    }
    qz::FreeBaseImagePixels(&image);
  }
  EXPECT_TRUE(shown) << "the Dragon Head's body colour is on a bosses page";
}

}  // namespace
