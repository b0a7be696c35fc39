// The status screen as a player meets it, on the cell-colour data set with
// keys on the virtual clock: opened with Menu from a floor, the state icons
// of the map and the owned panel icons, the cursor's nine-frame moves and
// crossings, the description of floors (found things, door boxes) and of
// panel entries, and the floor jump answered Yes, No or Cancel.
#include <functional>
#include <initializer_list>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "core/main_window.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "game/status_panel.h"
#include "platform/window.h"
#include "sound/sound_play.h"
#include "tests/game/frame_keys.h"
#include "tests/game/floor_fixture.h"
#include "tests/game/scripted_keys.h"

namespace {

using qz::testing::Frames;
using qz::testing::Hold;
using qz::testing::Press;

using qz::testing::ScreenPixel;
using qz::testing::ScriptedKeys;

constexpr std::uint64_t kMillisecond = 1000000;
// Keys of pad 1: Confirm is button 0, Cancel 1, Menu 4.
constexpr std::uint32_t kConfirm = 'Z', kCancel = 'X', kMenu = 'S';
constexpr std::uint32_t kUp = plat::VK_UP, kDown = plat::VK_DOWN, kLeft = plat::VK_LEFT, kRight = plat::VK_RIGHT;
constexpr std::uint32_t kGrey = 0x2A2A2A;
constexpr int kNotStarted = -100;  // a dialog cursor y no dialog uses

class StatusScreenTest : public qz::testing::FloorTest {
 protected:
  void SetUp() override {
    FloorTest::SetUp();
    confirmLatch = cancelLatch = 0;
    pictureScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
    ASSERT_EQ(Enter("001", 0), 1);
  }
  // A tap and the rest of the nine-frame move it starts.
  static void Move(std::initializer_list<std::uint32_t> keys) {
    Hold(keys);
    Frames(8);
  }
  // Menu held in a floor-play frame on floor index f, then the fade in.
  static void Open(int floor) {
    floorNumber = floor;
    Hold({kMenu});
    ASSERT_EQ(gameState.scene, kSceneStatus);
    RunFrame();
  }
  // Whether se_select started since the previous call (which stops it).
  static int SelectSoundPlaying() {
    const int playing = qz::IsSoundHandlePlaying(soundEffects[kSeSelect]);
    qz::StopSoundHandle(soundEffects[kSeSelect]);
    return playing;
  }
  static void PutCursor(int entry, int x, int y) {
    MenuCursor.row = entry;
    MenuCursor.x = x;
    MenuCursor.y = y;
  }
  // The 32 x 32 piece drawn at (x, y), read at its centre.
  static std::uint32_t Piece(int x, int y) { return ScreenPixel(x + 16, y + 16); }
  static std::uint32_t ItemIcon(int n) { return Cell("st_itemicon.png", n); }
  static std::uint32_t Chip(int n) { return Cell("chip_meadow.png", n); }
  static std::uint32_t Background() { return Cell("st_menu_window.png", 0); }
  // A two-piece number at (x, y), its small digit pieces 9 pixels apart,
  // drawn at alpha 224 over `under`: each channel within 3.
  static void ExpectDigits(int x, int y, int first, int second, std::uint32_t under) {
    for (const auto& [at, piece] : {std::pair{x, first}, std::pair{x + 9, second}}) {
      const std::uint32_t pixel = ScreenPixel(at + 4, y + 8), digit = Cell("st_font2.png", piece);
      for (int shift : {16, 8, 0}) {
        const int d = digit >> shift & 0xFF, u = under >> shift & 0xFF;
        EXPECT_NEAR(static_cast<int>(pixel >> shift & 0xFF), (d * 224 + u * 31) / 255, 3)
            << "piece " << piece << " at " << at << "," << y;
      }
    }
  }
  // The map icon of grid cell f, read clear of its number.
  static std::uint32_t MapIconAt(int f) { return ScreenPixel(54 + 30 * (f % 10) + 26, 64 + 28 * (f / 10) + 3); }
};

TEST_F(StatusScreenTest, MenuOpensTheMapOnTheCurrentFloorWithStateAndPanelIconsAndCancelLeaves) {
  FloorProgressRecord& p = gameState.FloorProgress;
  p.visited[1] = 1;
  p.visited[2] = 1;
  p.floorItems[2][kSlotKey] = p.floorItems[2][kSlotChest] = 1;
  p.floorItems[3][kSlotKeySwitch] = p.floorItems[3][kSlotKey] = p.floorItems[3][kSlotChest] = 1;
  p.visited[4] = 1;
  p.floorItems[4][kSlotKey] = p.floorItems[4][kSlotChest] = 1;
  p.floorValue[4] = 29;
  p.floorValue[5] = 29;
  p.visited[6] = 1;
  p.floorItems[6][kSlotKey] = 1;
  player.shotLevel[0] = 1;
  player.shotLevel[1] = 0;
  player.shotLevel[2] = 2;
  player.ProgressFlags[kHoverdash] = player.ProgressFlags[kAirdash] = 1;
  player.ProgressFlags[kHighJump] = 1;
  player.ProgressFlags[kBreakPower] = 2;  // only 1 counts as owned

  Open(37);
  EXPECT_EQ(MenuCursor.row, 37);
  EXPECT_EQ(MenuCursor.x, 262);
  EXPECT_EQ(MenuCursor.y, 146);
  EXPECT_EQ(hudItemsHidden, 1);
  EXPECT_EQ(ScreenPixel(262 + 17, 146 + 16), Cell("st_cursor3.png", MenuCursor.animationFrame));

  // Floor 0 was loaded, so visited; floor 7 never was.
  const int expected[8] = {1, 1, 2, 2, 3, 3, 1, 0};
  for (int f = 0; f < 8; ++f) EXPECT_EQ(MapIconAt(f), Cell("st_map_icon.png", expected[f])) << "floor " << f;
  // Numbers 01 to 99 and the two-piece mark of floor 100.
  ExpectDigits(60, 70, 0, 1, Cell("st_map_icon.png", 1));
  ExpectDigits(60 + 30 * 8, 70 + 28 * 9, 9, 9, Cell("st_map_icon.png", 0));
  ExpectDigits(60 + 30 * 9, 70 + 28 * 9, 10, 11, Cell("st_map_icon.png", 0));

  EXPECT_EQ(Piece(430, 148), ItemIcon(7));
  EXPECT_EQ(Piece(470, 148), ItemIcon(8));
  EXPECT_EQ(Piece(510, 148), Background()) << "no Gravity shot";
  EXPECT_EQ(Piece(550, 148), ItemIcon(10));
  EXPECT_EQ(Piece(430, 188), ItemIcon(27)) << "Airdash over Hoverdash";
  EXPECT_EQ(Piece(470, 188), ItemIcon(12));
  EXPECT_EQ(Piece(510, 188), Background());

  // The picture is kept while the cursor animates: a new piece every 5 frames.
  const int piece = MenuCursor.animationFrame;
  Frames(5);
  EXPECT_EQ(MenuCursor.animationFrame, (piece + 1) % 6);
  EXPECT_EQ(MapIconAt(4), Cell("st_map_icon.png", 3));

  Hold({kCancel});
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(fadeRequest, 2);
  EXPECT_EQ(qz::IsValidGraphHandle(pictureScreen), 1);
  RunFrame();
  EXPECT_EQ(fadeRequest, 0);
  EXPECT_EQ(hudItemsHidden, 0);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
}

TEST_F(StatusScreenTest, TheCursorMovesInNineFramesOvershootsSidewaysAndNeverWraps) {
  Open(37);
  Hold({kRight});
  EXPECT_EQ(MenuCursor.row, 38) << "the description follows from the first frame";
  EXPECT_EQ(SelectSoundPlaying(), 1) << "in the move's first frame";
  std::vector<int> xs{MenuCursor.x};
  for (int i = 0; i < 8; ++i) {
    RunFrame();
    xs.push_back(MenuCursor.x);
  }
  EXPECT_EQ(xs, (std::vector<int>{266, 270, 274, 278, 282, 286, 290, 294, 292}));
  EXPECT_EQ(MenuCursor.moving, 0);
  EXPECT_EQ(SelectSoundPlaying(), 0) << "only in the first frame";

  Move({kRight, kDown});  // sideways only
  EXPECT_EQ(MenuCursor.row, 39);
  EXPECT_EQ(MenuCursor.y, 146);
  Hold({kDown, kUp});  // down wins
  EXPECT_EQ(MenuCursor.row, 49);
  EXPECT_EQ(MenuCursor.y, 149);
  Frames(8);
  EXPECT_EQ(MenuCursor.y, 174);

  // Held, a direction repeats one move every nine frames.
  Press(kUp, true);
  Frames(10);
  Press(kUp, false);
  EXPECT_EQ(MenuCursor.row, 29);
  Frames(8);
  EXPECT_EQ(MenuCursor.y, 118);

  // No wrap at any edge of the grid or the panel.
  const struct {
    int entry, x, y;
    std::uint32_t key;
  } edges[] = {{5, 202, 62, kUp},      {95, 202, 314, kDown},  {40, 52, 174, kLeft},
               {101, 462, 140, kUp},   {117, 462, 300, kDown}, {107, 542, 180, kRight}};
  for (const auto& e : edges) {
    PutCursor(e.entry, e.x, e.y);
    SelectSoundPlaying();  // stops the sound of earlier moves
    Hold({e.key});
    EXPECT_EQ(MenuCursor.moving, 0) << e.entry;
    EXPECT_EQ(MenuCursor.row, e.entry);
    EXPECT_EQ(SelectSoundPlaying(), 0);
  }

  // Panel moves are exact: 5 pixels a frame.
  PutCursor(105, 462, 180);
  Hold({kRight, kLeft});  // right wins
  EXPECT_EQ(MenuCursor.x, 467);
  Frames(8);
  EXPECT_EQ(MenuCursor.row, 106);
  EXPECT_EQ(ScreenPixel(502 + 24, 180 + 24), Cell("st_cursor2.png", MenuCursor.animationFrame));
}

TEST_F(StatusScreenTest, TheGridAndThePanelCrossOverByBandsOfY) {
  Open(0);
  const int panelEntries[10] = {100, 100, 100, 100, 104, 104, 108, 112, 116, 116};
  const int panelYs[10] = {140, 140, 140, 140, 180, 180, 220, 260, 300, 300};
  for (int r = 0; r < 10; ++r) {
    PutCursor(10 * r + 9, 322, 62 + 28 * r);
    Move({kRight});
    EXPECT_EQ(MenuCursor.row, panelEntries[r]) << "grid row " << r;
    EXPECT_EQ(MenuCursor.x, 422);
    EXPECT_EQ(MenuCursor.y, panelYs[r]);
  }
  const int floors[5] = {39, 49, 69, 79, 99};
  const int gridYs[5] = {146, 174, 230, 258, 314};
  for (int r = 0; r < 5; ++r) {
    PutCursor(100 + 4 * r, 422, 140 + 40 * r);
    Hold({kLeft});
    EXPECT_EQ(MenuCursor.x, 422 - 12) << "a hundred pixels in steps of 100 / 8";
    Frames(8);
    EXPECT_EQ(MenuCursor.row, floors[r]) << "panel row " << r;
    EXPECT_EQ(MenuCursor.x, 322);
    EXPECT_EQ(MenuCursor.y, gridYs[r]);
  }
}

TEST_F(StatusScreenTest, AFloorShowsWhatWasFoundAndItsDoorsSortedWithTheirPictures) {
  FloorProgressRecord& p = gameState.FloorProgress;
  const std::int32_t links12[4] = {5, -1, 3, -1};
  std::copy(std::begin(links12), std::end(links12), p.doorLinks[12]);
  p.floorItems[12][kSlotKeySwitch] = p.floorItems[12][kSlotKey] = p.floorItems[12][kSlotChest] = 1;
  p.floorValue[12] = 9;
  p.shopFound[13] = 1;
  const std::int32_t links14[4] = {101, -1, 0, -1};
  std::copy(std::begin(links14), std::end(links14), p.doorLinks[14]);
  p.shopFound[14] = 1;
  // Found-item values a save from elsewhere could hold.
  const std::int32_t chestValues[4] = {31, 32, -1, 1000};
  for (int i = 0; i < 4; ++i) {
    p.floorItems[15 + i][kSlotChest] = 1;
    p.floorValue[15 + i] = chestValues[i];
  }

  Open(12);
  EXPECT_EQ(Piece(40, 415), ItemIcon(5)) << "key";
  EXPECT_EQ(Piece(76, 415), ItemIcon(9)) << "the chest's item";
  EXPECT_EQ(Piece(112, 415), ItemIcon(4)) << "key switch";
  // [5, -1, 3, -1] sorts to [-1, -1, 3, 5]: floor 3 with picture 2, floor 5 with picture 3.
  EXPECT_EQ(Piece(160, 383), Chip(212));
  EXPECT_EQ(Piece(160, 415), Chip(220));
  EXPECT_EQ(Piece(200, 383), Chip(213));
  EXPECT_EQ(Piece(200, 415), Chip(221));
  EXPECT_EQ(ScreenPixel(160 + 32, 440), kGrey);
  EXPECT_EQ(ScreenPixel(200 + 32, 440), kGrey);
  EXPECT_EQ(ScreenPixel(240 + 16, 440), Background());
  ExpectDigits(167, 402, 0, 3, Chip(212));
  ExpectDigits(207, 402, 0, 5, Chip(213));

  Move({kRight});
  EXPECT_EQ(Piece(168, 383), Chip(209)) << "a shop door alone sits 8 pixels in";
  EXPECT_EQ(Piece(168, 415), Chip(217));
  EXPECT_EQ(ScreenPixel(168 + 32, 440), kGrey);
  EXPECT_EQ(ScreenPixel(164, 440), Background());
  EXPECT_EQ(Piece(40, 415), Background()) << "nothing found there";

  Move({kRight});
  EXPECT_EQ(Piece(160, 383), Chip(212)) << "the unknown target (0) first";
  EXPECT_EQ(Piece(200, 383), Chip(213)) << "then the ending (101)";
  EXPECT_EQ(Piece(248, 383), Chip(209));
  ExpectDigits(167, 402, 12, 12, Chip(212));
  ExpectDigits(207, 402, 13, 14, Chip(213));

  const std::uint32_t chestIcons[4] = {ItemIcon(31), Background(), Background(), Background()};
  for (int i = 0; i < 4; ++i) {
    Move({kRight});
    EXPECT_EQ(Piece(76, 415), chestIcons[i]) << "found-item value " << chestValues[i];
  }

  // Links no door writes, as a crafted save holds them: the lowest shows as 00 like any negative one.
  const std::int32_t links19[4] = {-7, -1, std::numeric_limits<std::int32_t>::min(), -1};
  std::copy(std::begin(links19), std::end(links19), p.doorLinks[19]);
  Move({kRight});
  EXPECT_EQ(Piece(160, 383), Chip(210));
  EXPECT_EQ(Piece(200, 383), Chip(211));
  ExpectDigits(167, 402, 0, 0, Chip(210));
  ExpectDigits(207, 402, 0, 0, Chip(211));
}

TEST_F(StatusScreenTest, PanelEntriesDescribeOnlyWhatIsOwnedWithTheirExactNames) {
  player.maxMagic = 42;
  player.shotLevel[0] = 3;
  player.shotLevel[1] = 2;
  player.shotLevel[2] = 0;
  EXPECT_EQ(DescribePanelEntry(100).name, "Magic Points (Max : 42)");
  EXPECT_EQ(DescribePanelEntry(101).name, "Blaze Shot (LV3) [Attack Magic/3 MP]");
  EXPECT_EQ(DescribePanelEntry(102).name, "Gravity Shot(LV2) [Gravity Magic/2 MP]");
  EXPECT_EQ(DescribePanelEntry(102).line2, "Uses the least MP, but can't damage enemies.");
  EXPECT_EQ(DescribePanelEntry(103).icon, -1);
  EXPECT_EQ(DescribePanelEntry(103).name, "");
  player.shotLevel[2] = 1;
  EXPECT_EQ(DescribePanelEntry(103).name, "Magic Shot(LV1) [Change Magic/4 MP]");
  EXPECT_EQ(DescribePanelEntry(103).icon, 10);

  EXPECT_EQ(DescribePanelEntry(104).icon, -1);
  player.ProgressFlags[kAirdash] = 1;  // without the Hoverdash
  EXPECT_EQ(DescribePanelEntry(104).icon, 27);
  player.ProgressFlags[kHoverdash] = 1;
  player.ProgressFlags[kAirdash] = 0;
  EXPECT_EQ(DescribePanelEntry(104).name, "Hoverdash [Upgrade]");
  player.ProgressFlags[kAirdash] = 1;
  const PanelDescription airdash = DescribePanelEntry(104);
  EXPECT_EQ(airdash.icon, 27);
  EXPECT_EQ(airdash.name, "Airdash [Upgrade]");
  EXPECT_EQ(airdash.line1, "Upgraded version of the hoverdash.");
  EXPECT_EQ(airdash.line2, "You can now dash once in mid-air.");

  player.ProgressFlags[kEarthDiamondReplica] = 1;
  const PanelDescription replica = DescribePanelEntry(119);
  EXPECT_EQ(replica.icon, 26);
  EXPECT_EQ(replica.name, "Earth Diamond Replica [Event Item]");
  EXPECT_EQ(replica.line1, "Replica of the Earth Treasure.");
  EXPECT_EQ(replica.line2, "Opens its gate on floor 100.");
  player.ProgressFlags[kTrueEye] = 2;
  EXPECT_EQ(DescribePanelEntry(112).icon, -1);
  EXPECT_EQ(DescribePanelEntry(99).icon, -1);
  EXPECT_EQ(DescribePanelEntry(120).icon, -1);

  // On screen: the icon of an owned entry under the cursor, nothing for another.
  Open(9);
  Move({kRight});
  Move({kRight});
  EXPECT_EQ(MenuCursor.row, 101);
  EXPECT_EQ(Piece(40, 399), ItemIcon(8));
  PutCursor(106, 502, 180);  // Break Power, not owned
  RunFrame();
  EXPECT_EQ(Piece(40, 399), Background());
}

class FloorJumpTest : public StatusScreenTest {
 protected:
  // Opens on floor 0 and moves to the floor-jump point on floor index 1.
  void SetUp() override {
    StatusScreenTest::SetUp();
    gameState.FloorProgress.floorValue[1] = 29;
    Open(0);
    Move({kRight});
    ASSERT_EQ(MenuCursor.row, 1);
    DialogCursor.y = kNotStarted;
  }
  // Runs the frame whose Confirm opens the dialog; the driver answers it.
  // A driver that never answers gets Cancel after a while, so a fault
  // fails the test instead of hanging it.
  static void AnswerWith(std::function<std::set<std::uint32_t>()> inDialog) {
    int calls = 0;
    ScriptedKeys keys([&]() -> std::set<std::uint32_t> {
      if (DialogCursor.y == kNotStarted) return {kConfirm};
      if (++calls > 500) {
        ADD_FAILURE() << "the dialog was not answered";
        return {kCancel};
      }
      return inDialog();
    });
    plat::AdvanceVirtualTime(kFrameMilliseconds * kMillisecond);  // the timer is due at the frame's input
    RunFrame();
  }
  // A new Confirm press: released until the game has seen it up.
  static std::set<std::uint32_t> PressConfirm() {
    if (confirmLatch != 0) return {};
    return {kConfirm};
  }
  // Up until the dialog cursor reaches y, then Confirm.
  static void ConfirmWhenAt(int y) {
    AnswerWith([y]() -> std::set<std::uint32_t> {
      if (DialogCursor.y > y) return {kUp};
      return PressConfirm();
    });
  }
};

TEST_F(FloorJumpTest, YesSendsFloorPlayToTheChosenFloor) {
  ConfirmWhenAt(234);
  EXPECT_EQ(DialogCursor.y, 234);
  EXPECT_EQ(player.eventCode, 9);
  EXPECT_EQ(floorNumber, 1);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay) << "Yes leaves at once";
  EXPECT_EQ(fadeRequest, 2);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
  Frames(2);
  EXPECT_STREQ(mapName.c_str(), "002");
  EXPECT_EQ(player.eventCode, 0);
}

