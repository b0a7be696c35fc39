// The per-frame update of the two shot pools; their record is shot_record.h.
#pragma once

// Moves, tests and draws the player shots, then the enemy bullets, then runs
// the boss-defeat countdown.
void UpdateShotsAndBullets();
