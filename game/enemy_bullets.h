// The enemy half of the shot update: bullets in flight and the countdown a
// beaten boss runs, called after the player shots each floor-play frame.
#pragma once

// Frees, draws and moves every live enemy bullet.
void UpdateEnemyBullets();
// Runs one step of the boss-defeat countdown while it is above 0.
void RunBossDefeatCountdown();
// The enemies' blast (Blaze-like bomb bullets); the player shots install it.
extern void (*ExplodeEnemyBlastHook)(int x, int y, int damage, int size);
