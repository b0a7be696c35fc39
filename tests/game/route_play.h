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
#include "game/player_physics.h"
#include "game/pools.h"
#include "tools/scripted_play.h"

namespace veltrin::testing {

// The shortest press and the reaction time of a route, in frames.
inline constexpr int kRouteMinimumPress = 6;
inline constexpr int kBlazeCost = 3;

// Words of a route, separated by spaces; KEYS as in ScriptedPlay::Queue:
//   KEYS:N   hold for N frames (N >= 6)
//   KEYS>X   hold until the player's x is at least X, then 6 frames more
//   KEYS<X   hold until the player's x is at most X, then 6 frames more
//   KEYS~X   hold until a travelling platform's left edge is within 8 pixels
//            of X, then 6 frames more (waiting for a ride)
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
//   KEYS?    as KEYS!, until a boss falls or changes its look (its body
//            shown from another sheet, as a boss does entering a phase),
//            then the keys without Shot and Jump 6 frames more
//   KEYS^N   fight a boss that rides up and down beside a ladder of ledges
//            in the player's column, for at most N frames: on the ledge level
//            with its body press KEYS as in KEYS!; otherwise climb a ledge
//            (Jump) or drop one (Down + Jump) towards its height; out of the
//            way of a bullet seen coming, climb, drop or step right, whichever
//            its flight meets latest or not at all (6 frames after it is seen)
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

  static bool PlatformNear(int x) {
    for (int i = 0; i < std::min<int>(movingCount, kMovingObjectCount); ++i) {
      if (movingObjects[i].type <= 3 && std::abs(movingObjects[i].x - x) <= 8) return true;
    }
    return false;
  }

