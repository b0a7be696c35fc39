// Pick-ups, the key, the key switch, the chest and the moving platforms, as
// the player meets them: what is granted, capped and spent, what the chest
// leaves when the player quits its window, and how platforms carry.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "game/crossfade.h"
#include "game/game_entry.h"
#include "game/items.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "platform/window.h"
#include "tests/game/player_floor.h"
#include "tools/scripted_play.h"

namespace veltrin::testing {
namespace {

class PlayerItemsTest : public PlayerFloorTest {
 protected:
  void SetUp() override {
    PlayerFloorTest::SetUp();
    window_ = qz::QueryMainWindowHandle();
    qz::SelectDrawTarget(qz::kBackScreen);
    oldScreen = qz::CreateBlankGraph(640, 480);
    newScreen = qz::CreateBlankGraph(640, 480);
    fadeRequest = skipFade = 0;
    gameState.scene = kSceneFloorPlay;
    floorNumber = 4;
    LoadCells(20, {kGround});
    PlaceAt(320, kStandY);  // body box x 340..364, y 584..630: cell (10, 18)
    objectCount = 0;
    std::fill(std::begin(mapObjects), std::end(mapObjects), MapObjectRecord{});
    std::fill(std::begin(floorSlots), std::end(floorSlots), MapObjectRecord{});
    movingCount = 0;
  }
  void TearDown() override {
    for (std::uint32_t key : {std::uint32_t{'Z'}, std::uint32_t{plat::VK_ESCAPE}}) plat::SimulateKey(window_, key, false);
    qz::ReleaseAllGraphs();
    oldScreen = newScreen = -1;
    PlayerFloorTest::TearDown();
  }
  void Press(std::uint32_t key) {
    plat::SimulateKey(window_, key, true);
    qz::PumpMessagesEntry();
    plat::AdvanceVirtualTime(2000000);
  }
  void PutObject(int i, int column, int row, int type) {
    mapObjects[i] = MapObjectRecord{column, row, type, 1};
    objectCount = std::max(objectCount, i + 1);
  }

