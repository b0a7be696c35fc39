// What the campaign replays share: the keys from the title's New Game
// through the opening, the areas' routes (the meadow's included) and how
// they are played, the turning of the ending's pages, and a
// fixture that starts the game on the null sink with a fixed random seed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/random.h"
#include "game/game_text.h"
#include "game/crossfade.h"
#include "game/enemy_bullets.h"
#include "game/floor_play.h"
#include "game/pools.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/screen_state.h"
#include "platform/dsound.h"
#include "tests/game/game_data_fixture.h"
#include "tools/hall_fights.h"
#include "tools/route_player.h"
#include "tools/scripted_play.h"

namespace veltrin::testing {

// The title: wait for its fade, open slot 1's window, New Game; then Confirm
// now and then turns the opening's pages until "001" is shown.
inline constexpr const char* kTitleToNewGame = "-:40 J:6 -:20 D:6 -:12 J:6 -:90";
inline constexpr const char* kOpeningPage = "J:6 -:90";
inline constexpr int kOpeningPresses = 8;

using routes::Chest;
using routes::FightSettings;
using routes::kOnTheLadder;
using routes::kStandAndShoot;
using routes::WitchFight;
using routes::Mark;
using routes::Keys;
using routes::kMinimumPress;
using routes::kKeyDown;
using routes::kKeyJump;
using routes::kKeyLeft;
using routes::kKeyRight;
using routes::kKeyShot;
using routes::kKeyShotChange;
using routes::kKeyUp;
using routes::Route;

inline const Keys kRight{kKeyRight}, kLeft{kKeyLeft}, kRightJump{kKeyRight, kKeyJump}, kShot{kKeyShot};
inline const Keys kLowShot{kKeyDown, kKeyShot}, kShotChange{kKeyShotChange};

inline bool InShop() { return gameState.scene == kSceneShop && fadeRequest == 0; }
inline bool OnFloorPlay() { return gameState.scene == kSceneFloorPlay && fadeRequest == 0; }
// Up at the nearest shop, until its counter shows.
inline Route IntoTheShop() { return Route().StopAt(routes::Shop()).Press({kKeyUp}, 6).WaitFor("the shop", InShop); }
// In a shop: the cursor to the row (0 the first; Down or Up as needed, also
// when the Up that opened the shop moved it), Confirm, Up to "Yes", Confirm,
// the result dismissed, Cancel out, until the floor shows again; each press
// once the shop shows it can take it.
inline Route BuyRow(int row) {
  constexpr int kOnYes = 234;  // the dialog cursor's y resting on "Yes"
  const auto coins = std::make_shared<int>(-1);
  const auto decide = [coins, row](bool inWindow) -> Keys {
    if (*coins < 0) *coins = player.coins;
    const bool paid = player.coins < *coins;
    if (inWindow) {
      // The question, or once paid the result.
      if (paid) return {kKeyJump};
      if (DialogCursor.moving != 0) return {};
      return DialogCursor.y == kOnYes ? Keys{kKeyJump} : Keys{kKeyUp};
    }
    if (gameState.scene != kSceneShop || MenuCursor.moving != 0) return {};
    if (paid) return kShot;
    if (MenuCursor.row == row) return {kKeyJump};
    constexpr int kExitRow = 3;  // below the goods; Down from it comes round to the first
    return MenuCursor.row < row || MenuCursor.row == kExitRow ? Keys{kKeyDown} : Keys{kKeyUp};
  };
  // Out of the shop the coins are counted afresh the next time.
  return Route().Answer("the shop", decide, [coins] { return OnFloorPlay() && (*coins = -1, true); });
}

// A jump or a fall come down.
inline Route Landing() { return Route().WaitFor("the landing", [] { return player.airborne == 0; }); }
// "001": from the entrance by the sign up the stone stairs to the pick-up on
// top, over the blue slime and the pick-up above its dip, the low shot tried
// on the blue slime standing past the second sign, the magic filled, the
// green slime met standing and shot low, the key, the chest with the first
// coin, door 0.
inline Route Meadow() {
  return Route()
      .Wait(40)
      .HoldTo(kRight, Mark("stairs-jump")).Press(kRightJump, 20)
      .HoldTo(kRight, Mark("dip-jump")).Press(kRightJump, 20)
      .HoldTo(kRight, Mark("second-sign")).HoldGround(kLowShot, 30)
      .UseRecoveryPoint()
      .WalkTo(Mark("before-chest"))
      .OpenChest()
      .TakeDoor();
}
// "002": onto the key switch ahead, back under the ledges, a pick-up onto the
// low ledge, up to the key's ledge, down short of the red slime's shelf,
// under it over the bridged spikes, the chest and door 0.
inline Route KeyFloor() {
  return Route()
      .HoldTo(kRight, Mark("key-switch")).HoldTo(kLeft, Mark("under-ledges"))
      .HoldTo(kRight, Mark("ledge-jump")).Press(kRightJump, 15).Press(kRight, 6).Press(kRightJump, 20).Then(Landing())
      .OpenChest()
      .TakeDoor();
}
// "003" in the dark: back past the shop to the key and the chest with the
// meadow's third coin, then into the meadow shop.
inline Route DarkFloorToTheShop() { return Route().OpenChest().Then(IntoTheShop()); }
// "003" from the shop: over the stone block that no jump clears, on the
// spring, to door 0.
inline Route DarkFloorFromTheShop() { return Route().HoldTo(kRight, Mark("past-block")).TakeDoor(); }
// "004" on slippery ground: back to a jump under the plank up to the key, off the
// plank's end, the chest with the High Jump, a jump over the dip, a long slide past the slime to the door.
inline Route SlipperyFloor() {
  return Route()
      .HoldTo(kLeft, Mark("plank-jump")).Wait(30).Press({kKeyJump}, 20).Then(Landing())
      .HoldTo(kRight, Mark("plank-end")).OpenChest()
      .HoldTo(kRight, Mark("pit-jump")).Press(kRightJump, 20)
      .TakeDoor();
}
// "010": from behind the stone block at the dip's edge the shots fly over the
// block into the slime boss while its bullets strike the block.
inline Route SlimeHallFight() { return Route().HoldTo(kRight, Mark("behind-block")).Fight(kShot, kStandAndShoot); }
// "010": the spike pit's cell level with the ground the player stands on,
// open while the slime boss lives (too wide to jump) and made solid once the
// boss's countdown has run out.
inline int SlimePitCell() { return AttributeAt(routes::ColumnOf(Mark("pit")), (player.y + kPlayerSpriteSize) / kCellSize); }
inline bool SlimePitClosed() { return SlimePitCell() >= kAttrSolidFrom; }
// "010" once the pit has closed: the walk to the chest leaps the block and
// the dip's far wall as it meets them; then door 0.
inline Route SlimeHallOut() {
  return Route().OpenChest().TakeDoor();
}

// "011": the red bee bobbing over the way to the chest is high (or gone):
// its feet far enough over the head for a walk under it to pass.
inline constexpr int kCavernBeeClearance = 252;
inline bool CavernBeeHigh() {
  for (const EnemyRecord& e : enemies) {
    if (e.life > 0 && e.x / kCellSize == routes::ColumnOf(Mark("bee"))) {
      return e.y + e.bodyBottom < player.y + kBodyTop - kCavernBeeClearance;
    }
  }
  return true;
}

// "042": the mushroom, placed at its mark and hopping to and fro past the
// chest, has turned away from the player (or is gone): an advance then comes
// up behind it. A mole that followed the player back is no sign of it.
inline bool MushroomTurnedAway() {
  const EnemyRecord* mushroom = routes::EnemyOfKindAt(Mark("mushroom"));
  return mushroom == nullptr || (mushroom->x > player.x) == (mushroom->facing > 0);
}

// "056": an enemy ahead has come this side of the place (the shell creature
// past the penguin), for a walk to the place to meet it.
inline std::function<bool()> EnemyCameTo(routes::Place place) {
  return [place] {
    const int x = (routes::ColumnOf(place) + 1) * kCellSize;
    return std::any_of(std::begin(enemies), std::end(enemies),
                       [x](const EnemyRecord& e) { return e.life > 0 && e.x > player.x && e.x < x; });
  };
}

// The campaign area by area in the order it is played: what the player holds
// on arriving at the area's first floor, and the route over each floor to
// the door it ends at. "101" is the ending.
struct FloorRoute {
  const char* floor;
  const char* next;
  Route route;
  // The random numbers the floor starts from.
  std::uint32_t seed = 1;
};
// The replicas in the order the campaign's chests give them.
inline constexpr int kReplicasInCampaignOrder[] = {kFireRubyReplica, kWindEmeraldReplica, kAquaSapphireReplica,
                                                   kEarthDiamondReplica};
struct AreaStart {
  const char* floor;
  int maxMagic;
  int magicShotLevel;
  int coins;
  bool highJump;
  int replicasHeld;        // the first ones of kReplicasInCampaignOrder
  std::vector<int> items;  // the other items held (progress flags)
};
struct CampaignArea {
  const char* name;
  AreaStart start;
  std::vector<FloorRoute> routes;
};

// A beaten boss's countdown run out and the hall shown again.
inline Route AfterTheBoss() {
  return Route().WaitFor("the boss's countdown", [] { return gameState.bossCountdown == 0 && OnFloorPlay(); });
}
// The floors after the meadow begin with the sign by the entrance.
inline Route FromTheSign() { return Route().ReadSign(); }
// The sign, then the magic filled at the recovery point.
inline Route SignAndMagic() { return Route().ReadSign().UseRecoveryPoint(); }
// The magic filled at the recovery point, where the enemies coming are met
// standing (an enemy in view from the entrance, before the sign).
inline Route MagicStanding() {
  return Route().StopAt(routes::RecoveryPoint()).Press({kKeyUp}, 8).HoldGround(kLowShot, 90);
}
// The sign, then the magic filled at the recovery point, where the enemies
// coming are met standing.
inline Route SignAndMagicStanding() {
  return Route().ReadSign().StopAt(routes::RecoveryPoint()).Press({kKeyUp}, 8).HoldGround(kLowShot, 90);
}
// A floor's end: the chest by the door, then door 0.
inline Route ChestAndDoor() { return Route().OpenChest().TakeDoor(); }
// "100": no enemy bullet shows on the screen. The sparks the Sun and the
// Moon loose as they change are out by the time the high platform is reached
// (they come a moment after the change): then they have struck the wall or
// flown past below and out of sight.
inline bool NoEnemyBulletInSight() {
  constexpr int kSize = 2 * kBulletHitOffset;
  for (const ShotRecord& b : enemyBullets) {
    if (b.inUse != 0 && routes::InView(b.x, b.y, kSize, kSize)) return false;
  }
  return true;
}
// Floor 100: from the slit, up on the high platform behind it, where the
// fire the Sun and the Moon loose as they change passes below, until it has
// gone by.
inline Route ClimbAway() {
  return Route()
      .HoldTo({kKeyLeft, kKeyJump}, Mark("slit-climb")).HoldTo(kLeft, Mark("slit-climb")).Wait(6).Press(kLeft, 6).Wait(20)
      .HoldTo({kKeyLeft, kKeyJump}, Mark("high-platform")).HoldTo(kLeft, Mark("high-platform"))
      .WaitFor("the sparks gone by", NoEnemyBulletInSight);
}
// The check cube Up was pressed at is lit gold: the floor restarts there.
inline bool CheckCubeLit() { return entrance == kCheckCubeEntrance; }
// "057": past the two walkers as `pastTheWalkers` goes, straight
// up through the plank onto its key, down to the chest, the Magic Shot
// chosen, then the recovery point and the check cube.
inline Route ChestPastThePlank(const Route& pastTheWalkers) {
  return Route(pastTheWalkers)
      .StopAt(routes::Key()).Press({kKeyJump}, 20).Then(Landing())
      .OpenChest().Press(kShotChange, 6).Wait(10)
      .UseRecoveryPoint()
      .StopAt(routes::CheckCube()).Press({kKeyUp}, 8).WaitFor("the check cube lit", CheckCubeLit);
}
// "042": the player stands on the `nth` warp block from the left (0 the
// first): the shot at it has set the player there.
inline bool OnWarpBlock(int nth) {
  if (player.airborne != 0) return false;
  const int column = (player.x + kPlayerSpriteSize / 2) / kCellSize, row = (player.y + kPlayerSpriteSize) / kCellSize;
  if (AttributeAt(column, row) != kAttrWarpBlock) return false;
  int before = 0;
  for (int left = 0; left < column; ++left) {
    for (int r = 0; r < kMapRows; ++r) before += AttributeAt(left, r) == kAttrWarpBlock ? 1 : 0;
  }
  return before == nth;
}
// "042": into the wall, then three shots at the warp blocks, each from the
// block the last one set the player on; the Blaze Shot again on the cliff.
inline Route WarpClimb() {
  Route route = Route().Press(kRight, 40).Wait(10);
  for (int block = 0; block < 3; ++block) {
    route.Press(kShot, 6).WaitFor("on warp block " + std::to_string(block), [block] { return OnWarpBlock(block); });
  }
  return route.Press(kShotChange, 6).Wait(10);
}
// "056" and "057": over the penguin that hops in place, low shots passing
// under it as often as not: the jump is taken from a column at walking
// speed, as far before its body as carries the player over it at the top
// of its hop.
inline Route OverTheHopper(routes::Place takeOff) { return Route().HoldTo(kRight, takeOff).Press(kRightJump, 20); }
// "057": at each pit's edge, come to in short steps, a low shot at the spike
// post in it, a jump onto the block it left before the post, landed short
// of the post, soon on before the block is gone, and on over the pit, the
// jump held until the body is over the far side; the second pit takes two
// blocks, the second shot fired once turned to its post again (a landing
// that stepped back leaves the player facing the way it came).
inline Route CreateBlocks() {
  const auto blockAndJump = [](Route& route, const char* block) {
    route.Press({kKeyDown}, 6).Press(kLowShot, 6).Press({kKeyDown}, 30).Press(kRightJump, 12).StopAt(Mark(block));
  };
  Route route;
  route.StopAt(Mark("first-pit-edge"));
  blockAndJump(route, "first-post-block");
  route.HoldTo(kRightJump, Mark("first-pit-far")).Then(Landing()).UseRecoveryPoint();
  route.StopAt(Mark("second-pit-edge"));
  blockAndJump(route, "second-post-block");
  route.Press(kRight, 1);
  blockAndJump(route, "third-post-block");
  route.HoldTo(kRightJump, Mark("second-pit-far")).Then(Landing()).Press(kShotChange, 6).Wait(10);
  return route;
}

inline const std::vector<CampaignArea>& CampaignAreas() {
  static const std::vector<CampaignArea> areas = {
      {"meadow", {"001", 16, 0, 0, false, 0, {}},
       {{"001", "002", Meadow()},
        {"002", "003", KeyFloor()},
        {"003", "004", DarkFloorToTheShop().Then(BuyRow(0)).Then(DarkFloorFromTheShop())},
        {"004", "010", SlipperyFloor()},
        {"010", "011", SlimeHallFight().WaitFor("the pit closed", SlimePitClosed).Then(SlimeHallOut())}}},
      {"cave", {"011", 18, 0, 2, true, 0, {}},
       // "011": on to the red bee, passed under as it rises.
       {{"011", "012",
         SignAndMagic().WalkTo(Mark("under-bee")).WaitFor("the bee high", CavernBeeHigh).Then(ChestAndDoor())},
        // The chest's Break Power, magic filled, then each cracked wall shot high and low,
        // the green slime behind the first met standing.
        {"012", "025",
         SignAndMagic().OpenChest().UseRecoveryPoint()
             .HoldTo(kRight, Mark("first-cracked-wall")).Press(kShot, 6).Wait(12).Press(kLowShot, 6).Wait(12)
             .HoldGround(kLowShot, 30).WalkTo(Mark("second-cracked-wall")).Wait(12).Press(kShot, 6).Wait(12).Press(kLowShot, 6).Wait(12)
             .TakeDoor()},
        // The wisp fought from by its pen's window, out of its fire's way.
        {"025", "026", FromTheSign().Fight(kShot, {.place = Mark("pen-window")}).Then(AfterTheBoss()).Then(ChestAndDoor())}}},
      {"sky", {"026", 18, 0, 3, true, 1, {kBreakPower}},
       {{"026", "027", SignAndMagic().Then(ChestAndDoor())},
        // The True Eye from the chest, then over the trench on the bridge it shows.
        {"027", "040", SignAndMagic().Then(ChestAndDoor())},
        // The witch: the star at the entrance by the hall's wall, her fight
        // from there, then through the opened pillar and wall to the chest
        // and door 0.
        {"040", "041",
         Route().Wait(6).Press({kKeyUp}, 8).Wait(40).Press({kKeyJump}, 6).Wait(6).Fight(kLowShot, WitchFight()).Then(AfterTheBoss())
             .Then(ChestAndDoor())}}},
      {"forest", {"041", 18, 0, 4, true, 2, {kBreakPower, kTrueEye}},
       // "041": the mole met from the recovery point, the mushroom waited for
       // just past the stone block and then met standing on the way to the
       // gap: a walk on into its hops, stopped late, ran into it.
       {{"041", "042",
         SignAndMagicStanding().WalkTo(Mark("meet-mushroom")).HoldGround(kLowShot, 90)
             .Advance(kLowShot, Mark("gap-jump")).Press(kRightJump, 20).Press(kRight, 30).Then(Landing())
             .Then(ChestAndDoor())},
        // The mole met standing, then back to the key on the plank by the
        // entrance and the chest beside it, the recovery point and the check
        // cube by the wall, the mushroom met on the way there with the Blaze
        // Shot, the Magic Shot chosen only at the wall.
        {"042", "055",
         SignAndMagicStanding().Advance(kLowShot, Mark("meet-mole"))
             .StopAt(routes::Key()).Press({kKeyJump}, 20).Then(Landing()).OpenChest().HoldGround(kLowShot, 0).WaitFor("the mushroom turned away", MushroomTurnedAway).Advance(kShot, Mark("meet-walker"))
             .UseRecoveryPoint(routes::Ahead(routes::RecoveryPoint()))
             .StopAt(routes::CheckCube()).Press({kKeyUp}, 8).WaitFor("the check cube lit", CheckCubeLit).Press(kShotChange, 6).Wait(10)
             .Then(WarpClimb()).TakeDoor()},
        // The Butterfly: from the branch, dropping into the trench under it as
        // her shots come due.
        {"055", "056", FromTheSign().Fight(kShot, {.place = Mark("branch"), .height = FightSettings::Height::kFloorOver, .toRhythm = true}).Then(AfterTheBoss()).Then(ChestAndDoor())}}},
      {"snow", {"056", 18, 1, 4, true, 3, {kBreakPower, kTrueEye, kChainRing}},
       // "056": up onto the ledge for the key, back down on the ice until the
       // shell creature comes past the penguin, met on the walk to it, then
       // over the penguin to the chest.
       {{"056", "057",
         SignAndMagic().WalkTo(Mark("ledge-jump")).Press(kRightJump, 14).Then(Landing()).HoldTo(kLeft, Mark("wait-for-shell"))
             .WaitFor("the shell creature past the penguin", EnemyCameTo(Mark("before-penguin")))
             .WalkTo(Mark("before-penguin")).Then(OverTheHopper(Mark("over-penguin"))).Then(ChestAndDoor())},
        // "057": the walkers met walking, shot on the way, the penguin jumped:
        // on the ice a stop slides on. The door close past the pits is come to in steps.
        {"057", "070",
         SignAndMagic()
             .Then(ChestPastThePlank(
                 Route().WalkTo(Mark("meet-walkers")).Then(OverTheHopper(Mark("over-penguin"))).WalkTo(Mark("under-plank")).HoldGround(kLowShot, 0)))
             .Then(CreateBlocks())
             .StopAt(routes::Door(0)).Press({kKeyUp}, 8)},
        {"070", "071", FromTheSign().HoldTo(kRight, Mark("fight-place")).Fight(kShot, kStandAndShoot).Then(AfterTheBoss()).Then(ChestAndDoor())}}},
      {"castle", {"071", 18, 1, 5, true, 3, {kBreakPower, kTrueEye, kChainRing, kCreatePower}},
       // "071": the magic from the recovery point by the entrance, the charging
       // beast met standing, then the sign.
       {{"071", "072", MagicStanding().ReadSign().Then(ChestAndDoor())},
        // The key switch's pillar up to the chest's ledge, then a ride over the
        // spikes, boarded and left as the platform comes to each turn. Each
        // jump is let go on time, not on a look at the landing: the steer held
        // a reaction on walks the body off the pillar's far side.
        {"072", "085",
         SignAndMagic().WalkTo(Mark("pillar-jump")).Wait(12).Press(kRightJump, 20).Press(kRight, 10).Wait(6).Then(Landing())
             .Press(kRightJump, 24).Wait(6).Then(Landing())
             .OpenChest()
             .StopAt(Mark("ride-edge")).RideAcross(Mark("ride-near-turn"), Mark("ride-far-turn"))
             .TakeDoor()},
        // Past the infinity star to the ladder by the Dragon Head before its
        // first fire, off the ledge's end once it has fallen and the hall has
        // opened, back to read the sign, then the key and the chest beyond.
        {"085", "086",
         Route().HoldTo(kLeft, Mark("ladder")).Fight(kShot, kOnTheLadder).Then(AfterTheBoss())
             .HoldTo(kRight, Mark("ledge-end")).Then(Landing())
             .ReadSign()
             .Then(ChestAndDoor())}}},
      {"keep",
       {"086", 18, 1, 5, true, 4, {kBreakPower, kTrueEye, kChainRing, kCreatePower, kEternalCandle, kHourglass}},
       // "086": the magic from the recovery point ahead of the entrance, the
       // lizard in view met standing, the sign behind, then on.
       {{"086", "087", MagicStanding().ReadSign().WalkTo(Mark("past-lizard")).Then(ChestAndDoor())},
        {"087", "100", SignAndMagic().Then(ChestAndDoor())},
        // "100": the sign and the star just behind the entrance at the slit.
        {"100", "101",
         FromTheSign().Wait(30).Press(kShotChange, 6).Wait(6)
             .HoldTo(kRight, Mark("slit")).Fight(kShot, {.untilNewLook = true, .horizon = 0}).Then(ClimbAway())
             .HoldTo(kRight, Mark("slit")).Fight(kShot, {.untilNewLook = true, .horizon = 0}).Then(ClimbAway())
             .HoldTo(kRight, Mark("slit")).Fight(kShot, {.untilNewLook = true, .horizon = 0}).Then(ClimbAway())
             .HoldTo(kRight, Mark("slit")).Press(kShotChange, 6).Wait(6).Fight(kShot, kStandAndShoot).Then(AfterTheBoss())
             .Press(kRightJump, 20).HoldTo(kRight, Mark("way-out")).Then(Landing())
             .OpenChest().ReadSign().TakeDoor()}}},
  };
  return areas;
}

inline const CampaignArea& FindArea(const std::string& name) {
  for (const CampaignArea& area : CampaignAreas()) {
    if (name == area.name) return area;
  }
  return CampaignAreas().front();
}

// True once the floor after `route` is on screen (or the ending runs).
inline bool ArrivedAfter(const FloorRoute& route) {
  if (std::string(route.next) == "101") return gameState.scene == kSceneEnding;
  return gameState.scene == kSceneFloorPlay && mapName.c_str() == std::string(route.next) && fadeRequest == 0;
}

// Plays the routes in order; each must end at the floor after it with the
// player alive. Each floor starts from its own fixed random numbers, so that
// a floor plays alike however the player came to it.
inline void PlayRoutes(ScriptedPlay& play, const std::vector<FloorRoute>& routes) {
  routes::RoutePlayer routePlayer(play);
  for (const FloorRoute& floor : routes) {
    SCOPED_TRACE(std::string("floor ") + floor.floor);
    ASSERT_STREQ(mapName.c_str(), floor.floor);
    qz::SeedRandom(floor.seed);
    ASSERT_EQ(routePlayer.Run(floor.route), "");
    ASSERT_TRUE(play.RunUntil([&] { return ArrivedAfter(floor) || player.dead != 0; }, 400))
        << "the route did not end at its door";
    ASSERT_EQ(player.dead, 0);
  }
}

// The ending's page that shows the four stones, and the results page.
inline constexpr int kEndingStonesPage = 2, kEndingResultsPage = 10;

// Turns the ending's pages with Confirm as a player would, after each page's
// fade-in and time to read it, up to the results page; `onPage` is called
// with each new page.
template <typename OnPage>
void TurnEndingPages(ScriptedPlay& play, OnPage onPage) {
  while (gameState.scenePage < kEndingResultsPage) {
    const int page = gameState.scenePage;
    play.Clear();
    ASSERT_TRUE(play.Queue("-:100 J:6 -:6"));
    ASSERT_TRUE(play.RunUntil([&] { return gameState.scenePage != page; }, 400)) << "ending page " << page;
    ASSERT_EQ(gameState.scene, kSceneEnding);
    onPage(gameState.scenePage);
  }
}

class CampaignReplayTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    GameDataTest::SetUp();
    // Chest and banner sounds play to their end: the null sink ends them,
    // where the manual sink would wait for a test that never asks it to mix.
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
    Start();
    qz::SeedRandom(1);
  }
  static bool OnFloor(int index) {
    return gameState.scene == kSceneFloorPlay && floorNumber == index && fadeRequest == 0;
  }
};

