// The status bar's digit numbers read back from the screen: in the cell
// colour data set each digit piece is one flat colour, so the pixel inside a
// place tells which piece was drawn there (at alpha 224 over black), or that
// none was.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/floor_play.h"
#include "game/hud.h"
#include "game/screen_frame.h"
#include "game/screens.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/game_screen_probe.h"

namespace {

struct DigitSheet {
  const char* file;
  int pieces;
  int spacing;
};
constexpr DigitSheet kSmall{"st_font2.png", 15, 9};
constexpr DigitSheet kBar{"st_font3.png", 13, 12};
constexpr DigitSheet kFloor{"st_font4.png", 11, 12};

class HudNumberTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    UseDataSet(datagen::ArtStyle::kCellColours);
    Start();
  }
  // Draws one number on a black screen after some other blend mode was set;
  // blending must be off afterwards whatever the kind.
  static void Draw(int kind, int value = 0, int x = 0, int y = 0) {
    qz::SetBlendModeAndParam(0, 0);
    qz::ClearDrawTarget(nullptr);
    qz::SetBlendModeAndParam(2, 77);
    DrawHudNumber(kind, value, x, y);
    EXPECT_EQ(qz::GetDrawSettings().blendMode, 0) << "kind " << kind;
    EXPECT_EQ(qz::GetDrawSettings().blendParam, 0) << "kind " << kind;
  }
  static int Distance(std::uint32_t a, std::uint32_t b) {
    int sum = 0;
    for (int shift : {0, 8, 16}) sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    return sum;
  }
  // The piece whose colour, at alpha 224 over black, is at (x, y + 8);
  // -1 for black.
  static int PieceAt(const DigitSheet& sheet, int x, int y) {
    const std::uint32_t pixel = qz::testing::ScreenPixel(x, y + 8);
    if (pixel == 0) return -1;
    int best = -2, bestDistance = 1 << 30;
    for (int piece = 0; piece < sheet.pieces; ++piece) {
      const std::uint32_t c = datagen::CellColour(sheet.file, piece);
      std::uint32_t faded = 0;
      for (int shift : {0, 8, 16}) faded |= (((c >> shift) & 0xFF) * 224 / 255) << shift;
      if (const int d = Distance(pixel, faded); d < bestDistance) {
        best = piece;
        bestDistance = d;
      }
    }
    return bestDistance <= 6 ? best : -2;
  }
  // The pieces from x onward, one place per spacing, up to the first blank
  // or the screen's edge.
  static std::vector<int> PiecesFrom(const DigitSheet& sheet, int x, int y) {
    std::vector<int> pieces;
    for (; x < kScreenWidth; x += sheet.spacing) {
      const int piece = PieceAt(sheet, x, y);
      if (piece == -1) break;
      pieces.push_back(piece);
    }
    return pieces;
  }
  using Pieces = std::vector<int>;
};

TEST_F(HudNumberTest, BarNumbersSitAtTheirPlacesWithTheirZeroPadding) {
  player.infiniteMagic = 0;
  const struct {
    std::int32_t* field;
    int value, kind, x, y;
    Pieces pieces;
  } numbers[] = {
      {&player.keys, 7, 3, 488, 10, {0, 7}},    {&player.coins, 0, 4, 534, 10, {0, 0}},
      {&player.coins, 99, 4, 534, 10, {9, 9}},  {&player.magic, 12, 5, 69, 14, {1, 2}},
      {&player.magic, 100, 5, 69, 14, {1, 0, 0}},  // longer than its places: no zero in front
      {&player.coins, -3, 4, 534, 10, {0, 0}},     // no minus sign to draw: a value below zero reads 0
  };
  for (const auto& n : numbers) {
    *n.field = n.value;
    Draw(n.kind);
    EXPECT_EQ(PieceAt(kBar, n.x - 12, n.y), -1) << "kind " << n.kind << " value " << n.value;
    EXPECT_EQ(PiecesFrom(kBar, n.x, n.y), n.pieces) << "kind " << n.kind << " value " << n.value;
  }
  player.infiniteMagic = 1;
  Draw(5);
  EXPECT_EQ(PiecesFrom(kBar, 69, 14), (Pieces{11, 12})) << "the infinite mark, whatever MP holds";

  // The clock's digits end at x 628, inside the panel (to 632), whatever
  // their count: four from 1000 seconds on (the Hourglass on floor 100),
  // and no more than four.
  const std::vector<std::pair<int, Pieces>> times = {{5, {0, 0, 5}},          {45, {0, 4, 5}},
                                                     {100, {1, 0, 0}},        {1234, {1, 2, 3, 4}},
                                                     {2147483647, {9, 9, 9, 9}}, {-7, {0, 0, 0}}};
  for (const auto& [time, pieces] : times) {
    floorTime = time;
    Draw(6);
    const int left = 628 - 12 * static_cast<int>(pieces.size());
    EXPECT_EQ(PieceAt(kBar, left - 12, 10), -1) << "time " << time;
    EXPECT_EQ(PiecesFrom(kBar, left, 10), pieces) << "time " << time;
    EXPECT_EQ(qz::testing::ScreenPixel(633, 18), 0u) << "time " << time;
  }
}

