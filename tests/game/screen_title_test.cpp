// The title and its windows driven by keys on the started game, frame by
// frame: the slot labels over missing, damaged and valid saves, Continue
// entering the saved floor, the cursor's slides and wraps, Quit, the slot
// window's Cancel, and the configuration window changing the volume, a
// button and the screen mode and writing them so the next start reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "game/action_input.h"
#include "game/config_file.h"
#include "game/enemies.h"
#include "game/game_assets.h"
#include "game/pools.h"
#include "game/game_state.h"
#include "game/save_file.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "game/title_windows.h"
#include "graphics/graph_handles.h"
#include "platform/window.h"
#include "sound/sound_play.h"
#include "tests/game/frame_keys.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/game_screen_probe.h"

namespace {

using qz::testing::Frames;
using qz::testing::Hold;
using qz::testing::Press;
using qz::testing::ScreenPixel;

// Keys of pad 1: buttons 0, 1, 2 and 5.
constexpr std::uint32_t kButton0 = 'Z', kButton1 = 'X', kButton2 = 'C', kButton5 = 'D';

class TitleScreenTest : public qz::testing::GameDataTest {
 protected:
  // A tap of a direction and the 8 frames of the slide it starts.
  static void Move(std::uint32_t key, int rows = 1) {
    for (int i = 0; i < rows; ++i) {
      Hold({key});
      Frames(8);
    }
  }
  void WriteSlot(int slot, const std::string& map, std::int32_t coins, bool damaged = false) {
    SaveRecord record{};
    record.maxMagic = kStartMaxMagic;
    record.shotLevel[0] = 1;
    record.mapName = map;
    record.coins = coins;
    record.entrance = 1;
    std::vector<std::uint8_t> bytes = EncodeSaveRecord(record);
    if (damaged) bytes[4208] ^= 1;  // coins changed after the sum was taken
    data_.Write("save/SaveData0" + std::to_string(slot) + ".sav", std::string(bytes.begin(), bytes.end()));
  }
  // Starts and lets the title's first fade run.
  void StartAtTitle() {
    Start();
    Frames(2);
    ASSERT_EQ(gameState.scene, kSceneTitle);
  }
};

TEST_F(TitleScreenTest, SlotLabelsComeFromTheSavesAndContinueEntersTheSavedFloor) {
  WriteSlot(2, "003", 55, true);
  WriteSlot(3, "002", 77);
  StartAtTitle();
  EXPECT_EQ(player.coins, 77) << "the last slot read stays live";
  EXPECT_STREQ(MakeSaveSlotLabel(1).c_str(), "Save 1 [NO DATA]");
  EXPECT_STREQ(MakeSaveSlotLabel(2).c_str(), "Save 2 [DAMAGED]");
  EXPECT_STREQ(MakeSaveSlotLabel(3).c_str(), "Save 3 [Floor 002]");

  Move(plat::VK_DOWN, 2);
  EXPECT_EQ(MenuCursor.row, 2);
  Hold({kButton0});
  EXPECT_EQ(gameState.saveSlot, 3);
  Frames(16);
  ASSERT_EQ(WindowState, 1);
  Hold({kButton0});  // Continue
  Frames(15);
  EXPECT_EQ(gameState.scene, kSceneTitle);
  RunFrame();
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(floorNumber, 1);
  EXPECT_STREQ(mapName.c_str(), "002");
  EXPECT_EQ(entrance, 1);
  EXPECT_EQ(player.coins, 77);
  EXPECT_EQ(gameState.saveSlot, 3);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
}

// A damaged slot shows as such, its Continue is refused rather than starting
// a new game unasked, and its refusal is told once for the whole visit; New
// Game, chosen, starts the opening with nothing of a left floor. Only the
// Continue row is greyed (no pure white pixel in it, while New Game and
// Cancel are white), and the refusal sound plays on a Confirm there, not while
// the cursor merely rests on it.
TEST_F(TitleScreenTest, ADamagedSlotGreysAndRefusesContinueAndStartsOnlyANewGameAskedFor) {
  WriteSlot(1, "003", 55, true);
  testing::internal::CaptureStderr();
  StartAtTitle();
  EXPECT_STREQ(MakeSaveSlotLabel(1).c_str(), "Save 1 [DAMAGED]");
  // What a floor left by Escape leaves behind: live enemies and bullets.
  for (int i = 0; i < 3; ++i) enemies[i].life = 5;
  enemyCount = 3;
  enemyBullets[0].inUse = 1;
  bulletCount = 1;
  Hold({kButton0});
  Frames(16);
  ASSERT_EQ(WindowState, 1);
  Frames(30);
  auto whitePixels = [](int row) {
    int count = 0;
    for (int y = 206 + 24 * row; y < 206 + 24 * row + 18; ++y)
      for (int x = 152; x < 540; ++x) count += ScreenPixel(x, y) == 0xFFFFFF ? 1 : 0;
    return count;
  };
  EXPECT_EQ(whitePixels(0), 0) << "Continue, refused";
  EXPECT_GT(whitePixels(1), 0) << "New Game";
  EXPECT_GT(whitePixels(2), 0) << "Cancel";
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeCansel]), 0) << "resting on Continue";
  Hold({kButton0});  // Continue: refused
  EXPECT_EQ(qz::IsSoundHandlePlaying(soundEffects[kSeCansel]), 1) << "Continue refused";
  Frames(20);
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(WindowState, 1) << "the window stays open";
  EXPECT_EQ(TitleStartRequest, 0);
  Move(plat::VK_DOWN);
  Hold({kButton0});  // New Game
  Frames(16);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(gameState.scene, kSceneOpening);
  EXPECT_EQ(player.coins, 0);
  EXPECT_EQ(gameState.saveSlot, 1);
  EXPECT_EQ(enemyCount, 0);
  for (const EnemyRecord& e : enemies) ASSERT_LE(e.life, 0);
  EXPECT_EQ(bulletCount, 0);
  EXPECT_EQ(enemyBullets[0].inUse, 0);
  std::size_t refusals = 0;
  for (std::size_t at = said.find("refused:"); at != std::string::npos; at = said.find("refused:", at + 1)) ++refusals;
  EXPECT_EQ(refusals, 1u) << said;
}

