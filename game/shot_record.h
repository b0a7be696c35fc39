// The record both shot pools hold (player shots and enemy bullets), and the
// looks of the enemy bullets whose rules differ from the rest.
#pragma once

#include <cstdint>

// Fields in storage order.
struct ShotRecord {
  double x, y;    // top-left of the 24 by 24 sprite
  double vx, vy;  // pixels per frame
  double ax, ay;
  std::int32_t life;  // frames left
  std::int32_t power;
  std::int32_t graphicBase;
  std::int32_t colourRow;
  double angle;
  std::int32_t blastSize;
  std::int32_t stun;
  std::int32_t animFrame, animTick;
  std::int32_t mode;
  std::int32_t direction;  // numpad digit
  std::int32_t inUse;
};

// The looks of the enemy bullets that fly through cells (the wisp's and the
// Sun and Moon's fire): they neither strike walls nor burst on them.
inline bool PassesCells(const ShotRecord& bullet) { return bullet.graphicBase == 3 || bullet.graphicBase == 9; }
// The looks of the enemy bullets that change in flight as their life runs
// low (game/enemy_bullets.h): the witches' that split into a fan at the
// player, and the Second Witch's that fire again at the player.
inline bool SplitsAtPlayer(const ShotRecord& bullet) { return bullet.graphicBase == 3 && bullet.colourRow == 4; }
inline bool FiresAgainAtPlayer(const ShotRecord& bullet) { return bullet.graphicBase == 9 && bullet.colourRow == 7; }
