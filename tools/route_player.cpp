#include "tools/route_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/items.h"
#include "game/map_cells.h"
#include "game/player_physics.h"
#include "game/player_shots.h"
#include "game/pools.h"

namespace veltrin::routes {
namespace {

// The Blaze Shot's magic cost (shot kind 0).
const int kBlazeCost = ShotMagicCost(0);
// How far ahead of the player's x an enemy's x may be for a low Blaze Shot
// to strike it: from standing, one further off is walked closer first.
constexpr int kBlazeReach = 232;
// The longest a looking step looks before it gives up.
constexpr int kStepFrames = 3000;
// A blocking sequence met on the way (the key switch's flash) runs frames of
// its own past a hold's count.
constexpr int kBlockingSlack = 60;

std::string Outcome(bool done) {
  const std::string where = " on floor " + std::to_string(floorNumber + 1) + " at " + std::to_string(player.x) +
                            "," + std::to_string(player.y);
  if (player.dead != 0) return "died" + where;
  if (!done) return "frames ran out" + where;
  return "";
}


std::string Named(const char* what, const Place& place) {
  static constexpr const char* kNames[] = {"column", "mark", "sign", "recovery point", "shop", "check cube",
                                           "door", "chest", "key", "key switch"};
  std::string name = std::string(what) + " " + kNames[static_cast<int>(place.kind)];
  if (place.kind == Place::Kind::kColumn || place.kind == Place::Kind::kDoor) name += " " + std::to_string(place.number);
  if (place.kind == Place::Kind::kMark) name += " " + place.name;
  return name;
}

// The place's column, or -1 with *problem set.
int Locate(const Place& place, std::string* problem) {
  const int column = ColumnOf(place);
  if (column < 0) *problem = "the floor has no such place";
  return column;
}

bool FloorNumberValid() { return floorNumber >= 0 && floorNumber < kFloorCount; }

// True while the chest's window shows what it held: the content is recorded,
// the chest not yet marked open.
bool ChestWindowOpen() {
  if (!FloorNumberValid()) return false;
  const auto& progress = gameState.FloorProgress;
  return progress.floorValue[floorNumber] != -1 && progress.floorItems[floorNumber][kSlotChest] == 0;
}
bool ChestOpened() { return FloorNumberValid() && gameState.FloorProgress.floorItems[floorNumber][kSlotChest] == 1; }


// A hop over a bullet on course for the body: how far ahead in frames (more
// the reaction's lateness) and how near in pixels the bullets are timed, the
// jump's press, and the frames to spare when it is timed to the latest.
constexpr int kHopHorizon = 60, kHopMargin = 4, kHopPress = 20, kSpare = 4;
constexpr Move kHopInPlace{0, true, false, false, kHopPress}, kHopOn{1, true, false, false, kHopPress},
    kHopBack{-1, true, false, false, kHopPress};

// How high over the body an enemy in a hop is watched for.
constexpr int kHopHeight = 2 * kCellSize;

// How far the walk being made goes on once the player decides to stop: the
// reaction, late by `late` frames, then the slide; 0 standing.
double StopDistance(int late) {
  const int way = player.velocityX > 0.0 ? 1 : player.velocityX < 0.0 ? -1 : 0;
  return std::fabs(RestX(way, kMinimumPress + late) - player.posX);
}

}  // namespace

std::string Letters(const Keys& keys) {
  static constexpr char kLetters[] = "LRUDJXCAS";
  std::string letters;
  for (char c : kLetters) {
    if (c != '\0' && keys.count(testing::KeyOfLetter(c)) != 0) letters += c;
  }
  return letters.empty() ? "-" : letters;
}

Keys KeysOf(const Move& move) {
  Keys keys;
  if (move.jump || move.drop) keys.insert(kKeyJump);
  if (move.drop || move.crouch) keys.insert(kKeyDown);
  if (move.way != 0) keys.insert(move.way > 0 ? kKeyRight : kKeyLeft);
  return keys;
}

Route& Route::Press(Keys keys, int frames) {
  steps_.push_back({Letters(keys) + ":" + std::to_string(frames), std::move(keys), frames, {}});
  return *this;
}

Route& Route::Wait(int frames) { return Press({}, frames); }

Route& Route::Taps(Keys keys, int count) {
  for (int i = 0; i < count; ++i) Press(keys, kMinimumPress).Wait(kMinimumPress);
  return *this;
}

Route& Route::Add(std::string name, std::function<std::string(RoutePlayer&)> act) {
  steps_.push_back({std::move(name), {}, 0, std::move(act)});
  return *this;
}

Route& Route::AddAt(const std::string& what, Place place, std::function<std::string(RoutePlayer&, int)> act) {
  return Add(Named(what.c_str(), place), [place, act](RoutePlayer& self) {
    std::string problem;
    const int column = Locate(place, &problem);
    return problem.empty() ? act(self, column) : problem;
  });
}

Route& Route::HoldTo(Keys keys, Place place) {
  return AddAt("HoldTo " + Letters(keys), place, [keys](RoutePlayer& self, int column) { return self.HoldTo(keys, column); });
}
Route& Route::WalkTo(Place place) { return AddAt("WalkTo", place, &RoutePlayer::WalkTo); }
Route& Route::StopAt(Place place) { return AddAt("StopAt", place, &RoutePlayer::StopAt); }
Route& Route::StepTo(Place place) { return AddAt("StepTo", place, &RoutePlayer::StepTo); }
Route& Route::LandOn(Place place) { return AddAt("LandOn", place, &RoutePlayer::LandOn); }
Route& Route::Advance(Keys keys, Place place) {
  return AddAt("Advance " + Letters(keys), place, [keys](RoutePlayer& self, int column) { return self.Advance(keys, column); });
}

Route& Route::WaitFor(std::string what, std::function<bool()> seen) {
  return Add("WaitFor " + what, [seen](RoutePlayer& self) { return self.WaitFor(seen); });
}

Route& Route::Answer(std::string what, std::function<Keys(bool)> decide, std::function<bool()> done) {
  return Add("Answer " + what, [decide, done](RoutePlayer& self) { return self.Answer(decide, done); });
}

Route& Route::HoldGround(Keys keys, int frames) {
  return Add("HoldGround " + Letters(keys) + ":" + std::to_string(frames),
             [keys, frames](RoutePlayer& self) { return self.HoldGround(keys, frames); });
}

Route& Route::RideAcross(Place from, Place to) {
  return Add(Named("RideAcross", from) + Named(" to", to), [from, to](RoutePlayer& self) {
    std::string problem;
    const int near = Locate(from, &problem), far = Locate(to, &problem);
    return problem.empty() ? self.RideAcross(near, far) : problem;
  });
}

Route& Route::Fight(Keys keys, FightSettings how) {
  return Add("Fight " + Letters(keys), [keys, how](RoutePlayer& self) {
    std::string problem;
    const int column = how.place ? Locate(*how.place, &problem) : -1;
    return problem.empty() ? self.Fight(keys, how, column) : problem;
  });
}

Route& Route::ReadSign() { return StopAt(Sign()).Press({kKeyUp}, 8).Wait(40).Press({kKeyJump}, 6).Wait(30); }

Route& Route::UseRecoveryPoint(Place where) { return StopAt(where).Press({kKeyUp}, 8).Wait(90); }

Route& Route::OpenChest() {
  return Add("OpenChest", [](RoutePlayer& self) {
    std::string problem;
    const int column = Locate(Chest(), &problem);
    if (!problem.empty()) return problem;
    // The walk meets what comes up to three cells before the chest, then
    // leans into it.
    constexpr int kLean = 3;
    const int way = StandingX(column) > player.x ? 1 : -1;
    if (std::abs(StandingX(column) - player.x) > kLean * kCellSize) problem = self.WalkTo(column - kLean * way);
    return problem.empty() ? self.AnswerChest() : problem;
  });
}

Route& Route::TakeDoor(int number) {
  Add("WalkTo door " + std::to_string(number), [number](RoutePlayer& self) {
    std::string problem;
    const int column = Locate(Door(number), &problem);
    if (!problem.empty()) return problem;
    // The walk meets what comes up to two cells before the door.
    constexpr int kShort = 2;
    const int way = StandingX(column) > player.x ? 1 : -1;
    return std::abs(StandingX(column) - player.x) > kShort * kCellSize ? self.WalkTo(column - kShort * way) : "";
  });
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
      int frames = steps[index].keys != held_ ? perturbation_.reactionDelay : 0;
      play_.Hold(held_, frames);
      for (; end < steps.size() && !steps[end].act; ++end) {
        const int length = Jittered(steps[end].frames);
        play_.Hold(steps[end].keys, length);
        held_ = steps[end].keys;
        frames += length;
      }
      // A chest a jittered walk runs into opens its window in the middle of
      // these presses: once they are out, Confirm is pressed as a person
      // reading it would, until it closes.
      int openFor = 0;
      play_.SetFrameHook([&] {
        if (!ChestWindowOpen()) return;
        if (++openFor > kChestReadingFrames + 2 && play_.Finished()) play_.Hold({kKeyJump}, kMinimumPress).Hold({}, 2);
      });
      problem = Outcome(play_.RunUntil([&] { return play_.Finished() || player.dead != 0; }, frames + 400));
      play_.SetFrameHook({});
    } else {
      problem = steps[end++].act(*this);
    }
    if (trace_) Trace(steps[end - 1].name);
    if (!problem.empty()) return "step " + std::to_string(end - 1) + " " + steps[end - 1].name + ": " + problem;
    index = end;
  }
  return "";
}

