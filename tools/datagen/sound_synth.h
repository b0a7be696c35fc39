// The sounds of the data set: short synthesised effects as 16-bit mono PCM
// WAV files, and the music as MP3 loops encoded with libmp3lame.
#pragma once

#include <cstdint>
#include <string>

namespace datagen {

// Writes every effect of SoundEffectNames() and every music file of
// MusicNames() into dir. False with *error set on failure.
bool WriteSounds(const std::string& dir, std::uint32_t seed, std::string* error);

}  // namespace datagen
