// The enemy half of the shot update: bullets in flight and the countdown a
// beaten boss runs, called after the player shots each floor-play frame.
#pragma once

// Frees, draws and moves every live enemy bullet.
void UpdateEnemyBullets();
// Runs one step of the boss-defeat countdown while it is above 0.
void RunBossDefeatCountdown();