TEST_F(FloorJumpTest, ConfirmOnNoClosesTheDialogAndStays) {
  AnswerWith(PressConfirm);
  EXPECT_EQ(DialogCursor.y, 258);
  EXPECT_EQ(gameState.scene, kSceneStatus);
  EXPECT_EQ(player.eventCode, 0);
  EXPECT_EQ(floorNumber, 0);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
  Hold({kCancel});
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(player.eventCode, 0);
}

TEST_F(FloorJumpTest, ConfirmMidSlideAnswersYesFromTheFourthStepOn) {
  ConfirmWhenAt(252);  // pressed in the pass of the third step
  EXPECT_EQ(DialogCursor.y, 249);
  EXPECT_EQ(gameState.scene, kSceneStatus);
  EXPECT_EQ(player.eventCode, 0);

  RunFrame();  // Confirm seen up before it opens the dialog again
  DialogCursor.y = kNotStarted;
  ConfirmWhenAt(249);  // the fourth step: y 246
  EXPECT_EQ(DialogCursor.y, 246);
  EXPECT_EQ(player.eventCode, 9);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
}

TEST_F(FloorJumpTest, CancelLeavesWithoutAJumpAndConfirmElsewhereOpensNothing) {
  AnswerWith([] { return std::set<std::uint32_t>{kCancel}; });
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(player.eventCode, 0);
  EXPECT_EQ(floorNumber, 0);

  Open(0);
  DialogCursor.y = kNotStarted;
  const std::int32_t before = qz::GetMillisecondCount();
  qz::StopSoundHandle(soundEffects[kSeOk]);
  Hold({kConfirm});  // floor index 0 is no floor-jump point
  EXPECT_LT(qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before), 3 * kFrameMilliseconds);
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeOk]), 0);
  EXPECT_EQ(DialogCursor.y, kNotStarted);
  EXPECT_EQ(gameState.scene, kSceneStatus);
}

TEST_F(FloorJumpTest, EscapeInTheDialogGoesToTheTitleWithoutAJump) {
  AnswerWith([] { return std::set<std::uint32_t>{plat::VK_ESCAPE}; });
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(player.eventCode, 0);
  EXPECT_EQ(floorNumber, 0);
}

}  // namespace
