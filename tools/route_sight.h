// What the player of a route sees of the floor being played: its places,
// where a move carries the body and where the bullets fly (both stepped on
// copies with the game's own step), the enemies and the boss.
#pragma once

#include <string>
#include <vector>

#include "game/enemies.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/map_cells.h"

namespace veltrin::routes {

// A tile column, a mark of the floor text ("mark NAME X"), the cells of an
// attribute or a slot of the loaded floor.
struct Place {
  enum class Kind { kColumn, kMark, kCells, kSlot };
  Kind kind;
  int number;             // the column, the cells' attribute or the slot
  std::string label;      // what a step's name calls it
  std::string name = {};  // the mark's
  bool ahead = false;     // only the ones at or right of the body count
};
inline Place Column(int column) { return {Place::Kind::kColumn, column, "column " + std::to_string(column)}; }
inline Place Mark(std::string name) { return {Place::Kind::kMark, 0, "mark " + name, name}; }
inline Place Sign() { return {Place::Kind::kCells, kAttrSign, "sign"}; }
inline Place RecoveryPoint() { return {Place::Kind::kCells, kAttrRecoveryPoint, "recovery point"}; }
inline Place Shop() { return {Place::Kind::kCells, kAttrShop, "shop"}; }
inline Place CheckCube() { return {Place::Kind::kCells, kAttrCheckCube, "check cube"}; }
inline Place Door(int number) { return {Place::Kind::kCells, kAttrDoor0 + number, "door " + std::to_string(number)}; }
inline Place Chest() { return {Place::Kind::kSlot, kSlotChest, "chest"}; }
inline Place Key() { return {Place::Kind::kSlot, kSlotKey, "key"}; }
inline Place KeySwitch() { return {Place::Kind::kSlot, kSlotKeySwitch, "key switch"}; }
// The next such place right of the player, not one behind.
inline Place Ahead(Place place) {
  place.ahead = true;
  return place;
}

// The place's column nearest the body; -1 when the floor has none.
int ColumnOf(const Place& place);
// The player's x with the body's middle over the middle of `column`.
int StandingX(int column);

// Where the body is in a frame to come.
struct BodyPlace {
  double x, y;
  bool crouched, grounded;
};
// A walk one way (-1 left, 1 right), a jump, a drop through the one-way
// floor underfoot or a crouch, held `press` frames.
struct Move {
  int way = 0;
  bool jump = false, drop = false, crouch = false;
  int press = 0;
};
int WayOf(double speed);  // -1, 0 or 1

// The body's places from now (course[0]) as the game's step moves a copy:
// `wait` frames walking `heldWay`, then `move`.
std::vector<BodyPlace> CourseOf(int wait, const Move& move, int frames, int heldWay = 0);
// Whether `course` ends on footing and, for a `height` not the body's own,
// at least a pixel nearer it.
bool Carries(const std::vector<BodyPlace>& course, int height);
// The player's x at rest after walking `heldWay` for `late` frames, then
// `way` for `frames` (on ice: braked until it creeps).
double RestX(int way, int frames, int heldWay = 0, int late = 0);
// The first of the next `horizon` frames at which a bullet on the screen,
// flown on copies with the game's own step, or its blast meets the body
// along `course` (its last place held after) within `margin` pixels;
// `horizon` when none does.
int FirstBulletHit(const std::vector<BodyPlace>& course, int horizon, int margin);

bool InView(double x, double y, int width, int height);
// Whether a bullet left `enemy`'s muzzle in the frame just played.
bool FiredJustNow(const EnemyRecord& enemy);
// The boss's frames of acting (a flinch stops its clock) since its last
// volley, a frame on from `before`; -1 until a volley is seen.
int SinceVolley(const EnemyRecord& boss, int before);
const EnemyRecord* Boss();
// The first live enemy of the kind the floor text places in the place's
// column (told by its sheet); null when none.
const EnemyRecord* EnemyOfKindAt(const Place& place);
// How far right the nearest live enemy in sight is, at the body's height or
// up to `above` pixels over it (one in a hop); -1 when none is.
int EnemyAhead(int above = 0);
// A wall, gap or spikes just ahead of a player walking right on the ground,
// once the walk goes on `lead` frames.
bool ObstacleAhead(int lead = 0);
// From floor pixel x to the nearest travelling platform's left edge.
int PlatformDistance(int x);

}  // namespace veltrin::routes
