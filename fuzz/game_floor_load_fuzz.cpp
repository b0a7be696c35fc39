// Arbitrary bytes as floor 001's map file, loaded into the live game and
// played for three frames when it loads. The first byte picks the entrance
// (modulo 5) and, at 128 or more, lays the rest over the gallery floor's
// file (the first half over its names and cells, the second over its lists,
// flags, doors and time), so most inputs pass the parse and reach the field
// checks and the commit; below 128 the rest is the whole file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/game_fuzz_harness.h"
#include "game/floor_load.h"
#include "game/game_state.h"

namespace {

const std::vector<std::uint8_t>& GalleryFloor() {
  static const std::vector<std::uint8_t> bytes = [] {
    std::ifstream file(plat::ToPosixPath(GamePath("\\map\\090.map").c_str()), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
  }();
  return bytes;
}

std::vector<std::uint8_t> LaidOverGallery(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file = GalleryFloor();
  const std::size_t half = size / 2;
  std::memcpy(file.data(), data, std::min(half, file.size()));
  const std::size_t tail = std::min(size - half, file.size());
  std::memcpy(file.data() + file.size() - tail, data + half, tail);
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrin::fuzz::LiveGame& game = veltrin::fuzz::LiveGame::Get();
  if (size == 0) return 0;
  const veltrin::fuzz::LiveGame::InputScope input = game.BeginInput();
  const std::vector<std::uint8_t> file =
      data[0] >= 128 ? LaidOverGallery(data + 1, size - 1) : std::vector<std::uint8_t>(data + 1, data + size);
  game.WriteGameFile(GamePath("\\map\\001.map"), file.data(), file.size());

  ResetNewGame();
  GameStringAssign(mapName, "001");
  player.life = player.maxLife;
  if (LoadFloor(data[0] % 5) == 0) return 0;
  if (floorNumber != 0 || entrance != data[0] % 5) std::abort();
  gameState.scene = kSceneFloorPlay;
  for (int frame = 0; frame < 3 && gameState.scene == kSceneFloorPlay; ++frame) RunFrame();
  return 0;
}
