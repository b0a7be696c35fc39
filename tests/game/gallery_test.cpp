// The gallery floor "090" as a player meets it: that it holds every audited
// cell, pick-up, slot and platform, and walks, jumps and shots through its
// lanes for the cells and items that no other test makes act.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "game/chest_contents.h"
#include "game/config_file.h"
#include "game/items.h"
#include "game/player_shots.h"
#include "game/shot_record.h"
#include "game/shots.h"
#include "sound/sound_play.h"
#include "tests/game/gallery_floor.h"
#include "tools/scripted_play.h"

namespace veltrin::testing {
namespace {

constexpr int kGalleryIndex = 89;  // floorNumber of "090"

struct CellPair {
  std::int32_t code, chip, attribute;
};

// Fires the current kind squatting (Down held) or standing, and lets every
// shot fly until it ends, the player holding still.
void FireAndFly(bool squatting) {
  const std::uint32_t hold = squatting ? kDown : 0;
  player.shotCooldown = 0;
  StepPlayer(hold);
  StepPlayer(hold | kShot);
  ASSERT_EQ(playerShotCount, 1);
  for (int i = 0; i < 300 && playerShotCount > 0; ++i) {
    UpdateShotsAndBullets();
    StepPlayer(hold);
  }
  ASSERT_EQ(playerShotCount, 0);
}

// Opens the chest the player stands at: its window read, then closed with Jump.
void OpenChestHere() {
  ScriptedPlay play;
  play.Idle(20 + kChestReadingFrames).Tap(kKeyJump);
  CollectItem();
  EXPECT_TRUE(play.Finished());
}

TEST_F(GalleryTest, TheGalleryHoldsEveryAuditedCellAndItemAndIsOffTheCampaignRoute) {
  const MapFileData gallery = Generated(kGalleryFloor);
  const auto& cells = gallery.attributeLayer;
  for (const AuditedCode& code : AuditedAttributes()) {
    EXPECT_NE(std::find(cells.begin(), cells.end(), code.value), cells.end())
        << "attribute " << code.value << " (" << code.what << ") is missing";
  }
  std::set<int> pickUps, platforms;
  for (const MapFileData::Placement& object : gallery.mapObjects) pickUps.insert(object.value);
  for (const MapFileData::Placement& mover : gallery.movingObjects) platforms.insert(mover.value);
  for (int type = 0; type < kAuditedPickUpTypes; ++type) EXPECT_EQ(pickUps.count(type), 1u) << "pick-up " << type;
  for (int type = 0; type < kAuditedMovingTypes; ++type) EXPECT_EQ(platforms.count(type), 1u) << "platform " << type;
  for (const int slot : {kSlotKeySwitch, kSlotKey, kSlotChest}) EXPECT_EQ(gallery.slots[slot].active, 1) << slot;
  EXPECT_EQ(gallery.slots[kSlotKeySwitch].type, kSlotTypeKeySwitch);
  EXPECT_EQ(gallery.slots[kSlotKey].type, kSlotTypeKey);
  EXPECT_GE(gallery.slots[kSlotChest].type, kFirstChestContent);
  EXPECT_LE(gallery.slots[kSlotChest].type, kLastChestContent);
  // Loaded as generated: nothing converted or revealed on a first entry.
  for (int i = 0; i < kMapCells; ++i) ASSERT_EQ(attributeLayer[i], cells[static_cast<std::size_t>(i)]) << "cell " << i;

  // No other floor leads into the gallery, so the campaign never meets it.
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    if (floor.name == kGalleryFloor) continue;
    MapFileData data;
    std::string error;
    ASSERT_TRUE(datagen::CompileFloorText(floor.text, &data, &error)) << error;
    for (const MapFileData::Door& door : data.doors) EXPECT_NE(door.targetFloor, kGalleryIndex + 1) << floor.name;
  }
}

TEST_F(GalleryTest, EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround) {
  // Up on each event cell raises its event: 1..7 as they are, 8 for the cube.
  const std::pair<std::int32_t, int> events[] = {{kAttrSign, 1},       {kAttrRecoveryPoint, 2}, {kAttrShop, 3},
                                                 {kAttrDoor0, 4},      {kAttrDoor0 + 1, 5},     {kAttrDoor0 + 2, 6},
                                                 {kAttrDoor0 + 3, 7},  {kAttrCheckCube, 8},     {kAttrMadeCell, 0}};
  for (const auto& [attribute, event] : events) {
    SCOPED_TRACE(attribute);
    const CellPlace cell = CellsOf(attribute).front();
    StandOver(cell.column, GroundBelow(cell.column, cell.row));
    player.eventCode = 0;
    StepPlayer(0);
    StepPlayer(kUp);
    EXPECT_EQ(player.eventCode, event);
    EXPECT_EQ(fieldIconKind, event);
  }
  // Each entrance puts the player on the ground beside it, where it stays.
  for (int wanted = 0; wanted < 4; ++wanted) {
    SCOPED_TRACE(wanted);
    const CellPlace cell = OnlyCellOf(kAttrEntrance0 + wanted);
    ASSERT_EQ(Enter(kGalleryFloor, wanted), 1);
    EXPECT_EQ(player.x, cell.column * 32 - 16);
    Steps(20, 0);
    EXPECT_EQ(player.airborne, 0);
    EXPECT_EQ(player.y + 64, GroundBelow(cell.column, cell.row) * 32);
  }
}

TEST_F(GalleryTest, OneSidedWallsAndAppearingCellsMeetThePlayerOnTheWalk) {
  // Walking left along the lane: the sideways cell turns solid in front of the player.
  const CellPlace sideways = OnlyCellOf(kAttrAppearsSideways);
  const int ground = GroundBelow(sideways.column, sideways.row);
  StandOver(sideways.column + 3, ground);
  Steps(40, kLeft);
  EXPECT_EQ(AttributeAt(sideways.column, sideways.row), kAttrSolidBlock);
  EXPECT_EQ(ChipAt(sideways.column, sideways.row), 1);
  EXPECT_EQ(player.x + 16, (sideways.column + 1) * 32);
  // Over that one-cell block, and on through the wall that is open to a left walk.
  const CellPlace wall = CellsOf(kAttrWallFromRight).front();
  StepPlayer(0);
  Steps(40, kLeft | kJump);
  Steps(80, kLeft);
  EXPECT_LT(player.x + 48, wall.column * 32);
  // Turning back, the same wall stops a right walk with the edge on its boundary.
  Steps(150, kRight);
  EXPECT_EQ(player.x + 48, wall.column * 32);
  EXPECT_DOUBLE_EQ(player.velocityX, 0.0);

  // The other one-sided wall lets a right walk through and stops a left walk.
  const CellPlace other = CellsOf(kAttrWallFromLeft).front();
  const int otherGround = GroundBelow(other.column, other.row);
  StandOver(other.column - 2, otherGround);
  Steps(40, kRight);
  EXPECT_GT(player.x + 16, (other.column + 1) * 32);
  Steps(60, kLeft);
  EXPECT_EQ(player.x + 16, (other.column + 1) * 32);

  // A jump under a cell that appears over the head: it turns solid and stops the rise.
  const std::vector<CellPlace> overHead = CellsOf(kAttrAppearsOverHead);
  ASSERT_EQ(overHead.size(), 2u);
  const CellPlace above = overHead[1];
  StandOver(above.column, GroundBelow(above.column, above.row + 1));
  StepPlayer(0);
  int frames = 0;
  while (player.velocityY <= 0.0 && frames++ < 60) StepPlayer(kJump);
  EXPECT_EQ(AttributeAt(above.column, above.row), kAttrSolidBlock);
  EXPECT_EQ(AttributeAt(overHead[0].column, overHead[0].row), kAttrAppearsOverHead);  // not under the head
  EXPECT_EQ(player.y, (above.row + 1) * 32);
  Steps(40, kJump);
  EXPECT_EQ(player.airborne, 0);
}

TEST_F(GalleryTest, CeilingAndLeftSpikesHurtOnlyAsTheyPoint) {
  // Standing under ceiling spikes is safe; jumping into them costs 16.
  const CellPlace ceiling = CellsOf(kAttrSpikesDown).front();
  StandOver(ceiling.column, GroundBelow(ceiling.column, ceiling.row + 1));
  Steps(10, 0);
  EXPECT_EQ(player.life, 100);
  Steps(30, kJump);
  EXPECT_EQ(player.life, 84);
  EXPECT_GT(player.invulnerableFrames, 0);

  // Spikes pointing right stop a right walk harmlessly and hurt a left walk.
  const CellPlace side = OnlyCellOf(kAttrSpikesLeft);
  const int ground = GroundBelow(side.column, side.row);
  player.invulnerableFrames = 0;
  StandOver(side.column - 2, ground);
  Steps(40, kRight);
  EXPECT_EQ(player.x + 48, side.column * 32);
  EXPECT_EQ(player.life, 84);
  StandOver(side.column + 3, ground);
  Steps(40, kLeft);
  EXPECT_EQ(player.x + 16, (side.column + 1) * 32);
  EXPECT_EQ(player.life, 68);
  EXPECT_GT(player.invulnerableFrames, 0);
}

TEST_F(GalleryTest, TheKeyOpensTheTrueEyeChestAndTheHiddenBridgeCarriesThePlayerAtOnce) {
  const std::vector<CellPlace> bridge = CellsOf(kAttrHidden);
  ASSERT_FALSE(bridge.empty());
  const int bridgeRow = bridge.front().row;
  // Without the True Eye the bridge is air.
  StandOver(bridge[1].column, bridgeRow);
  Steps(3, 0);
  EXPECT_EQ(player.airborne, 1);

  const MapObjectRecord key = floorSlots[kSlotKey];
  StandOver(key.x, key.y + 1);
  CollectItem();
  EXPECT_EQ(player.keys, 1);
  EXPECT_EQ(gameState.FloorProgress.floorItems[kGalleryIndex][kSlotKey], 1);

  const MapObjectRecord chest = floorSlots[kSlotChest];
  ASSERT_EQ(chest.type, 19);  // the True Eye
  StandOver(chest.x, chest.y + 1);
  OpenChestHere();
  EXPECT_EQ(player.keys, 0);
  EXPECT_EQ(player.ProgressFlags[kTrueEye], 1);
  EXPECT_EQ(gameState.FloorProgress.floorValue[kGalleryIndex], 19);
  // The sight acts on the floor being played, not only on the next load.
  EXPECT_TRUE(CellsOf(kAttrHidden).empty());
  for (const CellPlace& cell : bridge) {
    EXPECT_EQ(AttributeAt(cell.column, cell.row), kAttrSolidBlock);
    EXPECT_EQ(ChipAt(cell.column, cell.row), 78);
  }
  StandOver(bridge[1].column, bridgeRow);
  Steps(10, 0);
  EXPECT_EQ(player.airborne, 0);
  EXPECT_EQ(player.y + 64, bridgeRow * 32);

  // The key switch converts every switch code of the floor.
  const MapObjectRecord keySwitch = floorSlots[kSlotKeySwitch];
  StandOver(keySwitch.x, keySwitch.y + 1);
  CollectItem();
  EXPECT_EQ(floorSlots[kSlotKeySwitch].active, 0);
  EXPECT_EQ(gameState.FloorProgress.floorItems[kGalleryIndex][kSlotKeySwitch], 1);
  for (std::int32_t code = kAttrSwitchCodeFirst; code <= kAttrHighSwitchCodeLast; ++code) {
    if (code > kAttrSwitchCodeLast && code < kAttrHighSwitchCodeFirst) continue;
    EXPECT_TRUE(CellsOf(code).empty()) << "switch code " << code << " is left";
  }
}

TEST_F(GalleryTest, JumpsUnderEveryTouchCodeTurnItIntoItsCell) {
  constexpr CellPair kTouched[] = {
      {105, 0, 0},   {106, 7, 50},  {107, 92, 52}, {108, 93, 53}, {109, 94, 54},
      {110, 95, 55}, {111, 30, 63}, {112, 36, 64}, {113, 28, 65}, {114, 214, 5},
      {115, 214, 6}, {116, 214, 7}, {117, 222, 8}, {118, 209, 3}, {119, 217, 8},
  };
  gameState.FloorProgress.shopFound[kGalleryIndex] = 0;
  gameState.FloorProgress.doorLinks[kGalleryIndex][2] = -1;
  for (const CellPair& touched : kTouched) {
    SCOPED_TRACE(touched.code);
    const CellPlace cell = OnlyCellOf(touched.code);
    StandOver(cell.column, GroundBelow(cell.column, cell.row + 1));
    player.invulnerableFrames = 0;
    StepPlayer(0);
    EXPECT_EQ(AttributeAt(cell.column, cell.row), touched.code) << "changed before the head met it";
    Steps(40, kJump);
    EXPECT_EQ(ChipAt(cell.column, cell.row), touched.chip);
    EXPECT_EQ(AttributeAt(cell.column, cell.row), touched.attribute);
    EXPECT_EQ(player.airborne, 0);
  }
  EXPECT_EQ(gameState.FloorProgress.shopFound[kGalleryIndex], 1);
  EXPECT_EQ(gameState.FloorProgress.doorLinks[kGalleryIndex][2], 0);
}

TEST_F(GalleryTest, SquattingMagicShotsFlipTheGroupsOfEachMagicCell) {
  player.shotKind = 2;
  player.ProgressFlags[kChainRing] = 1;
  // Where each group's open and closed block stand at the start.
  CellPlace open[3], closed[3];
  for (int group = 0; group < 3; ++group) {
    open[group] = OnlyCellOf(kAttrSwitchOpen0 + group);
    closed[group] = OnlyCellOf(kAttrSwitchClosed0 + group);
  }
  constexpr int kGroups[] = {1, 2, 4, 3, 6, 5, 7};  // bit n: group n, for cells 66..72
  constexpr int kOpenChips[] = {44, 52, 60}, kClosedChips[] = {45, 53, 61};
  int flips[3] = {0, 0, 0};
  for (std::int32_t magic = kAttrMagicSwitchFirst; magic <= kAttrMagicSwitchLast; ++magic) {
    SCOPED_TRACE(magic);
    const CellPlace cell = OnlyCellOf(magic);
    const int ground = GroundBelow(cell.column, cell.row + 1);
    PlacePlayerAt(cell.column * 32 - 100, ground * 32 - 64);
    player.facing = 1;
    FireAndFly(true);
    EXPECT_EQ(player.squat, 1);
    for (int group = 0; group < 3; ++group) {
      if ((kGroups[magic - kAttrMagicSwitchFirst] & (1 << group)) != 0) ++flips[group];
      const bool swapped = flips[group] % 2 == 1;
      const CellPlace nowClosed = swapped ? open[group] : closed[group];
      const CellPlace nowOpen = swapped ? closed[group] : open[group];
      EXPECT_EQ(AttributeAt(nowClosed.column, nowClosed.row), kAttrSwitchClosed0 + group) << "group " << group;
      EXPECT_EQ(ChipAt(nowClosed.column, nowClosed.row), kClosedChips[group]);
      EXPECT_EQ(AttributeAt(nowOpen.column, nowOpen.row), kAttrSwitchOpen0 + group) << "group " << group;
      EXPECT_EQ(ChipAt(nowOpen.column, nowOpen.row), kOpenChips[group]);
    }
    EXPECT_EQ(AttributeAt(cell.column, cell.row), magic);
  }
  // Every group flipped four times: back where it started.
  EXPECT_EQ(flips[0] % 2 + flips[1] % 2 + flips[2] % 2, 0);

  // The warp block of the lane puts the player on top of it.
  const CellPlace warp = OnlyCellOf(kAttrWarpBlock);
  PlacePlayerAt(warp.column * 32 - 100, GroundBelow(warp.column, warp.row + 1) * 32 - 64);
  FireAndFly(true);
  EXPECT_EQ(player.x, warp.column * 32 - 16);
  EXPECT_EQ(player.y + 64, warp.row * 32);
  Steps(10, 0);
  EXPECT_EQ(player.airborne, 0);
  EXPECT_EQ(player.y + 64, warp.row * 32);
}

TEST_F(GalleryTest, SquattingBlazeShotsBreakEveryBlockKindIntoWhatItHides) {
  struct Hidden {
    CellPair pair;
    bool discovery;
  };
  constexpr Hidden kBroken[] = {
      {{76, 0, 0}, false},    {{77, 7, 50}, false},  {{78, 92, 52}, false}, {{79, 37, 42}, false},
      {{80, 38, 43}, false},  {{81, 0, 2}, true},    {{82, 214, 5}, true},  {{83, 214, 6}, true},
      {{84, 214, 7}, true},   {{85, 222, 8}, false}, {{86, 209, 3}, true},  {{87, 217, 8}, false},
      {{88, 30, 63}, true},   {{89, 28, 65}, true},
  };
  player.shotKind = 0;
  player.infiniteMagic = 1;
  player.ProgressFlags[kBreakPower] = 1;
  auto& progress = gameState.FloorProgress;
  progress.doorLinks[kGalleryIndex][2] = -1;  // door 2 not yet found
  progress.doorLinks[kGalleryIndex][3] = 30;  // door 3 known: stays
  progress.shopFound[kGalleryIndex] = 0;
  for (const Hidden& hidden : kBroken) {
    SCOPED_TRACE(hidden.pair.code);
    const CellPlace cell = OnlyCellOf(hidden.pair.code);
    PlacePlayerAt(cell.column * 32 + 64, GroundBelow(cell.column, cell.row + 1) * 32 - 64);
    player.facing = -1;
    qz::StopSoundHandle(soundEffects[kSeDiscovery]);
    FireAndFly(true);
    EXPECT_EQ(ChipAt(cell.column, cell.row), hidden.pair.chip);
    EXPECT_EQ(AttributeAt(cell.column, cell.row), hidden.pair.attribute);
    EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeDiscovery]), hidden.discovery ? 1 : 0);
    if (hidden.pair.code == 81) {
      const MapObjectRecord& mark = marks[kMarkCount - 1];
      EXPECT_EQ(mark.x, cell.column * 32);
      EXPECT_EQ(mark.y, cell.row * 32);
      EXPECT_EQ(mark.type, kMarkRecoveryPoint);
      EXPECT_EQ(mark.active, 1);
    }
  }
  EXPECT_EQ(progress.doorLinks[kGalleryIndex][2], 0);
  EXPECT_EQ(progress.doorLinks[kGalleryIndex][3], 30);
  EXPECT_EQ(progress.shopFound[kGalleryIndex], 1);
}

