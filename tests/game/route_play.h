// Routes for the campaign replays: words that hold keys for a count of frames
// or until the player reaches a place or the floor's boss falls, and a walk
// that meets enemies, bullets and spikes as a player would. Every
// press lasts at least 6 frames, and a word that waits for something keeps
// its keys 6 frames more before the next word acts, as a player reacts.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "game/enemies.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/map_cells.h"
#include "game/game_state.h"
#include "game/player.h"
#include "game/pools.h"
#include "tests/game/scripted_play.h"

namespace veltrin::testing {

// The shortest press and the reaction time of a route, in frames.
inline constexpr int kRouteMinimumPress = 6;
inline constexpr int kBlazeCost = 3;

// Words of a route, separated by spaces; KEYS as in ScriptedPlay::Queue:
//   KEYS:N   hold for N frames (N >= 6)
//   KEYS>X   hold until the player's x is at least X, then 6 frames more
//   KEYS<X   hold until the player's x is at most X, then 6 frames more
//   R}X      walk right until the player's x is at least X as a player
//            would: jump a low bullet that comes within 110 pixels, crouch
//            and shoot low at an enemy within 240 pixels at the body's
//            height while the magic lasts, crouch under a high bullet, jump a
//            wall, a gap or spikes ahead, and an enemy within 120 once the
//            magic is gone
//   KEYS!    press KEYS for 6 frames and let go of Shot and Jump for 6 (a
//            shot needs fresh presses), again and again, until every boss of
//            the floor is down
//   KEYS*N   the same N times
//   KEYS@X   fight the floor's boss from x = X until it is down: face it and
//            fire KEYS as KEYS! does while no bullet in sight is on course
//            for the body; when one is, 6 frames later crouch, walk away,
//            drop through the one-way floor or jump, whichever move the
//            bullets' straight courses miss longest; then back to X and onto
//            the lowest one-way floor over it
class RoutePlay {
 public:
  explicit RoutePlay(ScriptedPlay& play) : play_(play) {}

  // Plays the words in order; "" when the route ran through with the player
  // alive, otherwise what went wrong and at which word.
  std::string Run(std::string_view route, int frameLimitPerWord = 3000) {
    std::istringstream words{std::string(route)};
    std::vector<std::string> list;
    for (std::string word; words >> word;) list.push_back(word);
    for (std::size_t index = 0; index < list.size();) {
      // Words of fixed length are queued together, so that their keys also
      // reach the game's own blocking loops (signs, chests, shops, banners).
      std::size_t end = index;
      int frames = 0;
      std::string problem;
      play_.Clear();
      while (end < list.size() && problem.empty() && Fixed(list[end])) problem = QueueFixed(list[end++], &frames);
      if (end > index && problem.empty()) {
        problem = Outcome(play_.RunUntil([&] { return play_.Finished() || player.dead != 0; }, frames + 400));
      } else if (problem.empty()) {
        problem = Word(list[end++], frameLimitPerWord);
      }
      if (trace_) Trace(list[end - 1]);
      if (!problem.empty()) return "word " + std::to_string(end - 1) + " \"" + list[end - 1] + "\": " + problem;
      index = end;
    }
    return "";
  }

  static bool EnemyWithin(int distance) {
    for (const EnemyRecord& enemy : enemies) {
      const bool level = enemy.y + enemy.bodyBottom > player.y + 8 && enemy.y + enemy.bodyTop < player.y + 64;
      if (enemy.life > 0 && level && enemy.x + enemy.width > player.x && enemy.x - player.x <= distance) return true;
    }
    return false;
  }

  static bool BulletWithin(int distance) {
    for (const ShotRecord& bullet : enemyBullets) {
      const int bx = static_cast<int>(bullet.x), by = static_cast<int>(bullet.y);
      const bool level = by + 24 > player.y + 8 && by < player.y + 54;
      if (bullet.inUse != 0 && level && bx + 24 > player.x + 20 && bx - player.x <= distance) return true;
    }
    return false;
  }

  // True when every bullet near the player's body is above a crouching one.
  static bool BulletOverCrouch() {
    for (const ShotRecord& bullet : enemyBullets) {
      const int bx = static_cast<int>(bullet.x), by = static_cast<int>(bullet.y);
      const bool near = bx + 24 > player.x && bx - player.x <= 160;
      if (bullet.inUse != 0 && near && by + 24 > player.y + 34 && by < player.y + 64) return false;
    }
    return true;
  }

