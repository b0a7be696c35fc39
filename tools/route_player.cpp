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

}  // namespace

Keys KeysOf(const Move& move) {
  Keys keys;
  if (move.jump || move.drop) keys.insert(kKeyJump);
  if (move.drop || move.crouch) keys.insert(kKeyDown);
  if (move.way != 0) keys.insert(move.way > 0 ? kKeyRight : kKeyLeft);
  return keys;
}

int WayOf(const Keys& keys) { return keys.count(kKeyRight) != 0 ? 1 : keys.count(kKeyLeft) != 0 ? -1 : 0; }

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
             [keys](RoutePlayer& self, Columns at) { return self.HoldTo(keys, at[0]); });
}
Route& Route::WalkTo(Place place) {
  return Add("WalkTo " + place.label, {place},
             [](RoutePlayer& self, Columns at) { return self.Walk(kWalkingShot, at[0], 0); });
}
Route& Route::Advance(Keys keys, Place place) {
  return Add("Advance " + LettersOf(keys) + " " + place.label, {place}, [keys](RoutePlayer& self, Columns at) {
    return self.Walk(keys, at[0], 0, RoutePlayer::Meeting::kStanding);
  });
}
Route& Route::StopAt(Place place) {
  return Add("StopAt " + place.label, {place}, [](RoutePlayer& self, Columns at) { return self.StopAt(at[0]); });
}
Route& Route::WaitFor(std::string what, std::function<bool()> seen) {
  return Add("WaitFor " + what, {}, [seen](RoutePlayer& self, Columns) { return self.HoldUntil({}, seen); });
}
Route& Route::Answer(std::string what, std::function<Keys(bool)> decide, std::function<bool()> done) {
  return Add("Answer " + what, {}, [decide, done](RoutePlayer& self, Columns) { return self.Answer(decide, done); });
}
Route& Route::HoldGround(Keys keys, int frames) {
  return Add("HoldGround " + LettersOf(keys) + ":" + std::to_string(frames), {},
             [keys, frames](RoutePlayer& self, Columns) { return self.Walk(keys, std::nullopt, frames); });
}
Route& Route::RideAcross(Place from, Place to) {
  return Add("RideAcross " + from.label + " to " + to.label, {from, to},
             [](RoutePlayer& self, Columns at) { return self.RideAcross(at[0], at[1]); });
}
Route& Route::Fight(Keys keys, FightSettings how) {
  return Add("Fight " + LettersOf(keys), how.place ? std::vector{*how.place} : std::vector<Place>{},
             [keys, how](RoutePlayer& self, Columns at) { return self.Fight(keys, how, at.empty() ? -1 : at[0]); });
}

Route& Route::ReadSign() { return StopAt(Sign()).Press({kKeyUp}, 8).Wait(40).Press({kKeyJump}, 6).Wait(30); }
Route& Route::UseRecoveryPoint(Place where) {
  return StopAt(where).Press({kKeyUp}, 8).WaitFor("the magic filled", [] { return player.magic == player.maxMagic; });
}
Route& Route::OpenChest() {
  return Add("OpenChest at chest", {Chest()}, [](RoutePlayer& self, Columns at) { return self.OpenChest(at[0]); });
}
Route& Route::TakeDoor(int number) {
  // The walk meets what comes up to two cells before the door.
  Add("WalkTo " + Door(number).label, {Door(number)},
      [](RoutePlayer& self, Columns at) { return self.WalkShortOf(at[0], 2); });
  return StopAt(Door(number)).Press({kKeyUp}, 8);
}
Route& Route::Then(const Route& more) {
  steps_.insert(steps_.end(), more.steps_.begin(), more.steps_.end());
  return *this;
}

RoutePlayer::RoutePlayer(ScriptedPlay& play, Perturbation perturbation)
    : play_(play),
      perturbation_(perturbation),
      jitter_(perturbation.seed),
      trace_(std::getenv("QZ_ROUTE_TRACE") != nullptr) {}

int RoutePlayer::Jittered(int frames) {
  if (perturbation_.pressJitter <= 0) return frames;
  std::uniform_int_distribution<int> change(-perturbation_.pressJitter, perturbation_.pressJitter);
  return std::max(1, frames + change(jitter_));
}

