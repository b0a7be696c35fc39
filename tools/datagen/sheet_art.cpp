// Readable art: walks the cells of a sheet and hands each to the painter of
// its family, on a transparent (pure green) or, for the additive effect
// sheets, black background.
#include <string_view>

#include "tools/datagen/art_common.h"

namespace datagen {
namespace {

using Painter = void (*)(const CellContext&);

Painter PainterOf(Art art) {
  switch (art) {
    case Art::kPlayer:
    case Art::kPlayerSquat:
    case Art::kPlayerDash:
    case Art::kDashShadow:
      return PaintPlayerCell;
    case Art::kShot:
    case Art::kEnemyBullet:
    case Art::kLaser:
      return PaintShotCell;
    case Art::kEnemy:
      return PaintEnemyCell;
    case Art::kTrap:
      return PaintTrapCell;
    case Art::kChest:
    case Art::kItem:
    case Art::kStar:
      return PaintItemCell;
    case Art::kShotIcon:
    case Art::kMagicBar:
    case Art::kItemIcon:
    case Art::kFieldIcon:
    case Art::kStatusIcon:
    case Art::kDigits:
    case Art::kCursor:
    case Art::kMapIcon:
    case Art::kLabel:
      return PaintHudCell;
    case Art::kEffect:
      return PaintEffectCell;
    case Art::kCube:
      return PaintMarkCell;
    case Art::kChipSet:
      return PaintChipCell;
    case Art::kBackground:
    case Art::kLogo:
    case Art::kMask:
    case Art::kPanel:
      return PaintScreenImage;
    case Art::kSlide:
      return PaintSlide;
    case Art::kStatusScreen:
      return PaintStatusScreen;
    case Art::kShop:
      return PaintShopImage;
  }
  return PaintHudCell;
}

// Sprites that move over busy backgrounds get a dark rim.
bool Outlined(Art art) {
  return art == Art::kEnemy || art == Art::kTrap || art == Art::kItem || art == Art::kChest || art == Art::kCube ||
         art == Art::kShot || art == Art::kEnemyBullet;
}

std::uint64_t NameHash(std::string_view name) {
  std::uint64_t hash = 1469598103934665603ull;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

}  // namespace

void PaintReadableArt(const ImageEntry& entry, std::uint32_t seed, Canvas& canvas) {
  const ImageSpec& s = entry.spec;
  const bool additive = s.fileName.ends_with(".bmp");
  const Painter paint = PainterOf(entry.art);
  for (int cell = 0; cell < s.cells; ++cell) {
    Random random(NameHash(s.fileName) ^ (std::uint64_t{seed} << 20) ^ static_cast<std::uint64_t>(cell));
    canvas.SetWindow((cell % s.across) * s.cellWidth, (cell / s.across) * s.cellHeight, s.cellWidth, s.cellHeight);
    canvas.FillRect(0, 0, s.cellWidth, s.cellHeight, additive ? 0x000000 : kTransparent);
    paint(CellContext{entry, cell, s.cellWidth, s.cellHeight, random, canvas});
    if (Outlined(entry.art)) canvas.OutlineShapes(kInk);
  }
  canvas.ResetWindow();
}

}  // namespace datagen
