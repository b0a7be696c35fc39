// The areas' looks as the generator paints them: every floor wears its own
// area's chip set and background, spikes and their rims read on every
// area's ground, the ground's fill continues the ground instead of showing
// bricks, the meadow is a day sky, the sky's one sun is never split by the
// far sky's seam, and the backgrounds meet themselves at their wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "game/floor_play.h"
#include "game/map_format.h"
#include "tools/datagen/data_set.h"
#include "tools/datagen/image_table.h"

namespace {

using datagen::AreaLook;
using datagen::Canvas;

int Channel(std::uint32_t rgb, int shift) { return static_cast<int>(rgb >> shift & 0xFF); }
int Luma(std::uint32_t rgb) { return (Channel(rgb, 16) * 299 + Channel(rgb, 8) * 587 + Channel(rgb, 0) * 114) / 1000; }

// The readable picture of data_en/`name`, as the generator paints it.
Canvas Painted(const std::string& name) {
  for (const datagen::ImageEntry& entry : datagen::ImageEntries()) {
    if (entry.spec.fileName != name) continue;
    Canvas canvas(entry.spec.across * entry.spec.cellWidth, entry.spec.down * entry.spec.cellHeight, 0);
    datagen::PaintReadableArt(entry, 1, canvas);
    return canvas;
  }
  ADD_FAILURE() << "no picture " << name;
  return Canvas(1, 1, 0);
}

// The pixels of 32x32 chip `chip` of a chip set (8 across); transparent ones
// left out.
std::vector<std::uint32_t> ChipPixels(const Canvas& chips, int chip) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const std::uint32_t rgb = chips.At(chip % 8 * 32 + x, chip / 8 * 32 + y);
      if (rgb != datagen::kTransparent) pixels.push_back(rgb);
    }
  }
  return pixels;
}

std::uint32_t Mean(const std::vector<std::uint32_t>& pixels) {
  long sum[3] = {0, 0, 0};
  for (std::uint32_t rgb : pixels) {
    for (int i = 0; i < 3; ++i) sum[i] += Channel(rgb, 16 - 8 * i);
  }
  const long n = static_cast<long>(std::max<std::size_t>(pixels.size(), 1));
  return static_cast<std::uint32_t>(sum[0] / n << 16 | sum[1] / n << 8 | sum[2] / n);
}

TEST(AreaLooksTest, EveryFloorWearsItsOwnAreasChipSetAndBackground) {
  // The meadow's own floors (with its shop) and the last hall's are not
  // dressed as their neighbours.
  EXPECT_STREQ(datagen::AreaLookOfFloor(3)->chipSet, "chip_meadow.png");
  EXPECT_STREQ(datagen::AreaLookOfFloor(4)->background, "BG_Meadow.png");
  for (int floor : {86, 87, 100}) EXPECT_STREQ(datagen::AreaLookOfFloor(floor)->chipSet, "chip_hall.png") << floor;
  EXPECT_STREQ(datagen::AreaLookOfFloor(85)->chipSet, "chip_castle.png");
  EXPECT_EQ(datagen::AreaLookOfFloor(0), nullptr);
  EXPECT_EQ(datagen::AreaLookOfFloor(101), nullptr);

  int floors = 0;
  for (const datagen::FloorSource& source : datagen::BuiltInFloors()) {
    MapFileData d;
    std::string error;
    ASSERT_TRUE(datagen::CompileFloorText(source.text, &d, &error)) << source.name << ": " << error;
    const AreaLook* look = datagen::AreaLookOfFloor(std::stoi(source.name));
    ASSERT_NE(look, nullptr) << source.name;
    EXPECT_EQ(d.chipSetName, look->chipSet) << source.name;
    EXPECT_EQ(d.backgroundName, look->background) << source.name;
    ++floors;
  }
  EXPECT_GE(floors, 20);

  const auto looks = datagen::AreaLooks();
  for (std::size_t a = 0; a < looks.size(); ++a) {
    for (std::size_t b = a + 1; b < looks.size(); ++b) {
      EXPECT_STRNE(looks[a].chipSet, looks[b].chipSet);
      EXPECT_STRNE(looks[a].background, looks[b].background);
      EXPECT_STRNE(looks[a].ground, looks[b].ground);
      EXPECT_STRNE(looks[a].style, looks[b].style);
    }
  }
}

