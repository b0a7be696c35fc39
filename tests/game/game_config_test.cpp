// The configuration and the debug start as a player sets them up: the file
// absent, partial or full; values out of range or not numbers; and a debug
// file with its Shift-JIS keys that picks the floor, the entrance and the
// player's values, or is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/file_access.h"
#include "game/action_input.h"
#include "game/config_file.h"
#include "game/game_files.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/game_text.h"
#include "game/map_cells.h"
#include "support/scratch_folder.h"

namespace {

std::vector<int> Buttons() {
  return {ButtonMap.confirm, ButtonMap.cancel, ButtonMap.jump, ButtonMap.shot,
          ButtonMap.shotChange, ButtonMap.dash, ButtonMap.menu};
}

class GameFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = currentDirectory;
    currentDirectory = GameString(plat::ToLibraryPath(folder_.root()).c_str());
    ResetNewGame();
  }
  void TearDown() override { currentDirectory = previous_; }
  void WriteConfig(const std::string& lines) { folder_.Write("save/config.ini", "[Config]\r\n" + lines); }

  qz::testing::ScratchFolder folder_;
  GameString previous_;
};

// Each read starts from values no file gives, so every one of them is read.
TEST_F(GameFilesTest, TheConfigFileSetsWhatItHoldsAndDefaultsTheRest) {
  const std::vector<int> unchecked;
  const struct {
    const char* lines;  // nullptr: no file at all
    int windowMode, volume, no3D;
    std::vector<int> buttons;
  } cases[] = {
      {nullptr, 1, 80, 0, {0, 1, 0, 1, 2, 3, 4}},
      {"Volume=50\r\nJump = 7\r\n", 1, 50, 0, {1, 2, 7, 3, 0, 4, 8}},
      {"Confirm=3\r\nJump = 7\r\n", 1, 80, 0, {3, 2, 7, 3, 0, 4, 8}},  // no "Volume" key at all: 80
      {"Screen mode=1\r\nVolume=100\r\nConfirm=9\r\nCancel=8\r\nJump=7\r\nShot=6\r\nShot Change=5\r\nDash=4\r\n"
       "Menu=3\r\nDon't use 3D Acceleration=1\r\n",
       0, 100, 1, {9, 8, 7, 6, 5, 4, 3}},
      // A screen mode other than 1 is a window; bad volumes are safe.
      {"Screen mode=2\r\nVolume=abc\r\n", 1, 0, 0, unchecked},
      {"Screen mode=0\r\nVolume=99999\r\n", 1, 100, 0, unchecked},
      {"Volume=99999999999999\r\n", 1, 100, 0, unchecked},
      {"Volume=-20\r\n", 1, 0, 0, unchecked},
      {"Volume=35 percent\r\n", 1, 35, 0, unchecked},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines != nullptr ? c.lines : "no file");
    if (c.lines != nullptr) {
      WriteConfig(c.lines);
    } else {
      std::filesystem::remove(folder_.Posix("save/config.ini"));
    }
    gameState.windowMode = 7;
    volumePercent = 3;
    no3DAcceleration = 7;
    ButtonMap = {9, 9, 9, 9, 9, 9, 9, {9, 9}};
    ReadConfigFile();
    EXPECT_EQ(gameState.windowMode, c.windowMode);
    // The file has no keys for the spares: they are always the built-in ones.
    EXPECT_EQ(ButtonMap.spare[0], 5);
    EXPECT_EQ(ButtonMap.spare[1], 6);
    EXPECT_EQ(volumePercent, c.volume);
    EXPECT_EQ(no3DAcceleration, c.no3D);
    if (!c.buttons.empty()) {
      EXPECT_EQ(Buttons(), c.buttons);
    }
  }
}

TEST_F(GameFilesTest, NewGameResetsThePlayerAndProgressButNotTheAttributeLayer) {
  player.life = player.maxLife = 9;
  player.shotLevel[2] = 3;
  player.ProgressFlags[kAirdash] = 1;
  player.x = 123;
  gameState.FloorProgress.doorLinks[42][3] = 17;
  gameState.FloorProgress.floorValue[99] = 29;
  gameState.FloorProgress.bossDefeated[6] = 1;
  gameState.quitRequested = 1;
  GameStringAssign(mapName, "042");
  chipLayer[MapCellIndex(5, 6)] = 44;
  attributeLayer[MapCellIndex(5, 6)] = 120;
  chipTable[200] = 60;
  ResetNewGame();

  EXPECT_EQ(player.life, 1);
  EXPECT_EQ(player.maxLife, 1);
  EXPECT_EQ(player.magic, 16);
  EXPECT_EQ(player.maxMagic, 16);
  EXPECT_EQ(player.shotLevel[0], 1);
  EXPECT_EQ(player.shotLevel[1], 0);
  EXPECT_EQ(player.shotLevel[2], 0);
  EXPECT_EQ(player.facing, 1);
  EXPECT_EQ(player.jumpStartRow, 99);
  EXPECT_EQ(player.ridingObject, -1);
  EXPECT_EQ(player.ProgressFlags[kAirdash], 0);
  EXPECT_EQ(player.x, 123);  // the position is the floor loader's
  for (int floor = 0; floor < kFloorCount; ++floor) {
    for (int door = 0; door < kDoorsPerFloor; ++door) ASSERT_EQ(gameState.FloorProgress.doorLinks[floor][door], -1);
    ASSERT_EQ(gameState.FloorProgress.floorValue[floor], -1);
  }
  EXPECT_EQ(gameState.FloorProgress.bossDefeated[6], 0);
  EXPECT_EQ(gameState.quitRequested, 0);
  EXPECT_STREQ(mapName.c_str(), "");
  EXPECT_EQ(floorNumber, 0);
  EXPECT_EQ(loadedKindSet, -1);
  EXPECT_EQ(chipLayer[MapCellIndex(5, 6)], 0);
  EXPECT_EQ(chipTable[200], 0);
  EXPECT_EQ(attributeLayer[MapCellIndex(5, 6)], 120);
}

