// The gallery floor "090" and the audit it answers: every cell attribute,
// pick-up, floor slot and moving platform that the player, the shots, the
// blocks and the items react to, each with the test that makes it act. The
// fixture enters the generated gallery and finds its stations by content.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/map_cells.h"
#include "tests/game/floor_fixture.h"
#include "tests/game/player_floor.h"

namespace veltrin::testing {

inline constexpr const char* kGalleryFloor = "090";

struct AuditedCode {
  std::int32_t value;
  const char* what;
  const char* exercisedBy;  // the test that makes it act
};

// Every attribute the rules react to; ranges are listed member by member.
inline std::vector<AuditedCode> AuditedAttributes() {
  std::vector<AuditedCode> list = {
      {kAttrEmpty, "empty", "every walk"},
      {kAttrSign, "sign", "GalleryTest.EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround"},
      {kAttrRecoveryPoint, "recovery point", "GalleryTest.EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround"},
      {kAttrShop, "shop", "GalleryTest.EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround"},
      {kAttrMadeCell, "made cell", "GalleryTest.EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround"},
      {kAttrCheckCube, "check cube", "GalleryTest.EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround"},
      {kAttrWallFromRight, "wall closed to the right",
       "GalleryTest.OneSidedWallsAndAppearingCellsMeetThePlayerOnTheWalk"},
      {kAttrWallFromLeft, "wall closed to the left",
       "GalleryTest.OneSidedWallsAndAppearingCellsMeetThePlayerOnTheWalk"},
      {kAttrHidden, "hidden cell", "GalleryTest.TheKeyOpensTheTrueEyeChestAndTheHiddenBridgeCarriesThePlayerAtOnce"},
      {kAttrAppearsSideways, "appears sideways", "GalleryTest.OneSidedWallsAndAppearingCellsMeetThePlayerOnTheWalk"},
      {kAttrAppearsUnderFeet, "appears under the feet",
       "PlayerHazardsTest.CrumblingCellTurnsSolidWithAFiftyFrameTimerAndAppearingCellsBlock"},
      {kAttrAppearsOverHead, "appears over the head",
       "GalleryTest.OneSidedWallsAndAppearingCellsMeetThePlayerOnTheWalk"},
      {kAttrOneWay, "one-way platform", "PlayerMovementTest.OneWayPlatformsCarryAndDownJumpDropsThrough"},
      {kAttrSolidFrom, "crate", "PlayerShotsTest.GravityPushesBlocksOneOrTwoCellsAndNeverPastTheLayers"},
      {kAttrSpikesUp, "floor spikes",
       "PlayerHazardsTest.FloorSpikesHurtOnLandingThenBlinkFor48FramesButNeverWhileDashing"},
      {kAttrSpikesDown, "ceiling spikes", "GalleryTest.CeilingAndLeftSpikesHurtOnlyAsTheyPoint"},
      {kAttrSpikesRight, "spikes hurting a right move",
       "PlayerHazardsTest.SideSpikesHurtOnlyWhenMovingIntoThemWithNothingElseSolidBeside"},
      {kAttrSpikesLeft, "spikes hurting a left move", "GalleryTest.CeilingAndLeftSpikesHurtOnlyAsTheyPoint"},
      {kAttrCrumbles, "crumbling cell",
       "PlayerHazardsTest.CrumblingCellTurnsSolidWithAFiftyFrameTimerAndAppearingCellsBlock"},
      {kAttrSpring, "spring", "PlayerHazardsTest.SpringLaunchesAndJumpReleaseDoesNotCutTheRise"},
      {kAttrSlippery, "ice", "PlayerMovementTest.IceKeepsTheSpeedAndInertiaSlowsTheStart"},
      {kAttrWarpBlock, "warp block", "PlayerShotsTest.MagicWithChainRingFlipsSwitchGroupsAndWarpsOntoTheWarpBlock"},
      {kAttrSolidBlock, "solid block", "every walk"},
  };
  const auto range = [&list](std::int32_t first, std::int32_t last, const char* what, const char* test) {
    for (std::int32_t value = first; value <= last; ++value) list.push_back({value, what, test});
  };
  range(kAttrDoor0, kAttrDoor0 + 3, "door", "GalleryTest.EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround");
  range(kAttrEntrance0, kAttrEntrance0 + 3, "entrance",
        "GalleryTest.EventCellsRaiseTheirEventsAndEveryEntranceStandsOnGround");
  range(kAttrSwitchCodeFirst, kAttrSwitchCodeLast, "switch code",
        "GalleryTest.TheKeyOpensTheTrueEyeChestAndTheHiddenBridgeCarriesThePlayerAtOnce");
  range(kAttrHighSwitchCodeFirst, kAttrHighSwitchCodeLast, "switch code",
        "GalleryTest.TheKeyOpensTheTrueEyeChestAndTheHiddenBridgeCarriesThePlayerAtOnce");
  range(kAttrSwitchOpen0, kAttrSwitchOpen0 + 2, "open switch block",
        "GalleryTest.SquattingMagicShotsFlipTheGroupsOfEachMagicCell");
  range(kAttrSwitchClosed0, kAttrSwitchClosed0 + 2, "closed switch block",
        "GalleryTest.SquattingMagicShotsFlipTheGroupsOfEachMagicCell");
  range(kAttrMagicSwitchFirst, kAttrMagicSwitchLast, "magic switch cell",
        "GalleryTest.SquattingMagicShotsFlipTheGroupsOfEachMagicCell");
  range(kAttrPipeFirst, kAttrPipeLast, "pipe", "GalleryTest.ABlazeShotFromTheLedgeRunsThePipeCircuitToTheTarget");
  range(kAttrBreakableFirst, kAttrBreakableLast, "breakable block",
        "GalleryTest.SquattingBlazeShotsBreakEveryBlockKindIntoWhatItHides");
  range(kAttrTouchCodeFirst, kAttrTouchCodeLast, "touch code", "GalleryTest.JumpsUnderEveryTouchCodeTurnItIntoItsCell");
  return list;
}

// Pick-up types 0..3 (magic +5, +10, infinity star, time):
// PlayerItemsTest.PickUpsTakeTheFirstTouchedOnlyCapMagicAndWaitForAHiddenCell.
// Moving-platform types 0..7: GalleryTest.PlatformsOfEveryTypeMoveTurnBlinkAndCarry
// and PlayerItemsTest.PlatformsTurnAtWallsCarryTheRiderAndBlinkInTurns. The
// floor slots: key switch 4 and key 5 in
// GalleryTest.TheKeyOpensTheTrueEyeChestAndTheHiddenBridgeCarriesThePlayerAtOnce,
// and a chest (6..29; every content in
// GalleryTest.EveryChestContentGrantsItsOwnThingAndNothingElse).
inline constexpr int kAuditedPickUpTypes = 4;
inline constexpr int kAuditedMovingTypes = 8;
inline constexpr int kSlotTypeKeySwitch = 4, kSlotTypeKey = 5;
inline constexpr int kFirstChestContent = 6, kLastChestContent = 29;

struct CellPlace {
  int column, row;
};

class GalleryTest : public qz::testing::FloorTest {
 protected:
  void SetUp() override {
    FloorTest::SetUp();
    ASSERT_EQ(Enter(kGalleryFloor, 0), 1);
    fadeRequest = skipFade = 0;  // no fade pending: shots meet cells
    player.life = player.maxLife = 100;
    player.magic = player.maxMagic = 40;
    player.shotLevel[0] = player.shotLevel[1] = player.shotLevel[2] = 1;
  }