  plat::HWND window_ = nullptr;
};

TEST_F(PlayerItemsTest, PickUpsTakeTheFirstTouchedOnlyCapMagicAndWaitForAHiddenCell) {
  player.magic = 10;
  player.maxMagic = 20;
  PutObject(0, 12, 18, 1);  // not touched
  PutObject(1, 10, 18, 0);
  PutObject(2, 10, 19, 1);  // touched too, but after record 1
  const int effectsBefore = effectCount;
  CheckObjectTouch();
  EXPECT_EQ(player.magic, 15);
  EXPECT_EQ(mapObjects[1].active, 0);
  EXPECT_EQ(mapObjects[2].active, 1);
  EXPECT_EQ(effectCount - effectsBefore, 5);  // one sparkle per gained pip
  CheckObjectTouch();
  EXPECT_EQ(player.magic, 20);  // capped
  EXPECT_EQ(mapObjects[2].active, 0);
  EXPECT_EQ(mapObjects[0].active, 1);

  // Inside a solid cell it waits; time and the infinity star.
  SetCell(10, 18, 1, 120);
  PutObject(3, 10, 18, 3);
  CheckObjectTouch();
  EXPECT_EQ(mapObjects[3].active, 1);
  SetCell(10, 18, 0, 0);
  CheckObjectTouch();
  EXPECT_EQ(floorTime, 310);
  // Near the longest time a pick-up fills it up to the end, no further.
  floorTime = std::numeric_limits<std::int32_t>::max() - 4;
  PutObject(7, 10, 18, 3);
  CheckObjectTouch();
  EXPECT_EQ(floorTime, std::numeric_limits<std::int32_t>::max());
  PutObject(4, 10, 18, 2);
  CheckObjectTouch();
  EXPECT_EQ(player.infiniteMagic, 1);
  EXPECT_EQ(player.magic, 20);
  // An unknown type just vanishes.
  PutObject(5, 10, 18, 9);
  CheckObjectTouch();
  EXPECT_EQ(mapObjects[5].active, 0);
  // The touch box is open: a cell whose inner square only meets the box edge is not touched.
  PlaceAt(10 * 32 + 8, kStandY);  // box 348..372 against 324..348
  PutObject(6, 10, 18, 0);
  CheckObjectTouch();
  EXPECT_EQ(mapObjects[6].active, 1);
}

TEST_F(PlayerItemsTest, KeysAreCappedAndTheKeySwitchConvertsTheFloorsSwitchCodes) {
  floorSlots[kSlotKey] = MapObjectRecord{10, 18, 5, 1};
  player.keys = 99;
  CollectItem();
  EXPECT_EQ(player.keys, 99);
  EXPECT_EQ(floorSlots[kSlotKey].active, 0);
  EXPECT_EQ(gameState.FloorProgress.floorItems[4][1], 1);

  SetCell(30, 10, 0, 9);  // a switch code: solid block once switched
  floorSlots[kSlotKeySwitch] = MapObjectRecord{10, 18, 4, 1};
  CollectItem();
  EXPECT_EQ(floorSlots[kSlotKeySwitch].active, 0);
  EXPECT_EQ(AttributeAt(30, 10), 120);
  EXPECT_EQ(fadeRequest, 2);
  EXPECT_EQ(skipFade, 1);
  EXPECT_EQ(gameState.FloorProgress.floorItems[4][0], 1);
}

TEST_F(PlayerItemsTest, ChestNeedsAKeyGrantsItsContentAndSpendsTheKeyOnConfirm) {
  floorSlots[kSlotChest] = MapObjectRecord{10, 18, 10, 1};  // Magic Shot
  player.keys = 0;
  CollectItem();
  EXPECT_EQ(floorSlots[kSlotChest].active, 1);
  EXPECT_EQ(player.shotLevel[2], 0);

  // The lid takes 3 frames and the window 16 to open; it then shows for its
  // reading frames before a fresh Confirm closes it in 16 frames.
  constexpr int kLidAndOpening = 3 + 16, kReading = kChestReadingFrames, kClosing = 16;
  player.keys = 6;  // one for each chest below
  {
    ScriptedPlay play;
    play.Idle(kLidAndOpening + kReading + 10).Tap(kKeyJump);
    CollectItem();
    EXPECT_TRUE(play.Finished());
    EXPECT_EQ(play.frames(), kLidAndOpening + kReading + 11 + kClosing) << "open until the press";
  }
  EXPECT_EQ(player.keys, 5);
  EXPECT_EQ(player.shotLevel[2], 1);
  EXPECT_EQ(floorSlots[kSlotChest].active, 0);
  EXPECT_EQ(gameState.FloorProgress.floorValue[4], 10);
  EXPECT_EQ(gameState.FloorProgress.floorItems[4][2], 1);
  EXPECT_EQ(jumpLatch, 1);
  EXPECT_EQ(shotLatch, 1);

  // Confirm held since before the chest opened does not close its window.
  {
    ScriptedPlay play;
    play.Hold({kKeyJump}, kLidAndOpening + kReading + 30).Idle(1).Tap(kKeyShot);
    floorSlots[kSlotChest] = MapObjectRecord{10, 18, 6, 1};
    CollectItem();
    EXPECT_EQ(play.frames(), kLidAndOpening + kReading + 32 + kClosing) << "closed by the Cancel press";
  }
  // Presses while the window is new (Shot mashed on the way in) leave it open
  // until one comes after its first third of a second.
  {
    ScriptedPlay play;
    play.Idle(kLidAndOpening);
    for (int i = 0; i < kReading / 4; ++i) play.Hold({kKeyShot}, 2).Idle(2);
    play.Idle(kReading % 4 + 5).Tap(kKeyShot);
    floorSlots[kSlotChest] = MapObjectRecord{10, 18, 6, 1};
    CollectItem();
    EXPECT_TRUE(play.Finished());
    EXPECT_EQ(play.frames(), kLidAndOpening + kReading + 6 + kClosing) << "closed by the first later press";
  }

  // Coins stop at 99; an upgrade sets its flag.
  for (int type : {6, 13, 27}) {
    player.coins = 99;
    floorSlots[kSlotChest] = MapObjectRecord{10, 18, type, 1};
    ScriptedPlay play;
    play.Idle(kLidAndOpening + kReading).Tap(kKeyJump);
    CollectItem();
  }
  EXPECT_EQ(player.coins, 99);
  EXPECT_EQ(player.ProgressFlags[kBreakPower], 1);
  EXPECT_EQ(player.ProgressFlags[kAirdash], 1);
  EXPECT_EQ(player.keys, 0);
}

TEST_F(PlayerItemsTest, EscapeDuringTheChestWindowLeavesTheChestAndTheKey) {
  floorSlots[kSlotChest] = MapObjectRecord{10, 18, 7, 1};
  player.keys = 1;
  Press(plat::VK_ESCAPE);
  CollectItem();
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(player.keys, 1);
  EXPECT_EQ(floorSlots[kSlotChest].active, 1);
}

TEST_F(PlayerItemsTest, PlatformsTurnAtWallsCarryTheRiderAndBlinkInTurns) {
  std::string row(76, '.');
  row[5] = '#';
  row[15] = '#';
  LoadCells(10, {row});
  movingObjects[0] = MapObjectRecord{10 * 32, 10 * 32, 1, 1};  // moving right
  movingObjects[1] = MapObjectRecord{30 * 32, 10 * 32, 4, 1};
  movingObjects[2] = MapObjectRecord{34 * 32, 10 * 32, 6, 1};
  movingCount = 3;
  movingObjectCycle = 0;
  // A rider dropped onto the platform lands on it and moves with it.
  PlaceAt(10 * 32 - 16, 10 * 32 - 70);
  player.airborne = 1;
  player.velocityY = 1.0;
  int right = 0;
  for (int frame = 0; frame < 240; ++frame) {
    Step(0);
    UpdateMovingObjects();
    ASSERT_LT(movingObjects[0].x + 32, 15 * 32 + 2) << frame;
    ASSERT_GT(movingObjects[0].x, 5 * 32 + 30) << frame;
    ASSERT_FALSE(movingObjects[1].active == 1 && movingObjects[2].active == 1) << frame;
    if (movingObjects[0].type == 1) ++right;
  }
  EXPECT_EQ(player.ridingObject, 0);
  EXPECT_EQ(player.airborne, 0);
  EXPECT_EQ(player.y + 64, movingObjects[0].y);
  EXPECT_LE(player.x + 21, movingObjects[0].x + 32);  // still over the platform
  EXPECT_LE(movingObjects[0].x, player.x + 43);
  EXPECT_GT(right, 0);
  EXPECT_LT(right, 240);

  // A platform rising under a low ceiling turns back before the rider is squeezed.
  LoadCells(4, {std::string(76, '#')});
  movingObjects[0] = MapObjectRecord{20 * 32, 12 * 32, 2, 1};
  movingCount = 1;
  for (int frame = 0; frame < 200; ++frame) {
    UpdateMovingObjects();
    ASSERT_GE(movingObjects[0].y - 64, 5 * 32 - 2) << frame;
  }
}

}  // namespace
}  // namespace veltrin::testing