// A debug file as a developer writes it: Shift-JIS keys, CR LF lines.
std::string DebugFile(const std::string& use, const std::string& map, const std::string& playerLines) {
  using namespace qz::text;
  return std::string("[DebugUse]\r\n") + kDebugUseKey + "=" + use + "\r\n[MapData]\r\n" + kDebugMapFileKey + "=" +
         map + "\r\n" + kDebugEntranceKey + "=2\r\n[PlayerData]\r\n" + playerLines;
}

TEST_F(GameFilesTest, DebugFileSetsTheFloorEntranceAndPlayer) {
  using namespace qz::text;
  folder_.Write("debug.ini", DebugFile("1", "012",
                                       std::string(kDebugLifeKey) + "=5\r\n" + kDebugMagicKey + "=30\r\n" +
                                           kDebugGravityLevelKey + "=2\r\n" + kDebugCoinsKey + "=77\r\n" +
                                           kDebugAllItemsKey + "=1\r\n" + kDebugBossFlagsKey + "=1\r\n"));
  ASSERT_EQ(LoadDebugIni(), 1);
  EXPECT_STREQ(mapName.c_str(), "012");
  EXPECT_EQ(floorNumber, 11);
  EXPECT_EQ(entrance, 2);
  EXPECT_EQ(player.maxLife, 5);
  EXPECT_EQ(player.maxMagic, 30);
  EXPECT_EQ(player.shotLevel[0], 0);  // missing keys read 0
  EXPECT_EQ(player.shotLevel[1], 2);
  EXPECT_EQ(player.coins, 77);
  // All items, but the High Jump and Airdash switches are missing: off.
  for (int flag = 0; flag < kProgressFlagCount; ++flag) {
    EXPECT_EQ(player.ProgressFlags[flag], flag == kHighJump || flag == kAirdash ? 0 : 1) << flag;
  }
  for (int boss = 0; boss < 16; ++boss) EXPECT_EQ(gameState.FloorProgress.bossDefeated[boss], boss < 5 ? 1 : 0);
  EXPECT_EQ(gameState.saveSlot, -1);
  EXPECT_EQ(gameState.scene, kSceneFloorPlay);
}

TEST_F(GameFilesTest, DisabledOrOutOfRangeDebugFileChangesNothing) {
  for (const auto& [use, map] : {std::pair{"0", "012"}, std::pair{"1", "000"}, std::pair{"1", "101"},
                                 std::pair{"1", "abc"}}) {
    ResetNewGame();
    gameState.scene = kSceneTitle;
    gameState.saveSlot = 0;
    folder_.Write("debug.ini", DebugFile(use, map, std::string(qz::text::kDebugCoinsKey) + "=5\r\n"));
    EXPECT_EQ(LoadDebugIni(), 0) << use << " " << map;
    EXPECT_STREQ(mapName.c_str(), "");
    EXPECT_EQ(player.coins, 0);
    EXPECT_EQ(gameState.scene, kSceneTitle);
    EXPECT_EQ(gameState.saveSlot, 0);
  }
}

// The installed file set wrapped so the test sees which files stay open.
qz::FileAccessTable g_innerFiles{};
std::set<qz::FileHandle> g_openFiles;

TEST_F(GameFilesTest, CanOpenFileAnswersAndLeavesNoFileOpen) {
  WriteConfig("Jump=1\r\n");
  g_innerFiles = qz::GetFileAccessTable();
  g_openFiles.clear();
  qz::FileAccessTable watched = g_innerFiles;
  watched.Open = [](const char* path, int useCache, int reserved, int asynchronous) {
    const qz::FileHandle file = g_innerFiles.Open(path, useCache, reserved, asynchronous);
    if (file != 0) g_openFiles.insert(file);
    return file;
  };
  watched.Close = [](qz::FileHandle file) {
    g_openFiles.erase(file);
    return g_innerFiles.Close(file);
  };
  qz::SetFileAccessTable(&watched);
  const int present = CanOpenFile(GamePath("\\save\\config.ini"));
  const int missing = CanOpenFile(GamePath("\\save\\none.ini"));
  qz::SetFileAccessTable(&g_innerFiles);
  EXPECT_EQ(present, 1);
  EXPECT_EQ(missing, 0);
  EXPECT_TRUE(g_openFiles.empty()) << "a file left open";
}

}  // namespace
