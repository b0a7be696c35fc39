// The game-over sequence: the stars the player's death scatters, the
// game-over picture, and the restart on Confirm or Cancel.
#pragma once

#include <cstdint>

inline constexpr int kGameOverStarCount = 320;

struct GameOverStarRecord {
  double x, y;    // screen pixels
  double vx, vy;  // pixels per frame
  std::int32_t frame;  // 0..5
  std::int32_t tick;
  std::int32_t active;
};

extern GameOverStarRecord gameOverStars[kGameOverStarCount];

// One frame while the player is dead: the stars, from the 11th frame the
// picture, and on a Confirm or Cancel pressed after both were seen up for a
// few frames with the picture shown, the floor restarts at its entrance.
void RunGameOver();