// The game started on an area's first floor with what the campaign has given
// the player by then.
class CampaignAreaTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    GameDataTest::SetUp();
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kNull);
  }

  // Starts the game on the area's first floor through the debug file, then
  // gives the player the items the floors before have given.
  void StartArea(const AreaStart& start) {
    using namespace qz::text;
    const std::string lines = std::string(kDebugLifeKey) + "=1\r\n" + kDebugMagicKey + "=" +
                              std::to_string(start.maxMagic) + "\r\n" + kDebugBlazeLevelKey + "=1\r\n" +
                              kDebugMagicalLevelKey + "=" + std::to_string(start.magicShotLevel) + "\r\n" +
                              kDebugCoinsKey + "=" + std::to_string(start.coins) + "\r\n" + kDebugHighJumpKey +
                              "=" + (start.highJump ? "1" : "0") + "\r\n";
    data_.Write("debug.ini", std::string("[DebugUse]\r\n") + kDebugUseKey + "=1\r\n[MapData]\r\n" +
                                 kDebugMapFileKey + "=" + start.floor + "\r\n" + kDebugEntranceKey +
                                 "=0\r\n[PlayerData]\r\n" + lines);
    Start();
    for (int i = 0; i < start.replicasHeld; ++i) player.ProgressFlags[kReplicasInCampaignOrder[i]] = 1;
    for (int item : start.items) player.ProgressFlags[item] = 1;
    qz::SeedRandom(1);
  }
  // The area's start, entering a later floor of it (a boss hall).
  void StartArea(const char* area, const char* floor) {
    AreaStart start = FindArea(area).start;
    start.floor = floor;
    StartArea(start);
  }

  static bool OnFloor(const char* name) {
    return gameState.scene == kSceneFloorPlay && mapName.c_str() == std::string(name) && fadeRequest == 0;
  }
};

}  // namespace veltrin::testing
