// The generator's sprite art as a player judges it, on the painted sheets:
// every item icon a shape of its own, every kind of enemy a silhouette of
// its own that moves over the frames its animation shows, bodies kept to
// their body boxes and drawn solid, the heroine's hat in every frame; and the
// refusal of two enemy sheets painted alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "game/enemies.h"
#include "tools/datagen/image_table.h"
#include "tools/datagen/shared_sheet_check.h"

namespace {

using datagen::Canvas;
using datagen::ImageEntry;
using datagen::kTransparent;

const ImageEntry& Entry(const std::string& fileName) {
  const auto& entries = datagen::ImageEntries();
  const auto found =
      std::find_if(entries.begin(), entries.end(), [&](const ImageEntry& e) { return e.spec.fileName == fileName; });
  EXPECT_NE(found, entries.end()) << fileName;
  return *found;
}

Canvas Painted(const ImageEntry& entry) {
  Canvas canvas(entry.spec.across * entry.spec.cellWidth, entry.spec.down * entry.spec.cellHeight, kTransparent);
  datagen::PaintReadableArt(entry, 1, canvas);
  return canvas;
}

// One cell's drawn pixels (true where not the colour key), row by row.
std::vector<bool> Mask(const Canvas& canvas, const datagen::ImageSpec& s, int cell) {
  std::vector<bool> mask;
  const int x0 = (cell % s.across) * s.cellWidth, y0 = (cell / s.across) * s.cellHeight;
  for (int y = y0; y < y0 + s.cellHeight; ++y) {
    for (int x = x0; x < x0 + s.cellWidth; ++x) mask.push_back(canvas.At(x, y) != kTransparent);
  }
  return mask;
}

// The share of pixels drawn in one mask and not the other, of those drawn in either.
double ShapeDifference(const std::vector<bool>& a, const std::vector<bool>& b) {
  int either = 0, one = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    either += a[i] || b[i];
    one += a[i] != b[i];
  }
  return either == 0 ? 0.0 : static_cast<double>(one) / either;
}

// The item icons' cells that show an item (chest contents 4..29); the rest are unused.
constexpr int kFirstItemIcon = 4, kLastItemIcon = 29;

TEST(SpriteArt, EveryItemIconIsAShapeOfItsOwnInkedRound) {
  const ImageEntry& icons = Entry("st_itemicon.png");
  const Canvas canvas = Painted(icons);
  std::vector<std::vector<bool>> masks;
  for (int cell = kFirstItemIcon; cell <= kLastItemIcon; ++cell) {
    masks.push_back(Mask(canvas, icons.spec, cell));
    const auto drawn = std::count(masks.back().begin(), masks.back().end(), true);
    EXPECT_GT(drawn, 32 * 32 / 6) << "icon " << cell << " fills its cell";
    EXPECT_LT(drawn, 32 * 32 - 32) << "icon " << cell << " keeps a transparent edge";
  }
  for (std::size_t a = 0; a < masks.size(); ++a) {
    for (std::size_t b = a + 1; b < masks.size(); ++b) {
      EXPECT_GT(ShapeDifference(masks[a], masks[b]), 0.15)
          << "icons " << a + kFirstItemIcon << " and " << b + kFirstItemIcon << " differ only in colour";
    }
  }
}

