// Pixels at the ends of every channel, which random colours never draw: for
// checking each vector kernel against its scalar one at every lane.
#pragma once

#include <cstdint>
#include <vector>

namespace qz::testing {

// Every byte at 0, 1, 254 and 255 over mid grey, and over opaque grey for the
// colours; opaque black and white, clear black and white (32 in all).
inline std::vector<std::uint32_t> EdgePixels() {
  std::vector<std::uint32_t> pixels = {0x00000000u, 0xFF000000u, 0xFFFFFFFFu, 0x00FFFFFFu};
  for (int byte = 0; byte < 4; ++byte) {
    for (const std::uint32_t value : {0u, 1u, 254u, 255u}) {
      const std::uint32_t mask = ~(0xFFu << (8 * byte));
      pixels.push_back((0x80808080u & mask) | value << (8 * byte));
      if (byte < 3) pixels.push_back((0xFF808080u & mask) | value << (8 * byte));
    }
  }
  return pixels;
}

}  // namespace qz::testing
