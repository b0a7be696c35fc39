// The trap sheets the enemy code draws (needle traps, laser traps in four
// directions, shooters and magic balls in three colours), loaded once at
// start-up, and the light mask of dark floors.
#pragma once

#include <cstdint>

// One row of 32 by 32 cells each; -1 handles when a sheet failed to load.
struct TrapSheets {
  int needle[6];
  int laser[4][6];      // L, R, D, U
  int shooter[3][4];    // red, blue, green
  int magicBall[3][5];  // red, blue, green
};

extern TrapSheets trapSheets;
// The 480 by 480 light mask centred on the player on dark floors; -1: none.
extern int candleMask;

void LoadTrapGraphics();
// Loads "mask_candle02.png" when the player owns the Eternal Candle, else
// "mask_candle01.png", in place of the current mask.
void LoadCandleMask();
