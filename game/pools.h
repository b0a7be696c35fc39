// The fixed pools of a floor's short-lived things: player shots, enemy
// bullets, effects and timed cells.
#pragma once

// Marks every record of the player-shot, enemy-bullet, effect and timed-cell
// pools free and sets their live counters to 0.
void EmptyObjectPools();