// Each enemy sheet's kind and where the kind is first set up: its kind set
// and slot (game/enemy_kinds.cpp), which give its body box and animation.
struct SheetKind {
  const char* fileName;
  const char* kind;  // the game's kind: its variants may share a body
  int kindSet, slot;
};
constexpr SheetKind kSheetKinds[] = {
    {"enemy_スライム_青.png", "slime", 1, 0}, {"enemy_スライムボス_青.png", "slime", 1, 5},
    {"enemy_ビー_黄.png", "bee", 2, 4}, {"enemy_ウィスプボス_茶.png", "wisp", 2, 6},
    {"enemy_バット_青.png", "bat", 3, 0}, {"enemy_ブタヌキ_青.png", "beast", 3, 2},
    {"enemy_ウィッチ.png", "witch", 3, 5}, {"enemy_ウィッチ2.png", "witch2", 3, 7},
    {"enemy_モグラ_茶.png", "mole", 4, 4}, {"enemy_きのこ_緑.png", "mushroom", 4, 5},
    {"enemy_バタフライ.png", "butterfly", 4, 6}, {"enemy_シェルダー_緑.png", "shell", 5, 2},
    {"enemy_ペンギン_青.png", "penguin", 5, 4}, {"enemy_火の玉_赤.png", "fireball", 5, 5},
    {"enemy_バルーンスライム_青.png", "balloon", 5, 7}, {"enemy_スネーク_青.png", "snake", 6, 2},
    {"enemy_ラット_茶.png", "rat", 6, 3}, {"enemy_ドラゴンヘッド_青.png", "dragon head", 6, 7},
    {"enemy_リザード_青.png", "lizard", 7, 5}, {"enemy_ボマー_赤.png", "bomber", 7, 6},
    {"enemy_ガーディアン_水.png", "guardian", 8, 0}, {"enemy_ムーン01.png", "sun and moon", 9, 0},
    {"enemy_ムーン03.png", "sun and moon", 9, 2}, {"enemy_サン.png", "sun", 9, 3},
    {"enemy_目玉_紫.png", "eye", 9, 4},
};

TEST(SpriteArt, EveryKindOfEnemyHasItsOwnSilhouetteAndMovesOverItsFrames) {
  std::vector<std::pair<const SheetKind*, std::vector<bool>>> firstCells;
  for (const SheetKind& sheet : kSheetKinds) {
    SCOPED_TRACE(sheet.fileName);
    const ImageEntry& entry = Entry(sheet.fileName);
    const Canvas canvas = Painted(entry);
    const EnemyKindRecord kind = FloorEnemyKind(sheet.kindSet, sheet.slot);
    // The cells the animation shows are not all one picture.
    const auto cellPixels = [&](int cell) {
      std::vector<std::uint32_t> pixels;
      const int x0 = cell * entry.spec.cellWidth;
      for (int y = 0; y < entry.spec.cellHeight; ++y) {
        for (int x = x0; x < x0 + entry.spec.cellWidth; ++x) pixels.push_back(canvas.At(x, y));
      }
      return pixels;
    };
    bool moves = false;
    for (int step = 1; step < kEnemyAnimSteps && kind.animDurations[step] > 0; ++step) {
      moves = moves || cellPixels(kind.animFrames[step]) != cellPixels(kind.animFrames[0]);
    }
    EXPECT_TRUE(moves) << "the animation shows one still picture";
    const std::vector<bool> first = Mask(canvas, entry.spec, 0);
    for (const auto& [other, mask] : firstCells) {
      if (std::string(other->kind) == sheet.kind || mask.size() != first.size()) continue;
      EXPECT_GT(ShapeDifference(mask, first), 0.15) << "shares the silhouette of " << other->fileName;
    }
    firstCells.emplace_back(&sheet, first);
  }
}

// No more of a body than the outline and a thin tail, ray or horn beyond its
// body box (a body bigger than its box would hurt from where it is not seen),
// nor a body so much smaller that it hurts from where nothing is.
TEST(SpriteArt, EnemyBodiesKeepToTheirBodyBoxes) {
  constexpr int kMargin = 4;
  for (const SheetKind& sheet : kSheetKinds) {
    SCOPED_TRACE(sheet.fileName);
    const ImageEntry& entry = Entry(sheet.fileName);
    const Canvas canvas = Painted(entry);
    const EnemyKindRecord kind = FloorEnemyKind(sheet.kindSet, sheet.slot);
    const int f = kind.sizeFactor;
    const int left = kind.bodyLeft / f, top = kind.bodyTop / f, right = kind.bodyRight / f,
              bottom = kind.bodyBottom / f;
    for (int step = 0; step < kEnemyAnimSteps && kind.animDurations[step] > 0; ++step) {
      const std::vector<bool> mask = Mask(canvas, entry.spec, kind.animFrames[step]);
      int outside = 0, drawn = 0, boxDrawn = 0;
      for (int y = 0; y < entry.spec.cellHeight; ++y) {
        for (int x = 0; x < entry.spec.cellWidth; ++x) {
          if (!mask[static_cast<std::size_t>(y) * entry.spec.cellWidth + x]) continue;
          ++drawn;
          const bool inBox = x >= left && x < right && y >= top && y < bottom;
          boxDrawn += inBox;
          outside += !(x >= left - kMargin && x < right + kMargin && y >= top - kMargin && y < bottom + kMargin);
        }
      }
      EXPECT_LT(outside, drawn / 8) << "cell " << kind.animFrames[step] << " spills out of its body box";
      EXPECT_GT(boxDrawn, (right - left) * (bottom - top) * 2 / 5)
          << "cell " << kind.animFrames[step] << " leaves its box bare";
    }
  }
}

