// What the painters of the readable art share: a small deterministic random
// source, the per-cell painter signature and the painters of each family.
#pragma once

#include <cstdint>

#include "tools/datagen/canvas.h"
#include "tools/datagen/image_table.h"

namespace datagen {

// SplitMix64: the same seed gives the same pictures on every machine.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int limit) { return limit <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(limit)); }

 private:
  std::uint64_t state_;
};

// Everything a cell painter needs; the canvas window is the cell.
struct CellContext {
  const ImageEntry& entry;
  int cell;
  int w;
  int h;
  Random& random;
  Canvas& canvas;
};

constexpr std::uint32_t kInk = 0x101018;  // outlines
// The shots' colours (Blaze, Gravity, Magic) and the coin's, wherever they are shown.
constexpr std::uint32_t kShotColours[3] = {0xE84830, 0x9050E0, 0x30A8E8};
constexpr std::uint32_t kCoinGold = 0xF0C020;
constexpr std::uint32_t kCoinRim = 0x806000;

// The candle masks of dark floors (mask_candle01.png, and mask_candle02.png
// with the Eternal Candle): fully lit within the radius around the player's
// sprite, fading to dark over the fade width beyond it.
constexpr double kCandleLitRadius[2] = {110.0, 170.0};
constexpr double kCandleFadeWidth = 60.0;

// Families of painters (sprite_art.cpp, hud_art.cpp, effect_art.cpp,
// tile_art.cpp).
void PaintPlayerCell(const CellContext& c);
void PaintShotCell(const CellContext& c);
void PaintEnemyCell(const CellContext& c);
void PaintTrapCell(const CellContext& c);
void PaintItemCell(const CellContext& c);
void PaintHudCell(const CellContext& c);
void PaintItemIcon(const CellContext& c);  // item_icon_art.cpp
void PaintEffectCell(const CellContext& c);
void PaintMarkCell(const CellContext& c);  // recovery points and check cubes
void PaintChipCell(const CellContext& c);
void PaintScreenImage(const CellContext& c);  // backgrounds, logo, masks, panels
void PaintSlide(const CellContext& c);        // scene_art.cpp
void PaintStatusScreen(const CellContext& c);  // status_art.cpp
void PaintShopImage(const CellContext& c);    // shop rooms, keepers and windows (shop_art.cpp)
// The areas' own looks (area_art.cpp): false when the entry's label names
// no area background, or the cell is not an area's ground (chips 1, 4, 5).
bool PaintAreaBackground(const CellContext& c);
bool PaintAreaGround(const CellContext& c);

}  // namespace datagen
