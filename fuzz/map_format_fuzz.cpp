// Arbitrary bytes as a floor map file: as they are, and laid over a
// well-formed file (the first half over its head of names and cells, the
// second over its tail of counts, lists, flags, doors and time, the last
// byte trimming the end), so the mutations reach the fields past the cells.
// A file that parses must be written back byte for byte.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/map_format.h"

namespace {

void Check(const std::uint8_t* bytes, std::size_t size) {
  MapFileData data;
  if (!ParseMapFile(bytes, size, &data)) return;
  const std::vector<std::uint8_t> again = WriteMapFile(data);
  if (again.size() != size || std::memcmp(again.data(), bytes, size) != 0) std::abort();
}

const std::vector<std::uint8_t>& Template() {
  static const std::vector<std::uint8_t> bytes = [] {
    MapFileData d;
    d.chipSetName = "chip.png";
    d.backgroundName = "bg.png";
    d.musicName = "bgm.mp3";
    d.enemyPlacements.resize(3);
    d.mapObjects.resize(2);
    d.movingObjects.resize(2);
    d.timeLimit = 60;
    return WriteMapFile(d);
  }();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Check(data, size);
  if (size == 0) return 0;
  std::vector<std::uint8_t> file = Template();
  const std::size_t half = (size - 1) / 2;
  std::memcpy(file.data(), data, std::min(half, file.size()));
  const std::size_t tail = std::min(size - 1 - half, file.size());
  std::memcpy(file.data() + file.size() - tail, data + half, tail);
  file.resize(file.size() - std::min<std::size_t>(data[size - 1] % 16, file.size()));
  // An exact-size copy, so a read past the end is caught.
  const std::vector<std::uint8_t> exact(file.begin(), file.end());
  Check(exact.data(), exact.size());
  return 0;
}
