// What kills on a floor, as the campaign check weighs it against the route:
// the bullet lanes of the enemies that shoot, and how long each threat is
// in sight before it reaches a place the route stands on. Everything comes
// from the game's own kind templates (FloorEnemyKind, without sheets),
// bullet constants, enemy fall constants, camera lead and the candle mask's
// lit radius. On floors 001 to 010 no jump the route needs (one whose
// refusal leaves something out of reach) crosses a bullet lane: the row an
// enemy's bullets fly at its muzzle's height to what stops them or their
// range. On every floor each threat is in the view (640 x 480 around the
// player's sprite, or the candle's light on a dark floor, as held on
// arriving) at least 24 frames before it touches the body at a stand place
// of the route: walkers and flyers at their behaviour's top speed
// (TopSpeedOfBehaviour) as if coming from out of sight (walkers along their
// own level; a flyer that never moves sideways only over its body's columns,
// or up or down only along its rows, widened where shots knock it to the
// walls its body's probed edge cannot slip between: solid blocks, and switch
// codes on a floor without a key switch), a walker's fall off the ends of its
// ground, and bullets at their fastest (line bursts, splits, re-aims) from
// their shooter's muzzle facing either way, as placed or, for the first
// volley of one that moves sideways, as near as it comes by then. On a
// floor without a key switch only the boss's fall turns the switch codes,
// so threats are weighed against the route with the codes as placed. Lasers and the moon's needles are not
// weighed.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "game/map_format.h"

namespace datagen {

using Cell = std::pair<int, int>;

// Frames a threat must be on screen before it reaches the player's path.
inline constexpr int kSightFrames = 24;
// Frames after arriving (the floor's title card, a first look round) in
// which nothing that kills may reach the place the player arrives at.
inline constexpr int kArrivalFrames = 180;

// A move of the route that leaves the ground: from stand place `from`, up
// `rise` rows, sideways to the column of `to` and down onto it.
struct RouteJump {
  Cell from, to;
  int rise;
};

// The row of cells an enemy's bullets cross at its muzzle's height, both
// ways from it to what stops them or out of their range.
struct BulletLane {
  Cell enemy;  // the enemy's placement
  std::set<Cell> cells;
};

class FloorThreats {
 public:
  // `placed`: the floor as placed, before any switch; `open`: its cells as
  // the route finds them; `candle`: whether the Eternal Candle lights a
  // dark floor wider.
  FloorThreats(const MapFileData& placed, const MapFileData& open, bool candle);

  const std::vector<BulletLane>& Lanes() const { return lanes_; }
  // The lane the jump's arc, landing or the open cells under its arc
  // cross, or nullptr.
  const BulletLane* LaneAcross(const RouteJump& jump) const;
  // "" when every threat is in sight for kSightFrames before it reaches a
  // stand place of `route`; otherwise what, from where, to where.
  std::string SightFault(const std::set<Cell>& route) const;
  // "" when nothing that kills reaches the player standing at stand place
  // `arrival` (an entrance) within kArrivalFrames of arriving there;
  // otherwise what, from where, how soon.
  std::string ArrivalFault(const Cell& arrival) const;

 private:
  // An enemy's body box: its centre and half extents in pixels.
  struct Body {
    double centreX, centreY, halfWidth, halfHeight;
  };
  // A moving enemy: it may come from anywhere out of sight, a walker only
  // along its own level (its feet's row), a flyer only within the box its
  // body can reach (pixels).
  struct Mover {
    Cell enemy;
    double sideways, vertical;  // pixels a frame
    int feetRow;                // walkers; -1 for flyers
    double left, top, right, bottom;
    Body body;  // as placed
    bool hurts;  // on touching: some only push
    bool lurks;  // waits until the player comes near
  };
  // Bullets: from the muzzle (pixels) at their fastest, straight at the
  // player (`level`: only sideways), as far as their range.
  struct Shot {
    Cell enemy;
    double muzzleX, muzzleY;
    double speed, range;
    bool level;
    bool passes;      // flies through cells
    int firstVolley;  // frames from arriving to the first shot
    const Body* boss;  // a boss's body, which fires only while on screen; else nullptr
    double approach;  // pixels a frame a shooter that moves sideways comes nearer before it fires
  };
  // A walker's fall off an end of its ground: down `column` from the ground
  // row it walked on to the ground it lands on.
  struct Fall {
    Cell enemy;
    int column, fromRow, groundRow;
  };

  int At(int x, int y) const;
  bool Open(int x, int y) const;
  void AddEnemy(const MapFileData::Placement& placement);
  // Whether a cell stops enemies for as long as they live; whether a
  // column's, or a row's, such cells stop a body `height` (`width`) pixels
  // tall (wide) knocked across it.
  bool Wall(int x, int y) const;
  bool WallColumn(int column, int height) const;
  bool WallRow(int row, int width) const;
  // Whether the mover's body can touch the player's standing at `stand`.
  bool Reaches(const Mover& mover, const Cell& stand) const;
  // Frames a bullet from pixel (x, y) at `speed` straight at the player
  // standing at `stand` is in sight before it touches the body; infinity
  // when it starts in sight.
  double FramesInSight(const Cell& stand, double x, double y, double speed, bool level) const;
  // Frames a mover coming from out of sight is in sight before it touches
  // the body.
  double FramesInSight(const Mover& mover) const;
  // Frames from arriving before the mover, going straight for it, touches
  // the body standing at `stand`, or the shot's first bullet does; infinity
  // when it cannot.
  double FramesToReach(const Mover& mover, const Cell& stand) const;
  double FramesToReach(const Shot& shot, const Cell& stand) const;
  // Whether a straight flight from pixel (x, y) to (toX, toY) meets a cell
  // that stops bullets.
  bool Blocked(double x, double y, double toX, double toY) const;

  const MapFileData& placed_;
  const MapFileData& map_;
  double viewRadius_;  // dark floors: the lit radius; else 0
  std::vector<BulletLane> lanes_;
  std::vector<Body> bosses_;  // reserved up front: shots point into it
  std::vector<Mover> movers_;
  std::vector<Shot> shots_;
  std::vector<Fall> falls_;
};

}  // namespace datagen
