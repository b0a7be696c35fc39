#include "tools/route_player.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "game/enemy_bullets.h"
#include "game/player_motion.h"
#include "game/player_shots.h"
#include "game/pools.h"

namespace veltrin::routes {
namespace {

constexpr int kCourseFrames = 150;  // a course is judged against the bullets this long
// To the rhythm, the drop starts kDropLead frames before the attack is due; a
// climb waits out an attack due within kClimbBefore (it would drop at once).
constexpr int kDropLead = 7, kClimbBefore = 30;
constexpr int kDodgeFrames = 60;  // a dodge is in time for its bullet when it leaves this much of the horizon
// The walk back stops within kPlaced of the place, so a turn to the boss does
// not carry the player out of it.
constexpr int kPlaced = 24, kLongestStep = 30;
const int kShotBelowTop = MuzzleOffset(1, 0, kStand).y + kPlayerShotSize / 2;  // a standing shot's flight

// Of the floors straight above or below the player, its y standing on the
// lowest (the ground) and on the next one up; its own y when there are none.
std::pair<int, int> GroundAndFloorOver() {
  std::vector<int> places{player.y};
  const int x = player.x + kPlayerSpriteSize / 2;
  for (int top = 2 * kCellSize; top <= kFieldBottomPixel; top += kCellSize) {
    if (ReadAttributeAtPixel(x, top) >= kAttrOneWay && ReadAttributeAtPixel(x, top - kCellSize) < kAttrOneWay) {
      places.push_back(top - kPlayerSpriteSize);
    }
  }
  return {places.back(), places.size() > 2 ? places[places.size() - 2] : places.back()};
}

// The sheets the live bosses are drawn from: a new phase shows another.
std::vector<int> BossLooks() {
  std::vector<int> looks;
  for (const EnemyRecord& enemy : enemies) {
    if (enemy.life > 0 && enemy.bossIndex >= 0) looks.push_back(enemy.sheetSlot);
  }
  return looks;
}

// The player's y to fight from now, given the ground and the floor over it.
int HeightToFight(const FightSettings& how, const EnemyRecord& boss, int sinceVolley, int late, int ground, int over) {
  const int centre = boss.y + (boss.bodyTop + boss.bodyBottom) / 2 - kShotBelowTop;
  const bool level = std::abs(player.y - centre) <= (boss.bodyBottom - boss.bodyTop) / 2;
  int height = player.y;
  if (how.height == FightSettings::Height::kFloorOver) height = over;
  if (how.height == FightSettings::Height::kLevelWithBody && !level) height = centre;
  if (!how.toRhythm) return height;
  // An attack overdue (put off out of sight, or a volley unseen) has the
  // player climb and drop by turns until the boss fires.
  const int dueIn = sinceVolley < 0 ? -1 : boss.baseInterval - sinceVolley, moveIn = dueIn - kDropLead - late;
  if (dueIn < 0) return ground;
  if (moveIn <= 0) return player.y == ground ? height : ground;
  return dueIn >= late + kClimbBefore ? height : player.y;
}

// Standing on, or one of `how.moves` started `earliest` frames on up to a
// second before the horizon's end, with the frames until it starts: the one
// the bullets meet latest, then pass at twice the margin longest; of those
// that clear, the one ending farthest from the boss; then the first tried.
std::pair<Move, int> DodgeOf(const FightSettings& how, const EnemyRecord& boss, const Move& stay, int earliest) {
  Move best = stay;
  int bestWait = 0, bestHit = -1, bestWideHit = -1;
  double bestAway = -1;
  const double bossX = boss.x + (boss.bodyLeft + boss.bodyRight) / 2.0 - kPlayerSpriteSize / 2.0;
  const auto weigh = [&](int wait, const Move& move) {
    const std::vector<BodyPlace> course = CourseOf(wait, move, kCourseFrames);
    if (!Carries(course, move.drop ? player.y + 1 : player.y)) return;
    const int hit = FirstBulletHit(course, kCourseFrames, how.margin);
    const int wideHit = hit >= bestHit ? FirstBulletHit(course, kCourseFrames, 2 * how.margin) : 0;
    const double away = std::abs(course.back().x - bossX);
    if (hit > bestHit || (hit == bestHit && wideHit > bestWideHit) ||
        (hit == kCourseFrames && hit == bestHit && wideHit == bestWideHit && away > bestAway)) {
      best = move, bestWait = wait, bestHit = hit, bestWideHit = wideHit, bestAway = away;
    }
  };
  weigh(0, stay);
  for (int wait = earliest; wait <= earliest + std::max(0, how.horizon - kDodgeFrames); ++wait) {
    for (const Move& move : how.moves) {
      if (!(move.crouch && stay.crouch)) weigh(wait, move);
    }
  }
  return {best, bestWait};
}

}  // namespace

std::string Fight(RoutePlayer& self, const Keys& keys, const FightSettings& how, int column) {
  const EnemyRecord* boss = Boss();
  if (boss == nullptr) return "";
  const int late = self.late;
  const bool dodges = how.horizon > 0;
  const int horizon = dodges ? how.horizon + late : 0;
  const int start = self.play.frames(), goal = column >= 0 ? StandingX(column) : player.x;
  const std::vector<int> looks = BossLooks();
  int sinceVolley = -1;
  if (how.toRhythm) self.play.SetFrameHook([&] { sinceVolley = SinceVolley(*boss, sinceVolley); });
  // The shots by turns: the fight's keys, then without the shot or the jump.
  Keys aim = keys, now;
  aim.erase(kKeyShot), aim.erase(kKeyJump);
  const Move stay{0, false, false, keys.count(kKeyDown) != 0, kCourseFrames};
  const Move climb{0, true, false, false, how.climbPress}, drop{0, false, true, false, kMinimumPress};
  // Whether `move`, a reaction late, carries the body toward `height` clear of the bullets.
  const auto clear = [&](const Move& move, int height) {
    const std::vector<BodyPlace> course = CourseOf(late, move, kCourseFrames);
    return Carries(course, height) && (!dodges || FirstBulletHit(course, kCourseFrames, how.margin) >= kCourseFrames);
  };
  std::string problem;
  const auto inTime = [&] { return self.play.frames() - start <= how.frameLimit; };
  for (; problem.empty() && boss != nullptr && (!how.untilNewLook || BossLooks() == looks) && inTime(); boss = Boss()) {
    const auto [ground, over] = GroundAndFloorOver();
    const int height = HeightToFight(how, *boss, sinceVolley, late, ground, over);
    const Move& toHeight = height < player.y ? climb : drop;
    const bool grounded = player.airborne == 0;
    const bool threatened = FirstBulletHit(CourseOf(0, stay, kCourseFrames), horizon, how.margin) < horizon;
    const auto [dodge, dodgeWait] = threatened ? DodgeOf(how, *boss, stay, late) : std::pair{stay, 0};
    const bool dodging = KeysOf(dodge) != KeysOf(stay);
    const int toward = boss->x + boss->width / 2 > player.x + kPlayerSpriteSize / 2 ? 1 : -1;
    const int way =
        std::abs(player.x - goal) > kPlaced ? (player.x < goal ? 1 : -1) : player.facing != toward ? toward : 0;
    std::optional<Move> move;  // one made now rather than a shot
    if (dodging && dodgeWait - late < kMinimumPress) {
      if (dodgeWait > late) problem = Hold(self, self.held, dodgeWait - late);
      move = dodge;
    } else if (!grounded) {
      problem = Hold(self, self.held == keys ? aim : self.held, 1);
    } else if (height != player.y && clear(toHeight, height)) {
      move = toHeight;
    } else if (way != 0 && !threatened) {
      // Back to the place or turned to the boss, unless that meets a bullet:
      // then the stance the bullets were judged against is kept.
      move = Move{way, false, false, false, kMinimumPress};
      move->press = PressTo(self, goal, KeysOf(*move), kMinimumPress, kLongestStep);
      if (!clear(*move, player.y)) move.reset(), now = aim, problem = Hold(self, aim, 1);
    } else if (how.toRhythm && player.y == ground) {
      problem = Hold(self, {}, 1);
    } else {
      // The shots' rhythm is planned: only the first press comes late.
      now = now == keys ? aim : keys;
      problem = Press(self, now, kMinimumPress, now == keys ? aim : keys);
    }
    if (move && problem.empty()) {
      Trace(self, "fight " + LettersOf(KeysOf(*move)));
      problem = Press(self, KeysOf(*move), move->press);
      now = {};
    }
  }
  self.play.SetFrameHook({});
  return problem.empty() && boss != nullptr && !inTime() ? "the boss still stands" : problem;
}

}  // namespace veltrin::routes