TEST_F(GalleryTest, ABlazeShotFromTheLedgeRunsThePipeCircuitToTheTarget) {
  // The ledge is the one-way platform in front of the first pipe.
  CellPlace firstPipe{kMapColumns, 0};
  for (const CellPlace& cell : CellsOf(kAttrPipeFirst + 4)) {  // straight across
    if (cell.column < firstPipe.column) firstPipe = cell;
  }
  StandOver(firstPipe.column - 3, firstPipe.row + 2);
  ASSERT_EQ(AttributeAt(firstPipe.column - 3, firstPipe.row + 2), kAttrOneWay);
  Steps(3, 0);
  ASSERT_EQ(player.airborne, 0);
  StepPlayer(kShot);
  ASSERT_EQ(playerShotCount, 1);
  const ShotRecord& shot = playerShots[0];
  std::vector<int> turns;
  int lastX = 0, lastY = 0;
  for (int i = 0; i < 300 && playerShotCount > 0; ++i) {
    lastX = static_cast<int>(shot.x) + 12;
    lastY = static_cast<int>(shot.y) + 12;
    UpdateShotsAndBullets();
    StepPlayer(0);
    if (shot.inUse == 1 && shot.direction != (turns.empty() ? 6 : turns.back())) turns.push_back(shot.direction);
  }
  ASSERT_EQ(playerShotCount, 0);
  // Down, right along the bottom, up, and right out of the last pipe.
  EXPECT_EQ(turns, (std::vector<int>{2, 6, 8, 6}));
  // Far past the 18 frames a plain Blaze shot lives: the stone target ends it.
  const CellPlace target{lastX / 32, lastY / 32};
  EXPECT_EQ(target.row, firstPipe.row);
  EXPECT_GT(target.column, firstPipe.column + 5);
  EXPECT_EQ(AttributeAt(target.column, target.row), 51);
}