std::string RoutePlayer::Run(const Route& route) {
  const std::vector<Route::Step>& steps = route.steps_;
  for (std::size_t index = 0; index < steps.size();) {
    std::size_t end = index;
    std::string problem;
    play_.Clear();
    if (!steps[index].act) {
      // Keys a looking step left held change late.
      int frames = Decide(steps[index].keys, 0);
      for (; end < steps.size() && !steps[end].act; ++end) {
        const int length = Jittered(steps[end].frames);
        play_.Hold(steps[end].keys, length);
        held_ = steps[end].keys;
        frames += length;
      }
      // A jittered walk may run into a chest in the middle of these presses.
      play_.SetFrameHook(ConfirmingChest(play_));
      problem = Outcome(play_.RunUntil([&] { return play_.Finished() || player.dead != 0; }, frames + 400));
      play_.SetFrameHook({});
    } else {
      problem = steps[end++].act(*this);
    }
    Trace(steps[end - 1].name);
    if (!problem.empty()) return "step " + std::to_string(end - 1) + " " + steps[end - 1].name + ": " + problem;
    index = end;
  }
  return "";
}

void RoutePlayer::Trace(const std::string& what) const {
  if (!trace_) return;
  std::fprintf(stderr, "  %-24s x %5d y %5d frame %6d magic %2d keys %d:", what.c_str(), player.x, player.y,
               play_.frames(), player.magic, player.keys);
  for (const EnemyRecord& enemy : enemies) {
    if (enemy.life > 0) std::fprintf(stderr, " %d,%d(%d)", enemy.x, enemy.y, enemy.life);
  }
  std::fprintf(stderr, " bullets");
  for (const ShotRecord& bullet : enemyBullets) {
    if (bullet.inUse != 0) std::fprintf(stderr, " %d,%d", static_cast<int>(bullet.x), static_cast<int>(bullet.y));
  }
  std::fprintf(stderr, "\n");
}

int RoutePlayer::Decide(const Keys& keys, int frames) {
  play_.Clear();
  const int late = keys != held_ ? perturbation_.reactionDelay : 0;
  play_.Hold(held_, late);
  play_.Hold(keys, frames);
  held_ = keys;
  return late;
}

std::string RoutePlayer::Hold(const Keys& keys, int frames) {
  const int late = Decide(keys, frames);
  return Outcome(play_.RunUntil([&] { return play_.Finished() || player.dead != 0; }, late + frames + kBlockingSlack));
}

std::string RoutePlayer::Press(const Keys& keys, int frames, const Keys& after) {
  const std::string problem = Hold(keys, frames);
  held_ = after;
  return problem;
}

// Of `moves` (tried in order), the one to press now: a reaction late it
// clears the bullets, a few frames later it would not. None while one that
// clears can still wait; when none clears, the one met latest.
std::optional<Move> RoutePlayer::DodgeNow(const std::vector<Move>& moves) {
  const int late = perturbation_.reactionDelay, horizon = kHopHorizon + late;
  const auto hitAfter = [&](const Move& move, int wait) {
    return FirstBulletHit(CourseOf(wait, move, horizon, WayOf(held_)), horizon, kHopMargin);
  };
  const Move* latest = &moves.front();
  int latestHit = -1;
  for (const Move& move : moves) {
    const int wait = KeysOf(move) != held_ ? late : 0, hit = hitAfter(move, wait);
    if (hit >= horizon && hitAfter(move, wait + kSpare) < horizon) return move;
    if (hit > latestHit) latest = &move, latestHit = hit;
  }
  if (latestHit >= horizon) return std::nullopt;
  return *latest;
}

template <typename Reached>
std::string RoutePlayer::HoldUntil(const Keys& keys, Reached reached) {
  Decide(keys, kStepFrames + kMinimumPress);
  const int start = play_.frames();
  const bool done = play_.RunUntil(
      [&] { return player.dead != 0 || (play_.frames() - start >= kMinimumPress && reached()); }, kStepFrames);
  if (!done || player.dead != 0) return Outcome(done);
  // The reaction: the same keys a little longer.
  return Hold(keys, kMinimumPress);
}

