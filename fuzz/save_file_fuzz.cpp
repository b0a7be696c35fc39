// Arbitrary bytes as a save slot file. A file the reader accepts must name a
// floor and be written back byte for byte (up to the bytes past its checksum).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/save_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so a read past the end is caught.
  const std::vector<std::uint8_t> exact(data, data + size);
  SaveRecord record{};
  if (!DecodeSaveRecord(exact.data(), exact.size(), &record)) return 0;
  const std::vector<std::uint8_t> again = EncodeSaveRecord(record);
  if (again.size() > size || std::memcmp(again.data(), data, again.size()) != 0) std::abort();
  return 0;
}