TEST_F(HudNumberTest, FloorNumberEndsWhereItsSuffixStarts) {
  // The digits and the floor mark end at x 632 whatever the count.
  const std::vector<std::pair<int, Pieces>> floors = {{0, {1, 10}}, {9, {1, 0, 10}}, {99, {1, 0, 0, 10}}};
  for (const auto& [floor, pieces] : floors) {
    floorNumber = floor;
    Draw(1);
    const int left = 632 - 12 * static_cast<int>(pieces.size());
    EXPECT_EQ(PieceAt(kFloor, left - 12, 454), -1) << "floor index " << floor;
    EXPECT_EQ(PiecesFrom(kFloor, left, 454), pieces) << "floor index " << floor;
  }
}

TEST_F(HudNumberTest, SmallNumbersAndTheirMarksAndKindsThatDrawNothing) {
  const std::vector<std::pair<int, Pieces>> cases = {
      {0, {0, 1}}, {8, {0, 9}}, {98, {9, 9}}, {99, {10, 11}}, {100, {13, 14}}, {-1, {12, 12}}, {-7, {0, 0}}};
  for (const auto& [value, pieces] : cases) {
    Draw(7, value, 60 + 30 * 3, 70 + 28 * 2);
    EXPECT_EQ(PiecesFrom(kSmall, 150, 126), pieces) << "value " << value;
  }
  player.keys = player.coins = player.magic = floorTime = 55;
  for (int kind : {0, 2, 8, 42, -1}) {
    Draw(kind, 5, 150, 126);
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{150, 126}, {488, 10}, {534, 10}, {69, 14}, {592, 10},
                                                               {608, 454}}) {
      EXPECT_EQ(qz::testing::ScreenPixel(x + 1, y + 8), 0u) << "kind " << kind;
    }
  }
}

// The magic bar: a pip per point of Max MP, full up to MP, and its end cap
// after the last. Past one row it wraps to a second, narrowing its pips when
// even two rows would not fit: it never reaches the keys, coins and clock
// panel, and a Max MP no game writes still draws a bounded bar.
TEST_F(HudNumberTest, MagicPipsEndAtMaxMpAndNeverReachThePanel) {
  const auto pip = [](int index) { return qz::testing::ScreenPixel(102 + 9 * index + 4, 18); };
  player.infiniteMagic = 0;
  player.magic = 3;
  player.maxMagic = 20;
  const auto redraw = [] {
    qz::ClearDrawTarget(nullptr);
    DrawHud();
  };
  redraw();
  const std::uint32_t full = pip(0), empty = pip(3), end = pip(20);
  EXPECT_EQ(pip(2), full);
  EXPECT_NE(full, empty);
  EXPECT_EQ(pip(19), empty);
  EXPECT_NE(end, empty);
  EXPECT_EQ(pip(21), 0u) << "nothing past the end cap";

  // What the pips may reach: up to the panel's left edge, over two rows.
  const auto gapAndPanel = [] {
    std::vector<std::uint32_t> pixels;
    for (int y = 8; y < 52; y += 2) {
      for (int x = 462; x < 640; x += 2) pixels.push_back(qz::testing::ScreenPixel(x, y));
    }
    return pixels;
  };
  const auto rowPixels = [](int y) {
    int drawn = 0;
    for (int x = 102; x < 462; ++x) drawn += qz::testing::ScreenPixel(x, y) != 0u ? 1 : 0;
    return drawn;
  };
  player.maxMagic = 16;
  redraw();
  const std::vector<std::uint32_t> clearOfPips = gapAndPanel();
  EXPECT_EQ(pip(15), empty);
  EXPECT_EQ(pip(16), end);
  EXPECT_EQ(rowPixels(40), 0) << "one row";

  player.magic = player.maxMagic = 116;
  redraw();
  EXPECT_EQ(gapAndPanel(), clearOfPips) << "the pips reached the panel";
  EXPECT_GT(rowPixels(18), 0);
  EXPECT_GT(rowPixels(40), 0) << "the second row";

  for (const int maxMagic : {39, 40, 78, 79, std::numeric_limits<std::int32_t>::max()}) {
    player.maxMagic = maxMagic;
    redraw();
    EXPECT_EQ(gapAndPanel(), clearOfPips) << "Max MP " << maxMagic;
    EXPECT_EQ(rowPixels(40) > 0, maxMagic > 39) << "Max MP " << maxMagic;
  }

  // Under the status screen's and the shop's windows the bar keeps to its
  // first row, narrowing sooner, and still stops short of the panel.
  hudItemsHidden = 1;
  for (const int maxMagic : {39, 40, 116, std::numeric_limits<std::int32_t>::max()}) {
    player.magic = player.maxMagic = maxMagic;
    redraw();
    EXPECT_EQ(rowPixels(40), 0) << "Max MP " << maxMagic;
    EXPECT_GT(rowPixels(18), 0) << "Max MP " << maxMagic;
    EXPECT_EQ(gapAndPanel(), clearOfPips) << "Max MP " << maxMagic;
  }
  hudItemsHidden = 0;
}

}  // namespace
