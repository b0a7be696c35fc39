// The Ogg Vorbis converter kind: decoding through vorbisfile, which reads the
// sound through callbacks over the converter's copy of the stream functions.
#pragma once

#include <cstdint>

#include "sound/sound_converter.h"

namespace qz {

// 1 only while the movie code loads a movie's own sound, whose Vorbis stream
// is muxed beside the video: vorbisfile passes over the pages of the other
// streams itself, so the movie's sound needs no reader of its own. 0.
int SetMovieSoundFlag(int flag);
int GetMovieSoundFlag();

// 0, or -1 when the stream is not Ogg Vorbis (nothing is left open).
int OpenOggVorbisStream(SoundConverter* converter);
// Fills the work buffer with up to 4096 bytes: 0, or -1 at the end.
int DecodeOggVorbisBlock(SoundConverter* converter);
int SeekOggVorbisStream(SoundConverter* converter, std::int64_t sample);
std::int64_t GetOggVorbisPCMBytes(SoundConverter* converter);
std::int64_t GetOggVorbisStreamPCMBytes(SoundConverter* converter);
int CloseOggVorbisStream(SoundConverter* converter);

}  // namespace qz