// Spikes (chips 92..95, each way) are rimmed in ink all round, have red
// tips, and stand apart from the area's ground and sky, pale or dark: the
// dark rim against pale ones, the steel against dark ones.
TEST(AreaLooksTest, SpikesReadAsDangerOnEveryAreasGround) {
  for (const AreaLook& look : datagen::AreaLooks()) {
    const Canvas chips = Painted(look.chipSet);
    const Canvas sky = Painted(look.background);
    std::vector<std::uint32_t> skyPixels(sky.pixels().begin(), sky.pixels().end());
    const std::uint32_t grounds[] = {Mean(ChipPixels(chips, 4)), Mean(ChipPixels(chips, 1)), Mean(skyPixels)};
    for (int chip = 92; chip <= 95; ++chip) {
      const int cx = chip % 8 * 32, cy = chip / 8 * 32;
      auto drawn = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < 32 && y < 32 && chips.At(cx + x, cy + y) != datagen::kTransparent;
      };
      int rim = 0, paleRim = 0, red = 0;
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
          if (!drawn(x, y)) continue;
          const std::uint32_t rgb = chips.At(cx + x, cy + y);
          if (Channel(rgb, 16) >= 180 && Channel(rgb, 8) <= 80) ++red;
          if (drawn(x - 1, y) && drawn(x + 1, y) && drawn(x, y - 1) && drawn(x, y + 1)) continue;
          ++rim;
          if (Luma(rgb) > 48) ++paleRim;
        }
      }
      EXPECT_GT(rim, 40) << look.chipSet << " chip " << chip;
      EXPECT_EQ(paleRim, 0) << look.chipSet << " chip " << chip << ": a spike's edge must be dark";
      EXPECT_GE(red, 8) << look.chipSet << " chip " << chip;
      const std::vector<std::uint32_t> spike = ChipPixels(chips, chip);
      for (std::uint32_t ground : grounds) {
        int contrast = 0;
        for (std::uint32_t rgb : spike) contrast = std::max(contrast, std::abs(Luma(rgb) - Luma(ground)));
        EXPECT_GE(contrast, 110) << look.chipSet << " chip " << chip << " on " << std::hex << ground;
      }
    }
  }
}

// Walls and borders (chip 1) continue the ground under the top (chip 5) in
// its colours: no band of another colour (the meadow's green bricks) under
// natural ground.
TEST(AreaLooksTest, TheFillContinuesTheGroundUnderTheTop) {
  for (const AreaLook& look : datagen::AreaLooks()) {
    const Canvas chips = Painted(look.chipSet);
    const std::uint32_t fill = Mean(ChipPixels(chips, 1)), under = Mean(ChipPixels(chips, 5));
    for (int shift : {16, 8, 0}) {
      EXPECT_NEAR(Channel(fill, shift), Channel(under, shift), 20) << look.chipSet << std::hex << " " << fill << " " << under;
    }
  }
  const std::uint32_t meadowFill = Mean(ChipPixels(Painted("chip_meadow.png"), 1));
  EXPECT_GT(Channel(meadowFill, 16), Channel(meadowFill, 8)) << "the meadow's earth is brown, not green";
}

