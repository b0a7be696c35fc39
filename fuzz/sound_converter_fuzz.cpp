// Feeds arbitrary bytes to the converter chain as a stream sound reads it:
// the WAV chunk walk (plain and compressed), Ogg Vorbis and MP3 each try the
// bytes, and an accepted converter is read to its end in refill-sized steps
// with a seek back to the start on the way. Nothing may be read or written
// outside a buffer or left allocated.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/file_access.h"
#include "sound/sound_converter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool loaded = qz::LoadAcmEntryPoints() == 0;
  (void)loaded;
  qz::MemoryStream* stream = qz::OpenMemoryStream(data, size);
  qz::SoundConverter converter{};
  if (qz::SetupSoundConverter(qz::GetMemoryStreamInterface(), stream, &converter) == 0) {
    std::vector<std::uint8_t> pcm(4096);
    std::size_t total = 0;
    bool seeked = false;
    // A converter that never ends is a fault too: bounded well past any
    // sound these inputs can hold.
    while (total < (std::size_t{64} << 20)) {
      const int got = qz::ReadConvertedPcm(&converter, pcm.data(), static_cast<std::uint32_t>(pcm.size()));
      if (got <= 0) break;
      total += static_cast<std::size_t>(got);
      if (!seeked && total > 8192) {
        qz::SeekSoundConverter(&converter, 0);
        seeked = true;
      }
    }
    qz::ReleaseSoundConverter(&converter);
  }
  qz::CloseMemoryStream(stream);
  return 0;
}