template <typename Done, typename Act>
std::string RoutePlayer::Looking(Done done, Act act) {
  for (const int start = play_.frames(); !done();) {
    if (play_.frames() - start > kStepFrames) return Outcome(false);
    if (std::string problem = act(); !problem.empty()) return problem;
  }
  return "";
}

std::string RoutePlayer::HoldTo(const Keys& keys, int column) {
  const int x = StandingX(column), way = WayOf(keys);
  // A late player lets go as far before the place as the body goes on meanwhile.
  return HoldUntil(keys, [&] { return way * (player.x + perturbation_.reactionDelay * player.velocityX - x) >= 0; });
}

std::string RoutePlayer::RideAcross(int from, int to) {
  constexpr int kLongestStep = 30;
  const int nearX = from * kCellSize, farX = to * kCellSize;
  // The step that ends with the near foot over the platform's middle at its turn.
  const int press = PressTo(nearX + kCellSize / 2 - kFeetProbeLeft, {kKeyRight}, 1, kLongestStep);
  // Until the platform comes within `near` pixels of the turn at `x` (one
  // already closer is let go by).
  const auto comes = [this](int x, int near) {
    int before = PlatformDistance(x);
    return HoldUntil({}, [&] { return std::exchange(before, PlatformDistance(x)) > near && before <= near; });
  };
  const int late = perturbation_.reactionDelay;
  std::string problem = comes(nearX, kMovingObjectStep * (late + press));
  if (problem.empty()) problem = Press({kKeyRight}, press);
  if (problem.empty()) problem = comes(farX, kMovingObjectStep * late + kCellSize / 2);
  return problem.empty() ? HoldTo({kKeyRight}, to + 2) : problem;
}

