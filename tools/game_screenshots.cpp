// Screenshots of the game from its own frames, headless on the virtual clock:
// the title, the first floor's first screen after New Game, a floor in play,
// the status screen and every boss hall mid-fight, each played on scripted
// keys in a scratch copy of a data set.
// Usage: game_screenshots DATA_DIR OUT_DIR
//   (writes title, first_screen, floor, status, boss, hall025 ... hall100 and hall100sun .png)
//        game_screenshots DATA_DIR OUT_DIR openings
//   (writes opening001 ... opening100 .png: each floor as entering it shows it)
//        game_screenshots DATA_DIR OUT_DIR contact
//   (writes contact_enemies1.png ...: the sprite sheets, icons and tile sets
//   at twice their size, labelled, for review; the game is not started)
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/random.h"
#include "core/window_state.h"
#include "game/crossfade.h"
#include "game/floor_play.h"
#include "game/game_entry.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/pools.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "tools/contact_sheet.h"
#include "tools/gallery_support.h"
#include "tools/hall_fights.h"
#include "tools/route_player.h"
#include "tools/scripted_play.h"

namespace {

using veltrin::testing::ScriptedPlay;

// The floors shown, by map name, each entered at entrance 0 through the debug file.
constexpr const char* kPlayFloor = "001";
// Every floor of the campaign, for the pictures of their openings.
constexpr const char* kCampaignFloors[] = {"001", "002", "003", "004", "010", "011", "012", "025",
                                           "026", "027", "040", "041", "042", "055", "056", "057",
                                           "070", "071", "072", "085", "086", "087", "090", "100"};
// The boss halls and the pictures of their fights: the longest walk towards
// the boss, whether the volley waits for the boss's bullets to show (the
// Balloon Slime has none and comes to the player), and whether the boss is
// fought from a ladder of ledges instead (the Dragon Head rides its shaft
// above the floor's view); and for a fight whose boss changes its sheet as
// its life falls, the life it is brought down to once the player faces it,
// so the game's own phase steps bring on the later phase (0 leaves it be).
struct Hall {
  const char* floor;
  const char* picture;
  int walkFrames;
  bool waitForBullets;
  bool onLedges = false;
  int bossLifeLeft = 0;
};
// The Moon becomes the Sun below this life (its last phase).
constexpr int kSunPhaseLife = 8;
constexpr Hall kHalls[] = {{"010", "boss", 240, false},
                           {"025", "hall025", 240, true},
                           {"040", "hall040", 240, true},
                           {"055", "hall055", 240, true},
                           {"070", "hall070", 90, false},
                           {"085", "hall085", 240, true, true},
                           {"100", "hall100", 480, true},
                           {"100", "hall100sun", 480, true, false, kSunPhaseLife}};
// The walk on the play floor before its shot: a run and a jump, caught in the air.
constexpr const char* kPlayWalk = "R:70 RJ:14";
// How close the player walks up to the boss before firing (pixels), the
// frames before a stop counts as a wall's, and the volley.
constexpr int kBossRange = 160;
constexpr int kMinimumWalk = 10;
constexpr const char* kBossVolley = "-:20 X:1 -:9 X:1 -:9 X:1 -:3";
// From the title to the first floor: wait for the fade, open slot 1's window,
// New Game; then Confirm now and then turns the opening's pages. The first
// screen is caught once the player has stood a moment at the entrance.
constexpr const char* kTitleToNewGame = "-:40 J:6 -:20 D:6 -:12 J:6 -:90";
constexpr const char* kOpeningPage = "J:6 -:90";
constexpr int kOpeningPages = 8;
constexpr int kFirstScreenFrames = 30;
// In the halls the volley waits for the boss to show and its bullets, at most this long.
constexpr int kHallBulletWait = 400;
constexpr int kHallLife = 200;
// Frame limits of each wait: far more than any step needs.
constexpr int kFrameLimit = 3000;

namespace fs = std::filesystem;

// The debug start: every shot and item, so the status screen's panel is full,
// room for magic, and `life` points. Keys are Shift-JIS and lines end in CR LF.
std::string DebugFile(const char* floor, int life) {
  using namespace qz::text;
  const std::string lines[] = {
      "[DebugUse]",
      std::string(kDebugUseKey) + "=1",
      "[MapData]",
      std::string(kDebugMapFileKey) + "=" + floor,
      std::string(kDebugEntranceKey) + "=0",
      "[PlayerData]",
      std::string(kDebugLifeKey) + "=" + std::to_string(life),
      std::string(kDebugMagicKey) + "=40",
      std::string(kDebugBlazeLevelKey) + "=1",
      std::string(kDebugGravityLevelKey) + "=1",
      std::string(kDebugMagicalLevelKey) + "=1",
      std::string(kDebugKeysKey) + "=1",
      std::string(kDebugAllItemsKey) + "=1",
  };
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The data set copied into a scratch folder, so the debug file and anything
// the game writes never reach the caller's data; removed at the end.
class ScratchDataSet {
 public:
  explicit ScratchDataSet(const fs::path& source) {
    char pattern[] = "/tmp/game_screenshots_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    root_ = pattern;
    std::error_code error;
    fs::copy(source, root_, fs::copy_options::recursive, error);
    copied_ = !error;
  }
  ~ScratchDataSet() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }
  ScratchDataSet(const ScratchDataSet&) = delete;
  ScratchDataSet& operator=(const ScratchDataSet&) = delete;

  bool copied() const { return copied_; }
  const fs::path& root() const { return root_; }
  // Writes the debug file for `floor`, or removes it for a start on the title.
  bool UseDebugStart(const char* floor, int life) const {
    const fs::path path = root_ / "debug.ini";
    std::error_code ignored;
    fs::remove(path, ignored);
    if (floor == nullptr) return true;
    std::ofstream file(path, std::ios::binary);
    file << DebugFile(floor, life);
    return static_cast<bool>(file);
  }

 private:
  fs::path root_;
  bool copied_ = false;
};

// One run of the game from start-up to its end, in the data set's folder.
class GameRun {
 public:
  GameRun() : started_(StartGame() == 0) {}
  ~GameRun() {
    if (started_) EndGame();
  }
  GameRun(const GameRun&) = delete;
  GameRun& operator=(const GameRun&) = delete;
  bool started() const { return started_; }

