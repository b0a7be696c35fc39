// Arbitrary bytes as a MIDI file for the DirectMusic stand-in's segment
// length: every track walked within its chunk, a length of -1 or more, and
// nothing read outside the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/dmusic_midi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (plat::MidiDurationMicroseconds(data, size) < -1) std::abort();
  return 0;
}