// A Confirm tapped at any time after the menu opened the slot window counts:
// during the 16-frame zoom (which lasts a second or more when frames are slow)
// it is kept for the first open frame, and Continue starts the game.
TEST_F(TitleScreenTest, SlotWindowTakesConfirmDuringAndAfterItsZoom) {
  StartAtTitle();
  for (const int tappedAt : {2, 8, 15, 16, 17, 30, 60, 114}) {
    SCOPED_TRACE(tappedAt);
    Hold({kButton0});  // frame 0: the menu opens the window
    Frames(tappedAt - 1);
    Hold({kButton0});
    int closing = 0;
    while (WindowState != 2 && closing < 20) {
      RunFrame();
      ++closing;
    }
    EXPECT_EQ(WindowState, 2) << "Continue was taken";
    EXPECT_EQ(closing, std::max(0, 17 - tappedAt)) << "on the tap's frame, or the first open frame (17)";
    Frames(16);
    EXPECT_EQ(gameState.scene, kSceneOpening);
    EnterTitleScene();
    Frames(2);
    ASSERT_EQ(gameState.scene, kSceneTitle);
  }
}

TEST_F(TitleScreenTest, CursorSlidesWrapsIgnoresConfirmMidSlideAndQuits) {
  StartAtTitle();
  Hold({plat::VK_UP});  // row 0 wraps to "Quit": a seventh of 112 pixels a frame
  std::vector<int> ys;
  for (int i = 0; i < 8; ++i) {
    if (i == 3) Press(kButton0, true);
    RunFrame();
    if (i == 3) Press(kButton0, false);
    ys.push_back(MenuCursor.y);
  }
  EXPECT_EQ(ys, (std::vector<int>{324, 340, 356, 372, 388, 404, 420, 420}));
  EXPECT_EQ(MenuCursor.row, 4);
  EXPECT_EQ(gameState.saveSlot, 0) << "Confirm during the slide is not kept";

  Move(plat::VK_DOWN);
  EXPECT_EQ(MenuCursor.row, 0);
  EXPECT_EQ(MenuCursor.y, 308);
  Move(plat::VK_DOWN);
  EXPECT_EQ(MenuCursor.y, 336);

  // Held, a direction moves again every 8 frames: the frame that ends a
  // slide starts the next.
  Press(plat::VK_DOWN, true);
  Frames(16);
  EXPECT_EQ(MenuCursor.row, 3);
  RunFrame();
  Press(plat::VK_DOWN, false);
  EXPECT_EQ(MenuCursor.row, 4);
  // A Confirm on the frame the slide ends is read on that frame.
  Frames(7);
  ASSERT_EQ(MenuCursor.moving, 1);
  Hold({kButton0});
  EXPECT_EQ(MenuCursor.moving, 0);
  EXPECT_EQ(MenuCursor.y, 420);
  EXPECT_EQ(gameState.saveSlot, 5);
  EXPECT_EQ(gameState.quitRequested, 1);
}

