// The pictures of the data set: each file's grid and how its readable art is
// painted. The public ImageSpec list (data_set.h) is derived from this table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/datagen/canvas.h"
#include "tools/datagen/data_set.h"

namespace datagen {

// What a sheet shows; selects the painter of its readable art.
enum class Art {
  kPlayer, kPlayerSquat, kPlayerDash, kDashShadow,
  kShot, kEnemyBullet, kLaser,
  kChest, kCube, kItem, kShotIcon, kMagicBar, kItemIcon, kFieldIcon, kStatusIcon, kStar,
  kDigits, kCursor, kMapIcon, kLabel, kPanel,
  kEffect, kBackground, kLogo, kMask, kChipSet, kEnemy, kTrap,
  kSlide,  // story slides and the score page: label "motif|line|line"
  kStatusScreen,
  kShop,
};

struct ImageEntry {
  ImageSpec spec;
  Art art;
  std::uint32_t tint;  // main colour of the art
  std::string label;   // text of labels; variant of digit sheets and traps
};

const std::vector<ImageEntry>& ImageEntries();

// The look of one of the campaign's areas, worn by its floors: a chip set
// whose ground the label names and a background in a style. The meadow's,
// the sky's, the forest's and the snowfield's backgrounds scroll sideways
// only; the cavern's, the castle's and the last hall's tile both ways.
struct AreaLook {
  int firstFloor;
  int lastFloor;
  const char* chipSet;
  std::uint32_t chipTint;
  const char* ground;
  const char* background;
  std::uint32_t skyTint;
  const char* style;
};
std::span<const AreaLook> AreaLooks();
// The look floor `floor` (1..100) should wear; null past every area.
const AreaLook* AreaLookOfFloor(int floor);

// Paints the readable art of one image into a canvas of its size.
void PaintReadableArt(const ImageEntry& entry, std::uint32_t seed, Canvas& canvas);

}  // namespace datagen
