// The opening, the ending and the upgrade result screen on the started game,
// frame by frame in the cell colour data set, where every picture is one flat
// colour: New Game through the opening's pages into floor "001"; the ending's
// timed and Confirm-turned pages, its score page, the save and the title.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/main_window.h"
#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/doors.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_entry.h"
#include "game/game_state.h"
#include "game/music.h"
#include "game/play_time.h"
#include "game/save_file.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/back_buffer_readback.h"
#include "platform/window.h"
#include "tests/game/frame_keys.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/game_screen_probe.h"

namespace {

using qz::testing::Frames;
using qz::testing::Hold;
using qz::testing::Press;

constexpr std::uint32_t kConfirmKey = 'Z', kCancelKey = 'X';

std::uint32_t Picture(const char* file) { return datagen::CellColour(file, 0); }

class SlideSceneTest : public qz::testing::GameDataTest {
 protected:
  void SetUp() override {
    UseDataSet(datagen::ArtStyle::kCellColours);
    Start();
    Frames(2);
  }
  static std::uint32_t Shown() { return qz::testing::ScreenPixel(320, 100); }
  // Pixels of the statistics block's area that differ from the picture.
  static int MarksOverPicture() {
    const plat::WinRect rect{176, 160, 420, 380};
    qz::BaseImage image{};
    if (qz::LockBackBufferImage(&rect, &image, -1) != 0) return -1;
    std::uint32_t background = 0;
    std::memcpy(&background, image.pixels, sizeof background);
    int marks = 0;
    for (int y = 0; y < rect.bottom - rect.top; ++y) {
      for (int x = 0; x < rect.right - rect.left; ++x) {
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, image.pixels + y * image.pitch + 4 * x, sizeof pixel);
        marks += (pixel & 0xFFFFFF) != (background & 0xFFFFFF) ? 1 : 0;
      }
    }
    qz::ReleaseBackBufferLockSurfaces();
    return marks;
  }
  // From the title: slot `slot`, New Game, into the opening's first page.
  void NewGameIntoOpening(int slot) {
    for (int row = 1; row < slot; ++row) {
      Hold({plat::VK_DOWN});
      Frames(8);
    }
    Hold({kConfirmKey});
    Frames(16);
    Hold({plat::VK_DOWN});
    Frames(8);
    Hold({kConfirmKey});
    Frames(16);
    ASSERT_EQ(gameState.scene, kSceneOpening);
  }
  // Floor play on "001", then the door that leads to the ending.
  void TakeTheEndingDoor(int slot) {
    gameState.saveSlot = slot;
    gameState.scene = kSceneFloorPlay;
    floorNumber = 0;
    EnterDoor(0, 1, 0);
    Frames(2);
    doors[2] = FloorDoor{101, 0};
    EnterDoor(2, 0, 1);
    ASSERT_EQ(gameState.scene, kSceneEnding);
  }
  // Frames until the page number changes; how many it took.
  static int FramesToTurn(int limit = 400) {
    const int page = gameState.scenePage;
    for (int n = 1; n <= limit; ++n) {
      RunFrame();
      if (gameState.scenePage != page) return n;
    }
    return -1;
  }
  // A Confirm page: 40 frames, then the press that turns it.
  static void TurnByConfirm() {
    const int page = gameState.scenePage;
    Frames(40);
    ASSERT_EQ(gameState.scenePage, page);
    Hold({kConfirmKey});
    ASSERT_EQ(gameState.scenePage, page + 1);
  }
};

TEST_F(SlideSceneTest, OpeningShowsItsPicturePairsOnConfirmAndStartsTheFirstFloor) {
  NewGameIntoOpening(2);
  RunFrame();
  EXPECT_EQ(Shown(), Picture("BG_Opening1-2.png"));
  // The key that turns the page is named in the top right corner.
  int hintPixels = 0;
  for (int y = 8; y < 36; ++y) {
    for (int x = 520; x < 620; x += 2) hintPixels += qz::testing::ScreenPixel(x, y) == 0xFFFFFFu ? 1 : 0;
  }
  EXPECT_GT(hintPixels, 0) << "no key named";
  Frames(200);
  EXPECT_EQ(gameState.scene, kSceneOpening) << "the opening waits without a time limit";
  const std::vector<std::pair<const char*, const char*>> pages = {{"BG_Opening2-1.png", "BG_Opening2-2.png"},
                                                                  {"BG_Opening2-1.png", "BG_Opening2-3.png"},
                                                                  {"BG_Opening3-1.png", "BG_Opening3-2.png"},
                                                                  {"BG_Opening4-1.png", "BG_Opening4-2.png"}};
  for (const auto& [fadedIn, shown] : pages) {
    Hold({kConfirmKey});
    EXPECT_EQ(Shown(), Picture(fadedIn)) << "faded in at once";
    RunFrame();
    EXPECT_EQ(Shown(), Picture(shown)) << "then faded into the page";
    EXPECT_EQ(gameState.scene, kSceneOpening);
  }
  player.magic = 9;
  player.life = 0;
  Hold({kConfirmKey});
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_STREQ(mapName.c_str(), "001");
  EXPECT_EQ(floorNumber, 0);
  EXPECT_EQ(entrance, 0);
  EXPECT_EQ(player.magic, 0);
  EXPECT_EQ(player.life, player.maxLife);
  EXPECT_EQ(gameState.saveSlot, 2);
  EXPECT_EQ(sceneBackground, -1);
  EXPECT_EQ(Shown(), Picture("bg_floorback_blue.png")) << "the floor's banner";
  Frames(3);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(fadeRequest, 0);
  EXPECT_EQ(gameState.FloorProgress.visited[0], 1);
  EXPECT_TRUE(missingGameFiles.empty()) << missingGameFiles.front();
}