TEST_F(GalleryTest, PlatformsOfEveryTypeMoveTurnBlinkAndCarry) {
  ASSERT_EQ(movingCount, kAuditedMovingTypes);
  int byType[kAuditedMovingTypes];
  for (int i = 0; i < movingCount; ++i) byType[movingObjects[i].type] = i;
  const MapObjectRecord& left = movingObjects[byType[0]];
  const MapObjectRecord& lift = movingObjects[byType[3]];
  const int liftTop = lift.y;
  // A rider dropped onto the platform moving left lands and travels with it.
  PlacePlayerAt(left.x - 16, left.y - 64);
  int turned = 0, activeFrames[kAuditedMovingTypes] = {};
  std::set<int> liftTypes;
  int liftLow = lift.y, liftHigh = lift.y;
  movingObjectCycle = 0;
  for (int frame = 0; frame < 240; ++frame) {
    StepPlayer(0);
    UpdateMovingObjects();
    ASSERT_EQ(player.ridingObject, byType[0]) << frame;
    // Carried along: still over the platform (a turn slides the rider 2 pixels).
    ASSERT_LE(player.x + 21, left.x + 32) << frame;
    ASSERT_LE(left.x, player.x + 43) << frame;
    ASSERT_EQ(player.y + 64, left.y) << frame;
    turned += left.type == 1;
    liftTypes.insert(lift.type);
    liftLow = std::max(liftLow, lift.y);
    liftHigh = std::min(liftHigh, lift.y);
    for (int type = 4; type < kAuditedMovingTypes; ++type) activeFrames[type] += movingObjects[byType[type]].active;
    ASSERT_FALSE(movingObjects[byType[4]].active == 1 && movingObjects[byType[6]].active == 1) << frame;
    ASSERT_FALSE(movingObjects[byType[5]].active == 1 && movingObjects[byType[7]].active == 1) << frame;
  }
  EXPECT_GT(turned, 0);  // bounced at the pit's edge
  EXPECT_LT(turned, 240);
  // The lift going down turns at the ground and back up under the ceiling.
  EXPECT_EQ(liftTypes, (std::set<int>{2, 3}));
  EXPECT_LE(liftLow + 32, GroundBelow(lift.x / 32, liftTop / 32) * 32 + 2);
  EXPECT_LT(liftHigh, liftTop);
  for (int type = 4; type < kAuditedMovingTypes; ++type) EXPECT_EQ(activeFrames[type], 120) << "type " << type;
}