  // The cells holding `attribute`, column by column.
  static std::vector<CellPlace> CellsOf(std::int32_t attribute) {
    std::vector<CellPlace> places;
    for (int x = 0; x < kMapColumns; ++x) {
      for (int y = 0; y < kMapRows; ++y) {
        if (AttributeAt(x, y) == attribute) places.push_back({x, y});
      }
    }
    return places;
  }
  // The one cell of `attribute`; fails the test when there is not exactly one.
  static CellPlace OnlyCellOf(std::int32_t attribute) {
    const std::vector<CellPlace> places = CellsOf(attribute);
    EXPECT_EQ(places.size(), 1u) << "attribute " << attribute;
    return places.empty() ? CellPlace{0, 0} : places.front();
  }
  // The player standing on ground row `groundRow`, the body's probes over `column`.
  static void StandOver(int column, int groundRow) { PlacePlayerAt(column * 32 - 16, groundRow * 32 - 64); }
  // The first ground row (solid) below cell row `row` in `column`.
  static int GroundBelow(int column, int row) {
    while (row < kMapRows && AttributeAt(column, row) < kAttrSolidFrom) ++row;
    return row;
  }
  static void Steps(int frames, std::uint32_t pad) {
    for (int i = 0; i < frames; ++i) StepPlayer(pad);
  }
};

}  // namespace veltrin::testing
