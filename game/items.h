// Pick-ups, floor slots and moving objects in play: touching, collecting and
// moving them.
#pragma once

#include <cstdint>

struct MapObjectRecord;

// A travelling platform turns at a cell whose attribute is above this.
inline constexpr std::int32_t kMoverTurnsAbove = 48;

// The blinking platforms' cycle, 0..239, one step a frame.
extern std::int32_t movingObjectCycle;

// Moves and draws the moving objects and carries the player on them.
void UpdateMovingObjects();
// Applies the first pick-up the player touches.
void CheckObjectTouch();
// Uses the key switch or key the player touches, or opens the chest.
void CollectItem();
// 1 when the player's body box overlaps the inner square of cell (column, row).
int IsTouchingPlayer(int column, int row);
// The blocking chest sequence: opens the chest of the slot when a key is held.
void OpenChest(MapObjectRecord& slot);
// Frames (a third of a second) the chest's window shows its text before a
// press can close it.
inline constexpr int kChestReadingFrames = 20;
