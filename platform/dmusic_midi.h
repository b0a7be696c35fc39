// How long a Standard MIDI File plays: the DirectMusic stand-in's segments
// last that long, silently. Tempo changes of any track apply to all, as a
// sequencer merges the tracks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// Microseconds from the first tick to the last event of the longest track,
// or -1 when the bytes are not a well-formed MIDI file (format 0, 1 or 2).
std::int64_t MidiDurationMicroseconds(const std::uint8_t* data, std::size_t size);

}  // namespace plat
