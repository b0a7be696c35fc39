#include "tools/route_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "game/items.h"
#include "game/player_motion.h"
#include "game/player_physics.h"
#include "game/player_shots.h"
#include "game/pools.h"

namespace veltrin::routes {
namespace {

const int kBlazeCost = ShotMagicCost(0);
const Muzzle kStandingMuzzle = MuzzleOffset(1, 0, kStand), kCrouchedMuzzle = MuzzleOffset(1, 1, kSquat);
// Standing, a shot is fired at an enemy come kShortOfFlight inside its
// flight; a low shot where a walk stops, at one up to kPastFlight beyond
// (it comes on while the walk stops and the shot flies).
constexpr int kShortOfFlight = 20, kPastFlight = 16;
const Keys kWalkingShot{kKeyDown, kKeyShot};
constexpr int kStepFrames = 3000;  // before a looking step gives up
constexpr int kBlockingSlack = 60;  // a blocking sequence met on the way (the key switch's flash)
// A hop over a bullet: how far ahead (more the lateness) and how near the
// bullets are judged, the jump's press, and the frames spare at the latest.
constexpr int kHopHorizon = 60, kHopMargin = 4, kHopPress = 20, kSpare = 4;
constexpr int kHopHeight = 2 * kCellSize;  // how high over the body an enemy in a hop is watched for
enum class Meeting { kOnTheWay, kStanding };  // an enemy ahead shot low on the way, or met standing

std::string Outcome(bool done) {
  const std::string where = " on floor " + std::to_string(floorNumber + 1) + " at " + std::to_string(player.x) +
                            "," + std::to_string(player.y);
  if (player.dead != 0) return "died" + where;
  if (!done) return "frames ran out" + where;
  return "";
}

// 0 shut, 1 open; -1 off the floors.
int ChestMark() {
  return floorNumber >= 0 && floorNumber < kFloorCount ? gameState.FloorProgress.floorItems[floorNumber][kSlotChest] : -1;
}
// Confirms the chest's window once it is read and the keys queued before it
// are out; again after another look while it still shows.
std::function<void()> ConfirmingChest(ScriptedPlay& play) {
  return [&play, looked = 0]() mutable {
    const bool shows = ChestMark() == 0 && gameState.FloorProgress.floorValue[floorNumber] != -1;
    if (!shows || ++looked <= kChestReadingFrames + 2 || !play.Finished()) return;
    play.Hold({kKeyJump}, kMinimumPress);
    looked = 0;
  };
}

// `keys` queued for `frames` frames; a change of keys reaches the game the
// returned frames late, what was held going on.
int Decide(RoutePlayer& self, const Keys& keys, int frames) {
  self.play.Clear();
  const int late = keys != self.held ? self.late : 0;
  self.play.Hold(self.held, late);
  self.play.Hold(keys, frames);
  self.held = keys;
  return late;
}

}  // namespace

Keys KeysOf(const Move& move) {
  Keys keys;
  if (move.jump || move.drop) keys.insert(kKeyJump);
  if (move.drop || move.crouch) keys.insert(kKeyDown);
  if (move.way != 0) keys.insert(move.way > 0 ? kKeyRight : kKeyLeft);
  return keys;
}

int WayOf(const Keys& keys) { return keys.count(kKeyRight) != 0 ? 1 : keys.count(kKeyLeft) != 0 ? -1 : 0; }

RoutePlayer::RoutePlayer(ScriptedPlay& play, Perturbation perturbation)
    : play(play),
      late(perturbation.reactionDelay),
      pressJitter(perturbation.pressJitter),
      jitter(perturbation.seed),
      trace(std::getenv("QZ_ROUTE_TRACE") != nullptr) {}

void Trace(const RoutePlayer& self, const std::string& what) {
  if (!self.trace) return;
  std::fprintf(stderr, "  %-24s x %5d y %5d frame %6d magic %2d keys %d:", what.c_str(), player.x, player.y,
               self.play.frames(), player.magic, player.keys);
  for (const EnemyRecord& enemy : enemies) {
    if (enemy.life > 0) std::fprintf(stderr, " %d,%d(%d)", enemy.x, enemy.y, enemy.life);
  }
  std::fprintf(stderr, " bullets");
  for (const ShotRecord& bullet : enemyBullets) {
    if (bullet.inUse != 0) std::fprintf(stderr, " %d,%d", static_cast<int>(bullet.x), static_cast<int>(bullet.y));
  }
  std::fprintf(stderr, "\n");
}

std::string Hold(RoutePlayer& self, const Keys& keys, int frames) {
  const int late = Decide(self, keys, frames);
  return Outcome(self.play.RunUntil([&] { return self.play.Finished() || player.dead != 0; }, late + frames + kBlockingSlack));
}

std::string Press(RoutePlayer& self, const Keys& keys, int frames, const Keys& after) {
  const std::string problem = Hold(self, keys, frames);
  self.held = after;
  return problem;
}

int PressTo(const RoutePlayer& self, double x, const Keys& keys, int shortest, int longest) {
  const int late = keys != self.held ? self.late : 0;
  const auto miss = [&](int frames) { return std::fabs(RestX(WayOf(keys), frames, WayOf(self.held), late) - x); };
  int best = shortest;
  for (int frames = shortest + 1; frames <= longest; ++frames) {
    if (miss(frames) < miss(best)) best = frames;
  }
  return best;
}

namespace {

// Of `moves` (tried in order), the one to press now: a reaction late it
// clears the bullets, a few frames later it would not. None while one that
// clears can still wait; when none clears, the one met latest.
std::optional<Move> DodgeNow(const RoutePlayer& self, const std::vector<Move>& moves) {
  const int horizon = kHopHorizon + self.late;
  const auto hitAfter = [&](const Move& move, int wait) {
    return FirstBulletHit(CourseOf(wait, move, horizon, WayOf(self.held)), horizon, kHopMargin);
  };
  const Move* latest = &moves.front();
  int latestHit = -1;
  for (const Move& move : moves) {
    const int wait = KeysOf(move) != self.held ? self.late : 0, hit = hitAfter(move, wait);
    if (hit >= horizon && hitAfter(move, wait + kSpare) < horizon) return move;
    if (hit > latestHit) latest = &move, latestHit = hit;
  }
  if (latestHit >= horizon) return std::nullopt;
  return *latest;
}

template <typename Reached>
std::string HoldUntil(RoutePlayer& self, const Keys& keys, Reached reached) {
  Decide(self, keys, kStepFrames + kMinimumPress);
  const int start = self.play.frames();
  const bool done = self.play.RunUntil(
      [&] { return player.dead != 0 || (self.play.frames() - start >= kMinimumPress && reached()); }, kStepFrames);
  if (!done || player.dead != 0) return Outcome(done);
  // The reaction: the same keys a little longer.
  return Hold(self, keys, kMinimumPress);
}

template <typename Done, typename Act>
std::string Looking(const RoutePlayer& self, Done done, Act act) {
  for (const int start = self.play.frames(); !done();) {
    if (self.play.frames() - start > kStepFrames) return Outcome(false);
    if (std::string problem = act(); !problem.empty()) return problem;
  }
  return "";
}

std::string HoldTo(RoutePlayer& self, const Keys& keys, int column) {
  const int x = StandingX(column), way = WayOf(keys);
  // A late player lets go as far before the place as the body goes on meanwhile.
  return HoldUntil(self, keys, [&] { return way * (player.x + self.late * player.velocityX - x) >= 0; });
}

std::string RideAcross(RoutePlayer& self, int from, int to) {
  constexpr int kLongestStep = 30;
  const int nearX = from * kCellSize, farX = to * kCellSize;
  // The step that ends with the near foot over the platform's middle at its turn.
  const int press = PressTo(self, nearX + kCellSize / 2 - kFeetProbeLeft, {kKeyRight}, 1, kLongestStep);
  // Until the platform comes within `near` pixels of the turn at `x` (one
  // already closer is let go by).
  const auto comes = [&self](int x, int near) {
    int before = PlatformDistance(x);
    return HoldUntil(self, {}, [&] { return std::exchange(before, PlatformDistance(x)) > near && before <= near; });
  };
  std::string problem = comes(nearX, kMovingObjectStep * (self.late + press));
  if (problem.empty()) problem = Press(self, {kKeyRight}, press);
  if (problem.empty()) problem = comes(farX, kMovingObjectStep * self.late + kCellSize / 2);
  return problem.empty() ? HoldTo(self, {kKeyRight}, to + 2) : problem;
}

// A walk with no column holds ground at least `frames` frames.
std::string Walk(RoutePlayer& self, const Keys& keys, std::optional<int> column, int frames,
                 Meeting meeting = Meeting::kOnTheWay) {
  // The reaches of a Blaze Shot past the player's x: standing, it is fired at
  // what has come that close; low where a walk stops, at what is within
  // lowReach. An enemy closer still without the magic for a shot is jumped.
  const int flight = ShotFlight(0, player.shotLevel[0]);
  const int reach = kStandingMuzzle.x + flight - kShortOfFlight;
  const int lowReach = kCrouchedMuzzle.x + flight + kPastFlight;
  constexpr int kJumpedNear = 120;
  constexpr int kPause = 60;  // an enemy on its way is waited for through a pause in its walk
  const bool advancing = meeting == Meeting::kStanding;
  const int goal = column ? StandingX(*column) : player.x;
  const int way = !column ? 0 : goal >= player.x ? 1 : -1;
  const Keys walk = KeysOf(Move{way});
  Keys aim = keys;
  aim.erase(kKeyShot);
  // What is seen, and the arrival, are judged as they will be when a late answer comes.
  const int lead = self.late, horizon = kHopHorizon + lead;
  const int start = self.play.frames();
  int before = EnemyAhead(kHopHeight), nearer = start;
  bool coming = false;
  const auto done = [&] {
    if (way != 0) return way * (player.x + lead * player.velocityX - goal) >= 0;
    const int distance = EnemyAhead(kHopHeight);
    coming = distance >= 0 && distance <= reach;
    if (distance >= 0 && before >= 0 && distance < before) nearer = self.play.frames();
    before = distance;
    return self.play.frames() - start >= frames && !coming && (distance < 0 || self.play.frames() - nearer >= kPause);
  };
  return Looking(self, done, [&] {
    const bool walking = !walk.empty() && self.held == walk;
    const int enemy = EnemyAhead();
    const Move goingOn{walking ? way : 0, false, false, self.held.count(kKeyDown) != 0, horizon};
    if (player.airborne == 0 && FirstBulletHit(CourseOf(0, goingOn, horizon), horizon, kHopMargin) < horizon) {
      // A bullet on course: a hop on (not over a key just ahead), in place or
      // back, a crouch or a stop, as late as it still clears.
      const int ahead = way < 0 ? -1 : 1;
      std::vector<Move> dodges = {{0, true, false, false, kHopPress}, {0, false, false, true, 2 * kMinimumPress},
                                  {0, false, false, false, kMinimumPress}, {-ahead, true, false, false, kHopPress}};
      constexpr int kKeyNear = 200;
      const int key = ColumnOf(Key()), keyOff = ahead * (StandingX(key) - player.x);
      if (key < 0 || keyOff < 0 || keyOff > kKeyNear) dodges.insert(dodges.begin(), {ahead, true, false, false, kHopPress});
      const std::optional<Move> dodge = DodgeNow(self, dodges);
      if (dodge) Trace(self, "dodge " + LettersOf(KeysOf(*dodge)));
      return dodge ? Press(self, KeysOf(*dodge), dodge->press) : Hold(self, self.held, 1);
    }
    // Advancing, the walk stops where an enemy (one in a hop too) comes into
    // a Blaze Shot's reach of where it would stop.
    const int closing = static_cast<int>(lead * std::fabs(player.velocityX));
    const int hopping = EnemyAhead(kHopHeight);
    if (advancing && hopping >= 0 &&
        hopping - std::fabs(RestX(WayOf(player.velocityX), kMinimumPress + lead) - player.posX) <= lowReach) {
      Trace(self, "hold");
      return Walk(self, keys, std::nullopt, kMinimumPress);
    }
    // Otherwise a walk shoots low at an enemy in reach once it stops (in the
    // air only in a leap, not a hop). A low shot passes under a walker in its
    // hop: one seen hopping is shot coming down or just landed (or once
    // close); one that stood a pause's length is taken for a walker. The last
    // shot the magic allows waits until it comes down to the shot's line.
    const bool lastShot = player.magic < 2 * kBlazeCost;
    bool passesUnder = false;
    for (const EnemyRecord& e : enemies) {
      if (e.life <= 0) self.hopSeen.erase(&e);  // an enemy put in a freed slot starts unseen
      if (e.life <= 0 || e.flying != 0) continue;
      int& hopped = self.hopSeen[&e];
      if (e.moveState != 0) hopped = self.play.frames();
      const int stood = self.play.frames() - hopped;
      const bool timely = stood <= kMinimumPress || stood >= kPause || enemy - closing <= kJumpedNear;
      const bool overTheShot = lastShot && stood == 0 && e.y + e.bodyBottom < player.y + kCrouchedMuzzle.y;
      const bool over = e.fallSpeed < 0.0 || overTheShot;
      passesUnder = passesUnder || (std::max(0, e.x - player.x) == enemy && (over || !timely));
    }
    if (!advancing && (player.airborne == 0 || walking) && way >= 0 && enemy >= 0 && !passesUnder &&
        enemy - closing <= (way > 0 ? lowReach : reach) && player.magic >= kBlazeCost) {
      Trace(self, "shoot");
      // Only the first shot comes late: the walk goes on a reaction before
      // it, and a player facing back turns first.
      std::string problem = walking || player.facing < 0 ? Hold(self, {kKeyRight}, kMinimumPress) : "";
      if (problem.empty()) problem = Press(self, keys, kMinimumPress, aim);
      return problem.empty() ? Press(self, aim, kMinimumPress, keys) : problem;
    }
    if (player.airborne != 0) return Hold(self, self.held, 1);
    // A wall, gap or spikes are jumped at once, an enemy a reaction on; a
    // walker close in its hop is waited for to come down, given the magic.
    const bool enemyClose = way > 0 && enemy >= 0 && enemy - closing <= kJumpedNear;
    const bool obstacle = way > 0 && ObstacleAhead(lead);
    if (enemyClose && passesUnder && player.magic >= kBlazeCost && !obstacle) {
      Trace(self, "wait");
      return Hold(self, {}, kMinimumPress);
    }
    if (obstacle || enemyClose) {
      Trace(self, "leap");
      std::string problem = enemyClose && !obstacle ? Hold(self, walk, kMinimumPress) : "";
      return problem.empty() ? Press(self, {kKeyRight, kKeyJump}, kHopPress, walk) : problem;
    }
    // Walking on after a stop is a press of its own, but for a careful step
    // towards what is met standing.
    if (way != 0) return Hold(self, walk, walking || advancing ? 1 : kMinimumPress);
    return Hold(self, coming ? aim : Keys{}, kMinimumPress);
  });
}

std::string WalkShortOf(RoutePlayer& self, int column, int cells) {
  const int way = StandingX(column) > player.x ? 1 : -1;
  if (std::abs(StandingX(column) - player.x) <= cells * kCellSize) return "";
  return Walk(self, kWalkingShot, column - cells * way, 0);
}

std::string StopAt(RoutePlayer& self, int column) {
  // At rest up to kShort pixels before the column's middle or kPast past it.
  constexpr int kShort = 15, kPast = 3, kAim = (kShort - kPast) / 2, kLongestPress = 40;
  const int goal = StandingX(column);
  // On ice what is left below one frame's braking creeps on: as good as standing.
  const auto onIce = [] { return player.onSlipperyFloor != 0 && player.airborne == 0; };
  // The jump is held while the body rises, or it would fall short.
  const auto withWay = [](int way) { return KeysOf(Move{way, player.airborne != 0 && player.velocityY < 0}); };
  // Where the slide ends if let go now (on ice a brake held goes on as planned).
  const auto rest = [&] {
    if (onIce() && WayOf(self.held) * player.velocityX < 0) return RestX(0, 0);
    return RestX(0, 0, WayOf(self.held), withWay(0) != self.held ? self.late : 0);
  };
  const auto within = [&] {
    const double at = rest();
    return at >= goal - kShort && at <= goal + kPast;
  };
  const auto still = [&] {
    return player.airborne == 0 && std::fabs(player.velocityX) < (onIce() ? WalkAcceleration(player) : 0.01);
  };
  const std::string problem = Looking(self, [&] { return still() && within(); }, [&] {
    if (within()) {
      // On ice, braked for a planned count of frames, so lateness cannot turn it into walking back.
      const int brake = static_cast<int>(std::fabs(player.velocityX) / WalkAcceleration(player));
      return onIce() && !still() ? Press(self, withWay(-WayOf(player.velocityX)), brake) : Hold(self, withWay(0), 1);
    }
    // The press whose slide ends nearest the aim (on the ground a person's:
    // a walk going on is let go a reaction on at the soonest); while the
    // longest is, the walk goes on. On ice it ends in the brake.
    const int way = rest() > goal ? -1 : 1;
    const bool walkingOn = WayOf(self.held) == way && WayOf(player.velocityX) != -way;
    const int shortest = player.airborne != 0 ? 1 : kMinimumPress + (walkingOn ? self.late : 0);
    const int press = PressTo(self, goal - kAim, withWay(way), shortest, kLongestPress);
    return press == kLongestPress ? Hold(self, withWay(way), 1) : Press(self, withWay(way), press, withWay(onIce() ? -way : 0));
  });
  return problem.empty() ? Hold(self, {}, kMinimumPress) : problem;
}

std::string OpenChest(RoutePlayer& self, int column) {
  // The walk meets what comes up to three cells before the chest, then leans
  // into it from whichever side the body is on while its window is answered.
  std::string problem = WalkShortOf(self, column, 3);
  self.play.SetFrameHook(ConfirmingChest(self.play));
  const auto lean = [&] { return Hold(self, {StandingX(column) > player.x ? kKeyRight : kKeyLeft}, kMinimumPress); };
  if (problem.empty()) problem = Looking(self, [] { return ChestMark() == 1; }, lean);
  self.play.SetFrameHook({});
  return problem.empty() ? Hold(self, {}, 30) : problem;
}

std::string Answer(RoutePlayer& self, const std::function<Keys(bool)>& decide, const std::function<bool()>& done) {
  constexpr int kReading = 20, kLook = 20;  // a window read, a press looked at before the next
  int mainLoopFrame = self.play.frames();  // the last frame the game's main loop ran
  int nextDecision = 0;
  self.play.SetFrameHook([&] {
    // Frames pass without the main loop while the game waits in a window.
    const int now = self.play.frames(), inWindow = now - mainLoopFrame - 1;
    if (now < nextDecision || (inWindow > 0 && inWindow < kReading)) return;
    const Keys keys = decide(inWindow > 0);
    if (keys.empty()) return;
    self.held = {};  // each press is let go before the next is decided
    nextDecision = now + Decide(self, keys, kMinimumPress) + kMinimumPress + kLook;
  });
  const bool answered = self.play.RunUntil(
      [&] {
        mainLoopFrame = self.play.frames();
        return done() || player.dead != 0;
      },
      kStepFrames);
  self.play.SetFrameHook({});
  self.play.Clear();
  self.held = {};
  return Outcome(answered);
}

}  // namespace

Route& Route::Press(Keys keys, int frames) {
  steps_.push_back({LettersOf(keys) + ":" + std::to_string(frames), std::move(keys), frames, {}});
  return *this;
}
Route& Route::Wait(int frames) { return Press({}, frames); }

Route& Route::Add(std::string name, std::vector<Place> places, std::function<std::string(RoutePlayer&, Columns)> act) {
  const auto play = [places, act](RoutePlayer& self) {
    std::vector<int> columns;
    for (const Place& place : places) {
      columns.push_back(ColumnOf(place));
      if (columns.back() < 0) return std::string("the floor has no such place");
    }
    return act(self, columns);
  };
  steps_.push_back({std::move(name), {}, 0, play});
  return *this;
}

Route& Route::HoldTo(Keys keys, Place place) {
  return Add("HoldTo " + LettersOf(keys) + " " + place.label, {place},
             [keys](RoutePlayer& self, Columns at) { return routes::HoldTo(self, keys, at[0]); });
}
Route& Route::WalkTo(Place place) {
  return Add("WalkTo " + place.label, {place},
             [](RoutePlayer& self, Columns at) { return Walk(self, kWalkingShot, at[0], 0); });
}
Route& Route::Advance(Keys keys, Place place) {
  return Add("Advance " + LettersOf(keys) + " " + place.label, {place}, [keys](RoutePlayer& self, Columns at) {
    return Walk(self, keys, at[0], 0, Meeting::kStanding);
  });
}
Route& Route::StopAt(Place place) {
  return Add("StopAt " + place.label, {place}, [](RoutePlayer& self, Columns at) { return routes::StopAt(self, at[0]); });
}
Route& Route::WaitFor(std::string what, std::function<bool()> seen) {
  return Add("WaitFor " + what, {}, [seen](RoutePlayer& self, Columns) { return HoldUntil(self, {}, seen); });
}
Route& Route::Answer(std::string what, std::function<Keys(bool)> decide, std::function<bool()> done) {
  return Add("Answer " + what, {}, [decide, done](RoutePlayer& self, Columns) { return routes::Answer(self, decide, done); });
}
Route& Route::HoldGround(Keys keys, int frames) {
  return Add("HoldGround " + LettersOf(keys) + ":" + std::to_string(frames), {},
             [keys, frames](RoutePlayer& self, Columns) { return Walk(self, keys, std::nullopt, frames); });
}
Route& Route::RideAcross(Place from, Place to) {
  return Add("RideAcross " + from.label + " to " + to.label, {from, to},
             [](RoutePlayer& self, Columns at) { return routes::RideAcross(self, at[0], at[1]); });
}
Route& Route::Fight(Keys keys, FightSettings how) {
  return Add("Fight " + LettersOf(keys), how.place ? std::vector{*how.place} : std::vector<Place>{},
             [keys, how](RoutePlayer& self, Columns at) { return routes::Fight(self, keys, how, at.empty() ? -1 : at[0]); });
}

Route& Route::ReadSign() { return StopAt(Sign()).Press({kKeyUp}, 8).Wait(40).Press({kKeyJump}, 6).Wait(30); }
Route& Route::UseRecoveryPoint(Place where) {
  return StopAt(where).Press({kKeyUp}, 8).WaitFor("the magic filled", [] { return player.magic == player.maxMagic; });
}
Route& Route::OpenChest() {
  return Add("OpenChest at chest", {Chest()}, [](RoutePlayer& self, Columns at) { return routes::OpenChest(self, at[0]); });
}
Route& Route::TakeDoor(int number) {
  // The walk meets what comes up to two cells before the door.
  Add("WalkTo " + Door(number).label, {Door(number)},
      [](RoutePlayer& self, Columns at) { return WalkShortOf(self, at[0], 2); });
  return StopAt(Door(number)).Press({kKeyUp}, 8);
}
Route& Route::Then(const Route& more) {
  steps_.insert(steps_.end(), more.steps_.begin(), more.steps_.end());
  return *this;
}

std::string RoutePlayer::Run(const Route& route) {
  const std::vector<Route::Step>& steps = route.steps_;
  const auto jittered = [this](int frames) {
    if (pressJitter <= 0) return frames;
    return std::max(1, frames + std::uniform_int_distribution<int>(-pressJitter, pressJitter)(jitter));
  };
  for (std::size_t index = 0; index < steps.size();) {
    std::size_t end = index;
    std::string problem;
    play.Clear();
    if (!steps[index].act) {
      // Keys a looking step left held change late.
      int frames = Decide(*this, steps[index].keys, 0);
      for (; end < steps.size() && !steps[end].act; ++end) {
        const int length = jittered(steps[end].frames);
        play.Hold(steps[end].keys, length);
        held = steps[end].keys;
        frames += length;
      }
      // A jittered walk may run into a chest in the middle of these presses.
      play.SetFrameHook(ConfirmingChest(play));
      problem = Outcome(play.RunUntil([&] { return play.Finished() || player.dead != 0; }, frames + 400));
      play.SetFrameHook({});
    } else {
      problem = steps[end++].act(*this);
    }
    Trace(*this, steps[end - 1].name);
    if (!problem.empty()) return "step " + std::to_string(end - 1) + " " + steps[end - 1].name + ": " + problem;
    index = end;
  }
  return "";
}

}  // namespace veltrin::routes