TEST_F(SlideSceneTest, EndingTurnsItsPagesSavesTheSlotAndReturnsToTheTitle) {
  TakeTheEndingDoor(2);
  EXPECT_NE(bgmHandle, -1);
  EXPECT_EQ(FramesToTurn(), 61) << "page 0 is timed";
  RunFrame();
  EXPECT_EQ(Shown(), Picture("BG_Ending_01.png"));

  // A Confirm before the 41st frame of a page is lost and must be repeated.
  Frames(38);
  Hold({kConfirmKey});
  EXPECT_EQ(gameState.sceneFrame, 40);
  RunFrame();
  EXPECT_EQ(gameState.scenePage, 1) << "a held button is no new press";
  Hold({kConfirmKey});
  EXPECT_EQ(gameState.scenePage, 2);
  RunFrame();
  EXPECT_EQ(Shown(), Picture("BG_Ending_02.png"));
  TurnByConfirm();
  TurnByConfirm();
  EXPECT_EQ(gameState.scenePage, 4);

  // Timed pages go on by themselves; Confirm there does nothing.
  Frames(10);
  Hold({kConfirmKey});
  EXPECT_EQ(gameState.scenePage, 4);
  EXPECT_EQ(FramesToTurn(), 61 - 11);
  for (const char* picture : {"BG_Ending_04.png", "BG_Ending_05.png", "BG_Ending_06.png", "BG_Ending_07.png"}) {
    RunFrame();
    EXPECT_EQ(Shown(), Picture(picture));
    EXPECT_EQ(FramesToTurn(), 320) << picture;
  }
  EXPECT_EQ(gameState.scenePage, 9);
  RunFrame();
  EXPECT_EQ(Shown(), Picture("BG_Ending_08.png"));
  EXPECT_EQ(MarksOverPicture(), 0);
  gameState.playTimeMs = 3723000;
  gameState.tickAtStart = plat::GetTickCount();
  TurnByConfirm();
  EXPECT_STREQ(gameState.playTimeText.c_str(), "Play time:1h2m3s") << "built as the score page opens";

  // The score page: the statistics over BG_Score, and the music until it is left.
  RunFrame();
  EXPECT_EQ(qz::testing::ScreenPixel(20, 20), Picture("BG_Score.png"));
  EXPECT_GT(MarksOverPicture(), 100);
  EXPECT_NE(bgmHandle, -1);
  TurnByConfirm();
  EXPECT_EQ(bgmHandle, -1);
  RunFrame();
  EXPECT_EQ(Shown(), Picture("BG_Ending_09.png"));
  EXPECT_EQ(MarksOverPicture(), 0);

  // The last page goes black once, in the title's own fade, whose fade-in
  // then runs at the end of the same frame: about 33 + 33 frames, where a
  // fade of the page's own would add 33 more.
  Frames(40);
  EXPECT_EQ(gameState.scene, kSceneEnding);
  Press(kConfirmKey, true);
  const std::int32_t before = qz::GetMillisecondCount();
  RunFrame();
  const int frames = qz::ElapsedMilliseconds(qz::GetMillisecondCount(), before) / kFrameMilliseconds;
  Press(kConfirmKey, false);
  EXPECT_GT(frames, 66);
  EXPECT_LT(frames, 80);
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(gameState.sceneFrame, 0);
  EXPECT_EQ(gameState.scenePage, 0);
  const std::string bytes = data_.Read("save/SaveData02.sav");
  SaveRecord saved{};
  ASSERT_TRUE(DecodeSaveRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &saved));
  EXPECT_EQ(saved.mapName, "100");
  EXPECT_EQ(saved.doorLinks[99][1], 101);
  EXPECT_EQ(saved.doorLinks[0][2], -1) << "the ending door records no link of its own";
  EXPECT_GE(saved.playTimeMs, 3723000u);
  Frames(2);
  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_STREQ(MakeSaveSlotLabel(2).c_str(), "Save 2 [Floor 100]");
  EXPECT_TRUE(missingGameFiles.empty()) << missingGameFiles.front();
}

TEST_F(SlideSceneTest, EndingOfADebugStartSavesNothing) {
  TakeTheEndingDoor(-1);
  gameState.scenePage = 11;
  Frames(40);
  Hold({kConfirmKey});
  EXPECT_EQ(gameState.scene, kSceneTitle);
  for (const auto& entry : std::filesystem::directory_iterator(Path("save"))) {
    EXPECT_EQ(entry.path().extension(), ".ini") << entry.path();
  }
}

TEST_F(SlideSceneTest, UpgradeResultShowsOverItsPictureAndLeavesForTheFloorOnCancel) {
  gameState.scene = kSceneFloorPlay;
  floorNumber = 0;
  EnterDoor(0, 1, 0);
  Frames(2);
  sceneBackground = LoadImage("\\data_en\\BG_Score.png");
  FormatPlayTimeText();
  gameState.scene = kSceneUpgradeResult;
  Frames(3);
  EXPECT_EQ(gameState.scene, kSceneUpgradeResult) << "it stays until Confirm or Cancel";
  EXPECT_EQ(qz::testing::ScreenPixel(20, 20), Picture("BG_Score.png"));
  EXPECT_GT(MarksOverPicture(), 100);
  Hold({kCancelKey});
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(fadeRequest, 2);
  EXPECT_EQ(sceneBackground, -1);
  Frames(2);
  EXPECT_EQ(fadeRequest, 0);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
}

}  // namespace
