// The player shots and enemy bullets. The shots issue completes this; until
// then nothing is fired, so there is nothing to move.
#include "game/shots.h"

void UpdateShotsAndBullets() {}