  // A wall at the body's height, or a gap or spikes underfoot, just ahead of
  // a player on the ground.
  static bool ObstacleAhead() {
    if (player.airborne != 0) return false;
    const int front = player.x + 48 + 10, feet = player.y + 64 + 8;
    const int wall = std::max(ReadAttributeAtPixel(front, player.y + 8), ReadAttributeAtPixel(front, player.y + 56));
    const int ground = ReadAttributeAtPixel(front + 24, feet);
    return wall > 50 || ground < 50 || (ground >= 52 && ground <= 55);
  }

  static bool BossAlive() {
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.bossIndex >= 0) return true;
    }
    return false;
  }

 private:
  static bool Fixed(const std::string& word) {
    const std::size_t mark = word.find_first_of(":><!*}@");
    return mark != std::string::npos && (word[mark] == ':' || word[mark] == '*');
  }

  // Queues a word of fixed length; adds its frames to *frames.
  std::string QueueFixed(const std::string& word, int* frames) {
    const std::size_t mark = word.find_first_of(":*");
    std::set<std::uint32_t> keys;
    for (char c : word.substr(0, mark)) {
      if (c == '-') continue;
      if (Key(c) == 0) return "unknown key";
      keys.insert(Key(c));
    }
    const int value = std::atoi(word.c_str() + mark + 1);
    if (word[mark] == ':') {
      if (value < kRouteMinimumPress) return "a press shorter than 6 frames";
      Queue(keys, value);
      *frames += value;
      return "";
    }
    for (int round = 0; round < value; ++round) {
      Queue(keys, kRouteMinimumPress);
      Queue({}, kRouteMinimumPress);
    }
    *frames += value * 2 * kRouteMinimumPress;
    return "";
  }

  void Trace(const std::string& word) const {
    std::fprintf(stderr, "  %-8s x %5d y %5d frame %6d magic %2d enemies %d:", word.c_str(), player.x, player.y,
                 play_.frames(), player.magic, enemyCount);
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0) std::fprintf(stderr, " %d,%d(%d)", enemy.x, enemy.y, enemy.life);
    }
    std::fprintf(stderr, " bullets");
    for (const ShotRecord& bullet : enemyBullets) {
      if (bullet.inUse != 0) std::fprintf(stderr, " %d,%d", static_cast<int>(bullet.x), static_cast<int>(bullet.y));
    }
    std::fprintf(stderr, "\n");
  }

  std::string Word(const std::string& word, int frameLimit) {
    const std::size_t mark = word.find_first_of(":><!*}@");
    if (mark == std::string::npos) return "no mark";
    std::set<std::uint32_t> keys;
    for (char c : word.substr(0, mark)) {
      if (c == '-') continue;
      const std::uint32_t key = Key(c);
      if (key == 0) return "unknown key";
      keys.insert(key);
    }
    const char kind = word[mark];
    const int value = std::atoi(word.c_str() + mark + 1);
    switch (kind) {
      case '>': return HoldUntil(keys, [value] { return player.x >= value; }, frameLimit);
      case '<': return HoldUntil(keys, [value] { return player.x <= value; }, frameLimit);
      case '}': return Advance(keys.count(kKeyLeft) != 0 ? -1 : 1, value, frameLimit);
      case '@': return Fight(keys, value, 4 * frameLimit);
      case '!':
        for (int round = 0; BossAlive(); ++round) {
          if (round * 2 * kRouteMinimumPress > frameLimit) return "the boss still stands";
          std::set<std::uint32_t> held = keys;
          held.erase(kKeyShot);
          held.erase(kKeyJump);
          std::string problem = Hold(keys, kRouteMinimumPress);
          if (problem.empty()) problem = Hold(held, kRouteMinimumPress);
          if (trace_ && round % 5 == 0) Trace("fight");
          if (!problem.empty()) return problem;
        }
        return "";
      default: return "no mark";
    }
  }

  std::string Advance(int direction, int goal, int frameLimit) {
    const std::uint32_t walk = direction > 0 ? kKeyRight : kKeyLeft;
    const int start = play_.frames();
    auto arrived = [&] { return direction > 0 ? player.x >= goal : player.x <= goal; };
    std::set<std::uint32_t> now = {walk};  // what the player is doing when something is seen
    while (!arrived()) {
      if (play_.frames() - start > frameLimit) return Outcome(false);
      std::string problem;
      // Nothing is jumped towards an enemy that could still be shot first.
      const int shotReach = ObstacleAhead() ? 320 : 240;
      if (direction > 0 && BulletWithin(110) && !BulletOverCrouch()) {
        // A low bullet is jumped before anything else.
        if (trace_) Trace("hop");
        problem = React(now, {walk, kKeyJump}, 20);
        now = {walk};
      } else if (direction > 0 && EnemyWithin(shotReach) && player.magic >= kBlazeCost) {
        if (trace_) Trace("shoot");
        // Close to spikes or a gap the player stops walking before crouching.
        problem = React(shotReach > 240 && now.count(walk) != 0 ? std::set<std::uint32_t>{} : now,
                        {kKeyDown, kKeyShot}, kRouteMinimumPress);
        if (problem.empty()) problem = Hold({kKeyDown}, kRouteMinimumPress);
        now = {kKeyDown};
      } else if (direction > 0 && BulletWithin(110)) {
        if (trace_) Trace("dodge");
        // A bullet that flies over a crouching player is let pass crouching.
        const std::set<std::uint32_t> answer =
            BulletOverCrouch() ? std::set<std::uint32_t>{kKeyDown} : std::set<std::uint32_t>{walk, kKeyJump};
        problem = React(now, answer, answer.count(kKeyJump) != 0 ? 20 : 2 * kRouteMinimumPress);
        now = answer.count(kKeyJump) != 0 ? std::set<std::uint32_t>{walk} : answer;
      } else if (direction > 0 && ObstacleAhead()) {
        if (trace_) Trace("leap");
        problem = Hold({walk, kKeyJump}, 20);
        now = {walk};
      } else if (direction > 0 && EnemyWithin(120)) {
        problem = React(now, {walk, kKeyJump}, 20);
        now = {walk};
      } else {
        // Walking on again after a crouch is itself a press of 6 frames.
        problem = Hold({walk}, now.count(walk) != 0 ? 1 : kRouteMinimumPress);
        now = {walk};
      }
      if (!problem.empty()) return problem;
    }
    return "";
  }

  // Where a move puts the body t frames from now.
  struct Pose {
    double dx, dy;
    bool crouch;
  };

  // A player sees the bullets on the screen only.
  static bool InSight(const ShotRecord& b) {
    return b.x + 24 > cameraX && b.x < cameraX + 640 && b.y + 24 > cameraY && b.y < cameraY + 480;
  }

  // The first of the next `horizon` frames at which a bullet in sight, flying
  // straight on, would meet the body posed by `pose(t)`; `horizon` when none would.
  template <typename PoseAt>
  static int FirstHit(PoseAt pose, int horizon) {
    constexpr double kMargin = 8.0;
    int first = horizon;
    for (const ShotRecord& b : enemyBullets) {
      if (b.inUse == 0 || !InSight(b)) continue;
      for (int t = 0; t < std::min(first, b.life); ++t) {
        const Pose p = pose(t);
        const double hx = b.x + 12 + b.vx * t, hy = b.y + 12 + b.vy * t + b.ay * t * t / 2;
        // The body keeps its speed through the reaction time.
        const double drift = player.velocityX * std::min(t, kRouteMinimumPress);
        const double left = player.x + 20 + p.dx + drift, top = player.y + p.dy + (p.crouch ? 36 : 8);
        const double bottom = player.y + p.dy + 56;
        if (hx > left - kMargin && hx < left + 24 + kMargin && hy > top - kMargin && hy < bottom + kMargin) {
          first = t;
          break;
        }
      }
    }
    return first;
  }

  // How far the feet fall through the one-way floor underfoot, and how far a
  // jump rises onto the one-way floor above (0 when there is none).
  static int DropDepth() {
    const int feet = player.y + 64, x = player.x + 32;
    if (player.airborne != 0 || ReadAttributeAtPixel(x, feet) != kAttrOneWay) return 0;
    for (int depth = 32; depth <= 320; depth += 32) {
      if (ReadAttributeAtPixel(x, feet + depth) >= kAttrOneWay) return depth;
    }
    return 0;
  }
  static int LedgeAbove() {
    const int feet = player.y + 64, x = player.x + 32;
    for (int rise = 32; rise <= 128; rise += 32) {
      if (ReadAttributeAtPixel(x, feet - rise) == kAttrOneWay) return rise;
    }
    return 0;
  }

  // The body's offset t frames on for a walk away, a drop and a jump that
  // start after the reaction time.
  static Pose Away(int t, int way) {
    const double s = std::min(std::max(t - kRouteMinimumPress, 0), 24);
    return {way * (s < 8 ? s * s / 4 : 16 + 3.75 * (s - 8)), 0, false};
  }
  static Pose Drop(int t, int depth) {
    const double s = std::max(t - kRouteMinimumPress, 0);
    return {0, std::min(0.4 * s * s + 0.4 * s, static_cast<double>(depth)), false};
  }
  static Pose Rise(int t, int ledge) {
    const double s = std::max(t - kRouteMinimumPress, 0);
    const double rise = 15 * s - 0.4 * s * s;
    if (ledge > 0 && s > 19 && rise < ledge) return {0, -static_cast<double>(ledge), false};
    return {0, -std::max(rise, 0.0), false};
  }

  static const EnemyRecord* Boss() {
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.bossIndex >= 0) return &enemy;
    }
    return nullptr;
  }

  // The KEYS@X word: one decision every 6 frames, each seen through the
  // bullets' straight courses over the next 40 frames.
  std::string Fight(const std::set<std::uint32_t>& keys, int goal, int frameLimit) {
    constexpr int kHorizon = 40;
    const int start = play_.frames();
    const bool low = keys.count(kKeyDown) != 0;
    std::set<std::uint32_t> fire = keys, aim = keys, now;
    aim.erase(kKeyShot);
    aim.erase(kKeyJump);
    for (const EnemyRecord* boss = Boss(); boss != nullptr; boss = Boss()) {
      if (play_.frames() - start > frameLimit) return "the boss still stands";
      const int toward = boss->x + boss->width / 2 > player.x + 32 ? 1 : -1;
      const int depth = DropDepth(), ledge = LedgeAbove();
      const bool onGround = player.airborne == 0 && ReadAttributeAtPixel(player.x + 32, player.y + 64) > kAttrOneWay;
      const auto rise = [ledge](int t) { return Rise(t + kRouteMinimumPress, ledge); };
      const auto drop = [depth](int t) { return Drop(t + kRouteMinimumPress, depth); };
      const auto walk = [](int way) {
        return [way](int t) { return Away(t + kRouteMinimumPress, way); };
      };
      const bool placed = std::abs(player.x - goal) <= 16;
      const int way = !placed ? (player.x < goal ? 1 : -1) : player.facing != toward ? toward : 0;
      std::string problem;
      const bool crouched = player.squat != 0;
      if (FirstHit([=](int t) { return Pose{0, 0, crouched || (low && t >= kRouteMinimumPress)}; }, kHorizon) <
          kHorizon) {
        if (trace_) Trace("dodge");
        // The move the bullets miss longest; ties go to the smaller move.
        struct Option {
          std::set<std::uint32_t> keys;
          int frames, clear;
        };
        const Option options[] = {
            {{kKeyDown}, 2 * kRouteMinimumPress,
             FirstHit([crouched](int t) { return Pose{0, 0, crouched || t >= kRouteMinimumPress}; }, kHorizon)},
            {{toward > 0 ? kKeyLeft : kKeyRight}, 3 * kRouteMinimumPress,
             FirstHit([toward](int t) { return Away(t, -toward); }, kHorizon)},
            {{toward > 0 ? kKeyRight : kKeyLeft}, 3 * kRouteMinimumPress,
             FirstHit([toward](int t) { return Away(t, toward); }, kHorizon)},
            {{kKeyDown, kKeyJump}, kRouteMinimumPress,
             depth > 0 ? FirstHit([depth](int t) { return Drop(t, depth); }, kHorizon) : -1},
            {{kKeyJump}, 20, player.airborne == 0 ? FirstHit([ledge](int t) { return Rise(t, ledge); }, kHorizon) : -1},
        };
        const Option* best = &options[0];
        for (const Option& option : options) best = option.clear > best->clear ? &option : best;
        problem = React(now, best->keys, best->frames);
        now = best->keys;
      } else if (player.airborne != 0) {
        problem = Hold({}, kRouteMinimumPress);
        now = {};
      } else if (way != 0) {
        // Back to the place, or turned to the boss, unless that walks into a bullet.
        now = FirstHit(walk(way), kHorizon) < kHorizon ? std::set<std::uint32_t>{}
                                                        : std::set<std::uint32_t>{way > 0 ? kKeyRight : kKeyLeft};
        problem = Hold(now, kRouteMinimumPress);
      } else if (onGround && ledge > 0 && FirstHit(rise, kHorizon) >= kHorizon) {
        problem = Hold({kKeyJump}, 20);
        now = {};
      } else if (depth > 0 && ReadAttributeAtPixel(player.x + 32, player.y + 64 + depth) == kAttrOneWay &&
                 FirstHit(drop, kHorizon) >= kHorizon) {
        problem = Hold({kKeyDown, kKeyJump}, kRouteMinimumPress);
        now = {};
      } else {
        // Shot pressed and let go by turns, the bullets looked at in between.
        now = now == fire ? aim : fire;
        problem = Hold(now, kRouteMinimumPress);
      }
      if (!problem.empty()) return problem;
    }
    return "";
  }

  // The reaction to what was just seen: the keys held a little longer, then
  // the answer held for `frames`.
  std::string React(const std::set<std::uint32_t>& now, const std::set<std::uint32_t>& answer, int frames) {
    const std::string problem = Hold(now, kRouteMinimumPress);
    return problem.empty() ? Hold(answer, frames) : problem;
  }

  std::string Hold(const std::set<std::uint32_t>& keys, int frames) {
    play_.Clear();
    Queue(keys, frames);
    const bool done = play_.RunUntil([&] { return play_.Finished() || player.dead != 0; }, frames + 2);
    return Outcome(done);
  }

  template <typename Reached>
  std::string HoldUntil(const std::set<std::uint32_t>& keys, Reached reached, int frameLimit) {
    play_.Clear();
    Queue(keys, frameLimit + kRouteMinimumPress);
    const int start = play_.frames();
    const bool done = play_.RunUntil(
        [&] { return player.dead != 0 || (play_.frames() - start >= kRouteMinimumPress && reached()); }, frameLimit);
    if (!done || player.dead != 0) return Outcome(done);
    // The reaction: the same keys a little longer.
    const int seen = play_.frames();
    return Outcome(
        play_.RunUntil([&] { return player.dead != 0 || play_.frames() - seen >= kRouteMinimumPress; }, 20));
  }

  void Queue(const std::set<std::uint32_t>& keys, int frames) {
    std::string letters;
    for (std::uint32_t key : keys) letters += Letter(key);
    if (letters.empty()) letters = "-";
    play_.Queue(letters + ":" + std::to_string(frames));
  }

  static std::string Outcome(bool done) {
    if (player.dead != 0) {
      return "died on floor " + std::to_string(floorNumber + 1) + " at " + std::to_string(player.x) + "," +
             std::to_string(player.y);
    }
    if (!done) {
      return "frames ran out on floor " + std::to_string(floorNumber + 1) + " at " + std::to_string(player.x) + "," +
             std::to_string(player.y);
    }
    return "";
  }

  static std::uint32_t Key(char c) {
    switch (c) {
      case 'L': return kKeyLeft;
      case 'R': return kKeyRight;
      case 'U': return kKeyUp;
      case 'D': return kKeyDown;
      case 'J': return kKeyJump;
      case 'X': return kKeyShot;
      case 'C': return kKeyShotChange;
      case 'A': return kKeyDash;
      case 'S': return kKeyMenu;
      default: return 0;
    }
  }
  static char Letter(std::uint32_t key) {
    switch (key) {
      case kKeyLeft: return 'L';
      case kKeyRight: return 'R';
      case kKeyUp: return 'U';
      case kKeyDown: return 'D';
      case kKeyJump: return 'J';
      case kKeyShot: return 'X';
      case kKeyShotChange: return 'C';
      case kKeyDash: return 'A';
      default: return 'S';
    }
  }

  ScriptedPlay& play_;
  // QZ_ROUTE_TRACE=1 prints where each word left the player, for laying routes.
  bool trace_ = std::getenv("QZ_ROUTE_TRACE") != nullptr;
};

}  // namespace veltrin::testing
