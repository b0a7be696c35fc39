// A floor for the player's tests: the library started headless on the
// virtual clock, a new game, cells compiled from a few rows of floor text,
// and one update-and-draw of the player per scripted pad word.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/player.h"
#include "game/pools.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "support/scratch_log.h"
#include "tests/game/game_library_start.h"
#include "tools/datagen/data_set.h"

namespace veltrin::testing {

// Pad words: directions and the built-in buttons.
inline constexpr std::uint32_t kDown = 0x1, kLeft = 0x2, kRight = 0x4, kUp = 0x8;
inline constexpr std::uint32_t kJump = 0x10, kShot = 0x20, kShotChange = 0x40, kDash = 0x80;

// A row of ground, and the player's y standing on it as row 20.
inline const std::string kGround(76, '#');
inline constexpr int kStandY = 576;

// Row 20 with `cell` under columns first..first+count-1, ground elsewhere.
inline std::string GroundWith(char cell, int first, int count) {
  std::string row = kGround;
  for (int i = 0; i < count; ++i) row[static_cast<std::size_t>(first + i)] = cell;
  return row;
}

// Puts the player's top-left corner at floor pixel (x, y), standing.
inline void PlacePlayerAt(double x, double y) {
  player.posX = x;
  player.posY = y;
  player.x = static_cast<int>(x);
  player.y = static_cast<int>(y);
  player.velocityX = player.velocityY = 0;
  player.airborne = 0;
}

// One floor-play frame of the player with this pad word held.
inline void StepPlayer(std::uint32_t pad) {
  padState = pad;
  DeriveActionFlags(pad);
  UpdatePlayer();
  DrawPlayer();
}

class PlayerFloorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartLibraryForGameTest("QzPlayer"));
    std::fill(std::begin(soundEffects), std::end(soundEffects), -1);
    ResetNewGame();
    std::fill(std::begin(mapFlags), std::end(mapFlags), 0);
    std::fill(std::begin(movingObjects), std::end(movingObjects), MapObjectRecord{});
    ButtonMap = kBuiltInButtonMap;
    cameraX = cameraY = 0;
    fadeRequest = skipFade = 0;
    floorTime = 300;
    floorTimeTick = 0;
    entrance = 0;
    player.life = player.maxLife = 100;
  }
  void TearDown() override {
    qz::EndLibraryEntry();
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
    plat::UseVirtualTime(false);
  }

  // Rows of floor text from row `firstRow` down; `legend` adds "legend"
  // lines ("c chip attribute" each). Everything else is empty.
  static void LoadCells(int firstRow, const std::vector<std::string>& rows,
                        const std::vector<std::string>& legend = {}) {
    std::string text = "chipset chip_meadow.png\n";
    for (const std::string& line : legend) text += "legend " + line + "\n";
    text += "cells\n";
    for (int r = 0; r < firstRow; ++r) text += "\n";
    for (const std::string& row : rows) text += row + "\n";
    MapFileData data;
    std::string error;
    ASSERT_TRUE(datagen::CompileFloorText(text, &data, &error)) << error;
    std::copy(data.chipLayer.begin(), data.chipLayer.end(), chipLayer);
    std::copy(data.attributeLayer.begin(), data.attributeLayer.end(), attributeLayer);
    RecountSlipperyCells();
  }

  static void PlaceAt(double x, double y) { PlacePlayerAt(x, y); }
  static void Step(std::uint32_t pad) { StepPlayer(pad); }
  static void Steps(int frames, std::uint32_t pad) {
    for (int i = 0; i < frames; ++i) Step(pad);
  }

  qz::testing::ScratchLog log_;
};

}  // namespace veltrin::testing
