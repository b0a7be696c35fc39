// The game started headless over a generated cell-colour data set, as the
// floor tests need it: sheets, sounds, work screens and the candle mask
// loaded, the built-in keys, the clock virtual and sounds played out as it
// runs, so a sound the game waits for ends. The data set is written once per
// process.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/library.h"
#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/floor_load.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/map_format.h"
#include "game/music.h"
#include "game/pools.h"
#include "game/screen_frame.h"
#include "game/trap_graphics.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "tests/game/game_library_start.h"
#include "tests/game/game_screen_probe.h"
#include "tools/datagen/data_set.h"

namespace qz::testing {

class FloorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (dataSet_ != nullptr) return;
    dataSet_ = std::make_unique<ScratchFolder>();  // removed at process end
    std::string error;
    dataSetOk_ = datagen::WriteDataSet(dataSet_->root(), {3, datagen::ArtStyle::kCellColours}, &error);
    EXPECT_TRUE(dataSetOk_) << error;
  }

  void SetUp() override {
    ASSERT_TRUE(dataSetOk_);
    ASSERT_TRUE(veltrin::testing::StartLibraryForGameTest("QzFloors", plat::AudioSinkKind::kNull));
    SelectDrawTarget(kBackScreen);
    SetTransparentColorRGB(0, 255, 0);
    previousDirectory_ = currentDirectory;
    currentDirectory = GameString(plat::ToLibraryPath(dataSet_->root()).c_str());
    // In the game's start-up order: the floors' trap kinds exist before any floor places them.
    missingGameFiles.clear();
    LoadSpriteSheets();
    LoadSoundEffects();
    LoadTrapGraphics();
    ASSERT_TRUE(missingGameFiles.empty()) << missingGameFiles.front();
    oldScreen = CreateBlankGraph(kScreenWidth, kScreenHeight);
    newScreen = CreateBlankGraph(kScreenWidth, kScreenHeight);
    thirdScreen = CreateBlankGraph(kScreenWidth, kScreenHeight);
    LoadCandleMask();
    ResetNewGame();
    EmptyObjectPools();
    ResetEnemyRecords();
    std::fill(std::begin(chipGraphs), std::end(chipGraphs), 0);
    fadeRequest = skipFade = 0;
    ActionFlags = ActionFlagSet{};
    ButtonMap = kBuiltInButtonMap;
    gameState.scene = kSceneFloorPlay;
    gameState.saveSlot = 1;
    lastFrameTime = GetMillisecondCount();
  }

  void TearDown() override {
    ReleaseAllGraphs();
    EndLibraryEntry();
    // The library end deleted them; the next start must not free reused handles.
    std::fill(std::begin(chipGraphs), std::end(chipGraphs), 0);
    backgroundGraph = -1;
    bgmHandle = -1;
    candleMask = -1;
    oldScreen = newScreen = thirdScreen = pictureScreen = -1;
    currentDirectory = previousDirectory_;
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
    plat::UseVirtualTime(false);
  }

  // Loads floor `name` ("001") at the entrance; LoadFloor's result.
  static int Enter(const char* name, int entranceWanted) {
    mapName = GameString(name);
    return LoadFloor(entranceWanted);
  }
  // The generated file of a floor, parsed.
  static MapFileData Generated(const std::string& name) {
    const std::string bytes = dataSet_->Read("map/" + name + ".map");
    MapFileData data;
    EXPECT_TRUE(ParseMapFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &data));
    return data;
  }
  static void WriteMap(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    dataSet_->Write("map/" + name + ".map", std::string(bytes.begin(), bytes.end()));
  }
  // Any other file of the data set ("text_en/[SHOP] 002.txt").
  static void WriteDataFile(const std::string& relative, const std::string& bytes) { dataSet_->Write(relative, bytes); }
  // A small walled floor with entrance 0 at (4, 42) and ground below.
  static MapFileData SmallFloor() {
    MapFileData data;
    data.chipSetName = "chip_meadow.png";
    data.musicName = "BGM_F001.mp3";
    data.kindSet = 1;
    data.timeLimit = 100;
    for (int x = 0; x < 76; ++x) {
      for (int y = 0; y < 47; ++y) {
        if (x == 0 || x == 75 || y == 0 || y >= 44) {
          data.chipLayer[MapFileData::CellIndex(x, y)] = 1;
          data.attributeLayer[MapFileData::CellIndex(x, y)] = 120;
        }
      }
    }
    data.attributeLayer[MapFileData::CellIndex(4, 42)] = kAttrEntrance0;
    return data;
  }
  static std::uint32_t Cell(const char* file, int cell) { return datagen::CellColour(file, cell); }

  ScratchLog log_;

 private:
  static inline std::unique_ptr<ScratchFolder> dataSet_;
  static inline bool dataSetOk_ = false;
  GameString previousDirectory_;
};

}  // namespace qz::testing