// Bodies are drawn solid: no kind of any kind set is blended see-through but
// the red fireball, a flame (kind set 5, slot 5).
TEST(SpriteArt, EnemyBodiesAreDrawnSolid) {
  for (int set = 1; set <= 9; ++set) {
    for (int slot = 0; slot < kEnemyKindSlots; ++slot) {
      const EnemyKindRecord kind = FloorEnemyKind(set, slot);
      if (kind.life <= 0 || (set == 5 && slot == 5)) continue;
      EXPECT_EQ(kind.alpha, 0) << "kind set " << set << " slot " << slot;
    }
  }
}

// The heroine's purple pointed hat: purple above the top of her face in
// every frame of every player sheet (her robe takes the shot's colour, which
// may be purple too, but stays below).
TEST(SpriteArt, ThePlayerWearsThePurpleHatInEveryFrame) {
  const auto skin = [](int r, int g, int b) { return r > 0xE0 && g > 0xB0 && b > 0x90 && b < 0xC0; };
  const auto purple = [](int r, int g, int b) { return b > 0x90 && r > 0x60 && g < r - 0x30; };
  for (const char* name : {"pat_player_RGB.png", "pat_player_RGB_squats.png", "pat_player_RGB_dash.png"}) {
    const ImageEntry& entry = Entry(name);
    const Canvas canvas = Painted(entry);
    const datagen::ImageSpec& s = entry.spec;
    for (int cell = 0; cell < s.cells; ++cell) {
      const int x0 = (cell % s.across) * s.cellWidth, y0 = (cell / s.across) * s.cellHeight;
      std::vector<int> purpleRows;  // one entry per purple pixel
      int faceTop = s.cellHeight;
      for (int y = 0; y < s.cellHeight; ++y) {
        for (int x = 0; x < s.cellWidth; ++x) {
          const std::uint32_t rgb = canvas.At(x0 + x, y0 + y);
          const int r = static_cast<int>(rgb >> 16), g = static_cast<int>(rgb >> 8 & 0xFF),
                    b = static_cast<int>(rgb & 0xFF);
          if (skin(r, g, b)) faceTop = std::min(faceTop, y);
          if (purple(r, g, b)) purpleRows.push_back(y);
        }
      }
      const auto hat = std::count_if(purpleRows.begin(), purpleRows.end(), [&](int y) { return y < faceTop; });
      EXPECT_GT(hat, 40) << name << " cell " << cell << " without the hat";
    }
  }
}

TEST(SharedSheetCheck, RefusesASecondSheetOfTheSamePictureNamingBoth) {
  Canvas a(4, 2, kTransparent), b(4, 2, kTransparent), tall(2, 4, kTransparent);
  a.Put(1, 1, 0xFF0000);
  b.Put(1, 1, 0xFF0000);
  tall.Put(1, 2, 0xFF0000);  // the same row of pixels as `a`, cut 2 wide
  datagen::SharedSheetCheck check;
  std::string error;
  EXPECT_TRUE(check.Add("enemy_a.png", a, &error));
  EXPECT_TRUE(check.Add("enemy_tall.png", tall, &error)) << "the same pixels in another shape";
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(check.Add("enemy_b.png", b, &error));
  EXPECT_NE(error.find("enemy_a.png"), std::string::npos) << error;
  EXPECT_NE(error.find("enemy_b.png"), std::string::npos) << error;
  // One pixel apart is another picture.
  b.Put(0, 0, 0x000000);
  EXPECT_TRUE(check.Add("enemy_c.png", b, &error));
}

}  // namespace