  // The first live boss of the floor, or null.
  static const EnemyRecord* Boss() {
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.bossIndex >= 0) return &enemy;
    }
    return nullptr;
  }
  static bool BossAlive() { return Boss() != nullptr; }

 private:
  // The sheet each live boss is drawn from, in record order.
  static std::vector<int> BossLooks() {
    std::vector<int> looks;
    for (const EnemyRecord& enemy : enemies) {
      if (enemy.life > 0 && enemy.bossIndex >= 0) looks.push_back(enemy.sheetSlot);
    }
    return looks;
  }

  static bool Fixed(const std::string& word) {
    const std::size_t mark = word.find_first_of(":><!*}~?^@");
    return mark != std::string::npos && (word[mark] == ':' || word[mark] == '*');
  }

  // Queues a word of fixed length; adds its frames to *frames.
  std::string QueueFixed(const std::string& word, int* frames) {
    const std::size_t mark = word.find_first_of(":*");
    std::set<std::uint32_t> keys;
    for (char c : word.substr(0, mark)) {
      if (c == '-') continue;
      if (KeyOfLetter(c) == 0) return "unknown key";
      keys.insert(KeyOfLetter(c));
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
    const std::size_t mark = word.find_first_of(":><!*}~?^@");
    if (mark == std::string::npos) return "no mark";
    std::set<std::uint32_t> keys;
    for (char c : word.substr(0, mark)) {
      if (c == '-') continue;
      const std::uint32_t key = KeyOfLetter(c);
      if (key == 0) return "unknown key";
      keys.insert(key);
    }
    const char kind = word[mark];
    const int value = std::atoi(word.c_str() + mark + 1);
    const std::vector<int> looks = BossLooks();
    switch (kind) {
      case '>': return HoldUntil(keys, [value] { return player.x >= value; }, frameLimit);
      case '<': return HoldUntil(keys, [value] { return player.x <= value; }, frameLimit);
      case '~': return HoldUntil(keys, [value] { return PlatformNear(value); }, frameLimit);
      case '}': return Advance(keys.count(kKeyLeft) != 0 ? -1 : 1, value, frameLimit);
      case '@': return Fight(keys, value, 4 * frameLimit);
      case '!':
      case '?': {
        std::set<std::uint32_t> held = keys;
        held.erase(kKeyShot);
        held.erase(kKeyJump);
        for (int round = 0; BossAlive() && (kind == '!' || BossLooks() == looks); ++round) {
          if (round * 2 * kRouteMinimumPress > frameLimit) return "the boss still stands";
          std::string problem = Hold(keys, kRouteMinimumPress);
          if (problem.empty()) problem = Hold(held, kRouteMinimumPress);
          if (trace_ && round % 5 == 0) Trace("fight");
          if (!problem.empty()) return problem;
        }
        // The change may come at the end of a round: the player reacts after it.
        return kind == '?' ? Hold(held, kRouteMinimumPress) : "";
      }
      case '^': return FightOnLedges(keys, value);
      default: return "no mark";
    }
  }

  // The player's y on every place to stand straight above or below the player.
  static std::vector<int> PlacesInColumn() {
    std::vector<int> places;
    const int x = player.x + 32;
    for (int row = 2; row * kCellSize <= kFieldBottomPixel; ++row) {
      const int top = row * kCellSize;
      if (ReadAttributeAtPixel(x, top) >= kAttrOneWay && ReadAttributeAtPixel(x, top - kCellSize) < kAttrOneWay &&
          ReadAttributeAtPixel(x, top - 2 * kCellSize) < kAttrOneWay) {
        places.push_back(top - 2 * kCellSize);
      }
    }
    return places;
  }

  // A move of the fight on ledges: to the place at `goal` above or below
  // (Jump held `press` frames, or Down + Jump), or, with `goal` the player's
  // y, a step right (Right held `press` frames; none: standing).
  struct LedgeMove {
    int goal, press;
  };
  struct Place {
    int x, y;
  };

  // The player's place frame by frame: still for `wait` frames, then `move`;
  // the last place is held after.
  static std::vector<Place> PathOf(int wait, LedgeMove move) {
    std::vector<Place> path(static_cast<std::size_t>(wait), Place{player.x, player.y});
    const bool climb = move.goal < player.y;
    double x = player.x, y = player.y, v = climb ? LaunchSpeed(kJumpSpeed, kHighJumpSpeed) : kGravity;
    for (int t = 0; move.goal != player.y && (v < 0.0 || y < move.goal); ++t) {
      if (climb && t == move.press && v < 0.0) v = -kGravity;
      y += v;
      v = std::min(v + kGravity, kFallCap);
      path.push_back({player.x, v > 0.0 && y >= move.goal ? move.goal : static_cast<int>(y)});
    }
    // Walking speeds up and slows down by half a pixel a frame.
    for (int t = 0, speed = 0; move.goal == player.y && (t < move.press || speed > 0); ++t) {
      speed = t < move.press ? std::min(speed + 1, static_cast<int>(2 * kWalkCap)) : speed - 1;
      x += speed / 2.0;
      path.push_back({static_cast<int>(x), player.y});
    }
    path.push_back({static_cast<int>(x), move.goal});
    return path;
  }

  // The first frame at which a live bullet, flown on as it goes, reaches the
  // player's body (with a margin) along `path` (the last place held after
  // it): directly, or by its blast where it meets a wall; -1 when none does.
  static int FirstBulletHit(const std::vector<Place>& path) {
    constexpr int kMargin = 10;
    int first = -1;
    for (const ShotRecord& b : enemyBullets) {
      if (b.inUse == 0) continue;
      const bool passesCells = b.graphicBase == 3 || b.graphicBase == 9;
      double bx = b.x, by = b.y, vx = b.vx, vy = b.vy;
      for (int t = 0; t < b.life && (first < 0 || t < first); ++t) {
        const Place at = path[std::min(static_cast<std::size_t>(t), path.size() - 1)];
        const int left = at.x + 20 - kMargin, right = at.x + 44 + kMargin;
        const int high = at.y + 8 - kMargin, low = at.y + 56 + kMargin;
        const int hx = static_cast<int>(bx) + 12, hy = static_cast<int>(by) + 12;
        const bool wall = !passesCells && ReadAttributeAtPixel(hx, hy) >= kAttrSolidFrom;
        const int r = wall ? (b.blastSize > 0 ? 45 + 25 * b.blastSize : -1) : 0;
        if (hx + r >= left && hx - r <= right && hy + r >= high && hy - r <= low) first = t;
        if (wall) break;
        bx += vx, by += vy, vx += b.ax, vy += b.ay;
      }
    }
    return first;
  }

  std::string FightOnLedges(const std::set<std::uint32_t>& keys, int frameLimit) {
    constexpr int kClimbPress = 12, kStepPress = 18, kNoHit = 1 << 20;
    const int start = play_.frames();
    bool shooting = false;
    Place landing{player.x, player.y};
    int threatSeen = -1;  // the frame a bullet was first seen coming at the place to stand
    while (BossAlive()) {
      if (play_.frames() - start > frameLimit) return "the boss still stands";
      if (player.airborne != 0) {
        if (threatSeen < 0 && FirstBulletHit({landing}) >= 0) threatSeen = play_.frames();
        const std::string problem = Hold({}, 1);
        if (!problem.empty()) return problem;
        continue;
      }
      const EnemyRecord* boss = nullptr;
      for (const EnemyRecord& enemy : enemies) {
        if (enemy.life > 0 && enemy.bossIndex >= 0) boss = &enemy;
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
      if (threatSeen < 0 && FirstBulletHit({{player.x, player.y}}) >= 0) threatSeen = play_.frames();
      // What answers a bullet starts 6 frames after it was first seen.
      const int wait = threatSeen < 0 ? kRouteMinimumPress
                                      : std::max(0, kRouteMinimumPress - (play_.frames() - threatSeen));
      const auto hitOn = [&](LedgeMove move, int delay) {
        const std::vector<Place> path = PathOf(delay, move);
        // A step must end on the ledge, the far foot over it.
        if (ReadAttributeAtPixel(path.back().x + 18, path.back().y + 64) < kAttrOneWay) return 0;
        const int hit = FirstBulletHit(path);
        return hit < 0 ? kNoHit : hit;
      };
      LedgeMove move{player.y, 0};
      if (threatSeen >= 0) {
        // The move a bullet meets latest, or none, now or up to half a second
        // later (once a bullet in the way has passed); a later one is chosen
        // again at its time.
        int latest = hitOn(move, 0), after = wait;
        for (int delay = wait; delay <= wait + 30; delay += kRouteMinimumPress) {
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
      const bool step = goal == player.y && move.press > 0;
      const bool shoot = goal == player.y && !step && level;
      if (trace_) {
        Trace(goal < player.y ? "climb" : goal > player.y ? "drop" : step ? "step" : shoot ? "fight" : "wait");
      }
      const int before = shoot && shooting ? 0 : goal == player.y && !step ? kRouteMinimumPress : wait;
      std::string problem = before > 0 ? Hold({}, before) : "";
      if (problem.empty() && goal < player.y) problem = Hold({kKeyJump}, kClimbPress);
      if (problem.empty() && goal > player.y) problem = Hold({kKeyDown, kKeyJump}, kRouteMinimumPress);
      if (problem.empty() && step) problem = Hold({kKeyRight}, kStepPress);
      if (problem.empty() && shoot) problem = Hold(keys, kRouteMinimumPress);
      if (problem.empty() && goal == player.y) problem = Hold({}, kRouteMinimumPress);
      if (!problem.empty()) return problem;
      if (goal != player.y || step) threatSeen = -1;
      landing = {player.x, goal};
      shooting = shoot;
    }
    return "";
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

  // A blocking sequence met on the way (the key switch's flash) runs frames of
  // its own; a limit it overran would ask the window to close and let go of
  // every key behind the script's back.
  std::string Hold(const std::set<std::uint32_t>& keys, int frames) {
    play_.Clear();
    Queue(keys, frames);
    const bool done = play_.RunUntil([&] { return play_.Finished() || player.dead != 0; }, frames + 60);
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
