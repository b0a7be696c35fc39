// The areas' looks as the generator paints them: every floor wears its own
// area's look and enemies, spikes read on every area's ground, the ground's fill
// continues the ground, the meadow is a day sky, the sky's one sun is never
// split by the far sky's seam, and backgrounds meet themselves where they wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
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

// The mean colour of the opaque pixels of the box.
std::uint32_t Mean(const Canvas& k, int x0, int y0, int w, int h) {
  long sum[3] = {0, 0, 0}, n = 0;
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      if (k.At(x, y) == datagen::kTransparent) continue;
      ++n;
      for (int i = 0; i < 3; ++i) sum[i] += Channel(k.At(x, y), 16 - 8 * i);
    }
  }
  n = std::max(n, 1L);
  return static_cast<std::uint32_t>(sum[0] / n << 16 | sum[1] / n << 8 | sum[2] / n);
}
std::uint32_t ChipMean(const Canvas& chips, int chip) { return Mean(chips, chip % 8 * 32, chip / 8 * 32, 32, 32); }

// Its enemies too: a kind set is fielded by one area's floors only.
TEST(AreaLooksTest, EveryFloorWearsItsOwnAreasChipSetBackgroundAndEnemies) {
  // The meadow's own floors and the last hall's, not their neighbours' looks.
  EXPECT_STREQ(datagen::AreaLookOfFloor(3)->chipSet, "chip_meadow.png");
  EXPECT_STREQ(datagen::AreaLookOfFloor(4)->background, "BG_Meadow.png");
  for (int floor : {86, 87, 100}) EXPECT_STREQ(datagen::AreaLookOfFloor(floor)->chipSet, "chip_hall.png") << floor;
  EXPECT_STREQ(datagen::AreaLookOfFloor(85)->chipSet, "chip_castle.png");
  EXPECT_EQ(datagen::AreaLookOfFloor(0), nullptr);
  EXPECT_EQ(datagen::AreaLookOfFloor(101), nullptr);
  std::map<int, const AreaLook*> areaOfKindSet;
  for (const datagen::FloorSource& source : datagen::BuiltInFloors()) {
    MapFileData d;
    std::string error;
    ASSERT_TRUE(datagen::CompileFloorText(source.text, &d, &error)) << source.name << ": " << error;
    const AreaLook* look = datagen::AreaLookOfFloor(std::stoi(source.name));
    ASSERT_NE(look, nullptr) << source.name;
    EXPECT_EQ(d.chipSetName, look->chipSet) << source.name;
    EXPECT_EQ(d.backgroundName, look->background) << source.name;
    const AreaLook* kindSetArea = areaOfKindSet.emplace(d.kindSet, look).first->second;
    EXPECT_EQ(kindSetArea, look) << source.name << " fields kind set " << d.kindSet << ", which is " << kindSetArea->ground << "'s";
  }
}

// Spikes (chips 92..95, each way) are rimmed in ink all round, have red tips
// and stand apart from the area's ground, fill and sky, pale or dark.
TEST(AreaLooksTest, SpikesReadAsDangerOnEveryAreasGround) {
  for (const AreaLook& look : datagen::AreaLooks()) {
    const Canvas chips = Painted(look.chipSet);
    const Canvas sky = Painted(look.background);
    const std::uint32_t behind[] = {ChipMean(chips, 4), ChipMean(chips, 1), Mean(sky, 0, 0, sky.width(), sky.height())};
    for (int chip = 92; chip <= 95; ++chip) {
      const int cx = chip % 8 * 32, cy = chip / 8 * 32;
      auto drawn = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < 32 && y < 32 && chips.At(cx + x, cy + y) != datagen::kTransparent;
      };
      int rim = 0, paleRim = 0, red = 0, darkest = 255, lightest = 0;
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
          if (!drawn(x, y)) continue;
          const std::uint32_t rgb = chips.At(cx + x, cy + y);
          darkest = std::min(darkest, Luma(rgb));
          lightest = std::max(lightest, Luma(rgb));
          red += Channel(rgb, 16) >= 180 && Channel(rgb, 8) <= 80;
          if (drawn(x - 1, y) && drawn(x + 1, y) && drawn(x, y - 1) && drawn(x, y + 1)) continue;
          ++rim;
          paleRim += Luma(rgb) > 48;
        }
      }
      const std::string where = std::string(look.chipSet) + " chip " + std::to_string(chip);
      EXPECT_GT(rim, 40) << where;
      EXPECT_EQ(paleRim, 0) << where << ": a spike's edge must be dark";
      EXPECT_GE(red, 8) << where;
      for (std::uint32_t colour : behind) {
        EXPECT_GE(std::max(lightest - Luma(colour), Luma(colour) - darkest), 110) << where << std::hex << " on " << colour;
      }
    }
  }
}

