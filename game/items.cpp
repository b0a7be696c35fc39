// Items and map objects in play. The items issue completes these; until then
// objects are drawn by the floor and nothing reacts to the player.
#include "game/items.h"

void UpdateMovingObjects() {}
void CheckObjectTouch() {}
void CollectItem() {}
