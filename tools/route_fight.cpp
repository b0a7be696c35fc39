#include "tools/route_player.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/enemies.h"
#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player_physics.h"

namespace veltrin::routes {
namespace {

// The player's y on every place to stand straight above or below the player.
std::vector<int> PlacesInColumn() {
  std::vector<int> places;
  const int x = player.x + kPlayerSpriteSize / 2;
  for (int row = 2; row * kCellSize <= kFieldBottomPixel; ++row) {
    const int top = row * kCellSize;
    if (ReadAttributeAtPixel(x, top) >= kAttrOneWay && ReadAttributeAtPixel(x, top - kCellSize) < kAttrOneWay &&
        ReadAttributeAtPixel(x, top - 2 * kCellSize) < kAttrOneWay) {
      places.push_back(top - kPlayerSpriteSize);
    }
  }
  return places;
}

// How far the feet fall through the one-way floor underfoot, and how far a
// jump rises onto the one-way floor above (0 when there is none).
int DropDepth() {
  const int feet = player.y + kPlayerSpriteSize, x = player.x + kPlayerSpriteSize / 2;
  if (player.airborne != 0 || ReadAttributeAtPixel(x, feet) != kAttrOneWay) return 0;
  for (int depth = kCellSize; depth <= 10 * kCellSize; depth += kCellSize) {
    if (ReadAttributeAtPixel(x, feet + depth) >= kAttrOneWay) return depth;
  }
  return 0;
}
int LedgeAbove() {
  const int feet = player.y + kPlayerSpriteSize, x = player.x + kPlayerSpriteSize / 2;
  for (int rise = kCellSize; rise <= 4 * kCellSize; rise += kCellSize) {
    if (ReadAttributeAtPixel(x, feet - rise) == kAttrOneWay) return rise;
  }
  return 0;
}

}  // namespace

std::string RoutePlayer::FightOnLedges(const Keys& keys, int frameLimit) {
  constexpr int kClimbPress = 12, kStepPress = 18, kNoHit = 1 << 20, kCourse = 90, kMargin = 10;
  const int start = play_.frames();
  bool shooting = false;
  BodyPlace landing{static_cast<double>(player.x), static_cast<double>(player.y), false};
  int threatSeen = -1;  // the frame a bullet was first seen coming at the place to stand
  // A move to the place at `goal` above or below (Jump held, or Down + Jump),
  // or, with `goal` the player's y, a step right (or none: standing).
  struct LedgeMove {
    int goal, press;
  };
  const auto courseOf = [&](LedgeMove move, int wait) {
    if (move.goal < player.y) return CourseOf(wait, Move{0, true, false, false, kClimbPress}, kCourse);
    if (move.goal > player.y) return CourseOf(wait, Move{0, false, true, false, 0}, kCourse);
    return CourseOf(wait, Move{1, false, false, false, move.press}, kCourse);
  };
  while (const EnemyRecord* boss = Boss()) {
    if (play_.frames() - start > frameLimit) return "the boss still stands";
    if (player.airborne != 0) {
      if (threatSeen < 0 && FirstBulletHit({landing}, kNoHit, kMargin) < kNoHit) threatSeen = play_.frames();
      const std::string problem = Hold({}, 1);
      if (!problem.empty()) return problem;
      continue;
    }
    // The player's y at which a standing shot (19 pixels under the top)
    // meets the middle of the body; level a little inside its edges.
    const int centre = boss->y + (boss->bodyTop + boss->bodyBottom) / 2 - 19;
    const bool level = std::abs(player.y - centre) <= (boss->bodyBottom - boss->bodyTop) / 2 - 8;
    const std::vector<int> places = PlacesInColumn();
    const auto here = std::find(places.begin(), places.end(), player.y);
    if (here == places.end()) return "not on a ledge at " + std::to_string(player.x) + "," + std::to_string(player.y);
    const int above = here != places.begin() ? *(here - 1) : player.y;
    const int below = here + 1 != places.end() ? *(here + 1) : player.y;
    // The bullets are watched while the player stands and shoots: a new one
    // coming at the body cuts the press short.
    const auto threatened = [&] {
      const BodyPlace standing{static_cast<double>(player.x), static_cast<double>(player.y), false};
      if (threatSeen < 0 && FirstBulletHit({standing}, kNoHit, kMargin) < kNoHit) threatSeen = play_.frames();
      return threatSeen >= 0;
    };
    const bool watching = !threatened();
    const auto newThreat = [&] { return watching && threatened(); };
    // What answers a bullet starts a reaction after it was first seen; the
    // player knows how late its reactions come.
    const int reaction = kMinimumPress + perturbation_.reactionDelay;
    const int wait = threatSeen < 0 ? reaction : std::max(0, reaction - (play_.frames() - threatSeen));
    const auto hitOn = [&](LedgeMove move, int delay) {
      const std::vector<BodyPlace> course = courseOf(move, delay);
      // A step must end on the ledge, the far foot over it.
      const BodyPlace& end = course.back();
      if (ReadAttributeAtPixel(static_cast<int>(end.x) + 18, static_cast<int>(end.y) + kPlayerSpriteSize) < kAttrOneWay) {
        return 0;
      }
      return FirstBulletHit(course, kNoHit, kMargin);
    };
    LedgeMove move{player.y, 0};
    if (threatSeen >= 0) {
      // The move a bullet meets latest, or none, now or up to half a second
      // later (once a bullet in the way has passed); a later one is chosen
      // again at its time.
      int latest = hitOn(move, 0), after = wait;
      for (int delay = wait; delay <= wait + 30; delay += kMinimumPress) {
        for (LedgeMove other : {LedgeMove{above, kClimbPress}, {below, 0}, {player.y, kStepPress}}) {
          const int hit = other.goal != player.y || other.press > 0 ? hitOn(other, delay) : 0;
          if (hit > latest) latest = hit, move = other, after = delay;
        }
      }
      if (after > wait) move = {player.y, 0};
    } else if (!level) {
      const LedgeMove toward{centre < player.y ? above : below, kClimbPress};
      if (toward.goal != player.y && hitOn(toward, wait) == kNoHit) move = toward;
    }
    const int goal = move.goal;
    // Decided once, from where the player stands now: a climb carries the
    // body past its goal before the press ends.
    const bool climb = goal < player.y, drop = goal > player.y, stay = !climb && !drop;
    const bool step = stay && move.press > 0;
    const bool shoot = stay && !step && level;
    if (trace_) Trace(climb ? "climb" : drop ? "drop" : step ? "step" : shoot ? "fight" : "wait");
    // A move's keys reach the game late by themselves: the wait before them
    // is that much shorter.
    int before = std::max(0, wait - perturbation_.reactionDelay);
    if (stay && !step) before = shoot && shooting ? 0 : kMinimumPress;
    // Standing, the keys held go on while the move's time comes.
    std::string problem;
    if (before > 0) problem = stay && !step ? PressUnless({}, before, {}, newThreat) : Hold(held_, before);
    if (problem.empty() && climb) problem = Press({kKeyJump}, kClimbPress);
    if (problem.empty() && drop) problem = Press({kKeyDown, kKeyJump}, kMinimumPress);
    if (problem.empty() && step) problem = Press({kKeyRight}, kStepPress);
    if (problem.empty() && shoot && !newThreat()) problem = PressUnless(keys, kMinimumPress, {}, newThreat);
    if (problem.empty() && stay && !newThreat()) problem = PressUnless({}, kMinimumPress, {}, newThreat);
    if (!problem.empty()) return problem;
    if (!stay || step) threatSeen = -1;
    landing = {static_cast<double>(player.x), static_cast<double>(goal), false};
    shooting = shoot;
  }
  return "";
}

namespace {

// The boss's frames of acting since its last volley, as a person counts them
// from what is seen or heard; -1 until a volley is. A flinch out of sight is
// not known, and a volley unnoticed leaves the count running past the attack
// it missed: the beat is lost until the next volley noticed.
struct Beat {
  int sinceVolley = -1, lastVolley = 0, flinching = 0;
  void Count(const EnemyRecord& boss, int frame) {
    if (boss.life <= 0) return;
    // Two volleys are never one frame apart: a volley's sparks last a frame more.
    if (VolleyPerceived(boss) && (sinceVolley < 0 || frame - lastVolley > 1)) {
      sinceVolley = 0, lastVolley = frame;
    } else if (sinceVolley >= 0 && flinching < 1) {
      ++sinceVolley;
    }
    flinching = OnScreen(boss) ? boss.hurtTimer : 0;
  }
};

// The keys a fight shoots by turns: with the shot, and without the shot or
// the jump (still aiming, crouched or facing as the fight's keys say).
struct ShotKeys {
  explicit ShotKeys(const Keys& keys) : fire(keys), aim(keys) {
    aim.erase(kKeyShot);
    aim.erase(kKeyJump);
  }
  // The one of the two to press after `now`.
  const Keys& After(const Keys& now) const { return now == fire ? aim : fire; }
  Keys fire, aim;
};

// A move out of the bullets' way, the keys that make it and when it starts.
struct Dodge {
  Move move;
  Keys keys;
  int wait = 0, hit = -1, wideHit = -1;
};

// True when the course ends with the feet on something to stand on.
bool EndsOnFooting(const std::vector<BodyPlace>& course) {
  const BodyPlace& end = course.back();
  return ReadAttributeAtPixel(static_cast<int>(end.x) + kPlayerSpriteSize / 2, static_cast<int>(end.y) + kPlayerSpriteSize) >=
         kAttrOneWay;
}

}  // namespace

std::string RoutePlayer::Fight(const Keys& keys, const FightSettings& how, int column) {
  // The drop starts this many frames before the attack is due: one that a
  // flinch puts off still meets the body falling.
  constexpr int kDropLead = 7;
  // Closer to the next attack than this, the player climbs at its time
  // rather than now: up there it would have to drop again at once.
  constexpr int kClimbBefore = 30;
  // The volleys of a burst follow each other closely (8 frames apart at
  // most): once none came for longer, what is in the air is all for a while.
  constexpr int kBurstGap = 14;
  // Placed this near the place, the player stops walking back: a turn to
  // the boss (a press of 6 frames) must not carry it out of place.
  constexpr int kPlaced = 24;
  const EnemyRecord* boss = Boss();
  if (boss == nullptr) return "";
  const int late = perturbation_.reactionDelay, reaction = kMinimumPress + late;
  const int horizon = how.horizon > 0 ? how.horizon + late : 0, look = how.look > 0 ? how.look : horizon;
  const int start = play_.frames(), goal = column >= 0 ? StandingX(column) : player.x;
  const bool low = keys.count(kKeyDown) != 0;
  const std::vector<int> looks = BossLooks();
  Beat beat;
  beat.flinching = OnScreen(*boss) ? boss->hurtTimer : 0;
  if (how.toRhythm) play_.SetFrameHook([&] { beat.Count(*boss, play_.frames()); });
  const ShotKeys shot(keys);
  const Move stay{0, false, false, low, look};
  // Courses are followed this many frames, the body then held where it is.
  constexpr int kCourseFrames = 150;
  const auto courseOf = [](int wait, const Move& move) { return CourseOf(wait, move, kCourseFrames); };
  const auto hitOver = [&](int wait, const Move& move, int frames, int margin) {
    return FirstBulletHit(courseOf(wait, move), frames, margin);
  };
  const auto clear = [&](const Move& move) { return hitOver(late, move, look, how.margin) >= look; };
  int threatSeen = -1;  // the frame a bullet was first seen on course for the body
  Keys now;
  std::string problem;
  for (boss = Boss(); problem.empty() && boss != nullptr && (!how.untilNewLook || BossLooks() == looks);
       boss = Boss()) {
    if (play_.frames() - start > how.frameLimit) {
      problem = "the boss still stands";
      break;
    }
    const int toward = boss->x + boss->width / 2 > player.x + kPlayerSpriteSize / 2 ? 1 : -1;
    const int depth = DropDepth(), ledge = LedgeAbove();
    const bool grounded = player.airborne == 0;
    // The height to fight from, and whether the rhythm holds the player
    // where it is for now.
    const std::vector<int> places = PlacesInColumn();
    const int ground = places.empty() ? player.y : places.back();
    const int over = places.size() > 1 ? places[places.size() - 2] : ground;
    int height = player.y;
    bool holdOn = false;
    if (how.height == FightSettings::Height::kFloorOver) height = over;
    if (how.toRhythm) {
      // Frames until the next attack unless the boss flinches (which puts it
      // off); the player climbs only while the boss shows in the hall: out
      // of sight, what it fires is seen late.
      const int dueIn = beat.sinceVolley < 0 ? -1 : boss->baseInterval - beat.sinceVolley;
      const BulletStart muzzle = EnemyMuzzle(*boss);
      const bool inSight = muzzle.y >= cameraY && muzzle.y < cameraY + kViewHeight;
      const int moveIn = dueIn - kDropLead - late;
      const bool dueSoon = dueIn >= 0 && moveIn <= 0;
      const bool beatLost = beat.sinceVolley > boss->baseInterval + late || (!inSight && dueIn < late + kClimbBefore);
      const bool upAgain = inSight && beat.sinceVolley > kBurstGap && dueIn >= late + kClimbBefore;
      if (dueSoon) {
        height = player.y == ground ? over : ground;
      } else if (dueIn < 0 || beatLost) {
        height = ground;
      } else if (!upAgain) {
        height = player.y;
        // What would be done first must not run past the move's time.
        holdOn = moveIn < kMinimumPress + late;
      }
    }
    // The bullets: the move they meet latest, started a reaction after the
    // first was seen coming, or up to `latestStart` frames later.
    const bool threatened = horizon > 0 && hitOver(0, stay, horizon, how.margin) < horizon;
    if (!threatened) threatSeen = -1;
    if (threatened && threatSeen < 0) threatSeen = play_.frames();
    Dodge best{stay, {}, 0, -1, -1};
    const auto weigh = [&](int wait, const Move& move) {
      const std::vector<BodyPlace> course = courseOf(wait, move);
      if ((move.way != 0 || move.jump) && !EndsOnFooting(course)) return;
      const int hit = FirstBulletHit(course, look, how.margin);
      if (hit < best.hit) return;
      const int wideHit = how.wideMargin > 0 ? FirstBulletHit(course, look, how.wideMargin) : 0;
      if (hit > best.hit || wideHit > best.wideHit) best = {move, KeysOf(move), wait, hit, wideHit};
    };
    if (threatened && grounded) {
      weigh(0, stay);
      const int earliest = std::max(late, threatSeen + reaction - play_.frames());
      for (int wait = earliest; wait <= earliest + how.latestStart; ++wait) {
        for (const Move& move : how.moves) {
          if ((!move.drop || depth > 0) && !(move.crouch && low)) weigh(wait, move);
        }
      }
    }
    const bool placed = std::abs(player.x - goal) <= kPlaced;
    const int way = !placed ? (player.x < goal ? 1 : -1) : player.facing != toward ? toward : 0;
    const Move climb{0, true, false, false, how.climbPress}, drop{0, false, true, false, kMinimumPress};
    if (best.wait - late < kMinimumPress && best.hit >= 0 && (best.move.way != 0 || best.move.jump ||
                                                              best.move.drop || best.move.crouch != low)) {
      if (trace_) Trace("dodge " + Letters(best.keys));
      // What is held goes on until the move's time; its keys come a
      // reaction late by themselves.
      if (best.wait > late) problem = Hold(held_, best.wait - late);
      if (problem.empty()) problem = Press(best.keys, best.move.press);
      now = {};
    } else if (!grounded || holdOn) {
      problem = Hold(held_ == shot.fire ? shot.aim : held_, 1);
    } else if (height < player.y && ledge > 0 && clear(climb)) {
      if (trace_) Trace("climb");
      problem = Press({kKeyJump}, climb.press);
      now = {};
    } else if (height > player.y && depth > 0 && clear(drop)) {
      if (trace_) Trace("drop");
      problem = Press({kKeyDown, kKeyJump}, kMinimumPress);
      now = {};
    } else if (way != 0 && !threatened) {
      // Back to the place (one press whose slide ends there) or turned to
      // the boss, unless that walks into a bullet.
      constexpr int kLongestStep = 30;
      int frames = kMinimumPress;
      while (frames < kLongestStep && std::fabs(RestX(way, frames) - player.posX) < std::abs(goal - player.x) - 8) {
        ++frames;
      }
      const Move back{way, false, false, false, frames};
      problem = clear(back) ? Press(KeysOf(back), frames) : Hold({}, 1);
      now = {};
    } else if (how.toRhythm && player.y == ground) {
      // To the rhythm, the player fires only from up there.
      problem = Hold({}, 1);
    } else {
      // The shots' rhythm is planned: only its first press comes late.
      now = shot.After(now);
      problem = Press(now, kMinimumPress, shot.After(now));
    }
  }
  play_.SetFrameHook({});
  // A change of look may come at the end of a press: the player reacts after it.
  return problem.empty() && how.untilNewLook ? Hold(shot.aim, kMinimumPress) : problem;
}

}  // namespace veltrin::routes