std::string RoutePlayer::Walk(const Keys& keys, std::optional<int> column, int frames, Meeting meeting) {
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
  const int lead = perturbation_.reactionDelay, horizon = kHopHorizon + lead;
  const int start = play_.frames();
  int before = EnemyAhead(kHopHeight), nearer = start;
  bool coming = false;
  const auto done = [&] {
    if (way != 0) return way * (player.x + lead * player.velocityX - goal) >= 0;
    const int distance = EnemyAhead(kHopHeight);
    coming = distance >= 0 && distance <= reach;
    if (distance >= 0 && before >= 0 && distance < before) nearer = play_.frames();
    before = distance;
    return play_.frames() - start >= frames && !coming && (distance < 0 || play_.frames() - nearer >= kPause);
  };
  return Looking(done, [&] {
    const bool walking = !walk.empty() && held_ == walk;
    const int enemy = EnemyAhead();
    const Move goingOn{walking ? way : 0, false, false, held_.count(kKeyDown) != 0, horizon};
    if (player.airborne == 0 && FirstBulletHit(CourseOf(0, goingOn, horizon), horizon, kHopMargin) < horizon) {
      // A bullet on course: a hop on (not over a key just ahead), in place or
      // back, a crouch or a stop, as late as it still clears.
      const int ahead = way < 0 ? -1 : 1;
      std::vector<Move> dodges = {{0, true, false, false, kHopPress}, {0, false, false, true, 2 * kMinimumPress},
                                  {0, false, false, false, kMinimumPress}, {-ahead, true, false, false, kHopPress}};
      constexpr int kKeyNear = 200;
      const int key = ColumnOf(Key()), keyOff = ahead * (StandingX(key) - player.x);
      if (key < 0 || keyOff < 0 || keyOff > kKeyNear) dodges.insert(dodges.begin(), {ahead, true, false, false, kHopPress});
      const std::optional<Move> dodge = DodgeNow(dodges);
      if (dodge) Trace("dodge " + LettersOf(KeysOf(*dodge)));
      return dodge ? Press(KeysOf(*dodge), dodge->press) : Hold(held_, 1);
    }
    // Advancing, the walk stops where an enemy (one in a hop too) comes into
    // a Blaze Shot's reach of where it would stop.
    const int closing = static_cast<int>(lead * std::fabs(player.velocityX));
    const int hopping = EnemyAhead(kHopHeight);
    if (advancing && hopping >= 0 &&
        hopping - std::fabs(RestX(WayOf(player.velocityX), kMinimumPress + lead) - player.posX) <= lowReach) {
      Trace("hold");
      return Walk(keys, std::nullopt, kMinimumPress);
    }
    // Otherwise a walk shoots low at an enemy in reach once it stops (in the
    // air only in a leap, not a hop). A low shot passes under a walker in its
    // hop: one seen hopping is shot coming down or just landed (or once
    // close); one that stood a pause's length is taken for a walker. The last
    // shot the magic allows waits until it comes down to the shot's line.
    const bool lastShot = player.magic < 2 * kBlazeCost;
    bool passesUnder = false;
    for (const EnemyRecord& e : enemies) {
      if (e.life <= 0) hopSeen_.erase(&e);  // an enemy put in a freed slot starts unseen
      if (e.life <= 0 || e.flying != 0) continue;
      int& hopped = hopSeen_[&e];
      if (e.moveState != 0) hopped = play_.frames();
      const int stood = play_.frames() - hopped;
      const bool timely = stood <= kMinimumPress || stood >= kPause || enemy - closing <= kJumpedNear;
      const bool overTheShot = lastShot && stood == 0 && e.y + e.bodyBottom < player.y + kCrouchedMuzzle.y;
      const bool over = e.fallSpeed < 0.0 || overTheShot;
      passesUnder = passesUnder || (std::max(0, e.x - player.x) == enemy && (over || !timely));
    }
    if (!advancing && (player.airborne == 0 || walking) && way >= 0 && enemy >= 0 && !passesUnder &&
        enemy - closing <= (way > 0 ? lowReach : reach) && player.magic >= kBlazeCost) {
      Trace("shoot");
      // Only the first shot comes late: the walk goes on a reaction before
      // it, and a player facing back turns first.
      std::string problem = walking || player.facing < 0 ? Hold({kKeyRight}, kMinimumPress) : "";
      if (problem.empty()) problem = Press(keys, kMinimumPress, aim);
      return problem.empty() ? Press(aim, kMinimumPress, keys) : problem;
    }
    if (player.airborne != 0) return Hold(held_, 1);
    // A wall, gap or spikes are jumped at once, an enemy a reaction on; a
    // walker close in its hop is waited for to come down, given the magic.
    const bool enemyClose = way > 0 && enemy >= 0 && enemy - closing <= kJumpedNear;
    const bool obstacle = way > 0 && ObstacleAhead(lead);
    if (enemyClose && passesUnder && player.magic >= kBlazeCost && !obstacle) {
      Trace("wait");
      return Hold({}, kMinimumPress);
    }
    if (obstacle || enemyClose) {
      Trace("leap");
      std::string problem = enemyClose && !obstacle ? Hold(walk, kMinimumPress) : "";
      return problem.empty() ? Press({kKeyRight, kKeyJump}, kHopPress, walk) : problem;
    }
    // Walking on after a stop is a press of its own, but for a careful step
    // towards what is met standing.
    if (way != 0) return Hold(walk, walking || advancing ? 1 : kMinimumPress);
    return Hold(coming ? aim : Keys{}, kMinimumPress);
  });
}

std::string RoutePlayer::WalkShortOf(int column, int cells) {
  const int way = StandingX(column) > player.x ? 1 : -1;
  if (std::abs(StandingX(column) - player.x) <= cells * kCellSize) return "";
  return Walk(kWalkingShot, column - cells * way, 0);
}

int RoutePlayer::PressTo(double x, const Keys& keys, int shortest, int longest) const {
  const int late = keys != held_ ? perturbation_.reactionDelay : 0;
  const auto miss = [&](int frames) { return std::fabs(RestX(WayOf(keys), frames, WayOf(held_), late) - x); };
  int best = shortest;
  for (int frames = shortest + 1; frames <= longest; ++frames) {
    if (miss(frames) < miss(best)) best = frames;
  }
  return best;
}

