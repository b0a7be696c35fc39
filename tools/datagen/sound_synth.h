// The sounds of the data set: short synthesised effects as 16-bit mono PCM
// WAV files, and the music as MP3 loops encoded with libmp3lame, each pass
// decoding to exactly one loop of whole bars.
// A bar is a whole number of MP3 frames (1152 samples), and each music file
// is cut from a longer encoding (one pass with its own wrap-around before and
// after, bit reservoir off) so that its frames decode, the encoder's delay and
// padding included, to exactly one pass: the library loops the decoded stream
// as it is. A pass is a cycle that starts on its first downbeat (what rings
// past its end sounds at its start), so a loop plays on through its seam with
// no rest; the library's MP3 converter feeds every decode the file's last
// frame first, so the first frame decodes as it does when a loop runs on from
// the end. Effects peak at -10.5 dBFS and the decoded music at about -10
// dBFS: two effects over the music at volume 100 stay below full scale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

// Samples in one MPEG-1 layer III frame; a bar of every tune is a whole
// number of them.
inline constexpr std::size_t kMp3FrameSamples = 1152;

// One music file as composed, before encoding: the 44100 Hz mono samples of
// one pass exactly as the decoder yields them.
struct ComposedMusic {
  std::vector<std::int16_t> pcm;
  std::size_t beatSamples = 0;  // the first downbeat is the pass's first sample
  bool loops = false;           // false for the jingle, which plays once
};

// The music file `name` of MusicNames(); empty samples for any other name.
ComposedMusic ComposeMusic(const std::string& name, std::uint32_t seed);

// Writes every effect of SoundEffectNames() and every music file of
// MusicNames() into dir. False with *error set on failure.
bool WriteSounds(const std::string& dir, std::uint32_t seed, std::string* error);

}  // namespace datagen
