// The game started headless in the generated data set, as a player meets it:
// every picture and sound loaded with the right cells, the title, New Game
// entering floor "001" with its fades, the window closing; a data set with
// files removed (reported by name, the game still starts); the debug start;
// and the screen and renderer the configuration asks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/trap_graphics.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "platform/window.h"
#include "tests/game/frame_keys.h"
#include "tests/game/game_data_fixture.h"
#include "tests/game/game_screen_probe.h"

namespace {

using qz::testing::Frames;

// Every handle of a record made only of graph handles.
template <typename Record>
std::vector<int> HandlesOf(const Record& record) {
  const int* first = reinterpret_cast<const int*>(&record);
  return std::vector<int>(first, first + sizeof(Record) / sizeof(int));
}

int ValidGraphs(const std::vector<int>& handles) {
  int valid = 0;
  for (int handle : handles) valid += qz::IsValidGraphHandle(handle);
  return valid;
}

class GameStartupTest : public qz::testing::GameDataTest {
 protected:
  void WriteConfig(const std::string& lines) { data_.Write("save/config.ini", "[Config]\r\n" + lines); }
  static void Tap(std::uint32_t key) { qz::testing::Hold({key}); }
  static void CellSize(int graph, int w, int h) {
    int gw = 0, gh = 0;
    ASSERT_EQ(qz::QueryGraphSize(graph, &gw, &gh), 0);
    EXPECT_EQ(gw, w);
    EXPECT_EQ(gh, h);
  }
};

TEST_F(GameStartupTest, LoadsEverythingShowsTheTitleAndConfirmEntersTheFirstFloor) {
  WriteConfig("Confirm=0\r\nDon't use 3D Acceleration=0\r\n");
  Start();
  EXPECT_TRUE(missingGameFiles.empty()) << missingGameFiles.front();
  const std::vector<int> sheetHandles = HandlesOf(sheets);
  EXPECT_EQ(ValidGraphs(sheetHandles), static_cast<int>(sheetHandles.size()));
  EXPECT_EQ(ValidGraphs(HandlesOf(images)), 11);
  EXPECT_EQ(ValidGraphs(HandlesOf(trapSheets)), 57);
  EXPECT_EQ(ValidGraphs({oldScreen, newScreen, thirdScreen, pictureScreen, candleMask}), 5);
  for (int effect : soundEffects) EXPECT_NE(effect, -1);
  // Cells are cut at the sheets' sizes, the last cell included.
  CellSize(sheets.player[206], 64, 64);
  CellSize(sheets.playerSquats[26], 96, 64);
  CellSize(sheets.laser02[5], 9, 3);
  CellSize(sheets.hit03[11], 128, 128);
  CellSize(sheets.magicBar[3], 9, 20);
  CellSize(trapSheets.magicBall[2][4], 32, 32);
  CellSize(candleMask, 480, 480);
  EXPECT_NE(qz::GetGraphicsState().device, nullptr);
  EXPECT_EQ(qz::IsFullScreenMode(), 0);

  EXPECT_EQ(gameState.scene, kSceneTitle);
  EXPECT_EQ(gameState.saveSlot, 0);
  Frames(2);
  EXPECT_EQ(fadeRequest, 0);

  // Slot 1, then "New Game (resets progress)" in the slot window: the
  // window zooms in and out over 16 frames each, the cursor slides 8.
  Tap('Z');  // button 0: Confirm
  EXPECT_EQ(gameState.saveSlot, 1);
  Frames(16);
  Tap(plat::VK_DOWN);
  Frames(8);
  Tap('Z');
  Frames(16);
  EXPECT_EQ(gameState.scene, kSceneOpening);
  // The opening's five pages, each turned by Confirm, lead to the first floor.
  for (int page = 0; page < 5; ++page) {
    RunFrame();
    EXPECT_EQ(gameState.scene, kSceneOpening);
    Tap('Z');
  }
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_STREQ(mapName.c_str(), "001");
  Frames(3);
  EXPECT_EQ(fadeRequest, 0);
  EXPECT_NE(chipGraphs[1], -1);  // the floor's chip set is loaded
  EXPECT_EQ(gameState.FloorProgress.visited[0], 1);

  plat::SimulateCloseRequest(qz::QueryMainWindowHandle());
  RunFrameLoop();
  EXPECT_EQ(gameState.quitRequested, 1);
}

class GameCellColourTest : public GameStartupTest {
 protected:
  void SetUp() override { UseDataSet(datagen::ArtStyle::kCellColours); }
  // Draws the graph opaque at the screen's corner; the colour inside its cell.
  static std::uint32_t CellPixel(int graph) {
    qz::ClearDrawTarget(nullptr);
    qz::BlitGraph(0, 0, graph, 0);
    return qz::testing::ScreenPixel(1, 1);
  }
};

TEST_F(GameCellColourTest, SheetsAreCutIntoTheCellsTheGameNames) {
  Start();
  const struct {
    const char* file;
    int cell;
    int graph;
  } probes[] = {
      {"pat_player_RGB.png", 206, sheets.player[206]},     {"pat_player_RGB.png", 24, sheets.player[24]},
      {"pat_bullet02.png", 95, sheets.bullet02[95]},       {"st_itemicon.png", 9, sheets.itemIcon[9]},
      {"st_font5.png", 7, sheets.font5[7]},                {"ef_hit02.bmp", 14, sheets.hit02[14]},
      {"ef_mpcharge.bmp", 15, sheets.mpCharge[15]},        {"st_gameover.png", 0, images.gameOver},
      {"enemy_マジックボール_緑.png", 4, trapSheets.magicBall[2][4]},
      {"enemy_レーザートラップU.png", 2, trapSheets.laser[3][2]},
  };
  for (const auto& probe : probes) {
    EXPECT_EQ(CellPixel(probe.graph), datagen::CellColour(probe.file, probe.cell)) << probe.file << " " << probe.cell;
  }
}

TEST_F(GameStartupTest, MissingFilesAreReportedByNameAndTheGameStillStarts) {
  std::filesystem::remove(Path("data_en/st_font3.png"));
  std::filesystem::remove(Path("data_en/enemy_シューター_青.png"));
  std::filesystem::remove(Path("sound/se_jump02.wav"));
  Start();
  // In load order: sheets, sounds, then the trap sheets.
  EXPECT_EQ(missingGameFiles, (std::vector<std::string>{"\\data_en\\st_font3.png", "\\sound\\se_jump02.wav",
                                                        qz::text::kShooterBlueSheet}));
  for (int cell : sheets.font3) EXPECT_EQ(cell, -1);
  for (int cell : trapSheets.shooter[1]) EXPECT_EQ(cell, -1);
  EXPECT_EQ(soundEffects[kSeJump02], -1);
  EXPECT_EQ(ValidGraphs(HandlesOf(trapSheets)), 57 - 4);
  EXPECT_NE(soundEffects[kSeJump03], -1);
  EXPECT_EQ(gameState.scene, kSceneTitle);
  RunFrame();
}

TEST_F(GameStartupTest, DebugFileStartsTheFloorItNames) {
  using namespace qz::text;
  data_.Write("debug.ini", std::string("[DebugUse]\r\n") + kDebugUseKey + "=1\r\n[MapData]\r\n" +
                               kDebugMapFileKey + "=003\r\n" + kDebugEntranceKey + "=1\r\n[PlayerData]\r\n" +
                               kDebugLifeKey + "=6\r\n" + kDebugAirdashKey + "=1\r\n");
  Start();
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(gameState.saveSlot, -1);
  EXPECT_STREQ(mapName.c_str(), "003");
  EXPECT_EQ(floorNumber, 2);
  EXPECT_EQ(entrance, 1);
  EXPECT_EQ(player.maxLife, 6);
  EXPECT_EQ(player.ProgressFlags[kAirdash], 1);
  EXPECT_EQ(fadeRequest, 2);  // the first frame fades in from the logo's black
  Frames(3);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
  EXPECT_EQ(gameState.FloorProgress.visited[2], 1);
}

TEST_F(GameStartupTest, ConfigurationAsksForFullScreenAndTheSoftwareRenderer) {
  WriteConfig("Screen mode=1\r\nDon't use 3D Acceleration=1\r\n");
  Start();
  EXPECT_EQ(gameState.windowMode, 0);
  EXPECT_EQ(qz::IsFullScreenMode(), 1);
  EXPECT_EQ(qz::GetGraphicsState().device, nullptr);
  EXPECT_NE(qz::GetGraphicsState().softwareDrawTarget, nullptr);
  EXPECT_TRUE(missingGameFiles.empty());
  RunFrame();
}

}  // namespace