std::string RoutePlayer::StopAt(int column) {
  // At rest up to kShort pixels before the column's middle or kPast past it.
  constexpr int kShort = 15, kPast = 3, kAim = (kShort - kPast) / 2, kLongestPress = 40;
  const int goal = StandingX(column);
  // On ice what is left below one frame's braking creeps on: as good as standing.
  const auto onIce = [] { return player.onSlipperyFloor != 0 && player.airborne == 0; };
  // The jump is held while the body rises, or it would fall short.
  const auto withWay = [](int way) { return KeysOf(Move{way, player.airborne != 0 && player.velocityY < 0}); };
  // Where the slide ends if let go now (on ice a brake held goes on as planned).
  const auto rest = [&] {
    if (onIce() && WayOf(held_) * player.velocityX < 0) return RestX(0, 0);
    return RestX(0, 0, WayOf(held_), withWay(0) != held_ ? perturbation_.reactionDelay : 0);
  };
  const auto within = [&] {
    const double at = rest();
    return at >= goal - kShort && at <= goal + kPast;
  };
  const auto still = [&] {
    return player.airborne == 0 && std::fabs(player.velocityX) < (onIce() ? WalkAcceleration(player) : 0.01);
  };
  const std::string problem = Looking([&] { return still() && within(); }, [&] {
    if (within()) {
      // On ice, braked for a planned count of frames, so lateness cannot turn it into walking back.
      const int brake = static_cast<int>(std::fabs(player.velocityX) / WalkAcceleration(player));
      return onIce() && !still() ? Press(withWay(-WayOf(player.velocityX)), brake) : Hold(withWay(0), 1);
    }
    // The press whose slide ends nearest the aim (on the ground a person's:
    // a walk going on is let go a reaction on at the soonest); while the
    // longest is, the walk goes on. On ice it ends in the brake.
    const int way = rest() > goal ? -1 : 1;
    const bool walkingOn = WayOf(held_) == way && WayOf(player.velocityX) != -way;
    const int shortest = player.airborne != 0 ? 1 : kMinimumPress + (walkingOn ? perturbation_.reactionDelay : 0);
    const int press = PressTo(goal - kAim, withWay(way), shortest, kLongestPress);
    return press == kLongestPress ? Hold(withWay(way), 1) : Press(withWay(way), press, withWay(onIce() ? -way : 0));
  });
  return problem.empty() ? Hold({}, kMinimumPress) : problem;
}

std::string RoutePlayer::OpenChest(int column) {
  // The walk meets what comes up to three cells before the chest, then leans
  // into it from whichever side the body is on while its window is answered.
  std::string problem = WalkShortOf(column, 3);
  play_.SetFrameHook(ConfirmingChest(play_));
  const auto lean = [&] { return Hold({StandingX(column) > player.x ? kKeyRight : kKeyLeft}, kMinimumPress); };
  if (problem.empty()) problem = Looking([] { return ChestMark() == 1; }, lean);
  play_.SetFrameHook({});
  return problem.empty() ? Hold({}, 30) : problem;
}

std::string RoutePlayer::Answer(const std::function<Keys(bool)>& decide, const std::function<bool()>& done) {
  constexpr int kReading = 20, kLook = 20;  // a window read, a press looked at before the next
  int mainLoopFrame = play_.frames();  // the last frame the game's main loop ran
  int nextDecision = 0;
  play_.SetFrameHook([&] {
    // Frames pass without the main loop while the game waits in a window.
    const int now = play_.frames(), inWindow = now - mainLoopFrame - 1;
    if (now < nextDecision || (inWindow > 0 && inWindow < kReading)) return;
    const Keys keys = decide(inWindow > 0);
    if (keys.empty()) return;
    held_ = {};  // each press is let go before the next is decided
    nextDecision = now + Decide(keys, kMinimumPress) + kMinimumPress + kLook;
  });
  const bool answered = play_.RunUntil(
      [&] {
        mainLoopFrame = play_.frames();
        return done() || player.dead != 0;
      },
      kStepFrames);
  play_.SetFrameHook({});
  play_.Clear();
  held_ = {};
  return Outcome(answered);
}

}  // namespace veltrin::routes