// The meadow is a day sky: blue at the top and paler toward the horizon.
TEST(AreaLooksTest, TheMeadowSkyPalesTowardTheHorizon) {
  const Canvas meadow = Painted("BG_Meadow.png");
  auto row = [&](int y) {
    std::vector<std::uint32_t> pixels;
    for (int x = 0; x < meadow.width(); ++x) pixels.push_back(meadow.At(x, y));
    return Mean(pixels);
  };
  const std::uint32_t top = row(0), low = row(250);
  EXPECT_GT(Channel(top, 0), Channel(top, 16) + 60) << std::hex << top;
  EXPECT_GT(Luma(top), 90);
  EXPECT_GT(Luma(low), Luma(top) + 40) << std::hex << top << " " << low;
}

// The sky area's background holds one sun, in one run of columns the far
// sky's scroll never reaches with its seam: the view shows it whole at
// every camera position, never two halves.
TEST(AreaLooksTest, TheSkyShowsOneWholeSunAtEveryCameraPosition) {
  const Canvas sky = Painted("BG_Sky.png");
  std::vector<bool> sunColumn(sky.width(), false);
  for (int x = 0; x < sky.width(); ++x) {
    for (int y = 0; y < sky.height() / 2; ++y) {
      const std::uint32_t rgb = sky.At(x, y);
      // Warm white: the sun's disc, not the clouds' cold white or the blue.
      if (Channel(rgb, 16) >= 0xF8 && Channel(rgb, 8) >= 0xE8 && Channel(rgb, 0) <= 0xE8) sunColumn[x] = true;
    }
  }
  int runs = 0, first = -1, last = -1;
  for (int x = 0; x < sky.width(); ++x) {
    if (sunColumn[x] && (x == 0 || !sunColumn[x - 1])) ++runs;
    if (sunColumn[x]) last = x, first = first < 0 ? x : first;
  }
  ASSERT_EQ(runs, 1);
  EXPECT_GE(last - first, 40) << "a sun, not a speck";
  const int farthestSeam = kCameraMaxX / kFarSkyScrollDivisor;  // the picture column at the view's left edge
  EXPECT_LT(farthestSeam, kViewWidth);
  EXPECT_GT(first, farthestSeam) << "the seam would split the sun";
  EXPECT_LT(last, sky.width() - 1);
}

// Every background meets itself where it wraps: no more hard edges across
// its seam than across its roughest column (or row, for those that tile up
// and down too) inside.
TEST(AreaLooksTest, BackgroundsMeetThemselvesAtTheirSeams) {
  // Pixel pairs (x0, y0) and (x1, y1) stepped `count` times by (sx, sy).
  auto hardEdges = [](const Canvas& k, int x0, int y0, int x1, int y1, int count, int sx, int sy) {
    int edges = 0;
    for (int i = 0; i < count; ++i) {
      edges += std::abs(Luma(k.At(x0 + i * sx, y0 + i * sy)) - Luma(k.At(x1 + i * sx, y1 + i * sy))) > 40;
    }
    return edges;
  };
  std::vector<std::pair<std::string, bool>> backgrounds = {{"BG_F026_Blue.png", true}};
  for (const AreaLook& look : datagen::AreaLooks()) {
    const std::string style = look.style;
    backgrounds.emplace_back(look.background, style == "cave" || style == "castle" || style == "hall");
  }
  for (const auto& [name, vertically] : backgrounds) {
    const Canvas k = Painted(name);
    const int w = k.width(), h = k.height();
    int roughestColumn = 0;
    for (int x = 1; x < w; ++x) roughestColumn = std::max(roughestColumn, hardEdges(k, x - 1, 0, x, 0, h, 0, 1));
    EXPECT_LE(hardEdges(k, w - 1, 0, 0, 0, h, 0, 1), roughestColumn) << name;
    if (!vertically) continue;
    int roughestRow = 0;
    for (int y = 1; y < h; ++y) roughestRow = std::max(roughestRow, hardEdges(k, 0, y - 1, 0, y, w, 1, 0));
    EXPECT_LE(hardEdges(k, 0, h - 1, 0, 0, w, 1, 0), roughestRow) << name;
  }
}

}  // namespace