// Walls and borders (chip 1) continue the ground under the top (chip 5):
// no band of another colour (the meadow's green bricks) under the ground.
// The meadow's sky is day: blue above, paler toward the horizon.
TEST(AreaLooksTest, TheFillContinuesTheGroundAndTheMeadowIsDay) {
  for (const AreaLook& look : datagen::AreaLooks()) {
    const Canvas chips = Painted(look.chipSet);
    const std::uint32_t fill = ChipMean(chips, 1), under = ChipMean(chips, 5);
    for (int shift : {16, 8, 0}) EXPECT_NEAR(Channel(fill, shift), Channel(under, shift), 20) << look.chipSet;
  }
  const std::uint32_t meadowFill = ChipMean(Painted("chip_meadow.png"), 1);
  EXPECT_GT(Channel(meadowFill, 16), Channel(meadowFill, 8)) << "brown earth, not green";

  const Canvas meadow = Painted("BG_Meadow.png");
  const std::uint32_t top = Mean(meadow, 0, 0, meadow.width(), 1), low = Mean(meadow, 0, 250, meadow.width(), 1);
  EXPECT_GT(Channel(top, 0), Channel(top, 16) + 60) << std::hex << top;
  EXPECT_GT(Luma(low), Luma(top) + 40) << std::hex << top << " " << low;
}

// The sky area's one sun stands in columns the far sky's seam never reaches:
// the view shows it whole at every camera position, never two halves.
TEST(AreaLooksTest, TheSkyShowsOneWholeSunAtEveryCameraPosition) {
  const Canvas sky = Painted("BG_Sky.png");
  std::vector<bool> sun(sky.width(), false);
  for (int x = 0; x < sky.width(); ++x) {
    for (int y = 0; y < sky.height() / 2; ++y) {
      const std::uint32_t rgb = sky.At(x, y);  // warm white, not the clouds' cold white
      if (Channel(rgb, 16) >= 0xF8 && Channel(rgb, 8) >= 0xE8 && Channel(rgb, 0) <= 0xE8) sun[x] = true;
    }
  }
  const int first = static_cast<int>(std::find(sun.begin(), sun.end(), true) - sun.begin());
  const int last = static_cast<int>(sun.rend() - std::find(sun.rbegin(), sun.rend(), true)) - 1;
  ASSERT_LT(first, sky.width());
  EXPECT_EQ(std::count(sun.begin(), sun.end(), true), last - first + 1) << "one run of columns";
  EXPECT_GE(last - first, 40) << "a sun, not a speck";
  EXPECT_GT(first, kCameraMaxX / kFarSkyScrollDivisor) << "the seam would split the sun";
  EXPECT_LT(last, sky.width() - 1);
}

// Across its seam a background has no more hard edges than across its
// roughest column (or row, for those that wrap up and down too) inside.
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
    int roughestColumn = 0, roughestRow = 0;
    for (int x = 1; x < w; ++x) roughestColumn = std::max(roughestColumn, hardEdges(k, x - 1, 0, x, 0, h, 0, 1));
    EXPECT_LE(hardEdges(k, w - 1, 0, 0, 0, h, 0, 1), roughestColumn) << name;
    if (!vertically) continue;
    for (int y = 1; y < h; ++y) roughestRow = std::max(roughestRow, hardEdges(k, 0, y - 1, 0, y, w, 1, 0));
    EXPECT_LE(hardEdges(k, 0, h - 1, 0, 0, w, 1, 0), roughestRow) << name;
  }
}

}  // namespace
