// The generated data set for the game's tests: written once per test process
// into a scratch folder (removed at exit), and a fixture that runs the game
// headless on virtual time in that folder or in a copy a test may change.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/window_state.h"
#include "game/game_entry.h"
#include "graphics/screen_settings.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "support/scratch_folder.h"
#include "tools/datagen/data_set.h"

namespace qz::testing {

// The folder of the data set in the given art, made on first use.
inline const std::string& GameDataSet(datagen::ArtStyle art) {
  struct DataSet {
    explicit DataSet(datagen::ArtStyle style) {
      std::string error;
      datagen::DataSetOptions options;
      options.art = style;
      EXPECT_TRUE(datagen::WriteDataSet(folder.root(), options, &error)) << error;
    }
    ScratchFolder folder;
  };
  static DataSet readable(datagen::ArtStyle::kReadable);
  if (art == datagen::ArtStyle::kReadable) return readable.folder.root();
  static DataSet cellColours(datagen::ArtStyle::kCellColours);
  return cellColours.folder.root();
}

// Runs the game in a copy of the data set as the current directory, sound on
// the manual sink; the window class is made unique so parallel test
// processes never refuse each other as a second running copy.
class GameDataTest : public ::testing::Test {
 protected:
  void SetUp() override { UseDataSet(datagen::ArtStyle::kReadable); }
  void UseDataSet(datagen::ArtStyle art) {
    plat::UseVirtualTime(true);
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kManual);
    // The game's start-up changes switches the library keeps across starts.
    hardwareRendering_ = GetHardwareRenderingFlag();
    logOutput_ = IsLogOutputEnabled();
    std::filesystem::copy(GameDataSet(art), data_.root(), std::filesystem::copy_options::recursive);
    previousDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(data_.root());
    GetWindowSystemState().settings = WindowSettings{};
    const std::string className = "QzGame" + std::to_string(getpid());
    className.copy(GetWindowSystemState().settings.className, className.size());
  }
  void TearDown() override {
    if (started_) EndGame();
    SetHardwareRenderingFlag(hardwareRendering_);
    SetLogOutputEnabled(logOutput_);
    std::filesystem::current_path(previousDirectory_);
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
    plat::UseVirtualTime(false);
  }
  void Start() {
    ASSERT_EQ(StartGame(), 0);
    started_ = true;
  }
  std::string Path(const std::string& relative) const { return data_.Posix(relative); }

  ScratchFolder data_;
  std::filesystem::path previousDirectory_;
  bool started_ = false;
  int hardwareRendering_ = 1;
  int logOutput_ = 1;
};

}  // namespace qz::testing