TEST_F(GalleryTest, EveryChestContentGrantsItsOwnThingAndNothingElse) {
  volumePercent = 40;  // treasures play no jingle
  const MapObjectRecord chest = floorSlots[kSlotChest];
  for (int type = kFirstChestContent; type <= kLastChestContent; ++type) {
    SCOPED_TRACE(type);
    player.coins = 5;
    player.maxMagic = 20;
    player.shotLevel[0] = 1;
    player.shotLevel[1] = player.shotLevel[2] = 0;
    std::fill(std::begin(player.ProgressFlags), std::end(player.ProgressFlags), 0);
    const PlayerRecord before = player;
    player.keys = 1;
    floorSlots[kSlotChest] = MapObjectRecord{chest.x, chest.y, type, 1};
    StandOver(chest.x, chest.y + 1);
    OpenChestHere();
    EXPECT_EQ(player.keys, 0);
    EXPECT_EQ(floorSlots[kSlotChest].active, 0);
    EXPECT_EQ(gameState.FloorProgress.floorValue[kGalleryIndex], type);
    EXPECT_EQ(player.coins, before.coins + (type == kChestCoin ? 1 : 0));
    EXPECT_EQ(player.maxMagic, before.maxMagic + (type == kChestMpUp ? 1 : 0));
    for (int kind = 0; kind < 3; ++kind) {
      EXPECT_EQ(player.shotLevel[kind], before.shotLevel[kind] + (type == kChestBlazeShot + kind ? 1 : 0))
          << "kind " << kind;
    }
    for (int flag = 0; flag < static_cast<int>(std::size(player.ProgressFlags)); ++flag) {
      const bool granted = (type >= kChestFirstFlag && type <= kChestLastTreasure && flag == type - kChestFirstFlag) ||
                           (type == kChestAirdash && flag == kAirdash);
      EXPECT_EQ(player.ProgressFlags[flag], granted ? 1 : 0) << "flag " << flag;
    }
  }
}

}  // namespace
}  // namespace veltrin::testing