void RoutePlayer::Trace(const std::string& what) const {
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

std::string RoutePlayer::Hold(const Keys& keys, int frames) {
  play_.Clear();
  // A new decision reaches the game late: what was held goes on meanwhile.
  const int late = keys != held_ ? perturbation_.reactionDelay : 0;
  play_.Hold(held_, late);
  play_.Hold(keys, frames);
  held_ = keys;
  return Outcome(play_.RunUntil([&] { return play_.Finished() || player.dead != 0; }, late + frames + kBlockingSlack));
}

std::string RoutePlayer::Press(const Keys& keys, int frames, const Keys& after) {
  const std::string problem = Hold(keys, frames);
  // A press of planned length ends on time, late reactions or not.
  held_ = after;
  return problem;
}

std::string RoutePlayer::React(const Keys& now, const Keys& answer, int frames, const Keys& after) {
  const std::string problem = Hold(now, kMinimumPress);
  return problem.empty() ? Press(answer, frames, after) : problem;
}

std::optional<Move> RoutePlayer::DodgeNow(const std::vector<Move>& moves) {
  // When none clears, a move started up to this much later may still be met later.
  constexpr int kLatestStart = 30;
  const int late = perturbation_.reactionDelay, horizon = kHopHorizon + late;
  const int heldWay = held_.count(kKeyRight) != 0 ? 1 : held_.count(kKeyLeft) != 0 ? -1 : 0;
  const auto hitAfter = [&](const Move& move, int wait) {
    return FirstBulletHit(CourseOf(wait, move, horizon, heldWay), horizon, kHopMargin);
  };
  const Move* latest = &moves.front();
  int latestHit = -1, laterHit = -1;
  for (const Move& move : moves) {
    const int wait = KeysOf(move) != held_ ? late : 0, hit = hitAfter(move, wait);
    if (hit >= horizon && hitAfter(move, wait + kSpare) < horizon) return move;
    if (hit > latestHit) latest = &move, latestHit = hit;
    for (int later = wait + kSpare; later <= wait + kLatestStart; later += kSpare) {
      laterHit = std::max(laterHit, hitAfter(move, later));
    }
  }
  if (latestHit >= horizon || laterHit > latestHit) return std::nullopt;
  return *latest;
}

template <typename Reached>
std::string RoutePlayer::HoldUntil(const Keys& keys, Reached reached) {
  play_.Clear();
  if (keys != held_) play_.Hold(held_, perturbation_.reactionDelay);
  play_.Hold(keys, kStepFrames + kMinimumPress);
  held_ = keys;
  const int start = play_.frames();
  const bool done = play_.RunUntil(
      [&] { return player.dead != 0 || (play_.frames() - start >= kMinimumPress && reached()); }, kStepFrames);
  if (!done || player.dead != 0) return Outcome(done);
  // The reaction: the same keys a little longer (and, late, longer still when
  // the next step changes them).
  const int seen = play_.frames();
  return Outcome(
      play_.RunUntil([&] { return player.dead != 0 || play_.frames() - seen >= kMinimumPress; }, kMinimumPress + 20));
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
  const int x = StandingX(column);
  // A player who reacts late lets go as far before the place as the body
  // goes on meanwhile.
  const auto there = [this] { return player.x + perturbation_.reactionDelay * player.velocityX; };
  if (keys.count(kKeyLeft) != 0) return HoldUntil(keys, [&] { return there() <= x; });
  return HoldUntil(keys, [&] { return there() >= x; });
}

std::string RoutePlayer::RideAcross(int from, int to) {
  constexpr int kLongestStep = 30, kFrames = 60;
  const int nearX = from * kCellSize, farX = to * kCellSize;
  // The press whose walk and slide end with the near foot over the middle
  // of the platform at its turn.
  const int target = nearX + kCellSize / 2 - kFeetProbeLeft;
  int press = 1;
  double miss = kFieldRightPixel;
  for (int frames = 1; frames <= kLongestStep; ++frames) {
    const double end = CourseOf(0, Move{1, false, false, false, frames}, kFrames).back().x;
    if (std::fabs(end - target) < miss) press = frames, miss = std::fabs(end - target);
  }
  // Waits until the platform comes within `near` pixels of the turn at `x`:
  // one already closer is let go by and waited for again.
  const auto comes = [this](int x, int near) {
    int before = PlatformDistance(x);
    return HoldUntil({}, [&] {
      const int distance = PlatformDistance(x);
      const bool coming = distance <= near && before > near;
      before = distance;
      return coming;
    });
  };
  // The step starts as the platform comes within as many frames of its turn
  // as the step and the reaction take.
  const int late = perturbation_.reactionDelay;
  std::string problem = comes(nearX, kMovingObjectStep * (late + press));
  if (problem.empty()) problem = Press({kKeyRight}, press);
  // Off at the far turn: the walk starts as the platform comes to it.
  if (problem.empty()) problem = comes(farX, kMovingObjectStep * late + kCellSize / 2);
  return problem.empty() ? HoldTo({kKeyRight}, to + 2) : problem;
}

std::string RoutePlayer::WaitFor(const std::function<bool()>& seen) {
  return HoldUntil({}, seen);
}

std::string RoutePlayer::HoldGround(const Keys& keys, int frames) {
  // A Blaze Shot flies 144 pixels from the muzzle, 56 ahead of the player's
  // x: standing, it is fired at what has come that close.
  constexpr int kReach = 180;
  Keys aim = keys;
  aim.erase(kKeyShot);
  // An enemy on its way is waited for from as far off as the screen shows
  // it, through a pause in its walk.
  constexpr int kPause = 60;
  const int start = play_.frames();
  int before = EnemyDistanceAhead(SightAhead(), kHopHeight), nearer = start;
  bool coming = false;
  // Judged at each look: how near the enemy ahead is, and whether it still comes.
  const auto stood = [&] {
    const int distance = EnemyDistanceAhead(SightAhead(), kHopHeight);
    coming = distance >= 0 && distance <= kReach;
    if (distance >= 0 && before >= 0 && distance < before) nearer = play_.frames();
    before = distance;
    return play_.frames() - start >= frames && !coming && (distance < 0 || play_.frames() - nearer >= kPause);
  };
  const int horizon = kHopHorizon + perturbation_.reactionDelay;
  return Looking(stood, [&] {
    std::string problem;
    if (FirstBulletHit(CourseOf(0, Move{}, horizon), horizon, kHopMargin) < horizon) {
      // A bullet on course for the body is jumped as it comes close: in
      // place, or on over it or back when it is too slow to pass under a
      // jump in place.
      const std::optional<Move> hop = player.airborne == 0 ? DodgeNow({kHopInPlace, kHopOn, kHopBack}) : std::nullopt;
      if (hop && trace_) Trace("hop");
      problem = hop ? Press(KeysOf(*hop), hop->press) : Hold(held_, 1);
    } else if (EnemyAhead(kReach) && player.magic >= kBlazeCost) {
      if (trace_) Trace("shoot");
      // The shots' rhythm is planned, as a fight's: only the first comes late.
      problem = Press(keys, kMinimumPress, aim);
      if (problem.empty()) problem = Press(aim, kMinimumPress, keys);
    } else {
      problem = Hold(coming ? aim : Keys{}, kMinimumPress);
    }
    return problem;
  });
}

std::string RoutePlayer::Advance(const Keys& keys, int column) {
  constexpr int kStandingReach = 180, kBulletNear = 200;
  const int goal = StandingX(column);
  return Looking([&] { return player.x >= goal; }, [&] {
    const int enemy = EnemyDistanceAhead(SightAhead(), kHopHeight);
    std::string problem;
    if (player.airborne != 0) {
      problem = Hold({}, 1);
    } else if ((BulletAhead(kBulletNear) && !BulletsOverCrouch()) || (enemy >= 0 && enemy <= kStandingReach)) {
      if (trace_) Trace("hold");
      problem = HoldGround(keys, kMinimumPress);
    } else if (enemy >= 0 && enemy - StopDistance(perturbation_.reactionDelay) <= kStandingReach) {
      // Stopped where the enemy comes into a standing shot's reach.
      problem = Hold({}, kMinimumPress);
    } else if (ObstacleAhead()) {
      if (trace_) Trace("leap");
      problem = Press({kKeyRight, kKeyJump}, 20, {kKeyRight});
    } else {
      problem = Hold({kKeyRight}, 1);
    }
    return problem;
  });
}

std::string RoutePlayer::LandOn(int column) {
  // The feet are centred over the column at StandingX; the body comes to
  // rest up to kShort pixels before that, never past it.
  constexpr int kShort = 14, kAim = kShort / 2, kLongestPress = 40;
  const int goal = StandingX(column);
  // The jump is held while the body rises: let go, it would fall short.
  const auto rising = [] { return player.airborne != 0 && player.velocityY < 0 ? Keys{kKeyJump} : Keys{}; };
  // Where the slide ends if `way` is pressed `frames` frames: a change of
  // keys reaches the game late, what is held going on meanwhile, and once
  // the press ends no way is held, which brakes in the air as on firm
  // ground.
  const auto restAfter = [&](int way, int frames) {
    Keys pressed = rising();
    if (way != 0) pressed.insert(way > 0 ? kKeyRight : kKeyLeft);
    const int late = pressed != held_ ? perturbation_.reactionDelay : 0;
    const int held = held_.count(kKeyRight) != 0 ? 1 : held_.count(kKeyLeft) != 0 ? -1 : 0;
    return RestX(way, frames, held, late);
  };
  const auto within = [&] {
    const double rest = restAfter(0, 0);
    return rest >= goal - kShort && rest <= goal;
  };
  const std::string problem = Looking(
      [&] { return within() && player.airborne == 0 && std::fabs(player.velocityX) < WalkAcceleration(player); },
      [&] {
        if (within()) return Hold(rising(), 1);
        // A press of planned length, the one whose slide ends nearest the aim.
        const int way = restAfter(0, 0) > goal ? -1 : 1;
        const auto miss = [&](int frames) { return std::fabs(restAfter(way, frames) - (goal - kAim)); };
        int best = 1;
        for (int frames = 2; frames <= kLongestPress; ++frames) {
          if (miss(frames) < miss(best)) best = frames;
        }
        Keys keys = rising();
        keys.insert(way > 0 ? kKeyRight : kKeyLeft);
        return Press(keys, best, rising());
      });
  return problem.empty() ? Hold({}, kMinimumPress) : problem;
}

std::string RoutePlayer::StepTo(int column) {
  const std::string problem = Looking([&] { return StandingIn(column); }, [&] {
    // Each step is judged from where the last one ended.
    const bool moving = player.velocityX != 0.0 || player.airborne != 0;
    const std::uint32_t walk = StandingX(column) > player.x ? kKeyRight : kKeyLeft;
    return moving ? Hold({}, 1) : Press({walk}, kMinimumPress);
  });
  return problem.empty() ? Hold({}, kMinimumPress) : problem;
}

std::string RoutePlayer::WalkTo(int column) {
  const int goal = StandingX(column);
  const int direction = goal >= player.x ? 1 : -1;
  const std::uint32_t walk = direction > 0 ? kKeyRight : kKeyLeft;
  // What is seen is judged as it will be when a late answer reaches the game;
  // so is the arrival, as the walk goes on until the next step's keys do.
  const int lead = perturbation_.reactionDelay;
  auto arrived = [&] {
    const double x = player.x + lead * player.velocityX;
    return direction > 0 ? x >= goal : x <= goal;
  };
  Keys now = {walk};  // what the player is doing when something is seen
  return Looking(arrived, [&] {
    std::string problem;
    // Nothing is jumped towards an enemy that could still be shot first.
    const int shotReach = ObstacleAhead(lead) ? 320 : 240;
    // A jump pressed in the air is lost: none is decided that would reach
    // the game before the body is down.
    const bool canJump = LandingAhead().frames <= kMinimumPress + lead;
    // Standing (after a shot, or stopped to shoot) the bullets' flight is
    // timed: the hop in place is taken at the latest look that clears them,
    // unless staying down is safe.
    const int horizon = kHopHorizon + lead;
    const bool standing = player.airborne == 0 && now.count(walk) == 0;
    if (direction > 0 && standing &&
        FirstBulletHit(CourseOf(0, Move{0, false, false, true, horizon}, horizon), horizon, kHopMargin) < horizon) {
      const std::optional<Move> hop = DodgeNow({kHopInPlace});
      if (hop && trace_) Trace("hop in place");
      problem = hop ? Press(KeysOf(*hop), hop->press) : Hold(now, 1);
      now = held_;
    } else if (direction > 0 && canJump && BulletAhead(110, lead) && !BulletsOverCrouch(lead)) {
      // A low bullet is jumped before anything else; in place when an enemy
      // ahead is to be shot after.
      if (trace_) Trace("hop");
      // In place too when a key lies just ahead, not to be jumped over.
      constexpr int kKeyNear = 200;
      const int key = ColumnOf(Key()), keyOff = key * kCellSize + kCellSize / 2 - (player.x + kPlayerSpriteSize / 2);
      const bool shootAfter = EnemyAhead(240, lead) && player.magic >= kBlazeCost;
      const bool inPlace = shootAfter || (key >= 0 && keyOff >= 0 && keyOff <= kKeyNear);
      if (inPlace && now.count(walk) != 0) {
        // The walk stops; standing, the hop is timed.
        problem = Hold({}, 1);
        now = {};
      } else {
        problem = React(now, inPlace ? Keys{kKeyJump} : Keys{walk, kKeyJump}, 20, {walk});
        now = {walk};
      }
    } else if (direction > 0 && now.count(walk) != 0 && EnemyAhead(shotReach, lead) && player.magic >= kBlazeCost &&
               BulletAhead(110, lead + 2 * kMinimumPress) && !BulletsOverCrouch(lead + 2 * kMinimumPress)) {
      // A low bullet would come while the shot is made: the walk stops, and
      // standing, the hop is timed.
      if (trace_) Trace("halt");
      problem = Hold({}, 1);
      now = {};
    } else if (direction > 0 && EnemyAhead(shotReach, lead) && player.magic >= kBlazeCost &&
               (player.velocityX != 0.0 || EnemyAhead(kBlazeReach, lead + kMinimumPress))) {
      if (trace_) Trace("shoot");
      // Close to spikes or a gap the player stops walking before crouching.
      problem = React(shotReach > 240 && now.count(walk) != 0 ? Keys{} : now, {kKeyDown, kKeyShot}, kMinimumPress,
                      {kKeyDown});
      if (problem.empty()) problem = Hold({kKeyDown}, kMinimumPress);
      now = {kKeyDown};
    } else if (direction > 0 && BulletAhead(110, lead)) {
      if (trace_) Trace("dodge");
      // A bullet that flies over a crouching player is let pass crouching.
      const Keys answer = BulletsOverCrouch(lead) ? Keys{kKeyDown} : Keys{walk, kKeyJump};
      now = answer.count(kKeyJump) != 0 ? Keys{walk} : answer;
      problem = React(now, answer, answer.count(kKeyJump) != 0 ? 20 : 2 * kMinimumPress, now);
    } else if (direction > 0 && ObstacleAhead(lead)) {
      if (trace_) Trace("leap");
      problem = Press({walk, kKeyJump}, 20, {walk});
      now = {walk};
    } else if (direction > 0 && EnemyAhead(120, lead)) {
      problem = React(now, {walk, kKeyJump}, 20, {walk});
      now = {walk};
    } else {
      // Walking on again after a crouch is itself a press of 6 frames.
      problem = Hold({walk}, now.count(walk) != 0 ? 1 : kMinimumPress);
      now = {walk};
    }
    return problem;
  });
}

std::string RoutePlayer::StopAt(int column) {
  constexpr int kClose = 36;  // pixels a short step covers
  const int goal = StandingX(column);
  // On ice the walk only stops against it, and what is left below one
  // frame's braking creeps on: it is as good as standing.
  const auto onIce = [] { return player.onSlipperyFloor != 0 && player.airborne == 0; };
  const auto still = [&] {
    if (onIce()) return std::fabs(player.velocityX) < WalkAcceleration(player);
    return player.velocityX == 0.0 && player.airborne == 0;
  };
  return Looking([&] { return still() && StandingIn(column); }, [&] {
    // Stand still first: what to do next is judged from where the slide ends.
    const double v = player.velocityX;
    if (!still()) {
      // On ice, braked for a planned count of frames, which a late start
      // does not turn into walking back.
      if (onIce()) return Press({v > 0 ? kKeyLeft : kKeyRight}, static_cast<int>(std::fabs(v) / WalkAcceleration(player)));
      return Hold({}, kMinimumPress);
    }
    const int off = goal - player.x;
    const int way = off > 0 ? 1 : -1;
    const std::uint32_t walk = way > 0 ? kKeyRight : kKeyLeft;
    // A walk from standing goes at least its first look and a reaction, and
    // the reaction's lateness, before it is let go: closer than that, a press
    // of planned length (its lateness does not move a body standing still),
    // as long as its walk and slide stay within the place.
    const double shortest = std::max<double>(kClose, std::fabs(RestX(way, 2 * kMinimumPress + perturbation_.reactionDelay) - player.posX));
    if (std::abs(off) <= shortest) {
      int frames = kMinimumPress;
      while (std::abs(off) > kClose && std::fabs(RestX(way, frames + 1) - player.posX) <= std::abs(off)) ++frames;
      // On ice the planned press ends in the brake, as planned as the press.
      const Keys after = player.onSlipperyFloor != 0 ? Keys{way > 0 ? kKeyLeft : kKeyRight} : Keys{};
      return Press({walk}, frames, after);
    }
    // Far: walk until the slide after the reaction would end on the place.
    return HoldUntil({walk}, [&] {
      // The player knows how late a release comes, and that the walk
      // speeds up meanwhile.
      const double ahead = RestX(way, kMinimumPress + perturbation_.reactionDelay) - player.posX;
      return way * (player.x + ahead - goal) >= 0;
    });
  });
}

std::string RoutePlayer::AnswerChest() {
  constexpr int kReading = kChestReadingFrames + 2;  // frames the open window is looked at before Confirm
  int openFor = 0;
  play_.SetFrameHook([&] {
    if (!ChestWindowOpen()) return;
    // The keys are the window's now: nothing is held but Confirm, pressed
    // after a look and again while the window stays open.
    const int phase = openFor++ % (kReading + 2 * kMinimumPress);
    if (phase == 0) play_.Clear();
    if (phase == kReading) play_.Hold({kKeyJump}, kMinimumPress);
  });
  const int start = play_.frames();
  std::string problem;
  // Leaning into the chest from the side it is on, turning when the walk
  // carried the body past it.
  while (problem.empty() && !ChestOpened()) {
    if (play_.frames() - start > kStepFrames) {
      problem = Outcome(false) + " before the chest opened";
      break;
    }
    const int column = ColumnOf(Chest());
    if (column < 0) break;
    problem = Hold({StandingX(column) > player.x ? kKeyRight : kKeyLeft}, kMinimumPress);
  }
  play_.SetFrameHook({});
  return problem.empty() ? Hold({}, 30) : problem;
}

std::string RoutePlayer::Answer(const std::function<Keys(bool)>& decide, const std::function<bool()>& done) {
  constexpr int kReading = 20;  // frames a window shows before it is answered
  constexpr int kLook = 20;     // frames a press is looked at before the next
  int mainLoopFrame = play_.frames();  // the last frame the game's main loop ran
  int nextDecision = 0;
  play_.SetFrameHook([&] {
    // Frames pass without the main loop while the game waits in a window.
    const int now = play_.frames(), inWindow = now - mainLoopFrame - 1;
    if (now < nextDecision || (inWindow > 0 && inWindow < kReading)) return;
    const Keys keys = decide(inWindow > 0);
    if (keys.empty()) return;
    play_.Clear();
    play_.Hold({}, perturbation_.reactionDelay);
    play_.Hold(keys, kMinimumPress);
    nextDecision = now + perturbation_.reactionDelay + kMinimumPress + kLook;
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
