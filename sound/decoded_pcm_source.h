// The decoded-in-memory converter kind: an MP3 the compression manager did not
// take is decoded whole into a PCM block up front (through mpg123), which the
// converter then hands out like any other source.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/sound_converter.h"

namespace qz {

// 0, or -1 (logged) when the stream holds no MPEG audio, memory runs out, or
// the message pump reports the end of the program during the decode.
int ConvertMP3ToPCM(SoundConverter* converter);
// Appends decoded bytes to the converter's PCM block, growing it in 1 MiB
// steps past its capacity. When growing fails the block is dropped (freed and
// null) and later samples are ignored. Returns 0.
int Mp3GrabberPcmCallback(const void* sample, std::size_t bytes, SoundConverter* converter);

std::uint32_t DecodeDecodedPcmBlock(SoundConverter* converter);
int SeekDecodedPcm(SoundConverter* converter, std::int64_t sample);
void ReleaseDecodedPcm(SoundConverter* converter);

}  // namespace qz
