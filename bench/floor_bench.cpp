// One floor-play frame of the busiest floor the map format allows: a dark
// floor with every enemy, pick-up, slot and moving object placed, four marks,
// every timed cell, 48 live effects and the status bar. Run headless on the
// device path (range 1) and the software path (range 0), once whole and once
// with drawing skipped, so update and drawing are reported apart. The player
// is put back alive at its start every frame, so it times floor play, not a
// death. Run it with a private XDG_RUNTIME_DIR while another copy of the
// library is running.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>

#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/window_state.h"
#include "game/floor_load.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/map_cells.h"
#include "game/pools.h"
#include "game/trap_graphics.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "platform/file.h"
#include "tools/datagen/data_set.h"

namespace {

constexpr int kLiveEffects = 48;
// The effects of a busy fight: hits, block breaks and creations at the
// scales SpawnEffect gives them, and refill sparkles on the status bar.
struct BusyEffect {
  int kind;
  double scale;
};
constexpr BusyEffect kEffectKinds[] = {{7, 1.0}, {8, 1.0}, {12, 1.0}, {13, 1.5}, {17, 1.5}, {4, 1.0}};

// The busiest floor: floor 003 (dark) with every list full around the view.
MapFileData BusyFloor() {
  MapFileData data;
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    if (floor.name == "003") datagen::CompileFloorText(floor.text, &data, nullptr);
  }
  data.mapFlags = {1, 1, 0, 0, 1, 0, 0, 0};
  data.enemyPlacements.clear();
  for (int i = 0; i < MapFileData::kMaxEnemyPlacements; ++i) data.enemyPlacements.push_back({5 + i % 20, 30 + i / 20, i % 8});
  data.mapObjects.clear();
  for (int i = 0; i < MapFileData::kMaxMapObjects; ++i) data.mapObjects.push_back({4 + i, 36, i % 6});
  for (int i = 0; i < 3; ++i) data.slots[static_cast<std::size_t>(i)] = {1, 22 + i, 38, i};
  data.movingObjects.clear();
  for (int i = 0; i < MapFileData::kMaxMovingObjects; ++i) data.movingObjects.push_back({4 + i % 16, 32 + i / 16, 1});
  // Four marks in view.
  for (int i = 0; i < 4; ++i) data.attributeLayer[MapFileData::CellIndex(8 + 2 * i, 40)] = i % 2 == 0 ? 2 : 31;
  return data;
}

void FillPools() {
  for (int i = 0; i < kLiveEffects; ++i) {
    const BusyEffect& busy = kEffectKinds[static_cast<std::size_t>(i) % std::size(kEffectKinds)];
    effects[i] = EffectRecord{200.0 + 8 * i, 1100.0 + 5 * i, busy.kind, 0, 1 << 30, i % 16, i * 0.1, busy.scale, 1};
  }
  effectCount = kLiveEffects;
  for (int i = 0; i < kTimedCellPoolSize; ++i) {
    timedCells[i] = TimedCellRecord{5 + i % 16, 33 + i / 16, 1 << 30, 1};
    SetCell(5 + i % 16, 33 + i / 16, 80, 120);
  }
  timedCellCount = kTimedCellPoolSize;
}

void BM_FloorPlayFrame(benchmark::State& state) {
  const bool device = state.range(0) == 1;
  const bool drawing = state.range(1) == 1;
  char pattern[] = "/tmp/qz_floor_bench_XXXXXX";
  const char* folder = mkdtemp(pattern);
  std::string error;
  if (folder == nullptr || !datagen::WriteDataSet(folder, {}, &error)) {
    state.SkipWithError("the data set was not written");
    return;
  }
  const std::vector<std::uint8_t> bytes = WriteMapFile(BusyFloor());
  {
    std::FILE* file = std::fopen((std::string(folder) + "/map/050.map").c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  setenv("QZ_BACKEND", "headless", 1);
  qz::SetLogOutputEnabled(0);
  qz::GetWindowSystemState().settings.allowDoubleStart = 1;  // other runs may hold the window class
  qz::ChangeWindowMode(1);
  qz::SetHardwareRenderingFlag(device ? 1 : 0);
  qz::SetPresentVSyncWait(0);
  qz::SetScreenMode(640, 480, 32, 60);
  if (qz::InitLibraryEntry() != 0) {
    state.SkipWithError("the library did not start");
    return;
  }
  qz::SelectDrawTarget(qz::kBackScreen);
  qz::SetTransparentColorRGB(0, 255, 0);
  currentDirectory = GameString(plat::ToLibraryPath(folder).c_str());
  std::fill(std::begin(soundEffects), std::end(soundEffects), -1);
  LoadSpriteSheets();
  LoadCandleMask();
  ResetNewGame();
  mapName = GameString("050");
  if (LoadFloor(0) != 1) state.SkipWithError("the busy floor did not load");
  player.x = 400;
  player.y = 1180;
  player.maxMagic = 24;
  player.magic = 12;
  FillPools();
  qz::GetDrawSettings().skipDrawing = drawing ? 0 : 1;
  // Every frame starts from the same player: the crowd would otherwise kill
  // it within a few frames, and the rest would time the death wait and the
  // game-over screen instead of floor play.
  const PlayerRecord start = player;
  for (auto _ : state) {
    player = start;
    qz::ClearDrawTarget(nullptr);
    UpdateFloorPlay();
    for (EffectRecord& effect : effects) effect.frame = 0;
  }
  qz::GetDrawSettings().skipDrawing = 0;
  state.SetItemsProcessed(state.iterations());
  qz::ReleaseAllGraphs();
  qz::EndLibraryEntry();
  std::fill(std::begin(chipGraphs), std::end(chipGraphs), 0);
  backgroundGraph = candleMask = -1;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
// Arguments: device path, drawing.
BENCHMARK(BM_FloorPlayFrame)
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace
