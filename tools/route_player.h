// Routes over the game's floors, and a player that plays them as a person
// would: it looks every frame and acts on what it sees, each press at least
// 6 frames long. A perturbation jitters fixed presses and delays decisions;
// a late player judges what it sees as it will be when its answer arrives.
//
//   Route().ReadSign().UseRecoveryPoint().OpenChest().TakeDoor()
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tools/route_sight.h"
#include "tools/scripted_play.h"

namespace veltrin::routes {

using Keys = std::set<std::uint32_t>;
using testing::kKeyDown, testing::kKeyJump, testing::kKeyLeft, testing::kKeyRight, testing::kKeyShot,
    testing::kKeyShotChange, testing::kKeyUp, testing::LettersOf, testing::ScriptedPlay;

// The shortest press and the reaction time of a route's player, in frames.
inline constexpr int kMinimumPress = 6;

// How a boss is fought: from a place and height, turned to it and firing by
// turns; a move is made only along a way no bullet in sight meets, and a
// bullet on course for the body is answered by the move it meets latest.
struct FightSettings {
  // Where it stands; on the lowest one-way floor over the ground; level with
  // the boss's body, a ledge at a time.
  enum class Height { kWhereItStands, kFloorOver, kLevelWithBody };
  std::optional<Place> place = std::nullopt;  // none: where the fight starts
  Height height = Height::kWhereItStands;
  bool toRhythm = false;      // down from the floor over as an attack comes due
  bool untilNewLook = false;  // ends when a boss changes its look (a phase begins)
  int horizon = 40;           // frames a bullet is seen coming, more the lateness; 0: none dodged
  int margin = 8;             // pixels a bullet must pass the body by
  // The dodges tried, in order (a crouch only when the fight's keys do not
  // crouch); each ends on footing.
  std::vector<Move> moves = {{0, false, false, true, 2 * kMinimumPress}, {-1, false, false, false, 18},
                             {1, false, false, false, 18}, {0, false, true, false, kMinimumPress},
                             {0, true, false, false, 20}};
  int climbPress = 20;     // a jump onto the ledge over the body
  int frameLimit = 12000;  // before the fight gives up
};

// How far the player departs from the route's exact timing.
struct Perturbation {
  int pressJitter = 0;    // each fixed press or wait is up to this many frames longer or shorter
  int reactionDelay = 0;  // a looking step's keys reach the game this many frames late
  std::uint32_t seed = 1;
};

// The keys of a move, and the way keys walk (-1, 0, 1).
Keys KeysOf(const Move& move);
int WayOf(const Keys& keys);

struct RoutePlayer;

class Route {
 public:
  // Keys held a fixed count of frames; fixed steps in a row are queued
  // together, so they also reach the game's blocking sequences.
  Route& Press(Keys keys, int frames);
  Route& Wait(int frames);

  // `keys` held until the body's middle passes the place's column's middle.
  Route& HoldTo(Keys keys, Place place);
  // A walk that hops or crouches under bullets, shoots low at enemies while
  // the magic lasts, and jumps walls, gaps, spikes and enemies close ahead.
  Route& WalkTo(Place place);
  // A walk that holds ground where an enemy comes within a standing shot's reach.
  Route& Advance(Keys keys, Place place);
  // Comes to rest in the column, short of its middle rather than past it (a
  // block before spikes); after a jump, steered in the air.
  Route& StopAt(Place place);
  // Nothing held until `seen` (a window, a scene, an enemy).
  Route& WaitFor(std::string what, std::function<bool()> seen);
  // Menus and windows answered by looking until `done`: `decide`, told
  // whether a window shows, gives the keys.
  Route& Answer(std::string what, std::function<Keys(bool inWindow)> decide, std::function<bool()> done);
  // Onto the travelling platform where it turns at `from`, off where it turns at `to`.
  Route& RideAcross(Place from, Place to);
  // Stands `frames` frames and on while an enemy ahead comes, met as a walk meets it.
  Route& HoldGround(Keys keys, int frames);
  // The floor's boss fought until it is down or changes its look.
  Route& Fight(Keys keys, FightSettings how = {});

  Route& ReadSign();
  Route& UseRecoveryPoint(Place where = RecoveryPoint());
  Route& OpenChest();
  Route& TakeDoor(int number = 0);
  Route& Then(const Route& more);

 private:
  friend struct RoutePlayer;
  struct Step {
    std::string name;
    Keys keys;                                     // of a fixed press
    int frames = 0;                                // of a fixed press
    std::function<std::string(RoutePlayer&)> act;  // of a looking step; empty for a fixed press
  };
  // A looking step given its places' columns, once every place is found.
  using Columns = const std::vector<int>&;
  Route& Add(std::string name, std::vector<Place> places, std::function<std::string(RoutePlayer&, Columns)> act);
  std::vector<Step> steps_;
};

// Plays routes: the game it plays, how late it reacts and how much its presses
// vary, and what it has seen.
struct RoutePlayer {
  explicit RoutePlayer(ScriptedPlay& play, Perturbation perturbation = {});
  // "" when the route ran through with the player alive, otherwise what went
  // wrong and at which step.
  std::string Run(const Route& route);

  ScriptedPlay& play;
  const int late, pressJitter;  // the perturbation's reaction delay and press jitter
  std::mt19937 jitter;
  Keys held;  // the keys the game is given now
  std::map<const EnemyRecord*, int> hopSeen;  // the frame each live walker was last seen in its hop
  const bool trace;  // QZ_ROUTE_TRACE=1: where each step left the player, for laying routes
};

// The steps' keys, the fight's too: `keys` held `frames` frames, a change of
// keys reaching the game a reaction late; a planned press, only its start
// late, `after` held then; of the presses `shortest` to `longest` frames long,
// the one whose slide ends nearest `x`.
std::string Hold(RoutePlayer& self, const Keys& keys, int frames);
std::string Press(RoutePlayer& self, const Keys& keys, int frames, const Keys& after = {});
int PressTo(const RoutePlayer& self, double x, const Keys& keys, int shortest, int longest);
void Trace(const RoutePlayer& self, const std::string& what);
// The floor's boss fought from `column` (-1: where the fight starts).
std::string Fight(RoutePlayer& self, const Keys& keys, const FightSettings& how, int column);

}  // namespace veltrin::routes