TEST_F(TitleScreenTest, SlotWindowCancelReturnsToTheMenuAndReleasesItsPictures) {
  StartAtTitle();
  Hold({kButton0});
  Frames(16);
  EXPECT_EQ(WindowState, 1);
  EXPECT_EQ(DialogCursor.y, 210);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(qz::IsValidGraphHandle(graph), 1);
  Move(plat::VK_DOWN);
  EXPECT_EQ(DialogCursor.y, 234);
  Hold({kButton1});  // Cancel on "New Game" still means Cancel
  EXPECT_EQ(WindowState, 2);
  Frames(15);
  EXPECT_EQ(gameState.saveSlot, 1);
  RunFrame();
  EXPECT_EQ(gameState.saveSlot, 0);
  EXPECT_EQ(TitleStartRequest, 0);
  EXPECT_EQ(gameState.scene, kSceneTitle);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
  Frames(2);
  EXPECT_EQ(gameState.scene, kSceneTitle);
}

// A Cancel tapped during the zoom is kept like a Confirm: the first open frame
// closes the window as Cancel, back to the menu with no game started.
TEST_F(TitleScreenTest, SlotWindowTakesCancelDuringItsZoom) {
  StartAtTitle();
  for (const int tappedAt : {1, 16}) {  // the zoom's first and last frames
    SCOPED_TRACE(tappedAt);
    Hold({kButton0});  // frame 0: the menu opens the window
    Frames(tappedAt - 1);
    Hold({kButton1});
    Frames(16 - tappedAt);
    ASSERT_EQ(WindowState, 1) << "the zoom has just ended";
    RunFrame();  // the first open frame
    EXPECT_EQ(WindowState, 2) << "Cancel was taken";
    EXPECT_EQ(DialogCursor.row, 2);
    Frames(16);
    EXPECT_EQ(gameState.saveSlot, 0);
    EXPECT_EQ(TitleStartRequest, 0);
    EXPECT_EQ(gameState.scene, kSceneTitle);
  }
}

TEST_F(TitleScreenTest, ConfigurationWindowChangesSettingsAndTheNextStartReadsThem) {
  data_.Write("save/config.ini",
              "; kept\r\n[Other]\r\nVolume=3\r\n[Config]\r\nScreen mode=0\r\nVolume=80\r\nConfirm=0\r\nCancel=1\r\n"
              "Don't use 3D Acceleration=1\r\n");
  StartAtTitle();
  Move(plat::VK_DOWN, 3);
  Hold({kButton0});
  EXPECT_EQ(gameState.saveSlot, 4);
  Frames(16);
  ASSERT_EQ(WindowState, 1);
  EXPECT_EQ(DialogCursor.y, 122);

  Hold({kButton0});  // windowed becomes full screen at the next start
  EXPECT_EQ(gameState.windowMode, 0);
  Move(plat::VK_DOWN);
  std::vector<int> volumes;
  // Each press counts once: a frame with the button up comes between.
  for (int i = 0; i < 9; ++i) {
    Hold({kButton0});
    volumes.push_back(volumePercent);
    RunFrame();
  }
  EXPECT_EQ(volumes, (std::vector<int>{85, 90, 95, 96, 97, 98, 99, 100, 100}));
  for (int i = 0; i < 6; ++i) {
    Hold({kButton1});
    RunFrame();
  }
  EXPECT_EQ(volumePercent, 90);
  EXPECT_STREQ(MakeConfigValueText(10).c_str(), "90");

  Move(plat::VK_DOWN, 3);  // "Jump"
  Hold({kButton2, kButton5});
  EXPECT_EQ(ButtonMap.jump, 5);
  EXPECT_STREQ(MakeConfigValueText(2).c_str(), "6 ");
  Move(plat::VK_UP);  // "Cancel": a button that is held binds without Confirm
  Hold({kButton0});
  EXPECT_EQ(ButtonMap.cancel, 0);
  Move(plat::VK_DOWN, 6);  // "Save Settings"
  EXPECT_EQ(DialogCursor.row, 9);
  Hold({kButton0});
  EXPECT_EQ(WindowState, 2);
  Frames(16);
  EXPECT_EQ(gameState.saveSlot, 0);

  EXPECT_EQ(data_.Read("save/config.ini"),
            "; kept\r\n[Other]\r\nVolume=3\r\n[Config]\r\nScreen mode=1\r\nVolume=90\r\nConfirm=0\r\nCancel=0\r\n"
            "Don't use 3D Acceleration=1\r\nJump=5\r\nShot=3\r\nShot Change=0\r\nDash=4\r\nMenu=8\r\n");
  const ButtonMapRecord chosen = ButtonMap;
  ReadConfigFile();
  EXPECT_EQ(gameState.windowMode, 0);
  EXPECT_EQ(volumePercent, 90);
  EXPECT_EQ(std::memcmp(&ButtonMap, &chosen, sizeof(chosen)), 0);
}

}  // namespace
