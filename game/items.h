// Pick-ups, floor slots and moving objects in play: touching, collecting and
// moving them.
#pragma once

// Moves and draws the moving objects and carries the player on them.
void UpdateMovingObjects();
// Applies the pick-ups and slots the player touches.
void CheckObjectTouch();
// Opens the chest the player stands at.
void CollectItem();
