// The campaign's checks, run before a data set is written: every floor can be
// played through by a person, not only by an exact machine. A walk over the
// cells with the jumps a person makes comfortably (from the game's own
// movement constants) finds every key, chest, pick-up, sign, shop and door
// from the floor's entrance 0; each item floor needs its item to go on; every
// shop row is affordable with the coins found before it; every upgrade lies
// in a chest or a shop. The walk takes each floor in the order door 0 leads,
// with the items its chests gave so far; a comfortable jump (from the feet's
// probe columns) may take off anywhere in an 8-frame window and still land
// 16 pixels inside the far ground. Floors 001 to 010 need no jump over
// spikes, and 001 no jump at all. A broken rule fails the generator with the
// floor and the cell.
#pragma once

#include <string>
#include <vector>

#include "tools/datagen/data_set.h"

namespace datagen {

// How far a person jumps comfortably with one launch speed: a step counts
// when the jump may start anywhere within a take-off window and still lands
// with room to spare.
class JumpEnvelope {
 public:
  static constexpr int kTakeOffWindowFrames = 8;
  static constexpr int kLandingSparePixels = 16;
  static constexpr int kWidestStep = 5;    // the walk's sideways reach in one move
  static constexpr int kDeepestDrop = 46;  // the field's height in rows

  explicit JumpEnvelope(double launchSpeed);
  // The highest rise in rows the jump can land on.
  int HighestRise() const;
  // The widest comfortable step in columns onto ground `rise` rows up
  // (negative: down), or -1 out of reach; `oneWay` when the ground is a
  // one-way platform.
  int WidestStep(int rise, bool oneWay) const;

 private:
  std::vector<double> heights_;  // the feet's height after each frame
};

// Walks the floors in the campaign's order (door 0 on from "001"): "" when
// the campaign holds, otherwise a line for each floor that breaks a rule,
// "floor NNN: what at (column, row) ...".
std::string CheckCampaign(const std::vector<FloorSource>& floors);

}  // namespace datagen