 private:
  bool started_;
};

class Shooter {
 public:
  explicit Shooter(std::string outDir) : outDir_(std::move(outDir)) {}

  // Writes OUT_DIR/name.png from the frame just presented.
  bool Save(const char* name) const {
    qz::tools::Frame frame;
    const std::string path = outDir_ + "/" + name + ".png";
    if (!qz::tools::ReadBackScreen(kScreenWidth, kScreenHeight, &frame) ||
        !qz::tools::WriteFramePng(path, kScreenWidth, kScreenHeight, frame)) {
      return Fail("cannot read the screen or write " + path);
    }
    std::printf("%s\n", path.c_str());
    return true;
  }
  static bool Fail(const std::string& what) {
    std::fprintf(stderr, "game_screenshots: %s\n", what.c_str());
    return false;
  }

 private:
  std::string outDir_;
};

bool InFloorPlay() { return gameState.scene == kSceneFloorPlay && fadeRequest == 0; }

// The live boss nearest the player, or nullptr.
EnemyRecord* NearestBoss() {
  EnemyRecord* nearest = nullptr;
  for (EnemyRecord& enemy : enemies) {
    if (enemy.life <= 0 || enemy.bossIndex < 0) continue;
    if (nearest == nullptr || std::abs(enemy.x - player.x) < std::abs(nearest->x - player.x)) nearest = &enemy;
  }
  return nearest;
}

// The title once its fade-in is done and its layers have scrolled a little.
bool ShootTitle(const Shooter& shooter) {
  ScriptedPlay play;
  play.Idle(90);
  if (!play.RunUntil([&] { return play.Finished() && gameState.scene == kSceneTitle; }, kFrameLimit)) {
    return Shooter::Fail("the title was not shown");
  }
  return shooter.Save("title");
}

// New Game from the title, through the opening, to the first floor's first
// screen as a new player sees it.
bool ShootFirstScreen(const Shooter& shooter) {
  ScriptedPlay play;
  play.Queue(kTitleToNewGame);
  for (int page = 0; page < kOpeningPages; ++page) play.Queue(kOpeningPage);
  if (!play.RunUntil(InFloorPlay, kFrameLimit)) return Shooter::Fail("New Game did not lead to a floor");
  play.Clear();
  play.Idle(kFirstScreenFrames);
  if (!play.RunUntil([&] { return play.Finished(); }, kFrameLimit) || !InFloorPlay()) {
    return Shooter::Fail("the first floor did not stay in play");
  }
  return shooter.Save("first_screen");
}

// A floor's first screen, entered at its entrance 0, once the player has stood
// a moment there.
bool ShootOpening(const Shooter& shooter, const char* floor) {
  ScriptedPlay play;
  if (!play.RunUntil(InFloorPlay, kFrameLimit)) return Shooter::Fail(std::string("floor ") + floor + " not entered");
  play.Idle(kFirstScreenFrames);
  if (!play.RunUntil([&] { return play.Finished(); }, kFrameLimit)) {
    return Shooter::Fail(std::string("floor ") + floor + " did not stay in play");
  }
  return shooter.Save(("opening" + std::string(floor)).c_str());
}

// A floor in play mid-jump, then the status screen opened from it.
bool ShootFloorAndStatus(const Shooter& shooter) {
  ScriptedPlay play;
  if (!play.RunUntil(InFloorPlay, kFrameLimit)) {
    return Shooter::Fail(std::string("floor ") + kPlayFloor + " not entered");
  }
  play.Queue(kPlayWalk);
  if (!play.RunUntil([&] { return play.Finished(); }, kFrameLimit) || player.dead != 0) {
    return Shooter::Fail(std::string("the walk on floor ") + kPlayFloor + " did not end alive");
  }
  if (!shooter.Save("floor")) return false;
  play.Queue("-:30 S:2 -:40");
  if (!play.RunUntil([&] { return play.Finished() && gameState.scene == kSceneStatus; }, kFrameLimit)) {
    return Shooter::Fail("the status screen did not open");
  }
  return shooter.Save("status");
}


bool OnScreen(const ShotRecord& shot) {
  return shot.inUse != 0 && shot.x + 24 > cameraX && shot.x < cameraX + kScreenWidth && shot.y + 24 > cameraY &&
         shot.y < cameraY + kScreenHeight;
}

// Whether the middle of the enemy's picture is on screen, a quarter of the
// screen's height or more from its top and bottom.
bool InView(const EnemyRecord& enemy) {
  const int middleX = enemy.x + enemy.width / 2 - cameraX, middleY = enemy.y + enemy.height / 2 - cameraY;
  return middleX >= 0 && middleX < kScreenWidth && middleY >= kScreenHeight / 4 && middleY < kScreenHeight * 3 / 4;
}

// Whether the middle of the enemy's picture is on screen.
bool Shows(const EnemyRecord& enemy) {
  const int middleX = enemy.x + enemy.width / 2 - cameraX, middleY = enemy.y + enemy.height / 2 - cameraY;
  return middleX >= 0 && middleX < kScreenWidth && middleY >= 0 && middleY < kScreenHeight;
}

// Whether the enemy's whole body is on screen, below the status bar, as the
// hall's camera frames a looming boss.
bool ShowsWholeBody(const EnemyRecord& enemy) {
  return enemy.x + enemy.bodyLeft >= cameraX && enemy.x + enemy.bodyRight <= cameraX + kScreenWidth &&
         enemy.y + enemy.bodyTop >= cameraY + kStatusBarHeight && enemy.y + enemy.bodyBottom <= cameraY + kScreenHeight;
}

// The ladder's fight as the campaign's route plays it, a little at a time,
// until the boss is in view with a shot of each side in flight.
bool FightOnLedgesUntilInView(ScriptedPlay& play, const EnemyRecord& boss) {
  constexpr int kStretch = 12;
  veltrin::routes::FightSettings stretch = veltrin::routes::kOnTheLadder;
  stretch.frameLimit = kStretch;
  const veltrin::routes::Route fight = veltrin::routes::Route().Fight({veltrin::testing::kKeyShot}, stretch);
  veltrin::routes::RoutePlayer fighter(play);
  const auto caught = [&] {
    return InView(boss) && std::any_of(std::begin(enemyBullets), std::end(enemyBullets), OnScreen) &&
           std::any_of(std::begin(playerShots), std::end(playerShots), OnScreen);
  };
  for (int frames = 0; frames < kFrameLimit && player.dead == 0 && boss.life > 0; frames += kStretch) {
    if (caught()) return true;
    fighter.Run(fight);
  }
  return false;
}

// Walks up to the hall's boss, facing it (or as far as a wall lets), waits for
// the boss's bullets to show if asked and fires a volley, caught with a shot
// in flight; or fights it from its ladder of ledges until it is in view.
bool ShootHall(const Shooter& shooter, const Hall& hall) {
  ScriptedPlay play;
  if (!play.RunUntil(InFloorPlay, kFrameLimit)) {
    return Shooter::Fail(std::string("floor ") + hall.floor + " not entered");
  }
  // Each fight from the same random numbers, whichever halls were shot before.
  qz::SeedRandom(1);
  EnemyRecord* boss = NearestBoss();
  if (boss == nullptr) return Shooter::Fail(std::string("floor ") + hall.floor + " holds no boss");
  const bool bossOnTheRight = boss->x > player.x;
  play.Hold({bossOnTheRight ? veltrin::testing::kKeyRight : veltrin::testing::kKeyLeft}, kFrameLimit);
  const int start = play.frames();
  play.RunUntil(
      [&] {
        const bool againstAWall = play.frames() - start > kMinimumWalk && player.velocityX == 0.0;
        return std::abs(boss->x - player.x) <= kBossRange || player.dead != 0 || againstAWall ||
               play.frames() - start >= hall.walkFrames;
      },
      kFrameLimit);
  play.Clear();
  if (hall.onLedges) {
    if (!FightOnLedgesUntilInView(play, *boss)) {
      return Shooter::Fail("the fight on floor " + std::string(hall.floor) + " showed no boss in view");
    }
    return shooter.Save(hall.picture);
  }
  if (hall.bossLifeLeft > 0) boss->life = std::min(boss->life, hall.bossLifeLeft);
  // The volley waits for the boss to show (whole, when a later phase is
  // shown), and its bullets if asked.
  play.RunUntil(
      [&] {
        const bool bullets = !hall.waitForBullets ||
                             std::any_of(std::begin(enemyBullets), std::end(enemyBullets), OnScreen);
        const bool shown = hall.bossLifeLeft > 0 ? ShowsWholeBody(*boss) : Shows(*boss);
        return (shown && bullets) || player.dead != 0;
      },
      kHallBulletWait);
  play.Queue(kBossVolley);
  if (!play.RunUntil([&] { return play.Finished() || player.dead != 0; }, kFrameLimit) || player.dead != 0 ||
      NearestBoss() == nullptr) {
    return Shooter::Fail("the fight on floor " + std::string(hall.floor) + " ended before its picture");
  }
  return shooter.Save(hall.picture);
}

// Starts the game with the debug file for `floor` (the title when null) and `life` points, and runs `shoot`.
template <typename Shoot>
bool RunShots(const ScratchDataSet& data, const char* floor, int life, Shoot shoot) {
  if (!data.UseDebugStart(floor, life)) return Shooter::Fail("cannot write the debug file");
  const GameRun run;
  if (!run.started()) return Shooter::Fail("the game did not start");
  return shoot();
}

// The exit code of a run that cannot start.
int Refuse(const std::string& why) {
  Shooter::Fail(why);
  return 1;
}

// The contact sheets of the data set's sprite art; the paths written on stdout.
int WriteContact(const fs::path& dataDir, const fs::path& outDir) {
  std::string error;
  const std::vector<std::string> pages = qz::tools::WriteContactSheets(dataDir, outDir, &error);
  if (pages.empty()) return Refuse(error);
  for (const std::string& page : pages) std::printf("%s\n", page.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[3] : "";
  if (argc != 3 && mode != "openings" && mode != "contact") {
    std::fprintf(stderr, "usage: %s DATA_DIR OUT_DIR [openings|contact]\n", argv[0]);
    return 2;
  }
  const bool openings = mode == "openings";
  const fs::path dataDir = fs::absolute(argv[1]);
  const fs::path outDir = fs::absolute(argv[2]);
  if (!fs::is_directory(dataDir / "map")) return Refuse(dataDir.string() + " holds no data set");
  std::error_code error;
  if (!fs::create_directories(outDir, error) && !fs::is_directory(outDir)) {
    return Refuse("cannot make " + outDir.string());
  }
  if (mode == "contact") return WriteContact(dataDir, outDir);
  setenv("QZ_BACKEND", "headless", 0);
  // Virtual time runs waits and fades at once; the null sink plays sounds out
  // as the clock runs, so sequences that wait for a sound end.
  plat::UseVirtualTime(true);
  plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
  // A window class of this process's own, so a game already running is no hindrance.
  const std::string className = "VeltrinShots" + std::to_string(getpid());
  className.copy(qz::GetWindowSystemState().settings.className, className.size());

  const ScratchDataSet data(dataDir);
  if (!data.copied()) return Refuse("cannot copy " + dataDir.string());
  fs::current_path(data.root());
  const Shooter shooter(outDir.string());
  if (openings) {
    bool done = true;
    for (const char* floor : kCampaignFloors) {
      done = done && RunShots(data, floor, 1, [&] { return ShootOpening(shooter, floor); });
    }
    fs::current_path(outDir);
    return done ? 0 : 1;
  }
  bool done = RunShots(data, nullptr, 1, [&] { return ShootTitle(shooter); }) &&
              RunShots(data, nullptr, 1, [&] { return ShootFirstScreen(shooter); }) &&
              RunShots(data, kPlayFloor, 1, [&] { return ShootFloorAndStatus(shooter); });
  // The halls' fights are shot with life to spare: a hit on the way is no failure.
  for (const Hall& hall : kHalls) {
    done = done && RunShots(data, hall.floor, kHallLife, [&] { return ShootHall(shooter, hall); });
  }
  // Out of the copy before it is removed.
  fs::current_path(outDir);
  return done ? 0 : 1;
}
